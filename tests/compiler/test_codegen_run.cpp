// Whole formulas compiled for a fractal and run: escape-time formulas
// (Mandelbrot, Julia, powers, quaternions) against an independent long
// double calculation, every data type, parameters and their defaults,
// selectable functions, conditions decided at compile time, colouring
// formulas, and the "spxfc run", "bench" and "bench-compile" tools.
#include <gtest/gtest.h>
#include "tests/support/ToolRunner.h"
#include <windows.h>

#include <math.h>
#include <stdio.h>

#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "formulas/FormulaKind.h"
#include "foundation/Buffers.h"

namespace {

typedef std::complex<long double> Cx;

struct Quat {
    long double a, b, c, d;
};

Quat Mul(const Quat& x, const Quat& y)
{
    return {x.a * y.a - x.b * y.b - x.c * y.c - x.d * y.d, x.a * y.b + x.b * y.a + x.c * y.d - x.d * y.c,
            x.a * y.c - x.b * y.d + x.c * y.a + x.d * y.b, x.a * y.d + x.b * y.c - x.c * y.b + x.d * y.a};
}

// The outcome of an escape-time iteration: how often the step ran, and z.
struct Outcome {
    int iterations;
    long double z[4];
};

// Runs step until bailout fails or maxIter steps ran, as the formulas'
// init, loop and bailout do.
template <class Z>
Outcome Iterate(Z z, std::function<Z(const Z&)> step, std::function<bool(const Z&)> bailout, int maxIter,
                std::function<void(const Z&, long double*)> parts)
{
    Outcome o{0, {0, 0, 0, 0}};
    while (o.iterations < maxIter) {
        z = step(z);
        o.iterations++;
        if (!bailout(z))
            break;
    }
    parts(z, o.z);
    return o;
}

void CxParts(const Cx& z, long double* out)
{
    out[0] = z.real();
    out[1] = z.imag();
}

void QuatParts(const Quat& q, long double* out)
{
    out[0] = q.a;
    out[1] = q.b;
    out[2] = q.c;
    out[3] = q.d;
}

bool Inside(const Cx& z, long double limit)
{
    return z.real() * z.real() + z.imag() * z.imag() < limit;
}

// z^p for a real p through the principal logarithm.
Cx Power(const Cx& z, long double p)
{
    if (z == Cx(0, 0))
        return Cx(0, 0);
    long double r = logl(sqrtl(z.real() * z.real() + z.imag() * z.imag()));
    long double t = atan2l(z.imag(), z.real());
    long double m = expl(p * r);
    return Cx(m * cosl(p * t), m * sinl(p * t));
}

const char* kMandelbrot =
    "Mandelbrot {\n"
    "  void init(void) {\n    z = 0;\n  }\n"
    "  void loop(void) {\n    z = z*z + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n"
    "}\n";

const char* kJulia =
    "Julia {\n"
    "  parameter complex seed;\n"
    "  parameter real limit;\n"
    "  void init(void) {\n    z = pixel;\n  }\n"
    "  void loop(void) {\n    z = sqr(z) + seed;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < limit);\n  }\n"
    "  void description(void) {\n    seed.default = (-0.4, 0.6);\n    limit.default = 4;\n  }\n"
    "}\n";

const char* kPower =
    "Power {\n"
    "  parameter real power;\n"
    "  void init(void) {\n    z = pixel;\n  }\n"
    "  void loop(void) {\n    z = z^power + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 16);\n  }\n"
    "  void description(void) {\n    power.default = 3;\n  }\n"
    "}\n";

const char* kQuaternion =
    "QuaternionJulia {\n"
    "  parameter quaternion seed;\n"
    "  void init(void) {\n    z = pixel;\n  }\n"
    "  void loop(void) {\n    z = z*z + seed;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n"
    "  void description(void) {\n    seed.default = (-0.2, 0.6, 0.2, 0);\n  }\n"
    "}\n";

// The calculation writes maxiter when it runs: the bailout must read it
// then, and a condition on it in init must not be decided while compiling.
const char* kHalfOfMaxiter =
    "Half {\n  void init(void) {\n    z = 0;\n  }\n  void loop(void) {\n    z = z * z + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4 && numiter < maxiter / 2);\n  }\n}\n";
const char* kLimitFromMaxiter =
    "Limit {\n  real cap;\n  void init(void) {\n    z = pixel;\n    if (maxit > 20) {\n      cap = 4;\n"
    "    } else {\n      cap = 0;\n    }\n  }\n  void loop(void) {\n    z = z * z + pixel;\n  }\n"
    "  bool bailout(void) {\n    return(|z| < cap);\n  }\n}\n";

struct EscapeCase {
    const char* what;
    const char* formula;
    int subKind;
    FormulaRun::Settings settings;
    std::vector<double> pixel;
    int maxIter;
    std::function<Outcome()> independent;
};

TEST(EscapeTimeFormulas, MatchAnIndependentCalculation)
{
    auto mandelbrot = [](long double cr, long double ci, int maxIter) {
        Cx c(cr, ci);
        return Iterate<Cx>(Cx(0, 0), [c](const Cx& z) { return Cx(z.real() * z.real() - z.imag() * z.imag(),
                                                                   2 * z.real() * z.imag()) + c; },
                           [](const Cx& z) { return Inside(z, 4); }, maxIter, CxParts);
    };
    auto julia = [](Cx z, Cx seed, long double limit, int maxIter) {
        return Iterate<Cx>(z, [seed](const Cx& w) { return w * w + seed; },
                           [limit](const Cx& w) { return Inside(w, limit); }, maxIter, CxParts);
    };
    auto power = [](Cx c, long double p, int maxIter) {
        return Iterate<Cx>(c, [c, p](const Cx& z) { return Power(z, p) + c; },
                           [](const Cx& z) { return Inside(z, 16); }, maxIter, CxParts);
    };
    auto quaternion = [](Quat z, Quat seed, int maxIter) {
        return Iterate<Quat>(z, [seed](const Quat& w) {
                                 Quat s = Mul(w, w);
                                 return Quat{s.a + seed.a, s.b + seed.b, s.c + seed.c, s.d + seed.d};
                             },
                             [](const Quat& w) { return w.a * w.a + w.b * w.b + w.c * w.c + w.d * w.d < 4; },
                             maxIter, QuatParts);
    };
    // numiter is the number of finished iterations when bailout runs.
    auto half = [](int maxIter) {
        int numiter = 0;
        return Iterate<Cx>(Cx(0, 0), [](const Cx& z) { return z * z; },
                           [&numiter, maxIter](const Cx& z) { return Inside(z, 4) && numiter++ < maxIter / 2; },
                           maxIter, CxParts);
    };
    const EscapeCase cases[] = {
        {"bailout reads maxiter (16)", kHalfOfMaxiter, SK_PLANE, {}, {0, 0}, 16, [&] { return half(16); }},
        {"bailout reads maxiter (40)", kHalfOfMaxiter, SK_PLANE, {}, {0, 0}, 40, [&] { return half(40); }},
        {"a condition on maxit in init, above the limit", kLimitFromMaxiter, SK_PLANE, {}, {0, 0}, 100,
         [&] { return julia(Cx(0, 0), Cx(0, 0), 4, 100); }},
        {"a condition on maxit in init, below the limit", kLimitFromMaxiter, SK_PLANE, {}, {0, 0}, 10,
         [&] { return julia(Cx(0, 0), Cx(0, 0), 0, 10); }},
        {"mandelbrot escapes at once", kMandelbrot, SK_PLANE, {}, {1, 1}, 100, [&] { return mandelbrot(1, 1, 100); }},
        {"mandelbrot on the boundary of the bailout", kMandelbrot, SK_PLANE, {}, {-2, 0}, 100,
         [&] { return mandelbrot(-2, 0, 100); }},
        {"mandelbrot inside", kMandelbrot, SK_PLANE, {}, {-0.1, 0.2}, 500, [&] { return mandelbrot(-0.1, 0.2, 500); }},
        {"mandelbrot slow escape", kMandelbrot, SK_PLANE, {}, {-0.75, 0.05}, 1000,
         [&] { return mandelbrot(-0.75, 0.05, 1000); }},
        {"mandelbrot near the edge", kMandelbrot, SK_PLANE, {}, {0.3, 0.5}, 200,
         [&] { return mandelbrot(0.3, 0.5, 200); }},
        {"mandelbrot maxiter 0", kMandelbrot, SK_PLANE, {}, {0.25, 0.25}, 0, [&] { return mandelbrot(0.25, 0.25, 0); }},
        {"julia with its defaults", kJulia, SK_PLANE, {}, {0.1, 0.2}, 200,
         [&] { return julia(Cx(0.1, 0.2), Cx(-0.4, 0.6), 4, 200); }},
        {"julia with parameters", kJulia, SK_PLANE, {{"seed", "(0.285,0.01)"}, {"limit", "100"}}, {0.3, -0.4}, 300,
         [&] { return julia(Cx(0.3, -0.4), Cx(0.285, 0.01), 100, 300); }},
        {"cubic power", kPower, SK_PLANE, {}, {0.4, 0.6}, 100, [&] { return power(Cx(0.4, 0.6), 3, 100); }},
        {"power 2.5", kPower, SK_PLANE, {{"power", "2.5"}}, {-0.5, 0.55}, 100,
         [&] { return power(Cx(-0.5, 0.55), 2.5, 100); }},
        {"quaternion julia", kQuaternion, SK_QUATERNION, {}, {0.1, 0.2, -0.3, 0.05}, 100,
         [&] { return quaternion({0.1, 0.2, -0.3, 0.05}, {-0.2, 0.6, 0.2, 0}, 100); }},
        {"quaternion julia escaping", kQuaternion, SK_QUATERNION, {{"seed", "(0.3,0.5,-0.4,0.2)"}},
         {0.5, 0.1, 0.2, 0.3}, 100, [&] { return quaternion({0.5, 0.1, 0.2, 0.3}, {0.3, 0.5, -0.4, 0.2}, 100); }},
    };
    for (const EscapeCase& c : cases) {
        FormulaRun run;
        ASSERT_TRUE(run.Compile(c.formula, FK_ITERATION, c.subKind, c.settings)) << c.what << ": " << run.error();
        double pixel[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < c.pixel.size(); k++)
            pixel[k] = c.pixel[k];
        run.SetPixel(pixel);
        int iterations = run.Iterate(c.maxIter);
        Outcome expected = c.independent();
        EXPECT_EQ(expected.iterations, iterations) << c.what;
        double z[4];
        int n = run.GetZ(z);
        EXPECT_EQ(c.subKind == SK_QUATERNION ? 4 : 2, n);
        if (c.maxIter == 0)
            continue;   // init ran, loop never did: z is the initial value
        long double scale = 1;
        for (int k = 0; k < n; k++)
            scale = fmaxl(scale, fabsl(expected.z[k]));
        for (int k = 0; k < n; k++)
            EXPECT_NEAR((double)expected.z[k], z[k], 1e-9 * (double)scale) << c.what << " component " << k;
        // numiter counts the finished iterations (the last one counts when
        // bailout let it go on).
        double numiter[4];
        run.ReadSymbol("numiter", numiter);
        EXPECT_EQ(iterations == c.maxIter ? iterations : iterations - 1, (int)numiter[0]) << c.what;
    }
}

TEST(EscapeTimeFormulas, RunAgainForEachPixel)
{
    FormulaRun run;
    ASSERT_TRUE(run.Compile(kMandelbrot, FK_ITERATION, SK_PLANE)) << run.error();
    double inside[4] = {-0.1, 0.2, 0, 0}, outside[4] = {1, 1, 0, 0};
    run.SetPixel(outside);
    EXPECT_EQ(2, run.Iterate(50));
    run.SetPixel(inside);
    EXPECT_EQ(50, run.Iterate(50));
    run.SetPixel(outside);
    EXPECT_EQ(2, run.Iterate(50));
}

// ---------------------------------------------------------------------------
// Data types, parameters, selectable functions

bool Holds(const FormulaRun& run, const char* name, std::initializer_list<double> expected, double tolerance = 1e-15)
{
    double v[4];
    run.ReadSymbol(name, v);
    int k = 0;
    for (double e : expected) {
        if (fabs(v[k] - e) > tolerance * fmax(1.0, fabs(e))) {
            ADD_FAILURE() << name << "[" << k << "] = " << v[k] << ", expected " << e;
            return false;
        }
        k++;
    }
    return true;
}

std::string InitOnly(const std::string& declarations, const std::string& body, const std::string& description = "")
{
    return "Case {\n" + declarations + "\n  void init(void) {\n" + body +
           "\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n    return(false);\n  }\n" +
           (description.empty() ? "" : "  void description(void) {\n" + description + "\n  }\n") + "}\n";
}

TEST(FormulaValues, EveryDataType)
{
    FormulaRun run;
    std::string text = InitOnly(
        "  int n, m;\n  bool b, nb;\n  real r;\n  double d;\n  float f;\n  complex c;\n  quaternion q;\n"
        "  vector v;\n  color col;\n",
        "    n = 7;\n    m = n * 3 - 2;\n    b = m > 18;\n    nb = !b;\n    r = m / 4;\n    d = r * r;\n"
        "    f = 1 / 3;\n    c = complex(r, -1) * (0, 1);\n"
        "    q = quaternion(1, 2, 3, 4) * quaternion(0, 1, 0, 0);\n"
        "    v = vector(1, 2, 3) * 2 + vector(0.5, 0, 0);\n    col = rgba(0.25, 0.5, 0.75, 1);\n"
        "    z = c;");
    ASSERT_TRUE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE)) << run.error();
    double pixel[4] = {0, 0, 0, 0};
    run.SetPixel(pixel);
    run.Iterate(1);
    Holds(run, "n", {7});
    Holds(run, "m", {19});
    Holds(run, "b", {1});
    Holds(run, "nb", {0});
    Holds(run, "r", {4.75});
    Holds(run, "d", {22.5625});
    Holds(run, "f", {1.0 / 3}, 1e-7);
    Holds(run, "c", {1, 4.75});
    // (1 + 2i + 3j + 4k) i = -2 + i + 4j - 3k
    Holds(run, "q", {-2, 1, 4, -3});
    Holds(run, "v", {2.5, 4, 6});
    Holds(run, "col", {0.25, 0.5, 0.75, 1});
    Holds(run, "z", {1, 4.75});
}

