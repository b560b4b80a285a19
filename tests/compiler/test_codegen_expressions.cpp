// Expression code generation: the integer shortcuts, conditions and their
// jump bytes, loads and stores of every type with their conversions, the
// spilling of values when the eight x87 registers run out (and the reload
// of spilled left operands), component loads, selectable functions, and
// the error messages. Streams are compiled straight from element lists
// and run on the compiler's data block.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <complex>
#include <string>
#include <vector>

#include "tests/compiler/StreamCompiler.h"

namespace {

typedef std::vector<uint8_t> Bytes;
typedef std::vector<int32_t> Stream;
typedef std::complex<long double> Cx;

Bytes Le32(int32_t v)
{
    Bytes b(4);
    memcpy(b.data(), &v, 4);
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

bool Contains(const Bytes& code, const uint8_t* part, int length)
{
    if (length <= 0)
        return true;
    for (size_t i = 0; i + length <= code.size(); i++)
        if (memcmp(code.data() + i, part, (size_t)length) == 0)
            return true;
    return false;
}

const CodeTemplate* Template(int op, std::initializer_list<int32_t> types)
{
    std::vector<int32_t> t(types);
    return FindTemplateBySignature(op, t.data(), (int)t.size());
}

class Expressions : public ::testing::Test {
protected:
    StreamCompiler b;
};

// ---------------------------------------------------------------------------
// Integer shortcuts

TEST_F(Expressions, IntegerIncrementsAndSumsUseIntegerInstructions)
{
    FormulaSymbol* n = b.Var("n", DT_INT);
    FormulaSymbol* m = b.Var("m", DT_INT);
    struct Case {
        const char* what;
        Stream stream;
        Bytes code;
        int32_t after;   // n starts at 10, m at 3
    };
    const Case cases[] = {
        {"n = n + 1", Cat({Target(n), Load(n), {OPC_VARIABLE, 2, OP_ADD, OP_ASSIGN}}),
         Join({{0xB8}, Le32(1), {0x01, 0x87}, Le32(n->dataOffset)}), 11},
        {"n = n - m", Cat({Target(n), Load(n), Load(m), {OP_SUB, OP_ASSIGN}}),
         Join({{0x8B, 0x87}, Le32(m->dataOffset), {0x29, 0x87}, Le32(n->dataOffset)}), 7},
        {"n = n + -10", Cat({Target(n), Load(n), {OPC_VARIABLE, 21, OP_ADD, OP_ASSIGN}}),
         Join({{0xB8}, Le32(-10), {0x01, 0x87}, Le32(n->dataOffset)}), 0},
        {"inc1", Cat({Target(n), Load(n), {71, OP_ASSIGN}}), Join({{0xFF, 0x87}, Le32(n->dataOffset)}), 11},
        {"incM1", Cat({Target(n), Load(n), {72, OP_ASSIGN}}), Join({{0xFF, 0x8F}, Le32(n->dataOffset)}), 9},
        {"dec1", Cat({Target(n), Load(n), {73, OP_ASSIGN}}), Join({{0xFF, 0x8F}, Le32(n->dataOffset)}), 9},
        {"decM1", Cat({Target(n), Load(n), {74, OP_ASSIGN}}), Join({{0xFF, 0x87}, Le32(n->dataOffset)}), 11},
    };
    for (const Case& c : cases) {
        b.Set(n, {10});
        b.Set(m, {3});
        EXPECT_EQ(1, b.Compile(c.stream)) << c.what;
        EXPECT_EQ(c.code, b.Code()) << c.what;
        b.Run();
        EXPECT_EQ(c.after, (int32_t)b.Get(n)[0]) << c.what;
    }
}

TEST_F(Expressions, RealSumTakesTheGeneralPath)
{
    FormulaSymbol* x = b.Var("x", DT_REAL);
    b.Set(x, {2.5});
    ASSERT_EQ(1, b.Compile(Cat({Target(x), Load(x), {OPC_VARIABLE, 2, OP_ADD, OP_ASSIGN}})));
    const CodeTemplate* add = Template(OP_ADD, {DT_REAL, DT_REAL});
    Bytes expected = Join({{0xDB, 0xAF}, Le32(x->dataOffset), {0xD9, 0xE8}, Bytes(add->code, add->code + add->codeLength),
                           {0xDB, 0xBF}, Le32(x->dataOffset)});
    EXPECT_EQ(expected, b.Code());
    b.Run();
    EXPECT_EQ(3.5L, b.Get(x)[0]);
}

TEST_F(Expressions, IntegerComparisonsInConditions)
{
    FormulaSymbol* i = b.Var("i", DT_INT);
    FormulaSymbol* n = b.Var("n", DT_INT);
    ASSERT_EQ(0, b.Compile(Cat({Load(i), Load(n), {38}}), true));
    EXPECT_EQ(Join({{0x8B, 0x87}, Le32(n->dataOffset), {0x3B, 0x87}, Le32(i->dataOffset)}), b.Code());
    EXPECT_EQ(0x8F, b.jumpBytes[0]);
    EXPECT_EQ(0x8E, b.jumpBytes[1]);
    // Every comparison, with i below, equal to and above n (signed).
    struct Case {
        int op;
        bool below, equal, above;
    };
    const Case cases[] = {
        {34, false, true, false}, {35, false, true, true}, {36, true, true, false},
        {37, true, false, true},  {38, true, false, false}, {39, false, false, true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(0, b.Compile(Cat({Load(i), Load(n), {c.op}}), true));
        b.Set(n, {-2});
        const bool expected[3] = {c.below, c.equal, c.above};
        const int values[3] = {-5, -2, 7};
        for (int k = 0; k < 3; k++) {
            b.Set(i, {(long double)values[k]});
            EXPECT_EQ(expected[k] ? 1 : 0, b.Run(true)) << "op " << c.op << " i = " << values[k];
        }
        // Against a small constant: i op 3.
        ASSERT_EQ(0, b.Compile(Cat({Load(i), {OPC_VARIABLE, 6, c.op}}), true));
        EXPECT_EQ(0xB8, b.Code()[0]);
        b.Set(i, {3});
        EXPECT_EQ(c.equal ? 1 : 0, b.Run(true)) << "op " << c.op << " against 3";
    }
}

// ---------------------------------------------------------------------------
// Conditions

TEST_F(Expressions, PlainValueConditionTestsAgainstZero)
{
    FormulaSymbol* r = b.Var("r", DT_REAL);
    FormulaSymbol* flag = b.Var("flag", DT_BOOL);
    ASSERT_EQ(0, b.Compile(Load(r), true));
    Bytes test = g_HasCmov ? Bytes{0xD9, 0xEE, 0xDF, 0xF1, 0xDD, 0xD8}
                           : Bytes{0xD9, 0xE4, 0xDF, 0xE0, 0xDD, 0xC0, 0xD9, 0xF7, 0x9E};
    EXPECT_EQ(Join({{0xDB, 0xAF}, Le32(r->dataOffset), test}), b.Code());
    EXPECT_EQ(0x85, b.jumpBytes[0]);
    EXPECT_EQ(0x84, b.jumpBytes[1]);
    for (long double v : {0.0L, -0.0L, 2.5L, -1e-300L}) {
        b.Set(r, {v});
        EXPECT_EQ(v != 0 ? 1 : 0, b.Run(true)) << (double)v;
    }
    ASSERT_EQ(0, b.Compile(Load(flag), true));
    for (int v : {0, 1}) {
        b.Set(flag, {(long double)v});
        EXPECT_EQ(v, b.Run(true));
    }
}

TEST_F(Expressions, ComparisonsAreCutWhereTheirFlagsAreSet)
{
    FormulaSymbol* x = b.Var("x", DT_REAL);
    FormulaSymbol* c = b.Var("c", DT_COMPLEX);
    struct Case {
        int op;
        bool (*holds)(long double, long double);
    };
    const Case cases[] = {
        {34, [](long double a, long double b) { return a == b; }}, {35, [](long double a, long double b) { return a >= b; }},
        {36, [](long double a, long double b) { return a <= b; }}, {37, [](long double a, long double b) { return a != b; }},
        {38, [](long double a, long double b) { return a < b; }},  {39, [](long double a, long double b) { return a > b; }},
        {32, [](long double a, long double b) { return a != 0 && b != 0; }},
        {33, [](long double a, long double b) { return a != 0 || b != 0; }},
    };
    for (bool cmov : {true, false}) {
        if (cmov)
            InitProcessorFeatures();
        else
            ApplyProcessorFeatures(false, 0);
        for (const Case& k : cases) {
            ASSERT_EQ(0, b.Compile(Cat({Load(x), Load(c), {k.op}}), true)) << b.error;
            const CodeTemplate* t = Template(k.op, {DT_REAL, DT_COMPLEX});
            Bytes code = b.Code();
            int kept = (int)code.size() - 18;   // three loads of 6 bytes before the template
            ASSERT_GT(kept, 0);
            EXPECT_EQ(0, memcmp(code.data() + 18, t->code, (size_t)kept)) << t->name;
            if (g_HasCmov && strstr(t->operationName, "_opt"))
                EXPECT_EQ(t->codeLength - 8, kept) << t->name;
            else
                EXPECT_EQ(0x9E, code.back()) << t->name;
            EXPECT_EQ(t->jumpIfTrue, b.jumpBytes[0]);
            EXPECT_EQ(t->jumpIfFalse, b.jumpBytes[1]);
            // x against a complex value with imaginary part 0 compares the
            // real parts.
            for (long double xv : {-1.0L, 0.0L, 2.0L}) {
                for (long double cv : {-1.0L, 0.0L, 2.0L}) {
                    b.Set(x, {xv});
                    b.Set(c, {cv, 0});
                    EXPECT_EQ(k.holds(xv, cv) ? 1 : 0, b.Run(true))
                        << t->name << " " << (double)xv << " " << (double)cv;
                }
            }
        }
    }
    InitProcessorFeatures();
}

TEST_F(Expressions, ConditionOfAFunctionValueTestsTheResult)
{
    FormulaSymbol* x = b.Var("x", DT_REAL);
    // isNaN(x) and !x end in templates with jump bytes; abs(x) is tested
    // as a value.
    struct Case {
        Stream tail;
        long double value;
        int expected;
    };
    const Case cases[] = {
        {{139}, NAN, 1}, {{139}, 1.5L, 0}, {{140}, INFINITY, 0}, {{140}, -2, 1},
        {{40}, 0, 1},     {{40}, 3, 0},     {{7}, -2, 1},         {{7}, 0, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(0, b.Compile(Cat({Load(x), c.tail}), true)) << b.error;
        b.Set(x, {c.value});
        EXPECT_EQ(c.expected, b.Run(true)) << "op " << c.tail[0] << " of " << (double)c.value;
    }
}

// ---------------------------------------------------------------------------
// Loads, stores and conversions

TEST_F(Expressions, StoresConvertToTheTargetType)
{
    FormulaSymbol* c = b.Var("c", DT_COMPLEX, PREC_DOUBLE);
    FormulaSymbol* r = b.Var("r", DT_REAL, PREC_FLOAT);
    FormulaSymbol* q = b.Var("q", DT_QUATERNION, PREC_DOUBLE);
    FormulaSymbol* v = b.Var("v", DT_VECTOR, PREC_EXTENDED);
    FormulaSymbol* n = b.Var("n", DT_INT);
    FormulaSymbol* f = b.Var("f", DT_BOOL);
    FormulaSymbol* col = b.Var("col", DT_COLOR);
    FormulaSymbol* sc = b.Var("sc", DT_COMPLEX, PREC_EXTENDED);
    FormulaSymbol* sq = b.Var("sq", DT_QUATERNION, PREC_EXTENDED);
    FormulaSymbol* sr = b.Var("sr", DT_REAL, PREC_EXTENDED);
    FormulaSymbol* sn = b.Var("sn", DT_INT);
    FormulaSymbol* scol = b.Var("scol", DT_COLOR);
    FormulaSymbol* sv = b.Var("sv", DT_VECTOR, PREC_DOUBLE);
    b.Set(sc, {2.5, -1.75});
    b.Set(sq, {1.5, -2.5, 3.25, 0.5});
    b.Set(sr, {-3.5});
    b.Set(sn, {7});
    b.Set(scol, {0.25, 0.5, 0.75, 1});
    b.Set(sv, {1, -2, 0.125});
    struct Case {
        FormulaSymbol* target;
        FormulaSymbol* source;
        std::vector<long double> expected;
    };
    const Case cases[] = {
        {c, sc, {2.5, -1.75}},       {r, sc, {2.5}},         {n, sc, {2}},            {q, sc, {2.5, -1.75, 0, 0}},
        {c, sr, {-3.5, 0}},          {q, sr, {-3.5, 0, 0, 0}}, {v, sr, {-3.5, 0, 0}},  {r, sr, {-3.5}},
        {n, sr, {-4}},               {f, sn, {7}},           {c, sn, {7, 0}},         {r, sn, {7}},
        {q, sq, {1.5, -2.5, 3.25, 0.5}}, {c, sq, {1.5, -2.5}}, {r, sq, {1.5}},        {n, sq, {2}},
        {col, scol, {0.25, 0.5, 0.75, 1}}, {v, sv, {1, -2, 0.125}},
    };
    // Each source also has a variable of its own type, which a chained
    // assignment target = kept = source fills as well.
    auto keptFor = [&](FormulaSymbol* source) {
        std::string name = std::string("kept_") + source->name;
        FormulaSymbol* k = static_cast<FormulaSymbol*>(findNodeByName(b.compiler.symbols.GetHead(), name.c_str()));
        return k ? k : b.Var(name.c_str(), source->dataType, source->precision);
    };
    for (const Case& k : cases) {
        std::string what = std::string(k.target->name) + " = " + k.source->name;
        FormulaSymbol* kept = keptFor(k.source);
        for (bool chained : {false, true}) {
            b.Set(k.target, {99, 99, 99, 99});
            b.Set(kept, {99, 99, 99, 99});
            Stream stream = chained ? Cat({Target(k.target), Target(kept), Load(k.source), {OP_ASSIGN, OP_ASSIGN}})
                                    : Cat({Target(k.target), Load(k.source), {OP_ASSIGN}});
            ASSERT_EQ(1, b.Compile(stream)) << what << ": " << b.error;
            b.Run();
            std::vector<long double> got = b.Get(k.target);
            ASSERT_EQ(k.expected.size(), got.size()) << what;
            for (size_t j = 0; j < got.size(); j++)
                EXPECT_EQ(k.expected[j], got[j]) << what << " component " << j << (chained ? " (chained)" : "");
            if (chained) {
                EXPECT_EQ(b.Get(k.source), b.Get(kept)) << what << " (kept)";
            }
        }
    }
}

TEST_F(Expressions, ChainedVectorAssignmentKeepsTheValue)
{
    FormulaSymbol* v1 = b.Var("v1", DT_VECTOR, PREC_DOUBLE);
    FormulaSymbol* v2 = b.Var("v2", DT_VECTOR, PREC_FLOAT);
    FormulaSymbol* v3 = b.Var("v3", DT_VECTOR, PREC_EXTENDED);
    b.Set(v3, {1.5, -2, 4});
    ASSERT_EQ(1, b.Compile(Cat({Target(v1), Target(v2), Load(v3), {OP_ASSIGN, OP_ASSIGN}})));
    const uint8_t keep[6] = {0xD9, 0xC2, 0xD9, 0xC2, 0xD9, 0xC2};   // FLD ST(2) three times
    EXPECT_TRUE(Contains(b.Code(), keep, 6));
    b.Run();
    EXPECT_EQ((std::vector<long double>{1.5, -2, 4}), b.Get(v1));
    EXPECT_EQ((std::vector<long double>{1.5, -2, 4}), b.Get(v2));
}

TEST_F(Expressions, ComponentOfAVariableLoadsOnlyThatComponent)
{
    FormulaSymbol* z = b.Var("z", DT_COMPLEX, PREC_DOUBLE);
    FormulaSymbol* q = b.Var("q", DT_QUATERNION, PREC_EXTENDED);
    FormulaSymbol* r = b.Var("r", DT_REAL);
    b.Set(z, {3, -4});
    b.Set(q, {1, 2, 3, 4});
    struct Case {
        FormulaSymbol* source;
        int op;
        int component;
        long double expected;
    };
    const Case cases[] = {{z, 24, 0, 3}, {z, 25, 1, -4}, {q, 24, 0, 1}, {q, 25, 1, 2}, {q, 146, 2, 3}, {q, 147, 3, 4}};
    for (const Case& c : cases) {
        ASSERT_EQ(1, b.Compile(Cat({Target(r), Load(c.source), {c.op, OP_ASSIGN}})));
        int size = PrecisionBytes(c.source->precision);
        Bytes load = {(uint8_t)(c.source->precision == PREC_EXTENDED ? 0xDB : 0xDD),
                      (uint8_t)(c.source->precision == PREC_EXTENDED ? 0xAF : 0x87)};
        Bytes expected = Join({load, Le32(c.source->dataOffset + c.component * size), {0xDB, 0xBF}, Le32(r->dataOffset)});
        EXPECT_EQ(expected, b.Code()) << c.source->name << " op " << c.op;
        b.Run();
        EXPECT_EQ(c.expected, b.Get(r)[0]);
    }
}

TEST_F(Expressions, RepeatedVariableIsCopiedFromTheStack)
{
    FormulaSymbol* z = b.Var("z", DT_COMPLEX, PREC_EXTENDED);
    FormulaSymbol* w = b.Var("w", DT_COMPLEX, PREC_EXTENDED);
    b.Set(z, {1.5, -2});
    ASSERT_EQ(1, b.Compile(Cat({Target(w), Load(z), Load(z), {OP_MUL, OP_ASSIGN}})));
    Bytes code = b.Code();
    Bytes loads = Join({{0xDB, 0xAF}, Le32(z->dataOffset + 16), {0xDB, 0xAF}, Le32(z->dataOffset), {0xD9, 0xC1, 0xD9, 0xC1}});
    EXPECT_EQ(loads, Bytes(code.begin(), code.begin() + loads.size()));
    b.Run();
    Cx expected = Cx(1.5, -2) * Cx(1.5, -2);
    EXPECT_EQ((std::vector<long double>{expected.real(), expected.imag()}), b.Get(w));
}

TEST_F(Expressions, SmallIntegersLoadWithoutVariables)
{
    FormulaSymbol* r = b.Var("r", DT_REAL);
    for (int id = 1; id <= 21; id++) {
        ASSERT_EQ(1, b.Compile(Cat({Target(r), {OPC_VARIABLE, id, OP_ASSIGN}})));
        Bytes code = b.Code();
        if (id == 1)
            EXPECT_EQ((Bytes{0xD9, 0xEE}), Bytes(code.begin(), code.begin() + 2));
        else if (id == 2)
            EXPECT_EQ((Bytes{0xD9, 0xE8}), Bytes(code.begin(), code.begin() + 2));
        else
            EXPECT_EQ((Bytes{0xDF, 0x47, (uint8_t)(-2 * id)}), Bytes(code.begin(), code.begin() + 3));
        b.Run();
        int n = id / 2;
        EXPECT_EQ(id % 2 == 0 ? n : -n, (int)b.Get(r)[0]) << id;
    }
}

// ---------------------------------------------------------------------------
// Spilling

// Variables r0.. of one type with the given values.
std::vector<FormulaSymbol*> Vars(StreamCompiler& b, const char* prefix, int type, int count)
{
    std::vector<FormulaSymbol*> out;
    for (int i = 0; i < count; i++)
        out.push_back(b.Var((std::string(prefix) + std::to_string(i)).c_str(), type));
    return out;
}

// v0 op (v1 op (v2 op ... vn)): every operand stays on the stack until the
// innermost one is loaded.
Stream RightNested(const std::vector<FormulaSymbol*>& v, const std::vector<int>& ops)
{
    Stream s;
    for (FormulaSymbol* x : v)
        s = Cat({s, Load(x)});
    for (int i = (int)ops.size() - 1; i >= 0; i--)
        s.push_back(ops[i]);
    return s;
}

bool SpillsTo80Bit(const Bytes& code)
{
    for (size_t i = 0; i + 6 <= code.size(); i++) {
        int32_t disp;
        memcpy(&disp, code.data() + i + 2, 4);
        if (code[i] == 0xDB && code[i + 1] == 0xBF && disp < -128)
            return true;
    }
    return false;
}

TEST_F(Expressions, DeepRealExpressionsSpillAndReloadReversed)
{
    auto r = Vars(b, "r", DT_REAL, 10);
    FormulaSymbol* out = b.Var("out", DT_REAL);
    long double values[10] = {1.5, -2, 3.25, 0.5, -4, 7, 0.125, 9, -1.25, 2};
    for (int i = 0; i < 10; i++)
        b.Set(r[i], {values[i]});
    // Subtraction and division: a reloaded left operand turns them into
    // subr and divr; a power has no twin and goes through change.
    struct Case {
        std::vector<int> ops;
        int twin;   // the reversed operation the reloads use
    };
    const Case cases[] = {
        {{OP_SUB, OP_SUB, OP_SUB, OP_SUB, OP_SUB, OP_SUB, OP_SUB, OP_SUB, OP_SUB}, 60},
        {{OP_DIV, OP_DIV, OP_DIV, OP_DIV, OP_DIV, OP_SUB, OP_DIV, OP_SUB, OP_DIV}, 50},
        {{OP_MUL, 61, OP_ADD, OP_SUB, 38, OP_DIV, OP_SUB, OP_ADD, OP_MUL}, 70},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(1, b.Compile(Cat({Target(out), RightNested(r, c.ops), {OP_ASSIGN}}))) << b.error;
        EXPECT_TRUE(SpillsTo80Bit(b.Code()));
        const CodeTemplate* twin = Template(c.twin, {DT_REAL, DT_REAL});
        EXPECT_TRUE(Contains(b.Code(), twin->code, twin->codeLength)) << twin->name;
        EXPECT_LT(b.compiler.dataBottom, -128);
        b.Run();
        long double v = values[9];
        for (int i = 8; i >= 0; i--) {
            long double a = values[i];
            switch (c.ops[i]) {
            case OP_ADD: v = a + v; break;
            case OP_SUB: v = a - v; break;
            case OP_MUL: v = a * v; break;
            case OP_DIV: v = a / v; break;
            case 38: v = a < v ? 1 : 0; break;
            case 61: v = fmodl(a, v); break;
            }
        }
        EXPECT_NEAR((double)v, (double)b.Get(out)[0], 1e-15 * fabs((double)v) + 1e-300);
    }
}

TEST_F(Expressions, DeepComplexAndQuaternionExpressionsSpill)
{
    auto c = Vars(b, "c", DT_COMPLEX, 6);
    auto q = Vars(b, "q", DT_QUATERNION, 4);
    FormulaSymbol* cout = b.Var("cout", DT_COMPLEX);
    FormulaSymbol* qout = b.Var("qout", DT_QUATERNION);
    Cx cv[6] = {Cx(1, 2), Cx(0.5, -1), Cx(2, 0.25), Cx(-1, 1), Cx(0.75, 0.5), Cx(3, -2)};
    for (int i = 0; i < 6; i++)
        b.Set(c[i], {cv[i].real(), cv[i].imag()});
    // c0 - (c1 / (c2 - (c3 / (c4 - c5))))
    ASSERT_EQ(1, b.Compile(Cat({Target(cout), RightNested(c, {OP_SUB, OP_DIV, OP_SUB, OP_DIV, OP_SUB}), {OP_ASSIGN}})));
    EXPECT_TRUE(SpillsTo80Bit(b.Code()));
    b.Run();
    Cx ce = cv[0] - (cv[1] / (cv[2] - (cv[3] / (cv[4] - cv[5]))));
    std::vector<long double> got = b.Get(cout);
    EXPECT_NEAR((double)ce.real(), (double)got[0], 1e-14);
    EXPECT_NEAR((double)ce.imag(), (double)got[1], 1e-14);

    // Quaternions: q0 - q1 * (q2 - q0 * (q1 - q3)); mult has no twin for
    // quaternions, so a reloaded left factor goes through change.
    long double qv[4][4] = {{1, 2, 3, 4}, {0.5, -1, 2, 0.25}, {-1, 0, 1, 2}, {2, -0.5, 0.25, 1}};
    for (int i = 0; i < 4; i++)
        b.Set(q[i], qv[i], 4);
    Stream s = Cat({Target(qout), Load(q[0]), Load(q[1]), Load(q[2]), Load(q[0]), Load(q[1]), Load(q[3]),
                    {OP_SUB, OP_MUL, OP_SUB, OP_MUL, OP_SUB, OP_ASSIGN}});
    ASSERT_EQ(1, b.Compile(s)) << b.error;
    EXPECT_TRUE(SpillsTo80Bit(b.Code()));
    const CodeTemplate* change = Template(OP_CHANGE, {DT_QUATERNION, DT_QUATERNION});
    EXPECT_TRUE(Contains(b.Code(), change->code, change->codeLength));
    b.Run();
    auto mul = [](const long double* a, const long double* b, long double* r) {
        r[0] = a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3];
        r[1] = a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2];
        r[2] = a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1];
        r[3] = a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0];
    };
    long double t1[4], t2[4], t3[4], t4[4], e[4];
    for (int k = 0; k < 4; k++)
        t1[k] = qv[1][k] - qv[3][k];
    mul(qv[0], t1, t2);
    for (int k = 0; k < 4; k++)
        t3[k] = qv[2][k] - t2[k];
    mul(qv[1], t3, t4);
    for (int k = 0; k < 4; k++)
        e[k] = qv[0][k] - t4[k];
    got = b.Get(qout);
    for (int k = 0; k < 4; k++)
        EXPECT_NEAR((double)e[k], (double)got[k], 1e-13) << k;
}

