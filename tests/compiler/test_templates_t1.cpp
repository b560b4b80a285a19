// The templates of operations 1 to 15, each run on a pre-filled x87 stack
// over a table of operands. The transcendental ones are compared with
// values evaluated at 200 bits (TemplateReferenceValues.h, made by
// tools/template_references.py), the arithmetic ones with long double
// references written here (quaternions as Hamilton products).
#include "tests/compiler/TemplateHarness.h"
#include "tests/compiler/TemplateReferenceValues.h"

#include <complex>

namespace {

typedef std::complex<long double> Cx;

const long double INF = INFINITY;
const long double NaN = NAN;
const long double PI = 3.14159265358979323846264338327950288L;
const double PI_D = 3.141592653589793;

typedef std::vector<std::vector<TValue>> Rows;

Cx AsCx(const TValue& v) { return Cx(v.c[0], v.type == DT_COMPLEX ? v.c[1] : 0); }
TValue FromCx(Cx z) { return Cplx(z.real(), z.imag()); }

struct Q { long double a, b, c, d; };
Q AsQ(const TValue& v)
{
    switch (v.type) {
    case DT_QUATERNION: return {v.c[0], v.c[1], v.c[2], v.c[3]};
    case DT_COMPLEX: return {v.c[0], v.c[1], 0, 0};
    default: return {v.c[0], 0, 0, 0};
    }
}
TValue FromQ(Q q) { return Quat(q.a, q.b, q.c, q.d); }
Q QMul(Q x, Q y)
{
    return {x.a * y.a - x.b * y.b - x.c * y.c - x.d * y.d,
            x.a * y.b + x.b * y.a + x.c * y.d - x.d * y.c,
            x.a * y.c - x.b * y.d + x.c * y.a + x.d * y.b,
            x.a * y.d + x.b * y.c - x.c * y.b + x.d * y.a};
}
Q QInv(Q q)
{
    long double n = q.a * q.a + q.b * q.b + q.c * q.c + q.d * q.d;
    return {q.a / n, -q.b / n, -q.c / n, -q.d / n};
}
// Componentwise forms of one operand.
TValue Map(const TValue& v, long double (*f)(long double))
{
    TValue r = v;
    for (int k = 0; k < v.count(); k++)
        r.c[k] = f(v.c[k]);
    return r;
}

// The sum, difference, product or quotient of two operands of any of the
// types, in the smallest type that holds both.
int Wider(int a, int b)
{
    auto rank = [](int t) { return t == DT_QUATERNION ? 3 : t == DT_COMPLEX ? 2 : 1; };
    if (a == DT_VECTOR || b == DT_VECTOR)
        return DT_VECTOR;
    if (a == DT_COLOR || b == DT_COLOR)
        return DT_COLOR;
    return rank(a) >= rank(b) ? a : b;
}

TValue Widen(const TValue& v, int type)
{
    TValue r = {type, {v.c[0], 0, 0, 0}};
    for (int k = 1; k < v.count(); k++)
        r.c[k] = v.c[k];
    return r;
}

TValue Componentwise(const std::vector<TValue>& ops, long double (*f)(long double, long double))
{
    int type = Wider(ops[0].type, ops[1].type);
    TValue a = Widen(ops[0], type), b = Widen(ops[1], type), r = a;
    for (int k = 0; k < r.count(); k++)
        r.c[k] = f(a.c[k], b.c[k]);
    return r;
}

TValue Sum(const std::vector<TValue>& ops)
{
    return Componentwise(ops, [](long double x, long double y) { return x + y; });
}
TValue Difference(const std::vector<TValue>& ops)
{
    return Componentwise(ops, [](long double x, long double y) { return x - y; });
}

TValue Product(const std::vector<TValue>& ops)
{
    const TValue &a = ops[0], &b = ops[1];
    if (a.type == DT_VECTOR && b.type == DT_VECTOR)
        return Real(a.c[0] * b.c[0] + a.c[1] * b.c[1] + a.c[2] * b.c[2]);
    if (a.type == DT_REAL || b.type == DT_REAL) {
        const TValue& s = a.type == DT_REAL ? a : b;
        TValue r = a.type == DT_REAL ? b : a;
        for (int k = 0; k < r.count(); k++)
            r.c[k] *= s.c[0];
        return r;
    }
    if (a.type == DT_COMPLEX && b.type == DT_COMPLEX)
        return FromCx(AsCx(a) * AsCx(b));
    return FromQ(QMul(AsQ(a), AsQ(b)));
}

TValue Quotient(const std::vector<TValue>& ops)
{
    const TValue &a = ops[0], &b = ops[1];
    if (b.type == DT_REAL) {
        TValue r = a;
        for (int k = 0; k < r.count(); k++)
            r.c[k] /= b.c[0];
        return r;
    }
    if (b.type == DT_COMPLEX && a.type != DT_QUATERNION) {
        // a conj(b) / |b|^2
        Cx x = AsCx(a), y = AsCx(b);
        long double n = norm(y);
        return FromCx(Cx((x.real() * y.real() + x.imag() * y.imag()) / n,
                         (x.imag() * y.real() - x.real() * y.imag()) / n));
    }
    return FromQ(QMul(AsQ(a), QInv(AsQ(b))));
}

TValue Negated(const std::vector<TValue>& ops)
{
    return Map(ops[0], [](long double x) { return -x; });
}

}  // namespace

