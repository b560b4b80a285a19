// The colour sections of parameter entries: the gradient in both knot
// modes, the alpha channel, the height knots and the layer items, written
// and read back (own form), the UltraFractal layer:, mapping:, gradient:
// and opacity: sections, and values that must keep their digits or clamp.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/document/DocumentTestSupport.h"
#include "calc/colour/ColorModels.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layer.h"
#include "files/entry/ColourSections.h"
#include "foundation/bignum/BigNumber.h"
#include "tests/files/SectionItems.h"
#include "tests/files/WrittenText.h"
#include "view3d/Parameters3D.h"

namespace {

class ColourSections : public ::testing::Test {
protected:
    void SetUp() override { PrepareDocumentModel(); }
};

// Reads key=value into f as the reader does for one item of section.
void Read(Fractal& f, int section, const char* key, const char* value, Layer* layer = nullptr,
          bool imported = false)
{
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", value);
    ReadColourSectionKey(&f, section, key, buffer, layer, imported);
}

// The knots of one channel as "x:y" texts.
std::vector<std::string> Knots(const NodeList& list)
{
    std::vector<std::string> out;
    for (ListNode* n = list.GetHead(); n; n = n->next) {
        char text[64];
        snprintf(text, sizeof text, "%g:%g", AsKnot(n)->x, AsKnot(n)->y);
        out.push_back(text);
    }
    return out;
}

using Strings = std::vector<std::string>;

// Reads written gradient: and alpha: text into f, clearing the knots and
// points at each header as the entry reader does.
void ReadBack(Fractal& f, const std::string& text)
{
    ReadSectionItems(
        text, {{"gradient:", 6}, {"alpha:", 104}},
        [&](int section, const char* key, char* value) { ReadColourSectionKey(&f, section, key, value, nullptr, false); },
        [&](int section) {
            if (section == 6)
                f.palette.ClearKnots(-1);
            else if (section == 104)
                f.alphaChannel.Clear();
        });
}

TEST_F(ColourSections, GradientInKnotModeAllWritesOneItemPerKnotAndReadsBack)
{
    Fractal f(FT_ESCAPETIME, 0);
    Palette& p = f.palette;
    p.ClearKnots(-1);
    p.knotmode = KNOTMODE_ALL;
    p.offset = 0;
    const double knots[3][4] = {{0, 10, 20, 30}, {126, 255, 0, 128}, {251, 1, 2, 3}};
    for (const auto& k : knots)
        for (int c = 0; c < 3; ++c)
            p.InsertKnot(c, k[0], k[c + 1]);
    WrittenText out;
    WriteGradientSection(out.writer, &f);
    EXPECT_EQ(out.Text(),
              "\ngradient:\n  smooth=no colormodel=CM_RGB knotmode=all dragknotmode=global\n"
              "  Offset=0 knotrgb=(0,10,20,30) knotrgb=(126,255,0,128)\n  knotrgb=(251,1,2,3)");

    Fractal g(FT_ESCAPETIME, 0);
    ReadBack(g, out.Text());
    EXPECT_EQ(g.palette.knotmode, KNOTMODE_ALL);
    EXPECT_EQ(Knots(g.palette.knots[0]), (Strings{"0:10", "126:255", "251:1"}));
    EXPECT_EQ(Knots(g.palette.knots[1]), (Strings{"0:20", "126:0", "251:2"}));
    EXPECT_EQ(Knots(g.palette.knots[2]), (Strings{"0:30", "126:128", "251:3"}));
}

TEST_F(ColourSections, GradientInKnotModeEachKeepsEveryDigitAndReadsBackEqual)
{
    Fractal f(FT_PLASMA, 0);
    Palette& p = f.palette;
    p.ClearKnots(-1);
    p.knotmode = KNOTMODE_EACH;
    p.colormodel = CM_HSV;
    p.smooth = 3;
    p.dragknotmode = 1;
    p.offset = 12.5;  // "%.2lg" alone would write 12
    p.InsertKnot(0, 0, 200);
    p.InsertKnot(1, 10, 127.5);
    p.InsertKnot(1, 100.25, 3);
    p.InsertKnot(2, 251, 255);
    WrittenText out;
    WriteGradientSection(out.writer, &f);
    EXPECT_EQ(out.Text(),
              "\ngradient:\n  smooth=yes colormodel=CM_HSV knotmode=each dragknotmode=local\n"
              "  Offset=12.5 knotr=(0,200) knotg=(10,127.5) knotg=(100.25,3)\n  knotb=(251,255)");

    Fractal g(FT_PLASMA, 0);
    ReadBack(g, out.Text());
    EXPECT_EQ(g.palette.smooth, 3);
    EXPECT_EQ(g.palette.colormodel, CM_HSV);
    EXPECT_EQ(g.palette.knotmode, KNOTMODE_EACH);
    EXPECT_EQ(g.palette.dragknotmode, 1);
    EXPECT_EQ(g.palette.offset, 12.5);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(Knots(g.palette.knots[c]), Knots(p.knots[c])) << c;
}

TEST_F(ColourSections, GradientKeysRead)
{
    Fractal f(FT_ESCAPETIME, 0);
    Palette& p = f.palette;
    p.ClearKnots(-1);
    Read(f, 6, "colormodel", "cm_hsl");
    EXPECT_EQ(p.colormodel, CM_HSL);
    Read(f, 6, "colormodel", "CM_XYZ");
    EXPECT_EQ(p.colormodel, CM_HSL);
    Read(f, 6, "KnotMode", "ALL");
    EXPECT_EQ(p.knotmode, KNOTMODE_ALL);
    Read(f, 6, "smooth", "yes");
    EXPECT_EQ(p.smooth, 3);
    Read(f, 6, "Smooth", "no");  // keys other than the listed ones keep their case
    EXPECT_EQ(p.smooth, 3);
    Read(f, 6, "OFFSET", "7.75");
    EXPECT_EQ(p.offset, 7.75);
    Read(f, 6, "KNOTR", "(5,256)");  // a value of 256 clamps to 255
    Read(f, 6, "knotr", "(252,9)");  // beyond the gradient: refused
    Read(f, 6, "knotr", "(5,1)");    // position taken: refused
    EXPECT_EQ(Knots(p.knots[0]), (Strings{"5:255"}));
    Read(f, 6, "knotrgb", "(7,-4,300,128)");
    EXPECT_EQ(Knots(p.knots[0]), (Strings{"5:255", "7:0"}));
    EXPECT_EQ(Knots(p.knots[1]), (Strings{"7:255"}));
    EXPECT_EQ(Knots(p.knots[2]), (Strings{"7:128"}));
    // The older form: an index per channel, then the component value.
    Read(f, 6, "indexG", "9");
    Read(f, 6, "component", "77");
    Read(f, 6, "indexB", "3");
    Read(f, 6, "component", "66");
    Read(f, 6, "indexR", "200");
    Read(f, 6, "component", "55");
    EXPECT_EQ(Knots(p.knots[0]), (Strings{"5:255", "7:0", "200:55"}));
    EXPECT_EQ(Knots(p.knots[1]), (Strings{"7:255", "9:77"}));
    EXPECT_EQ(Knots(p.knots[2]), (Strings{"3:66", "7:128"}));
}

TEST_F(ColourSections, OwnGradientIsReadForEveryTypeTheOtherSectionsNot)
{
    Fractal f(FT_IFS, 0);
    Read(f, 6, "knotmode", "all");
    EXPECT_EQ(f.palette.knotmode, KNOTMODE_ALL);
    f.alphaChannel.Clear();
    Read(f, 104, "index", "10");
    Read(f, 104, "alpha", "20");
    EXPECT_TRUE(f.alphaChannel.points.IsEmpty());
    Read(f, 103, "title", "Imported");
    EXPECT_STRNE(f.palette.name, "Imported");
}

TEST_F(ColourSections, UltraFractalGradientPlacesColoursOnThe252Entries)
{
    Fractal f(FT_ESCAPETIME, 0);
    Palette& p = f.palette;
    p.ClearKnots(-1);
    p.knotmode = KNOTMODE_ALL;
    Read(f, 103, "index", "200", nullptr, true);
    Read(f, 103, "color", "255", nullptr, true);  // red in the low byte
    EXPECT_EQ(Knots(p.knots[0]), (Strings{"126:255"}));
    EXPECT_EQ(Knots(p.knots[1]), (Strings{"126:0"}));
    EXPECT_EQ(Knots(p.knots[2]), (Strings{"126:0"}));
    EXPECT_EQ(p.colorTable[126].rgbRed, 255);
    EXPECT_EQ(p.colorTable[126].rgbBlue, 0);
    // The same index again moves up to the next free position.
    Read(f, 103, "index", "200", nullptr, true);
    Read(f, 103, "color", "16711680", nullptr, true);  // blue
    EXPECT_EQ(Knots(p.knots[0]), (Strings{"126:255", "127:0"}));
    EXPECT_EQ(Knots(p.knots[2]), (Strings{"126:0", "127:255"}));
    // Indexes whose position falls outside 0..251 are ignored.
    for (const char* index : {"400", "401", "-1", "1000000"}) {
        Read(f, 103, "index", index, nullptr, true);
        Read(f, 103, "color", "65280", nullptr, true);
        EXPECT_EQ(p.knots[1].Count(), 2) << index;
    }
    Read(f, 103, "index", "0", nullptr, true);
    Read(f, 103, "color", "65280", nullptr, true);
    EXPECT_EQ(Knots(p.knots[1]), (Strings{"0:255", "126:0", "127:0"}));
    Read(f, 103, "smooth", "Yes", nullptr, true);
    EXPECT_EQ(p.smooth, 0);
    Read(f, 103, "smooth", "yes", nullptr, true);
    EXPECT_EQ(p.smooth, 3);
    Read(f, 103, "title", "Sunset", nullptr, true);
    EXPECT_STREQ(p.name, "Sunset");
}

TEST_F(ColourSections, AlphaSectionOnlyForEscapeTimeChannelsThatDiffer)
{
    Fractal plain(FT_ESCAPETIME, 0);
    WrittenText none;
    WriteAlphaSection(none.writer, &plain);
    EXPECT_EQ(none.Text(), "");

    Fractal plasma(FT_PLASMA, 0);
    AsKnot(plasma.alphaChannel.points.GetHead())->y = 200;
    WrittenText other;
    WriteAlphaSection(other.writer, &plasma);
    EXPECT_EQ(other.Text(), "");

    Fractal f(FT_ESCAPETIME, 0);
    AsKnot(f.alphaChannel.points.GetHead())->y = 200;
    WrittenText out;
    WriteAlphaSection(out.writer, &f);
    EXPECT_EQ(out.Text(), "\nalpha:\n  smooth=no Offset=0 dragknotmode=global index=0 alpha=200.0");
}

TEST_F(ColourSections, AlphaKeepsOffsetsAndValuesAndReadsBackEqual)
{
    Fractal f(FT_ESCAPETIME, 0);
    AlphaChannel& a = f.alphaChannel;
    a.Clear();
    a.offset = 12.5;  // "%.1lg" alone would write 1e+001
    a.smooth = 3;
    a.dragknotmode = 1;
    a.points.Append(new CurveKnot(0, 255));
    a.points.Append(new CurveKnot(150, 127.25));
    a.points.Append(new CurveKnot(400, 0));
    WrittenText out;
    WriteAlphaSection(out.writer, &f);
    EXPECT_EQ(out.Text(),
              "\nalpha:\n  smooth=yes Offset=12.5 dragknotmode=local index=0 alpha=255.0\n"
              "  index=150 alpha=127.25 index=400 alpha=0.0");

    Fractal g(FT_ESCAPETIME, 0);
    ReadBack(g, out.Text());
    EXPECT_EQ(g.alphaChannel.offset, 12.5);
    EXPECT_EQ(g.alphaChannel.smooth, 3);
    EXPECT_EQ(g.alphaChannel.dragknotmode, 1);
    EXPECT_EQ(Knots(g.alphaChannel.points), (Strings{"0:255", "150:127.25", "400:0"}));
}

TEST_F(ColourSections, AlphaAndOpacityKeysRead)
{
    Fractal f(FT_LAYERED, 0);
    AlphaChannel& a = f.alphaChannel;
    a.Clear();
    Read(f, 104, "index", "20", nullptr, true);
    Read(f, 104, "opacity", "300", nullptr, true);  // clamps to 255
    Read(f, 104, "index", "10");
    Read(f, 104, "alpha", "-5");  // appended in reading order
    Read(f, 104, "title", "Fade");
    Read(f, 104, "DragKnotMode", "LOCAL");
    Read(f, 104, "offset", "3.5");
    EXPECT_EQ(Knots(a.points), (Strings{"20:255", "10:0"}));
    EXPECT_STREQ(a.name, "Fade");
    EXPECT_EQ(a.dragknotmode, 1);
    EXPECT_EQ(a.offset, 3.5);
}

TEST_F(ColourSections, HeightKnotsWrittenAndReadInXOrder)
{
    Fractal f(FT_ESCAPETIME, 0);
    Parameters3D* p3d = f.params3D;
    p3d->ClearControlPoints();
    p3d->AppendControlPoint(0, 0);
    p3d->AppendControlPoint(0.25, 0.333);
    p3d->AppendControlPoint(1, 1);
    WrittenText out;
    WriteHeightKnots(out.writer, &f);
    EXPECT_EQ(out.Text(), "  FirstKnot=(0.0,0.0) Knot=(0.25,0.333) Knot=(1.0,1.0)");

    Fractal g(FT_ESCAPETIME, 0);
    ASSERT_GT(g.params3D->ControlPointList->Count(), 0);
    ReadSectionItems(out.Text(), {}, [&](int section, const char* key, char* value) {
        EXPECT_EQ(ReadKnotKey(&g, section, key, value), 0);
    });
    EXPECT_EQ(Knots(*g.params3D->ControlPointList), (Strings{"0:0", "0.25:0.333", "1:1"}));

    // FirstKnot drops whatever was there; later knots go into x order.
    ReadKnotKey(&g, 1024, "firstknot", "(0.5,0.5)");
    ReadKnotKey(&g, 1024, "Knot", "(0.9,0.1)");
    ReadKnotKey(&g, 1024, "KNOT", "(0.1,0.9)");
    ReadKnotKey(&g, 1024, "Knot", "(oops)");
    EXPECT_EQ(Knots(*g.params3D->ControlPointList), (Strings{"0.1:0.9", "0.5:0.5", "0.9:0.1"}));
}

TEST_F(ColourSections, OldKnotKeysAddressKnotsByNumber)
{
    Fractal f(FT_ESCAPETIME, 0);
    Parameters3D* p3d = f.params3D;
    p3d->ClearControlPoints();
    ReadKnotKey(&f, 0, "knotx1", "0.5");
    ReadKnotKey(&f, 0, "KnotY1", "0.7");
    ReadKnotKey(&f, 0, "knotx2", "0.2");
    ReadKnotKey(&f, 0, "knoty2", "0.3");
    ReadKnotKey(&f, 0, "knoty9", "0.3");  // no knot 9: ignored
    ReadKnotKey(&f, 0, "knotx1", "0.6");  // moves knot 1, adds nothing
    EXPECT_EQ(Knots(*p3d->ControlPointList), (Strings{"0.2:0.3", "0.6:0.7"}));
}

TEST_F(ColourSections, LayerKeysRead)
{
    Fractal layered(FT_LAYERED, 0);
    Layer layer;
    layer.opacity = 50;
    Read(layered, 5, "caption", "Clouds", &layer);
    Read(layered, 5, "mergemode", "softlight", &layer);
    Read(layered, 5, "leftoffset", "-12", &layer);
    Read(layered, 5, "bottomoffset", "7.5", &layer);
    Read(layered, 5, "visible", "NO", &layer);
    Read(layered, 5, "mask", "yes", &layer);
    Read(layered, 5, "usesAlpha", "no", &layer);
    EXPECT_STREQ(layer.name, "Clouds");
    EXPECT_EQ(layer.mergeMode, 4);
    EXPECT_EQ(layer.opacity, 50);
    EXPECT_EQ(layer.leftOffset, -12);
    EXPECT_EQ(layer.bottomOffset, 7.5);
    EXPECT_EQ(layer.visible, 0);
    EXPECT_EQ(layer.mask, 1);
    EXPECT_EQ(layer.usesAlpha, 0);
    Read(layered, 5, "mergemode", "Nonsense", &layer);
    EXPECT_EQ(layer.mergeMode, 0);
    Read(layered, 5, "opacity", "33.25", nullptr);  // no layer: nothing to fill
}

TEST_F(ColourSections, LayerWrittenWithItsItemsAndFractal)
{
    Fractal layered(FT_LAYERED, 0);
    Layer layer;
    layer.SetName("ignored");
    layer.opacity = 62.125;
    layer.visible = 1;
    layer.mask = 1;
    layer.mergeMode = 15;
    layer.leftOffset = 3;
    layer.bottomOffset = -2;
    layer.usesAlpha = 0;
    WrittenText out;
    WriteLayer(out.writer, &layer, &layered);
    EXPECT_EQ(out.Text(),
              "\nlayer:\n  caption=\"ignored\" opacity=62.125 visible=yes mask=yes\n"
              "  mergemode=\"hsladd\" leftoffset=3 bottomoffset=-2 usesAlpha=\"no\"\nlayerfractal:\n");

    // Written back, the items give the same layer.
    Layer copy;
    ReadSectionItems(out.Text(), {{"layer:", 5}, {"layerfractal:", 0}}, [&](int section, const char* key, char* value) {
        ReadColourSectionKey(&layered, section, key, value, &copy, false);
    });
    EXPECT_STREQ(copy.name, "ignored");
    EXPECT_EQ(copy.opacity, 62.125);
    EXPECT_EQ(copy.mask, 1);
    EXPECT_EQ(copy.mergeMode, 15);
    EXPECT_EQ(copy.leftOffset, 3);
    EXPECT_EQ(copy.bottomOffset, -2);
    EXPECT_EQ(copy.usesAlpha, 0);

    // With a fractal its name is the caption and its entry follows without
    // a frame.
    Fractal* fractal = new Fractal(FT_ESCAPETIME, 0);
    fractal->SetName("Sky");
    layer.fractal = fractal;
    layer.mask = 0;
    WrittenText withFractal;
    WriteLayer(withFractal.writer, &layer, &layered);
    std::string text = withFractal.Text();
    EXPECT_EQ(text.find("caption=\"Sky\""), text.find("caption="));
    EXPECT_EQ(text.find("mask="), std::string::npos);
    size_t body = text.find("\nlayerfractal:\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_NE(text.find("Type=Escapetime", body), std::string::npos);
    EXPECT_EQ(text.find('{'), std::string::npos);
    EXPECT_EQ(text.find('}'), std::string::npos);
    EXPECT_EQ(withFractal.writer.column, 0);
    delete fractal;
}

TEST_F(ColourSections, UltraFractalLayerFillsTheLayerAndItsFractal)
{
    Fractal f(FT_ESCAPETIME, 0);
    EscapetimeParameters* e = static_cast<EscapetimeParameters*>(f.typeParameters);
    Layer layer;
    f.layer = &layer;
    const struct {
        const char *key, *value;
    } items[] = {
        {"caption", "Background"}, {"method", "linear"}, {"mergemode", "Multiply"}, {"opacity", "75"},
        {"insolid", "255"},        {"outsolid", "65280"}, {"mapsolid", "16711680"}, {"inalpha", "300"},
        {"outalpha", "17"},        {"mapalpha", "-3"},    {"transparent", "yes"},   {"visible", "no"},
        {"mask", "yes"},
    };
    for (const auto& item : items)
        Read(f, 101, item.key, item.value, &layer, true);
    EXPECT_STREQ(f.name, "Background");
    EXPECT_STREQ(layer.name, "Background");
    EXPECT_EQ(e->Passes, 0);
    EXPECT_EQ(layer.mergeMode, 1);
    EXPECT_EQ(layer.opacity, 75);
    const uint8_t red[3] = {255, 0, 0}, green[3] = {0, 255, 0}, blue[3] = {0, 0, 255};
    EXPECT_EQ(memcmp(e->insideColouring.SolidColor, red, 3), 0);
    EXPECT_EQ(memcmp(e->outsideColouring.SolidColor, green, 3), 0);
    EXPECT_EQ(memcmp(e->SolidColorTransformation, blue, 3), 0);
    EXPECT_EQ(e->insideColouring.SolidOpacity, 255);
    EXPECT_EQ(e->outsideColouring.SolidOpacity, 17);
    EXPECT_EQ(e->SolidOpacityTransformation, 0);
    EXPECT_EQ(layer.usesAlpha, 1);
    EXPECT_EQ(layer.visible, 0);
    EXPECT_EQ(layer.mask, 1);
    Read(f, 101, "method", "multipass", &layer, true);
    EXPECT_EQ(e->Passes, 2);
    f.layer = nullptr;
}

TEST_F(ColourSections, UltraFractalMappingSetsTheViewFromCentreAndMagnification)
{
    Fractal f(FT_ESCAPETIME, 0);
    ViewParameters* v = f.typeParameters;
    f.header->Width = 400;
    f.header->Height = 300;  // ratio 0.75: the height spans 3 / magn
    v->Stretch = 1;
    Read(f, 102, "center", "-0.5000000000000000000001/0.25", nullptr, true);
    EXPECT_TRUE(v->TopLeftR == BigNumber("-0.5000000000000000000001"));
    EXPECT_TRUE(v->BottomRightI == BigNumber("0.25"));
    Read(f, 102, "magn", "2", nullptr, true);
    EXPECT_TRUE(v->TopLeftR == BigNumber("-1.5000000000000000000001"));
    EXPECT_TRUE(v->BottomRightR == BigNumber("0.4999999999999999999999"));
    EXPECT_TRUE(v->TopLeftI == BigNumber("1"));
    EXPECT_TRUE(v->BottomRightI == BigNumber("-0.5"));
    EXPECT_EQ(v->Stretch, 0);
    Read(f, 102, "angle", "30", nullptr, true);
    EXPECT_EQ(v->Angle, -30);

    // A tall image: the width spans 4 / magn.
    f.header->Width = 100;
    f.header->Height = 200;
    Read(f, 102, "center", "0/0", nullptr, true);
    Read(f, 102, "magn", "4", nullptr, true);
    EXPECT_TRUE(v->TopLeftR == BigNumber("-0.5"));
    EXPECT_TRUE(v->TopLeftI == BigNumber("1"));
}

}  // namespace
