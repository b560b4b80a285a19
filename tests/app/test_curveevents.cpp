// The curve editors' glue: the knot drag (cyclic wrap with the half-step
// below 0, limits of ordered and free editors, the nudge off an equal x),
// the band that is repainted, the palette channels moving together, knot
// creation by control id and the selected knot's fields with wrapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CurveEvents.h"
#include "calc/colour/ColorModels.h"
#include "foundation/CurveKnot.h"
#include "tests/document/FolderTestSupport.h"

namespace {

// 252 pixels over 0..251: one pixel is one unit of x; y 0..255 over 256.
CurveEditor Editor(NodeList* knots, bool cyclic, bool ordered, int id = 425)
{
    CurveEditor e{};
    e.controlId = id;
    e.knots = knots;
    e.minimum = 0;
    e.maximum = 251;
    e.yMinimum = 0;
    e.yMaximum = 255;
    e.width = 252;
    e.height = 256;
    e.cyclic = cyclic;
    e.period = 252;
    e.ordered = ordered;
    e.current = true;
    return e;
}

void Fill(NodeList* list, std::vector<double> xs, int selected)
{
    list->DeleteAllNodes();
    for (size_t i = 0; i < xs.size(); i++) {
        CurveKnot* k = new CurveKnot(xs[i], 100);
        k->selected = (int)i == selected;
        list->Append(k);
    }
}

std::vector<double> Xs(const NodeList& list)
{
    std::vector<double> xs;
    for (ListNode* n = list.GetHead(); n; n = n->next)
        xs.push_back(AsKnot(n)->x);
    return xs;
}

// Each case: knots, the selected one, the drag, the knots after (in order).
TEST(CurveDrag, WrapLimitsAndNudge)
{
    const struct {
        const char* what;
        bool cyclic, ordered;
        std::vector<double> xs;
        int selected, dx;
        std::vector<double> expected;
    } kCases[] = {
        {"cyclic: below 0 reappears near the end", true, false, {3, 100}, 0, -5, {100, 250}},
        {"cyclic: past the end starts again", true, false, {100, 250}, 1, 3, {1, 100}},
        {"cyclic: -0.5 .. 0 becomes 0, not the end", true, false, {0.5, 100}, 0, -1, {0, 100}},
        {"cyclic: just below -0.5 wraps", true, false, {0.4, 100}, 0, -1, {100, 251}},
        {"equal x moving right is nudged left", true, false, {10, 15, 100}, 0, 5, {14, 15, 100}},
        {"equal x moving left is nudged right", false, false, {10, 15, 100}, 1, -5, {10, 11, 100}},
        {"ordered: stops at the right neighbour", false, true, {10, 20, 30}, 1, 50, {10, 29, 30}},
        {"ordered: stops at the left neighbour", false, true, {10, 20, 30}, 1, -50, {10, 11, 30}},
        {"free: passes its neighbours", false, false, {10, 20, 30}, 0, 15, {20, 25, 30}},
        {"free: clamped to the range", false, false, {10, 20}, 1, 400, {10, 251}},
        {"free: one below the minimum at most", false, false, {10, 20}, 0, -400, {-1, 20}},
    };
    NodeList knots;
    for (const auto& c : kCases) {
        Fill(&knots, c.xs, c.selected);
        CurveEditor e = Editor(&knots, c.cyclic, c.ordered);
        CurveBand before, after;
        MoveSelectedKnots(e, c.dx, 0, true, &before, &after);
        EXPECT_EQ(c.expected, Xs(knots)) << c.what;
    }
    knots.DeleteAllNodes();
}

// The offset shifts the shown curve, not the stored x; y follows the
// pixels and stays in the y range; moveY false leaves y alone.
TEST(CurveDrag, OffsetAndY)
{
    NodeList knots;
    Fill(&knots, {50, 200}, 0);
    CurveEditor e = Editor(&knots, true, false);
    double offset = 10;
    e.xOffset = &offset;
    CurveBand before, after;
    MoveSelectedKnots(e, 5, -20, true, &before, &after);
    EXPECT_EQ(55, AsKnot(knots.GetHead())->x);
    EXPECT_NEAR(120, AsKnot(knots.GetHead())->y, 1e-9);
    MoveSelectedKnots(e, 0, -500, true, &before, &after);
    EXPECT_EQ(255, AsKnot(knots.GetHead())->y);
    MoveSelectedKnots(e, 0, 40, false, &before, &after);
    EXPECT_EQ(255, AsKnot(knots.GetHead())->y);
    knots.DeleteAllNodes();
}

// The band covers the neighbours' spans before and after; a single knot
// marks everything.
TEST(CurveDrag, ChangedBand)
{
    NodeList knots;
    Fill(&knots, {0, 51, 102, 153, 251}, 2);
    CurveEditor e = Editor(&knots, false, false);
    CurveBand before, after;
    MoveSelectedKnots(e, 60, 0, true, &before, &after);  // 102 -> 162, now between 153 and 251
    int low, high;
    ASSERT_TRUE(before.Extent(after, &low, &high));
    EXPECT_EQ(52, low);    // slot of 51
    EXPECT_EQ(255, high);  // slot of 251
    EXPECT_FALSE(before.marked[10]);

    Fill(&knots, {100}, 0);
    MoveSelectedKnots(e, 1, 0, true, &before, &after);
    ASSERT_TRUE(before.Extent(after, &low, &high));
    EXPECT_EQ(0, low);
    EXPECT_EQ(255, high);
    knots.DeleteAllNodes();
}

CurveEditor g_channels[3];
std::vector<std::string> g_calls;

class CurveGlue : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        folder = NewFolder("F");
        SetCurrentFolder(folder);
        fractal = Named("f");
        folder->AddFractal(fractal, false);
        folder->currentFractal = fractal;
        g_calls.clear();
        g_CurveEditorWindows.paletteEditor = [](int c) { return &g_channels[c]; };
        g_CurveEditorWindows.redrawStrip = [](CurveEditor* e, int l, int r) {
            g_calls.push_back(std::to_string(e->controlId) + " " + std::to_string(l) + ".." + std::to_string(r));
        };
        g_CurveEditorWindows.showFields = [](int id, const CurveFields& f) {
            g_calls.push_back(std::to_string(id) + " pos " + f.position + " rgb " + f.red + "," + f.green + "," +
                              f.blue + " samples " + f.samples[0] + "," + f.samples[1] + "," + f.samples[2] +
                              " value " + f.value);
        };
        for (int c = 0; c < 3; c++) {
            Palette& p = fractal->palette;
            p.ClearKnots(c);
            p.InsertKnot(c, 0, 0);
            p.InsertKnot(c, 100, 128);
            p.InsertKnot(c, 200, 255);
            AsKnot(p.knots[c].GetAt(1))->selected = 1;
            p.selectedKnot[c] = AsKnot(p.knots[c].GetAt(1));
            g_channels[c] = Editor(&p.knots[c], true, false, PALETTE_CHANNEL_EDITOR + c);
        }
    }
    void TearDown() override
    {
        g_CurveEditorWindows = CurveEditorWindows{};
        FolderFixture::TearDown();
    }
    FractalFolder* folder;
    Fractal* fractal;
};

