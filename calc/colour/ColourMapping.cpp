// Colour mapping of escape-time rows and of image-filter sub-samples. The
// per-pixel arithmetic is single precision (the filtered samples double);
// every position is checked for NaN after its transfer as well as before,
// so no setting read from a file can index outside the gradient or the
// alpha table.
#include "calc/colour/ColourMapping.h"

#include <math.h>
#include <string.h>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/colour/AlphaChannel.h"
#include "calc/colour/Palette.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/ImageFilter.h"
#include "foundation/Util.h"

namespace {

const double POSITION_LIMIT = 1e9;    // a product v x density above it skips the transfer

void SetFromColouring(ColouringSet* set, const ColouringSettings& c, int refactor)
{
    set->density = c.Density;
    set->accel = c.Accel;
    set->smooth = c.Smooth;
    set->offset = c.Offset;
    set->transfer = c.Mapping;
    set->repeat = c.WrapAround;
    set->solidColour = RgbFromBytes(c.SolidColor);
    set->refactor = refactor;
}

void SetTransformation(ColouringSet* set, const uint8_t solid[4])
{
    set->density = 1;
    set->accel = 1;
    set->smooth = 1;
    set->offset = 1.0;
    set->transfer = TRANSFER_LINEAR;
    set->repeat = 1;
    set->solidColour = solid ? RgbFromBytes(solid) : 0;
    set->refactor = 0;
}

inline int RoundChannel(double v)
{
    return (int)floor(v + 0.5);
}

// The pixel's own packed colour (0x..RRGGBB) from the bits of its value cell.
inline uint32_t PackedColourOf(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits & 0xFFFFFF;
}

// The gradient entry (0..251, or 252..254 black, white, grey) nearest to a
// colour: what an 8-bit row shows for a direct colour.
int NearestTableIndex(const RGBQUAD* table, uint32_t rgb)
{
    int r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    int best = 0, bestDistance = 0x7FFFFFFF;
    for (int k = 0; k < 255; ++k) {
        int dr = table[k].rgbRed - r, dg = table[k].rgbGreen - g, db = table[k].rgbBlue - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

// Writes one colour (or index) into the pixel at column x of a row.
inline void PutPixel(uint8_t* row, int x, int is24, uint32_t rgb, int index)
{
    if (is24) {
        row[3 * x] = (uint8_t)(rgb & 255);
        row[3 * x + 1] = (uint8_t)((rgb >> 8) & 255);
        row[3 * x + 2] = (uint8_t)((rgb >> 16) & 255);
    } else {
        row[x] = (uint8_t)index;
    }
}

// The gradient position of a value in ordinary or refactor mode before the
// range check (steps of the single-precision mapping).
float PositionOf(const ColouringSet& set, float v, bool refactorMode, bool transformationSet)
{
    float p;
    if (refactorMode) {
        p = v * 252.0f;
        if (!(p >= 0)) p = 0;
        if (p > (float)POSITION_LIMIT)
            p = (float)POSITION_LIMIT;
        else if (transformationSet)
            p = TransferSingle(set.transfer, p, (float)set.accel);
        else
            p = RefactorTransfer(set.transfer, p, (float)set.density, (float)set.accel);
        if (p != p) p = 0;
        return p + (float)set.offset;
    }
    p = v * (float)set.density;
    if (!(p >= 0)) p = 0;
    if (p > (float)POSITION_LIMIT)
        p = (float)POSITION_LIMIT;
    else
        p = TransferSingle(set.transfer, p, (float)set.accel);
    if (p != p) p = 0;
    return p * 252.0f + (float)set.offset;
}

}  // namespace

void GetColouringSets(const Fractal* fractal, ColouringSet sets[3])
{
    const EscapetimeParameters* e = nullptr;
    if (fractal && fractal->header && fractal->header->Type == FT_ESCAPETIME)
        e = static_cast<const EscapetimeParameters*>(fractal->typeParameters);
    if (!e) {
        ColouringSettings plain;
        plain.SetDefaults(TRANSFER_LINEAR);
        for (int k = 0; k < 2; ++k) SetFromColouring(&sets[k], plain, 0);
        SetTransformation(&sets[SET_TRANSFORMATION], nullptr);
        return;
    }
    SetFromColouring(&sets[SET_OUTSIDE], e->outsideColouring, e->refactorOutside);
    SetFromColouring(&sets[SET_INSIDE], e->insideColouring, e->refactorInside);
    SetTransformation(&sets[SET_TRANSFORMATION], e->SolidColorTransformation);
}

int ColouringSetOf(uint8_t flags)
{
    switch (flags & (PF_INSIDE | PF_MAPSOLID)) {
    case PF_INSIDE: return SET_INSIDE;
    case PF_MAPSOLID: return SET_TRANSFORMATION;
    default: return SET_OUTSIDE;
    }
}

float TransferSingle(int transfer, float p, float a)
{
    switch (transfer) {
    case TRANSFER_LINEAR: return p;
    case TRANSFER_SQR: return 2.0f * p * p;
    case TRANSFER_SQRT: return sqrtf(p) * a * 0.5f;
    case TRANSFER_CUBE: return 3.0f * p * p * p;
    case TRANSFER_CUBEROOT: return powf(p, 0.33333299f) * a * 0.33333334f;
    case TRANSFER_EXP: return expf(p < 100.0f ? p : 100.0f) / a;
    case TRANSFER_LOG: return logf(p / a + 1.0f) * a;
    case TRANSFER_SIN: return sinf(p) * a;
    case TRANSFER_ARCTAN: return atanf(p * a) * a;
    default: return p;
    }
}

double TransferDouble(int transfer, double p, double a)
{
    switch (transfer) {
    case TRANSFER_LINEAR: return p;
    case TRANSFER_SQR: return 2.0 * p * p;
    case TRANSFER_SQRT: return sqrt(p) * a * 0.5;
    case TRANSFER_CUBE: return 3.0 * p * p * p;
    case TRANSFER_CUBEROOT: return pow(p, 0.333333) * a * 0.333333333;
    case TRANSFER_EXP: return exp(p < 100.0 ? p : 100.0) / a;
    case TRANSFER_LOG: return log(p / a + 1.0) * a;
    case TRANSFER_SIN: return sin(p) * a;
    case TRANSFER_ARCTAN: return atan(p * a) * a;
    default: return p;
    }
}

float RefactorTransfer(int transfer, float p, float d, float a)
{
    switch (transfer) {
    case TRANSFER_LINEAR: return p / d;
    case TRANSFER_SQR: return 2.0f * d * p * p;
    case TRANSFER_SQRT: return sqrtf(p * d) * a * 0.5f;
    case TRANSFER_CUBE: return 3.0f * d * p * p * p;
    case TRANSFER_CUBEROOT: return powf(p * d, 0.33333299f) * a * 0.33333334f;
    case TRANSFER_EXP: {
        float e = p * d;
        return expf(e < 100.0f ? e : 100.0f) / a;
    }
    case TRANSFER_LOG: {
        float c = 2000.0f / expf(a * 6.0f / 30.0f + 3.0f);
        return log2f(p / c + 1.0f) * d * c;
    }
    case TRANSFER_SIN: {
        float r = 251.0f * 0.6f * a * sinf(p / (100.0f * d));
        return r < 0 ? r + 252.0f : r;
    }
    case TRANSFER_ARCTAN: {
        float c = 3000.0f / expf(0.6f * a - 1.0f);
        return atanf(p / c) * d * c;
    }
    default: return p;
    }
}

double WrapGradientPosition(double p, int repeat, double cap)
{
    if (p != p) p = 0;
    if (p < 0 || p >= 251) {
        if (repeat) {
            if (p > cap) p = cap;
            if (p < -cap) p = -cap;
            p = p - trunc(p / PALETTE_SIZE) * PALETTE_SIZE;
            if (p < 0) p += PALETTE_SIZE;
        } else {
            if (p < 0) p = 0;
            if (p >= 251) p = 251;
        }
    }
    if (!(p >= 0)) p = 0;
    if (p >= PALETTE_SIZE) p = 251;
    return p;
}

void BlendTableColour(const RGBQUAD* table, double p, int rgb[3])
{
    if (!(p >= 0) || p >= PALETTE_SIZE) p = 0;
    int i = (int)p;
    double f = p - i;
    int j = i + 1 == PALETTE_SIZE ? 0 : i + 1;
    rgb[0] = RoundChannel(table[i].rgbRed + f * (table[j].rgbRed - table[i].rgbRed));
    rgb[1] = RoundChannel(table[i].rgbGreen + f * (table[j].rgbGreen - table[i].rgbGreen));
    rgb[2] = RoundChannel(table[i].rgbBlue + f * (table[j].rgbBlue - table[i].rgbBlue));
}

void ColorizeEscapeTimeLine(Fractal* fractal, int firstColumn, int row, int count, int is24,
                            int blockSize, float* positionOut)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task || !task->imageBits || !task->values || !task->flags) return;
    int width = fractal->header->Width;
    int n = count < width - firstColumn ? count : width - firstColumn;
    if (n < 0 || row < 0 || row >= fractal->header->Height) return;
    int bufferWidth = fractal->GetBufferWidth();
    int stride = fractal->GetImageStride();
    uint32_t* opacity = nullptr;
    if (task->oldz && task->oldz->IsAllocated())
        opacity = static_cast<uint32_t*>(task->oldz->data) + row * bufferWidth;
    uint8_t* image = task->imageBits + row * stride * (is24 ? 3 : 1);
    MapEscapeTimeValues(fractal, firstColumn, task->values + row * bufferWidth, task->flags + row * bufferWidth,
                        image, nullptr, n, is24, blockSize, positionOut, opacity, 1, row);
}

