// The image-filter road of escape-time fractals: every pixel of a 24-bit
// image is folded through the header's image filter from a K x K window of
// samples on a grid FilterStep times finer than the pixels; samples shared
// by neighbouring windows are calculated and coloured once.
#pragma once

#include "calc/escapetime/EscapeTime.h"

class ImageFilter;

// The road (an EscapeTimeRoad): one pass over buffer rows y0..y1 from the
// bottom up, columns x0..x1. 0 every pixel is done, 3 a command stopped it.
// Samples are calculated under the row calculation's guard.
int CalculateImageFilterRoad(Fractal* fractal, LineContext* context, int x0, int y0, int x1, int y1);

// Binds the road to g_ImageFilterRoad (the program and the tools call it
// at start).
void InstallImageFilterRoad();

// The pixel's new opacity half from the high half v of its centre sample's
// cell, looked up (interpolated) in a 400-entry alpha table of bytes.
uint32_t FilteredOpacityHalf(const uint8_t* alphaTable, uint32_t v);

// One channel of a window folded through the kernel: sum / divisor + bias
// (a divisor of 0 counts as 1), clamped to 0..255 and truncated.
int FoldFilteredChannel(const ImageFilter* filter, const double* samples);
