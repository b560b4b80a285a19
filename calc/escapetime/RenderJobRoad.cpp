// The render-job road: a 2D escape-time render job calculates its image
// block row by block row into the job's image store. Every level of a block
// row runs the row calculation over the store's sub-rows at that level's
// step, colours the new samples, and lets the store settle the blocks whose
// corners agree; RenderJob::CalculateRows reduces, writes and checkpoints.
#include "calc/escapetime/RenderJobRoad.h"

#include <math.h>

#include "calc/FractalTask.h"
#include "calc/colour/ColourMapping.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/escapetime/PredefinedVariables.h"
#include "calc/task/FractalThread.h"
#include "document/Fractal.h"
#include "files/renderjob/ImageStore.h"
#include "files/renderjob/RenderJob.h"

namespace {

struct RoadState {
    Fractal* fractal;
    LineContext* context;
};

// Colours the samples of sub-row j from column first in steps of step. The
// mapping reads the row bounds from the header, so for the call the header
// is widened to the supersampled row (samples columns).
void ColourSubRow(Fractal* f, ImageStore* store, int j, int first, int step)
{
    int samples = store->SamplesPerSubRow();
    int savedWidth = f->header->Width;
    f->header->Width = samples;
    MapEscapeTimeValues(f, first, reinterpret_cast<float*>(store->secondValues[j]), store->flags[j],
                        store->colours[j], nullptr, samples - 1 - first, 1, step, store->firstValues[j] + first,
                        nullptr, 0, 0);
    f->header->Width = savedWidth;
}

bool CalculateSamples(void* opaque, const SampleRequest& request)
{
    RoadState* state = static_cast<RoadState*>(opaque);
    LineContext* c = state->context;
    ImageStore* store = request.store;
    c->x0 = request.firstColumn;
    c->x1 = store->SamplesPerSubRow() - 1;
    c->step = request.step;
    for (int j = request.firstSubRow; j < request.endSubRow; j += request.step) {
        c->flags = store->flags[j];
        c->cells = store->thirdValues[j];
        // The store's second value row holds the calculation's float values.
        c->values = reinterpret_cast<float*>(store->secondValues[j]);
        c->row = request.firstLine + j;
        if (CalculateLineGuarded(c) != 0)
            return false;
        ColourSubRow(state->fractal, store, j, request.firstColumn, request.step);
    }
    return true;
}

// Polled before every block row: a command ends the road with a checkpoint.
bool CommandArrived(void* opaque)
{
    RoadState* state = static_cast<RoadState*>(opaque);
    if (g_RenderJobRowGate)
        g_RenderJobRowGate(state->fractal);
    return state->fractal->task && CommandPending(state->fractal->task);
}

// The job's base and effective depth while it anti-aliases.
bool JobAntiAliasing(const Fractal* fractal, int* threeByThree, int* depth)
{
    RenderJob* job = fractal->renderJob;
    if (!job || !job->antiAliasing)
        return false;
    *threeByThree = job->base3 ? 1 : 0;
    *depth = job->GetEffectiveDepth(const_cast<Fractal*>(fractal));
    return true;
}

}  // namespace

void (*g_RenderJobRowGate)(Fractal* fractal) = nullptr;

int CalculateRenderJobRoad(Fractal* f, LineContext* context, int, int, int, int)
{
    RenderJob* job = f->renderJob;
    if (!job)
        return 2;
    int threeByThree = 0, depth = 0;
    int s = 1;
    if (JobAntiAliasing(f, &threeByThree, &depth))
        s = (int)floor(pow(threeByThree ? 3.0 : 2.0, depth) + 0.5);
    // The context describes the supersampled image.
    context->height = f->header->Height * s;
    RoadState state = {f, context};
    int result = job->CalculateRows(f, CalculateSamples, &state, CommandArrived, &state);
    if (result == JR_DONE)
        return 0;
    if (result == JR_INTERRUPTED)
        return 3;
    return 2;
}

void InstallRenderJobRoad()
{
    g_RenderJobRoad = CalculateRenderJobRoad;
    g_JobSampleSource = CalculateSamples;
    g_RenderJobAntiAliasing = JobAntiAliasing;
}
