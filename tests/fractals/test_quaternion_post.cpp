// Fog, depth of field and their automatic settings over a small quaternion
// picture whose depth plane and shaded image the tests write by hand.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/quaternion/QuaternionCamera.h"
#include "fractals/quaternion/QuaternionPost.h"

namespace {

// A windowless quaternion with a depth plane and a shaded image.
struct Picture {
    Fractal* fractal;
    FractalTask* task;
    QuaternionParameters* q;
    Picture(int width, int height)
    {
        fractal = new Fractal(FT_QUATERNION, 0);
        fractal->header->Width = width;
        fractal->header->Height = height;
        task = AttachBareTask(fractal);
        q = static_cast<QuaternionParameters*>(fractal->typeParameters);
    }
    ~Picture()
    {
        FreeBareTask(fractal);
        delete fractal;
    }
    int PlaneWidth() const { return task->plane0->width; }
    float& Depth(int x, int y) { return static_cast<float*>(task->plane0->data)[y * PlaneWidth() + x]; }
    void FillDepth(float d)
    {
        for (int i = 0; i < PlaneWidth() * task->plane0->height; ++i)
            static_cast<float*>(task->plane0->data)[i] = d;
    }
    unsigned char* Pixel(int x, int y) { return task->image3D + ((size_t)y * fractal->GetImageStride() + x) * 3; }
    void FillImage(int b, int g, int r)
    {
        for (int y = 0; y < fractal->header->Height; ++y)
            for (int x = 0; x < fractal->GetImageStride(); ++x) {
                Pixel(x, y)[0] = (unsigned char)b;
                Pixel(x, y)[1] = (unsigned char)g;
                Pixel(x, y)[2] = (unsigned char)r;
            }
    }
};

}  // namespace

// The example range: surface from 0.5 to 1.0 of the ray, back plane 10.
TEST(QuaternionFog, AutoAdjustSetsRangeFromNearestAndFarthestSurface)
{
    Picture p(8, 6);
    p.FillDepth(-1);
    p.Depth(2, 2) = 0.5f;
    p.Depth(5, 3) = 1.0f;
    p.Depth(6, 1) = 0.75f;
    p.q->backClippingPlane = 10;
    AutoAdjustFog(p.q, p.fractal, 0);
    EXPECT_NEAR(p.q->FogFront, 6.0, 1e-9);
    EXPECT_NEAR(p.q->FogBack, 18.0, 1e-9);
    EXPECT_NEAR(p.q->FogDensity, -log(0.4) / 12, 1e-12);
}

// Nothing to measure (no surface, or one depth only): the settings stay.
TEST(QuaternionFog, AutoAdjustKeepsSettingsWithoutADepthRange)
{
    Picture p(8, 6);
    for (float depth : {-1.0f, 0.4f}) {
        p.FillDepth(depth);
        p.q->FogFront = 1.5, p.q->FogBack = 2.5, p.q->FogDensity = 0.7;
        AutoAdjustFog(p.q, p.fractal, 0);
        EXPECT_EQ(p.q->FogFront, 1.5);
        EXPECT_EQ(p.q->FogBack, 2.5);
        EXPECT_EQ(p.q->FogDensity, 0.7);
    }
}

// The blend of each case, from the fog's definition: pixels without a
// surface become the fog colour; F = wLin lin + wSq lin^2 + wExp e.
TEST(QuaternionFog, BlendsByDistanceAndPaintsTheBackground)
{
    struct Case {
        const char* what;
        double linear, square, expo;
        float depth;
        int expectedRed;   // the red channel of a pixel of red 200, fog red 0
    };
    // backClippingPlane 10, front 4, back 8, density 0.5: depth 0.6 is dist 6,
    // lin 0.5, e = 1 - exp(-1)
    const double e6 = 1 - exp(-1.0);
    auto blend = [](double F) { return (int)(0 * F + 200 * (1 - F) + 0.5); };
    const Case cases[] = {
        {"all weights 0 leave a surface", 0, 0, 0, 0.6f, 200},
        {"nearer than the front is clear", 1, 1, 1, 0.3f, 200},
        {"beyond the back: full linear part", 1, 0, 0, 0.9f, blend(1 / 1.0001)},
        {"linear half way", 1, 0, 0, 0.6f, blend(0.5 / 1.0001)},
        {"square half way", 0, 1, 0, 0.6f, blend(0.25 / 1.0001)},
        {"exponential part", 0, 0, 1, 0.6f, blend(e6 / 1.0001)},
        {"mixed", 1, 1, 2, 0.6f, blend((0.5 + 0.25 + 2 * e6) / 4.0001)},
        {"no surface: fog colour", 0, 0, 0, -1.0f, 0},
    };
    for (const Case& c : cases) {
        Picture p(4, 3);
        p.FillDepth(c.depth);
        p.FillImage(10, 100, 200);
        QuaternionParameters* q = p.q;
        q->FogEnabled = 1;
        q->backClippingPlane = 10;
        q->FogFront = 4, q->FogBack = 8, q->FogDensity = 0.5;
        q->FogLinear = c.linear, q->FogSquare = c.square, q->FogExp = c.expo;
        q->FogRed = 0, q->FogGreen = 50, q->FogBlue = 250;
        ApplyFog(p.fractal);
        EXPECT_EQ(p.Pixel(1, 1)[2], c.expectedRed) << c.what;
        if (c.depth < 0) {
            EXPECT_EQ(p.Pixel(1, 1)[0], 250) << c.what;
        }
    }
}