// Knot mode "all" drags the three channels together (y only in the
// dragged one) and repaints each; mode "each" only the dragged channel.
TEST_F(CurveGlue, PaletteChannelsMoveTogetherInKnotModeAll)
{
    fractal->palette.knotmode = KNOTMODE_ALL;
    RecomputeEditorCurve(&g_channels[1], 10, -10);
    for (int c = 0; c < 3; c++) {
        CurveKnot* k = AsKnot(fractal->palette.knots[c].GetAt(1));
        EXPECT_EQ(110, k->x) << c;
        EXPECT_EQ(c == 1 ? 138.0 : 128.0, k->y) << c;
    }
    EXPECT_EQ(3u, g_calls.size());
    EXPECT_EQ("2002 0..200", g_calls.at(1));

    g_calls.clear();
    fractal->palette.knotmode = KNOTMODE_EACH;
    RecomputeEditorCurve(&g_channels[2], -20, 0);
    EXPECT_EQ(90, AsKnot(fractal->palette.knots[2].GetAt(1))->x);
    EXPECT_EQ(110, AsKnot(fractal->palette.knots[0].GetAt(1))->x);
    EXPECT_EQ((std::vector<std::string>{"2003 0..200"}), g_calls);
}

TEST_F(CurveGlue, CreatePointByControlId)
{
    CurveKnot* knot = CreateCurvePoint(&g_channels[1], 50, 77);
    ASSERT_NE(nullptr, knot);
    EXPECT_EQ(knot, fractal->palette.selectedKnot[1]);
    EXPECT_TRUE(knot->selected);
    EXPECT_EQ(4, fractal->palette.knots[1].Count());
    EXPECT_EQ(3, fractal->palette.knots[0].Count());
    EXPECT_EQ(nullptr, CreateCurvePoint(&g_channels[1], 50, 10)) << "position taken";

    NodeList none;
    CurveEditor alpha = Editor(&none, true, false, ALPHA_CURVE_EDITOR);
    CurveEditor spline = Editor(&none, false, true, HEIGHT_SPLINE_EDITOR);
    EXPECT_EQ(nullptr, CreateCurvePoint(&alpha, 10, 10)) << "no alpha window";
    EXPECT_EQ(nullptr, CreateCurvePoint(&spline, 10, 10));
}

// The palette index wraps past 251; an RGB palette shows its HSV samples.
// The alpha index wraps by the editor's period.
TEST_F(CurveGlue, SelectionFieldsWrap)
{
    Palette& p = fractal->palette;
    p.colormodel = CM_RGB;
    p.Rebuild();
    p.offset = 200;  // knot 100 -> index 300 - 252 = 48
    const RGBQUAD c = p.colorTable[48];
    double rgb[3] = {p.modelValues[0][48], p.modelValues[1][48], p.modelValues[2][48]}, hsv[3];
    RgbToModel(CM_HSV, rgb, hsv);
    char expected[200];
    snprintf(expected, sizeof expected, "2001 pos 100 rgb %d,%d,%d samples %.0f,%.0f,%.0f value ", c.rgbRed,
             c.rgbGreen, c.rgbBlue, hsv[0], hsv[1], hsv[2]);
    ShowCurveSelection(&g_channels[0]);
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ(expected, g_calls[0]);

    // Not the owner's current editor: nothing.
    g_channels[0].current = false;
    ShowCurveSelection(&g_channels[0]);
    EXPECT_EQ(1u, g_calls.size());

    NodeList points;
    points.Append(new CurveKnot(5, 0));
    AsKnot(points.GetHead())->selected = 1;
    CurveEditor alpha = Editor(&points, true, false, ALPHA_CURVE_EDITOR);
    alpha.period = 400;
    fractal->alphaChannel.offset = 398;  // 398 + 5 -> 3
    fractal->alphaChannel.alphaTable[3] = 77;
    ShowCurveSelection(&alpha);
    EXPECT_EQ("2031 pos 5 rgb ,, samples ,, value 77", g_calls.back());
    points.DeleteAllNodes();
}

}  // namespace
