// Posting a message to the main frame window from any thread.
#pragma once

#include <windows.h>

// Posts message with wParam and lParam to the main frame window. False when
// there is no main frame (nothing is posted then) or the post fails.
bool PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam);

// When set, PostToMainFrame hands every message to this function instead of
// the window (tests record what would be posted); its result is returned.
typedef bool (*MainFramePostHook)(UINT message, WPARAM wParam, LPARAM lParam);
extern MainFramePostHook g_MainFramePostHook;
