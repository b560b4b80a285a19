// Layers of layered fractals: adding and reinserting layers (the record in
// the layer list and the fractal in the folder right behind the current
// layer, or behind the layered fractal), removing them, keeping names in
// step, opening their windows and notifying the layered fractals that use
// a fractal. Windows and calculations are reached through DocumentHooks.h.
#include "document/Layers.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "document/Selection.h"

namespace {

// The layer's calculation and window, opened with the window hidden.
void OpenHidden(Fractal* layered, Fractal* layerFractal)
{
    if (layered->task && g_OpenTask)
        g_OpenTask(layerFractal, 0, 1, 0, 0, 1, 1);
}

void RefreshLayerList()
{
    if (g_Listings.refreshLayerList)
        g_Listings.refreshLayerList();
}

// The record behind the current one (the current one's fractal followed
// by the new fractal in the folder), or at the head behind the layered
// fractal; the new record becomes current.
void PlaceLayer(Fractal* layered, LayeredParameters* block, Layer* record)
{
    Fractal* fractal = record->fractal;
    Layer* current = block->currentLayer >= 0 ? static_cast<Layer*>(block->layers.GetAt(block->currentLayer)) : nullptr;
    if (current) {
        if (layered->folder)
            layered->folder->InsertLayerFractal(fractal, current->fractal, layered);
        block->layers.InsertAfter(record, current);
        block->currentLayer += 1;
    } else {
        if (layered->folder)
            layered->folder->InsertLayerFractal(fractal, nullptr, layered);
        block->layers.Prepend(record);
        block->currentLayer = 0;
    }
    fractal->kind = NODE_KIND_LAYER;
    if (!layered->folder)
        fractal->folder = nullptr;
}

}  // namespace

Layer* AddLayer(Fractal* layered, Fractal* fractal, bool takeOver, bool fitSize)
{
    LayeredParameters* block = LayersOf(layered);
    if (!block || !fractal)
        return nullptr;
    layered->StopCalculation();
    if (!takeOver) {
        // A copy of a never-parsed fractal would copy no parameters.
        if (fractal->pendingEntryText) {
            SelectFractal(fractal, true);
            SelectFractal(layered, true);
        }
        fractal = new Fractal(*fractal);
    }
    if (fitSize)
        fractal->Resize(layered->header->Width, layered->header->Height, 0, 0);
    fractal->kind = NODE_KIND_LAYER;
    FractalModified(layered) = 1;
    layered->UpdateListings();

    Layer* record = new Layer();
    record->SetName(fractal->name);
    record->fractal = fractal;
    record->windowShown = 0;
    fractal->baseFractal = layered;
    fractal->layer = record;
    PlaceLayer(layered, block, record);
    if (takeOver)
        SelectFractal(fractal, true);
    OpenHidden(layered, fractal);
    RefreshLayerList();
    return record;
}

void ReinsertLayer(Fractal* layered, Layer* layer)
{
    LayeredParameters* block = LayersOf(layered);
    if (!block || !layer || !layer->fractal)
        return;
    layered->StopCalculation();
    FractalModified(layered) = 1;
    layered->UpdateListings();
    layer->windowShown = 0;
    Fractal* fractal = layer->fractal;
    fractal->baseFractal = layered;
    fractal->layer = layer;
    PlaceLayer(layered, block, layer);
    SelectFractal(fractal, true);
    OpenHidden(layered, fractal);
    RefreshLayerList();
    layered->Recalculate();
}

void SyncLayerNames(Fractal* layered)
{
    LayeredParameters* block = LayersOf(layered);
    if (!block)
        return;
    for (ListNode* n = block->layers.GetHead(); n; n = n->next) {
        Layer* record = static_cast<Layer*>(n);
        if (record->fractal)
            record->SetName(record->fractal->name);
    }
}

void OpenLayerWindows(Fractal* layered, bool show)
{
    LayeredParameters* block = LayersOf(layered);
    if (!block)
        return;
    SyncLayerNames(layered);
    for (ListNode* n = block->layers.GetHead(); n; n = n->next) {
        Layer* record = static_cast<Layer*>(n);
        Fractal* fractal = record->fractal;
        if (!fractal)
            continue;
        if (g_OpenTask)
            g_OpenTask(fractal, 0, 1, show ? 1 : 0, 0, 1, 1);
        if (record->windowShown && fractal->task && fractal->task->window && g_Listings.showWindow)
            g_Listings.showWindow(fractal->task->window, true);
    }
}

void UpdateLayeredParents(Fractal* fractal, int action)
{
    if (!fractal || !fractal->folder)
        return;
    for (ListNode* n = fractal->folder->fractals.GetHead(); n; n = n->next) {
        Fractal* layered = static_cast<Fractal*>(n);
        if (layered == fractal || !layered->FindLayer(fractal))
            continue;
        if (action == 0)
            layered->StopCalculation();
        else if (action == 1)
            layered->Recalculate();
    }
}

Layer* Fractal::FindLayer(const Fractal* fractal) const
{
    const LayeredParameters* block = LayersOf(this);
    if (!block)
        return nullptr;
    for (ListNode* n = block->layers.GetHead(); n; n = n->next)
        if (static_cast<Layer*>(n)->fractal == fractal)
            return static_cast<Layer*>(n);
    return nullptr;
}

void RemoveLayer(LayeredParameters* block, Layer* layer, int deleteFractal)
{
    if (!block || !layer)
        return;
    int position = block->layers.IndexOf(layer);
    Layer* following = static_cast<Layer*>(layer->next);
    Layer* preceding = static_cast<Layer*>(layer->prev);
    if (position >= 0) {
        block->layers.Remove(layer);
        // The current-layer index keeps naming an existing record.
        if (block->currentLayer > position || block->currentLayer >= block->layers.Count())
            block->currentLayer -= 1;
    }
    Fractal* fractal = layer->fractal;
    layer->fractal = nullptr;
    if (fractal) {
        Fractal* base = fractal->baseFractal;
        if (!layer->windowShown && fractal->task && g_CloseTask)
            g_CloseTask(fractal, 1, 0, 0);
        if (base)
            fractal->folder = base->folder;
        fractal->baseFractal = nullptr;
        fractal->layer = nullptr;
        if (deleteFractal) {
            FractalFolder* folder = fractal->folder;
            bool wasCurrent = folder && folder->currentFractal == fractal;
            Fractal* successor = following && following->fractal ? following->fractal
                                 : preceding && preceding->fractal ? preceding->fractal
                                                                   : base;
            DeleteFractal(fractal, false, false);
            if (wasCurrent) {
                folder->currentFractal = successor;
                if (folder == CurrentFolder) {
                    folder->MakeCurrent(true);
                    folder->UpdateListings();
                    SelectFractal(successor, true);
                }
            }
        }
    }
    delete layer;
}
