// Dithering of 24-bit images into the colour cube of 8-bit displays: the
// nearest-colour lookup with its ties, the colours and errors of single
// pixels, a small image against errors worked out by hand, the agreement
// of the image, row and column forms, the stop between rows, the rows and
// columns that are ignored, and the display palette's entry flags.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "calc/DisplayPalette.h"
#include "compiler/CompileHost.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

TEST(DitherLookup, NearestColourWithLowestIndexOnTies)
{
    // Keys are 256 R4 + 16 G4 + B4 for the colour (16 R4, 16 G4, 16 B4).
    struct Case {
        int key;
        int index;
        const char* why;
    } cases[] = {
        { 0, 0, "black" },
        { 4095, 220, "(240, 240, 240) is nearest to grey 229" },
        { 0x111, 216, "(16, 16, 16) is nearest to grey 25" },
        { 0xF00, 230, "(240, 0, 0) is nearest to red 229" },
        { 0x001, 231, "(0, 0, 16) is nearest to blue 25" },
        { 0x011, 221, "(0, 16, 16): green 25 and blue 25 tie, the lower wins" },
        { 0x101, 226, "(16, 0, 16): red 25 and blue 25 tie" },
        { 0x110, 221, "(16, 16, 0): green 25 and red 25 tie" },
        { 0x333, 43, "(48, 48, 48) is nearest to cube (51, 51, 51)" },
    };
    const uint8_t* lookup = DitherLookup();
    for (const Case& c : cases)
        EXPECT_EQ(c.index, lookup[c.key]) << c.why;
    for (int key = 0; key < DITHER_LOOKUP_SIZE; key++)
        ASSERT_LT(lookup[key], DITHER_COLOURS) << "key " << key;
}

// One pixel dithered from zeroed errors: its index and the error it passes
// straight down (5/16 of its error; a lone pixel passes nothing sideways).
TEST(DitherPixel, ColoursAndErrorsOfSinglePixels)
{
    struct Case {
        int r, g, b;
        int index;
        float error[3];   // red, green, blue, times 16
    } cases[] = {
        { 0, 0, 0, 0, { 0, 0, 0 } },
        { 255, 255, 255, 220, { 26, 26, 26 } },
        { 24, 24, 24, 216, { -1, -1, -1 } },
        { 128, 128, 128, 218, { 1, 1, 1 } },
        { 255, 0, 0, 230, { 26, 0, 0 } },
    };
    for (const Case& c : cases) {
        TestTask t(1, 1, 24, 8);
        ASSERT_EQ(0, t.sized);
        t.SetRgb(0, 0, c.r, c.g, c.b);
        DitherImageRow(t.fractal, 0, 0, nullptr, nullptr);
        EXPECT_EQ(c.index, t.task->shadowBits[0]) << c.r << "," << c.g << "," << c.b;
        // The stream's set now holds the errors for its next row.
        for (int ch = 0; ch < 3; ch++) {
            EXPECT_FLOAT_EQ(5.0f * c.error[ch] / 16.0f, t.task->ditherRows[3 + ch][0]);
            EXPECT_EQ(0.0f, t.task->ditherRows[3 + ch][1]) << "nothing passes down-right";
        }
    }
}

