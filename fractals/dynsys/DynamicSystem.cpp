// Integrates a dynamic system and draws its trajectory. The step length
// doubles or halves until each step moves the point between Delta / 2 and
// 2 x Delta. The loop always ends: Delta <= 0, a point that stands still
// (speed 0) or runs away (speed not finite), and a step too small to move
// the time on all end the calculation instead of spinning.
#include "fractals/dynsys/DynamicSystem.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/task/DrawTrace.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Plot.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/PlainBlocks.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "fractals/dynsys/PixelClip.h"

namespace {

const double kPi = 3.141592653589793;

enum { DRAW_LINES = 0, DRAW_POINTS = 1 };
enum { COLOUR_STANDARD, COLOUR_FIXED, COLOUR_TIME, COLOUR_POSITION, COLOUR_MEASURE, COLOUR_LOG_MEASURE };

// The view edge as the parameter text shows it, read back as a double.
double EdgeValue(const BigNumber& n)
{
    return n.ToDouble();
}

// A colour position the plotting routines can use: with wrap the colour is
// taken modulo 252 into 0..251, without it clamped to 0..251.
double LimitColour(double c, bool wrap)
{
    if (!isfinite(c))
        return 0.0;
    if (wrap) {
        c = fmod(c, 252.0);
        return c < 0.0 ? c + 252.0 : c;
    }
    if (c < 0.0)
        return 0.0;
    if (c >= 252.0)
        return 251.0;
    return c;
}

int PixelOf(double p)
{
    if (!(p > -kPixelReach))
        return (int)-kPixelReach;
    if (p > kPixelReach)
        return (int)kPixelReach;
    return (int)p;
}

void ShowProgress(Fractal* fractal)
{
    PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
    if (g_TaskHooks.drawImageRows && fractal->task->window)
        g_TaskHooks.drawImageRows(fractal, 0, fractal->header->Height - 1);
}

}  // namespace

bool DynamicSystemDerivatives(int subtype, double A, double B, double C, const double p[3], double d[3])
{
    const double x = p[0], y = p[1], z = p[2];
    const double r2 = x * x + y * y, r = sqrt(r2);
    switch (subtype) {
    case DS_LORENZ:
        d[0] = A * (y - x);
        d[1] = x * (B - z) - y;
        d[2] = x * y - C * z;
        return true;
    case DS_LORENZ1:
        d[0] = (A - B + z) * y + (-A - 1) * x + (1 - A) * r;
        d[1] = (B - A) * x - (A + 1) * y + (B + A) * r - z * x - r * z;
        d[2] = y / 2 - C * z;
        return true;
    case DS_LORENZ3:
        d[0] = ((A - B + z) * y - (A + 1) * x) / 3 + ((1 - A) * (x * x - y * y) + 2 * (B + A - z) * x * y) / (3 * r);
        d[1] = ((B - A - z) * x - (A + 1) * y) / 3 + (2 * (A - 1) * x * y + (B + A - z) * (x * x - y * y)) / (3 * r);
        d[2] = (3 * x * x * y - y * y * y) / 2 - C * z;
        return true;
    case DS_LORENZ4:
        d[0] = (y * ((2 * A + B - z) * x * x + (z - B) * y * y + (A - 2) * x * y) - A * x * x * x) / (2 * r2);
        d[1] = (x * ((z - 2 * A - B) * y * y + (B - z) * x * x + (A - 2) * x * y) - A * y * y * y) / (2 * r2);
        d[2] = 2 * x * x * x * y - 2 * x * y * y * y - C * z;
        return true;
    case DS_ROESSLER:
        d[0] = -y - z;
        d[1] = x + A * y;
        d[2] = B + z * (x - C);
        return true;
    default:
        return false;
    }
}

