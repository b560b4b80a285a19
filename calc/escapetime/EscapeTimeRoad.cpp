// The escape-time calculator and its interactive road: passes of halving
// step from the middle row outwards, each row calculated on a private copy
// (the main thread may shift the buffers meanwhile), coloured as blocks and
// guessed into the pixels not calculated yet; blocks whose corners agree
// are filled without calculating them. The finish hands written-back
// parameters to the fractal and reports invalid results.
#include "calc/escapetime/EscapeTimeRun.h"

#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/colour/ColourMapping.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Reports.h"
#include "calc/task/TaskHooks.h"
#include "compiler/ParameterTransfer.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "foundation/Buffers.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Thread.h"

EscapeTimeRoad g_ImageFilterRoad = nullptr;
EscapeTimeRoad g_RenderJobRoad = nullptr;
void (*g_NotifyLayeredParent)(Fractal* fractal, int upperFrom, int upperTo, int lowerFrom, int lowerTo) = nullptr;
EscapeTimeStatistics g_EscapeTimeStatistics = {0, 0, 0.0, ""};

namespace {

bool IsLayer(const Fractal* f)
{
    return f->baseFractal != nullptr && f->baseFractal != f;
}

void PostProgress(Fractal* f)
{
    PostToMainFrame(UM_PROGRESS, reinterpret_cast<WPARAM>(f), 0);
}

uint32_t* CellRow(FractalTask* task, int row)
{
    Array2D* cells = task->oldz;
    if (!cells || !cells->IsAllocated())
        return nullptr;
    return static_cast<uint32_t*>(cells->data) + (size_t)row * cells->width;
}

// Draws buffer rows first..last (clipped) into a shown window.
void DrawRows(Fractal* f, int first, int last)
{
    FractalTask* task = f->task;
    if (!task->window || task->windowHidden || !g_TaskHooks.drawImageRows)
        return;
    int top = f->header->Height - 1;
    if (first < 0)
        first = 0;
    if (last > top)
        last = top;
    if (first <= last)
        g_TaskHooks.drawImageRows(f, first, last);
}

void NotifyParent(Fractal* f, int upperFrom, int upperTo, int lowerFrom, int lowerTo)
{
    if (IsLayer(f) && g_NotifyLayeredParent)
        g_NotifyLayeredParent(f, upperFrom, upperTo, lowerFrom, lowerTo);
}

// The row copy the calculation works on: values, opacity cells and flags
// of columns x0..x1.
class RowCopy {
public:
    RowCopy(FractalTask* task, int x0, int x1) : task(task), x0(x0), n(x1 - x0 + 1)
    {
        int bytes = 9 * n + 16;
        uint8_t* data = nullptr;
        if (task->rowWorkBuffer) {
            task->rowWorkBuffer->Reserve(bytes);
            if (task->rowWorkBuffer->GetCapacity() >= bytes)
                data = static_cast<uint8_t*>(task->rowWorkBuffer->GetData());
        }
        if (!data) {
            own.resize((size_t)bytes);
            data = own.data();
        }
        values = reinterpret_cast<float*>(data);
        cells = reinterpret_cast<uint32_t*>(data + 4 * n);
        flags = data + 8 * n;
    }

    void Take(int row, int bufferWidth)
    {
        size_t at = (size_t)row * bufferWidth + x0;
        memcpy(values, task->values + at, 4 * (size_t)n);
        memcpy(flags, task->flags + at, (size_t)n);
        uint32_t* cellRow = CellRow(task, row);
        hasCells = cellRow != nullptr;
        if (hasCells)
            memcpy(cells, cellRow + x0, 4 * (size_t)n);
    }

    void Give(int row, int bufferWidth)
    {
        size_t at = (size_t)row * bufferWidth + x0;
        memcpy(task->values + at, values, 4 * (size_t)n);
        memcpy(task->flags + at, flags, (size_t)n);
        uint32_t* cellRow = CellRow(task, row);
        if (cellRow && hasCells)
            memcpy(cellRow + x0, cells, 4 * (size_t)n);
    }

