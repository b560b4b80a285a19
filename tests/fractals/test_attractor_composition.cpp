// The attractor composition on small hand-filled planes: each render mode's
// colours and opacities against values worked out by hand, the fallbacks
// that keep NaN out of the image, the Solid normals, lights and shadow
// maps, the reconstruction filter's reach and the neighbour spiral.
#include <gtest/gtest.h>
#include <math.h>

#include "AttractorComposeFixture.h"

namespace {

// tolerance: channels computed through single-precision logs and powers
// may land one below a whole number.
void ExpectRgb(const unsigned char* bgr, int r, int g, int b, const char* what, int tolerance = 0) {
    EXPECT_NEAR(bgr[2], r, tolerance) << what;
    EXPECT_NEAR(bgr[1], g, tolerance) << what;
    EXPECT_NEAR(bgr[0], b, tolerance) << what;
}

// Index colours without a palette: every mapped value gives SolidColor.
void UseSolidColour(AttractorParameters* b, int r, int g, int bl) {
    b->Transfer = 0;
    b->SolidColor[0] = (uint8_t)r, b->SolidColor[1] = (uint8_t)g, b->SolidColor[2] = (uint8_t)bl;
}

}  // namespace

TEST(NeighbourSpiral, RingsGoRoundFromTheTopLeft) {
    BuildNeighbourSpiral();
    const int ring1[9][2] = {{0, 0}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(g_NeighbourRows[i], ring1[i][0]) << i;
        EXPECT_EQ(g_NeighbourColumns[i], ring1[i][1]) << i;
    }
    // Ring 14 ends one row below its start, in column -14; no offset twice.
    EXPECT_EQ(g_NeighbourRows[840], -13);
    EXPECT_EQ(g_NeighbourColumns[840], -14);
    bool seen[29][29] = {};
    for (int i = 0; i < NEIGHBOUR_SPIRAL_SIZE; ++i) {
        int r = g_NeighbourRows[i] + 14, c = g_NeighbourColumns[i] + 14;
        ASSERT_TRUE(r >= 0 && r < 29 && c >= 0 && c < 29) << i;
        EXPECT_FALSE(seen[r][c]) << i;
        seen[r][c] = true;
    }
}

// Gas: the log share of the largest density gives the colour's opacity;
// a cell at the threshold shows the background with opacity 0.
TEST(AttractorComposition, GasOpacityFollowsTheLogDensity) {
    ComposeFixture f(4, 2, ARM_GAS);
    UseSolidColour(f.block, 200, 100, 50);
    f.block->weightThreshold = 2;
    f.Density(0, 0) = 100;   // ln 100 / ln 100 = 1
    f.Density(1, 0) = 10;    // ln 10 / ln 100 = 0.5
    f.Density(2, 0) = 2;     // at the threshold
    f.Compose();
    ExpectRgb(f.Pixel(0, 0), 200, 100, 50, "densest");
    EXPECT_NEAR(f.Opacity(0, 0), 255, 1);   // ln 100 x (float)(1 / ln 100) may fall short of 1
    ExpectRgb(f.Pixel(1, 0), 200, 100, 50, "half");
    EXPECT_EQ(f.Opacity(1, 0), 127);
    ExpectRgb(f.Pixel(2, 0), 10, 20, 30, "threshold");
    EXPECT_EQ(f.Opacity(2, 0), 0);
    ExpectRgb(f.Pixel(3, 1), 10, 20, 30, "empty");
    // The opacity cell's upper half is 0xFFFF.
    EXPECT_EQ((uint32_t)f.OldZ(1, 0) >> 16, 0xFFFFu);
}

