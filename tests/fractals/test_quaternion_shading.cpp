// Quaternion shading: the light table of both light models, the colour of
// one surface point (normal flip, jitter, shadow footprint and map edges,
// ambient occlusion, AOOnly, hue/saturation/lightness) and the shading of
// an image row. Most cases use one white light at the observer and a point
// straight ahead, so the lit colour is base x diffuse x (1 - shadow / 2)
// and every expectation can be worked out by hand.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "compiler/CompileHost.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/quaternion/QuaternionShading.h"

namespace {

// A small quaternion with a bare task (for gammaTable and the planes) and
// one enabled light at the observer: diffuse 1 unless changed, no ambient,
// no specular, gamma 1, contrast 1, no roughness.
struct Scene {
    Fractal fractal{FT_QUATERNION, 0};
    QuaternionParameters* q = static_cast<QuaternionParameters*>(fractal.typeParameters);
    FractalTask* task = nullptr;
    QuaternionRenderState state;
    Array2D map;

    Scene(int width = 6, int height = 4)
    {
        fractal.header->Width = width;
        fractal.header->Height = height;
        task = AttachBareTask(&fractal);
        q->Obs_x = q->Obs_y = 0, q->Obs_z = -3;
        q->Viewpoint_x = q->Viewpoint_y = q->Viewpoint_z = 0;
        q->top_x = q->top_z = 0, q->top_y = 1;
        q->LightModel = 0;
        q->gamma = q->contrast = 1;
        q->roughness = 0;
        q->softShadow = 0;
        q->AOOnly = 0;
        for (int i = 0; i < 8; ++i) {
            q->lights.enabled[i] = 0;
            q->lights.shadow[i] = 0;
        }
        Light(0, 0, 0, 0, 1, 0);
        state.fractal = &fractal;
    }
    ~Scene()
    {
        map.Free();
        FreeBareTask(&fractal);
    }
    // Light i at (x, y, z) in camera coordinates.
    void Light(int i, double x, double y, double z, double diffuse, double ambient)
    {
        q->lights.enabled[i] = 1;
        q->lights.relative[i] = 1;
        q->lights.position[i][0] = x, q->lights.position[i][1] = y, q->lights.position[i][2] = z;
        q->lights.diffuse[i] = diffuse;
        q->lights.ambient[i] = ambient;
        q->lights.specularStrength[i] = 0;
        q->lights.intensity[i] = 1;
        q->lights.reflection[i] = 0;
        for (int k = 0; k < 3; ++k)
            q->lights.colour[i][k] = 255;
    }
    void Prepare()
    {
        PrepareCameraBasis(&state.camera, q);
        PrepareLights(state.lights, &fractal, q);
    }
    // The red channel of a grey base colour shaded at camera point Q.
    int Shade(int base, const double n[3], const double Q[3] = kAhead, uint8_t shadows = 0, uint8_t ao = 0,
              double depth = 0.5)
    {
        int32_t colour[3] = {base, base, base};
        ShadeSurfacePoint(&state, q, kWorld, Q, n, colour, shadows, ao, 1, 1, depth);
        EXPECT_EQ(colour[0], colour[1]);
        EXPECT_EQ(colour[1], colour[2]);
        return colour[0];
    }
    static const double kAhead[3];
    static const double kFacing[3];
    static const double kWorld[3];
};
const double Scene::kAhead[3] = {0, 0, 2};
const double Scene::kFacing[3] = {0, 0, -1};
const double Scene::kWorld[3] = {0.25, 0.5, 1.0};

}  // namespace