    // Points the context at the copy, indexed by column.
    void Aim(LineContext* c) const
    {
        c->values = values - x0;
        c->flags = flags - x0;
        c->cells = hasCells ? cells - x0 : nullptr;
    }

private:
    FractalTask* task;
    int x0, n;
    std::vector<uint8_t> own;
    float* values;
    uint32_t* cells;
    uint8_t* flags;
    bool hasCells = false;
};

// The recorded count of a filled pixel is that of its source pixel (the
// record shares the buffers' row length).
void CopyCount(size_t from, size_t to)
{
    if (g_IterationRecord.counts)
        g_IterationRecord.counts[to] = g_IterationRecord.counts[from];
}

// One row of a pass: 0 done, 3 a command stopped it.
int CalculateRow(EscapeTimeRun* run, RowCopy& copy, int row, int step)
{
    Fractal* f = run->fractal;
    FractalTask* task = run->task;
    int bufferWidth = f->GetBufferWidth();
    if (!TakeRowLock(f))
        return 3;
    copy.Take(row, bufferWidth);
    ReleaseRowLock(f);

    LineContext& c = run->context;
    c.row = row;
    copy.Aim(&c);
    if (CalculateLineGuarded(&c) != 0)
        return 3;

    if (!TakeRowLock(f))
        return 3;
    // A shift of the buffers meanwhile moved the row away: the copy
    // belongs to the old view and is dropped.
    if (task->rowsMoved == 0)
        copy.Give(row, bufferWidth);
    ReleaseRowLock(f);

    ColorizeEscapeTimeLine(f, run->x0, row, run->x1 - run->x0, f->header->DisplayDepth > 8 ? 1 : 0, step, nullptr);
    FillBlock(f, run->x0, row, run->x1 - run->x0, step);
    return 0;
}

int InteractiveRoad(EscapeTimeRun* run)
{
    Fractal* f = run->fractal;
    FractalTask* task = run->task;
    EscapetimeParameters* block = run->block;
    LineContext& c = run->context;
    RowCopy copy(task, run->x0, run->x1);
    int height = f->header->Height;
    for (int t = 1 << (run->startPass - 1); t >= 1; t /= 2) {
        c.step = t;
        if (f->dither)
            ZeroDitherErrors(f);
        PassWalk walk(height, run->y0, run->y1, t);
        int lastLower = walk.lower + t - 1, lastUpper = walk.upper;
        task->lastDisplayTick = GetTickCount();
        while (walk.More()) {
            if (c.pixelCounter > run->progressTotal)
                c.pixelCounter = (int)run->progressTotal;
            task->progress = c.pixelCounter / run->progressTotal;
            int row;
            if (walk.TakeLower(&row) && CalculateRow(run, copy, row, t) != 0)
                return 3;
            if (walk.TakeUpper(&row) && CalculateRow(run, copy, row, t) != 0)
                return 3;
            if ((DWORD)(GetTickCount() - task->lastDisplayTick) >= (DWORD)DrawingSpeed) {
                PostProgress(f);
                NotifyParent(f, lastUpper, walk.upper - 1, walk.lower + t, lastLower);
                DrawRows(f, walk.lower + t - 1, lastLower);
                DrawRows(f, lastUpper, walk.upper);
                lastLower = walk.lower + t - 1;
                lastUpper = walk.upper;
                task->lastDisplayTick = GetTickCount();
            }
        }
        PostProgress(f);
        NotifyParent(f, lastUpper, run->y1, run->y0, lastLower);
        DrawRows(f, lastUpper, run->y1);
        DrawRows(f, run->y0, lastLower);
        if ((block->Eliminate == 1 && t == 2) || block->Eliminate == 2)
            EliminateBlocks(f, run->x0, run->y0, run->x1, run->y1, t);
        if (f->dither) {
            DitherFractalImage(f);
            if (!IsLayer(f))
                DrawRows(f, run->y0, run->y1);
        }
    }
    return 0;
}

void Finish(EscapeTimeRun* run, int result)
{
    Fractal* f = run->fractal;
    FractalTask* task = run->task;
    if (result == 0) {
        task->progress = 1.0;
        PostProgress(f);
    }
    uint8_t* chainBlocks[2] = {task->varBlock2 ? task->varBlock2->GetBase() : nullptr, nullptr};
    uint8_t* mainBlocks[2] = {task->varBlock->GetBase(), nullptr};
    HandleWritebackParametersEscape(chainBlocks[0] ? chainBlocks : nullptr, mainBlocks, reinterpret_cast<WPARAM>(f),
                                    f);
    CheckInvalidOp(f, run->context.invalidCounter);
    if (task->smallBuffer)
        FreeArrays_Normal(task->smallBuffer->GetData(), chainBlocks[0], mainBlocks[0]);
    free(run->orbit);
    run->orbit = nullptr;
    g_EscapeTimeStatistics.evaluations = run->context.evaluations;
    g_EscapeTimeStatistics.invalid = run->context.invalidCounter;
}

}  // namespace

