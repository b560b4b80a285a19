// The attractor calculator on the fractal's calculation thread: compile and
// assemble (or reuse the saved program), bind the workers' blocks, then
// accumulate the points of the point workers into the task's planes and
// compose the image with the pixel workers. Every wait reads the command
// word, and no worker thread outlives the calculation.
#include "fractals/attractor/CalculateAttractor.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/colour/OtherColouring.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Plot.h"
#include "calc/task/Reports.h"
#include "calc/task/TaskHooks.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/ParameterTransfer.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorAccumulation.h"
#include "fractals/attractor/AttractorBinding.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "fractals/attractor/AttractorWorkers.h"
#include "fractals/attractor/CalculationPreview.h"
#include "fractals/attractor/Camera.h"
#include "fractals/attractor/Composition.h"
#include "fractals/attractor/UnitCube.h"
#include "view3d/OpenGLRenderer.h"

int g_AttractorWorkers = 0;
unsigned g_AttractorSeed = 0;

namespace {

enum { SUB_KIND_ATTRACTOR = 11, COLOURING_KIND = 2, TRANSFORMATION_KIND = 1, SPARE = 3000 };

// What the calculator keeps in a point worker's calculator area.
enum { CA_INVALID_BATCHES = 1, CA_READS_PALETTE = 2 };

// The colouring writes pixelcolor: the points carry their own colour
// (kept in worker 0's slot, the task has no field of its own for it).
bool OwnColours(FractalTask* task)
{
    return task->workers[0].calculatorArea[CA_READS_PALETTE] != 0;
}

AttractorParameters* BlockOf(Fractal* fractal)
{
    return static_cast<AttractorParameters*>(fractal->typeParameters);
}

int WorkerCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return AttractorWorkerCount((int)info.dwNumberOfProcessors, g_AttractorWorkers);
}

// Calls f for every transformation the program uses: not hidden, of a
// formula that is not hidden.
template <class F>
void ForUsedTransformations(AttractorParameters* block, F f)
{
    for (ListNode* n = block->formulas.GetHead(); n; n = n->next) {
        AttractorFormula* formula = static_cast<AttractorFormula*>(n);
        if (formula->flags & ATTRACTOR_FORMULA_HIDDEN)
            continue;
        for (ListNode* m = formula->transformations.GetHead(); m; m = m->next) {
            AttractorTransformation* t = static_cast<AttractorTransformation*>(m);
            if (!t->hidden)
                f(t);
        }
    }
}

void FreeWorkerArrays(FractalTask* task)
{
    for (int i = 0; i < WORKER_SLOTS; ++i)
        task->workers[i].arrayCount = 0;
}

// Every transformation's compiled list, hidden ones included: a list left
// by an abandoned run must not pass for a fresh one.
void DeleteCompiledFunctions(AttractorParameters* block)
{
    for (ListNode* n = block->formulas.GetHead(); n; n = n->next)
        for (ListNode* m = static_cast<AttractorFormula*>(n)->transformations.GetHead(); m; m = m->next) {
            delete static_cast<NodeList*>(m->data);
            m->data = nullptr;
        }
}

void Stamp(Fractal* fractal, const char* format, const char* name)
{
    FractalTask* task = fractal->task;
    if (!task->imageBits)
        return;
    char text[160];
    snprintf(text, sizeof text, format, name);
    StampTextIntoImage(fractal, task->imageBits, text, fractal->header->Width, fractal->header->Height);
}

bool NotFound(const char* foundName)
{
    return strncmp(foundName, "Not Found:", 10) == 0;
}

// Reserves a worker's block to the compiler's extent and writes the
// compiled symbols and the parameter values into it; false on a failure.
bool StoreIntoWorker(FractalTask* task, int i, FormulaCompiler* c, NodeList* parameters, Fractal* fractal, int kind,
                     bool withCopy)
{
    WorkerSlot& w = task->workers[i];
    w.dataBlock->Reserve(c->dataTop, -c->dataBottom, SPARE, SPARE);
    if (withCopy)
        w.dataBlockCopy->Reserve(c->dataTop, -c->dataBottom, SPARE, SPARE);
    uint8_t* base = w.dataBlock->GetBase();
    if (!base)
        return false;
    int failed = storeSymbolValues(base, &c->symbols, w.arrayTable, &w.arrayCount, true, kind);
    failed |= storeParameterValues(base, parameters, &c->symbols, fractal, kind, 0, true, true);
    return failed == 0;
}

