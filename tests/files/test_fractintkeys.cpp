// The keys of older entries and of Fractint's files: the chain's conditions
// (which keys are consumed, ignored or handed back per entry kind), the
// formula parameters they set, Fractint's colour string, CORNERS with a
// third corner, center-mag, PARAMS and FUNCTION.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/document/DocumentTestSupport.h"
#include "app/Application.h"
#include "calc/FormulaInstance.h"
#include "calc/colour/Palette.h"
#include "compiler/FormulaSymbol.h"
#include "compiler/ParameterTransfer.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/ViewGeometry.h"
#include "files/entry/BaseKeys.h"
#include "foundation/Messages.h"
#include "formulas/FormulaLoader.h"
#include "tests/formulas/FormulaTestSupport.h"

namespace {

enum { OLD_JULIA24 = 0, OLD_MANDEL24 = 1, OLD_JULIA = 2, OLD_MANDEL = 3, OLD_LYAPUNOV = 5, OLD_BIFURCATION = 7,
       FRACTINT = -1 };

void AddParameter(NodeList& list, const char* name, int type)
{
    FormulaSymbol* s = new FormulaSymbol();
    s->SetName(name);
    s->dataType = type;
    s->symbolClass = SYM_PARAMETER;
    list.Append(s);
}

double Value(NodeList& list, const char* name, int component = 0)
{
    FormulaSymbol* s = static_cast<FormulaSymbol*>(list.Find(name));
    return s ? s->value[component] : -999;
}

// An escape-time fractal whose three slots declare the parameters the
// keys address, without compiling anything.
class OldKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        block = static_cast<EscapetimeParameters*>(f.typeParameters);
        NodeList* slots[3] = {&block->iteration.parameters, &block->inside.parameters, &block->outside.parameters};
        for (NodeList* l : slots)
            l->DeleteAllNodes();
        const char* reals[] = {"version", "bailout", "bailin", "CMType", "CMSpeed", "CMAccel", "filter",
                               "factor1", "smooth", "bSolid"};
        for (NodeList* l : slots)
            for (const char* name : reals)
                AddParameter(*l, name, DT_REAL);
        const char* formulaReals[] = {"bailouttest", "testCyc", "testFin", "testInf", "start", "settle", "A",
                                      "sequence", "shift", "iShift", "fractaltype"};
        for (const char* name : formulaReals)
            AddParameter(block->iteration.parameters, name, DT_REAL);
        const char* formulaComplex[] = {"julparm", "perturb", "iterparm2", "criticalpoint", "d"};
        for (const char* name : formulaComplex)
            AddParameter(block->iteration.parameters, name, DT_COMPLEX);
        const char* outsideReals[] = {"iOutside", "iColorIndex", "outside", "bDecomp", "iDecomp", "slope",
                                      "outsideMult", "iLogmapSetting", "rBiomorphSetting", "coding",
                                      "decompFactor"};
        for (const char* name : outsideReals)
            AddParameter(block->outside.parameters, name, DT_REAL);
        const char* insideReals[] = {"iInside", "iColorIndex", "inside", "insideMult", "bColorChaos",
                                     "chaosFactor"};
        for (const char* name : insideReals)
            AddParameter(block->inside.parameters, name, DT_REAL);
    }

    int Read(const char* key, const char* value, int oldType)
    {
        char buffer[600];
        snprintf(buffer, sizeof buffer, "%s", value);
        return ReadOldKeys(&f, nullptr, key, buffer, oldType, oldType == FRACTINT, -1);
    }

    NodeList& Formula() { return block->iteration.parameters; }
    NodeList& Inside() { return block->inside.parameters; }
    NodeList& Outside() { return block->outside.parameters; }

    Fractal f{FT_ESCAPETIME, 0};
    EscapetimeParameters* block = nullptr;
};

}  // namespace

