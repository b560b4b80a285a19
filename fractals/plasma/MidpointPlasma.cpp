// Midpoint displacement: each rectangle gets its edge midpoints (and, when
// square, its centre) from the mean of its corners plus a random offset
// that shrinks with depth by 0.5^H; points already set are kept, so a field
// can be refined without changing what it has.
#include "fractals/plasma/Plasma.h"

#include <math.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/colour/OtherColouring.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/PlainBlocks.h"

namespace {

struct Field {
    float* values;
    int bufferWidth, width, height;
    float& At(int x, int y) const { return values[(size_t)y * bufferWidth + x]; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Sets an unset edge point from its edge's corners a and b, the rectangle's
// mean and, when inside the image and set, the point mirrored across the
// edge from the centre; the offset is a random value times r times scale.
void SetEdgePoint(FractalTask* task, const Field& f, int x, int y, int ax, int ay, int bx, int by, int mx,
                  int my, double avg, double r, double scale)
{
    if (f.At(x, y) != 0.0f)
        return;
    double sum = (double)f.At(ax, ay) + f.At(bx, by) + avg;
    double count = 3.0;
    if (f.Inside(mx, my) && f.At(mx, my) != 0.0f) {
        sum += f.At(mx, my);
        count = 4.0;
    }
    f.At(x, y) = (float)(sum / count + PlasmaRandom(task) * r * scale);
}

void ShowRows(Fractal* fractal, int firstRow, int lastRow)
{
    if (g_TaskHooks.drawImageRows && fractal->task->window && !fractal->task->windowHidden)
        g_TaskHooks.drawImageRows(fractal, firstRow, lastRow);
}

}  // namespace

float PlasmaRandom(FractalTask* task)
{
    uint32_t s = (uint32_t)task->plasmaRandomState;
    float x[4];
    for (int i = 0; i < 4; i++) {
        uint32_t next = (s * 3677u + 3680u) & 0x7FFFFFFFu;
        x[i] = (float)next;
        s = next - 1u;
    }
    task->plasmaRandomState = (int)s;
    float sum = (float)((((double)x[3] + x[2]) + x[1]) + x[0]);
    return (float)(sum * 8.065490087e-10 - 3.464101615);
}

int SubdividePlasma(HDC dc, int x0, int y0, int x1, int y1, float* values, Fractal* fractal,
                    const PlasmaParameters* block, int depth)
{
    int dx = x1 - x0, dy = y1 - y0;
    if (dx <= 1 && dy <= 1)
        return 0;
    FractalTask* task = fractal->task;
    const Field f = { values, fractal->GetBufferWidth(), fractal->header->Width, fractal->header->Height };
    double scale = block->Sigma * pow(pow(0.5, block->H), depth);
    int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
    double avg = ((double)f.At(x1, y1) + f.At(x0, y0) + f.At(x0, y1) + f.At(x1, y0)) / 4;

    if (CommandPending(task))
        return 3;

    struct Part { int x0, y0, x1, y1; } parts[4];
    int count;
    if (dx >= 2 * dy) {
        double r = sqrt((double)dy * dy + (double)(xm - x0) * (xm - x0));
        SetEdgePoint(task, f, xm, y0, x0, y0, x1, y0, xm, 2 * y0 - ym, avg, r, scale);
        SetEdgePoint(task, f, xm, y1, x0, y1, x1, y1, xm, 2 * y1 - ym, avg, r, scale);
        parts[0] = { x0, y0, xm, y1 };
        parts[1] = { xm, y0, x1, y1 };
        count = 2;
    } else if (dy >= 2 * dx) {
        double r = sqrt((double)dx * dx + (double)(ym - y0) * (ym - y0));
        SetEdgePoint(task, f, x0, ym, x0, y0, x0, y1, 2 * x0 - xm, ym, avg, r, scale);
        SetEdgePoint(task, f, x1, ym, x1, y0, x1, y1, 2 * x1 - xm, ym, avg, r, scale);
        parts[0] = { x0, y0, x1, ym };
        parts[1] = { x0, ym, x1, y1 };
        count = 2;
    } else {
        double r = sqrt((double)(xm - x0) * (xm - x0) + (double)(ym - y0) * (ym - y0));
        f.At(xm, ym) = (float)avg;
        SetEdgePoint(task, f, xm, y0, x0, y0, x1, y0, xm, 2 * y0 - ym, avg, r, scale);
        SetEdgePoint(task, f, xm, y1, x0, y1, x1, y1, xm, 2 * y1 - ym, avg, r, scale);
        SetEdgePoint(task, f, x0, ym, x0, y0, x0, y1, 2 * x0 - xm, ym, avg, r, scale);
        SetEdgePoint(task, f, x1, ym, x1, y0, x1, y1, 2 * x1 - xm, ym, avg, r, scale);
        parts[0] = { x0, y0, xm, ym };
        parts[1] = { xm, y0, x1, ym };
        parts[2] = { xm, ym, x1, y1 };
        parts[3] = { x0, ym, xm, y1 };
        count = 4;
    }
    for (int i = 0; i < count; i++)
        if (SubdividePlasma(dc, parts[i].x0, parts[i].y0, parts[i].x1, parts[i].y1, values, fractal, block,
                            depth + 1) == 3)
            return 3;

    if (dx >= 30 && dx < 60) {
        ColorizeRect(fractal, x0, y0, dx + 1, dy + 1, fractal->header->DisplayDepth > 8);
        ShowRows(fractal, y0, y1);
    }
    return 0;
}

int CalculatePlasma(Fractal* fractal)
{
    const PlasmaParameters* block = static_cast<const PlasmaParameters*>(fractal->typeParameters);
    if (block->Method == 1)
        return CalculateFbmPlasma(fractal);
    FractalTask* task = fractal->task;
    task->plasmaRandomState = block->Seed;
    const int w = fractal->header->Width, h = fractal->header->Height;
    const Field f = { task->values, fractal->GetBufferWidth(), w, h };
    double d = sqrt((double)w * w + (double)h * h);
    f.At(0, 0) = (float)(PlasmaRandom(task) * d * block->Sigma);
    f.At(w - 1, 0) = (float)(PlasmaRandom(task) * d * block->Sigma);
    f.At(0, h - 1) = (float)(PlasmaRandom(task) * d * block->Sigma);
    f.At(w - 1, h - 1) = (float)(PlasmaRandom(task) * d * block->Sigma);
    int result = SubdividePlasma(nullptr, 0, 0, w - 1, h - 1, task->values, fractal, block, 1);
    // Rectangles narrower than 30 pixels are never coloured on the way:
    // the whole image is coloured once at the end.
    ColorizeRect(fractal, 0, 0, w, h, fractal->header->DisplayDepth > 8);
    ShowRows(fractal, 0, h - 1);
    return result;
}

int CalculatePlasmaArea(Fractal* fractal, int, int, int, int)
{
    return CalculatePlasma(fractal);
}
