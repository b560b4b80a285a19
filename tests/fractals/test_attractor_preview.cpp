// The preview's measurement without a window: clamping of gathered
// coordinates, the bounding sphere as a pure function, the z negation kept
// inside the preview (the sphere centre is a world point), followObject
// and the fog range.
#include <gtest/gtest.h>
#include <math.h>

#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/attractor/Composition.h"
#include "fractals/attractor/Preview.h"
#include "view3d/OpenGLRenderer.h"

namespace {

// A source handing out a fixed list of points, a few per batch.
struct ListSource {
    const PreviewSample* points;
    int count, next;
    static int Batch(void* context, PreviewSample* out, int capacity) {
        ListSource* s = static_cast<ListSource*>(context);
        int n = 0;
        while (n < capacity && n < 3 && s->next < s->count)
            out[n++] = s->points[s->next++];
        return n;
    }
};

}  // namespace

TEST(PreviewCoordinates, NonFiniteDenormalAndHugeBecomeZero) {
    struct Case {
        double in, out;
    } cases[] = {
        {NAN, 0}, {INFINITY, 0}, {-INFINITY, 0}, {1e-310, 0}, {1e-40, 0}, {100, 100}, {-100, -100},
        {100.0001, 0}, {-1e6, 0}, {2.5, 2.5}, {0, 0}, {-1e-30, -1e-30},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClampPreviewCoordinate(c.in), c.out) << c.in;
}

