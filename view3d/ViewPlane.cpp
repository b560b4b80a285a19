// The quaternion camera's view plane: perpendicular to the view direction
// at the back clipping distance, its pixel steps sized so that the view
// angle spans the limiting side of the image (a 4:3 image fills both ways).
#include "view3d/ViewPlane.h"
#include <math.h>
#include "document/QuaternionParameters.h"
#include "foundation/Vector.h"

void ComputeViewPlane(const QuaternionParameters* q, int width, int height, double corner[3], double stepX[3],
                      double stepY[3])
{
    const double observer[3] = {q->Obs_x, q->Obs_y, q->Obs_z};
    const double viewpoint[3] = {q->Viewpoint_x, q->Viewpoint_y, q->Viewpoint_z};
    double dir[3], top[3] = {q->top_x, q->top_y, q->top_z};
    for (int i = 0; i < 3; ++i)
        dir[i] = viewpoint[i] - observer[i];
    double dist = sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    double depth = q->backClippingPlane + (q->relativeToViewpoint ? dist : 0.0);
    double fov = q->Viewangle * 5 / 6 * VECTOR_PI / 180;
    NormalizeVector(dir);
    double right[3];
    CrossProduct(top, dir, right);
    NormalizeVector(right);
    NormalizeVector(top);
    double m = 0.75 * width < height ? 0.75 * width : height;
    if (0.75 * width == height)
        m = 0.75 * width;
    double k = 2 * depth * tan(fov) / m;
    for (int i = 0; i < 3; ++i) {
        double centre = observer[i] + dir[i] * depth;
        stepX[i] = right[i] * k;
        stepY[i] = top[i] / q->aspectRatio * k;
        if (q->flipObject)
            stepY[i] = -stepY[i];
        corner[i] = centre - height * 0.5 * stepY[i] - width * 0.5 * stepX[i];
    }
}

void MakeTopVectorPerpendicular(const double from[3], const double to[3], double top[3], int absolute)
{
    double d[3], v[3], dv[3], t[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = to[i] - from[i];
        v[i] = absolute ? top[i] : top[i] - from[i];
    }
    // d x (d x v) is the part of v across d, turned to the other side.
    CrossProduct(d, v, dv);
    CrossProduct(d, dv, t);
    for (int i = 0; i < 3; ++i)
        t[i] = -t[i];
    double length = sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
    for (int i = 0; i < 3; ++i) {
        t[i] /= length;
        if (!absolute)
            t[i] = t[i] / 2.5 + from[i];
    }
    if (isnan(t[0]) || isnan(t[1]) || isnan(t[2])) {
        t[0] = 0;
        t[1] = 1;
        t[2] = 0;
    }
    for (int i = 0; i < 3; ++i)
        top[i] = t[i];
}
