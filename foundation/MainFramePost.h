// Posting a message to the main frame window from any thread, through the
// posting service the application binds (tests bind a recorder instead).
#pragma once

#include <windows.h>

// Posts message with wParam and lParam to the main frame window. False when
// there is no main frame or no posting service (nothing is posted then) or
// the post fails.
bool PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam);
