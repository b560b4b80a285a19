// The calculation of layered fractals: every row of two windowless layers
// composed as the hand merge says, the checkerboard without layers and
// black after a recolour, the dirty rows a layer with a bottom offset
// marks (clipped to the parent), the single pending notification, and a
// recolour that merges only the dirty rows.
#include <gtest/gtest.h>

#include <memory>
#include <stdint.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/layers/Compositing.h"
#include "calc/layers/LayeredCalculation.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "tests/calc/TaskTestSupport.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

// The parent "has a window": only its presence counts, it is never used.
PFrameWindow* const kSomeWindow = reinterpret_cast<PFrameWindow*>(static_cast<uintptr_t>(16));

class LayeredCalculationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        PrepareDocumentModel();
        BuildMultiplyTable();
    }
    void SetUp() override
    {
        layered.reset(new TestTask(kWidth, kHeight, 24, 24, FT_LAYERED));
        ASSERT_EQ(layered->sized, 0);
        params = static_cast<LayeredParameters*>(layered->fractal->typeParameters);
    }
    void TearDown() override
    {
        for (auto& t : layers) {
            t->fractal->baseFractal = nullptr;
            t->fractal->layer = nullptr;
        }
        while (ListNode* n = params->layers.GetHead()) {
            params->layers.Remove(n);
            delete n;
        }
        layers.clear();
        layered->task->window = nullptr;
    }
    // A layer below the ones added before it: row y of its image is grey
    // greyOfRow(y).
    template <class G>
    Layer* AddLayerBelow(G greyOfRow, int height = kHeight)
    {
        layers.emplace_back(new TestTask(kWidth, height, 24, 24, FT_IMAGE));
        TestTask* t = layers.back().get();
        for (int y = 0; y < height; ++y)
            memset(t->task->imageBits + (size_t)y * t->Stride() * 3, greyOfRow(y), (size_t)t->Stride() * 3);
        Layer* layer = new Layer();
        layer->fractal = t->fractal;
        layer->usesAlpha = 0;
        t->fractal->baseFractal = layered->fractal;
        t->fractal->layer = layer;
        params->layers.Append(layer);
        return layer;
    }
    int Red(int x, int y) const { return layered->Rgb(x, y)[2]; }
    void FillImage(int value)
    {
        memset(layered->task->imageBits, value, (size_t)layered->Stride() * 3 * kHeight);
    }

    static const int kWidth = 16, kHeight = 45;
    std::unique_ptr<TestTask> layered;
    std::vector<std::unique_ptr<TestTask>> layers;
    LayeredParameters* params = nullptr;
};

TEST_F(LayeredCalculationTest, EveryRowIsTheMergeOfTheLayersOwnRows)
{
    Layer* top = AddLayerBelow([](int) { return 40; });
    AddLayerBelow([](int y) { return 4 * y; });
    top->opacity = 50;
    top->leftOffset = 4;
    FillImage(7);
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 0);
    for (int y = 0; y < kHeight; ++y)
        for (int x : {0, 3, 4, 15}) {
            int want = x < 4 ? 4 * y : (int)(40 * 0.5 + 4 * y * 0.5);
            EXPECT_EQ(Red(x, y), want) << x << "," << y;
            EXPECT_EQ(layered->Rgb(x, y)[0], want);
        }
}

TEST_F(LayeredCalculationTest, WithoutLayersCheckerboardAfterCalculationBlackAfterRecolour)
{
    Layer* hidden = AddLayerBelow([](int) { return 90; });
    hidden->visible = 0;
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 0);
    for (int y : {0, 7, 8, 44})
        for (int x : {0, 7, 8, 15})
            EXPECT_EQ(Red(x, y), ((x / 8) ^ (y / 8)) & 1 ? 255 : 160) << x << "," << y;
    CompositeLayeredFractal(layered->fractal);
    for (int y : {0, 8, 44})
        EXPECT_EQ(Red(5, y), 0);
}

TEST_F(LayeredCalculationTest, StopCommandEndsTheCompositionWithThree)
{
    AddLayerBelow([](int) { return 90; });
    layered->task->command = FTC_STOP;
    FillImage(7);
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 3);
    EXPECT_EQ(Red(0, kHeight / 2), 7);
    layered->task->command = FTC_REDRAW3D;   // absorbed
    EXPECT_EQ(DrawLayeredFractal(layered->fractal, 0, 0, kWidth - 1, kHeight - 1), 0);
    EXPECT_EQ(layered->task->command, 0);
    EXPECT_EQ(Red(0, kHeight / 2), 90);
}

TEST_F(LayeredCalculationTest, BottomOffsetShiftsTheDirtyRowsAndRecolourMergesOnlyThem)
{
    Layer* layer = AddLayerBelow([](int) { return 90; }, 20);
    layer->bottomOffset = 30;
    layered->task->window = kSomeWindow;
    layered->fractal->pendingLayerNotices = 0;
    Fractal* child = layer->fractal;

    NotifyLayeredParent(child, 0, 9, 0, -1);
    EXPECT_EQ(layered->fractal->pendingLayerNotices, 1);
    NotifyLayeredParent(child, 12, 19, 0, -1);   // parent rows 42..49, clipped at 44
    EXPECT_EQ(layered->fractal->pendingLayerNotices, 1);   // one message pending at a time
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(LayeredRowDirty(layered->fractal, y, false), (y >= 30 && y <= 39) || y >= 42) << y;

    FillImage(7);
    CompositeLayeredFractal(layered->fractal);
    for (int y = 0; y < kHeight; ++y) {
        bool merged = (y >= 30 && y <= 39) || y >= 42;
        EXPECT_EQ(Red(0, y) != 7, merged) << y;
        EXPECT_FALSE(LayeredRowDirty(layered->fractal, y, false)) << y;
    }
    EXPECT_EQ(Red(0, 35), 90);   // layer row 5
    EXPECT_EQ(Red(0, 44), 90);   // layer row 14

    // No parent window, no marks; a fractal that is no layer is ignored.
    layered->task->window = nullptr;
    NotifyLayeredParent(child, 0, 9, 0, -1);
    EXPECT_FALSE(LayeredRowDirty(layered->fractal, 30, false));
    layered->fractal->pendingLayerNotices = 0;
    layered->task->window = kSomeWindow;
    child->layer = nullptr;
    NotifyLayeredParent(child, 0, 9, 0, -1);
    EXPECT_FALSE(LayeredRowDirty(layered->fractal, 30, false));
    EXPECT_EQ(layered->fractal->pendingLayerNotices, 0);
    child->layer = layer;
}

}  // namespace
