// Sizing of a fractal task's buffers, the size and colour-depth changes of
// an open fractal, snapshots and markers. Every size is checked in 64 bits
// before anything is allocated: a parameter file can give any width,
// height or attractor scale, and a product that wrapped around in 32 bits
// would make a short buffer that the calculation then writes past.
#include "calc/task/TaskBuffers.h"

#include <stdlib.h>
#include <string.h>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/ImageSnapshot.h"
#include "calc/task/Plot.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Thread.h"
#include "view3d/Parameters3D.h"

int g_DefaultImageWidth = 640;
int g_DefaultImageHeight = 480;
TaskBufferHooks g_TaskBufferHooks = { nullptr, nullptr };

namespace {

// The largest block asked for: anything above cannot exist in a 32-bit
// process and is reported as lack of memory.
const uint64_t kMaxBufferBytes = 0x7FFFFFFFull;
// Cells around an attractor's image that catch its splats.
const int kAttractorMargin = 40;
const int kWork3DRows[6] = { 20, 4, 4, 20, 20, 3 };

void* ZeroedBlock(int64_t count1, int64_t count2, int64_t cellSize)
{
    size_t bytes;
    if (!BufferBytes(count1, count2, cellSize, &bytes))
        return nullptr;
    return calloc(bytes, 1);
}

template <typename T> void FreeAndClear(T*& block)
{
    free(block);
    block = nullptr;
}

int64_t StrideOf(int64_t width)
{
    return (width + 4) & ~(int64_t)3;
}

bool IsAttractor(const Fractal* fractal)
{
    return fractal->header->Type == FT_ATTRACTOR;
}

AttractorParameters* AttractorBlock(Fractal* fractal)
{
    return IsAttractor(fractal) ? static_cast<AttractorParameters*>(fractal->typeParameters) : nullptr;
}

// Attractor modes "Flame" and "Plasma" compose through the four planes.
bool UsesPlanes(Fractal* fractal)
{
    AttractorParameters* block = AttractorBlock(fractal);
    return block && (block->RenderMode == 1 || block->RenderMode == 2);
}

int Mode3D(const Fractal* fractal)
{
    return fractal->params3D ? fractal->params3D->Mode3D : 0;
}

bool HasDitherRows(const FractalTask* task)
{
    for (int i = 0; i < 9; i++)
        if (!task->ditherRows[i])
            return false;
    return true;
}

}  // namespace

bool BufferBytes(int64_t count1, int64_t count2, int64_t cellSize, size_t* bytes)
{
    *bytes = 0;
    if (count1 <= 0 || count2 <= 0 || cellSize <= 0)
        return false;
    // Each factor is below 2^31 here or fails, so no product can wrap.
    if ((uint64_t)count1 > kMaxBufferBytes || (uint64_t)count2 > kMaxBufferBytes ||
        (uint64_t)cellSize > kMaxBufferBytes)
        return false;
    uint64_t product = (uint64_t)count1 * (uint64_t)count2;
    if (product > kMaxBufferBytes || product * (uint64_t)cellSize > kMaxBufferBytes)
        return false;
    *bytes = (size_t)(product * (uint64_t)cellSize);
    return true;
}

void InitTaskBitmapHeader(TaskBitmapInfo* info, int width, int height, int planes, int bits)
{
    BITMAPINFOHEADER& h = info->header;
    memset(&h, 0, sizeof h);
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = (WORD)planes;
    h.biBitCount = (WORD)bits;
    h.biCompression = BI_RGB;
    h.biXPelsPerMeter = 70;
    h.biYPelsPerMeter = 70;
    h.biClrUsed = 256;
    h.biClrImportant = 50;
    ResizeTaskBitmapHeader(info, width, height);
}

void ResizeTaskBitmapHeader(TaskBitmapInfo* info, int width, int height)
{
    BITMAPINFOHEADER& h = info->header;
    h.biWidth = width;
    h.biHeight = height;
    int64_t rowBytes = ((int64_t)width * h.biPlanes * h.biBitCount + 31) / 32 * 4;
    int64_t image = rowBytes * height;
    h.biSizeImage = image > 0 && image <= (int64_t)kMaxBufferBytes ? (DWORD)image : 0;
}

int AllocateImage(Fractal* fractal, int width, int height)
{
    FractalTask* task = fractal->task;
    int bytesPerPixel = fractal->header->DisplayDepth / 8;
    int64_t stride = StrideOf(width);
    task->imageBits = (unsigned char*)ZeroedBlock(stride * bytesPerPixel, height, 1);
    if (!task->imageBits)
        return 1;
    if (bytesPerPixel == 1)
        memset(task->imageBits, 252, (size_t)(stride * height));
    task->shadowBits = nullptr;
    if (ScreenDepth == 8 && fractal->header->DisplayDepth == 24) {
        task->shadowBits = (unsigned char*)ZeroedBlock(stride, height, 1);
        if (!task->shadowBits)
            return 1;
    }
    int64_t rowLength = (stride > height ? stride : height) + 4;
    for (int i = 0; i < 9; i++) {
        task->ditherRows[i] = (float*)ZeroedBlock(rowLength, 1, sizeof(float));
        if (!task->ditherRows[i])
            return 1;
    }
    return 0;
}

