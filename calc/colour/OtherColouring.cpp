// Colour-mode colouring of rows and rectangles, the quaternion row and the
// attractor sample colouring, and the gradient helpers of the 3D views.
// Positions that are not finite are taken as 0 before any table access.
#include "calc/colour/OtherColouring.h"

#include <math.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/colour/ColourMapping.h"
#include "calc/colour/Palette.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "document/ViewParameters.h"
#include "foundation/Util.h"

const char* const g_ColourModeNames[] = {"Linear", "Log", "Arctan", "Sinus", nullptr};

namespace {

// p reduced into 0..252 (a negative remainder + 252); not finite gives 0.
double WrapInto252(double p)
{
    if (!isfinite(p)) return 0;
    p = p - trunc(p / PALETTE_SIZE) * PALETTE_SIZE;
    if (p < 0) p += PALETTE_SIZE;
    if (!(p >= 0) || p >= PALETTE_SIZE) p = 0;
    return p;
}

// The range step of the quaternion and attractor colouring: with repeat
// capped at cap and wrapped, without clamped below at 0; 252 and above
// become 251.
double RangeOf3DPosition(double p, int repeat, double cap)
{
    if (p != p) p = 0;
    if (p < 0 || p >= PALETTE_SIZE) {
        if (repeat) {
            if (p > cap) p = cap;
            if (p < -cap) p = -cap;
            p = p - trunc(p / PALETTE_SIZE) * PALETTE_SIZE;
            if (p < 0) p += PALETTE_SIZE;
        } else if (p < 0) {
            p = 0;
        }
    }
    if (!(p >= 0)) p = 0;
    if (p >= PALETTE_SIZE) p = 251;
    return p;
}

void UnpackRgb(uint32_t packed, int rgb[3])
{
    rgb[0] = (packed >> 16) & 255;
    rgb[1] = (packed >> 8) & 255;
    rgb[2] = packed & 255;
}

uint32_t BitsOf(float v)
{
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The colour-mode result of one value: 3 bytes into a 24-bit pixel or a
// gradient index into an 8-bit one.
void PutModeColour(const RGBQUAD* table, uint8_t* pixel, int is24, double p)
{
    if (is24) {
        int rgb[3];
        BlendTableColour(table, p, rgb);
        pixel[0] = (uint8_t)rgb[2];
        pixel[1] = (uint8_t)rgb[1];
        pixel[2] = (uint8_t)rgb[0];
    } else {
        int index = (int)(p + 0.5);
        pixel[0] = (uint8_t)(index >= PALETTE_SIZE ? 0 : index);
    }
}

void DitherRows(Fractal* fractal, int stream, int firstRow, int rows)
{
    for (int r = 0; r < rows; ++r) DitherColouredRow(fractal, stream, firstRow + r);
}

}  // namespace

void GetTransferScale(const ViewParameters* params, double* speed, double* scale)
{
    *speed = params->ColormodeSpeed;
    double a = 0.6 * params->ColormodeAccel;
    switch (params->ColormodeType) {
    case COLOURMODE_LOG: *scale = 2000.0 / exp(a / 3.0 + 3.0); break;
    case COLOURMODE_ARCTAN: *scale = 3000.0 / exp(a - 1.0); break;
    default: *scale = a; break;
    }
}

double ColourModePosition(const ViewParameters* params, double value)
{
    double speed, scale;
    GetTransferScale(params, &speed, &scale);
    double v = fabs(value);
    double p;
    int type = params->ColormodeType;
    switch (type) {
    case COLOURMODE_LINEAR: p = v / speed; break;
    case COLOURMODE_LOG: p = log2(v / scale + 1.0) * speed * scale; break;
    case COLOURMODE_ARCTAN: p = atan(v / scale) * speed * scale; break;
    case COLOURMODE_SINUS: p = sin(v / speed / 100.0) * scale * 251.0; break;
    default: p = v; break;
    }
    if (type >= COLOURMODE_LINEAR && type <= COLOURMODE_SINUS) p = WrapInto252(p);
    double smoothing = params->ColorSmoothing;
    if (smoothing > 0) p = trunc(p / smoothing) * smoothing;
    if (!(p >= 0) || p >= PALETTE_SIZE) p = WrapInto252(p);
    return p;
}

void ColorizeLine(Fractal* fractal, int firstColumn, int row, int count, int is24, int blockSize)
{
    if (!fractal || !fractal->header) return;
    int type = fractal->header->Type;
    if (type == FT_ESCAPETIME) {
        ColorizeEscapeTimeLine(fractal, firstColumn, row, count, is24, blockSize, nullptr);
        return;
    }
    if (type == FT_QUATERNION) {
        ColorizeQuaternionLine(fractal, firstColumn, row, count);
        return;
    }
    FractalTask* task = fractal->task;
    const ViewParameters* params = fractal->typeParameters;
    if (!task || !task->imageBits || !task->values || !params) return;
    int width = fractal->header->Width, height = fractal->header->Height;
    if (row < 0 || row >= height || firstColumn < 0) return;
    int n = count < width - firstColumn ? count : width - firstColumn;
    int block = blockSize > 0 ? blockSize : 1;
    int pixelBytes = is24 ? 3 : 1;
    int rowBytes = fractal->GetImageStride() * pixelBytes;
    const float* values = task->values + row * fractal->GetBufferWidth();
    for (int x = firstColumn; x < firstColumn + n; x += block) {
        double p = ColourModePosition(params, values[x]);
        for (int dy = 0; dy < block && row + dy < height; ++dy) {
            uint8_t* line = task->imageBits + (row + dy) * rowBytes;
            for (int dx = 0; dx < block && x + dx < width; ++dx)
                PutModeColour(task->dib.colors, line + (x + dx) * pixelBytes, is24, p);
        }
    }
    if (fractal->dither && is24) DitherRows(fractal, row >= height / 2 ? 1 : 0, row, block);
}

void ColorizeRect(Fractal* fractal, int x, int y, int width, int height, int is24)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    const ViewParameters* params = fractal ? fractal->typeParameters : nullptr;
    if (!task || !task->imageBits || !task->values || !params) return;
    int imageWidth = fractal->header->Width, imageHeight = fractal->header->Height;
    int x0 = x < 0 ? 0 : x, y0 = y < 0 ? 0 : y;
    int x1 = x + width < imageWidth ? x + width : imageWidth;
    int y1 = y + height < imageHeight ? y + height : imageHeight;
    int pixelBytes = is24 ? 3 : 1;
    int rowBytes = fractal->GetImageStride() * pixelBytes;
    for (int r = y0; r < y1; ++r) {
        const float* values = task->values + r * fractal->GetBufferWidth();
        uint8_t* line = task->imageBits + r * rowBytes;
        for (int c = x0; c < x1; ++c)
            PutModeColour(task->dib.colors, line + c * pixelBytes, is24, ColourModePosition(params, values[c]));
        if (fractal->dither && is24) DitherColouredRow(fractal, r >= imageHeight / 2 ? 1 : 0, r);
    }
}

