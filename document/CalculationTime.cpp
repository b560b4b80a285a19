// Calculation times, progress and state. Time stamps are tick counts kept
// in ints with -1 for "none"; every difference is taken unsigned, so a tick
// count past 2^31 (stored negative) still measures right.
#include "document/Fractal.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "document/Layers.h"

namespace {

const int NO_TIME = -1;

// A tick count as a stamp: the one tick count that looks like "none" is
// taken one millisecond early.
int Stamp()
{
    DWORD now = g_TickCount();
    return now == 0xFFFFFFFFu ? (int)0xFFFFFFFEu : (int)now;
}

unsigned Since(int stamp)
{
    return (unsigned)g_TickCount() - (unsigned)stamp;
}

// Measured time of one fractal: finished, extra + end - paused - start;
// running, now - paused - start.
int OwnCalculationTime(const FractalHeader& h)
{
    if (h.CalcStart == NO_TIME)
        return 0;
    unsigned paused = (unsigned)h.PausedTime;
    if (h.CalcEnd != NO_TIME)
        return (int)((unsigned)h.ExtraTime + ((unsigned)h.CalcEnd - (unsigned)h.CalcStart) - paused);
    return (int)(Since(h.CalcStart) - paused);
}

bool IsLayered(const Fractal* f)
{
    return f->header->Type == FT_LAYERED && f->typeParameters;
}

// Every layer's fractal has a task that has calculated its image (and its
// 3D view when that is on).
bool AllLayersCalculated(const Fractal* f)
{
    bool all = true;
    ForEachLayerFractal(f, [&](Fractal* layer) {
        int needed = layer->header->Dims ? CS_3D_DONE : CS_IMAGE_DONE;
        if (!layer->task || layer->task->calculationState < needed)
            all = false;
    });
    return all;
}

}  // namespace

void Fractal::SetTimeStamp(int kind, int* out)
{
    switch (kind) {
    case 1:
        header->CalcStart = Stamp();
        header->PausedTime = 0;
        header->CalcEnd = NO_TIME;
        header->ExtraTime = NO_TIME;
        break;
    case 2:
        header->CalcEnd = Stamp();
        header->ExtraTime = 0;
        break;
    case 3:
        if (out) {
            out[0] = Stamp();
            out[1] = 0;
        }
        break;
    default:
        break;
    }
}

int Fractal::GetCalculationTime() const
{
    if (!typeParameters || !task)
        return 0;
    if (!IsLayered(this))
        return OwnCalculationTime(*header);
    int sum = 0;
    ForEachLayerFractal(this, [&](Fractal* layer) { sum += layer->GetCalculationTime(); });
    return sum;
}

double Fractal::GetProgress() const
{
    if (!task)
        return 0.0;
    if (!IsLayered(this))
        return task->progress;
    double sum = 0.0;
    int total = 0;
    ForEachLayerFractal(this, [&](Fractal* layer) {
        if (!layer->task || layer->task->progress <= 0.0)
            return;
        int t = layer->GetCalculationTime();
        sum += t;
        total += (int)(t / layer->task->progress);
    });
    return total == 0 ? 0.0 : sum / total;
}

int Fractal::GetEstimatedCalculationTime() const
{
    if (!typeParameters)
        return 0;
    if (IsLayered(this)) {
        int sum = 0;
        ForEachLayerFractal(this, [&](Fractal* layer) { sum += layer->GetEstimatedCalculationTime(); });
        return sum;
    }
    if (header->CalcStart == NO_TIME)
        return 0;
    if (header->CalcEnd != NO_TIME)
        return OwnCalculationTime(*header);
    double p = GetProgress();
    if (p < 0.001)
        p = 1.0;
    return (int)(Since(header->CalcStart) / p) - (int)((unsigned)header->PausedTime / p);
}

void Fractal::SetCalculationState(int state)
{
    if (!task)
        return;
    switch (header->Type) {
    case FT_QUATERNION: state = state == 1 || state == 2 ? CS_3D_DONE : CS_COMPLETE; break;
    case FT_ATTRACTOR: state = state == 1 || state == 2 ? CS_IMAGE_DONE : CS_COMPLETE; break;
    case FT_LAYERED:
        if (typeParameters && !AllLayersCalculated(this))
            state = CS_NONE;
        break;
    default: break;
    }
    task->calculationState = state;
}