// Per-calculation state of the point workers (built from the task's slots).
struct PointRun {
    Fractal* fractal;
    FractalTask* task;
    AttractorRenderRecord* record;
    AttractorPlanes planes;
    AttractorAccumulation how;
    double points, target;
    int lastPercent;
    DWORD faultCode;
    // The workers' batch states, to see orbits that escape every time.
    const AttractorPointWork* work;
    int workers;
    bool escaped;
};

// Batches after which a run without a single point on screen counts as a
// map whose orbits all escape: it would never reach its target.
enum { ESCAPED_BATCHES = 64 };

void MapColour(void* context, float index, int rgb[3])
{
    MapAttractorColor(static_cast<Fractal*>(context), index, 0, rgb);
}

void Compose(PointRun* run, double points)
{
    FractalTask* task = run->task;
    run->record->pointCount = points;
    ComposeAttractorImage(run->fractal, run->record, run->record->workerCount > 1 ? task->rowWorkers : nullptr);
    if (g_NotifyLayeredParent)
        g_NotifyLayeredParent(run->fractal, 0, run->fractal->header->Height - 1, -1, -2);
    task->lastDisplayTick = GetTickCount();
    if (task->window && g_TaskHooks.drawImageRows)
        g_TaskHooks.drawImageRows(run->fractal, 0, run->fractal->header->Height - 1);
}

bool RunPending(void* context)
{
    PointRun* run = static_cast<PointRun*>(context);
    if (run->points == 0 && run->work) {
        int restarts = 0;
        for (int i = 0; i < run->workers; ++i)
            restarts += run->work[i].restarts;
        if (restarts >= ESCAPED_BATCHES * run->workers)
            run->escaped = true;
    }
    return run->escaped || run->faultCode != 0 || CommandPending(run->task);
}

void RunAccumulate(void* context, const uint8_t* records, int count)
{
    PointRun* run = static_cast<PointRun*>(context);
    if (run->faultCode)
        return;
    // a fault here ends the run through the stop question, so the point
    // workers are joined before the guard outside sees it
    run->faultCode = Guarded([&] { AccumulateAttractorRecords(run->planes, run->how, records, count); });
    run->points += count;
    FractalTask* task = run->task;
    task->progress = run->points / run->target;
    int percent = (int)(task->progress * 100);
    if (percent != run->lastPercent) {
        run->lastPercent = percent;
        PostToMainFrame(UM_PROGRESS, (WPARAM)run->fractal, 0);
    }
}

void RunRefresh(void* context, double points)
{
    PointRun* run = static_cast<PointRun*>(context);
    if (run->faultCode || run->fractal->renderJob)
        return;
    run->faultCode = Guarded([&] { Compose(run, points); });
}

AttractorPlanes PlanesOf(FractalTask* task, int mode)
{
    AttractorPlanes p;
    p.width = task->plane1->width;
    p.height = task->plane1->height;
    p.density = (float*)task->plane1->data;
    p.depth = task->values;
    p.colour = (uint32_t*)task->plane0->data;
    p.flags = task->flags;
    if (mode == ARM_FLAME || mode == ARM_PLASMA)
        for (int k = 0; k < 4; ++k)
            p.sums[k] = (float*)task->planes[k]->data;
    return p;
}

// The pixel workers of the running render (stopped by the guard after an
// exception abandoned the render).
Fractal* g_PixelWorkersOf = nullptr;
// The last render found only escaping orbits (read by CalculateAttractor).
bool g_Escaped = false;
int g_PixelWorkerCount = 0;

void StopPixelWorkers()
{
    if (g_PixelWorkersOf) {
        StopAttractorPixelWorkers(g_PixelWorkersOf, g_PixelWorkerCount);
        g_PixelWorkersOf = nullptr;
        g_PixelWorkerCount = 0;
    }
}

}  // namespace