// Plasma with opacity 100 (exponent 1): p = 0.5 gives the point colour,
// p = 1 white, p = 0 black for index colours and the background for own ones.
TEST(AttractorComposition, PlasmaBlendsFromBlackOrBackgroundToWhite) {
    struct Case {
        int own;
        float density;
        int r, g, b;
        const char* what;
    } cases[] = {
        {0, 100, 255, 255, 255, "p = 1, white"},
        {0, 10, 200, 100, 50, "p = 0.5, the colour"},
        {0, 1, 0, 0, 0, "p = 0, black"},
        {1, 10, 255, 128, 0, "own colour at p = 0.5"},
        {1, 1, 10, 20, 30, "own colour at p = 0: the background"},
    };
    for (const Case& c : cases) {
        ComposeFixture f(2, 1, ARM_PLASMA);
        UseSolidColour(f.block, 200, 100, 50);
        f.block->opacity = 100;
        f.record.ownColours = c.own;
        f.Density(1, 0) = 100;
        f.Density(0, 0) = c.density;
        // Two points whose colours sum to (510, 256, 0): scaled so that the
        // largest channel is 255.
        f.Sum(0, 0, 0) = 510, f.Sum(1, 0, 0) = 256, f.Sum(2, 0, 0) = 0, f.Sum(3, 0, 0) = 2;
        f.Compose();
        ExpectRgb(f.Pixel(0, 0), c.r, c.g, c.b, c.what, 1);
    }
}

// Flame with Gamma 1: f = 1 / 1024 and a = N k / 1024. With brightness
// 1024 (Brightness 256 / 268) and whiteScale 1, k = 1024 ln(N + 1) / N, so
// each channel is bg (1 - a) + 255 ln(N + 1) x / N + 0.5.
TEST(AttractorComposition, FlameTonesTheSumsByTheLogCount) {
    struct Case {
        double lnN1;   // ln(N + 1): the opacity a
        int r, g, b, alpha;
    } cases[] = {
        {1.0, 102, 0, 153, 255},   // a = 1: no background
        {0.25, 101, 15, 61, 64},   // bg (101, 20, 30) x 0.75 + 63.75 x (0.4, 0, 0.6) + 0.5
    };
    for (const auto& c : cases) {
        ComposeFixture f(3, 1, ARM_FLAME);
        f.block->BackgroundColor[0] = 101;
        f.block->WhiteLevel = 1;
        f.block->Brightness = 256.0 / 268;
        f.record.pointCount = 1;   // whiteScale = 1 x 1 / (1 x 1 x 1)
        float N = (float)(exp(c.lnN1) - 1);
        f.Density(0, 0) = 1;
        f.Sum(0, 0, 0) = 0.4f * N, f.Sum(1, 0, 0) = 0, f.Sum(2, 0, 0) = 0.6f * N, f.Sum(3, 0, 0) = N;
        f.Compose();
        ExpectRgb(f.Pixel(0, 0), c.r, c.g, c.b, "flame");
        EXPECT_EQ(f.Opacity(0, 0), c.alpha);
    }
}

// Densities at or below 1, a largest density of 1, cells reached only by
// neighbouring splats (N = 0) and opacity 0 take defined values instead of
// 0 / 0 or logs of values <= 1.
TEST(AttractorComposition, DegenerateCellsGiveDefinedColours) {
    {
        ComposeFixture f(2, 1, ARM_GAS);
        UseSolidColour(f.block, 200, 100, 50);
        f.Density(0, 0) = 0.5f;   // the largest density is below 1
        f.Compose();
        ExpectRgb(f.Pixel(0, 0), 200, 100, 50, "gas below 1");
        EXPECT_EQ(f.Opacity(0, 0), 0);
    }
    {
        ComposeFixture f(2, 1, ARM_FLAME);
        f.Density(0, 0) = 3;   // density from splats, no points of its own
        f.Compose();
        ExpectRgb(f.Pixel(0, 0), 10, 20, 30, "flame without points");
        EXPECT_EQ(f.Opacity(0, 0), 0);
    }
    {
        ComposeFixture f(2, 1, ARM_FLAME);
        f.record.pointCount = 0;   // nothing accumulated yet: whiteScale would be infinite
        f.Density(0, 0) = 3;
        f.Sum(0, 0, 0) = f.Sum(3, 0, 0) = 1;
        f.Compose();
        ExpectRgb(f.Pixel(0, 0), 10, 20, 30, "flame before any point");
    }
    {
        ComposeFixture f(2, 1, ARM_PLASMA);
        UseSolidColour(f.block, 200, 100, 50);
        f.block->opacity = 0;   // infinite opacity exponent
        f.Density(0, 0) = 10, f.Density(1, 0) = 100;
        f.Compose();
        ExpectRgb(f.Pixel(0, 0), 0, 0, 0, "plasma at opacity 0, p below 1");
    }
}

