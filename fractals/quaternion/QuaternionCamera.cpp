// The quaternion camera: conversions by Cramer's rule (the top vector is
// used as stored, so camera y is measured in units of it), the surface point
// under a pixel, the rotations of the 3D fields and the ambient-occlusion
// set-ups. Angles use pi shortened to ten decimals, as the rest of the
// quaternion code does.
#include "fractals/quaternion/QuaternionCamera.h"
#include <math.h>
#include <stdlib.h>
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "foundation/Vector.h"

namespace {

const double kDegree = 0.017453292519444445;   // 3.1415926535 / 180
const double kQuarterTurn = 1.57079632675;
const double kTwoPi = 6.283185307179586;

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// det[a, b, c] = a . (b x c)
double Triple(const double* a, const double* b, const double* c)
{
    double bc[3];
    CrossProduct(b, c, bc);
    return Dot(a, bc);
}

// right, top and dir of the block's camera.
void Frame(const QuaternionParameters* q, double right[3], double top[3], double dir[3])
{
    dir[0] = q->Viewpoint_x - q->Obs_x;
    dir[1] = q->Viewpoint_y - q->Obs_y;
    dir[2] = q->Viewpoint_z - q->Obs_z;
    NormalizeVector(dir);
    top[0] = q->top_x;
    top[1] = q->top_y;
    top[2] = q->top_z;
    CrossProduct(top, dir, right);
    NormalizeVector(right);
}

void SolveInFrame(const double right[3], const double top[3], const double dir[3], double inverse, const double q[3],
                  double out[3])
{
    double x = Triple(q, top, dir) * inverse;
    double y = Triple(right, q, dir) * inverse;
    double z = Triple(right, top, q) * inverse;
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

}  // namespace

void QuaternionWorldToCamera(const QuaternionParameters* block, const double point[3], double out[3])
{
    double right[3], top[3], dir[3];
    Frame(block, right, top, dir);
    const double q[3] = {point[0] - block->Obs_x, point[1] - block->Obs_y, point[2] - block->Obs_z};
    SolveInFrame(right, top, dir, 1.0 / Triple(right, top, dir), q, out);
}

void QuaternionCameraToWorld(const QuaternionParameters* block, const double point[3], double out[3])
{
    double right[3], top[3], dir[3];
    Frame(block, right, top, dir);
    const double observer[3] = {block->Obs_x, block->Obs_y, block->Obs_z};
    double world[3];
    for (int i = 0; i < 3; ++i)
        world[i] = observer[i] + point[0] * right[i] + point[1] * top[i] + point[2] * dir[i];
    for (int i = 0; i < 3; ++i)
        out[i] = world[i];
}

void ComputePixelSteps(const QuaternionParameters* block, int width, int height, double cornerCam[3],
                       double stepXCam[3], double stepYCam[3])
{
    double corner[3], stepX[3], stepY[3];
    ComputeViewPlane(block, width, height, corner, stepX, stepY);
    double nextX[3], nextY[3];
    for (int i = 0; i < 3; ++i) {
        nextX[i] = corner[i] + stepX[i];
        nextY[i] = corner[i] + stepY[i];
    }
    QuaternionWorldToCamera(block, corner, cornerCam);
    QuaternionWorldToCamera(block, nextX, stepXCam);
    QuaternionWorldToCamera(block, nextY, stepYCam);
    for (int i = 0; i < 3; ++i) {
        stepXCam[i] -= cornerCam[i];
        stepYCam[i] -= cornerCam[i];
    }
}

void PrepareCameraBasis(QuaternionCameraBasis* basis, const QuaternionParameters* block)
{
    Frame(block, basis->right, basis->top, basis->dir);
    basis->observer[0] = block->Obs_x;
    basis->observer[1] = block->Obs_y;
    basis->observer[2] = block->Obs_z;
    basis->inverseDeterminant = 1.0 / Triple(basis->right, basis->top, basis->dir);
    double origin[3] = {-basis->observer[0], -basis->observer[1], -basis->observer[2]};
    ToCameraBasis(basis, origin);
    for (int i = 0; i < 3; ++i)
        basis->originInCamera[i] = origin[i];
}

void ToCameraBasis(const QuaternionCameraBasis* basis, double v[3])
{
    const double q[3] = {v[0], v[1], v[2]};
    SolveInFrame(basis->right, basis->top, basis->dir, basis->inverseDeterminant, q, v);
}

bool GetSurfacePoint(const QuaternionParameters* block, FractalTask* task, int x, int y, double out[3])
{
    const double viewpoint[3] = {block->Viewpoint_x, block->Viewpoint_y, block->Viewpoint_z};
    for (int i = 0; i < 3; ++i)
        out[i] = viewpoint[i];
    if (!task || !task->fractal || !task->plane0 || !task->plane0->IsAllocated())
        return false;
    const Array2D& plane = *task->plane0;
    int width = task->fractal->header->Width, height = task->fractal->header->Height;
    int r = height - y - 1;
    if (x < 0 || x >= width || x >= plane.width || r < 0 || r >= plane.height)
        return false;
    float t = static_cast<const float*>(plane.data)[r * plane.width + x];
    if (!(t >= 0))
        return false;
    double corner[3], stepX[3], stepY[3];
    ComputeViewPlane(block, width, height, corner, stepX, stepY);
    const double observer[3] = {block->Obs_x, block->Obs_y, block->Obs_z};
    for (int i = 0; i < 3; ++i) {
        double pixel = corner[i] + x * stepX[i] + r * stepY[i];
        out[i] = observer[i] + t * (pixel - observer[i]);
    }
    return true;
}

void ComputeProjectionScale(double a, double b, double c, double e, const double v[3], double* outX, double* outY)
{
    *outX = (a * -2 / c) / (v[0] / v[2]);
    *outY = (b * -2 / e) / (v[1] / v[2]);
}

void SaveQuaternionCamera(QuaternionParameters* block)
{
    const double values[11] = {block->Obs_x,       block->Obs_y,       block->Obs_z,
                               block->top_x,       block->top_y,       block->top_z,
                               block->Viewpoint_x, block->Viewpoint_y, block->Viewpoint_z,
                               block->frontClippingPlane, block->backClippingPlane};
    for (int i = 0; i < 11; ++i)
        block->savedCamera[i] = values[i];
}

void RotateCamera(const double centre[3], double topOut[3], const double savedTop[3], double pointOut[3],
                  const double savedPoint[3], double angle1, double angle2, double angle3)
{
    double v[3], n[3];
    for (int i = 0; i < 3; ++i)
        v[i] = savedPoint[i] - centre[i];
    double dist = sqrt(Dot(v, v));
    NormalizeVector(v);
    CrossProduct(v, savedTop, n);
    NormalizeVector(n);
    if (angle1 != 0) {
        double a = angle1 * kDegree;
        for (int i = 0; i < 3; ++i)
            pointOut[i] = centre[i] + dist * (cos(a) * v[i] + sin(a) * n[i]);
    }
    if (angle2 != 0) {
        double b = -angle2 * kDegree;
        double top[3];
        for (int i = 0; i < 3; ++i) {
            pointOut[i] = centre[i] + dist * (cos(b) * v[i] + sin(b) * savedTop[i]);
            top[i] = sin(b + kQuarterTurn) * savedTop[i] + cos(b + kQuarterTurn) * v[i];
        }
        NormalizeVector(top);
        for (int i = 0; i < 3; ++i)
            topOut[i] = top[i];
    }
    if (angle3 != 0) {
        double c = angle3 * kDegree;
        double top[3];
        for (int i = 0; i < 3; ++i)
            top[i] = cos(c) * savedTop[i] + sin(c) * n[i];
        NormalizeVector(top);
        for (int i = 0; i < 3; ++i)
            topOut[i] = top[i];
    }
}

void InterpolatePoint(const double a[3], double out[3], const double b[3], double percent)
{
    for (int i = 0; i < 3; ++i)
        out[i] = a[i] + (b[i] - a[i]) * percent / 100;
}

double DepthToPositions(Fractal* fractal, float* distances, const double cornerCam[3], const double stepXCam[3],
                        const double stepYCam[3])
{
    FractalTask* task = fractal->task;
    const Array2D& plane = *task->plane0;
    const float* depth = static_cast<const float*>(plane.data);
    const QuaternionParameters* q = static_cast<const QuaternionParameters*>(fractal->typeParameters);
    int height = fractal->header->Height < plane.height ? fractal->header->Height : plane.height;
    double sum = 0;
    int count = 0;
    for (int i = 0; i < height; ++i) {
        for (int j = 0; j < plane.width; ++j) {
            if (task->command)
                return 0;
            float t = depth[i * plane.width + j];
            float& out = distances[i * plane.width + j];
            if (t > 0) {
                double p[3];
                for (int k = 0; k < 3; ++k)
                    p[k] = t * (cornerCam[k] + j * stepXCam[k] + i * stepYCam[k]);
                out = (float)sqrt(Dot(p, p));
                sum += out;
                ++count;
            } else {
                out = -1.0f;
            }
        }
    }
    // With no surface the mean is undefined; 0 keeps callers from using it.
    return count ? sum / count * q->AORadius : 0;
}

void BuildAoKernel(unsigned int seed, int count, int passes, float* points)
{
    srand(seed);
    for (int i = 0; i < count; ++i) {
        double r = (float)rand() / 32767.0;
        double a = (float)rand() / 32767.0 * kTwoPi;
        double b = (float)rand() / 32767.0 * kTwoPi;
        points[3 * i] = (float)(r * sin(a) * cos(b));
        points[3 * i + 1] = (float)(r * sin(a) * sin(b));
        points[3 * i + 2] = (float)(r * cos(a));
    }
    // Each point is pushed away from the others (inverse-distance
    // repulsion) and put back on the unit sphere; points move in place.
    for (int pass = 0; pass < passes; ++pass) {
        for (int i = 0; i < count; ++i) {
            float* p = points + 3 * i;
            double s[3] = {0, 0, 0};
            for (int j = 0; j < count; ++j) {
                const float* o = points + 3 * j;
                double d[3] = {(double)p[0] - o[0], (double)p[1] - o[1], (double)p[2] - o[2]};
                double d2 = Dot(d, d);
                if (d2 == 0)
                    continue;
                for (int k = 0; k < 3; ++k)
                    s[k] += d[k] / d2;
            }
            double moved[3];
            for (int k = 0; k < 3; ++k)
                moved[k] = p[k] + 0.5 * s[k];
            NormalizeVector(moved);
            for (int k = 0; k < 3; ++k)
                p[k] = (float)moved[k];
        }
    }
}