// A 2 x 2 grey image: white, black above grey 6, grey 10.
//   white -> 220, error 26/16 = 1.625: right 7e = 11.375, down 5e, down-right e.
//   black + 11.375 -> 0, error 11.375/16 = 0.7109375: down 5e, down-left 3e.
//   Next row errors: 8.125 + 2.1328125 = 10.2578125 and 1.625 + 3.5546875 = 5.1796875.
//   grey 6 + 10.2578125 = 16.2578 -> grey 25 (216), error -0.54638671875;
//   grey 10 + 5.1796875 + 7 (-0.54638671875) = 11.355 -> 0.
// Without the carried errors the second row would be 0, 0; with the
// wrong sign on the second error its last pixel would become 216.
TEST(DitherImage, SmallImageFollowsHandComputedErrors)
{
    TestTask t(2, 2, 24, 8);
    ASSERT_EQ(0, t.sized);
    t.SetRgb(0, 0, 255, 255, 255);
    t.SetRgb(1, 0, 0, 0, 0);
    t.SetRgb(0, 1, 6, 6, 6);
    t.SetRgb(1, 1, 10, 10, 10);

    DitherImageRow(t.fractal, 0, 0, nullptr, nullptr);
    for (int ch = 0; ch < 3; ch++) {
        EXPECT_FLOAT_EQ(10.2578125f, t.task->ditherRows[3 + ch][0]);
        EXPECT_FLOAT_EQ(5.1796875f, t.task->ditherRows[3 + ch][1]);
    }
    DitherImageRow(t.fractal, 0, 1, nullptr, nullptr);
    const unsigned char* shadow = t.task->shadowBits;
    int stride = t.Stride();
    EXPECT_EQ(220, shadow[0]);
    EXPECT_EQ(0, shadow[1]);
    EXPECT_EQ(216, shadow[stride]);
    EXPECT_EQ(0, shadow[stride + 1]);

    // The whole-image form from zeroed rows gives the same indices.
    t.ZeroDitherRows();
    std::vector<unsigned char> indices(stride * 2, 99);
    DitherImage(t.fractal, t.task->imageBits, indices.data());
    for (int y = 0; y < 2; y++)
        EXPECT_EQ(0, memcmp(shadow + y * stride, indices.data() + y * stride, 2)) << "row " << y;
}

// A gradient image with enough colours that every error path matters.
void FillGradient(TestTask& t, int width, int height)
{
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            t.SetRgb(x, y, (x * 37 + y * 11) % 256, (x * 5 + y * 53) % 256, (x * 91 + y * 7) % 256);
}

TEST(DitherImage, ImageRowAndColumnFormsAgree)
{
    const int w = 9, h = 7;
    TestTask rowTask(w, h, 24, 8);
    ASSERT_EQ(0, rowTask.sized);
    FillGradient(rowTask, w, h);
    std::vector<unsigned char> whole(rowTask.Stride() * h);
    DitherImage(rowTask.fractal, rowTask.task->imageBits, whole.data());
    // Twice from zeroed rows: the same indices.
    rowTask.ZeroDitherRows();
    std::vector<unsigned char> again(whole.size());
    DitherImage(rowTask.fractal, rowTask.task->imageBits, again.data());
    EXPECT_EQ(whole, again);

    rowTask.ZeroDitherRows();
    // Rows on stream 1, interleaved with rows of another image on stream
    // 0: the streams keep their errors apart.
    std::vector<unsigned char> other(rowTask.Stride() * 3 * h, 200), otherIndex(rowTask.Stride() * h);
    for (int y = 0; y < h; y++) {
        DitherImageRow(rowTask.fractal, 1, y, nullptr, nullptr);
        DitherImageRow(rowTask.fractal, 0, y, other.data() + y * 3 * rowTask.Stride(),
                       otherIndex.data() + y * rowTask.Stride());
    }
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            ASSERT_EQ(whole[y * rowTask.Stride() + x], rowTask.task->shadowBits[y * rowTask.Stride() + x])
                << "row form, pixel " << x << "," << y;

    // The column form walks a column as the row form walks a row: the
    // transposed image dithered by columns gives the transposed indices.
    TestTask columnTask(h, w, 24, 8);
    ASSERT_EQ(0, columnTask.sized);
    columnTask.fractal->header->Dims = 1;
    ASSERT_EQ(0, Allocate3DBuffers(columnTask.fractal, h, w));
    ASSERT_NE(nullptr, columnTask.task->image3D8);
    int cs = columnTask.Stride();
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            memcpy(columnTask.task->image3D + ((size_t)x * cs + y) * 3, rowTask.Rgb(x, y), 3);
    for (int column = 0; column < h; column++)
        DitherImageColumn(columnTask.fractal, 0, column);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            ASSERT_EQ(whole[y * rowTask.Stride() + x], columnTask.task->image3D8[x * cs + y])
                << "column form, pixel " << x << "," << y;
}

