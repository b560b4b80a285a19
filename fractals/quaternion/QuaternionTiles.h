// The driver's side of a quaternion calculation between starting the
// workers and stopping them: the image cut into tiles from the middle row
// outwards, finished tiles copied back into the task, every completed row
// coloured and shaded as a preview and shown, and afterwards the opacity
// cells at surface edges cleared. All of it runs on the calculation thread.
#pragma once
#include "fractals/quaternion/QuaternionRun.h"

// Tiles in the start row (every other row gets (workers + 1) / 2).
enum { START_ROW_TILES = 16 };

// Columns per tile outside the start row and the per-worker segment
// length: P = (workers + 1) / 2, T = (W + P) / P for W columns.
void TileLayout(int workers, int columns, int* tilesPerRow, int* segmentLength);

// Cuts columns run->left..right and rows top..bottom into tiles (the start
// row height / 2 first, then start + 1, start - 1, start + 2, ...), carves
// the per-worker segments from the task's rowWorkBuffer and allocates the
// tile array and the three row buffers (zeroed); both display bands start
// empty. False when memory cannot be had (nothing is left allocated).
bool BuildTileSchedule(QuaternionRun* run);
// Frees what BuildTileSchedule allocated (the rowWorkBuffer stays the task's).
void FreeTileSchedule(QuaternionRun* run);

// What the main loop asks of the driver.
struct QuaternionLoopHooks {
    void* context = nullptr;
    // Writes the workers' parameter values back (every 1,500 ms); may be null.
    void (*writeback)(void* context) = nullptr;
};

// The main loop: hands finished workers new tiles, copies tiles back
// (unless the view moved meanwhile), colours complete rows, writes
// parameters back and shows the new rows every DrawingSpeed ms, until every
// tile is done. Every wait is 1 ms and reads the command word (a pending
// FTC_REDRAW3D is cleared); any other command aborts the run, sends the
// workers out of compiled code and answers false. Workers 0..count-1 must
// have been handed their first tiles.
bool RunTileLoop(QuaternionRun* run, const QuaternionLoopHooks& hooks);

// Copies worker k's finished segments into the task's buffers under
// rowLock; dropped (but the tile still counts as done) while rowsMoved is
// set. False when a command arrived while waiting for the lock.
bool CopyTileBack(QuaternionRun* run, int k);

// Colours buffer row row (palette colours into imageBits) and shades its
// pair into image3D: direction 0 pairs (row, row + 1), 1 pairs (row - 1,
// row). Without shadows and ambient occlusion (the preview's shading).
void ColourPreviewRow(QuaternionRun* run, int row, int direction);

// After the workers stopped: clears the oldz cell of every pixel at an
// edge of the surface (itself, its left or its paired neighbour without
// surface). Nothing when oldz is not allocated.
void ClearOpacityEdges(QuaternionRun* run);
