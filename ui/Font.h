// A GDI font with the metrics the layouts measure with: character height,
// average and widest character width and the width of every character.
// MeasureText and ShortenText measure texts with those widths.
#pragma once

#include <windows.h>

#include "ui/Object.h"

class PFont : public PObject {
public:
    // Metrics of the font the main frame's device context has selected; no
    // face and no font handle of its own.
    PFont();
    // Deletes the font and zeroes the metrics.
    virtual ~PFont();

    // Creates the font (points at the screen's LOGPIXELSY) and measures it.
    void Create(const char* face, int points, int bold, int italic);
    // Lets the user pick a new font; false (nothing changed) on Cancel.
    bool Choose();

    char faceName[200];
    int bold;
    int italic;
    int pointSize;
    HFONT hFont;
    float charHeight;
    float averageCharWidth;  // tmAveCharWidth + 1
    float maxCharWidth;
    float charWidths[256];

private:
    void Measure(HDC dc);
};

// Font kinds of the text operations: 1 the GUI font, 2 the bold GUI font,
// any other value the small font.
PFont* FontOfKind(int fontKind);

// Pixel width of a text; '&' and '_' take no room.
int MeasureText(const char* text, int fontKind);

// Shortens text in place to fit maxWidth, ending it with "..." when it had
// to be cut (the buffer needs three bytes more than the text), and returns
// its width.
float ShortenText(char* text, int fontKind, int maxWidth);
float ShortenTextWith(const PFont* font, char* text, int maxWidth);
int MeasureTextWith(const PFont* font, const char* text);

// Makes the toolkit's four fonts: the small font (one point smaller), the
// GUI font of the given face and size, "MS Sans Serif" 9 pt and the bold GUI
// font. They live until the program ends.
void CreateToolkitFonts(const char* guiFace, int guiPoints);
