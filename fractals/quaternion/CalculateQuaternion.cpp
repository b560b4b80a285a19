// The quaternion calculator on the fractal's calculation thread: the slice
// basis, the compiles (transformations per worker, then the colouring and
// the iteration formula into one data block), the binding of every worker's
// blocks, the workers' threads around the tile loop, and after a finished
// run the automatic values, the occlusion and shadow passes and the full
// recolouring. Workers are joined before anything they use is freed, and
// every wait reads the command word.
#include "fractals/quaternion/CalculateQuaternion.h"

#include <windows.h>
#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <new>
#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTimeRun.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Plot.h"
#include "calc/task/Reports.h"
#include "calc/task/TaskHooks.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/ParameterTransfer.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/FailureReport.h"
#include "foundation/Guard.h"
#include "foundation/LogFile.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"
#include "fractals/quaternion/QuaternionCamera.h"
#include "fractals/quaternion/QuaternionCode.h"
#include "fractals/quaternion/QuaternionMarch.h"
#include "fractals/quaternion/QuaternionOcclusion.h"
#include "fractals/quaternion/QuaternionPost.h"
#include "fractals/quaternion/QuaternionRecolour.h"
#include "fractals/quaternion/QuaternionRun.h"
#include "fractals/quaternion/QuaternionShading.h"
#include "fractals/quaternion/QuaternionTiles.h"

int g_QuaternionWorkers = 0;
QuaternionStatistics g_QuaternionStatistics = {0, 0, 0, 0};

int QuaternionWorkerCount(int processors, int injected)
{
    int n = injected > 0 ? injected : processors + 1;
    if (n < 1)
        n = 1;
    return n > QUATERNION_MAX_WORKERS ? QUATERNION_MAX_WORKERS : n;
}

void BuildSliceBasis(double normalR, double normalI, double normalJ, double normalK, double basis[4][4])
{
    // a slice normal without k component would leave the rows below
    // dependent on the axes chosen as sources
    if (fabs(normalK) < 1e-7)
        normalK = 1e-8;
    const double source[4][4] = {
        {normalR, normalI, normalJ, normalK}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    double u[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 4; ++c)
            u[i][c] = source[i][c];
        // classical Gram-Schmidt: dot products with the source row itself
        for (int j = 0; j < i; ++j) {
            double su = 0, uu = 0;
            for (int c = 0; c < 4; ++c) {
                su += source[i][c] * u[j][c];
                uu += u[j][c] * u[j][c];
            }
            for (int c = 0; c < 4; ++c)
                u[i][c] -= su / uu * u[j][c];
        }
    }
    for (int i = 0; i < 4; ++i) {
        double length = sqrt(u[i][0] * u[i][0] + u[i][1] * u[i][1] + u[i][2] * u[i][2] + u[i][3] * u[i][3]);
        for (int c = 0; c < 4; ++c) {
            double v = u[i][c] / length;
            basis[i][c] = fabs(v) < 1e-6 ? 0.0 : v;
        }
    }
}

bool OrbitBufferSize(int maxIter, unsigned* bytes)
{
    // the routines run with a budget of at least one iteration
    long long entries = (long long)(maxIter < 1 ? 1 : maxIter) + 10;
    long long size = entries * 64;
    if (size > 0x7FFFFFFFLL)
        return false;
    *bytes = (unsigned)size;
    return true;
}

namespace {

enum { SPARE = 3000, WRITEBACK_MS = 1500, RESULT_FAILED = 1, RESULT_MEMORY = 2, RESULT_STOPPED = 3 };

void Log(const char* text)
{
    if (Services().log)
        if (LogFile* log = Services().log())
            log->Write(text);
}

bool NotFound(const char* foundName)
{
    return strncmp(foundName, "Not Found:", 10) == 0;
}

// One calculation's set-up and end; the tile loop is the run's.
struct Driver {
    Fractal* fractal;
    FractalTask* task;
    QuaternionParameters* block;
    QuaternionRun* run;
    int workers;
    int width, height;
    NodeList colouringParts, colouringSymbols, formulaParts;
    bool orbitFlag = false, numiterInLoop = false, usesLastsqr = false, directColour = false;
    bool colouringCompiled = false;
    // the write-back lists: per worker the block bases and their snapshots
    std::vector<AlignedBuffer*> snapshots;
    std::vector<uint8_t*> transformBases, transformShadows, formulaBases, formulaShadows;

