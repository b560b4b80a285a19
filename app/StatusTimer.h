// The work of the main frame's timers for fractal windows: timer 1000
// keeps the status bar's progress, times and image size up to date, clears
// the hint and applies a pending window resize; timer 1001 steps colour
// cycling. The texts and the arithmetic are plain functions for the tests.
#pragma once
#include <windows.h>

class Fractal;
class PFrameWindow;

// Ids of the main frame's timers.
enum {
    TIMER_STATUS = 1000,         // every 100 ms: status bar and window upkeep
    TIMER_COLOUR_CYCLING = 1001, // colour cycling, while it runs
};

// The work of the main frame's timers, called on WM_TIMER with the timer id.
void UpdateStatusOnTimer(int timerId);

// The status-bar texts of a calculation at progress (0..1) after elapsed ms.
struct ProgressTexts {
    char percent[32];     // "42% done"
    char elapsed[48];     // "Elapsed: h:mm:ss.mmm"
    char remaining[48];   // "Remaining: h:mm:ss.mmm" or "Remaining: unknown"
};
void FormatProgressTexts(double progress, int elapsedMs, ProgressTexts* texts);

// Program-wide colour cycling: on or off, its direction and its speed in
// palette entries per second, and the tick of the last step.
struct ColourCycling {
    int running;
    int up;
    double speed;
    DWORD lastTick;
};
extern ColourCycling g_ColourCycling;

// Palette entries to move after elapsedMs: elapsed x speed / 1000 when less
// than limitMs passed since the last step (a longer pause moves nothing),
// negative when cycling downwards.
double ColourCyclingStep(DWORD elapsedMs, double speed, int up, DWORD limitMs);
// offset + step wrapped into [0, 252).
double WrapPaletteOffset(double offset, double step);

// The fractal whose window was resized and whose image follows once the
// left button is up; null when none.
extern Fractal* PendingResizeFractal;
// Marks the fractal of a resized fractal window (not in scroll-bar mode) as
// waiting for the new image size.
void NoteFractalWindowResize(PFrameWindow* window);
// The image size for a window client: the width rounded down to a
// multiple of 4 (a wider image would show columns past the window's edge),
// the height at least 10.
void ImageSizeForClient(int clientWidth, int clientHeight, int* width, int* height);
// Applies a pending resize once the left button is up: the image takes the
// client size, the old picture stretched until it is recalculated.
void FinishFractalWindowResize();