void MapEscapeTimeValues(Fractal* fractal, int firstColumn, const float* valueRow, uint8_t* flagRow,
                         uint8_t* imageRow, uint8_t* shadowRow, int n, int is24, int blockSize,
                         float* positionOut, uint32_t* opacityRow, int fill, int row)
{
    FractalTask* task = fractal->task;
    if (!task) return;
    ColouringSet sets[3];
    GetColouringSets(fractal, sets);
    const RGBQUAD* table = task->dib.colors;
    const uint8_t* alpha = fractal->alphaChannel.alphaTable;
    const bool refactorMode = sets[SET_OUTSIDE].refactor != 0 || sets[SET_INSIDE].refactor != 0;
    const bool inRenderJob = fractal->renderJob != nullptr;
    const int width = fractal->header->Width, height = fractal->header->Height;
    const int block = blockSize > 0 ? blockSize : 1;
    const int rowBytes = fractal->GetImageStride() * (is24 ? 3 : 1);
    const int lastColumn = firstColumn + n < fractal->GetBufferWidth() - 1 ? firstColumn + n
                                                                             : fractal->GetBufferWidth() - 1;

    for (int x = firstColumn; x <= lastColumn; x += block) {
        uint8_t flags = flagRow[x];
        if ((flags & PF_COLORED) && inRenderJob) continue;
        flagRow[x] = flags | PF_COLORED;
        int which = ColouringSetOf(flags);
        const ColouringSet& set = sets[which];
        uint32_t rgb;
        int index;
        if (set.transfer == TRANSFER_NONE || (flags & (PF_SOLID | PF_DIRECT))) {
            rgb = (flags & (PF_SOLID | PF_DIRECT)) ? PackedColourOf(valueRow[x]) : set.solidColour;
            if (positionOut) positionOut[x - firstColumn] = -1.0f;
            if (opacityRow) opacityRow[x] = (opacityRow[x] & 0xFFFF) | 0xFFFF0000u;
            index = is24 ? 0 : NearestTableIndex(table, rgb);
        } else {
            float p = PositionOf(set, valueRow[x], refactorMode, which == SET_TRANSFORMATION);
            p = (float)WrapGradientPosition(p, set.repeat, 1e8);
            if (refactorMode) flagRow[x] &= ~PF_COLORED;
            if (positionOut) positionOut[x - firstColumn] = p / 252.0f;
            if (opacityRow) {
                float t = (p / 252.0f) * 399.0f;
                int i = (int)t;
                if (i < 0) i = 0;
                if (i > ALPHA_TABLE_SIZE - 1) i = ALPHA_TABLE_SIZE - 1;
                int next = i + 1 == ALPHA_TABLE_SIZE ? 0 : i + 1;
                float f = t - i;
                float a = alpha[i] + f * (alpha[next] - alpha[i]);
                opacityRow[x] = (opacityRow[x] & 0xFFFF) | ((uint32_t)(257.0f * a) << 16);
            }
            if (set.smooth > 0) p = (float)(trunc(p / set.smooth) * set.smooth);
            if (!(p >= 0) || p >= PALETTE_SIZE) p = 0;
            int c[3];
            if (set.refactor == 1) {
                int k = (int)(p + 0.5f);
                if (k >= PALETTE_SIZE) k = 0;
                c[0] = table[k].rgbRed, c[1] = table[k].rgbGreen, c[2] = table[k].rgbBlue;
            } else {
                BlendTableColour(table, p, c);
            }
            rgb = (uint32_t)c[0] << 16 | (uint32_t)c[1] << 8 | (uint32_t)c[2];
            index = (int)(p + 0.5f);
            if (index >= PALETTE_SIZE) index = 0;
        }
        if (block != 1 && fill) {
            for (int dy = 0; dy < block && row + dy < height; ++dy)
                for (int dx = 0; dx < block && x + dx < width; ++dx)
                    PutPixel(imageRow + dy * rowBytes, x + dx, is24, rgb, index);
        } else if (x < width) {
            PutPixel(imageRow, x, is24, rgb, index);
        }
    }

    if (fill && fractal->dither && is24) {
        int stream = row >= height / 2 ? 1 : 0;
        for (int dy = 0; dy < block; ++dy) DitherColouredRow(fractal, stream, row + dy);
    }
}

