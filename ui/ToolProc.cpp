// The handler of tool windows, popups and docked windows: closing, keys,
// commands, trackbars, tooltip texts, the caption drag and the mouse.
#include "ui/WindowProcs.h"

#include <commctrl.h>

#include "ui/Control.h"
#include "ui/ContextHelp.h"
#include "ui/FrameWindow.h"
#include "ui/StatusBar.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

namespace {

// Texts of the toolbar tools that tool windows register with the tooltip.
const char* ToolTipTextOf(UINT_PTR toolId)
{
    switch (toolId) {
    case 213: return "Select to open new files";
    case 214: return "Select to save current parameter set";
    case 215: return "Select to print image";
    case 218: return "Select to save whole folder";
    default: return "Currently no tooltip text avaiable";
    }
}

// Mouse of a tool window: a caption drag in progress takes every message.
// Answers false when the window was re-created and must not be touched.
bool ToolWindowMouse(PFrameWindow* object, UINT message, WPARAM wParam, LPARAM lParam)
{
    StoreMouseButtons(wParam);
    const int x = (short)LOWORD(lParam);
    const int y = (short)HIWORD(lParam);
    const int code = MouseCodeOf(message);
    if (message == WM_MOUSEMOVE && MainStatusBar != NULL)
        MainStatusBar->SetHint(NULL);
    if (object->dockDragging)
        return DockToolWindow(object, x, y, code);
    if (message == WM_MOUSEMOVE)
        UI_CALL(MouseMoved, object, x, y);
    else
        UI_CALL(MouseClicked, object, x, y, code);
    return true;
}

}  // namespace

LRESULT ToolWindowHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PFrameWindow* object = FrameObjectOf(hwnd);
    if (object == NULL) {
        if (message == WM_CLOSE && g_UiHandlers.ConfirmWindowClose != NULL)
            g_UiHandlers.ConfirmWindowClose(NULL);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (MouseCodeOf(message) >= 0) {
        if (!ToolWindowMouse(object, message, wParam, lParam))
            return 0;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    switch (message) {
    case WM_SIZE:
        UI_CALL(ResizeWindowContents, object, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_ACTIVATE:
        UI_CALL(CloseWindowById, object, LOWORD(wParam) != 0);
        break;
    case WM_CLOSE:
        return g_UiHandlers.ConfirmWindowClose != NULL ? g_UiHandlers.ConfirmWindowClose(object)
                                                       : 0;
    case WM_DRAWITEM:
        if (g_UiHandlers.DrawOwnerDrawButton != NULL)
            return g_UiHandlers.DrawOwnerDrawButton(hwnd, message, wParam, lParam);
        break;
    case WM_MEASUREITEM:
        if (MeasureOwnerDrawItem((int)wParam, (MEASUREITEMSTRUCT*)lParam))
            return 1;
        break;
    case WM_NOTIFY: {
        NMHDR* header = (NMHDR*)lParam;
        if (header->code == TTN_NEEDTEXTA) {
            NMTTDISPINFOA* info = (NMTTDISPINFOA*)lParam;
            info->hinst = NULL;
            info->lpszText = (char*)ToolTipTextOf(header->idFrom);
        }
        break;
    }
    case WM_DESTROY:
        return 0;
    case WM_HELP:
        AnswerHelpRequest((HELPINFO*)lParam);
        return 0;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && object->dockable)
            StartDockDrag(object, lParam);
        break;
    case WM_KEYDOWN:
        if (HandleFocusKeys(object, (HWND)-1, WM_KEYDOWN, wParam, false) ||
            (g_UiHandlers.HandleControlKey != NULL &&
             g_UiHandlers.HandleControlKey(object, (int)wParam)))
            return 0;
        break;
    case WM_CHAR:
        if (wParam == 27) {
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            break;
        }
        if (HandleFocusKeys(object, (HWND)-1, WM_CHAR, wParam, false))
            return 0;
        break;
    case WM_SYSKEYDOWN:
        if (g_UiHandlers.HandleControlKey != NULL &&
            g_UiHandlers.HandleControlKey(object, (int)wParam))
            return 0;
        break;
    case WM_COMMAND:
        RouteControlCommand(object, wParam, lParam, SELECT_TO_WINDOW, true);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam != 0 && RouteTrackbarScroll(wParam, lParam))
            return 0;
        break;
    case WM_SIZING:
        UI_CALL(ApplyMinimumWindowSize, object, (int)wParam, (RECT*)lParam);
        return 1;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED: {
        LRESULT result;
        if (RoutePaletteMessage(object, message, wParam, &result))
            return result;
        break;
    }
    }
    // The window may have gone during the message (a close).
    if (!IsWindow(hwnd))
        return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
