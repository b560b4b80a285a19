#include "ui/StatusBar.h"
#include <commctrl.h>

PStatusBar* MainStatusBar = NULL;

// Posted texts must outlive the message, so the empty hint is static.
static const char s_emptyHint[] = "";

PStatusBar::PStatusBar() : hwnd(NULL), hintCleared(false)
{
}

PStatusBar::~PStatusBar()
{
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
