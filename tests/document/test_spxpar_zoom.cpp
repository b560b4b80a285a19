// The view operations of spxpar: zoom, click, boxes, moves, undo and redo on
// a fractal with a windowless task, against the worked examples, an exact
// deep zoom and chains checked against an independent decimal calculation.
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "foundation/bignum/BigNumber.h"
#include "tests/support/ToolRunner.h"

namespace {

const char kView[] = "view --type Plasma --size 640x480 --corners -2.5,1.5,1.5,-1.5 ";

ToolRun Spxpar(const std::string& arguments)
{
    return RunSibling("spxpar.exe", arguments);
}

// Every value of key= in the output, in order.
std::vector<std::string> Values(const std::string& output, const std::string& key)
{
    std::istringstream lines(output);
    std::string line;
    std::vector<std::string> found;
    while (std::getline(lines, line))
        if (line.compare(0, key.size() + 1, key + "=") == 0)
            found.push_back(line.substr(key.size() + 1));
    return found;
}

std::string Value(const std::string& output, const std::string& key)
{
    std::vector<std::string> v = Values(output, key);
    return v.empty() ? "<missing>" : v.back();
}

// One run per group of examples: each run starts a Wine process.
TEST(SpxparZoom, ViewExamples)
{
    const struct {
        const char* operations;
        const char* v0;
        const char* v2;
    } cases[] = {
        // Centre zoom by 2: the point under the pixel is (-0.5, 0).
        {"--zoom 320,240,2", "-1.5,0.75", "0.5,-0.75"},
        // The box of pixels 160..479 by rows 120..359.
        {"--box 160,120,479,359", "-1.5,0.75", "0.49375,-0.74375"},
        // Out of the box (160, 120, 480, 360): twice the view about its centre.
        {"--box-out 160,120,480,360", "-4.5,3.0", "3.5,-3.0"},
        // In and out of one box restores the view; a full box changes nothing.
        {"--box 80,60,400,300", "-2.0,1.125", "0.0,-0.375"},
        {"--box 80,60,400,300 --box-out 80,60,400,300", "-2.5,1.5", "1.5,-1.5"},
        {"--box-out 0,0,640,480", "-2.5,1.5", "1.5,-1.5"},
        // Zooming out keeps the centre whatever the pixel.
        {"--click 3,7,0.5", "-4.5,3.0", "3.5,-3.0"},
    };
    for (const auto& c : cases) {
        ToolRun run = Spxpar(std::string(kView) + c.operations);
        ASSERT_EQ(run.exitCode, 0u) << c.operations << run.errors;
        EXPECT_EQ(Value(run.output, "V0"), c.v0) << c.operations;
        EXPECT_EQ(Value(run.output, "V2"), c.v2) << c.operations;
    }
}

// Pass limits by the surviving values, the undo history with its cursor,
// and undo at the start or redo at the end changing nothing.
TEST(SpxparZoom, MovesAndHistory)
{
    ToolRun run = Spxpar(std::string(kView) +
                         "--calculated --move 0,0 --move 630,0 --click 100,100,3 --undo --undo --redo --undo "
                         "--undo --undo --undo --redo");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    // A kept image continues with one pass, a cleared one with four.
    EXPECT_EQ(Values(run.output, "passlimit"), (std::vector<std::string>{"1", "4"}));
    EXPECT_EQ(Value(run.output, "undo"), "###Starting point|Moving fractal|Moving fractal|Zoomed in");
    EXPECT_EQ(Value(run.output, "cursor"), "2");
    // Step 2 is the state after the first move: the view the corners gave.
    EXPECT_EQ(Value(run.output, "V0"), "-2.5,1.5");

    // The move of 630 pixels went away with the redo cut of a new zoom.
    run = Spxpar(std::string(kView) + "--move 630,0 --undo --click 320,240,2");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(Value(run.output, "undo"), "###Starting point|Zoomed in");
    EXPECT_EQ(Value(run.output, "cursor"), "2");
    // --undosteps 0 records nothing, not even the starting point.
    run = Spxpar(std::string(kView) + "--undosteps 0 --click 320,240,2");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(Value(run.output, "undo"), "");
    EXPECT_EQ(Value(run.output, "cursor"), "0");
}

// A quaternion zoom by 1 moves nothing (o = ln 1 + 1 = 1); a zoom by
// e^-1 or less (o <= 0) is refused instead of dividing by zero.
TEST(SpxparZoom, QuaternionCameraStaysForFactorOneAndBelowReciprocalE)
{
    ToolRun before = Spxpar("view --type Quaternion");
    ToolRun one = Spxpar("view --type Quaternion --zoom 100,100,1 --zoom 5,5,0.3");
    ToolRun two = Spxpar("view --type Quaternion --zoom 100,100,2");
    ASSERT_EQ(before.exitCode, 0u) << before.errors;
    ASSERT_EQ(one.exitCode, 0u) << one.errors;
    ASSERT_EQ(two.exitCode, 0u) << two.errors;
    const char* keys[] = {"Obs_x", "Obs_y", "Obs_z", "Viewpoint_x", "Viewpoint_y", "Viewpoint_z",
                          "frontClippingPlane", "backClippingPlane"};
    for (const char* key : keys) {
        EXPECT_NE(Value(before.output, key), "<missing>") << key;
        EXPECT_EQ(Value(one.output, key), Value(before.output, key)) << key;
    }
    // By 2 the observer moves towards the viewpoint (no surface is known).
    EXPECT_NE(Value(two.output, "Obs_z"), Value(before.output, "Obs_z"));
}

// 100 zooms by 10 at the centre keep every digit: the view is exactly
// -0.5 +- 2e-100 by +-1.5e-100.
TEST(SpxparZoom, HundredZoomsByTenAreExact)
{
    std::string operations;
    for (int i = 0; i < 100; ++i)
        operations += " --zoom 320,240,10";
    ToolRun run = Spxpar(std::string(kView) + operations);
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    PrepareDocumentModel();
    std::string v0 = Value(run.output, "V0"), v2 = Value(run.output, "V2");
    BigNumber tenth("1.0E-100");
    BigNumber x0(v0.substr(0, v0.find(',')).c_str()), y0(v0.substr(v0.find(',') + 1).c_str());
    BigNumber x2(v2.substr(0, v2.find(',')).c_str()), y2(v2.substr(v2.find(',') + 1).c_str());
    EXPECT_TRUE(x0 == BigNumber("-0.5") - BigNumber(2) * tenth) << v0;
    EXPECT_TRUE(y0 == BigNumber("1.5") * tenth) << v0;
    EXPECT_TRUE(x2 == BigNumber("-0.5") + BigNumber(2) * tenth) << v2;
    EXPECT_TRUE(y2 == BigNumber("-1.5") * tenth) << v2;
}

// Chains of zooms, clicks, boxes in and out and moves end where the
// decimal reference (tools/zoom_reference.py) ends, to 45 digits of the
// view width.
TEST(SpxparZoom, ChainsAgreeWithDecimalReference)
{
    PrepareDocumentModel();
    std::ifstream file(std::string(SPIRALIX_TEST_DATA) + "/document/zoom_chain.txt");
    ASSERT_TRUE(file.good());
    std::string line, output;
    int chains = 0;
    while (std::getline(file, line)) {
        if (line.compare(0, 5, "args ") == 0) {
            ToolRun run = Spxpar("view --type Plasma " + line.substr(5));
            ASSERT_EQ(run.exitCode, 0u) << run.errors;
            output = run.output;
            ++chains;
            continue;
        }
        if (line.empty() || line[0] != 'V')
            continue;
        std::istringstream parts(line);
        std::string key, re, im;
        parts >> key >> re >> im;
        std::string got = Value(output, key);
        ASSERT_NE(got, "<missing>") << key;
        std::string v0 = Value(output, "V0"), v1 = Value(output, "V1");
        BigNumber width = (BigNumber(v1.substr(0, v1.find(',')).c_str()) -
                           BigNumber(v0.substr(0, v0.find(',')).c_str()))
                              .Abs();
        BigNumber tolerance = width * BigNumber("1.0E-45");
        BigNumber dx = BigNumber(got.substr(0, got.find(',')).c_str()) - BigNumber(re.c_str());
        BigNumber dy = BigNumber(got.substr(got.find(',') + 1).c_str()) - BigNumber(im.c_str());
        EXPECT_TRUE(dx.Abs() < tolerance) << key << " re " << got;
        EXPECT_TRUE(dy.Abs() < tolerance) << key << " im " << got;
    }
    EXPECT_EQ(chains, 2);
}

}  // namespace
