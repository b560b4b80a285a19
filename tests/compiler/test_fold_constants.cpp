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

    explicit StreamCompile(const std::string& body, const char* declarations = "  complex c;\n  real r, s;",
                           const char* functions = "")
    {
        InitProcessorFeatures();
        fixupTemplates();
        fractal.header->Type = FT_ESCAPETIME;
        std::string text = InitFormula(declarations, body, functions);
        holder.compiler->streamObserver = &Observe;
        holder.compiler->streamObserverContext = this;
        ok = holder.compiler->compile(text.c_str(), 0, -128, &parameters, nullptr, &fractal, "Case", SK_PLANE,
                                      nullptr, false, false);
    }
    ~StreamCompile() { holder.compiler->freeResults(); }

    // The stream of the only statement.
    std::vector<int32_t> Only() const { return streams.size() == 1 ? streams.begin()->second : std::vector<int32_t>(); }
    FormulaSymbol* Symbol(int32_t id) const { return holder.compiler->findVariable(id); }
    FormulaSymbol* Named(const char* name) const
    {
        return static_cast<FormulaSymbol*>(holder.compiler->symbols.Find(name));
    }
    // The streams of the statements in text order.
    std::vector<std::vector<int32_t>> Ordered() const
    {
        std::vector<std::vector<int32_t>> all;
        for (const auto& entry : streams)
            all.push_back(entry.second);
        return all;
    }
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

    // A whole constant operand is computed once.
    StreamCompile whole("    z = z + sin(0.5) * 2;");
    ASSERT_TRUE(whole.ok);
    s = whole.Only();
    ASSERT_EQ(8u, s.size()) << ::testing::PrintToString(s);
    k = whole.Symbol(s[5]);
    ASSERT_NE(nullptr, k);
    EXPECT_DOUBLE_EQ(2 * sin(0.5), k->value[0]);
}

