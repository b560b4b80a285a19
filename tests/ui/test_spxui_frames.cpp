// spxui frames: the main frame, a fractal window and two tool windows run
// in their own process; the test moves and resizes them from outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>
#include <string>
#include <utility>

#include "tests/support/ToolRunner.h"

namespace {

// The frames scene: the test moves the "Fractal Size" window and resizes the
// frame, then closes it; the tool stores the placement and reports the
// status parts it ended with.
BOOL CALLBACK FindOwnWindow(HWND hwnd, LPARAM data)
{
    auto* wanted = reinterpret_cast<std::pair<DWORD, HWND>*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char title[64] = "";
    GetWindowTextA(hwnd, title, sizeof(title));
    if (process == wanted->first && strcmp(title, "Fractal Size") == 0)
        wanted->second = hwnd;
    return TRUE;
}

TEST(SpxuiFrames, ClosingStoresTheMovedToolWindowAndTheStatusPartsFollowTheFrame)
{
    HWND frame = NULL;
    ToolRun run = RunSiblingDriven("spxui.exe", "frames", [&](const PROCESS_INFORMATION& pi) {
        std::pair<DWORD, HWND> size(pi.dwProcessId, (HWND)NULL);
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 60000) {
            frame = FindWindowA("vuzaz_defwindow", "spxui");
            EnumWindows(FindOwnWindow, (LPARAM)&size);
            if (frame != NULL && size.second != NULL)
                break;
            Sleep(100);
        }
        ASSERT_NE(nullptr, frame);
        ASSERT_NE(nullptr, size.second);
        SetWindowPos(size.second, NULL, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetWindowPos(frame, NULL, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
        PostMessageA(frame, WM_CLOSE, 0, 0);
    });
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("Size X=123 Y=77 ")) << run.output;

    long width = 0;
    int parts[5];
    const char* line = strstr(run.output.c_str(), "client width=");
    ASSERT_NE(nullptr, line) << run.output;
    ASSERT_EQ(6, sscanf(line, "client width=%ld parts=%d %d %d %d %d", &width, &parts[0],
                        &parts[1], &parts[2], &parts[3], &parts[4]));
    EXPECT_LT(width, 700);
    EXPECT_GT(width, 600);
    EXPECT_EQ(width, parts[4]);
    EXPECT_EQ(width - 550, parts[0]);

    ToolRun stored = RunSibling("spxui.exe", "placement Size");
    EXPECT_NE(std::string::npos, stored.output.find("X=123 Y=77 ")) << stored.output;
}

}  // namespace
