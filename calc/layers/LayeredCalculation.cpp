// Calculation of layered fractals. The dirty-row marks live in a table of
// their own, one byte per row of every layered fractal, behind one critical
// section: layer threads set them and the layered fractal's thread takes
// them, while commands on the fractal (resizing, new buffers) never touch
// that storage. A layered render job composes from its layers' raw files.
#include "calc/layers/LayeredCalculation.h"

#include <map>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/layers/Compositing.h"
#include "calc/layers/LayerFileReader.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "document/Layers.h"
#include "files/renderjob/RenderJob.h"
#include "foundation/FailureReport.h"
#include "foundation/Guard.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"

namespace {

// The dirty marks of every layered fractal that was notified.
class DirtyRows {
public:
    DirtyRows() { InitializeCriticalSection(&section); }
    void Mark(Fractal* parent, int first, int last, int height)
    {
        if (first < 0)
            first = 0;
        if (last > height - 1)
            last = height - 1;
        if (first > last)
            return;
        EnterCriticalSection(&section);
        std::vector<uint8_t>& rows = marks[parent];
        if ((int)rows.size() < height)
            rows.resize((size_t)height, 0);
        memset(&rows[(size_t)first], 1, (size_t)(last - first + 1));
        LeaveCriticalSection(&section);
    }
    bool Test(Fractal* parent, int row, bool clear)
    {
        bool dirty = false;
        EnterCriticalSection(&section);
        auto it = marks.find(parent);
        if (it != marks.end() && row >= 0 && row < (int)it->second.size()) {
            dirty = it->second[(size_t)row] != 0;
            if (clear)
                it->second[(size_t)row] = 0;
        }
        LeaveCriticalSection(&section);
        return dirty;
    }

private:
    CRITICAL_SECTION section;
    std::map<Fractal*, std::vector<uint8_t>> marks;
};

DirtyRows& Dirty()
{
    static DirtyRows rows;
    return rows;
}

void PostProgress(Fractal* f)
{
    PostToMainFrame(UM_PROGRESS, reinterpret_cast<WPARAM>(f), 0);
}

// Visible layers whose fractal has a task; *missing tells whether a
// visible layer has none.
int CountMergedLayers(const LayeredParameters* params, bool* missing)
{
    int count = 0;
    *missing = false;
    for (ListNode* n = params->layers.GetHead(); n; n = n->next) {
        Layer* layer = static_cast<Layer*>(n);
        if (!layer->visible)
            continue;
        if (layer->fractal && layer->fractal->task)
            ++count;
        else
            *missing = true;
    }
    return count;
}

void SetOpacityLevels(LayeredParameters* params)
{
    for (ListNode* n = params->layers.GetHead(); n; n = n->next) {
        Layer* layer = static_cast<Layer*>(n);
        layer->opacityLevel = (int)(layer->opacity * 255 / 100);
    }
}

// The command word before a row: false when it ends the work; the
// commands in absorbed are cleared and the work goes on.
bool ContinueRow(FractalTask* task, bool absorbRecolour)
{
    int c = task->command;
    if (c == 0)
        return true;
    if (c == FTC_REDRAW3D || (absorbRecolour && c == FTC_RECOLOUR)) {
        TakeCommand(task, c, 0);
        return true;
    }
    return false;
}

// Walks rows y0..y1 from the middle outwards, one row below and one above
// per step, calling row(r) for each; draws the rows done since the last
// update at most every DrawingSpeed ms and the rest at the end. False when
// row() stopped the walk.
template <class F>
bool WalkFromMiddle(Fractal* f, int y0, int y1, F&& row)
{
    FractalTask* task = f->task;
    PassWalk walk(f->header->Height, y0, y1, 1);
    int lastLower = walk.lower, lastUpper = walk.upper;
    bool stopped = false;
    task->lastDisplayTick = GetTickCount();
    while (walk.More() && !stopped) {
        int r;
        if (walk.TakeLower(&r) && !row(r))
            stopped = true;
        else if (walk.TakeUpper(&r) && !row(r))
            stopped = true;
        if (!stopped && (DWORD)(GetTickCount() - task->lastDisplayTick) >= (DWORD)DrawingSpeed) {
            task->progress = f->GetProgress();
            PostProgress(f);
            DrawVisibleRows(f, walk.lower + 1, lastLower);
            DrawVisibleRows(f, lastUpper, walk.upper - 1);
            lastLower = walk.lower;
            lastUpper = walk.upper;
            task->lastDisplayTick = GetTickCount();
        }
    }
    DrawVisibleRows(f, walk.lower + 1, lastLower);
    DrawVisibleRows(f, lastUpper, walk.upper - 1);
    return !stopped;
}

void FinishDither(Fractal* f)
{
    if (f->dither) {
        DitherFractalImage(f);
        DrawVisibleRows(f, 0, f->header->Height - 1);
    }
}

void FillCheckerboardRow(uint8_t* row, int width, int y)
{
    for (int x = 0; x < width; ++x)
        memset(row + 3 * x, ((x / 8) ^ (y / 8)) & 1 ? 255 : 160, 3);
}

// A layered job composes only from finished files: every layer that
// belongs to a job must have stored its rows (CS_COMPLETE follows the
// writing of its raw files), not merely have calculated its image.
bool JobLayersStored(const LayeredParameters* params)
{
    if (!AllLayersCalculated(params))
        return false;
    for (ListNode* n = params->layers.GetHead(); n; n = n->next) {
        const Fractal* layer = static_cast<const Layer*>(n)->fractal;
        if (layer->renderJob && layer->task->calculationState != CS_COMPLETE)
            return false;
    }
    return true;
}

// The rows of a layered render job, bottom row first up to y1, merged from
// the layer jobs' raw files and written to the job's own ".bits" file. The
// composite is opaque: alpha and flags files of an earlier run go, so that
// none of their rows reaches the output image.
int ComposeRenderJobRows(Fractal* f, LayeredParameters* params, int y1)
{
    FractalTask* task = f->task;
    RenderJob* job = f->renderJob;
    char path[260];
    for (const char* stale : {"alpha", "flags"}) {
        job->RawFilePath(stale, path);
        DeleteFileA(path);
    }
    job->RawFilePath("bits", path);
    FILE* out = fopen(path, "wb");
    if (!out) {
        const char* lines[] = {"Renderjob cannot write its rows", path, nullptr};
        AddMessage(lines, MSG_ERROR, 0, 0, 0, 0, 0, 0, false);
        return 2;
    }
    LayerFileReader reader(f, params);
    std::vector<LayerMergeRecord> records(params->layers.Count() + 2);
    SetOpacityLevels(params);
    const int width = f->header->Width, height = f->header->Height;
    if (y1 > height - 1)
        y1 = height - 1;
    int result = 0;
    task->lastDisplayTick = GetTickCount();
    for (int r = 0; r <= y1; ++r) {
        if (!ContinueRow(task, false)) {
            result = 3;
            break;
        }
        if (reader.Count() == 0)
            FillCheckerboardRow(reader.OutputRow(), width, r);
        else
            MergeLayerLine(f, params, width - 1, r, records.data(), &reader);
        if (fwrite(reader.OutputRow(), 3, (size_t)width, out) != (size_t)width) {
            result = 2;
            break;
        }
        if ((DWORD)(GetTickCount() - task->lastDisplayTick) >= (DWORD)DrawingSpeed) {
            task->progress = (double)r / height;
            PostProgress(f);
            task->lastDisplayTick = GetTickCount();
        }
    }
    if (fclose(out) != 0 && result == 0)
        result = 2;
    task->progress = f->GetProgress();
    PostProgress(f);
    return result;
}

}  // namespace