// Light model 1 takes the light's colour from the first saturation and
// luminance set and the specular colour from the second; a shading that
// reads one set for both (they once shared their keys) fails here.
TEST(QuaternionLights, PrepareFillsBothLightModels)
{
    for (int model : {0, 1}) {
        Scene s;
        QuaternionParameters* q = s.q;
        q->LightModel = model;
        q->gamma = 2;
        s.Light(0, 0, 0, 0, 1, 0.25);
        q->lights.enabled[2] = 1;
        q->lights.relative[2] = 0;
        q->lights.position[2][0] = 1, q->lights.position[2][1] = 0, q->lights.position[2][2] = 0;
        q->lights.ambient[2] = 0.5;
        q->lights.diffuse[2] = 0.6;
        q->lights.shiny[2] = 0.3;
        q->lights.reflection[2] = log(3.0);
        q->lights.intensity[2] = 2;
        q->lights.specularStrength[2] = 0.7;
        const uint8_t colour[3] = {51, 102, 204}, specular[3] = {255, 0, 0};
        memcpy(q->lights.colour[2], colour, 3);
        memcpy(q->lights.specular[2], specular, 3);
        q->saturation[2] = 0.1, q->luminance[2] = 0.2;
        q->saturation2[2] = 0.3, q->luminance2[2] = 0.4;
        q->lights.ambient[5] = 0.9;   // disabled: not in the ambient sum
        s.Prepare();
        const LightEntry& e = s.state.lights[2];
        // World (1, 0, 0) is camera x = 1 for an observer on -z looking at the origin.
        EXPECT_NEAR(e.position[0], 1, 1e-6);
        EXPECT_NEAR(e.position[2], 3, 1e-6);
        EXPECT_NEAR(e.unitPosition[0], 1 / sqrt(10.0), 1e-6);
        EXPECT_NEAR(e.viewDirection[2], -1, 1e-12);
        EXPECT_NEAR(e.ambient, 0.5 * 0.5 / 0.75, 1e-6);
        EXPECT_NEAR(s.state.lights[0].ambient, 0.5 * 0.25 / 0.75, 1e-6);
        EXPECT_NEAR(e.reflection, 2, 1e-6);
        EXPECT_FLOAT_EQ(e.diffuse, 0.6f);
        EXPECT_FLOAT_EQ(e.shininess, 0.3f);
        EXPECT_EQ(e.enabled, 1);
        if (model == 1) {
            EXPECT_EQ(e.colour[0], 0.1);
            EXPECT_EQ(e.colour[1], 0.2);
            EXPECT_EQ(e.specularColour[0], 0.3);
            EXPECT_EQ(e.specularColour[1], 0.4);
            EXPECT_EQ(e.intensity, 1.0);
            EXPECT_EQ(e.specular, 1.0f);
        } else {
            EXPECT_NEAR(e.colour[0], 0.2, 1e-12);
            EXPECT_NEAR(e.colour[2], 0.8, 1e-12);
            EXPECT_EQ(e.specularColour[0], 1.0);
            EXPECT_EQ(e.intensity, 2.0);
            EXPECT_FLOAT_EQ(e.specular, 0.7f);
        }
        EXPECT_FLOAT_EQ(s.task->gammaTable[51], 0.04f);
        EXPECT_EQ(s.task->gammaTable[255], 1.0f);
    }
}

TEST(QuaternionShadePoint, NormalFacesTheObserver)
{
    Scene s;
    s.Prepare();
    const double away[3] = {0, 0, 1};
    EXPECT_EQ(s.Shade(200, Scene::kFacing), 200);
    EXPECT_EQ(s.Shade(200, away), 200);   // turned round, lit as if facing
    // At a right angle (Q . n = 0) the normal stays: a light off to the
    // side then lights it; turned round, it would not.
    Scene side;
    side.Light(0, 1, 0, 0, 1, 0);
    side.Prepare();
    const double across[3] = {1, 0, 0};
    EXPECT_EQ(side.Shade(200, across), (int)lrint(200 / sqrt(5.0)));
}

