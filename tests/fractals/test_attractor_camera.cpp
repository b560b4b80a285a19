// The attractor camera: the projection record and its failure on
// degenerate cameras, world/camera conversions with a top vector that is
// not perpendicular, the shadow cameras' framing of the bounding sphere and
// the shadow bias.
#include <gtest/gtest.h>
#include <math.h>

#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/attractor/Camera.h"

namespace {

const ViewRect kView = {100, 50, 200, 100};

int Project(const double observer[3], const double viewpoint[3], const double top[3], double fov,
          AttractorProjection* p, int width = 200, int height = 100) {
    return SetupProjection(width, height, kView, observer, viewpoint, top, fov, p);
}

class CameraBlock : public ::testing::Test {
protected:
    CameraBlock() : fractal(FT_ATTRACTOR, 0), block(static_cast<AttractorParameters*>(fractal.typeParameters)) {}
    void Place(double ox, double oy, double oz, double vx, double vy, double vz, double tx, double ty, double tz) {
        block->Obs_x = ox, block->Obs_y = oy, block->Obs_z = oz;
        block->Viewpoint_x = vx, block->Viewpoint_y = vy, block->Viewpoint_z = vz;
        block->top_x = tx, block->top_y = ty, block->top_z = tz;
    }
    Fractal fractal;
    AttractorParameters* block;
};

}  // namespace

TEST(AttractorProjection, FieldOfViewAndScales) {
    const double observer[3] = {0, 0, -10}, viewpoint[3] = {0, 0, 0}, top[3] = {0, 1, 0};
    AttractorProjection p;
    ASSERT_EQ(Project(observer, viewpoint, top, 60, &p), 1);
    // 2 atan(2 tan 30) on a 2:1 image.
    EXPECT_NEAR(p.horizontalFov, 98.2, 0.05);
    EXPECT_FLOAT_EQ(p.verticalFov, 60);
    EXPECT_NEAR(p.tanHalfV, tan(M_PI / 6), 1e-6);
    EXPECT_NEAR(p.invTanHalfH * p.tanHalfH, 1, 1e-6);
    EXPECT_NEAR(p.pixelScaleX, 2.0 / 200 * p.tanHalfH, 1e-7);
    EXPECT_NEAR(p.pixelScaleY, 2.0 / 100 * p.tanHalfV, 1e-7);
    // right = top x direction, up = direction x right.
    EXPECT_FLOAT_EQ(p.direction[2], 1);
    EXPECT_FLOAT_EQ(p.right[0], 1);
    EXPECT_FLOAT_EQ(p.up[1], 1);
    EXPECT_FLOAT_EQ(p.nearPlane, 0.1f);
    // TransformPointF reads the record: a point 10 ahead and 1 up.
    float w[3] = {0, 1, 0}, c[3];
    TransformPointF(w, c, (const float*)&p);
    EXPECT_FLOAT_EQ(c[0], 0);
    EXPECT_FLOAT_EQ(c[1], 1);
    EXPECT_FLOAT_EQ(c[2], 10);
}

TEST(AttractorProjection, DegenerateCamerasGiveZero) {
    const double origin[3] = {0, 0, 0}, ahead[3] = {0, 0, 5}, up[3] = {0, 1, 0}, zero[3] = {0, 0, 0},
                 along[3] = {0, 0, 2}, tiny[3] = {0, 0, 1e-12};
    struct Case {
        const double *observer, *viewpoint, *top;
        double fov;
        const char* what;
    } cases[] = {
        {origin, origin, up, 30, "observer = viewpoint"},
        {origin, tiny, up, 30, "viewpoint within 1e-9"},
        {origin, ahead, zero, 30, "zero top"},
        {origin, ahead, along, 30, "top along the direction"},
        {origin, ahead, up, 0, "no field of view"},
        {origin, ahead, up, NAN, "field of view not a number"},
    };
    for (const Case& c : cases) {
        AttractorProjection p;
        EXPECT_EQ(Project(c.observer, c.viewpoint, c.top, c.fov, &p), 0) << c.what;
    }
    AttractorProjection p;
    EXPECT_EQ(Project(origin, ahead, up, 30, &p), 1);
}

TEST_F(CameraBlock, WorldAndCameraWithASlantedTop) {
    // Direction +z, R = (1, 0, 0); the top (0, 1, 1) leans forward, so
    // (1, 2, 13) - observer = 1 R + 2 top + 11 d.
    Place(0, 0, -10, 0, 0, 0, 0, 1, 1);
    const double world[3] = {1, 2, 3};
    double camera[3], back[3];
    AttractorWorldToCamera(block, world, camera);
    EXPECT_NEAR(camera[0], 1, 1e-12);
    EXPECT_NEAR(camera[1], 2, 1e-12);
    EXPECT_NEAR(camera[2], 11, 1e-12);
    AttractorCameraToWorld(block, camera, back);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(back[i], world[i], 1e-12);

    // A degenerate camera gives 0 rather than a division by 0.
    Place(1, 1, 1, 1, 1, 1, 0, 1, 0);
    AttractorWorldToCamera(block, world, camera);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(camera[i], 0);
}

