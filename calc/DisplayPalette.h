#pragma once
#include <windows.h>

// The display globals shared by every fractal window.

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