TEST(FormulaValues, ParametersTakeTheirDefaultsOrTheValuesGiven)
{
    std::string text = InitOnly(
        "  parameter int count;\n  parameter bool on;\n  parameter real scale;\n  parameter complex shift;\n"
        "  parameter int mode;\n  real r;\n  complex c;\n  int k;\n",
        "    r = count * scale;\n    c = shift * 2;\n    k = mode;\n    if (on) {\n      r = -r;\n    }",
        "    count.default = 3;\n    on.default = false;\n    scale.default = 1.5;\n"
        "    shift.default = (1, -2);\n    mode.enum = \"first\\nsecond\\nthird\";\n    mode.default = 1;");
    struct Case {
        FormulaRun::Settings settings;
        double r;
        double c[2];
        int k;
    };
    const Case cases[] = {
        {{}, 4.5, {2, -4}, 1},
        {{{"count", "4"}, {"on", "true"}, {"shift", "(0.5,0.25)"}, {"mode", "third"}}, -6, {1, 0.5}, 2},
        {{{"scale", "-2"}, {"mode", "0"}}, -6, {2, -4}, 0},
    };
    for (const Case& c : cases) {
        FormulaRun run;
        ASSERT_TRUE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, c.settings)) << run.error();
        double pixel[4] = {0, 0, 0, 0};
        run.SetPixel(pixel);
        run.Iterate(1);
        Holds(run, "r", {c.r});
        Holds(run, "c", {c.c[0], c.c[1]});
        Holds(run, "k", {(double)c.k});
    }
    FormulaRun run;
    EXPECT_FALSE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, {{"nothing", "1"}}));
    EXPECT_NE(std::string::npos, run.error().find("nothing"));
    EXPECT_FALSE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, {{"shift", "(1,"}}));
}

