// The calculation thread of a fractal task. It waits for FTC_START, then
// polls the command word every 10 ms and calculates, recolours, redraws the
// 3D view or searches as asked. The thread clears or answers the word only
// while it still holds the value read (compare-exchange), so a command
// another thread wrote meanwhile is never lost.
#include "calc/task/FractalThread.h"
#include <stdio.h>
#include <string.h>
#include <mmsystem.h>
#include "foundation/Guard.h"
#include "foundation/FailureReport.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Thread.h"
#include "foundation/Buffers.h"
#include "foundation/ImageFilter.h"
#include "calc/FractalTask.h"
#include "calc/DisplayPalette.h"
#include "calc/task/TaskHooks.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/layers/LayeredCalculation.h"
#include "document/Fractal.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "view3d/Parameters3D.h"
#include "fractals/dynsys/DynamicSystem.h"
#include "fractals/lsystem/LSystemCalculator.h"
#include "fractals/plasma/Plasma.h"
#include "fractals/attractor/CalculateAttractor.h"
#include "fractals/quaternion/CalculateQuaternion.h"
#include "fractals/ifs/IfsFormula.h"

int DrawingSpeed = 10;
BYTE SoundOnFinish = 1;

namespace {

enum { POLL_MS = 10, LONG_RUN_MS = 10000, FINISH_SOUND = 28300 };

// The calculators by type. A type whose calculator has not arrived yet
// calculates nothing (result 0), like the types that have none.
struct CalculatorRow {
    int type;
    Calculator calculator;
};
CalculatorRow kCalculators[] = {
    {FT_PLASMA, CalculatePlasmaArea},
    {FT_DYNAMICSYSTEM, CalculateDynamicSystemArea},
    {FT_LSYSTEM, CalculateLSystemArea},
    {FT_IFS, CalculateIfs},
    {FT_ESCAPETIME, CalculateEscapeTime},
    {FT_LAYERED, DrawLayeredFractal},
    {FT_QUATERNION, CalculateQuaternionGuarded},
    {FT_ATTRACTOR, CalculateAttractorArea},
};

// All six x87 exceptions masked, 64-bit precision, rounding to nearest.
void SetCalculationFpu()
{
    unsigned short cw = 0x037F;
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
}

int ReadCommand(FractalTask* task)
{
    return task->command;
}

bool ReplaceCommand(FractalTask* task, int expected, int value)
{
    return TakeCommand(task, expected, value);
}

// A command other than FTC_REDRAW3D arrived; a pending redraw stays for
// the next cycle.
bool NewCommand(FractalTask* task)
{
    int c = ReadCommand(task);
    return c != 0 && c != FTC_REDRAW3D;
}

bool IsLayer(const Fractal* f)
{
    return f->baseFractal != nullptr && f->baseFractal != f;
}

bool Blocked(const Fractal* f)
{
    return f->suppressDrawing != 0;
}

bool NothingToRecolour(const Fractal* f)
{
    const FractalTask* t = f->task;
    if (t->calculationState == CS_NONE || !t->values)
        return true;
    return t->values[0] == 0.0f && (!t->flags || t->flags[0] == 0);
}

bool View3DReady(const Fractal* f)
{
    const Parameters3D* p = f->params3D;
    if (!p)
        return false;
    if (p->Mode3D == 0)
        return f->task->image3D != nullptr;
    return p->Mode3D == 1 && f->task->renderer && f->task->renderer->data;
}

bool Finished(const Fractal* f)
{
    int s = f->task->calculationState;
    int dims = f->header->Dims == 1;
    return (s == CS_IMAGE_DONE && !dims) || (s == CS_3D_DONE && dims) || s == CS_COMPLETE;
}

void RefreshPositionView(Fractal* f)
{
    if (g_TaskHooks.refreshPositionView)
        g_TaskHooks.refreshPositionView(f);
}

void Draw3D(Fractal* f)
{
    if (g_TaskHooks.draw3D)
        g_TaskHooks.draw3D(f);
}

Fractal* RunningAnimationFractal()
{
    return g_TaskHooks.runningAnimationFractal ? g_TaskHooks.runningAnimationFractal() : nullptr;
}

void PlayFinishSound()
{
    if (g_TaskHooks.playFinishSound)
        g_TaskHooks.playFinishSound();
    else
        PlaySoundA(MAKEINTRESOURCEA(FINISH_SOUND), GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
}

// Scratch reservations of one command; they only ever grow.
void ReserveScratch(Fractal* f)
{
    FractalTask* t = f->task;
    int bufferWidth = f->GetBufferWidth();
    int height = f->header->Height;
    long long rowBytes = 32LL * (bufferWidth + height + 80);
    if (rowBytes < 4LL * height)
        rowBytes = 4LL * height;
    if (t->rowWorkBuffer && rowBytes < 0x7FFFFFFF)
        t->rowWorkBuffer->Reserve((int)rowBytes);
    if (!f->header->ImageFilter)
        return;
    long long n = f->header->ImageFilter->GetSide();
    long long s = f->header->FilterStep;
    long long filterBytes = (bufferWidth - 1) * (40 * s - 40) + 40 * (bufferWidth + n) - 40;
    long long filterBytes2 = filterBytes;
    if (f->header->Type == FT_ESCAPETIME)
        filterBytes2 = (bufferWidth - 1) * (120 * s - 120) + 120 * (bufferWidth + n) - 120;
    if (t->filterRows && filterBytes > 0 && filterBytes < 0x7FFFFFFF)
        t->filterRows->Reserve((int)filterBytes);
    if (t->filterRows2 && filterBytes2 > 0 && filterBytes2 < 0x7FFFFFFF)
        t->filterRows2->Reserve((int)filterBytes2);
}

void CalculateWholeBuffer(Fractal* f, Thread* thread)
{
    DrawFractal(f, thread, 0, 0, f->header->Width, f->header->Height - 1);
}

// FTC_RECALCULATE and FTC_CONTINUE. Returns false when a new command
// arrived (the animation step follows directly).
bool RunCalculation(Fractal* f, Thread* thread, int c)
{
    FractalTask* t = f->task;
    t->attractorResume = f->header->Type == FT_ATTRACTOR && c == FTC_CONTINUE;
    t->lastCalculateCommand = c;
    ReplaceCommand(t, c, 0);
    t->calculationState = CS_NONE;
    if (!Blocked(f)) {
        CalculateWholeBuffer(f, thread);
        RefreshPositionView(f);
    }
    if (NewCommand(t))
        return false;
    if (t->calculationState < CS_IMAGE_DONE)
        return true;
    t->progress = 1.0;
    if (f->header->Dims == 1 && View3DReady(f) && f->header->Type != FT_QUATERNION && !Blocked(f)) {
        Draw3D(f);
        if (ReadCommand(t) == 0)
            f->SetCalculationState(CS_3D_DONE);
    }
    if (f->renderJob) {
        if (f->header->Type != FT_LAYERED && g_TaskHooks.storeRenderJobResult)
            g_TaskHooks.storeRenderJobResult(f);
        f->SetCalculationState(CS_COMPLETE);
    }
    return true;
}

bool RunRedraw3D(Fractal* f, Thread* thread)
{
    FractalTask* t = f->task;
    ReplaceCommand(t, FTC_REDRAW3D, 0);
    if (t->calculationState == CS_NONE && !Blocked(f))
        CalculateWholeBuffer(f, thread);
    RefreshPositionView(f);
    if (NewCommand(t))
        return false;
    t->progress = 1.0;
    f->SetCalculationState(CS_IMAGE_DONE);
    if (f->header->Dims == 1 && View3DReady(f) && !Blocked(f)) {
        Draw3D(f);
        if (ReadCommand(t) != 0)
            return false;
        f->SetCalculationState(CS_3D_DONE);
    }
    return true;
}

void RunRecolour(Fractal* f, Thread* thread)
{
    FractalTask* t = f->task;
    int type = f->header->Type;
    t->attractorResume = type == FT_ATTRACTOR;
    t->calculationState = CS_NONE;
    ReplaceCommand(t, FTC_RECOLOUR, 0);
    RefreshPositionView(f);
    if (type == FT_QUATERNION) {
        if (g_TaskHooks.rethinkQuaternion)
            g_TaskHooks.rethinkQuaternion(f);
        f->SetCalculationState(CS_IMAGE_DONE);
        return;
    }
    if (f->header->Dims == 1) {
        f->SetCalculationState(CS_IMAGE_DONE);
        RefreshPositionView(f);
        const Parameters3D* p = f->params3D;
        bool drawn3D = p && (p->Mode3D == 1 || (p->Mode3D == 0 && p->Drawmode == 0));
        if (!Blocked(f) && drawn3D) {
            Draw3D(f);
            if (ReadCommand(t) == 0)
                f->SetCalculationState(CS_3D_DONE);
        }
        t->recolourOnLeaving3D = 1;
        return;
    }
    if (!Blocked(f)) {
        if (type == FT_LAYERED) {
            if (g_TaskHooks.rethinkLayered)
                g_TaskHooks.rethinkLayered(f);
        } else {
            RethinkFractal(f, thread);
        }
    }
    f->SetCalculationState(CS_IMAGE_DONE);
    int c = ReadCommand(t);
    if (c == 0 || c == FTC_REDRAW3D)
        t->progress = 1.0;
}

void RunSearch(Fractal* f)
{
    FractalTask* t = f->task;
    int argument = t->commandArgument;
    ReplaceCommand(t, FTC_SEARCH, 0);
    if (f->header->Type == FT_ATTRACTOR && g_TaskHooks.searchAttractor)
        g_TaskHooks.searchAttractor(f, (argument >> 1) & 1, (signed char)((argument >> 8) & 0xFF), argument & 1);
}

// Step 6: after a finished command, a layer makes its parent re-merge;
// anything else may play the finish sound.
void AfterFinish(Fractal* f, DWORD t0)
{
    if (ReadCommand(f->task) != 0 || !Finished(f))
        return;
    if (IsLayer(f)) {
        f->baseFractal->Recalculate();
        return;
    }
    if (SoundOnFinish && GetTickCount() - t0 > (DWORD)LONG_RUN_MS && f != RunningAnimationFractal())
        PlayFinishSound();
}

bool LayerFinishedForAnimation(const Fractal* layer)
{
    if (!layer || !layer->task || layer->task->command != 0)
        return false;
    int s = layer->task->calculationState;
    return layer->header->Dims == 1 ? s == CS_3D_DONE : s >= CS_IMAGE_DONE;
}

// Step 7: the running animation's fractal asks for the next frame.
void AnimationStep(Fractal* f)
{
    if (f != RunningAnimationFractal() || ReadCommand(f->task) != 0)
        return;
    int s = f->task->calculationState;
    bool dims = f->header->Dims == 1;
    if (!((s == CS_IMAGE_DONE && !dims) || (s == CS_3D_DONE && dims)))
        return;
    if (f->header->Type == FT_LAYERED && f->typeParameters) {
        const LayeredParameters* block = static_cast<const LayeredParameters*>(f->typeParameters);
        for (ListNode* n = block->layers.GetHead(); n; n = n->next)
            if (!LayerFinishedForAnimation(static_cast<Layer*>(n)->fractal))
                return;
    }
    PostToMainFrame(UM_ANIMATION_STEP, 0, 0);
}

// Before FTC_START: answers stops, ignores everything else. False on FTC_QUIT.
bool WaitForStart(Fractal* f)
{
    for (;;) {
        FractalTask* t = f->task;
        if (t) {
            int c = ReadCommand(t);
            if (c == FTC_START) {
                ReplaceCommand(t, c, 0);
                return true;
            }
            if (c == FTC_QUIT)
                return false;
            if (c == FTC_STOP)
                ReplaceCommand(t, c, FTC_STOPPED);
            else if (c != 0 && c != FTC_STOPPED)
                ReplaceCommand(t, c, 0);
        }
        Sleep(POLL_MS);
    }
}

// One cycle of the command loop; false when the thread must end.
bool CommandCycle(Fractal* f, Thread* thread)
{
    FractalTask* t = f->task;
    int c = ReadCommand(t);
    if (c == 0 || c == FTC_STOPPED) {
        Sleep(POLL_MS);
        return ReadCommand(t) != FTC_QUIT;
    }
    int type = f->header->Type;
    if (c == FTC_RECOLOUR && type != FT_LAYERED && type != FT_ATTRACTOR && NothingToRecolour(f)) {
        // The word itself keeps FTC_RECOLOUR until it is cleared below.
        ReplaceCommand(t, FTC_RECOLOUR, FTC_CONTINUE);
        c = FTC_CONTINUE;
    }
    ReserveScratch(f);
    DWORD t0 = GetTickCount();
    bool finishStep = true;
    switch (c) {
    case FTC_STOP:
        ReplaceCommand(t, c, FTC_STOPPED);
        return ReadCommand(t) != FTC_QUIT;
    case FTC_RECALCULATE:
    case FTC_CONTINUE:
        finishStep = RunCalculation(f, thread, c);
        break;
    case FTC_REDRAW3D:
        finishStep = RunRedraw3D(f, thread);
        break;
    case FTC_RECOLOUR:
        RunRecolour(f, thread);
        break;
    case FTC_SEARCH:
        RunSearch(f);
        break;
    case FTC_QUIT:
        return false;
    default:
        ReplaceCommand(t, c, 0);
        break;
    }
    if (finishStep)
        AfterFinish(f, t0);
    AnimationStep(f);
    return ReadCommand(t) != FTC_QUIT;
}

void ReportGuardedFailure(DWORD code, const char* routine, Fractal* f)
{
    SetCalculationFpu();
    if (code == EXCEPTION_STOP_THREAD)
        return;
    char text[200];
    snprintf(text, sizeof text, "%s Type=%d Name=%s", routine, f->header->Type, f->name);
    ReportSoftwareFailure(code, text);
}

bool IsDynamicSystem(const Fractal* f)
{
    return f->header->Type == FT_DYNAMICSYSTEM;
}

void RestoreDisplayPalette(Fractal* f)
{
    bool current = CurrentFolder && CurrentFolder->currentFractal == f;
    if (f->header->DisplayDepth == 8 && ScreenDepth == 8 && current && !DisplayShowsFractalColors)
        f->UpdatePalette();
}

void ColourRow(Fractal* f, int row)
{
    if (g_TaskHooks.colourRow)
        g_TaskHooks.colourRow(f, row, f->header->DisplayDepth > 8);
}

void DrawRows(Fractal* f, int first, int last)
{
    if (first <= last && g_TaskHooks.drawImageRows)
        g_TaskHooks.drawImageRows(f, first, last);
}

}  // namespace

Calculator CalculatorOfType(int type)
{
    for (const CalculatorRow& row : kCalculators)
        if (row.type == type)
            return row.calculator;
    return nullptr;
}

Calculator ReplaceCalculator(int type, Calculator calculator)
{
    for (CalculatorRow& row : kCalculators)
        if (row.type == type) {
            Calculator previous = row.calculator;
            row.calculator = calculator;
            return previous;
        }
    return nullptr;
}

bool CommandPending(FractalTask* task)
{
    int c = ReadCommand(task);
    if (c == FTC_REDRAW3D) {
        ReplaceCommand(task, FTC_REDRAW3D, 0);
        c = ReadCommand(task);
    }
    return c != 0;
}

bool TakeCommand(FractalTask* task, int expected, int value)
{
    return InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&task->command), value, expected) == expected;
}

