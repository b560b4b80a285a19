#include "foundation/ImageSnapshot.h"
#include <windows.h>
#include <string.h>
#include <new>
#include "app/FractalImage.h"
#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "ui/FrameWindow.h"

// Bytes per pixel of the fractal's image.
static int PixelBytes(const Fractal* fractal)
{
    return fractal->header->DisplayDepth == 24 ? 3 : 1;
}

// The image the snapshot is taken from and drawn back into: a 24-bit
// quaternion shows the picture of its 3D view, every other fractal its image.
static unsigned char* SnapshotImage(const Fractal* fractal, const FractalTask* task)
{
    if (fractal->header->Type == FT_QUATERNION && PixelBytes(fractal) == 3)
        return task->image3D;
    return task->imageBits;
}

ImageSnapshot::ImageSnapshot(Fractal* fractal)
    : data(NULL), width(0), height(0), left(0.0), top(0.0), right(1.0), bottom(1.0),
      bytesPerPixel(1)
{
    if (fractal == NULL)
        return;
    FractalTask* task = fractal->task;
    width = fractal->GetImageStride();
    height = fractal->header->Height;
    bytesPerPixel = PixelBytes(fractal);
    if (task == NULL || width <= 0 || height <= 0)
        return;

    const unsigned char* image = SnapshotImage(fractal, task);
    if (image != NULL) {
        size_t size = (size_t)width * height * bytesPerPixel;
        data = new (std::nothrow) unsigned char[size];
        if (data != NULL)
            memcpy(data, image, size);
    }

    // The recalculation that follows starts from empty buffers.
    size_t cells = (size_t)fractal->GetBufferWidth() * height;
    if (task->values != NULL)
        memset(task->values, 0, cells * sizeof(float));
    if (task->flags != NULL)
        memset(task->flags, 0, cells);
}

ImageSnapshot::~ImageSnapshot()
{
    delete[] data;
}

// A fraction of the copy as a 16.16 fixed-point value, rounded. Kept within
// a range where the row and column arithmetic below cannot overflow.
static long long ToFixed(double value)
{
    const double limit = 1099511627776.0;   // 2^40
    double v = value * 65536.0 + 0.5;
    if (!(v > -limit))
        v = -limit;   // also NaN
    if (v > limit)
        v = limit;
    return (long long)v;
}

int ImageSnapshot::Apply(Fractal* fractal)
{
    if (data == NULL || fractal == NULL || fractal->task == NULL)
        return 0;
    FractalTask* task = fractal->task;
    unsigned char* image = SnapshotImage(fractal, task);
    // The copy is drawn into an image of its own size and depth only.
    if (image == NULL || fractal->GetImageStride() != width ||
        fractal->header->Height != height || PixelBytes(fractal) != bytesPerPixel)
        return 0;

    long long rowStart = ToFixed(top * height);
    long long rowStep = ToFixed(bottom - top);
    long long colStart = ToFixed(left * width);
    long long colStep = ToFixed(right - left);
    size_t rowBytes = (size_t)width * bytesPerPixel;

    for (int i = 0; i < height; i++) {
        unsigned char* out = image + i * rowBytes;
        long long sourceRow = (rowStart + i * rowStep) >> 16;
        if (sourceRow < 0 || sourceRow >= height) {
            memset(out, 0, rowBytes);
            continue;
        }
        const unsigned char* in = data + sourceRow * rowBytes;
        for (int j = 0; j < width; j++) {
            long long sourceCol = (colStart + j * colStep) >> 16;
            unsigned char* pixel = out + j * bytesPerPixel;
            if (sourceCol < 0 || sourceCol >= width) {
                memset(pixel, 0, bytesPerPixel);
                continue;
            }
            memcpy(pixel, in + sourceCol * bytesPerPixel, bytesPerPixel);
        }
    }

    if (task->window != NULL && task->window->hwnd != NULL) {
        HWND hwnd = task->window->hwnd;
        HDC dc = GetDC(hwnd);
        if (dc != NULL) {
            if (DisplayPalette != NULL)
                SelectPalette(dc, DisplayPalette, FALSE);
            DrawFractalImage(fractal, dc, 0, 0, width, height, 0);
            ReleaseDC(hwnd, dc);
        }
    }
    return 1;
}

void ResampleNearest(const unsigned char* src, unsigned char* dst, int srcWidth, int srcHeight,
                     int srcRowPixels, int dstWidth, int dstHeight, int dstRowPixels, bool rgb)
{
    if (src == NULL || dst == NULL || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 ||
        dstHeight <= 0 || dstRowPixels <= 0)
        return;
    int bytes = rgb ? 3 : 1;
    double xStep = (double)srcWidth / dstWidth;
    double yStep = (double)srcHeight / dstHeight;

    // The accumulated positions can reach the source's edge through rounding
    // and the row padding beyond dstWidth runs past it; both are held to the
    // last source row and column.
    double y = 0.0;
    for (int r = 0; r < dstHeight; r++, y += yStep) {
        int sy = y < srcHeight ? (int)y : srcHeight - 1;
        const unsigned char* in = src + (size_t)sy * srcRowPixels * bytes;
        unsigned char* out = dst + (size_t)r * dstRowPixels * bytes;
        double x = 0.0;
        for (int c = 0; c < dstRowPixels; c++, x += xStep) {
            int sx = x < srcWidth ? (int)x : srcWidth - 1;
            memcpy(out + (size_t)c * bytes, in + (size_t)sx * bytes, bytes);
        }
    }
}
