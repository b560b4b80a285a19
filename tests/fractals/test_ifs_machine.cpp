// The stack machine: values of the operators and functions (the language's
// shortened constants included), the principal power and the square root
// of negative reals, the "rand" sequence, the function slots, stores, and a
// context without variable slots.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "compiler/FormulaSymbol.h"
#include "document/Fractal.h"
#include "fractals/ifs/IfsFormula.h"
#include "fractals/ifs/IfsMachine.h"
#include "fractals/ifs/IfsParser.h"

namespace {

struct Machine {
    EvalContext context;
    double stack[500];
    uint32_t stream[IFS_SCRATCH_BYTES / 4];

    Machine()
    {
        memset(&context, 0, sizeof context);
        context.randState = IFS_RAND_SEED;
        context.stackEnd = stack + 500;
    }
    Complex Run(const char* text, Complex start = {0, 0})
    {
        NodeList symbols;
        int size = ParseFormula(text, stream, &symbols);
        symbols.DeleteAllNodes();
        EXPECT_GT(size, 0) << text;
        context.stackTop = stack;
        context.ip = stream;
        Complex acc = start;
        RunFormula(&context, &acc);
        EXPECT_EQ(context.stackTop, stack + 2) << text << ": the first value pushes the start accumulator";
        return acc;
    }
};

// The reference "rand": outputs x(n+1) = (x(n) * 3677 + 3) mod 2^31.
double RandValue(uint32_t x) { return 2.0 * x / 2147483647.0 - 1.0; }

}  // namespace

TEST(IfsMachine, Values)
{
    const double pi = 3.1415926535;
    const double root3 = sqrt(3.0);
    struct Case {
        const char* text;
        double re, im;
    } cases[] = {
        {"2^2", 4, 0},            {"2^3", 8, 0},             {"(1+i)^2", 0, 2},          {"i*i", -1, 0},
        {"|3+4*i|", 25, 0},       {"abs(-2)", 2, 0},         {"!0", 1, 0},               {"!2", 0, 0},
        {"3+!0", 4, 0},           {"1==1.000000000001", 1, 0}, {"1!=1.1", 1, 0},         {"2<1", 0, 0},
        {"2>=2", 1, 0},           {"1<=0", 0, 0},            {"2&&3", 6, 0},             {"0||0", 0, 0},
        {"0||2", 1, 0},           {"round(-1.7)", -1, 0},    {"trunc(2.9)", 2, 0},       {"floor(-1.5)", -2, 0},
        {"ceil(1.2)", 2, 0},      {"ln(-1)", 0, -pi},        {"log(i)", 0, 1.57079632675}, {"arg(0-i)", -1.57079632675, 0},
        {"pi", pi, 0},            {"e", 2.718281828, 0},     {"conj(1+2*i)", 1, -2},     {"flip(1+2*i)", 2, 1},
        {"real(1+2*i)", 1, 0},    {"imag(1+2*i)", 2, 0},     {"sqr(1+2*i)", -3, 4},      {"exp(0)", 1, 0},
        {"sqrt(0-4*i)", sqrt(2.0), -sqrt(2.0)}, {"1/(2*i)", 0, -0.5}, {"8-3-2", 3, 0},  {"2*3+4", 10, 0},
        {"width", 0, 0},          {"bailout", 0, 0},
        // The principal power for any other exponent; 0 to a power is 0.
        {"4^0.5", 2, 0},          {"i^i", exp(-1.57079632675), 0}, {"0^0.5", 0, 0},     {"2^(0-1)", 0.5, 0},
        // The square root of a negative real is i times the root of -x, also
        // inside the inverse functions.
        {"sqrt(0-4)", 0, 2},      {"asin(2)", 1.57079632675, -log(2 + root3)},
        {"acosh(0.5)", 0, acos(0.5)}, {"acos(0.5)", acos(0.5), 0},
        {"asinh(0-2*i)", -log(2 + root3), -1.57079632675},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Machine m;
        Complex v = m.Run(c.text);
        EXPECT_NEAR(v.re, c.re, 1e-9);
        EXPECT_NEAR(v.im, c.im, 1e-9);
    }
}