TEST_F(Expressions, SpilledLeftOperandsWithoutTwinOrChangeKeepTheirOrder)
{
    // v / (r0 + (r1 + ... + r7)) and col / (...): the vector or colour is
    // spilled while the eight reals are loaded; division has no reversed
    // twin for them and change no template for a real and a vector.
    auto r = Vars(b, "r", DT_REAL, 8);
    FormulaSymbol* v = b.Var("v", DT_VECTOR);
    FormulaSymbol* col = b.Var("col", DT_COLOR);
    FormulaSymbol* vout = b.Var("vout", DT_VECTOR);
    FormulaSymbol* cout = b.Var("cout", DT_COLOR);
    for (int i = 0; i < 8; i++)
        b.Set(r[i], {(long double)(i + 1) / 8});
    b.Set(v, {3, -6, 1.5});
    b.Set(col, {0.5, 1, 0.25, 0.75});
    Stream sum = RightNested(r, {OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD});
    long double s = 0;
    for (int i = 0; i < 8; i++)
        s += (long double)(i + 1) / 8;
    ASSERT_EQ(1, b.Compile(Cat({Target(vout), Load(v), sum, {OP_DIV, OP_ASSIGN}}))) << b.error;
    EXPECT_TRUE(SpillsTo80Bit(b.Code()));
    const uint8_t throughFrame[3] = {0xDB, 0x7D, 0xF0};   // FSTP tbyte [EBP-16]
    EXPECT_TRUE(Contains(b.Code(), throughFrame, 3));
    b.Run();
    std::vector<long double> got = b.Get(vout);
    EXPECT_NEAR(3 / (double)s, (double)got[0], 1e-15);
    EXPECT_NEAR(-6 / (double)s, (double)got[1], 1e-15);
    EXPECT_NEAR(1.5 / (double)s, (double)got[2], 1e-15);
    ASSERT_EQ(1, b.Compile(Cat({Target(cout), Load(col), sum, {OP_DIV, OP_ASSIGN}}))) << b.error;
    b.Run();
    got = b.Get(cout);
    EXPECT_FLOAT_EQ(0.5f / (float)s, (float)got[0]);
    EXPECT_FLOAT_EQ(0.75f / (float)s, (float)got[3]);
}

