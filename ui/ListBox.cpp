// The list box widget: a system LISTBOX bound to its PListBox object,
// focusable (it registers a child record with its owner) and sized by the
// grid layout like every other control.
#include "ui/ListBox.h"

#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

PListBox::PListBox(PFrameWindow* ownerWindow, HWND parent, const char* caption, int id, int left, int top,
                   int w, int h, DWORD style)
{
    HWND parentWindow = parent != NULL ? parent : ownerWindow != NULL ? ownerWindow->hwnd : NULL;
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
                                      LBS_NOINTEGRALHEIGHT | style,
                                  left, top, w, h, parentWindow, (HMENU)(INT_PTR)id, g_Toolkit.instance, NULL);
    Attach(window, CT_LISTBOX, ownerWindow, id, left, top, w, h, parentWindow, true, true);
    if (caption != NULL && caption[0])
        SetToolTip(caption);
}

PListBox::~PListBox()
{
    if (childRecord != NULL && owner != NULL)
        UnregisterChildRecord(owner, childRecord);
    childRecord = NULL;
}

void PListBox::AddStrings(const char* const* items)
{
    for (; items != NULL && *items != NULL; items++)
        AddString(*items);
}

int PListBox::AddString(const char* text)
{
    return (int)SendMessageA(hwnd, LB_ADDSTRING, 0, (LPARAM)(text ? text : ""));
}

void PListBox::Clear()
{
    SendMessageA(hwnd, LB_RESETCONTENT, 0, 0);
}

int PListBox::Count() const
{
    return (int)SendMessageA(hwnd, LB_GETCOUNT, 0, 0);
}

void PListBox::SetTopIndex(int index)
{
    SendMessageA(hwnd, LB_SETTOPINDEX, index, 0);
}
