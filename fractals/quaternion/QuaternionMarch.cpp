// The work of a quaternion worker thread: its tile's pixels, each either
// guessed as background from ten surrounding misses or marched as one ray
// through the 4D slice, and the driver's hand-over of tiles. A worker writes
// only its own segments and its tile's part of the current-row buffer; the
// task's buffers are touched only by the driver, under rowLock.
#include "fractals/quaternion/QuaternionMarch.h"

#include <windows.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <initializer_list>

#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "compiler/CompileHost.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"
#include "foundation/Thread.h"
#include "foundation/Util.h"
#include "fractals/quaternion/QuaternionCode.h"

namespace {

const float kNoHit = -1.0f;

uint32_t FloatBits(float f)
{
    uint32_t bits;
    memcpy(&bits, &f, 4);
    return bits;
}

double Dot3(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// A world vector mapped into the slice: v.x basis[1] + v.y basis[2] + v.z basis[3].
void MapVector(const QuaternionRay* ray, const double v[3], double out[4])
{
    for (int c = 0; c < 4; ++c)
        out[c] = v[0] * ray->basis[1][c] + v[1] * ray->basis[2][c] + v[2] * ray->basis[3][c];
}

double Distance2(const double a[4], const double b[4])
{
    double s = 0;
    for (int c = 0; c < 4; ++c)
        s += (a[c] - b[c]) * (a[c] - b[c]);
    return s;
}

void SetPixel(uint8_t* base, const double q[4])
{
    memcpy(base + QD_PIXEL, q, 4 * sizeof(double));
}

// The two data blocks of a ray and what moves between them.
struct RayBlocks {
    QuaternionRay* ray;
    int hasTransforms;
    int32_t maxIter;

    // The transformation chain on q, its pixel and alpha then handed to the
    // formula block; without transformations the formula block gets q.
    void Place(const double q[4], int hit)
    {
        uint8_t* f = ray->formulaData;
        if (!hasTransforms) {
            SetPixel(f, q);
            return;
        }
        uint8_t* t = ray->transformData;
        SetPixel(t, q);
        SetRuntimeInt(t, QD_SOLID, 0);
        SetRuntimeExtended(t, QD_ALPHA, 1.0L);
        if (hit)
            SetRuntimeInt(t, QD_HAS_BEEN_HIT, 1);
        CallQuaternionCode(ray->transformCode, t, 0);
        ray->transformSolid = (float)GetRuntimeInt(t, QD_SOLID);
        memcpy(f + QD_PIXEL, t + QD_PIXEL, 4 * sizeof(double));
        memcpy(f + QD_ALPHA, t + QD_ALPHA, 16);
    }
    void NextIndex()
    {
        uint8_t* f = ray->formulaData;
        SetRuntimeInt(f, QD_CURRENT_RAY_INDEX, GetRuntimeInt(f, QD_CURRENT_RAY_INDEX) + 1);
        if (hasTransforms) {
            uint8_t* t = ray->transformData;
            SetRuntimeInt(t, QD_CURRENT_RAY_INDEX, GetRuntimeInt(t, QD_CURRENT_RAY_INDEX) + 1);
        }
    }
    // The iteration on the placed pixel; answers what is left of the budget.
    int32_t Iterate()
    {
        SetRuntimeInt(ray->formulaData, QD_SOLID, 0);
        return CallQuaternionCode(ray->iterateCode, ray->formulaData, maxIter);
    }
    long double Estimate() const { return GetRuntimeExtended(ray->formulaData, QD_ESTIMATED_DISTANCE); }
};

// Whether the march goes on past a point: the orbit escaped (A) or stayed
// bounded (B), and the distance estimate still asks for a step.
bool EmptyPoint(bool inside, int32_t left, long double estimate)
{
    bool escaped = left > 0;
    return (inside ? !escaped : escaped) && estimate > 0;
}

void ResetRayVariables(uint8_t* base, int x, int row, double randomRe, double randomIm)
{
    SetRuntimeExtended(base, QD_RANDOM, randomRe);
    SetRuntimeExtended(base, QD_RANDOM + 16, randomIm);
    float pixel[2] = {(float)x, (float)row};
    memcpy(base + QD_SCREENPIXEL, pixel, sizeof pixel);
    SetRuntimeInt(base, QD_HAS_BEEN_HIT, 0);
    SetRuntimeInt(base, QD_CURRENT_RAY_INDEX, 0);
}

// Where a ray runs in 4D: its first point q, the observer O, the unit
// direction U, the default step h (one S-th of the way to the view plane)
// and the squared distance from the observer to the view plane.
struct RayPath {
    double q[4], O[4], U[4];
    double h, dist2;
};

// Raises the ray's start to the near plane and maps the ray into the
// slice. False for a degenerate camera (the pixel's point on the observer,
// sizes that are not numbers): it has no ray to march.
bool PlanRay(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, RayPath* path)
{
    const double S = ray->width * block->HighresMult;
    double toPixel[3], P[3];
    for (int c = 0; c < 3; ++c) {
        toPixel[c] = row * ray->stepY[c] + x * ray->stepX[c] + ray->corner[c] - ray->observer[c];
        P[c] = toPixel[c] / S;
    }
    const double L = sqrt(Dot3(P, P));
    const double u[3] = {P[0] / L, P[1] / L, P[2] / L};
    const double nearPlane = block->frontClippingPlane + (block->relativeToViewpoint ? ray->viewDistance : 0.0);
    double nearSteps = nearPlane / Dot3(u, ray->viewDir) / L;
    if (nearSteps > 2.0e9)
        nearSteps = 2.0e9;
    if ((double)ray->startStep < nearSteps)
        ray->startStep = (int32_t)nearSteps;

    // The slice: world point w -> basePoint + w.x basis[1] + w.y basis[2] + w.z basis[3].
    double start[3], mappedP[4], mappedToPixel[4];
    for (int c = 0; c < 3; ++c)
        start[c] = ray->observer[c] + ray->startStep * P[c];
    MapVector(ray, start, path->q);
    MapVector(ray, ray->observer, path->O);
    for (int c = 0; c < 4; ++c) {
        path->q[c] += ray->basePoint[c];
        path->O[c] += ray->basePoint[c];
    }
    MapVector(ray, toPixel, mappedToPixel);
    MapVector(ray, P, mappedP);
    const double zero[4] = {0, 0, 0, 0};
    path->dist2 = Distance2(mappedToPixel, zero);
    path->h = sqrt(Distance2(mappedP, zero));
    const double* q = path->q;
    if (!(path->h > 0) || !(path->dist2 > 0) || !isfinite(path->h) || !isfinite(path->dist2) ||
        !isfinite(q[0] + q[1] + q[2] + q[3]))
        return false;
    for (int c = 0; c < 4; ++c)
        path->U[c] = mappedP[c] / path->h;
    return true;
}

// Steps along the path (by the formula's distance estimate, h unless it
// sets one) until a point is not empty: true with q on it. A step past the
// view plane ends the ray: false, last one step further.
bool StepToSurface(RayBlocks& blocks, RayPath& path, bool insideOut, double delta[4], double last[4])
{
    uint8_t* f = blocks.ray->formulaData;
    double* q = path.q;
    SetPixel(f, q);
    SetRuntimeExtended(f, QD_ESTIMATED_DISTANCE, path.h);
    for (;;) {
        const long double e = blocks.Estimate();
        for (int c = 0; c < 4; ++c) {
            delta[c] = path.U[c] * (double)e;
            q[c] += delta[c];
        }
        SetPixel(f, q);
        // Beyond the view plane (or lost in numbers that are not finite).
        if (!(Distance2(q, path.O) < path.dist2)) {
            for (int c = 0; c < 4; ++c)
                last[c] = q[c] + delta[c];
            return false;
        }
        SetRuntimeExtended(f, QD_ESTIMATED_DISTANCE, path.h);
        blocks.Place(q, 0);
        if (!EmptyPoint(insideOut, blocks.Iterate(), blocks.Estimate()))
            return true;
        blocks.NextIndex();
    }
}

// Halves the step precision times, back from a point inside and forward
// from an empty one; last ends on the point inside nearest the observer side.
void Refine(RayBlocks& blocks, RayPath& path, bool insideOut, int precision, double delta[4], double last[4])
{
    double* q = path.q;
    for (int c = 0; c < 4; ++c) {
        delta[c] *= 0.5;
        last[c] = q[c];
        q[c] -= delta[c];
    }
    for (int k = 0; k < precision; ++k) {
        blocks.Place(q, 0);
        blocks.NextIndex();
        const int32_t left = blocks.Iterate();
        for (int c = 0; c < 4; ++c)
            delta[c] *= 0.5;
        const bool empty = EmptyPoint(insideOut, left, blocks.Estimate());
        for (int c = 0; c < 4; ++c) {
            if (!empty)
                last[c] = q[c];
            q[c] += empty ? delta[c] : -delta[c];
        }
    }
}

// Both members of the march; B (insideOut) stops where orbits escape, so
// the surface of the complement is shown.
float March(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
            volatile int32_t* inCompiledCode, bool insideOut)
{
    RayPath path;
    const bool planned = PlanRay(block, x, row, ray, &path);
    rand();
    rand();
    const double randomRe = rand() / 32767.0;
    const double randomIm = rand() / 32767.0;
    ResetRayVariables(ray->formulaData, x, row, randomRe, randomIm);
    if (hasTransforms)
        ResetRayVariables(ray->transformData, x, row, randomRe, randomIm);
    if (!planned) {
        ray->formulaSolid = 0;
        ray->colourIndex = 0;
        return kNoHit;
    }

    RayBlocks blocks{ray, hasTransforms, block->MaxIter > 0 ? block->MaxIter : 1};
    uint8_t* f = ray->formulaData;
    QuaternionX87Scope scope;
    if (inCompiledCode)
        *inCompiledCode = 1;
    EnterQuaternionX87(&scope);
    ClearQuaternionX87Flags();
    double delta[4] = {0, 0, 0, 0}, last[4];
    if (StepToSurface(blocks, path, insideOut, delta, last)) {
        Refine(blocks, path, insideOut, block->precision, delta, last);
        blocks.Place(last, 1);
        SetRuntimeInt(f, QD_HAS_BEEN_HIT, 1);
        ClearQuaternionX87Flags();
        CallQuaternionCode(ray->colourCode, f, blocks.maxIter);
    }
    ray->formulaSolid = (float)GetRuntimeInt(f, QD_SOLID);
    ray->colourIndex = (float)GetRuntimeExtended(f, QD_INDEX);
    memcpy(ray->pixelColour, f + QD_PIXELCOLOR, sizeof ray->pixelColour);
    const uint16_t status = LeaveQuaternionX87(&scope);
    if (inCompiledCode)
        *inCompiledCode = 0;
    if (status & 1)
        ray->invalidCount++;

    const double depth = sqrt(Distance2(last, path.O) / path.dist2);
    return depth <= 1.0 ? (float)depth : kNoHit;
}

// Whether the stop may be raised where a suspended worker stands: inside
// one of the run's three joined routines or the user functions linked
// behind them.
bool InRunCode(DWORD eip, void* user)
{
    const FractalTask* task = static_cast<const FractalTask*>(user);
    for (const GrowBuffer* code : {task->codeBuffer, task->codeBuffer2, task->codeBuffer3}) {
        if (!code || !code->GetData())
            continue;
        const uintptr_t start = (uintptr_t)code->GetData();
        if (eip >= start && eip < start + (uintptr_t)code->GetCapacity())
            return true;
    }
    return false;
}

}  // namespace

float MarchRayA(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
                volatile int32_t* inCompiledCode)
{
    return March(block, x, row, ray, hasTransforms, inCompiledCode, false);
}

float MarchRayB(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
                volatile int32_t* inCompiledCode)
{
    return March(block, x, row, ray, hasTransforms, inCompiledCode, true);
}

float MarchRay(const QuaternionParameters* block, int x, int row, QuaternionRay* ray, int hasTransforms,
               volatile int32_t* inCompiledCode)
{
    return block->insideOut ? MarchRayB(block, x, row, ray, hasTransforms, inCompiledCode)
                            : MarchRayA(block, x, row, ray, hasTransforms, inCompiledCode);
}

void MarchTileRows(QuaternionRun* run, QuaternionWorkerState* worker)
{
    const QuaternionParameters* block = run->block;
    const QuaternionTile* tile = worker->tile;
    QuaternionRay* ray = &worker->ray;
    ray->workerIndex = (int32_t)(worker - run->workers);
    const int x0 = tile->x0, x1 = tile->x0 + tile->length - 1;
    float* out = ray->outputRow;
    const float* neighbour = ray->neighbourRow;
    const int level = block->BackgroundDetect;
    const float backoff = (float)(block->Backtrace / 100.0);

    for (int x = x0; x <= x1; ++x) {
        const int i = x - x0;
        if (worker->colourRow[i] != 0)
            continue;
        worker->flagRow[i] = 0;

        // Background: the neighbour row and the three pixels before all missed.
        if (level >= 1 && level <= 3 && worker->guessAllowed && i >= 3 && x <= x1 - 3) {
            bool open = out[i - 1] == kNoHit && out[i - 2] == kNoHit && out[i - 3] == kNoHit;
            for (int k = -3; k <= 3 && open; ++k)
                open = neighbour[i + k] == kNoHit;
            if (open) {
                const bool before1 = (worker->flagRow[i - 1] & PF_ELIMINATED) != 0;
                const bool before2 = (worker->flagRow[i - 2] & PF_ELIMINATED) != 0;
                const bool guess = level == 3 || (level == 2 && !(before1 && before2)) || (level == 1 && !before1);
                if (guess) {
                    worker->flagRow[i] = PF_ELIMINATED;
                    out[i] = kNoHit;
                    worker->pixelsGuessed++;
                    continue;
                }
            }
        }

        // Start near the surface the neighbours found, backed off by Backtrace %.
        float estimate = 0.0f;
        if (worker->guessAllowed && i > 0 && x < x1) {
            const float around[4] = {neighbour[i], neighbour[i - 1], neighbour[i + 1], out[i - 1]};
            estimate = around[0];
            for (float d : around) {
                if (d == kNoHit) {
                    estimate = 0.0f;
                    break;
                }
                if (d < estimate)
                    estimate = d;
            }
        }
        float d = estimate - backoff;
        if (d < 0.0f)
            d = 0.0f;
        // A float product, rounded at each step as floats are stored.
        volatile float product = (float)ray->width * d;
        product = product * (float)block->HighresMult;
        ray->startStep = (int32_t)product;
        ray->stepCount = (int32_t)(ray->width * block->HighresMult);

        float depth = MarchRay(block, x, tile->row, ray, run->hasTransforms, &worker->inCompiledCode);
        worker->raysMarched++;
        if (worker->extraRow)
            worker->extraRow[i] = 0xFFFFFFFFu;

        // A ray that left through the view plane is a miss in every mode.
        const bool miss = depth < 0.0f || (block->calculationMode == 0 && depth >= (float)ray->stepCount);
        if (miss) {
            if (worker->extraRow)
                worker->extraRow[i] = 0;
            worker->colourRow[i] = FloatBits(kNoHit);
            worker->depthRow[i] = kNoHit;
            out[i] = kNoHit;
            continue;
        }
        if (depth == 0.0f)
            depth = 1e-15f;   // 0 means "not calculated"
        uint32_t colour;
        if (ray->formulaSolid != 0.0f) {
            colour = 0xFF000000u | RgbFromBytes(block->SolidColor);
        } else if (ray->directColour) {
            colour = PackColorRgba(ray->pixelColour[0], ray->pixelColour[1], ray->pixelColour[2],
                                   ray->pixelColour[3]);
        } else {
            colour = FloatBits(ray->colourIndex);
            worker->flagRow[i] = PF_CALCULATED;
        }
        worker->colourRow[i] = colour;
        worker->depthRow[i] = depth;
        const bool solid = ray->transformSolid != 0.0f || ray->formulaSolid != 0.0f || ray->directColour != 0;
        worker->flagRow[i] |= solid ? (PF_INSIDE | PF_SOLID) : PF_INSIDE;
        out[i] = depth;
    }
    // Guessed pixels: no surface.
    for (int i = 0; i < tile->length; ++i) {
        if (worker->depthRow[i] == 0.0f) {
            worker->depthRow[i] = kNoHit;
            worker->colourRow[i] = FloatBits(kNoHit);
        }
    }
}

void MarchAssignedTile(WorkerSlot* slot)
{
    if (slot->workerState != 1)
        return;
    QuaternionRun* run = QuaternionRunOf(slot);
    if (!run || slot->workerIndex < 0 || slot->workerIndex >= QUATERNION_MAX_WORKERS)
        return;
    QuaternionWorkerState* worker = &run->workers[slot->workerIndex];
    if (!worker->tile)
        return;
    // A stop raised inside compiled code ends the tile here; its row is
    // never completed and the run is being aborted anyway.
    if (Guarded([&] { MarchTileRows(run, worker); }) != 0)
        worker->stopped = 1;
    worker->inCompiledCode = 0;
}

DWORD QuaternionWorker(Thread* thread)
{
    RunWorkerLoop(static_cast<WorkerSlot*>(thread->userData), &MarchAssignedTile);
    return 0;
}

int CopyTileToWorker(QuaternionRun* run, int t, int k)
{
    TileSchedule* s = &run->schedule;
    QuaternionTile* tile = &s->tiles[t];
    if (tile->row < s->firstRow || tile->row > s->lastRow)
        return 1;
    FractalTask* task = run->task;
    if (!WaitForLockOrCommand(run->fractal, task->rowLock, false))
        return -1;
    const int bufferWidth = run->fractal->GetBufferWidth();
    const size_t at = (size_t)tile->row * bufferWidth + tile->x0;
    const int n = tile->length;
    memcpy(s->colourRows[k], task->values + at, n * sizeof(uint32_t));
    const Array2D* depth = task->plane0;
    memcpy(s->depthRows[k], (uint8_t*)depth->data + ((size_t)tile->row * depth->width + tile->x0) * depth->cellSize,
           (size_t)n * depth->cellSize);
    const bool withOldz = task->oldz && task->oldz->IsAllocated();
    if (withOldz) {
        const Array2D* o = task->oldz;
        memcpy(s->extraRows[k], (uint8_t*)o->data + ((size_t)tile->row * o->width + tile->x0) * o->cellSize,
               (size_t)n * o->cellSize);
    }
    memcpy(s->flagRows[k], task->flags + at, n);
    task->rowsMoved = 0;
    task->rowLock->Unlock();

    QuaternionWorkerState* w = &run->workers[k];
    w->tileIndex = t;
    w->tile = tile;
    w->colourRow = s->colourRows[k];
    w->depthRow = s->depthRows[k];
    w->extraRow = withOldz ? s->extraRows[k] : nullptr;
    w->flagRow = s->flagRows[k];
    tile->state = 1;
    if (tile->dir == 0) {
        w->ray.outputRow = s->currentRows + tile->x0;
        w->ray.neighbourRow = s->prevRowUp + tile->x0;
    } else {
        w->ray.outputRow = s->currentRows + (s->imageWidth + tile->x0 + 10);
        w->ray.neighbourRow = s->prevRowDown + tile->x0;
    }
    w->guessAllowed = tile->row != s->startRow ? 1 : 0;
    return 0;
}

int FindFreeTile(const TileSchedule* s, int start)
{
    for (int t = start < 0 ? 0 : start; t < s->tileCount; ++t) {
        const QuaternionTile& c = s->tiles[t];
        if (c.state != 0)
            continue;
        if (c.row == s->startRow)
            return t;
        const int neighbour = c.dir == 0 ? c.row + 1 : c.row - 1;
        const QuaternionTile* n = s->rowFirstTile ? s->rowFirstTile[neighbour] : nullptr;
        bool untouched = true, blocked = false;
        for (; n && n < s->tiles + s->tileCount && n->row == neighbour; ++n) {
            const bool overlaps = n->x0 < c.x0 + c.length && c.x0 < n->x0 + n->length;
            if (overlaps && n->state <= 1) {
                // Nothing of the neighbour row has started: no later tile is ready either.
                if (untouched && n->state == 0)
                    return -1;
                blocked = true;
                break;
            }
            if (n->state != 0)
                untouched = false;
        }
        if (!blocked)
            return t;
    }
    return -1;
}

void InterruptQuaternionWorkers(QuaternionRun* run)
{
    FractalTask* task = run->task;
    for (int k = 0; k < run->workerCount && k < WORKER_SLOTS; ++k) {
        Thread* thread = task->workers[k].thread;
        if (!thread || !run->workers[k].inCompiledCode)
            continue;
        thread->Suspend();
        if (run->workers[k].inCompiledCode)
            RedirectToStop(thread->handle, &InRunCode, task);
        thread->Resume();
    }
}