// MaxIter: Julia24 and Mandel24 counted two more, Fractint one more; the
// current form hands the key to the descriptor reader.
TEST_F(OldKeys, MaxIterByEntryKind)
{
    const struct {
        int oldType;
        int consumed, expected;
    } cases[] = {{OLD_JULIA24, 1, 148}, {FRACTINT, 1, 149}, {OLD_LYAPUNOV, 1, 150}, {FT_ESCAPETIME, 0, 777}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.oldType);
        block->MaxIter = 777;
        EXPECT_EQ(c.consumed, Read("MaxIter", "150", c.oldType));
        EXPECT_EQ(c.expected, block->MaxIter);
    }
    EXPECT_EQ(1, Read("maxiter", "1e13", OLD_LYAPUNOV));   // clamps to the 32-bit range
    EXPECT_EQ(2147483647, block->MaxIter);
    EXPECT_EQ(1, Read("maxiter", "lots", OLD_LYAPUNOV));
    EXPECT_EQ(2147483647, block->MaxIter);
}

// Which keys each entry kind consumes (1), hands back (0) or ignores.
TEST_F(OldKeys, ChainConditionsPerEntryKind)
{
    const struct {
        const char* key;
        const char* value;
        int oldType;
        int consumed;
    } cases[] = {
        {"RESET", "2004", FT_ESCAPETIME, 1},    // consumed without effect
        {"PERIODICITY", "1", FT_ESCAPETIME, 1},
        {"ANGLE", "30", FT_ESCAPETIME, 0},      // old entries only
        {"ANGLE", "30", OLD_MANDEL, 1},
        {"Start", "0.5", OLD_MANDEL, 0},        // Lyapunov and Bifurcation only
        {"Start", "0.5", OLD_BIFURCATION, 1},
        {"Chaos", "1", OLD_BIFURCATION, 0},     // Lyapunov only
        {"FINATTRACT", "n", FRACTINT, 0},
        {"FINATTRACT", "0", FRACTINT, 0},
        {"FINATTRACT", "y", FRACTINT, 1},
        {"FUNCTION", "sin", FT_ESCAPETIME, 0},
        {"OUTSIDE", "atan", OLD_LYAPUNOV, 0},   // no tail for Lyapunov
        {"Outsidemult", "2", OLD_JULIA24, 0},   // only the Julia/Mandel tail knows it
        {"Outsidemult", "2", OLD_JULIA, 1},
        {"Biomorphy", "1", OLD_MANDEL, 1},
        {"POTENTIAL", "255/1/200", FT_ESCAPETIME, 1},
        {"BAILOUTEST", "real", FT_ESCAPETIME, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value + " old type " + std::to_string(c.oldType));
        EXPECT_EQ(c.consumed, Read(c.key, c.value, c.oldType));
    }
    EXPECT_EQ(1, Value(Formula(), "testCyc"));   // FINATTRACT=y
    EXPECT_EQ(1, Value(Formula(), "testFin"));

    // Other types: the escape-time keys are consumed without effect or
    // handed back.
    Fractal plasma(FT_PLASMA, 0);
    char value[32];
    strcpy(value, "real");
    EXPECT_EQ(1, ReadOldKeys(&plasma, nullptr, "BAILOUTEST", value, FT_PLASMA, false, -1));
    strcpy(value, "atan");
    EXPECT_EQ(0, ReadOldKeys(&plasma, nullptr, "OUTSIDE", value, FT_PLASMA, false, -1));
    strcpy(value, "y");
    EXPECT_EQ(0, ReadOldKeys(&plasma, nullptr, "FINATTRACT", value, FT_PLASMA, false, -1));
}

