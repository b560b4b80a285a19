// The alpha channel record: its opaque default, the resampling of the
// 400-entry table (straight curve, offset, clamping, no points, smooth
// values from files), the copy, which leaves the offset to the caller, the
// thinning out of points, and the window glue (strip, grey ramp, menu
// check, refresh, adding a point by a click).
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "calc/DisplayPalette.h"
#include "calc/colour/AlphaChannel.h"
#include "calc/colour/AlphaChannelWindow.h"
#include "calc/colour/Palette.h"
#include "compiler/CompileHost.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"

namespace {

void SetPoints(AlphaChannel& a, std::initializer_list<std::pair<double, double>> points)
{
    a.Clear();
    for (const auto& p : points)
        a.points.Append(new CurveKnot(p.first, p.second));
}

typedef std::vector<std::pair<double, double>> PointList;

PointList Points(const AlphaChannel& a)
{
    PointList out;
    for (const ListNode* n = a.points.GetHead(); n; n = n->next)
        out.push_back({ AsKnot(n)->x, AsKnot(n)->y });
    return out;
}

std::vector<uint8_t> Table(const AlphaChannel& a)
{
    return std::vector<uint8_t>(a.alphaTable, a.alphaTable + ALPHA_TABLE_SIZE);
}

// Records what the glue asks of the window.
struct ViewsRecorder : AlphaChannelViews {
    Fractal* ShownFractal() override { return shown; }
    bool IsOpen() override { return open; }
    int PlotWidth() override { return width; }
    int MaxPlotWidth() override { return 1200; }
    void RedrawPlot() override { calls.push_back("redraw"); }
    void InvalidateStrips() override { calls.push_back("strips"); }
    void ShowSelection() override { calls.push_back("selection"); }
    void CheckMenuItem(int item, bool checked) override
    {
        calls.push_back(std::string(checked ? "check " : "uncheck ") + std::to_string(item));
    }

    Fractal* shown = nullptr;
    bool open = true;
    int width = 1000;
    std::vector<std::string> calls;
};

// The screen depth for one test.
struct ScreenDepthScope {
    explicit ScreenDepthScope(int depth) : saved(ScreenDepth) { ScreenDepth = depth; }
    ~ScreenDepthScope() { ScreenDepth = saved; }
    int saved;
};

}  // namespace

TEST(AlphaChannel, NewChannelIsOpaque)
{
    AlphaChannel a;
    EXPECT_STREQ(a.name, "empty alpha channel");
    ASSERT_EQ(a.points.Count(), 1);
    const CurveKnot* p = AsKnot(a.points.GetHead());
    EXPECT_EQ(p->x, 0);
    EXPECT_EQ(p->y, 255);
    EXPECT_EQ(a.selectedPoint, p);
    EXPECT_TRUE(p->selected);
    for (int i = 0; i < ALPHA_TABLE_SIZE; i++)
        ASSERT_EQ(a.alphaTable[i], 255);
    a.Resample();
    for (int i = 0; i < ALPHA_TABLE_SIZE; i++) {
        ASSERT_EQ(a.alphaTable[i], 255);
        ASSERT_EQ(a.alphaValues[i], 255.0f);
    }
}

TEST(AlphaChannel, Resample)
{
    AlphaChannel a;
    SetPoints(a, { { 0, 0 }, { 128, 128 } });
    a.Resample();
    for (int k = 0; k <= 128; k++)
        ASSERT_EQ(a.alphaTable[k], k) << k;
    EXPECT_EQ(a.alphaTable[264], 64);        // halfway back down to 0 at 400

    a.offset = 100;
    a.Resample();
    EXPECT_EQ(a.alphaTable[100], 0);
    EXPECT_EQ(a.alphaTable[228], 128);
    a.offset = -300.5;                      // rounds to -300, taken modulo 400
    a.Resample();
    EXPECT_EQ(a.alphaTable[100], 0);

    // Values are clamped; the float table keeps the fraction the byte drops.
    a.offset = 0;
    SetPoints(a, { { 0, -20 }, { 200, 300.5 } });
    a.Resample();
    EXPECT_EQ(a.alphaTable[0], 0);
    EXPECT_EQ(a.alphaTable[200], 255);
    SetPoints(a, { { 0, 10.75 } });
    a.Resample();
    EXPECT_EQ(a.alphaTable[399], 10);
    EXPECT_FLOAT_EQ(a.alphaValues[399], 10.75f);

    // Without points the table is opaque again instead of stale.
    a.Clear();
    a.Resample();
    EXPECT_EQ(a.alphaTable[0], 255);
    EXPECT_EQ(a.selectedPoint, nullptr);
}

