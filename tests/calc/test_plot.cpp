// Plotting primitives: the points of a line (end point excluded, nothing
// outside the image), the depth test and shading of the 3D primitives,
// fractional colours, the window colours drawn into a real memory device
// context, the invalidated rectangles of the selection box and markers,
// block copies clipped on every side against a plain per-pixel copy, and
// the text stamp.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/task/Plot.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

// Entry i of the colour table: red i, green 255 - i, blue i / 2.
void FillColourTable(FractalTask* task)
{
    for (int i = 0; i < 256; i++)
        task->dib.colors[i] = RGBQUAD{ (BYTE)(i / 2), (BYTE)(255 - i), (BYTE)i, 0 };
}

struct PlotTask : TestTask {
    PlotTask(int w, int h, int bits, int screen = 24) : TestTask(w, h, bits, screen)
    {
        FillColourTable(task);
        task->penX = task->penY = -10000;
    }
    int Index(int x, int y) const { return task->imageBits[y * Stride() + x]; }
    int Red(int x, int y) const { return Rgb(x, y)[2]; }
};

std::vector<std::pair<int, int>> MarkedPixels(const PlotTask& t, int background)
{
    std::vector<std::pair<int, int>> marked;
    for (int y = 0; y < t.fractal->header->Height; y++)
        for (int x = 0; x < t.fractal->header->Width; x++)
            if (t.Index(x, y) != background)
                marked.push_back({ x, y });
    return marked;
}

TEST(DrawLine, SetsThePointsBeforeTheEndAndMovesThePen)
{
    PlotTask t(8, 6, 8);
    MoveTo(t.fractal, NULL, 1, 1);
    DrawLine(t.fractal, NULL, 5, 3, 40);
    // n = 4 steps of (1, 0.5), truncated: the end point (5, 3) is not set.
    std::vector<std::pair<int, int>> expected = { { 1, 1 }, { 2, 1 }, { 3, 2 }, { 4, 2 } };
    EXPECT_EQ(expected, MarkedPixels(t, 252));
    EXPECT_EQ(40.0f, t.task->values[2 * t.fractal->GetBufferWidth() + 3]);
    EXPECT_EQ(5, t.task->penX);
    EXPECT_EQ(3, t.task->penY);

    // To the pen position itself: nothing drawn, nothing moved.
    DrawLine(t.fractal, NULL, 5, 3, 41);
    EXPECT_EQ(expected, MarkedPixels(t, 252));

    // A line that leaves the image writes only its points inside.
    MoveTo(t.fractal, NULL, -3, 0);
    DrawLine(t.fractal, NULL, 12, 0, 40);
    for (int x = 0; x < 8; x++)
        EXPECT_EQ(40, t.Index(x, 0)) << x;
    EXPECT_EQ(252, t.Index(0, 1)) << "nothing wrapped into the next row";
}

TEST(DrawLine, TwentyFourBitImagesGetTheEntryAndTheShadowTheDrawnGrey)
{
    PlotTask t(6, 2, 24, 8);
    ASSERT_TRUE(t.fractal->dither);
    MoveTo(t.fractal, NULL, 0, 1);
    DrawLine(t.fractal, NULL, 3, 1, 100);
    const unsigned char* p = t.Rgb(2, 1);
    EXPECT_EQ(50, p[0]);
    EXPECT_EQ(155, p[1]);
    EXPECT_EQ(100, p[2]);
    EXPECT_EQ(218, t.task->shadowBits[t.Stride() + 2]);
    EXPECT_EQ(0, t.task->shadowBits[t.Stride() + 3]) << "end point";
}

