// The colour gradient of a fractal: three lists of knots, one per channel
// of its colour model, interpolated into a table of 252 colours that the
// colour mapping samples. Every fractal embeds one; loaded palettes live in
// g_Palettes; DefaultPalette and ColorCubePalette are built from the
// program's own tables.
#pragma once

#include <windows.h>

#include "foundation/CurveKnot.h"
#include "foundation/List.h"

enum {
    PALETTE_SIZE = 252,         // gradient entries of the colour table
    PALETTE_TABLE_SIZE = 256,
};

// The knot modes of a palette.
enum { KNOTMODE_EACH = 0, KNOTMODE_ALL = 1 };

// The palette editor window as the knot operations see it: the window
// toolkit implements it for the editor showing the palette being edited.
// The operations change the palette without one; with one they also let
// the editor repaint and apply the change.
class PaletteEditorView {
public:
    virtual ~PaletteEditorView() {}
    // The curve editor of channel 0..2 repaints its plot and knots.
    virtual void RedrawChannel(int channel) = 0;
    // ApplyPaletteChange with redraw of the fractal the editor shows:
    // rebuild, apply to the display and the colouring, repaint.
    virtual void ApplyPaletteChange() = 0;
};

class Palette : public ListNode {
public:
    // "Palette", all fields 0, table black, one knot (0, 0) per channel,
    // each selected.
    Palette();
    // Copy: name, model, modes, smooth, table and knots (the copy of the
    // source's selected knot is selected); the offset starts at 0. A null
    // source gives the default palette named "empty palette".
    explicit Palette(const Palette* other);
    // The start-up default palette: colours from rgb (256 triples), a knot
    // per channel where knotFlags has bit 4 (red), 2 (green) or 1 (blue).
    Palette(const uint8_t rgb[][3], const uint8_t knotFlags[]);
    // "Palette" with a knot at every position 0..251 of every channel from
    // rgb; null rgb as Palette().
    explicit Palette(const uint8_t rgb[][3]);
    virtual ~Palette();

    // Assignment used for a fractal's palette: table, knots (source's
    // selected knot selected, else the first), offset, smooth, model and
    // knot mode. Name and dragknotmode stay.
    void CopyFrom(const Palette& other);
    // Deletes the knots of channel 0..2, or of all three with -1, and clears
    // the selection(s).
    void ClearKnots(int channel);
    // Recomputes entries 0..251 and the model values from the knots.
    void Rebuild();
    // A knot at (x, y) in the channel, before the first knot with a larger
    // position. Null when trunc(x + 0.5) is outside 0..251 or taken. No
    // rebuild.
    CurveKnot* InsertKnot(int channel, double x, double y);

    // ----- Knot operations of the editor and the menus (PaletteKnots.cpp)
    // Removes knots that lie closer than tolerance to the straight line
    // through their neighbours on the closed curve (the ends measured
    // against their wrap neighbours shifted by 252); in knot mode all a
    // position goes from all three channels at once. Lists of fewer than
    // three knots keep them. Returns the number of positions removed. No
    // rebuild.
    int Simplify(double tolerance);
    // Sets one component of the colour at the knot (the channel knot's
    // table entry) as seen in model to value. Knot mode all changes the
    // knots at the knot's index in all three lists; knot mode each the
    // knots of the channels whose value moved by more than 0.3, adding one
    // at knot.x (selected) where a channel has none within 0.1. Ends with
    // the editor's ApplyPaletteChange, or a Rebuild without an editor.
    void SetKnotComponent(PaletteEditorView* editor, int component, int model, CurveKnot* knot,
                          double value);
    // In knot mode all, gives every channel a knot at every position any
    // channel uses (valued from the present colour there) and selects the
    // first knot of each channel; nothing in knot mode each. No rebuild.
    void AlignKnots(PaletteEditorView* editor);

    int32_t smooth;         // 0 straight lines, any other value cubic ("smooth=yes" reads as 3)
    int32_t colormodel;     // ColorModel of the knot values
    int32_t knotmode;       // KNOTMODE_EACH or KNOTMODE_ALL
    int32_t dragknotmode;   // 1 local, 0 global
    double offset;          // shift of the gradient along the table, 0 <= offset < 252
    CurveKnot* selectedKnot[3];
    NodeList knots[3];      // CurveKnot per channel, ascending x (0..251)
    // Entries 0..251 the gradient with rgbReserved 1; 252..255 are never
    // written by the rebuild.
    RGBQUAD colorTable[PALETTE_TABLE_SIZE];
    double modelValues[3][PALETTE_TABLE_SIZE];  // per channel, the model value of each entry
    // The gradient index an entry's reader keeps between an index item and
    // the colour item that follows it; never copied.
    double pendingIndex;

private:
    void InitEmpty(const char* name);
    void RemoveKnot(int channel, ListNode* knot);
    int SimplifyInStep(double tolerance);
    int SimplifyChannel(int channel, double tolerance);
    void SetTable(const uint8_t rgb[][3]);
    void CopyKnotsFrom(const Palette& other, bool selectFirstWhenNone);
};

// The loaded palettes are g_Palettes of foundation/List.h, searched by
// exact name.
// Built at start; every new fractal copies it. Never null after start-up.
extern Palette* DefaultPalette;
// The 6x6x6 colour cube with grey, green, red and blue ramps, built at
// start.
extern Palette* ColorCubePalette;

// Sets the knot's y to the component of the palette's present colour at
// entry (trunc(offset + 0.5) + trunc(knot.x)) modulo 252, in the palette's
// colour model.
void SetKnotFromColor(CurveKnot* knot, int component, const Palette& palette);

// ----- The loaded palettes (PaletteList.cpp)
// The palette of exactly that name in g_Palettes, else DefaultPalette.
Palette* FindPalette(const char* name);
// Takes p out of g_Palettes and deletes it (a palette that is not in the
// list is left alone). With confirm and the option
// CNF_DelPal on, asks first (Yes/No/Cancel); No or Cancel keep it. True
// when it was deleted.
bool DeletePalette(Palette* p, bool confirm);
