// The bare task allocates only what the view operations touch; the full
// sizing of an open fractal's buffers is SetTaskImageSize's.
#include "calc/task/BareTask.h"
#include <stdlib.h>
#include <string.h>
#include "calc/FractalTask.h"
#include "calc/ImageSnapshot.h"
#include "document/Fractal.h"
#include "foundation/Thread.h"

FractalTask* AttachBareTask(Fractal* fractal)
{
    if (!fractal)
        return nullptr;
    if (fractal->task)
        return fractal->task;
    int width = fractal->GetBufferWidth(), height = fractal->header->Height;
    int stride = fractal->GetImageStride();
    if (width <= 1 || height <= 0)
        return nullptr;
    FractalTask* t = new FractalTask();
    t->fractal = fractal;
    fractal->task = t;
    size_t cells = (size_t)width * height;
    size_t imageBytes = (size_t)stride * height * (fractal->header->DisplayDepth == 8 ? 1 : 3);
    t->values = static_cast<float*>(calloc(cells, sizeof(float)));
    t->flags = static_cast<unsigned char*>(calloc(cells, 1));
    t->imageBits = static_cast<unsigned char*>(malloc(imageBytes));
    t->rowLock = new BusyLock();
    bool ok = t->values && t->flags && t->imageBits;
    if (t->imageBits)
        memset(t->imageBits, fractal->header->DisplayDepth == 8 ? 252 : 0, imageBytes);
    if (ok && fractal->header->Type == FT_QUATERNION) {
        t->image3D = static_cast<unsigned char*>(calloc((size_t)stride * height, 3));
        ok = t->plane0->Allocate(width, height, sizeof(float)) && t->image3D;
    }
    if (!ok) {
        FreeBareTask(fractal);
        return nullptr;
    }
    return t;
}

void FreeBareTask(Fractal* fractal)
{
    FractalTask* t = fractal ? fractal->task : nullptr;
    if (!t)
        return;
    free(t->values);
    free(t->flags);
    free(t->imageBits);
    free(t->image3D);
    for (Array2D& plane : t->arrays)
        plane.Free();
    delete t->rowLock;
    delete t->snapshot;
    delete t;
    fractal->task = nullptr;
}
