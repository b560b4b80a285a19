// The undo history of a base fractal (steps oldest first, a cursor on the
// step that matches the current state, redo steps after it), the text
// snapshot it is made of, and the guarded entry points for undo and for
// resizing a fractal, the scroll-bar mode and the check-box test of the
// tool windows.
#include "document/Undo.h"
#include "document/Layers.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalThreads.h"
#include "document/Layer.h"
#include "document/Selection.h"
#include "files/entry/EntryReader.h"
#include "files/entry/EntryWriter.h"
#include "foundation/Buffers.h"
#include "foundation/FailureReport.h"
#include "foundation/Guard.h"
#include "foundation/Thread.h"
#include "view3d/Parameters3D.h"

static const char kStartingPoint[] = "###Starting point";

UndoStep::UndoStep()
{
}

UndoStep::~UndoStep()
{
    free(data);
}

namespace {

void RemoveStep(Fractal* base, UndoStep* step)
{
    if (base->undoCursor == step)
        base->undoCursor = nullptr;
    base->undoSteps.Remove(step);
    delete step;
}

void MarkModified(Fractal* f)
{
    if (f && FractalModified(f) == 0) {
        FractalModified(f) = 1;
        f->UpdateListings();
    }
}

// One credit per run of changes by the same user: a new entry goes first
// unless the newest one is already this user's.
void CreditUser(Fractal* base)
{
    CreditEntry* newest = static_cast<CreditEntry*>(base->credits.GetHead());
    if (newest && newest->author && strcmp(newest->author, g_AuthorName) == 0)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    base->credits.Prepend(new CreditEntry(g_AuthorName, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute));
    if (g_ZoomDisplay.refreshCommentWindow)
        g_ZoomDisplay.refreshCommentWindow(base);
}

void SetModifiedBy(Fractal* base)
{
    int size = (int)strlen(g_AuthorName) + 10;
    GrowBuffer*& buffer = base->header->ModifiedBy;
    if (!buffer)
        buffer = new GrowBuffer(size);
    else
        buffer->Reserve(size);
    strcpy(static_cast<char*>(buffer->GetData()), g_AuthorName);
}

// Reads a snapshot into the base fractal. The snapshot holds the fractal's
// parameters only: the task, the credits and the comments are the
// fractal's own and stay as they are.
void ReadSnapshot(Fractal* base, const char* snapshot)
{
    size_t length = strlen(snapshot);
    char* text = static_cast<char*>(malloc(length + 1));
    if (!text)
        return;
    memcpy(text, snapshot, length + 1);
    FractalTask* task = base->task;
    int width = base->header->Width, height = base->header->Height;
    NodeList credits;
    while (ListNode* n = base->credits.GetHead()) {
        base->credits.Remove(n);
        credits.Append(n);
    }
    char* commentLines = base->commentLines;
    GrowBuffer* commentTemplate = base->commentTemplate;
    GrowBuffer* commentText = base->commentText;
    base->commentLines = nullptr;
    base->commentTemplate = new GrowBuffer(1);
    base->commentText = new GrowBuffer(1);

    ReadParameterEntry(base, text, nullptr, false, -1, 0);
    free(text);

    base->ClearCredits();
    while (ListNode* n = credits.GetHead()) {
        credits.Remove(n);
        base->credits.Append(n);
    }
    free(base->commentLines);
    delete base->commentTemplate;
    delete base->commentText;
    base->commentLines = commentLines;
    base->commentTemplate = commentTemplate;
    base->commentText = commentText;
    base->task = task;
    // The task's buffers follow a size the snapshot changed.
    int newWidth = base->header->Width, newHeight = base->header->Height;
    if (task && (newWidth != width || newHeight != height)) {
        base->header->Width = width;
        base->header->Height = height;
        base->SetSize(newWidth, newHeight, 1, 0);
    }
}

}  // namespace