TEST(FormulaValues, SelectableFunctionsRunTheFunctionChosen)
{
    std::string text = InitOnly("  function complex fn;\n  complex w;\n", "    w = fn(complex(0.5, 2));");
    struct Case {
        const char* function;
        double w[2];
    };
    const Case cases[] = {{"sqr", {-3.75, 2}}, {"ident", {0.5, 2}}, {"conj", {0.5, -2}}, {"neg", {-0.5, -2}}};
    for (const Case& c : cases) {
        FormulaRun run;
        ASSERT_TRUE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, {{"fn", c.function}})) << run.error();
        double pixel[4] = {0, 0, 0, 0};
        run.SetPixel(pixel);
        run.Iterate(1);
        Holds(run, "w", {c.w[0], c.w[1]});
    }
    FormulaRun run;
    EXPECT_FALSE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, {{"fn", "nonsense"}}));
}

TEST(FormulaValues, ConditionsOnFixedValuesChooseTheirBranch)
{
    // Conditions on parameters are fixed for the calculation: the compiler
    // decides them and keeps only the branch taken.
    std::string text = InitOnly(
        "  parameter bool flag;\n  parameter real p;\n  real r, s;\n",
        "    if (flag) {\n      r = 1;\n    } else {\n      r = 2;\n    }\n"
        "    if (p > 2) {\n      s = 10;\n    } else if (p > 1) {\n      s = 20;\n    } else {\n      s = 30;\n    }");
    struct Case {
        FormulaRun::Settings settings;
        double r, s;
    };
    const Case cases[] = {
        {{{"flag", "true"}, {"p", "3"}}, 1, 10},
        {{{"flag", "false"}, {"p", "1.5"}}, 2, 20},
        {{{"flag", "1"}, {"p", "-1"}}, 1, 30},
        // Neither 0 nor 1: true, whether the value is folded or stored.
        {{{"flag", "-1"}, {"p", "3"}}, 1, 10},
        {{{"flag", "0.25"}, {"p", "3"}}, 2, 10},
    };
    for (const Case& c : cases) {
        for (bool constant : {false, true}) {
            FormulaRun run;
            run.SetParametersConstant(constant);
            ASSERT_TRUE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, c.settings)) << run.error();
            double pixel[4] = {0, 0, 0, 0};
            run.SetPixel(pixel);
            run.Iterate(1);
            Holds(run, "r", {c.r});
            Holds(run, "s", {c.s});
            // With fixed parameters no conditional jump is left in init.
            FormulaFunction* init = findFunction(&run.Holder()->compiler->functions, "Vinit@@");
            ASSERT_TRUE(init && init->code);
            const uint8_t* code = static_cast<const uint8_t*>(init->code->GetData());
            bool jumps = false;
            for (uint32_t i = 0; i + 1 < init->codeLength; i++)
                jumps |= code[i] == 0x0F && (code[i + 1] & 0xF0) == 0x80;
            EXPECT_EQ(!constant, jumps);
        }
    }
}