void FreeImage(Fractal* fractal)
{
    FractalTask* task = fractal->task;
    if (!task)
        return;
    FreeAndClear(task->imageBits);
    FreeAndClear(task->shadowBits);
    for (int i = 0; i < 9; i++)
        FreeAndClear(task->ditherRows[i]);
}

void Free3DBuffers(Fractal* fractal)
{
    FractalTask* task = fractal->task;
    if (!task)
        return;
    FreeAndClear(task->image3D);
    FreeAndClear(task->heights);
    FreeAndClear(task->image3D8);
    // The OpenGL view forgets the image it showed.
    if (task->renderer)
        task->renderer->data = nullptr;
}

int Allocate3DBuffers(Fractal* fractal, int width, int height)
{
    FractalTask* task = fractal->task;
    if (!task || !fractal->header->Dims)
        return 0;
    task->heightsValid = 0;
    int64_t stride = StrideOf(width);
    bool failed = false;
    if (Mode3D(fractal) == 0 || fractal->header->Type == FT_QUATERNION) {
        if (task->size3DWidth != width || task->size3DHeight != height)
            Free3DBuffers(fractal);
        if (task->image3D)
            return 0;
        if (ScreenDepth == 8) {
            task->image3D8 = (unsigned char*)ZeroedBlock(stride, height, 1);
            failed = !task->image3D8;
        }
        task->image3D = (unsigned char*)ZeroedBlock(3 * stride, height, 1);
        failed = failed || !task->image3D;
        task->size3DWidth = width;
        task->size3DHeight = height;
        if (task->renderer)
            task->renderer->data = nullptr;
    } else if (Mode3D(fractal) == 1) {
        FreeAndClear(task->image3D);
        FreeAndClear(task->image3D8);
    }
    bool sameSize = fractal->header->Width == width && fractal->header->Height == height;
    if (!failed && !(sameSize && task->heights)) {
        free(task->heights);
        task->heights = (float*)ZeroedBlock((int64_t)width + 1, height, sizeof(float));
        failed = !task->heights;
    }
    if (failed) {
        Free3DBuffers(fractal);
        return 1;
    }
    return 0;
}

void FreeTaskBuffers(Fractal* fractal, int keepParents)
{
    if (!keepParents && g_TaskBufferHooks.updateLayeredParents)
        g_TaskBufferHooks.updateLayeredParents(fractal, 0);
    FractalTask* task = fractal->task;
    if (!task)
        return;
    Free3DBuffers(fractal);
    FreeAndClear(task->values);
    FreeAndClear(task->flags);
    // plane8 too: an attractor's composition plane would otherwise outlive
    // the buffers it belongs to.
    Array2D* planes[] = { task->plane0, task->plane2, task->plane1, task->oldz, task->planes[0],
                          task->planes[1], task->planes[2], task->planes[3], task->plane7, task->plane8 };
    for (Array2D* plane : planes)
        if (plane)
            plane->Free();
    for (int i = 0; i < 6; i++)
        FreeAndClear(task->work3D[i]);
    FreeImage(fractal);
}

int SetTaskImageSize(Fractal* fractal, int width, int height)
{
    FractalHeader* header = fractal->header;
    FractalTask* task = fractal->task;
    if (fractal->renderJob && header->Type == FT_ESCAPETIME && !header->Dims) {
        header->Width = width;
        header->Height = height;
        return 0;
    }
    if (!task || width <= 0 || height <= 0) {
        FreeTaskBuffers(fractal, 1);
        return 1;
    }
    if (width != header->Width || height != header->Height || !task->imageBits) {
        AttractorParameters* attractor = AttractorBlock(fractal);
        int64_t margin = attractor ? kAttractorMargin : 0;
        int64_t scale = attractor ? (int64_t)attractor->Oversample + 1 : 1;
        int64_t columns = scale * ((int64_t)width + 1) + margin;
        int64_t rows = scale * height + margin;
        size_t cellBytes;
        // Rows and columns must also fit the int fields of the planes.
        if (!BufferBytes(columns, rows, sizeof(float), &cellBytes) || columns > 0x7FFFFFFF ||
            rows > 0x7FFFFFFF || AllocateImage(fractal, width, height)) {
            FreeTaskBuffers(fractal, 1);
            return 1;
        }
        free(task->values);
        free(task->flags);
        task->values = (float*)ZeroedBlock(columns, rows, sizeof(float));
        task->flags = (unsigned char*)ZeroedBlock(columns, rows, 1);

        int type = header->Type;
        bool ok = true;
        if (type == FT_QUATERNION || type == FT_ATTRACTOR) {
            ok = task->plane0->Allocate((int)columns, (int)rows, 4) != nullptr;
            if (type == FT_ATTRACTOR)
                ok = ok && task->plane1->Allocate((int)columns, (int)rows, 4) != nullptr;
            else
                task->plane1->Free();
            ok = ok && task->oldz->Allocate(width + 1, height, 4) != nullptr;
        } else {
            task->plane0->Free();
            task->plane1->Free();
            task->oldz->Free();
        }
        task->plane2->Free();
        if (type == FT_ATTRACTOR) {
            ok = ok && task->plane8->Allocate((int)columns, (int)rows, 4) != nullptr;
            for (int i = 0; i < 4; i++) {
                if (UsesPlanes(fractal))
                    ok = ok && task->planes[i]->Allocate((int)columns, (int)rows, 4) != nullptr;
                else
                    task->planes[i]->Free();
            }
        } else {
            for (int i = 0; i < 4; i++)
                task->planes[i]->Free();
            task->plane8->Free();
        }
        for (int i = 0; i < 6; i++) {
            free(task->work3D[i]);
            task->work3D[i] = ZeroedBlock(kWork3DRows[i], height, 1);
            ok = ok && task->work3D[i] != nullptr;
        }
        ok = ok && task->imageBits && task->values && task->flags;
        if (type == FT_QUATERNION || type == FT_ATTRACTOR)
            ok = ok && task->plane0->IsAllocated() && HasDitherRows(task);
        if (UsesPlanes(fractal))
            ok = ok && task->planes[3]->IsAllocated();
        if (!ok) {
            FreeTaskBuffers(fractal, 1);
            return 1;
        }
    }
    header->Width = width;
    header->Height = height;
    return Allocate3DBuffers(fractal, width, height);
}

