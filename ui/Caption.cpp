// The docked windows' title bar: painting, the two buttons, roll-up by
// double click and the start of a drag.
#include "ui/Caption.h"

#include <string.h>

#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"
#include "ui/WindowProcs.h"

PCaption::PCaption(PFrameWindow* ownerWindow, HWND parent, const char* text, int id, int left,
                   int top, int w, int h)
    : tracking(false), pressed(0), hot(0)
{
    lstrcpynA(title, text ? text : "", sizeof(title));
    HWND window = CreateWindowExA(0, "vuzaz_caption", title, WS_CHILD | WS_VISIBLE | WS_GROUP,
                                  left, top, w, h, parent, (HMENU)(INT_PTR)id, g_Toolkit.instance,
                                  NULL);
    Attach(window, CT_CAPTION, ownerWindow, id, left, top, w, h, parent, false, false);
    ComputeRects(w, h);
}

void PCaption::ComputeRects(int w, int h)
{
    SetRect(&captionRect, 2, 2, w - 2, h - 2);
    SetRect(&helpRect, w - 2 * h + 6, 4, w - h, h - 4);
    SetRect(&rollUpRect, w - h + 2, 4, w - 4, h - 4);
}

HDWP PCaption::SetBounds(int newX, int newY, int w, int h, int show, int enable, HDWP hdwp)
{
    HDWP result = PControl::SetBounds(newX, newY, w, h, show, enable, hdwp);
    ComputeRects(width, height);
    return result;
}

int PCaption::ButtonAt(int px, int py) const
{
    POINT point = {px, py};
    if (PtInRect(&rollUpRect, point))
        return CAPTION_BUTTON_ROLLUP;
    if (PtInRect(&helpRect, point))
        return CAPTION_BUTTON_HELP;
    return CAPTION_BUTTON_NONE;
}

int PCaption::HandleButton(int px, int py, int code)
{
    int nowHot = ButtonAt(px, py);
    if (nowHot != hot) {
        hot = nowHot;
        InvalidateRect(hwnd, &rollUpRect, FALSE);
        InvalidateRect(hwnd, &helpRect, FALSE);
    }
    if (code != 200)
        return 1;
    ReleaseCapture();
    tracking = false;
    if (pressed == hot && owner != NULL) {
        if (pressed == CAPTION_BUTTON_HELP)
            SendMessageA(owner->hwnd, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        else if (pressed == CAPTION_BUTTON_ROLLUP) {
            if (owner->IsRolledUp())
                owner->Restore(false, false);
            else
                owner->Minimize(true, false);
        }
    }
    pressed = hot = 0;
    InvalidateRect(hwnd, &rollUpRect, FALSE);
    InvalidateRect(hwnd, &helpRect, FALSE);
    return 0;
}

namespace {

void PaintCaption(PCaption* caption, HDC dc)
{
    PFrameWindow* owner = caption->owner;
    RECT client;
    GetClientRect(caption->hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    bool active = g_Toolkit.mainFrame != NULL && g_Toolkit.mainFrame->active;
    UINT flags = DC_TEXT | DC_SMALLCAP | (DisplayMode > 8 ? DC_GRADIENT : 0) | (active ? DC_ACTIVE : 0);
    if (owner != NULL)
        DrawCaption(owner->hwnd, dc, &caption->captionRect, flags);
    bool rolled = owner != NULL && owner->IsRolledUp();
    UINT rollState = rolled ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMIN;
    if (caption->pressed == CAPTION_BUTTON_ROLLUP && caption->hot == CAPTION_BUTTON_ROLLUP)
        rollState |= DFCS_PUSHED;
    if (owner != NULL && !IsWindowEnabled(owner->hwnd))
        rollState |= DFCS_INACTIVE;
    DrawFrameControl(dc, &caption->rollUpRect, DFC_CAPTION, rollState);
    UINT helpState = DFCS_CAPTIONHELP;
    if (caption->pressed == CAPTION_BUTTON_HELP && caption->hot == CAPTION_BUTTON_HELP)
        helpState |= DFCS_PUSHED;
    DrawFrameControl(dc, &caption->helpRect, DFC_CAPTION, helpState);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, 0, client.bottom - 1, NULL);
    LineTo(dc, 0, 0);
    LineTo(dc, client.right - 1, 0);
    HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_APPWORKSPACE));
    SelectObject(dc, dark);
    LineTo(dc, client.right - 1, client.bottom - 1);
    LineTo(dc, 0, client.bottom - 1);
    SelectObject(dc, oldPen);
    DeleteObject(dark);
}

}  // namespace

LRESULT CALLBACK CaptionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PCaption* caption = static_cast<PCaption*>(WindowObject(hwnd));
    if (caption == NULL)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const int x = (short)LOWORD(lParam);
    const int y = (short)HIWORD(lParam);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        PaintCaption(caption, dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_CHAR:
        return 0;
    }
    if (caption->tracking && MouseCodeOf(message) >= 0)
        return caption->HandleButton(x, y, MouseCodeOf(message));
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
        int button = caption->ButtonAt(x, y);
        PFrameWindow* owner = caption->owner;
        if (button != CAPTION_BUTTON_NONE) {
            caption->pressed = caption->hot = button;
            caption->tracking = true;
            SetCapture(hwnd);
            InvalidateRect(hwnd, button == CAPTION_BUTTON_ROLLUP ? &caption->rollUpRect
                                                                 : &caption->helpRect, FALSE);
        } else if (owner != NULL && message == WM_LBUTTONDBLCLK) {
            if (owner->IsRolledUp())
                owner->Restore(false, false);
            else
                owner->Minimize(true, false);
        } else if (owner != NULL) {
            POINT point = {x, y};
            ClientToScreen(hwnd, &point);
            StartDockDrag(owner, MAKELPARAM(point.x, point.y));
        }
        return 0;
    }
    LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
    return IsWindow(hwnd) ? result : 0;
}
