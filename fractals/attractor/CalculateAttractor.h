// The calculator of the attractor fractal: compiles the colouring and every
// used transformation, assembles the attractor program, binds one variable
// block per worker, accumulates the points the workers produce into the
// task's planes and composes the image from them, now and then and at the end.
#pragma once

class Fractal;

// Process-wide settings the tools and tests inject: a positive worker count
// replaces processors + 1 (at most 32); a non-zero seed replaces every
// GetTickCount seed of the workers.
extern int g_AttractorWorkers;
extern unsigned g_AttractorSeed;

// 0 finished; 1 the colouring or a transformation cannot be used or does
// not compile (the reason is stamped into the image); 2 not enough memory;
// 3 stopped by a command.
int CalculateAttractor(Fractal* fractal);
// CalculateAttractor under the exception guard: after an exception the
// pixel workers are stopped and joined, the failure is reported and 2 is
// returned (a stop request gives 3 and no report).
int CalculateAttractorGuarded(Fractal* fractal);
// The calculator entry of the calculation thread's dispatch.
int CalculateAttractorArea(Fractal* fractal, int x0, int y0, int x1, int y1);

// Clears the planes of a fresh accumulation and renders from nothing.
void PrepareAttractorBuffers(Fractal* fractal);
// Accumulates until Maxiter x 1,000,000 points or a command; with redraw
// it first composes what the planes hold (and stops there when the last
// calculation finished).
void RenderAttractor(Fractal* fractal, bool redraw);
// Recolours from the stored planes, or calculates when there are none.
void RedrawAttractor(Fractal* fractal);
