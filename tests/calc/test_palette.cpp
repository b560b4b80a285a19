// The palette record: the start-up default and colour-cube palettes, the
// rebuild (straight and hue curves, offsets, single knots), knot insertion
// limits and the two kinds of copy.
#include <gtest/gtest.h>

#include <string.h>

#include <memory>
#include <vector>

#include "calc/colour/ColorModels.h"
#include "calc/colour/Palette.h"

namespace {

// A palette whose channels hold exactly the given (position, value) knots.
void SetKnots(Palette& p, int channel, std::initializer_list<std::pair<double, double>> knots)
{
    p.ClearKnots(channel);
    for (const auto& k : knots)
        p.knots[channel].Append(new CurveKnot(k.first, k.second));
}

void SetAllChannels(Palette& p, std::initializer_list<std::pair<double, double>> knots)
{
    for (int c = 0; c < 3; c++)
        SetKnots(p, c, knots);
}

void ExpectColour(const Palette& p, int entry, int r, int g, int b)
{
    EXPECT_EQ(p.colorTable[entry].rgbRed, r) << "entry " << entry;
    EXPECT_EQ(p.colorTable[entry].rgbGreen, g) << "entry " << entry;
    EXPECT_EQ(p.colorTable[entry].rgbBlue, b) << "entry " << entry;
}

std::vector<std::pair<double, double>> Knots(const Palette& p, int channel)
{
    std::vector<std::pair<double, double>> out;
    for (const ListNode* n = p.knots[channel].GetHead(); n; n = n->next)
        out.push_back({ AsKnot(n)->x, AsKnot(n)->y });
    return out;
}

}  // namespace

// The default palette's knots come from its start-up table; the straight
// rebuild reproduces the knot values at their positions, and entries 252 to
// 255 keep the table's own colours.
TEST(Palette, DefaultPalette)
{
    ASSERT_NE(DefaultPalette, nullptr);
    const Palette& p = *DefaultPalette;
    EXPECT_STREQ(p.name, "");
    EXPECT_EQ(p.smooth, 0);
    EXPECT_EQ(p.colormodel, CM_RGB);
    EXPECT_EQ(p.knotmode, KNOTMODE_EACH);
    EXPECT_EQ(p.knots[0].Count(), 15);
    EXPECT_EQ(p.knots[1].Count(), 18);
    EXPECT_EQ(p.knots[2].Count(), 17);
    for (int c = 0; c < 3; c++) {
        ASSERT_NE(p.selectedKnot[c], nullptr);
        EXPECT_EQ(p.selectedKnot[c], AsKnot(p.knots[c].GetHead()));
        EXPECT_TRUE(p.selectedKnot[c]->selected);
    }
    struct Knot { int channel; int pos; int value; };
    const Knot knots[] = { { 0, 0, 150 }, { 1, 144, 200 }, { 2, 145, 200 }, { 2, 177, 248 },
                           { 1, 224, 252 }, { 0, 251, 172 }, { 2, 251, 100 } };
    for (const Knot& k : knots) {
        const uint8_t* e = &p.colorTable[k.pos].rgbBlue;
        EXPECT_EQ(e[2 - k.channel], k.value) << "channel " << k.channel << " at " << k.pos;
    }
    ExpectColour(p, 16, 0, 0, 252);
    ExpectColour(p, 24, 126, 126, 126);     // halfway from (0,0,252) to (252,252,0)
    ExpectColour(p, 252, 164, 112, 112);
    ExpectColour(p, 255, 140, 140, 140);
    for (int i = 0; i < PALETTE_SIZE; i++)
        EXPECT_EQ(p.colorTable[i].rgbReserved, 1);
}

TEST(Palette, ColorCubePalette)
{
    ASSERT_NE(ColorCubePalette, nullptr);
    const Palette& p = *ColorCubePalette;
    EXPECT_STREQ(p.name, "Palette");
    ExpectColour(p, 36 * 2 + 6 * 3 + 4, 102, 153, 204);
    ExpectColour(p, 215, 255, 255, 255);
    ExpectColour(p, 218, 127, 127, 127);
    ExpectColour(p, 223, 0, 127, 0);
    ExpectColour(p, 229, 178, 0, 0);
    ExpectColour(p, 235, 0, 0, 229);
    ExpectColour(p, 240, 0, 0, 0);
    EXPECT_EQ(p.knots[1].Count(), PALETTE_SIZE);
}

TEST(Palette, RebuildStraightCurves)
{
    Palette p;
    SetAllChannels(p, { { 0, 0 } });
    p.Rebuild();
    for (int i = 0; i < PALETTE_SIZE; i++)
        ExpectColour(p, i, 0, 0, 0);

    // A single knot is a constant channel, not a wrapped curve.
    SetKnots(p, 0, { { 100, 77 } });
    p.Rebuild();
    ExpectColour(p, 0, 77, 0, 0);
    ExpectColour(p, 251, 77, 0, 0);

    // Two knots: grey ramp from 0 to 128, then back down through the wrap.
    SetAllChannels(p, { { 0, 0 }, { 128, 128 } });
    p.Rebuild();
    for (int i = 0; i <= 128; i++)
        ExpectColour(p, i, i, i, i);
    ExpectColour(p, 190, 64, 64, 64);       // halfway from 128 at 128 to 0 at 252
    EXPECT_DOUBLE_EQ(p.modelValues[0][64], 64);

    // The offset moves the colours toward higher entries, wrapping at 252.
    p.offset = 10;
    p.Rebuild();
    ExpectColour(p, 10, 0, 0, 0);
    ExpectColour(p, 138, 128, 128, 128);
    p.offset = 250.4;
    p.Rebuild();
    ExpectColour(p, 250, 0, 0, 0);
    ExpectColour(p, 126, 128, 128, 128);
    // Values outside 0..255 are clamped.
    p.offset = 0;
    SetKnots(p, 1, { { 0, -50 }, { 100, 400 } });
    p.Rebuild();
    EXPECT_EQ(p.colorTable[0].rgbGreen, 0);
    EXPECT_EQ(p.colorTable[100].rgbGreen, 255);
}

