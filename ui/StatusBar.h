// The five-part status bar of the main frame: hint, elapsed time, remaining
// time, percent done and image size. The hint part is written by posting,
// so worker threads may set it.
#pragma once

#include <windows.h>

#include "ui/Control.h"

enum { STATUS_BAR_ID = 101, STATUS_BAR_PARTS = 5 };

class PStatusBar : public PControl {
public:
    // Creates the bar as child 101 of the main frame (no window while there
    // is no main frame).
    PStatusBar();
    virtual ~PStatusBar();

    // Shows or hides the bar in the main frame's layout.
    void Enable(int shown) override;
    void SetToolTip(const char*) override {}

    // Posts text to part 0 (SB_SETTEXTA). The text must stay valid until the
    // bar has handled the message: callers pass static or long-lived texts.
    // A null text posts the empty text once; further null texts post nothing
    // until a text has been shown again. Without a window nothing happens.
    void SetHint(const char* text);
    void SetElapsedText(const char* text) { SetPartText(1, text); }
    void SetRemainingText(const char* text) { SetPartText(2, text); }
    void SetPercentText(const char* text) { SetPartText(3, text); }
    void SetSizeText(const char* text) { SetPartText(4, text); }
    // Sets the parts' right edges for a bar of the given width.
    void SetParts(int width);

    bool hintCleared;   // part 0 was last emptied by a null hint
    int height;         // bottom of part 0 + the vertical border
    int lastWidth, lastHeight;  // the image size last shown in part 4
    bool shown;         // the bar takes its place in the layout

private:
    void SetPartText(int part, const char* text);
};

// The main frame's status bar, null until the application has made it.
extern PStatusBar* MainStatusBar;

// Right edges of the five parts for a bar of the given width; edges that
// come out negative become 1, 2, 3, ... in order.
void GetStatusBarParts(int edges[STATUS_BAR_PARTS], int width);

class PFrameWindow;

// Lays out the main frame's client area: the 30-pixel toolbar band at the
// top, the status bar at the bottom, the MDI client in between.
void LayoutMainFrame(PFrameWindow* frame, int containerWidth);

// The toolbar strip's window (the rebar), placed by the layout; null while
// there is none.
extern HWND g_ToolbarStrip;

enum { TOOLBAR_BAND_HEIGHT = 30 };
