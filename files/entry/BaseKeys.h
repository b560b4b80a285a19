// The base keys of a parameter entry: the header, view and window items
// written before the type's own items, and the one reader that takes them
// back together with the keys of the program's older entries and of
// Fractint's parameter files (those map onto the escape-time block and the
// named parameters of its formula slots).
#pragma once

class Fractal;
class Palette;
class TextWriter;
struct ParameterDescriptor;

// Bit of the entry mask that admits the window and geometry keys.
enum { ENTRY_MASK_BASE_KEYS = 0x4, ENTRY_MASK_WINDOW_KEYS = 0x1000 };

// Type= and Subtype=, then (with mask bit 0x4) the header and view keys
// whose values differ from defaultFractal's, then DisplayDepth=.
void WriteBaseKeys(TextWriter& writer, Fractal* defaultFractal, Fractal* fractal, int mask);

// Reads one base item. oldType is the type number of an entry in the old
// keyword form, -1 for a Fractint entry, else the fractal's own type (14
// for the fractal: part of the layered form); table is the type's
// descriptor table (may be null). Returns 1 when the item was consumed
// (also when its value was ignored), 0 when the caller is to offer it to
// the descriptor readers. Keys are compared without case; value may be cut
// up in place.
int ReadOldKeys(Fractal* fractal, const ParameterDescriptor* table, const char* key, char* value, int oldType,
                bool fractint, int mask);

// Fills the colour table and the knots of palette from Fractint's packed
// colour string (three 6-bit digits per colour, "<n>" for n interpolated
// colours). Always 0.
int DecodeFractintColors(const char* text, Palette* palette);

// Rewrites the extension of an imported formula file name in place:
// ".frm" and ".ufm" become ".sfm", ".uxf" ".str", ".ucl" ".scl".
void MapImportedExtension(char* fileName);
