// Keyboard focus cycling over a window's child records (TAB, Shift+TAB and
// the arrow keys): invisible, disabled and destroyed controls are passed by.
#include "ui/Control.h"
#include "ui/FrameWindow.h"
#include "ui/Keyboard.h"

namespace {

ChildRecord* FindRecord(NodeList& records, HWND hwnd)
{
    for (ListNode* node = records.GetHead(); node != NULL; node = node->next)
        if (static_cast<ChildRecord*>(node)->hwnd == hwnd)
            return static_cast<ChildRecord*>(node);
    return NULL;
}

bool CanTakeFocus(ChildRecord* record)
{
    return IsWindow(record->hwnd) && IsWindowVisible(record->hwnd) &&
           IsWindowEnabled(record->hwnd);
}

// One walk from the start (exclusive) round the list; stops at the start, or
// after one full pass when the start is not in the list.
void CycleFocus(PFrameWindow* window, HWND startHwnd, bool forward)
{
    if (window == NULL)
        return;
    NodeList& records = window->childRecords;
    if (records.IsEmpty())
        return;
    if (startHwnd == (HWND)-1)
        startHwnd = GetFocus();
    ChildRecord* start = FindRecord(records, startHwnd);
    ListNode* node;
    if (start != NULL)
        node = forward ? start->next : start->prev;
    else
        node = forward ? records.GetHead() : records.GetTail();
    for (int visited = 0; visited < records.Count(); ++visited) {
        if (node == NULL)
            node = forward ? records.GetHead() : records.GetTail();
        if (node == start)
            return;
        ChildRecord* record = static_cast<ChildRecord*>(node);
        if (CanTakeFocus(record)) {
            ::SetFocus(record->hwnd);
            return;
        }
        node = forward ? node->next : node->prev;
    }
}

}  // namespace

void FocusNextControl(PFrameWindow* window, HWND start)
{
    CycleFocus(window, start, true);
}

void FocusPreviousControl(PFrameWindow* window, HWND start)
{
    CycleFocus(window, start, false);
}

bool HandleFocusKeys(PFrameWindow* window, HWND start, UINT message, WPARAM key, bool noArrows)
{
    if (message == WM_CHAR && (key & 0xFF) == '\t') {
        if (PKeyboard::IsShiftDown())
            FocusPreviousControl(window, start);
        else
            FocusNextControl(window, start);
        return true;
    }
    bool mdiChild = window != NULL && window->windowType == WT_MDICHILD;
    if (!noArrows && !mdiChild && message == WM_KEYDOWN) {
        if ((key & 0xFF) == VK_UP) {
            FocusPreviousControl(window, start);
            return true;
        }
        if ((key & 0xFF) == VK_DOWN) {
            FocusNextControl(window, start);
            return true;
        }
    }
    return false;
}
