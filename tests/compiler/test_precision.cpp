// The precision level of a compile: from the fractal's type and the width of
// its view (taken from the arbitrary-precision corners), and what level 3
// does to the slots of declared variables and the compiler's constants.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"

namespace {

TEST(PrecisionLevel, ByDigitsOfTheViewWidth)
{
    // d = int(log(|w|) / log(0.1) + 4.5); d < 5 gives 1, 5..11 gives 2,
    // 12 and more 3.
    struct Case {
        double width;
        int level;
    } cases[] = {
        {4.0, 1},  {-4.0, 1},   // d 3, the sign does not count
        {1e6, 1},               // d -1
        {0.0, 1},               // no width at all
        {0.35, 1}, {0.3, 2},    // d 4.96 / 5.02
        {1e-3, 2}, {-1e-3, 2},  // d 7
        {4e-8, 2}, {3e-8, 3},   // d 11.9 / 12.02
        {1e-7, 2}, {1e-8, 3},   // d 11.5 / 12.5
        {1e-30, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.level, FormulaCompiler::precisionLevelForWidth(c.width)) << c.width;
}

class PrecisionCompile : public ::testing::Test {
protected:
    void SetUp() override { DeleteAllMessages(); }
    void TearDown() override
    {
        compiler.freeResults();
        DeleteAllMessages();
    }

    bool Compile(Fractal* fractal)
    {
        static const char* const text =
            "Deep {\n"
            "  double a;\n"
            "  complex c;\n"
            "  void init(void) {\n    z = pixel;\n    a = 0.25;\n    c = (0.5, 1.5);\n  }\n"
            "  void loop(void) {\n    z = z*z*a + c + pixel*1.5;\n    a = a + 0.125;\n  }\n"
            "  bool bailout(void) {\n    return(|z| < 4);\n  }\n"
            "}\n";
        compiler.setKind(FK_ITERATION);
        return compiler.compile(text, 0, -128, nullptr, nullptr, fractal, "Deep",
                                fractal && fractal->header->Type == FT_QUATERNION ? SK_QUATERNION : SK_PLANE,
                                nullptr, false, false);
    }
    FormulaSymbol* Global(const char* name)
    {
        return static_cast<FormulaSymbol*>(findNodeByName(compiler.symbols.GetHead(), name));
    }
    // Precision of every constant the lexer or the folding made (-2 when
    // they differ, -3 when there is none).
    int ConstantPrecision()
    {
        int precision = -3;
        for (ListNode* n = compiler.symbols.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (s->symbolClass != SYM_CONSTANT || strncmp(s->name, "INFO:", 5) != 0 ||
                s->dataType > DT_REAL)
                continue;
            if (precision == -3)
                precision = s->precision;
            else if (precision != s->precision)
                return -2;
        }
        return precision;
    }

    FormulaCompiler compiler;
};

// The tests give a fractal a bare view block; the fractal would free it as
// its type's whole block, so it is taken back before the fractal goes.
struct BareView {
    Fractal& fractal;
    ~BareView()
    {
        delete fractal.typeParameters;
        fractal.typeParameters = nullptr;
    }
};

ViewParameters* View(Fractal& fractal, int type, const char* left, const char* right)
{
    fractal.header->Type = type;
    ViewParameters* view = new ViewParameters();
    view->TopLeftR = left;
    view->BottomRightR = right;
    fractal.typeParameters = view;
    return view;
}

TEST_F(PrecisionCompile, LevelsByFractalAndView)
{
    // Corners that no double tells apart: only the arbitrary-precision
    // difference shows the deep zoom.
    const char* deepLeft = "-0.74364388703715870475219150";
    const char* deepRight = "-0.74364388703715870475219140";
    struct Case {
        bool withFractal;
        int type;
        const char* left;
        const char* right;
        int level;
    } cases[] = {
        {false, 0, nullptr, nullptr, 0},
        {true, FT_ESCAPETIME, "-2.5", "1.5", 1},
        {true, FT_ESCAPETIME, "-0.75", "-0.7499", 2},         // width 1e-4: 8 digits
        {true, FT_ESCAPETIME, "-0.75", "-0.74999999999", 3},  // width 1e-11: 15 digits
        {true, FT_ESCAPETIME, deepLeft, deepRight, 3},
        {true, FT_QUATERNION, deepLeft, deepRight, 1},
    };
    for (const Case& c : cases) {
        Fractal fractal;
        BareView release{fractal};
        if (c.withFractal)
            View(fractal, c.type, c.left, c.right);
        ASSERT_TRUE(Compile(c.withFractal ? &fractal : nullptr)) << c.type << " " << (c.left ? c.left : "");
        EXPECT_EQ(c.level, compiler.precisionLevel) << c.type << " " << (c.left ? c.left : "");
        compiler.freeResults();
        DeleteAllMessages();
    }
}

TEST_F(PrecisionCompile, DeepZoomGivesExtendedSlots)
{
    Fractal fractal;
    BareView release{fractal};
    View(fractal, FT_ESCAPETIME, "-0.74364388703715870475219150", "-0.74364388703715870475219140");
    ASSERT_TRUE(Compile(&fractal));
    ASSERT_EQ(3, compiler.precisionLevel);
    ASSERT_NE(nullptr, Global("a"));
    ASSERT_NE(nullptr, Global("c"));
    EXPECT_EQ(PREC_EXTENDED, Global("a")->precision);
    EXPECT_EQ(PREC_EXTENDED, Global("c")->precision);
    EXPECT_EQ(PREC_EXTENDED, ConstantPrecision());
    compiler.freeResults();

    // An ordinary view keeps double slots.
    Fractal shallow;
    BareView releaseShallow{shallow};
    View(shallow, FT_ESCAPETIME, "-2.5", "1.5");
    ASSERT_TRUE(Compile(&shallow));
    ASSERT_EQ(1, compiler.precisionLevel);
    EXPECT_EQ(PREC_DOUBLE, Global("a")->precision);
    EXPECT_EQ(PREC_DOUBLE, Global("c")->precision);
    EXPECT_EQ(PREC_DOUBLE, ConstantPrecision());
}

}  // namespace
