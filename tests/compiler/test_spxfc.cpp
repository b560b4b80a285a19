// The command-line compiler spxfc, run as a process beside the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>

namespace {

struct ToolRun {
    DWORD exitCode;
    std::string output;   // stdout with CR LF turned into LF
};

std::string ToolPath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of("\\/") + 1) + "spxfc.exe";
}

ToolRun RunTool(const std::string& arguments)
{
    ToolRun run{~0u, ""};
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    // Usage texts on the error stream are not part of what is checked.
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    si.hStdError = nul;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + ToolPath() + "\" " + arguments;
    std::string buffer(command);
    BOOL started = CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (started) {
        char chunk[4096];
        DWORD got;
        while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            for (DWORD i = 0; i < got; i++) {
                if (chunk[i] != '\r')
                    run.output += chunk[i];
            }
        }
        WaitForSingleObject(pi.hProcess, 30000);
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    return run;
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
