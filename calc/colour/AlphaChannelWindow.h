// The glue between a fractal's alpha channel and the "Alpha Channel
// Window": the grey ramp of its analyzer, its preview strip, the check mark
// of "Move Control Points", the refresh after an edit and the click that
// adds a point. The window toolkit implements AlphaChannelViews for the
// window; without views these operations do nothing.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <vector>

class CurveKnot;
class Fractal;

enum { ALPHA_MENU_MOVE_POINTS = 29250 };

// What the glue needs of the window and its controls.
class AlphaChannelViews {
public:
    virtual ~AlphaChannelViews() {}
    // The fractal the window shows (the current fractal), null without one.
    virtual Fractal* ShownFractal() = 0;
    // False while the window is closed.
    virtual bool IsOpen() = 0;
    // Width of the curve editor's plot now, and the widest it can become.
    virtual int PlotWidth() = 0;
    virtual int MaxPlotWidth() = 0;
    virtual void RedrawPlot() = 0;
    // Both preview strips are invalidated.
    virtual void InvalidateStrips() = 0;
    // The selected point's values are shown in the editor's fields.
    virtual void ShowSelection() = 0;
    // Check mark of the popup menu item ALPHA_MENU_MOVE_POINTS.
    virtual void CheckMenuItem(int item, bool checked) = 0;

    // The preview strip: 3 bytes per pixel of the widest plot, allocated on
    // first use. stripWidth pixels are valid: grey blue, green, red on deep
    // displays, one display-palette index per pixel (bytes 0..w-1) on 8-bit
    // displays.
    std::vector<uint8_t> strip;
    int stripWidth = 0;
};

// The analyzer's 256-step grey ramp, made once at start by
// SetupAlphaDisplayPalette for the screen's depth.
struct AlphaDisplayRamp {
    int bits;                   // 8 or 24
    uint8_t indices[256];       // 8-bit: the colour-cube index of grey i
    uint8_t greys[256][3];      // 24-bit: grey i as blue, green, red
    RGBQUAD colours[256];       // 8-bit: the colour cube's table, reserved bytes 0
};
extern AlphaDisplayRamp g_AlphaDisplayRamp;

void SetupAlphaDisplayPalette();
// Escape-time fractals only: the item carries its check mark while the
// shown fractal's channel moves points locally (dragknotmode 1).
void UpdateAlphaMenuCheck(AlphaChannelViews* views);
// Fills the strip from the fractal's alpha table; nothing without an open
// window or a fractal.
void BuildAlphaStrip(AlphaChannelViews* views, Fractal* fractal);
// Escape-time fractals only: resample, rebuild the strip; with redraw the
// plot and the strips are repainted, with recalculate the fractal is
// recalculated.
void RefreshAlphaChannel(AlphaChannelViews* views, Fractal* fractal, bool redraw, bool recalculate);
// The curve editor's click on an empty place: a point at the rounded
// position and value in the shown fractal's channel, selected; an
// escape-time fractal is resampled and recalculated; the undo step "Alpha
// Channel changed" is recorded. Null without views or a shown fractal.
CurveKnot* AddAlphaPoint(AlphaChannelViews* views, double x, double y);
