// The 3D settings block: its layout against the dims table (the generic
// parameter code walks the record by the rows' widths), the defaults per
// type, the copy with the fields it must leave alone, and the height-curve
// suggestion on small images, including cells that are not numbers.
#include <gtest/gtest.h>

#include <math.h>
#include <stddef.h>
#include <string.h>

#include <memory>
#include <vector>

#include "document/Fractal.h"
#include "view3d/Parameters3D.h"

namespace {

std::vector<std::pair<double, double>> Knots(const Parameters3D& p)
{
    std::vector<std::pair<double, double>> out;
    for (const ListNode* n = p.ControlPointList->GetHead(); n; n = n->next)
        out.push_back({ AsKnot(n)->x, AsKnot(n)->y });
    return out;
}

// A height field of w x h float cells (stride w + 1, as the task's buffers).
struct Field {
    Field(int w, int h, float fill) : w(w), h(h), values((w + 1) * h, fill), flags((w + 1) * h, 0) {}
    float& at(int x, int y) { return values[y * (w + 1) + x]; }
    HeightFieldSource Source(int type)
    {
        return HeightFieldSource{ values.data(), flags.data(), nullptr, w, h, w + 1, type };
    }
    int w, h;
    std::vector<float> values;
    std::vector<uint8_t> flags;
};

}  // namespace

// Each field sits where the walk over the table's widths puts it.
TEST(Parameters3D, LayoutFollowsTheDimsTable)
{
    const ParameterDescriptor* table = GetDimsTable();
    EXPECT_EQ(DescriptorRowCount(table), DIMS_ROW_COUNT);
    EXPECT_EQ(DescriptorBlockSize(table), (int)sizeof(Parameters3D));
    const size_t offsets[] = {
#define DIMS_ROW(field, ...) offsetof(Parameters3D, field),
#include "view3d/DimsRows.h"
#undef DIMS_ROW
    };
    int at = 0;
    for (int i = 0; i < DIMS_ROW_COUNT; i++) {
        EXPECT_EQ(offsets[i], (size_t)at) << "row " << i << " " << table[i].key;
        at += DescriptorFieldWidth(table[i]);
    }
    // A few rows whose place the entry format depends on.
    struct Row { int index; const char* key; int type; int size; int group; int sub; };
    const Row rows[] = {
        { 0, "ObserverVAngle", PT_DOUBLE, 0, 4, 0 },
        { 28, "ControlPointList", PT_BLOB, 44, 0, 4 },
        { 29, "firstSelected", PT_BLOB, 4, 0, 4 },
        { 35, "3DMode", PT_INT, 0, 0, 3 },
        { 42, "", PT_DOUBLE, 0, 0, 4 },
        { 74, "Alignment", PT_BYTE, 0, 0, 2 },
        { 84, "EnableLight1", PT_BYTE, 0, 0, 3 },
        { 92, "LightPos1X", PT_DOUBLE, 0, 4, 0 },
        { 115, "LightPos8Z", PT_DOUBLE, 0, 4, 0 },
        { 187, "Light8SpecularB", PT_BYTE, 0, 4, 0 },
        { 219, "Light8SpecularMult", PT_DOUBLE, 0, 4, 0 },
        { 228, "WaterTexName", PT_TEXT, 512, 0, 3 },
        { 267, "Alignment", PT_BYTE, 0, 0, 2 },
    };
    for (const Row& r : rows) {
        const ParameterDescriptor& d = table[r.index];
        EXPECT_STREQ(d.key, r.key) << r.index;
        EXPECT_EQ(d.valueType, r.type) << r.key;
        EXPECT_EQ(d.size, r.size) << r.key;
        EXPECT_EQ(d.group, r.group) << r.key;
        EXPECT_EQ(d.subKind, r.sub) << r.key;
    }
    EXPECT_EQ(table[DIMS_ROW_COUNT].valueType, PT_END);
    EXPECT_EQ(table[0].maximum, 1e300);
    EXPECT_EQ(table[13].minimum, 1e-08);
    EXPECT_EQ(table[30].animatable, 0);     // XRangeMin: written, not animatable
    EXPECT_EQ(table[30].written, 1);
}

