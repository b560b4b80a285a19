// The main frame's handler: layout on resize, menu and control commands,
// timers, hints, help, and the worker threads' messages.
#include "ui/WindowProcs.h"

#include "ui/Control.h"
#include "ui/ContextHelp.h"
#include "ui/FrameWindow.h"
#include "ui/ProgressDialog.h"
#include "ui/StatusBar.h"
#include "ui/TimerTable.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

namespace {

LRESULT DefaultFrame(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PFrameWindow* frame = g_Toolkit.mainFrame;
    return DefFrameProcA(hwnd, frame != NULL ? frame->mdiClient : NULL, message, wParam, lParam);
}

}  // namespace

LRESULT FrameWindowHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PFrameWindow* object = FrameObjectOf(hwnd);
    switch (message) {
    case WM_SIZE:
        if (g_Toolkit.mainFrame == NULL)
            return DefaultFrame(hwnd, message, wParam, lParam);
        LayoutMainFrame(g_Toolkit.mainFrame, 0);
        return 1;
    case WM_SETFOCUS:
    case WM_SYSCOMMAND:
    case WM_MENUCHAR:
        return DefaultFrame(hwnd, message, wParam, lParam);
    case WM_CLOSE:
        return g_UiHandlers.ConfirmWindowClose != NULL ? g_UiHandlers.ConfirmWindowClose(object)
                                                       : 0;
    case WM_MEASUREITEM:
        if (MeasureOwnerDrawItem((int)wParam, (MEASUREITEMSTRUCT*)lParam))
            return 1;
        return DefaultFrame(hwnd, message, wParam, lParam);
    case WM_NOTIFY:
        if (((NMHDR*)lParam)->code != (UINT)-520 && object == NULL)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return DefaultFrame(hwnd, message, wParam, lParam);
    case WM_HELP:
        AnswerHelpRequest((HELPINFO*)lParam);
        return 0;
    case WM_NCACTIVATE:
        if (object != NULL)
            object->active = wParam != 0;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_KEYDOWN:
        if (object == NULL)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        if (HandleFocusKeys(object, (HWND)-1, WM_KEYDOWN, wParam, false) ||
            (g_UiHandlers.HandleControlKey != NULL &&
             g_UiHandlers.HandleControlKey(object, (int)wParam)))
            return 0;
        // The frame is no MDI child: its default is the frame procedure.
        return DefaultFrame(hwnd, message, wParam, lParam);
    case WM_COMMAND:
        RouteControlCommand(object, wParam, lParam, SELECT_TO_LISTBOX, true);
        return DefaultFrame(hwnd, message, wParam, lParam);
    case WM_TIMER:
        if (wParam == TIMER_PROGRESS_DIALOG)
            g_ProgressDialog.Refresh();
        else
            UI_CALL(UpdateStatusOnTimer, (int)wParam);
        return 0;
    case WM_MENUSELECT:
        UI_CALL(ShowControlHint, LOWORD(wParam), 1);
        return 0;
    case WM_MOUSEMOVE:
        if (MainStatusBar == NULL)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        MainStatusBar->SetHint(NULL);
        return 0;
    case WM_QUERYNEWPALETTE:
        if (object == NULL || g_UiHandlers.OnQueryNewPalette == NULL)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return g_UiHandlers.OnQueryNewPalette(object);
    case WM_PALETTECHANGED:
        if (object == NULL || g_UiHandlers.OnPaletteChanged == NULL)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return g_UiHandlers.OnPaletteChanged(object, FrameObjectOf((HWND)wParam));
    case WM_HOTKEY:
        return 0;
    }
    if (HandleWorkerMessage(message, wParam, lParam))
        return 0;
    return DefaultFrame(hwnd, message, wParam, lParam);
}
