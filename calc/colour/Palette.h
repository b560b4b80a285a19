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

    int32_t smooth;         // 0 straight lines, 1 cubic (the channel splines' kind)
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

// The palette of exactly that name in g_Palettes, else DefaultPalette.
Palette* FindPalette(const char* name);
