// Creation and deletion of a fractal's calculation task. The task is built
// under the fractal's BusyLock with its thread suspended; the thread is
// resumed last and waits for FTC_START. Deletion ends the thread before it
// frees anything the thread could touch, even when the thread never answers.
#include "calc/task/TaskLifecycle.h"
#include <stdio.h>
#include <string.h>
#include <stdlib.h>
#include "foundation/Buffers.h"
#include "foundation/FailureReport.h"
#include "foundation/Guard.h"
#include "foundation/MessageBox.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"
#include "compiler/FormulaCompiler.h"
#include "animation/Spline.h"
#include "calc/FractalTask.h"
#include "calc/ImageSnapshot.h"
#include "calc/colour/Palette.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskBuffers.h"
#include "document/Layers.h"
#include "calc/task/TaskHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "view3d/CameraWidget.h"
#include "view3d/OpenGLRenderer.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "document/ParameterTables.h"
#include "document/PlainBlocks.h"
#include "files/entry/EntryReader.h"
#include "files/image/ImageRead.h"
#include "foundation/Services.h"

TaskHooks g_TaskHooks = {};

namespace {

const char kSubtaskTitle[] = "Creating subtask";
const char kNoMemoryText[] =
    "There is not enough memory available for this operation.\n\nYou have the following possibilities:\n\n"
    "1. Close other applications to free some memory.\n"
    "2. Increase the swap file size (System Configuration/System).\n"
    "3. Allow a bigger swap file by:\n"
    "  3.1  deleting some files on the harddisk partition which contains\n"
    "        the swap file\n"
    "  3.2  placing the swap file on a partition with more space.";
const char kDeleteText[] =
    "You are about to delete a calculated fractal image.\nIf you delete it, the window and thus the image will\n"
    "be destroyed.\n\nDo you really want to delete it?";

// The fractal whose BusyLock the task being built holds; an exception
// during the build must give it back before the half-built task is
// deleted, which takes the same lock.
Fractal* g_lockedForCreation = nullptr;

// The end of a build: the lock is given back unconditionally.
void ReleaseCreationLock(Fractal* f)
{
    if (g_lockedForCreation == f)
        g_lockedForCreation = nullptr;
    f->busyLock->Unlock();
}

// After an exception: only a lock the build still holds is given back.
void ReleaseCreationLockAfterFailure(Fractal* f)
{
    if (g_lockedForCreation == f)
        ReleaseCreationLock(f);
}

enum { WORKER_BLOCK_INTS = 65536, ATTRACTOR_TABLE_INTS = 516, BLOCK_MARGIN = 1500, CODE_BYTES = 1000 };

bool CompilesFormulas(int type)
{
    return type == FT_PLASMA || type == FT_ESCAPETIME || type == FT_QUATERNION || type == FT_ATTRACTOR;
}

bool HasWorkers(int type)
{
    return type == FT_QUATERNION || type == FT_ATTRACTOR;
}

bool IsLayer(const Fractal* f)
{
    return f->baseFractal != nullptr && f->baseFractal != f;
}

bool IsCurrent(const Fractal* f)
{
    return CurrentFolder && CurrentFolder->currentFractal == f;
}

void CreateWorkers(FractalTask* t)
{
    t->workerDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    t->rowWorkerDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (int i = 0; i < WORKER_SLOTS; ++i)
        t->workerBlocks[i] = calloc(WORKER_BLOCK_INTS, sizeof(int32_t));
    t->attractorWeights = calloc(ATTRACTOR_TABLE_INTS, sizeof(int32_t));
    t->attractorColours = calloc(ATTRACTOR_TABLE_INTS, sizeof(int32_t));
    for (int i = 0; i < WORKER_SLOTS; ++i) {
        WorkerSlot& w = t->workers[i];
        w.dataBlock = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        w.dataBlockCopy = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        w.transformBlock = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        w.workBuffer = new GrowBuffer(100);
        w.arrayTable = new GrowBuffer(100);
        w.doneEvent = t->workerDoneEvent;
        w.wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        w.workerIndex = i;
        RowWorkerSlot& r = t->rowWorkers[i];
        r.doneEvent = t->rowWorkerDoneEvent;
        r.wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
}

void FreeWorkers(FractalTask* t)
{
    for (int i = 0; i < WORKER_SLOTS; ++i) {
        WorkerSlot& w = t->workers[i];
        delete w.transformBlock;
        delete w.dataBlock;
        delete w.dataBlockCopy;
        delete w.arrayTable;
        delete w.workBuffer;
        if (w.wakeEvent)
            CloseHandle(w.wakeEvent);
        if (t->rowWorkers[i].wakeEvent)
            CloseHandle(t->rowWorkers[i].wakeEvent);
        free(t->workerBlocks[i]);
    }
    memset(t->workers, 0, sizeof t->workers);
    memset(t->rowWorkers, 0, sizeof t->rowWorkers);
    memset(t->workerBlocks, 0, sizeof t->workerBlocks);
    if (t->workerDoneEvent)
        CloseHandle(t->workerDoneEvent);
    if (t->rowWorkerDoneEvent)
        CloseHandle(t->rowWorkerDoneEvent);
    t->workerDoneEvent = t->rowWorkerDoneEvent = nullptr;
    free(t->attractorWeights);
    free(t->attractorColours);
    free(t->attractorKernel);
    free(t->attractorKernelMask);
    t->attractorWeights = t->attractorColours = t->attractorKernel = t->attractorKernelMask = nullptr;
}

// The task's own blocks except the buffers, the thread and the window.
void FreeTaskBlocks(FractalTask* t)
{
    delete t->varBlock;
    delete t->varBlock2;
    delete t->varBlock3;
    delete t->varBlock4;
    delete t->smallBuffer;
    delete t->codeBuffer3;
    delete t->codeBuffer4;
    delete t->heightSpline;
    t->varBlock = t->varBlock2 = t->varBlock3 = t->varBlock4 = nullptr;
    t->smallBuffer = t->codeBuffer3 = t->codeBuffer4 = nullptr;
    t->heightSpline = nullptr;
    FreeWorkers(t);
}

void FreeScratch(FractalTask* t)
{
    delete t->rowWorkBuffer;
    delete t->filterRows;
    delete t->filterRows2;
    t->rowWorkBuffer = t->filterRows = t->filterRows2 = nullptr;
}

void FreeCompiler(FractalTask* t)
{
    delete t->formulaCompiler;
    delete t->codeBuffer;
    delete t->codeBuffer2;
    t->formulaCompiler = nullptr;
    t->codeBuffer = t->codeBuffer2 = nullptr;
}

void FreeLocksAndRecords(FractalTask* t)
{
    if (t->pen)
        DeleteObject(t->pen);
    if (t->backgroundBrush)
        DeleteObject(t->backgroundBrush);
    t->pen = nullptr;
    t->backgroundBrush = nullptr;
    delete t->rowLock;
    delete t->rowLock2;
    t->rowLock = t->rowLock2 = nullptr;
    if (g_TaskHooks.deleteRendererAndCamera)
        g_TaskHooks.deleteRendererAndCamera(t);
    delete t->renderer;
    t->renderer = nullptr;
    delete t->cameraWidget;
    t->cameraWidget = nullptr;
    for (Array2D& a : t->arrays)
        a.Free();
}

// The constructor steps of a task: everything but its buffers.
FractalTask* ConstructTask(Fractal* f, int stayIdle, int show, int withWindow)
{
    int type = f->header->Type;
    FractalTask* t = new FractalTask();
    t->fractal = f;
    t->renderer = new OpenGLRenderer(f);
    t->cameraWidget = new CameraWidget(f);
    t->heightSpline = new Spline(nullptr, SPLINE_CUBIC);
    if (g_TaskHooks.createRendererAndCamera)
        g_TaskHooks.createRendererAndCamera(t);
    t->rowLock = new BusyLock();
    t->rowLock2 = new BusyLock();
    f->busyLock->Lock();
    g_lockedForCreation = f;
    t->rowWorkBuffer = new GrowBuffer(type == FT_LAYERED ? 2000 : 1000);
    t->filterRows = new GrowBuffer(200);
    t->filterRows2 = new GrowBuffer(200);
    if (CompilesFormulas(type)) {
        t->varBlock = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        t->varBlock2 = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        t->smallBuffer = new GrowBuffer(100);
        t->varBlock3 = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        t->varBlock4 = new AlignedBuffer(BLOCK_MARGIN, BLOCK_MARGIN);
        t->codeBuffer3 = new GrowBuffer(CODE_BYTES, true);
        t->codeBuffer4 = new GrowBuffer(CODE_BYTES, true);
    }
    if (HasWorkers(type))
        CreateWorkers(t);
    if (CompilesFormulas(type)) {
        t->formulaCompiler = new FormulaCompiler();
        t->codeBuffer = new GrowBuffer(CODE_BYTES, true);
        t->codeBuffer2 = new GrowBuffer(CODE_BYTES, true);
    }
    int x = -1, y = -1;
    if (f->windowX >= 0 && f->windowY >= 0) {
        x = f->windowX;
        y = f->windowY;
        f->windowX = -1;
    }
    t->windowHidden = 1;
    if (withWindow && g_TaskHooks.createWindow)
        g_TaskHooks.createWindow(t, x, y, show);
    t->thread = new Thread(&FractalThreadProc, f, false, 0);
    t->thread->SetPriority(g_TaskPriority);
    t->command = 0;
    if (type == FT_ATTRACTOR) {
        t->attractorKernel = calloc(1, 4096);
        t->attractorKernelMask = calloc(1, 1024);
    }
    if (t->window && g_TaskHooks.sizeWindow) {
        const FractalHeader* h = f->header;
        if (h->Scrollbar)
            g_TaskHooks.sizeWindow(t, h->WinWidth, h->WinHeight);
        else
            g_TaskHooks.sizeWindow(t, h->Width, h->Height);
    }
    if (!stayIdle && type == FT_LAYERED && g_TaskHooks.openLayerWindows)
        g_TaskHooks.openLayerWindows(f, withWindow);
    if (show && t->window) {
        if (g_TaskHooks.showWindow)
            g_TaskHooks.showWindow(t);
        t->windowHidden = 0;
    }
    t->thread->Resume();
    return t;
}

// Undoes a task whose buffers could not be made.
void DiscardTask(Fractal* f, FractalTask* t)
{
    FreeTaskBuffers(f, 1);
    t->thread->Suspend();
    delete t->thread;
    t->thread = nullptr;
    f->task = nullptr;
    ReleaseCreationLock(f);
    FreeTaskBlocks(t);
    FreeScratch(t);
    FreeCompiler(t);
    if (t->window && g_TaskHooks.deleteWindow)
        g_TaskHooks.deleteWindow(t);
    FreeLocksAndRecords(t);
    delete t;
}

const char* HelpTopic(int type)
{
    switch (type) {
    case FT_ESCAPETIME: return "Fractal Window - Escapetime";
    case FT_QUATERNION: return "Fractal Window - Quaternion";
    case FT_ATTRACTOR: return "Fractal Window - Attractor";
    default: return "Fractalwindow";
    }
}

// The IFS formula check; 0 when the fractal may get a task.
int CheckIfsFormula(Fractal* f, int showMessages)
{
    if (f->header->Type != FT_IFS || !f->typeParameters)
        return 0;
    const char* name = static_cast<IFSParameters*>(f->typeParameters)->Formula;
    char text[400];
    if (!name[0]) {
        snprintf(text, sizeof text, "Fractal \"%s\" has no formula selected,\nso no calculation routine is selected...",
                 f->name);
    } else if (!g_IfsFormulas.Find(name)) {
        snprintf(text, sizeof text,
                 "Fractal \"%s\" uses formula \"%s\",\nbut this formula isn't available.\nUnable to calculate this fractal...",
                 f->name, name);
    } else {
        return 0;
    }
    if (showMessages)
        g_ErrorBox.Show(kSubtaskTitle, text);
    return 4;
}

int ParsePendingText(Fractal* f)
{
    if (!f->pendingEntryText)
        return 0;
    char* text = f->pendingEntryText;
    f->pendingEntryText = nullptr;
    Fractal* read = ReadParameterEntry(f, text, nullptr, false, -1, 0);
    free(text);
    if (read)
        return 0;
    char message[200];
    snprintf(message, sizeof message, "Fractal %s has been removed and deleted...", f->name);
    AddErrorMessage(message);
    if (g_TaskHooks.deleteFractal)
        g_TaskHooks.deleteFractal(f);
    return 3;
}

void FillCubeColours(TaskBitmapInfo* info)
{
    if (ColorCubePalette)
        memcpy(info->colors, ColorCubePalette->colorTable, sizeof info->colors);
}

// A stored picture stands in for the calculation of a 24-bit fractal with
// a 3D image of its size. The readers give red, green, blue rows top first;
// the 3D image holds blue, green, red rows bottom first. True when taken.
bool TakeStoredPicture(Fractal* f)
{
    FractalTask* t = f->task;
    if (!f->imageFileName[0])
        return false;
    const char* folder = Services().dataFolder ? Services().dataFolder() : "";
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\Pictures\\%s", folder, f->imageFileName);
    int width = 0, height = 0;
    unsigned char* picture = strstr(f->imageFileName, ".png") ? ReadPngFile(path, &width, &height)
                                                                : ReadJpegFile(path, &width, &height);
    if (!picture)
        return false;
    bool fits = width == f->header->Width && height == f->header->Height && f->header->DisplayDepth == 24 &&
                t->image3D;
    if (fits) {
        f->StopCalculation();
        size_t rowBytes = 3 * (size_t)f->GetImageStride();
        for (int y = 0; y < height; ++y) {
            const unsigned char* from = picture + (size_t)(height - 1 - y) * width * 3;
            unsigned char* to = t->image3D + (size_t)y * rowBytes;
            for (int x = 0; x < width; ++x) {
                to[3 * x] = from[3 * x + 2];
                to[3 * x + 1] = from[3 * x + 1];
                to[3 * x + 2] = from[3 * x];
            }
        }
    }
    delete[] picture;
    return fits;
}

}  // namespace

int CreateFractalTask(Fractal* f, int stayIdle, int start, int show, int openParent, int withWindow,
                      int showMessages)
{
    if (int parsed = ParsePendingText(f))
        return parsed;
    if (f->task)
        return 0;
    if (openParent && IsLayer(f))
        return CreateFractalTask(f->baseFractal, 0, start, show, 0, withWindow, showMessages);
    if (int ifs = CheckIfsFormula(f, showMessages))
        return ifs;
    FractalHeader* h = f->header;
    if (h->Width == 0 || h->Height == 0) {
        h->Width = h->WinWidth = g_DefaultImageWidth;
        h->Height = h->WinHeight = g_DefaultImageHeight;
    }
    FractalTask* t = ConstructTask(f, stayIdle, show, withWindow);
    f->task = t;
    f->ApplyPalette();
    if (t->window && g_TaskHooks.setWindowHelp)
        g_TaskHooks.setWindowHelp(t, HelpTopic(h->Type));
    int stride = f->GetImageStride();
    InitTaskBitmapHeader(&t->dib, stride, h->Height, 1, h->DisplayDepth);
    InitTaskBitmapHeader(&t->dib8, stride, h->Height, 1, ScreenDepth);
    InitTaskBitmapHeader(&t->dib3D, stride, h->Height, 1, ScreenDepth);
    int width = h->Width, height = h->Height;
    h->Width = h->Height = 0;
    if (SetTaskImageSize(f, width, height) != 0) {
        h->Width = width;
        h->Height = height;
        DiscardTask(f, t);
        if (showMessages)
            g_ErrorBox.Show(kSubtaskTitle, kNoMemoryText);
        return 2;
    }
    t->backgroundBrush = CreateSolidBrush(0x959595);
    t->pen = CreatePen(PS_SOLID, 1, 0xFFFFFF);
    t->penColour[0] = t->penColour[1] = t->penColour[2] = 255;
    FillCubeColours(&t->dib8);
    FillCubeColours(&t->dib3D);
    if (g_TaskHooks.bringMainFrameToFront)
        g_TaskHooks.bringMainFrameToFront();
    if (start)
        f->SendThreadCommand(FTC_START, 0);
    f->taskReady = 1;
    if (stayIdle && start)
        f->StopCalculation();
    if (IsCurrent(f) && g_TaskHooks.updateUndoMenu)
        g_TaskHooks.updateUndoMenu(f);
    if (h->Type == FT_LAYERED && g_TaskHooks.showLayerCalcStatus)
        g_TaskHooks.showLayerCalcStatus(f);
    ReleaseCreationLock(f);
    if (!stayIdle)
        ForEachLayerFractal(f, [](Fractal* layer) {
            layer->SendThreadCommand(FTC_START, 0);
            layer->Recalculate();
        });
    bool pictureTaken = TakeStoredPicture(f);
    if (!stayIdle) {
        f->ApplyPalette();
        if (start && !pictureTaken)
            f->Recalculate();
    }
    return 0;
}

int PictureToTask(Fractal* f, int stayIdle, int start, int show, int openParent, int withWindow, int showMessages)
{
    int result = 0;
    DWORD code = Guarded([&] { result = CreateFractalTask(f, stayIdle, start, show, openParent, withWindow, showMessages); },
                         &IsSoftwareException);
    if (code == 0)
        return result;
    char text[200];
    snprintf(text, sizeof text, "PictureToTask Type=%d Name=%s", f->header->Type, f->name);
    ReportSoftwareFailure(code, text);
    ReleaseCreationLockAfterFailure(f);
    DeleteFractalTask(f, 1, 0, 0);
    return 1;
}

int DeleteFractalTask(Fractal* f, int deleteWindow, int confirm, int keepParents)
{
    FractalTask* t = f->task;
    if (!t)
        return 0;
    if (confirm && FractalTypeFlags[CNF_DelTask]) {
        PMessageBox box(MB_STYLE_YESNOCANCEL);
        int answer = box.Show("Delete operation", kDeleteText);
        if (answer == IDNO || answer == IDCANCEL)
            return answer;
    }
    if (f->header->Type == FT_LAYERED) {
        Fractal* owned[64];
        int count = 0;
        ForEachLayerFractal(f, [&](Fractal* layer) {
            bool ownWindow = layer->layer && layer->layer->windowShown;
            int references = g_TaskHooks.countLayerReferences ? g_TaskHooks.countLayerReferences(layer, 0) : 1;
            if (layer->task && !ownWindow && references == 1 && count < 64) {
                layer->task->command = FTC_STOP;
                owned[count++] = layer;
            }
        });
        f->suppressDrawing = 1;
        f->StopCalculation();
        for (int i = 0; i < count; ++i)
            DeleteFractalTask(owned[i], 1, 0, 1);
    }
    if (!keepParents && g_TaskHooks.updateLayeredParents)
        g_TaskHooks.updateLayeredParents(f, 0);
    f->SendThreadCommand(FTC_QUIT, FTC_QUIT_DONE);
    // A thread that did not answer may still be running: it ends here,
    // before anything it could touch is freed.
    if (t->command != FTC_QUIT_DONE) {
        delete t->thread;
        t->thread = nullptr;
    }
    if (g_TaskHooks.deleteRendererAndCamera)
        g_TaskHooks.deleteRendererAndCamera(t);
    FreeScratch(t);
    f->busyLock->Lock();
    FreeTaskBlocks(t);
    if (f->header->Type == FT_ESCAPETIME && g_TaskHooks.releaseTextures)
        g_TaskHooks.releaseTextures(f);
    f->taskReady = 0;
    delete t->thread;
    t->thread = nullptr;
    FreeTaskBuffers(f, keepParents);
    delete t->snapshot;
    t->snapshot = nullptr;
    f->task = nullptr;
    if (t->window) {
        int width = 0, height = 0;
        if (g_TaskHooks.restoreWindow) {
            g_TaskHooks.restoreWindow(t, &width, &height);
            f->header->WinWidth = width;
            f->header->WinHeight = height;
        }
    }
    FreeCompiler(t);
    if (t->window && deleteWindow && g_TaskHooks.deleteWindow)
        g_TaskHooks.deleteWindow(t);
    f->busyLock->Unlock();
    FreeLocksAndRecords(t);
    delete t;
    if (IsCurrent(f) && g_TaskHooks.updateUndoMenu)
        g_TaskHooks.updateUndoMenu(f);
    if (!keepParents && g_TaskHooks.updateLayeredParents)
        g_TaskHooks.updateLayeredParents(f, 1);
    f->suppressDrawing = 0;
    return 0;
}