TEST(FractionalColour, BlendsTowardsTheNextEntry)
{
    struct Case {
        int bits;
        double colour;
        int red, green, blue;
    } cases[] = {
        { 24, 10.0, 10, 245, 5 },
        { 24, 10.5, 10, 244, 5 },      // 10 + 0.5, 245 - 0.5, 5 + 0.5, truncated
        { 24, 251.5, 125, 129, 62 },   // 251 blends into entry 0: (251, 4, 125) -> (0, 255, 0)
        { 24, 252.5, 252, 3, 126 },    // fixed entries are never blended
        { 8, 10.75, 10, 245, 5 },      // 8-bit images take the whole entry
    };
    for (const Case& c : cases) {
        PlotTask t(2, 2, c.bits);
        int rgb[3];
        FractionalColour(t.fractal, c.colour, rgb);
        EXPECT_EQ(c.red, rgb[0]) << c.colour;
        EXPECT_EQ(c.green, rgb[1]) << c.colour;
        EXPECT_EQ(c.blue, rgb[2]) << c.colour;
    }
}

TEST(DrawLine3D, DepthTestShadingAndPen)
{
    PlotTask t(8, 2, 24);
    int bw = t.fractal->GetBufferWidth();
    t.task->values[2] = 100.0f;    // nearer than anything drawn below
    t.task->values[3] = -500.0f;   // farther: drawn over
    MoveTo(t.fractal, NULL, 0, 0);
    t.task->penDepth = -10.0;
    DrawLine3D(t.fractal, NULL, 4, 0, 200.0, -10.0);
    // Brightness at depth -10 is 0.5: entry 200 (200, 55, 100) halved.
    const unsigned char* p = t.Rgb(1, 0);
    EXPECT_EQ(50, p[0]);
    EXPECT_EQ(27, p[1]);
    EXPECT_EQ(100, p[2]);
    EXPECT_EQ(0, t.Red(2, 0)) << "a larger depth keeps its pixel";
    EXPECT_EQ(100.0f, t.task->values[2]);
    EXPECT_EQ(100, t.Red(3, 0));
    EXPECT_EQ(-10.0f, t.task->values[3]);
    EXPECT_EQ(100, t.Red(4, 0)) << "the end point is drawn";
    EXPECT_EQ(0, t.task->penX) << "the pen stays";
    EXPECT_EQ(0.0f, t.task->values[bw]) << "nothing in the next row";

    // A line onto the pen itself draws nothing, not even over depth -10.
    DrawLine3D(t.fractal, NULL, 0, 0, 10.0, 50.0);
    EXPECT_EQ(100, t.Red(0, 0));
    EXPECT_EQ(-10.0f, t.task->values[0]);
}

// The window side drawn into a 24-bit memory bitmap; window row y is image
// row height - 1 - y.
class WindowCanvas {
public:
    WindowCanvas(int w, int h) : dc(CreateCompatibleDC(NULL))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        former = SelectObject(dc, bitmap);
    }
    ~WindowCanvas()
    {
        SelectObject(dc, former);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    HDC dc;

private:
    HBITMAP bitmap;
    HGDIOBJ former;
};

TEST(SetPixel3D, WindowColourFollowsTheDepth)
{
    struct Case {
        double colour, depth;
        COLORREF window;
    } cases[] = {
        { 200.0, 35.0, RGB(200, 55, 100) },
        { 200.0, 125.0, RGB(200, 55, 100) },
        { 200.0, -10.0, RGB(100, 28, 50) },    // each channel x 0.5 + 0.5, truncated
        { 200.0, -100.0, RGB(0, 0, 0) },
        { 200.5, -10.0, RGB(200, 54, 100) },   // fractional: blended, never shaded
    };
    for (const Case& c : cases) {
        PlotTask t(4, 3, 24);
        WindowCanvas window(4, 3);
        SetPixel3D(t.fractal, window.dc, 1, 0, c.colour, c.depth);
        GdiFlush();
        EXPECT_EQ(c.window, window.At(1, 2)) << c.colour << " at " << c.depth;
        // The image keeps the unshaded colour.
        EXPECT_EQ(200, t.Red(1, 0));
        EXPECT_EQ(0.0f, t.task->values[1]) << "no depth written";
    }
}

