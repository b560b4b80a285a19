// The tile schedule of a quaternion calculation and the driver's main loop
// around it. Rows grow from the middle in both directions; a row is shaded
// as soon as its tiles are back, and what was shaded since the last update
// is shown every DrawingSpeed ms. Every wait is 1 ms and reads the command
// word, so a stop is answered at once and reaches workers in compiled code.
#include "fractals/quaternion/QuaternionTiles.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <initializer_list>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/colour/OtherColouring.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/task/FractalThread.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Thread.h"
#include "fractals/quaternion/QuaternionMarch.h"
#include "fractals/quaternion/QuaternionShading.h"

namespace {

enum { BAND_EMPTY_MIN = 1000000, BAND_EMPTY_MAX = -1000000, WRITEBACK_MS = 1500, ROW_MARGIN = 10 };

// Appends the tiles of one row: count tiles over columns left..right.
QuaternionTile* AddRow(QuaternionTile* t, int row, int left, int right, int count, int dir)
{
    const int W = right - left + 1;
    for (int i = 0; i < count; ++i) {
        const int x0 = (int)(i * (double)W / count + 0.5);
        int x1 = (int)((i + 1) * (double)W / count + 0.5) - 1;
        if (x1 > W - 1)
            x1 = W - 1;
        if (x1 < x0)
            continue;
        t->x0 = left + x0;
        t->row = row;
        t->length = x1 - x0 + 1;
        t->dir = dir;
        t->state = 0;
        ++t;
    }
    return t;
}

void EmptyBands(QuaternionRun* run)
{
    for (int d = 0; d < 2; ++d) {
        run->bandMin[d] = BAND_EMPTY_MIN;
        run->bandMax[d] = BAND_EMPTY_MAX;
    }
}

bool RowComplete(const TileSchedule* s, int row)
{
    const QuaternionTile* t = s->rowFirstTile[row];
    for (; t && t < s->tiles + s->tileCount && t->row == row; ++t)
        if (t->state != 2)
            return false;
    return true;
}

void MarkRowColoured(TileSchedule* s, int row)
{
    for (QuaternionTile* t = s->rowFirstTile[row]; t && t < s->tiles + s->tileCount && t->row == row; ++t)
        t->state = 3;
}

void ShowBands(QuaternionRun* run)
{
    Fractal* fractal = run->fractal;
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    if (g_NotifyLayeredParent)
        g_NotifyLayeredParent(fractal, run->bandMin[0], run->bandMax[0], run->bandMin[1], run->bandMax[1]);
    // A shaded row lands in image3D one row off its tile row: direction 0
    // shades row + 1, direction 1 the row itself from row - 1.
    if (run->bandMin[0] != BAND_EMPTY_MIN)
        DrawVisibleRows(fractal, run->bandMin[0], run->bandMax[0] + 1);
    if (run->bandMin[1] != BAND_EMPTY_MIN)
        DrawVisibleRows(fractal, run->bandMin[1] - 1, run->bandMax[1]);
    // The newest row of each band is drawn again next time.
    if (run->bandMin[0] != BAND_EMPTY_MIN)
        run->bandMax[0] = run->bandMin[0];
    if (run->bandMax[1] != BAND_EMPTY_MAX)
        run->bandMin[1] = run->bandMax[1];
}

bool Busy(const QuaternionRun* run)
{
    for (int k = 0; k < run->workerCount; ++k) {
        const QuaternionTile* t = run->workers[k].tile;
        if (t && t->state == 1)
            return true;
    }
    return false;
}

// A worker whose tile is marched and not yet taken back.
bool TileWaiting(const QuaternionRun* run)
{
    for (int k = 0; k < run->workerCount; ++k) {
        const QuaternionTile* t = run->workers[k].tile;
        if (t && t->state == 1 && run->task->workers[k].workerDone == 1)
            return true;
    }
    return false;
}

// A row whose tiles are all back: coloured, shaded into its pair, marked
// for the display and dithered.
void FinishRow(QuaternionRun* run, int row, int d)
{
    Fractal* fractal = run->fractal;
    FractalTask* task = run->task;
    ColourPreviewRow(run, row, d);
    MarkRowColoured(&run->schedule, row);
    if (row < run->bandMin[d])
        run->bandMin[d] = row;
    if (row > run->bandMax[d])
        run->bandMax[d] = row;
    const int rB = d == 0 ? row + 1 : row;
    if (fractal->dither && task->image3D && task->image3D8 && rB < run->height) {
        const int stride = fractal->GetImageStride();
        DitherImageRow(fractal, d, rB, task->image3D + (size_t)rB * stride * 3, task->image3D8 + (size_t)rB * stride);
    }
}

}  // namespace

