// Constant folding and the optimizer's rewrites seen in the element streams
// of the last compile cycle (as for a fractal), and formulas that must give
// the same results with and without the optimizer.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "compiler/CodeTemplate.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "compiler/Scanners.h"
#include "document/Fractal.h"
#include "formulas/FormulaKind.h"
#include "tests/compiler/FormulaRunCase.h"

namespace {

// Compiles an iteration formula for a fractal (parameters handed in, so the
// optimizing passes run) and keeps the stream of every statement as the
// last cycle left it, by its text offset.
struct StreamCompile {
    FormulaHolder holder{FK_ITERATION};
    Fractal fractal;
    NodeList parameters;
    std::map<int, std::vector<int32_t>> streams;
    bool ok = false;

    static void Observe(void* context, int action, int start, int, const int32_t* stream, int words)
    {
        if (action == 40)
            static_cast<StreamCompile*>(context)->streams[start].assign(stream, stream + words);
    }

    explicit StreamCompile(const std::string& body)
    {
        InitProcessorFeatures();
        fixupTemplates();
        fractal.header->Type = FT_ESCAPETIME;
        std::string text = InitFormula("  complex c;\n  real r, s;", body);
        holder.compiler->streamObserver = &Observe;
        holder.compiler->streamObserverContext = this;
        ok = holder.compiler->compile(text.c_str(), 0, -128, &parameters, nullptr, &fractal, "Case", SK_PLANE,
                                      nullptr, false, false);
    }
    ~StreamCompile() { holder.compiler->freeResults(); }