TEST(Parameters3D, DefaultsPerType)
{
    Parameters3D e(FT_ESCAPETIME), p(FT_PLASMA);
    struct View { double Parameters3D::*field; double escape, plasma; };
    const View views[] = {
        { &Parameters3D::ObserverVAngle, 30, 60 }, { &Parameters3D::YStretch, 1.6, 1 },
        { &Parameters3D::UpDown, 0, 30 }, { &Parameters3D::FrontMult, 1.2, 0.5 },
        { &Parameters3D::BackMult, 1.2, 0.4 }, { &Parameters3D::Reflection, 2, 2 },
        { &Parameters3D::XRangeMax, 200, 200 }, { &Parameters3D::GLObsZ, 40, 40 },
        { &Parameters3D::FogDensity, 0.01, 0.01 }, { &Parameters3D::WorldRadius, 6370, 6370 },
        { &Parameters3D::LightPos3Y, -10, -10 }, { &Parameters3D::LightPos8Z, 10, 10 },
        { &Parameters3D::Light5SpecularMult, 1, 1 },
    };
    for (const View& v : views) {
        EXPECT_EQ(e.*v.field, v.escape);
        EXPECT_EQ(p.*v.field, v.plasma);
    }
    EXPECT_EQ(e.Drawmode, 1);
    EXPECT_EQ(e.PolygonMode, 2);
    EXPECT_EQ(e.NurbsMode, 3);
    EXPECT_EQ(e.xSize, 40);
    EXPECT_EQ(e.EnableLight1, 1);
    EXPECT_EQ(e.EnableLight2, 0);
    EXPECT_EQ(e.Light4SpecularR, 50);
    EXPECT_EQ(e.Light4SpecularG, 80);
    EXPECT_EQ(e.Light4SpecularB, 180);
    EXPECT_EQ(e.Light7DiffuseG, 204);
    EXPECT_EQ(e.MatSpecularB, 140);
    EXPECT_EQ(e.SkyHorizonColorG, 214);
    EXPECT_EQ(e.FogColorB, 216);
    EXPECT_STREQ(e.Texturename, "");

    std::vector<std::pair<double, double>> escapeKnots = { { 3, 0 }, { 11, 46.4 }, { 17, 53.3 }, { 24, 53.3 } };
    EXPECT_EQ(Knots(e), escapeKnots);
    std::vector<std::pair<double, double>> plasmaKnots = { { -350, 0 }, { -300, 25 }, { -200, 75 }, { -100, 125 },
                                                           { 0, 175 }, { 100, 225 }, { 200, 275 }, { 300, 325 } };
    EXPECT_EQ(Knots(p), plasmaKnots);
    for (Parameters3D* b : { &e, &p }) {
        ASSERT_NE(b->firstSelected, nullptr);
        EXPECT_EQ(b->firstSelected, AsKnot(b->ControlPointList->GetHead()));
        EXPECT_TRUE(b->firstSelected->selected);
        // The list keys are the ordinals the older knotx/knoty keys address.
        EXPECT_EQ(b->ControlPointList->GetTail()->key, b->ControlPointList->Count());
    }
}

// A copy takes every value and knot, but not the alpha bytes and the spare
// observer doubles of the target; it survives its source.
TEST(Parameters3D, AssignAndCopy)
{
    std::unique_ptr<Parameters3D> source(new Parameters3D(FT_PLASMA));
    source->Backgroundalpha = 7;
    source->ColorAlpha = 8;
    source->SpareObserver3 = 9.5;
    source->LightPos2X = -3.25;
    source->Light6AmbientB = 17;
    source->Mode3D = 1;
    strcpy(source->WaterTexName, "waves.png");
    AsKnot(source->ControlPointList->GetAt(3))->selected = 1;

    Parameters3D target(FT_ESCAPETIME);
    target.Backgroundalpha = 1;
    target.ColorAlpha = 2;
    target.SpareObserver3 = 3;
    target.Assign(*source);
    Parameters3D copy(*source);
    std::vector<std::pair<double, double>> knots = Knots(*source);
    source.reset();

    EXPECT_EQ(target.Backgroundalpha, 1);
    EXPECT_EQ(target.ColorAlpha, 2);
    EXPECT_EQ(target.SpareObserver3, 3);
    for (Parameters3D* b : { &target, &copy }) {
        EXPECT_EQ(b->ObserverVAngle, 60);
        EXPECT_EQ(b->LightPos2X, -3.25);
        EXPECT_EQ(b->Light6AmbientB, 17);
        EXPECT_EQ(b->Mode3D, 1);
        EXPECT_STREQ(b->WaterTexName, "waves.png");
        EXPECT_EQ(Knots(*b), knots);
        // Only the first copied knot is selected.
        EXPECT_EQ(b->firstSelected, AsKnot(b->ControlPointList->GetHead()));
        int selected = 0;
        for (const ListNode* n = b->ControlPointList->GetHead(); n; n = n->next)
            selected += AsKnot(n)->selected;
        EXPECT_EQ(selected, 1);
    }
    EXPECT_EQ(copy.Backgroundalpha, 0);
    EXPECT_EQ(copy.SpareObserver3, 0);

    target.ClearControlPoints();
    EXPECT_EQ(target.ControlPointList->Count(), 0);
    EXPECT_EQ(target.firstSelected, nullptr);
    copy.Assign(target);
    EXPECT_EQ(copy.firstSelected, nullptr);
    EXPECT_EQ(copy.ControlPointList->Count(), 0);
}

