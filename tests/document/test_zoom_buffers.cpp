// Shifting the task's buffers when a view moves by whole pixels: the block
// move keeps every surviving cell in its place on the screen and clears
// exactly the uncovered strips, with the fill of each cell size.
#include <gtest/gtest.h>
#include <string.h>
#include <vector>

#include "DocumentTestSupport.h"
#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "calc/task/BufferShift.h"
#include "document/Fractal.h"

namespace {

// A 6 x 4 buffer of 4-byte cells numbered 1 + x + 10 y.
std::vector<int> Numbered()
{
    std::vector<int> cells(24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            cells[y * 6 + x] = 1 + x + 10 * y;
    return cells;
}

TEST(BufferShift, CellsKeepTheirPlaceAndStripsClear)
{
    const struct {
        int dx, dy;
    } shifts[] = {{0, 0}, {3, 0}, {-2, 0}, {0, 1}, {0, -3}, {2, -1}, {-5, 3}, {6, 0}, {0, -4}};
    for (const auto& s : shifts) {
        std::vector<int> cells = Numbered();
        ShiftBuffer2D(cells.data(), 6, 4, s.dx, s.dy, 4, 0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                int fromX = x - s.dx, fromY = y - s.dy;
                bool kept = fromX >= 0 && fromX < 6 && fromY >= 0 && fromY < 4;
                int expected = kept ? 1 + fromX + 10 * fromY : 0;
                EXPECT_EQ(cells[y * 6 + x], expected) << s.dx << "," << s.dy << " at " << x << "," << y;
            }
    }
}

TEST(BufferShift, ClearFillsByCellSize)
{
    const struct {
        int elementSize;
        int fill;
        unsigned char cleared;   // what a cleared byte holds
    } cases[] = {{1, 252, 252}, {3, 252, 0}, {4, 252, 0}, {8, 252, 0xAB}};
    for (const auto& c : cases) {
        std::vector<unsigned char> bytes(4 * 3 * c.elementSize, 0xAB);
        ClearBufferRect(bytes.data(), 1, 3, 0, 2, 4, c.elementSize, c.fill);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                bool inside = x >= 1 && x < 3 && y < 2;
                unsigned char want = inside ? c.cleared : 0xAB;
                for (int b = 0; b < c.elementSize; ++b)
                    EXPECT_EQ(bytes[(y * 4 + x) * c.elementSize + b], want) << c.elementSize << " " << x << "," << y;
            }
    }
}

// Fractal::ShiftBuffers by (3, 0) on an 8-bit fractal: the first three
// columns of values and flags are cleared, the image shows index 252 there.
TEST(BufferShift, FractalBuffersShiftTogether)
{
    PrepareDocumentModel();
    Fractal* f = new Fractal(FT_PLASMA, 0);
    f->header->Width = 16;
    f->header->Height = 8;
    f->header->DisplayDepth = 8;
    FractalTask* t = AttachBareTask(f);
    ASSERT_NE(t, nullptr);
    int w = f->GetBufferWidth(), stride = f->GetImageStride();
    for (int i = 0; i < w * 8; ++i) {
        t->values[i] = 1.0f + i;
        t->flags[i] = 0x10;
    }
    memset(t->imageBits, 7, stride * 8);
    f->ShiftBuffers(3, 0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(t->values[y * w + x], 0.0f);
            EXPECT_EQ(t->flags[y * w + x], 0);
            EXPECT_EQ(t->imageBits[y * stride + x], 252);
        }
        EXPECT_EQ(t->values[y * w + 3], 1.0f + y * w);
        EXPECT_EQ(t->imageBits[y * stride + 3], 7);
    }
    FreeBareTask(f);
    delete f;
}

}  // namespace
