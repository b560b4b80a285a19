// The repaint of a fractal window: the whole image of the window's fractal
// reaches the window (a real MDI child of a shown main frame), and a window
// no fractal owns is left alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include "app/Application.h"
#include "app/ControlEvents.h"
#include "app/FractalWindows.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "calc/task/TaskHooks.h"
#include "document/DocumentHooks.h"
#include "tests/document/FolderTestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

namespace {

class Repaint : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        StartToolkitOnce();
        g_Toolkit.mainFrame = new PFrameWindow("main", WID_MAIN, WT_MAIN, true, false, 0, 0, 640, 480, true, false);
        ShowWindow(g_Toolkit.mainFrame->hwnd, SW_SHOWNOACTIVATE);
        savedHooks = g_TaskHooks;
        savedApp = g_App;
        g_App = &app;
        BindFractalWindows();
        folder = NewFolder("F");
        fractal = Named("f", FT_PLASMA);
        folder->AddFractal(fractal, false);
        fractal->header->Width = 40;
        fractal->header->Height = 30;
        fractal->header->DisplayDepth = 24;
        task = new FractalTask();
        task->fractal = fractal;
        fractal->task = task;
        ASSERT_EQ(0, SetTaskImageSize(fractal, 40, 30));
        g_TaskHooks.createWindow(task, 10, 20, 1);
        ASSERT_NE(nullptr, task->window);
    }
    void TearDown() override
    {
        if (task->window != nullptr)
            g_TaskHooks.deleteWindow(task);
        FreeTaskBuffers(fractal, 1);
        fractal->task = nullptr;
        delete task;
        delete g_Toolkit.mainFrame;
        g_Toolkit.mainFrame = nullptr;
        g_App = savedApp;
        g_TaskHooks = savedHooks;
        FolderFixture::TearDown();
    }
    COLORREF PixelAt(int x, int y)
    {
        HDC dc = GetDC(task->window->hwnd);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(task->window->hwnd, dc);
        return c;
    }

    PApplication app{GetModuleHandleA(nullptr)};
    PApplication* savedApp = nullptr;
    TaskHooks savedHooks;
    FractalFolder* folder = nullptr;
    Fractal* fractal = nullptr;
    FractalTask* task = nullptr;
};

TEST_F(Repaint, DrawsTheWholeImageIntoTheWindow)
{
    UpdateWindow(task->window->hwnd);
    int stride = fractal->GetImageStride();
    unsigned char* bits = task->imageBits;
    ASSERT_NE(nullptr, bits);
    BITMAPINFOHEADER& header = task->dib.header;
    header.biSize = sizeof header;
    header.biWidth = stride;
    header.biHeight = 30;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    for (int i = 0; i < stride * 30; i++) {
        bits[i * 3 + 0] = 0x30;  // blue
        bits[i * 3 + 1] = 0x60;
        bits[i * 3 + 2] = 0x90;
    }
    PFrameWindow stranger("x", WID_MAIN + 1, WT_MAIN, false, false, 0, 0, 10, 10, false, false);
    RepaintFractalWindow(&stranger);
    RepaintFractalWindow(nullptr);
    EXPECT_NE(RGB(0x90, 0x60, 0x30), PixelAt(20, 15)) << "nothing drawn for a window no fractal owns";

    RepaintFractalWindowWithCamera(task->window);

    EXPECT_EQ(RGB(0x90, 0x60, 0x30), PixelAt(0, 0));
    EXPECT_EQ(RGB(0x90, 0x60, 0x30), PixelAt(39, 29));
}

}  // namespace
