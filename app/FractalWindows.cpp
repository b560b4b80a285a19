// The fractal windows of calculation tasks: MDI children of the main frame
// titled with the fractal's name. The calculation threads only invalidate
// the rows they finished; the main thread paints them from the task's image
// in WM_PAINT, so no worker ever draws or sends to a window itself. Their
// mouse, keys, resizing and the status timer are bound here as well.
#include "app/FractalWindows.h"

#include <windows.h>

#include "app/Application.h"
#include "app/ControlKeys.h"
#include "app/FractalImage.h"
#include "app/FractalMouse.h"
#include "app/StatusTimer.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskHooks.h"
#include "document/DocumentHooks.h"
#include "document/Fractal.h"
#include "foundation/HelpContext.h"
#include "ui/FrameWindow.h"
#include "ui/UiHandlers.h"

namespace {

bool OnMainThread()
{
    return g_App != NULL && GetCurrentThreadId() == g_App->mainThreadId;
}

void CreateWindowOfTask(FractalTask* task, int x, int y, int show)
{
    Fractal* fractal = task->fractal;
    bool scrollBars = fractal != NULL && fractal->header->Scrollbar != 0;
    task->window = new PFrameWindow(fractal != NULL ? fractal->name : "", WID_FRACTAL, WT_MDICHILD, true,
                                    scrollBars, x, y, -1, -1, show != 0, false);
    if (task->window->hwnd == NULL) {
        delete task->window;
        task->window = NULL;
    }
}

// The client takes the image size; with scroll bars the window keeps its
// size and the scroll ranges cover the image.
void SizeWindowOfTask(FractalTask* task, int width, int height)
{
    PFrameWindow* window = task->window;
    if (window == NULL)
        return;
    if (task->fractal != NULL && task->fractal->header->Scrollbar) {
        int clientWidth = 0, clientHeight = 0;
        window->GetSize(&clientWidth, &clientHeight, true);
        window->SetScrollRange(true, 0, task->fractal->header->Width, clientWidth, true);
        window->SetScrollRange(false, 0, task->fractal->header->Height, clientHeight, true);
    } else {
        window->SetClientSize(width, height);
    }
}

void ShowWindowOfTask(FractalTask* task)
{
    if (task->window != NULL)
        ShowWindow(task->window->hwnd, SW_SHOW);
}

void RestoreWindowOfTask(FractalTask* task, int* width, int* height)
{
    if (task->window == NULL)
        return;
    ShowWindow(task->window->hwnd, SW_RESTORE);
    task->window->GetSize(width, height, false);
}

void DeleteWindowOfTask(FractalTask* task)
{
    delete task->window;
    task->window = NULL;
}

void SetHelpOfTask(FractalTask* task, const char* topic)
{
    if (task->window != NULL)
        g_HelpContexts.SetWindowHelp(task->window->hwnd, topic);
}

void BringFrameToFront()
{
    if (g_App != NULL && g_App->mainFrame != NULL && OnMainThread())
        BringWindowToTop(g_App->mainFrame->hwnd);
}

// Rows count from the image's bottom; the window's rows from its top.
void InvalidateImageRows(Fractal* fractal, int firstRow, int lastRow)
{
    FractalTask* task = fractal->task;
    if (task == NULL || task->window == NULL || task->window->hwnd == NULL)
        return;
    int height = fractal->header->Height;
    RECT rows = {0, height - 1 - lastRow, fractal->GetImageStride(), height - firstRow};
    if (fractal->header->Scrollbar)
        OffsetRect(&rows, -task->window->hScrollPos, -task->window->vScrollPos);
    InvalidateRect(task->window->hwnd, &rows, FALSE);
}

// The tool windows' layout stays with the handler bound before; a fractal
// window's new size is applied by the status timer once the drag is over.
void (*g_ResizeOtherWindow)(PFrameWindow* window, int width, int height) = nullptr;

void ResizeWindowContents(PFrameWindow* window, int width, int height)
{
    if (window->windowId == WID_FRACTAL)
        NoteFractalWindowResize(window);
    else if (g_ResizeOtherWindow != nullptr)
        g_ResizeOtherWindow(window, width, height);
}

// A worker's progress title waits for the main thread's own update (the
// progress message): setting a title sends to the window's thread.
void SetFractalWindowTitle(PFrameWindow* window, const char* text)
{
    if (window != NULL && OnMainThread())
        window->SetTitle(text);
}

}  // namespace

void BindFractalWindows()
{
    g_TaskHooks.createWindow = &CreateWindowOfTask;
    g_TaskHooks.sizeWindow = &SizeWindowOfTask;
    g_TaskHooks.showWindow = &ShowWindowOfTask;
    g_TaskHooks.restoreWindow = &RestoreWindowOfTask;
    g_TaskHooks.deleteWindow = &DeleteWindowOfTask;
    g_TaskHooks.setWindowHelp = &SetHelpOfTask;
    g_TaskHooks.bringMainFrameToFront = &BringFrameToFront;
    g_TaskHooks.drawImageRows = &InvalidateImageRows;
    g_UiHandlers.PaintFractalWindow = &PaintFractalWindow;
    g_UiHandlers.MouseClicked = &MouseClickedGuarded;
    g_UiHandlers.MouseMoved = &MouseMovedGuarded;
    g_UiHandlers.HandleControlKey = &HandleControlKey;
    g_UiHandlers.UpdateStatusOnTimer = &UpdateStatusOnTimer;
    g_UiHandlers.OnQueryNewPalette = &OnQueryNewPalette;
    g_UiHandlers.OnPaletteChanged = &OnPaletteChanged;
    if (g_UiHandlers.ResizeWindowContents != &ResizeWindowContents) {
        g_ResizeOtherWindow = g_UiHandlers.ResizeWindowContents;
        g_UiHandlers.ResizeWindowContents = &ResizeWindowContents;
    }
    g_UiHandlers.UpdateWindowTitle = [](Fractal* fractal) { fractal->UpdateWindowTitle(); };
    g_Listings.setWindowTitle = &SetFractalWindowTitle;
}
