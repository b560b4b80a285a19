// The splat kernel, the reconstruction filter and the accumulation of point
// records into the planes of an attractor calculation.
#include "fractals/attractor/AttractorAccumulation.h"

#include <math.h>
#include <string.h>

#include "fractals/attractor/AttractorBlock.h"

int AttractorKernelRadius(int weightRadius)
{
    if (weightRadius < 0)
        return 0;
    return weightRadius > ATTRACTOR_MAX_RADIUS ? ATTRACTOR_MAX_RADIUS : weightRadius;
}

void FillAttractorKernel(int weightRadius, float kernel[32 * 32], uint8_t mask[32 * 32])
{
    const int r = AttractorKernelRadius(weightRadius);
    memset(kernel, 0, sizeof(float) * 32 * 32);
    memset(mask, 0, 32 * 32);
    for (int y = 0; y <= r; y++)
        for (int x = 0; x <= r; x++) {
            int d = x * x + y * y;
            if (d > r * r)
                continue;
            kernel[y * 32 + x] = r == 0 ? 1.0f : (float)exp(-4.0 * d / (double)(r * r));
            mask[y * 32 + x] = 1;
        }
}

int AttractorFilterSize(int oversampling, double filterRadius)
{
    double raw = oversampling * filterRadius * 5 + 0.5;
    int n = raw > ATTRACTOR_MAX_FILTER ? ATTRACTOR_MAX_FILTER : (raw < 0 || raw != raw ? 0 : (int)raw);
    if (n == 0)
        n = 1;
    if ((oversampling + n) % 2)
        n++;
    while (n > ATTRACTOR_MAX_FILTER)
        n -= 2;
    return n;
}

void FillAttractorFilter(int n, float* cells)
{
    double sum = 0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            double u = ((2.0 * i + 1) / n - 1) * 2.5, v = ((2.0 * j + 1) / n - 1) * 2.5;
            double w = exp(-2 * (u * u + v * v));
            if (w < 0.001)
                w = 0;
            cells[i * n + j] = (float)w;
            sum += w;
        }
    // The centre cell of an odd filter is 1, so the sum is never 0.
    for (int k = 0; k < n * n; k++)
        cells[k] = (float)(cells[k] / sum);
}

void SplatAttractorPoint(const AttractorPlanes& planes, float* plane, int column, int row, const float* kernel,
                         int radius)
{
    for (int dy = -radius; dy <= radius; dy++) {
        int y = row + dy;
        if (y < 0 || y >= planes.height)
            continue;
        for (int dx = -radius; dx <= radius; dx++) {
            float w = kernel[(dy < 0 ? -dy : dy) * 32 + (dx < 0 ? -dx : dx)];
            int x = column + dx;
            if (w != 0 && x >= 0 && x < planes.width)
                plane[y * planes.width + x] += w;
        }
    }
}

namespace {

int Channel(float value)
{
    // trunc(value × 255), lowered to 255; NaN and negatives give 0.
    double v = (double)value * 255.0;
    if (!(v > 0))
        return 0;
    return v > 255 ? 255 : (int)v;
}

}  // namespace

int AccumulateAttractorRecords(const AttractorPlanes& planes, const AttractorAccumulation& how,
                               const uint8_t* records, int count)
{
    int taken = 0;
    const bool sums = how.mode == 1 || how.mode == 2;
    for (int n = 0; n < count; n++) {
        AttractorScreenRecord r;
        memcpy(&r, records + n * ATTRACTOR_RECORD_SIZE, sizeof r);
        // a point that escaped to NaN has no place, whatever its screen
        // position came out as
        if (r.depth != r.depth)
            continue;
        int column = r.x + 20, row = planes.height - r.y - 21;
        if (column < 0 || row < 0 || column >= planes.width || row >= planes.height)
            continue;
        taken++;
        const int pos = row * planes.width + column;
        if (how.radius == 0)
            planes.density[pos] += 1.0f;
        else
            SplatAttractorPoint(planes, planes.density, column, row, how.kernel, how.radius);
        if (!sums && !(planes.depth[pos] == 0 || planes.depth[pos] > r.depth || (planes.flags[pos] & 0x04)))
            continue;
        if (how.directColour) {
            planes.flags[pos] = 0x50;
            int c[3] = {Channel(r.colour[0]), Channel(r.colour[1]), Channel(r.colour[2])};
            planes.colour[pos] = (uint32_t)(c[0] * 65536 + c[1] * 256 + c[2]);
            if (sums) {
                for (int k = 0; k < 3; k++)
                    planes.sums[k][pos] += c[k] / 255.0f;
                planes.sums[3][pos] += 1;
            }
        } else {
            planes.flags[pos] = 0x10;
            memcpy(&planes.colour[pos], &r.index, 4);
            if (how.mode == 2) {
                planes.sums[0][pos] += r.index;
                planes.sums[3][pos] += 1;
            } else if (how.mode == 1) {
                int c[3] = {0, 0, 0};
                if (how.mapColour)
                    how.mapColour(how.mapContext, r.index, c);
                for (int k = 0; k < 3; k++)
                    planes.sums[k][pos] += (c[k] > 255 ? 255 : c[k]) / 255.0f;
                planes.sums[3][pos] += 1;
            }
        }
        planes.depth[pos] = r.depth;
    }
    return taken;
}
