// The control base: bounds, visibility, tooltips and the binding of a
// widget's window to its object and its owner.
#include "ui/Control.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

PControl::PControl()
    : hwnd(NULL),
      owner(NULL),
      controlId(0),
      x(0),
      y(0),
      width(0),
      height(0),
      parentHwnd(NULL),
      toolTipRegistered(false),
      childRecord(NULL)
{
}

PControl::~PControl()
{
    if (toolTipRegistered && hwnd != NULL && g_ToolTipWindow != NULL) {
        TOOLINFOA info;
        memset(&info, 0, sizeof(info));
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.hwnd = parentHwnd;
        info.uId = (UINT_PTR)hwnd;
        SendMessageA(g_ToolTipWindow, TTM_DELTOOLA, 0, (LPARAM)&info);
    }
    if (hwnd != NULL)
        DestroyWindow(hwnd);
    hwnd = NULL;
}

void PControl::Attach(HWND window, int type, PFrameWindow* ownerWindow, int id, int left, int top,
                      int w, int h, HWND parent, bool sendFont, bool registerRecord)
{
    hwnd = window;
    typeId = type;
    owner = ownerWindow;
    controlId = id;
    x = left;
    y = top;
    width = w;
    height = h;
    parentHwnd = parent;
    if (hwnd == NULL)
        return;
    SetWindowLongA(hwnd, GWL_USERDATA, (LONG)(LONG_PTR)this);
    if (sendFont && GuiFont() != NULL && GuiFont()->hFont != NULL)
        SendMessageA(hwnd, WM_SETFONT, (WPARAM)GuiFont()->hFont, TRUE);
    if (registerRecord && owner != NULL)
        childRecord = RegisterChildRecord(owner, hwnd);
}

void SubclassWindow(HWND hwnd, WNDPROC procedure, WNDPROC* kept)
{
    LONG previous = SetWindowLongA(hwnd, GWL_WNDPROC, (LONG)(LONG_PTR)procedure);
    if (*kept == NULL)
        *kept = (WNDPROC)(LONG_PTR)previous;
}

void GetWindowPlacementRect(HWND hwnd, RECT* rect)
{
    WINDOWPLACEMENT placement;
    memset(&placement, 0, sizeof(placement));
    placement.length = sizeof(placement);
    if (hwnd == NULL || !GetWindowPlacement(hwnd, &placement)) {
        SetRectEmpty(rect);
        return;
    }
    *rect = placement.rcNormalPosition;
}

HDWP PControl::SetBoundsEx(int newX, int newY, int w, int h, int show, int enable, HDWP hdwp,
                           UINT extraFlags)
{
    RECT current;
    GetWindowPlacementRect(hwnd, &current);
    x = current.left;
    y = current.top;
    width = current.right - current.left;
    height = current.bottom - current.top;

    UINT flags = 0;
    if (newX != KEEP_CURRENT && newY != KEEP_CURRENT && newX == x && newY == y)
        flags = SWP_NOMOVE;
    if (w != KEEP_CURRENT && h != KEEP_CURRENT && w == width && h == height)
        flags |= SWP_NOSIZE;
    if (flags == (SWP_NOMOVE | SWP_NOSIZE) && show == KEEP_CURRENT && enable == KEEP_CURRENT) {
        InvalidateRect(hwnd, NULL, TRUE);
        return hdwp;
    }

    if (newX != KEEP_CURRENT)
        x = newX;
    if (newY != KEEP_CURRENT)
        y = newY;
    if (w != KEEP_CURRENT)
        width = w;
    if (h != KEEP_CURRENT)
        height = h;
    flags |= SWP_NOZORDER | SWP_NOACTIVATE;
    if (show != KEEP_CURRENT)
        flags |= show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;

    HDWP result = NULL;
    if (hdwp != NULL)
        result = DeferWindowPos(hdwp, hwnd, NULL, x, y, width, height, flags | extraFlags);
    if (result == NULL) {
        // The immediate path always applies size and position and never
        // touches the visibility.
        SetWindowPos(hwnd, NULL, x, y, width, height, extraFlags | SWP_NOZORDER);
        InvalidateRect(hwnd, NULL, TRUE);
    }
    if (enable != KEEP_CURRENT && (IsWindowEnabled(hwnd) != 0) != (enable != 0))
        EnableWindow(hwnd, enable != 0);
    return result;
}

