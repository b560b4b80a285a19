// Colouring of the fractal types other than escape-time: rows and
// rectangles coloured by the view's colour mode (plasma, dynamic system,
// L-system, IFS), quaternion rows and attractor samples by their colouring
// settings, and the gradient helpers the 3D views share.
#pragma once

#include <windows.h>
#include <stdint.h>

class Fractal;
struct ViewParameters;

// The colour modes of ViewParameters::ColormodeType.
enum ColourMode { COLOURMODE_LINEAR = 0, COLOURMODE_LOG = 1, COLOURMODE_ARCTAN = 2, COLOURMODE_SINUS = 3 };
// "Linear", "Log", "Arctan", "Sinus", null-ended.
extern const char* const g_ColourModeNames[];

// speed = ColormodeSpeed; with a = 0.6 x ColormodeAccel the scale is
// 2000 / e^(a/3 + 3) for Log, 3000 / e^(a - 1) for Arctan, else a.
void GetTransferScale(const ViewParameters* params, double* speed, double* scale);

// The gradient position (0 <= p < 252) of a value under the view's colour
// mode; a value that is not finite gives 0.
double ColourModePosition(const ViewParameters* params, double value);

// Colours count columns from first of buffer row row: escape-time rows
// through the escape-time mapping, quaternion rows through their colouring,
// every other type by its colour mode, each result filling a block of
// blockSize x blockSize pixels cut at the image's edges.
void ColorizeLine(Fractal* fractal, int firstColumn, int row, int count, int is24, int blockSize);
// Colours a rectangle by the colour mode, cut at the image's edges.
void ColorizeRect(Fractal* fractal, int x, int y, int width, int height, int is24);
// Colours one quaternion row from its values and flags (24 bits, no alpha).
void ColorizeQuaternionLine(Fractal* fractal, int firstColumn, int row, int count);
// The colour (red, green, blue) of one attractor sample.
void MapAttractorColor(Fractal* fractal, float value, uint8_t flags, int rgb[3]);
// The gradient colour at any position: wrapped into 0..252, entry 251
// blending into entry 0, channels rounded. A position that is not finite
// gives entry 0.
void InterpolatePaletteColor(const RGBQUAD* table, int rgb[3], double position);
// a + (b - a) x t per channel, rounded; t above 1 counts as 1.
void BlendRgb(const int a[3], const int b[3], int out[3], double t);