// Fresh compile of the colouring and the used transformations and the
// assembly of the program; answers 0, or the calculator's result code.
static int CompileAndAssemble(Fractal* fractal, int workers, bool* memoryFailure)
{
    FractalTask* task = fractal->task;
    AttractorParameters* block = BlockOf(fractal);
    FormulaCompiler* c = task->formulaCompiler;
    NodeList colouringFunctions, shared;
    task->attractorProgramSaved = 0;
    c->setKind2(COLOURING_KIND, 0);
    int top = 0, bottom = -128;
    FormulaSlot& colouring = block->colouring;
    bool direct = false;
    if (colouring.holder && colouring.holder->GetSource()) {
        c->setSharedVariables(nullptr);
        bool ok = c->compile(colouring.holder->GetSource(), top, bottom, &colouring.parameters, &colouring.functions,
                             fractal, nullptr, SUB_KIND_ATTRACTOR, nullptr, false, true) &&
                  c->subKind == SUB_KIND_ATTRACTOR;
        FormulaCompiler::copySymbols(&c->symbols, &shared, 2);
        if (CommandPending(task)) {
            c->freeResults();
            shared.DeleteAllNodes();
            FreeWorkerArrays(task);
            return 3;
        }
        if (!ok || NotFound(colouring.foundName)) {
            c->freeResults();
            colouring.holder->word = -1;
            Stamp(fractal, ok ? "%s" : "Cannot compile %s", colouring.foundName);
            shared.DeleteAllNodes();
            FreeWorkerArrays(task);
            return 1;
        }
        colouring.holder->word = 1;
        direct = c->usageFlags[3] != 0;
        c->takeFunctions(&colouringFunctions);
        c->freeResults();
        top = c->dataTop;
        bottom = c->dataBottom;
        for (int i = 0; i < workers; ++i)
            if (!StoreIntoWorker(task, i, c, &colouring.parameters, fractal, COLOURING_KIND, true))
                *memoryFailure = true;
    }
    for (int i = 0; i < WORKER_SLOTS; ++i)
        task->workers[i].calculatorArea[CA_READS_PALETTE] = direct ? 1 : 0;
    c->symbols.DeleteAllNodes();

    int result = 0;
    ForUsedTransformations(block, [&](AttractorTransformation* t) {
        if (result)
            return;
        c->setKind(TRANSFORMATION_KIND);
        c->setSharedVariables(&shared);
        bool ok = c->compile(t->holder->GetSource(), top, bottom, &t->parameters, &t->functions, fractal, nullptr,
                             SUB_KIND_ATTRACTOR, nullptr, false, true) &&
                  c->subKind == SUB_KIND_ATTRACTOR;
        c->setSharedVariables(nullptr);
        FormulaCompiler::copySymbols(&c->symbols, &shared, 2);
        bool pending = CommandPending(task);
        if (pending || !ok || NotFound(t->foundName)) {
            if (!pending) {
                t->holder->word = -1;
                Stamp(fractal, ok ? "%s" : "Cannot compile %s", t->foundName);
            }
            // a stop answers 3; a transformation that cannot be used is a failure
            result = pending ? 3 : 1;
            return;
        }
        t->holder->word = 1;
        NodeList* functions = new NodeList();
        c->takeFunctions(functions);
        t->data = functions;
        top = c->dataTop;
        bottom = c->dataBottom;
        for (int i = 0; i < workers; ++i)
            if (!StoreIntoWorker(task, i, c, &t->parameters, fractal, TRANSFORMATION_KIND, true))
                *memoryFailure = true;
    });
    shared.DeleteAllNodes();
    if (result) {
        c->freeResults();
        c->symbols.DeleteAllNodes();
        DeleteCompiledFunctions(block);
        colouringFunctions.DeleteAllNodes();
        FreeWorkerArrays(task);
        return result;
    }

    bool constructors = false;
    for (ListNode* n = block->formulas.GetHead(); n; n = n->next)
        if (static_cast<AttractorFormula*>(n)->flags & ATTRACTOR_SHOW_CONSTRUCTOR)
            constructors = true;
    uint8_t shadowLights = 0;
    for (int k = 0; k < 8; ++k)
        if (block->lights.shadow[k])
            shadowLights |= (uint8_t)(1 << k);
    AttractorProgramInput input = CollectAttractorPieces(
        &block->formulas, &colouringFunctions, constructors ? AttractorUnitCubeFunctions() : nullptr, shadowLights);
    bool assembled = AssembleAttractorProgram(task->codeBuffer, input);
    colouringFunctions.DeleteAllNodes();
    DeleteCompiledFunctions(block);
    c->freeResults();
    if (!assembled)
        *memoryFailure = true;
    return 0;
}