TEST(DitherImage, StopsAfterTheRowInWhichACommandArrives)
{
    TestTask t(4, 3, 24, 8);
    ASSERT_EQ(0, t.sized);
    FillGradient(t, 4, 3);
    std::vector<unsigned char> indices(t.Stride() * 3, 77);
    t.task->command = FTC_STOP;
    DitherImage(t.fractal, t.task->imageBits, indices.data());
    EXPECT_NE(77, indices[0]) << "the first row is done";
    EXPECT_EQ(77, indices[t.Stride()]) << "no row after the command";

    // FTC_REDRAW3D does not stop it.
    t.task->command = FTC_REDRAW3D;
    DitherImage(t.fractal, t.task->imageBits, indices.data());
    EXPECT_NE(77, indices[2 * t.Stride()]);
}

TEST(DitherImage, RowsAndColumnsOutsideTheImageAreIgnored)
{
    TestTask t(3, 2, 24, 8);
    ASSERT_EQ(0, t.sized);
    t.fractal->header->Dims = 1;
    ASSERT_EQ(0, Allocate3DBuffers(t.fractal, 3, 2));
    FillGradient(t, 3, 2);
    memset(t.task->shadowBits, 5, t.Stride() * 2);
    memset(t.task->image3D8, 5, t.Stride() * 2);
    float* rows[9];
    memcpy(rows, t.task->ditherRows, sizeof rows);
    for (int row : { -1, 2, 100 })
        DitherImageRow(t.fractal, 0, row, nullptr, nullptr);
    for (int column : { -1, 3 })
        DitherImageColumn(t.fractal, 1, column);
    for (int i = 0; i < t.Stride() * 2; i++) {
        ASSERT_EQ(5, t.task->shadowBits[i]);
        ASSERT_EQ(5, t.task->image3D8[i]);
    }
    EXPECT_EQ(0, memcmp(rows, t.task->ditherRows, sizeof rows)) << "no sets traded";
}

TEST(DisplayPalette, EntriesBelow233AreReservedUnlessAll256Are)
{
    RGBQUAD colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = RGBQUAD{ (BYTE)i, (BYTE)(255 - i), (BYTE)(i / 2), 0 };
    struct {
        LOGPALETTE head;
        PALETTEENTRY more[255];
    } block;
    struct Case {
        int count, index, flags;
    } cases[] = { { 236, 0, PC_RESERVED }, { 236, 232, PC_RESERVED }, { 236, 233, 0 }, { 236, 235, 0 },
                  { 256, 0, 0 },          { 256, 255, 0 } };
    for (const Case& c : cases) {
        FillDisplayPaletteEntries(&block.head, colours, c.count);
        EXPECT_EQ(0x300, block.head.palVersion);
        EXPECT_EQ(c.count, block.head.palNumEntries);
        const PALETTEENTRY& e = block.head.palPalEntry[c.index];
        EXPECT_EQ(c.flags, e.peFlags) << c.count << " entries, entry " << c.index;
        EXPECT_EQ(colours[c.index].rgbRed, e.peRed);
        EXPECT_EQ(colours[c.index].rgbGreen, e.peGreen);
        EXPECT_EQ(colours[c.index].rgbBlue, e.peBlue);
    }
    SelectDisplayPalette(colours, 236);
    EXPECT_NE(nullptr, DisplayPalette);
}

struct DrawCall {
    Fractal* fractal;
    int all;
    HPALETTE palette;
};
std::vector<DrawCall> g_draws;

TEST(DisplayPalette, DrawFractalWindowDrawsOnlyIntoAWindow)
{
    g_DrawFractalWindowImage = [](Fractal* f, int all, HPALETTE p) { g_draws.push_back({ f, all, p }); };
    TestTask t(2, 2, 8);
    DrawFractalWindow(t.fractal, 0, 1);
    EXPECT_TRUE(g_draws.empty()) << "a windowless task draws nothing";
    // Any non-null window stands for an open one; the hook never reads it.
    t.task->window = reinterpret_cast<PFrameWindow*>(&t);
    DrawFractalWindow(t.fractal, 0, 1);
    DrawFractalWindow(t.fractal, 0, 0);
    ASSERT_EQ(2u, g_draws.size());
    EXPECT_EQ(1, g_draws[0].all);
    EXPECT_EQ(0, g_draws[1].all);
    EXPECT_EQ(DisplayPalette, g_draws[1].palette);
    t.task->window = nullptr;
    g_DrawFractalWindowImage = nullptr;
}

}  // namespace