// Flat images and images without a finite height leave no knots.
TEST(Parameters3D, SuggestOnFlatOrEmptyImages)
{
    Parameters3D p(FT_ESCAPETIME);
    Field flat(6, 5, 3.0f);
    SuggestHeightSpline(p, flat.Source(FT_ESCAPETIME));
    EXPECT_EQ(p.ControlPointList->Count(), 0);
    EXPECT_EQ(p.firstSelected, nullptr);

    Field undefined(6, 5, NAN);
    undefined.at(2, 2) = INFINITY;
    SuggestHeightSpline(p, undefined.Source(FT_ESCAPETIME));
    EXPECT_EQ(p.ControlPointList->Count(), 0);
}

// Two interior pixels worked by hand: heights 1 and 2 in a frame of 0.
// Buckets 99 (mean of squared neighbour differences 625) and 199 (mean
// 2265.625) give the knots.
TEST(Parameters3D, SuggestSmallImage)
{
    Field f(4, 3, 0.0f);
    f.at(1, 1) = 1;
    f.at(2, 1) = 2;
    double y1 = 0.00001, y2 = y1 + 1 / sqrt(sqrt(2265.625));
    struct Case { int type; double scale; };
    for (const Case& c : { Case{ FT_ESCAPETIME, 252 }, Case{ FT_PLASMA, 1 } }) {
        Parameters3D p(c.type);
        SuggestHeightSpline(p, f.Source(c.type));
        std::vector<std::pair<double, double>> knots = Knots(p);
        ASSERT_EQ(knots.size(), c.scale > 1 ? 2u : 1u) << c.type;
        if (c.scale > 1) {
            EXPECT_NEAR(knots[0].first, 99 * 2.0 * 252 / 199, 1e-9);
            EXPECT_NEAR(knots[0].second, 50 * y1 / y2, 1e-12);
        }
        // Without the escape-time scale both knots fall within 2 of each
        // other; only the first stays, and it ends the curve at 50.
        EXPECT_NEAR(knots.back().first, c.scale > 1 ? 2 * 252 : 99 * 2.0 / 199, 1e-9);
        EXPECT_NEAR(knots.back().second, 50, 1e-12);
        EXPECT_EQ(p.firstSelected, nullptr);
    }

    // Cells holding colours count as (R + G + B) / 768.
    Field coloured(4, 3, 0.0f);
    uint32_t white = 0xFFFFFF;
    memcpy(&coloured.at(1, 1), &white, 4);
    coloured.flags[1 * 5 + 1] = 0x40;
    Parameters3D p(FT_PLASMA);
    SuggestHeightSpline(p, coloured.Source(FT_PLASMA));
    ASSERT_EQ(p.ControlPointList->Count(), 1);
    EXPECT_NEAR(AsKnot(p.ControlPointList->GetHead())->x, 765.0 / 768, 1e-6);
}

// Cells that are not finite take no part: they neither widen the range
// nor fall into a bucket outside the table.
TEST(Parameters3D, SuggestSkipsNonFiniteHeights)
{
    Field clean(40, 30, 0.0f);
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            clean.at(x, y) = (float)(sin(x * 0.3) * cos(y * 0.2) * 20 + x);
    Field dirty = clean;
    dirty.at(5, 5) = NAN;
    dirty.at(0, 0) = INFINITY;
    dirty.at(39, 29) = -INFINITY;
    dirty.at(20, 10) = -NAN;

    Parameters3D a(FT_ESCAPETIME), b(FT_ESCAPETIME);
    SuggestHeightSpline(a, clean.Source(FT_ESCAPETIME));
    SuggestHeightSpline(b, dirty.Source(FT_ESCAPETIME));
    std::vector<std::pair<double, double>> ka = Knots(a), kb = Knots(b);
    ASSERT_GT(kb.size(), 3u);
    EXPECT_NEAR(kb.back().second, 50, 1e-9);
    for (size_t i = 0; i < kb.size(); i++) {
        EXPECT_TRUE(isfinite(kb[i].first) && isfinite(kb[i].second)) << i;
        if (i) {
            EXPECT_GT(kb[i].first, kb[i - 1].first + 2) << i;
        }
    }
    // The range of the heights is the same, so the knots lie on the same
    // grid of bucket positions.
    EXPECT_EQ(ka.front().first, kb.front().first);
    EXPECT_GE(ka.size(), kb.size() - 2);
}