    void Stamp(const char* format, const char* name)
    {
        if (!task->image3D)
            return;
        char text[200];
        snprintf(text, sizeof text, format, name);
        StampTextIntoImage(fractal, task->image3D, text, width, height);
    }

    // Frees the arrays the formulas of workers 0..count-1 allocated.
    void FreeArrays(int count)
    {
        for (int k = 0; k < count; ++k) {
            WorkerSlot& w = task->workers[k];
            if (w.arrayTable && w.arrayTable->GetData())
                FreeArrays_Normal(w.arrayTable->GetData(), w.transformBlock->GetBase(), w.dataBlock->GetBase());
            w.arrayCount = 0;
        }
    }

    void FreeOrbitBuffers()
    {
        for (int k = 0; k < workers; ++k) {
            free(run->workers[k].orbitBuffer);
            run->workers[k].orbitBuffer = nullptr;
            run->workers[k].ray.oldzBuffer = nullptr;
        }
    }

    void DropCompiled()
    {
        FormulaCompiler* c = task->formulaCompiler;
        c->freeResults();
        c->symbols.DeleteAllNodes();
        colouringParts.DeleteAllNodes();
        colouringSymbols.DeleteAllNodes();
        formulaParts.DeleteAllNodes();
    }

    // Steps of a failure after the compiles began: everything compiled is
    // dropped and every worker's arrays freed.
    int Fail(int result)
    {
        DropCompiled();
        FreeArrays(workers);
        FreeOrbitBuffers();
        return result;
    }

    void PointExtraAt(int k)
    {
        task->dataBlockExtra = (int)(intptr_t)&run->workers[k].ray;
    }

    int Transformations()
    {
        for (int k = 0; k < workers; ++k) {
            QuaternionRay& ray = run->workers[k].ray;
            memcpy(ray.basis, run->basis, sizeof ray.basis);
            ray.basePoint[0] = block->Base_r;
            ray.basePoint[1] = block->Base_i;
            ray.basePoint[2] = block->Base_j;
            ray.basePoint[3] = block->Base_k;
            PointExtraAt(k);
            int alphaUsed = 0;
            int result = AssembleQuaternionTransforms(block, fractal, task->formulaCompiler,
                                                      task->workers[k].transformBlock, task->codeBuffer3, &alphaUsed);
            task->dataBlockExtra = 0;
            bool failed = result >= 1;
            if (result == 1)
                Stamp("%s", "Not enough memory");
            for (ListNode* n = block->transformations.GetHead(); n && !failed; n = n->next) {
                FormulaInstance* t = static_cast<FormulaInstance*>(n);
                if (!t->active)
                    continue;
                if (t->holder && t->holder->word == -1) {
                    Stamp("Cannot compile %s", t->foundName);
                    failed = true;
                } else if (NotFound(t->foundName)) {
                    Stamp("%s", t->foundName);
                    failed = true;
                }
            }
            bool stopped = result == -1 || CommandPending(task);
            if (stopped || failed) {
                FreeArrays(k + 1);
                return stopped ? RESULT_STOPPED : RESULT_FAILED;
            }
        }
        return 0;
    }

