// Routing shared by the window procedures: control commands by id and
// notification code, trackbar scrolling, and the mouse codes and button
// flags of mouse messages.
#include "ui/WindowProcs.h"

#include <commctrl.h>

#include "ui/Control.h"
#include "ui/FrameWindow.h"
#include "ui/SelectionRouting.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

PFrameWindow* PendingShowWindow = NULL;
int PendingShowState = 0;

PFrameWindow* FrameObjectOf(HWND hwnd)
{
    PTypedObject* object = WindowObject(hwnd);
    if (object == NULL || object->typeId != CT_FRAMEWINDOW)
        return NULL;
    return static_cast<PFrameWindow*>(object);
}

void RouteControlCommand(PFrameWindow* window, WPARAM wParam, LPARAM lParam,
                         SelectionRoute selection, bool clicks)
{
    int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    // Formula-parameter controls carry ids beyond 16 bits.
    if (lParam != 0) {
        LONG fullId = GetWindowLongA((HWND)lParam, GWL_ID);
        if (fullId >= 1000000)
            id = fullId;
    }
    const bool menuCommand = id >= MENU_COMMAND_FIRST && id <= MENU_COMMAND_LAST;
    switch (code) {
    case 0:
        if (!clicks)
            break;
        if (menuCommand)
            UI_CALL(HandleMenuCommand, id);
        else
            UI_CALL(ButtonClicked, id);
        break;
    case 1:
        if (clicks && menuCommand)
            UI_CALL(HandleMenuCommand, id);
        else if (selection == SELECT_TO_WINDOW)
            OnSelectionChanged(window, id);
        else
            UI_CALL(ListBoxSelected, id);
        break;
    case 2:
        UI_CALL(ListBoxDblclk, id);
        break;
    }
}

bool RouteTrackbarScroll(WPARAM wParam, LPARAM lParam)
{
    HWND track = (HWND)lParam;
    PTypedObject* object = WindowObject(track);
    if (object == NULL || (object->typeId != CT_TRACKBAR && object->typeId != CT_NUMBERSLIDER_TRACK))
        return false;
    PControl* trackbar = static_cast<PControl*>(object);
    const int id = trackbar->controlId;
    const int pos = (int)SendMessageA(track, TBM_GETPOS, 0, 0);
    int next;
    switch (LOWORD(wParam)) {
    case TB_LINEUP: next = pos - 1; break;
    case TB_LINEDOWN: next = pos + 1; break;
    case TB_PAGEUP: next = pos - 10; break;
    case TB_PAGEDOWN: next = pos + 10; break;
    case TB_TOP: next = (int)SendMessageA(track, TBM_GETRANGEMIN, 0, 0); break;
    case TB_BOTTOM: next = (int)SendMessageA(track, TBM_GETRANGEMAX, 0, 0); break;
    case TB_ENDTRACK:
        SendMessageA(track, TBM_SETPOS, TRUE, pos);
        UI_CALL(OnSliderStep, trackbar, id, pos);
        return true;
    case TB_THUMBPOSITION:
    case TB_THUMBTRACK:
        UI_CALL(OnSliderTrack, trackbar, id, (short)HIWORD(wParam),
                LOWORD(wParam) == TB_THUMBPOSITION);
        return true;
    default:
        return true;
    }
    SendMessageA(track, TBM_SETPOS, TRUE, next);
    UI_CALL(OnSliderStep, trackbar, id, next);
    return true;
}

int MouseCodeOf(UINT message)
{
    switch (message) {
    case WM_MOUSEMOVE: return 0;
    case WM_LBUTTONDOWN: return 100;
    case WM_MBUTTONDOWN: return 101;
    case WM_RBUTTONDOWN: return 102;
    case WM_LBUTTONUP: return 200;
    case WM_MBUTTONUP: return 201;
    case WM_RBUTTONUP: return 202;
    case WM_LBUTTONDBLCLK: return 1000;
    case WM_MBUTTONDBLCLK: return 1001;
    case WM_RBUTTONDBLCLK: return 1002;
    default: return -1;
    }
}

void StoreMouseButtons(WPARAM keys)
{
    g_Toolkit.mouse.left = (keys & MK_LBUTTON) != 0;
    g_Toolkit.mouse.middle = (keys & MK_MBUTTON) != 0;
    g_Toolkit.mouse.right = (keys & MK_RBUTTON) != 0;
}

bool RoutePaletteMessage(PFrameWindow* window, UINT message, WPARAM wParam, LRESULT* result)
{
    if (message == WM_QUERYNEWPALETTE && g_UiHandlers.OnQueryNewPalette != NULL) {
        *result = g_UiHandlers.OnQueryNewPalette(window);
        return true;
    }
    if (message == WM_PALETTECHANGED && g_UiHandlers.OnPaletteChanged != NULL) {
        *result = g_UiHandlers.OnPaletteChanged(window, FrameObjectOf((HWND)wParam));
        return true;
    }
    return false;
}
