// The spline object and its straight-line and cubic kinds, plus the cubic
// spline on plain arrays that the animation interpolation runs. The cubic
// set-up solves the tridiagonal system for the second derivatives with the
// Thomas algorithm; evaluation scans the knots linearly from the first.
#include "animation/Spline.h"

#include <initializer_list>
#include <new>

#include "foundation/Buffers.h"

Spline* g_ChannelSplines[3];

namespace {

const int kInitialBytes = 1000;

// Made on first use so that palettes built by static initialisers of other
// files find them; the initialiser below makes them before the program
// starts in any case.
bool MakeChannelSplines()
{
    for (Spline*& s : g_ChannelSplines)
        s = new (std::nothrow) Spline(nullptr, SPLINE_CUBIC);
    return true;
}

inline double PositiveZero(double v) { return v == 0 ? 0.0 : v; }

// Natural end: M[0] = M[n] = 0, rows 1..n-1 eliminated forward into diag
// and M (the right-hand sides), then solved back.
void SolveNatural(const double* x, const double* y, double* M, double* diag, int n)
{
    for (int i = 0; i <= n; i++)
        M[i] = 0;
    if (n < 2)
        return;
    double hPrev = x[1] - x[0];
    double sPrev = (y[1] - y[0]) / hPrev;
    for (int i = 1; i < n; i++) {
        double h = x[i + 1] - x[i];
        double s = (y[i + 1] - y[i]) / h;
        if (i == 1) {
            diag[i] = 2 * (hPrev + h);
            M[i] = 6 * (s - sPrev);
        } else {
            double q = hPrev / diag[i - 1];
            diag[i] = 2 * (hPrev + h) - hPrev * q;
            M[i] = 6 * (s - sPrev) - q * M[i - 1];
        }
        hPrev = h;
        sPrev = s;
    }
    for (int i = n - 1; i >= 1; i--)
        M[i] = (M[i] - (x[i + 1] - x[i]) * M[i + 1]) / diag[i];
}

// Clamped end (slope 0 at both ends): rows 0..n, the first and last carry
// the end conditions.
void SolveClamped(const double* x, const double* y, double* M, double* diag, int n)
{
    for (int i = 0; i <= n; i++)
        M[i] = diag[i] = 0;
    if (n < 2)
        return;
    double h0 = x[1] - x[0];
    double s0 = (y[1] - y[0]) / h0;
    diag[0] = 2 * h0;
    M[0] = 6 * s0;
    double hPrev = h0, sPrev = s0;
    for (int i = 1; i < n; i++) {
        double h = x[i + 1] - x[i];
        double s = (y[i + 1] - y[i]) / h;
        double q = hPrev / diag[i - 1];
        diag[i] = 2 * (hPrev + h) - hPrev * q;
        M[i] = 6 * (s - sPrev) - q * M[i - 1];
        hPrev = h;
        sPrev = s;
    }
    double q = hPrev / diag[n - 1];
    diag[n] = 2 * hPrev - hPrev * q;
    M[n] = (-6 * sPrev - q * M[n - 1]) / diag[n];
    for (int i = n - 1; i >= 0; i--)
        M[i] = (M[i] - (x[i + 1] - x[i]) * M[i + 1]) / diag[i];
}

// Linear and cubic evaluation over knots 0..n; M null or cubic 0 gives the
// polyline. Two knots give the unclamped straight line.
long double EvaluatePiecewiseArrays(const double* x, const double* y, const double* M, double t,
                                    int n, bool cubic)
{
    if (n < 1)
        return y[0];
    bool flat = true;
    for (int i = 1; i <= n && flat; i++)
        flat = y[i] == y[0];
    if (flat)
        return y[0];
    if (n == 1)
        return (long double)y[0] + ((long double)y[1] - y[0]) * (((long double)t - x[0]) / ((long double)x[1] - x[0]));
    int j = 1;
    while (j <= n && !(x[j - 1] <= t && t <= x[j]))
        j++;
    if (t < x[0])
        return y[0];
    if (j > n)
        return y[n];
    long double x0 = x[j - 1], x1 = x[j];
    if (!cubic)
        return y[j - 1] + ((long double)y[j] - y[j - 1]) * ((t - x0) / (x1 - x0));
    long double h = x1 - x0, A = x1 - t, B = t - x0;
    return M[j - 1] * A * A * A / (6 * h) + M[j] * B * B * B / (6 * h)
         + (y[j - 1] / h - h * M[j - 1] / 6) * A + (y[j] / h - h * M[j] / 6) * B;
}

}  // namespace