    // Reserves worker k's formula block and writes the compiled symbols and
    // the slot's parameters into it; false on a failure.
    bool StoreValues(int k, FormulaSlot& slot, int textureSlot)
    {
        FormulaCompiler* c = task->formulaCompiler;
        WorkerSlot& w = task->workers[k];
        int top = c->dataTop > PREDEFINED_AREA_SIZE ? c->dataTop : PREDEFINED_AREA_SIZE;
        w.dataBlock->Reserve(top, -c->dataBottom, SPARE, SPARE);
        uint8_t* base = w.dataBlock->GetBase();
        if (!base)
            return false;
        if (storeSymbolValues(base, &c->symbols, w.arrayTable, &w.arrayCount, true, 2) != 0)
            return false;
        return storeParameterValues(base, &slot.parameters, &c->symbols, fractal, textureSlot, 0, true, true) == 0;
    }

    // The colouring formula (a slot without text is allowed). 0 to go on.
    int Colouring(bool* transferFailed)
    {
        FormulaCompiler* c = task->formulaCompiler;
        FormulaSlot& slot = block->colouring;
        c->setKind(FK_COLORING);
        c->dataTop = 0;
        c->dataBottom = -128;
        ReleaseTextureUser(fractal, 2, slot.holder);
        colouringSymbols.DeleteAllNodes();
        if (slot.holder && slot.holder->GetSource()) {
            PointExtraAt(0);
            c->setSharedVariables(nullptr);
            bool ok = c->compile(slot.holder->GetSource(), c->dataTop, c->dataBottom, &slot.parameters,
                                 &slot.functions, fractal, nullptr, SK_QUATERNION, nullptr, false, true);
            task->dataBlockExtra = 0;
            if (CommandPending(task))
                return Fail(RESULT_STOPPED);
            FormulaCompiler::copySymbols(&c->symbols, &colouringSymbols, 2);
            if (int r = CompileOutcome(slot, ok); r >= 0)
                return r;
            c->takeFunctions(&colouringParts);
            orbitFlag = NamesOldz(slot.holder->GetSource());
            numiterInLoop = c->usageFlags[1] != 0;
            directColour = c->usageFlags[3] != 0;
            colouringCompiled = true;
            c->freeResults();
            for (int k = 0; k < workers && !*transferFailed; ++k)
                if (!StoreValues(k, slot, 2))
                    *transferFailed = true;
        }
        task->insideColouringMark = directColour ? 1 : 0;
        PurgeUnusedTextures();
        return 0;
    }

    // Marks the slot's formula compiled or failed. A failure, or a formula
    // that was not found, stamps its text and gives the failure code;
    // -1 when the formula compiled.
    int CompileOutcome(FormulaSlot& slot, bool ok)
    {
        slot.holder->word = ok ? 1 : -1;
        if (!ok) {
            Stamp("Cannot compile %s", slot.foundName);
            return Fail(RESULT_FAILED);
        }
        if (NotFound(slot.foundName)) {
            Stamp("%s", slot.foundName);
            return Fail(RESULT_FAILED);
        }
        return -1;
    }