TEST(FormulaValues, PredefinedValuesAreBound)
{
    std::string text = InitOnly("  real a, b;\n  int w, h;\n  complex lt;\n",
                                "    a = e;\n    b = pi;\n    w = width;\n    h = height;\n    lt = corner_lefttop;");
    FormulaRun run;
    ASSERT_TRUE(run.Compile(text.c_str(), FK_ITERATION, SK_PLANE)) << run.error();
    double pixel[4] = {0, 0, 0, 0};
    run.SetPixel(pixel);
    run.Iterate(1);
    Holds(run, "a", {2.718281828459045});
    Holds(run, "b", {3.141592653589793});
    Holds(run, "w", {640});
    Holds(run, "h", {480});
    Holds(run, "lt", {-2.5, 1.5});
}

// ---------------------------------------------------------------------------
// Colouring formulas

TEST(ColouringFormulas, RunInitLoopsAndFinal)
{
    const char* text =
        "Average {\n  real sum;\n"
        "  void init(void) {\n    sum = 0;\n  }\n"
        "  void loop(void) {\n    sum = sum + cabs(z);\n  }\n"
        "  void final(void) {\n    index = sum / numiter;\n    pixelcolor = rgba(0.5, index / 10, 1, 0.25);\n  }\n"
        "}\n";
    FormulaRun run;
    ASSERT_TRUE(run.Compile(text, FK_COLORING, SK_PLANE)) << run.error();
    double z[2] = {3, 4};
    run.Colour(z, 4, 3);
    EXPECT_DOUBLE_EQ(3.75, run.GetIndex());
    double colour[4];
    ASSERT_TRUE(run.GetPixelColor(colour));
    EXPECT_EQ(0.5, colour[0]);
    EXPECT_EQ(0.375, colour[1]);
    EXPECT_EQ(1.0, colour[2]);
    EXPECT_EQ(0.25, colour[3]);

    const char* plain = "Plain {\n  void final(void) {\n    index = numiter * 2;\n  }\n}\n";
    FormulaRun second;
    ASSERT_TRUE(second.Compile(plain, FK_COLORING, SK_PLANE)) << second.error();
    second.Colour(z, 21, 0);
    EXPECT_EQ(42.0, second.GetIndex());
    EXPECT_FALSE(second.GetPixelColor(colour));
}