// Fractint's keys land on the named parameters of the three slots.
TEST_F(OldKeys, FractintKeysSetFormulaParameters)
{
    Read("RESET", "2004", FRACTINT);
    EXPECT_EQ(2004, Value(Formula(), "version"));
    EXPECT_EQ(2004, Value(Inside(), "version"));
    EXPECT_EQ(2004, Value(Outside(), "version"));

    Read("OUTSIDE", "5", FRACTINT);
    EXPECT_EQ(0, Value(Outside(), "iOutside"));
    EXPECT_EQ(5, Value(Outside(), "iColorIndex"));
    Read("OUTSIDE", "atan", FRACTINT);
    EXPECT_EQ(6, Value(Outside(), "iOutside"));
    Read("INSIDE", "bof60", FRACTINT);
    EXPECT_EQ(3, Value(Inside(), "iInside"));

    Read("POTENTIAL", "255/820/300", FRACTINT);
    EXPECT_EQ(7, Value(Outside(), "iOutside"));
    EXPECT_EQ(300, Value(Formula(), "bailout"));
    EXPECT_EQ(820, Value(Outside(), "slope"));
    EXPECT_EQ(253, Value(Outside(), "outsideMult"));

    Read("DECOMP", "256", FRACTINT);
    EXPECT_EQ(1, Value(Outside(), "bDecomp"));
    EXPECT_EQ(256, Value(Outside(), "iDecomp"));
    Read("LOGMAP", "old", FRACTINT);
    EXPECT_EQ(-1, Value(Outside(), "iLogmapSetting"));
    Read("BIOMORPH", "yes", FRACTINT);
    EXPECT_EQ(1, Value(Outside(), "rBiomorphSetting"));
    Read("PERIODICITY", "-1", FRACTINT);
    EXPECT_EQ(2, block->Periodicity);
    Read("BAILOUTEST", "manr", FRACTINT);
    EXPECT_EQ(6, Value(Formula(), "bailouttest"));
    Read("bailout", "16", FRACTINT);
    EXPECT_EQ(16, Value(Inside(), "bailout"));
}

// The old keyword form: colour-mode keys on the converted JulMand
// colourings or on the Lyapunov/Bifurcation slot, the Lyapunov keys and
// the Julia/Mandel tail.
TEST_F(OldKeys, OldKeywordFormKeys)
{
    block->inside.SetNames("Spiralix", "Refactor_JulMand8_I", nullptr);
    block->outside.SetNames("Spiralix", "Refactor_JulMand8_O", nullptr);
    Read("ColormodeType", "2", OLD_MANDEL);
    EXPECT_EQ(9, block->insideColouring.Mapping);
    EXPECT_EQ(9, block->outsideColouring.Mapping);
    EXPECT_EQ(2, Value(Inside(), "CMType"));
    Read("ColormodeSpeed", "2.5", OLD_MANDEL);
    EXPECT_EQ(2.5, block->insideColouring.Density);
    EXPECT_EQ(2.5, Value(Outside(), "CMSpeed"));

    block->inside.SetNames("Spiralix", "compLyap", nullptr);
    block->outside.SetNames("Spiralix", "compLyap", nullptr);
    block->outsideColouring.Accel = 1;
    Read("ColormodeAccel", "3", OLD_LYAPUNOV);
    EXPECT_EQ(3, block->insideColouring.Accel);
    EXPECT_EQ(1, block->outsideColouring.Accel);

    Read("Sequence", "AB", OLD_LYAPUNOV);
    EXPECT_EQ(12, Value(Formula(), "sequence"));
    Read("Chaos", "0.7", OLD_LYAPUNOV);
    EXPECT_EQ(1, Value(Inside(), "bColorChaos"));

    Read("DisplayDepth", "8", OLD_LYAPUNOV);
    EXPECT_EQ(0, Value(Inside(), "bSolid"));

    Read("OUTSIDE", "Summ2", OLD_MANDEL);
    EXPECT_EQ(12, Value(Outside(), "outside"));
    Read("OUTSIDE", "PHASE", OLD_JULIA24);
    EXPECT_EQ(2, Value(Outside(), "outside"));
    // maxiter inside with smoothing on: black solid colour, no transfer.
    setSymbolReal(&Inside(), "smooth", 1);
    block->insideColouring.Mapping = 4;
    block->insideColouring.SolidColor[0] = 9;
    Read("INSIDE", "maxiter", OLD_JULIA);
    EXPECT_EQ(0, Value(Inside(), "inside"));
    EXPECT_EQ(0, block->insideColouring.Mapping);
    EXPECT_EQ(0, block->insideColouring.SolidColor[0]);
    Read("DECFACTOR", "0.5", OLD_MANDEL24);
    EXPECT_EQ(0.5, Value(Outside(), "decompFactor"));
    Read("Analysis", "3", OLD_MANDEL);
    EXPECT_EQ(3, Value(Inside(), "filter"));
    EXPECT_EQ(3, Value(Outside(), "filter"));
}

