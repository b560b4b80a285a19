// The Message Window's side of the message list: its control table, the
// list box it builds, and the refill that shows every message as one line.
#include "toolwindows/MessageWindow.h"

#include "foundation/Messages.h"
#include "ui/ListBox.h"

PControl* MessageList = NULL;
HWND g_MessageListBox = NULL;
void (*g_OpenMessageWindow)() = NULL;

ControlDescriptor g_MessageWindowControls[] = {
    {CT_LISTBOX, 0, MESSAGE_LIST_ID, 0, "", GridCell(1, 1, 1, 1), 0, 0, 0, &MessageList, NULL, NULL, 0,
     "The messages of the program: compiler errors and warnings, notes of the loaders and of the calculations.",
     "", NULL},
    {0, 0, 0, 0, NULL, 0, 0, 0, 0, NULL, NULL, NULL, 0, NULL, NULL, NULL},
};

namespace {

// The list box to fill: the one the window built, or one bound from
// outside; a window that has gone since counts as closed.
HWND ListWindow()
{
    if (MessageList != NULL)
        g_MessageListBox = MessageList->hwnd;
    if (g_MessageListBox != NULL && !IsWindow(g_MessageListBox))
        g_MessageListBox = NULL;
    return g_MessageListBox;
}

}  // namespace

int FillMessageListBox(bool scrollToEnd)
{
    HWND listBox = ListWindow();
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
    if (!ListWindow() && g_OpenMessageWindow)
        g_OpenMessageWindow();
    FillMessageListBox(true);
}

void LiftMessageWindow()
{
    HWND listBox = ListWindow();
    if (listBox == NULL)
        return;
    HWND window = GetAncestor(listBox, GA_ROOT);
    if (window != NULL)
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void RefreshMessageWindow(Fractal*)
{
    FillMessageListBox(true);
}
