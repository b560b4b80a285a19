// spxcalc bench: how fast escape-time fractals calculate, in one thread,
// the set-up (compiles and assembly) left out, best of three runs.
//
//   loop size=640x480 maxiter=1000 iterations=N routine_ips=X cpp_ips=Y ratio=R counts=equal
//     the default view with MaxIter 1000, one pass, no elimination, no
//     periodicity check: iterations per second of the assembled routine
//     against a C++ long double loop over the same points; the iteration
//     counts of both must be equal ("counts=differ" fails, exit 1).
//   default size=640x480 maxiter=150 evaluations=C brute_evaluations=P reduction=P/C speedup=T
//     the default settings (passes, elimination, periodicity) against one
//     pass without elimination and periodicity: pixels evaluated and time.
// --path DIR names formula folders searched before the program's own.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/task/TaskLifecycle.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "tools/spxcalc/Commands.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {

enum { WIDTH = 640, HEIGHT = 480, RUNS = 3 };

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

void SetCalculationFpu()
{
    unsigned short cw = 0x037F;
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
}

struct Timing {
    double seconds = 1e30;      // best calculation time without the set-up
    long long evaluations = 0;
    int result = -1;
};

// Calculates the whole buffer on this thread, the buffers cleared first as
// a recalculation clears them.
Timing Calculate(Fractal* f, int runs)
{
    Timing best;
    FractalTask* t = f->task;
    size_t cells = (size_t)f->GetBufferWidth() * f->header->Height;
    for (int k = 0; k < runs; ++k) {
        memset(t->values, 0, cells * sizeof(float));
        memset(t->flags, 0, cells);
        t->lastCalculateCommand = FTC_RECALCULATE;
        double start = Seconds();
        best.result = CalculateEscapeTime(f, 0, 0, f->header->Width, f->header->Height - 1);
        double seconds = Seconds() - start - g_EscapeTimeStatistics.setupSeconds;
        if (seconds < best.seconds)
            best.seconds = seconds;
        best.evaluations = g_EscapeTimeStatistics.evaluations;
    }
    return best;
}

// The escape-time rule of the default Mandelbrot formula in long double:
// iterations done before |z|^2 reaches 4, maxiter when it never does. The
// formula keeps the pixel in a complex variable, which holds doubles at
// this magnification.
int ReferenceCount(long double pixelRe, long double pixelIm, int maxiter)
{
    volatile double roundedRe = (double)pixelRe, roundedIm = (double)pixelIm;
    long double cr = roundedRe, ci = roundedIm;
    long double zr = 0, zi = 0;
    for (int n = 0; n < maxiter; ++n) {
        // z * z as the compiled square forms it, (x + y)(x - y) with x + y
        // taken as 2y + (x - y), so that both round alike.
        long double difference = zr - zi;
        long double r = (2 * zi + difference) * difference + cr;
        zi = 2 * (zr * zi) + ci;
        zr = r;
        if (zr * zr + zi * zi >= 4)
            return n;
    }
    return maxiter;
}

// Work of a pixel with count n: the escaping step counts too.
long long Work(int count, int maxiter)
{
    return count < maxiter ? count + 1 : maxiter;
}

Fractal* NewBenchFractal(int maxiter, int passes, int eliminate, int periodicity)
{
    Fractal* f = new Fractal(FT_ESCAPETIME, 0);
    f->header->Width = WIDTH;
    f->header->Height = HEIGHT;
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f->typeParameters);
    b->MaxIter = maxiter;
    b->Passes = passes;
    b->Eliminate = eliminate;
    b->Periodicity = periodicity;
    if (PictureToTask(f, 1, 0, 0, 0, 0, 0) != 0 || !f->task)
        return nullptr;
    return f;
}

