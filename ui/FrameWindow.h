// The object behind every window of the program that is not a control: the
// main frame with its MDI client, the MDI children (fractal windows), the
// floating tool windows, the caption-less popups and the docked tool
// windows. It owns its window, the curve editors and timelines placed in it
// and the list of its controls' child records.
#pragma once

#include <windows.h>

#include "foundation/List.h"
#include "ui/Control.h"

class PCaption;
class PContainer;
class PGripper;
class PDisplayField;

enum PFrameWindowType {
    WT_MAIN = 0,
    WT_MDICHILD = 1,
    WT_TOOL = 2,
    WT_POPUP = 3,
    WT_DOCKED = 4,
};

// Window ids that decide a frame window's kind (the tool windows' ids come
// from the tool-window table).
enum WindowId {
    WID_MAIN = 100,
    WID_OUTPUT = 460,
    WID_COMMENT = 730,
    WID_PRESETPALETTES = 1910,
    WID_FRACTAL = 2100,
    WID_DRAG = 2600,
    WID_MDI_PLACEHOLDER = 99999,
};

// The first MDI child's id: menu and accelerator ids stay below it.
enum { MDI_FIRST_CHILD_ID = 32000 };

class PFrameWindow : public PTypedObject {
public:
    // An object without a window (its owner attaches one).
    PFrameWindow();
    PFrameWindow(const char* title, int windowId, int type, bool thickFrame, bool scrollBars,
                 int x, int y, int width, int height, bool visible, bool dockable);
    virtual ~PFrameWindow();

    void Show(bool visible);
    // Roll-up and restore. byUser: the user asked (the descriptor remembers
    // it); forHiding: a docked window rolled up instead of being hidden.
    void Minimize(bool byUser, bool forHiding);
    void Restore(bool byUser, bool forHiding);
    bool IsRolledUp() const { return rolledUpByUser || rolledUpForHiding; }

    void SetTitle(const char* text);
    void Move(int x, int y);
    void Resize(int width, int height);
    void SetClientSize(int width, int height);
    void SetZOrder(bool top);
    bool IsVisible() const;
    void InvalidateClient();
    void GetSize(int* width, int* height, bool client) const;
    // Top-left of the window's normal position, kept on the virtual screen;
    // a docked window asked without screen gives (0, its stack index).
    void GetPosition(int* x, int* y, bool screen) const;

    // Scroll-bar mode of fractal windows.
    void SetScrollRange(bool horizontal, int min, int max, int page, bool redraw);
    int SetScrollPosition(bool horizontal, int position);
    int GetScrollPosition(bool horizontal) const;

    HWND hwnd;
    HWND mdiClient;
    PContainer* container;
    bool active;
    bool dockDragging;
    int dragStartX, dragStartY;
    bool dockable;
    bool rolledUpByUser;
    bool rolledUpForHiding;
    int restoreWidth, restoreHeight;
    PGripper* gripper;
    PCaption* caption;
    DWORD exStyle, style;
    int windowType;
    int windowId;
    int hScrollMin, hScrollMax, hScrollPage, hScrollPos;
    int vScrollMin, vScrollMax, vScrollPage, vScrollPos;
    NodeList displayFields;
    NodeList timelines;
    PDisplayField* activeDisplayField;
    NodeList childRecords;
    int zRank;
    int layoutWidth, layoutHeight;  // the grid layout's size for the control table
    HDWP pendingBatch;               // the grid layout's deferred positions, null when none

private:
    void Init();
    void CreateMain(const char* title, int x, int y, int width, int height);
    void CreateMdiChild(const char* title, bool scrollBars, int x, int y, int width, int height,
                        bool visible);
    void CreateOther(const char* title, bool thickFrame, int x, int y, int width, int height);
    void RollUp(bool byUser, bool forHiding, bool up);
};

// The one dock container (null while there is none) and the outline window
// moved about while a tool window is dragged.
extern PContainer* g_DockContainer;
extern PFrameWindow* g_DragWindow;

// The procedure of the MDICLIENT class, kept when the main frame subclasses
// its MDI client, and the subclass procedure itself.
extern WNDPROC g_MdiClientClassProc;
LRESULT CALLBACK MdiClientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// One step of dragging a tool window's caption (mouse code 0 a move, 200 the
// release). False when the window was re-created and its object is gone.
bool DockToolWindow(PFrameWindow* window, int x, int y, int mouseCode);

// Starts the caption drag of a dockable tool window: the outline covers the
// window, the window captures the mouse; screenPoint is the message's point.
void StartDockDrag(PFrameWindow* window, LPARAM screenPoint);
