// A trace of the drawing calculators' steps for the command-line tools:
// when set, the L-system turtle reports each drawn segment and the
// dynamic-system integrator each step, in call order. Null in the program.
#pragma once

// values: the step's numbers (segment x0 y0 x1 y1 colour; step u v depth colour).
extern void (*g_DrawTrace)(const double* values, int count);
