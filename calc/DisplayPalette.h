// The display palette of 8-bit screens and the dithering that shows 24-bit
// images on them: the fixed 236-colour set (the colour cube of
// calc/colour's ColorCubePalette) with its 4,096-entry nearest-colour
// lookup, Floyd-Steinberg error diffusion over a whole image, one row (two
// independent row streams) or one column, and the display palette shared by
// every fractal window. The colour choice is one table lookup per pixel.
#pragma once
#include <windows.h>
#include <stdint.h>

class Fractal;

// The logical palette selected into fractal windows before their images are
// drawn; null until one has been made.
extern HPALETTE DisplayPalette;
// The colours of the display palette.
extern RGBQUAD DisplayColorTable[256];
// 1 while the display palette holds a fractal's colours, 0 while it holds
// the fixed table of 8-bit displays.
extern int DisplayShowsFractalColors;
// The fixed colour table of 8-bit displays.
extern RGBQUAD FixedDisplayColors[256];

enum {
    DITHER_COLOURS = 236,        // entries 0..235 of the colour cube are chosen from
    DITHER_LOOKUP_SIZE = 4096
};

// The 12-bit nearest-colour lookup: entry 256 * R4 + 16 * G4 + B4 (the top
// four bits of red, green, blue) is the index among 0..235 of the colour
// nearest (squared RGB distance) to (16 R4, 16 G4, 16 B4); the lowest
// index wins ties. Built on first use, then never changed.
const uint8_t* DitherLookup();
// The lookup's index for a 24-bit colour (its top four bits per channel).
int DitherIndexOf(int red, int green, int blue);

// Error diffusion of a whole 24-bit image (blue, green, red; 3 * stride
// bytes a row, bottom-up) into 8-bit colour-cube indices (stride bytes a
// row), first stored row first. The errors carried into the first row are
// those the task's third set of dithering rows holds (callers zero the
// rows before a fresh recolouring). Stops after a row when the task's
// command word holds a command other than FTC_REDRAW3D.
void DitherImage(Fractal* fractal, const unsigned char* rgbImage, unsigned char* indexImage);
// DitherImage of the task's imageBits into its shadowBits.
void DitherFractalImage(Fractal* fractal);
// One image row on one of two independent row streams (0 or 1), which
// keep their own errors for their next row; null rgbRow / indexRow mean
// the row of imageBits / shadowBits. Rows outside the image are ignored.
void DitherImageRow(Fractal* fractal, int stream, int row, const unsigned char* rgbRow,
                    unsigned char* indexRow);
// One column of the task's image3D into image3D8, bottom to top, on one of
// the two streams. Columns outside the image are ignored.
void DitherImageColumn(Fractal* fractal, int stream, int column);

// Fills a logical palette of the first count quads (version 0x300); the
// entries below 233 are PC_RESERVED unless count is 256. The palette must
// have room for count entries.
void FillDisplayPaletteEntries(LOGPALETTE* palette, const RGBQUAD* colours, int count);
// Makes the display palette of the first count quads, selects and realises
// it in the main window's device context and keeps it (the former one is
// deleted) for every fractal window.
void SelectDisplayPalette(const RGBQUAD* colours, int count);

// Draws a fractal's image into its window with the display palette
// selected: with all the whole image, else only its bottom-left pixel,
// which makes the window take a new palette. Nothing without a window.
void DrawFractalWindow(Fractal* fractal, int ignored, int all);
// The window side of DrawFractalWindow, bound by the application (null:
// nothing is drawn). all as above; palette is the display palette or null.
extern void (*g_DrawFractalWindowImage)(Fractal* fractal, int all, HPALETTE palette);
