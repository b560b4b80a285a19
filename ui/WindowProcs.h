// The window procedures of the frame-window classes: wndFrameProc for the
// main frame (vuzaz_defwindow), wndChildProc for fractal windows
// (vuzaz_childwindow) and wndProc for tool windows, popups and docked windows
// (vuzaz_window). Each runs its handler under a guard that reports the
// program's own exceptions; the handlers route messages to the toolkit and,
// through g_UiHandlers, to the application.
#pragma once

#include <windows.h>

class Fractal;
class PFrameWindow;

LRESULT CALLBACK wndFrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK wndChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT FrameWindowHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ChildWindowHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ToolWindowHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The frame window object of a window (GWL_USERDATA), null when there is
// none or the object is not a frame window.
PFrameWindow* FrameObjectOf(HWND hwnd);

// The worker threads' messages to the main frame (UM_*); true when message
// is one of them.
bool HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam);

// Menu ids below this range go to the request handlers, ids in it to the
// menu-command dispatcher.
enum { MENU_COMMAND_FIRST = 29000, MENU_COMMAND_LAST = 31999 };

// Who handles a control's selection change (code 1) in WM_COMMAND.
enum SelectionRoute { SELECT_TO_LISTBOX, SELECT_TO_WINDOW };

// WM_COMMAND of a control or menu: the control id (widened to the sender's
// GWL_ID when that is 1000000 or more) goes by notification code to the
// menu dispatcher or the request handlers.
void RouteControlCommand(PFrameWindow* window, WPARAM wParam, LPARAM lParam,
                         SelectionRoute selection, bool clicks);

// WM_HSCROLL / WM_VSCROLL from a trackbar control: steps and thumb moves go
// to the slider handlers. False when the sender is not a trackbar.
bool RouteTrackbarScroll(WPARAM wParam, LPARAM lParam);

// The mouse code of a button message (100.. down, 200.. up, 1000.. double
// click), 0 for WM_MOUSEMOVE and -1 for other messages.
int MouseCodeOf(UINT message);

// WM_QUERYNEWPALETTE and WM_PALETTECHANGED to the application; false when
// it has no handler for them.
bool RoutePaletteMessage(PFrameWindow* window, UINT message, WPARAM wParam, LRESULT* result);

// Stores the button flags of a mouse message's key state.
void StoreMouseButtons(WPARAM keys);

// The pending show-state change of a fractal window asked for through its
// system menu: the window and 3 maximized, 2 minimized, 1 restored (0 none).
extern PFrameWindow* PendingShowWindow;
extern int PendingShowState;