TEST(BoundingSphere, StartsFromTheWidestExtremesAndGrows) {
    // A and B are the farthest extreme pair: centre 0, radius 1; C lies
    // outside and pulls the sphere to centre (0, 0.25, 0), radius 1.25.
    const float grow[] = {-1, 0, 0, 1, 0, 0, 0, 1.5f, 0};
    const int growExtremes[6] = {0, 1, 0, 2, 0, 0};
    // Every point inside the first sphere: it stays.
    const float octahedron[] = {-2, 0, 0, 2, 0, 0, 0, -2, 0, 0, 2, 0, 0, 0, -2, 0, 0, 2, 0.5f, 0.5f, 0.5f};
    const int octahedronExtremes[6] = {0, 1, 2, 3, 4, 5};
    const int single[6] = {0, 0, 0, 0, 0, 0};
    struct Case {
        const float* vertices;
        int count;
        const int* extremes;
        double centre[3], radius;
    } cases[] = {
        {grow, 3, growExtremes, {0, 0.25, 0}, 1.25},
        {octahedron, 7, octahedronExtremes, {0, 0, 0}, 2},
        {grow, 1, single, {-1, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        double centre[3], radius;
        ComputeBoundingSphere(c.vertices, c.count, c.extremes, centre, &radius);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(centre[i], c.centre[i], 1e-9) << c.count;
        EXPECT_NEAR(radius, c.radius, 1e-9) << c.count;
    }
    double centre[3], radius = 5;
    ComputeBoundingSphere(grow, 0, growExtremes, centre, &radius);
    EXPECT_EQ(radius, 0);
}

class PreviewGathering : public ::testing::Test {
protected:
    PreviewGathering() : fractal(FT_ATTRACTOR, 0), block(static_cast<AttractorParameters*>(fractal.typeParameters)) {
        block->RenderMode = ARM_PLASMA;
    }
    Fractal fractal;
    AttractorParameters* block;
    PreviewCloud cloud;
};

// Points around (1, 2, 3): the drawn vertices have z negated, the box and
// the sphere centre are in the world's own coordinates.
TEST_F(PreviewGathering, SphereCentreIsAWorldPoint) {
    const PreviewSample points[] = {
        {0, 2, 3, 0, 255, 0, 0}, {2, 2, 3, 0, 0, 255, 0}, {1, 1, 3, 0, 0, 0, 255},
        {1, 3, 3, 0, 0, 0, 0},   {1, 2, 2, 0, 0, 0, 0},   {1, 2, 4, 0, 0, 0, 0},
        {NAN, 2, 1e300, 0, 0, 0, 0},   // drawn at x = 0, z = 0
    };
    ListSource list = {points, 7, 0};
    PreviewSampleSource source = {ListSource::Batch, &list};
    ASSERT_TRUE(GatherPreviewPoints(&fractal, &cloud, 7, source, true));
    EXPECT_EQ(cloud.count, 7);
    EXPECT_FLOAT_EQ(cloud.vertices[2], -3);        // z negated for drawing
    EXPECT_EQ(cloud.vertices[18], 0);              // NaN drawn at 0
    EXPECT_EQ(cloud.vertices[20], 0);              // beyond 100 drawn at 0
    EXPECT_FLOAT_EQ(cloud.colours[0], 1);          // own colour red
    EXPECT_FLOAT_EQ(cloud.colours[4], 1);          // own colour green
    EXPECT_EQ(cloud.boxMin[0], 0);
    EXPECT_EQ(cloud.boxMax[2], 4);
    EXPECT_EQ(cloud.boxMin[2], 0);
    // The sphere holds every point, and its centre lies on the world's +z side.
    EXPECT_GT(cloud.sphereCentre[2], 0);
    for (int i = 0; i < 7; ++i) {
        double dx = ClampPreviewCoordinate(points[i].x) - cloud.sphereCentre[0];
        double dy = ClampPreviewCoordinate(points[i].y) - cloud.sphereCentre[1];
        double dz = ClampPreviewCoordinate(points[i].z) - cloud.sphereCentre[2];
        EXPECT_LE(sqrt(dx * dx + dy * dy + dz * dz), cloud.sphereRadius + 1e-6) << i;
    }
}

TEST_F(PreviewGathering, GasPointsAreWhiteAndAShortSourceFails) {
    block->RenderMode = ARM_GAS;
    const PreviewSample points[] = {{1, 1, 1, 0.5f, 10, 20, 30}, {2, 2, 2, 0.5f, 10, 20, 30}};
    ListSource list = {points, 2, 0};
    PreviewSampleSource source = {ListSource::Batch, &list};
    EXPECT_FALSE(GatherPreviewPoints(&fractal, &cloud, 5, source, true));   // only 2 of 5
    EXPECT_FLOAT_EQ(cloud.colours[3], 1);
    EXPECT_FLOAT_EQ(cloud.colours[5], 1);
}

// followObject moves the viewpoint onto the (world) centre and makes the
// top perpendicular to the new direction; without it nothing moves.
TEST_F(PreviewGathering, FollowObjectLooksAtTheCentre) {
    const PreviewSample points[] = {{-1, 0, 5, 0, 0, 0, 0}, {1, 0, 5, 0, 0, 0, 0}};
    for (int follow = 0; follow < 2; ++follow) {
        block->PreviewPixels = 2;
        block->followObject = (uint8_t)follow;
        block->Obs_x = 0, block->Obs_y = 0, block->Obs_z = 0;
        block->Viewpoint_x = block->Viewpoint_y = block->Viewpoint_z = 0.5;
        block->top_x = 0, block->top_y = 1, block->top_z = 1;
        ListSource list = {points, 2, 0};
        PreviewSampleSource source = {ListSource::Batch, &list};
        ASSERT_TRUE(MeasureAttractorBounds(&fractal, &cloud, source, false));
        EXPECT_NEAR(cloud.sphereRadius, 1, 1e-9);
        if (!follow) {
            EXPECT_EQ(block->Viewpoint_z, 0.5);
            continue;
        }
        EXPECT_NEAR(block->Viewpoint_x, 0, 1e-9);
        EXPECT_NEAR(block->Viewpoint_z, 5, 1e-9);
        EXPECT_NEAR(block->top_z, 0, 1e-9);   // perpendicular to +z
        EXPECT_NEAR(block->top_y, 1, 1e-9);
    }
}

TEST(PreviewFog, StartsAtZeroInsideTheSphere) {
    struct Case {
        double d, r;
        float start, end;
    } cases[] = {{5, 10, 0, 14}, {20, 10, 12, 29}, {10, 10, 2, 19}};
    for (const Case& c : cases) {
        float start, end;
        AttractorFogRange(c.d, c.r, &start, &end);
        EXPECT_FLOAT_EQ(start, c.start) << c.d;
        EXPECT_FLOAT_EQ(end, c.end) << c.d;
    }
}
