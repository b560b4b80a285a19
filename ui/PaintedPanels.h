// Windows the toolkit paints itself: the plain painted window PNop (sunken
// frames, the etched edges of a titled group frame, the blend preview) and
// the tip panel PTip (a white card with the logo, a word-wrapped text and a
// help link), and a dotted line whose pattern runs on across calls.
#pragma once

#include <windows.h>

#include "foundation/Buffers.h"
#include "ui/Control.h"

class PGroupFrame;

// Modes of a PNop.
enum { NOP_PLAIN = 0, NOP_STRIP = 1, NOP_BLEND = 2, NOP_GROUP_EDGE = 3 };

// Control ids of the four edges of a group frame.
enum {
    NOP_EDGE_LEFT = 32770,
    NOP_EDGE_TOP = 32771,
    NOP_EDGE_RIGHT = 32772,
    NOP_EDGE_BOTTOM = 32773,
};

// Edge flags of a group frame (which edges it has).
enum { GROUP_EDGE_TOP = 1, GROUP_EDGE_LEFT = 2, GROUP_EDGE_RIGHT = 4, GROUP_EDGE_BOTTOM = 8 };

// The two pictures of the blend preview and their size.
enum { BLEND_IMAGE_A = 28023, BLEND_IMAGE_B = 28024, BLEND_WIDTH = 100, BLEND_HEIGHT = 50 };
enum { LOGO_BITMAP = 28082, LINK_BITMAP = 28083 };

class PNop : public PControl {
public:
    PNop(PFrameWindow* owner, HWND parent, const char* text, int id, int bitmapId, int mode, int x,
         int y, int w, int h);
    virtual ~PNop();

    // Blends the second picture over the first by a (0..255) and repaints;
    // only the blend preview does anything.
    void SetBlend(int a);
    // The inner rectangle inside the 3-pixel margins, for a w x h window.
    void ComputeInner(int w, int h);

    int mode;
    int bitmapId;
    int marginX, marginY;
    int innerRight, innerBottom, innerWidth, innerHeight;
    unsigned char* imageA;   // the blend preview's pictures and output,
    unsigned char* output;   // BLEND_WIDTH x BLEND_HEIGHT packed RGB
    unsigned char* imageB;
    BITMAPINFOHEADER dibHeader;
    int blend;
    // The edge flags of the group frame that owns a mode-3 nop.
    int groupEdges;
};

class PTip : public PControl {
public:
    PTip(PFrameWindow* owner, HWND parent, int id, int x, int y, int w, int h);
    virtual ~PTip();

    // Copies the text and the help page (null: none; a longer page is cut
    // to the field) and repaints.
    void SetText(const char* text, const char* page, int value);
    // Whether a click at (x, y) is on the help link.
    bool IsOnLink(int x, int y) const;

    GrowBuffer text;
    char helpPage[196];
    int value;
    HPEN solidPen;   // RGB(90, 90, 90)
    HPEN dottedPen;  // RGB(140, 140, 140)
};

void PaintNop(HDC dc, PNop* nop, const RECT* updateRect);
void PaintTip(HDC dc, PTip* tip);

// The pattern state of a dotted line, kept by the caller between calls.
struct DottedLineStyle {
    DWORD patternOn;  // non-zero: pixels alternate by the phase
    double phase;     // running dot phase
    double step;      // phase per unit of squared step length
    COLORREF colour;  // colour of the "on" pixels
};

// Draws from (x0, y0) towards (x1, y1), the end point excluded.
void DrawDottedLine(HDC dc, int x0, int y0, int x1, int y1, DottedLineStyle* style);

// The colour of one output pixel of the blend: the first picture where the
// second is black, else first + (second - first) * a / 255 per channel.
void BlendPixel(const unsigned char* first, const unsigned char* second, int a,
                unsigned char* out);

LRESULT CALLBACK NopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Loads a bitmap resource of the program as packed 24-bit pixels of the
// given size (top row first) into buffer; false when it cannot be read.
bool LoadBitmapRgb(int resourceId, int width, int height, unsigned char* buffer);
