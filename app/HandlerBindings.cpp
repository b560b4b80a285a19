// Binds the window toolkit's handler table (ui/UiHandlers.h) to the
// application: window closing, the registry, fractal lookups, the tool windows
// and the fractal windows. RunApplication calls it before the first window is made.
#include "app/HandlerBindings.h"

#include "app/Application.h"
#include "app/ControlEvents.h"
#include "app/FractalImage.h"
#include "app/FractalWindows.h"
#include "app/Shutdown.h"
#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Selection.h"
#include "toolwindows/RequestRouting.h"
#include "toolwindows/ToolWindows.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"
#include "ui/WindowProcs.h"

namespace {

HWND MainFrameWindow()
{
    return g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
}

BOOL CALLBACK ClosePopupWithId(HWND hwnd, LPARAM windowId)
{
    PFrameWindow* frame = FrameObjectOf(hwnd);
    if (frame != NULL && frame->windowId == (int)windowId)
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return TRUE;
}

// The control-event glue's window side.
void BindControlEventWindows()
{
    g_ControlEventWindows.mainToForeground = [] {
        if (HWND main = MainFrameWindow())
            SetForegroundWindow(main);
    };
    g_ControlEventWindows.raiseMainFrame = [] {
        if (HWND main = MainFrameWindow())
            SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    };
    g_ControlEventWindows.activateFractalWindow = [](Fractal* fractal) {
        PFrameWindow* window = fractal->task != NULL ? fractal->task->window : NULL;
        if (window != NULL && window->hwnd != NULL)
            SendMessageA(GetParent(window->hwnd), WM_MDIACTIVATE, (WPARAM)window->hwnd, 0);
    };
    g_ControlEventWindows.closePopup = [](int windowId) {
        EnumThreadWindows(GetCurrentThreadId(), &ClosePopupWithId, (LPARAM)windowId);
    };
    // Scrolling repaints at the window's own scroll position.
    g_UiHandlers.RepaintFractalWindow = [](PFrameWindow* window, int, int, bool withCamera) {
        if (withCamera)
            RepaintFractalWindowWithCamera(window);
        else
            RepaintFractalWindow(window);
    };
}

}  // namespace

void BindApplicationHandlers()
{
    g_UiHandlers.ConfirmWindowClose = &ConfirmWindowClose;
    // Tool windows lay their controls out for the new size; fractal windows
    // draw their image at any size.
    g_UiHandlers.ResizeWindowContents = [](PFrameWindow* window, int width, int height) {
        if (window->windowType != WT_MDICHILD)
            LayoutToolWindow(window, width, height);
    };
    g_UiHandlers.GetRegistryDword = [](const char* subKey, const char* name, DWORD* value) {
        return g_App->GetRegistryDword(subKey, name, value);
    };
    g_UiHandlers.SetRegistryDword = [](const char* subKey, const char* name, DWORD value) {
        return g_App->SetRegistryDword(subKey, name, value);
    };
    g_UiHandlers.FindFractalByWindow = [](PFrameWindow* window) { return FindFractalByWindow(window); };
    g_UiHandlers.CurrentFractal = []() -> Fractal* {
        return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
    };
    g_UiHandlers.ButtonClicked = &UR_ButtonClicked;
    g_UiHandlers.ListBoxSelected = &UR_ListBoxSelected;
    g_UiHandlers.ListBoxDblclk = &UR_ListBoxDblclk;
    BindControlEventWindows();
    BindToolWindowHandlers();
    BindFractalWindows();
    g_DrawFractalWindowImage = &DrawFractalWindowImage;
}
