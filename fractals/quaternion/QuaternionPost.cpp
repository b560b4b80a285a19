// Fog and depth of field over the shaded quaternion picture, and the
// automatic fog range and focal plane measured from the depth plane. The
// passes walk every pixel up to the image stride; a padding pixel reads the
// depth cell its position falls on, and past the plane's end it counts as
// a pixel without surface.
#include "fractals/quaternion/QuaternionPost.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/Plot.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "fractals/quaternion/QuaternionCamera.h"

namespace {

enum { KERNEL_SIZE = 101, KERNEL_CENTRE = 50, RADIUS_CAP = 15 };

QuaternionParameters* BlockOf(Fractal* fractal)
{
    return static_cast<QuaternionParameters*>(fractal->typeParameters);
}

// The depth of image pixel (x, y), x up to the stride: cell y x planeWidth + x
// of the plane, -1 past its end.
float DepthAt(const Array2D* plane, int x, int y)
{
    size_t cell = (size_t)y * plane->width + x;
    if (cell >= (size_t)plane->width * plane->height)
        return -1.0f;
    return static_cast<const float*>(plane->data)[cell];
}

// The progress of a row pass: posts a change of more than 1 % and answers
// whether a command ends the pass.
struct RowProgress {
    Fractal* fractal;
    double lastPosted = -1.0;

    bool Row(int y, int height)
    {
        FractalTask* task = fractal->task;
        task->progress = height > 1 ? (double)y / (height - 1) : 0.0;
        if (task->progress > lastPosted + 0.01) {
            PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
            lastPosted = task->progress;
        }
        return CommandPending(task);
    }

    void End()
    {
        FractalTask* task = fractal->task;
        task->progress = 1.0;
        PostToMainFrame(UM_PROGRESS, (WPARAM)fractal, 0);
        if (task->window && g_PlotWindow.invalidate)
            g_PlotWindow.invalidate(fractal, nullptr);
    }
};

bool HasDepthAndImage(Fractal* fractal)
{
    FractalTask* task = fractal ? fractal->task : nullptr;
    return task && task->plane0 && task->plane0->IsAllocated() && task->image3D && fractal->typeParameters;
}

}  // namespace

void AutoAdjustFog(QuaternionParameters* block, Fractal* fractal, uint8_t post)
{
    if (!block || !HasDepthAndImage(fractal))
        return;
    const Array2D* plane = fractal->task->plane0;
    const float* d = static_cast<const float*>(plane->data);
    double nearest = 1e10, farthest = 0;
    for (size_t i = 0, n = (size_t)plane->width * plane->height; i < n; ++i)
        if (d[i] > 0) {
            if (d[i] < nearest)
                nearest = d[i];
            if (d[i] > farthest)
                farthest = d[i];
        }
    if (farthest <= nearest)
        return;
    double n = nearest * block->backClippingPlane, f = farthest * block->backClippingPlane;
    block->FogFront = n + 0.2 * (f - n);
    block->FogBack = 1.8 * f;
    block->FogDensity = -log(0.4) / (block->FogBack - block->FogFront);
    if (post)
        PostToMainFrame(UM_QUATERNION_FOG_RANGE, (WPARAM)fractal, 0);
}

void AutoFocus(QuaternionParameters* block, Fractal* fractal, uint8_t post)
{
    if (!block || !HasDepthAndImage(fractal))
        return;
    const Array2D* plane = fractal->task->plane0;
    const float* d = static_cast<const float*>(plane->data);
    int w = plane->width, h = fractal->header->Height;
    if (h > plane->height)
        h = plane->height;
    int w5 = w / 5, h5 = h / 5;
    int x0 = (w - w5) / 2, y0 = (h - h5) / 2;
    double sum = 0;
    int count = 0;
    for (int y = y0; y < y0 + h5; ++y)
        for (int x = x0; x < x0 + w5; ++x) {
            float depth = d[(size_t)y * w + x];
            if (depth > 0) {
                sum += depth * block->backClippingPlane;
                ++count;
            }
        }
    if (count == 0)
        return;
    block->DOFPlaneDistance = sum / count;
    block->DOFFocalLength = block->DOFPlaneDistance * 0.5;
    if (post)
        PostToMainFrame(UM_QUATERNION_AUTO_VALUES, (WPARAM)fractal, 0);
}

void ApplyFog(Fractal* fractal)
{
    if (!HasDepthAndImage(fractal))
        return;
    QuaternionParameters* b = BlockOf(fractal);
    if (!b->FogEnabled)
        return;
    FractalTask* task = fractal->task;
    const Array2D* plane = task->plane0;
    int stride = fractal->GetImageStride(), height = fractal->header->Height;
    double s = b->FogLinear + b->FogSquare + b->FogExp + 0.0001;
    double wLin = b->FogLinear / s, wSq = b->FogSquare / s, wExp = b->FogExp / s;
    const double fog[3] = {(double)b->FogBlue, (double)b->FogGreen, (double)b->FogRed};
    RowProgress progress{fractal};
    for (int y = 0; y < height; ++y) {
        if (progress.Row(y, height))
            break;
        unsigned char* pixel = task->image3D + (size_t)y * stride * 3;
        for (int x = 0; x < stride; ++x, pixel += 3) {
            float d = DepthAt(plane, x, y);
            if (d <= 0) {
                for (int c = 0; c < 3; ++c)
                    pixel[c] = (unsigned char)fog[c];
                continue;
            }
            float dist = (float)(d * b->backClippingPlane);
            double lin = 0, e = 0;
            if (dist >= b->FogFront) {
                lin = dist > b->FogBack ? 1.0 : 1.0 - (b->FogBack - dist) / (b->FogBack - b->FogFront);
                e = wExp > 0 ? 1.0 - exp(-(dist - b->FogFront) * b->FogDensity) : 0.0;
            }
            double f = wLin * lin + wSq * lin * lin + wExp * e;
            for (int c = 0; c < 3; ++c) {
                double v = fog[c] * f + pixel[c] * (1 - f) + 0.5;
                pixel[c] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : (int)v);
            }
        }
    }
    progress.End();
}

