// The Akima kind of the spline: slopes from weighted neighbouring secants,
// with two extrapolated knots on each side. The set-up moves the real knots
// two places up in the knot arrays and fills the four outer slots; the
// coefficients are local (powers of x - x[i]).
#include "animation/Spline.h"

#include <math.h>
#include <vector>

void Spline::ComputeAkima()
{
    int n = count;
    if (n < 3)
        return;
    SetCountAndTag(n + 4);
    double* x = X();
    double* y = Y();
    for (int i = n - 1; i >= 0; i--) {
        x[i + 2] = x[i];
        y[i + 2] = y[i];
    }
    std::vector<double> h(n + 4), dy(n + 4), m(n + 4);
    auto secant = [&](int i) {
        h[i] = x[i + 1] - x[i];
        dy[i] = y[i + 1] - y[i];
        m[i] = dy[i] / h[i];
    };
    for (int i = 2; i <= n; i++)
        secant(i);

    x[1] = x[2] + x[3] - x[4];
    y[1] = y[2] + (x[2] - x[1]) * (m[3] - 2 * m[2]);
    secant(1);
    x[0] = 2 * x[2] - x[4];
    y[0] = y[1] + (x[1] - x[0]) * (m[2] - 2 * m[1]);
    secant(0);

    x[n + 2] = x[n] + x[n + 1] - x[n - 1];
    y[n + 2] = y[n + 1] + (x[n + 2] - x[n + 1]) * (2 * m[n] - m[n - 1]);
    secant(n + 1);
    x[n + 3] = 2 * x[n + 1] - x[n - 1];
    y[n + 3] = y[n + 2] + (x[n + 3] - x[n + 2]) * (2 * m[n + 1] - m[n]);
    secant(n + 2);

    double* quadratic = Coef(1);
    double* cubic = Coef(2);
    double* t = Coef(3);
    t[0] = t[1] = 0;
    for (int i = 2; i <= n + 1; i++) {
        double w1 = fabs(m[i + 1] - m[i]);
        double w2 = fabs(m[i - 1] - m[i - 2]);
        t[i] = w1 + w2 == 0 ? 0 : (w1 * m[i - 1] + w2 * m[i]) / (w1 + w2);
    }
    for (int i = 2; i <= n; i++) {
        quadratic[i] = (3 * m[i] - 2 * t[i] - t[i + 1]) / h[i];
        cubic[i] = (t[i] + t[i + 1] - 2 * m[i]) / (h[i] * h[i]);
    }
}

// Outside the real knots the curve keeps the nearest real knot's value:
// below the first one the extrapolated segments have no coefficients.
double Spline::EvaluateAkima(double at) const
{
    const double* x = X();
    const double* y = Y();
    if (count < 2)
        return y[0];
    if (count == 2)
        return y[0] + (y[1] - y[0]) * ((at - x[0]) / (x[1] - x[0]));
    if (at < x[2])
        return y[2];
    int k = 3;
    while (k < count + 2 && !(at < x[k]))
        k++;
    if (k >= count + 2)
        return y[count + 1];
    int i = k - 1;
    double a = at - x[i];
    return y[i] + Coef(3)[i] * a + Coef(1)[i] * a * a + Coef(2)[i] * a * a * a;
}
