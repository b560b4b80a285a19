// The Fractal Tree's drops, drop test, activation, selection and renaming
// (the formula trees pass on to app/FormulaTreeEvents), the timeline's key
// selection and window activation. A drop moves a fractal between folders:
// a layer is never moved alone (its layered fractal moves, taking its layers along),
// and animations keep their fractals among themselves.
#include "app/ControlEvents.h"

#include "app/FormulaTreeEvents.h"
#include "app/FractalImage.h"

#include <string.h>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layers.h"
#include "document/Selection.h"
#include "foundation/List.h"
#include "toolwindows/RequestRouting.h"
#include "ui/FrameWindow.h"
#include "view3d/CameraWidget.h"
#include "view3d/Parameters3D.h"

ControlEventWindows g_ControlEventWindows;

namespace {

FractalFolder* AsFolder(ListNode* node)
{
    return node != NULL && FolderList.IndexOf(node) >= 0 ? static_cast<FractalFolder*>(node) : NULL;
}

Fractal* AsFractal(ListNode* node)
{
    return node != NULL && AsFolder(node) == NULL && IsLiveFractal(node) ? static_cast<Fractal*>(node) : NULL;
}

Fractal* CurrentFractal()
{
    return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
}

bool IsAnimation(const FractalFolder* folder)
{
    return folder != NULL && folder->Kind() == FOLDER_ANIMATION;
}

void MarkModified(FractalFolder* folder)
{
    folder->int2 = 1;
    folder->UpdateListings();
}

// The fractal leaves its folder; when it was the folder's current one the
// next fractal (or the first) takes its place.
void TakeOutOfFolder(Fractal* fractal)
{
    FractalFolder* folder = fractal->folder;
    if (folder == NULL)
        return;
    if (folder->currentFractal == fractal) {
        ListNode* next = ListNode::NextNonLayer(fractal);
        if (next == NULL)
            next = folder->fractals.GetHead();
        if (next == fractal)
            next = NULL;
        folder->currentFractal = static_cast<Fractal*>(next);
    }
    UnlinkFromFolder(fractal);
}

// A drop with the layer flag and no target: dragged becomes a layer of the
// current layered fractal (not a layered fractal itself, nor into its own
// layered fractal). Selecting a layered fractal makes its current layer the
// current fractal, so a current layer stands for its layered fractal.
void DropAsLayer(Fractal* dragged)
{
    Fractal* current = CurrentFractal();
    if (current != NULL && current->baseFractal != NULL)
        current = current->baseFractal;
    if (dragged->header->Type == FT_LAYERED || current == NULL || current->header->Type != FT_LAYERED ||
        dragged->baseFractal == current)
        return;
    AddLayer(current, dragged, false, true);
    current->CommitAndRecalculate(1, "Layer added");
    SelectFractal(current, true);
}

void MoveWithinAnimation(Fractal* moved, ListNode* target)
{
    FractalFolder* source = moved->folder;
    if (moved->header->Type == FT_LAYERED || moved->layer != NULL)
        return;
    MarkModified(source);
    UnlinkFromFolder(moved);
    if (Fractal* after = AsFractal(target))
        after->folder->InsertFractalAfter(moved, after);
    else if (FractalFolder* folder = AsFolder(target))
        folder->InsertFractalAfter(moved, NULL);
}

void MoveToFolder(Fractal* moved, FractalFolder* target)
{
    FractalFolder* source = moved->folder;
    if (target == NULL || target == source)
        return;
    MarkModified(source);
    TakeOutOfFolder(moved);
    target->AddFractal(moved, true);
    ListNode* previous = moved;
    ForEachLayerFractal(moved, [&](Fractal* layer) {
        TakeOutOfFolder(layer);
        target->InsertLayerFractal(layer, previous, moved);
        previous = layer;
    });
}

}  // namespace

void HandleFractalTreeDrop(int controlId, ListNode* target, bool layerFlag, ListNode* dragged)
{
    Fractal* fractal = AsFractal(dragged);
    if (controlId != FRACTAL_TREE_CONTROL || fractal == NULL)
        return;
    if (target == NULL) {
        if (layerFlag)
            DropAsLayer(fractal);
        return;
    }
    Fractal* moved = fractal->baseFractal != NULL ? fractal->baseFractal : fractal;
    FractalFolder* source = moved->folder;
    if (source == NULL)
        return;
    if (IsAnimation(source)) {
        MoveWithinAnimation(moved, target);
    } else {
        FractalFolder* folder = AsFolder(target);
        if (folder == NULL)
            folder = AsFractal(target) != NULL ? AsFractal(target)->folder : NULL;
        if (folder == source)
            return;
        MoveToFolder(moved, folder);
    }
    SelectFractal(moved, true);
    if (g_Listings.treeSelect != NULL)
        g_Listings.treeSelect(dragged);
}

ListNode* CanDropOnFractalTree(int controlId, ListNode* dragged, ListNode* target)
{
    Fractal* fractal = AsFractal(dragged);
    if (controlId != FRACTAL_TREE_CONTROL || fractal == NULL || target == NULL)
        return NULL;
    FractalFolder* from = fractal->folder;
    if (FractalFolder* folder = AsFolder(target)) {
        if (IsAnimation(from) ? folder != from : IsAnimation(folder))
            return NULL;
        return folder;
    }
    Fractal* onto = AsFractal(target);
    if (onto == NULL)
        return NULL;
    if (IsAnimation(from))
        return onto->folder == from ? onto : NULL;
    return IsAnimation(onto->folder) ? NULL : onto->folder;
}

