// The Message Window as far as the message list needs it: its list box and
// the routine that opens it. The message list itself lives in the
// foundation; these are bound as its window services.
#pragma once

#include <windows.h>

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
