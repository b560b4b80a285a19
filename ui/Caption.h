// The title bar of a docked window: its title, a roll-up button and a help
// button at the right end, drawn by the toolkit (class vuzaz_caption).
#pragma once

#include <windows.h>

#include "ui/Control.h"

enum { CAPTION_BUTTON_NONE = 0, CAPTION_BUTTON_ROLLUP = 8, CAPTION_BUTTON_HELP = 21 };

class PCaption : public PControl {
public:
    PCaption(PFrameWindow* owner, HWND parent, const char* title, int id, int x, int y, int w,
             int h);

    HDWP SetBounds(int x, int y, int w, int h, int show, int enable, HDWP hdwp) override;
    void Enable(int) override {}

    // Mouse tracking while a button is pressed: updates the hot button and,
    // on the release (code 200), acts when it is the pressed one. 1 while
    // tracking goes on, 0 after the release.
    int HandleButton(int x, int y, int code);
    // Computes the three rectangles for a caption of w x h.
    void ComputeRects(int w, int h);
    // The button under a point (CAPTION_BUTTON_*).
    int ButtonAt(int x, int y) const;

    char title[200];
    bool tracking;
    int pressed;
    int hot;
    RECT captionRect;
    RECT helpRect;
    RECT rollUpRect;
};

LRESULT CALLBACK CaptionProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
