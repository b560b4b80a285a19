// spxcalc bench --type attractor: how fast the attractor's point workers
// produce points, with one worker and with processors + 1 (or --workers N),
// the set-up (compile, assembly, binding) left out.
//
//   attractor map=unitcube workers=1 points=N ms=T points_per_s=X
//   attractor map=unitcube workers=W points=N ms=T points_per_s=Y ratio=Y/X
// The map is the shipped "unitcube" of AttractorConstructor.sfm, or
// --entry NAME of FILE (or --file FILE; a formula file of the search path); every
// point is accumulated into a density plane on the calling thread, as a
// calculation does, so the ratio shows what the serial accumulation allows.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/escapetime/PixelRoutine.h"
#include "compiler/CodeTemplate.h"
#include "compiler/CompileHost.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaLookup.h"
#include "formulas/FormulaNode.h"
#include "fractals/attractor/AttractorBinding.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "fractals/attractor/AttractorWorkers.h"
#include "fractals/attractor/UnitCube.h"
#include "tools/spxcalc/Commands.h"
#include "tools/spxcalc/RenderSupport.h"

namespace {


struct Density {
    std::vector<float> cells = std::vector<float>(64 * 64, 0);
    double points = 0;
};

void AccumulateSpace(void* context, const uint8_t* records, int count)
{
    Density* d = static_cast<Density*>(context);
    for (int n = 0; n < count; n++) {
        AttractorSpaceRecord r;
        memcpy(&r, records + n * ATTRACTOR_RECORD_SIZE, sizeof r);
        int x = (int)((r.point[0] + 2) * 16), y = (int)((r.point[1] + 2) * 16);
        if (x >= 0 && x < 64 && y >= 0 && y < 64)
            d->cells[y * 64 + x] += 1;
    }
    d->points += count;
}

struct Run {
    double points = 0;
    DWORD ms = 0;
};

Run Measure(const void* program, AttractorParameters* block, int workers, double target)
{
    std::vector<std::vector<uint8_t>> memory(workers, std::vector<uint8_t>(16000, 0));
    std::vector<std::vector<uint8_t>> records(workers, std::vector<uint8_t>(ATTRACTOR_BATCH * ATTRACTOR_RECORD_SIZE));
    std::vector<std::vector<int32_t>> history(workers, std::vector<int32_t>(ATTRACTOR_HISTORY_SIZE));
    std::vector<AttractorPointWork> work(workers);
    for (int i = 0; i < workers; i++) {
        AttractorBinding b;
        b.block = block;
        b.imageWidth = 320;
        b.imageHeight = 256;
        b.worker = i;
        b.tick = 12345;
        b.history = history[i].data();
        b.pointBuffer = records[i].data();
        uint8_t* base = memory[i].data() + 8000;
        BindAttractorVariables(b, base);
        base[AV_PROJECT_FLAG] = 0;
        work[i].base = base;
        work[i].program = program;
    }
    Density density;
    AttractorRunHooks hooks;
    hooks.context = &density;
    hooks.accumulate = &AccumulateSpace;
    Run run;
    DWORD start = GetTickCount();
    run.points = RunAttractorPointWorkers(work.data(), workers, 0, target, hooks, nullptr);
    run.ms = GetTickCount() - start;
    return run;
}

}  // namespace

int RunAttractorBench(int argc, char** argv)
{
    const char* path = nullptr;
    const char* file = "AttractorConstructor.sfm";
    const char* entry = "unitcube";
    int workers = 0;
    double target = 2000000;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--type") == 0 && i + 1 < argc) {
            ++i;
        } else if (strcmp(argv[i], "--path") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else if (strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            file = argv[++i];
        } else if (argv[i][0] != '-') {
            file = argv[i];
        } else if (strcmp(argv[i], "--entry") == 0 && i + 1 < argc) {
            entry = argv[++i];
        } else if (strcmp(argv[i], "--workers") == 0 && i + 1 < argc) {
            workers = atoi(argv[++i]);
        } else if (strcmp(argv[i], "--points") == 0 && i + 1 < argc) {
            target = atof(argv[++i]);
        } else {
            fprintf(stderr, "usage: spxcalc bench --type attractor [--path DIR] [[--file] FILE --entry NAME] "
                            "[--workers N] [--points N]\n");
            return 2;
        }
    }
    LoadRenderFormulaFolders(path);
    InitProcessorFeatures();
    fixupTemplates();

    FormulaHolder holder(FK_ITERATION);
    char fileName[100];
    char foundName[64] = "";
    snprintf(fileName, sizeof fileName, "%s", file);
    LookupFormula(nullptr, 18, fileName, sizeof fileName, entry, foundName, &holder);
    if (strncmp(foundName, "Not Found", 9) == 0 || !holder.GetSource()) {
        fprintf(stderr, "spxcalc bench: %s not found in %s (%s)\n", entry, file, foundName);
        return 2;
    }
    AttractorCompileHost host;
    NodeList parameters, functionSlots, functions;
    if (!holder.compiler->compile(holder.GetSource(), 4096, -128, &parameters, &functionSlots, &host, entry,
                                  11, nullptr, false, false)) {
        fprintf(stderr, "spxcalc bench: %s does not compile\n", entry);
        return 1;
    }
    holder.compiler->takeFunctions(&functions);
    AttractorProgramInput in;
    in.maps.resize(1);
    in.maps[0].transformations.push_back(FindAttractorPieces(&functions));
    GrowBuffer code(0, true);
    if (!in.maps[0].transformations[0].loop || !AssembleAttractorProgram(&code, in)) {
        fprintf(stderr, "spxcalc bench: %s has no loop to run\n", entry);
        return 1;
    }
    AttractorParameters block(nullptr);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    int many = AttractorWorkerCount((int)info.dwNumberOfProcessors, workers);

    Run one = Measure(code.GetData(), &block, 1, target);
    Run all = Measure(code.GetData(), &block, many, target);
    double rateOne = one.points * 1000.0 / (one.ms ? one.ms : 1);
    double rateAll = all.points * 1000.0 / (all.ms ? all.ms : 1);
    printf("attractor map=%s workers=1 points=%.0f ms=%lu points_per_s=%.0f\n", entry, one.points,
           (unsigned long)one.ms, rateOne);
    printf("attractor map=%s workers=%d points=%.0f ms=%lu points_per_s=%.0f ratio=%.2f\n", entry, many, all.points,
           (unsigned long)all.ms, rateAll, rateAll / rateOne);
    functions.DeleteAllNodes();
    return 0;
}