TEST(TrigTemplates, MatchTheReferenceValues)
{
    // The reduction keeps every bit of the remainder next to multiples of
    // pi/2 (sin(pi), tan next to its poles) up to 2^30.
    for (const char* name : {"sin_r", "sin_c"})
        CheckTemplateAgainstTable(1, name, TEMPLATE_REFERENCE_ROWS);
    for (const char* name : {"cos_r", "cos_c"})
        CheckTemplateAgainstTable(2, name, TEMPLATE_REFERENCE_ROWS);
    for (const char* name : {"tan_r", "tan_c"})
        CheckTemplateAgainstTable(3, name, TEMPLATE_REFERENCE_ROWS);
}

TEST(TrigTemplates, HugeArgumentsStayInRange)
{
    // Beyond 2^30 the reduction is approximate, but never hands the
    // argument back (the FPU's own range ends at 2^63).
    EnsureTemplatesFixedUp();
    TemplateRunner runner;
    for (const char* name : {"sin_r", "cos_r"}) {
        CodeTemplate* t = FindTemplate(name[0] == 's' ? 1 : 2, name);
        ASSERT_TRUE(t);
        for (long double x : {2e9L, 1e18L, -1e19L, 1e300L, 1e4000L}) {
            TemplateRunOptions options;
            options.fillers = 8 - 1 - t->scratchRegisters;
            TemplateRun run = runner.Run(t->code, t->codeLength, {Real(x)}, 1, options);
            ASSERT_EQ(run.result.size(), 1u);
            EXPECT_LE(fabsl(run.result[0]), 1.0L) << name << " " << (double)x;
            EXPECT_FALSE(run.stackFault());
            EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
        }
    }
}

TEST(InverseTrigTemplates, MatchTheReferenceValues)
{
    // Reals: NaN outside [-1, 1]. Complex: principal branches around the
    // cuts, the unit circle, near the real axis and far out.
    for (const char* name : {"asin_r", "asin_c"})
        CheckTemplateAgainstTable(4, name, TEMPLATE_REFERENCE_ROWS);
    for (const char* name : {"acos_r", "acos_c"})
        CheckTemplateAgainstTable(5, name, TEMPLATE_REFERENCE_ROWS);
    for (const char* name : {"atan_r", "atan_c"})
        CheckTemplateAgainstTable(6, name, TEMPLATE_REFERENCE_ROWS);
}