PassWalk::PassWalk(int height, int y0, int y1, int step)
    : lower(height / 2 - step), upper(height / 2), y0(y0), y1(y1), step(step)
{
}

bool PassWalk::More() const
{
    return upper <= y1 || lower >= y0;
}

bool PassWalk::TakeLower(int* row)
{
    if (lower < y0)
        return false;
    *row = lower;
    lower -= step;
    return true;
}

bool PassWalk::TakeUpper(int* row)
{
    if (upper > y1)
        return false;
    *row = upper;
    upper += step;
    return true;
}

int StartPass(int lastCalculateCommand, int passLimit, int passes)
{
    int p0 = lastCalculateCommand == FTC_CONTINUE ? passLimit : passes + 1;
    if (p0 > passes + 1)
        p0 = passes + 1;
    if (p0 < 1)
        p0 = 1;
    return p0;
}

double ProgressTotal(int startPass, int height, int x0, int y0, int x1, int y1)
{
    int m = height / 2;
    double total = 0;
    for (int t = 1 << (startPass - 1); t >= 1; t /= 2) {
        double rows = (m - t - y0) / t + (y1 - m) / t + 2;
        double cols = (x1 - x0) / t + 1;
        total += rows * cols;
    }
    return total > 0 ? total : 1;
}

int ChooseEscapeTimeRoad(const Fractal* f)
{
    if (f->header->DisplayDepth == 24 && f->header->ImageFilter)
        return ROAD_IMAGE_FILTER;
    if (f->renderJob && f->header->Dims == 0)
        return ROAD_RENDER_JOB;
    return ROAD_INTERACTIVE;
}

void FillBlock(Fractal* f, int x0, int row, int count, int step)
{
    FractalTask* task = f->task;
    int bufferWidth = f->GetBufferWidth();
    int width = f->header->Width, height = f->header->Height;
    for (int x = x0; x < x0 + count; x += step) {
        size_t from = (size_t)row * bufferWidth + x;
        float value = task->values[from];
        uint8_t flag = task->flags[from] & ~PF_CALCULATED;
        uint32_t* sourceCells = CellRow(task, row);
        uint32_t cell = sourceCells ? sourceCells[x] : 0;
        for (int yy = row; yy < row + step && yy < height; ++yy) {
            uint32_t* cells = CellRow(task, yy);
            for (int xx = x; xx < x + step && xx < width; ++xx) {
                size_t at = (size_t)yy * bufferWidth + xx;
                if (task->flags[at] & PF_CALCULATED)
                    continue;
                task->values[at] = value;
                task->flags[at] = flag;
                if (cells)
                    cells[xx] = cell;
                CopyCount(from, at);
            }
        }
    }
}