static bool BindWorker(Fractal* fractal, int i)
{
    FractalTask* task = fractal->task;
    WorkerSlot& w = task->workers[i];
    AttractorParameters* block = BlockOf(fractal);
    int scale = block->Oversample + 1;
    w.workBuffer->Reserve(ATTRACTOR_BATCH * ATTRACTOR_RECORD_SIZE);
    uint8_t* base = w.dataBlock->GetBase();
    if (!base || !w.workBuffer->GetData() || !task->workerBlocks[i])
        return false;
    ViewRect view = AttractorViewRect(fractal);
    AttractorBinding b;
    b.block = block;
    b.imageWidth = fractal->header->Width * scale;
    b.imageHeight = fractal->header->Height * scale;
    b.viewWidth = view.width;
    b.viewHeight = view.height;
    b.viewCentreX = view.centreX;
    b.viewCentreY = view.centreY;
    b.worker = i;
    b.tick = g_AttractorSeed ? g_AttractorSeed : GetTickCount();
    b.history = (int32_t*)task->workerBlocks[i];
    b.pointBuffer = (uint8_t*)w.workBuffer->GetData();
    b.colourTable = task->dib.colors;
    b.weights = task->attractorWeights;
    b.colours = task->attractorColours;
    BindAttractorVariables(b, base);
    return true;
}

int CalculateAttractor(Fractal* fractal)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task || fractal->header->Type != FT_ATTRACTOR)
        return 1;
    AttractorParameters* block = BlockOf(fractal);
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    int workers = WorkerCount();
    FreeWorkerArrays(task);

    bool unusable = !task->formulaCompiler;
    const char* missing = nullptr;
    ForUsedTransformations(block, [&](AttractorTransformation* t) {
        if (!t->holder || !t->holder->GetSource() || t->holder->word == -1) {
            unusable = true;
            if (!missing)
                missing = t->foundName[0] ? t->foundName : t->entryName;
        }
    });
    if (unusable) {
        if (missing)
            Stamp(fractal, "Cannot compile %s", missing);
        return 1;
    }
    for (int i = 0; i < workers; ++i)
        if (!task->workers[i].dataBlock || !task->workers[i].dataBlockCopy || !task->workers[i].workBuffer) {
            ReportNotEnoughMemory(fractal);
            return 2;
        }

    bool memoryFailure = false;
    bool reuse = task->attractorResume && task->attractorProgramSaved && task->codeBuffer4 &&
                 task->codeBuffer4->GetCapacity() <= task->codeBuffer->GetCapacity();
    if (reuse) {
        // the program runs only where it was assembled: codeBuffer has not
        // moved since, so the saved bytes are put back in place
        memcpy(task->codeBuffer->GetData(), task->codeBuffer4->GetData(), task->codeBuffer4->GetCapacity());
        for (int i = 0; i < workers && !memoryFailure; ++i) {
            WorkerSlot& w = task->workers[i];
            int size = w.dataBlock->TotalSize() < w.dataBlockCopy->TotalSize() ? w.dataBlock->TotalSize()
                                                                               : w.dataBlockCopy->TotalSize();
            memcpy(w.dataBlock->GetRaw(), w.dataBlockCopy->GetRaw(), size);
            uint8_t* base = w.dataBlock->GetBase();
            if (!BindWorker(fractal, i) ||
                storeParameterValuesDirect(base, &block->colouring.parameters, fractal, COLOURING_KIND, 0, true))
                memoryFailure = true;
            ForUsedTransformations(block, [&](AttractorTransformation* t) {
                if (storeParameterValuesDirect(base, &t->parameters, fractal, TRANSFORMATION_KIND, 0, true))
                    memoryFailure = true;
            });
        }
    } else {
        int result = CompileAndAssemble(fractal, workers, &memoryFailure);
        if (result)
            return result;
        for (int i = 0; i < workers && !memoryFailure; ++i) {
            WorkerSlot& w = task->workers[i];
            if (!BindWorker(fractal, i)) {
                memoryFailure = true;
                break;
            }
            int size = w.dataBlock->TotalSize() < w.dataBlockCopy->TotalSize() ? w.dataBlock->TotalSize()
                                                                               : w.dataBlockCopy->TotalSize();
            memcpy(w.dataBlockCopy->GetRaw(), w.dataBlock->GetRaw(), size);
        }
        if (!memoryFailure && task->codeBuffer4) {
            task->codeBuffer4->Reserve(task->codeBuffer->GetCapacity());
            if (task->codeBuffer4->GetCapacity() >= task->codeBuffer->GetCapacity()) {
                memcpy(task->codeBuffer4->GetData(), task->codeBuffer->GetData(), task->codeBuffer->GetCapacity());
                task->attractorProgramSaved = 1;
            }
        }
    }
    if (memoryFailure) {
        ReportNotEnoughMemory(fractal);
        return 2;
    }
    for (int i = 0; i < workers; ++i) {
        task->workers[i].fractal = fractal;
        task->workers[i].calculatorArea[CA_INVALID_BATCHES] = 0;
    }
    task->progress = 0.0;
    if (CommandPending(task))
        return 3;
    if (ShowAttractorPreview(fractal, OwnColours(task)) != 0)
        return 3;
    g_Escaped = false;
    PrepareAttractorBuffers(fractal);
    if (CommandPending(task))
        return 3;
    task->progress = 1.0;
    return g_Escaped ? 1 : 0;
}