    int Iteration(bool transferFailed)
    {
        FormulaCompiler* c = task->formulaCompiler;
        FormulaSlot& slot = block->iteration;
        c->setKind(FK_ITERATION);
        PointExtraAt(0);
        ReleaseTextureUser(fractal, 1, slot.holder);
        c->setSharedVariables(&colouringSymbols);
        bool ok = c->compile(slot.holder->GetSource(), c->dataTop, c->dataBottom, &slot.parameters, &slot.functions,
                             fractal, nullptr, SK_QUATERNION, nullptr, false, true);
        c->setSharedVariables(nullptr);
        task->dataBlockExtra = 0;
        colouringSymbols.DeleteAllNodes();
        if (CommandPending(task) || transferFailed) {
            if (transferFailed)
                ReportNotEnoughMemory(fractal);
            return Fail(transferFailed ? RESULT_MEMORY : RESULT_STOPPED);
        }
        if (int r = CompileOutcome(slot, ok); r >= 0)
            return r;
        orbitFlag = orbitFlag || NamesOldz(slot.holder->GetSource());
        numiterInLoop = numiterInLoop || c->usageFlags[1] != 0;
        usesLastsqr = c->usageFlags[0] != 0;
        if (!SetupOldzBuffer(fractal, task, 1))
            return Fail(RESULT_MEMORY);
        c->usageFlags[1] = numiterInLoop ? 1 : 0;

        unsigned orbitBytes = 0;
        if (orbitFlag && !OrbitBufferSize(block->MaxIter, &orbitBytes)) {
            ReportNotEnoughMemory(fractal);
            return Fail(RESULT_MEMORY);
        }
        c->takeFunctions(&formulaParts);
        QuaternionProgramInput input;
        input.orbit = orbitFlag;
        input.usesLastsqr = usesLastsqr;
        input.numiterInLoop = numiterInLoop;
        input.colouringCompiled = colouringCompiled && block->colouring.holder->word == 1;
        bool assembled = AssembleQuaternionProgram(task->codeBuffer, task->codeBuffer2, input, &formulaParts,
                                                   &colouringParts);
        colouringParts.DeleteAllNodes();
        formulaParts.DeleteAllNodes();
        bool failed = !assembled;
        for (int k = 0; k < workers && !failed; ++k) {
            if (!StoreValues(k, slot, 1)) {
                failed = true;
                break;
            }
            WriteSmallIntConstants(task->workers[k].dataBlock->GetBase());
            if (orbitFlag) {
                void* orbit = malloc(orbitBytes);
                if (!orbit) {
                    failed = true;
                    break;
                }
                run->workers[k].orbitBuffer = orbit;
                run->workers[k].ray.oldzBuffer = orbit;
            }
        }
        c->freeResults();
        PurgeUnusedTextures();
        if (failed) {
            ReportNotEnoughMemory(fractal);
            return Fail(RESULT_MEMORY);
        }
        return 0;
    }

    // Everything from the compiles to the bound rays. 0 when the workers
    // can start, else the result.
    int Compile()
    {
        int result = Transformations();
        if (result)
            return result;
        FormulaSlot& iteration = block->iteration;
        if (!iteration.holder || !iteration.holder->GetSource()) {
            FreeArrays(workers);
            return RESULT_FAILED;
        }
        if (iteration.holder->word == -1) {
            FreeArrays(workers);
            Stamp("Cannot compile %s", iteration.foundName);
            return RESULT_FAILED;
        }
        bool transferFailed = false;
        if ((result = Colouring(&transferFailed)) != 0)
            return result;
        if ((result = Iteration(transferFailed)) != 0)
            return result;
        task->formulaCompiler->symbols.DeleteAllNodes();
        return 0;
    }

    void BindRays()
    {
        double observer[3] = {block->Obs_x, block->Obs_y, block->Obs_z};
        double dir[3] = {block->Viewpoint_x - observer[0], block->Viewpoint_y - observer[1],
                         block->Viewpoint_z - observer[2]};
        double dist = sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        for (double& d : dir)
            d /= dist;
        for (int k = 0; k < workers; ++k) {
            WorkerSlot& slot = task->workers[k];
            QuaternionRay& ray = run->workers[k].ray;
            ray.transformCode = static_cast<const uint8_t*>(task->codeBuffer3->GetData());
            ray.colourCode = static_cast<const uint8_t*>(task->codeBuffer->GetData());
            ray.iterateCode = static_cast<const uint8_t*>(task->codeBuffer2->GetData());
            ray.formulaData = slot.dataBlock->GetBase();
            ray.transformData = slot.transformBlock->GetBase();
            ray.width = width;
            ray.height = height;
            ray.invalidCount = 0;
            memcpy(ray.stepX, run->stepX, sizeof ray.stepX);
            memcpy(ray.stepY, run->stepY, sizeof ray.stepY);
            memcpy(ray.corner, run->corner, sizeof ray.corner);
            memcpy(ray.observer, observer, sizeof ray.observer);
            memcpy(ray.viewDir, dir, sizeof ray.viewDir);
            ray.viewDistance = dist;
            ray.workerIndex = k;
            ray.directColour = directColour ? 1 : 0;
            BindQuaternionVariables(fractal, block, ray.formulaData, &ray, nullptr);
            BindQuaternionVariables(fractal, block, ray.transformData, &ray, nullptr);
            if (ray.oldzBuffer)
                memcpy(ray.formulaData + QD_ORBIT_BUFFER, &ray.oldzBuffer, sizeof(void*));
            slot.fractal = fractal;
        }
    }