void ColorizeQuaternionLine(Fractal* fractal, int firstColumn, int row, int count)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    if (!task || !task->imageBits || !task->values || !task->flags) return;
    if (fractal->header->Type != FT_QUATERNION || !fractal->typeParameters) return;
    const QuaternionParameters* q = static_cast<const QuaternionParameters*>(fractal->typeParameters);
    int bufferWidth = fractal->GetBufferWidth();
    if (row < 0 || row >= fractal->header->Height || firstColumn < 0) return;
    int n = count < bufferWidth - firstColumn ? count : bufferWidth - firstColumn;
    int width = fractal->header->Width;
    const float* values = task->values + row * bufferWidth;
    const uint8_t* flags = task->flags + row * bufferWidth;
    uint8_t* line = task->imageBits + row * fractal->GetImageStride() * 3;
    uint32_t solid = RgbFromBytes(q->SolidColor);
    for (int x = firstColumn; x < firstColumn + n; ++x) {
        float v = values[x];
        int rgb[3];
        if (q->Transfer == TRANSFER_NONE) {
            UnpackRgb(solid, rgb);
        } else if (flags[x] & PF_SOLID) {
            UnpackRgb(BitsOf(v), rgb);
        } else if (v < 0) {
            UnpackRgb(solid, rgb);
        } else {
            double p = v * q->Density;
            if (!(p >= 0)) p = 0;
            if (p > 1e9)
                p = 1e9;
            else
                p = TransferDouble(q->Transfer, p, q->Accel);
            p = RangeOf3DPosition(p * 252.0 + q->Offset, q->WrapAround, 2.147483647e11);
            if (q->Smooth > 0) p = trunc(p / q->Smooth) * q->Smooth;
            BlendTableColour(task->dib.colors, p, rgb);
        }
        if (x >= width) continue;
        line[3 * x] = (uint8_t)rgb[2];
        line[3 * x + 1] = (uint8_t)rgb[1];
        line[3 * x + 2] = (uint8_t)rgb[0];
    }
}

void MapAttractorColor(Fractal* fractal, float value, uint8_t flags, int rgb[3])
{
    const AttractorParameters* a = nullptr;
    if (fractal && fractal->header && fractal->header->Type == FT_ATTRACTOR)
        a = static_cast<const AttractorParameters*>(fractal->typeParameters);
    if (!a || !fractal->task) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    if (a->Transfer == TRANSFER_NONE) {
        UnpackRgb(RgbFromBytes(a->SolidColor), rgb);
        return;
    }
    if (flags & PF_DIRECT) {
        UnpackRgb(BitsOf(value), rgb);
        return;
    }
    if (value < 0) {
        UnpackRgb(RgbFromBytes(a->SolidColor), rgb);
        return;
    }
    float p = value * (float)a->Density;
    if (!(p >= 0)) p = 0;
    if (p > 1e9f)
        p = 1e9f;
    else
        p = TransferSingle(a->Transfer, p, (float)a->Accel);
    p = (float)RangeOf3DPosition((float)a->Offset + p * 252.0f, a->WrapAround, 1e6);
    if (a->Smooth > 0) p = (float)(trunc(p / a->Smooth) * a->Smooth);
    BlendTableColour(fractal->task->dib.colors, p, rgb);
}

void InterpolatePaletteColor(const RGBQUAD* table, int rgb[3], double position)
{
    BlendTableColour(table, WrapInto252(position), rgb);
}

void BlendRgb(const int a[3], const int b[3], int out[3], double t)
{
    if (t > 1) t = 1;
    for (int c = 0; c < 3; ++c) out[c] = (int)floor(a[c] + (b[c] - a[c]) * t + 0.5);
}
