// The image-filter road: K x K windows of samples on an S-times finer grid
// are calculated like pixels, coloured one by one and folded through the
// image filter's kernel into the pixel's colour. The K rows of each kind
// slide upwards with the image row, so rows shared with the next window
// (S < K) keep their samples; within a row, neighbouring windows find
// shared samples by their done bytes.
#include "calc/escapetime/FilterRoad.h"

#include <string.h>
#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/colour/ColourMapping.h"
#include "calc/escapetime/EscapeTimeRun.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "foundation/ImageFilter.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Thread.h"

namespace {

bool IsLayer(const Fractal* f)
{
    return f->baseFractal != nullptr && f->baseFractal != f;
}

void PostProgress(Fractal* f)
{
    PostToMainFrame(UM_PROGRESS, reinterpret_cast<WPARAM>(f), 0);
}

void NotifyParent(Fractal* f, int upperFrom, int upperTo, int lowerFrom, int lowerTo)
{
    if (IsLayer(f) && g_NotifyLayeredParent)
        g_NotifyLayeredParent(f, upperFrom, upperTo, lowerFrom, lowerTo);
}

uint32_t* CellRow(FractalTask* task, int row)
{
    Array2D* cells = task->oldz;
    if (!cells || !cells->IsAllocated())
        return nullptr;
    return static_cast<uint32_t*>(cells->data) + (size_t)row * cells->width;
}

// The K window rows of every kind. Row pointers are rotated when the
// window moves up a row; the storage stays put.
struct WindowRows {
    int side, length;
    std::vector<uint8_t> colourStore, doneStore, flagStore;
    std::vector<float> valueStore;
    std::vector<uint32_t> cellStore;
    uint8_t* colour[ImageFilter::MAX_SIDE];
    uint8_t* done[ImageFilter::MAX_SIDE];
    uint8_t* flags[ImageFilter::MAX_SIDE];
    float* values[ImageFilter::MAX_SIDE];
    uint32_t* cells[ImageFilter::MAX_SIDE];

    WindowRows(int side, int length) : side(side), length(length)
    {
        colourStore.assign((size_t)side * length * 3, 0);
        doneStore.assign((size_t)side * length, 0);
        flagStore.assign((size_t)side * length, 0);
        valueStore.assign((size_t)side * length, 0.0f);
        cellStore.assign((size_t)side * length, 0);
        for (int j = 0; j < side; ++j) {
            colour[j] = &colourStore[(size_t)j * length * 3];
            done[j] = &doneStore[(size_t)j * length];
            flags[j] = &flagStore[(size_t)j * length];
            values[j] = &valueStore[(size_t)j * length];
            cells[j] = &cellStore[(size_t)j * length];
        }
    }

    // The next image row's window: row j + step is this row j; the rows
    // that come in are emptied.
    void Advance(int step)
    {
        if (step >= side) {
            memset(doneStore.data(), 0, doneStore.size());
            return;
        }
        Rotate(colour, step);
        Rotate(done, step);
        Rotate(flags, step);
        Rotate(values, step);
        Rotate(cells, step);
        for (int j = 0; j < step; ++j)
            memset(done[j], 0, (size_t)length);
    }

    template <class T> void Rotate(T** rows, int step)
    {
        T* old[ImageFilter::MAX_SIDE];
        for (int j = 0; j < side; ++j)
            old[j] = rows[j];
        for (int j = 0; j < side; ++j)
            rows[(j + step) % side] = old[j];
    }
};

}  // namespace

uint32_t FilteredOpacityHalf(const uint8_t* a, uint32_t v)
{
    double t = v / 65535.0 * 399.0;
    int k = (int)t;
    double f = t - k;
    if (k == 400)
        k = 0;
    else if (k == 401)
        k = 1;
    int next = k + 1 == 400 ? 0 : k + 1;
    return (uint32_t)(((a[next] - a[k]) * f + a[k]) * 65535.0 / 255.0);
}

int FoldFilteredChannel(const ImageFilter* filter, const double* samples)
{
    double v = filter->Apply(samples);
    if (!(v > 0.0))
        return 0;
    if (v > 255.0)
        return 255;
    return (int)v;
}