void EliminateBlocks(Fractal* f, int x0, int y0, int x1, int y1, int step)
{
    if (step <= 1)
        return;
    FractalTask* task = f->task;
    int bufferWidth = f->GetBufferWidth();
    auto bits = [&](int x, int y) {
        uint32_t v;
        memcpy(&v, &task->values[(size_t)y * bufferWidth + x], 4);
        return v;
    };
    auto flag = [&](int x, int y) { return task->flags[(size_t)y * bufferWidth + x]; };
    auto cell = [&](int x, int y) {
        uint32_t* row = CellRow(task, y);
        return row ? row[x] : 0u;
    };
    for (int y = y0; y + step <= y1; y += step) {
        for (int x = x0; x + step <= x1; x += step) {
            uint32_t v = bits(x, y);
            if (v == 0)
                continue;
            uint32_t c = cell(x, y);
            uint8_t fl = flag(x, y);
            const int cx[3] = {x + step, x + step, x};
            const int cy[3] = {y, y + step, y + step};
            bool same = true;
            for (int k = 0; k < 3 && same; ++k)
                same = bits(cx[k], cy[k]) == v && cell(cx[k], cy[k]) == c && flag(cx[k], cy[k]) == fl;
            if (!same)
                continue;
            float value;
            memcpy(&value, &v, 4);
            for (int yy = y; yy <= y + step; ++yy) {
                uint32_t* cells = CellRow(task, yy);
                for (int xx = x; xx <= x + step; ++xx) {
                    size_t at = (size_t)yy * bufferWidth + xx;
                    bool corner = (xx == x || xx == x + step) && (yy == y || yy == y + step);
                    task->values[at] = value;
                    task->flags[at] = corner ? fl : (uint8_t)(fl | PF_ELIMINATED);
                    CopyCount((size_t)y * bufferWidth + x, at);
                    if (cells)
                        cells[xx] = c;
                }
            }
        }
    }
}

int CalculateEscapeTime(Fractal* fractal, int x0, int y0, int x1, int y1)
{
    EscapeTimeRun run;
    run.fractal = fractal;
    run.task = fractal->task;
    run.block = static_cast<EscapetimeParameters*>(fractal->typeParameters);
    run.x0 = x0;
    run.y0 = y0;
    run.x1 = x1;
    run.y1 = y1;
    g_EscapeTimeStatistics.evaluations = 0;
    g_EscapeTimeStatistics.invalid = 0;
    g_EscapeTimeStatistics.shownText[0] = 0;
    if (!run.task || !run.block)
        return 1;
    // A render job's task keeps no image buffers: its road calculates into
    // the job's image store. Every other road needs the value and flag rows.
    bool storeRoad = ChooseEscapeTimeRoad(fractal) == ROAD_RENDER_JOB && g_RenderJobRoad;
    if (!storeRoad && (!run.task->values || !run.task->flags))
        return 1;
    LARGE_INTEGER before, after, frequency;
    QueryPerformanceCounter(&before);
    int result = SetUpEscapeTime(&run);
    QueryPerformanceCounter(&after);
    QueryPerformanceFrequency(&frequency);
    g_EscapeTimeStatistics.setupSeconds = (double)(after.QuadPart - before.QuadPart) / (double)frequency.QuadPart;
    if (result != 0)
        return result;
    int road = ChooseEscapeTimeRoad(fractal);
    EscapeTimeRoad other = road == ROAD_IMAGE_FILTER ? g_ImageFilterRoad
                         : road == ROAD_RENDER_JOB   ? g_RenderJobRoad
                                                     : nullptr;
    result = other ? other(fractal, &run.context, x0, y0, x1, y1) : InteractiveRoad(&run);
    Finish(&run, result);
    return result;
}

bool TakeRowLock(Fractal* f)
{
    BusyLock* lock = f->task->rowLock;
    return !lock || WaitForLockOrCommand(f, lock, false) != 0;
}

void ReleaseRowLock(Fractal* f)
{
    f->task->rowsMoved = 0;
    if (f->task->rowLock)
        f->task->rowLock->Unlock();
}
