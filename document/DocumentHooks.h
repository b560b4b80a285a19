// What the document model tells the windows, through hooks that the
// application sets at start-up (all null in tools and tests, where there
// is nothing to show).
#pragma once
#include <windows.h>

class Fractal;
class PFrameWindow;

// After Fractal::Rename: refresh the listings and reselect the fractal
// when it is the current one.
extern void (*g_FractalRenamed)(Fractal* fractal);
// After a palette change: when the palette editor shows this fractal it
// applies the change itself and answers true.
extern bool (*g_PaletteChanged)(Fractal* fractal);
// After the comment text was expanded: the comment window shows it when it
// shows this fractal.
extern void (*g_CommentExpanded)(Fractal* fractal);
// The client size of a fractal window.
extern void (*g_WindowClientSize)(PFrameWindow* window, int* width, int* height);

// The window side of the calculation commands (Recalculate of a quaternion
// clears the window's position markers, releases the camera widget and
// closes the Zoom window).
extern void (*g_QuaternionViewReset)(Fractal* fractal);

// The display side of palette changes. Each is skipped while null.
struct PaletteDisplay {
    // Makes the display palette from a colour table (255 entries) when
    // none exists, or animates/realises it; Fractal::ApplyPalette calls it
    // after the colour tables are settled.
    void (*realise)(Fractal* fractal, const RGBQUAD* colours, int changed);
    // Repaints a fractal's window: all = 1 the whole image.
    void (*drawWindow)(Fractal* fractal, int all);
};
extern PaletteDisplay g_PaletteDisplay;

// The millisecond clock of the calculation times (GetTickCount; tests
// set their own).
extern DWORD (*g_TickCount)();
