// spxcalc colour model, palette and alpha, run as a user would: the
// conversions and gradients of the worked examples, the default palette
// against the library's own, simplification and alignment through the
// options, and refused arguments.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "calc/colour/Palette.h"
#include "tests/support/ToolRunner.h"

namespace {

ToolRun Spxcalc(const std::string& arguments)
{
    return RunSibling("spxcalc.exe", "colour " + arguments);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// The output line that begins with prefix ("" when none does).
std::string LineStarting(const std::string& output, const std::string& prefix)
{
    for (const std::string& line : Lines(output))
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line;
    return "";
}

// Red, green and blue of palette entry j from the 252 "j R G B" lines.
std::vector<int> Entry(const std::string& output, int j)
{
    std::istringstream in(LineStarting(output, std::to_string(j) + " "));
    int index = -1, r = -1, g = -1, b = -1;
    in >> index >> r >> g >> b;
    return { r, g, b };
}

}  // namespace

TEST(SpxcalcColour, Model)
{
    struct Case { const char* args; const char* out; };
    const Case cases[] = {
        { "RGB HSV 255 0 0", "0 255 255" },
        { "HSV RGB 360 255 255", "255 0 0" },
        { "HSV RGB 120 0 200", "200 200 200" },
        { "RGB HSL 0 0 255", "240 255 127.5" },
        { "YIQ RGB 128 151.98 133.365", "128 128 128" },
        { "RGB YIQ 0 0 0", "0 127.5 127.5" },
        { "RGB HSVINT 0 255 0", "120 255 255" },
        { "HSVINT RGB 0 0 255", "255 255 255" },
        { "hsl cmy 0 0 100", "155 155 155" },
    };
    for (const Case& c : cases) {
        ToolRun run = Spxcalc(std::string("model ") + c.args);
        ASSERT_EQ(run.exitCode, 0u) << c.args << ": " << run.errors;
        EXPECT_EQ(run.output, std::string(c.out) + "\n") << c.args;
    }
}

// Bad arguments: a message on standard error, nothing on standard output,
// a non-zero exit.
TEST(SpxcalcColour, RefusedArguments)
{
    const char* const cases[] = {
        "model XYZ RGB 1 2 3",
        "model HSV HSVINT 1 2 3",
        "model RGB HSVINT 1.5 0 0",
        "model RGB HSV 1 2",
        "palette --knots \"0:0 251.5:9\"",
        "palette --knots \"0:0 0.4:9\"",
        "palette --knots \"0:0|1:1\"",
        "palette --knots \"0:0 5\"",
        "palette --offset ten",
        "palette --knotmode some",
        "alpha --points \"\"",
        "alpha --wobble",
        "paint",
    };
    for (const char* args : cases) {
        ToolRun run = Spxcalc(args);
        EXPECT_NE(run.exitCode, 0u) << args;
        EXPECT_NE(run.errors, "") << args;
        EXPECT_EQ(run.output, "") << args;
    }
}

// The grey ramp of two knots, moved by an offset of 10; a knot at 251.4
// rounds into the table and is kept as given.
TEST(SpxcalcColour, PaletteGreyRampWithOffset)
{
    ToolRun run = Spxcalc("palette --knots \"0:0 128:128 251.4:0\" --offset 10");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(Lines(run.output).size(), 255u);
    EXPECT_EQ(Entry(run.output, 10), (std::vector<int>{ 0, 0, 0 }));
    EXPECT_EQ(Entry(run.output, 74), (std::vector<int>{ 64, 64, 64 }));
    EXPECT_EQ(Entry(run.output, 138), (std::vector<int>{ 128, 128, 128 }));
    EXPECT_EQ(LineStarting(run.output, "knots 2"), "knots 2 0:0 128:128 251.4:0");
}

// Hue knots 350 and 10 in HSV: the gradient runs through red (hue 0 at
// entry 50), never through cyan.
TEST(SpxcalcColour, PaletteHueTakesTheShortWay)
{
    ToolRun run = Spxcalc("palette --knots \"0:350 100:10|0:255|0:255\" --model HSV");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(Entry(run.output, 50), (std::vector<int>{ 255, 0, 0 }));
    for (int j = 0; j <= 100; j++) {
        std::vector<int> c = Entry(run.output, j);
        EXPECT_EQ(c[0], 255) << j;
        EXPECT_LT(c[1] + c[2], 50) << j;
    }
}

// Without a source option the palette is a new fractal's: the default.
TEST(SpxcalcColour, PaletteDefaultIsTheLibrarysDefault)
{
    ToolRun run = Spxcalc("palette");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    for (int j = 0; j < PALETTE_SIZE; j++) {
        const RGBQUAD& e = DefaultPalette->colorTable[j];
        ASSERT_EQ(Entry(run.output, j), (std::vector<int>{ e.rgbRed, e.rgbGreen, e.rgbBlue })) << j;
    }
    EXPECT_EQ(LineStarting(run.output, "knots 1").substr(0, 31), "knots 1 0:150 3:180 9:252 16:0 ");
    ToolRun cube = Spxcalc("palette --cube");
    ASSERT_EQ(cube.exitCode, 0u) << cube.errors;
    EXPECT_EQ(Entry(cube.output, 36 * 2 + 6 * 3 + 4), (std::vector<int>{ 102, 153, 204 }));
}

// --simplify keeps a ramp's ends; --knotmode all gives every channel the
// positions of all, valued from the colour there.
TEST(SpxcalcColour, PaletteSimplifyAndAlign)
{
    ToolRun run = Spxcalc("palette --knots \"0:0 100:100 200:200\" --simplify 4");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(LineStarting(run.output, "knots 0"), "knots 0 0:0 200:200");
    EXPECT_EQ(Entry(run.output, 100), (std::vector<int>{ 100, 100, 100 }));

    run = Spxcalc("palette --knots \"0:10 100:20|50:30|0:40 200:50\" --knotmode all");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(LineStarting(run.output, "knots 0"), "knots 0 0:10 50:15 100:20 200:13");
    EXPECT_EQ(LineStarting(run.output, "knots 1"), "knots 1 0:30 50:30 100:30 200:30");
    EXPECT_EQ(LineStarting(run.output, "knots 2"), "knots 2 0:40 50:42 100:45 200:50");
}

// Points (0, 0) and (128, 128) moved by 100; a new channel is opaque; a
// ramp keeps its ends when simplified.
TEST(SpxcalcColour, Alpha)
{
    ToolRun run = Spxcalc("alpha --points \"0:0 128:128\" --offset 100");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    std::vector<std::string> lines = Lines(run.output);
    ASSERT_EQ(lines.size(), 21u);
    std::vector<int> bytes;
    for (int row = 0; row < 20; row++) {
        std::istringstream in(lines[row]);
        int v;
        while (in >> v)
            bytes.push_back(v);
    }
    ASSERT_EQ(bytes.size(), 400u);
    EXPECT_EQ(bytes[100], 0);
    EXPECT_EQ(bytes[164], 64);
    EXPECT_EQ(bytes[228], 128);
    EXPECT_EQ(bytes[99], 0);     // from 128 at 228 down to 0 at 400 + 100
    EXPECT_EQ(lines[20], "points 0:0 128:128");

    run = Spxcalc("alpha");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(Lines(run.output)[7], "255 255 255 255 255 255 255 255 255 255 255 255 255 255 255 255 255 255 255 255");
    EXPECT_EQ(Lines(run.output)[20], "points 0:255");

    run = Spxcalc("alpha --points \"0:0 100:100 200:200\" --simplify 4");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(LineStarting(run.output, "points"), "points 0:0 200:200");
}
