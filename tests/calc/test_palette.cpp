// The palette record: the start-up default and colour-cube palettes, the
// rebuild (straight and hue curves, offsets, single knots, smooth values),
// knot insertion limits, the two kinds of copy, the knot operations of the
// editor (simplify, set from colour, set a component, align) and deletion
// from the loaded list.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <memory>
#include <vector>

#include "calc/colour/ColorModels.h"
#include "calc/colour/Palette.h"
#include "document/ParameterTables.h"
#include "tests/support/ScriptedBoxes.h"

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

// Records what the knot operations ask of the editor.
struct EditorRecorder : PaletteEditorView {
    void RedrawChannel(int channel) override { redrawn.push_back(channel); }
    void ApplyPaletteChange() override { applied++; }
    std::vector<int> redrawn;
    int applied = 0;
};

typedef std::vector<std::pair<double, double>> KnotList;

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

// The whole default gradient against straight lines drawn by hand between
// the knots of its table, closing from the last knot of a channel over 252
// back to its first.
TEST(Palette, DefaultPaletteMatchesItsKnotsByHand)
{
    struct Row { int pos, value[3]; };
    const Row rows[] = {
        { 0, { 150, 150, 150 } }, { 3, { 180, 180, 180 } }, { 9, { 252, 252, 252 } },
        { 16, { 0, 0, 252 } },    { 32, { 252, 252, 0 } },  { 48, { 252, 0, 0 } },
        { 64, { 0, 0, 252 } },    { 80, { 0, 252, 0 } },    { 96, { 252, 0, 252 } },
        { 112, { 80, 0, 80 } },   { 128, { 0, 120, 200 } }, { 144, { -1, 200, -1 } },
        { 145, { -1, -1, 200 } }, { 160, { 0, 160, 252 } }, { 176, { 252, 252, -1 } },
        { 177, { -1, -1, 248 } }, { 208, { -1, 160, 0 } },  { 224, { -1, 252, -1 } },
        { 240, { 252, 0, 0 } },   { 251, { 172, 100, 100 } },
    };
    for (int c = 0; c < 3; c++) {
        std::vector<std::pair<double, double>> k;
        for (const Row& r : rows)
            if (r.value[c] >= 0)
                k.push_back({ (double)r.pos, (double)r.value[c] });
        // Wrap neighbours on both sides.
        k.insert(k.begin(), { k.back().first - 252, k.back().second });
        k.push_back({ k[1].first + 252, k[1].second });
        for (int i = 0; i < PALETTE_SIZE; i++) {
            size_t s = 1;
            while (k[s].first < i)
                s++;
            const auto& a = k[s - 1];
            const auto& b = k[s];
            double v = a.second + (i - a.first) * (b.second - a.second) / (b.first - a.first);
            const uint8_t* e = &DefaultPalette->colorTable[i].rgbBlue;
            ASSERT_NEAR(e[2 - c], v, 1.0) << "channel " << c << " entry " << i;
            ASSERT_LE(e[2 - c], v + 1e-9) << "channel " << c << " entry " << i;
        }
    }
}

// Files store "smooth=yes" as 3: every non-zero value draws the cubic curve.
// Offsets from files may be negative, huge or NaN: the rounded offset
// (-10 rounds to -9) is taken with a true modulo and NaN counts as 0.
TEST(Palette, SmoothValuesAndOffsetsFromFiles)
{
    Palette p;
    SetAllChannels(p, { { 0, 0 }, { 60, 200 }, { 120, 40 }, { 200, 120 } });
    auto table = [&p](int smooth, double offset) {
        p.smooth = smooth;
        p.offset = offset;
        p.Rebuild();
        return std::vector<uint8_t>((uint8_t*)p.colorTable, (uint8_t*)(p.colorTable + PALETTE_SIZE));
    };
    EXPECT_EQ(table(3, 0), table(1, 0));
    EXPECT_NE(table(1, 0), table(0, 0));
    struct Case { double offset, same; };
    const Case cases[] = { { -10, 243 }, { -262, 243 }, { 252e6 + 10, 10 }, { NAN, 0 }, { INFINITY, 0 } };
    for (const Case& c : cases)
        EXPECT_EQ(table(0, c.offset), table(0, c.same)) << c.offset;
}