int CalculateImageFilterRoad(Fractal* f, LineContext* context, int x0, int y0, int x1, int y1)
{
    FractalTask* task = f->task;
    const ImageFilter* filter = f->header->ImageFilter;
    if (!task || !task->imageBits || !filter)
        return 0;
    const int K = filter->GetSide();
    const int S = f->header->FilterStep > 0 ? f->header->FilterStep : 1;
    const int h = (K - 1) / 2;
    const int width = f->header->Width, height = f->header->Height;
    const int bufferWidth = f->GetBufferWidth();
    const int rowBytes = 3 * f->GetImageStride();
    const int n = width * S + K;
    WindowRows w(K, n);

    // The copy of the image row and the columns calculated in it.
    const int count = x1 - x0 + 1;
    std::vector<float> rowValues((size_t)count);
    std::vector<uint32_t> rowCells((size_t)count);
    std::vector<uint8_t> rowFlags((size_t)count), calculated((size_t)count);

    if (f->dither)
        for (int i = 3; i < 9; ++i)
            if (task->ditherRows[i])
                memset(task->ditherRows[i], 0, sizeof(float) * (size_t)width);

    LineContext sample = *context;
    sample.step = 1;
    sample.row = 0;
    sample.columnStep[0] = context->columnStep[0] / S;
    sample.columnStep[1] = context->columnStep[1] / S;
    sample.rowStep[0] = context->rowStep[0] / S;
    sample.rowStep[1] = context->rowStep[1] / S;

    task->lastDisplayTick = GetTickCount();
    const double total = (double)width * height;
    int pixels = 0;
    int drawn = 0;
    int result = 0;
    for (int r = y0; r <= y1 && result == 0; ++r) {
        task->progress = (pixels < total ? pixels : total) / total;
        if (!TakeRowLock(f)) {
            result = 3;
            break;
        }
        size_t at = (size_t)r * bufferWidth + x0;
        memcpy(rowValues.data(), task->values + at, 4 * (size_t)count);
        memcpy(rowFlags.data(), task->flags + at, (size_t)count);
        uint32_t* cellRow = CellRow(task, r);
        if (cellRow)
            memcpy(rowCells.data(), cellRow + x0, 4 * (size_t)count);
        ReleaseRowLock(f);

        for (int x = x0; x <= x1; ++x) {
            ++pixels;
            if (CommandPending(task)) {
                result = 3;
                break;
            }
            int c = x - x0;
            if (rowFlags[c] & PF_CALCULATED) {
                calculated[c] = 0;
                continue;
            }
            calculated[c] = 1;
            for (int j = 0; j < K; ++j) {
                bool any = false;
                for (int i = 0; i < K; ++i) {
                    int q = S * x + i;
                    if (w.done[j][q]) {
                        w.flags[j][q] |= PF_CALCULATED;
                        continue;
                    }
                    w.flags[j][q] = 0;
                    w.cells[j][q] = 0;
                    any = true;
                }
                if (!any)
                    continue;
                // Sample q of window row j lies at column (q - h) / S and
                // row r + (h - j) / S.
                sample.x0 = S * x;
                sample.x1 = S * x + K - 1;
                sample.height = (height - r - 1) * S + j + 1;
                for (int d = 0; d < 2; ++d)
                    sample.origin[d] = context->origin[d] + (long double)r * context->rowStep[d] +
                                       (long double)(h - j) * sample.rowStep[d] -
                                       (long double)h * sample.columnStep[d];
                sample.values = w.values[j];
                sample.flags = w.flags[j];
                sample.cells = w.cells[j];
                int stopped = CalculateLineGuarded(&sample);
                context->pixelCounter = pixels;
                if (stopped) {
                    result = 3;
                    break;
                }
            }
            if (result)
                break;
            int centre = S * x + h;
            rowValues[c] = w.values[h][centre];
            rowFlags[c] = w.flags[h][centre];
            MapFilteredSamples(f, x, w.values, w.cells, w.flags, w.colour, w.done);
            uint32_t cell = w.cells[h][centre];
            rowCells[c] = (cell & 0xFFFFu) | (FilteredOpacityHalf(f->alphaChannel.alphaTable, cell >> 16) << 16);
        }
        context->startThreshold = sample.startThreshold;
        context->escapeSum = sample.escapeSum;
        context->escapeCount = sample.escapeCount;
        context->invalidCounter = sample.invalidCounter;
        context->evaluations = sample.evaluations;
        if (result)
            break;

        if (!TakeRowLock(f)) {
            result = 3;
            break;
        }
        if (task->rowsMoved == 0) {
            memcpy(task->values + at, rowValues.data(), 4 * (size_t)count);
            memcpy(task->flags + at, rowFlags.data(), (size_t)count);
            if (cellRow)
                memcpy(cellRow + x0, rowCells.data(), 4 * (size_t)count);
        }
        ReleaseRowLock(f);

        uint8_t* image = task->imageBits + (size_t)r * rowBytes;
        for (int x = x0; x <= x1; ++x) {
            if (!calculated[x - x0])
                continue;
            for (int ch = 0; ch < 3; ++ch) {
                double samples[ImageFilter::MAX_VALUES];
                for (int j = 0; j < K; ++j)
                    for (int i = 0; i < K; ++i)
                        samples[j * K + i] = w.colour[j][3 * (S * x + i) + ch];
                // Samples hold red, green, blue; the image blue, green, red.
                image[3 * x + 2 - ch] = (uint8_t)FoldFilteredChannel(filter, samples);
            }
        }

        if ((DWORD)(GetTickCount() - task->lastDisplayTick) >= (DWORD)DrawingSpeed) {
            PostProgress(f);
            NotifyParent(f, drawn, r - 1, drawn, r - 1);
            DrawVisibleRows(f, drawn, r);
            drawn = r;
            task->lastDisplayTick = GetTickCount();
        }
        w.Advance(S);
    }
    if (result)
        return result;
    PostProgress(f);
    NotifyParent(f, drawn, y1, drawn, y1);
    DrawVisibleRows(f, drawn, y1);
    if (f->dither) {
        DitherFractalImage(f);
        DrawVisibleRows(f, y0, y1);
    }
    return 0;
}

void InstallImageFilterRoad()
{
    g_ImageFilterRoad = &CalculateImageFilterRoad;
}
