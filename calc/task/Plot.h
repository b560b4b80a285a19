// The plotting primitives of the fractal types that draw rather than
// calculate per pixel (dynamic systems, IFS, L-systems, the 3D primitives
// with depth shading), keeping the image, the 8-bit shadow, the float cells
// and the window in step; the small window operations around the image
// (invalidation, selection box, black fill) and the text stamp that stands
// in for an image that cannot be calculated.
#pragma once
#include <windows.h>

class Fractal;

// The window side of plotting, bound by the application; each entry is
// skipped while null (tools and tests without windows).
struct PlotWindowHooks {
    // Invalidates a client rectangle of the fractal's window without
    // erasing; a null rectangle means the whole window.
    void (*invalidate)(Fractal* fractal, const RECT* rect);
    // The window's scroll positions in fixed-size (scroll-bar) mode.
    void (*scrollPosition)(Fractal* fractal, int* x, int* y);
};
extern PlotWindowHooks g_PlotWindow;

// Brightness of a 3D point at a depth: 1 from depth 35 on, falling
// linearly to 0 at depth -55 and below.
double DepthBrightness(double depth);
// The red, green, blue of a fractional palette colour: entry c for 8-bit
// images, c >= 252 or whole c, else entry trunc(c) blended towards the
// next entry (251 blends into 0) by the fraction, truncated.
void FractionalColour(Fractal* fractal, double colour, int rgb[3]);

void MoveTo(Fractal* fractal, HDC hdc, int x, int y);
void SelectPaletteColor(Fractal* fractal, HDC hdc, int index);
void DrawLine(Fractal* fractal, HDC hdc, int x, int y, int index);
void DrawLine3D(Fractal* fractal, HDC hdc, int x, int y, double colour, double depth);
void SetImagePixel(Fractal* fractal, HDC hdc, int x, int y, int index);
void SetPixel3D(Fractal* fractal, HDC hdc, int x, int y, double colour, double depth);
void PaintRectInColor(Fractal* fractal, HDC hdc, int x0, int y0, int x1, int y1);
void InvalidateImageRect(Fractal* fractal, int x0, int y0, int x1, int y1, int clip);
// Copies blockRows rows of blockWidth 24-bit pixels to (x, y) of an image
// of imageWidth x imageHeight pixels, clipped to the image on every side.
void CopyImageBlock(unsigned char* image, int x, int y, int imageWidth, int imageHeight,
                    const unsigned char* block, int blockWidth, int blockRows);
// Clears a 24-bit image to black and writes text into its four corners and
// its centre (10 pixels from the edges).
void StampTextIntoImage(Fractal* fractal, unsigned char* image, const char* text, int imageWidth,
                        int imageHeight);
