// The window side of resizing, undo, duplicating and layer counting. The
// document model owns the data side (ResizeFractal and RestoreUndoSnapshot
// in document/Undo); these wrap it with what only the application can do:
// clamp to the screen, resize, close and reopen windows, copy calculated
// images between tasks.
#include "app/FractalWindowOps.h"

#include <ctype.h>
#include <string.h>

#include <string>

#include "calc/FractalTask.h"
#include "calc/task/TaskLifecycle.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalThreads.h"
#include "document/Layers.h"
#include "document/Selection.h"
#include "document/Undo.h"
#include "files/entry/EntryTypeNames.h"
#include "files/settings/Settings.h"
#include "toolwindows/ToolWindows.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

FractalFolder* g_NewFractalFolder = NULL;
void (*g_LayoutFractalWindows)() = NULL;

namespace {

enum { MIN_WIDTH = 112, MIN_HEIGHT = 50 };

PFrameWindow* WindowOf(Fractal* fractal)
{
    return fractal != NULL && fractal->task != NULL ? fractal->task->window : NULL;
}

bool IsListedFolder(FractalFolder* folder)
{
    for (ListNode* n = FolderList.GetHead(); n; n = n->next)
        if (n == folder)
            return true;
    return false;
}

// The type a snapshot text names in its TYPE= item, -1 when none.
int SnapshotType(const char* text)
{
    if (text == NULL)
        return -1;
    static const char* const kNames[] = {
#define ENTRY_TYPE_NAME(number, name) name,
        ENTRY_TYPE_NAMES(ENTRY_TYPE_NAME)
#undef ENTRY_TYPE_NAME
    };
    for (const char* p = text; *p; p++) {
        if (_strnicmp(p, "TYPE=", 5) != 0 || (p > text && isalnum((unsigned char)p[-1])))
            continue;
        const char* value = p + 5;
        size_t length = 0;
        while (value[length] && !isspace((unsigned char)value[length]) && value[length] != '}')
            length++;
        for (int i = 0; i < (int)(sizeof kNames / sizeof kNames[0]); i++)
            if (strlen(kNames[i]) == length && _strnicmp(kNames[i], value, length) == 0)
                return i;
        return -1;
    }
    return -1;
}

// Copies a buffer when both exist.
void CopyBytes(void* target, const void* source, size_t size)
{
    if (target != NULL && source != NULL && size > 0)
        memcpy(target, source, size);
}

// Copies the calculated data of one task into another of the same size.
void CopyCalculatedData(Fractal* from, Fractal* to)
{
    FractalTask* a = from->task;
    FractalTask* b = to->task;
    size_t cells = (size_t)from->header->Width * from->header->Height;
    CopyBytes(b->values, a->values, cells * sizeof(float));
    CopyBytes(b->flags, a->flags, cells);
    CopyBytes(b->imageBits, a->imageBits, (size_t)from->GetImageStride() * from->header->Height * 3);
    for (int i = 0; i < 10; i++) {
        const Array2D& source = a->arrays[i];
        Array2D& target = b->arrays[i];
        if (source.IsAllocated() && target.IsAllocated() && source.width == target.width &&
            source.height == target.height && source.cellSize == target.cellSize)
            CopyBytes(target.data, source.data, (size_t)source.width * source.height * source.cellSize);
    }
    if (a->size3DWidth == b->size3DWidth && a->size3DHeight == b->size3DHeight)
        CopyBytes(b->image3D, a->image3D, (size_t)a->size3DWidth * a->size3DHeight * 3);
}

bool SameBufferSize(Fractal* a, Fractal* b)
{
    return a->task != NULL && b->task != NULL && a->header->Width == b->header->Width &&
           a->header->Height == b->header->Height;
}

}  // namespace

FractalFolder* FolderForNewFractals()
{
    if (g_NewFractalFolder != NULL && IsListedFolder(g_NewFractalFolder))
        return g_NewFractalFolder;
    if (CurrentFolder != NULL)
        return CurrentFolder;
    FractalFolder* folder = new FractalFolder(ProjectFolder, "Unnamed", FOLDER_PARAMETERS, true, true);
    SetCurrentFolder(folder);
    return folder;
}

