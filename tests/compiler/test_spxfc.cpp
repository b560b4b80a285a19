// The command-line compiler spxfc, run as a process beside the test.
#include <gtest/gtest.h>
#include "tests/support/ToolRunner.h"
#include <windows.h>

#include <stdio.h>

#include <string>

namespace {

ToolRun RunTool(const std::string& arguments)
{
    return RunSibling("spxfc.exe", arguments);
}

class Spxfc : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH], file[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        GetTempFileNameA(folder, "sfc", 0, file);
        path = file;
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    // Writes the formula in text mode, so its line ends are CR LF on disk
    // as in a formula file.
    void Write(const char* text)
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, f);
        fputs(text, f);
        fclose(f);
    }

    std::string path;
};

TEST_F(Spxfc, PrintsTheMessagesAndTheResult)
{
    Write("Bad1 {\nvoid init(void) {\nz = 0\n}\n}\n");
    ToolRun run = RunTool("check --kind iteration \"" + path + "\"");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("Error in formula Bad1, line 4 at char 0:\n"
              "Syntax Error perr-0511: Semicolon expected.\n"
              "result=false\n",
              run.output);

    Write("Bad2 {\n  void init(void) {\n  }\n}\n");
    run = RunTool("check --kind iteration \"" + path + "\"");
    EXPECT_EQ("Error - formula Bad2:\n"
              "Compiler error 911: Formula does not contain function \"void loop(void)\".\n"
              "result=false\n",
              run.output);
}

TEST_F(Spxfc, KindsSubKindsAndSymbols)
{
    Write("Good {\n"
          "  parameter real bail;\n"
          "  function color mix;\n"
          "  real sum;\n"
          "  void loop(void) {\n"
          "    sum = sum + 1;\n"
          "  }\n"
          "  void description(void) {\n"
          "    this.title = \"Good one\";\n"
          "    bail.caption = \"Bailout\";\n"
          "    bail.default = 4;\n"
          "    bail.max = 100;\n"
          "  }\n"
          "}\n");
    ToolRun run = RunTool("check --kind coloring --subkind attractor --symbols \"" + path + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("symbol __mix: int enum variable enum=[0:Normal, 1:Multiply, 2:Screen, 3:Overlay, 4:Soft Light, "
              "5:Hard Light, 6:Darken, 7:Lighten, 8:Difference, 9:Hue, 10:Saturation, 11:Color, 12:Luminance, "
              "13:Addition, 14:Subtraction, 15:HSL Addition, 16:Red, 17:Green, 18:Blue]\n"
              "symbol sum: real extended variable\n"
              "symbol bail: real extended parameter caption=\"Bailout\" default=(4) max=100 visible=1 enabled=1\n"
              "function loop: Vloop@@ defined locals=0\n"
              "title \"Good one\"\n"
              "result=true\n",
              run.output);

    // The same formula as a plane colouring lacks its final function.
    run = RunTool("check --kind coloring \"" + path + "\"");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("Error - formula Good:\n"
              "Compiler error 916: Formula does not contain function \"void final(void)\".\n"
              "result=false\n",
              run.output);
}

TEST_F(Spxfc, UsageErrors)
{
    Write("L {\n}\n");
    EXPECT_EQ(2u, RunTool("check \"" + path + "\"").exitCode);
    EXPECT_EQ(2u, RunTool("check --kind fractal \"" + path + "\"").exitCode);
    EXPECT_EQ(2u, RunTool("check --kind library --subkind cube \"" + path + "\"").exitCode);
    EXPECT_EQ(2u, RunTool("compile --kind library \"" + path + "\"").exitCode);
    EXPECT_EQ(2u, RunTool("check --kind library \"" + path + ".missing\"").exitCode);
    ToolRun run = RunTool("check --kind library \"" + path + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("result=true\n", run.output);
}

}  // namespace