TEST_F(Expressions, SpilledConstructorOperandsReturnToTheirRegisters)
{
    // complex(r0 + (r1 + ... ), r8): the first operand is spilled while the
    // second one's eight registers are in use.
    auto r = Vars(b, "r", DT_REAL, 9);
    FormulaSymbol* out = b.Var("out", DT_QUATERNION);
    for (int i = 0; i < 9; i++)
        b.Set(r[i], {(long double)(i + 1)});
    // quaternion(r0, r1 + (r2 + ... + r8), r0, r1)
    Stream inner = RightNested(std::vector<FormulaSymbol*>(r.begin() + 1, r.end()),
                               {OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD});
    Stream s = Cat({Target(out), Load(r[0]), inner, Load(r[0]), Load(r[1]), {149, OP_ASSIGN}});
    ASSERT_EQ(1, b.Compile(s)) << b.error;
    EXPECT_TRUE(SpillsTo80Bit(b.Code()));
    b.Run();
    EXPECT_EQ((std::vector<long double>{1, 44, 1, 2}), b.Get(out));
}

TEST_F(Expressions, BlendWithSpilledColours)
{
    FormulaSymbol* c1 = b.Var("c1", DT_COLOR);
    FormulaSymbol* c2 = b.Var("c2", DT_COLOR);
    FormulaSymbol* out = b.Var("out", DT_COLOR);
    auto r = Vars(b, "r", DT_REAL, 8);
    for (int i = 0; i < 8; i++)
        b.Set(r[i], {0.0625});
    b.Set(c1, {0, 0.25, 0.5, 1});
    b.Set(c2, {1, 0.75, 0.5, 1});
    // blend(c1, c2, r0 + (r1 + ... + r7)) = blend(c1, c2, 0.5): both colours spilled.
    Stream w = RightNested(r, {OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD, OP_ADD});
    ASSERT_EQ(1, b.Compile(Cat({Target(out), Load(c1), Load(c2), w, {116, OP_ASSIGN}}))) << b.error;
    EXPECT_TRUE(SpillsTo80Bit(b.Code()));
    b.Run();
    // c1 (1 - w) + c2 w
    EXPECT_EQ((std::vector<long double>{0.5, 0.5, 0.5, 1}), b.Get(out));
}

