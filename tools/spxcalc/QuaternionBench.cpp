// spxcalc bench --type quaternion: how fast the quaternion workers march
// rays, with one worker and with processors + 1 (or --workers N), timed from
// the first worker's start to the last tile (compiles, the post passes and
// the recolouring left out).
//
//   quaternion entry=NAME size=WxH workers=1 rays=N ms=T rays_per_s=X
//   quaternion entry=NAME size=WxH workers=W rays=N ms=T rays_per_s=Y ratio=Y/X
// The fractal is the default quaternion of a new fractal, or FILE --entry
// NAME; --size WxH sets the image (default 160x120).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "calc/task/TaskLifecycle.h"
#include "document/Fractal.h"
#include "fractals/quaternion/CalculateQuaternion.h"
#include "tools/spxcalc/Commands.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {

struct Timing {
    long long rays = 0;
    unsigned long ms = 0;
    int result = -1;
};

// One calculation of a fresh fractal with count workers.
Timing Measure(const char* file, const char* entry, int width, int height, int count)
{
    Timing t;
    Fractal* f = nullptr;
    if (file) {
        std::string error;
        if (ReadRenderEntry(file, entry, &f, error) != 0) {
            fprintf(stderr, "spxcalc bench: %s\n", error.c_str());
            return t;
        }
    } else {
        f = new Fractal(FT_QUATERNION, 0);
    }
    f->header->Width = width;
    f->header->Height = height;
    g_QuaternionWorkers = count;
    ThreadRun run;
    if (RunThreadCalculation(f, -1, &run)) {
        t.result = run.result;
        t.rays = g_QuaternionStatistics.rays;
        t.ms = g_QuaternionStatistics.marchMs;
        DeleteFractalTask(f, 1, 0, 0);
    }
    return t;
}

}  // namespace

int RunQuaternionBench(int argc, char** argv)
{
    const char* path = nullptr;
    const char* file = nullptr;
    const char* entry = nullptr;
    int workers = 0, width = 160, height = 120;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        bool value = i + 1 < argc;
        if (strcmp(a, "--type") == 0 && value) {
            ++i;
        } else if (strcmp(a, "--path") == 0 && value) {
            path = argv[++i];
        } else if (strcmp(a, "--entry") == 0 && value) {
            entry = argv[++i];
        } else if (strcmp(a, "--workers") == 0 && value) {
            workers = atoi(argv[++i]);
        } else if (strcmp(a, "--size") == 0 && value && sscanf(argv[i + 1], "%dx%d", &width, &height) == 2 &&
                   width > 0 && height > 0) {
            ++i;
        } else if (a[0] != '-' && !file) {
            file = a;
        } else {
            fprintf(stderr, "usage: spxcalc bench --type quaternion [FILE --entry NAME] [--path DIR] "
                            "[--workers N] [--size WxH]\n");
            return 2;
        }
    }
    if (!file != !entry) {
        fprintf(stderr, "spxcalc bench: FILE and --entry go together\n");
        return 2;
    }
    LoadRenderFormulaFolders(path);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    int many = QuaternionWorkerCount((int)info.dwNumberOfProcessors, workers);
    Timing one = Measure(file, entry, width, height, 1);
    Timing all = Measure(file, entry, width, height, many);
    g_QuaternionWorkers = 0;
    FlushRenderMessages();
    if (one.result != 0 || all.result != 0) {
        fprintf(stderr, "spxcalc bench: the calculation gave %d and %d\n", one.result, all.result);
        return 1;
    }
    const char* name = entry ? entry : "default";
    double rateOne = one.rays * 1000.0 / (one.ms ? one.ms : 1);
    double rateAll = all.rays * 1000.0 / (all.ms ? all.ms : 1);
    printf("quaternion entry=%s size=%dx%d workers=1 rays=%lld ms=%lu rays_per_s=%.0f\n", name, width, height, one.rays,
           one.ms, rateOne);
    printf("quaternion entry=%s size=%dx%d workers=%d rays=%lld ms=%lu rays_per_s=%.0f ratio=%.2f\n", name, width,
           height, many, all.rays, all.ms, rateAll, rateAll / rateOne);
    fflush(stdout);
    return 0;
}
