// Layered compositing: the checkerboard, the lowest layer always Normal,
// offsets, masks, solid-colour and alpha-word opacity, and the merge
// functions in fixed point. Expected values follow from M(i, j) =
// floor(i * j / 256) worked by hand.
#include <gtest/gtest.h>

#include <memory>
#include <string.h>
#include <vector>

#include "calc/layers/Compositing.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "tests/calc/TaskTestSupport.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

class CompositingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        PrepareDocumentModel();
        BuildMultiplyTable();
    }
    void SetUp() override
    {
        layered.reset(new TestTask(24, 16, 24, 24, FT_LAYERED));
        ASSERT_EQ(layered->sized, 0);
        params = static_cast<LayeredParameters*>(layered->fractal->typeParameters);
    }
    void TearDown() override
    {
        // The layer fractals belong to their test tasks, not to the block.
        while (ListNode* n = params->layers.GetHead()) {
            params->layers.Remove(n);
            delete n;
        }
        layers.clear();
    }
    // A layer below the ones added before it, 24 x 4 pixels of one grey.
    Layer* AddLayerBelow(int grey, int mode, int type = FT_IMAGE, int width = 24, int height = 16)
    {
        layers.emplace_back(new TestTask(width, height, 24, 24, type));
        TestTask* t = layers.back().get();
        memset(t->task->imageBits, grey, (size_t)t->Stride() * 3 * height);
        Layer* layer = new Layer();
        layer->fractal = t->fractal;
        layer->mergeMode = mode;
        layer->usesAlpha = 0;
        params->layers.Append(layer);
        return layer;
    }
    TestTask* TaskOf(Layer* layer)
    {
        for (auto& t : layers)
            if (t->fractal == layer->fractal) return t.get();
        return nullptr;
    }
    // Merges one row and returns the grey (red) of column x; all three
    // channels must agree.
    int Grey(int x, int row)
    {
        std::vector<LayerMergeRecord> records(params->layers.Count() + 2);
        for (ListNode* n = params->layers.GetHead(); n; n = n->next) {
            Layer* l = static_cast<Layer*>(n);
            l->opacityLevel = (int)(l->opacity * 255 / 100);
        }
        MergeLayerLine(layered->fractal, params, 23, row, records.data(), nullptr);
        const uint8_t* p = layered->Rgb(x, row);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
        return p[2];
    }
    static int Checker(int x, int row) { return ((x / 8) ^ (row / 8)) & 1 ? 255 : 160; }

    std::unique_ptr<TestTask> layered;
    std::vector<std::unique_ptr<TestTask>> layers;
    LayeredParameters* params = nullptr;
};

TEST_F(CompositingTest, WithoutLayersTheRowIsTheCheckerboard)
{
    for (int row : {0, 7, 8, 15})
        for (int x : {0, 7, 8, 15, 16, 23}) EXPECT_EQ(Grey(x, row), Checker(x, row)) << x << "," << row;
}

TEST_F(CompositingTest, OpaqueNormalLayerCoversAndLowestLayerIsAlwaysNormal)
{
    Layer* only = AddLayerBelow(90, MERGE_MULTIPLY);
    EXPECT_EQ(Grey(8, 0), 90);   // Multiply as the lowest layer merges as Normal
    only->opacity = 50;
    EXPECT_EQ(Grey(0, 0), (int)(90 * 0.5 + 160 * 0.5));
    only->visible = 0;
    EXPECT_EQ(Grey(0, 0), 160);
}

TEST_F(CompositingTest, OffsetsLeaveUncoveredPixelsToTheLayersBelow)
{
    Layer* top = AddLayerBelow(40, MERGE_NORMAL, FT_IMAGE, 24, 4);
    AddLayerBelow(200, MERGE_NORMAL);
    top->leftOffset = 20;
    top->bottomOffset = 10;
    EXPECT_EQ(Grey(19, 10), 200);
    EXPECT_EQ(Grey(20, 10), 40);
    EXPECT_EQ(Grey(23, 13), 40);
    EXPECT_EQ(Grey(20, 9), 200);
    EXPECT_EQ(Grey(20, 14), 200);
}

// Merge modes over a lower layer of grey 200, the top layer opaque (w = 255,
// c = 0): the result is M(255, F(s, 200)).
TEST_F(CompositingTest, ModesMergeThroughTheMultiplyTable)
{
    Layer* top = AddLayerBelow(255, MERGE_MULTIPLY);
    AddLayerBelow(200, MERGE_NORMAL);
    EXPECT_EQ(Grey(0, 0), 198);   // M(255, M(255, 200)) = M(255, 199)
    top->mergeMode = MERGE_SCREEN;
    EXPECT_EQ(Grey(0, 0), 254);   // F = 255 - M(0, 55) = 255, M(255, 255) = 254
    top->mergeMode = MERGE_DIFFERENCE;
    EXPECT_EQ(Grey(0, 0), 54);    // F = 55, M(255, 55) = 54
    top->mergeMode = MERGE_NORMAL;
    EXPECT_EQ(Grey(0, 0), 255);
}

