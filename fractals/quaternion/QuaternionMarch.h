// What a quaternion worker does: march every pixel of its tile (guessing
// background from the neighbour row, starting rays near the surface that
// row found) and march one ray through the 4D slice until the compiled
// iteration says it is inside. Also the driver's side of a tile hand-over
// and the choice of the next tile whose neighbour row is finished.
#pragma once
#include <stdint.h>
#include "fractals/quaternion/QuaternionRun.h"

class Fractal;
class Thread;
struct WorkerSlot;
struct QuaternionParameters;

// The worker thread's routine; its user data is the WorkerSlot, whose
// second calculator area holds the run (AttachQuaternionRun). Works
// through the task's worker loop (RunWorkerLoop): state 1 marches the
// assigned tile, 2 ends the thread.
DWORD QuaternionWorker(Thread* thread);
// One tile on the calling thread (what the worker loop runs): marches the
// slot's tile under the exception guard; a stop redirected into compiled
// code abandons the tile and sets the worker's stopped flag. A worker
// without a tile does nothing.
void MarchAssignedTile(WorkerSlot* slot);

// Marches every pixel of the worker's tile into its row segments.
void MarchTileRows(QuaternionRun* run, QuaternionWorkerState* worker);

// The ray of pixel (x, row): the depth as a fraction of the way from the
// observer to the pixel's view-plane point, or -1.0 when nothing is met on
// the way. MarchRayA (insideOut 0) stops where an orbit stays bounded,
// MarchRayB (insideOut non-zero) where it escapes. ray->startStep is raised
// to the near plane. Runs compiled code: the caller has the x87 set up or
// not, the state is saved and restored here. hasTransforms: run the
// transformation routine before each iteration.
float MarchRay(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
               volatile int32_t* inCompiledCode = nullptr);
float MarchRayA(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
                volatile int32_t* inCompiledCode = nullptr);
float MarchRayB(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
                volatile int32_t* inCompiledCode = nullptr);

// Hands tile t to worker k: 0 done; 1 the tile's row lies outside the
// rows calculated (the terminator among them: nothing done, the tile stays
// free); -1 a command other than FTC_REDRAW3D arrived while waiting for the
// row lock (nothing done).
int CopyTileToWorker(QuaternionRun* run, int t, int k);

// The first tile at or after start that is free and whose overlapping
// neighbour-row tiles are all finished; -1 when none is.
int FindFreeTile(const TileSchedule* schedule, int start);

// Sends every worker that runs compiled code out of it (the stop request
// is raised in the worker, which abandons its tile). The calculation
// thread calls it when a command ends the run, so that a ray at a huge
// MaxIter does not hold the stop up.
void InterruptQuaternionWorkers(QuaternionRun* run);
