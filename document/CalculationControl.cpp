// Commands to a fractal's calculation thread. A send writes the command
// word and polls for the answer with the thread at the highest priority;
// a thread busy in generated formula code is forced out of it (it raises
// the stop request there), one inside any other code is simply awaited.
#include "document/Fractal.h"
#include <string.h>
#include "foundation/Guard.h"
#include "calc/ImageSnapshot.h"
#include "document/FractalThreads.h"
#include "foundation/Thread.h"
#include "foundation/MessageBox.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "view3d/Parameters3D.h"

namespace {

const char kDeadlockText[] =
    "Deadlock assumed.\nWhile trying to contact the fractal thread Spiralix entered an (almost) infinite loop. "
    "You may continue using Spiralix, but it is possible that the Spiralix main loop after closing this dialog "
    "box will change data of the fractal thread while the thread is actually using it. Confused?\nWell, it can "
    "be that Spiralix will crash after closing this dialog box. If you want to get a chance to continue, then "
    "wait until all fractals have been calculated (but most likely they simple wait for you to close this "
    "dialog in order to start right away...)";

enum { SEND_POLLS = 300, SEND_POLL_MS = 10, HIGHEST_PRIORITY = 4 };

// Generated code lives in executable memory the program allocated itself;
// the program's image and the system's DLLs are mapped images. A thread
// stopped inside a system call it made from generated code is in a DLL and
// must not be redirected there.
bool IsGeneratedCode(DWORD eip, void*)
{
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<void*>(eip), &info, sizeof info) != sizeof info)
        return false;
    const DWORD executable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return info.State == MEM_COMMIT && info.Type == MEM_PRIVATE && (info.Protect & executable) != 0;
}

// One poll of a suspended thread: a thread in generated code is sent to
// the stop request.
void RedirectIfInFormula(FractalTask* task)
{
    if (task->inCompiledCode)
        RedirectToStop(task->thread->handle, &IsGeneratedCode, nullptr);
}

void DeleteSnapshot(FractalTask* task)
{
    if (!IsFractalThread()) {
        delete task->snapshot;
        task->snapshot = nullptr;
    }
}

void TouchRenderer(FractalTask* task)
{
    if (task->renderer) {
        memset(task->renderer->rebuild, 1, sizeof task->renderer->rebuild);
        task->renderer->loadedTexture[0] = 0;
    }
}

bool HasBuffers(const Fractal* f)
{
    return (f->task && f->task->values) || f->renderJob;
}

// The buffers of a new calculation start empty.
void ClearBuffers(Fractal* f)
{
    FractalTask* t = f->task;
    if (f->header->Type == FT_ATTRACTOR) {
        t->attractorDataInvalid = 1;
        if (t->renderer)
            t->renderer->rebuild[1] = 1;
    } else if (t->values) {
        size_t cells = (size_t)f->GetBufferWidth() * f->header->Height;
        memset(t->values, 0, cells * sizeof(float));
        for (Array2D& a : t->arrays)
            if (a.IsAllocated())
                memset(a.data, 0, (size_t)a.width * a.height * a.cellSize);
        if (t->flags)
            memset(t->flags, 0, cells);
    }
    t->stateByte = 0;
    f->header->CalcStart = f->header->CalcEnd = f->header->PausedTime = f->header->ExtraTime = -1;
}

}  // namespace

void Fractal::SendThreadCommand(int command, int answer)
{
    if (!task || !task->thread)
        return;
    PMessageBox box(0x2010);
    Thread* thread = task->thread;
    task->command = command;
    thread->SetPriority(HIGHEST_PRIORITY);
    bool answered = false;
    for (int poll = 0; poll < SEND_POLLS && !answered; ++poll) {
        Sleep(SEND_POLL_MS);
        thread->Suspend();
        answered = task->command == answer;
        if (!answered)
            RedirectIfInFormula(task);
        thread->Resume();
    }
    thread->SetPriority(g_TaskPriority);
    if (!answered)
        box.Show("Critical Error", kDeadlockText);
}