bool AllLayersCalculated(const LayeredParameters* params)
{
    for (ListNode* n = params->layers.GetHead(); n; n = n->next) {
        const Fractal* layer = static_cast<const Layer*>(n)->fractal;
        if (!layer || !layer->task)
            return false;
        int state = layer->task->calculationState;
        if (layer->header->Dims == 1 ? state != CS_3D_DONE : state <= CS_NONE)
            return false;
    }
    return true;
}

int DrawLayeredFractal(Fractal* f, int, int y0, int x1, int y1)
{
    FractalTask* task = f->task;
    LayeredParameters* params = LayersOf(f);
    if (!task || !params)
        return 0;
    if (f->renderJob) {
        // The job waits for its layers' rows on its own thread. Returning 3
        // instead would race with the last layer: once that layer counts as
        // calculated, the job would be marked complete with result 3 and
        // finish without an image.
        while (!JobLayersStored(params)) {
            if (!ContinueRow(task, false))
                return 3;
            Sleep(10);
        }
        task->progress = f->GetProgress();
        PostProgress(f);
        return ComposeRenderJobRows(f, params, y1);
    }
    if (!task->imageBits)
        return 0;
    task->progress = f->GetProgress();
    PostProgress(f);
    if (f->dither)
        ZeroDitherErrors(f);

    bool missing;
    int count = CountMergedLayers(params, &missing);
    const int height = f->header->Height;
    const int rowBytes = 3 * f->GetImageStride();
    if (count == 0) {
        for (int r = 0; r < height; ++r)
            FillCheckerboardRow(task->imageBits + (size_t)r * rowBytes, f->header->Width, r);
        DrawVisibleRows(f, y0, y1);
        return 0;
    }
    std::vector<LayerMergeRecord> records(params->layers.Count() + 2);
    SetOpacityLevels(params);
    bool done = WalkFromMiddle(f, y0, y1, [&](int r) {
        if (!ContinueRow(task, false))
            return false;
        MergeLayerLine(f, params, x1, r, records.data(), nullptr);
        return true;
    });
    if (!done)
        return 3;
    FinishDither(f);
    task->progress = f->GetProgress();
    PostProgress(f);
    return 0;
}

