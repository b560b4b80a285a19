// The Message Window (460): one list box showing the message list, a line
// per message, refilled whenever the list changes on the main thread or a
// worker's UM_NEW_MESSAGE arrives. The message list itself lives in the
// foundation; these are bound as its window services.
#pragma once

#include <windows.h>

#include "ui/PanelBuilder.h"

class Fractal;
class PControl;

enum { MESSAGE_LIST_ID = 461 };

// The window's control table (the list box 461 filling the window) and the
// variable that holds the list box while the window is open.
extern ControlDescriptor g_MessageWindowControls[];
extern PControl* MessageList;

// The window's list box (null while the window is closed) and the routine
// that opens the window (null while there is none).
extern HWND g_MessageListBox;
extern void (*g_OpenMessageWindow)();

// Refills the list box, one line per message; with scrollToEnd the last line
// is shown. Returns 0 when the window is closed, 1 otherwise. Main thread.
int FillMessageListBox(bool scrollToEnd);

// Opens the window when it is closed, then refills it scrolled to the end.
void ShowMessageWindow();

// Lifts the window (the top-level window of its list box) to the top of the
// z order without moving, sizing or activating it.
void LiftMessageWindow();

// The refresh function of the window's table row: takes the list box the
// table built and fills it scrolled to the end (the fractal is not used).
void RefreshMessageWindow(Fractal* fractal);
