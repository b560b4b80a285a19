// The calculation of layered fractals: the layers calculate on their own
// tasks and report finished rows; the layered fractal composes its image
// from their current rows, first as a whole (DrawLayeredFractal) and then,
// after every recolour, only the rows its layers marked dirty.
#pragma once

class Fractal;
struct LayeredParameters;

// The Calculator of FT_LAYERED: composes rows y0..y1 over columns 0..x1
// from the middle outwards (x0 only bounds the redrawn area). Without a
// visible layer that has a task the image is the checkerboard. In a render
// job it waits until every layer has stored its raw rows, then composes
// rows 0..y1 from those files into the job's ".bits" file. 0 done, 2 the
// job's file cannot be written, 3 a command stopped it.
int DrawLayeredFractal(Fractal* layered, int x0, int y0, int x1, int y1);

// Re-merges the rows marked dirty (each is cleared first). Nothing when a
// visible layer has no task; black when there is no visible layer.
void CompositeLayeredFractal(Fractal* layered);

// CompositeLayeredFractal under a guard for software exceptions: the stop
// request is silent, others are reported with the fractal's type and name.
void RethinkLayeredFractal(Fractal* layered);

// True when every layer (visible or not) has a task past CS_NONE, or at
// CS_3D_DONE when the layer shows its 3D view.
bool AllLayersCalculated(const LayeredParameters* params);

// Told by a layer's calculator that rows r0..r1 and r2..r3 of its image are
// finished: marks the parent's rows (shifted by the layer's bottom offset,
// clipped) dirty and posts one UM_LAYER_LINES_DONE at a time.
void NotifyLayeredParent(Fractal* fractal, int r0, int r1, int r2, int r3);

// Whether row of the layered fractal is marked dirty; with clear, the mark
// is taken away.
bool LayeredRowDirty(Fractal* layered, int row, bool clear);
