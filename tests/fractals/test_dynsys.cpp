// Dynamic systems: the five subtypes' derivatives against values worked out
// apart, the trajectory against a plain reference integration, the step
// control's bounds and its endings (speed 0, Delta <= 0), the colourings
// with wrapped and clamped colours, the drawing modes and stop requests.
#include <gtest/gtest.h>

#include <math.h>
#include <vector>

#include "document/PlainBlocks.h"
#include "fractals/dynsys/DynamicSystem.h"
#include "tests/fractals/DrawingTestSupport.h"

namespace {

struct DynCase : DrawingFractal {
    explicit DynCase(int subtype = DS_LORENZ) : DrawingFractal(FT_DYNAMICSYSTEM, subtype, 40, 30)
    {
        p = Params<DynamicSystemParameters>();
        p->Time = 2.0;
        p->Delta = 0.5;
    }
    DynamicSystemParameters* p;
};

// The Lorenz trajectory the plain way: (u, v, depth, colour) per step.
// Coloring 2 (time) wraps t x 252 / 100 x ColMult into 0..251; the others
// keep the given colour.
std::vector<std::vector<double>> ReferenceLorenz(const DynamicSystemParameters& p, double colour)
{
    const double pi = 3.141592653589793;
    double x = p.X, y = p.Y, z = p.Z, h = p.Delta, t = 0;
    double al = p.Alpha * pi / 180, be = p.Beta * pi / 180;
    std::vector<std::vector<double>> out;
    do {
        if (p.Coloring == 2) {
            colour = fmod(t * 252 / 100 * p.ColMult, 252);
            if (colour < 0)
                colour += 252;
        }
        double dx = p.A * (y - x), dy = x * (p.B - z) - y, dz = x * y - p.C * z;
        double s = sqrt(dx * dx + dy * dy + dz * dz);
        while (s * h < p.Delta / 2) h *= 2;
        while (s * h > 2 * p.Delta) h /= 2;
        x += h * dx; y += h * dy; z += h * dz;
        double u = sin(al) * y - cos(al) * x, w = cos(al) * y + sin(al) * x;
        out.push_back({ u, cos(be) * z - w * sin(be), w * cos(be) + sin(be) * z, colour });
        t += h;
    } while (h + p.Time > t);
    return out;
}

TEST(DynamicSystem, DerivativesOfEverySubtype)
{
    const double point[3] = { 1, 2, 3 };
    const struct { int subtype; double d[3]; } cases[] = {
        { DS_LORENZ, { 10.0, 23.0, -5.998 } },
        { DS_LORENZ1, { -61.124611797498105, 71.26237921249265, -6.998 } },
        { DS_LORENZ3, { 11.228223482830993, -12.619246029832366, -8.998 } },
        { DS_LORENZ4, { -8.8, -21.9, -19.998 } },
        { DS_ROESSLER, { -5.0, 21.0, 23.002 } },
    };
    for (const auto& c : cases) {
        double d[3] = { 0, 0, 0 };
        ASSERT_TRUE(DynamicSystemDerivatives(c.subtype, 10, 28, 2.666, point, d));
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(c.d[i], d[i], 1e-12) << c.subtype << " " << i;
    }
    double kept[3] = { 7, 8, 9 };
    EXPECT_FALSE(DynamicSystemDerivatives(5, 10, 28, 2.666, point, kept));
    EXPECT_EQ(7, kept[0]);
}

TEST(DynamicSystem, TrajectoryMatchesThePlainIntegration)
{
    const struct { double alpha, beta, time, delta; int coloring; } cases[] = {
        { 0, 0, 2.0, 0.5, 0 }, { 30, -45, 1.0, 0.1, 0 }, { 90, 10, 0.5, 2.0, 0 },
        { 0, 0, 130.0, 40.0, 2 },   // time colours pass 252 (wrapped to 0) at t = 100
    };
    for (const auto& c : cases) {
        DynCase d;
        d.p->Coloring = c.coloring;
        d.p->Alpha = c.alpha;
        d.p->Beta = c.beta;
        d.p->Time = c.time;
        d.p->Delta = c.delta;
        TraceRecorder trace;
        ASSERT_EQ(0, CalculateDynamicSystem(d.fractal));
        std::vector<std::vector<double>> expected = ReferenceLorenz(*d.p, 254);
        ASSERT_EQ(expected.size(), TraceRecorder::steps().size()) << c.alpha;
        for (size_t i = 0; i < expected.size(); i++)
            for (int k = 0; k < 4; k++)
                EXPECT_NEAR(expected[i][k], TraceRecorder::steps()[i][k], 1e-9 * (1 + fabs(expected[i][k])));
    }
}

TEST(DynamicSystem, EveryStepMovesBetweenHalfAndTwiceDelta)
{
    for (int subtype = DS_LORENZ; subtype <= DS_ROESSLER; subtype++) {
        DynCase d(subtype);
        d.p->Beta = 90;
        d.p->Alpha = 0;
        d.p->Delta = 0.05;
        d.p->Time = 0.5;
        TraceRecorder trace;
        ASSERT_EQ(0, CalculateDynamicSystem(d.fractal));
        const auto& s = TraceRecorder::steps();
        ASSERT_GT(s.size(), 2u);
        double px = 1, py = 1, pz = 1;   // the start point
        for (const auto& step : s) {
            // alpha 0, beta 90: u = -x, v = -y, depth = z.
            double x = -step[0], y = -step[1], z = step[2];
            double moved = sqrt((x - px) * (x - px) + (y - py) * (y - py) + (z - pz) * (z - pz));
            EXPECT_GE(moved, 0.025 * (1 - 1e-9)) << subtype;
            EXPECT_LE(moved, 0.1 * (1 + 1e-9)) << subtype;
            px = x; py = y; pz = z;
        }
    }
}

TEST(DynamicSystem, LoopEndsWhereTheStepCannotWork)
{
    // Catches: doubling h forever at speed 0; stepping with Delta <= 0.
    const struct { double x, y, z, time, delta; size_t steps; } cases[] = {
        { 1, 1, 1, 0.0, 0.01, 1 },      // Time 0: one step
        { 1, 1, 1, -1.0, 0.5, 0 },      // Delta + Time <= 0: nothing
        { 1, 1, 1, 100.0, 0.0, 0 },     // Delta 0
        { 1, 1, 1, 100.0, -0.5, 0 },    // Delta negative
        { 0, 0, 0, 100.0, 0.1, 1 },     // Lorenz at rest at the origin
    };
    for (const auto& c : cases) {
        DynCase d;
        d.p->X = c.x; d.p->Y = c.y; d.p->Z = c.z;
        d.p->Time = c.time;
        d.p->Delta = c.delta;
        TraceRecorder trace;
        EXPECT_EQ(0, CalculateDynamicSystem(d.fractal)) << c.time << " " << c.delta;
        EXPECT_EQ(c.steps, TraceRecorder::steps().size()) << c.time << " " << c.delta;
    }
    // A subtype outside 0..4 has no derivatives: the point stands, the loop ends.
    DynCase odd(9);
    TraceRecorder trace;
    EXPECT_EQ(0, CalculateDynamicSystem(odd.fractal));
    EXPECT_EQ(1u, TraceRecorder::steps().size());
}

TEST(DynamicSystem, ColouringsGiveUsablePaletteColours)
{
    const struct { int coloring; double colMult; int wrap; double first, lowest, highest; } cases[] = {
        { 0, 1, 1, 254, 254, 254 },
        { 1, 1, 1, 0, 0, 0 },
        { 2, -3, 1, 0, 0, 251.99 },   // negative factors wrap into 0..251
        { 2, -3, 0, 0, 0, 0 },        // ... or clamp at 0
        { 3, -7, 1, -1, 0, 251.99 },
        { 3, 50, 0, -1, 0, 251 },
    };
    for (const auto& c : cases) {
        DynCase d;
        d.p->Coloring = c.coloring;
        d.p->ColMult = c.colMult;
        d.p->WrapAround = c.wrap;
        d.p->Time = 3;
        d.p->Delta = 0.3;
        TraceRecorder trace;
        ASSERT_EQ(0, CalculateDynamicSystem(d.fractal));
        const auto& s = TraceRecorder::steps();
        if (c.first >= 0) {
            EXPECT_EQ(c.first, s[0][3]) << c.coloring;
        }
        for (const auto& step : s) {
            EXPECT_GE(step[3], c.lowest) << c.coloring;
            EXPECT_LE(step[3], c.highest) << c.coloring;
        }
    }
}

TEST(DynamicSystem, LinesStartWithAMovePointsCountHits)
{
    DynCase lines;
    lines.p->Time = 0;
    lines.p->Delta = 0.01;
    lines.p->SetCorners(-5, 5, 5, -5);
    ASSERT_EQ(0, CalculateDynamicSystem(lines.fractal));
    EXPECT_EQ(std::vector<unsigned char>(lines.Image().size(), 252), lines.Image());

    lines.p->Time = 1;
    ASSERT_EQ(0, CalculateDynamicSystem(lines.fractal));
    std::vector<unsigned char> first = lines.Image();
    EXPECT_NE(std::vector<unsigned char>(first.size(), 252), first);
    std::fill(lines.task->values, lines.task->values + lines.fractal->GetBufferWidth() * lines.Height(), 0.0f);
    ASSERT_EQ(0, CalculateDynamicSystem(lines.fractal));
    EXPECT_EQ(first, lines.Image());

    // Points with Coloring 4: the values count the hits of each pixel.
    DynCase points;
    points.p->Drawmode = 1;
    points.p->Coloring = 4;
    points.p->SetCorners(-50, 50, 50, -50);
    points.p->Time = 3;
    points.p->Delta = 0.2;
    TraceRecorder trace;
    ASSERT_EQ(0, CalculateDynamicSystem(points.fractal));
    double hits = 0;
    for (float v : points.Values())
        hits += v;
    EXPECT_EQ((double)TraceRecorder::steps().size(), hits);
}

TEST(DynamicSystem, StopsOnACommand)
{
    DynCase d;
    d.p->Time = 1e9;
    d.task->command = FTC_STOP;
    TraceRecorder trace;
    EXPECT_EQ(3, CalculateDynamicSystem(d.fractal));
    EXPECT_EQ(1u, TraceRecorder::steps().size());
}

}  // namespace
