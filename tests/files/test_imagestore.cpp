// The sample window of render jobs: which blocks RefineBlocks leaves
// unrefined at threshold 0 for base 2 and 3, the averages of RefineRows
// (2 x 2, 3 x 3, and level by level at depth 2, where a block left
// unrefined at a finer level must not stand for the whole pixel), and
// ScrollUp moving the window by one pixel row.
#include <gtest/gtest.h>

#include <string.h>

#include "calc/FractalTask.h"
#include "files/renderjob/ImageStore.h"
#include "files/renderjob/RenderJob.h"

namespace {

struct Window {
    RenderJob job;
    ImageStore store{&job, nullptr};

    Window(int width, int depth, int base) { EXPECT_TRUE(store.Allocate(width, depth, base)); }
    uint8_t& Blue(int subRow, int column) { return store.colours[subRow][3 * column]; }
    void FillBlue(uint8_t value)
    {
        for (int y = 0; y < store.SubRowCount(); y++)
            for (int x = 0; x < store.SamplesPerSubRow(); x++) {
                Blue(y, x) = value;
                store.flags[y][x] = PF_CALCULATED;
            }
    }
};

}  // namespace

TEST(ImageStore, AllocateSizesTheWindow)
{
    struct Case {
        int depth, base, ss, subRows;
    } cases[] = {{0, 2, 1, 2}, {1, 2, 2, 4}, {2, 2, 4, 8}, {1, 3, 3, 9}, {2, 3, 9, 27}};
    for (const Case& c : cases) {
        Window w(5, c.depth, c.base);
        EXPECT_EQ(c.ss, w.store.ss);
        EXPECT_EQ(c.subRows, w.store.SubRowCount());
        EXPECT_EQ(5 * c.ss + 1, w.store.SamplesPerSubRow());
        EXPECT_EQ(0, w.store.flags[c.subRows - 1][5 * c.ss]);
    }
}

TEST(ImageStore, BaseTwoThresholdZeroMarksBlocksWithIdenticalCorners)
{
    // Width 3, ss 2: blocks at columns 0, 2, 4. The first has four equal
    // corners (spread 0 is not above 0), the second a different corner, the
    // third is the last of the row and always refined.
    Window w(3, 1, 2);
    w.FillBlue(50);
    w.Blue(0, 4) = 51;
    EXPECT_EQ(2, w.store.RefineBlocks(2, 6, 2, 0.0, 2, 0));
    EXPECT_EQ(PF_CALCULATED | SF_IN_BLOCK | SF_BLOCK_HEAD, w.store.flags[0][0]);
    EXPECT_EQ(PF_CALCULATED | SF_IN_BLOCK, w.store.flags[0][1]);
    EXPECT_EQ(PF_CALCULATED | SF_IN_BLOCK, w.store.flags[1][1]);
    EXPECT_EQ(PF_CALCULATED, w.store.flags[0][2]);
    EXPECT_EQ(PF_CALCULATED, w.store.flags[0][4]);
    // A step of 1 has nothing left to refine.
    EXPECT_EQ(0, w.store.RefineBlocks(2, 6, 1, 0.0, 2, 0));
}

TEST(ImageStore, BaseThreeMarksOnlyBelowTheTolerance)
{
    // Width 4, ss 3: centres at columns 1, 4, 7, 10 of sub-row 4; the first
    // and the last always count. Threshold 0 marks nothing (0 is not below
    // 0); a small threshold marks the two inner uniform blocks.
    struct Case {
        double threshold;
        int pending;
        bool marked;
    } cases[] = {{0.0, 4, false}, {0.01, 2, true}};
    for (const Case& c : cases) {
        Window w(4, 1, 3);
        w.FillBlue(80);
        EXPECT_EQ(c.pending, w.store.RefineBlocks(3, 12, 3, c.threshold, 3, 1)) << c.threshold;
        EXPECT_EQ(c.marked, (w.store.flags[4][4] & SF_BLOCK_HEAD) != 0);
        EXPECT_EQ(c.marked, (w.store.flags[3][3] & SF_IN_BLOCK) != 0);
        EXPECT_EQ(0, w.store.flags[4][1] & SF_IN_BLOCK);
    }
}