void CompositeLayeredFractal(Fractal* f)
{
    FractalTask* task = f->task;
    LayeredParameters* params = LayersOf(f);
    if (!task || !task->imageBits || !params)
        return;
    bool missing;
    int count = CountMergedLayers(params, &missing);
    if (missing)
        return;
    const int height = f->header->Height;
    if (count == 0) {
        memset(task->imageBits, 0, (size_t)height * 3 * f->GetImageStride());
        DrawVisibleRows(f, 0, height - 1);
        return;
    }
    if (f->dither)
        ZeroDitherErrors(f);
    std::vector<LayerMergeRecord> records(params->layers.Count() + 2);
    SetOpacityLevels(params);
    const int lastColumn = f->GetBufferWidth() - 1;
    bool done = WalkFromMiddle(f, 0, height - 1, [&](int r) {
        if (!ContinueRow(task, true))
            return false;
        if (Dirty().Test(f, r, true)) {
            MergeLayerLine(f, params, lastColumn, r, records.data(), nullptr);
            DrawVisibleRows(f, r, r);
        }
        return true;
    });
    if (!done)
        return;
    FinishDither(f);
    task->progress = f->GetProgress();
    PostProgress(f);
}

void RethinkLayeredFractal(Fractal* f)
{
    DWORD code = Guarded([&] { CompositeLayeredFractal(f); }, &IsSoftwareException);
    if (code == 0 || code == EXCEPTION_STOP_THREAD)
        return;
    char location[200];
    snprintf(location, sizeof location, "RethinkLayeredFractal Type=%d Name=%s", f->header->Type, f->name);
    ReportSoftwareFailure(code, location);
}

void NotifyLayeredParent(Fractal* f, int r0, int r1, int r2, int r3)
{
    Fractal* parent = f->baseFractal;
    Layer* layer = f->layer;
    if (!parent || parent == f || parent->header->Type != FT_LAYERED || !layer || !f->task || !layer->autoUpdate)
        return;
    if (parent->busyLock)
        parent->busyLock->Lock();
    if (parent->task && parent->task->window) {
        int c = (int)layer->bottomOffset;
        int height = parent->header->Height;
        Dirty().Mark(parent, r0 + c, r1 + c, height);
        Dirty().Mark(parent, r2 + c, r3 + c, height);
    }
    if (parent->busyLock)
        parent->busyLock->Unlock();
    if (parent->pendingLayerNotices > 0)
        return;
    ++parent->pendingLayerNotices;
    if (f->header->Type == FT_ATTRACTOR && parent->task)
        parent->task->layerUpdateCount = 1000;
    PostToMainFrame(UM_LAYER_LINES_DONE, reinterpret_cast<WPARAM>(parent), 0);
}

bool LayeredRowDirty(Fractal* layered, int row, bool clear)
{
    return Dirty().Test(layered, row, clear);
}

namespace {
// Layers report their rows here whenever layered fractals can be calculated.
struct LayeredBinding {
    LayeredBinding()
    {
        g_NotifyLayeredParent = &NotifyLayeredParent;
        g_TaskHooks.rethinkLayered = &RethinkLayeredFractal;
    }
} g_LayeredBinding;
}  // namespace