DWORD FractalThreadProc(Thread* thread)
{
    SetCalculationFpu();
    Fractal* f = static_cast<Fractal*>(thread->userData);
    if (WaitForStart(f))
        while (CommandCycle(f, thread)) {
        }
    f->task->command = FTC_QUIT_DONE;
    while (thread->state != THREAD_STATE_STOP)
        Sleep(POLL_MS);
    return 0;
}

void DrawFractal(Fractal* fractal, Thread* thread, int x0, int y0, int x1, int y1)
{
    DWORD code = Guarded([&] { DispatchFractalCalculation(fractal, thread, x0, y0, x1, y1); }, &IsSoftwareException);
    if (code)
        ReportGuardedFailure(code, "DrawFractal", fractal);
}

void RethinkFractal(Fractal* fractal, Thread* thread)
{
    DWORD code = Guarded([&] { RecolourFractal(fractal, thread); }, &IsSoftwareException);
    if (code)
        ReportGuardedFailure(code, "RethinkFractal", fractal);
}

void DispatchFractalCalculation(Fractal* f, Thread*, int x0, int y0, int x1, int y1)
{
    FractalTask* t = f->task;
    int type = f->header->Type;
    t->heightsValid = 0;
    RestoreDisplayPalette(f);
    t->progress = 0.0;
    if (type != FT_LAYERED)
        f->SetTimeStamp(1, nullptr);
    Calculator calculator = CalculatorOfType(type);
    f->lastResult = calculator ? calculator(f, x0, y0, x1, y1) : 0;
    int c = ReadCommand(t);
    if (c == 0 || c == FTC_REDRAW3D)
        f->SetCalculationState(CS_IMAGE_DONE);
    if (type == FT_LAYERED) {
        f->header->CalcTime = f->GetEstimatedCalculationTime();
        PostToMainFrame(UM_CALCULATION_DONE, reinterpret_cast<WPARAM>(f), 0);
        return;
    }
    c = ReadCommand(t);
    if (c != 0 && c != FTC_REDRAW3D) {
        FractalHeader* h = f->header;
        h->CalcStart = h->CalcEnd = h->PausedTime = h->ExtraTime = -1;
        return;
    }
    f->SetTimeStamp(2, nullptr);
    f->header->CalcTime = f->GetEstimatedCalculationTime();
    Fractal* notified = f;
    if (IsLayer(f)) {
        notified = f->baseFractal;
        notified->header->CalcTime = notified->GetEstimatedCalculationTime();
    }
    PostToMainFrame(UM_CALCULATION_DONE, reinterpret_cast<WPARAM>(notified), 0);
}