// ---------------------------------------------------------------------------
// Selectable functions and the quaternion oldz

TEST_F(Expressions, SelectableFunctionsCompileTheChosenOperation)
{
    FormulaSymbol* x = b.Var("x", DT_REAL);
    FormulaSymbol* out = b.Var("out", DT_COMPLEX);
    FormulaFuncParameter* fn = new FormulaFuncParameter();
    fn->SetName("fn");
    fn->id = 1;
    b.compiler.funcParameters.Append(fn);
    b.Set(x, {1.5});
    // Without a fractal's choice: sin, on the operand widened to complex.
    ASSERT_EQ(1, b.Compile(Cat({Target(out), Load(x), {OPC_FUNC_PARAMETER + 1, OP_ASSIGN}}))) << b.error;
    b.Run();
    EXPECT_NEAR(sin(1.5), (double)b.Get(out)[0], 1e-15);
    EXPECT_EQ(0.0L, b.Get(out)[1]);
    // Chosen: sqr, compiled as sqr_c after FLDZ, FXCH ST(1).
    NodeList given;
    FormulaFuncParameter* choice = new FormulaFuncParameter();
    choice->SetName("fn");
    choice->selected = 16;   // sqr
    given.Append(choice);
    b.compiler.inputFuncParameters = &given;
    ASSERT_EQ(1, b.Compile(Cat({Target(out), Load(x), {OPC_FUNC_PARAMETER + 1, OP_ASSIGN}}))) << b.error;
    b.compiler.inputFuncParameters = nullptr;
    const CodeTemplate* sqr = Template(48, {DT_COMPLEX});
    Bytes code = b.Code();
    const uint8_t widen[4] = {0xD9, 0xEE, 0xD9, 0xC9};
    EXPECT_TRUE(Contains(code, widen, 4));
    EXPECT_TRUE(Contains(code, sqr->code, sqr->codeLength));
    b.Run();
    EXPECT_EQ((std::vector<long double>{2.25, 0}), b.Get(out));
    DeleteAllNodes(&given);
}

