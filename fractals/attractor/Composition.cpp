// The attractor composition's frame: the record's per-image constants and
// light table, the background fill, the filter pass from shaded cells to
// image pixels and opacity cells, and the hand-out of row bands to the
// pixel workers (or the calling thread alone, with the same bytes).
#include "fractals/attractor/Composition.h"

#include <math.h>
#include <string.h>

#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Thread.h"

int32_t g_NeighbourRows[NEIGHBOUR_SPIRAL_SIZE];
int32_t g_NeighbourColumns[NEIGHBOUR_SPIRAL_SIZE];

namespace {

const double kHalfPi = 1.5707963267948966;

bool SameSize(const Array2D* a, const Array2D* b) {
    return a->data && b->data && a->width == b->width && a->height == b->height;
}

bool CommandPending(Fractal* fractal) { return fractal->task->command != 0; }

AttractorParameters* Block(Fractal* fractal) { return static_cast<AttractorParameters*>(fractal->typeParameters); }

void FillLightTable(Fractal* fractal, LightEntry* entries) {
    const AttractorParameters* b = Block(fractal);
    const LightBlock& l = b->lights;
    double sum = 0, most = 0;
    for (int i = 0; i < 8; ++i)
        if (l.enabled[i]) {
            sum += l.ambient[i];
            if (l.ambient[i] > most)
                most = l.ambient[i];
        }
    for (int i = 0; i < 8; ++i) {
        LightEntry& e = entries[i];
        memset(&e, 0, sizeof e);
        double position[3];
        if (l.relative[i])
            memcpy(position, l.position[i], sizeof position);
        else
            AttractorWorldToCamera(b, l.position[i], position);
        for (int k = 0; k < 3; ++k) {
            e.position[k] = (float)position[k];
            e.specularColour[k] = l.specular[i][k] / 255.0;
            e.colour[k] = l.colour[i][k] / 255.0;
        }
        e.diffuse = (float)l.diffuse[i];
        // Lights without ambient share none (rather than 0 / 0).
        e.ambient = sum != 0 ? (float)(most * l.ambient[i] / sum) : 0.0f;
        e.reflection = (float)(exp(l.reflection[i]) - 1);
        e.shininess = (float)l.shiny[i];
        e.specular = (float)l.specularStrength[i];
        e.intensity = l.intensity[i];
        e.enabled = l.enabled[i];
        e.shadow = l.shadow[i];
    }
}

// The per-image constants; each guarded so that no cell meets a NaN or an
// infinity (empty images, densities at or below 1, opacity 0).
void FillComposeFields(Fractal* fractal, AttractorRenderRecord* r, float maxDensity) {
    const AttractorParameters* b = Block(fractal);
    FractalTask* t = fractal->task;
    r->maxDensity = maxDensity;
    r->invMaxDensity = maxDensity > 0 ? 1.0f / maxDensity : 0.0f;
    r->invLogMaxDensity = maxDensity > 1 ? (float)(1.0 / log(maxDensity)) : 0.0f;
    double o = r->renderMode == ARM_PLASMA ? b->opacity / 100 : b->opacity;
    r->opacityExponent = o != 0 ? 1.0 / o : HUGE_VAL;
    r->opacityFloor = atan(2 * o) / kHalfPi;
    r->toneScale = 1.0 / 1024;
    r->brightness = b->Brightness * b->Contrast * 1024 * 268 / 256;
    r->invGamma = b->Gamma != 0 ? 1.0 / b->Gamma : 1.0;
    int w3 = fractal->header->Width / 3;
    int s = b->Oversample + 1;
    double denominator = b->WhiteLevel * r->pointCount * b->Contrast;
    r->whiteScale = denominator > 0 ? (double)w3 * w3 * s * s / denominator : 0;
    r->fractal = fractal;
    r->density = t->plane1;
    r->colour = t->plane0;
    for (int i = 0; i < 4; ++i)
        r->sums[i] = t->planes[i];
    r->shaded = t->plane8;
    r->depthCells.Clear();
    r->depthCells.data = t->values;
    r->depthCells.width = t->plane0->width;
    r->depthCells.height = t->plane0->height;
    r->depthCells.cellSize = 4;
    r->depth = &r->depthCells;
    r->lights = r->lightTable;
}

void FillBackground(Fractal* fractal, const AttractorRenderRecord* r) {
    const uint8_t* bg = Block(fractal)->BackgroundColor;
    int height = fractal->header->Height;
    for (int y = 0; y < height; ++y) {
        uint8_t* p = r->image + (size_t)y * r->stride * 3;
        for (int x = 0; x < r->stride; ++x, p += 3) {
            p[0] = bg[2];
            p[1] = bg[1];
            p[2] = bg[0];
        }
        if (CommandPending(fractal))
            return;
    }
}

void ShadeRows(const AttractorRenderRecord* r, int first, int last) {
    for (int y = first; y <= last; ++y)
        for (int x = 0; x < r->depth->width; ++x)
            ShadeAttractorPixel(x, y, r);
}

void ComposeRows(const AttractorRenderRecord* r, int first, int last) {
    int width = r->fractal->header->Width;
    for (int y = first; y <= last; ++y)
        for (int x = 0; x < width; ++x)
            ComposeAttractorPixel(x, y, r);
}

void Acknowledge(RowWorkerSlot* slot) {
    slot->workerDone = 1;
    SetEvent(slot->doneEvent);
}

DWORD PixelWorkerThread(Thread* thread) {
    AttractorPixelWorker(static_cast<RowWorkerSlot*>(thread->userData));
    return 0;
}

void HandOut(RowWorkerSlot* slot, int first, int last, int state) {
    slot->firstRow = first;
    slot->lastRow = last;
    slot->workerState = state;
    slot->workerDone = 0;
    SetEvent(slot->wakeEvent);
}

}  // namespace