// Solid on a flat depth plane facing the camera: the normal turns to the
// viewer, so a light on the camera's side lights the cell and one behind
// the plane does not; border cells and cells without neighbours get the
// flat colour; a shadow map nearer to the light than the cell halves the
// diffuse light.
class SolidFixture : public ComposeFixture {
public:
    SolidFixture() : ComposeFixture(8, 6, ARM_SOLID) {
        block->opacity = 1;
        record.ownColours = 1;
        const double observer[3] = {0, 0, 0}, viewpoint[3] = {0, 0, 1}, top[3] = {0, 1, 0};
        record.viewRect = ViewRect{4, 3, 8, 6};
        EXPECT_EQ(SetupProjection(8, 6, record.viewRect, observer, viewpoint, top, 30, &record.projection), 1);
        for (int y = -20; y < 26; ++y)
            for (int x = -20; x < 28; ++x)
                if (x >= 0 && x < 8 && y >= 0 && y < 6) {
                    Depth(x, y) = 5;
                    Density(x, y) = 4;
                    OwnColour(x, y) = 0x6464C8;   // (100, 100, 200)
                }
        // One light, diffuse only, at (0, 0, z) in camera coordinates.
        block->lights.enabled[0] = 1;
        block->lights.relative[0] = 1;
        block->lights.ambient[0] = 0;
        block->lights.diffuse[0] = 1;
        block->lights.intensity[0] = 1;
        block->lights.specularStrength[0] = 0;
        block->lights.colour[0][0] = block->lights.colour[0][1] = block->lights.colour[0][2] = 255;
    }
    void LightAt(double z) {
        block->lights.position[0][0] = block->lights.position[0][1] = 0;
        block->lights.position[0][2] = z;
    }
};

TEST(AttractorComposition, SolidLightsTheSideFacingTheViewer) {
    SolidFixture front;
    front.LightAt(-1e6);
    front.Compose();
    // 2 x colour x light (about 1), clamped.
    ExpectRgb(front.Pixel(4, 3), 200, 200, 255, "lit from the viewer's side", 1);
    EXPECT_GE(front.Opacity(4, 3), 254);

    SolidFixture behind;
    behind.LightAt(1e6);
    behind.Compose();
    ExpectRgb(behind.Pixel(4, 3), 0, 0, 0, "lit from behind");
}

TEST(AttractorComposition, SolidFlatColourAtBordersAndLoneCells) {
    SolidFixture f;
    f.LightAt(1e6);   // unlit: only the flat colour shows anything
    f.Depth(2, 4) = 0, f.Depth(3, 4) = 0, f.Depth(4, 4) = 0;
    f.Depth(2, 2) = 0, f.Depth(3, 2) = 0, f.Depth(4, 2) = 0;
    f.Depth(2, 3) = 0, f.Depth(4, 3) = 0;   // (3, 3) keeps its depth, alone
    f.Compose();
    // 255 - (255 - c) x 0.8: 100 -> 131, 200 -> 211 (within the float's reach).
    const unsigned char* lone = f.Pixel(3, 3);
    EXPECT_NEAR(lone[2], 131, 1);
    EXPECT_NEAR(lone[0], 211, 1);
    ExpectRgb(f.Pixel(5, 3), 0, 0, 0, "an inner cell with neighbours, unlit");
    // Image column 0 is not a plane border (the margin is): only cells at
    // the planes' edges are.
    ExpectRgb(f.Pixel(0, 0), 0, 0, 0, "image corner");
}

