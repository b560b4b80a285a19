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

// The lines of a dump without the marks a copy may differ in.
std::string WithoutCompileMarks(const std::string& output)
{
    std::istringstream lines(output);
    std::string line, kept;
    while (std::getline(lines, line))
        if (line.find(".compiled=") == std::string::npos && line.compare(0, 8, "credits=") != 0)
            kept += line + "\n";
    return kept;
}

TEST(Spxpar, ViewExamples)
{
    const struct {
        const char* arguments;
        const char* key;
        const char* value;
    } cases[] = {
        {"--corners -2.5,1.5,1.5,-1.5 --aspect --pixel 0,479", "BottomRightI", "-1.5"},
        {"--corners -2.5,1.5,1.5,-1.5 --aspect --pixel 0,479", "point", "-2.5,1.5"},
        {"--size 800x400 --corners -2.5,1.5,1.5,-1.5 --aspect", "BottomRightI", "-0.5"},
        {"--size 800x400 --corners -2.5,1.5,1.5,-1.5 --aspect", "TopLeftR", "-2.5"},
        {"--corners -1,1,1,-1,2,3 --angle 0", "V1", "2,3"},
        {"--corners -1,1,1,-1,2,3 --angle 0", "Stretch", "1"},
        {"--size 4x4 --corners -0.7436438870371587048,0.1318259042053119996,-0.7436438870371587044,"
         "0.1318259042053119992 --pixel 1,3",
         "point", "-0.7436438870371587047,0.1318259042053119996"},
    };
    std::string lastArguments;
    ToolRun run;
    for (const auto& c : cases) {
        if (lastArguments != c.arguments) {
            run = Spxpar(std::string("view --type Plasma ") + c.arguments);
            lastArguments = c.arguments;
        }
        ASSERT_EQ(run.exitCode, 0u) << c.arguments << "\n" << run.errors;
        EXPECT_EQ(Value(run.output, c.key), c.value) << c.arguments << "\n" << run.output;
    }
    // The centre-and-magnification example: -4/3 .. 4/3 by 1 .. -1.
    run = Spxpar("view --type plasma --center-mag 0,0,1,0,0,0");
    EXPECT_EQ(Value(run.output, "TopLeftR").substr(0, 12), "-1.333333333");
    EXPECT_EQ(Value(run.output, "BottomRightR").substr(0, 11), "1.333333333");
    EXPECT_EQ(Value(run.output, "TopLeftI"), "1");
    EXPECT_EQ(Value(run.output, "Stretch"), "0");
}

// The defaults of every type, from the typed constructor with the test
// formulas: the header, a descriptor value, the formula slots.
TEST(Spxpar, NewFractalDumps)
{
    const std::string path = " --path \"" + DocumentFormulaFolder() + "\"";
    const struct {
        const char* type;
        const char* key;
        const char* value;
    } cases[] = {
        {"escapetime", "entry", "Escapetime"},
        {"escapetime", "Type", "Escapetime"},
        {"escapetime", "TopLeftR", "-2.5"},
        {"escapetime", "MaxIter", "250"},
        {"escapetime", "iteration", "Spiralix.sfm:Mandelbrot"},
        {"escapetime", "iteration.found", "Mandelbrot Set"},
        {"escapetime", "iteration.compiled", "1"},
        {"escapetime", "iteration.p_Bailout", "4"},
        {"escapetime", "iteration.p_Seed", "0.25/-0.5"},
        {"escapetime", "inside", ":"},
        {"escapetime", "Mapping (outside)", "1"},
        {"escapetime", "DisplayDepth", "24"},
        {"escapetime", "gradient.offset", "0"},
        {"quaternion", "Dims", "1"},
        {"quaternion", "MaxIter", "15"},
        {"quaternion", "Light1_x", "1000"},
        {"quaternion", "Light1Enabled", "1"},
        {"quaternion", "Light2Enabled", "0"},
        {"quaternion", "Light1Saturation#2", "1"},
        {"quaternion", "coloring", "Quaternions.scl:SX_None"},
        {"attractor", "RenderMode", "3"},
        {"attractor", "map0.transform0", "AttractorConstructor.sfm:geometry"},
        {"attractor", "coloring", "Attractors.scl:Attractor_Default"},
        {"plasma", "Seed", "1000"},
        {"plasma", "NumFrames", "10"},
        {"Dynamic_System", "C", "2.666"},
        {"lsystem", "Formula", "Koch1"},
        {"ifs", "Formula", "Fern"},
        {"layered_fractal", "entry", "Layered Fractal"},
        {"image", "Type", "Image"},
    };
    std::string lastType;
    ToolRun run;
    for (const auto& c : cases) {
        if (lastType != c.type) {
            run = Spxpar(std::string("new --type ") + c.type + path);
            lastType = c.type;
        }
        ASSERT_EQ(run.exitCode, 0u) << c.type << "\n" << run.errors;
        EXPECT_EQ(Value(run.output, c.key), c.value) << c.type << " " << c.key;
    }
}

TEST(Spxpar, CopyDumpsLikeItsSource)
{
    const std::string path = " --path \"" + DocumentFormulaFolder() + "\"";
    for (const char* type : {"escapetime", "attractor"}) {
        ToolRun original = Spxpar(std::string("new --type ") + type + path);
        ToolRun copy = Spxpar(std::string("new --copy --type ") + type + path);
        ASSERT_EQ(copy.exitCode, 0u) << type << "\n" << copy.errors;
        EXPECT_EQ(WithoutCompileMarks(copy.output), WithoutCompileMarks(original.output)) << type;
    }
}

TEST(Spxpar, BadArgumentsExitWithTwo)
{
    for (const char* arguments : {"new --type nosuchtype", "view --type plasma --corners 1,2,3",
                                  "view --type plasma --pixel x,1"}) {
        ToolRun run = Spxpar(arguments);
        EXPECT_EQ(run.exitCode, 2u) << arguments;
        EXPECT_FALSE(run.errors.empty()) << arguments;
    }
}

}  // namespace