const float* DepthOfFieldKernel()
{
    static float* kernel = nullptr;
    if (kernel)
        return kernel;
    float* k = static_cast<float*>(malloc(sizeof(float) * KERNEL_SIZE * KERNEL_SIZE));
    if (!k)
        return nullptr;
    for (int dy = -KERNEL_CENTRE; dy <= KERNEL_CENTRE; ++dy)
        for (int dx = -KERNEL_CENTRE; dx <= KERNEL_CENTRE; ++dx) {
            int r2 = dx * dx + dy * dy;
            double w = r2 > KERNEL_CENTRE * KERNEL_CENTRE ? 0.0 : exp(-sqrt((double)r2) / 128) * 0.0024867959858108648;
            k[(dy + KERNEL_CENTRE) * KERNEL_SIZE + dx + KERNEL_CENTRE] = (float)w;
        }
    kernel = k;
    return kernel;
}

void DepthOfFieldRadius(double coc, int* radius, int* limit)
{
    // a circle of confusion beyond any image is as good as 1,000 pixels;
    // this also keeps infinities and NaN out of the integer conversion
    if (!(coc < 1000))
        coc = 1000;
    int r = (int)(coc + 0.5);
    *limit = r * r;
    *radius = r < RADIUS_CAP ? r : RADIUS_CAP;
}

void ApplyDepthOfField(Fractal* fractal)
{
    if (!HasDepthAndImage(fractal))
        return;
    QuaternionParameters* b = BlockOf(fractal);
    if (!b->DOFEnabled)
        return;
    const float* kernel = DepthOfFieldKernel();
    if (!kernel)
        return;
    FractalTask* task = fractal->task;
    const Array2D* plane = task->plane0;
    int width = fractal->header->Width, height = fractal->header->Height, stride = fractal->GetImageStride();
    size_t cells = (size_t)stride * height;
    // blue, green, red and weight sums; without them the pass is skipped
    float* sums = static_cast<float*>(calloc(cells * 4, sizeof(float)));
    if (!sums)
        return;
    float* sumB = sums;
    float* sumG = sums + cells;
    float* sumR = sums + 2 * cells;
    float* weight = sums + 3 * cells;

    double c0[3], cx[3], cy[3];
    ComputePixelSteps(b, width, height, c0, cx, cy);
    double P = b->DOFPlaneDistance, A = b->DOFAperture, F = b->DOFFocalLength;
    RowProgress progress{fractal};
    bool stopped = false;
    for (int y = 0; y < height && !stopped; ++y) {
        if (progress.Row(y, height)) {
            stopped = true;
            break;
        }
        const unsigned char* row = task->image3D + (size_t)y * stride * 3;
        for (int x = 0; x < stride; ++x) {
            float d = DepthAt(plane, x, y);
            double coc;
            float ds;
            if (d > 0) {
                double v[3];
                for (int i = 0; i < 3; ++i)
                    v[i] = d * (c0[i] + x * cx[i] + y * cy[i]);
                double D = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
                coc = fabs((D - P) * A * F / ((P - F) * D));
                ds = d;
            } else {
                coc = 2;
                ds = 1e20f;
            }
            int radius, limit;
            DepthOfFieldRadius(coc, &radius, &limit);
            float blue = row[x * 3], green = row[x * 3 + 1], red = row[x * 3 + 2];
            auto splat = [&](int tx, int ty, float w) {
                float dt = DepthAt(plane, tx, ty);
                if (!(dt <= 0 || 0.9f * ds <= dt))
                    return;
                size_t t = (size_t)ty * stride + tx;
                sumB[t] += blue * w;
                sumG[t] += green * w;
                sumR[t] += red * w;
                weight[t] += w;
            };
            if (radius == 0) {
                splat(x, y, kernel[KERNEL_CENTRE * KERNEL_SIZE + KERNEL_CENTRE]);
                continue;
            }
            float scale = 50.0f / radius;
            for (int dy = radius; dy >= -radius; --dy) {
                int ty = y + dy;
                if (ty < 0 || ty >= height)
                    continue;
                int ky = KERNEL_CENTRE + (int)lrintf(dy * scale);
                for (int dx = -radius; dx <= radius; ++dx) {
                    int tx = x + dx;
                    if (dx * dx + dy * dy > limit || tx < 0 || tx >= stride)
                        continue;
                    int kx = KERNEL_CENTRE + (int)lrintf(dx * scale);
                    splat(tx, ty, kernel[ky * KERNEL_SIZE + kx]);
                }
            }
        }
    }
    if (!stopped)
        for (size_t t = 0; t < cells; ++t) {
            float k = weight[t] > 0 ? 1.0f / weight[t] : 1.0f;
            unsigned char* pixel = task->image3D + t * 3;
            const float channel[3] = {sumB[t], sumG[t], sumR[t]};
            for (int c = 0; c < 3; ++c) {
                int v = (int)(k * channel[c] + 0.5f);
                pixel[c] = (unsigned char)(v > 255 ? 255 : v < 0 ? 0 : v);
            }
        }
    free(sums);
    progress.End();
}