// Roughness jitters each component by less than roughness / 2, the same way
// every time for the same pixel.
TEST(QuaternionShadePoint, RoughnessJittersWithinBoundsRepeatably)
{
    Scene s;
    s.q->roughness = 0.2;
    s.Prepare();
    bool changed = false;
    for (int i = 0; i < 12; ++i) {
        const double Q[3] = {0.001 * i, -0.002 * i, 2};
        int c = s.Shade(200, Scene::kFacing, Q);
        EXPECT_GE(c, 180) << i;
        EXPECT_LE(c, 200) << i;
        EXPECT_EQ(s.Shade(200, Scene::kFacing, Q), c) << i;
        changed = changed || c != 200;
    }
    EXPECT_TRUE(changed);
}

// A 21 x 21 map whose cells all shadow the point except the one under it;
// the shadow camera puts the point at the map's centre (u = v = 10.5).
TEST(QuaternionShadePoint, ShadowFootprintAndMapEdges)
{
    struct Case {
        int softShadow;
        double originShiftX;   // moves the point in light space: x = -shift
        bool litCentre, enabled;
        uint8_t shadows;
        int expected;
        const char* what;
    } cases[] = {
        {0, 0, true, true, 1, 200, "0: the single cell under the point (lit)"},
        {1, 0, true, true, 1, 200, "1: also a single cell"},
        {2, 0, true, true, 1, 125, "2: 2 x 2 cells, 3 of 4 shadowed"},
        {3, 0, true, true, 1, 111, "3: 3 x 3 cells, 8 of 9 shadowed"},
        {20, 0, true, true, 1, 100, "20: offsets -9.5 .. 9.5, 399 of 400 shadowed (100.25)"},
        {0, 0, false, true, 1, 100, "fully shadowed: half the diffuse light"},
        {0, 0, false, true, 0, 200, "the caller asks for no shadows"},
        {0, -1, false, true, 1, 200, "light-space x = 1.0 lies outside the map: lit"},
        {0, 1, false, true, 1, 100, "light-space x = -1.0 lies inside"},
        {0, 0, false, false, 1, 0, "a disabled light adds nothing, shadow flag or not"},
    };
    for (const Case& c : cases) {
        Scene s;
        s.q->softShadow = c.softShadow;
        s.q->lights.shadow[0] = 1;
        s.q->lights.enabled[0] = c.enabled;
        s.Prepare();
        ASSERT_NE(s.map.Allocate(21, 21, 4), nullptr);
        float* cells = static_cast<float*>(s.map.data);
        for (int i = 0; i < 21 * 21; ++i)
            cells[i] = -1.0f;
        if (c.litCentre)
            cells[11 * 21 + 11] = 1e20f;
        AttractorProjection& p = s.state.shadowProjections[0];
        p.observer[0] = (float)(Scene::kWorld[0] + c.originShiftX);
        p.observer[1] = (float)Scene::kWorld[1];
        p.observer[2] = (float)Scene::kWorld[2];
        p.right[0] = p.up[1] = p.direction[2] = 1;
        s.state.shadowMaps[0] = &s.map;
        s.state.shadowBias = 0;
        EXPECT_EQ(s.Shade(200, Scene::kFacing, Scene::kAhead, c.shadows), c.expected) << c.what;
    }
}