// A fresh map (every cell 1e20, farther than any point) for each light
// that casts shadows, sized by the renderer's scales times the image; the
// others are freed. A map that cannot be had leaves its light without
// shadows and is reported. False when a command came in between.
static bool PrepareShadowMaps(Fractal* fractal)
{
    OpenGLRenderer* renderer = AttractorRendererOf(fractal);
    if (!renderer)
        return true;
    AttractorParameters* block = BlockOf(fractal);
    const float farAway = 1e20f;
    uint32_t farBits;
    memcpy(&farBits, &farAway, sizeof farBits);
    bool failed = false;
    for (int n = 0; n < 8; ++n) {
        Array2D& map = renderer->shadowMaps[n];
        if (!block->lights.shadow[n]) {
            map.Free();
        } else {
            int w = (int)(fractal->header->Width * renderer->shadowScaleX);
            int h = (int)(fractal->header->Height * renderer->shadowScaleY);
            if ((map.width != w || map.height != h || !map.data) && !map.Allocate(w, h, 4))
                failed = true;
            if (map.data)
                map.Fill(farBits);
        }
        if (CommandPending(fractal->task))
            return false;
    }
    if (failed)
        ReportNotEnoughMemory(fractal);
    return true;
}

// The view camera and the shadow camera of every light into the record and
// into every worker's block. The shadow cameras frame the sphere the
// preview measured; without one (radius 0) no light casts a shadow.
static void PlaceCameras(Fractal* fractal, AttractorRenderRecord* record, bool usable, int workers)
{
    FractalTask* task = fractal->task;
    AttractorParameters* block = BlockOf(fractal);
    OpenGLRenderer* renderer = AttractorRendererOf(fractal);
    double centre[3] = {0, 0, 0}, radius = 0;
    if (renderer) {
        memcpy(centre, renderer->cloud.sphereCentre, sizeof centre);
        radius = renderer->cloud.sphereRadius;
    }
    for (int i = 0; i < 8; ++i) {
        BuildShadowCamera(block, i, centre, radius, &record->lightCameras[i]);
        Array2D* map = renderer ? &renderer->shadowMaps[i] : nullptr;
        record->shadowMaps[i] = map && map->data && block->lights.shadow[i] && radius > 0 ? map : nullptr;
    }
    record->shadowBias = ShadowBias(record->projection, centre);
    AttractorProjection view = {};
    if (usable)
        view = record->projection;
    for (int w = 0; w < workers; ++w) {
        uint8_t* base = task->workers[w].dataBlock->GetBase();
        if (!base)
            continue;
        CopyAttractorLights(view, base, -1);
        for (int i = 0; i < 8; ++i) {
            Array2D* map = record->shadowMaps[i];
            CopyAttractorLights(record->lightCameras[i], base, i, map ? map->width : 0, map ? map->height : 0,
                                map ? (float*)map->data : nullptr);
        }
    }
}