bool Fractal::SendLayerThreadCommand(Fractal* layerFractal, int command, int answer)
{
    FractalTask* own = task;
    FractalTask* lt = layerFractal ? layerFractal->task : nullptr;
    if (!own || !lt || !lt->thread)
        return false;
    PMessageBox box(0x2010);
    Thread* thread = lt->thread;
    lt->command = command;
    thread->SetPriority(HIGHEST_PRIORITY);
    bool answered = false;
    for (int poll = 0; poll < SEND_POLLS && !answered; ++poll) {
        if (own->command != 0) {
            thread->SetPriority(g_TaskPriority);
            return false;
        }
        Sleep(SEND_POLL_MS);
        thread->Suspend();
        answered = lt->command != command;
        if (!answered)
            RedirectIfInFormula(lt);
        thread->Resume();
    }
    thread->SetPriority(g_TaskPriority);
    if (!answered)
        box.Show("Critical Error", kDeadlockText);
    return true;
}

void Fractal::StopCalculation()
{
    SendThreadCommand(FTC_STOP, FTC_STOPPED);
}

bool Fractal::StopLayerCalculation(Fractal* layerFractal)
{
    if (!task || !layerFractal || !layerFractal->task)
        return false;
    return SendLayerThreadCommand(layerFractal, FTC_STOP, FTC_STOPPED);
}

void Fractal::StopWithLayers()
{
    ForEachLayerFractal(this, [](Fractal* layer) {
        if (layer->task)
            layer->SendThreadCommand(FTC_STOP, FTC_STOPPED);
    });
    if (task)
        SendThreadCommand(FTC_STOP, FTC_STOPPED);
}

void Fractal::StartSearch()
{
    if (!task)
        return;
    SendThreadCommand(FTC_STOP, FTC_STOPPED);
    SendThreadCommand(FTC_SEARCH, 0);
}

void Fractal::Recalculate()
{
    if (!task || !HasBuffers(this))
        return;
    imageFileName[0] = 0;
    DeleteSnapshot(task);
    TouchRenderer(task);
    stopRequested = 0;
    if (header->Type == FT_QUATERNION && g_QuaternionViewReset)
        g_QuaternionViewReset(this);
    ClearBuffers(this);
    SendThreadCommand(FTC_RECALCULATE, 0);
}

void Fractal::RecalculateLayer(Fractal* layerFractal)
{
    if (!task || !layerFractal || !layerFractal->task || !HasBuffers(this) || !HasBuffers(layerFractal))
        return;
    TouchRenderer(layerFractal->task);
    layerFractal->stopRequested = 0;
    ClearBuffers(layerFractal);
    SendLayerThreadCommand(layerFractal, FTC_RECALCULATE, 0);
}

void Fractal::RecalculateWithLayers()
{
    ForEachLayerFractal(this, [](Fractal* layer) { layer->Recalculate(); });
    Recalculate();
}

void Fractal::Calculate()
{
    if (!task)
        return;
    if (!IsFractalThread()) {
        DeleteSnapshot(task);
        if (header->Type != FT_ATTRACTOR && header->Type != FT_QUATERNION)
            RecalculateWithLayers();
    }
    if (header->Type == FT_ATTRACTOR) {
        task->attractorDataInvalid = 1;
        task->stateByte = 0;
        header->CalcStart = header->CalcEnd = header->PausedTime = header->ExtraTime = -1;
    }
    if (header->ImageFilter)
        Recalculate();
    else
        SendThreadCommand(FTC_CONTINUE, 0);
}

void Fractal::CalculateAllPasses()
{
    ForEachLayerFractal(this, [](Fractal* layer) {
        if (layer->task) {
            layer->task->passLimit = 1000;
            layer->Calculate();
        }
    });
    if (task) {
        task->passLimit = 1000;
        Calculate();
    }
}

void Fractal::Redraw3D()
{
    if (!task || header->Dims != 1)
        return;
    DeleteSnapshot(task);
    if (params3D && params3D->Mode3D == 0) {
        size_t bytes = (size_t)GetImageStride() * header->Height;
        if (task->image3D)
            memset(task->image3D, 0, bytes * 3);
        if (ScreenDepth <= 8 && task->image3D8)
            memset(task->image3D8, 0, bytes);
    }
    SendThreadCommand(FTC_REDRAW3D, 0);
}

void Fractal::Recolour()
{
    if (!task)
        return;
    DeleteSnapshot(task);
    if (task->renderer) {
        task->renderer->rebuild[0] = 1;
        task->renderer->loadedTexture[0] = 0;
    }
    if (header->ImageFilter)
        Recalculate();
    else
        SendThreadCommand(FTC_RECOLOUR, 0);
}
