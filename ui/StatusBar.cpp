// The status bar and the layout of the main frame's client area.
#include "ui/StatusBar.h"

#include <commctrl.h>

#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

PStatusBar* MainStatusBar = NULL;
HWND g_ToolbarStrip = NULL;

// Posted texts must outlive the message, so the empty hint is static.
static const char s_emptyHint[] = "";

void GetStatusBarParts(int edges[STATUS_BAR_PARTS], int width)
{
    static const int kFromRight[STATUS_BAR_PARTS] = {550, 375, 200, 100, 0};
    int replacement = 1;
    for (int i = 0; i < STATUS_BAR_PARTS; ++i) {
        edges[i] = width - kFromRight[i];
        if (edges[i] < 0)
            edges[i] = replacement++;
    }
}

PStatusBar::PStatusBar() : hintCleared(false), height(0), lastWidth(0), lastHeight(0), shown(true)
{
    PFrameWindow* frame = g_Toolkit.mainFrame;
    if (frame == NULL || frame->hwnd == NULL)
        return;
    HWND bar = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_TOPMOST, STATUSCLASSNAMEA, "teststring",
                               WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, frame->hwnd,
                               (HMENU)STATUS_BAR_ID, g_Toolkit.instance, NULL);
    Attach(bar, 0, frame, STATUS_BAR_ID, 0, 0, 0, 0, frame->hwnd, false, false);
    if (hwnd == NULL)
        return;
    RECT client;
    GetClientRect(frame->hwnd, &client);
    SetParts(client.right);
    RECT part;
    SendMessageA(hwnd, SB_GETRECT, 0, (LPARAM)&part);
    int borders[3] = {0, 0, 0};
    SendMessageA(hwnd, SB_GETBORDERS, 0, (LPARAM)borders);
    height = part.bottom + borders[1];
}

PStatusBar::~PStatusBar()
{
    if (MainStatusBar == this)
        MainStatusBar = NULL;
}

void PStatusBar::SetParts(int width)
{
    int edges[STATUS_BAR_PARTS];
    GetStatusBarParts(edges, width);
    SendMessageA(hwnd, SB_SETPARTS, STATUS_BAR_PARTS, (LPARAM)edges);
}

void PStatusBar::SetPartText(int part, const char* text)
{
    SendMessageA(hwnd, SB_SETTEXTA, part, (LPARAM)(text ? text : ""));
}

void PStatusBar::Enable(int isShown)
{
    shown = isShown != 0;
    // Resizing the frame by a pixel and back makes it lay itself out again.
    PFrameWindow* frame = g_Toolkit.mainFrame;
    if (frame == NULL || frame->hwnd == NULL)
        return;
    int w = 0, h = 0;
    frame->GetSize(&w, &h, false);
    frame->Resize(w, h + 1);
    frame->Resize(w, h);
}

void PStatusBar::SetHint(const char* text)
{
    // PostMessage with a null window would land in the calling thread's
    // own queue, so a bar without a window does nothing at all.
    if (hwnd == NULL)
        return;
    if (text == NULL) {
        if (hintCleared)
            return;
        PostMessageA(hwnd, SB_SETTEXTA, 0, (LPARAM)s_emptyHint);
        hintCleared = true;
        return;
    }
    PostMessageA(hwnd, SB_SETTEXTA, 0, (LPARAM)text);
    hintCleared = false;
}

void LayoutMainFrame(PFrameWindow* frame, int containerWidth)
{
    if (frame == NULL || frame->hwnd == NULL)
        return;
    RECT client;
    GetClientRect(frame->hwnd, &client);
    const int w = client.right;
    int h = client.bottom;
    PStatusBar* bar = MainStatusBar;
    const bool barShown = bar != NULL && bar->hwnd != NULL && bar->shown;
    if (barShown)
        h -= bar->height;

    // The dock container's band on the right joins with the container; the
    // MDI client and the toolbar strip take the whole width until then.
    const int mdiWidth = w;
    const int stripWidth = w;

    if (bar != NULL && bar->hwnd != NULL && (bar->width != w || bar->y != h))
        bar->SetBounds(0, h, w, bar->height, bar->shown, KEEP_CURRENT, NULL);
    // SetBounds without a batch keeps the visibility, so a hidden bar would
    // stay on screen under the enlarged client: show or hide it here.
    if (bar != NULL && bar->hwnd != NULL && (IsWindowVisible(bar->hwnd) != 0) != bar->shown)
        ShowWindow(bar->hwnd, bar->shown ? SW_SHOWNA : SW_HIDE);
    if (frame->mdiClient != NULL)
        SetWindowPos(frame->mdiClient, NULL, 0, TOOLBAR_BAND_HEIGHT, mdiWidth,
                     h - TOOLBAR_BAND_HEIGHT, SWP_NOZORDER | SWP_NOACTIVATE);
    if (g_ToolbarStrip != NULL)
        SetWindowPos(g_ToolbarStrip, NULL, 0, 0, stripWidth, TOOLBAR_BAND_HEIGHT,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (barShown)
        bar->SetParts(w);
}
