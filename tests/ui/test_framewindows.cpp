// Frame windows and their procedures: classes and styles by type, roll-up,
// positions kept on the screen, command routing by id, Escape, the guards,
// and the worker threads' messages about fractals and render jobs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include "foundation/MainWindowMessages.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/Guard.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"
#include "ui/WindowProcs.h"

namespace {

std::string ClassOf(HWND hwnd)
{
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

// A main frame made through the toolkit, as the parent of the others.
class FrameFixture : public testing::Test {
protected:
    void SetUp() override
    {
        StartToolkitOnce();
        main = new PFrameWindow("main", WID_MAIN, WT_MAIN, true, false, 0, 0, 640, 480, true,
                                false);
        g_Toolkit.mainFrame = main;
        ShowWindow(main->hwnd, SW_SHOW);
    }
    void TearDown() override
    {
        g_Toolkit.mainFrame = NULL;
        delete main;
    }
    PFrameWindow* main = nullptr;
};

TEST_F(FrameFixture, EachTypeGetsItsClassAndStyles)
{
    EXPECT_EQ("vuzaz_defwindow", ClassOf(main->hwnd));
    EXPECT_EQ(0x6CF0000u, (DWORD)GetWindowLongA(main->hwnd, GWL_STYLE) & 0x6CF0000u);
    EXPECT_EQ(0, _stricmp("MDICLIENT", ClassOf(main->mdiClient).c_str()));
    EXPECT_EQ(0x52300000u, (DWORD)GetWindowLongA(main->mdiClient, GWL_STYLE) & 0xFFFF0000u);
    EXPECT_EQ((LONG)(LONG_PTR)main, GetWindowLongA(main->mdiClient, GWL_USERDATA));
    EXPECT_EQ((LONG_PTR)MdiClientProc, GetWindowLongA(main->mdiClient, GWL_WNDPROC));

    struct Case {
        int type;
        int id;
        bool thick;
        const char* className;
        DWORD style;
    } cases[] = {
        {WT_TOOL, 680, true, "vuzaz_window", 0x82CC0000},
        {WT_TOOL, 680, false, "vuzaz_window", 0x82C80000},
        {WT_POPUP, 1900, false, "vuzaz_window", 0x82410000},
        {WT_POPUP, WID_DRAG, false, "vuzaz_dragwindow", 0x82010000},
        {WT_MDICHILD, WID_FRACTAL, false, "vuzaz_childwindow", 0x44CF0000},
    };
    for (const Case& c : cases) {
        PFrameWindow window("w", c.id, c.type, c.thick, false, 10, 10, 200, 100, true, false);
        ASSERT_NE(nullptr, window.hwnd) << c.className;
        EXPECT_EQ(c.className, ClassOf(window.hwnd));
        EXPECT_EQ(c.style, (DWORD)GetWindowLongA(window.hwnd, GWL_STYLE) & c.style) << c.className;
        EXPECT_EQ(&window, FrameObjectOf(window.hwnd));
    }
    PFrameWindow none("none", 1, 5, false, false, 0, 0, 10, 10, true, false);
    EXPECT_EQ(nullptr, none.hwnd);
}

TEST_F(FrameFixture, RollingUpTwiceRollsUpOnceAndRestoreClearsBothFlags)
{
    PFrameWindow tool("tool", 680, WT_TOOL, true, false, 10, 10, 200, 100, true, true);
    tool.Minimize(true, false);
    PumpPending();
    EXPECT_TRUE(IsIconic(tool.hwnd));
    EXPECT_EQ(200, tool.restoreWidth);
    tool.restoreWidth = -1;  // a second roll-up must not measure again
    tool.Minimize(true, true);
    EXPECT_EQ(-1, tool.restoreWidth);
    EXPECT_TRUE(tool.rolledUpByUser && tool.rolledUpForHiding);
    tool.Restore(false, false);
    PumpPending();
    EXPECT_FALSE(IsIconic(tool.hwnd));
    EXPECT_FALSE(tool.IsRolledUp());
}

TEST_F(FrameFixture, PositionsAreKeptOnTheVirtualScreen)
{
    const int screenWidth = g_Toolkit.virtualScreenWidth;
    struct Case {
        int x, y;
        int expectX, expectY;
    } cases[] = {
        {-600, 40, 0, 40},
        {screenWidth - 5, 10, screenWidth - 20, 10},
        {-400, -60, -400, 0},
        {30, 20, 30, 20},
    };
    for (const Case& c : cases) {
        PFrameWindow tool("tool", 680, WT_TOOL, true, false, 0, 0, 200, 100, true, true);
        SetWindowPos(tool.hwnd, NULL, c.x, c.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        int x = 1, y = 1;
        tool.GetPosition(&x, &y, true);
        EXPECT_EQ(c.expectX, x) << c.x;
        EXPECT_EQ(c.expectY, y) << c.y;
    }
}

TEST_F(FrameFixture, CommandsGoByIdToMenuOrRequestHandlers)
{
    HandlerRecorder recorder;
    PFrameWindow tool("tool", 680, WT_TOOL, true, false, 0, 0, 200, 100, true, false);
    HWND wide = CreateWindowExA(0, "BUTTON", "", WS_CHILD, 0, 0, 10, 10, tool.hwnd,
                                (HMENU)1234567, GetModuleHandleA(NULL), NULL);
    SendMessageA(tool.hwnd, WM_COMMAND, MAKEWPARAM(1234567 & 0xFFFF, 0), (LPARAM)wide);
    SendMessageA(tool.hwnd, WM_COMMAND, MAKEWPARAM(31999, 0), 0);
    SendMessageA(tool.hwnd, WM_COMMAND, MAKEWPARAM(32000, 0), 0);
    SendMessageA(tool.hwnd, WM_COMMAND, MAKEWPARAM(500, 1), 0);
    SendMessageA(tool.hwnd, WM_COMMAND, MAKEWPARAM(501, 2), 0);
    SendMessageA(main->hwnd, WM_COMMAND, MAKEWPARAM(502, 1), 0);
    SendMessageA(main->hwnd, WM_COMMAND, MAKEWPARAM(29000, 0), 0);
    EXPECT_EQ((std::vector<std::string>{"button 1234567", "menu 31999", "button 32000",
                                        "selected 500", "dblclk 501", "selected 502",
                                        "menu 29000"}),
              recorder.calls);
}

TEST_F(FrameFixture, EscapeClosesToolWindowsButNotFractalWindows)
{
    HandlerRecorder recorder;
    PFrameWindow tool("tool", 680, WT_TOOL, true, false, 0, 0, 200, 100, true, false);
    SendMessageA(tool.hwnd, WM_CHAR, 27, 0);
    EXPECT_EQ(1, recorder.Count("close"));

    PFrameWindow fractal("fractal", WID_FRACTAL, WT_MDICHILD, false, false, 0, 0, 200, 100, true,
                         false);
    SendMessageA(fractal.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(fractal.hwnd, WM_CHAR, 27, 0);
    EXPECT_EQ(1, recorder.Count("close"));
    EXPECT_EQ(1, recorder.Count("key 27"));
}

TEST_F(FrameFixture, FrameKeyDownFallsToTheFrameProcedure)
{
    HandlerRecorder recorder;
    recorder.keyUsed = false;
    // An unused key reaches the frame's default procedure without trouble
    // and the application saw it first.
    EXPECT_EQ(0, SendMessageA(main->hwnd, WM_KEYDOWN, 'Q', 0));
    EXPECT_EQ(1, recorder.Count("key 81"));
}

// A tool-window handler that raises an exception through the recorder.
DWORD g_raise = 0;
TEST_F(FrameFixture, GuardsReportOnlyTheProgramsOwnExceptions)
{
    HandlerRecorder recorder;
    g_UiHandlers.ButtonClicked = [](int) { RaiseException(g_raise, 0, 0, NULL); };
    PFrameWindow tool("tool", 680, WT_TOOL, true, false, 0, 0, 200, 100, true, false);
    {
        ScriptedBoxes boxes;
        g_raise = 0x20000001;
        EXPECT_EQ(0, SendMessageA(tool.hwnd, WM_COMMAND, MAKEWPARAM(7, 0), 0));
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ("Exception", boxes.Shown()[0].title);
        EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find("wndProc"));
    }
    {
        ScriptedBoxes boxes;
        g_raise = EXCEPTION_ACCESS_VIOLATION;
        DWORD outer = Guarded([&] { wndProc(tool.hwnd, WM_COMMAND, MAKEWPARAM(7, 0), 0); });
        EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, outer);
        EXPECT_EQ(0u, boxes.Count());
    }
}

// Fractals in a folder, and the worker messages about them.
class WorkerMessageTest : public FrameFixture {
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        fractal = new Fractal;
        fractal->folder = &folder;
        folder.fractals.Append(fractal);
    }
    void TearDown() override
    {
        if (fractal != nullptr) {
            folder.fractals.Remove(fractal);
            delete fractal;
        }
        FrameFixture::TearDown();
    }
    LRESULT Post(UINT message, void* pointer)
    {
        return SendMessageA(main->hwnd, message, (WPARAM)pointer, 0);
    }

    FractalFolder folder;
    Fractal* fractal = nullptr;
};

TEST_F(WorkerMessageTest, ProgressActsOnlyOnALiveListedFractal)
{
    HandlerRecorder recorder;
    Post(UM_PROGRESS, fractal);
    EXPECT_EQ(1, recorder.Count("title"));

    folder.fractals.Remove(fractal);
    Post(UM_PROGRESS, fractal);
    EXPECT_EQ(1, recorder.Count("title"));

    // A deleted fractal whose memory still carries the magic is not live.
    Fractal* gone = fractal;
    delete fractal;
    fractal = nullptr;
    EXPECT_FALSE(IsLiveFractal(gone));
    Post(UM_PROGRESS, gone);
    EXPECT_EQ(1, recorder.Count("title"));
    EXPECT_FALSE(IsLiveFractal(nullptr));
}

TEST_F(WorkerMessageTest, EverySixthLayerMessageMergesTheLayers)
{
    HandlerRecorder recorder;
    for (int i = 0; i < 6; ++i)
        Post(UM_LAYER_LINES_DONE, fractal);
    EXPECT_EQ(1, recorder.Count("recolour"));
    EXPECT_EQ(0, recorder.mergeCounter);
    for (int i = 0; i < 5; ++i)
        Post(UM_LAYER_LINES_DONE, fractal);
    EXPECT_EQ(1, recorder.Count("recolour"));
    recorder.layersMayMerge = false;  // a render job's fractal, or stopping
    for (int i = 0; i < 6; ++i)
        Post(UM_LAYER_LINES_DONE, fractal);
    EXPECT_EQ(1, recorder.Count("recolour"));
}

TEST_F(WorkerMessageTest, RenderJobDoneRemovesOnlyAListedFinishedJob)
{
    HandlerRecorder recorder;
    int running = 0, finished = 0, stale = 0;
    recorder.listedJobs = {&running, &finished};
    recorder.finishedJobs = {&finished, &stale};
    recorder.nextRenderJob = &running;

    Post(UM_RENDERJOB_DONE, &running);
    EXPECT_EQ(0, recorder.Count("removejob"));
    EXPECT_EQ(1, recorder.Count("repaintjobs"));
    Post(UM_RENDERJOB_DONE, &finished);
    EXPECT_EQ(1, recorder.Count("removejob"));
    Post(UM_RENDERJOB_DONE, &finished);  // the same message again
    Post(UM_RENDERJOB_DONE, &stale);
    EXPECT_EQ(1, recorder.Count("removejob"));
    EXPECT_EQ(0, recorder.Count("lastjob"));
    recorder.nextRenderJob = nullptr;
    Post(UM_RENDERJOB_DONE, nullptr);
    EXPECT_EQ(1, recorder.Count("lastjob"));
    EXPECT_EQ(5, recorder.Count("startnext"));
}

}  // namespace
