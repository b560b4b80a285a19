// Segment clipping to the pixel reach of the drawing calculators.
#include "fractals/dynsys/PixelClip.h"

bool ClipToPixelReach(double* x0, double* y0, double* x1, double* y1)
{
    double t0 = 0.0, t1 = 1.0, dx = *x1 - *x0, dy = *y1 - *y0;
    const double p[4] = { -dx, dx, -dy, dy };
    const double q[4] = { *x0 + kPixelReach, kPixelReach - *x0, *y0 + kPixelReach, kPixelReach - *y0 };
    for (int i = 0; i < 4; i++) {
        if (!(q[i] == q[i]) || !(p[i] == p[i]))
            return false;
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1)
                return false;
            if (t > t0)
                t0 = t;
        } else {
            if (t < t0)
                return false;
            if (t < t1)
                t1 = t;
        }
    }
    double ax = *x0, ay = *y0;
    if (t0 > 0.0) {
        *x0 = ax + t0 * dx;
        *y0 = ay + t0 * dy;
    }
    if (t1 < 1.0) {
        *x1 = ax + t1 * dx;
        *y1 = ay + t1 * dy;
    }
    return true;
}