// With an ambient-only light the lit colour is the base colour, so the
// occlusion factor (1 - I) + I (1 - ao) shows directly.
TEST(QuaternionShadePoint, AmbientOcclusionAndAoOnly)
{
    struct Case {
        double intensity;
        float ao;
        bool plane, valid;
        uint8_t ambientOcclusion;
        int aoOnly;
        double depth;
        int expected;
        const char* what;
    } cases[] = {
        {0, 0.5f, true, true, 1, 0, 0.5, 200, "intensity 0: factor 1"},
        {1, 0.5f, true, true, 1, 0, 0.5, 100, "intensity 1: factor 1 - ao"},
        {0.5, 0.5f, true, true, 1, 0, 0.5, 150, "halfway"},
        {1, 0.5f, true, false, 1, 0, 0.5, 200, "a plane not (yet) valid darkens nothing"},
        {1, 0.5f, true, true, 0, 0, 0.5, 200, "the caller asks for no occlusion"},
        {-0.5, 1.0f, true, true, 1, 0, 0.5, 255, "factor 1.5: 300 clamps to 255"},
        {1, 1.0f, true, true, 1, 1, 0.5, 128, "AOOnly: fully occluded is 128"},
        {1, 0.0f, true, true, 1, 1, 0.5, 255, "AOOnly: open is 255"},
        {1, 0.0f, false, false, 0, 1, 0.25, 191, "AOOnly without a plane: 255 (1 - depth)"},
        {1, 0.0f, false, false, 1, 1, 0.25, 200, "AOOnly without a plane but with occlusion: lit colour"},
    };
    for (const Case& c : cases) {
        Scene s;
        s.Light(0, 0, 0, 0, 0, 1);
        s.q->AOIntensity = c.intensity;
        s.q->AOOnly = c.aoOnly;
        s.Prepare();
        std::vector<float> plane(16, 0.0f);
        plane[1 * 4 + 1] = c.ao;   // column 1, row 1 as Shade passes them
        if (c.plane) {
            s.state.aoData = plane.data();
            s.state.aoWidth = 4;
        }
        s.state.aoValid = c.valid;
        EXPECT_EQ(s.Shade(200, Scene::kFacing, Scene::kAhead, 0, c.ambientOcclusion, c.depth), c.expected)
            << c.what;
    }
}

// Model 1 with full light: the saturation goes, the lightness stays:
// (200, 100, 50) has lightness 125 / 255.
TEST(QuaternionShadePoint, HueModelTakesSaturationAndLightnessFromTheLight)
{
    Scene s;
    s.Light(0, 0, 0, 0, 0, 1);
    s.q->LightModel = 1;
    s.Prepare();
    int32_t colour[3] = {200, 100, 50};
    ShadeSurfacePoint(&s.state, s.q, Scene::kWorld, Scene::kAhead, Scene::kFacing, colour, 0, 0, 0, 0, 0.5);
    EXPECT_EQ(colour[0], 125);
    EXPECT_EQ(colour[1], 125);
    EXPECT_EQ(colour[2], 125);
}

// A plane of constant ray fraction lies square to the view: its normal is
// the view axis in either precision; a missing neighbour or one past the
// plane gives no surface.
TEST(QuaternionPixelSurface, NormalOfAFlatPlaneAndMissingNeighbours)
{
    Scene s;
    QuaternionPixelFrame frame;
    PreparePixelFrame(&frame, s.q, 6, 4);
    std::vector<float> depth(7 * 4, 0.5f);
    double P[3], Q[3], n[3], nf[3];
    ASSERT_TRUE(PixelSurface(frame, depth.data(), 7, 4, 2, 1, false, P, Q, n));
    ASSERT_TRUE(PixelSurface(frame, depth.data(), 7, 4, 2, 1, true, P, Q, nf));
    EXPECT_NEAR(fabs(n[2]), 1, 1e-12);
    EXPECT_NEAR(fabs(nf[2]), 1, 1e-6);
    // Q is the camera point half way to the view plane; P its world point.
    EXPECT_NEAR(Q[2], 0.5 * 3.4, 1e-12);
    EXPECT_NEAR(P[2], -3 + 0.5 * 3.4, 1e-12);
    depth[1 * 7 + 3] = -1;   // right neighbour of (2, 1)
    EXPECT_FALSE(PixelSurface(frame, depth.data(), 7, 4, 2, 1, false, P, Q, n));
    depth[1 * 7 + 3] = 0.5f;
    depth[2 * 7 + 2] = NAN;  // the one above
    EXPECT_FALSE(PixelSurface(frame, depth.data(), 7, 4, 2, 1, false, P, Q, n));
    EXPECT_FALSE(PixelSurface(frame, depth.data(), 7, 4, 6, 1, false, P, Q, n));   // x + 1 past the plane
    EXPECT_FALSE(PixelSurface(frame, depth.data(), 7, 4, 0, 3, false, P, Q, n));   // top row: no pair
}

