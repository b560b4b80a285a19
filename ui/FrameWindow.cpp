// Frame windows: creation by type, destruction, showing, roll-up and
// restore, position and size, and the scroll state of fractal windows.
#include "ui/FrameWindow.h"

#include <stdio.h>

#include "ui/Caption.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"
#include "ui/WindowPlacement.h"

PContainer* g_DockContainer = NULL;
PFrameWindow* g_DragWindow = NULL;
WNDPROC g_MdiClientClassProc = NULL;

PFrameWindow::PFrameWindow()
{
    Init();
}

void PFrameWindow::Init()
{
    typeId = CT_FRAMEWINDOW;
    hwnd = mdiClient = NULL;
    container = NULL;
    active = dockDragging = dockable = false;
    dragStartX = dragStartY = 0;
    rolledUpByUser = rolledUpForHiding = false;
    restoreWidth = restoreHeight = 0;
    gripper = NULL;
    caption = NULL;
    exStyle = style = 0;
    windowType = 0;
    windowId = 0;
    hScrollMin = hScrollMax = hScrollPage = hScrollPos = 0;
    vScrollMin = vScrollMax = vScrollPage = vScrollPos = 0;
    activeDisplayField = NULL;
    zRank = 0;
    layoutWidth = layoutHeight = 0;
    pendingBatch = NULL;
}

PFrameWindow::PFrameWindow(const char* title, int id, int type, bool thickFrame, bool scrollBars,
                           int x, int y, int width, int height, bool visible, bool isDockable)
{
    ToolkitLog("PFrameWindow constructor");
    Init();
    dockable = isDockable;
    if (type < WT_MAIN || type > WT_DOCKED)
        return;
    windowType = type;
    windowId = id;
    if (type == WT_MAIN)
        CreateMain(title, x, y, width, height);
    else if (type == WT_MDICHILD)
        CreateMdiChild(title, scrollBars, x, y, width, height, visible);
    else
        CreateOther(title, thickFrame, x, y, width, height);
}

void PFrameWindow::CreateMain(const char* title, int x, int y, int width, int height)
{
    ToolkitLog("Window of type WT_MAIN should be created");
    exStyle = WS_EX_WINDOWEDGE;
    style = WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_OVERLAPPEDWINDOW;
    hwnd = CreateWindowExA(exStyle, "vuzaz_defwindow", title, style, x < 0 ? 0 : x,
                           y < 0 ? 0 : y, width < 0 ? 800 : width, height < 0 ? 600 : height,
                           NULL, NULL, g_Toolkit.instance, NULL);
    ToolkitLog("hwndframe has been created");

    CLIENTCREATESTRUCT client;
    client.hWindowMenu = GetSubMenu(GetMenu(hwnd), 6);
    client.idFirstChild = MDI_FIRST_CHILD_ID;
    ToolkitLog("GetSubMenu called");
    ToolkitLog("Now creating MDICLIENT window");
    mdiClient = CreateWindowExA(0, "MDICLIENT", NULL, 0x52300001, 0, 0, 0, 0, hwnd, NULL,
                                g_Toolkit.instance, &client);
    ToolkitLog("MDICLIENT window created");

    char line[120];
    bool first = g_MdiClientClassProc == NULL;
    if (first)
        ToolkitLog("Now replacing Window sub class procecure for the first time");
    LONG previous = SetWindowLongA(mdiClient, GWL_WNDPROC, (LONG)(LONG_PTR)MdiClientProc);
    if (first) {
        g_MdiClientClassProc = (WNDPROC)(LONG_PTR)previous;
        snprintf(line, sizeof(line), "Window sub class procecure has been replaced, original is: %x",
                 (unsigned)previous);
        ToolkitLog(line);
    } else {
        snprintf(line, sizeof(line), "Now replacing Window sub class procecure, original is: %x",
                 (unsigned)(LONG_PTR)g_MdiClientClassProc);
        ToolkitLog(line);
        ToolkitLog("Window sub class procecure has been replaced");
    }
    SetWindowLongA(hwnd, GWL_USERDATA, (LONG)(LONG_PTR)this);
    SetWindowLongA(mdiClient, GWL_USERDATA, (LONG)(LONG_PTR)this);
    ToolkitLog("Ok, window has now been created");
}

void PFrameWindow::CreateMdiChild(const char* title, bool scrollBars, int x, int y, int width,
                                  int height, bool visible)
{
    style = scrollBars ? 0x44FF0000 : 0x44CF0000;
    if (visible)
        style |= WS_VISIBLE;
    else
        style &= ~WS_VISIBLE;
    hScrollMax = hScrollPage = 320;
    vScrollMax = vScrollPage = 200;
    HWND client = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->mdiClient : NULL;
    hwnd = CreateMDIWindowA("vuzaz_childwindow", title, style, x < 0 ? CW_USEDEFAULT : x,
                            y < 0 ? CW_USEDEFAULT : y, width < 0 ? 320 : width,
                            height < 0 ? 200 : height, client, g_Toolkit.instance, (LPARAM)this);
    if (hwnd == NULL)
        return;
    SetWindowLongA(hwnd, GWL_USERDATA, (LONG)(LONG_PTR)this);
    if (visible)
        SetFocus(hwnd);
}

