// The attractor calculation's preview step. The points come from worker 0's
// own block switched to 3D records (save_pixel); a map whose points are all
// hidden ends the gathering after a bounded number of empty batches. The
// frame is drawn into an offscreen context (a 32-bit DIB section) and read
// back into the task's image, so the window shows it through its ordinary
// painting, whichever thread runs the calculation.
#include "fractals/attractor/CalculationPreview.h"

#include <string.h>

#include "calc/FractalTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorWorkers.h"
#include "fractals/attractor/Preview.h"
#include "view3d/OpenGLRenderer.h"

namespace {

// Batches in a row without a single point after which the gathering ends.
const int kEmptyBatches = 64;

struct WorkerSource {
    FractalTask* task;
    AttractorPointWork work;
    bool ownColours;
    int empty;
};

uint8_t ColourByte(float c)
{
    float v = c * 255;
    return v >= 255 ? 255 : v > 0 ? (uint8_t)v : 0;
}

int NextSamples(void* context, PreviewSample* out, int capacity)
{
    WorkerSource* s = static_cast<WorkerSource*>(context);
    while (!CommandPending(s->task)) {
        int n = IterateAttractorBatch(&s->work);
        if (n <= 0) {
            if (++s->empty >= kEmptyBatches)
                return 0;
            continue;
        }
        s->empty = 0;
        const uint8_t* records;
        memcpy(&records, s->work.base + AV_POINT_BUFFER, sizeof records);
        int count = n < capacity ? n : capacity;
        for (int i = 0; i < count; ++i) {
            AttractorSpaceRecord r;
            memcpy(&r, records + (size_t)i * ATTRACTOR_RECORD_SIZE, sizeof r);
            PreviewSample& p = out[i];
            p.x = r.point[0];
            p.y = r.point[1];
            p.z = r.point[2];
            p.index = r.index;
            p.red = s->ownColours ? ColourByte(r.colour[0]) : 0;
            p.green = s->ownColours ? ColourByte(r.colour[1]) : 0;
            p.blue = s->ownColours ? ColourByte(r.colour[2]) : 0;
        }
        return count;
    }
    return 0;
}

// Draws the cloud into an offscreen context of the image's padded width and
// puts the frame into the image. False when OpenGL gives no context.
bool DrawIntoImage(Fractal* fractal, OpenGLRenderer* renderer, const PreviewSampleSource& source, bool ownColours)
{
    FractalTask* task = fractal->task;
    int stride = fractal->GetImageStride(), height = fractal->header->Height;
    if (!task->imageBits || stride <= 0 || height <= 0)
        return false;
    if (!renderer->bitmapContext || renderer->width != stride || renderer->height != height)
        if (!renderer->Create(stride, height, nullptr))
            return false;
    if (!renderer->MakeCurrent())
        return false;
    bool drawn = BuildAttractorDisplayList(fractal, renderer, source, ownColours) &&
                 renderer->ReadBack(task->imageBits, stride, height);
    renderer->DoneCurrent();
    if (drawn) {
        renderer->previewInImage = 1;
        if (g_TaskHooks.drawImageRows)
            g_TaskHooks.drawImageRows(fractal, 0, height - 1);
    }
    return drawn;
}

}  // namespace

OpenGLRenderer* AttractorRendererOf(Fractal* fractal)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    return task ? static_cast<OpenGLRenderer*>(task->renderer) : nullptr;
}

int ShowAttractorPreview(Fractal* fractal, bool ownColours)
{
    FractalTask* task = fractal->task;
    OpenGLRenderer* renderer = AttractorRendererOf(fractal);
    uint8_t* base = task->workers[0].dataBlock ? task->workers[0].dataBlock->GetBase() : nullptr;
    if (!renderer || !base || !task->codeBuffer)
        return CommandPending(task) ? 3 : 0;
    renderer->drawingAllowed = 0;
    // A recalculation (new formulas, new parameters) marks the renderer's
    // points for rebuilding; a continue or recolour keeps them.
    if (renderer->rebuild[1]) {
        renderer->rebuildPoints = 1;
        renderer->rebuild[1] = 0;
    }
    bool gather = renderer->rebuildPoints || !renderer->cloud.vertices;

    WorkerSource s = {};
    s.task = task;
    s.work.base = base;
    s.work.program = task->codeBuffer->GetData();
    s.ownColours = ownColours;
    PreviewSampleSource source = {&NextSamples, &s};
    if (gather) {
        memset(base + AV_ONCE_TRAFO, 0x80, 4);
        base[AV_PROJECT_FLAG] = 0;
        IterateAttractorBatch(&s.work);   // warm-up: its points are not used
        renderer->rebuildPoints = 1;
    }
    bool drawn = task->window && DrawIntoImage(fractal, renderer, source, ownColours);
    // Without a window (or without OpenGL) the points are still measured:
    // the shadow cameras frame the sphere and followObject looks at it.
    if (!drawn && renderer->rebuildPoints && !CommandPending(task) &&
        MeasureAttractorBounds(fractal, &renderer->cloud, source, ownColours))
        renderer->rebuildPoints = 0;
    base[AV_PROJECT_FLAG] = 1;
    renderer->drawingAllowed = 1;
    return CommandPending(task) ? 3 : 0;
}