int AddUndoStep(Fractal* fractal, const char* description)
{
    if (!fractal)
        return 0;
    bool startingPoint = strcmp(description, kStartingPoint) == 0;
    if (!startingPoint) {
        MarkModified(fractal);
        MarkModified(fractal->baseFractal);
        if (fractal->folder && fractal->folder->int2 == 0) {
            fractal->folder->int2 = 1;
            fractal->folder->UpdateListings();
        }
    }
    Fractal* base = GetBaseFractal(fractal);
    // Redo cut: the steps after the cursor (all of them without a cursor).
    ListNode* first = base->undoCursor ? base->undoCursor->next : base->undoSteps.GetHead();
    while (first) {
        ListNode* next = first->next;
        RemoveStep(base, static_cast<UndoStep*>(first));
        first = next;
    }
    if (g_UndoSteps <= 0) {
        while (UndoStep* oldest = static_cast<UndoStep*>(base->undoSteps.GetHead()))
            RemoveStep(base, oldest);
        UpdateUndoMenu(base);
        return 1;
    }
    char* text = base->GetParameterText();
    if (!text)
        return 0;
    // An unchanged state is not recorded twice; compared before the cap so
    // that a repeat never pushes out the oldest step.
    if (base->undoCursor && strcmp(base->undoCursor->Snapshot(), text) == 0) {
        free(text);
        return 1;
    }
    UndoStep* step = new UndoStep();
    step->SetName(description);
    step->key = g_TickCount();
    step->data = text;
    if (!startingPoint)
        CreditUser(base);
    SetModifiedBy(base);
    base->undoSteps.Append(step);
    base->undoCursor = step;
    while (base->undoSteps.Count() > g_UndoSteps)
        RemoveStep(base, static_cast<UndoStep*>(base->undoSteps.GetHead()));
    UpdateUndoMenu(base);
    return 1;
}

void RestoreUndoSnapshot(Fractal* fractal, int redo)
{
    Fractal* base = GetBaseFractal(fractal);
    if (!base)
        return;
    bool current = CurrentFolder && CurrentFolder->currentFractal == base;
    UndoStep* cursor = base->undoCursor;
    UndoStep* target = cursor ? static_cast<UndoStep*>(redo ? cursor->next : cursor->prev) : nullptr;
    if (target) {
        LayeredParameters* layered = LayersOf(base);
        int layerIndex = layered ? layered->currentLayer : -1;
        ReadSnapshot(base, target->Snapshot());
        base->undoCursor = target;
        layered = LayersOf(base);
        if (layered && layerIndex >= 0)
            layered->currentLayer = layerIndex < layered->layers.Count() ? layerIndex
                                    : layered->layers.Count() > 0 ? 0
                                                                  : -1;
    }
    if (current)
        SelectFractal(base, false);
    UpdateUndoMenu(base);
}

void DoUndo(Fractal* fractal, int redo)
{
    if (!fractal)
        return;
    DWORD code = Guarded(
        [&] {
            fractal->StopCalculation();
            RestoreUndoSnapshot(fractal, redo);
        },
        &IsSoftwareException);
    if (code != 0 && code != EXCEPTION_STOP_THREAD) {
        char location[ListNode::NODE_NAME_SIZE + 20];
        snprintf(location, sizeof location, "DoUndo for %s", fractal->name);
        ReportSoftwareFailure(code, location);
    }
}

char* Fractal::GetParameterText()
{
    char* written = MakeParameterText(this, false, -1, true);
    size_t length = written ? strlen(written) : 0;
    char* text = length > 0 ? static_cast<char*>(calloc(length + 20, 1)) : nullptr;
    if (text)
        memcpy(text, written, length);
    free(written);
    return text;
}

