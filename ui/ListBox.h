// The list box widget: a Win32 LISTBOX in a PControl, as the control tables
// make it (the Message Window's list of messages is one). Items come from
// the row's null-terminated text array or are added by the window's owner.
#pragma once

#include "ui/Control.h"

enum { CT_LISTBOX = 1004 };

class PListBox : public PControl {
public:
    // Creates the list at (x, y, w, h) in parent (the owner's window when
    // null) with the extra style bits; caption becomes its tooltip when set.
    PListBox(PFrameWindow* owner, HWND parent, const char* caption, int id, int x, int y, int w, int h,
             DWORD style);
    virtual ~PListBox();

    // Adds every text of a null-terminated array.
    void AddStrings(const char* const* items);
    int AddString(const char* text);
    void Clear();
    int Count() const;
    // Scrolls so that the item is the first one shown.
    void SetTopIndex(int index);
};
