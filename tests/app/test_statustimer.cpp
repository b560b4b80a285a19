// The status timer's texts and arithmetic: progress, elapsed and remaining
// time (unknown at 2 % or less), the colour-cycling step and its wrap into
// the 252 gradient entries, and the image size a resized window gives.
#include <gtest/gtest.h>

#include <string>

#include "app/StatusTimer.h"

TEST(StatusTimer, ProgressTexts)
{
    struct Case {
        double progress;
        int elapsed;
        const char *percent, *elapsed_, *remaining;
    } const cases[] = {
        {0.0, 0, "0% done", "Elapsed: 0:00:00.000", "Remaining: unknown"},
        {0.02, 500, "2% done", "Elapsed: 0:00:00.500", "Remaining: unknown"},
        {0.25, 1000, "25% done", "Elapsed: 0:00:01.000", "Remaining: 0:00:03.000"},
        {0.999, 3723004, "99% done", "Elapsed: 1:02:03.004", "Remaining: 0:00:03.726"},
        {1.0, 61001, "100% done", "Elapsed: 0:01:01.001", "Remaining: 0:00:00.000"},
    };
    for (const Case& c : cases) {
        ProgressTexts texts;
        FormatProgressTexts(c.progress, c.elapsed, &texts);
        EXPECT_STREQ(c.percent, texts.percent) << c.progress;
        EXPECT_STREQ(c.elapsed_, texts.elapsed) << c.progress;
        EXPECT_STREQ(c.remaining, texts.remaining) << c.progress;
    }
}

TEST(StatusTimer, ColourCyclingStepsAndWrapsIntoTheGradient)
{
    EXPECT_DOUBLE_EQ(2.0, ColourCyclingStep(100, 20.0, 1, 1000));
    EXPECT_DOUBLE_EQ(-2.0, ColourCyclingStep(100, 20.0, 0, 1000));
    EXPECT_DOUBLE_EQ(0.0, ColourCyclingStep(1000, 20.0, 1, 1000)) << "a long pause moves nothing";
    EXPECT_DOUBLE_EQ(20.0, ColourCyclingStep(1000, 20.0, 1, 1001)) << "layers allow one second";

    struct Case {
        double offset, step, want;
    } const cases[] = {
        {10, 5, 15}, {250, 5, 3}, {1, -3, 250}, {0, -252, 0}, {251.5, 0.5, 0}, {0, -1e-17, 0}, {100, 1000, 92},
    };
    for (const Case& c : cases) {
        double got = WrapPaletteOffset(c.offset, c.step);
        EXPECT_NEAR(c.want, got, 1e-9) << c.offset << " + " << c.step;
        EXPECT_GE(got, 0.0);
        EXPECT_LT(got, 252.0);
    }
}

TEST(StatusTimer, ImageSizeOfAResizedWindow)
{
    struct Case {
        int cw, ch, w, h;
    } const cases[] = {
        {400, 300, 400, 300}, {403, 300, 400, 300}, {401, 9, 400, 10}, {7, 0, 4, 10},
    };
    for (const Case& c : cases) {
        int w = 0, h = 0;
        ImageSizeForClient(c.cw, c.ch, &w, &h);
        EXPECT_EQ(c.w, w) << c.cw << " x " << c.ch;
        EXPECT_EQ(c.h, h) << c.cw << " x " << c.ch;
    }
}