// PARAMS: Fractint's p1, p2 take two numbers for a complex parameter and
// one for a real one; the JulMand formulas take the Julia parameter.
TEST_F(OldKeys, ParamsFillTheFormulaParameters)
{
    AddParameter(Formula(), "p1", DT_COMPLEX);
    AddParameter(Formula(), "p2", DT_REAL);
    AddParameter(Formula(), "p3", DT_QUATERNION);
    EXPECT_EQ(1, Read("PARAMS", "0.3/0.5/2", FRACTINT));
    EXPECT_EQ(0.3, Value(Formula(), "p1", 0));
    EXPECT_EQ(0.5, Value(Formula(), "p1", 1));
    EXPECT_EQ(2, Value(Formula(), "p2"));
    EXPECT_EQ(0, Value(Formula(), "p3"));

    EXPECT_EQ(1, Read("PARAMS", "1/2/3/4/5", FRACTINT));
    EXPECT_EQ(4, Value(Formula(), "p3", 0));
    EXPECT_EQ(5, Value(Formula(), "p3", 1));
    EXPECT_EQ(0, Value(Formula(), "p3", 2));   // beyond the numbers read

    block->iteration.SetNames("Spiralix", "SX_JulMand8", nullptr);
    EXPECT_EQ(1, Read("PARAMS", "-0.75/0.1/3/4", OLD_JULIA));
    EXPECT_EQ(-0.75, Value(Formula(), "julparm", 0));
    EXPECT_EQ(0.1, Value(Formula(), "perturb", 1));
    EXPECT_EQ(4, Value(Formula(), "iterparm2", 1));
    EXPECT_EQ(3, Value(Formula(), "iShift"));
}

TEST_F(OldKeys, FunctionChoosesByName)
{
    const char* names[] = {"fn1", "fn2", "fn3"};
    for (const char* name : names) {
        FormulaFuncParameter* fp = new FormulaFuncParameter();
        fp->SetName(name);
        fp->selected = 5;
        block->iteration.functions.Append(fp);
    }
    EXPECT_EQ(1, Read("FUNCTION", "cosh/nothing/SQR/exp", FRACTINT));
    auto selected = [&](const char* n) {
        return static_cast<FormulaFuncParameter*>(block->iteration.functions.Find(n))->selected;
    };
    EXPECT_EQ(5, selected("fn1"));   // cosh
    EXPECT_EQ(0, selected("fn2"));   // not a function name
    EXPECT_EQ(16, selected("fn3"));  // sqr
}

// Fractint's colour string: three 6-bit digits per colour, a gap mark for
// interpolated colours, grey 40 after the last colour.
TEST(FractintColors, DecodesDigitsGapsAndTheRest)
{
    Palette palette;
    DecodeFractintColors("000<3>zzz", &palette);
    const int expected[6] = {0, 64, 128, 188, 252, 160};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(expected[i], palette.colorTable[i].rgbRed) << i;
        EXPECT_EQ(expected[i], palette.colorTable[i].rgbBlue) << i;
    }
    EXPECT_EQ(160, palette.colorTable[255].rgbGreen);
    // Knots at 0..251 hold the colour table.
    EXPECT_EQ(252, palette.knots[0].Count());
    ListNode* knot = palette.knots[1].GetHead();
    for (int i = 0; i < 3; i++)
        knot = knot->next;
    EXPECT_EQ(188, static_cast<CurveKnot*>(knot)->y);

    Palette open;
    DecodeFractintColors("000<3>", &open);
    EXPECT_EQ(0, open.colorTable[0].rgbRed);
    EXPECT_EQ(160, open.colorTable[1].rgbRed);
    EXPECT_EQ(160, open.colorTable[3].rgbGreen);

    const struct {
        const char* text;
        int colour1Red;
    } stops[] = {
        {"<3>000", 160},      // a gap before the first colour
        {"000<1>zzz", 160},   // a gap of fewer than 2
        {"000<3zzz", 160},    // no closing '>'
        {"000!zz", 160},      // a character outside the digits
        {"000_`a", 144},      // '_' 36, '`' 37, 'a' 38
    };
    for (const auto& s : stops) {
        Palette p;
        DecodeFractintColors(s.text, &p);
        EXPECT_EQ(s.colour1Red, p.colorTable[1].rgbRed) << s.text;
    }
    Palette digits;
    DecodeFractintColors("000_`a", &digits);
    EXPECT_EQ(148, digits.colorTable[1].rgbGreen);
    EXPECT_EQ(152, digits.colorTable[1].rgbBlue);
}