TEST(PaintRectInColor, FillsTheWindowRectangleBlackAndRestoresTheHeader)
{
    for (int bits : { 8, 24 }) {
        PlotTask t(6, 5, bits);
        InitTaskBitmapHeader(&t.task->dib, t.Stride(), 5, 1, bits);
        t.task->dib.colors[252] = RGBQUAD{ 0, 0, 0, 0 };
        WindowCanvas window(6, 5);
        PatBlt(window.dc, 0, 0, 6, 5, WHITENESS);
        PaintRectInColor(t.fractal, window.dc, 1, 1, 3, 2);
        GdiFlush();
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 6; x++) {
                bool inside = x >= 1 && x <= 3 && y >= 1 && y <= 2;
                EXPECT_EQ(inside ? RGB(0, 0, 0) : RGB(255, 255, 255), window.At(x, y))
                    << bits << " bits, " << x << "," << y;
            }
        EXPECT_EQ(t.Stride(), t.task->dib.header.biWidth);
        EXPECT_EQ(5, t.task->dib.header.biHeight);
    }
}

TEST(SetImagePixel, NothingAtThePenOrOutside)
{
    PlotTask t(4, 3, 8);
    MoveTo(t.fractal, NULL, 2, 2);
    SetImagePixel(t.fractal, NULL, 2, 2, 7);
    SetImagePixel(t.fractal, NULL, 4, 0, 7);
    SetImagePixel(t.fractal, NULL, -1, 0, 7);
    SetImagePixel(t.fractal, NULL, 0, 3, 7);
    EXPECT_TRUE(MarkedPixels(t, 252).empty());
    SetImagePixel(t.fractal, NULL, 3, 2, 7);
    EXPECT_EQ(7, t.Index(3, 2));
}

