// The spline against independent references: the four kinds on one knot
// set against mpmath values (tools/spline_reference.py), the end
// conditions, the special cases of few or flat knots, the Akima knot
// layout, the array functions, and Hermite segments whose end points nearly
// cancel or lie far from zero.
#include <gtest/gtest.h>

#include <math.h>

#include "animation/Spline.h"
#include "tests/animation/SplineReferenceValues.h"

namespace {

void Load(Spline& s, const double* x, const double* y, int n)
{
    s.SetCount(n);
    for (int i = 0; i < n; i++) {
        s.X()[i] = x[i];
        s.Y()[i] = y[i];
    }
}

double Slope(const Spline& s, double x, double h = 1e-6)
{
    return (s.Evaluate(x + h) - s.Evaluate(x - h)) / (2 * h);
}

// Cubic Hermite basis between (x0, y0, slope m0) and (x1, y1, slope m1):
// the curve the Hermite kind must draw, written the textbook way.
double HermiteBasis(double x0, double y0, double m0, double x1, double y1, double m1, double t)
{
    double h = x1 - x0, u = (t - x0) / h;
    return (2 * u * u * u - 3 * u * u + 1) * y0 + (u * u * u - 2 * u * u + u) * h * m0
         + (-2 * u * u * u + 3 * u * u) * y1 + (u * u * u - u * u) * h * m1;
}

}  // namespace

// Every kind on the shared knot set, inside, at and outside the knots.
TEST(Spline, KindsMatchIndependentReference)
{
    for (const SplineReferenceCase& c : kSplineReference) {
        Spline s(nullptr, c.kind);
        Load(s, kReferenceKnotX, kReferenceKnotY, 5);
        s.Compute(c.end);
        EXPECT_NEAR(s.Evaluate(c.x), c.value, 1e-12)
            << "kind " << c.kind << " end " << c.end << " at " << c.x;
    }
}

// Flat knots give their value everywhere; two knots give the unclamped
// line; three knots are clamped to the end values outside.
TEST(Spline, FewAndFlatKnots)
{
    struct Case { int kind; int n; double y[3]; double x; double expected; };
    const double xs[3] = { 0, 1, 2 };
    const Case cases[] = {
        { SPLINE_LINEAR, 3, { 5, 5, 5 }, -10, 5 },
        { SPLINE_CUBIC, 3, { 5, 5, 5 }, 10, 5 },
        { SPLINE_LINEAR, 2, { 0, 2 }, 2, 4 },
        { SPLINE_CUBIC, 2, { 0, 2 }, -1, -2 },
        { SPLINE_AKIMA, 2, { 0, 2 }, 2, 4 },
        { SPLINE_CUBIC, 3, { 0, 2, 2 }, -1, 0 },
        { SPLINE_CUBIC, 3, { 0, 2, 2 }, 3, 2 },
        { SPLINE_HERMITE, 3, { 0, 2, 2 }, -1, 0 },
        { SPLINE_HERMITE, 3, { 0, 2, 2 }, 2, 2 },
        { SPLINE_HERMITE, 1, { 7 }, 3, 7 },
        { SPLINE_AKIMA, 1, { 7 }, 3, 7 },
    };
    for (const Case& c : cases) {
        Spline s(nullptr, c.kind);
        Load(s, xs, c.y, c.n);
        s.Compute(SPLINE_END_NATURAL);
        EXPECT_DOUBLE_EQ(s.Evaluate(c.x), c.expected) << "kind " << c.kind << " n " << c.n << " at " << c.x;
    }
    Spline empty(nullptr, SPLINE_CUBIC);
    empty.Compute(SPLINE_END_NATURAL);
    EXPECT_EQ(empty.Evaluate(1.0), 0.0);
}

// A zero result is +0.0, also when the knots hold -0.0.
TEST(Spline, ZeroIsPositive)
{
    const double x[2] = { 0, 1 }, y[2] = { -0.0, -0.0 };
    for (int kind : { SPLINE_LINEAR, SPLINE_CUBIC, SPLINE_HERMITE }) {
        Spline s(nullptr, kind);
        Load(s, x, y, 2);
        s.Compute(SPLINE_END_NATURAL);
        double v = s.Evaluate(0.5);
        EXPECT_EQ(v, 0.0);
        EXPECT_FALSE(signbit(v)) << "kind " << kind;
    }
    const double m[2] = { 0, 0 };
    EXPECT_FALSE(signbit(EvaluateSplineArraysRounded(x, y, m, 0.5, 1, 1)));
}

TEST(Spline, EndConditions)
{
    const double x[3] = { 0, 1, 2 }, y[3] = { 0, 1, 0 };
    Spline clamped(nullptr, SPLINE_CUBIC);
    Load(clamped, x, y, 3);
    clamped.Compute(SPLINE_END_CLAMPED);
    EXPECT_NEAR(Slope(clamped, 1e-5, 1e-6), 0, 1e-4);
    EXPECT_NEAR(Slope(clamped, 2 - 1e-5, 1e-6), 0, 1e-4);

    Spline natural(nullptr, SPLINE_CUBIC);
    Load(natural, x, y, 3);
    natural.Compute(SPLINE_END_NATURAL);
    EXPECT_EQ(natural.Coef(1)[0], 0);
    EXPECT_EQ(natural.Coef(1)[2], 0);
    EXPECT_NE(natural.Coef(1)[1], 0);

    // An unknown end value keeps the previous solution.
    double before[3] = { clamped.Coef(1)[0], clamped.Coef(1)[1], clamped.Coef(1)[2] };
    clamped.Y()[1] = 5;
    clamped.Compute(2);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(clamped.Coef(1)[i], before[i]);
}