void BuildNeighbourSpiral() {
    int k = 0;
    g_NeighbourRows[k] = 0, g_NeighbourColumns[k++] = 0;
    for (int r = 1; r <= 14; ++r) {
        for (int c = -r; c <= r; ++c)
            g_NeighbourRows[k] = -r, g_NeighbourColumns[k++] = c;
        for (int row = -r + 1; row <= r; ++row)
            g_NeighbourRows[k] = row, g_NeighbourColumns[k++] = r;
        for (int c = r - 1; c >= -r; --c)
            g_NeighbourRows[k] = r, g_NeighbourColumns[k++] = c;
        for (int row = r - 1; row >= -r + 1; --row)
            g_NeighbourRows[k] = row, g_NeighbourColumns[k++] = -r;
    }
}

void ComposeAttractorPixel(int x, int y, const AttractorRenderRecord* r) {
    const AttractorParameters* b = static_cast<const AttractorParameters*>(r->fractal->typeParameters);
    int s = b->Oversample + 1, n = r->filterSize;
    int i0 = (n & 1) ? -(n / 2) : 1 - n / 2, i1 = i0 + n - 1;
    const float* weights = (const float*)r->fractal->task->plane7->data;
    const Array2D* shaded = r->shaded;
    float sum[4] = {0, 0, 0, 0};
    for (int i = i0; i <= i1; ++i) {
        int row = y * s + ATTRACTOR_MARGIN + i;
        if (row < 0 || row >= shaded->height)
            continue;
        for (int j = i0; j <= i1; ++j) {
            float w = weights[(i - i0) * n + (j - i0)];
            int column = x * s + ATTRACTOR_MARGIN + j;
            if (!(w >= 0.001f) || column < 0 || column >= shaded->width)
                continue;
            const uint8_t* cell = (const uint8_t*)shaded->data + ((size_t)row * shaded->width + column) * 4;
            for (int k = 0; k < 4; ++k)
                sum[k] += w * cell[k];
        }
    }
    uint8_t* pixel = r->image + ((size_t)y * r->stride + x) * 3;
    for (int k = 0; k < 3; ++k) {
        int v = (int)(sum[k] + 0.5f);
        pixel[k] = (uint8_t)(v > 255 ? 255 : v);
    }
    Array2D* oldz = r->fractal->task->oldz;
    if (oldz && oldz->data && x < oldz->width && y < oldz->height) {
        int alpha = (int)(sum[3] + 0.5f);
        alpha = alpha > 255 ? 255 : alpha;
        ((int32_t*)oldz->data)[y * oldz->width + x] = (alpha - 256) * 256;
    }
}

void ComposeAttractorImage(Fractal* fractal, AttractorRenderRecord* r, RowWorkerSlot* workers) {
    FractalTask* t = fractal->task;
    const AttractorParameters* b = Block(fractal);
    // Planes that could not be had (a huge size) leave nothing to compose.
    if (!t || !r->image || !t->values || !t->plane7->data || !SameSize(t->plane0, t->plane1) ||
        !SameSize(t->plane0, t->plane8))
        return;
    // only Flame and Plasma read the four sums; the task frees them otherwise
    if (r->renderMode == ARM_FLAME || r->renderMode == ARM_PLASMA)
        for (int i = 0; i < 4; ++i)
            if (!SameSize(t->plane0, t->planes[i]))
                return;
    BuildNeighbourSpiral();
    for (int i = 0; i < 256; ++i)
        t->gammaTable[i] = (float)pow(i / 255.0, b->Gamma);
    FillLightTable(fractal, r->lightTable);
    FillBackground(fractal, r);
    if (CommandPending(fractal))
        return;
    float maxDensity = 0;
    const Array2D* density = t->plane1;
    for (int y = 0; y < density->height; ++y) {
        const float* row = (const float*)density->data + (size_t)y * density->width;
        for (int x = 0; x < density->width; ++x)
            if (row[x] > maxDensity)
                maxDensity = row[x];
        if (CommandPending(fractal))
            return;
    }
    FillComposeFields(fractal, r, maxDensity);

    if (workers && r->workerCount > 1) {
        DistributeAttractorRows(fractal, r, workers, r->depth->height, 3);
        if (!CommandPending(fractal))
            DistributeAttractorRows(fractal, r, workers, fractal->header->Height, 4);
        return;
    }
    for (int y = 0; y < r->depth->height; ++y) {
        ShadeRows(r, y, y);
        if (CommandPending(fractal))
            return;
    }
    for (int y = 0; y < fractal->header->Height; ++y) {
        ComposeRows(r, y, y);
        if (CommandPending(fractal))
            return;
    }
}