// Simplify drops knots on the line through their neighbours; the ends are
// measured against the wrap neighbours shifted by 252, so a ramp keeps its
// ends and loses only the knot on its slope.
TEST(Palette, Simplify)
{
    struct Case {
        const char* what;
        KnotList knots;
        double tolerance;
        KnotList left;
    };
    const Case cases[] = {
        { "ramp keeps its ends", { { 0, 0 }, { 100, 100 }, { 200, 200 } }, 4, { { 0, 0 }, { 200, 200 } } },
        { "two knots stay", { { 0, 0 }, { 100, 255 } }, 1000, { { 0, 0 }, { 100, 255 } } },
        { "flat channel thins to two", { { 0, 9 }, { 50, 9 }, { 100, 9 }, { 150, 9 } }, 0.5,
          { { 100, 9 }, { 150, 9 } } },
        { "deviation 50 stays under 50", { { 0, 0 }, { 100, 150 }, { 200, 200 } }, 50,
          { { 0, 0 }, { 100, 150 }, { 200, 200 } } },
        { "deviation 50 goes under 50.1", { { 0, 0 }, { 100, 150 }, { 200, 200 } }, 50.1,
          { { 0, 0 }, { 200, 200 } } },
    };
    for (const Case& c : cases) {
        Palette p;
        for (int ch = 0; ch < 3; ch++) {
            p.ClearKnots(ch);
            for (const auto& k : c.knots)
                p.knots[ch].Append(new CurveKnot(k.first, k.second));
        }
        p.Simplify(c.tolerance);
        for (int ch = 0; ch < 3; ch++)
            EXPECT_EQ(Knots(p, ch), c.left) << c.what << ", channel " << ch;
    }
}

// In knot mode all a position goes only when its largest deviation over
// the three channels is below the tolerance; a removed selected knot hands
// the selection to its successor.
TEST(Palette, SimplifyKnotModeAllAndSelection)
{
    Palette p;
    p.knotmode = KNOTMODE_ALL;
    SetKnots(p, 0, { { 0, 0 }, { 100, 100 }, { 200, 200 } });
    SetKnots(p, 1, { { 0, 0 }, { 100, 150 }, { 200, 200 } });
    SetKnots(p, 2, { { 0, 0 }, { 100, 100 }, { 200, 200 } });
    p.selectedKnot[2] = AsKnot(p.knots[2].GetAt(1));
    EXPECT_EQ(p.Simplify(10), 0);
    EXPECT_EQ(p.knots[0].Count(), 3);
    EXPECT_EQ(p.Simplify(60), 1);
    KnotList ends = { { 0, 0 }, { 200, 200 } };
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(Knots(p, c), ends) << c;
    EXPECT_EQ(p.selectedKnot[2], AsKnot(p.knots[2].GetAt(1)));
    EXPECT_TRUE(p.selectedKnot[2]->selected);
}

// The knot takes the component of the present colour at its entry:
// (offset rounded + position) modulo 252, whatever the offset.
TEST(Palette, SetKnotFromColor)
{
    Palette p;
    for (int j = 0; j < PALETTE_TABLE_SIZE; j++)
        p.colorTable[j].rgbRed = (BYTE)j;
    struct Case { double offset, x; int entry; };
    const Case cases[] = { { 0, 5, 5 }, { 249.6, 5, 3 }, { 600, 5, 101 }, { -20, 5, 238 },
                           { 3, 251.7, 2 }, { NAN, 7, 7 } };
    CurveKnot knot;
    for (const Case& c : cases) {
        p.offset = c.offset;
        knot.x = c.x;
        SetKnotFromColor(&knot, 0, p);
        EXPECT_EQ(knot.y, c.entry) << "offset " << c.offset << " x " << c.x;
    }
    // The component is taken in the palette's model: pure red's saturation.
    p.colormodel = CM_HSV;
    p.offset = 0;
    p.colorTable[10] = { 0, 0, 255, 1 };
    knot.x = 10;
    SetKnotFromColor(&knot, 1, p);
    EXPECT_EQ(knot.y, 255);
}

// Knot mode each: a component set in HSV changes the RGB channels whose
// value moves, reusing a knot at the position or adding a selected one.
TEST(Palette, SetKnotComponentEachMode)
{
    Palette p;
    SetKnots(p, 0, { { 0, 255 }, { 100, 255 } });
    SetKnots(p, 1, { { 0, 0 }, { 100, 0 } });
    SetKnots(p, 2, { { 0, 0 }, { 200, 0 } });
    p.Rebuild();
    CurveKnot* red = AsKnot(p.knots[0].GetAt(1));
    EditorRecorder editor;

    // Value 128 of pure red: only the red channel moves.
    p.SetKnotComponent(&editor, 2, CM_HSV, red, 128);
    EXPECT_EQ(Knots(p, 0), (KnotList{ { 0, 255 }, { 100, 128 } }));
    EXPECT_EQ(p.knots[1].Count(), 2);
    EXPECT_EQ(p.knots[2].Count(), 2);
    EXPECT_EQ(editor.applied, 1);
    EXPECT_TRUE(editor.redrawn.empty());

    // Saturation 0: green gets its knot's value, blue a new knot at 100.
    p.Rebuild();
    p.selectedKnot[2] = AsKnot(p.knots[2].GetHead());
    p.selectedKnot[2]->selected = 1;
    p.SetKnotComponent(&editor, 1, CM_HSV, red, 0);
    EXPECT_EQ(Knots(p, 1), (KnotList{ { 0, 0 }, { 100, 128 } }));
    EXPECT_EQ(Knots(p, 2), (KnotList{ { 0, 0 }, { 100, 128 }, { 200, 0 } }));
    EXPECT_EQ(p.selectedKnot[2], AsKnot(p.knots[2].GetAt(1)));
    EXPECT_TRUE(p.selectedKnot[2]->selected);
    EXPECT_FALSE(AsKnot(p.knots[2].GetHead())->selected);
    EXPECT_EQ(editor.redrawn, std::vector<int>{ 2 });
    EXPECT_EQ(editor.applied, 2);

    // Without an editor the palette rebuilds itself.
    p.SetKnotComponent(nullptr, 0, CM_RGB, red, 10);
    EXPECT_EQ(p.colorTable[100].rgbRed, 10);
    // A knot of another palette changes nothing.
    CurveKnot stranger(100, 0);
    p.SetKnotComponent(&editor, 0, CM_RGB, &stranger, 99);
    EXPECT_EQ(editor.applied, 2);
}

