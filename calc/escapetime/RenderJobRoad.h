// The render-job road of the escape-time calculation: the samples of a 2D
// render job are calculated sub-row by sub-row into the job's image store
// (through the row calculation and the colour mapping) and its rows go to
// the job's raw files, with a checkpoint when a command stops it.
#pragma once

class Fractal;
struct LineContext;

// The road itself (what g_RenderJobRoad points at): 0 done, 2 the store or
// the raw files could not be made (no image follows), 3 stopped.
int CalculateRenderJobRoad(Fractal* fractal, LineContext* context, int x0, int y0, int x1, int y1);

// Binds g_RenderJobRoad, g_JobSampleSource and the anti-aliasing query the
// view mapping and the predefined variables use.
void InstallRenderJobRoad();

// Called on the calculation thread before every block row (null: nothing),
// before the road looks for a command; the test tools hold a job there to
// stop it at a chosen row.
extern void (*g_RenderJobRowGate)(Fractal* fractal);
