// The Hermite kind of the spline: a cubic per segment through its two knots
// with slope 0 at the first and last knot and, at every inner knot, the
// interval-length weighted mean of its two secant slopes. Coefficients are
// kept in local form (powers of x - x[i]): the absolute-x polynomial loses
// every digit when a segment's end points nearly cancel (x1 + x0 near 0).
#include "animation/Spline.h"

void Spline::ComputeHermite()
{
    int n = count;
    if (n < 2)
        return;
    const double* x = X();
    const double* y = Y();
    double* a = Coef(1);
    double* b = Coef(2);
    double* c = Coef(3);
    double* d = Coef(4);
    for (int i = 0; i + 1 < n; i++) {
        double h = x[i + 1] - x[i];
        double s = (y[i + 1] - y[i]) / h;
        double m0 = 0, m1 = 0;
        if (i > 0) {
            double sPrev = (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
            m0 = sPrev + (s - sPrev) * h / (x[i + 1] - x[i - 1]);
        }
        if (i + 2 < n) {
            double hNext = x[i + 2] - x[i + 1];
            double sNext = (y[i + 2] - y[i + 1]) / hNext;
            m1 = s + (sNext - s) * hNext / (x[i + 2] - x[i]);
        }
        a[i] = (m0 + m1 - 2 * s) / (h * h);
        b[i] = (3 * s - 2 * m0 - m1) / h;
        c[i] = m0;
        d[i] = y[i];
    }
}

double Spline::EvaluateHermite(double at) const
{
    const double* x = X();
    const double* y = Y();
    if (count < 2 || at <= x[0])
        return y[0];
    if (at >= x[count - 1])
        return y[count - 1];
    int k = 1;
    while (k < count && !(at < x[k]))
        k++;
    if (k >= count)
        return y[count - 1];
    int i = k - 1;
    if (at == x[i])
        return y[i];
    double u = at - x[i];
    const double* a = Coef(1);
    const double* b = Coef(2);
    const double* c = Coef(3);
    const double* d = Coef(4);
    return ((a[i] * u + b[i]) * u + c[i]) * u + d[i];
}