void PrepareAttractorBuffers(Fractal* fractal)
{
    FractalTask* task = fractal->task;
    int cells = task->plane1->width * task->plane1->height;
    if (task->attractorDataInvalid || task->attractorPointCount == 0) {
        Array2D* arrays[] = {task->plane0, task->plane1, task->planes[0], task->planes[1], task->planes[2],
                             task->planes[3]};
        for (Array2D* a : arrays) {
            if (a->data)
                memset(a->data, 0, (size_t)a->width * a->height * a->cellSize);
            if (CommandPending(task))
                return;
        }
        if (task->values)
            memset(task->values, 0, (size_t)cells * sizeof(float));
        if (task->flags)
            memset(task->flags, 0, (size_t)cells);
        task->attractorDataInvalid = 0;
    }
    if (!PrepareShadowMaps(fractal))
        return;
    uint8_t* base = task->workers[0].dataBlock->GetBase();
    if (base)
        memset(base + AV_ONCE_TRAFO, 0x80, 4);
    task->attractorPointCount = 0.0;
    RenderAttractor(fractal, false);
}

void RenderAttractor(Fractal* fractal, bool redraw)
{
    FractalTask* task = fractal->task;
    AttractorParameters* block = BlockOf(fractal);
    int workers = WorkerCount();
    srand(1000);
    double target = block->Maxiter * 1000000.0;

    AttractorRenderRecord record = {};
    double observer[3] = {block->Obs_x, block->Obs_y, block->Obs_z};
    double viewpoint[3] = {block->Viewpoint_x, block->Viewpoint_y, block->Viewpoint_z};
    double top[3] = {block->top_x, block->top_y, block->top_z};
    bool usable = SetupAttractorProjection(fractal, observer, viewpoint, top, block->FieldOfView,
                                           &record.projection, &record.viewRect) != 0;
    PlaceCameras(fractal, &record, usable, workers);
    int stride = fractal->GetImageStride();
    OpenGLRenderer* renderer = AttractorRendererOf(fractal);
    bool previewShown = renderer && renderer->previewInImage;
    if (renderer)
        renderer->previewInImage = 0;
    if (task->imageBits && !previewShown)
        memset(task->imageBits, 0, (size_t)stride * fractal->header->Height * 3);
    record.radius = AttractorKernelRadius(block->weightRadius);
    record.stride = stride;
    record.image = task->imageBits;
    record.renderMode = block->RenderMode;
    record.kernel = (float*)task->attractorKernel;
    record.kernelMask = (uint8_t*)task->attractorKernelMask;
    record.ownColours = OwnColours(task) ? 1 : 0;
    if (record.kernel && record.kernelMask)
        FillAttractorKernel(block->weightRadius, record.kernel, record.kernelMask);
    for (int i = 0; i < workers; ++i)
        if (uint8_t* base = task->workers[i].dataBlock->GetBase())
            base[AV_PROJECT_FLAG] = 1;
    // Flame and Plasma sum colours in the four planes; the mode may have
    // changed since the task sized its buffers
    if (block->RenderMode == ARM_FLAME || block->RenderMode == ARM_PLASMA)
        for (Array2D* sums : task->planes)
            if (sums->width != task->plane1->width || sums->height != task->plane1->height || !sums->data)
                if (!sums->Allocate(task->plane1->width, task->plane1->height, 4))
                    return;
    int n = AttractorFilterSize(block->Oversample + 1, block->FilterRadius);
    if (!task->plane7->Allocate(n, n, 4))
        return;
    FillAttractorFilter(n, (float*)task->plane7->data);
    record.filterSize = n;

    record.workerCount = 1;
    if (workers > 1 && StartAttractorPixelWorkers(fractal, workers, &record)) {
        record.workerCount = workers;
        g_PixelWorkersOf = fractal;
        g_PixelWorkerCount = workers;
    }

    PointRun run = {};
    run.fractal = fractal;
    run.task = task;
    run.record = &record;
    run.planes = PlanesOf(task, block->RenderMode);
    run.how.mode = block->RenderMode;
    run.how.radius = record.radius;
    run.how.kernel = record.kernel;
    run.how.directColour = OwnColours(task);
    run.how.mapColour = &MapColour;
    run.how.mapContext = fractal;
    run.points = task->attractorPointCount;
    run.target = target;
    run.lastPercent = -1;

    bool finished = false;
    if (redraw) {
        Compose(&run, task->attractorPointCount);
        finished = task->progress == 1.0;
    }
    if (!finished && run.planes.density && run.planes.depth && run.planes.colour && run.planes.flags) {
        task->stateByte = 1;
        std::vector<AttractorPointWork> work(workers);
        for (int i = 0; i < workers; ++i) {
            WorkerSlot& w = task->workers[i];
            work[i].base = w.dataBlock->GetBase();
            work[i].program = task->codeBuffer->GetData();
        }
        run.work = work.data();
        run.workers = workers;
        AttractorRunHooks hooks;
        hooks.context = &run;
        hooks.commandPending = &RunPending;
        hooks.accumulate = &RunAccumulate;
        hooks.refresh = &RunRefresh;
        bool stopped = false;
        double counted = RunAttractorPointWorkers(work.data(), workers, task->attractorPointCount, target, hooks,
                                                  &stopped);
        for (int i = 0; i < workers; ++i)
            task->workers[i].calculatorArea[CA_INVALID_BATCHES] += work[i].invalidBatches;
        task->attractorPointCount = counted;
        run.work = nullptr;
        g_Escaped = run.escaped;
        if (run.escaped)
            Stamp(fractal, "%s", "No points: every orbit escapes");
        else if (!CommandPending(task) && !run.faultCode)
            Compose(&run, counted);
    }
    StopPixelWorkers();
    if (run.faultCode)
        RaiseException(run.faultCode, 0, 0, nullptr);

    std::vector<uint8_t*> bases;
    for (int i = 0; i < workers; ++i)
        bases.push_back(task->workers[i].dataBlock->GetBase());
    bases.push_back(nullptr);
    HandleWritebackParameters(bases.data(), (WPARAM)fractal, block);
    if (!CommandPending(task)) {
        task->lastDisplayTick = GetTickCount();
        task->progress = 1.0;
        PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    }
}