TEST(ImageStore, RefineRowsAveragesThePixelsSamples)
{
    {
        // 2 x 2: blue 10, 11, 12, 13 -> 46 >> 2 = 11.
        Window w(1, 1, 2);
        w.Blue(0, 0) = 10, w.Blue(0, 1) = 11, w.Blue(1, 0) = 12, w.Blue(1, 1) = 13;
        w.store.RefineRows(2, 2, 2);
        EXPECT_EQ(11, w.Blue(0, 0));
    }
    {
        // 3 x 3 around (4, 1): 0 + 1 + ... + 8 = 36 -> 4; the others untouched.
        Window w(1, 1, 3);
        for (int y = 3; y < 6; y++)
            for (int x = 0; x < 3; x++)
                w.Blue(y, x) = (uint8_t)((y - 3) * 3 + x);
        w.store.RefineRows(3, 3, 3);
        EXPECT_EQ(4, w.Blue(4, 1));
        EXPECT_EQ(w.store.OutputSubRow(), 4);
        EXPECT_EQ(w.store.OutputColumn(0), 1);
    }
    {
        // ss 1: the sample is the pixel.
        Window w(2, 0, 2);
        w.Blue(0, 1) = 99;
        w.store.RefineRows(2, 2, 1);
        EXPECT_EQ(99, w.Blue(0, 1));
    }
}

TEST(ImageStore, UnrefinedSubBlockDoesNotStandForTheWholePixel)
{
    // Depth 2 (ss 4): blue 100 on samples (0..2, 0..2), 0 elsewhere. Level 0
    // refines the pixel; level 1 leaves the top-left 2 x 2 block unrefined.
    // The quadrant means are 100, 50, 50, 25, so the pixel is 225 >> 2 = 56,
    // not the 100 of the unrefined block's head.
    Window w(1, 2, 2);
    w.FillBlue(0);
    for (int y = 0; y <= 2; y++)
        for (int x = 0; x <= 2; x++)
            w.Blue(y, x) = 100;
    w.store.RefineBlocks(2, 4, 4, 0.0, 4, 0);
    w.store.RefineBlocks(2, 4, 2, 0.0, 4, 0);
    ASSERT_TRUE(w.store.flags[0][0] & SF_BLOCK_HEAD);
    w.store.RefineRows(2, 4, 4);
    EXPECT_EQ(56, w.Blue(0, 0));
}

TEST(ImageStore, UnrefinedBlockGivesItsHeadColour)
{
    // Base 2, depth 1: four equal corners leave the block unrefined; its
    // inner samples were never calculated, the pixel is the corner colour.
    Window w(2, 1, 2);
    w.FillBlue(0);
    for (int y : {0, 2})
        for (int x : {0, 2, 4})
            w.Blue(y, x) = 70;
    w.Blue(0, 1) = w.Blue(1, 0) = w.Blue(1, 1) = 0;
    EXPECT_EQ(1, w.store.RefineBlocks(2, 4, 2, 0.0, 2, 0));
    w.store.RefineRows(2, 4, 2);
    EXPECT_EQ(70, w.Blue(0, 0));
}

TEST(ImageStore, ScrollUpMovesOnePixelRowAndClearsTheNewOne)
{
    Window w(2, 1, 2);
    for (int y = 0; y < 4; y++) {
        w.Blue(y, 0) = (uint8_t)(10 + y);
        w.store.flags[y][0] = (uint8_t)y;
        w.store.firstValues[y][0] = (float)y;
    }
    w.store.ScrollUp();
    EXPECT_EQ(12, w.Blue(0, 0));
    EXPECT_EQ(13, w.Blue(1, 0));
    EXPECT_EQ(3, w.store.flags[1][0]);
    EXPECT_EQ(2.0f, w.store.firstValues[0][0]);
    for (int y = 2; y < 4; y++) {
        EXPECT_EQ(0, w.Blue(y, 0));
        EXPECT_EQ(0, w.store.flags[y][0]);
        EXPECT_EQ(0.0f, w.store.firstValues[y][0]);
    }
}
