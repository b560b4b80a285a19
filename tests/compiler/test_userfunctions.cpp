// User functions compiled and run: arguments of every type reach the callee
// in the layout it reads them, results come back on the x87 stack into
// temporaries, by-reference arguments are written back, recursion keeps the
// results of its calls apart, and the frame keeps the templates' scratch
// memory away from locals and arguments. The code of called functions is
// joined once per routine.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "compiler/CodeEmit.h"
#include "compiler/ElementStream.h"
#include "tests/compiler/FormulaRunCase.h"
#include "foundation/Buffers.h"

namespace {

struct FunctionCase {
    const char* what;
    const char* declarations;
    const char* functions;
    const char* body;
    const char* variable;
    double expected[4];
};

const FunctionCase kCases[] = {
    {"recursion keeps the results of its own calls apart", "  real result;",
     "  real fib(real n) {\n    real r;\n    if (n < 2) {\n      r = n;\n    } else {\n"
     "      r = fib(n - 1) + fib(n - 2);\n    }\n    return(r);\n  }",
     "    result = fib(10);", "result", {55}},
    {"a call inside a return expression of a recursive function", "  real result;",
     "  real fact(real n) {\n    if (n < 2) {\n      return(1);\n    }\n    return(n * fact(n - 1));\n  }",
     "    result = fact(12.0);", "result", {479001600}},
    {"deep recursion (1000 frames)", "  real result;",
     "  real sum(real n) {\n    real r;\n    r = 0;\n    if (n > 0) {\n      r = n + sum(n - 1);\n    }\n"
     "    return(r);\n  }",
     "    result = sum(1000.0);", "result", {500500}},
    {"by-reference argument written back by a void function called as a statement", "  real r;",
     "  void incr(real &x) {\n    x = x + 1.5;\n  }", "    r = 5;\n    incr(r);\n    incr(r);", "r", {8}},
    {"locals and parameters passed on by reference", "  real r;",
     "  void incr(real &x) {\n    x = x + 1.5;\n  }\n"
     "  real viaLocal(real p) {\n    real t;\n    t = p;\n    incr(t);\n    incr(p);\n    return(t * 10 + p);\n  }",
     "    r = viaLocal(1);", "r", {25 + 2.5}},
    {"two by-reference arguments: the second one is read from behind the first", "  complex a, b;",
     "  void swap(complex &x, complex &y) {\n    complex t;\n    t = x;\n    x = y;\n    y = t;\n  }",
     "    a = (1, 2);\n    b = (3, 4);\n    swap(a, b);", "a", {3, 4}},
    {"int before complex: the complex argument is read where the callee expects it", "  int i;\n  complex c;",
     "  complex mulby(int n, complex a) {\n    return(a * n);\n  }", "    i = 3;\n    c = mulby(i, (1, 2));", "c",
     {3, 6}},
    {"parameters of every size in a row", "  int i;\n  bool b;\n  float f;\n  real result;",
     "  real mix(int n, bool on, float x, vector v, double d, color k, quaternion q, complex c) {\n"
     "    real s;\n    s = n + x * 10 + d * 100 + real(c) * 1000 + imag(c) * 10000;\n"
     "    if (on) {\n      s = s + 100000;\n    }\n"
     "    return(s + part_k(q) * 1000000 + partz(v) * 10000000 + alpha(k) * 100000000);\n  }",
     "    i = 2;\n    b = true;\n    f = 0.5;\n"
     "    result = mix(i, b, f, vector(1, 2, 3), 7, rgba(0.25, 0.5, 0.75, 1), quaternion(1, 2, 3, 4), (8, 9));",
     "result", {2 + 5 + 700 + 8000 + 90000 + 100000 + 4000000 + 30000000 + 100000000.0}},
    {"a function result is the argument of another call", "  real result;",
     "  real twice(real x) {\n    return(x * 2);\n  }\n  real plus(real x, real y) {\n    return(x + y);\n  }",
     "    result = plus(twice(3), twice(plus(1, 4)));", "result", {16}},
    {"a quaternion result", "  quaternion q;",
     "  quaternion qm(quaternion a, quaternion b) {\n    return(a * b);\n  }",
     "    q = qm(quaternion(1, 2, 3, 4), quaternion(5, 6, 7, 8));", "q", {-60, 12, 30, 24}},
    {"a colour result", "  color k;", "  color darker(color c) {\n    return(c * 0.5);\n  }",
     "    k = darker(rgba(0.5, 1, 0.25, 1));", "k", {0.25, 0.5, 0.125, 0.5}},
    {"a vector by reference", "  vector v;",
     "  void grow(vector &w) {\n    w = w * 2;\n  }", "    v = vector(1, 2, 3);\n    grow(v);", "v", {2, 4, 6}},
    {"a real value returned from a complex function is widened", "  complex c;",
     "  complex one(real x) {\n    return(x);\n  }", "    c = one(2.5);", "c", {2.5, 0}},
    {"a return without value in a function with a result gives 0", "  real r;",
     "  real nothing(real x) {\n    if (x > 0) {\n      return;\n    }\n    return(x);\n  }",
     "    r = 7;\n    r = nothing(3);", "r", {0}},
    {"a non-void function called as a statement still runs", "  real r;",
     "  real bump(real &x) {\n    x = x + 1;\n    return(x);\n  }", "    r = 1;\n    bump(r);", "r", {2}},
    {"a function without parameters called with empty brackets, alone and inside an expression",
     "  real r, s;", "  real seven(void) {\n    return(7);\n  }",
     "    r = seven();\n    s = seven() * 2 + seven();", "s", {21}},
    {"locals survive templates that use scratch memory", "  complex c;",
     "  complex keep(complex a) {\n    complex t, u, w;\n    t = a;\n    u = a + 1;\n"
     "    w = exp(sin(a)) * log(a) + atan(a) / cosh(a);\n    return(t * 1000 + u + w * 0);\n  }",
     "    c = keep((0.5, 0.25));", "c", {501.5, 250.25}},
    {"an argument stored below the stack survives the templates of the next argument", "  real r;",
     "  real pair(real x, real y) {\n    return(x * 1000 + y);\n  }\n"
     "  real outer(real a) {\n    return(pair(real(exp(sin(complex(a, a)) * atanh(complex(0.1, a)))), a));\n  }",
     "    r = outer(0.25);", "r", {-1}},   // expected computed in the test below
};

class UserFunctions : public ::testing::TestWithParam<FunctionCase> {};

TEST_P(UserFunctions, ComputeTheirValues)
{
    const FunctionCase& c = GetParam();
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula(c.declarations, c.body, c.functions))) << c.what;
    double expected[4];
    memcpy(expected, c.expected, sizeof expected);
    if (strcmp(c.variable, "r") == 0 && strstr(c.functions, "atanh")) {
        // pair(real(exp(sin(z) * atanh(w))), 0.25) for z = (0.25, 0.25), w = (0.1, 0.25).
        double a = 0.25;
        __complex__ double z = a + a * 1.0i, w = 0.1 + a * 1.0i;
        __complex__ double v = __builtin_cexp(__builtin_csin(z) * __builtin_catanh(w));
        expected[0] = __real__ v * 1000 + a;
    }
    double v[4];
    run.ReadSymbol(c.variable, v);
    int components = TypeFootprint(run.Symbol(c.variable)->dataType);
    for (int k = 0; k < components; k++)
        EXPECT_NEAR(expected[k], v[k], 1e-9 * (fabs(expected[k]) > 1 ? fabs(expected[k]) : 1))
            << c.what << ", component " << k;
}

