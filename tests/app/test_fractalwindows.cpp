// The fractal windows behind the task hooks: a task's window is an MDI child
// of the main frame titled with the fractal's name, takes the image size as
// its client size, follows the fractal's title, gets exactly the finished
// rows invalidated (rows count from the image's bottom) and is gone after
// its deletion.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/Application.h"
#include "app/FractalWindows.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "calc/task/TaskHooks.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

namespace {

class FractalWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        StartToolkitOnce();
        PrepareDocumentEngine();
        g_Toolkit.mainFrame = new PFrameWindow("main", WID_MAIN, WT_MAIN, true, false, 0, 0, 640, 480, true, false);
        // A hidden window keeps no update region.
        ShowWindow(g_Toolkit.mainFrame->hwnd, SW_SHOWNOACTIVATE);
    }
    static void TearDownTestSuite()
    {
        delete g_Toolkit.mainFrame;
        g_Toolkit.mainFrame = nullptr;
    }
    void SetUp() override
    {
        savedHooks = g_TaskHooks;
        savedListings = g_Listings;
        savedApp = g_App;
        g_App = &app;
        BindFractalWindows();
        fractal = new Fractal(FT_PLASMA, 0);
        fractal->SetName("Startup");
        fractal->header->Width = 120;
        fractal->header->Height = 80;
        task = new FractalTask();
        task->fractal = fractal;
        fractal->task = task;
        SetTaskImageSize(fractal, 120, 80);
    }
    void TearDown() override
    {
        if (task->window != nullptr)
            g_TaskHooks.deleteWindow(task);
        FreeTaskBuffers(fractal, 1);
        fractal->task = nullptr;
        delete task;
        delete fractal;
        g_App = savedApp;
        g_TaskHooks = savedHooks;
        g_Listings = savedListings;
    }
    static std::string TitleOf(HWND hwnd)
    {
        char text[200] = "";
        GetWindowTextA(hwnd, text, sizeof(text));
        return text;
    }

    PApplication app{GetModuleHandleA(nullptr)};
    PApplication* savedApp = nullptr;
    TaskHooks savedHooks;
    ListingHooks savedListings;
    Fractal* fractal = nullptr;
    FractalTask* task = nullptr;
};

}  // namespace

TEST_F(FractalWindows, TaskWindowIsAnMdiChildOfTheImageSizeUntilDeleted)
{
    g_TaskHooks.createWindow(task, 10, 20, 1);
    ASSERT_NE(nullptr, task->window);
    HWND hwnd = task->window->hwnd;
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(g_Toolkit.mainFrame->mdiClient, GetParent(hwnd));
    EXPECT_EQ(WID_FRACTAL, task->window->windowId);
    EXPECT_EQ("Startup", TitleOf(hwnd));

    g_TaskHooks.sizeWindow(task, 120, 80);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(120, client.right);
    EXPECT_EQ(80, client.bottom);

    // The title follows the fractal (on the main thread).
    fractal->SetName("Renamed");
    fractal->UpdateWindowTitle();
    EXPECT_EQ("Renamed", TitleOf(hwnd));

    g_TaskHooks.deleteWindow(task);
    EXPECT_EQ(nullptr, task->window);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(FractalWindows, FinishedRowsAreInvalidatedCountedFromTheBottom)
{
    g_TaskHooks.createWindow(task, 0, 0, 1);
    ASSERT_NE(nullptr, task->window);
    g_TaskHooks.sizeWindow(task, 120, 80);
    HWND hwnd = task->window->hwnd;
    struct Case {
        int first, last, top, bottom;
    };
    const Case cases[] = {
        {0, 9, 70, 80},   // the bottom ten rows
        {79, 79, 0, 1},   // the top row
        {20, 39, 40, 60},
    };
    for (const Case& c : cases) {
        ValidateRect(hwnd, nullptr);
        g_TaskHooks.drawImageRows(fractal, c.first, c.last);
        RECT update = {};
        ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE)) << c.first;
        EXPECT_EQ(0, update.left) << c.first;
        EXPECT_EQ(c.top, update.top) << c.first;
        EXPECT_EQ(120, update.right) << c.first;
        EXPECT_EQ(c.bottom, update.bottom) << c.first;
    }
}
