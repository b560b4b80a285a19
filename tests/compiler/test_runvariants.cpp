// The formulas of the compiler's run tests give the same results whether
// the compiler optimizes or not and whether the parameters are compiled as
// fixed values or not: each run-test program is started again in each of
// the four combinations (chosen through SPIRALIX_FORMULA_VARIANT, which
// every FormulaRun and so "spxfc run" follows) and must pass its own
// expectations in each.
#include <gtest/gtest.h>
#include "tests/support/ToolRunner.h"
#include <windows.h>

#include <string>

namespace {

struct Program {
    const char* executable;
    const char* filter;   // the tests that check results, not code shape
};

const Program kPrograms[] = {
    {"compiler_test_controlflow.exe", "*"},
    {"compiler_test_userfunctions.exe", "-Linking.*"},
    {"compiler_test_arrays.exe", "*"},
    {"compiler_test_codegen_run.exe",
     "EscapeTimeFormulas.*:FormulaValues.ParametersTakeTheirDefaultsOrTheValuesGiven:"
     "FormulaValues.SelectableFunctionsRunTheFunctionChosen:FormulaValues.PredefinedValuesAreBound:"
     "ColouringFormulas.*:SpxfcRun.PrintsIterationsAndZ:SpxfcRun.PrintsIndexAndPixelColor"},
    {"compiler_test_paramtransfer.exe", "WriteBack.*"},
};

const char* const kVariants[] = {"opt", "opt,constparams", "noopt", "noopt,constparams"};

struct Outcome {
    bool started;
    DWORD exitCode;
    std::string output;
};

// Runs the program with the gtest filter and the variant in its
// environment; its output (stdout and stderr) is kept.
Outcome RunVariant(const Program& program, const char* variant)
{
    Outcome outcome{false, ~0u, ""};
    std::string executable = SiblingProgram(program.executable);
    if (GetFileAttributesA(executable.c_str()) == INVALID_FILE_ATTRIBUTES) {
        outcome.output = executable + " is missing";
        return outcome;
    }
    SetEnvironmentVariableA("SPIRALIX_FORMULA_VARIANT", variant);
    ToolRun run = RunSibling(program.executable,
                            std::string("--gtest_brief=1 \"--gtest_filter=") + program.filter + "\"", 600000);
    SetEnvironmentVariableA("SPIRALIX_FORMULA_VARIANT", nullptr);
    outcome.started = run.started;
    outcome.exitCode = run.exitCode;
    outcome.output = run.output + run.errors;
    return outcome;
}

class RunVariants : public ::testing::TestWithParam<Program> {};

TEST_P(RunVariants, GiveTheSameResultsInEachCombination)
{
    const Program& program = GetParam();
    for (const char* variant : kVariants) {
        Outcome o = RunVariant(program, variant);
        ASSERT_TRUE(o.started) << program.executable << ": " << o.output;
        EXPECT_EQ(0u, o.exitCode) << program.executable << " with " << variant << ":\n" << o.output;
        // A filter that selects nothing would pass without running a formula.
        EXPECT_EQ(std::string::npos, o.output.find("] 0 tests from")) << program.executable << " ran no tests";
    }
}

INSTANTIATE_TEST_SUITE_P(RunTests, RunVariants, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) {
                             std::string name = info.param.executable;
                             name = name.substr(14, name.size() - 18);   // between "compiler_test_" and ".exe"
                             return name;
                         });

}  // namespace