int CalculateDynamicSystem(Fractal* fractal)
{
    FractalTask* task = fractal->task;
    const DynamicSystemParameters* p = static_cast<const DynamicSystemParameters*>(fractal->typeParameters);
    const int width = fractal->header->Width, height = fractal->header->Height;
    const int subtype = fractal->header->Subtype;
    const bool wrap = p->WrapAround != 0;
    HDC dc = nullptr;

    const double alpha = p->Alpha * kPi / 180.0, beta = p->Beta * kPi / 180.0;
    const double sa = sin(alpha), ca = cos(alpha), sb = sin(beta), cb = cos(beta);
    const double left = EdgeValue(p->TopLeftR), right = EdgeValue(p->BottomRightR);
    const double top = EdgeValue(p->TopLeftI), bottom = EdgeValue(p->BottomRightI);
    const double columnStep = (right - left) / width, rowStep = (top - bottom) / height;

    double c = p->Coloring == COLOUR_STANDARD ? 254.0 : 0.0;

    const int stride = fractal->GetImageStride();
    if (fractal->dither && task->shadowBits)
        memset(task->shadowBits, 0, (size_t)stride * height);
    if (task->imageBits) {
        if (fractal->header->DisplayDepth == 8)
            memset(task->imageBits, 252, (size_t)stride * height);
        else
            memset(task->imageBits, 0, (size_t)stride * height * 3);
    }

    double h = p->Delta, t = 0.0;
    double point[3] = { p->X, p->Y, p->Z }, d[3] = { 0.0, 0.0, 0.0 };
    double lastColumn = 0.0, lastRow = 0.0;
    task->lastDisplayTick = GetTickCount();
    // A non-positive Delta cannot be reached by any step length.
    bool run = p->Delta + p->Time > 0.0 && p->Delta > 0.0;
    while (run) {
        if (p->Coloring == COLOUR_TIME)
            c = LimitColour(t * 252.0 / 100.0 * p->ColMult, wrap);
        double progress = p->Time > 0.0 ? t / p->Time : 1.0;
        task->progress = progress < 1.0 ? progress : 1.0;

        DynamicSystemDerivatives(subtype, p->A, p->B, p->C, point, d);
        double speed = sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        bool lastStep = false;
        if (speed > 0.0 && isfinite(speed)) {
            while (speed * h < p->Delta / 2)
                h *= 2;
            while (speed * h > 2 * p->Delta)
                h /= 2;
            for (int i = 0; i < 3; i++)
                point[i] += h * d[i];
        } else {
            // Standing still or running away: nothing further would change.
            lastStep = true;
        }

        const double x = point[0], y = point[1], z = point[2];
        const double u = sa * y - ca * x, w = ca * y + sa * x;
        const double depth = w * cb + sb * z, v = cb * z - w * sb;
        double column = (u - left) / columnStep, row = (v - bottom) / rowStep;

        if (p->Coloring == COLOUR_POSITION)
            c = LimitColour(depth * p->ColMult, wrap);

        if (p->Drawmode == DRAW_LINES) {
            if (t == 0.0) {
                MoveTo(fractal, dc, PixelOf(column), PixelOf(row));
            } else {
                double c0 = lastColumn, r0 = lastRow, c1 = column, r1 = row;
                if (ClipToPixelReach(&c0, &r0, &c1, &r1)) {
                    if (c0 != lastColumn || r0 != lastRow)
                        MoveTo(fractal, dc, (int)c0, (int)r0);
                    DrawLine3D(fractal, dc, (int)c1, (int)r1, LimitColour(c, true), depth);
                }
            }
        } else if (column >= 0 && column < width && row >= 0 && row < height && task->values) {
            int col = (int)column, rw = (int)row;
            float& cell = task->values[(size_t)rw * fractal->GetBufferWidth() + col];
            if (p->Coloring == COLOUR_MEASURE || p->Coloring == COLOUR_LOG_MEASURE) {
                cell += 1.0f;
                c = p->Coloring == COLOUR_MEASURE ? LimitColour(cell * p->ColMult, wrap)
                                                  : (1.0 - exp(-cell * p->ColMult / 252.0)) * 251.0;
                SetPixel3D(fractal, dc, col, rw, LimitColour(c, true), 0.0);
            } else if (cell == 0.0f || cell < depth) {
                SetPixel3D(fractal, dc, col, rw, LimitColour(c, true), depth);
                cell = (float)depth;
            }
        }
        task->penX = PixelOf(column);
        task->penY = PixelOf(row);
        task->penDepth = depth;
        lastColumn = column;
        lastRow = row;
        if (g_DrawTrace) {
            const double trace[4] = { u, v, depth, c };
            g_DrawTrace(trace, 4);
        }

        if (CommandPending(task))
            return 3;
        DWORD now = GetTickCount();
        if (now - task->lastDisplayTick >= 300) {
            task->lastDisplayTick = now;
            ShowProgress(fractal);
        }
        // A step too small to move the time on would never end the loop.
        if (lastStep || t + h == t)
            break;
        t = t + h;
        run = h + p->Time > t;
    }
    ShowProgress(fractal);
    return 0;
}

int CalculateDynamicSystemArea(Fractal* fractal, int, int, int, int)
{
    return CalculateDynamicSystem(fractal);
}
