// spxcalc render with the drawing fractal types as a user runs it: the
// program's own IFS and L-system files by default or the files given with
// --formulas, the drawing trace of the turtle, and renders that repeat
// exactly for every drawing type.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ToolRunner.h"

namespace {

const char kEntries[] =
    "Square {\r\n  Type=LSystem Corners=-5.0/5.0/-5.0/5.0 DisplayDepth=8 MaxIter=1 Formula=Sq\r\n}\r\n"
    "Koch {\r\n  Type=LSystem Corners=-5.0/5.0/-5.0/5.0 DisplayDepth=8 MaxIter=3 Formula=Koch1\r\n}\r\n"
    "Missing {\r\n  Type=LSystem Corners=-5.0/5.0/-5.0/5.0 DisplayDepth=8 MaxIter=3 Formula=Nowhere\r\n}\r\n"
    "Fern {\r\n  Type=IFS Corners=-5.0/5.0/-1.0/11.0 DisplayDepth=8 MaxIter=20000\r\n}\r\n"
    "Clouds {\r\n  Type=Plasma DisplayDepth=8\r\n}\r\n"
    "Orbit {\r\n  Type=Dynamic_System DisplayDepth=8\r\n}\r\n";

const char kSquare[] = "Sq {\r\n  Angle 4\r\n  Axiom F+F+F+F\r\n}\r\n";

class SpxcalcDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The tool finds the program's own formula folder through this.
        std::string data = SPIRALIX_TEST_DATA;
        std::string formulas = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
        SetEnvironmentVariableA("SPIRALIX_FORMULAS", formulas.c_str());
        ASSERT_TRUE(WriteWholeFile(Temp("entries.par"), kEntries));
        ASSERT_TRUE(WriteWholeFile(Temp("square.l"), kSquare));
    }

    static std::string Temp(const char* name)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        return std::string(temp) + "spx_draw_" + std::to_string(GetCurrentProcessId()) + "_" + name;
    }

    // Renders an entry at 64 x 48 with the extra arguments given.
    static ToolRun Render(const char* entry, const std::string& extra)
    {
        return RunSibling("spxcalc.exe", "render \"" + Temp("entries.par") + "\" --entry " + entry +
                                             " --size 64x48 " + extra);
    }

    // The segments of a --dump-draw file: x0 y0 x1 y1 c per line.
    static std::vector<std::vector<double>> Segments(const std::string& text)
    {
        std::vector<std::vector<double>> rows;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream in(line);
            std::vector<double> row;
            for (double v; in >> v;)
                row.push_back(v);
            rows.push_back(row);
        }
        return rows;
    }
};

// A square drawn from a file given with --formulas: four equal sides, each
// turning 90 degrees, ending where it started.
TEST_F(SpxcalcDrawing, DrawsAnLSystemOfAGivenFile)
{
    std::string dump = Temp("square.txt");
    ToolRun run = Render("Square", "--formulas \"" + Temp("square.l") + "\" --dump-draw \"" + dump + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.output << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("result=0"));
    auto s = Segments(ReadWholeFile(dump));
    ASSERT_EQ(4u, s.size());
    double side = hypot(s[0][2] - s[0][0], s[0][3] - s[0][1]);
    EXPECT_GT(side, 0.0);
    for (size_t i = 0; i < s.size(); ++i) {
        ASSERT_EQ(5u, s[i].size());
        EXPECT_NEAR(side, hypot(s[i][2] - s[i][0], s[i][3] - s[i][1]), 1e-9) << i;
        if (i) {
            EXPECT_NEAR(s[i - 1][2], s[i][0], 1e-9) << i;
            EXPECT_NEAR(s[i - 1][3], s[i][1], 1e-9) << i;
            double dot = (s[i - 1][2] - s[i - 1][0]) * (s[i][2] - s[i][0]) +
                         (s[i - 1][3] - s[i - 1][1]) * (s[i][3] - s[i][1]);
            EXPECT_NEAR(0.0, dot, 1e-9) << i;
        }
    }
    EXPECT_NEAR(s[0][0], s[3][2], 1e-9);
    EXPECT_NEAR(s[0][1], s[3][3], 1e-9);
}

// The shipped Koch1 at depth 3: 3 * 4^3 segments of one length, a closed
// curve; a formula that no file holds fails the render.
TEST_F(SpxcalcDrawing, DrawsTheShippedKochCurve)
{
    std::string dump = Temp("koch.txt");
    ToolRun run = Render("Koch", "--dump-draw \"" + dump + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.output << run.errors;
    auto s = Segments(ReadWholeFile(dump));
    ASSERT_EQ(192u, s.size());
    double side = hypot(s[0][2] - s[0][0], s[0][3] - s[0][1]);
    for (const auto& seg : s)
        EXPECT_NEAR(side, hypot(seg[2] - seg[0], seg[3] - seg[1]), 1e-9);
    EXPECT_NEAR(s.front()[0], s.back()[2], 1e-9);
    EXPECT_NEAR(s.front()[1], s.back()[3], 1e-9);

    ToolRun missing = Render("Missing", "");
    EXPECT_EQ(1u, missing.exitCode) << missing.output << missing.errors;
}

// Every drawing type renders with result 0, draws something, and draws it
// the same way twice.
TEST_F(SpxcalcDrawing, RendersRepeatExactly)
{
    struct Case {
        const char* entry;
        const char* dump;
    } cases[] = {
        {"Fern", "--dump-index"},
        {"Clouds", "--dump-values"},
        {"Orbit", "--dump-draw"},
        {"Koch", "--dump-index"},
    };
    for (const Case& c : cases) {
        std::string texts[2];
        for (int i = 0; i < 2; ++i) {
            std::string path = Temp((std::string(c.entry) + std::to_string(i) + ".txt").c_str());
            ToolRun run = Render(c.entry, std::string(c.dump) + " \"" + path + "\"");
            ASSERT_EQ(0u, run.exitCode) << c.entry << run.output << run.errors;
            texts[i] = ReadWholeFile(path);
        }
        EXPECT_FALSE(texts[0].empty()) << c.entry;
        EXPECT_EQ(texts[0], texts[1]) << c.entry;
        if (strcmp(c.dump, "--dump-index") == 0) {
            // Something other than the background was plotted.
            std::istringstream in(texts[0]);
            std::vector<int> values;
            for (int v; in >> v;)
                values.push_back(v);
            ASSERT_EQ(64u * 48u, values.size()) << c.entry;
            bool varied = false;
            for (int v : values)
                varied |= v != values[0];
            EXPECT_TRUE(varied) << c.entry;
        }
    }
}

}  // namespace
