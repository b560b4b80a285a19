// The snapshot of a fractal's image shown stretched while a moved or
// zoomed view is recalculated.
#include "calc/ImageSnapshot.h"
#include <windows.h>
#include <string.h>
#include <new>
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "foundation/Services.h"

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

    if (task->window != NULL && Services().paintFractalWindow != NULL)
        Services().paintFractalWindow(fractal);
    return 1;
}