int ResizeFractalWindow(Fractal* fractal, int width, int height, int layersToo, int noRecalculation)
{
    if (fractal == NULL || fractal->header->Type == FT_IMAGE)
        return -1;
    if (!fractal->header->Scrollbar) {
        int screenWidth = g_Toolkit.virtualScreenWidth > 0 ? g_Toolkit.virtualScreenWidth
                                                           : GetSystemMetrics(SM_CXVIRTUALSCREEN);
        int screenHeight = g_Toolkit.virtualScreenHeight > 0 ? g_Toolkit.virtualScreenHeight
                                                             : GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (screenWidth > 0 && width > screenWidth)
            width = screenWidth;
        if (screenHeight > 0 && height > screenHeight)
            height = screenHeight;
    }
    if (fractal->task != NULL) {
        width = width < MIN_WIDTH ? MIN_WIDTH : width;
        height = height < MIN_HEIGHT ? MIN_HEIGHT : height;
    }
    if (ResizeFractal(fractal, width, height, layersToo, noRecalculation) != 0)
        return -1;
    PFrameWindow* window = WindowOf(fractal);
    if (window != NULL) {
        if (fractal->header->Scrollbar && g_ZoomDisplay.applyScrollbarMode != NULL)
            g_ZoomDisplay.applyScrollbarMode(fractal, true, fractal->header->Width, fractal->header->Height);
        else if (!fractal->header->Scrollbar)
            window->SetClientSize(fractal->header->Width, fractal->header->Height);
        window->InvalidateClient();
    }
    Fractal* current = CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
    if (layersToo && current != NULL && GetBaseFractal(current) == fractal && IsToolWindowOpen(WID_LAYERPROP))
        UpdateToolWindow(WID_LAYERPROP);
    if (current == fractal && g_LayoutFractalWindows != NULL)
        g_LayoutFractalWindows();
    return 0;
}

void RestoreUndoSnapshotWithWindow(Fractal* fractal, int redo)
{
    Fractal* base = GetBaseFractal(fractal);
    if (base == NULL)
        return;
    UndoStep* cursor = base->undoCursor;
    UndoStep* target = cursor ? static_cast<UndoStep*>(redo ? cursor->next : cursor->prev) : NULL;
    PFrameWindow* window = WindowOf(base);
    int snapshotType = target != NULL ? SnapshotType(target->Snapshot()) : -1;
    bool reopen = window != NULL && snapshotType >= 0 && snapshotType != base->header->Type;
    int x = 0, y = 0;
    if (reopen) {
        window->GetPosition(&x, &y, false);
        DeleteFractalTask(base, 1, 0, 0);
    }
    RestoreUndoSnapshot(base, redo);
    if (!reopen)
        return;
    UpdateLayeredParents(base, 0);
    PictureToTask(base, 0, 1, 1, 0, 1, 1);
    if (WindowOf(base) != NULL)
        WindowOf(base)->Move(x, y);
    UpdateLayeredParents(base, 1);
}

Fractal* DuplicateFractal(Fractal* fractal)
{
    Fractal* source = GetBaseFractal(fractal);
    if (source == NULL)
        return NULL;
    Fractal* copy = new Fractal(*source);
    FractalFolder* folder = FolderForNewFractals();
    folder->AddFractal(copy, false);
    Fractal* previous = copy;
    ForEachLayerFractal(copy, [&](Fractal* layer) {
        folder->InsertLayerFractal(layer, previous, copy);
        previous = layer;
    });
    if (source->task != NULL) {
        PictureToTask(copy, 1, 0, 1, 0, 1, 0);
        bool same = SameBufferSize(source, copy);
        LayeredParameters* from = LayersOf(source);
        LayeredParameters* to = LayersOf(copy);
        if (same && from != NULL && to != NULL) {
            ListNode* a = from->layers.GetHead();
            for (ListNode* b = to->layers.GetHead(); a && b; a = a->next, b = b->next) {
                Fractal* la = static_cast<Layer*>(a)->fractal;
                Fractal* lb = static_cast<Layer*>(b)->fractal;
                if (la != NULL && lb != NULL && !SameBufferSize(la, lb))
                    same = false;
            }
        }
        if (same) {
            CopyCalculatedData(source, copy);
            if (from != NULL && to != NULL) {
                ListNode* a = from->layers.GetHead();
                for (ListNode* b = to->layers.GetHead(); a && b; a = a->next, b = b->next) {
                    Fractal* la = static_cast<Layer*>(a)->fractal;
                    Fractal* lb = static_cast<Layer*>(b)->fractal;
                    if (la != NULL && lb != NULL)
                        CopyCalculatedData(la, lb);
                }
            }
            copy->Recolour();
        } else {
            copy->Recalculate();
        }
    }
    SelectFractal(copy, true);
    return copy;
}

int CountLayerReferences(Fractal* fractal, bool onlyOpen)
{
    if (fractal == NULL)
        return 0;
    int count = 0;
    for (ListNode* f = FolderList.GetHead(); f; f = f->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(f);
        for (ListNode* n = folder->fractals.GetHead(); n; n = n->next) {
            Fractal* layered = static_cast<Fractal*>(n);
            bool holds = false;
            ForEachLayerFractal(layered, [&](Fractal* layer) { holds = holds || layer == fractal; });
            if (holds && (!onlyOpen || WindowOf(layered) != NULL))
                count++;
        }
    }
    return count;
}
