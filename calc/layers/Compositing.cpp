// One row of a layered fractal: the per-row records of the visible layers
// (rows, alpha words, flags, offsets, opacities), then per pixel the
// checkerboard and the merge from the lowest layer up. Products of bytes
// come from g_MultiplyTable; weights are 8.8 fixed point.
#include "calc/layers/Compositing.h"

#include <math.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/colour/ColorModels.h"
#include "calc/layers/LayerFileReader.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layer.h"

uint8_t g_MultiplyTable[256][256];

namespace {

inline int M(int a, int b)
{
    return g_MultiplyTable[a & 255][b & 255];
}

inline int Clamp255(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

// Image size of a layer as merged: the OpenGL view's image while its 3D
// view is drawn there, else the fractal's image.
void LayerImageSize(const Fractal* f, int* width, int* height)
{
    const RendererLink* gl = f->task->renderer;
    if (f->header->Dims && gl && gl->data) {
        *width = gl->imageWidth;
        *height = gl->imageHeight;
    } else {
        *width = f->header->Width;
        *height = f->header->Height;
    }
}

void SetSolidAlphas(LayerMergeRecord* r, const Fractal* f)
{
    int alpha[3] = {255, 255, 255};
    if (f->header->Type == FT_ESCAPETIME && f->typeParameters) {
        const EscapetimeParameters* e = static_cast<const EscapetimeParameters*>(f->typeParameters);
        alpha[SOLID_ALPHA_OUTSIDE] = e->outsideColouring.SolidOpacity;
        alpha[SOLID_ALPHA_INSIDE] = e->insideColouring.SolidOpacity;
        alpha[SOLID_ALPHA_NO_RESULT] = e->SolidOpacityTransformation;
    }
    for (int k = 0; k < 3; ++k) {
        r->solidAlpha[k] = alpha[k] / 255.0;
        r->solidAlpha256[k] = (int32_t)(alpha[k] / 255.0 * 255.0) * 256;
    }
}

// What a record takes from the layer itself, wherever its rows come from.
void FillLayerFields(LayerMergeRecord* r, Layer* layer)
{
    memset(r, 0, sizeof *r);
    r->layer = layer;
    r->leftOffset = (int32_t)layer->leftOffset;
    r->mergeMode = layer->mergeMode;
    r->usesAlpha = layer->usesAlpha;
    r->opacityFraction = layer->opacity / 100.0;
    r->opacity256 = layer->opacityLevel * 256;
    r->transparency256 = (255 - layer->opacityLevel) * 256;
    SetSolidAlphas(r, layer->fractal);
}

// The record of one layer for layered row row, from the layer's task.
void BuildRecord(LayerMergeRecord* r, Layer* layer, int row)
{
    Fractal* f = layer->fractal;
    FractalTask* task = f->task;
    FillLayerFields(r, layer);
    int width, height;
    LayerImageSize(f, &width, &height);
    int layerRow = row - (int)layer->bottomOffset;
    r->rowInRange = layerRow >= 0 && layerRow < height;
    r->layerWidth = width;
    r->colourTable = task->dib.colors;
    if (!r->rowInRange) return;

    const bool threeD = f->header->Dims != 0;
    r->is24 = f->header->DisplayDepth == 24 || threeD;
    const RendererLink* gl = task->renderer;
    if (threeD && gl && gl->data) {
        int stride = (gl->imageWidth + 4) & ~3;
        r->imageRow = static_cast<uint8_t*>(gl->data) + layerRow * stride * 3;
    } else {
        uint8_t* image = threeD ? task->image3D : task->imageBits;
        if (image) r->imageRow = image + layerRow * f->GetImageStride() * (r->is24 ? 3 : 1);
    }
    if (!r->imageRow) r->rowInRange = 0;
    int type = f->header->Type;
    bool alphaType = type == FT_ESCAPETIME || type == FT_QUATERNION || type == FT_ATTRACTOR;
    // The same row length as the colour mapping writes the alpha words with.
    if (alphaType && task->oldz && task->oldz->IsAllocated())
        r->alphaRow = static_cast<const uint32_t*>(task->oldz->data) + layerRow * f->GetBufferWidth();
    if (task->flags) r->flagRow = task->flags + layerRow * f->GetBufferWidth();
}

// The record of one layer of a layered render job, from the layer job's
// raw files. The layer's width is its width in those files, so that no
// column beyond the row read is taken; a row the files lack leaves the
// layer out of this row.
void BuildFileRecord(LayerMergeRecord* r, Layer* layer, int row, LayerFileReader* reader)
{
    FillLayerFields(r, layer);
    r->is24 = 1;
    int width = 0, height = 0;
    reader->JobSize(layer, &width, &height);
    r->layerWidth = width;
    LayerFileReader::Row read;
    if (!reader->ReadRow(layer, row - (int)layer->bottomOffset, &read)) return;
    r->rowInRange = 1;
    r->imageRow = read.bits;
    r->alphaRow = read.alphaWords;
    r->flagRow = read.flags;
}

enum AlphaKind { ALPHA_NONE, ALPHA_SOLID, ALPHA_WORD };

// The alpha of a layer's pixel: a solid colour's alpha chosen by its flags,
// an alpha word (v, 0..65535 * 65535 >> 16), or none.
AlphaKind PixelAlpha(const LayerMergeRecord& r, int lx, int* solid, uint32_t* v)
{
    if (!r.usesAlpha) return ALPHA_NONE;
    uint8_t flags = r.flagRow ? r.flagRow[lx] : 0;
    if (flags & PF_SOLID) {
        *solid = (flags & PF_MAPSOLID) ? SOLID_ALPHA_NO_RESULT
                 : (flags & PF_INSIDE) ? SOLID_ALPHA_INSIDE
                                       : SOLID_ALPHA_OUTSIDE;
        return ALPHA_SOLID;
    }
    if (r.alphaRow) {
        uint32_t word = r.alphaRow[lx];
        *v = (uint32_t)(((uint64_t)(word >> 16) * (word & 0xFFFF)) >> 16);
        return ALPHA_WORD;
    }
    return ALPHA_NONE;
}

}  // namespace

void BuildMultiplyTable()
{
    for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j) g_MultiplyTable[i][j] = (uint8_t)(i * j / 256);
}