TEST(InverseTrigTemplates, BranchCutsTakeTheSideOfTheSignedZero)
{
    // On the cuts the sign of the zero imaginary (real for atan) part
    // decides the side, as in C99.
    EnsureTemplatesFixedUp();
    TemplateRunner runner;
    TemplateRunOptions options;
    struct Case { int op; const char* name; Cx z; int reSign, imSign; } cases[] = {
        {4, "asin_c", {2, 0}, 1, 1},   {4, "asin_c", {2, -0.0L}, 1, -1},
        {4, "asin_c", {-2, 0}, -1, 1}, {5, "acos_c", {2, 0}, 0, -1},
        {5, "acos_c", {2, -0.0L}, 0, 1}, {6, "atan_c", {0, 2}, 1, 1},
        {6, "atan_c", {-0.0L, 2}, -1, 1},
    };
    for (const Case& c : cases) {
        CodeTemplate* t = FindTemplate(c.op, c.name);
        ASSERT_TRUE(t);
        TemplateRun run = runner.Run(t->code, t->codeLength, {Cplx(c.z.real(), c.z.imag())}, 2, options);
        ASSERT_EQ(run.result.size(), 2u);
        SCOPED_TRACE(std::string(c.name) + " " + TValueText(Cplx(c.z.real(), c.z.imag())));
        if (c.reSign) {
            EXPECT_EQ(run.result[0] > 0, c.reSign > 0);
        }
        EXPECT_EQ(run.result[1] > 0, c.imSign > 0);
    }
}

TEST(AbsTemplates, TakeEveryComponentsMagnitude)
{
    auto ref = [](const std::vector<TValue>& o) { return Map(o[0], fabsl); };
    CheckTemplate(7, "abs_r", ref, {{Real(-2)}, {Real(-0.0L)}, {Real(3)}, {Real(-INF)}});
    CheckTemplate(7, "abs_c", ref, {{Cplx(-1, 2)}, {Cplx(3, -4)}, {Cplx(-0.0L, -1e-300)}});
    CheckTemplate(7, "abs_v", ref, {{Vec(-1, 2, -3)}, {Vec(4, -5, 6)}});
    CheckTemplate(7, "abs_q", ref, {{Quat(-1, 2, -3, 4)}, {Quat(5, -6, 7, -8)}});
}

TEST(ArithmeticTemplates, AddAndSubtractEverySignature)
{
    const TValue r = Real(-2.5), c = Cplx(1.25, -3), v = Vec(0.5, -7, 9), q = Quat(2, -1, 4, -8),
                 col = Colour(0.25, 0.5, 0.75, 1), r2 = Real(1e300), c2 = Cplx(-1e-300, 6), v2 = Vec(-3, 2, 1e10),
                 q2 = Quat(-0.0L, 3, -5, 1e-20), col2 = Colour(0.5, 0.125, -0.25, 0.0625);
    struct Case { const char* suffix; TValue a, b, a2, b2; } cases[] = {
        {"rr", r, r2, r2, r}, {"rc", r, c, r2, c2}, {"rv", r, v, r2, v2}, {"rq", r, q, r2, q2},
        {"cr", c, r, c2, r2}, {"cc", c, c2, c2, c}, {"cq", c, q, c2, q2}, {"vr", v, r, v2, r2},
        {"vv", v, v2, v2, v}, {"qr", q, r, q2, r2}, {"qc", q, c, q2, c2}, {"qq", q, q2, q2, q},
        {"colcol", col, col2, col2, col},
    };
    for (const Case& k : cases) {
        Rows rows = {{k.a, k.b}, {k.a2, k.b2}};
        CheckTemplate(8, ("add_" + std::string(k.suffix)).c_str(), Sum, rows);
        CheckTemplate(9, ("sub_" + std::string(k.suffix)).c_str(), Difference, rows);
    }
}

TEST(ArithmeticTemplates, MultiplyEverySignature)
{
    const TValue r = Real(-2.5), c = Cplx(1.25, -3), v = Vec(0.5, -7, 9), q = Quat(2, -1, 4, -8),
                 col = Colour(0.25, 0.5, 0.75, 1), r2 = Real(1e150), c2 = Cplx(-1e-3, 6), v2 = Vec(-3, 2, 1e10),
                 q2 = Quat(-0.0L, 3, -5, 0.5);
    struct Case { const char* name; std::vector<Rows> dummy; Rows rows; } cases[] = {
        {"mult_rr", {}, {{r, r2}, {r, Real(0)}}},
        {"mult_rc", {}, {{r, c}, {r2, c2}}},
        {"mult_rq", {}, {{r, q}, {r2, q2}}},
        {"mult_cr", {}, {{c, r}, {c2, r2}}},
        {"mult_cc", {}, {{c, c2}, {c2, c}, {Cplx(0, 1), Cplx(0, 1)}, {Cplx(1e300, 1e300), Cplx(1e300, -1e300)}}},
        {"mult_cq", {}, {{c, q}, {c2, q2}}},
        {"mult_vv", {}, {{v, v2}, {v2, v}}},
        {"mult_vr", {}, {{v, r}, {v2, r2}}},
        {"mult_rv", {}, {{r, v}, {r2, v2}}},
        {"mult_qr", {}, {{q, r}, {q2, r2}}},
        {"mult_qc", {}, {{q, c}, {q2, c2}}},
        {"mult_qq", {}, {{q, q2}, {q2, q}, {Quat(0, 1, 0, 0), Quat(0, 0, 1, 0)}, {Quat(0, 0, 1, 0), Quat(0, 1, 0, 0)}}},
        {"mult_colr", {}, {{col, r}, {col, Real(0.5)}}},
        {"mult_rcol", {}, {{r, col}, {Real(2), col}}},
    };
    for (const Case& k : cases)
        CheckTemplate(10, k.name, Product, k.rows);
}

