// Suggests a height curve from a calculated image: heights are sorted into
// 200 buckets and each bucket weighted by how rough the image is around its
// pixels, so the curve rises quickly where the height field has detail.
// Cells that are not finite numbers take no part: they would fall outside
// every bucket.
#include "view3d/Parameters3D.h"

#include <math.h>
#include <string.h>
#include <vector>

#include "document/Fractal.h"

namespace {

enum { BUCKETS = 200 };
// Flags of a cell that holds a packed RGB colour instead of a float.
const uint8_t kColourCellFlags = 0x02 | 0x40;

double CellHeight(const HeightFieldSource& s, const float* cells, int x, int y)
{
    int i = y * s.stride + x;
    if (s.flags && (s.flags[i] & kColourCellFlags) && cells == s.values) {
        uint32_t bits;
        memcpy(&bits, &cells[i], sizeof bits);
        float sum = (float)((bits & 0xFF) + ((bits >> 8) & 0xFF) + ((bits >> 16) & 0xFF));
        return sum / 768.0f;
    }
    return cells[i];
}

}  // namespace

void SuggestHeightSpline(Parameters3D& p3d, const HeightFieldSource& s)
{
    p3d.ClearControlPoints();
    const float* cells = s.smoothedHeights && p3d.Smooth ? s.smoothedHeights : s.values;
    if (!cells || s.width <= 0 || s.height <= 0)
        return;

    double lo = 1e20, hi = -1e20;
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++) {
            double h = CellHeight(s, cells, x, y);
            if (!isfinite(h))
                continue;
            if (h < lo)
                lo = h;
            if (h > hi)
                hi = h;
        }
    if (!(lo < hi))
        return;

    double range = hi - lo;
    std::vector<double> sum(BUCKETS, 0.0), count(BUCKETS, 0.0);
    for (int y = 1; y < s.height - 1; y++)
        for (int x = 1; x < s.width - 1; x++) {
            double h = CellHeight(s, cells, x, y);
            if (!isfinite(h))
                continue;
            double t = (h - lo) * 199 / range;
            int bucket = !(t > 0) ? 0 : t >= 199 ? 199 : (int)t;
            double c = (h - lo) / range * 50;
            double& acc = sum[bucket];
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++) {
                    if (!dx && !dy)
                        continue;
                    double n = (CellHeight(s, cells, x + dx, y + dy) - lo) / range * 50;
                    acc += (n - c) * (n - c);
                }
            if (!isfinite(acc))
                acc = 2.0;
            count[bucket] += 8;
        }

    double lower = lo > -100 ? lo : -100;
    double upper = hi < 255 ? hi : 255;
    double scale = s.fractalType == FT_ESCAPETIME ? 252 : 1;
    double y = 0;
    for (int i = 1; i < BUCKETS; i++) {
        double mean = count[i] ? sum[i] / count[i] : 0;
        if (mean == 0)
            continue;
        y = y == 0 ? 0.00001 : y + 1 / sqrt(sqrt(mean));
        double x = lower + i * (upper - lower) * scale / 199;
        const CurveKnot* last = AsKnot(p3d.ControlPointList->GetTail());
        if (!last || last->x < x - 2)
            p3d.AppendControlPoint(x, y);
    }
    const CurveKnot* last = AsKnot(p3d.ControlPointList->GetTail());
    if (last && last->y != 0) {
        double factor = 50 / last->y;
        for (ListNode* k = p3d.ControlPointList->GetHead(); k; k = k->next)
            AsKnot(k)->y *= factor;
    }
    p3d.firstSelected = nullptr;
}
