// "spxfc check --postfix": the element stream of every statement after the
// pipeline, one line each, and the expression errors with their places.
#include <gtest/gtest.h>
#include "tests/support/ToolRunner.h"
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace {

ToolRun RunSpxfc(const std::string& arguments)
{
    return RunSibling("spxfc.exe", arguments);
}

class SpxfcPostfix : public ::testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH], file[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        GetTempFileNameA(folder, "sfp", 0, file);
        path = file;
    }
    void TearDown() override { DeleteFileA(path.c_str()); }
    void Write(const char* text)
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(nullptr, f);
        fputs(text, f);
        fclose(f);
    }
    std::string path;
};

TEST_F(SpxfcPostfix, OneLinePerStatement)
{
    // Symbol ids: 1..21 the small integers, z the first predefined value
    // (22); r, n and a (the declared variables) follow the predefined ones.
    Write("Post {\n"
          "  real r;\n"
          "  void init(void) {\n"
          "    r = (r + 2) * 3;\n"
          "    z = z;\n"
          "  }\n"
          "  void loop(void) {\n"
          "    z = z*z - |z|;\n"
          "  }\n"
          "  bool bailout(void) {\n"
          "    return(r < 4 && !(r == 0));\n"
          "  }\n"
          "}\n");
    ToolRun run = RunSpxfc("check --kind iteration --postfix \"" + path + "\"");
    EXPECT_EQ(0u, run.exitCode);
    // The id of r is whatever the line of its first statement says.
    size_t blank = run.output.find(' ');
    ASSERT_NE(std::string::npos, blank);
    std::string r = run.output.substr(blank + 1, run.output.find(' ', blank + 1) - blank - 1);
    EXPECT_EQ("273 " + r + " 268 " + r + " 268 4 8 268 6 10 43\n"
              "\n"   // z = z compiles to nothing
              "273 22 268 22 268 22 10 268 22 80 9 43\n"
              "268 " + r + " 268 8 38 268 " + r + " 268 1 34 40 32\n"
              "result=true\n",
              run.output);
}

TEST_F(SpxfcPostfix, ExpressionErrorsArePlaced)
{
    Write("Bad {\n"
          "  color col;\n"
          "  void init(void) {\n"
          "    col = rgb(1, 2, 3) * 0.5;\n"
          "    z = col + 1;\n"
          "  }\n"
          "}\n");
    ToolRun run = RunSpxfc("check --kind iteration --postfix \"" + path + "\"");
    EXPECT_EQ(1u, run.exitCode);
    size_t error = run.output.find("Error - formula Bad");
    ASSERT_NE(std::string::npos, error);
    EXPECT_EQ("Error - formula Bad, line 5 at char 4:\n"
              "Compiler Error 768: Operation \"+ (Addition)\" with number types \"color and real\" not supported\n"
              "result=false\n",
              run.output.substr(error));
    // The first statement was checked and printed before.
    EXPECT_EQ(0u, run.output.find("273 "));
}

TEST_F(SpxfcPostfix, FoldShowsTheStreamsTheCodeIsMadeFrom)
{
    Write("Fold {\n"
          "  real r;\n"
          "  void init(void) {\n"
          "    r = 3;\n"
          "    z = z*(2 + 3);\n"
          "  }\n"
          "  void loop(void) {\n"
          "    z = z^2 + pixel*r;\n"
          "  }\n"
          "  bool bailout(void) {\n"
          "    return(|z| < 4);\n"
          "  }\n"
          "}\n");
    // Without --fold the streams are those of the checks.
    ToolRun plain = RunSpxfc("check --kind iteration --postfix \"" + path + "\"");
    EXPECT_EQ(0u, plain.exitCode);
    EXPECT_NE(std::string::npos, plain.output.find("273 22 268 22 268 4 268 6 8 10 43\n")) << plain.output;

    ToolRun run = RunSpxfc("check --kind iteration --fold --postfix \"" + path + "\"");
    EXPECT_EQ(0u, run.exitCode);
    std::vector<std::string> lines;
    for (size_t at = 0, next; (next = run.output.find('\n', at)) != std::string::npos; at = next + 1)
        lines.push_back(run.output.substr(at, next - at));
    ASSERT_EQ(5u, lines.size()) << run.output;
    EXPECT_EQ("", lines[0]);                          // r is the constant 3: no store
    EXPECT_EQ("273 22 268 22 268 10 10 43", lines[1]);   // z times the constant 5
    EXPECT_NE(std::string::npos, lines[2].find(" 48 ")) << lines[2];   // z^2 as sqr
    EXPECT_NE(std::string::npos, lines[2].find(" 64 ")) << lines[2];   // pixel*r as mult3
    EXPECT_EQ(std::string::npos, lines[2].find(" 12 ")) << lines[2];
    EXPECT_EQ("268 22 80 268 8 38", lines[3]);
    EXPECT_EQ("result=true", lines[4]);
}

}  // namespace