// A mask with alpha 0 at a pixel stops the layer above it there; a mask
// without usesAlpha does nothing.
TEST_F(CompositingTest, MasksLimitTheLayerAbove)
{
    Layer* top = AddLayerBelow(255, MERGE_NORMAL);
    Layer* mask = AddLayerBelow(0, MERGE_NORMAL, FT_ESCAPETIME);
    AddLayerBelow(200, MERGE_NORMAL);
    mask->mask = 1;
    TestTask* m = TaskOf(mask);
    if (!m->task->oldz->IsAllocated()) m->task->oldz->Allocate(25, 16, 4);
    memset(m->task->oldz->data, 0, 25 * 16 * 4);
    mask->usesAlpha = 0;
    EXPECT_EQ(Grey(0, 0), 255);
    mask->usesAlpha = 1;
    EXPECT_EQ(Grey(0, 0), 200);
    top->mergeMode = MERGE_MULTIPLY;
    EXPECT_EQ(Grey(0, 0), 199);   // M(0, F) + M(255, 200)
}

// Solid colours of an escape-time layer take the alpha of their set by the
// flags; alpha words blend by v / 65534 rounded half to even.
TEST_F(CompositingTest, SolidAlphaAndAlphaWords)
{
    Layer* top = AddLayerBelow(200, MERGE_NORMAL, FT_ESCAPETIME);
    AddLayerBelow(0, MERGE_NORMAL);
    top->usesAlpha = 1;
    TestTask* t = TaskOf(top);
    EscapetimeParameters* e = static_cast<EscapetimeParameters*>(t->fractal->typeParameters);
    e->outsideColouring.SolidOpacity = 128;
    e->insideColouring.SolidOpacity = 64;
    e->SolidOpacityTransformation = 32;
    if (!t->task->oldz->IsAllocated()) t->task->oldz->Allocate(25, 16, 4);
    int bw = t->fractal->GetBufferWidth();
    uint32_t* words = static_cast<uint32_t*>(t->task->oldz->data);
    t->task->flags[0] = PF_SOLID;
    t->task->flags[1] = PF_SOLID | PF_INSIDE;
    t->task->flags[2] = PF_SOLID | PF_INSIDE | PF_MAPSOLID;
    words[3] = 0xFFFFFFFFu;              // v = 65534: opaque
    words[4] = 0x8000FFFFu;              // v = 32767: half
    memset(t->Rgb(4, 0), 255, 3);        // 255 at half: 127.5, to even 128
    words[5] = 0x8000FFFFu;
    words[bw] = 0;                       // row 1: transparent
    EXPECT_EQ(Grey(0, 0), 100);          // trunc(200 * 128 / 255)
    EXPECT_EQ(Grey(1, 0), 50);           // inside: 64
    EXPECT_EQ(Grey(2, 0), 25);           // no result: 32
    EXPECT_EQ(Grey(3, 0), 200);
    EXPECT_EQ(Grey(4, 0), 128);
    EXPECT_EQ(Grey(5, 0), 100);
    EXPECT_EQ(Grey(0, 1), 0);
}

TEST(MergeFunctions, ChannelModes)
{
    BuildMultiplyTable();
    struct Case {
        int mode, s, d, expected;
    } cases[] = {
        {MERGE_MULTIPLY, 255, 200, 199},   {MERGE_SCREEN, 100, 200, 222},   {MERGE_OVERLAY, 50, 100, 39},
        {MERGE_OVERLAY, 50, 200, 167},    {MERGE_SOFTLIGHT, 100, 50, 44},  {MERGE_SOFTLIGHT, 200, 50, 110},
        {MERGE_HARDLIGHT, 100, 50, 39},    {MERGE_HARDLIGHT, 200, 50, 167}, {MERGE_DARKEN, 100, 50, 50},
        {MERGE_LIGHTEN, 100, 50, 100},     {MERGE_DIFFERENCE, 50, 100, 50}, {MERGE_DIFFERENCE, 100, 50, 50},
        {MERGE_ADDITION, 200, 100, 255},   {MERGE_SUBTRACTION, 100, 50, 0}, {MERGE_SUBTRACTION, 50, 100, 50},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MergeChannel(c.mode, c.s, c.d), c.expected) << c.mode << " " << c.s << " " << c.d;
}

TEST(MergeFunctions, PixelModes)
{
    BuildMultiplyTable();
    const int grey100[3] = {100, 100, 100}, red[3] = {255, 0, 0}, blueish[3] = {10, 20, 200};
    int out[3];
    MergePixel(MERGE_HSLADDITION, grey100, grey100, out);
    EXPECT_EQ(out[0], 72);
    EXPECT_EQ(out[2], 72);
    MergePixel(MERGE_GREEN, red, blueish, out);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 200);
    MergePixel(MERGE_LUMINANCE, grey100, red, out);   // red's hue and saturation at lightness 100
    EXPECT_EQ(out[0], 200);
    EXPECT_EQ(out[1], 0);
    MergePixel(MERGE_HUE, blueish, grey100, out);     // a grey below keeps its greyness
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[2], 100);
}

}  // namespace
