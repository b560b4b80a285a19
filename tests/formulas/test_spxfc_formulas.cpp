// The command-line compiler with formula files: one entry out of a file of
// several (--entry), imports through a search path (--path), and index
// files (index).
#include <gtest/gtest.h>
#include "tests/support/ToolRunner.h"
#include <windows.h>

#include <stdio.h>

#include <complex>
#include <string>

#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

ToolRun RunTool(const std::string& arguments)
{
    return RunSibling("spxfc.exe", arguments);
}

const char kTwoEntries[] =
    "first {\n  void init(void) {\n  }\n}\n\n"
    "; comment between the entries\n"
    "second {\n  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = z * z + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n"
    "  void description(void) {\n    this.title = \"The Second\";\n  }\n}\n";

TEST(SpxfcFormulaFiles, ChecksOneEntryOfAFile)
{
    TempFolder folder;
    std::string file = folder / "two.sfm";
    ASSERT_TRUE(WriteBytes(file, Crlf(kTwoEntries)));
    ToolRun run = RunTool("check --kind iteration --symbols --entry SECOND \"" + file + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("function init: Vinit@@ defined locals=0\n"
              "function loop: Vloop@@ defined locals=0\n"
              "function bailout: Bbailout@@ defined locals=0\n"
              "title \"The Second\"\n"
              "result=true\n",
              run.output);

    run = RunTool("check --kind iteration --entry first \"" + file + "\"");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("Error - formula first:\n"
              "Compiler error 911: Formula does not contain function \"void loop(void)\".\n"
              "result=false\n",
              run.output);

    run = RunTool("check --kind iteration --entry third \"" + file + "\"");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("", run.output);
}

TEST(SpxfcFormulaFiles, WritesTheIndexOfALibrary)
{
    TempFolder folder;
    std::string library = folder.CopyFixture("mathlib.lib");
    ToolRun run = RunTool("index \"" + library + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(folder / "mathlib.slb" + "\n", run.output);
    EXPECT_EQ(ReadBytes(FixturePath("mathlib.slb.expected")), ReadBytes(folder / "mathlib.slb"));

    ASSERT_TRUE(WriteBytes(folder / "bad.lib", "bad {\n  nonsense\n}\n"));
    run = RunTool("index \"" + folder / "bad.lib" + "\"");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("index failed (3): " + folder / "bad.slb"));
    EXPECT_FALSE(FileExists(folder / "bad.slb"));

    run = RunTool("index \"" + folder / "mathlib.slb" + "\"");
    EXPECT_EQ(2u, run.exitCode);
}

TEST(SpxfcFormulaFiles, RefusesToIndexALibraryItCannotReadToTheEnd)
{
    // Each would otherwise give an index that silently lacks the class.
    const std::string good = "good {\n  real f(real a) {\n    return(a);\n  }\n}\n";
    const struct {
        std::string text;
        const char* reason;
    } cases[] = {
        {good + "open {\n  real g(real a) {\n    return(a);\n  }\n", "the entry \"open\" has no closing brace"},
        {good + "last {\n  real g(real a) {\n    return(a);\n}\n", "the entry \"last\" has no closing brace"},
        {good + std::string("\0", 1) + "later {\n}\n", "a NUL byte at character 47"},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(folder / "cut.lib", c.text));
        ToolRun run = RunTool("index \"" + folder / "cut.lib" + "\"");
        EXPECT_EQ(1u, run.exitCode) << c.reason;
        EXPECT_NE(std::string::npos, run.output.find(c.reason)) << run.output;
        EXPECT_NE(std::string::npos, run.output.find("index failed (3): " + folder / "cut.slb")) << run.output;
        EXPECT_FALSE(FileExists(folder / "cut.slb")) << c.reason;
    }
}

TEST(SpxfcFormulaFiles, ImportsThroughTheSearchPath)
{
    TempFolder folder;
    std::string libs = folder.MakeFolder("libs");
    folder.CopyFixture("mathlib.lib", "libs\\mathlib.lib");
    std::string file = folder / "uses.sfm";
    ASSERT_TRUE(WriteBytes(file, Crlf("uses {\nimport mathlib.realmath as r;\n"
                                      "  void init(void) {\n    z = 0;\n  }\n"
                                      "  void loop(void) {\n    z = z * z + pixel;\n  }\n"
                                      "  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n")));
    ToolRun run = RunTool("check --kind iteration --symbols --path \"" + libs + "\" \"" + file + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("function r.half: Rr.half@@R declared locals=1 imported\n"))
        << run.output;
    EXPECT_NE(std::string::npos, run.output.find("result=true\n"));
    EXPECT_TRUE(FileExists(libs + "\\mathlib.slb"));

    // Without the path the library is not found.
    run = RunTool("check --kind iteration \"" + file + "\"");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("Compiler error 813: Import library mathlib cannot be found.\n"));
}

// Two runnable entries, the second computing z = 2 z^2 + 1.5 pixel through
// the functions twice(a) = a*2 and mix(x, y) = x*y of the fixture library.
const char kRunnable[] =
    "plain {\n  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = z * z + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n\n"
    "importing {\nimport mathlib.complexmath as cm;\nimport mathlib.realmath as rm;\n"
    "  void init(void) {\n    z = 0;\n  }\n"
    "  void loop(void) {\n    z = cm.twice(z * z) + pixel * cm.mix(0.5, 3);\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 16);\n  }\n}\n";

TEST(SpxfcFormulaFiles, RunsAnEntryThatCallsAnImportedFunction)
{
    TempFolder folder;
    std::string libs = folder.MakeFolder("libs");
    folder.CopyFixture("mathlib.lib", "libs\\mathlib.lib");
    std::string file = folder / "runnable.sfm";
    ASSERT_TRUE(WriteBytes(file, Crlf(kRunnable)));

    // The same loop in C++, counted as the iteration formula counts.
    std::complex<long double> c(0.1L, 0.2L), z = 0;
    int expected = 0;
    while (expected < 100) {
        z = z * z * 2.0L + c * 1.5L;
        expected++;
        if (std::norm(z) >= 16)
            break;
    }
    ASSERT_GT(expected, 5);
    ASSERT_LT(expected, 100);

    ToolRun run = RunTool("run --kind iteration --path \"" + libs + "\" --entry importing \"" + file +
                          "\" --pixel 0.1,0.2 --maxiter 100");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    int iterations = -1;
    double re = 0, im = 0;
    ASSERT_EQ(3, sscanf(run.output.c_str(), "iterations=%d z=(%lf,%lf)", &iterations, &re, &im)) << run.output;
    EXPECT_EQ(expected, iterations);
    EXPECT_NEAR((double)z.real(), re, 1e-8 * std::abs((double)z.real()));
    EXPECT_NEAR((double)z.imag(), im, 1e-8 * std::abs((double)z.imag()));

    // --entry takes the other entry of the same file.
    run = RunTool("run --kind iteration --entry PLAIN \"" + file + "\" --pixel 1,1 --maxiter 100");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("iterations=2 z=(1,3)\n", run.output);

    // Without the search path the import fails; an entry the file lacks is
    // a file error.
    run = RunTool("run --kind iteration --entry importing \"" + file + "\" --pixel 0.1,0.2 --maxiter 100");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("Compiler error 813: Import library mathlib cannot be found.\n"))
        << run.output;
    run = RunTool("run --kind iteration --entry third \"" + file + "\" --pixel 0.1,0.2 --maxiter 100");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("", run.output);
}

}  // namespace
