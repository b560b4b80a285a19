// The dynamic-system calculator: one trajectory of a three-dimensional
// system (the Lorenz variants and Roessler) integrated with an Euler step
// that adapts to the point's speed, rotated, projected and drawn.
#pragma once

class Fractal;

enum DynamicSystemSubtype { DS_LORENZ = 0, DS_LORENZ1 = 1, DS_LORENZ3 = 2, DS_LORENZ4 = 3, DS_ROESSLER = 4 };

// The derivatives of the subtype at (x, y, z) with the constants a, b, c;
// false for a subtype outside 0..4 (the outputs are left alone).
bool DynamicSystemDerivatives(int subtype, double a, double b, double c, const double point[3],
                              double derivative[3]);

// 0 finished, 3 stopped by a command.
int CalculateDynamicSystem(Fractal* fractal);
// The calculator-table form (the area is not used).
int CalculateDynamicSystemArea(Fractal* fractal, int x0, int y0, int x1, int y1);