TEST_F(Expressions, OldzOfAQuaternionFormulaIsTheQuaternionOldz)
{
    FormulaSymbol* c = b.Var("c", DT_COMPLEX);
    FormulaSymbol* out = b.Var("out", DT_QUATERNION);
    b.compiler.subKind = SK_QUATERNION;
    ASSERT_EQ(1, b.Compile(Cat({Target(out), Load(c), {OP_OLDZ, OP_ASSIGN}}))) << b.error;
    const CodeTemplate* qoldz = Template(OP_QUATERNION_OLDZ, {DT_COMPLEX});
    EXPECT_TRUE(Contains(b.Code(), qoldz->code, qoldz->codeLength));
    b.compiler.subKind = SK_PLANE;
}

// ---------------------------------------------------------------------------
// Completion and errors

TEST_F(Expressions, CompletionTellsWhetherAValueIsLeft)
{
    FormulaSymbol* x = b.Var("x", DT_REAL);
    EXPECT_EQ(1, b.Compile({}));
    EXPECT_TRUE(b.Code().empty());
    EXPECT_EQ(0, b.Compile(Cat({Load(x), {OPC_VARIABLE, 4, OP_ADD}})));
    EXPECT_EQ(1, b.Compile(Cat({Target(x), {OPC_VARIABLE, 4, OP_ASSIGN}})));
}