// ---------------------------------------------------------------------------
// The tools

ToolRun RunSpxfc(const std::string& arguments)
{
    return RunSibling("spxfc.exe", arguments);
}

class SpxfcRun : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const std::string& p : files)
            DeleteFileA(p.c_str());
    }
    std::string Write(const char* text)
    {
        char folder[MAX_PATH], file[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        GetTempFileNameA(folder, "sfr", 0, file);
        FILE* f = fopen(file, "w");
        EXPECT_NE(nullptr, f);
        if (f) {
            fputs(text, f);
            fclose(f);
        }
        files.push_back(file);
        return "\"" + std::string(file) + "\"";
    }
    std::vector<std::string> files;
};

TEST_F(SpxfcRun, PrintsIterationsAndZ)
{
    std::string mandelbrot = Write(kMandelbrot);
    ToolRun r = RunSpxfc("run --kind iteration " + mandelbrot + " --pixel 1,1 --maxiter 100");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("iterations=2 z=(1,3)\n", r.output);

    std::string julia = Write(kJulia);
    r = RunSpxfc("run --kind iteration " + julia + " --pixel 0,0 --maxiter 3 --param \"seed=(0.5,0.25)\" --param limit=100");
    // 0 -> 0.5+0.25i -> 0.6875+0.5i -> 0.72265625+0.9375i
    EXPECT_EQ("iterations=3 z=(0.72265625,0.9375)\n", r.output);

    std::string quaternion = Write(kQuaternion);
    r = RunSpxfc("run --kind iteration --subkind quaternion " + quaternion +
                 " --pixel 1,0,0,0 --maxiter 10 --param \"seed=(0,0,0,0)\"");
    EXPECT_EQ("iterations=10 z=(1,0,0,0)\n", r.output);
}