TEST_F(OldKeys, ColorsKeyReplacesThePalette)
{
    EXPECT_EQ(1, Read("COLORS", "zzz000", FRACTINT));
    EXPECT_EQ(252, f.palette.colorTable[0].rgbRed);
    EXPECT_EQ(0, f.palette.colorTable[1].rgbRed);
    EXPECT_EQ(0, f.palette.smooth);

    static uint8_t rgb[256][3];
    rgb[7][1] = 99;
    Palette* named = new Palette(rgb);
    named->SetName("Default");
    named->smooth = 1;
    g_Palettes.Append(named);
    EXPECT_EQ(1, Read("COLORS", "@Default.map", FRACTINT));
    EXPECT_EQ(99, f.palette.colorTable[7].rgbGreen);
    EXPECT_EQ(1, f.palette.smooth);
    g_Palettes.Remove(named);
    delete named;
}

// CORNERS in Fractint's order; four numbers clear the stretch, fewer leave
// the rest alone; a plain view type keeps a third corner as a stretched
// view, and so does an escape-time entry of the current form.
TEST_F(OldKeys, CornersWithAndWithoutAThirdCorner)
{
    block->Stretch = 1;
    EXPECT_EQ(1, Read("CORNERS", "-2/1/-1.5/1.5", FRACTINT));
    EXPECT_EQ(0, block->Stretch);
    EXPECT_TRUE(block->TopLeftR == BigNumber("-2"));
    EXPECT_TRUE(block->BottomRightR == BigNumber("1"));
    EXPECT_TRUE(block->BottomRightI == BigNumber("-1.5"));
    EXPECT_TRUE(block->TopLeftI == BigNumber("1.5"));
    // A part that is no number leaves its corner alone.
    Read("CORNERS", "-2.5/wide/-1.5/1.5", FRACTINT);
    EXPECT_TRUE(block->TopLeftR == BigNumber("-2.5"));
    EXPECT_TRUE(block->BottomRightR == BigNumber("1"));
    block->Stretch = 1;
    Read("CORNERS", "-3/2", FRACTINT);
    EXPECT_EQ(1, block->Stretch);
    EXPECT_TRUE(block->TopLeftR == BigNumber("-3"));
    EXPECT_TRUE(block->BottomRightI == BigNumber("-1.5"));

    Fractal ifs(FT_IFS, 0);
    char value[64];
    strcpy(value, "0/4/0/2/1/0");   // bottom-left corner (1, 0): skewed right by 1
    EXPECT_EQ(1, ReadOldKeys(&ifs, nullptr, "corners", value, FT_IFS, false, -1));
    ViewParameters* v = ifs.typeParameters;
    EXPECT_EQ(1, v->Stretch);
    EXPECT_TRUE(v->TopRightR == BigNumber("3"));
    EXPECT_TRUE(v->TopRightI == BigNumber("2"));

    Fractal own(FT_ESCAPETIME, 0);
    strcpy(value, "0/4/0/2/1/0");
    ReadOldKeys(&own, nullptr, "Corners", value, FT_ESCAPETIME, false, -1);
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(own.typeParameters);
    EXPECT_EQ(1, b->Stretch);
    EXPECT_EQ(0, b->transformations.Count());
    EXPECT_TRUE(b->TopRightR == BigNumber("3"));
}

// center-mag goes through SetCornersFromCenterMag with missing parts 0.
TEST_F(OldKeys, CenterMagSetsTheCorners)
{
    Read("center-mag", "-0.5/0.25/2", FRACTINT);
    Fractal reference(FT_ESCAPETIME, 0);
    SetCornersFromCenterMag(&reference, BigNumber("-0.5"), BigNumber("0.25"), BigNumber("2"), BigNumber(0), 0, 0);
    const ViewParameters* r = reference.typeParameters;
    EXPECT_TRUE(block->TopLeftR == r->TopLeftR);
    EXPECT_TRUE(block->TopLeftI == r->TopLeftI);
    EXPECT_TRUE(block->BottomRightR == r->BottomRightR);
    EXPECT_TRUE(block->BottomRightI == r->BottomRightI);
    EXPECT_LT(block->TopLeftR.ToDouble(), -0.5);
    EXPECT_GT(block->TopLeftI.ToDouble(), 0.25);

    Read("center-mag", "0/0/1/1/30/0", FRACTINT);
    SetCornersFromCenterMag(&reference, BigNumber(0), BigNumber(0), BigNumber(1), BigNumber(1), 30, 0);
    EXPECT_TRUE(block->TopRightR == r->TopRightR);
    EXPECT_EQ(r->Stretch, block->Stretch);
}