// A power of a negative base is exp(b ln a) with the language's own angle.
TEST(IfsMachine, PowerFollowsTheLanguagesLogarithm)
{
    Machine m;
    Complex power = m.Run("(0-1)^0.5"), spelled = m.Run("exp(0.5*ln(0-1))");
    EXPECT_DOUBLE_EQ(power.re, spelled.re);
    EXPECT_DOUBLE_EQ(power.im, spelled.im);
    EXPECT_NEAR(power.im, -1, 1e-9);
}

TEST(IfsMachine, ValuesOfTheContext)
{
    Machine m;
    m.context.z = {1.5, -2};
    m.context.p3 = {7, 0};
    m.context.width = 640;
    m.context.corner2 = {-1, 3};
    EXPECT_EQ(m.Run("z^1").im, -2);
    EXPECT_EQ(m.Run("p3*2").re, 14);
    EXPECT_EQ(m.Run("width/2").re, 320);
    EXPECT_EQ(m.Run("corner2").im, 3);
}

TEST(IfsMachine, RandContinuesOneSequenceAndSrandRestartsIt)
{
    Machine m;
    uint32_t x = (uint32_t)(((uint64_t)IFS_RAND_SEED * 3677 + 3680) % 2147483648u);
    EXPECT_DOUBLE_EQ(m.Run("rand").re, RandValue(x));
    x = (uint32_t)(((uint64_t)x * 3677 + 3) % 2147483648u);
    EXPECT_DOUBLE_EQ(m.Run("rand").re, RandValue(x));
    for (int run = 0; run < 2; run++)
        EXPECT_DOUBLE_EQ(m.Run("srand(7)*0+rand").re, RandValue(29419));
}

TEST(IfsMachine, FunctionSlotsChooseFromTheUserTable)
{
    struct Case {
        int index;
        const char* text;
        double re, im;
    } cases[] = {
        {5, "fn1(3)", 9, 0},  {6, "fn2(4)", 0.25, 0}, {15, "fn3(4)", 0, 0}, {7, "fn4(4)", 4, 0},
        {22, "fn1(3+4*i)", 25, 0}, {25, "fn1(3+4*i)", 3, 0}, {30, "fn1(0-1)", 0, -3.1415926535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Machine m;
        m.context.fn1 = m.context.fn2 = m.context.fn3 = m.context.fn4 = c.index;
        Complex v = m.Run(c.text);
        EXPECT_NEAR(v.re, c.re, 1e-9);
        EXPECT_NEAR(v.im, c.im, 1e-9);
    }
}

// Stores go to z and to variable slots; without slots a variable reads 0
// and a store goes nowhere, inside the context.
TEST(IfsMachine, StoresAndVariables)
{
    Machine m;
    Complex v = m.Run("z=2+i");
    EXPECT_EQ(m.context.z.re, 2);
    EXPECT_EQ(m.context.z.im, 1);
    EXPECT_EQ(v.re, 2);

    EXPECT_EQ(m.Run("w+1").re, 1);
    EXPECT_EQ(m.Run("v=w=3*3").re, 9);

    Complex slots[3] = {};
    m.context.variables = slots;
    m.context.variableCount = 3;
    m.Run("v=w=3*3");   // v gets id 1 and w id 2 in a fresh symbol list
    EXPECT_EQ(slots[1].re, 9);
    EXPECT_EQ(slots[2].re, 9);
    EXPECT_EQ(m.Run("v+w").re, 18);
}

TEST(IfsMachine, EmptyStreamLeavesTheAccumulator)
{
    EvalContext context;
    memset(&context, 0, sizeof context);
    uint32_t stream[3] = {0, 0, 0};
    context.ip = stream;
    Complex acc = {3, 4};
    RunFormula(&context, &acc);
    EXPECT_EQ(acc.re, 3);
    EXPECT_EQ(acc.im, 4);
}