void RedrawAttractor(Fractal* fractal)
{
    FractalTask* task = fractal->task;
    if (!task)
        return;
    if (!task->stateByte) {
        CalculateAttractorGuarded(fractal);
        return;
    }
    task->workers[0].calculatorArea[CA_INVALID_BATCHES] = 0;
    task->workers[0].fractal = fractal;
    if (CommandPending(task))
        return;
    OpenGLRenderer* renderer = AttractorRendererOf(fractal);
    if (renderer && (renderer->rebuildPoints || renderer->rebuild[1]) &&
        ShowAttractorPreview(fractal, OwnColours(task)) != 0)
        return;
    RenderAttractor(fractal, true);
}

int CalculateAttractorGuarded(Fractal* fractal)
{
    int result = 2;
    DWORD code = GuardedReport("CalculateAttractor", true, [&] { result = CalculateAttractor(fractal); });
    if (code == 0)
        return result;
    // the render was abandoned: its pixel workers are still waiting for rows
    StopPixelWorkers();
    if (fractal && fractal->task)
        DeleteCompiledFunctions(BlockOf(fractal));
    return code == EXCEPTION_STOP_THREAD ? 3 : 2;
}

// The recolour road of the calculation thread reaches the attractor
// through its hook; this file is linked whenever the dispatch is.
static const bool g_RedrawBound = (g_TaskHooks.redrawAttractor = &RedrawAttractor, true);
// The search's hook is bound in its own file; naming it here links it.
extern const bool g_SearchBound;

int CalculateAttractorArea(Fractal* fractal, int, int, int, int)
{
    (void)g_RedrawBound;
    volatile bool searchLinked = g_SearchBound;
    (void)searchLinked;
    return CalculateAttractorGuarded(fractal);
}
