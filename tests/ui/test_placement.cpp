// Window placement: font-unit defaults converted once with the GUI font,
// stored values applied and the complete set written back, isAttached
// without a dock container, and the setters written through.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string.h>

#include "tests/support/ToolRunner.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/Font.h"
#include "ui/Toolkit.h"
#include "ui/WindowPlacement.h"

namespace {

// A fresh descriptor per test: the table's own instances load only once.
WindowDescriptor MakeParameters()
{
    return WindowDescriptor("Parameters", 120, 1, 0, 0, FontUnits(100, 30), FontUnits(83, 12), 1,
                            1, 1, 0);
}

TEST(WindowPlacement, FirstLoadConvertsFontUnitsAndWritesAllSevenValues)
{
    StartToolkitOnce();
    HandlerRecorder recorder;
    WindowDescriptor d = MakeParameters();
    const PFont* font = GuiFont();
    EXPECT_EQ(100 + 30 * (int)font->averageCharWidth, d.GetWidth());
    EXPECT_EQ(83 + 12 * (int)font->charHeight, d.GetHeight());
    EXPECT_FALSE(d.IsAttached());  // no dock container
    EXPECT_EQ((std::vector<std::string>{
                  "write Windows\\Parameters/isOpened", "write Windows\\Parameters/isMinimized",
                  "write Windows\\Parameters/isAttached", "write Windows\\Parameters/X",
                  "write Windows\\Parameters/Y", "write Windows\\Parameters/Width",
                  "write Windows\\Parameters/Height"}),
              recorder.calls);
    EXPECT_EQ((DWORD)d.Width, recorder.registry["Windows\\Parameters/Width"]);
    // Loading again reads and writes nothing.
    recorder.calls.clear();
    d.Load();
    EXPECT_TRUE(recorder.calls.empty());
}

TEST(WindowPlacement, StoredValuesWinAndBooleansAreNormalised)
{
    StartToolkitOnce();
    HandlerRecorder recorder;
    recorder.registry["Windows\\Parameters/X"] = 321;
    recorder.registry["Windows\\Parameters/Width"] = 444;
    recorder.registry["Windows\\Parameters/isMinimized"] = 7;
    recorder.registry["Windows\\Parameters/isAttached"] = 5;
    WindowDescriptor d = MakeParameters();
    EXPECT_EQ(321, d.GetX());
    EXPECT_EQ(444, d.GetWidth());
    EXPECT_TRUE(d.IsMinimized());
    EXPECT_EQ(1u, recorder.registry["Windows\\Parameters/isMinimized"]);
    // Without a dock container nothing is attached, and 0 is written back.
    EXPECT_FALSE(d.IsAttached());
    EXPECT_EQ(0u, recorder.registry["Windows\\Parameters/isAttached"]);
}

TEST(WindowPlacement, PixelDefaultsStayAndSettersWriteThrough)
{
    StartToolkitOnce();
    HandlerRecorder recorder;
    WindowDescriptor* palette = FindWindowDescriptor("PresetPalette");
    ASSERT_NE(nullptr, palette);
    EXPECT_EQ(200, DecodeWindowSize(200, 17.0f));
    EXPECT_EQ(52 + 3 * 7, DecodeWindowSize(FontUnits(52, 3), 7.9f));

    WindowDescriptor d = MakeParameters();
    d.Load();
    recorder.calls.clear();
    d.SetX(12);
    d.SetOpened(0x100);  // the low byte decides
    EXPECT_EQ((std::vector<std::string>{"write Windows\\Parameters/X",
                                        "write Windows\\Parameters/isOpened"}),
              recorder.calls);
    EXPECT_EQ(12u, recorder.registry["Windows\\Parameters/X"]);
    EXPECT_EQ(0u, recorder.registry["Windows\\Parameters/isOpened"]);
}

TEST(WindowPlacement, TableHoldsTheTwentyFourWindowsInOrder)
{
    EXPECT_STREQ("Parameters", WindowDescriptorAt(0)->name);
    EXPECT_STREQ("Options", WindowDescriptorAt(23)->name);
    EXPECT_EQ(nullptr, WindowDescriptorAt(24));
    EXPECT_EQ(FontUnits(40, 41), FindWindowDescriptor("Size")->Width);
    EXPECT_EQ(nullptr, FindWindowDescriptor("Nowhere"));
}

TEST(SpxuiPlacement, PrintsEachNamedWindow)
{
    ToolRun run = RunSibling("spxui.exe", "placement Size PresetPalette");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("Size isOpened="));
    EXPECT_NE(std::string::npos,
              run.output.find("PresetPalette isOpened=0 isMinimized=0 isAttached=0 X=0 Y=0 "
                              "Width=200 Height=200\n"));
    ToolRun all = RunSibling("spxui.exe", "placement");
    EXPECT_EQ(24, (int)std::count(all.output.begin(), all.output.end(), '\n'));
    ToolRun bad = RunSibling("spxui.exe", "placement Nowhere");
    EXPECT_EQ(1u, bad.exitCode);
}

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