TEST_F(SpxfcRun, PrintsIndexAndPixelColor)
{
    std::string colouring = Write(
        "Colouring {\n  void final(void) {\n    index = cabs(z) + numiter;\n"
        "    pixelcolor = rgb(0.5, 0.25, 1);\n  }\n}\n");
    ToolRun r = RunSpxfc("run --kind coloring " + colouring + " --z 3,4 --numiter 7 --loops 2");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("index=12\npixelcolor=(0.5,0.25,1,1)\n", r.output);
}

TEST_F(SpxfcRun, ReportsErrorsAndUsage)
{
    std::string broken = Write("Broken {\n  void loop(void) {\n    z = z +;\n  }\n}\n");
    ToolRun r = RunSpxfc("run --kind iteration " + broken + " --pixel 0,0 --maxiter 5");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("error: "));
    std::string mandelbrot = Write(kMandelbrot);
    EXPECT_EQ(2u, RunSpxfc("run --kind iteration " + mandelbrot + " --maxiter 5").exitCode);
    EXPECT_EQ(2u, RunSpxfc("run --kind iteration " + mandelbrot + " --pixel x --maxiter 5").exitCode);
    EXPECT_EQ(1u, RunSpxfc("run --kind iteration " + mandelbrot + " --pixel 0,0 --maxiter 5 --param nothing=1").exitCode);
}

TEST_F(SpxfcRun, BenchmarksPrintTheirFigures)
{
    std::string mandelbrot = Write(kMandelbrot);
    ToolRun r = RunSpxfc("bench " + mandelbrot + " --size 32x24 --maxiter 50");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_NE(std::string::npos, r.output.find("grid=32x24 maxiter=50\n"));
    EXPECT_NE(std::string::npos, r.output.find("formula: iterations="));
    EXPECT_NE(std::string::npos, r.output.find("c++ long double mandelbrot: iterations="));
    EXPECT_NE(std::string::npos, r.output.find("ratio="));
    // Both count the same iterations over the grid.
    long long formula = -1, reference = -2;
    const char* f = strstr(r.output.c_str(), "formula: iterations=");
    const char* c = strstr(r.output.c_str(), "mandelbrot: iterations=");
    ASSERT_TRUE(f && c);
    sscanf(f, "formula: iterations=%lld", &formula);
    sscanf(c, "mandelbrot: iterations=%lld", &reference);
    EXPECT_EQ(reference, formula);

    r = RunSpxfc("bench-compile " + mandelbrot);
    EXPECT_EQ(0u, r.exitCode);
    double ms = -1;
    EXPECT_EQ(1, sscanf(r.output.c_str(), "compile_ms=%lf", &ms)) << r.output;
    EXPECT_GT(ms, 0);
    EXPECT_NE(std::string::npos, r.output.find("result=true"));
}

}  // namespace