TEST(QuaternionFog, OffLeavesTheImage)
{
    Picture p(4, 3);
    p.FillDepth(-1);
    p.FillImage(1, 2, 3);
    p.q->FogEnabled = 0;
    ApplyFog(p.fractal);
    EXPECT_EQ(p.Pixel(2, 1)[0], 1);
    EXPECT_EQ(p.Pixel(2, 1)[2], 3);
}

// The central fifth of a 20 x 10 plane (21 cells wide) is columns 8..11,
// rows 4..5; surface elsewhere does not count.
TEST(QuaternionFocus, AveragesTheCentralFifth)
{
    Picture p(20, 10);
    p.FillDepth(-1);
    p.q->backClippingPlane = 4;
    p.Depth(8, 4) = 0.5f;
    p.Depth(11, 5) = 0.25f;
    p.Depth(0, 0) = 0.9f;
    p.Depth(12, 5) = 0.9f;
    AutoFocus(p.q, p.fractal, 0);
    EXPECT_NEAR(p.q->DOFPlaneDistance, (2.0 + 1.0) / 2, 1e-6);
    EXPECT_NEAR(p.q->DOFFocalLength, 0.75, 1e-6);

    // no surface in the centre: nothing changes
    p.Depth(8, 4) = p.Depth(11, 5) = -1;
    p.q->DOFPlaneDistance = 7, p.q->DOFFocalLength = 3;
    AutoFocus(p.q, p.fractal, 0);
    EXPECT_EQ(p.q->DOFPlaneDistance, 7);
    EXPECT_EQ(p.q->DOFFocalLength, 3);
}

TEST(QuaternionDepthOfField, KernelAndRadiusCap)
{
    const float* k = DepthOfFieldKernel();
    ASSERT_NE(k, nullptr);
    EXPECT_FLOAT_EQ(k[50 * 101 + 50], 0.0024867959858108648f);
    EXPECT_FLOAT_EQ(k[50 * 101 + 100], (float)(exp(-50.0 / 128) * 0.0024867959858108648));   // r = 50 is inside
    EXPECT_EQ(k[0], 0.0f);                    // the corner lies outside the disc
    EXPECT_EQ(k[(50 + 30) * 101 + 50 + 41], 0.0f);   // 30^2 + 41^2 > 2500

    struct Case {
        double coc;
        int radius, limit;
    } cases[] = {{0.49, 0, 0}, {0.5, 1, 1}, {14.6, 15, 225}, {20, 15, 400}, {1e300, 15, 1000000}, {NAN, 15, 1000000}};
    for (const Case& c : cases) {
        int radius, limit;
        DepthOfFieldRadius(c.coc, &radius, &limit);
        EXPECT_EQ(radius, c.radius) << c.coc;
        EXPECT_EQ(limit, c.limit) << c.coc;
    }
}

// A surface pixel on the focal plane keeps its own colour: its radius is 0,
// and the background around it blurs only onto pixels without surface.
TEST(QuaternionDepthOfField, InFocusPixelKeepsItsColourAndBackgroundStaysApart)
{
    Picture p(9, 9);
    p.FillDepth(-1);
    p.FillImage(40, 40, 40);
    const float d = 0.5f;
    p.Depth(4, 4) = d;
    unsigned char* centre = p.Pixel(4, 4);
    centre[0] = 200, centre[1] = 100, centre[2] = 0;
    double c0[3], cx[3], cy[3];
    ComputePixelSteps(p.q, 9, 9, c0, cx, cy);
    double v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = d * (c0[i] + 4 * cx[i] + 4 * cy[i]);
    p.q->DOFEnabled = 1;
    p.q->DOFPlaneDistance = sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    p.q->DOFFocalLength = p.q->DOFPlaneDistance * 0.5;
    p.q->DOFAperture = 5;
    ApplyDepthOfField(p.fractal);
    EXPECT_EQ(centre[0], 200);
    EXPECT_EQ(centre[1], 100);
    EXPECT_EQ(centre[2], 0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            if (x != 4 || y != 4) {
                ASSERT_EQ(p.Pixel(x, y)[0], 40) << x << "," << y;
            }
}

// Out of focus, a bright pixel spreads onto the surface pixels behind it
// while they, markedly farther, leave it alone; a pending command discards
// the whole pass.
TEST(QuaternionDepthOfField, BlursOutOfFocusAndAStopKeepsTheImage)
{
    Picture p(9, 9);
    p.FillDepth(0.8f);
    p.FillImage(0, 0, 0);
    p.Depth(4, 4) = 0.4f;
    p.Pixel(4, 4)[2] = 255;
    p.q->DOFEnabled = 1;
    p.q->DOFPlaneDistance = 100, p.q->DOFFocalLength = 50, p.q->DOFAperture = 50;

    p.task->command = FTC_STOP;
    ApplyDepthOfField(p.fractal);
    EXPECT_EQ(p.Pixel(4, 4)[2], 255);
    EXPECT_EQ(p.Pixel(5, 4)[2], 0);

    p.task->command = 0;
    ApplyDepthOfField(p.fractal);
    EXPECT_GT(p.Pixel(5, 4)[2], 0);      // the near pixel spreads onto the farther ones
    EXPECT_EQ(p.Pixel(4, 4)[2], 255);    // but the farther ones do not blur onto it
}