int Fractal::SetSize(int width, int height, int keepDefault, int recalculate)
{
    if (width == header->Width && height == header->Height) {
        if (task && task->calculationState != CS_IMAGE_DONE)
            Recolour();
        return 0;
    }
    if (!keepDefault) {
        g_DefaultImageWidth = width;
        g_DefaultImageHeight = height;
    }
    if (!task) {
        header->Width = width;
        header->Height = height;
        return 0;
    }
    busyLock->Lock();
    bool hadImage = header->Width != 0;
    bool redo = hadImage && !keepDefault && recalculate;
    if (redo)
        StopCalculation();
    Lock();
    FreeTaskBuffers(this, 0);
    int result = 0;
    if (width == 0 || height == 0) {
        // Without buffers the header must not keep the old size: a later
        // change back to it would find "the same size" and make nothing.
        header->Width = width;
        header->Height = height;
    } else {
        // The buffers are gone: SetTaskImageSize must not take the old
        // size for the new one.
        header->Width = 0;
        header->Height = 0;
        result = SetTaskImageSize(this, width, height);
        if (result == 0) {
            int stride = GetImageStride();
            ResizeTaskBitmapHeader(&task->dib, stride, height);
            ResizeTaskBitmapHeader(&task->dib8, stride, height);
            ResizeTaskBitmapHeader(&task->dib3D, stride, height);
        }
    }
    Unlock();
    busyLock->Unlock();
    if (result == 0 && width != 0 && height != 0 && redo)
        Recalculate();
    return result;
}

void Fractal::SetColorDepth(int bits)
{
    if (!task) {
        header->DisplayDepth = bits;
        dither = bits == 24 && ScreenDepth == 8 ? 1 : 0;
        if (g_TaskBufferHooks.selectFractal)
            g_TaskBufferHooks.selectFractal(this, 1);
        return;
    }
    StopCalculation();
    FreeImage(this);
    header->DisplayDepth = bits;
    dither = bits == 24 && ScreenDepth == 8 ? 1 : 0;
    InitTaskBitmapHeader(&task->dib, GetImageStride(), header->Height, 1, bits);
    AllocateImage(this, header->Width, header->Height);
    if (g_TaskBufferHooks.selectFractal)
        g_TaskBufferHooks.selectFractal(this, 1);
    RendererLink* renderer = task->renderer;
    if (header->Dims && task->calculationState == CS_3D_DONE && renderer && renderer->data &&
        Mode3D(this) == 1) {
        renderer->rebuild[0] = renderer->rebuild[1] = 1;
        if (lstrcmpiA(renderer->loadedTexture, "<Fractal Image>") == 0)
            renderer->loadedTexture[0] = '\0';
        Redraw3D();
    } else {
        Recolour();
    }
}

void Fractal::TakeImageSnapshot()
{
    if (task)
        task->snapshot = new ImageSnapshot(this);
}

void FractalTask::ClearMarkers()
{
    for (int i = 0; i < 4; i++) {
        if (markerX[i] == -10000)
            continue;
        int x = markerX[i], y = markerY[i];
        if (fractal && fractal->header->Scrollbar && g_PlotWindow.scrollPosition) {
            int sx = 0, sy = 0;
            g_PlotWindow.scrollPosition(fractal, &sx, &sy);
            x -= sx;
            y -= sy;
        }
        if (fractal)
            InvalidateImageRect(fractal, x - 5, y - 5, x + 5, y + 5, 0);
        markerX[i] = -10000;
    }
    markerCount = 0;
}