TEST(AlphaChannel, CopyFrom)
{
    std::unique_ptr<AlphaChannel> source(new AlphaChannel());
    source->SetName("Fade");
    source->smooth = 1;
    source->dragknotmode = 1;
    source->offset = 50;
    SetPoints(*source, { { 0, 10 }, { 150, 200 }, { 300, 40 } });
    source->selectedPoint = AsKnot(source->points.GetAt(1));
    source->Resample();
    uint8_t table[ALPHA_TABLE_SIZE];
    memcpy(table, source->alphaTable, sizeof table);

    AlphaChannel copy;
    copy.Clear();
    copy.CopyFrom(source.get());
    source.reset();
    EXPECT_STREQ(copy.name, "Fade");
    EXPECT_EQ(copy.smooth, 1);
    EXPECT_EQ(copy.dragknotmode, 1);
    EXPECT_EQ(copy.offset, 0);
    EXPECT_EQ(memcmp(copy.alphaTable, table, sizeof table), 0);
    ASSERT_EQ(copy.points.Count(), 3);
    EXPECT_EQ(copy.selectedPoint, AsKnot(copy.points.GetAt(1)));
    EXPECT_EQ(AsKnot(copy.points.GetTail())->y, 40);

    copy.CopyFrom(&copy);
    EXPECT_EQ(copy.points.Count(), 3);
    copy.Clear();
    copy.CopyFrom(nullptr);
    EXPECT_STREQ(copy.name, "empty alpha channel");
    EXPECT_EQ(copy.points.Count(), 1);
    EXPECT_EQ(copy.alphaTable[123], 255);
}

// Files store "smooth=yes" as 3, which draws the cubic curve; offsets from
// files may be huge or NaN and are taken modulo 400 (NaN as 0).
TEST(AlphaChannel, SmoothValuesAndOffsetsFromFiles)
{
    AlphaChannel a;
    SetPoints(a, { { 0, 0 }, { 100, 200 }, { 250, 30 } });
    auto table = [&a](int smooth, double offset) {
        a.smooth = smooth;
        a.offset = offset;
        a.Resample();
        return Table(a);
    };
    EXPECT_EQ(table(3, 0), table(1, 0));
    EXPECT_NE(table(1, 0), table(0, 0));
    EXPECT_EQ(table(0, 400e6 + 30), table(0, 30));
    EXPECT_EQ(table(0, NAN), table(0, 0));
}