int ResizeFractal(Fractal* fractal, int width, int height, int layersToo, int noRecalculation)
{
    if (!fractal || fractal->header->Type == FT_IMAGE)
        return -1;
    FractalHeader* h = fractal->header;
    if (fractal->task && fractal->task->window && !h->Scrollbar) {
        int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN), screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (screenWidth > 0 && width > screenWidth)
            width = screenWidth;
        if (screenHeight > 0 && height > screenHeight)
            height = screenHeight;
    }
    if (fractal->task) {
        width = width < 112 ? 112 : width;
        height = height < 50 ? 50 : height;
    }
    if (width == h->Width && height == h->Height)
        return 0;
    double fx = h->Width > 0 ? (double)width / h->Width : 1.0;
    double fy = h->Height > 0 ? (double)height / h->Height : 1.0;
    LayeredParameters* layered = layersToo ? LayersOf(fractal) : nullptr;
    if (layered) {
        for (ListNode* n = layered->layers.GetHead(); n; n = n->next) {
            Layer* layer = static_cast<Layer*>(n);
            Fractal* lf = layer->fractal;
            if (!lf)
                continue;
            lf->StopCalculation();
            int lw = (int)(lf->header->Width * fx + 0.5), lh = (int)(lf->header->Height * fy + 0.5);
            layer->leftOffset = (int)(layer->leftOffset * fx + 0.5);
            layer->bottomOffset = (int)(layer->bottomOffset * fy + 0.5);
            if (lf->SetSize(lw < 112 ? 112 : lw, lh < 50 ? 50 : lh, 1, 0) != 0)
                return -1;
        }
    }
    fractal->StopCalculation();
    if (fractal->SetSize(width, height, 1, 0) != 0)
        return -1;
    if (!noRecalculation) {
        if (layered)
            ForEachLayerFractal(fractal, [](Fractal* lf) { lf->Recalculate(); });
        fractal->Recalculate();
    }
    return 0;
}

int Fractal::Resize(int width, int height, int layersToo, int flags)
{
    int result = 0;
    DWORD code = Guarded([&] { result = ResizeFractal(this, width, height, layersToo, flags); },
                         &IsSoftwareException);
    if (code == 0)
        return result;
    if (code != EXCEPTION_STOP_THREAD) {
        Fractal* current = CurrentFolder ? CurrentFolder->currentFractal : nullptr;
        char location[ListNode::NODE_NAME_SIZE + 40];
        if (current)
            snprintf(location, sizeof location, "Changing size of Fractal: %s", current->name);
        else
            snprintf(location, sizeof location, "No fractal selected");
        ReportSoftwareFailure(code, location);
    }
    return 0;
}

int Fractal::SetScrollbarMode(int on)
{
    bool current = CurrentFolder && CurrentFolder->currentFractal == this;
    if (task) {
        if (busyLock)
            busyLock->Lock();
        StopCalculation();
        PFrameWindow* window = task->window;
        task->window = nullptr;
        int w = header->Width, h = header->Height;
        if (header->Dims && params3D && params3D->Mode3D == 1 && task->renderer) {
            w = task->renderer->imageWidth;
            h = task->renderer->imageHeight;
        }
        header->Scrollbar = on ? 1 : 0;
        task->window = window;
        if (window && g_ZoomDisplay.applyScrollbarMode)
            g_ZoomDisplay.applyScrollbarMode(this, on != 0, w, h);
        if (busyLock)
            busyLock->Unlock();
        int type = header->Type;
        if (task->calculationState == CS_NONE || type == FT_QUATERNION || type == FT_ATTRACTOR)
            Recolour();
        else if (header->Dims)
            Redraw3D();
        else if (g_PaletteDisplay.drawWindow)
            g_PaletteDisplay.drawWindow(this, 1);
    } else {
        header->Scrollbar = on ? 1 : 0;
    }
    if (!current)
        return 0;
    if (g_Menu.check)
        g_Menu.check(29030, header->Scrollbar != 0);
    return SelectFractal(this, false) ? 1 : 0;
}

bool IsCheckedAndChanged(double a, bool checked, double b)
{
    return a != b && checked;
}