void RecolourFractal(Fractal* f, Thread*)
{
    FractalTask* t = f->task;
    int type = f->header->Type;
    if (type == FT_QUATERNION || type == FT_ATTRACTOR) {
        void (*hook)(Fractal*) = type == FT_QUATERNION ? g_TaskHooks.rethinkQuaternion : g_TaskHooks.redrawAttractor;
        if (hook)
            hook(f);
        return;
    }
    RestoreDisplayPalette(f);
    if (IsDynamicSystem(f))
        return;
    int height = f->header->Height;
    int down = height / 2;
    int up = height / 2 - 1;
    if (f->dither)
        ZeroDitherErrors(f);
    // Bands coloured since the last display update: rows up+1..down-1.
    int drawnUp = up, drawnDown = down;
    DWORD last = GetTickCount();
    while (up >= 0 || down <= height - 1) {
        if (CommandPending(t))
            break;
        if (up >= 0)
            ColourRow(f, up--);
        if (CommandPending(t))
            break;
        if (down <= height - 1)
            ColourRow(f, down++);
        if (GetTickCount() - last >= (DWORD)DrawingSpeed) {
            DrawRows(f, up + 1, drawnUp);
            DrawRows(f, drawnDown, down - 1);
            drawnUp = up;
            drawnDown = down;
            last = GetTickCount();
        }
    }
    DrawRows(f, up + 1, drawnUp);
    DrawRows(f, drawnDown, down - 1);
    if (f->dither) {
        DitherFractalImage(f);
        DrawRows(f, 0, height - 1);
    }
}

void RecolourAllLines(Fractal* f, int dither)
{
    FractalTask* t = f->task;
    if (IsDynamicSystem(f))
        return;
    bool dithering = f->dither && dither;
    if (dithering)
        ZeroDitherErrors(f);
    int height = f->header->Height;
    for (int row = 0; row < height; ++row) {
        t->progress = (double)row / height;
        if (CommandPending(t))
            return;
        ColourRow(f, row);
    }
    if (dithering)
        DitherFractalImage(f);
}

void ZeroDitherErrors(Fractal* f)
{
    FractalTask* t = f->task;
    for (int i = 3; i < 9; ++i)
        if (t->ditherRows[i])
            memset(t->ditherRows[i], 0, sizeof(float) * (size_t)f->header->Width);
}

void DrawVisibleRows(Fractal* f, int first, int last)
{
    FractalTask* task = f->task;
    if (!task->window || task->windowHidden || !g_TaskHooks.drawImageRows)
        return;
    if (first < 0)
        first = 0;
    if (last > f->header->Height - 1)
        last = f->header->Height - 1;
    if (first <= last)
        g_TaskHooks.drawImageRows(f, first, last);
}
