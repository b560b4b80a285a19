// The small window classes and the painted panels: the blend preview, the
// caption's buttons, the tip's link, the paints of frames and group edges,
// the dotted line, the checker brush and the class registration.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/Caption.h"
#include "ui/FrameWindow.h"
#include "ui/PaintedPanels.h"
#include "ui/Toolkit.h"
#include "ui/WindowClasses.h"

namespace {

// A 24-bit memory bitmap to paint into and read back.
class Canvas {
public:
    Canvas(int w, int h, COLORREF fill)
    {
        HDC screen = GetDC(NULL);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(NULL, screen);
        old = SelectObject(dc, bitmap);
        HBRUSH brush = CreateSolidBrush(fill);
        RECT all = {0, 0, w, h};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y) & 0xFFFFFF; }

    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kMark = RGB(255, 0, 255);

TEST(BlendPreview, BlendsChannelsAndKeepsTheFirstWhereTheSecondIsBlack)
{
    struct Case {
        unsigned char first[3], second[3];
        int a;
        unsigned char out[3];
    } cases[] = {
        {{0, 0, 0}, {255, 255, 255}, 128, {128, 128, 128}},
        {{10, 20, 30}, {0, 0, 0}, 200, {10, 20, 30}},
        {{200, 100, 50}, {0, 0, 1}, 255, {0, 0, 1}},
        {{200, 100, 50}, {100, 200, 50}, 0, {200, 100, 50}},
        {{255, 0, 0}, {0, 255, 0}, 1, {254, 1, 0}},
    };
    for (const Case& c : cases) {
        unsigned char out[3];
        BlendPixel(c.first, c.second, c.a, out);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(c.out[i], out[i]) << "blend " << c.a << " channel " << i;
    }
}

TEST(BlendPreview, TheResourcePicturesBlendIntoTheOutput)
{
    StartToolkitOnce();
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    PNop nop(nullptr, parent, NULL, 50, BLEND_IMAGE_A, NOP_BLEND, 0, 0, 106, 56);
    ASSERT_NE(nullptr, nop.output);
    nop.SetBlend(128);
    for (int i = 0; i < BLEND_WIDTH * BLEND_HEIGHT; i += 97) {
        unsigned char expected[3];
        BlendPixel(nop.imageA + 3 * i, nop.imageB + 3 * i, 128, expected);
        ASSERT_EQ(0, memcmp(expected, nop.output + 3 * i, 3)) << i;
    }
    // The pictures are the program's own: the second has black and white.
    EXPECT_EQ(0, nop.imageB[0] + nop.imageB[1] + nop.imageB[2]);
    PNop plain(nullptr, parent, NULL, 51, 0, NOP_PLAIN, 0, 0, 50, 50);
    plain.SetBlend(128);
    EXPECT_EQ(nullptr, plain.output);
    DestroyWindow(parent);
}

class CaptionFixture : public testing::Test {
protected:
    void SetUp() override
    {
        StartToolkitOnce();
        tool = new PFrameWindow("tool", 680, WT_TOOL, true, false, 0, 0, 300, 200, true, true);
        caption = new PCaption(tool, tool->hwnd, "Title", 0x7FFE, 0, 0, 300, 18);
    }
    void TearDown() override
    {
        delete caption;
        delete tool;
    }
    PFrameWindow* tool = nullptr;
    PCaption* caption = nullptr;
};

TEST_F(CaptionFixture, ButtonsSitAtTheRightEnd)
{
    RECT help = {270, 4, 282, 14}, rollUp = {284, 4, 296, 14}, bar = {2, 2, 298, 16};
    EXPECT_TRUE(EqualRect(&help, &caption->helpRect));
    EXPECT_TRUE(EqualRect(&rollUp, &caption->rollUpRect));
    EXPECT_TRUE(EqualRect(&bar, &caption->captionRect));
    caption->SetBounds(KEEP_CURRENT, KEEP_CURRENT, 200, KEEP_CURRENT, KEEP_CURRENT, KEEP_CURRENT,
                       NULL);
    EXPECT_EQ(184, caption->rollUpRect.left);
}

TEST_F(CaptionFixture, ReleasingOverAnotherButtonDoesNothing)
{
    caption->pressed = caption->hot = CAPTION_BUTTON_ROLLUP;
    caption->tracking = true;
    EXPECT_EQ(1, caption->HandleButton(275, 8, 0));  // moved onto help
    EXPECT_EQ(CAPTION_BUTTON_HELP, caption->hot);
    EXPECT_EQ(0, caption->HandleButton(275, 8, 200));
    EXPECT_FALSE(tool->IsRolledUp());
    EXPECT_FALSE(caption->tracking);
    EXPECT_EQ(0, caption->pressed);

    caption->pressed = caption->hot = CAPTION_BUTTON_ROLLUP;
    caption->tracking = true;
    EXPECT_EQ(0, caption->HandleButton(290, 8, 200));
    EXPECT_TRUE(tool->rolledUpByUser);
}

TEST(TipPanel, TheLinkAreaAndTheFixedHelpPage)
{
    StartToolkitOnce();
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, NULL, NULL,
                                  GetModuleHandleA(NULL), NULL);
    PTip tip(nullptr, parent, 60, 0, 0, 300, 200);
    EXPECT_TRUE(tip.IsOnLink(300 - 100, 22));
    EXPECT_TRUE(tip.IsOnLink(300 - 16, 47));
    EXPECT_FALSE(tip.IsOnLink(300 - 15, 30));
    EXPECT_FALSE(tip.IsOnLink(250, 48));