void DistributeAttractorRows(Fractal* fractal, AttractorRenderRecord* r, RowWorkerSlot* workers, int rows,
                             int state) {
    int count = r->workerCount < 1 ? 1 : (r->workerCount > WORKER_SLOTS ? WORKER_SLOTS : r->workerCount);
    int chunk = (rows / count) / 2;
    chunk = chunk > 100 ? 100 : (chunk < 10 ? 10 : chunk);
    int next = 0, used = 0;
    for (int i = 0; i < count && next < rows; ++i, ++used) {
        HandOut(&workers[i], next, next + chunk - 1 < rows - 1 ? next + chunk - 1 : rows - 1, state);
        next += chunk;
    }
    HANDLE done = fractal->task->rowWorkerDoneEvent;
    while (!CommandPending(fractal) && next < rows) {
        for (int i = 0; i < used && next < rows; ++i)
            if (workers[i].workerDone == 1) {
                HandOut(&workers[i], next, next + chunk - 1 < rows - 1 ? next + chunk - 1 : rows - 1, state);
                next += chunk;
            }
        WaitForSingleObject(done, 1);
    }
    // Every band handed out is finished before the record may change.
    for (;;) {
        bool busy = false;
        for (int i = 0; i < used; ++i)
            if (workers[i].workerState != 0 && !(workers[i].workerState == state && workers[i].workerDone == 1))
                busy = true;
        if (!busy)
            return;
        WaitForSingleObject(done, 1);
    }
}

void AttractorPixelWorker(RowWorkerSlot* slot) {
    // Exceptions masked, 64-bit precision, as on the calculation thread.
    unsigned short cw = 0x037F;
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
    for (;;) {
        int state = slot->workerState;
        if (state == WORKER_QUIT)
            break;
        const AttractorRenderRecord* r = static_cast<const AttractorRenderRecord*>(slot->renderRecord);
        if (slot->workerDone == 0 && state == 1) {
            Acknowledge(slot);
        } else if (slot->workerDone == 0 && state == 3) {
            ShadeRows(r, slot->firstRow, slot->lastRow);
            Acknowledge(slot);
        } else if (slot->workerDone == 0 && state == 4) {
            ComposeRows(r, slot->firstRow, slot->lastRow);
            Acknowledge(slot);
        } else {
            WaitForSingleObject(slot->wakeEvent, 1);
        }
    }
    Acknowledge(slot);
}

bool StartAttractorPixelWorkers(Fractal* fractal, int count, AttractorRenderRecord* record) {
    FractalTask* t = fractal->task;
    if (!t->rowWorkerDoneEvent)
        t->rowWorkerDoneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (int i = 0; i < count; ++i) {
        RowWorkerSlot& slot = t->rowWorkers[i];
        slot.fractal = fractal;
        slot.renderRecord = record;
        slot.doneEvent = t->rowWorkerDoneEvent;
        if (!slot.wakeEvent)
            slot.wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        slot.workerState = 1;
        slot.workerDone = 1;
        slot.thread = new Thread(PixelWorkerThread, &slot, true, 0);
        if (!slot.thread->handle) {
            delete slot.thread;
            slot.thread = nullptr;
            StopAttractorPixelWorkers(fractal, i);
            return false;
        }
    }
    return true;
}

void StopAttractorPixelWorkers(Fractal* fractal, int count) {
    FractalTask* t = fractal->task;
    for (int i = 0; i < count; ++i) {
        RowWorkerSlot& slot = t->rowWorkers[i];
        if (!slot.thread)
            continue;
        slot.workerDone = 0;
        slot.workerState = WORKER_QUIT;
        SetEvent(slot.wakeEvent);
        // The worker ends right after its acknowledgement; wait for the
        // thread itself so that nothing outlives the record.
        WaitForSingleObject(slot.thread->handle, 10000);
        delete slot.thread;
        slot.thread = nullptr;
        slot.workerState = 0;
    }
}