void TileLayout(int workers, int columns, int* tilesPerRow, int* segmentLength)
{
    const int P = (workers + 1) / 2 > 0 ? (workers + 1) / 2 : 1;
    *tilesPerRow = P;
    *segmentLength = (columns + P) / P;
}

bool BuildTileSchedule(QuaternionRun* run)
{
    TileSchedule* s = &run->schedule;
    memset(s, 0, sizeof *s);
    FractalTask* task = run->task;
    const int workers = run->workerCount;
    const int W = run->right - run->left + 1;
    const int height = run->height;
    if (workers < 1 || workers > QUATERNION_MAX_WORKERS || W < 1 || height < 1 || !task || !task->rowWorkBuffer)
        return false;
    if (!task->plane0 || task->plane0->cellSize != 4)
        return false;
    int P, T;
    TileLayout(workers, W, &P, &T);
    // A start-row tile may be longer than T when there are few columns.
    const int startLength = (W + START_ROW_TILES - 1) / START_ROW_TILES + 1;
    if (T < startLength)
        T = startLength;

    const long long segmentBytes = (long long)T * workers * (3 * 4 + 1);
    const long long bytes = segmentBytes + (long long)height * (long long)sizeof(QuaternionTile*) + 16;
    if (bytes > 0x7FFFFFFF)
        return false;
    task->rowWorkBuffer->Reserve((int)bytes);
    if (task->rowWorkBuffer->GetCapacity() < bytes)
        return false;
    uint8_t* carve = static_cast<uint8_t*>(task->rowWorkBuffer->GetData());
    memset(carve, 0, (size_t)bytes);
    for (int k = 0; k < workers; ++k, carve += 4 * T)
        s->colourRows[k] = reinterpret_cast<uint32_t*>(carve);
    for (int k = 0; k < workers; ++k, carve += 4 * T)
        s->depthRows[k] = reinterpret_cast<float*>(carve);
    for (int k = 0; k < workers; ++k, carve += 4 * T)
        s->extraRows[k] = reinterpret_cast<uint32_t*>(carve);
    for (int k = 0; k < workers; ++k, carve += T)
        s->flagRows[k] = carve;
    carve += (4 - ((uintptr_t)carve & 3)) & 3;
    s->rowFirstTile = reinterpret_cast<QuaternionTile**>(carve);
    s->segmentLength = T;
    s->imageWidth = run->width;

    s->startRow = height / 2;
    s->firstRow = run->top;
    s->lastRow = run->bottom;
    const long long tileCount = (long long)P * height + START_ROW_TILES + 1;
    const long long rowFloats = (long long)run->width + ROW_MARGIN;
    s->tiles = static_cast<QuaternionTile*>(calloc((size_t)tileCount, sizeof(QuaternionTile)));
    s->prevRowUp = static_cast<float*>(calloc((size_t)rowFloats, sizeof(float)));
    s->prevRowDown = static_cast<float*>(calloc((size_t)rowFloats, sizeof(float)));
    s->currentRows = static_cast<float*>(calloc((size_t)(2 * rowFloats), sizeof(float)));
    if (!s->tiles || !s->prevRowUp || !s->prevRowDown || !s->currentRows) {
        FreeTileSchedule(run);
        return false;
    }

    QuaternionTile* t = s->tiles;
    if (s->startRow >= run->top && s->startRow <= run->bottom) {
        s->rowFirstTile[s->startRow] = t;
        t = AddRow(t, s->startRow, run->left, run->right, START_ROW_TILES, 0);
    }
    int down = s->startRow + 1, up = s->startRow - 1, flag = 1;
    while (!(up < run->top && down > run->bottom)) {
        const int row = flag ? down : up;
        if (row >= run->top && row <= run->bottom && row < height) {
            s->rowFirstTile[row] = t;
            t = AddRow(t, row, run->left, run->right, P, flag);
        }
        if (flag)
            ++down;
        else
            --up;
        flag = !flag;
    }
    s->tileCount = (int)(t - s->tiles);
    *t = QuaternionTile{0, -1, 1, 0, 0};
    EmptyBands(run);
    return true;
}

