// The plasma calculator: a random height field in the task's values (one
// float per pixel, 0.0 = not set yet), either by midpoint displacement from
// the four corners or by fractional Brownian motion computed with the
// built-in colouring formula "zor-fBm" in passes of decreasing step.
#pragma once
#include <windows.h>

class Fractal;
class FractalTask;
struct PlasmaParameters;

// The next near-Gaussian value (mean 0, variance 1) of the task's
// generator: four steps of s -> (s * 3677 + 3680) mod 2^31, less one.
float PlasmaRandom(FractalTask* task);

// Fills the rectangle (x0, y0)-(x1, y1) of buffer cells (inclusive, buffer
// rows from the bottom) by recursive subdivision; 0, or 3 when stopped.
int SubdividePlasma(HDC dc, int x0, int y0, int x1, int y1, float* values, Fractal* fractal,
                    const PlasmaParameters* block, int depth);

// 0 finished, 3 stopped; Method 1 passes on CalculateFbmPlasma's codes.
int CalculatePlasma(Fractal* fractal);
// 0 finished, 1 the data block could not be filled, 2 the formula did not
// compile, 3 stopped.
int CalculateFbmPlasma(Fractal* fractal);
// The calculator-table form of CalculatePlasma (the area is not used).
int CalculatePlasmaArea(Fractal* fractal, int x0, int y0, int x1, int y1);

// The source of the built-in colouring formula "zor-fBm".
extern const char* const g_FbmFormulaSource;