// The transformations that old entries get for INVERT= and for a skewed
// CORNERS=, compiled from the program's own formula file.
class OldTransformations : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        previousApp = g_App;
        g_App = &app;
        std::string data = SPIRALIX_TEST_DATA;
        std::string folder = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
        for (char& c : folder)
            if (c == '/')
                c = '\\';
        ScanFormulaFolder(folder.c_str(), folder.c_str());
    }
    void TearDown() override
    {
        formulatest::ClearFormulaTrees();
        DeleteAllMessages();
        g_App = previousApp;
    }
    PApplication app{GetModuleHandleA(nullptr)};
    PApplication* previousApp = nullptr;
};

TEST_F(OldTransformations, SkewedCornersBecomeASkewStretchTransformation)
{
    Fractal f(FT_ESCAPETIME, 0);
    EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f.typeParameters);
    b->transformations.DeleteAllNodes();
    char value[64];
    strcpy(value, "-2/1/-1.5/1.5/-2/-1.5");
    EXPECT_EQ(1, ReadOldKeys(&f, nullptr, "CORNERS", value, -1, true, -1));
    ASSERT_EQ(1, b->transformations.Count());
    FormulaInstance* t = static_cast<FormulaInstance*>(b->transformations.GetHead());
    EXPECT_STREQ("SkewStretchComp", t->entryName);
    EXPECT_EQ(t, b->selectedTransformation);
    EXPECT_EQ(1, Value(t->parameters, "xmag"));
    EXPECT_EQ(1, Value(t->parameters, "ymag"));
    EXPECT_EQ(0, b->Stretch);
    EXPECT_TRUE(b->TopLeftR == BigNumber("-2"));
    EXPECT_TRUE(b->TopRightR == b->BottomRightR);
    EXPECT_TRUE(b->TopRightI == b->TopLeftI);

    // Third corner (1, -0.5) of the rectangle 0..4 by 0..2: the top-right
    // corner would be (3, 2.5), so xmag = 3/4 and ymag = 2.5/2.
    Fractal skewed(FT_ESCAPETIME, 0);
    EscapetimeParameters* s = static_cast<EscapetimeParameters*>(skewed.typeParameters);
    s->transformations.DeleteAllNodes();
    strcpy(value, "0/4/0/2/1/-0.5");
    ReadOldKeys(&skewed, nullptr, "CORNERS", value, 3, false, -1);
    ASSERT_EQ(1, s->transformations.Count());
    t = static_cast<FormulaInstance*>(s->transformations.GetHead());
    EXPECT_EQ(0.75, Value(t->parameters, "xmag"));
    EXPECT_EQ(1.25, Value(t->parameters, "ymag"));
    EXPECT_TRUE(s->TopRightR == BigNumber("4"));
    EXPECT_TRUE(s->TopRightI == BigNumber("2"));

    strcpy(value, "0.5/0.25/-1/2");
    EXPECT_EQ(1, ReadOldKeys(&f, nullptr, "INVERT", value, -1, true, -1));
    ASSERT_EQ(2, b->transformations.Count());
    t = static_cast<FormulaInstance*>(b->transformations.GetTail());
    EXPECT_STREQ("Circle_Inversion", t->entryName);
    EXPECT_EQ(0.25, Value(t->parameters, "cCenter", 0));
    EXPECT_EQ(-1, Value(t->parameters, "cCenter", 1));
    EXPECT_EQ(0.5, Value(t->parameters, "rRadius", 0));
    EXPECT_EQ(0, Value(t->parameters, "bAuto", 0));
}