    bool TakeSnapshots()
    {
        for (int k = 0; k < workers; ++k) {
            WorkerSlot& slot = task->workers[k];
            AlignedBuffer* t = new (std::nothrow) AlignedBuffer(*slot.transformBlock);
            AlignedBuffer* f = new (std::nothrow) AlignedBuffer(*slot.dataBlock);
            if (t)
                snapshots.push_back(t);
            if (f)
                snapshots.push_back(f);
            if (!t || !f || !t->GetBase() || !f->GetBase())
                return false;
            transformBases.push_back(slot.transformBlock->GetBase());
            transformShadows.push_back(t->GetBase());
            formulaBases.push_back(slot.dataBlock->GetBase());
            formulaShadows.push_back(f->GetBase());
        }
        for (auto* list : {&transformBases, &transformShadows, &formulaBases, &formulaShadows})
            list->push_back(nullptr);
        return true;
    }

    void Writeback()
    {
        if (formulaBases.empty())
            return;
        HandleWritebackParametersQuat(transformBases.data(), transformShadows.data(), formulaBases.data(),
                                      formulaShadows.data(), (WPARAM)fractal, fractal);
    }

    static void WritebackHook(void* context) { static_cast<Driver*>(context)->Writeback(); }

    // Starts worker k on tile k; false when a command arrived meanwhile.
    bool StartWorker(int k)
    {
        WorkerSlot& slot = task->workers[k];
        AttachQuaternionRun(&slot, run);
        slot.workerIndex = k;
        slot.workerState = 1;
        slot.workerDone = 0;
        // a surplus worker (fewer tiles than workers) stays without a tile
        if (k < run->schedule.tileCount && CopyTileToWorker(run, k, k) == -1)
            return false;
        slot.thread = new Thread(&QuaternionWorker, &slot, true, 0);
        slot.thread->SetPriority(g_TaskPriority);
        return true;
    }

    // Every started worker is told to quit and joined; a worker still in
    // compiled code is sent out of it again while the wait goes on.
    void StopWorkers()
    {
        for (int k = 0; k < workers; ++k) {
            WorkerSlot& slot = task->workers[k];
            if (!slot.thread)
                continue;
            slot.workerState = WORKER_QUIT;
            slot.workerDone = 0;
            SetEvent(slot.wakeEvent);
        }
        for (int k = 0; k < workers; ++k) {
            WorkerSlot& slot = task->workers[k];
            if (!slot.thread)
                continue;
            for (int waited = 0; slot.thread->handle && WaitForSingleObject(slot.thread->handle, 1) == WAIT_TIMEOUT;
                 ++waited) {
                SetEvent(slot.wakeEvent);
                if (waited % 50 == 49 && run->aborted)
                    InterruptQuaternionWorkers(run);
            }
            delete slot.thread;
            slot.thread = nullptr;
        }
    }

