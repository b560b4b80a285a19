// The point workers of an attractor calculation: each runs the attractor
// program on its own variable block, one batch of 1,024 iterations at a
// time, while the calling thread accumulates the finished batches. Every
// wait is 1 ms at most and reads the stop question, and no worker thread
// outlives RunAttractorPointWorkers.
#pragma once

#include <stdint.h>

// At most this many point workers (and as many pixel workers).
enum { ATTRACTOR_MAX_WORKERS = 32 };

// The number of workers: processors + 1, at most 32; a positive
// injected count (spxcalc --workers, tests) replaces it (also at most 32).
int AttractorWorkerCount(int processors, int injected);
// The two random seeds of worker i from a tick count: seed shifted left and
// shifted right (unsigned) by i mod 32.
void AttractorWorkerSeeds(uint32_t seed, int worker, uint32_t out[2]);

// One worker's batch state.
struct AttractorPointWork {
    uint8_t* base = nullptr;          // its variable block
    const void* program = nullptr;    // the attractor program
    int batchPoints = 0;              // records of the last batch
    int invalidBatches = 0;           // batches that set the invalid-operation flag
    int restarts = 0;                 // orbits restarted after escaping
    uint32_t restartState = 1;        // generator of the restart points
    int faults = 0;                   // batches ended by an exception
};

// One batch on the calling thread: runs the program in a fresh x87 state
// under the exception guard (a fault loses the batch, counted in faults),
// counts a batch that raised the invalid-operation flag, and restarts an
// orbit whose point became NaN or infinite at a random point of [-1, 1]³
// (z and the orbit point alike). Answers the records written.
int IterateAttractorBatch(AttractorPointWork* work);

struct AttractorRunHooks {
    void* context = nullptr;
    // Whether a command is pending (the stop question); read after every wait.
    bool (*commandPending)(void* context) = nullptr;
    // Takes one finished batch (records 128 bytes apart).
    void (*accumulate)(void* context, const uint8_t* records, int count) = nullptr;
    // Composes the image from what was accumulated (may be null).
    void (*refresh)(void* context, double points) = nullptr;
    // Milliseconds since some start (GetTickCount when null): refreshes come
    // after 500 ms, then after half as long again each time.
    uint32_t (*now)(void* context) = nullptr;
};

// Runs count workers until points reaches target or a command is pending.
// A fresh run (points 0) first runs one warm-up batch per worker on the
// calling thread and discards its records. Answers the points accumulated
// (starting from points); *stopped tells whether a command ended it.
double RunAttractorPointWorkers(AttractorPointWork* work, int count, double points, double target,
                                const AttractorRunHooks& hooks, bool* stopped);
