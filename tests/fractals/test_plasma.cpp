// Plasma: the generator against a 64-bit reference, the midpoint
// subdivision of square, wide and tall images against a plain recursive
// reference, kept points, Sigma 0, stops; the fBm method against the noise
// worked out directly, with one pass and four passes giving the same
// values, a continued calculation filling only unset pixels.
#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>
#include <vector>

#include "document/PlainBlocks.h"
#include "fractals/plasma/Plasma.h"
#include "tests/fractals/DrawingTestSupport.h"

namespace {

// ----- Reference generator and subdivision, written from the steps.

struct RefRandom {
    int64_t state;
    float Next()
    {
        float x[4];
        for (int i = 0; i < 4; i++) {
            int64_t v = ((state * 3677 + 3680) % 2147483648LL + 2147483648LL) % 2147483648LL;
            x[i] = (float)v;
            state = v - 1;
        }
        float sum = (float)((((double)x[3] + x[2]) + x[1]) + x[0]);
        return (float)(sum * 8.065490087e-10 - 3.464101615);
    }
};

struct RefPlasma {
    int w, h;
    double sigma, hurst;
    RefRandom random;
    std::vector<float> v;
    float& At(int x, int y) { return v[y * w + x]; }

    void Edge(int x, int y, float a, float b, double avg, int mx, int my, double offset)
    {
        if (At(x, y) != 0.0f)
            return;
        bool mirror = mx >= 0 && my >= 0 && mx < w && my < h && At(mx, my) != 0.0f;
        double base = mirror ? ((double)a + b + avg + At(mx, my)) / 4 : ((double)a + b + avg) / 3;
        At(x, y) = (float)(base + random.Next() * offset);
    }
    void Split(int x0, int y0, int x1, int y1, int depth)
    {
        int dx = x1 - x0, dy = y1 - y0;
        if (dx <= 1 && dy <= 1)
            return;
        double scale = sigma * pow(pow(0.5, hurst), depth);
        int xm = (x0 + x1) / 2, ym = (y0 + y1) / 2;
        float c00 = At(x0, y0), c10 = At(x1, y0), c01 = At(x0, y1), c11 = At(x1, y1);
        double avg = ((double)c11 + c00 + c01 + c10) / 4;
        if (dx >= 2 * dy) {
            double r = sqrt((double)dy * dy + (double)(xm - x0) * (xm - x0));
            Edge(xm, y0, c00, c10, avg, xm, 2 * y0 - ym, r * scale);
            Edge(xm, y1, c01, c11, avg, xm, 2 * y1 - ym, r * scale);
            Split(x0, y0, xm, y1, depth + 1);
            Split(xm, y0, x1, y1, depth + 1);
        } else if (dy >= 2 * dx) {
            double r = sqrt((double)dx * dx + (double)(ym - y0) * (ym - y0));
            Edge(x0, ym, c00, c01, avg, 2 * x0 - xm, ym, r * scale);
            Edge(x1, ym, c10, c11, avg, 2 * x1 - xm, ym, r * scale);
            Split(x0, y0, x1, ym, depth + 1);
            Split(x0, ym, x1, y1, depth + 1);
        } else {
            double r = sqrt((double)(xm - x0) * (xm - x0) + (double)(ym - y0) * (ym - y0));
            At(xm, ym) = (float)avg;
            Edge(xm, y0, c00, c10, avg, xm, 2 * y0 - ym, r * scale);
            Edge(xm, y1, c01, c11, avg, xm, 2 * y1 - ym, r * scale);
            Edge(x0, ym, c00, c01, avg, 2 * x0 - xm, ym, r * scale);
            Edge(x1, ym, c10, c11, avg, 2 * x1 - xm, ym, r * scale);
            Split(x0, y0, xm, ym, depth + 1);
            Split(xm, y0, x1, ym, depth + 1);
            Split(xm, ym, x1, y1, depth + 1);
            Split(x0, ym, xm, y1, depth + 1);
        }
    }
    RefPlasma(int width, int height, double s, double hh, int seed) : w(width), h(height), sigma(s), hurst(hh)
    {
        random.state = seed;
        v.assign((size_t)w * h, 0.0f);
        double d = sqrt((double)w * w + (double)h * h);
        At(0, 0) = (float)(random.Next() * d * s);
        At(w - 1, 0) = (float)(random.Next() * d * s);
        At(0, h - 1) = (float)(random.Next() * d * s);
        At(w - 1, h - 1) = (float)(random.Next() * d * s);
        Split(0, 0, w - 1, h - 1, 1);
    }
};

// The fBm noise worked out directly (double precision).
double ReferenceFbm(double zr, double zi, const PlasmaParameters& p)
{
    const double pi = 3.141592653589793;
    double angle = pi / 2 * (p.Anglestep / 90.0);
    double pr = zr, pi2 = zi, sum = 0, freq = 1;
    auto hash = [&](double a, double b) { return fmod(pow(fmod(pow(a, p.Power), 65536) + b, p.Power), 65536); };
    auto grad = [&](double b, double* g0, double* g1) {
        *g0 = fmod(pow(b, p.Power) * 0.25, 512) - 256;
        *g1 = fmod(pow(b + 1, p.Power) * 0.25, 512) - 256;
        double n = sqrt(*g0 * *g0 + *g1 * *g1);
        *g0 /= n;
        *g1 /= n;
    };
    for (double i = p.Octaves; i > 0; i -= 1) {
        double fx = floor(pr), fy = floor(pi2);
        double bx0 = fmod(fx, 256), by0 = fmod(fy, 256);
        if (bx0 < 0) bx0 += 256;
        if (by0 < 0) by0 += 256;
        double bx1 = fmod(bx0 + 1, 256), by1 = fmod(by0 + 1, 256);
        double rx0 = pr - fx, ry0 = pi2 - fy, rx1 = rx0 - 1, ry1 = ry0 - 1;
        double g[4][2];
        grad(hash(bx0, by0), &g[0][0], &g[0][1]);
        grad(hash(bx1, by0), &g[1][0], &g[1][1]);
        grad(hash(bx0, by1), &g[2][0], &g[2][1]);
        grad(hash(bx1, by1), &g[3][0], &g[3][1]);
        double u1 = rx0 * g[0][0] + ry0 * g[0][1], v1 = rx1 * g[1][0] + ry0 * g[1][1];
        double u2 = rx0 * g[2][0] + ry1 * g[2][1], v2 = rx1 * g[3][0] + ry1 * g[3][1];
        double sx = rx0 * rx0 * (3 - 2 * rx0), sy = ry0 * ry0 * (3 - 2 * ry0);
        double a = u1 + sx * (v1 - u1), b = u2 + sx * (v2 - u2);
        sum += (a + sy * (b - a)) * freq;
        freq *= p.Step;
        double nr = (pr * cos(angle) - pi2 * sin(angle)) / p.Step;
        double ni = (pr * sin(angle) + pi2 * cos(angle)) / p.Step;
        pr = nr;
        pi2 = ni;
    }
    return 0.001 + fabs(sum * 252);
}

struct PlasmaCase : DrawingFractal {
    PlasmaCase(int w, int h) : DrawingFractal(FT_PLASMA, 0, w, h) { p = Params<PlasmaParameters>(); }
    void ClearValues() { memset(task->values, 0, sizeof(float) * fractal->GetBufferWidth() * Height()); }
    PlasmaParameters* p;
};

TEST(Plasma, GeneratorMatchesTheReferenceAndIsNearGaussian)
{
    const int seeds[] = { 1000, 0, -7, 2147483647 };
    for (int seed : seeds) {
        PlasmaCase t(4, 4);
        t.task->plasmaRandomState = seed;
        RefRandom ref = { seed };
        for (int i = 0; i < 50; i++)
            ASSERT_EQ(ref.Next(), PlasmaRandom(t.task)) << seed << " draw " << i;
        EXPECT_EQ((int)ref.state, t.task->plasmaRandomState) << seed;
    }
    PlasmaCase t(4, 4);
    t.task->plasmaRandomState = 1000;
    double sum = 0, squares = 0;
    const int n = 20000;
    for (int i = 0; i < n; i++) {
        double v = PlasmaRandom(t.task);
        sum += v;
        squares += v * v;
    }
    EXPECT_NEAR(0.0, sum / n, 0.05);
    EXPECT_NEAR(1.0, squares / n, 0.05);
}

TEST(Plasma, MidpointMatchesTheReferenceForEveryShape)
{
    const struct { int w, h; double sigma, hurst; int seed; } cases[] = {
        { 9, 9, 0.4, 0.0, 1000 },     // squares all the way
        { 33, 9, 0.4, 0.5, 17 },      // wide first
        { 9, 33, 1.5, 0.2, 99 },      // tall first
        { 40, 31, 0.4, 0.8, 5 },      // mixed, with rectangles coloured on the way
        { 2, 2, 0.4, 0.0, 3 },        // corners only
    };
    for (const auto& c : cases) {
        PlasmaCase t(c.w, c.h);
        t.p->Sigma = c.sigma;
        t.p->H = c.hurst;
        t.p->Seed = c.seed;
        ASSERT_EQ(0, CalculatePlasma(t.fractal));
        RefPlasma ref(c.w, c.h, c.sigma, c.hurst, c.seed);
        for (int y = 0; y < c.h; y++)
            for (int x = 0; x < c.w; x++)
                ASSERT_FLOAT_EQ(ref.At(x, y), t.Value(x, y)) << c.w << "x" << c.h << " at " << x << "," << y;

        // The same seed again, from a cleared buffer: the same field and image.
        std::vector<float> values = t.Values();
        std::vector<unsigned char> image = t.Image();
        t.ClearValues();
        ASSERT_EQ(0, CalculatePlasma(t.fractal));
        EXPECT_EQ(values, t.Values());
        EXPECT_EQ(image, t.Image());
    }
}

TEST(Plasma, MidpointKeepsSetPointsAndFlattensAtSigmaZero)
{
    PlasmaCase t(17, 17);
    t.p->Sigma = 0.0;
    ASSERT_EQ(0, CalculatePlasma(t.fractal));
    for (float v : t.Values())
        ASSERT_EQ(0.0f, v);

    // A point set before the calculation keeps its value (the centre is
    // the one point that is always overwritten, by the corners' mean).
    PlasmaCase k(17, 17);
    k.task->values[4 * k.fractal->GetBufferWidth() + 8] = 123.0f;
    ASSERT_EQ(0, CalculatePlasma(k.fractal));
    EXPECT_EQ(123.0f, k.Value(8, 4));
}

TEST(Plasma, MidpointStopsOnACommand)
{
    PlasmaCase t(17, 17);
    t.task->command = FTC_STOP;
    EXPECT_EQ(3, CalculatePlasma(t.fractal));
    t.task->command = FTC_REDRAW3D;
    EXPECT_EQ(0, CalculatePlasma(t.fractal));
    EXPECT_EQ(0, t.task->command);
}

TEST(Plasma, FbmGivesTheSameValuesInOneOrFourPasses)
{
    PlasmaCase one(12, 9), four(12, 9);
    one.p->Method = four.p->Method = 1;
    one.p->Passes = 0;
    four.p->Passes = 3;
    ASSERT_EQ(0, CalculatePlasma(one.fractal));
    ASSERT_EQ(0, CalculatePlasma(four.fractal));
    EXPECT_EQ(one.Values(), four.Values());
    EXPECT_EQ(1.0, four.task->progress);

    // Each pixel against the noise worked out directly, and never below 0.001.
    const PlasmaParameters& p = *one.p;
    for (int r = 0; r < 9; r++)
        for (int c = 0; c <= 12; c++) {
            double zr = -0.8 + c * 1.6 / 12, zi = -0.6 + r * 1.2 / 9;
            float v = one.Value(c, r);
            EXPECT_GE(v, 0.001f);
            EXPECT_NEAR(ReferenceFbm(zr, zi, p), v, 1e-4 * (1 + v)) << c << "," << r;
        }
}

TEST(Plasma, FbmContinueFillsOnlyUnsetPixels)
{
    PlasmaCase t(8, 6);
    t.p->Method = 1;
    t.p->Passes = 3;
    for (int r = 0; r < 6; r++)
        t.task->values[r * t.fractal->GetBufferWidth() + 2] = 7.0f;
    t.task->lastCalculateCommand = FTC_CONTINUE;
    t.task->passLimit = 1;
    ASSERT_EQ(0, CalculatePlasma(t.fractal));
    for (int r = 0; r < 6; r++) {
        EXPECT_EQ(7.0f, t.Value(2, r));
        EXPECT_GE(t.Value(3, r), 0.001f);
    }

    PlasmaCase stop(8, 6);
    stop.p->Method = 1;
    stop.task->command = FTC_STOP;
    EXPECT_EQ(3, CalculatePlasma(stop.fractal));
}

}  // namespace