void FreeTileSchedule(QuaternionRun* run)
{
    TileSchedule* s = &run->schedule;
    free(s->tiles);
    free(s->prevRowUp);
    free(s->prevRowDown);
    free(s->currentRows);
    s->tiles = nullptr;
    s->prevRowUp = s->prevRowDown = s->currentRows = nullptr;
    s->tileCount = 0;
}

bool CopyTileBack(QuaternionRun* run, int k)
{
    FractalTask* task = run->task;
    const TileSchedule* s = &run->schedule;
    const QuaternionTile* tile = run->workers[k].tile;
    if (!WaitForLockOrCommand(run->fractal, task->rowLock, false))
        return false;
    if (task->rowsMoved == 0) {
        const int bufferWidth = run->fractal->GetBufferWidth();
        const size_t at = (size_t)tile->row * bufferWidth + tile->x0;
        const int n = tile->length;
        memcpy(task->values + at, s->colourRows[k], n * sizeof(uint32_t));
        Array2D* depth = task->plane0;
        memcpy((uint8_t*)depth->data + ((size_t)tile->row * depth->width + tile->x0) * depth->cellSize,
               s->depthRows[k], (size_t)n * depth->cellSize);
        if (task->oldz && task->oldz->IsAllocated()) {
            Array2D* o = task->oldz;
            memcpy((uint8_t*)o->data + ((size_t)tile->row * o->width + tile->x0) * o->cellSize, s->extraRows[k],
                   (size_t)n * o->cellSize);
        }
        memcpy(task->flags + at, s->flagRows[k], n);
    }
    task->rowsMoved = 0;
    task->rowLock->Unlock();
    return true;
}

void ColourPreviewRow(QuaternionRun* run, int row, int direction)
{
    Fractal* fractal = run->fractal;
    ColorizeQuaternionLine(fractal, run->left, row, run->right - run->left + 1);
    if (!run->preview)
        return;
    QuaternionPixelFrame frame;
    PreparePixelFrame(&frame, run->block, run->width, run->height);
    ShadeQuaternionRow(run->preview, run->block, frame, row, direction, run->left, run->right, false,
                       run->block->AOEnabled != 0, true, false);
}