    HandlerRecorder recorder;
    g_UiHandlers.ShowHelpPage = [](const char* page) {
        HandlerRecorder::current->calls.push_back(std::string("page ") + page);
    };
    tip.SetText("Some text", NULL, 3);
    SendMessageA(tip.hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(250, 30));
    EXPECT_TRUE(recorder.calls.empty());
    std::string longPage(300, 'p');
    tip.SetText("Some text", longPage.c_str(), 3);
    EXPECT_EQ(sizeof(tip.helpPage) - 1, strlen(tip.helpPage));
    SendMessageA(tip.hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(250, 30));
    EXPECT_EQ(1u, recorder.calls.size());

    // An empty tip is only the card and its outline.
    tip.SetText("", NULL, 0);
    Canvas canvas(300, 200, kMark);
    PaintTip(canvas.dc, &tip);
    EXPECT_EQ(RGB(90, 90, 90), canvas.At(0, 0));
    EXPECT_EQ(kWhite, canvas.At(20, 20));  // no logo
    DestroyWindow(parent);
}

// A nop of the given mode and id, painted into a canvas of its size.
struct PaintedNop {
    PaintedNop(int mode, int id, int edges, const char* title, int w, int h)
        : canvas(w, h, kMark)
    {
        StartToolkitOnce();
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 300, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
        nop = new PNop(nullptr, parent, title, id, 0, mode, 0, 0, w, h);
        nop->groupEdges = edges;
        RECT all = {0, 0, w, h};
        PaintNop(canvas.dc, nop, &all);
    }
    ~PaintedNop()
    {
        delete nop;
        DestroyWindow(parent);
    }
    Canvas canvas;
    HWND parent;
    PNop* nop;
};

