// spxcalc render with attractor entries as a user runs it: maps that send
// every point to a fixed point light exactly the pixels the camera projects
// them to, with 1 and with 4 workers; a hidden map draws nothing; a fixed
// seed with one worker repeats the image byte for byte; --stop-after on an
// endless attractor is answered within half a second with result 3.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include "tests/support/ToolRunner.h"

namespace {

// Three maps to fixed points (the origin, (1, 0, 0), (0, 1, 0) hidden) and a
// colouring (its own file) that gives every point white of its own.
const char kFormulas[] =
    "origin(ATTRACTOR)\r\n{\r\n\tvoid loop(void)\r\n\t{\r\n\t\tz = vector(0, 0, 0);\r\n\t}\r\n}\r\n"
    "right(ATTRACTOR)\r\n{\r\n\tvoid loop(void)\r\n\t{\r\n\t\tz = vector(1, 0, 0);\r\n\t}\r\n}\r\n"
    "up(ATTRACTOR)\r\n{\r\n\tvoid loop(void)\r\n\t{\r\n\t\tz = vector(0, 1, 0);\r\n\t}\r\n}\r\n";
const char kColouring[] =
    "white(ATTRACTOR)\r\n{\r\n\tvoid loop(void)\r\n\t{\r\n\t\tpixelcolor = rgb(1, 1, 1);\r\n\t}\r\n}\r\n";

std::string Entry(const char* name, double maxiter, const char* maps)
{
    char text[2000];
    snprintf(text, sizeof text,
             "%s {\r\n  Type=Attractor Subtype=0 Width=64 Height=48 DisplayDepth=24\r\n"
             "formula:\r\n  maxiter=%g previewpixels=500 followobject=no rendermode=Plasma weightradius=0\r\n"
             "  filterradius=0.00 oversample=1 opacity=100 weightthreshold=0\r\n"
             "%s"
             "inside:\r\n  filename=\"Fixed.scl\" entry=\"white\" background=0\r\n"
             "dimensional:\r\n  observer=0/0/5 topview=0/1/0 viewpoint=0/0/0 fieldofview=60\r\n}\r\n",
             name, maxiter, maps);
    return text;
}

std::string Map(const char* file, const char* entry, bool hidden)
{
    return std::string("iteration:\r\n  weight=1.00 color=0.00 hide=") + (hidden ? "yes" : "no") +
           "\r\npixeltransformation:\r\n  filename=\"" + file + "\" entry=\"" + entry + "\"\r\n";
}

class SpxcalcAttractor : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string data = SPIRALIX_TEST_DATA;
        std::string formulas = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
        SetEnvironmentVariableA("SPIRALIX_FORMULAS", formulas.c_str());
        CreateDirectoryA(Temp("").c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(Temp("Fixed.sfm"), kFormulas));
        ASSERT_TRUE(WriteWholeFile(Temp("Fixed.scl"), kColouring));
        std::string maps = Map("Fixed.sfm", "origin", false) + Map("Fixed.sfm", "right", false) +
                           Map("Fixed.sfm", "up", true);
        std::string cube = Map("AttractorConstructor.sfm", "unitcube", false);
        std::string entries = Entry("Fixed", 0.02, maps.c_str()) + Entry("Cube", 0.1, cube.c_str()) +
                              Entry("Endless", 1000, cube.c_str());
        ASSERT_TRUE(WriteWholeFile(Temp("entries.par"), entries.c_str()));
    }
    static std::string Temp(const char* name)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        return std::string(temp) + "spx_att_" + std::to_string(GetCurrentProcessId()) + "\\" + name;
    }
    static ToolRun Render(const char* entry, const std::string& extra)
    {
        // the folder without its closing backslash, which would escape the quote
        std::string folder = Temp("");
        folder.pop_back();
        return RunSibling("spxcalc.exe", "render \"" + Temp("entries.par") + "\" --entry " + entry + " --path \"" +
                                             folder + "\" " + extra);
    }
    // Lit pixels (x, row from the top) of a --dump-bgr file of 64 x 48.
    static std::set<std::pair<int, int>> Lit(const std::string& bgr)
    {
        std::set<std::pair<int, int>> lit;
        for (int y = 0; y < 48 && bgr.size() >= 64 * 48 * 3; ++y)
            for (int x = 0; x < 64; ++x) {
                const char* p = &bgr[((size_t)y * 64 + x) * 3];
                if (p[0] || p[1] || p[2])
                    lit.insert({x, 47 - y});
            }
        return lit;
    }
};

}  // namespace

// One unit at the origin's distance 5 spans 24 / (5 tan 30°) = 8.3 pixels;
// the hidden map at (0, 1, 0) adds nothing.
TEST_F(SpxcalcAttractor, FixedPointsLightTheirProjectedPixels)
{
    const double perUnit = 24 / (5 * tan(3.14159265358979 / 6));
    for (int workers : {1, 4}) {
        SCOPED_TRACE(workers);
        std::string dump = Temp("fixed.bgr");
        ToolRun run = Render("Fixed", "--workers " + std::to_string(workers) + " --stats --dump-bgr \"" + dump + "\"");
        ASSERT_EQ(0u, run.exitCode) << run.output << run.errors;
        EXPECT_NE(std::string::npos, run.output.find("result=0")) << run.output;
        std::set<std::pair<int, int>> lit = Lit(ReadWholeFile(dump));
        ASSERT_EQ(lit.size(), 2u) << run.output;
        // the origin lies on the view's centre; (1, 0, 0) on its row, one
        // unit away (right = top x direction points to -x from this side)
        auto origin = *lit.begin(), other = *lit.rbegin();
        if (abs(other.first - 32) < abs(origin.first - 32))
            std::swap(origin, other);
        EXPECT_LE(abs(origin.first - 32), 1);
        EXPECT_LE(abs(origin.second - 24), 1);
        EXPECT_EQ(origin.second, other.second);
        EXPECT_LT(fabs(abs(other.first - origin.first) - perUnit), 1.0);
    }
}

// The cube with a fixed seed and one worker twice: the same bytes, and a
// picture, not a blank; an endless cube stopped after 500 ms answers within
// half a second with result 3.
TEST_F(SpxcalcAttractor, SeedRepeatsAndStopIsAnsweredQuickly)
{
    std::string images[2];
    for (int i = 0; i < 2; ++i) {
        std::string dump = Temp(i ? "b.bgr" : "a.bgr");
        ToolRun run = Render("Cube", "--workers 1 --seed 11 --dump-bgr \"" + dump + "\"");
        ASSERT_EQ(0u, run.exitCode) << run.output << run.errors;
        images[i] = ReadWholeFile(dump);
    }
    EXPECT_GT(Lit(images[0]).size(), 300u);
    EXPECT_TRUE(images[0] == images[1]);

    ToolRun stop = Render("Endless", "--workers 2 --stop-after 500 --stats");
    ASSERT_EQ(0u, stop.exitCode) << stop.output << stop.errors;
    EXPECT_NE(std::string::npos, stop.output.find("result=3")) << stop.output;
    size_t at = stop.output.find("stop_ms=");
    ASSERT_NE(std::string::npos, at) << stop.output;
    EXPECT_LT(atoi(stop.output.c_str() + at + 8), 500) << stop.output;
}