std::vector<RECT> g_rects;
void RecordRect(Fractal*, const RECT* r)
{
    g_rects.push_back(r ? *r : RECT{ -1, -1, -1, -1 });
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(InvalidateImageRect, OrdersOnlyYAndClips)
{
    g_PlotWindow.invalidate = RecordRect;
    PlotTask t(20, 10, 8);
    struct Case {
        RECT given;
        int clip;
        RECT invalidated;
    } cases[] = {
        { { 8, 7, 3, 2 }, 0, { 8, 2, 3, 7 } },        // x0 > x1 stays so; y ordered
        { { -4, -2, 30, 40 }, 1, { 0, 0, 19, 9 } },   // clipped to the image
        { { -4, -2, 30, 40 }, 0, { 0, 0, 30, 40 } },  // negative starts always become 0
    };
    for (const Case& c : cases) {
        g_rects.clear();
        InvalidateImageRect(t.fractal, c.given.left, c.given.top, c.given.right, c.given.bottom, c.clip);
        ASSERT_EQ(1u, g_rects.size());
        EXPECT_TRUE(SameRect(c.invalidated, g_rects[0]))
            << g_rects[0].left << "," << g_rects[0].top << "," << g_rects[0].right << "," << g_rects[0].bottom;
    }
    g_PlotWindow.invalidate = nullptr;
}

TEST(SelectionBox, InvalidatesTheEdgesOfTheOldAndTheNewBox)
{
    g_PlotWindow.invalidate = RecordRect;
    PlotTask t(100, 100, 8);
    g_rects.clear();
    t.fractal->SetSelectionBox(50, 10, 20, 40);   // corners in any order
    ASSERT_EQ(4u, g_rects.size()) << "no old box: only the new one's edges";
    // Ordered (20, 40)-(50, 10); strips reach 3 pixels to both sides.
    EXPECT_TRUE(SameRect(RECT{ 17, 7, 53, 13 }, g_rects[0]));
    EXPECT_TRUE(SameRect(RECT{ 47, 7, 53, 43 }, g_rects[3]));
    EXPECT_EQ(50, t.task->selectionBox[0]) << "stored as given";
    EXPECT_EQ(20, t.task->selectionBox[1]);

    g_rects.clear();
    t.fractal->SetSelectionBox(-10000, 0, -10000, 0);
    // mouseMode 0, the new box absent: the old edges twice, 4 pixels wide.
    ASSERT_EQ(8u, g_rects.size());
    EXPECT_TRUE(SameRect(RECT{ 16, 6, 54, 14 }, g_rects[0]));
    g_rects.clear();
    t.fractal->SetSelectionBox(-10000, 0, -10000, 0);
    EXPECT_TRUE(g_rects.empty());
    g_PlotWindow.invalidate = nullptr;
}

// A plain per-pixel copy with a bounds test for each pixel.
void NaiveCopy(std::vector<unsigned char>& image, int x, int y, int iw, int ih, const unsigned char* block,
               int bw, int bh)
{
    for (int r = 0; r < bh; r++)
        for (int c = 0; c < bw; c++)
            if (x + c >= 0 && x + c < iw && y + r >= 0 && y + r < ih)
                memcpy(&image[((y + r) * iw + x + c) * 3], block + (r * bw + c) * 3, 3);
}

TEST(CopyImageBlock, ClipsOnEverySide)
{
    const int iw = 7, ih = 5, bw = 4, bh = 3;
    std::vector<unsigned char> block(bw * bh * 3);
    for (size_t i = 0; i < block.size(); i++)
        block[i] = (unsigned char)(i + 1);
    const int places[][2] = { { 1, 1 }, { -2, 1 }, { 5, 1 }, { 1, -2 }, { 1, 4 }, { -3, -2 }, { 6, 4 },
                              { -4, 0 }, { 7, 0 }, { 0, 5 }, { 0, -3 }, { -100, -100 }, { 3, 2 } };
    for (const auto& place : places) {
        // Guard bytes on both sides catch writes outside the image.
        std::vector<unsigned char> image(iw * ih * 3 + 64, 0), expected(iw * ih * 3, 0);
        CopyImageBlock(image.data() + 32, place[0], place[1], iw, ih, block.data(), bw, bh);
        NaiveCopy(expected, place[0], place[1], iw, ih, block.data(), bw, bh);
        EXPECT_EQ(0, memcmp(image.data() + 32, expected.data(), expected.size()))
            << "block at " << place[0] << "," << place[1];
        for (int i = 0; i < 32; i++) {
            ASSERT_EQ(0, image[i]);
            ASSERT_EQ(0, image[image.size() - 1 - i]);
        }
    }
}

TEST(StampTextIntoImage, WritesTheTextInsideABlackImage)
{
    struct Case {
        int width, height;
        const char* text;
    } cases[] = { { 200, 100, "Not Found:Mandel" },
                  { 30, 12, "Cannot compile a formula whose name is far longer than the image" } };
    for (const Case& c : cases) {
        std::vector<unsigned char> image(c.width * c.height * 3 + 64, 0x55);
        StampTextIntoImage(nullptr, image.data() + 32, c.text, c.width, c.height);
        int lit = 0, other = 0;
        for (int i = 0; i < c.width * c.height; i++) {
            const unsigned char* p = &image[32 + i * 3];
            if (p[0] || p[1] || p[2]) {
                lit++;
                // Text pixels are the text colour or its anti-aliased shades.
                if (!(p[0] >= p[1] && p[1] >= p[2]))
                    other++;
            }
        }
        EXPECT_GT(lit, 0) << c.text;
        EXPECT_EQ(0, other) << c.text;
        for (int i = 0; i < 32; i++) {
            ASSERT_EQ(0x55, image[i]) << c.text;
            ASSERT_EQ(0x55, image[image.size() - 1 - i]) << c.text;
        }
    }
}

}  // namespace