INSTANTIATE_TEST_SUITE_P(Calls, UserFunctions, ::testing::ValuesIn(kCases));

// The Mandelbrot set through user functions in loop and bailout runs like
// the formula written out, pixel by pixel.
TEST(UserFunctionsInSections, MandelbrotThroughFunctions)
{
    const char* plain =
        "Plain {\n  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = z*z + pixel;\n  }\n"
        "  bool bailout(void) {\n    return(|z| < 4);\n  }\n}\n";
    const char* functions =
        "Functions {\n  complex step(complex w, complex c) {\n    return(w * w + c);\n  }\n"
        "  bool inside(complex w, real limit) {\n    return(|w| < limit);\n  }\n"
        "  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = step(z, pixel);\n  }\n"
        "  bool bailout(void) {\n    return(inside(z, 4));\n  }\n}\n";
    FormulaRun a, b;
    ASSERT_TRUE(a.Compile(plain, FK_ITERATION, SK_PLANE)) << a.error();
    ASSERT_TRUE(b.Compile(functions, FK_ITERATION, SK_PLANE)) << b.error();
    const double pixels[][2] = {{0.3, 0.5}, {-0.75, 0.1}, {-1.25, 0.05}, {0.26, 0}, {-2.1, 0.2}, {-0.1, 0.65}};
    for (const auto& p : pixels) {
        double pixel[4] = {p[0], p[1], 0, 0};
        a.SetPixel(pixel);
        b.SetPixel(pixel);
        EXPECT_EQ(a.Iterate(500), b.Iterate(500)) << p[0] << ", " << p[1];
        double za[4], zb[4];
        a.GetZ(za);
        b.GetZ(zb);
        // The argument c holds pixel as a double: the last bits may differ.
        EXPECT_NEAR(za[0], zb[0], 1e-12 * (1 + fabs(za[0])));
        EXPECT_NEAR(za[1], zb[1], 1e-12 * (1 + fabs(za[1])));
    }
}