int LoopLine()
{
    const int maxiter = 1000;
    Fractal* f = NewBenchFractal(maxiter, 0, 0, 0);
    if (!f)
        return 1;
    int bufferWidth = f->GetBufferWidth();
    std::vector<int32_t> counts((size_t)bufferWidth * HEIGHT, 0);
    g_IterationRecord.counts = counts.data();
    g_IterationRecord.stride = bufferWidth;
    Timing routine = Calculate(f, RUNS);
    g_IterationRecord.counts = nullptr;
    if (routine.result != 0) {
        fprintf(stderr, "spxcalc bench: the calculation gave %d %s\n", routine.result,
                g_EscapeTimeStatistics.shownText);
        return 1;
    }

    BigNumber x[3], y[3];
    f->GetViewCorners(x, y);
    long double originRe = (x[0] + x[2] - x[1]).ToExtended(), originIm = (y[0] + y[2] - y[1]).ToExtended();
    double dxc = (x[1] - x[0]).ToDouble() / WIDTH, dyc = (y[1] - y[0]).ToDouble() / WIDTH;
    double dxr = (x[1] - x[2]).ToDouble() / HEIGHT, dyr = (y[1] - y[2]).ToDouble() / HEIGHT;
    std::vector<int32_t> reference(counts.size());
    double best = 1e30;
    for (int k = 0; k < RUNS; ++k) {
        double start = Seconds();
        for (int r = 0; r < HEIGHT; ++r)
            for (int c = 0; c < bufferWidth; ++c) {
                long double re = (long double)c * dxc + (long double)r * dxr + originRe;
                long double im = (long double)c * dyc + (long double)r * dyr + originIm;
                reference[(size_t)r * bufferWidth + c] = ReferenceCount(re, im, maxiter);
            }
        double seconds = Seconds() - start;
        if (seconds < best)
            best = seconds;
    }
    long long iterations = 0;
    int differing = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        iterations += Work(counts[i], maxiter);
        if (counts[i] != reference[i] && differing++ < 5)
            fprintf(stderr, "spxcalc bench: column %d row %d: routine %d, C++ %d\n", (int)(i % bufferWidth),
                    (int)(i / bufferWidth), (int)counts[i], (int)reference[i]);
    }
    bool equal = differing == 0;
    if (!equal)
        fprintf(stderr, "spxcalc bench: %d pixels differ\n", differing);
    double routineIps = iterations / routine.seconds, cppIps = iterations / best;
    printf("loop size=%dx%d maxiter=%d iterations=%lld routine_ips=%.0f cpp_ips=%.0f ratio=%.2f counts=%s\n", WIDTH,
           HEIGHT, maxiter, iterations, routineIps, cppIps, routineIps / cppIps, equal ? "equal" : "differ");
    DeleteFractalTask(f, 1, 0, 0);
    return equal ? 0 : 1;
}

int DefaultLine()
{
    Fractal* settled = NewBenchFractal(150, 2, 2, 3);
    Fractal* brute = NewBenchFractal(150, 0, 0, 0);
    if (!settled || !brute)
        return 1;
    Timing withDefaults = Calculate(settled, RUNS);
    Timing everyPixel = Calculate(brute, RUNS);
    if (withDefaults.result != 0 || everyPixel.result != 0 || withDefaults.evaluations == 0)
        return 1;
    printf("default size=%dx%d maxiter=150 evaluations=%lld brute_evaluations=%lld reduction=%.2f speedup=%.2f\n",
           WIDTH, HEIGHT, withDefaults.evaluations, everyPixel.evaluations,
           (double)everyPixel.evaluations / withDefaults.evaluations, everyPixel.seconds / withDefaults.seconds);
    DeleteFractalTask(settled, 1, 0, 0);
    DeleteFractalTask(brute, 1, 0, 0);
    return 0;
}

}  // namespace

int RunBenchCommand(int argc, char** argv)
{
    for (int i = 0; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--type") == 0 && strcmp(argv[i + 1], "attractor") == 0)
            return RunAttractorBench(argc, argv);
    for (int i = 0; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--type") == 0 && strcmp(argv[i + 1], "quaternion") == 0)
            return RunQuaternionBench(argc, argv);
    const char* path = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--path") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else {
            fprintf(stderr, "usage: spxcalc bench [--path DIR]\n");
            return 2;
        }
    }
    LoadRenderFormulaFolders(path);
    SetCalculationFpu();
    int rc = LoopLine();
    fflush(stdout);
    if (DefaultLine() != 0)
        rc = 1;
    fflush(stdout);
    FlushRenderMessages();
    return rc;
}
