// The calculator of quaternion fractals on the fractal's calculation
// thread: builds the 4D slice basis, compiles the formulas once for every
// worker, starts the ray-marching workers, gathers their tiles into a
// preview and, when the run was not stopped, runs the post passes and the
// full recolouring. No worker thread outlives a calculation.
#pragma once

class Fractal;

// A positive count replaces processors + 1 as the number of workers
// (spxcalc --workers, tests); at most 32.
extern int g_QuaternionWorkers;

// processors + 1, or the injected count when positive; 1..32.
int QuaternionWorkerCount(int processors, int injected);

// Rows of the orthonormal 4D basis of a slice: row 0 the unit normal
// (a Normal_k below 1e-7 in size taken as 1e-8), rows 1..3 Gram-Schmidt of
// the first three axes against it; components below 1e-6 become 0.
void BuildSliceBasis(double normalR, double normalI, double normalJ, double normalK, double basis[4][4]);

// The orbit buffer of a worker: (maxIter + 10) x 64 bytes. False when the
// size does not fit 32 bits (or maxIter is negative).
bool OrbitBufferSize(int maxIter, unsigned* bytes);

// Columns left..right, rows top..bottom. 0 finished (post passes and the
// recolouring ran); 1 a formula or transformation is missing or does not
// compile (the reason stamped into the image); 2 not enough memory;
// 3 stopped by a command (no completion is claimed).
int CalculateQuaternion(Fractal* fractal, int left, int top, int right, int bottom);

// CalculateQuaternion under the exception guard, the calculator of the
// calculation thread's dispatch: after an exception every started worker is
// joined, the failure reported and 2 returned (a stop request gives 3 and no
// report).
int CalculateQuaternionGuarded(Fractal* fractal, int left, int top, int right, int bottom);

// The recolouring under the exception guard: a stop request is swallowed,
// any other exception is reported as "RethinkQuat Type=%d Name=%s".
void RethinkQuat(Fractal* fractal);

// What the last CalculateQuaternion did (tools read it): rays marched,
// pixels guessed, worker count, and the milliseconds from the first worker's
// start to the last tile (set-up and post passes left out).
struct QuaternionStatistics {
    long long rays;
    long long guessed;
    int workers;
    unsigned long marchMs;
};
extern QuaternionStatistics g_QuaternionStatistics;
