#pragma once
#include <windows.h>
#include "ui/Object.h"

// The status bar of the main frame. Part 0 shows short hints; it is written
// by posting, so worker threads may set it.
class PStatusBar : public PObject {
public:
    PStatusBar();
    virtual ~PStatusBar();

    // Posts text to part 0 (SB_SETTEXTA). The text must stay valid until the
    // bar has handled the message: callers pass static or long-lived texts.
    // A null text posts the empty text once; further null texts post nothing
    // until a text has been shown again. Without a window nothing happens.
    void SetHint(const char* text);

    HWND hwnd;          // the bar's window, null while there is none
    bool hintCleared;   // part 0 was last emptied by a null hint
};

// The main frame's status bar, null until the application has made it.
extern PStatusBar* MainStatusBar;