void MapFilteredSamples(Fractal* fractal, int column, float** valueRows, uint32_t** opacityRows,
                        uint8_t** flagRows, uint8_t** colourRows, uint8_t** doneRows)
{
    FractalTask* task = fractal->task;
    if (!task) return;
    const ImageFilter* filter = fractal->header->ImageFilter;
    int g = filter ? filter->GetSide() : 1;
    int step = fractal->header->FilterStep > 0 ? fractal->header->FilterStep : 1;
    ColouringSet sets[3];
    GetColouringSets(fractal, sets);
    const RGBQUAD* table = task->dib.colors;
    for (int i = 0; i < g; ++i) {
        for (int j = 0; j < g; ++j) {
            int k = column * step + j;
            if (doneRows[i][k]) continue;
            uint8_t flags = flagRows[i][k];
            const ColouringSet& set = sets[ColouringSetOf(flags)];
            int c[3];
            if (set.transfer == TRANSFER_NONE || (flags & (PF_SOLID | PF_DIRECT))) {
                uint32_t rgb = (flags & (PF_SOLID | PF_DIRECT)) ? PackedColourOf(valueRows[i][k]) : set.solidColour;
                c[0] = (rgb >> 16) & 255, c[1] = (rgb >> 8) & 255, c[2] = rgb & 255;
                flagRows[i][k] = flags | PF_COLORED;
                // A direct colour is as opaque as on the other roads.
                if (opacityRows) opacityRows[i][k] = (opacityRows[i][k] & 0xFFFF) | 0xFFFF0000u;
            } else {
                double p = valueRows[i][k] * set.density;
                if (!(p >= 0)) p = 0;
                if (p > POSITION_LIMIT)
                    p = POSITION_LIMIT;
                else
                    p = TransferDouble(set.transfer, p, set.accel);
                if (p != p) p = 0;
                p = WrapGradientPosition(p * 252.0 + set.offset, set.repeat, 2.147483647e11);
                flagRows[i][k] = flags & ~PF_COLORED;
                if (opacityRows) {
                    // p stays below 252, so the quotient may pass 1: the half is capped.
                    double o = p / 251.0 * 65535.0;
                    uint32_t half = o >= 65535.0 ? 65535u : (uint32_t)o;
                    opacityRows[i][k] = (opacityRows[i][k] & 0xFFFF) | (half << 16);
                }
                if (set.smooth > 0) p = trunc(p / set.smooth) * set.smooth;
                BlendTableColour(table, p, c);
            }
            colourRows[i][3 * k] = (uint8_t)c[0];
            colourRows[i][3 * k + 1] = (uint8_t)c[1];
            colourRows[i][3 * k + 2] = (uint8_t)c[2];
            doneRows[i][k] = 1;
        }
    }
}

void DitherColouredRow(Fractal* fractal, int stream, int row)
{
    if (row < 0 || row >= fractal->header->Height) return;
    DitherImageRow(fractal, stream, row, nullptr, nullptr);
}