    void CleanUp()
    {
        int invalid = 0;
        for (int k = 0; k < workers; ++k) {
            invalid += run->workers[k].ray.invalidCount;
            g_QuaternionStatistics.rays += run->workers[k].raysMarched;
            g_QuaternionStatistics.guessed += run->workers[k].pixelsGuessed;
        }
        Log("Stop thread: CheckInvalidOp");
        CheckInvalidOp(fractal, invalid);
        Log("Stop thread: FreeArrays_Normal");
        FreeArrays(workers);
        Log("Stop thread: OldzBuf");
        FreeOrbitBuffers();
        for (AlignedBuffer* b : snapshots)
            delete b;
        snapshots.clear();
        Log("free renderParts");
        FreeTileSchedule(run);
        Log("Finished cleaning up");
    }
};

bool TaskCanCalculate(FractalTask* t)
{
    if (!t->codeBuffer || !t->codeBuffer2 || !t->codeBuffer3 || !t->rowWorkBuffer || !t->workerDoneEvent ||
        !t->rowLock || !t->values || !t->flags || !t->imageBits || !t->image3D || !t->plane0->IsAllocated())
        return false;
    for (const WorkerSlot& w : t->workers)
        if (!w.dataBlock || !w.transformBlock || !w.arrayTable || !w.wakeEvent)
            return false;
    return true;
}

void RecolourGuarded(void* fractal)
{
    RecolourQuaternion(static_cast<Fractal*>(fractal));
}

}  // namespace

// The recolour road of the calculation thread reaches the quaternion
// through its hook; this file is linked whenever the dispatch is.
static const bool g_RethinkBound = (g_TaskHooks.rethinkQuaternion = &RethinkQuat, true);

void RethinkQuat(Fractal* fractal)
{
    (void)g_RethinkBound;
    DWORD code = RunGuarded(&RecolourGuarded, fractal, &IsSoftwareException);
    if (code == 0 || code == EXCEPTION_STOP_THREAD)
        return;
    char text[200];
    snprintf(text, sizeof text, "RethinkQuat Type=%d Name=%s", fractal->header->Type, fractal->HostName());
    ReportSoftwareFailure(code, text);
    Log(text);
}