void PFrameWindow::CreateOther(const char* title, bool thickFrame, int x, int y, int width,
                               int height)
{
    HWND parent = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
    switch (windowType) {
    case WT_TOOL:
        exStyle = WS_EX_CONTROLPARENT | WS_EX_CONTEXTHELP;
        style = thickFrame ? 0x82CC0000 : 0x82C80000;
        break;
    case WT_DOCKED:
        // Docked windows live in the dock container's pane.
        exStyle = 0x588;
        style = 0x46000000;
        container = g_DockContainer;
        parent = NULL;
        break;
    case WT_POPUP:
        exStyle = WS_EX_CONTROLPARENT;
        style = 0x82410000;
        title = NULL;
        break;
    }
    if (windowId == WID_PRESETPALETTES) {
        exStyle = WS_EX_TOOLWINDOW;
        style = 0xC0000;
    } else if (windowId == WID_DRAG) {
        exStyle = WS_EX_CONTROLPARENT | WS_EX_TOPMOST;
        style = 0x82010000;
        title = NULL;
    }
    hwnd = CreateWindowExA(exStyle, windowId == WID_DRAG ? "vuzaz_dragwindow" : "vuzaz_window",
                           title, style, x < 0 ? 0 : x, y < 0 ? 0 : y, width < 0 ? 320 : width,
                           height < 0 ? 200 : height, parent, NULL, g_Toolkit.instance, NULL);
    if (hwnd == NULL)
        return;
    SetWindowLongA(hwnd, GWL_USERDATA, (LONG)(LONG_PTR)this);
    if (windowType == WT_DOCKED)
        caption = new PCaption(this, hwnd, title, 0x7FFE, 0, 0, width, g_Toolkit.iCaptionHeight);
}

PFrameWindow::~PFrameWindow()
{
    // The curve editors and timelines are deleted by their own Parts'
    // destructors through the list nodes.
    displayFields.DeleteAllNodes();
    timelines.DeleteAllNodes();
    if (windowType == WT_MDICHILD && hwnd != NULL) {
        HWND client = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->mdiClient : NULL;
        if (client != NULL)
            SendMessageA(client, WM_MDIDESTROY, (WPARAM)hwnd, 0);
        else
            DestroyWindow(hwnd);
    } else if (windowType != 0 || windowId != 0 || mdiClient != NULL) {
        if (mdiClient != NULL)
            DestroyWindow(mdiClient);
        if (hwnd != NULL)
            DestroyWindow(hwnd);
    }
    hwnd = mdiClient = NULL;
    windowType = 0;
    delete caption;
    caption = NULL;
    // The child records belong to the controls: the list only lets go.
    childRecords.Clear(false);
}