namespace {

// Waits in 1 ms steps until a marched tile waits or nothing marches; false
// when a command (other than FTC_REDRAW3D, which is cleared) arrived.
bool WaitForMarchedTile(QuaternionRun* run)
{
    while (!TileWaiting(run)) {
        if (CommandPending(run->task))
            return false;
        if (!Busy(run))
            return true;
        WaitForSingleObject(run->task->workerDoneEvent, 1);
    }
    return true;
}

// Takes back every marched tile: into the task's buffers, its depths into
// the neighbour row of the next tiles, and a row that is complete shaded.
// False when a command arrived while waiting for rowLock.
bool CollectTiles(QuaternionRun* run)
{
    TileSchedule* s = &run->schedule;
    for (int k = 0; k < run->workerCount; ++k) {
        QuaternionWorkerState* w = &run->workers[k];
        QuaternionTile* tile = w->tile;
        if (run->task->workers[k].workerDone != 1 || !tile || tile->state >= 2)
            continue;
        tile->state = 2;
        run->tilesDone++;
        while (run->nextFree < s->tileCount && s->tiles[run->nextFree].state != 0)
            run->nextFree++;
        if (!CopyTileBack(run, k))
            return false;
        memcpy(w->ray.neighbourRow, w->ray.outputRow, tile->length * sizeof(float));
        if (tile->row == s->startRow)
            memcpy(s->prevRowDown + tile->x0, w->ray.outputRow, tile->length * sizeof(float));
        if (RowComplete(s, tile->row))
            FinishRow(run, tile->row, tile->dir);
    }
    return true;
}

// Offers every idle worker the next tile whose neighbours are done and
// wakes it. False when a command arrived during a hand-over.
bool OfferTiles(QuaternionRun* run)
{
    for (int k = 0; k < run->workerCount; ++k) {
        WorkerSlot* slot = &run->task->workers[k];
        const QuaternionTile* tile = run->workers[k].tile;
        if (slot->workerDone != 1 || (tile && tile->state < 2))
            continue;
        const int t = FindFreeTile(&run->schedule, run->nextFree);
        if (t < 0)
            return true;
        const int handed = CopyTileToWorker(run, t, k);
        if (handed == -1)
            return false;
        if (handed == 0) {
            slot->workerDone = 0;
            SetEvent(slot->wakeEvent);
        }
    }
    return true;
}

}  // namespace

bool RunTileLoop(QuaternionRun* run, const QuaternionLoopHooks& hooks)
{
    FractalTask* task = run->task;
    const int tileCount = run->schedule.tileCount;
    run->tilesDone = 0;
    run->nextFree = 0;
    bool aborted = false;
    while (run->tilesDone < tileCount && !aborted) {
        task->progress = (double)run->tilesDone / tileCount;
        aborted = !WaitForMarchedTile(run) || !CollectTiles(run) || !OfferTiles(run);
        if (!aborted && !Busy(run) && run->tilesDone < tileCount)
            break;   // no tile can be marched any more (a schedule fault): do not wait for ever

        const DWORD now = GetTickCount();
        if (now - run->lastWriteback >= WRITEBACK_MS) {
            if (hooks.writeback)
                hooks.writeback(hooks.context);
            run->lastWriteback = GetTickCount();
        }
        if (now - task->lastDisplayTick >= (DWORD)DrawingSpeed) {
            ShowBands(run);
            task->lastDisplayTick = GetTickCount();
        }
    }
    if (aborted) {
        run->aborted = 1;
        InterruptQuaternionWorkers(run);
        return false;
    }
    ShowBands(run);
    return true;
}

void ClearOpacityEdges(QuaternionRun* run)
{
    FractalTask* task = run->task;
    if (!task->oldz || !task->oldz->IsAllocated() || !task->plane0 || !task->plane0->IsAllocated())
        return;
    const Array2D& plane = *task->plane0;
    Array2D& oldz = *task->oldz;
    const float* depth = static_cast<const float*>(plane.data);
    uint32_t* cells = static_cast<uint32_t*>(oldz.data);
    const int width = run->width;
    auto clearPair = [&](int rA, int rB) {
        if (rA < 0 || rB >= plane.height || rB >= oldz.height)
            return;
        for (int x = 0; x < width && x < plane.width && x < oldz.width; ++x) {
            const bool edge = (x >= 1 && depth[rA * plane.width + x - 1] < 0) || depth[rA * plane.width + x] < 0 ||
                              depth[rB * plane.width + x] < 0;
            if (edge)
                cells[rB * oldz.width + x] = 0;
        }
    };
    // Upper cursor: startRow - 1 down to 0 with (r, r + 1); lower cursor:
    // startRow up to the last row with (r - 1, r). The upper cursor's first
    // pair equals the lower one's and is skipped.
    int upper = run->schedule.startRow - 1, lower = run->schedule.startRow;
    const int lastRow = run->schedule.lastRow;
    bool first = true;
    while (upper >= 0 || lower <= lastRow) {
        if (upper >= 0) {
            if (!first)
                clearPair(upper, upper + 1);
            --upper;
        }
        first = false;
        if (lower <= lastRow) {
            clearPair(lower - 1, lower);
            ++lower;
        }
    }
}
