// Scrolling pages: the pages of tab controls (vuzaz_scrollpane) and the dock
// container's pane (vuzaz_container_scrollpane). A pane scrolls its child
// windows by moving them all in one batch. The nested panel (vuzaz_panel)
// and the panes route their controls' messages like a tool window.
#pragma once

#include <windows.h>

#include "foundation/List.h"

class PFrameWindow;

enum { CONTAINER_PANE_ID = 7772 };

class PScrollPane : public ListNode {
public:
    // A page of a tab control (parent = the tab control's window).
    PScrollPane(HWND tabWindow, PFrameWindow* owner, int id, int pageIndex);
    // The dock container's pane.
    PScrollPane(HWND parent, int id, int pageIndex);
    virtual ~PScrollPane();

    HDWP SetBounds(int x, int y, int w, int h, HDWP batch);
    void GrowExtent(int newHeight, bool force);
    int GetContentHeight() const { return contentHeight; }
    void SetContentWidth(int w) { contentWidth = w; }
    int GetContentWidth() const { return contentWidth; }
    // The pane's width less a vertical scroll bar when the content does not
    // fit the page.
    int GetClientWidth() const;
    // Scrolls to position: every child window moves by the difference.
    void ScrollTo(int position);

    HWND hwnd;
    int x, y, width, height;
    int scrollMax;
    int contentHeight;
    int pageIndex;
    int scrollPos;
    HDWP batch;
    int contentWidth;
    PFrameWindow* owner;
    HWND tabControl;
    const void* pageTable;
    HWND parentHwnd;
};

LRESULT CALLBACK ScrollPaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK Label3dProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
