#include "calc/DisplayPalette.h"

HPALETTE DisplayPalette = NULL;
RGBQUAD DisplayColorTable[256];
int DisplayShowsFractalColors = 0;
RGBQUAD FixedDisplayColors[256];