// The colour of (x, rA) lands in (x, rB); with an ambient-only light it is
// the palette colour itself, so the row pairing is visible. The bottom row
// receives the pair (0, 1) too.
TEST(QuaternionShadeRow, PairsRowsFillsTheBottomAndHonoursCommands)
{
    Scene s(6, 4);
    s.Light(0, 0, 0, 0, 0, 1);
    s.q->BackgroundColor[0] = 10, s.q->BackgroundColor[1] = 20, s.q->BackgroundColor[2] = 30;
    s.Prepare();
    QuaternionPixelFrame frame;
    PreparePixelFrame(&frame, s.q, 6, 4);
    const int stride = s.fractal.GetImageStride(), pw = s.task->plane0->width;
    float* depth = static_cast<float*>(s.task->plane0->data);
    for (int i = 0; i < pw * 4; ++i)
        depth[i] = 0.5f;
    depth[2 * pw + 4] = -1;   // (4, 2): no surface
    auto base = [&](int x, int r) { return s.task->imageBits + (r * stride + x) * 3; };
    auto shaded = [&](int x, int r) { return s.task->image3D + (r * stride + x) * 3; };
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < 6; ++x) {
            base(x, r)[0] = (uint8_t)(10 * r + x);   // blue
            base(x, r)[1] = 100;
            base(x, r)[2] = (uint8_t)(200 - x);      // red
        }
    memset(s.task->image3D, 77, (size_t)stride * 4 * 3);

    EXPECT_TRUE(ShadeQuaternionRow(&s.state, s.q, frame, 2, 0, 0, 6, false, false, false, false));   // 2 -> 3
    EXPECT_TRUE(ShadeQuaternionRow(&s.state, s.q, frame, 2, 1, 0, 6, false, false, false, false));   // 1 -> 2
    EXPECT_TRUE(ShadeQuaternionRow(&s.state, s.q, frame, 0, 0, 0, 6, false, false, false, false));   // 0 -> 1, 0
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(shaded(x, 1)[0], base(x, 0)[0]) << x;
        EXPECT_EQ(shaded(x, 0)[0], base(x, 0)[0]) << x;
        EXPECT_EQ(shaded(x, 0)[2], base(x, 0)[2]) << x;
        if (x != 3 && x != 4) {
            EXPECT_EQ(shaded(x, 3)[0], base(x, 2)[0]) << x;
        }
    }
    // (4, 2) has no surface: row 3 gets the background there, and so does
    // (3, 3), whose right-hand neighbour below is missing.
    for (int x : {3, 4}) {
        EXPECT_EQ(shaded(x, 3)[0], 30) << x;
        EXPECT_EQ(shaded(x, 3)[2], 10) << x;
    }
    EXPECT_EQ(shaded(4, 2)[0], 30);   // pair (1, 2) with direction 1: its own neighbour above is gone
    EXPECT_EQ(shaded(0, 2)[0], base(0, 1)[0]);

    // A pending redraw is cleared and the row goes on; any other command ends it.
    memset(s.task->image3D, 77, (size_t)stride * 4 * 3);
    s.task->command = FTC_REDRAW3D;
    EXPECT_TRUE(ShadeQuaternionRow(&s.state, s.q, frame, 0, 0, 0, 6, false, false, false, true));
    EXPECT_EQ(s.task->command, 0);
    EXPECT_EQ(shaded(5, 1)[0], base(5, 0)[0]);
    s.task->command = FTC_RECOLOUR;
    EXPECT_FALSE(ShadeQuaternionRow(&s.state, s.q, frame, 2, 0, 0, 6, false, false, false, true));
    EXPECT_EQ(shaded(0, 3)[0], 77);
    s.task->command = 0;
}
