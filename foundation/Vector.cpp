#include "foundation/Vector.h"

#include <math.h>

static double Dot(const double* a, const double* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

static double Length(const double* v)
{
    return sqrt(Dot(v, v));
}

void NormalizeVector(double* v)
{
    double len = Length(v);
    if (len == 0.0)
        return;
    double f = 1.0 / len;
    v[0] *= f;
    v[1] *= f;
    v[2] *= f;
}

void CrossProduct(const double* a, const double* b, double* out)
{
    double x = a[1] * b[2] - a[2] * b[1];
    double y = a[2] * b[0] - a[0] * b[2];
    double z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void CrossProductF(const float* a, const float* b, float* out)
{
    float x = a[1] * b[2] - a[2] * b[1];
    float y = a[2] * b[0] - a[0] * b[2];
    float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

bool VectorsEqualF(const float* a, const float* b)
{
    for (int i = 0; i < 3; i++) {
        // volatile forces the difference through a float store, so x87
        // extended precision does not decide the comparison.
        volatile float d = a[i] - b[i];
        if (fabs((double)d) > 1e-9)
            return false;
    }
    return true;
}

void TransformPointF(float* p, float* out, const float* projection)
{
    p[0] -= projection[0];
    p[1] -= projection[1];
    p[2] -= projection[2];
    const float* m = projection + PROJECTION_MATRIX_OFFSET;
    float x = m[0] * p[0] + m[1] * p[1] + m[2] * p[2];
    float y = m[3] * p[0] + m[4] * p[1] + m[5] * p[2];
    float z = m[6] * p[0] + m[7] * p[1] + m[8] * p[2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

float SqrtF(float x)
{
    return (float)sqrt((double)x);
}

float LogF(float x)
{
    return (float)log((double)x);
}

float ExpF(float x)
{
    return (float)exp((double)x);
}

double SignedAngle(const double* o, const double* a, const double* n, const double* b)
{
    double u[3] = {a[0] - o[0], a[1] - o[1], a[2] - o[2]};
    double v[3] = {b[0] - o[0], b[1] - o[1], b[2] - o[2]};
    double lengths = Length(v) * Length(u);
    if (lengths == 0.0)
        return 0.0;
    double c = Dot(u, v) / lengths;
    if (c > 1.0)
        c = 1.0;
    if (c < -1.0)
        c = -1.0;
    double angle = acos(c);
    double w[3];
    CrossProduct(u, n, w);
    if (Dot(v, w) < 0.0)
        angle = -angle;
    return angle;
}

double AxisAngleDegrees(const double* a, const double* b, const double* c)
{
    double la = Length(a), lb = Length(b);
    if (la == 0.0 || lb == 0.0)
        return 0.0;
    double ah[3] = {a[0] / la, a[1] / la, a[2] / la};
    double w[3];
    CrossProduct(c, ah, w);
    double lw = Length(w);
    if (lw == 0.0)
        return 0.0;
    double wh[3] = {w[0] / lw, w[1] / lw, w[2] / lw};
    double bh[3] = {b[0] / lb, b[1] / lb, b[2] / lb};
    return atan2(Dot(bh, wh), Dot(bh, ah)) * 180.0 / VECTOR_PI;
}

void RotateVectorAboutAxis(const double* axis, double* v, double degrees)
{
    double w[3];
    CrossProduct(axis, v, w);
    double lw = Length(w);
    if (lw < 1e-10)
        return;
    double wh[3] = {w[0] / lw, w[1] / lw, w[2] / lw};

    // Unit vector of v's part perpendicular to the axis.
    double u[3];
    CrossProduct(axis, wh, u);
    double lu = Length(u);
    if (lu == 0.0)
        return;
    double uh[3] = {-u[0] / lu, -u[1] / lu, -u[2] / lu};

    double along = Dot(uh, v);
    double d = fabs(along);
    double theta = degrees * VECTOR_PI / 180.0;
    double c = d * cos(theta), s = d * sin(theta);
    for (int i = 0; i < 3; i++)
        v[i] = (v[i] - along * uh[i]) + c * uh[i] + s * wh[i];
}

void RotatePointAboutAxis(const double* centre, const double* axis, double* p, double degrees)
{
    double d[3] = {p[0] - centre[0], p[1] - centre[1], p[2] - centre[2]};
    RotateVectorAboutAxis(axis, d, degrees);
    p[0] = d[0] + centre[0];
    p[1] = d[1] + centre[1];
    p[2] = d[2] + centre[2];
}