    // The stream of the only statement.
    std::vector<int32_t> Only() const { return streams.size() == 1 ? streams.begin()->second : std::vector<int32_t>(); }
    FormulaSymbol* Symbol(int32_t id) const { return holder.compiler->findVariable(id); }
};

bool Contains(const std::vector<int32_t>& s, std::initializer_list<int32_t> words)
{
    std::vector<int32_t> w(words);
    for (size_t i = 0; i + w.size() <= s.size(); i++) {
        if (std::equal(w.begin(), w.end(), s.begin() + i))
            return true;
    }
    return false;
}

// Whether an operation element occurs (operand words skipped).
bool HasOperation(const std::vector<int32_t>& s, int32_t op)
{
    for (size_t i = 0; i < s.size(); i += ElementWords(s[i])) {
        if (s[i] == op)
            return true;
    }
    return false;
}

TEST(Folding, ConstantPartsBecomeOneConstant)
{
    // 2 + 3 is the small integer 5: z times the constant 5.
    StreamCompile small("    z = z*(2 + 3);");
    ASSERT_TRUE(small.ok);
    std::vector<int32_t> s = small.Only();
    EXPECT_TRUE(Contains(s, {OPC_VARIABLE, encodeSmallInt(5), OP_MUL, OP_ASSIGN})) << ::testing::PrintToString(s);
    EXPECT_FALSE(HasOperation(s, OP_ADD));

    // 2.5 + 3 becomes a constant made for it.
    StreamCompile made("    z = z*(2.5 + 3);");
    ASSERT_TRUE(made.ok);
    s = made.Only();
    ASSERT_EQ(8u, s.size()) << ::testing::PrintToString(s);
    FormulaSymbol* k = made.Symbol(s[5]);
    ASSERT_NE(nullptr, k);
    EXPECT_EQ(0, strncmp(k->name, "INFO:created constant value", 27)) << k->name;
    EXPECT_EQ(5.5, k->value[0]);
    EXPECT_EQ(OP_MUL, s[6]);

    // A whole constant right-hand side is computed once.
    StreamCompile whole("    r = sin(0.5) * 2;");
    ASSERT_TRUE(whole.ok);
    s = whole.Only();
    ASSERT_EQ(5u, s.size()) << ::testing::PrintToString(s);
    k = whole.Symbol(s[3]);
    ASSERT_NE(nullptr, k);
    EXPECT_DOUBLE_EQ(2 * sin(0.5), k->value[0]);
}

TEST(Folding, IdentitiesWithZeroAndTrue)
{
    StreamCompile product("    z = z*0 + c;");
    ASSERT_TRUE(product.ok);
    EXPECT_FALSE(HasOperation(product.Only(), OP_MUL)) << ::testing::PrintToString(product.Only());

    // A quotient by zero stays: the running code gives infinity, not 0.
    StreamCompile quotient("    r = s / 0;");
    ASSERT_TRUE(quotient.ok);
    EXPECT_TRUE(HasOperation(quotient.Only(), OP_DIV)) << ::testing::PrintToString(quotient.Only());

    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  real r, s, q;", "    s = 2;\n    r = s / 0;\n    q = 0 / (s - 2);")));
    double v[4];
    run.ReadSymbol("r", v);
    EXPECT_TRUE(isinf(v[0])) << v[0];
    run.ReadSymbol("q", v);
    EXPECT_TRUE(isnan(v[0])) << v[0];
}

TEST(StrengthReduction, PowersAndSmallFactors)
{
    struct Case {
        const char* statement;
        int32_t expected;   // operation that must appear
        int32_t gone;       // operation that must not
    } cases[] = {
        {"    z = z^2 + c;", 48, OP_POWER},        // sqr
        {"    z = z^3 + c;", 45, OP_POWER},        // sqr3
        {"    z = z^0.5;", 18, OP_POWER},          // sqrt
        {"    z = z*z + c;", 48, OP_MUL},          // sqr
        {"    z = z*2;", 63, OP_MUL},              // mult2
        {"    z = -3*z;", 68, OP_MUL},             // multM3
        {"    z = z + 1;", 71, OP_ADD},            // increment
        {"    z = z - 1;", 73, OP_SUB},            // decrement
    };
    for (const Case& c : cases) {
        StreamCompile compile(c.statement);
        ASSERT_TRUE(compile.ok) << c.statement;
        std::vector<int32_t> s = compile.Only();
        EXPECT_TRUE(HasOperation(s, c.expected)) << c.statement << ::testing::PrintToString(s);
        EXPECT_FALSE(HasOperation(s, c.gone)) << c.statement << ::testing::PrintToString(s);
    }
    // Exponents without a cheaper form and products of two values stay.
    StreamCompile stays("    z = z^2.5 + z^11 + z*c;");
    ASSERT_TRUE(stays.ok);
    EXPECT_TRUE(HasOperation(stays.Only(), OP_POWER));
    EXPECT_TRUE(HasOperation(stays.Only(), OP_MUL));
}

// Formulas run with and without the optimizer: the same iterations and z.
TEST(Optimizer, SameResultsWithAndWithoutIt)
{
    const char* formulas[] = {
        "F {\n  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = z^2*(0.5 + 0.5) + pixel*(2 - 1) + 0*z;\n"
        "  }\n  bool bailout(void) {\n    return(|z| < 2*2);\n  }\n}\n",
        "F {\n  parameter real p;\n  void init(void) {\n    z = pixel;\n  }\n  void loop(void) {\n"
        "    if (p > 1) {\n      z = z^3 + pixel;\n    } else {\n      z = z*z*1 + pixel - 0;\n    }\n  }\n"
        "  bool bailout(void) {\n    return(|z| < 4 + p*0);\n  }\n}\n",
        "F {\n  real t;\n  void init(void) {\n    z = 0;\n    t = sqrt(2)/2;\n  }\n  void loop(void) {\n"
        "    z = z*z*t*2/sqrt(2) + pixel + (1,0)*(0,0);\n  }\n  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n",
    };
    const double pixels[][2] = {{-0.75, 0.1}, {0.3, 0.5}, {-1.2, 0.2}, {0.26, 0}};
    for (const char* text : formulas) {
        for (const char* p : {"1", "2"}) {
            for (const auto& pixel : pixels) {
                int iterations[2];
                double z[2][4];
                for (int optimize = 0; optimize < 2; optimize++) {
                    FormulaRun run;
                    run.SetOptimization(optimize != 0);
                    FormulaRun::Settings settings;
                    if (strstr(text, "parameter"))
                        settings.push_back({"p", p});
                    ASSERT_TRUE(run.Compile(text, FK_ITERATION, SK_PLANE, settings)) << run.error();
                    double px[4] = {pixel[0], pixel[1], 0, 0};
                    run.SetPixel(px);
                    iterations[optimize] = run.Iterate(200);
                    run.GetZ(z[optimize]);
                }
                EXPECT_EQ(iterations[0], iterations[1]) << text;
                EXPECT_NEAR(z[0][0], z[1][0], 1e-9 * (1 + fabs(z[0][0]))) << text;
                EXPECT_NEAR(z[0][1], z[1][1], 1e-9 * (1 + fabs(z[0][1]))) << text;
            }
        }
    }
}

TEST(Optimizer, ConstantConditionLeavesOneBranch)
{
    const char* text =
        "F {\n  parameter real p;\n  real n;\n  void init(void) {\n    if (p > 1) {\n      n = 1;\n    } else {\n"
        "      n = 2;\n    }\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n    return(false);\n  }\n}\n";
    unsigned lengths[2];
    for (int fixed = 0; fixed < 2; fixed++) {
        for (const char* p : {"0", "5"}) {
            FormulaRun run;
            run.SetParametersConstant(fixed != 0);
            ASSERT_TRUE(run.Compile(text, FK_ITERATION, SK_PLANE, {{"p", p}})) << run.error();
            double px[4] = {0, 0, 0, 0};
            run.SetPixel(px);
            run.Iterate(1);
            EXPECT_TRUE(Holds(run, "n", {p[0] == '5' ? 1.0 : 2.0})) << p << " fixed " << fixed;
            FormulaFunction* init = findFunction(&run.Holder()->compiler->functions, "Vinit@@");
            ASSERT_NE(nullptr, init);
            lengths[fixed] = init->codeLength;
        }
    }
    // Decided while compiling: no condition and no jumps are left.
    EXPECT_LT(lengths[1] + 10, lengths[0]);
}

}  // namespace
