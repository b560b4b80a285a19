// The spxpar tool: the view operations against the known examples, pixel
// positions on a deep view, the dump of a new fractal of every type with
// the test formula folder, copies that dump the same, and bad arguments.
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "DocumentTestSupport.h"
#include "tests/support/ToolRunner.h"

namespace {

ToolRun Spxpar(const std::string& arguments)
{
    return RunSibling("spxpar.exe", arguments);
}

// The value of key= in the output ("<missing>" when absent).
std::string Value(const std::string& output, const std::string& key)
{
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.compare(0, key.size() + 1, key + "=") == 0)
            return line.substr(key.size() + 1);
    return "<missing>";
}

// Each run starts a Wine process, so one run per behaviour.
TEST(Spxpar, ViewExamples)
{
    ToolRun run = Spxpar(
        "view --type Plasma --size 800x400 --corners -2.5,1.5,1.5,-1.5 --aspect --pixel 0,399 "
        "--size 4x4 --corners -0.7436438870371587048,0.1318259042053119996,-0.7436438870371587044,"
        "0.1318259042053119992 --pixel 1,3 --corners -1,1,1,-1,2,3");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    // The aspect step made the 800 x 400 view -2.5..1.5 by 1.5..-0.5; its
    // top-left pixel is the corner. Then the deep view's pixel, then the
    // stretched view's corners.
    EXPECT_NE(run.output.find("point=-2.5,1.5\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("point=-0.7436438870371587047,0.1318259042053119996\n"), std::string::npos);
    EXPECT_EQ(Value(run.output, "V1"), "2.0,3.0");
    EXPECT_EQ(Value(run.output, "Stretch"), "1");
}

// A new escape-time fractal with the test formulas: header, descriptor
// values, the slots with their parameters, gradient.
TEST(Spxpar, NewFractalDump)
{
    ToolRun run = Spxpar("new --type ESCAPETIME --path \"" + DocumentFormulaFolder() + "\"");
    ASSERT_EQ(run.exitCode, 0u) << run.errors;
    const struct {
        const char* key;
        const char* value;
    } cases[] = {
        {"entry", "Escapetime"},
        {"Type", "Escapetime"},
        {"Width", "640"},
        {"DisplayDepth", "24"},
        {"NumFrames", "10"},
        {"TopLeftR", "-2.5"},
        {"BottomRightI", "-1.5"},
        {"MaxIter", "250"},
        {"Mapping (outside)", "1"},
        {"iteration", "Spiralix.sfm:Mandelbrot"},
        {"iteration.found", "Mandelbrot Set"},
        {"iteration.compiled", "1"},
        {"iteration.p_Bailout", "4"},
        {"iteration.p_Seed", "0.25/-0.5"},
        {"inside", ":"},
        {"gradient.offset", "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Value(run.output, c.key), c.value) << c.key;
}

TEST(Spxpar, BadArgumentsExitWithTwo)
{
    ToolRun run = Spxpar("view --type plasma --corners 1,2,3");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_FALSE(run.errors.empty());
}

}  // namespace
