// Moving the per-pixel buffers of a fractal task in place when the view
// moves by whole pixels, so that only the uncovered strips must be
// calculated again. Fractal::ShiftBuffers is declared in document/Fractal.h.
#pragma once

// Moves a width x height buffer of elementSize-byte cells by dx columns and
// dy rows (rows as stored) with one block move, then clears the uncovered
// columns and rows (ClearBufferRect). A shift by the whole width or height
// or more clears everything.
void ShiftBuffer2D(void* data, int width, int height, int dx, int dy, int elementSize, int fill);

// Clears columns x0 .. x1 - 1 of rows y0 .. y1 - 1 of a buffer with rows of
// width cells: 1-byte cells become fill, 3- and 4-byte cells zero; other
// cell sizes are left alone.
void ClearBufferRect(void* data, int x0, int x1, int y0, int y1, int width, int elementSize, int fill);
