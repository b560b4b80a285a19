// The L-system calculator: expands the axiom of the fractal's formula to
// MaxIter levels and lets the turtle draw every character of the last
// level as it is reached, without building the expanded string.
#pragma once

class Fractal;
struct LSystemDrawContext;

// 0 finished, 1 the formula is not in g_LSystemFormulas, 3 stopped.
int CalculateLSystem(Fractal* fractal);
// The calculator-table form of CalculateLSystem (the area is not used).
int CalculateLSystemArea(Fractal* fractal, int x0, int y0, int x1, int y1);
// Expands string from depth to the context's maximum depth; 0 or 3.
// Works with its own stack of levels, so any depth the memory holds runs.
int ExpandLSystem(LSystemDrawContext* context, const char* string, int depth);