TEST_F(CameraBlock, ShadowCamerasFrameTheSphere) {
    Place(0, 0, -10, 0, 0, 0, 0, 1, 0);
    const double centre[3] = {1, 2, 3};
    const double radius = 2;
    struct Case {
        double light[3];
        const char* what;
    } cases[] = {
        {{1, 12, 3}, "straight above: auxiliary (1, 0, 0)"},
        {{1, -8, 3}, "straight below"},
        {{-4, 2, -7}, "anywhere else: auxiliary (0, 1, 0)"},
    };
    for (const Case& c : cases) {
        block->lights.relative[0] = 0;
        for (int i = 0; i < 3; ++i)
            block->lights.position[0][i] = c.light[i];
        AttractorProjection camera;
        BuildShadowCamera(block, 0, centre, radius, &camera);
        // Rows orthogonal, right and up scaled to 1 / (1.2 r), direction unit.
        const float* rows[3] = {camera.right, camera.up, camera.direction};
        double expectedLength[3] = {1 / (1.2 * radius), 1 / (1.2 * radius), 1};
        for (int a = 0; a < 3; ++a) {
            double length = sqrt(rows[a][0] * rows[a][0] + rows[a][1] * rows[a][1] + rows[a][2] * rows[a][2]);
            EXPECT_NEAR(length, expectedLength[a], 1e-6) << c.what;
            for (int b = a + 1; b < 3; ++b)
                EXPECT_NEAR(rows[a][0] * rows[b][0] + rows[a][1] * rows[b][1] + rows[a][2] * rows[b][2], 0, 1e-6)
                    << c.what;
        }
        // The centre maps to (0, 0, 0); the light lies in front, at -distance.
        float p[3] = {(float)centre[0], (float)centre[1], (float)centre[2]}, q[3];
        TransformPointF(p, q, (const float*)&camera);
        EXPECT_NEAR(q[0], 0, 1e-6);
        EXPECT_NEAR(q[1], 0, 1e-6);
        float l[3] = {(float)c.light[0], (float)c.light[1], (float)c.light[2]};
        TransformPointF(l, q, (const float*)&camera);
        double distance = sqrt(pow(c.light[0] - 1, 2) + pow(c.light[1] - 2, 2) + pow(c.light[2] - 3, 2));
        EXPECT_NEAR(q[2], -distance, 1e-4) << c.what;
    }
    // The vertical light's right row comes from (1, 0, 0): it lies in the z axis.
    block->lights.position[0][0] = 1, block->lights.position[0][1] = 12, block->lights.position[0][2] = 3;
    AttractorProjection camera;
    BuildShadowCamera(block, 0, centre, radius, &camera);
    EXPECT_NEAR(fabs(camera.right[2]), 1 / 2.4, 1e-6);
    // Nothing measured yet (radius 0): rows of 0, not infinities.
    BuildShadowCamera(block, 0, centre, 0, &camera);
    EXPECT_EQ(camera.right[0], 0);
    EXPECT_EQ(camera.up[2], 0);
}

TEST_F(CameraBlock, RelativeLightsFollowTheCamera) {
    Place(0, 0, -10, 0, 0, 0, 0, 1, 0);
    block->lights.relative[2] = 1;
    block->lights.position[2][0] = 1, block->lights.position[2][1] = 0, block->lights.position[2][2] = 0;
    double world[3];
    AttractorLightWorldPosition(block, 2, world);
    EXPECT_NEAR(world[0], 1, 1e-12);
    EXPECT_NEAR(world[2], -10, 1e-12);
}

TEST(AttractorProjection, ShadowBiasScalesWithThePixelsAtTheCentre) {
    const double observer[3] = {0, 0, -10}, viewpoint[3] = {0, 0, 0}, top[3] = {0, 1, 0};
    AttractorProjection p;
    ASSERT_EQ(Project(observer, viewpoint, top, 60, &p), 1);
    // 20 from the observer; a pixel there is 20 x 2 / 200 x tan(49.1 deg)
    // = 0.2309 wide and 20 x 2 / 100 x tan(30 deg) = 0.2309 high; the bias
    // is twice the distance between pixels -1 and +1 across the diagonal,
    // 4 x 0.3266.
    const double centre[3] = {0, 0, 10};
    EXPECT_NEAR(ShadowBias(p, centre), 1.3064, 1e-3);
}

TEST(NormalizeVectorF, UnitAndZero) {
    float v[3] = {3, 0, 4}, z[3] = {0, 0, 0};
    NormalizeVectorF(v);
    NormalizeVectorF(z);
    EXPECT_FLOAT_EQ(v[0], 0.6f);
    EXPECT_FLOAT_EQ(v[2], 0.8f);
    EXPECT_EQ(z[0], 0);
    EXPECT_EQ(z[1], 0);
}