int HandleItemActivated(int controlId)
{
    if (FormulaTreeActivated(controlId))
        return 0;
    if (controlId == FRACTAL_TREE_CONTROL) {
        if (g_ControlEventWindows.mainToForeground != NULL)
            g_ControlEventWindows.mainToForeground();
        if (CurrentFractal() != NULL)
            UR_ButtonClicked(FRACTAL_TREE_OPEN_BUTTON);
        if (g_ControlEventWindows.treeToForeground != NULL)
            g_ControlEventWindows.treeToForeground();
    }
    return 0;
}

void TreeSelectionChanged(int controlId, ListNode* item, bool userFlag)
{
    if (FormulaTreeSelectionChanged(controlId, item))
        return;
    if (controlId != FRACTAL_TREE_CONTROL || !userFlag)
        return;
    if (FractalFolder* folder = AsFolder(item)) {
        SetCurrentFolder(folder);
        SelectFractal(NULL, true);
        return;
    }
    Fractal* fractal = AsFractal(item);
    if (fractal == NULL)
        return;
    // A layer without a window of its own is shown through its layered
    // fractal, with the layer selected there.
    if (fractal->baseFractal != NULL && (fractal->task == NULL || fractal->task->window == NULL)) {
        if (LayeredParameters* block = LayersOf(fractal->baseFractal)) {
            int position = 0;
            for (ListNode* n = block->layers.GetHead(); n != NULL; n = n->next, position++)
                if (static_cast<Layer*>(n)->fractal == fractal)
                    block->currentLayer = position;
        }
        fractal = fractal->baseFractal;
    }
    if (fractal->task != NULL && fractal->task->window != NULL) {
        if (g_ControlEventWindows.mainToForeground != NULL)
            g_ControlEventWindows.mainToForeground();
        if (g_ControlEventWindows.activateFractalWindow != NULL)
            g_ControlEventWindows.activateFractalWindow(fractal);
        if (g_ControlEventWindows.treeToForeground != NULL)
            g_ControlEventWindows.treeToForeground();
    }
    SelectFractal(fractal, true);
}

void TreeItemRenamed(void* unused, ListNode* item, const char* text)
{
    if (item == NULL || text == NULL)
        return;
    if (FractalFolder* folder = AsFolder(item)) {
        char name[ListNode::NODE_NAME_SIZE];
        lstrcpynA(name, text, sizeof name);
        // Unique among the other folders; the folder's own name (in any
        // case) stays available to it.
        char unique[ListNode::NODE_NAME_SIZE];
        if (_stricmp(name, folder->name) == 0)
            lstrcpynA(unique, name, sizeof unique);
        else
            FolderList.MakeUniqueName(name, unique, false);
        folder->SetName(unique);
        MarkModified(folder);
    } else if (Fractal* fractal = AsFractal(item)) {
        fractal->Rename(text, false);
    }
}

void TimelineKeySelected(int controlId, FractalFolder* animation, Fractal* key)
{
    if (controlId != ANIMATION_TIMELINE_CONTROL || animation == NULL)
        return;
    if (g_ControlEventWindows.showKeyName != NULL)
        g_ControlEventWindows.showKeyName(key != NULL ? key->name : "");
    animation->currentKey = key;
}

void HandleWindowActivation(int windowId, Fractal* fractal, bool active)
{
    if (!active) {
        static const int kPopups[] = {WID_PRESET_PALETTES_POPUP, WID_PRESET_DEFINITIONS_POPUP,
                                      WID_COLOUR_CHOOSER_POPUP, WID_FORMULA_BROWSER_POPUP};
        if (g_ControlEventWindows.closePopup != NULL)
            for (int id : kPopups)
                g_ControlEventWindows.closePopup(id);
        return;
    }
    if (windowId == WID_FRACTAL_WINDOW) {
        if (fractal != NULL)
            SelectFractal(fractal, false);
    } else if (g_ControlEventWindows.raiseMainFrame != NULL) {
        g_ControlEventWindows.raiseMainFrame();
    }
}

void RepaintFractalWindow(PFrameWindow* window)
{
    Fractal* fractal = window != NULL ? FindFractalByWindow(window) : NULL;
    if (fractal == NULL || window->hwnd == NULL)
        return;
    int width = fractal->header->Width, height = fractal->header->Height;
    FractalTask* task = fractal->task;
    if (fractal->header->Dims && fractal->params3D != NULL && fractal->params3D->Mode3D == 1 && task != NULL &&
        task->renderer != NULL) {
        width = task->renderer->imageWidth;
        height = task->renderer->imageHeight;
    }
    HDC dc = GetDC(window->hwnd);
    if (dc == NULL)
        return;
    if (DisplayPalette != NULL)
        SelectPalette(dc, DisplayPalette, FALSE);
    DrawFractalImage(fractal, dc, 0, 0, width, height, 0);
    ReleaseDC(window->hwnd, dc);
}

void RepaintFractalWindowWithCamera(PFrameWindow* window)
{
    RepaintFractalWindow(window);
    Fractal* fractal = window != NULL ? FindFractalByWindow(window) : NULL;
    if (fractal != NULL && fractal->task != NULL && fractal->task->cameraWidget != NULL &&
        fractal->task->cameraWidget->shown && g_ControlEventWindows.updateCameraTooltips != NULL)
        g_ControlEventWindows.updateCameraTooltips(fractal);
}
