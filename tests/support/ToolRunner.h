#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Runs one of the program's command-line tools (built beside the test
// executables) as a child process and collects what it printed.
struct ToolRun {
    bool started = false;
    DWORD exitCode = ~0u;   // ~0u when the program did not start or end in time
    std::string output;     // standard output, CR LF turned into LF
    std::string errors;     // standard error, CR LF turned into LF
};

// The path of a program in the folder of the running test executable.
std::string SiblingProgram(const std::string& name);

// Runs `"<sibling program>" arguments` and waits for it (at most timeoutMs).
// The two streams go to temporary files, so a chatty child never blocks
// on a full pipe.
ToolRun RunSibling(const std::string& program, const std::string& arguments, DWORD timeoutMs = 120000);

// The same, calling drive(process) once the program has started and before
// waiting for it, so that a test can talk to a program that runs a window
// until it is closed.
ToolRun RunSiblingDriven(const std::string& program, const std::string& arguments,
                         const std::function<void(const PROCESS_INFORMATION&)>& drive,
                         DWORD timeoutMs = 120000);

// The whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes text to path as it stands (binary); false when the file cannot be
// made.
bool WriteWholeFile(const std::string& path, const std::string& text);
