// The operations on the layers of a layered fractal: adding a layer made
// from a fractal, putting a layer taken from another layered fractal back
// in, keeping the records' names and the folder order in step with their
// fractals, opening the layers' windows and stopping or restarting the
// layered fractals that use a changed fractal. RemoveLayer is declared with
// the layered block (document/EscapetimeParameters.h).
#pragma once
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layer.h"

// The layered block of a layered fractal; null for a null fractal, other
// types and a layered fractal without its block.
inline LayeredParameters* LayersOf(const Fractal* fractal)
{
    if (!fractal || fractal->header->Type != FT_LAYERED || !fractal->typeParameters)
        return nullptr;
    return static_cast<LayeredParameters*>(fractal->typeParameters);
}

// Calls visit(Layer*) for every layer record of a layered fractal (nothing
// for other fractals or a layered fractal without its block).
template <class F>
void ForEachLayerRecord(const Fractal* f, F&& visit)
{
    const LayeredParameters* block = LayersOf(f);
    if (!block)
        return;
    for (ListNode* n = block->layers.GetHead(); n; n = n->next)
        visit(static_cast<Layer*>(n));
}

// Calls visit(Fractal*) for the fractal of every layer that has one.
template <class F>
void ForEachLayerFractal(const Fractal* f, F&& visit)
{
    ForEachLayerRecord(f, [&](Layer* layer) {
        if (layer->fractal)
            visit(layer->fractal);
    });
}

// Makes a layer of fractal (itself with takeOver, else a copy) behind the
// current layer, or at the head when there is none; it becomes current.
// With fitSize the layer gets the layered fractal's size.
Layer* AddLayer(Fractal* layered, Fractal* fractal, bool takeOver, bool fitSize);
// Puts a record (with its fractal) taken out of another layered fractal
// into this one, placed as AddLayer places, then recalculates.
void ReinsertLayer(Fractal* layered, Layer* layer);
// Copies every layer fractal's name into its record (layered fractals only).
void SyncLayerNames(Fractal* layered);
// Opens every layer's calculation and window; shows those whose record
// says so.
void OpenLayerWindows(Fractal* layered, bool show);
// For every layered fractal of the fractal's folder that holds it as a
// layer: action 0 stops it, 1 recalculates it.
void UpdateLayeredParents(Fractal* fractal, int action);
