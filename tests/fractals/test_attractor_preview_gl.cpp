// The preview drawn through an offscreen OpenGL context: a cloud of points
// in front of the camera shows in the read-back image over the background
// (blue stays blue), the display list is made and the points are measured;
// the OpenGL lights follow the enabled lights only.
#include <gtest/gtest.h>
#include <vector>

#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/attractor/Composition.h"
#include "fractals/attractor/Preview.h"
#include "view3d/OpenGLRenderer.h"

namespace {

// Points on a small grid around the origin, handed out endlessly.
int GridBatch(void* context, PreviewSample* out, int capacity) {
    int* next = static_cast<int*>(context);
    for (int i = 0; i < capacity; ++i, ++*next) {
        int k = *next % 125;
        out[i] = PreviewSample{(k % 5 - 2) * 0.2, (k / 5 % 5 - 2) * 0.2, (k / 25 - 2) * 0.2, 0, 255, 255, 255};
    }
    return capacity;
}

class PreviewGL : public ::testing::Test {
protected:
    PreviewGL() : fractal(FT_ATTRACTOR, 0), block(static_cast<AttractorParameters*>(fractal.typeParameters)),
                  renderer(&fractal) {
        fractal.header->Width = 32;
        fractal.header->Height = 32;
        task.fractal = &fractal;
        fractal.task = &task;
        block->RenderMode = ARM_GAS;
        block->PreviewPixels = 500;
        block->Obs_x = 0, block->Obs_y = 0, block->Obs_z = -10;
        block->Viewpoint_x = block->Viewpoint_y = block->Viewpoint_z = 0;
        block->top_x = 0, block->top_y = 1, block->top_z = 0;
        block->FieldOfView = 30;
        block->BackgroundColor[0] = 0, block->BackgroundColor[1] = 0, block->BackgroundColor[2] = 255;
    }
    ~PreviewGL() {
        renderer.Release();
        fractal.task = nullptr;
    }
    Fractal fractal;
    AttractorParameters* block;
    FractalTask task;
    OpenGLRenderer renderer;
};

}  // namespace

TEST_F(PreviewGL, PointsShowOverTheBackground) {
    ASSERT_TRUE(renderer.Create(32, 32, nullptr));
    ASSERT_TRUE(renderer.MakeCurrent());
    int next = 0;
    PreviewSampleSource source = {GridBatch, &next};
    ASSERT_TRUE(BuildAttractorDisplayList(&fractal, &renderer, source, false));
    EXPECT_NE(block->displayList, 0u);
    EXPECT_EQ(block->rebuildPoints, 0);
    EXPECT_EQ(renderer.rebuildPoints, 0);
    EXPECT_EQ(renderer.cloud.count, 500);
    // The grid is a cube of half side 0.4: its sphere holds the corners
    // (radius 0.69 at least) without being much larger.
    EXPECT_GE(renderer.cloud.sphereRadius, 0.6928);
    EXPECT_LE(renderer.cloud.sphereRadius, 0.9);
    std::vector<uint8_t> image(32 * 32 * 3);
    ASSERT_TRUE(renderer.ReadBack(image.data(), 32, 32));
    renderer.DoneCurrent();
    const uint8_t* corner = &image[0];
    EXPECT_EQ(corner[0], 255);   // blue background
    EXPECT_EQ(corner[2], 0);
    int lit = 0;
    for (int y = 12; y < 20; ++y)
        for (int x = 12; x < 20; ++x)
            lit += image[(y * 32 + x) * 3 + 2] > 40;   // red only where points are
    EXPECT_GT(lit, 4);
    // A second call with the rebuild flag clear redraws the stored points.
    ASSERT_TRUE(renderer.MakeCurrent());
    next = -1000000;   // a source that would now give other points
    ASSERT_TRUE(BuildAttractorDisplayList(&fractal, &renderer, source, false));
    EXPECT_EQ(next, -1000000);
    renderer.DoneCurrent();
}

TEST_F(PreviewGL, OnlyEnabledLightsAreSwitchedOn) {
    ASSERT_TRUE(renderer.Create(8, 8, nullptr));
    ASSERT_TRUE(renderer.MakeCurrent());
    for (int i = 0; i < 8; ++i)
        block->lights.enabled[i] = 0;
    g_GL.glEnable(GL_LIGHT3);
    EXPECT_EQ(SetupAttractorLightsGL(&fractal), 0);
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(g_GL.glIsEnabled(GL_LIGHT0 + i)) << i;
    block->lights.enabled[2] = block->lights.enabled[5] = 1;
    EXPECT_EQ(SetupAttractorLightsGL(&fractal), 2);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(g_GL.glIsEnabled(GL_LIGHT0 + i) != 0, i == 2 || i == 5) << i;
    renderer.DoneCurrent();
}