void PFrameWindow::Show(bool visible)
{
    if (hwnd == NULL)
        return;
    if (windowType == WT_DOCKED) {
        // Docked windows never leave the stack: hiding rolls them up.
        if (visible) {
            EnableWindow(hwnd, TRUE);
            if (rolledUpByUser)
                Minimize(rolledUpByUser, false);
            else
                Restore(false, false);
        } else {
            EnableWindow(hwnd, FALSE);
            Minimize(rolledUpByUser, true);
        }
        ShowWindow(hwnd, SW_SHOWNA);
    } else if (visible) {
        if (!IsWindowEnabled(hwnd))
            EnableWindow(hwnd, TRUE);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    } else {
        ShowWindow(hwnd, SW_HIDE);
    }
    if (mdiClient != NULL)
        ShowWindow(mdiClient, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void PFrameWindow::RollUp(bool byUser, bool forHiding, bool up)
{
    if (IsRolledUp() == up || hwnd == NULL) {
        rolledUpByUser = byUser;
        rolledUpForHiding = forHiding;
        if (caption != NULL)
            InvalidateRect(caption->hwnd, NULL, FALSE);
        return;
    }
    if (up) {
        GetSize(&restoreWidth, &restoreHeight, false);
        if (windowType != WT_DOCKED)
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (windowType == WT_DOCKED) {
        Resize(restoreWidth, restoreHeight);
    } else {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
    if (windowType == WT_DOCKED && up) {
        int width = 0, height = 0;
        GetSize(&width, &height, false);
        Resize(width, g_Toolkit.iCaptionHeight + 2);
    }
    rolledUpByUser = byUser;
    rolledUpForHiding = forHiding;
    if (caption != NULL)
        InvalidateRect(caption->hwnd, NULL, FALSE);
}

void PFrameWindow::Minimize(bool byUser, bool forHiding)
{
    if (byUser && g_UiHandlers.DescriptorOfWindow != NULL) {
        WindowDescriptor* descriptor = g_UiHandlers.DescriptorOfWindow(windowId);
        if (descriptor != NULL)
            descriptor->SetMinimized(1);
    }
    RollUp(byUser, forHiding, true);
}

void PFrameWindow::Restore(bool byUser, bool forHiding)
{
    if (!byUser && g_UiHandlers.DescriptorOfWindow != NULL) {
        WindowDescriptor* descriptor = g_UiHandlers.DescriptorOfWindow(windowId);
        if (descriptor != NULL)
            descriptor->SetMinimized(0);
    }
    RollUp(byUser, forHiding, false);
}

void PFrameWindow::SetTitle(const char* text)
{
    if (hwnd != NULL)
        SetWindowTextA(hwnd, text);
}

void PFrameWindow::Move(int x, int y)
{
    SetWindowPos(hwnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PFrameWindow::Resize(int width, int height)
{
    if (hwnd == NULL)
        return;
    SetWindowPos(hwnd, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (caption != NULL)
        caption->SetBounds(KEEP_CURRENT, KEEP_CURRENT, width, KEEP_CURRENT, KEEP_CURRENT,
                           KEEP_CURRENT, NULL);
    InvalidateRect(hwnd, NULL, TRUE);
}

void PFrameWindow::SetClientSize(int width, int height)
{
    if (hwnd == NULL)
        return;
    RECT outer, client;
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    Resize(width + (outer.right - outer.left) - client.right,
           height + (outer.bottom - outer.top) - client.bottom);
}

void PFrameWindow::SetZOrder(bool top)
{
    SetWindowPos(hwnd, top ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool PFrameWindow::IsVisible() const
{
    return IsWindowVisible(hwnd) != 0;
}

void PFrameWindow::InvalidateClient()
{
    InvalidateRect(hwnd, NULL, TRUE);
}

void PFrameWindow::GetSize(int* width, int* height, bool client) const
{
    if (hwnd == NULL)
        return;
    RECT rect;
    if (client) {
        GetClientRect(hwnd, &rect);
    } else {
        GetWindowRect(hwnd, &rect);
    }
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

void PFrameWindow::GetPosition(int* x, int* y, bool screen) const
{
    if (hwnd == NULL)
        return;
    if (windowType == WT_DOCKED && !screen) {
        // Only the container knows the stack; without it the window is last.
        *x = 0;
        *y = 10000;
        return;
    }
    WINDOWPLACEMENT placement;
    memset(&placement, 0, sizeof(placement));
    placement.length = sizeof(placement);
    GetWindowPlacement(hwnd, &placement);
    if (placement.showCmd == SW_SHOWMAXIMIZED) {
        *x = *y = 0;
    } else {
        *x = placement.rcNormalPosition.left;
        *y = placement.rcNormalPosition.top;
    }
    const int screenWidth = g_Toolkit.virtualScreenWidth;
    const int screenHeight = g_Toolkit.virtualScreenHeight;
    if (*x < -500)
        *x = 0;
    if (*y < -50)
        *y = 0;
    if (*x >= screenWidth - 10)
        *x = screenWidth - 20;
    if (*y >= screenHeight - 10)
        *y = screenHeight - 20;
}

void PFrameWindow::SetScrollRange(bool horizontal, int min, int max, int page, bool redraw)
{
    if (horizontal) {
        hScrollMin = min;
        hScrollMax = max;
        hScrollPage = page;
    } else {
        vScrollMin = min;
        vScrollMax = max;
        vScrollPage = page;
    }
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = min;
    info.nMax = max;
    info.nPage = page;
    info.nPos = 0;
    SetScrollInfo(hwnd, horizontal ? SB_HORZ : SB_VERT, &info, redraw);
}

int PFrameWindow::SetScrollPosition(bool horizontal, int position)
{
    int min = horizontal ? hScrollMin : vScrollMin;
    int last = horizontal ? hScrollMax - hScrollPage + 1 : vScrollMax - vScrollPage + 1;
    if (position < min)
        position = min;
    if (position > last)
        position = last;
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(hwnd, horizontal ? SB_HORZ : SB_VERT, &info, TRUE);
    return position;
}

int PFrameWindow::GetScrollPosition(bool horizontal) const
{
    SCROLLINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    GetScrollInfo(hwnd, horizontal ? SB_HORZ : SB_VERT, &info);
    return info.nPos;
}

LRESULT CALLBACK MdiClientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(g_MdiClientClassProc, hwnd, message, wParam, lParam);
}
