// Point workers of the attractor: the batch with its orbit restart, and the
// hand-over loop between the workers and the accumulating thread. A worker
// owns its block and records while workerDone is 0; the accumulating
// thread reads them only when it is 1 and hands the slot back by clearing
// it and signalling the worker's wake event.
#include "fractals/attractor/AttractorWorkers.h"

#include <windows.h>
#include <math.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "foundation/Guard.h"
#include "foundation/Thread.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"

int AttractorWorkerCount(int processors, int injected)
{
    int n = injected > 0 ? injected : processors + 1;
    if (n < 1)
        n = 1;
    return n > ATTRACTOR_MAX_WORKERS ? ATTRACTOR_MAX_WORKERS : n;
}

void AttractorWorkerSeeds(uint32_t seed, int worker, uint32_t out[2])
{
    int shift = worker % 32;
    out[0] = seed << shift;
    out[1] = seed >> shift;
}

namespace {

double NextRestart(uint32_t* state)
{
    *state = *state * 214013u + 2531011u;
    int r = (int)((*state >> 16) & 0x7FFF);
    return 2.0 * r / 32767.0 - 1.0;
}

void RunBatch(void* p)
{
    AttractorPointWork* work = static_cast<AttractorPointWork*>(p);
    uint16_t status = 0;
    work->batchPoints = RunAttractorProgram(work->program, work->base, &status);
    if (status & 1)
        work->invalidBatches++;
}

// The slot's work: state 1 runs a batch; 3 and 4 only acknowledge.
void PointWorkerBatch(WorkerSlot* slot)
{
    if (slot->workerState != 1)
        return;
    AttractorPointWork* work;
    memcpy(&work, slot->calculatorArea, sizeof work);
    IterateAttractorBatch(work);
}

DWORD PointWorkerThread(Thread* thread)
{
    RunWorkerLoop(static_cast<WorkerSlot*>(thread->userData), &PointWorkerBatch);
    return 0;
}

uint32_t Now(const AttractorRunHooks& hooks)
{
    return hooks.now ? hooks.now(hooks.context) : GetTickCount();
}

bool Pending(const AttractorRunHooks& hooks)
{
    return hooks.commandPending && hooks.commandPending(hooks.context);
}

}  // namespace

int IterateAttractorBatch(AttractorPointWork* work)
{
    work->batchPoints = 0;
    if (RunGuarded(&RunBatch, work) != 0) {
        work->faults++;
        work->batchPoints = 0;
    }
    double orbit[3];
    memcpy(orbit, work->base + AV_Z_TEMP, sizeof orbit);
    if (!isfinite(orbit[0]) || !isfinite(orbit[1]) || !isfinite(orbit[2])) {
        for (int k = 0; k < 3; k++)
            orbit[k] = NextRestart(&work->restartState);
        memcpy(work->base + AV_Z_TEMP, orbit, sizeof orbit);
        memcpy(work->base + AV_Z, orbit, sizeof orbit);
        work->restarts++;
    }
    return work->batchPoints;
}

double RunAttractorPointWorkers(AttractorPointWork* work, int count, double points, double target,
                                const AttractorRunHooks& hooks, bool* stopped)
{
    if (stopped)
        *stopped = false;
    if (count < 1)
        return points;
    if (count > ATTRACTOR_MAX_WORKERS)
        count = ATTRACTOR_MAX_WORKERS;
    if (points == 0)
        for (int i = 0; i < count; i++)
            IterateAttractorBatch(&work[i]);

    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WorkerSlot slots[ATTRACTOR_MAX_WORKERS];
    memset(slots, 0, sizeof slots);
    for (int i = 0; i < count; i++) {
        WorkerSlot& s = slots[i];
        AttractorPointWork* w = &work[i];
        memcpy(s.calculatorArea, &w, sizeof w);
        s.doneEvent = done;
        s.wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        s.workerIndex = i;
        s.workerState = 1;
        s.workerDone = 0;
        s.thread = new Thread(&PointWorkerThread, &s, true, 0);
    }

    uint32_t t0 = Now(hooks), interval = 500;
    bool pending = Pending(hooks);
    while (points < target && !pending) {
        WaitForSingleObject(done, 1);
        for (int i = 0; i < count; i++) {
            WorkerSlot& s = slots[i];
            if (!s.workerDone)
                continue;
            if (hooks.accumulate && work[i].batchPoints > 0) {
                const uint8_t* records;
                memcpy(&records, work[i].base + AV_POINT_BUFFER, sizeof records);
                hooks.accumulate(hooks.context, records, work[i].batchPoints);
            }
            points += work[i].batchPoints;
            s.workerDone = 0;
            SetEvent(s.wakeEvent);
        }
        pending = Pending(hooks);
        if (!pending && hooks.refresh && Now(hooks) - t0 > interval) {
            hooks.refresh(hooks.context, points);
            t0 = Now(hooks);
            interval += interval / 2;
        }
    }

    // Stop every worker, then join each: its thread has ended before its
    // block, records or slot can go. (Waiting for workerDone alone could
    // miss a worker that set it just before the state changed.)
    for (int i = 0; i < count; i++) {
        slots[i].workerState = WORKER_QUIT;
        SetEvent(slots[i].wakeEvent);
    }
    for (int i = 0; i < count; i++) {
        while (slots[i].thread->handle && WaitForSingleObject(slots[i].thread->handle, 1) == WAIT_TIMEOUT)
            SetEvent(slots[i].wakeEvent);
        delete slots[i].thread;
        slots[i].thread = nullptr;
        CloseHandle(slots[i].wakeEvent);
    }
    CloseHandle(done);
    if (stopped)
        *stopped = pending;
    return points;
}