TEST(AttractorComposition, SolidShadowMapDarkensTheCell) {
    Array2D map;
    ASSERT_TRUE(map.Allocate(16, 16, 4));
    float unshadowed[3], shadowed[3];
    for (int pass = 0; pass < 2; ++pass) {
        SolidFixture f;
        f.LightAt(-1e6);
        f.block->lights.diffuse[0] = 0.25;   // unsaturated, so that halving shows
        f.block->lights.shadow[0] = 1;
        // The light looks along the view: cells land near the map's centre
        // at light depth 5; the map holds 0 (an occluder) or nothing (1e20).
        AttractorProjection& camera = f.record.lightCameras[0];
        camera = AttractorProjection();
        camera.right[0] = camera.up[1] = 0.01f;
        camera.direction[2] = 1;
        f.record.shadowMaps[0] = &map;
        map.Fill(0);
        if (pass == 0)
            for (int i = 0; i < 256; ++i)
                ((float*)map.data)[i] = 1e20f;
        f.Compose();
        float* out = pass == 0 ? unshadowed : shadowed;
        for (int k = 0; k < 3; ++k)
            out[k] = f.Pixel(4, 3)[k];
    }
    // Blue: 2 x 200 x 0.25 = 100; in full shadow half of it.
    EXPECT_NEAR(unshadowed[0], 100, 1);
    EXPECT_NEAR(shadowed[0], 50, 1);
    map.Free();
}

// A filter of even size reaches one cell further in the positive direction:
// n = 2 at oversampling 2 averages the cells at offsets 0 and 1.
TEST(AttractorComposition, EvenFilterAveragesTowardsThePositiveSide) {
    ComposeFixture f(2, 2, ARM_GAS);
    UseSolidColour(f.block, 200, 200, 200);
    f.block->BackgroundColor[0] = f.block->BackgroundColor[1] = f.block->BackgroundColor[2] = 0;
    f.block->Oversample = 1;
    // Planes for oversampling 2: (2 x 2 + 40) cells square.
    f.task->plane0->Allocate(44, 44, 4);
    f.task->plane1->Allocate(44, 44, 4);
    f.task->plane8->Allocate(44, 44, 4);
    for (int i = 0; i < 4; ++i)
        f.task->planes[i]->Allocate(44, 44, 4);
    free(f.task->values);
    f.task->values = (float*)calloc(44 * 44, sizeof(float));
    f.task->plane7->Allocate(2, 2, 4);
    for (int i = 0; i < 4; ++i)
        f.Weights()[i] = 0.25f;
    f.record.filterSize = 2;
    float* density = (float*)f.task->plane1->data;
    density[21 * 44 + 21] = 100;   // offset (1, 1) of pixel (0, 0)
    density[19 * 44 + 19] = 100;   // offset (-1, -1): outside the filter
    f.Compose();
    ExpectRgb(f.Pixel(0, 0), 50, 50, 50, "a quarter of one cell");
    EXPECT_EQ(f.Opacity(0, 0), 64);
    ExpectRgb(f.Pixel(1, 1), 0, 0, 0, "nothing reaches (1, 1)");
}

// A pending command ends the composition after the row it is working on:
// the first background row is filled, nothing after it.
TEST(AttractorComposition, PendingCommandStopsBetweenRows) {
    ComposeFixture f(4, 3, ARM_GAS);
    f.Density(0, 2) = 10;
    f.task->command = 1;
    f.Compose();
    ExpectRgb(f.Pixel(3, 0), 10, 20, 30, "first row filled");
    ExpectRgb(f.Pixel(0, 1), 0, 0, 0, "second row untouched");
    ExpectRgb(f.Pixel(0, 2), 0, 0, 0, "no cell composed");
    f.task->command = 0;
}
