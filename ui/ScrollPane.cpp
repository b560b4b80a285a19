// Scroll panes, the routing shared by panes and panels, and the embossed
// label class.
#include "ui/ScrollPane.h"

#include <string.h>

#include "ui/Control.h"
#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/StatusBar.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"
#include "ui/WindowProcs.h"

namespace {

HWND CreatePane(const char* className, DWORD style, HWND parent, int id, int w, int h)
{
    return CreateWindowExA(0, className, NULL, style, 0, 0, w, h, parent, (HMENU)(INT_PTR)id,
                           g_Toolkit.instance, NULL);
}

struct MoveBatch {
    HDWP batch;
    HWND pane;
    int dy;
};

BOOL CALLBACK MoveChild(HWND child, LPARAM data)
{
    MoveBatch* move = reinterpret_cast<MoveBatch*>(data);
    if (GetParent(child) != move->pane)
        return TRUE;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(NULL, move->pane, (POINT*)&rect, 2);
    if (move->batch != NULL)
        move->batch = DeferWindowPos(move->batch, child, NULL, rect.left, rect.top + move->dy, 0, 0,
                                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

PFrameWindow* OwnerOf(HWND hwnd)
{
    PTypedObject* object = WindowObject(hwnd);
    if (object == NULL)
        return NULL;
    if (object->typeId == 0)  // a pane: a list node whose first word is 0
        return reinterpret_cast<PScrollPane*>(object)->owner;
    if (object->typeId == CT_FRAMEWINDOW)
        return static_cast<PFrameWindow*>(object);
    return static_cast<PControl*>(object)->owner;
}

// The control routing that panels and panes share with tool windows.
bool RouteLikeToolWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    PFrameWindow* owner = OwnerOf(hwnd);
    *result = 0;
    switch (message) {
    case WM_PAINT: {
        ValidateRect(hwnd, NULL);
        return true;
    }
    case WM_DRAWITEM:
        if (g_UiHandlers.DrawOwnerDrawButton != NULL)
            *result = g_UiHandlers.DrawOwnerDrawButton(hwnd, message, wParam, lParam);
        return true;
    case WM_MEASUREITEM:
        if (!MeasureOwnerDrawItem((int)wParam, (MEASUREITEMSTRUCT*)lParam))
            return false;
        *result = 1;
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return g_UiHandlers.HandleControlKey != NULL &&
               g_UiHandlers.HandleControlKey(owner, (int)wParam);
    case WM_COMMAND: {
        bool onTabPage = false;
        char className[32] = "";
        GetClassNameA(GetParent(hwnd), className, sizeof(className));
        onTabPage = strcmp(className, "SysTabControl32") == 0;
        RouteControlCommand(owner, wParam, lParam,
                            onTabPage ? SELECT_TO_WINDOW : SELECT_TO_LISTBOX, true);
        return true;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        return lParam != 0 && RouteTrackbarScroll(wParam, lParam);
    }
    return false;
}

}  // namespace

PScrollPane::PScrollPane(HWND tabWindow, PFrameWindow* ownerWindow, int id, int index)
    : x(0), y(0), width(10), height(10), scrollMax(0), contentHeight(0), pageIndex(index),
      scrollPos(0), batch(NULL), contentWidth(0), owner(ownerWindow), tabControl(tabWindow),
      pageTable(NULL), parentHwnd(tabWindow)
{
    reserved = 0;
    hwnd = CreatePane("vuzaz_scrollpane",
                      WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL, tabWindow, id, 10, 10);
    if (hwnd != NULL) {
        SetWindowLongA(hwnd, GWL_EXSTYLE, GetWindowLongA(hwnd, GWL_EXSTYLE) | WS_EX_WINDOWEDGE);
        SetWindowLongA(hwnd, GWL_USERDATA, (LONG)(LONG_PTR)this);
    }
}

PScrollPane::PScrollPane(HWND parent, int id, int index)
    : x(0), y(0), width(100), height(100), scrollMax(0), contentHeight(0), pageIndex(index),
      scrollPos(0), batch(NULL), contentWidth(0), owner(NULL), tabControl(NULL), pageTable(NULL),
      parentHwnd(parent)
{
    reserved = 0;
    hwnd = CreatePane("vuzaz_container_scrollpane", 0x56200000, parent, id, 100, 100);
    if (hwnd != NULL)
        SetWindowLongA(hwnd, GWL_USERDATA, (LONG)(LONG_PTR)this);
}

PScrollPane::~PScrollPane()
{
    if (hwnd != NULL)
        DestroyWindow(hwnd);
}

HDWP PScrollPane::SetBounds(int newX, int newY, int w, int h, HDWP deferred)
{
    x = newX;
    y = newY;
    width = w;
    height = h;
    if (deferred != NULL) {
        HDWP result = DeferWindowPos(deferred, hwnd, NULL, x, y, w, h, SWP_NOZORDER);
        if (result != NULL)
            return result;
    }
    SetWindowPos(hwnd, NULL, x, y, w, h, SWP_NOREDRAW | SWP_NOZORDER);
    InvalidateRect(hwnd, NULL, TRUE);
    return NULL;
}

void PScrollPane::GrowExtent(int newHeight, bool force)
{
    if (force || newHeight > contentHeight)
        contentHeight = newHeight;
}

int PScrollPane::GetClientWidth() const
{
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    if (hwnd == NULL || !GetScrollInfo(hwnd, SB_VERT, &info))
        return width;
    if (info.nMax - info.nMin + 1 > (int)info.nPage)
        return width - GetSystemMetrics(SM_CXVSCROLL);
    return width;
}

void PScrollPane::ScrollTo(int position)
{
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
    info.fMask = SIF_POS;
    GetScrollInfo(hwnd, SB_VERT, &info);
    MoveBatch move = {BeginDeferWindowPos(8), hwnd, scrollPos - info.nPos};
    EnumChildWindows(hwnd, MoveChild, (LPARAM)&move);
    if (move.batch != NULL)
        EndDeferWindowPos(move.batch);
    scrollPos = info.nPos;
}

LRESULT CALLBACK ScrollPaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PScrollPane* pane = reinterpret_cast<PScrollPane*>(GetWindowLongA(hwnd, GWL_USERDATA));
    if (pane == NULL)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_VSCROLL && lParam == 0) {
        const int line = GuiFont() != NULL ? (int)(GuiFont()->charHeight / 3) : 5;
        int pos = GetVerticalScrollPos(hwnd);
        switch (LOWORD(wParam)) {
        case SB_LINEUP: pos -= line; break;
        case SB_LINEDOWN: pos += line; break;
        case SB_PAGEUP: pos -= pane->height; break;
        case SB_PAGEDOWN: pos += pane->height; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: pos = (short)HIWORD(wParam); break;
        case SB_ENDSCROLL: pos = pane->scrollPos; break;
        default: return 0;
        }
        pane->ScrollTo(pos);
        return 0;
    }
    if (message == WM_CHAR && wParam == 27) {
        SetFocus(GetParent(hwnd));
        return 0;
    }
    LRESULT result;
    if (RouteLikeToolWindow(hwnd, message, wParam, lParam, &result))
        return result;
    if (MouseCodeOf(message) >= 0) {
        PFrameWindow* owner = pane->owner;
        StoreMouseButtons(wParam);
        const int x = (short)LOWORD(lParam), y = (short)HIWORD(lParam);
        if (message == WM_LBUTTONDOWN)
            SetFocus(hwnd);
        if (message == WM_MOUSEMOVE) {
            if (MainStatusBar != NULL)
                MainStatusBar->SetHint(NULL);
            UI_CALL(MouseMoved, owner, x, y);
        } else {
            UI_CALL(MouseClicked, owner, x, y, MouseCodeOf(message));
        }
    }
    LRESULT def = DefWindowProcA(hwnd, message, wParam, lParam);
    return IsWindow(hwnd) ? def : 0;
}

LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (WindowObject(hwnd) == NULL)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_CHAR && wParam == 27) {
        SetFocus(GetParent(hwnd));
        return 0;
    }
    LRESULT result;
    if (RouteLikeToolWindow(hwnd, message, wParam, lParam, &result))
        return result;
    LRESULT def = DefWindowProcA(hwnd, message, wParam, lParam);
    return IsWindow(hwnd) ? def : 0;
}

LRESULT CALLBACK Label3dProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PTypedObject* object = WindowObject(hwnd);
    if (object == NULL)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        char text[256];
        GetWindowTextA(hwnd, text, sizeof(text));
        HGDIOBJ oldFont = GuiFont() && GuiFont()->hFont ? SelectObject(dc, GuiFont()->hFont) : NULL;
        int oldMode = SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutA(dc, -1, -1, text, (int)strlen(text));
        SetTextColor(dc, RGB(240, 248, 255));
        TextOutA(dc, 0, 0, text, (int)strlen(text));
        SetBkMode(dc, oldMode);
        if (oldFont)
            SelectObject(dc, oldFont);
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (message == WM_CHAR && wParam == 27) {
        PFrameWindow* owner = static_cast<PControl*>(object)->owner;
        if (owner != NULL)
            SetFocus(owner->hwnd);
        return 0;
    }
    LRESULT def = DefWindowProcA(hwnd, message, wParam, lParam);
    return IsWindow(hwnd) ? def : 0;
}
