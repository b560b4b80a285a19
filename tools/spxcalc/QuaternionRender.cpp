// The quaternion branch of spxcalc render: the worker count goes into the
// calculator's injected setting, the calculation runs through the task's
// thread (stoppable after a time), then the shaded image, the depth plane
// and the statistics are written from the task's buffers.
#include "tools/spxcalc/QuaternionRender.h"

#include <stdio.h>

#include "calc/FractalTask.h"
#include "calc/task/TaskLifecycle.h"
#include "document/Fractal.h"
#include "files/image/ImageWrite.h"
#include "fractals/quaternion/CalculateQuaternion.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {

FILE* OpenOut(const char* path, const char* mode)
{
    FILE* file = fopen(path, mode);
    if (!file)
        fprintf(stderr, "spxcalc render: cannot write %s\n", path);
    return file;
}

bool WriteShadedBgr(const Fractal* f, const char* path)
{
    const FractalTask* t = f->task;
    if (!t->image3D) {
        fprintf(stderr, "spxcalc render: the fractal has no shaded image\n");
        return false;
    }
    FILE* file = OpenOut(path, "wb");
    if (!file)
        return false;
    size_t stride = (size_t)f->GetImageStride();
    for (int y = 0; y < f->header->Height; ++y)
        fwrite(t->image3D + y * stride * 3, 3, (size_t)f->header->Width, file);
    fclose(file);
    return true;
}

}  // namespace

bool WriteQuaternionDepth(const Fractal* f, const char* path)
{
    const Array2D* plane = f->task ? f->task->plane0 : nullptr;
    if (!plane || !plane->IsAllocated()) {
        fprintf(stderr, "spxcalc render: the fractal has no depth plane\n");
        return false;
    }
    FILE* file = OpenOut(path, "w");
    if (!file)
        return false;
    const float* depth = static_cast<const float*>(plane->data);
    int rows = f->header->Height < plane->height ? f->header->Height : plane->height;
    int columns = f->header->Width < plane->width ? f->header->Width : plane->width;
    for (int y = rows - 1; y >= 0; --y) {
        for (int x = 0; x < columns; ++x) {
            float d = depth[(size_t)y * plane->width + x];
            if (x)
                fputc(' ', file);
            if (d < 0)
                fputs("-1", file);
            else
                fprintf(file, "%.10g", (double)d);
        }
        fputc('\n', file);
    }
    fclose(file);
    return true;
}

int RenderQuaternion(Fractal* f, const QuaternionRenderRequest& r)
{
    if (r.workers < 0 || r.workers > 32) {
        fprintf(stderr, "spxcalc render: --workers takes 1 to 32 (not %d)\n", r.workers);
        return 2;
    }
    g_QuaternionWorkers = r.workers;
    ThreadRun run;
    if (!RunThreadCalculation(f, r.stopAfter, &run)) {
        FlushRenderMessages();
        fprintf(stderr, "spxcalc render: no task for the fractal\n");
        return 1;
    }
    bool written = true;
    if (r.dumpDepth)
        written &= WriteQuaternionDepth(f, r.dumpDepth);
    if (r.dumpBgr)
        written &= WriteShadedBgr(f, r.dumpBgr);
    if (r.png && !SaveFractalPng(f, r.png, true, nullptr)) {
        fprintf(stderr, "spxcalc render: cannot write %s (error %d)\n", r.png, (int)WorkerErrorCode);
        written = false;
    }
    if (r.stats)
        printf("rays=%lld guessed=%lld ms=%lu\n", g_QuaternionStatistics.rays, g_QuaternionStatistics.guessed,
               run.ms);
    // The stop is sent as soon as --stop-after has passed: the rest of the
    // run is the time the calculation took to answer it.
    if (r.stopAfter >= 0 && run.result == 3)
        printf("stop_ms=%ld\n", (long)run.ms - r.stopAfter);
    FlushRenderMessages();
    if (run.criticalBoxes)
        fprintf(stderr, "spxcalc render: %d Critical Error boxes\n", run.criticalBoxes);
    DeleteFractalTask(f, 1, 0, 0);
    printf("result=%d\n", run.result);
    fflush(stdout);
    if (run.result == 0 || run.result == 3)
        return written ? 0 : 2;
    return 1;
}
