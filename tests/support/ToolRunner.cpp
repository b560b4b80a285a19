#include "tests/support/ToolRunner.h"
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::string TempFile()
{
    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "run", 0, path);
    return path;
}

HANDLE OpenInheritable(const std::string& path)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAndDelete(const std::string& path)
{
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        int c;
        while ((c = fgetc(f)) != EOF)
            if (c != '\r')
                text += static_cast<char>(c);
        fclose(f);
    }
    DeleteFileA(path.c_str());
    return text;
}

} // namespace

std::string SiblingProgram(const std::string& name)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, n);
    return self.substr(0, self.find_last_of("\\/") + 1) + name;
}

// Where Wine runs under an emulator every process start is slow: the test
// script sets SPIRALIX_TIMEOUT_FACTOR there and the waits grow with it.
static DWORD ScaledTimeout(DWORD timeoutMs)
{
    char text[16];
    DWORD n = GetEnvironmentVariableA("SPIRALIX_TIMEOUT_FACTOR", text, sizeof text);
    int factor = n > 0 && n < sizeof text ? atoi(text) : 1;
    return factor > 1 ? timeoutMs * (DWORD)factor : timeoutMs;
}

ToolRun RunSibling(const std::string& program, const std::string& arguments, DWORD timeoutMs)
{
    return RunSiblingDriven(program, arguments, nullptr, timeoutMs);
}

ToolRun RunSiblingDriven(const std::string& program, const std::string& arguments,
                         const std::function<void(const PROCESS_INFORMATION&)>& drive,
                         DWORD timeoutMs)
{
    timeoutMs = ScaledTimeout(timeoutMs);
    ToolRun run;
    std::string command = "\"" + SiblingProgram(program) + "\"";
    if (!arguments.empty())
        command += " " + arguments;
    std::string outPath = TempFile(), errPath = TempFile();
    HANDLE out = OpenInheritable(outPath);
    HANDLE err = OpenInheritable(errPath);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    run.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &si, &pi) != 0;
    CloseHandle(out);
    CloseHandle(err);
    if (run.started) {
        if (drive)
            drive(pi);
        if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &run.exitCode);
        else
            TerminateProcess(pi.hProcess, ~0u);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    run.output = ReadAndDelete(outPath);
    run.errors = ReadAndDelete(errPath);
    return run;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
            text.append(chunk, n);
        fclose(f);
    }
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}