TEST(NopPaint, FramesAndEdges)
{
    int savedMode = DisplayMode;
    DisplayMode = 8;
    {
        PaintedNop strip(NOP_STRIP, 100, 0, NULL, 20, 20);
        EXPECT_EQ(kMark, strip.canvas.At(0, 0));  // not even a frame
    }
    DisplayMode = 24;
    {
        PaintedNop frame(NOP_STRIP, 100, 0, NULL, 20, 20);
        EXPECT_EQ(RGB(0, 0, 0), frame.canvas.At(0, 0));
        EXPECT_EQ(kWhite, frame.canvas.At(19, 19));
        EXPECT_EQ(RGB(128, 128, 128), frame.canvas.At(1, 1));
        EXPECT_EQ(kMark, frame.canvas.At(10, 10));  // the inside is left alone
    }
    {
        // Without a title the etched line runs through.
        PaintedNop top(NOP_GROUP_EDGE, NOP_EDGE_TOP, 0, "", 40, 12);
        EXPECT_EQ(RGB(128, 128, 128), top.canvas.At(8, 5));
        EXPECT_EQ(kWhite, top.canvas.At(8, 6));
    }
    {
        PaintedNop titled(NOP_GROUP_EDGE, NOP_EDGE_TOP, 0, "Group", 120, 12);
        EXPECT_NE(RGB(128, 128, 128), titled.canvas.At(7, 5));
        EXPECT_EQ(RGB(128, 128, 128), titled.canvas.At(110, 5));
    }
    {
        PaintedNop left(NOP_GROUP_EDGE, NOP_EDGE_LEFT, 0, NULL, 2, 30);
        EXPECT_EQ(kWhite, left.canvas.At(1, 0));
        EXPECT_EQ(RGB(128, 128, 128), left.canvas.At(0, 10));
    }
    {
        PaintedNop left(NOP_GROUP_EDGE, NOP_EDGE_LEFT, GROUP_EDGE_TOP, NULL, 2, 30);
        EXPECT_EQ(RGB(128, 128, 128), left.canvas.At(1, 0));
    }
    DisplayMode = savedMode;
}

TEST(DottedLine, PatternStartsWhiteAndRunsOnAcrossSegments)
{
    Canvas canvas(10, 30, kMark);
    DottedLineStyle style = {1, 0.0, 1.0, RGB(63, 63, 63)};
    DrawDottedLine(canvas.dc, 2, 0, 2, 5, &style);
    DrawDottedLine(canvas.dc, 2, 5, 2, 10, &style);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(y % 2 == 0 ? kWhite : RGB(63, 63, 63), canvas.At(2, y)) << y;
    EXPECT_EQ(kMark, canvas.At(2, 10));  // the end point is not drawn
    EXPECT_DOUBLE_EQ(10.0, style.phase);
    DrawDottedLine(canvas.dc, 4, 4, 4, 4, &style);
    EXPECT_DOUBLE_EQ(10.0, style.phase);
    EXPECT_EQ(kMark, canvas.At(4, 4));
}

TEST(WindowClasses, RegisteredWithTheirProceduresAndTheCheckerBrush)
{
    StartToolkitOnce();
    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(NULL), "vuzaz_window", &wc));
    EXPECT_EQ(DLGWINDOWEXTRA, wc.cbWndExtra);
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(NULL), "vuzaz_caption", &wc));
    EXPECT_EQ((WNDPROC)CaptionProc, wc.lpfnWndProc);
    EXPECT_NE(nullptr, checkerBrush);
    // A second registration fails at the first class and leaves none behind.
    EXPECT_EQ(1, RegisterWindowClasses(GetModuleHandleA(NULL)));

    struct Case {
        int x, y;
        COLORREF colour;
    } cases[] = {{0, 0, RGB(1, 2, 3)}, {3, 0, RGB(1, 2, 3)}, {4, 0, RGB(9, 9, 9)},
                 {4, 4, RGB(1, 2, 3)}, {0, 5, RGB(9, 9, 9)}};
    for (const Case& c : cases)
        EXPECT_EQ(c.colour, CheckerColour(RGB(1, 2, 3), RGB(9, 9, 9), c.x, c.y, 4));
    HBRUSH brush = CreateCheckerBrush(RGB(1, 2, 3), RGB(9, 9, 9), 8, 8, 4);
    Canvas canvas(8, 8, kMark);
    RECT all = {0, 0, 8, 8};
    FillRect(canvas.dc, &all, brush);
    DeleteObject(brush);
    for (const Case& c : cases)
        EXPECT_EQ(c.colour, canvas.At(c.x, c.y)) << c.x << "," << c.y;
}

}  // namespace