// A recursion that never ends stops when the stack runs short: the call
// that would overflow it returns 0, and the formula goes on.
TEST(Recursion, RunawayRecursionDoesNotOverflowTheStack)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  real r, s;\n  complex c;",
                                         "    r = forever(1);\n    c = spin((1, 2));\n    s = 5;",
                                         "  real forever(real x) {\n    return(forever(x + 1) + 1);\n  }\n"
                                         "  complex spin(complex w) {\n    complex t, u;\n    t = w;\n"
                                         "    u = spin(t * 2);\n    return(u);\n  }")));
    double r[4];
    run.ReadSymbol("r", r);
    EXPECT_GT(r[0], 1000);   // the depth it reached
    EXPECT_TRUE(Holds(run, "c", {0, 0}));
    EXPECT_TRUE(Holds(run, "s", {5}));
}

// A by-reference parameter needs a variable that can take the value back;
// a return value must fit the function's result type.
TEST(UserFunctionErrors, AreReported)
{
    struct {
        const char* declarations;
        const char* functions;
        const char* body;
        const char* message;
    } cases[] = {
        {"  real r;", "  void incr(real &x) {\n    x = x + 1;\n  }", "    incr(r + 1);",
         "Formal parameter \"x\" of function incr uses Call by Reference, but the calling expression does not "
         "specify a proper variable."},
        {"  real r;", "  void incr(real &x) {\n    x = x + 1;\n  }", "    incr(2.5);", "uses Call by Reference"},
        {"  real r;", "  void incr(real &x) {\n    x = x + 1;\n  }", "    incr(3);", "uses Call by Reference"},
        {"  color k;", "  color grey(real x) {\n    return(x);\n  }", "    k = grey(0.5);",
         "Function grey returns color: a real value can't be returned."},
    };
    for (const auto& c : cases) {
        FormulaRun run;
        EXPECT_FALSE(run.Compile(InitFormula(c.declarations, c.body, c.functions).c_str(), FK_ITERATION, SK_PLANE));
        EXPECT_NE(std::string::npos, run.error().find(c.message)) << run.error();
    }
}

// The code of a called function is joined once per routine: calls from
// two places and a function's calls of itself point at the one copy.
TEST(Linking, EachFunctionOnceAndCallsPatched)
{
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula("  real r;",
                                         "    r = down(3) + down(2) + twice(1);",
                                         "  real twice(real x) {\n    return(x * 2);\n  }\n"
                                         "  real down(real n) {\n    real v;\n    v = 0;\n    if (n > 0) {\n"
                                         "      v = down(n - 1) + twice(n);\n    }\n    return(v);\n  }")));
    EXPECT_TRUE(Holds(run, "r", {12 + 6 + 2}));
    FormulaCompiler* compiler = run.Holder()->compiler;
    FormulaFunction* init = findFunction(&compiler->functions, "Vinit@@");
    FormulaFunction* down = findFunction(&compiler->functions, "Rdown@@R");
    FormulaFunction* twice = findFunction(&compiler->functions, "Rtwice@@R");
    ASSERT_TRUE(init && down && twice);
    for (ListNode* n = compiler->functions.GetHead(); n; n = n->next)
        static_cast<FormulaFunction*>(n)->placement = -1;
    GrowBuffer output(10);
    int position = (int)init->codeLength;
    output.Reserve(position);
    memcpy(output.GetData(), init->code->GetData(), init->codeLength);
    compiler->linkSubFunctions(&output, &position, init, 0);
    // init, then down (with its RET) and twice, each once.
    ASSERT_GE(down->placement, (int)init->codeLength);
    ASSERT_GE(twice->placement, (int)init->codeLength);
    EXPECT_EQ((int)(init->codeLength + down->codeLength + 1 + twice->codeLength + 1), position);
    const uint8_t* code = static_cast<const uint8_t*>(output.GetData());
    EXPECT_EQ(0xC3, code[down->placement + down->codeLength]);
    // Every call lands on the start of its callee.
    auto checkCalls = [&](FormulaFunction* caller, int base) {
        const int32_t* sites = static_cast<const int32_t*>(caller->callSites->GetData());
        int calls = 0;
        for (int k = 0; k + 1 < caller->callSiteCount; k += 2) {
            if (sites[k + 1] < 0)
                continue;
            FormulaFunction* callee = reinterpret_cast<FormulaFunction*>((intptr_t)sites[k]);
            int at = base + sites[k + 1];
            EXPECT_EQ(0xE8, code[at - 1]);
            int32_t displacement;
            memcpy(&displacement, code + at, 4);
            EXPECT_EQ(callee->placement, at + 4 + displacement) << caller->name << " -> " << callee->name;
            calls++;
        }
        return calls;
    };
    EXPECT_EQ(3, checkCalls(init, 0));
    EXPECT_EQ(2, checkCalls(down, down->placement));
}

}  // namespace
