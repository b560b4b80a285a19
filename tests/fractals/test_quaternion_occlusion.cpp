// Ambient occlusion and shadow maps over hand-made depth planes: a flat
// plane square to the view (nothing occludes it, nothing shadows it) and the
// same plane with a nearer square in front of part of it (occlusion beside
// the step, a shadow beside the square on the side away from the light).
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/quaternion/QuaternionOcclusion.h"
#include "fractals/quaternion/QuaternionRun.h"
#include "fractals/quaternion/QuaternionShading.h"

namespace {

const int W = 24, H = 18;
const float kFar = 0.8f, kNear = 0.4f;

struct Picture {
    Fractal fractal{FT_QUATERNION, 0};
    QuaternionParameters* q = static_cast<QuaternionParameters*>(fractal.typeParameters);
    FractalTask* task = nullptr;
    std::vector<float> distances;

    Picture()
    {
        fractal.header->Width = W;
        fractal.header->Height = H;
        task = AttachBareTask(&fractal);
        q->Obs_x = q->Obs_y = 0, q->Obs_z = -3;
        q->Viewpoint_x = q->Viewpoint_y = q->Viewpoint_z = 0;
        q->top_x = q->top_z = 0, q->top_y = 1;
        q->AOEnabled = 1;
        q->AOSamples = 30;
        q->AORadius = 0.2;
        q->AOStrength = 2;
        q->AOConeRadius = 150;
        for (int i = 0; i < 8; ++i)
            q->lights.enabled[i] = q->lights.shadow[i] = 0;
        distances.resize((size_t)task->plane0->width * H);
        Fill(kFar);
    }
    ~Picture()
    {
        ForgetQuaternionCache(q);
        FreeBareTask(&fractal);
    }
    int PW() const { return task->plane0->width; }
    float& Depth(int x, int y) { return static_cast<float*>(task->plane0->data)[y * PW() + x]; }
    float Ao(int x, int y) const { return static_cast<const float*>(task->plane2->data)[y * task->plane2->width + x]; }
    void Fill(float d)
    {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < PW(); ++x)
                Depth(x, y) = d;
    }
    // The nearer square: columns 12..17, rows 6..11.
    void AddSquare()
    {
        for (int y = 6; y <= 11; ++y)
            for (int x = 12; x <= 17; ++x)
                Depth(x, y) = kNear;
    }
    void Occlude() { RenderAmbientOcclusion(&fractal, distances.data()); }
    QuaternionSurfaceCache* Cache() { return QuaternionCacheOf(q); }
};

}  // namespace

// A plane square to the view closes nothing of its own hemisphere; the last
// row and the last image and spare columns stay open; the cache records the
// settings the plane was made with.
TEST(QuaternionAmbientOcclusion, FlatPlaneIsOpen)
{
    Picture p;
    p.Occlude();
    ASSERT_TRUE(p.task->plane2->IsAllocated());
    // The depth plane's pixel grid makes samples near the image's border
    // land a little off their rays; away from it nothing occludes.
    double sum = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            sum += p.Ao(x, y);
            if (x >= 4 && x <= W - 4 && y >= 2 && y <= H - 3) {
                EXPECT_LT(p.Ao(x, y), 0.1f) << x << "," << y;
            }
        }
    EXPECT_LT(sum / (W * H), 0.03);
    for (int y = 0; y < H; ++y) {
        EXPECT_EQ(p.Ao(W - 1, y), 0.0f);
        EXPECT_EQ(p.Ao(W, y), 0.0f);
    }
    for (int x = 0; x <= W; ++x)
        EXPECT_EQ(p.Ao(x, H - 1), 0.0f);
    EXPECT_EQ(p.Cache()->aoCacheRadius, 0.2);
    EXPECT_EQ(p.Cache()->aoCacheSamples, 30);
    EXPECT_EQ(p.Cache()->aoCacheConeRadius, 150.0);
}

// The far plane beside a nearer block is occluded; far from it, it is not.
TEST(QuaternionAmbientOcclusion, StepOccludesTheFarSideBesideIt)
{
    Picture p;
    p.AddSquare();
    p.Occlude();
    float beside = 0;
    for (int y = 7; y <= 10; ++y)
        beside = fmaxf(beside, fmaxf(p.Ao(10, y), p.Ao(11, y)));
    EXPECT_GT(beside, 0.3f);
    for (int y = 7; y <= 10; ++y)
        for (int x = 4; x <= 7; ++x)
            EXPECT_LT(p.Ao(x, y), 0.05f) << x << "," << y;
}

