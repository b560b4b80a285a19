// The Message Window's side of the message list.
#include "app/MessageWindow.h"

#include "foundation/Messages.h"

HWND g_MessageListBox = NULL;
void (*g_OpenMessageWindow)() = NULL;

int FillMessageListBox(bool scrollToEnd)
{
    HWND listBox = g_MessageListBox;
    if (!listBox)
        return 0;
    SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
    LockMessageList();
    int lines = 0;
    for (ListNode* node = g_Messages.GetHead(); node; node = node->next) {
        const char* text = static_cast<MessageNode*>(node)->text;
        SendMessageA(listBox, LB_ADDSTRING, 0, (LPARAM)(text ? text : ""));
        lines++;
    }
    UnlockMessageList();
    if (scrollToEnd && lines > 0)
        SendMessageA(listBox, LB_SETTOPINDEX, lines - 1, 0);
    return 1;
}

void ShowMessageWindow()
{
    if (!g_MessageListBox && g_OpenMessageWindow)
        g_OpenMessageWindow();
    FillMessageListBox(true);
}

void LiftMessageWindow()
{
    HWND listBox = g_MessageListBox;
    if (listBox == NULL)
        return;
    HWND window = GetAncestor(listBox, GA_ROOT);
    if (window != NULL)
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}