TEST(Folding, IdentitiesWithZeroAndTrue)
{
    StreamCompile product("    z = z*0 + c;");
    ASSERT_TRUE(product.ok);
    EXPECT_FALSE(HasOperation(product.Only(), OP_MUL)) << ::testing::PrintToString(product.Only());

    // A quotient by zero stays: the running code gives infinity, not 0.
    StreamCompile quotient("    z = z + s / 0;");
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
        // Operands that change places: a light left side of -, / and >.
        "F {\n  void init(void) {\n    z = pixel;\n  }\n  void loop(void) {\n"
        "    z = (pixel + 0.1) / (z*z + 2) - (z*z*z - pixel*z);\n  }\n  bool bailout(void) {\n"
        "    return(4 > |z*z - pixel|);\n  }\n}\n",
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

TEST(ConstantVariables, OneConstantValueMakesAConstant)
{
    // r only ever holds 3: its assignment goes and z*r is z times 3.
    StreamCompile one("    r = 3;\n    z = z*r;");
    ASSERT_TRUE(one.ok);
    auto s = one.Ordered();
    ASSERT_EQ(2u, s.size());
    EXPECT_TRUE(s[0].empty()) << ::testing::PrintToString(s[0]);
    EXPECT_TRUE(HasOperation(s[1], 64)) << ::testing::PrintToString(s[1]);   // mult3
    FormulaSymbol* r = one.Named("r");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(FACT_NO, r->assigned);
    EXPECT_EQ(3.0, r->value[0]);

    // Two different values, or a value set only in a branch: a variable.
    const char* variables[] = {
        "    r = 3;\n    r = 4;\n    z = z*r;",
        "    if (real(z) > 0) {\n      r = 3;\n    }\n    z = z*r;",
    };
    for (const char* body : variables) {
        StreamCompile c(body);
        ASSERT_TRUE(c.ok) << body;
        s = c.Ordered();
        ASSERT_FALSE(s.empty());
        EXPECT_FALSE(s[0].empty()) << body;
        EXPECT_TRUE(HasOperation(s.back(), OP_MUL)) << body << ::testing::PrintToString(s.back());
        EXPECT_EQ(FACT_NO, c.Named("r")->constant) << body;
    }
}

TEST(DeadStores, VariablesNobodyReadsLoseTheirStores)
{
    // r is never read; s only by r's assignment: both stores go.
    StreamCompile chain("    s = real(z);\n    r = s*2;\n    z = z + 1;");
    ASSERT_TRUE(chain.ok);
    auto s = chain.Ordered();
    ASSERT_EQ(3u, s.size());
    EXPECT_TRUE(s[0].empty()) << ::testing::PrintToString(s[0]);
    EXPECT_TRUE(s[1].empty()) << ::testing::PrintToString(s[1]);
    EXPECT_FALSE(s[2].empty());

    // A read keeps the store.
    const char* kept[] = {"    r = real(z);\n    z = z + r;"};
    for (const char* body : kept) {
        StreamCompile c(body);
        ASSERT_TRUE(c.ok) << body;
        s = c.Ordered();
        ASSERT_EQ(2u, s.size()) << body;
        EXPECT_FALSE(s[0].empty()) << body;
    }
}

// Formulas where a variable looks constant to a careless optimizer: read
// before its constant assignment in the loop, set only in a branch, given
// two values. Optimized and not, with the variables read back or not, they
// give the same iterations and z.
TEST(ConstantVariables, ValuesThatChangeStayVariables)
{
    const char* formulas[] = {
        "F {\n  real t;\n  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = z + t + pixel;\n"
        "    t = 1;\n  }\n  bool bailout(void) {\n    return(|z| < 100);\n  }\n}\n",
        "F {\n  real t;\n  void init(void) {\n    z = 0;\n    if (real(pixel) > 0) {\n      t = 2;\n    }\n  }\n"
        "  void loop(void) {\n    z = z*z + pixel*t;\n  }\n  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n",
        "F {\n  real t, u;\n  void init(void) {\n    t = 2;\n    z = pixel*t;\n    t = 3;\n    u = t;\n  }\n"
        "  void loop(void) {\n    z = z*z + pixel*u;\n  }\n  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n",
    };
    const double pixels[][2] = {{-0.3, 0.1}, {0.2, 0.1}, {0.05, 0.02}};
    for (const char* text : formulas) {
        for (const auto& pixel : pixels) {
            int iterations[3];
            double z[3][4];
            for (int variant = 0; variant < 3; variant++) {
                FormulaRun run;
                run.SetOptimization(variant != 0);
                run.SetVariablesReadBack(variant != 2);
                ASSERT_TRUE(run.Compile(text, FK_ITERATION, SK_PLANE)) << run.error();
                double px[4] = {pixel[0], pixel[1], 0, 0};
                run.SetPixel(px);
                iterations[variant] = run.Iterate(50);
                run.GetZ(z[variant]);
            }
            for (int variant = 1; variant < 3; variant++) {
                EXPECT_EQ(iterations[0], iterations[variant]) << text << variant;
                EXPECT_NEAR(z[0][0], z[variant][0], 1e-9 * (1 + fabs(z[0][0]))) << text << variant;
                EXPECT_NEAR(z[0][1], z[variant][1], 1e-9 * (1 + fabs(z[0][1]))) << text << variant;
            }
        }
    }
}

// A constant assigned only in the loop is not a constant of final: with no
// loop run, final sees the variable's initial 0.
TEST(ConstantVariables, LoopAssignmentIsNoConstantForFinal)
{
    const char* text =
        "C {\n  real t;\n  void loop(void) {\n    t = 3;\n  }\n"
        "  void final(void) {\n    index = t + 1;\n  }\n}\n";
    const struct {
        int loops;
        double index;
    } cases[] = {{0, 1.0}, {2, 4.0}};
    for (int variant = 0; variant < 3; variant++) {
        for (const auto& c : cases) {
            FormulaRun run;
            run.SetOptimization(variant != 0);
            run.SetVariablesReadBack(variant != 2);
            ASSERT_TRUE(run.Compile(text, FK_COLORING, SK_PLANE)) << run.error();
            double z[2] = {0.5, 0.25};
            run.Colour(z, 5, c.loops);
            EXPECT_EQ(c.index, run.GetIndex()) << "variant " << variant << " loops " << c.loops;
        }
    }
}

TEST(Shuffle, HeavierRightOperandsGoFirst)
{
    struct Case {
        const char* statement;
        int32_t expected;   // the swapped operation
        int32_t gone;       // the operation written
    } cases[] = {
        {"    z = c - (z*c + c);", 60, OP_SUB},
        {"    z = c / (z*c + c);", 50, OP_DIV},
        {"    z = 2 + z*c;", OP_ADD, -1},
    };
    for (const Case& k : cases) {
        StreamCompile compile(k.statement);
        ASSERT_TRUE(compile.ok) << k.statement;
        std::vector<int32_t> s = compile.Only();
        ASSERT_GE(s.size(), 4u);
        EXPECT_TRUE(HasOperation(s, k.expected)) << k.statement << ::testing::PrintToString(s);
        if (k.gone > 0) {
            EXPECT_FALSE(HasOperation(s, k.gone)) << k.statement << ::testing::PrintToString(s);
        }
        // The heavier product now comes first, right after the target.
        EXPECT_EQ(OPC_VARIABLE, s[2]);
        EXPECT_EQ(s[1], s[3]) << k.statement << ::testing::PrintToString(s);
    }

    // Quaternion products and a lighter right side keep their order.
    StreamCompile quaternion("    q = p * (q*p + p);\n    z = z + real(q);", "  quaternion q, p;");
    ASSERT_TRUE(quaternion.ok);
    std::vector<int32_t> s = quaternion.Ordered()[0];
    ASSERT_GE(s.size(), 5u);
    EXPECT_EQ(OPC_VARIABLE, s[2]);
    EXPECT_NE(s[1], s[3]) << "p stays first: " << ::testing::PrintToString(s);
    StreamCompile lighter("    z = z*c - c;");
    ASSERT_TRUE(lighter.ok);
    EXPECT_TRUE(HasOperation(lighter.Only(), OP_SUB)) << ::testing::PrintToString(lighter.Only());
}

TEST(StaticLocals, ConstantLocalsAreReadFromAGlobalConstant)
{
    StreamCompile compile("    z = half(z);", "  complex c;",
                          "  complex half(complex v) {\n    real k, m;\n    k = 0.5;\n    m = real(v);\n"
                          "    return(v*k + m);\n  }\n");
    ASSERT_TRUE(compile.ok);
    FormulaCompiler* compiler = compile.holder.compiler;
    FormulaFunction* half = nullptr;
    for (ListNode* n = compiler->functions.GetHead(); n; n = n->next) {
        if (strcmp(n->name, "half") == 0)
            half = static_cast<FormulaFunction*>(n);
    }
    ASSERT_NE(nullptr, half);
    FormulaSymbol* k = static_cast<FormulaSymbol*>(findNodeByName(half->locals.GetHead(), "k"));
    FormulaSymbol* m = static_cast<FormulaSymbol*>(findNodeByName(half->locals.GetHead(), "m"));
    ASSERT_NE(nullptr, k);
    ASSERT_NE(nullptr, m);
    // k holds one constant and is never assigned while the code runs; m is.
    k->assigned = FACT_NO;
    k->constant = FACT_YES;
    k->value[0] = 0.5;
    m->assigned = FACT_YES;
    m->constant = FACT_NO;
    int32_t stream[] = {OPC_VARIABLE, k->id, OPC_VARIABLE, m->id, OP_MUL, OPC_VARIABLE, k->id, OP_ADD, OPC_END, OPC_END};
    compiler->currentFunction = half;   // as while its body is compiled
    compiler->promoteStaticLocal(stream);
    EXPECT_EQ(m->id, stream[3]);
    ASSERT_NE(k->id, stream[1]);
    EXPECT_EQ(stream[1], stream[6]);   // one copy for every read
    FormulaSymbol* copy = compiler->findVariable(stream[1]);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(SYM_CONSTANT, copy->symbolClass);
    EXPECT_EQ(0, strncmp(copy->name, "INFO:static local->global constant", 34)) << copy->name;
    EXPECT_TRUE((uint32_t)copy->id & SYMBOL_ID_COMPILER);
    EXPECT_EQ(0.5, copy->value[0]);
    EXPECT_LT(copy->dataOffset, 0);
    // A later statement of the cycle reads the same copy.
    int32_t again[] = {OPC_VARIABLE, k->id, OPC_END, OPC_END};
    compiler->promoteStaticLocal(again);
    EXPECT_EQ(stream[1], again[1]);
    compiler->currentFunction = nullptr;
}

TEST(Folding, ValuesOfTheCalculationFoldWithTheirBoundValues)
{
    // e and magn are fixed for a calculation and bound into the data block
    // while compiling: folded, they give what the running code reads.
    const char* text = "F {\n  real k;\n  void init(void) {\n    k = e*2;\n    z = k + pixel*magn + (e - 2.5);\n  }\n"
                       "  void loop(void) {\n  }\n  bool bailout(void) {\n    return(false);\n  }\n}\n";
    for (int optimize = 0; optimize < 2; optimize++) {
        FormulaRun run;
        run.SetOptimization(optimize != 0);
        ASSERT_TRUE(run.Compile(text, FK_ITERATION, SK_PLANE)) << run.error();
        double px[4] = {0.25, 0, 0, 0};
        run.SetPixel(px);
        run.Iterate(1);
        double z[4];
        run.GetZ(z);
        EXPECT_NEAR(2 * M_E + 0.25 + M_E - 2.5, z[0], 1e-12) << "optimize " << optimize;
    }
}

}  // namespace