// The plane is rendered once per setting of radius, strength, samples and
// cone; the intensity only weighs it in the shading. A command ends the pass
// and leaves the cache invalid.
TEST(QuaternionAmbientOcclusion, CacheDecidesWhenToRenderAgain)
{
    Picture p;
    p.Occlude();
    float* cells = static_cast<float*>(p.task->plane2->data);
    const int marker = 5 * p.task->plane2->width + 5;
    cells[marker] = 0.77f;
    p.q->AOIntensity = 0.9;
    p.Occlude();
    EXPECT_EQ(cells[marker], 0.77f);
    p.q->AOStrength = 3;
    p.Occlude();
    EXPECT_LT(cells[marker], 0.1f);

    p.Cache()->aoCacheRadius = -1;
    cells[marker] = 0.77f;
    p.task->command = 2;
    p.Occlude();
    p.task->command = 0;
    EXPECT_EQ(p.Cache()->aoCacheRadius, -1.0);

    // AOEnabled 0: nothing runs.
    p.q->AOEnabled = 0;
    p.Occlude();
    EXPECT_EQ(p.Cache()->aoCacheRadius, -1.0);
}

// Maps are sized by the multiplier for every light that casts shadows, also
// a disabled one (left clear); the pending flag clears only when an enabled
// shadow-casting light was drawn.
TEST(QuaternionShadows, MapsFollowTheLightFlags)
{
    Picture p;
    p.q->shadowMapMultiplier = 0.5;
    p.q->lights.shadow[3] = 1;   // disabled
    RenderShadows(&p.fractal);
    QuaternionSurfaceCache* cache = p.Cache();
    ASSERT_NE(cache->shadowMaps[3], nullptr);
    EXPECT_EQ(cache->shadowMaps[3]->width, 12);
    EXPECT_EQ(cache->shadowMaps[3]->height, 9);
    EXPECT_EQ(cache->shadowMaps[0], nullptr);
    EXPECT_EQ(cache->shadowsPending, 1);
    for (int i = 0; i < 12 * 9; ++i)
        ASSERT_EQ(static_cast<float*>(cache->shadowMaps[3]->data)[i], 1e20f);

    p.q->lights.enabled[1] = p.q->lights.shadow[1] = 1;
    p.q->lights.shadow[3] = 0;
    RenderShadows(&p.fractal);
    EXPECT_EQ(cache->shadowsPending, 0);
    EXPECT_EQ(cache->shadowMaps[3], nullptr);
    ASSERT_NE(cache->shadowMaps[1], nullptr);
    int drawn = 0;
    for (int i = 0; i < 12 * 9; ++i)
        drawn += static_cast<float*>(cache->shadowMaps[1]->data)[i] < 1e20f;
    EXPECT_GT(drawn, 0);

    // Without a pending request the maps stay as they are.
    static_cast<float*>(cache->shadowMaps[1]->data)[0] = -5;
    RenderShadows(&p.fractal);
    EXPECT_EQ(static_cast<float*>(cache->shadowMaps[1]->data)[0], -5);
}

// One diffuse light to the right of the observer: the flat plane is nowhere
// in shadow; with the nearer square the shadow falls on the far plane left
// of the square and nowhere right of it.
TEST(QuaternionShadows, SquareCastsAShadowAwayFromTheLight)
{
    for (bool square : {false, true}) {
        Picture p;
        if (square)
            p.AddSquare();
        p.q->lights.enabled[0] = p.q->lights.shadow[0] = p.q->lights.relative[0] = 1;
        p.q->lights.position[0][0] = 2, p.q->lights.position[0][1] = 0, p.q->lights.position[0][2] = 0;
        p.q->lights.ambient[0] = 0;
        p.q->lights.specularStrength[0] = 0;
        p.q->LightModel = 0;
        p.q->roughness = 0;
        p.q->softShadow = 0;
        p.q->shadowMapMultiplier = 1;
        RenderShadows(&p.fractal);
        QuaternionRenderState state;
        state.fractal = &p.fractal;
        PrepareCameraBasis(&state.camera, p.q);
        SetupShadowProjection(&state, p.q);
        PrepareLights(state.lights, &p.fractal, p.q);
        ASSERT_NE(state.shadowMaps[0], nullptr);
        QuaternionPixelFrame frame;
        PreparePixelFrame(&frame, p.q, W, H);
        int shadowedLeft = 0, shadowedElsewhere = 0;
        for (int y = 0; y + 1 < H; ++y)
            for (int x = 0; x + 1 < W; ++x) {
                if (p.Depth(x, y) != kFar || p.Depth(x + 1, y) != kFar || p.Depth(x, y + 1) != kFar)
                    continue;
                double P[3], Q[3], n[3];
                ASSERT_TRUE(PixelSurface(frame, static_cast<float*>(p.task->plane0->data), p.PW(), H, x, y, false,
                                         P, Q, n));
                int32_t lit[3] = {200, 200, 200}, shaded[3] = {200, 200, 200};
                ShadeSurfacePoint(&state, p.q, P, Q, n, lit, 0, 0, x, y, kFar);
                ShadeSurfacePoint(&state, p.q, P, Q, n, shaded, 1, 0, x, y, kFar);
                if (shaded[0] == lit[0])
                    continue;
                if (x < 12 && y >= 5 && y <= 12)
                    ++shadowedLeft;
                else
                    ++shadowedElsewhere;
            }
        EXPECT_EQ(shadowedElsewhere, 0) << square;
        if (square) {
            EXPECT_GT(shadowedLeft, 3);
        } else {
            EXPECT_EQ(shadowedLeft, 0);
        }
    }
}