int CalculateQuaternion(Fractal* fractal, int left, int top, int right, int bottom)
{
    (void)g_RethinkBound;
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task || !fractal->typeParameters || fractal->header->Type != FT_QUATERNION)
        return RESULT_FAILED;
    QuaternionParameters* block = static_cast<QuaternionParameters*>(fractal->typeParameters);
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    g_QuaternionStatistics = {0, 0, 0, 0};
    if (!task->formulaCompiler)
        return RESULT_FAILED;
    QuaternionSurfaceCache* cache = QuaternionCacheOf(block);
    if (!TaskCanCalculate(task) || !cache) {
        ReportNotEnoughMemory(fractal);
        return RESULT_MEMORY;
    }
    InstallQuaternionBinder();

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    int workers = QuaternionWorkerCount((int)info.dwNumberOfProcessors, g_QuaternionWorkers);
    g_QuaternionStatistics.workers = workers;
    cache->shadowsPending = 1;
    cache->aoCacheRadius = -1.0;
    if (!block->AOEnabled && task->plane2->IsAllocated())
        task->plane2->Free();

    QuaternionRun* run = new (std::nothrow) QuaternionRun();
    QuaternionRenderState* preview = new (std::nothrow) QuaternionRenderState();
    if (!run || !preview) {
        delete run;
        delete preview;
        ReportNotEnoughMemory(fractal);
        return RESULT_MEMORY;
    }
    Driver d;
    d.fractal = fractal;
    d.task = task;
    d.block = block;
    d.run = run;
    d.workers = workers;
    d.width = fractal->header->Width;
    d.height = fractal->header->Height;
    run->fractal = fractal;
    run->task = task;
    run->block = block;
    run->workerCount = workers;
    run->width = d.width;
    run->height = d.height;
    run->left = left;
    run->top = top;
    run->right = right;
    run->bottom = bottom;
    run->hasTransforms = block->transformations.GetHead() != nullptr;
    run->preview = preview;
    BuildSliceBasis(block->Normal_r, block->Normal_i, block->Normal_j, block->Normal_k, run->basis);

    auto finish = [&](int result) {
        delete preview;
        delete run;
        return result;
    };
    int result = d.Compile();
    if (result)
        return finish(result);
    run->orbitFlag = d.orbitFlag;
    run->numiterInLoop = d.numiterInLoop;
    run->directColour = d.directColour;

    ComputeViewPlane(block, d.width, d.height, run->corner, run->stepX, run->stepY);
    ComputePixelSteps(block, d.width, d.height, run->cornerCam, run->stepXCam, run->stepYCam);
    preview->fractal = fractal;
    PrepareCameraBasis(&preview->camera, block);
    PrepareLights(preview->lights, fractal, block);
    if (!BuildTileSchedule(run)) {
        d.FreeArrays(workers);
        d.FreeOrbitBuffers();
        ReportNotEnoughMemory(fractal);
        return finish(RESULT_MEMORY);
    }
    if (fractal->dither)
        ZeroDitherErrors(fractal);
    task->lastDisplayTick = GetTickCount();
    d.BindRays();
    bool aborted = !d.TakeSnapshots();
    if (aborted)
        ReportNotEnoughMemory(fractal);
    run->lastWriteback = GetTickCount();

    DWORD marchStart = GetTickCount();
    for (int k = 0; k < workers && !aborted; ++k)
        aborted = !d.StartWorker(k);
    if (!aborted) {
        QuaternionLoopHooks hooks;
        hooks.context = &d;
        hooks.writeback = &Driver::WritebackHook;
        aborted = !RunTileLoop(run, hooks);
    }
    if (aborted)
        run->aborted = 1;
    g_QuaternionStatistics.marchMs = GetTickCount() - marchStart;

    if (!aborted && task->window && !task->windowHidden && g_TaskHooks.drawImageRows)
        g_TaskHooks.drawImageRows(fractal, top, bottom);
    d.StopWorkers();
    if (!aborted && fractal->dither)
        ZeroDitherErrors(fractal);
    if (!aborted)
        ClearOpacityEdges(run);
    // a stopped run claims no completion
    if (!aborted)
        task->progress = 1.0;
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    Log("Finished calculating Quaternion");
    if (!aborted && fractal->dither && task->image3D8) {
        Log("Dithering image");
        DitherImage(fractal, task->image3D, task->image3D8);
    }
    Log("About to stop threads");
    Log("Stop thread: HandleWritebackParameters");
    d.Writeback();
    d.CleanUp();
    if (aborted)
        return finish(RESULT_STOPPED);

    if (block->DOFAutoAdjust && block->DOFEnabled)
        AutoFocus(block, fractal, 1);
    if (block->FogAutoAdjust && block->FogEnabled)
        AutoAdjustFog(block, fractal, 1);
    Log("rendering ambient occlusion");
    size_t cells = (size_t)task->plane0->width * task->plane0->height;
    if (float* distances = static_cast<float*>(malloc(cells * sizeof(float)))) {
        RenderAmbientOcclusion(fractal, distances);
        free(distances);
    }
    Log("rendering shadows");
    RenderShadows(fractal);
    Log("Adjusting colors");
    RethinkQuat(fractal);
    Log("Finished");
    return finish(0);
}

int CalculateQuaternionGuarded(Fractal* fractal, int left, int top, int right, int bottom)
{
    int result = RESULT_MEMORY;
    DWORD code = GuardedReport("CalculateQuaternion", true,
                               [&] { result = CalculateQuaternion(fractal, left, top, right, bottom); });
    if (code == 0)
        return result;
    // the run was abandoned with its workers still marching: they are
    // stopped and joined before the task's buffers can go
    FractalTask* task = fractal && fractal->task ? fractal->task : nullptr;
    if (task)
        for (WorkerSlot& slot : task->workers) {
            if (!slot.thread)
                continue;
            slot.workerState = WORKER_QUIT;
            while (slot.thread->handle && WaitForSingleObject(slot.thread->handle, 1) == WAIT_TIMEOUT)
                SetEvent(slot.wakeEvent);
            delete slot.thread;
            slot.thread = nullptr;
        }
    return code == EXCEPTION_STOP_THREAD ? RESULT_STOPPED : RESULT_MEMORY;
}