// Simplify in passes. The ends are measured against their wrap neighbours
// shifted by 400, so a ramp keeps its ends; a point goes only when no
// neighbour within two places lies closer to its line.
TEST(AlphaChannel, Simplify)
{
    struct Case {
        const char* what;
        PointList points;
        double tolerance;
        PointList left;
    };
    const Case cases[] = {
        { "ramp keeps its ends", { { 0, 0 }, { 100, 100 }, { 200, 200 } }, 4, { { 0, 0 }, { 200, 200 } } },
        { "two points stay", { { 0, 0 }, { 100, 255 } }, 1000, { { 0, 0 }, { 100, 255 } } },
        { "flat curve thins to one point", { { 0, 50 }, { 100, 50 }, { 200, 50 }, { 300, 50 } }, 1,
          { { 300, 50 } } },
        { "peak loses only the flat point", { { 0, 0 }, { 100, 0 }, { 200, 255 }, { 300, 0 } }, 4,
          { { 100, 0 }, { 200, 255 }, { 300, 0 } } },
        // Pass 1 removes only (100, 0) at deviation 1: (0, 0) at 8 is under
        // the tolerance too but waits for its closer neighbour. Pass 2 then
        // takes (0, 0), pass 3 (200, 0), and the two extremes remain.
        { "closer neighbour goes first", { { 0, 0 }, { 50, 10 }, { 100, 0 }, { 150, -12 }, { 200, 0 } }, 9,
          { { 50, 10 }, { 150, -12 } } },
    };
    for (const Case& c : cases) {
        AlphaChannel a;
        SetPoints(a, {});
        for (const auto& p : c.points)
            a.points.Append(new CurveKnot(p.first, p.second));
        a.Resample();
        std::vector<uint8_t> before = Table(a);
        int removed = a.Simplify(c.tolerance);
        EXPECT_EQ(Points(a), c.left) << c.what;
        EXPECT_EQ(removed, (int)(c.points.size() - c.left.size())) << c.what;
        if (c.tolerance < 5) {
            a.Resample();
            EXPECT_EQ(Table(a), before) << c.what << ": the shape changed";
        }
    }

    // A removed selected point hands the selection to its successor.
    AlphaChannel a;
    SetPoints(a, { { 0, 0 }, { 100, 100 }, { 200, 200 } });
    a.selectedPoint = AsKnot(a.points.GetAt(1));
    a.Simplify(4);
    EXPECT_EQ(a.selectedPoint, AsKnot(a.points.GetTail()));
    EXPECT_TRUE(a.selectedPoint->selected);
}

// The preview strip samples the table across the plot (the last pixel of a
// 1000-pixel plot from entry 399): greys on deep displays, the colour
// cube's nearest grey on 8-bit ones. A closed window gets nothing.
TEST(AlphaChannelWindow, Strip)
{
    Fractal fractal(FT_ESCAPETIME, 0);
    for (int k = 0; k < ALPHA_TABLE_SIZE; k++)
        fractal.alphaChannel.alphaTable[k] = (uint8_t)(k & 0xFF);
    ViewsRecorder views;
    {
        ScreenDepthScope depth(24);
        BuildAlphaStrip(&views, &fractal);
        ASSERT_EQ(views.stripWidth, 1000);
        EXPECT_EQ(views.strip.size(), 3600u);
        struct Case { int pixel, entry; };
        const Case cases[] = { { 0, 0 }, { 1, 0 }, { 2, 1 }, { 500, 200 }, { 998, 399 }, { 999, 399 } };
        for (const Case& c : cases)
            for (int b = 0; b < 3; b++)
                EXPECT_EQ(views.strip[3 * c.pixel + b], c.entry & 0xFF) << "pixel " << c.pixel;
    }
    {
        ScreenDepthScope depth(8);
        views.width = 400;
        BuildAlphaStrip(&views, &fractal);
        ASSERT_EQ(views.stripWidth, 400);
        for (int c = 0; c < 400; c += 37) {
            const RGBQUAD& e = ColorCubePalette->colorTable[views.strip[c]];
            int a = c & 0xFF;
            EXPECT_TRUE(e.rgbRed == e.rgbGreen && e.rgbGreen == e.rgbBlue) << "pixel " << c;
            EXPECT_NEAR(e.rgbRed, a, 30) << "pixel " << c;
        }
    }
    ViewsRecorder closed;
    closed.open = false;
    BuildAlphaStrip(&closed, &fractal);
    EXPECT_EQ(closed.stripWidth, 0);
    EXPECT_TRUE(closed.strip.empty());
}

TEST(AlphaChannelWindow, DisplayRamp)
{
    {
        ScreenDepthScope depth(24);
        SetupAlphaDisplayPalette();
        EXPECT_EQ(g_AlphaDisplayRamp.bits, 24);
        EXPECT_EQ(g_AlphaDisplayRamp.greys[77][0], 77);
        EXPECT_EQ(g_AlphaDisplayRamp.greys[255][2], 255);
    }
    ScreenDepthScope depth(8);
    SetupAlphaDisplayPalette();
    EXPECT_EQ(g_AlphaDisplayRamp.bits, 8);
    for (int i = 0; i < 256; i += 17) {
        const RGBQUAD& e = g_AlphaDisplayRamp.colours[g_AlphaDisplayRamp.indices[i]];
        EXPECT_TRUE(e.rgbRed == e.rgbGreen && e.rgbGreen == e.rgbBlue) << i;
        EXPECT_NEAR(e.rgbRed, i, 30) << i;
        EXPECT_EQ(e.rgbReserved, 0);
    }
    EXPECT_EQ(memcmp(&g_AlphaDisplayRamp.colours[100], &ColorCubePalette->colorTable[100], 3), 0);
}

