// The control base. Every widget wraps one Win32 window in a PControl: the
// window finds its object through GWL_USERDATA, reaches its system class's
// procedure through one kept pointer per class, and registers a child record
// with its owner window, whose records in creation order are the tab order.
#pragma once

#include <windows.h>

#include "foundation/List.h"
#include "ui/Object.h"

class PFrameWindow;

// Type ids of the toolkit's objects (the first field of every object bound to
// a window). The widget Parts add the others.
enum ControlType {
    CT_FRAMEWINDOW = 1000,
    CT_NUMBERSLIDER_EDIT = 1007,
    CT_NUMBERSLIDER_TRACK = 1008,
    CT_TREEVIEW = 1025,
    CT_TABCONTROL = 1026,
    CT_TIP = 1029,
    CT_COLORCHOOSER = 1031,
    CT_NOP = 1033,
    CT_TRACKBAR = 1036,
    CT_CAPTION = 1039,
    CT_PANEL = 1044,
};

// Type ids of toolkit controls lie in this range (frame windows use 1000).
enum { CT_FIRST_CONTROL = 1001, CT_LAST_CONTROL = 1100 };

// Argument value that leaves a coordinate, a size, the visibility or the
// enabling as it is.
const int KEEP_CURRENT = (int)0x80000000;

// One focusable control of a window, in the owner's list of child records.
class ChildRecord : public ListNode {
public:
    HWND hwnd = NULL;
};

class PControl : public PTypedObject {
public:
    PControl();
    // Removes the control's tooltip, destroys its window. The child record
    // stays in the owner's list: each widget's own destructor unlinks it.
    virtual ~PControl();

    // The eleven operations every widget keeps in this order.
    virtual HDWP SetBoundsEx(int x, int y, int w, int h, int show, int enable, HDWP hdwp,
                             UINT extraFlags);
    virtual HDWP SetBounds(int x, int y, int w, int h, int show, int enable, HDWP hdwp);
    virtual void Show(int visible);
    virtual void Enable(int enabled);
    virtual bool IsActive();
    virtual void SetFocus();
    virtual PFrameWindow* GetOwner();
    virtual bool Contains(PControl* control);
    virtual void SetToolTipRect(int left, int top, int right, int bottom, const char* text);
    virtual void SetToolTip(const char* text);

    // Vertical scroll position of the control's window; negative positions
    // are set as 0.
    int GetVScrollPos();
    void SetVScrollPos(int position);

    // Steps 2, 3, 5 and 6 of every widget constructor: stores the identity
    // and the rectangle, binds the object to the window, sends the GUI font
    // when asked and registers the child record with the owner.
    void Attach(HWND window, int type, PFrameWindow* ownerWindow, int id, int x, int y, int w,
                int h, HWND parent, bool sendFont, bool registerRecord);

    HWND hwnd;
    PFrameWindow* owner;
    int controlId;
    int x, y, width, height;
    HWND parentHwnd;
    bool toolTipRegistered;
    ChildRecord* childRecord;  // the record Attach registered, null when none
};

// The object bound to a window (GWL_USERDATA), or null.
inline PTypedObject* WindowObject(HWND hwnd)
{
    return hwnd ? reinterpret_cast<PTypedObject*>(GetWindowLongA(hwnd, GWL_USERDATA)) : NULL;
}

// The vertical scroll position of a window's own scroll bar.
int GetVerticalScrollPos(HWND hwnd);

// Subclasses a window: the first call of a class keeps the system class's
// procedure in *kept; later calls only install the subclass procedure.
void SubclassWindow(HWND hwnd, WNDPROC procedure, WNDPROC* kept);

ChildRecord* RegisterChildRecord(PFrameWindow* owner, HWND hwnd);
void UnregisterChildRecord(PFrameWindow* owner, ChildRecord* record);

// Copy of a tooltip text with "\n" and "\r" turned into CR LF and "\t" into
// TAB; the caller frees it with free().
char* EscapeToolTipText(const char* text);

// Moves the keyboard focus to the next (previous) visible and enabled control
// of the window's child records, wrapping round. start is the control to step
// from; (HWND)-1 means the window that has the focus now.
void FocusNextControl(PFrameWindow* window, HWND start);
void FocusPreviousControl(PFrameWindow* window, HWND start);

// TAB (WM_CHAR) and the up and down arrows (WM_KEYDOWN, unless noArrows or
// an MDI child) cycle the focus. True when the key was used.
bool HandleFocusKeys(PFrameWindow* window, HWND start, UINT message, WPARAM key, bool noArrows);

// The WM_MEASUREITEM answer of the owner-drawn lists: sets itemHeight and
// returns true for the control ids that have one.
bool MeasureOwnerDrawItem(int controlId, MEASUREITEMSTRUCT* measureItem);

// Item height by control id for a GUI font of charHeight pixels; 0 for ids
// without an owner-drawn list.
int OwnerDrawItemHeight(int controlId, float charHeight);

// The operation of slots a widget leaves empty.
void EmptySlot(int);

// The window's rectangle from its placement, in the parent's client
// coordinates for a child window.
void GetWindowPlacementRect(HWND hwnd, RECT* rect);
