// Current types across cycles: a variable read while its current type was
// narrower than the type it ends up with asks for another cycle, so the
// code reads all its components; what the types end up as is reported as
// notes on declarations wider than needed.
#include <gtest/gtest.h>

#include <complex>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "document/Fractal.h"

namespace {

// b is read in the loop's first statement before the second one assigns
// it a complex value; r only ever holds reals; the function's local t too.
const char* const kText =
    "Narrow {\n"
    "  complex b, r;\n"
    "  real half(complex x) {\n"
    "    complex t;\n"
    "    t = real(x) / 2;\n"
    "    return(t);\n"
    "  }\n"
    "  void init(void) {\n"
    "    z = 0;\n"
    "    b = 0;\n"
    "    r = 0;\n"
    "  }\n"
    "  void loop(void) {\n"
    "    z = b + pixel;\n"
    "    b = z*z;\n"
    "    r = r + half(z);\n"
    "  }\n"
    "  bool bailout(void) {\n"
    "    return(|z| < 4);\n"
    "  }\n"
    "}\n";

std::vector<std::string> TakeMessages()
{
    std::vector<std::string> out;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        out.push_back(static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    DeleteAllMessages();
    return out;
}

class TypeNarrowing : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        g_NumberOfOutputMessages = 1000;
    }
    void TearDown() override
    {
        compiler.freeResults();
        DeleteAllMessages();
        g_NumberOfOutputMessages = 200;
    }
    bool Compile(Fractal* fractal)
    {
        compiler.setKind(FK_ITERATION);
        return compiler.compile(kText, 0, -128, nullptr, nullptr, fractal, "Narrow", SK_PLANE, nullptr, false,
                                false);
    }
    FormulaSymbol* Global(const char* name)
    {
        return static_cast<FormulaSymbol*>(findNodeByName(compiler.symbols.GetHead(), name));
    }

    FormulaCompiler compiler;
};

TEST_F(TypeNarrowing, NotesNameTheDeclarationsWiderThanTheirValues)
{
    const std::vector<std::string> notes = {
        "Tip - formula Narrow:",
        "Optimizer Info: Global variable r can be defined as real instead of complex",
        "Tip - formula Narrow:",
        "Optimizer Info: Local variable t in function \"half\" can be defined as real instead of complex",
    };
    // Without a fractal (one pass) and with one (all passes and cycles).
    ASSERT_TRUE(Compile(nullptr));
    EXPECT_EQ(notes, TakeMessages());
    compiler.freeResults();

    Fractal fractal;
    ASSERT_TRUE(Compile(&fractal));
    EXPECT_EQ(notes, TakeMessages());
    EXPECT_EQ(DT_COMPLEX, Global("b")->currentType);
    EXPECT_EQ(DT_COMPLEX, Global("b")->readType);
    EXPECT_EQ(DT_REAL, Global("r")->currentType);
}

TEST_F(TypeNarrowing, AReadNarrowerThanTheFinalTypeAsksForAnotherCycle)
{
    Fractal fractal;
    ASSERT_TRUE(Compile(&fractal));
    TakeMessages();
    // The compile ended with settled facts.
    ASSERT_FALSE(compiler.needsAnotherRound(2, 0));

    FormulaSymbol* b = Global("b");
    ASSERT_NE(nullptr, b);
    struct Case {
        int readType;
        bool again;
    } cases[] = {
        {DT_REAL, true},     // read as real, now complex
        {DT_INT, true},      //
        {DT_COMPLEX, false}, // read at its type
        {-1, false},         // not read
        {DT_COLOR, false},   // not a number type
    };
    int saved = b->readType;
    for (const Case& c : cases) {
        b->readType = c.readType;
        EXPECT_EQ(c.again, compiler.needsAnotherRound(2, 0)) << c.readType;
    }
    b->readType = saved;

    // The same for a local of a user function.
    FormulaSymbol* t = nullptr;
    for (ListNode* n = compiler.functions.GetHead(); n && !t; n = n->next)
        t = static_cast<FormulaSymbol*>(findNodeByName(static_cast<FormulaFunction*>(n)->locals.GetHead(), "t"));
    ASSERT_NE(nullptr, t);
    int savedType = t->currentType;
    t->currentType = DT_COMPLEX;
    t->readType = DT_REAL;
    EXPECT_TRUE(compiler.needsAnotherRound(2, 0));
    t->currentType = savedType;
    t->readType = savedType;
    EXPECT_FALSE(compiler.needsAnotherRound(2, 0));
}

TEST_F(TypeNarrowing, AVariableReadBeforeItWidensRunsWithAllItsComponents)
{
    const double pixel[4] = {0.1, 0.2, 0, 0};
    for (bool optimize : {true, false}) {
        FormulaRun run;
        run.SetOptimization(optimize);
        ASSERT_TRUE(run.Compile(kText, FK_ITERATION, SK_PLANE)) << run.error();
        run.SetPixel(pixel);
        int n = run.Iterate(6);
        double z[4];
        run.GetZ(z);

        // z(k+1) = b(k) + pixel with b(k) = z(k)^2: Mandelbrot.
        std::complex<double> c(pixel[0], pixel[1]), w = 0;
        int k = 0;
        while (k < 6 && std::abs(w) * std::abs(w) < 4) {
            w = w * w + c;
            k++;
        }
        EXPECT_EQ(k, n) << optimize;
        EXPECT_NEAR(w.real(), z[0], 1e-12) << optimize;
        EXPECT_NEAR(w.imag(), z[1], 1e-12) << optimize;
    }
}

}  // namespace