TEST(ArithmeticTemplates, DivideEverySignature)
{
    const TValue r = Real(-2.5), c = Cplx(1.25, -3), v = Vec(0.5, -7, 9), q = Quat(2, -1, 4, -8),
                 col = Colour(0.25, 0.5, 0.75, 1), r2 = Real(1e150), c2 = Cplx(-1e-3, 6), q2 = Quat(-0.0L, 3, -5, 0.5);
    struct Case { const char* name; Rows rows; } cases[] = {
        {"div_rr", {{r, r2}, {r, Real(0)}, {Real(0), Real(0)}}},
        {"div_rc", {{r, c}, {r2, c2}, {Real(1), Cplx(0, 1)}, {Real(1), Cplx(1e-300, 1e-300)}}},
        {"div_rq", {{r, q}, {r2, q2}}},
        {"div_cr", {{c, r}, {c2, r2}}},
        {"div_cc", {{c, c2}, {c2, c}, {Cplx(1, 0), Cplx(0, 1)}, {Cplx(1e300, 1), Cplx(1e300, 1e300)}}},
        {"div_cq", {{c, q}, {c2, q2}}},
        {"div_vr", {{v, r}, {v, r2}}},
        {"div_qr", {{q, r}, {q2, r2}}},
        {"div_qc", {{q, c}, {q2, c2}}},
        {"div_qq", {{q, q2}, {q2, q}, {Quat(0, 1, 0, 0), Quat(0, 0, 1, 0)}}},
        {"div_colr", {{col, r}, {col, Real(255)}}},
    };
    for (const Case& k : cases)
        CheckTemplate(11, k.name, Quotient, k.rows);
}

TEST(PowerTemplates, MatchTheReferenceValues)
{
    // Exponents 1, 2, 3 exact, 0 gives 1; real powers as C99 pow; the rest
    // principal values exp(b ln a).
    for (const char* name : {"potenz_rr", "potenz_rc", "potenz_cr", "potenz_cc", "potenz_qq"})
        CheckTemplateAgainstTable(12, name, TEMPLATE_REFERENCE_ROWS);
}

TEST(NegTemplates, NegateEveryComponent)
{
    CheckTemplate(13, "neg_r", Negated, {{Real(0)}, {Real(-0.0L)}, {Real(2.5)}, {Real(-1e300)}, {Real(INF)}});
    CheckTemplate(13, "neg_c", Negated, {{Cplx(1, -2)}, {Cplx(0, 0)}, {Cplx(-1e308, 3e-300)}});
    CheckTemplate(13, "neg_v", Negated, {{Vec(1, -2, 3)}, {Vec(0, 5, -0.0L)}});
    CheckTemplate(13, "neg_q", Negated, {{Quat(1, -2, 3, -4)}, {Quat(0, 0, 7, 1e-310)}});
}

TEST(LogExpTemplates, MatchTheReferenceValues)
{
    for (const char* name : {"ln_r", "ln_c", "ln_q"})
        CheckTemplateAgainstTable(14, name, TEMPLATE_REFERENCE_ROWS);
    for (const char* name : {"exp_r", "exp_c", "exp_q"})
        CheckTemplateAgainstTable(15, name, TEMPLATE_REFERENCE_ROWS);
}