// A hue curve takes the short way round the circle: 350 to 10 degrees
// passes through red, not through cyan.
TEST(Palette, RebuildHueWrapsAroundTheCircle)
{
    Palette p;
    p.colormodel = CM_HSV;
    SetKnots(p, 0, { { 0, 350 }, { 100, 10 } });
    SetKnots(p, 1, { { 0, 255 } });
    SetKnots(p, 2, { { 0, 255 } });
    p.Rebuild();
    ExpectColour(p, 50, 255, 0, 0);
    EXPECT_DOUBLE_EQ(p.modelValues[0][50], 0);
    EXPECT_NEAR(p.modelValues[0][75], 5, 1e-9);
    EXPECT_NEAR(p.modelValues[0][25], 355, 1e-9);
    EXPECT_EQ(p.colorTable[75].rgbRed, 255);
    EXPECT_LT(p.colorTable[75].rgbGreen, 30);
}

TEST(Palette, InsertKnot)
{
    Palette p;
    SetKnots(p, 0, { { 0, 1 }, { 100, 2 } });
    struct Case { double x; bool added; };
    const Case cases[] = { { 251.4, true }, { 251.5, false }, { 252, false }, { -0.6, false },
                           { 50, true }, { 50.2, false }, { 99.6, false }, { 0.4, false } };
    for (const Case& c : cases)
        EXPECT_EQ(p.InsertKnot(0, c.x, 9) != nullptr, c.added) << c.x;
    std::vector<std::pair<double, double>> expected = { { 0, 1 }, { 50, 9 }, { 100, 2 }, { 251.4, 9 } };
    EXPECT_EQ(Knots(p, 0), expected);
    EXPECT_EQ(p.InsertKnot(3, 10, 0), nullptr);
}

// The copy constructor starts at offset 0 and keeps the source's selection;
// CopyFrom keeps the offset and selects the first knot when the source has
// no selection. Both copies own their knots.
TEST(Palette, Copies)
{
    std::unique_ptr<Palette> source(new Palette());
    source->SetName("Sunset");
    source->colormodel = CM_HSL;
    source->smooth = 1;
    source->dragknotmode = 1;
    source->knotmode = KNOTMODE_ALL;
    SetAllChannels(*source, { { 0, 10 }, { 60, 200 }, { 180, 30 } });
    source->selectedKnot[1] = AsKnot(source->knots[1].GetAt(2));
    source->offset = 30;
    source->Rebuild();

    Palette copy(source.get());
    EXPECT_STREQ(copy.name, "Sunset");
    EXPECT_EQ(copy.offset, 0);
    EXPECT_EQ(copy.colormodel, CM_HSL);
    EXPECT_EQ(copy.smooth, 1);
    EXPECT_EQ(copy.dragknotmode, 1);
    EXPECT_EQ(copy.knotmode, KNOTMODE_ALL);
    EXPECT_EQ(copy.selectedKnot[0], nullptr);
    EXPECT_EQ(copy.selectedKnot[1], AsKnot(copy.knots[1].GetAt(2)));

    Palette target;
    target.SetName("Mine");
    target.dragknotmode = 0;
    target.CopyFrom(*source);
    EXPECT_STREQ(target.name, "Mine");
    EXPECT_EQ(target.dragknotmode, 0);
    EXPECT_EQ(target.offset, 30);
    EXPECT_EQ(target.selectedKnot[0], AsKnot(target.knots[0].GetHead()));
    EXPECT_EQ(target.selectedKnot[1], AsKnot(target.knots[1].GetAt(2)));
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(Knots(target, c), Knots(*source, c));
    RGBQUAD table[PALETTE_TABLE_SIZE];
    memcpy(table, source->colorTable, sizeof table);

    source.reset();
    EXPECT_EQ(memcmp(target.colorTable, table, sizeof table), 0);
    target.Rebuild();
    EXPECT_EQ(memcmp(target.colorTable, table, sizeof table), 0);
    EXPECT_EQ(copy.knots[2].Count(), 3);

    // Copying a palette onto itself keeps it.
    target.CopyFrom(target);
    EXPECT_EQ(target.knots[0].Count(), 3);

    Palette empty(static_cast<const Palette*>(nullptr));
    EXPECT_STREQ(empty.name, "empty palette");
    EXPECT_EQ(empty.knots[0].Count(), 1);
}

TEST(Palette, FindPalette)
{
    Palette* loaded = new Palette();
    loaded->SetName("Loaded one");
    g_Palettes.Append(loaded);
    EXPECT_EQ(FindPalette("Loaded one"), loaded);
    EXPECT_EQ(FindPalette("loaded one"), DefaultPalette);
    EXPECT_EQ(FindPalette("nothing"), DefaultPalette);
    g_Palettes.Remove(loaded);
    delete loaded;
}