Spline** ChannelSplines()
{
    static bool made = MakeChannelSplines();
    (void)made;
    return g_ChannelSplines;
}

static Spline** const s_channelSplinesAtStart = ChannelSplines();

Spline::Spline(void* owner, int kind)
    : knotX(new GrowBuffer(kInitialBytes)), knotY(new GrowBuffer(kInitialBytes)),
      count(0), tag(0), kind(kind), flag(1), owner(owner),
      coef1(new GrowBuffer(kInitialBytes)), coef2(new GrowBuffer(kInitialBytes)),
      coef3(new GrowBuffer(kInitialBytes)), coef4(new GrowBuffer(kInitialBytes))
{
}

Spline::~Spline()
{
    delete knotX;
    delete knotY;
    delete coef1;
    delete coef2;
    delete coef3;
    delete coef4;
}

void Spline::ReserveAll(int doubles)
{
    int bytes = 8 * doubles + 80;
    for (GrowBuffer* b : { knotX, knotY, coef1, coef2, coef3, coef4 })
        b->Reserve(bytes);
}

void Spline::SetCount(int n)
{
    count = n;
    ReserveAll(n);
}

void Spline::SetCountAndTag(int value)
{
    tag = value;
    ReserveAll(count);
}

double* Spline::X() const { return (double*)knotX->GetData(); }
double* Spline::Y() const { return (double*)knotY->GetData(); }

double* Spline::Coef(int i) const
{
    GrowBuffer* b = i == 1 ? coef1 : i == 2 ? coef2 : i == 3 ? coef3 : coef4;
    return (double*)b->GetData();
}

void Spline::Compute(int end)
{
    if (end != SPLINE_END_CLAMPED && end != SPLINE_END_NATURAL)
        return;
    switch (kind) {
    case SPLINE_CUBIC: ComputeCubic(end); break;
    case SPLINE_AKIMA: ComputeAkima(); break;
    case SPLINE_HERMITE: ComputeHermite(); break;
    default: break;
    }
}

void Spline::ComputeCubic(int end)
{
    if (count < 1)
        return;
    if (end == SPLINE_END_NATURAL)
        SolveNatural(X(), Y(), Coef(1), Coef(2), count - 1);
    else
        SolveClamped(X(), Y(), Coef(1), Coef(2), count - 1);
}

double Spline::Evaluate(double x) const
{
    switch (kind) {
    case SPLINE_AKIMA: return PositiveZero(EvaluateAkima(x));
    case SPLINE_HERMITE: return PositiveZero(EvaluateHermite(x));
    default: return PositiveZero(EvaluatePiecewise(x));
    }
}

double Spline::EvaluatePiecewise(double x) const
{
    return (double)EvaluatePiecewiseArrays(X(), Y(), Coef(1), x, count - 1, kind == SPLINE_CUBIC);
}

void ComputeSplineSecondDerivatives(const double x[], const double y[], double M[], double work[],
                                    int n, int enabled)
{
    if (!enabled)
        return;
    SolveNatural(x, y, M, work, n);
}

long double EvaluateSplineArrays(const double x[], const double y[], const double M[], double t,
                                 int n, int spline)
{
    return EvaluatePiecewiseArrays(x, y, M, t, n, spline != 0);
}

double EvaluateSplineArraysRounded(const double x[], const double y[], const double M[], double t,
                                   int n, int spline)
{
    return PositiveZero((double)EvaluateSplineArrays(x, y, M, t, n, spline));
}