// Hermite: through every knot, slope 0 at the ends and the weighted mean of
// the secants inside.
TEST(Spline, HermiteSlopes)
{
    const double x[3] = { 0, 1, 2 }, y[3] = { 0, 1, 0 };
    Spline s(nullptr, SPLINE_HERMITE);
    Load(s, x, y, 3);
    s.Compute(SPLINE_END_CLAMPED);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(s.Evaluate(x[i]), y[i]);
    EXPECT_NEAR(Slope(s, 1e-4, 1e-5), 0, 1e-3);
    EXPECT_NEAR(Slope(s, 1), 0, 1e-6);
    EXPECT_NEAR(Slope(s, 2 - 1e-4, 1e-5), 0, 1e-3);
}

// Segments whose ends nearly cancel (x1 + x0 near 0) or lie far from zero:
// a polynomial in absolute x divides by x1^2 - x0^2 there or loses its
// digits; the curve must stay the Hermite curve of the segment.
TEST(Spline, HermiteDegenerateSegments)
{
    struct Case { double x[4]; double y[4]; };
    const Case cases[] = {
        { { -1, -0.05, 0.05, 1 }, { 0, 1, 3, 2 } },
        { { -1, -0.001, 0.001, 1 }, { 0, 1, 3, 2 } },
        { { 1e6, 1e6 + 1, 1e6 + 2, 1e6 + 3 }, { 0, 1, 3, 2 } },
    };
    for (const Case& c : cases) {
        Spline s(nullptr, SPLINE_HERMITE);
        Load(s, c.x, c.y, 4);
        s.Compute(SPLINE_END_NATURAL);
        // Slopes of the inner knots: interval-weighted means of the secants.
        double sec[3];
        for (int i = 0; i < 3; i++)
            sec[i] = (c.y[i + 1] - c.y[i]) / (c.x[i + 1] - c.x[i]);
        double m[4] = { 0, 0, 0, 0 };
        for (int i = 1; i < 3; i++) {
            double h0 = c.x[i] - c.x[i - 1], h1 = c.x[i + 1] - c.x[i];
            m[i] = (sec[i - 1] * h0 + sec[i] * h1) / (h0 + h1);
        }
        for (int seg = 0; seg < 3; seg++)
            for (double u : { 0.25, 0.5, 0.9 }) {
                double t = c.x[seg] + u * (c.x[seg + 1] - c.x[seg]);
                double expected = HermiteBasis(c.x[seg], c.y[seg], m[seg], c.x[seg + 1],
                                               c.y[seg + 1], m[seg + 1], t);
                EXPECT_NEAR(s.Evaluate(t), expected, 1e-9) << "segment " << seg << " at " << t;
            }
    }
}

// The Akima set-up moves the real knots two places up and adds two
// extrapolated knots on each side.
TEST(Spline, AkimaKnotLayout)
{
    Spline s(nullptr, SPLINE_AKIMA);
    Load(s, kReferenceKnotX, kReferenceKnotY, 5);
    s.Compute(SPLINE_END_NATURAL);
    EXPECT_EQ(s.GetCount(), 5);
    EXPECT_EQ(s.GetTag(), 9);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(s.X()[i + 2], kReferenceKnotX[i]);
        EXPECT_EQ(s.Y()[i + 2], kReferenceKnotY[i]);
    }
    // Extrapolated abscissae continue the spacing of the outer knots.
    EXPECT_EQ(s.X()[1], 0 + 1 - 2.5);
    EXPECT_EQ(s.X()[0], 2 * 0 - 2.5);
    EXPECT_EQ(s.X()[7], 4 + 6 - 2.5);
    EXPECT_EQ(s.X()[8], 2 * 6 - 2.5);
}

// Buffers grow with the knot count: a long straight line stays straight.
TEST(Spline, ManyKnots)
{
    Spline s(nullptr, SPLINE_CUBIC);
    s.SetCount(400);
    for (int i = 0; i < 400; i++) {
        s.X()[i] = i;
        s.Y()[i] = 2.0 * i;
    }
    s.Compute(SPLINE_END_NATURAL);
    EXPECT_NEAR(s.Evaluate(123.25), 246.5, 1e-9);
    EXPECT_NEAR(s.Evaluate(398.5), 797, 1e-9);
}

TEST(Spline, ArrayFunctions)
{
    const double* x = kReferenceKnotX;
    const double* y = kReferenceKnotY;
    double M[5] = { 9, 9, 9, 9, 9 }, work[5] = { 0 };
    ComputeSplineSecondDerivatives(x, y, M, work, 4, 0);
    for (double v : M)
        EXPECT_EQ(v, 9);
    ComputeSplineSecondDerivatives(x, y, M, work, 4, 1);
    EXPECT_EQ(M[0], 0);
    EXPECT_EQ(M[4], 0);
    for (const SplineReferenceCase& c : kSplineReference) {
        if (c.kind == SPLINE_LINEAR) {
            EXPECT_NEAR(EvaluateSplineArraysRounded(x, y, M, c.x, 4, 0), c.value, 1e-12) << c.x;
        } else if (c.kind == SPLINE_CUBIC && c.end == SPLINE_END_NATURAL) {
            EXPECT_NEAR((double)EvaluateSplineArrays(x, y, M, c.x, 4, 1), c.value, 1e-12) << c.x;
        }
    }
}

// The shared channel splines exist before main; the palettes built at
// start have already used them, so their kind is whatever the last
// rebuild set.
TEST(Spline, ChannelSplinesExist)
{
    Spline** made = ChannelSplines();
    EXPECT_EQ(made, g_ChannelSplines);
    for (Spline* s : g_ChannelSplines) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetOwner(), nullptr);
    }
}