TEST_F(Expressions, UnsupportedOperandsAndUnknownElementsAreErrors)
{
    FormulaSymbol* q = b.Var("q", DT_QUATERNION);
    FormulaSymbol* col = b.Var("col", DT_COLOR);
    FormulaSymbol* r = b.Var("r", DT_REAL);
    struct Case {
        Stream stream;
        const char* message;
    };
    const Case cases[] = {
        {Cat({Target(r), Load(q), Load(q), {61, OP_ASSIGN}}),
         "Operation \"% (Modulo)\" with number types \"quaternion and quaternion\" not supported"},
        {Cat({Target(r), Load(col), Load(r), {OP_SUB, OP_ASSIGN}}),
         "Operation \"- (Subtraction)\" with number types \"color and real\" not supported"},
        {Cat({Target(q), Load(q), {1, OP_ASSIGN}}), "Operation \"sin\" with number type \"quaternion\" not supported"},
    };
    for (const Case& c : cases) {
        b.Compile(c.stream);
        EXPECT_NE(0, b.errorFlag) << c.message;
        EXPECT_EQ(std::string(c.message), b.error);
    }
    // An element the code generator does not know (in an argument, where
    // the call expansion that would refuse it first does not run).
    int32_t unknown[] = {OPC_VARIABLE, r->id, 44, 0, 0};
    uint8_t jumpBytes[2];
    int error = 0;
    b.compiler.generateExpression(unknown, false, jumpBytes, &error, true, false, true);
    EXPECT_NE(0, error);
    EXPECT_STREQ("Internal Compiler Error: Unknown element in compileExpression. Please inform the author.",
                 b.compiler.errorText);
}

}  // namespace