int MergeChannel(int mode, int s, int d)
{
    switch (mode) {
    case MERGE_MULTIPLY: return M(s, d);
    case MERGE_SCREEN: return 255 - M(255 - s, 255 - d);
    case MERGE_OVERLAY: return d < 128 ? M(2 * d, s) : 255 - M(2 * (255 - d), 255 - s);
    case MERGE_SOFTLIGHT: return s < 128 ? M(s + 127, d) : 255 - M(382 - s, 255 - d);
    case MERGE_HARDLIGHT: return s < 128 ? M(2 * s, d) : 255 - M(2 * (255 - s), 255 - d);
    case MERGE_DARKEN: return s < d ? s : d;
    case MERGE_LIGHTEN: return s > d ? s : d;
    case MERGE_DIFFERENCE: return d > s ? d - s : s - d;
    case MERGE_ADDITION: return s + d > 255 ? 255 : s + d;
    case MERGE_SUBTRACTION: return d - s < 0 ? 0 : d - s;
    default: return d;
    }
}

void MergePixel(int mode, const int s[3], const int d[3], int out[3])
{
    switch (mode) {
    case MERGE_HUE: case MERGE_SATURATION: case MERGE_COLOR: case MERGE_LUMINANCE: case MERGE_HSLADDITION: {
        int32_t sRgb[3] = {s[0], s[1], s[2]}, dRgb[3] = {d[0], d[1], d[2]};
        int32_t hs[3], hd[3], h[3], rgb[3];
        RgbToHslInt(sRgb, hs);
        RgbToHslInt(dRgb, hd);
        if (mode == MERGE_HUE) {
            h[0] = hs[0], h[1] = hd[1], h[2] = hd[2];
        } else if (mode == MERGE_SATURATION) {
            h[0] = hd[0], h[1] = hs[1], h[2] = hd[2];
        } else if (mode == MERGE_COLOR) {
            h[0] = hs[0], h[1] = hs[1], h[2] = hd[2];
        } else if (mode == MERGE_LUMINANCE) {
            h[0] = hd[0], h[1] = hd[1], h[2] = hs[2];
        } else {
            if (hd[1] == 0)
                h[0] = hs[0];
            else if (hs[1] != 0)
                h[0] = hd[0] + hs[0];
            else
                h[0] = hd[0];
            if (h[0] >= 360) h[0] -= 360;
            h[1] = Clamp255(hd[1] + hs[1] - 128);
            h[2] = Clamp255(hd[2] + hs[2] - 128);
        }
        HslToRgbInt(rgb, h);
        for (int c = 0; c < 3; ++c) out[c] = Clamp255(rgb[c]);
        return;
    }
    case MERGE_RED: case MERGE_GREEN: case MERGE_BLUE: {
        int keep = mode - MERGE_RED;
        for (int c = 0; c < 3; ++c) out[c] = c == keep ? s[c] : d[c];
        return;
    }
    default:
        for (int c = 0; c < 3; ++c) out[c] = MergeChannel(mode, s[c], d[c]);
        return;
    }
}

