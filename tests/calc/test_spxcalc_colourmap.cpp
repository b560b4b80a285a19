// spxcalc colour map, othermap and merge as a user runs them: the worked
// examples of the colour mapping, the colour modes and the merge modes on
// one pixel, and the errors of wrong arguments (message, non-zero exit).
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "tests/support/ToolRunner.h"

namespace {

ToolRun Colour(const std::string& arguments)
{
    return RunSibling("spxcalc.exe", "colour " + arguments);
}

// A grey ramp (entry k = grey k) makes the gradient entry readable as the colour.
const std::string kRamp = " --knots \"0:0 251:251\"";

TEST(SpxcalcColourMap, OnePixelThroughTheMapping)
{
    struct Case {
        std::string arguments;
        double position;   // the position output, single precision
        std::string colour;
    } cases[] = {
        {"map 0.5" + kRamp, 0.5, "126,126,126"},
        // 251.748 blends entry 251 into entry 0: 251 - 0.748 * 251 = 63.25.
        {"map 0.999" + kRamp, 0.999, "63,63,63"},
        {"map 2.0 --repeat no" + kRamp, 251.0 / 252, "251,251,251"},
        {"map 2.0" + kRamp, 0, "0,0,0"},
        {"map 0.5 --offset 10" + kRamp, 136.0 / 252, "136,136,136"},
        {"map 0.5 --smooth 10" + kRamp, 0.5, "120,120,120"},   // the output is taken before the bands
        {"map 0.25 --transfer Sqrt --accel 2" + kRamp, 0.5, "126,126,126"},
        {"map 0.5 --transfer Log --accel 0" + kRamp, 0, "0,0,0"},
        {"map 0 --density 0 --refactor 2" + kRamp, 0, "0,0,0"},
        {"map 0.5", 0.5, "10,105,185"},   // the default palette between its knots 112 and 128
    };
    for (const Case& c : cases) {
        ToolRun run = Colour(c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << c.arguments << run.errors;
        double position = -2;
        char colour[32] = "";
        ASSERT_EQ(sscanf(run.output.c_str(), "position=%lf colour=%31s", &position, colour), 2) << run.output;
        EXPECT_NEAR(position, c.position, 1e-6) << c.arguments;
        EXPECT_EQ(colour, c.colour) << c.arguments;
    }
}

TEST(SpxcalcColourMap, ColourModesOfAPlasmaPixel)
{
    struct Case {
        std::string arguments, output;
    } cases[] = {
        {"othermap 10 --mode Linear --speed 2 --bits 8", "scale=0.6 index=5\n"},
        {"othermap -10 --mode Linear --speed 2 --bits 8", "scale=0.6 index=5\n"},
        {"othermap 251.6 --mode Linear --bits 8", "scale=0.6 index=0\n"},
        {"othermap 7.99 --mode Linear --smoothing 4 --bits 8", "scale=0.6 index=4\n"},
        {"othermap 5 --mode Linear", "scale=0.6 colour=204,204,204\n"},   // knots 180 at 3, 252 at 9
    };
    for (const Case& c : cases) {
        ToolRun run = Colour(c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << c.arguments << run.errors;
        EXPECT_EQ(run.output, c.output) << c.arguments;
    }
    ToolRun log = Colour("othermap 1 --mode Log --accel 5");
    EXPECT_EQ(log.output.rfind("scale=36.63", 0), 0u) << log.output;
}

TEST(SpxcalcColourMap, MergeOfTwoLayers)
{
    struct Case {
        std::string arguments, output;
    } cases[] = {
        {"merge Multiply 255,255,255 200,200,200", "198,198,198\n"},
        {"merge Normal 0,0,0 200,200,200 --opacity 50", "100,100,100\n"},
        {"merge Darken 50,150,250 100,100,100", "49,99,99\n"},   // M(255, min(s, d))
        {"merge Red 255,0,0 10,20,30", "254,19,29\n"},         // d's channels pass through M(255, d)
        {"merge hsladd 100,100,100 100,100,100", "71,71,71\n"},  // lightness 72, then M(255, 72)
    };
    for (const Case& c : cases) {
        ToolRun run = Colour(c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << c.arguments << run.errors;
        EXPECT_EQ(run.output, c.output) << c.arguments;
    }
}

TEST(SpxcalcColourMap, WrongArgumentsAreRefused)
{
    const char* cases[] = {
        "map",
        "map x",
        "map 0.5 --transfer Bogus",
        "map 0.5 --repeat maybe",
        "map 0.5 --knots \"0:0 1\"",
        "map 0.5 --density",
        "othermap 1",
        "othermap 1 --mode Spiral",
        "othermap 1 --mode Linear --bits 16",
        "merge Bogus 1,1,1 2,2,2",
        "merge Normal 1,1 2,2,2",
        "merge Normal 1,1,1 2,2,300",
    };
    for (const char* arguments : cases) {
        ToolRun run = Colour(arguments);
        EXPECT_NE(run.exitCode, 0u) << arguments;
        EXPECT_FALSE(run.errors.empty()) << arguments;
        EXPECT_TRUE(run.output.empty()) << arguments;
    }
}

}  // namespace