HDWP PControl::SetBounds(int newX, int newY, int w, int h, int show, int enable, HDWP hdwp)
{
    return SetBoundsEx(newX, newY, w, h, show, enable, hdwp, 0);
}

void PControl::Show(int visible)
{
    ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
}

void PControl::Enable(int enabled)
{
    EnableWindow(hwnd, enabled != 0);
}

bool PControl::IsActive()
{
    return IsWindowVisible(hwnd) && IsWindowEnabled(hwnd);
}

void PControl::SetFocus()
{
    ::SetFocus(hwnd);
}

PFrameWindow* PControl::GetOwner()
{
    return owner;
}

bool PControl::Contains(PControl* control)
{
    return control == this;
}

void PControl::SetToolTipRect(int left, int top, int right, int bottom, const char* text)
{
    char* escaped = EscapeToolTipText(text);
    TOOLINFOA info;
    memset(&info, 0, sizeof(info));
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = hwnd;
    info.uId = 0;
    SetRect(&info.rect, left, top, right, bottom);
    info.lpszText = escaped;
    SendMessageA(g_ToolTipWindow, TTM_ADDTOOLA, 0, (LPARAM)&info);
    toolTipRegistered = true;
    free(escaped);
}

void PControl::SetToolTip(const char* text)
{
    char* escaped = EscapeToolTipText(text);
    TOOLINFOA info;
    memset(&info, 0, sizeof(info));
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = parentHwnd;
    info.uId = (UINT_PTR)hwnd;
    info.lpszText = escaped;
    if (!toolTipRegistered) {
        SendMessageA(g_ToolTipWindow, TTM_ADDTOOLA, 0, (LPARAM)&info);
        toolTipRegistered = true;
    } else {
        SendMessageA(g_ToolTipWindow, TTM_UPDATETIPTEXTA, 0, (LPARAM)&info);
    }
    free(escaped);
}

int GetVerticalScrollPos(HWND window)
{
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    GetScrollInfo(window, SB_VERT, &info);
    return info.nPos;
}

int PControl::GetVScrollPos()
{
    return GetVerticalScrollPos(hwnd);
}

void PControl::SetVScrollPos(int position)
{
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    info.nPos = position < 0 ? 0 : position;
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

ChildRecord* RegisterChildRecord(PFrameWindow* owner, HWND hwnd)
{
    ChildRecord* record = new ChildRecord;
    record->hwnd = hwnd;
    owner->childRecords.Append(record);
    return record;
}

void UnregisterChildRecord(PFrameWindow* owner, ChildRecord* record)
{
    if (record == NULL)
        return;
    owner->childRecords.Remove(record);
    delete record;
}

void EmptySlot(int) {}

char* EscapeToolTipText(const char* text)
{
    if (text == NULL)
        text = "";
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 10));
    memcpy(copy, text, length + 1);
    // "\n" and "\r" are two characters, as is CR LF: those are replaced in
    // place. "\t" becomes one TAB and the rest moves left.
    for (;;) {
        char* at = strstr(copy, "\\n");
        if (at == NULL)
            at = strstr(copy, "\\r");
        if (at == NULL)
            break;
        at[0] = '\r';
        at[1] = '\n';
    }
    for (char* at = strstr(copy, "\\t"); at != NULL; at = strstr(copy, "\\t")) {
        at[0] = '\t';
        memmove(at + 1, at + 2, strlen(at + 2) + 1);
    }
    return copy;
}

int OwnerDrawItemHeight(int controlId, float charHeight)
{
    const int h = (int)(charHeight + 0.5f);
    switch (controlId) {
    case 204: case 205: case 1911:
        return h + 3;
    case 461: case 2220:
        return 17;
    case 1044: case 1259:
        return 23;
    case 1152: case 2611:
        return 24;
    case 2701:  // the render-job list: two lines per job
        return h + 6 < 24 ? 24 : h + 6;
    default:
        return 0;
    }
}

bool MeasureOwnerDrawItem(int controlId, MEASUREITEMSTRUCT* measureItem)
{
    float charHeight = GuiFont() != NULL ? GuiFont()->charHeight : 0.0f;
    int height = OwnerDrawItemHeight(controlId, charHeight);
    if (height == 0)
        return false;
    measureItem->itemHeight = height;
    return true;
}
