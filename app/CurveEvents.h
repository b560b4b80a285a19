// The curve editors' callbacks: a new knot by the editor's control id, the
// values of the selected knot in the editor's fields, and the drag of the
// selected knots with its limits, the wrap of cyclic editors and the band
// of the plot that needs repainting. The drag itself works on CurveEditor,
// the editor's properties, so it runs without a window.
#pragma once

#include <windows.h>

#include <string>

class CurveKnot;
class NodeList;
class AlphaChannelViews;
class PaletteEditorView;

enum {
    HEIGHT_SPLINE_EDITOR = 425,
    HEIGHT_SPLINE_EDITOR_3D = 1560,
    PALETTE_CHANNEL_EDITOR = 2001,  // 2001, 2002, 2003: channels 0..2
    ALPHA_CURVE_EDITOR = 2031,
};

// A curve editor's properties: the knots it edits (CurveKnot, ascending x),
// the x range and, for the pixel mapping, the y range and the plot size.
struct CurveEditor {
    int controlId;
    NodeList* knots;
    double minimum, maximum;    // x range
    double yMinimum, yMaximum;
    int width, height;          // plot in pixels
    bool cyclic;                // x wraps into [0, period)
    double period;
    const double* xOffset;      // shift of the shown curve (null: none)
    bool ordered;               // knots never pass their neighbours
    bool current;               // the owner's current editor
};

// Value x, y of the editor to plot pixels and back (y grows downwards).
double CurveXToPixel(const CurveEditor& editor, double x);
double CurveYToPixel(const CurveEditor& editor, double y);
double CurvePixelToX(const CurveEditor& editor, double px);
double CurvePixelToY(const CurveEditor& editor, double py);

// The x samples (0..255 over the x range) a drag touches: all of them when
// the editor has at most one knot, else the spans between the neighbours of
// the leftmost and the rightmost selected knot.
struct CurveBand {
    bool marked[256];
    void Mark(const CurveEditor& editor);
    // Lowest and highest marked slot of this and other; false when none.
    bool Extent(const CurveBand& other, int* low, int* high) const;
};

// Moves the selected knots of editor by dx, dy pixels (dy ignored when
// moveY is false) within their limits and puts them back in x order; the
// band before and after the move goes to before and after.
void MoveSelectedKnots(CurveEditor& editor, int dx, int dy, bool moveY, CurveBand* before, CurveBand* after);

// What the curve glue asks of the windows; each skipped while null.
struct CurveEditorWindows {
    // The palette editor's curve editor of channel 0..2, and its view.
    CurveEditor* (*paletteEditor)(int channel);
    PaletteEditorView* (*paletteView)();
    // The alpha channel window's views.
    AlphaChannelViews* (*alphaViews)();
    // Repaints pixels left..right of the editor's plot.
    void (*redrawStrip)(CurveEditor* editor, int left, int right);
    // Redraws the plot of a height-spline editor.
    void (*redrawPlot)(CurveEditor* editor);
    // The channel previews of the palette editor.
    void (*redrawPalettePreviews)();
    // The value fields of the selected knot (see CurveFields).
    void (*showFields)(int controlId, const struct CurveFields& fields);
};
extern CurveEditorWindows g_CurveEditorWindows;

// The fields ShowCurveSelection fills: position and, for palette channels,
// the colour (swatch, red, green, blue) and the three samples of the
// palette's model; for the alpha editor the value and its grey.
struct CurveFields {
    std::string position;
    std::string red, green, blue;
    std::string samples[3];
    COLORREF swatch;
    std::string value;
    int grey;
};

// A new knot at x, y by the editor's id: palette channel or alpha point,
// selected; null for others.
CurveKnot* CreateCurvePoint(CurveEditor* editor, double x, double y);
// The mouse over a curve: nothing yet for any editor the program has.
void CurveMouseMoved(CurveEditor* editor, double x, double y);
// The drag of the selected knots: in palette knot mode "all" the three
// channel editors move together (y only in the dragged one); then the
// curve is applied and the changed band repainted.
void RecomputeEditorCurve(CurveEditor* editor, int dx, int dy);
// The value fields of the editor's selected knot.
void ShowCurveSelection(CurveEditor* editor);
