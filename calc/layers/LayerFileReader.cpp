// Reading the raw rows of a layered render job's layers: each layer's job
// names its three files in the temporary folder; the rows are w pixels
// wide, w being the layer's image width over its own supersampling, and
// stored bottom row first. Alpha floats become the alpha words the merge
// reads from a window's layers (high half 65535, low half the opacity).
#include "calc/layers/LayerFileReader.h"

#include <string.h>

#include "document/Fractal.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "files/renderjob/RenderJob.h"

namespace {

FILE* OpenRaw(const RenderJob* job, const char* extension)
{
    char path[260];
    job->RawFilePath(extension, path);
    return fopen(path, "rb");
}

// Reads count items of size bytes at item index first; false when the
// file does not hold them all.
bool ReadAt(FILE* file, long first, size_t size, size_t count, void* into)
{
    if (!file || fseek(file, first * (long)size, SEEK_SET) != 0)
        return false;
    return fread(into, size, count, file) == count;
}

}  // namespace

LayerFileReader::LayerFileReader(Fractal* layered, LayeredParameters* params)
{
    for (ListNode* n = params->layers.GetTail(); n; n = n->prev) {
        const Layer* layer = static_cast<const Layer*>(n);
        Fractal* f = layer->fractal;
        if (!layer->visible || !f || !f->task)
            continue;
        entries.emplace_back();
        Entry& e = entries.back();
        e.layer = layer;
        RenderJob* job = f->renderJob;
        int s = job ? job->GetSupersampling(f) : 1;
        if (s < 1)
            s = 1;
        e.width = f->header->Width / s;
        e.height = f->header->Height / s;
        if (job) {
            e.bits = OpenRaw(job, "bits");
            e.alpha = OpenRaw(job, "alpha");
            e.flags = OpenRaw(job, "flags");
        }
        e.bitsRow.resize((size_t)e.width * 3 + 3);
        e.alphaRow.resize((size_t)e.width + 1);
        e.flagRow.resize((size_t)e.width + 1);
    }
    output.assign(((size_t)layered->header->Width + 1) * 3, 0);
}

LayerFileReader::~LayerFileReader()
{
    for (Entry& e : entries)
        for (FILE* file : {e.bits, e.alpha, e.flags})
            if (file)
                fclose(file);
}

LayerFileReader::Entry* LayerFileReader::Find(const Layer* layer)
{
    for (Entry& e : entries)
        if (e.layer == layer)
            return &e;
    return nullptr;
}

bool LayerFileReader::JobSize(const Layer* layer, int* width, int* height) const
{
    for (const Entry& e : entries)
        if (e.layer == layer) {
            *width = e.width;
            *height = e.height;
            return true;
        }
    return false;
}

bool LayerFileReader::ReadRow(const Layer* layer, int layerRow, Row* row)
{
    Entry* e = Find(layer);
    if (!e || layerRow < 0 || layerRow >= e->height || e->width <= 0)
        return false;
    const long first = (long)layerRow * e->width;
    const size_t w = (size_t)e->width;
    if (!ReadAt(e->bits, first, 3, w, e->bitsRow.data()))
        return false;
    row->bits = e->bitsRow.data();
    row->alphaWords = nullptr;
    row->flags = nullptr;
    std::vector<float> alphas(w);
    if (ReadAt(e->alpha, first, 4, w, alphas.data())) {
        for (size_t x = 0; x < w; x++) {
            float a = alphas[x];
            uint32_t low = a <= 0.0f ? 0u : a >= 1.0f ? 65535u : (uint32_t)(a * 65535.0);
            e->alphaRow[x] = 0xFFFF0000u | low;
        }
        row->alphaWords = e->alphaRow.data();
    }
    if (ReadAt(e->flags, first, 1, w, e->flagRow.data()))
        row->flags = e->flagRow.data();
    return true;
}