// A click adds a rounded, selected point. An escape-time fractal is
// resampled and its strip rebuilt; another type only records the undo step.
TEST(AlphaChannelWindow, AddAlphaPoint)
{
    ViewsRecorder views;
    EXPECT_EQ(AddAlphaPoint(&views, 10, 10), nullptr);
    EXPECT_EQ(AddAlphaPoint(nullptr, 10, 10), nullptr);

    Fractal escape(FT_ESCAPETIME, 0);
    views.shown = &escape;
    CurveKnot* first = escape.alphaChannel.selectedPoint;
    CurveKnot* p = AddAlphaPoint(&views, 199.6, 0.4);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Points(escape.alphaChannel), (PointList{ { 0, 255 }, { 200, 0 } }));
    EXPECT_EQ(escape.alphaChannel.selectedPoint, p);
    EXPECT_TRUE(p->selected);
    EXPECT_FALSE(first->selected);
    EXPECT_EQ(escape.alphaChannel.alphaTable[200], 0);
    EXPECT_EQ(escape.alphaChannel.alphaTable[100], 127);
    EXPECT_EQ(views.stripWidth, 1000);
    EXPECT_EQ(views.calls, (std::vector<std::string>{ "redraw", "strips", "selection", "redraw" }));
    ASSERT_NE(escape.undoSteps.GetTail(), nullptr);
    EXPECT_STREQ(escape.undoSteps.GetTail()->name, "Alpha Channel changed");

    Fractal plasma(FT_PLASMA, 0);
    views.shown = &plasma;
    views.calls.clear();
    views.stripWidth = 0;
    ASSERT_NE(AddAlphaPoint(&views, 100, 0), nullptr);
    EXPECT_EQ(plasma.alphaChannel.points.Count(), 2);
    EXPECT_EQ(plasma.alphaChannel.alphaTable[100], 255);
    EXPECT_EQ(views.stripWidth, 0);
    EXPECT_EQ(views.calls, (std::vector<std::string>{ "selection", "redraw" }));
    ASSERT_NE(plasma.undoSteps.GetTail(), nullptr);
    EXPECT_STREQ(plasma.undoSteps.GetTail()->name, "Alpha Channel changed");
}

// The refresh and the menu check act on escape-time fractals only.
TEST(AlphaChannelWindow, RefreshAndMenuCheck)
{
    ViewsRecorder views;
    Fractal escape(FT_ESCAPETIME, 0), plasma(FT_PLASMA, 0);
    for (Fractal* f : { &escape, &plasma })
        SetPoints(f->alphaChannel, { { 0, 0 }, { 200, 200 } });

    RefreshAlphaChannel(&views, &plasma, true, true);
    EXPECT_EQ(plasma.alphaChannel.alphaTable[100], 255);
    EXPECT_TRUE(views.calls.empty());
    RefreshAlphaChannel(&views, &escape, false, false);
    EXPECT_EQ(escape.alphaChannel.alphaTable[100], 100);
    EXPECT_TRUE(views.calls.empty());
    RefreshAlphaChannel(&views, &escape, true, false);
    EXPECT_EQ(views.calls, (std::vector<std::string>{ "redraw", "strips" }));

    views.calls.clear();
    views.shown = &escape;
    escape.alphaChannel.dragknotmode = 1;
    UpdateAlphaMenuCheck(&views);
    escape.alphaChannel.dragknotmode = 0;
    UpdateAlphaMenuCheck(&views);
    views.shown = &plasma;
    UpdateAlphaMenuCheck(&views);
    EXPECT_EQ(views.calls, (std::vector<std::string>{ "check 29250", "uncheck 29250" }));
}