void MergeLayerLine(Fractal* layered, LayeredParameters* params, int lastColumn, int row,
                    LayerMergeRecord* records, LayerFileReader* reader)
{
    FractalTask* task = layered->task;
    const bool fromFiles = reader && layered->renderJob;
    if (!task || (!fromFiles && !task->imageBits) || row < 0 || row >= layered->header->Height) return;
    int count = 0;
    for (ListNode* n = params->layers.GetTail(); n; n = n->prev) {
        Layer* layer = static_cast<Layer*>(n);
        if (!layer->visible || !layer->fractal || !layer->fractal->task) continue;
        if (fromFiles)
            BuildFileRecord(&records[count++], layer, row, reader);
        else
            BuildRecord(&records[count++], layer, row);
    }
    LayerMergeRecord& end = records[count];
    memset(&end, 0, sizeof end);
    end.is24 = 1;
    if (fromFiles) {
        end.imageRow = reader->OutputRow();
        if (lastColumn >= layered->header->Width) lastColumn = layered->header->Width - 1;
    } else {
        end.imageRow = task->imageBits + row * layered->GetImageStride() * 3;
        if (lastColumn >= layered->GetImageStride()) lastColumn = layered->GetImageStride() - 1;
    }

    for (int x = 0; x <= lastColumn; ++x) {
        int grey = (((x / 8) ^ (row / 8)) & 1) ? 255 : 160;
        int d[3] = {grey, grey, grey};   // red, green, blue
        bool first = true;
        double A = 1.0;
        for (int k = 0; k < count; ++k) {
            const LayerMergeRecord& r = records[k];
            int lx = x - r.leftOffset;
            if (!r.rowInRange || lx < 0 || lx >= r.layerWidth) continue;
            int s[3];
            if (r.is24) {
                const uint8_t* p = r.imageRow + 3 * lx;
                s[0] = p[2], s[1] = p[1], s[2] = p[0];
            } else {
                const RGBQUAD& q = r.colourTable[r.imageRow[lx]];
                s[0] = q.rgbRed, s[1] = q.rgbGreen, s[2] = q.rgbBlue;
            }
            int solid = 0;
            uint32_t v = 0;
            AlphaKind kind = PixelAlpha(r, lx, &solid, &v);
            if (r.layer->mask) {
                double m = 1.0;
                if (r.usesAlpha) {
                    m = kind == ALPHA_SOLID  ? r.solidAlpha[solid] * r.opacityFraction
                        : kind == ALPHA_WORD ? v / 65534.0
                                             : r.layer->opacity / 100.0;
                }
                if (m < A) A = m;
                continue;
            }
            if (r.mergeMode == MERGE_NORMAL || first) {
                first = false;
                if (kind == ALPHA_WORD) {
                    double a = v / 65534.0 * r.opacityFraction * A;
                    for (int c = 0; c < 3; ++c) d[c] = (int)nearbyint(d[c] * (1 - a) + s[c] * a);
                } else {
                    double a = kind == ALPHA_SOLID ? r.solidAlpha[solid] * r.opacityFraction * A
                                                   : A * r.opacityFraction;
                    for (int c = 0; c < 3; ++c) d[c] = (int)(s[c] * a + d[c] * (1 - a));
                }
            } else {
                int w, cw;
                if (kind == ALPHA_SOLID) {
                    w = ((uint32_t)((double)r.solidAlpha256[solid] * r.opacity256 * A) >> 24) & 255;
                    cw = 255 - w;
                } else if (kind == ALPHA_WORD) {
                    double f = v * A / 65534.0 * r.opacityFraction;
                    w = Clamp255((int)(f * 255));
                    cw = Clamp255((int)((1 - f) * 255));
                } else {
                    w = ((int)(r.opacity256 * A) >> 8) & 255;
                    cw = 255 - w;
                }
                int below[3] = {Clamp255(d[0]), Clamp255(d[1]), Clamp255(d[2])}, f[3];
                MergePixel(r.mergeMode, s, below, f);
                for (int c = 0; c < 3; ++c) d[c] = M(w, f[c]) + M(cw, below[c]);
            }
            A = 1.0;
        }
        uint8_t* out = end.imageRow + 3 * x;
        out[0] = (uint8_t)Clamp255(d[2]);
        out[1] = (uint8_t)Clamp255(d[1]);
        out[2] = (uint8_t)Clamp255(d[0]);
    }
}
