// The march of quaternion rays over compiled 4D balls: depths against the
// plain 3D geometry of the slice (a ball of radius sqrt(r^2 - d^2) about the
// foot of the origin) and the camera's rays, both members of the march, and
// a tile's pixels: guessing levels, start depths from the neighbour row,
// misses in every calculation mode, colour words and flags.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "foundation/Messages.h"
#include "fractals/quaternion/QuaternionMarch.h"
#include "QuaternionFormulaFixture.h"

namespace {

// A formula that keeps the 4D ball |z|^2 < r2 (z = pixel, loop z = z).
std::string Ball(const char* r2)
{
    return std::string("Ball(QUATERNION) {\n void init(void) { z = pixel; }\n void loop(void) { z = z; }\n"
                       " bool bailout(void) { return(|z| < ") +
           r2 + "); }\n}\n";
}
// Every point inside (the orbit never escapes), or none.
const char kEverywhere[] =
    "All(QUATERNION) {\n void init(void) { z = pixel; }\n void loop(void) { z = z; }\n"
    " bool bailout(void) { return(true); }\n}\n";
const char kNowhere[] =
    "None(QUATERNION) {\n void init(void) { z = pixel; }\n void loop(void) { z = z; }\n"
    " bool bailout(void) { return(false); }\n}\n";

double Dot(const double a[3], const double b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The fraction of pixel (x, row)'s ray at which it meets the slice of the
// ball |p|^2 < r2: entering (outside observer) or leaving (inside one); -1
// when it misses or meets it beyond the view plane. *clear tells whether
// the ray is far from grazing the ball (chord longer than four march steps).
double ReferenceDepth(const QuaternionFormulaFixture& f, int x, int row, double r2, bool leaving, bool* clear)
{
    const QuaternionRay& ray = f.ray;
    double c[3], d[3], o[3];
    double cc = 0, bb = 0;
    for (int k = 0; k < 4; ++k)
        bb += ray.basePoint[k] * ray.basePoint[k];
    for (int i = 0; i < 3; ++i) {
        c[i] = 0;
        for (int k = 0; k < 4; ++k)
            c[i] += ray.basePoint[k] * ray.basis[i + 1][k];
        cc += c[i] * c[i];
        d[i] = ray.corner[i] + x * ray.stepX[i] + row * ray.stepY[i] - ray.observer[i];
        o[i] = ray.observer[i] + c[i];
    }
    const double rho2 = r2 - bb + cc;
    const double a = Dot(d, d), b = Dot(d, o), k = Dot(o, o) - rho2;
    const double disc = b * b - a * k;
    const double steps = f.fractal->header->Width * f.q->HighresMult;
    *clear = disc > 0 && 2 * sqrt(disc) / a > 4.0 / steps;
    if (disc < 0)
        return -1;
    const double t = leaving ? (-b + sqrt(disc)) / a : (-b - sqrt(disc)) / a;
    return t > 0 && t <= 1 ? t : -1;
}

}  // namespace

// Depths of a 40 x 30 picture of a ball cut by slices of several kinds
// (through the origin, shifted, tilted with a base point off every axis)
// agree with the geometry within 1e-4; rays beside the ball miss. The
// inside-out member finds the ball's far wall from an observer inside it.
TEST(QuaternionMarch, BallDepthsFollowTheCameraEquations)
{
    struct Case {
        const char* what;
        const char* r2;
        double tilt;
        double base[4];
        bool insideOut;
        double backClipping;
    } cases[] = {
        {"slice through the origin", "1", 0.0, {0, 0, 0, 0}, false, 3.4},
        {"shifted slice", "1", 0.0, {0.3, 0, 0, 0.2}, false, 3.4},
        {"tilted slice", "1", 0.5, {0.1, 0.2, 0, 0.3}, false, 3.4},
        {"inside out", "25", 0.3, {0, 0.2, 0, 0.1}, true, 10.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QuaternionFormulaFixture f(40, 30);
        f.q->insideOut = c.insideOut ? 1 : 0;
        f.q->backClippingPlane = c.backClipping;
        double basis[4][4];
        TiltedBasis(c.tilt, basis);
        f.SetSlice(basis, c.base);
        ASSERT_TRUE(f.Compile(Ball(c.r2).c_str()));
        int hits = 0, misses = 0;
        for (int row = 1; row < 30; row += 3)
            for (int x = 1; x < 40; x += 3) {
                bool clear = false;
                const double expected = ReferenceDepth(f, x, row, atof(c.r2), c.insideOut, &clear);
                f.ray.startStep = 0;
                const float depth = MarchRay(f.q, x, row, &f.ray, 0);
                if (expected < 0 && !clear) {
                    EXPECT_EQ(-1.0f, depth) << x << "," << row;
                    ++misses;
                } else if (clear) {
                    EXPECT_NEAR(expected, depth, 1e-4) << x << "," << row;
                    ++hits;
                }
            }
        // The picture holds both surface and background.
        EXPECT_GT(hits, 10);
        if (!c.insideOut)
            EXPECT_GT(misses, 10);
    }
    DeleteAllMessages();
}

// A transformation runs on every point before the iteration: halving the
// pixel doubles the ball's radius, and its solid mark comes back with the ray.
TEST(QuaternionMarch, TransformationRunsBeforeEachIteration)
{
    QuaternionFormulaFixture f(40, 30);
    FormulaInstance* t = new FormulaInstance(f.fractal, "Half", "test.sfm");
    t->holder->SetSource("Half(QUATERNION) {\n void transform(void) { pixel = pixel * 0.5; solid = true; }\n}\n");
    f.q->transformations.Append(t);
    ASSERT_TRUE(f.Compile(Ball("1").c_str()));
    int hits = 0;
    for (int row = 2; row < 30; row += 5)
        for (int x = 2; x < 40; x += 5) {
            bool clear = false;
            const double expected = ReferenceDepth(f, x, row, 4.0, false, &clear);
            if (!clear)
                continue;
            f.ray.startStep = 0;
            f.ray.transformSolid = 0;
            EXPECT_NEAR(expected, MarchRay(f.q, x, row, &f.ray, 1), 1e-4) << x << "," << row;
            EXPECT_EQ(1.0f, f.ray.transformSolid);
            ++hits;
        }
    EXPECT_GT(hits, 10);
    DeleteAllMessages();
}

namespace {

// One worker marching one tile of a row over a compiled formula.
struct TileMarch : QuaternionFormulaFixture {
    enum { LENGTH = 12 };
    QuaternionRun run;
    QuaternionTile tile{0, 10, LENGTH, 0, 1};
    uint32_t colour[LENGTH];
    float depth[LENGTH];
    uint32_t extra[LENGTH];
    uint8_t flags[LENGTH];
    float neighbour[LENGTH + 10], output[LENGTH + 10];

    TileMarch() : QuaternionFormulaFixture(40, 30)
    {
        memset(&run, 0, sizeof run);
        run.block = q;
        run.fractal = fractal;
        run.task = task;
        run.workerCount = 1;
    }
    // Empty segments, the neighbour row at n, guessing allowed or not.
    void Start(float n, bool guessAllowed)
    {
        memset(colour, 0, sizeof colour);
        memset(depth, 0, sizeof depth);
        memset(extra, 0, sizeof extra);
        memset(flags, 0, sizeof flags);
        for (float& v : neighbour)
            v = n;
        for (float& v : output)
            v = 0;
        QuaternionWorkerState& w = run.workers[0];
        w.ray = ray;
        w.ray.outputRow = output;
        w.ray.neighbourRow = neighbour;
        w.tile = &tile;
        w.colourRow = colour;
        w.depthRow = depth;
        w.extraRow = extra;
        w.flagRow = flags;
        w.guessAllowed = guessAllowed ? 1 : 0;
        w.raysMarched = w.pixelsGuessed = 0;
    }
    void March() { MarchTileRows(&run, &run.workers[0]); }
    std::string Guessed() const
    {
        std::string s;
        for (uint8_t b : flags)
            s += (b & PF_ELIMINATED) ? 'g' : '.';
        return s;
    }
};

uint32_t Bits(float f)
{
    uint32_t b;
    memcpy(&b, &f, 4);
    return b;
}

}  // namespace

// Ten misses around a pixel (seven of the neighbour row, three before it)
// guess it as background: level 1 never twice in a row, level 2 at most
// twice, level 3 always; never at the tile's ends, never in the start row,
// never next to a surface.
TEST(QuaternionMarch, GuessingLevels)
{
    TileMarch m;
    ASSERT_TRUE(m.Compile(kNowhere));
    struct Case {
        int level;
        bool allowed;
        float neighbour;
        const char* guessed;
    } cases[] = {
        {0, true, -1.0f, "............"},
        {1, true, -1.0f, "...g.g.g...."},
        {2, true, -1.0f, "...gg.gg...."},
        {3, true, -1.0f, "...gggggg..."},
        {3, false, -1.0f, "............"},
        {3, true, 0.5f, "............"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        m.q->BackgroundDetect = c.level;
        m.Start(c.neighbour, c.allowed);
        m.March();
        EXPECT_EQ(c.guessed, m.Guessed());
        int guesses = 0;
        for (int i = 0; i < TileMarch::LENGTH; ++i) {
            const bool g = c.guessed[i] == 'g';
            guesses += g;
            // Every pixel ends as background: marched misses and guesses alike.
            EXPECT_EQ(-1.0f, m.depth[i]);
            EXPECT_EQ(Bits(-1.0f), m.colour[i]);
            EXPECT_EQ(-1.0f, m.output[i]);
            EXPECT_EQ(0u, m.extra[i]);
        }
        EXPECT_EQ(guesses, m.run.workers[0].pixelsGuessed);
        EXPECT_EQ(TileMarch::LENGTH - guesses, m.run.workers[0].raysMarched);
    }
}

// Without refinement a hit lies one step past the ray's start: the nearest
// of the neighbours' depths less Backtrace % (0 at the tile's ends and next
// to a miss). Hits carry the colour index and its flags; a pixel already
// known is left alone.
TEST(QuaternionMarch, RaysStartNearTheNeighbourRow)
{
    TileMarch m;
    m.q->precision = 0;
    m.q->MaxIter = 15;
    m.q->Backtrace = 5.0;
    m.q->BackgroundDetect = 0;
    ASSERT_TRUE(m.Compile(kEverywhere));
    const double S = 40 * m.q->HighresMult;   // steps to the view plane
    // The step of the estimate 0.5 backed off by 5 %, as a float product.
    const int backedOff = (int)(40.0f * (0.5f - (float)(5.0 / 100.0)) * 2.0f);

    m.Start(0.5f, true);
    m.neighbour[7] = -1.0f;   // pixels 6, 7 and 8 see a miss
    // The even pixels are known (depth 0.5): they keep everything and the
    // odd ones between them read only the preset depths.
    for (int i = 0; i < TileMarch::LENGTH; i += 2) {
        m.colour[i] = 0x12345678u;
        m.depth[i] = 0.25f;
        m.output[i] = 0.5f;
    }
    m.March();
    for (int i = 0; i < TileMarch::LENGTH; ++i) {
        SCOPED_TRACE(i);
        if (i % 2 == 0) {
            EXPECT_EQ(0x12345678u, m.colour[i]);
            EXPECT_EQ(0.25f, m.depth[i]);
            EXPECT_EQ(0.5f, m.output[i]);
            continue;
        }
        const int start = (i == 7 || i == TileMarch::LENGTH - 1) ? 0 : backedOff;
        EXPECT_NEAR((start + 1) / S, m.depth[i], 1e-6);
        EXPECT_EQ(m.depth[i], m.output[i]);
        EXPECT_EQ(PF_INSIDE | PF_CALCULATED, m.flags[i]);
        EXPECT_EQ(0xFFFFFFFFu, m.extra[i]);
        float index;
        memcpy(&index, &m.colour[i], 4);
        EXPECT_FLOAT_EQ(15.0f / 252.0f, index);   // MaxIter 15, no colouring
    }
    EXPECT_EQ(TileMarch::LENGTH / 2, m.run.workers[0].raysMarched);
    DeleteAllMessages();
}

// A ray that leaves through the view plane is a miss in every calculation
// mode, 0 included; a ray that meets the surface is a hit in every mode.
TEST(QuaternionMarch, ViewPlaneExitIsAMissInEveryMode)
{
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        {
            TileMarch m;
            m.q->calculationMode = mode;
            m.q->BackgroundDetect = 0;
            ASSERT_TRUE(m.Compile(kNowhere));
            m.Start(-1.0f, false);
            m.March();
            for (int i = 0; i < TileMarch::LENGTH; ++i) {
                EXPECT_EQ(-1.0f, m.depth[i]);
                EXPECT_EQ(0, m.flags[i] & PF_INSIDE);
            }
        }
        TileMarch m;
        m.q->calculationMode = mode;
        ASSERT_TRUE(m.Compile(kEverywhere));
        m.Start(-1.0f, false);
        m.March();
        for (int i = 0; i < TileMarch::LENGTH; ++i) {
            EXPECT_GT(m.depth[i], 0.0f);
            EXPECT_NE(0, m.flags[i] & PF_INSIDE);
        }
    }
    DeleteAllMessages();
}

// A camera without a view direction (the observer on the viewpoint) or
// without a view plane gives misses at once instead of a march that never
// ends.
TEST(QuaternionMarch, DegenerateCameraMisses)
{
    struct Case {
        const char* what;
        double observerZ, backClipping;
    } cases[] = {
        {"observer on the viewpoint", 0.0, 3.4},
        {"view plane on the observer", -3.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QuaternionFormulaFixture f(16, 12);
        f.q->Obs_z = c.observerZ;
        f.q->backClippingPlane = c.backClipping;
        ASSERT_TRUE(f.Compile(kNowhere));
        for (int x : {0, 8, 15}) {
            f.ray.startStep = 0;
            EXPECT_EQ(-1.0f, MarchRay(f.q, x, 6, &f.ray, 0));
        }
    }
    DeleteAllMessages();
}
