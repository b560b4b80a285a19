// The handler of fractal windows (MDI children): painting, closing, keys,
// the window's own scroll bars and the mouse.
#include "ui/WindowProcs.h"

#include "ui/Control.h"
#include "ui/ContextHelp.h"
#include "ui/FrameWindow.h"
#include "ui/StatusBar.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

namespace {

Fractal* FractalOf(PFrameWindow* window)
{
    return g_UiHandlers.FindFractalByWindow != NULL ? g_UiHandlers.FindFractalByWindow(window)
                                                    : NULL;
}

// The window's own scroll bars: steps, pages and the thumb.
void ScrollFractalWindow(PFrameWindow* window, bool horizontal, WPARAM wParam)
{
    int& stored = horizontal ? window->hScrollPos : window->vScrollPos;
    const int page = horizontal ? window->hScrollPage : window->vScrollPage;
    const int pos = window->GetScrollPosition(horizontal);
    int next;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: next = pos - 1; break;
    case SB_LINEDOWN: next = pos + 1; break;
    case SB_PAGEUP: next = pos - page; break;
    case SB_PAGEDOWN: next = pos + page; break;
    case SB_ENDSCROLL: next = stored; break;
    case SB_THUMBPOSITION:
        stored = window->SetScrollPosition(horizontal, (short)HIWORD(wParam));
        UI_CALL(RepaintFractalWindow, window, window->hScrollPos, window->vScrollPos, false);
        return;
    case SB_THUMBTRACK:
        stored = (short)HIWORD(wParam);
        UI_CALL(RepaintFractalWindow, window, window->hScrollPos, window->vScrollPos, false);
        return;
    default:
        return;
    }
    stored = window->SetScrollPosition(horizontal, next);
    UI_CALL(RepaintFractalWindow, window, window->hScrollPos, window->vScrollPos, true);
}

LRESULT FractalWindowMouse(PFrameWindow* object, UINT message, WPARAM wParam, LPARAM lParam)
{
    StoreMouseButtons(wParam);
    const int x = (short)LOWORD(lParam);
    const int y = (short)HIWORD(lParam);
    if (message == WM_MOUSEMOVE) {
        if (MainStatusBar != NULL)
            MainStatusBar->SetHint(NULL);
        g_Toolkit.mouse.x = x;
        g_Toolkit.mouse.y = y;
        UI_CALL(MouseMoved, object, x, y);
    } else {
        UI_CALL(MouseClicked, object, x, y, MouseCodeOf(message));
    }
    return 0;
}

}  // namespace

LRESULT ChildWindowHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PFrameWindow* object = FrameObjectOf(hwnd);
    if (object == NULL)
        return DefMDIChildProcA(hwnd, message, wParam, lParam);
    if (MouseCodeOf(message) >= 0)
        return FractalWindowMouse(object, message, wParam, lParam);
    switch (message) {
    case WM_SIZE:
        UI_CALL(ResizeWindowContents, object, LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        Fractal* fractal = FractalOf(object);
        if (fractal != NULL)
            UI_CALL(PaintFractalWindow, dc, fractal, object, &paint.rcPaint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_CLOSE:
        return g_UiHandlers.ConfirmWindowClose != NULL ? g_UiHandlers.ConfirmWindowClose(object)
                                                       : 0;
    case WM_HELP:
        AnswerHelpRequest((HELPINFO*)lParam);
        return 0;
    case WM_DESTROY:
        return 0;
    case WM_NCACTIVATE: {
        HWND mainWindow = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
        if (mainWindow != NULL && GetForegroundWindow() != mainWindow)
            SetForegroundWindow(mainWindow);
        break;
    }
    case WM_KEYDOWN:
        // Escape is the application's (it cancels the zoom rectangle): a
        // fractal window is not closed by it.
        if (HandleFocusKeys(object, (HWND)-1, WM_KEYDOWN, wParam, false) ||
            (g_UiHandlers.HandleControlKey != NULL &&
             g_UiHandlers.HandleControlKey(object, (int)wParam)))
            return 0;
        break;
    case WM_CHAR:
        if (HandleFocusKeys(object, (HWND)-1, WM_CHAR, wParam, false))
            return 0;
        break;
    case WM_COMMAND:
        RouteControlCommand(object, wParam, lParam, SELECT_TO_WINDOW, false);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MAXIMIZE: PendingShowWindow = object; PendingShowState = 3; break;
        case SC_MINIMIZE: PendingShowWindow = object; PendingShowState = 2; break;
        case SC_RESTORE: PendingShowWindow = object; PendingShowState = 1; break;
        }
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (lParam != 0) {
            RouteTrackbarScroll(wParam, lParam);
            return 0;
        }
        ScrollFractalWindow(object, message == WM_HSCROLL, wParam);
        return 0;
    case WM_MDIACTIVATE:
        UI_CALL(CloseWindowById, object, (HWND)lParam == hwnd);
        break;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED: {
        LRESULT result;
        if (RoutePaletteMessage(object, message, wParam, &result))
            return result;
        break;
    }
    case WM_HOTKEY:
        return 0;
    }
    return DefMDIChildProcA(hwnd, message, wParam, lParam);
}
