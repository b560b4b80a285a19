// Buffers are flat arrays of rows, so a shift by (dx, dy) is one memmove by
// dx + width dy cells: the cells that wrap from one row end into the next
// row start are exactly the uncovered columns, which are cleared after.
#include "calc/task/BufferShift.h"
#include <string.h>
#include "calc/FractalTask.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"

void ClearBufferRect(void* data, int x0, int x1, int y0, int y1, int width, int elementSize, int fill)
{
    if (!data || x0 >= x1 || y0 >= y1)
        return;
    unsigned char* bytes = static_cast<unsigned char*>(data);
    for (int y = y0; y < y1; ++y) {
        unsigned char* cell = bytes + ((size_t)y * width + x0) * elementSize;
        size_t count = (size_t)(x1 - x0);
        switch (elementSize) {
        case 1: memset(cell, fill, count); break;
        case 3:
        case 4: memset(cell, 0, count * elementSize); break;
        default: return;
        }
    }
}

void ShiftBuffer2D(void* data, int width, int height, int dx, int dy, int elementSize, int fill)
{
    if (!data || width <= 0 || height <= 0)
        return;
    if (dx >= width || -dx >= width || dy >= height || -dy >= height) {
        ClearBufferRect(data, 0, width, 0, height, width, elementSize, fill);
        return;
    }
    long long cells = (long long)width * height;
    long long s = dx + (long long)width * dy;
    unsigned char* bytes = static_cast<unsigned char*>(data);
    if (s < 0)
        memmove(bytes, bytes + (-s) * elementSize, (size_t)(cells + s) * elementSize);
    else if (s > 0)
        memmove(bytes + s * elementSize, bytes, (size_t)(cells - s) * elementSize);
    if (dx > 0)
        ClearBufferRect(data, 0, dx, 0, height, width, elementSize, fill);
    else if (dx < 0)
        ClearBufferRect(data, width + dx, width, 0, height, width, elementSize, fill);
    if (dy > 0)
        ClearBufferRect(data, 0, width, 0, dy, width, elementSize, fill);
    else if (dy < 0)
        ClearBufferRect(data, 0, width, height + dy, height, width, elementSize, fill);
}

static void ShiftPlane(Array2D* plane, int dx, int dy)
{
    if (plane && plane->IsAllocated())
        ShiftBuffer2D(plane->data, plane->width, plane->height, dx, dy, plane->cellSize, 0);
}

void Fractal::ShiftBuffers(int dx, int dy)
{
    FractalTask* t = task;
    if (!t)
        return;
    int width = GetBufferWidth(), height = header->Height, stride = GetImageStride();
    bool quaternion = header->Type == FT_QUATERNION;
    if (!quaternion) {
        ShiftBuffer2D(t->values, width, height, dx, dy, 4, 0);
        ShiftBuffer2D(t->flags, width, height, dx, dy, 1, 0);
        ShiftPlane(t->plane0, dx, dy);
        ShiftPlane(t->plane1, dx, dy);
        ShiftPlane(t->oldz, dx, dy);
        for (Array2D* plane : t->planes)
            ShiftPlane(plane, dx, dy);
    }
    if (header->DisplayDepth == 8) {
        ShiftBuffer2D(t->imageBits, stride, height, dx, dy, 1, 252);
    } else if (ScreenDepth == 8) {
        ShiftBuffer2D(t->shadowBits, stride, height, dx, dy, 1, 0);
        ShiftBuffer2D(t->imageBits, stride, height, dx, dy, 3, 0);
    } else {
        ShiftBuffer2D(t->imageBits, stride, height, dx, dy, 3, 0);
        if (quaternion)
            ShiftBuffer2D(t->image3D, stride, height, dx, dy, 3, 0);
    }
}