TEST(Palette, SetKnotComponentAllModeAndOffset)
{
    Palette p;
    p.knotmode = KNOTMODE_ALL;
    SetAllChannels(p, { { 0, 0 }, { 100, 200 } });
    p.offset = 20;
    p.Rebuild();
    // Lightness 50 in HSL of the grey 200 at the knot (entry 120).
    p.SetKnotComponent(nullptr, 2, CM_HSL, AsKnot(p.knots[1].GetAt(1)), 50);
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(Knots(p, c), (KnotList{ { 0, 0 }, { 100, 50 } })) << c;
}

// Aligning gives every channel a knot wherever one has one, valued from the
// present colour, so the straight gradient stays as it was.
TEST(Palette, AlignKnots)
{
    Palette p;
    SetKnots(p, 0, { { 0, 10 }, { 100, 20 } });
    SetKnots(p, 1, { { 50, 30 } });
    SetKnots(p, 2, { { 0, 40 }, { 200, 50 } });
    p.selectedKnot[0] = AsKnot(p.knots[0].GetTail());
    p.selectedKnot[0]->selected = 1;
    p.Rebuild();
    RGBQUAD before[PALETTE_TABLE_SIZE];
    memcpy(before, p.colorTable, sizeof before);
    EditorRecorder editor;

    p.AlignKnots(&editor);      // knot mode each: nothing
    EXPECT_EQ(p.knots[1].Count(), 1);
    EXPECT_TRUE(editor.redrawn.empty());

    p.knotmode = KNOTMODE_ALL;
    p.AlignKnots(&editor);
    EXPECT_EQ(editor.redrawn, (std::vector<int>{ 0, 1, 2 }));
    for (int c = 0; c < 3; c++) {
        std::vector<double> xs;
        for (const auto& k : Knots(p, c))
            xs.push_back(k.first);
        EXPECT_EQ(xs, (std::vector<double>{ 0, 50, 100, 200 })) << c;
        EXPECT_EQ(p.selectedKnot[c], AsKnot(p.knots[c].GetHead()));
        int flagged = 0;
        for (const ListNode* n = p.knots[c].GetHead(); n; n = n->next)
            flagged += AsKnot(n)->selected;
        EXPECT_EQ(flagged, 1) << c;
    }
    EXPECT_EQ(Knots(p, 0)[2].second, 20);   // own knots keep their values
    p.Rebuild();
    for (int i = 0; i < PALETTE_SIZE; i++) {
        const uint8_t* a = &before[i].rgbBlue;
        const uint8_t* b = &p.colorTable[i].rgbBlue;
        for (int c = 0; c < 3; c++)
            ASSERT_NEAR(a[c], b[c], 1) << "entry " << i;
    }
}

// Deleting a loaded palette asks first while the option says so; No and
// Cancel keep it. Palettes outside the list are never deleted.
TEST(Palette, DeletePalette)
{
    int saved = FractalTypeFlags[CNF_DelPal];
    FractalTypeFlags[CNF_DelPal] = 1;
    struct Case { bool confirm; int option; int answer; bool asked; bool deleted; };
    const Case cases[] = { { true, 1, IDNO, true, false },   { true, 1, IDCANCEL, true, false },
                           { true, 1, IDYES, true, true },   { false, 1, IDNO, false, true },
                           { true, 0, IDNO, false, true } };
    for (const Case& c : cases) {
        FractalTypeFlags[CNF_DelPal] = c.option;
        Palette* p = new Palette();
        p->SetName("Doomed");
        g_Palettes.Append(p);
        ScriptedBoxes boxes(c.answer);
        EXPECT_EQ(DeletePalette(p, c.confirm), c.deleted);
        ASSERT_EQ(boxes.Count(), c.asked ? 1u : 0u);
        if (c.asked) {
            ShownBox box = boxes.Shown()[0];
            EXPECT_EQ(box.style, 0x2023u);
            EXPECT_EQ(box.title, "Delete operation");
            EXPECT_EQ(box.text, "You are about to delete a color palette.\nAre you sure you want to delete it?");
        }
        EXPECT_EQ(FindPalette("Doomed") == p, !c.deleted);
        if (!c.deleted) {
            g_Palettes.Remove(p);
            delete p;
        }
    }
    EXPECT_FALSE(DeletePalette(DefaultPalette, false));
    EXPECT_EQ(DefaultPalette->knots[0].Count(), 15);
    FractalTypeFlags[CNF_DelPal] = saved;
}
