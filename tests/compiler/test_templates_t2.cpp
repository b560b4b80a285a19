// The templates of operations 16 to 31, 41, 42, 45 to 85 and 103 to 138,
// each run on a pre-filled x87 stack over a table of operands and compared
// with long double references of their maths.
#include "tests/compiler/TemplateHarness.h"

#include <complex>
#include <functional>


namespace {

typedef std::complex<long double> Cx;

const long double INF = INFINITY;
const long double PI = 3.14159265358979323846264338327950288L;

Cx C(const TValue& v) { return v.type == DT_COMPLEX ? Cx(v.c[0], v.c[1]) : Cx(v.c[0], 0); }
TValue FromCx(Cx z) { return Cplx(z.real(), z.imag()); }

// Operand tables shared by the function tests.
const std::vector<std::vector<TValue>> kRealArgs = {
    {Real(0)}, {Real(-0.0L)}, {Real(1e-10)}, {Real(-1e-10)}, {Real(0.3)}, {Real(-0.7)},
    {Real(1)}, {Real(-1)}, {Real(2.5)}, {Real(-3)}, {Real(40)}, {Real(-700)}, {Real(1e6)},
};

// Complex arguments around the branch cuts (on both sides of the real and
// imaginary axes beyond +-1) and of every size.
const std::vector<std::vector<TValue>> kComplexArgs = {
    {Cplx(0.5, 0.25)}, {Cplx(-0.5, 0.25)}, {Cplx(-0.5, -0.25)}, {Cplx(0.5, -0.25)},
    {Cplx(2, 1e-30)}, {Cplx(2, -1e-30)}, {Cplx(-2, 1e-30)}, {Cplx(-2, -1e-30)},
    {Cplx(1e-30, 2)}, {Cplx(-1e-30, 2)}, {Cplx(1e-30, -2)}, {Cplx(-1e-30, -2)},
    {Cplx(3, 4)}, {Cplx(-3, 4)}, {Cplx(1e-9, -2e-9)}, {Cplx(0.7, 0)}, {Cplx(0, 0.7)},
    {Cplx(40, -3)}, {Cplx(-12, 30)}, {Cplx(1e6, 1e6)},
};

std::vector<std::vector<TValue>> Without(const std::vector<std::vector<TValue>>& rows,
                                         std::function<bool(const TValue&)> drop)
{
    std::vector<std::vector<TValue>> out;
    for (const auto& row : rows)
        if (!drop(row[0]))
            out.push_back(row);
    return out;
}

TemplateTolerance Tol(long double rel, long double normRel)
{
    TemplateTolerance t;
    t.rel = rel;
    t.normRel = normRel;
    return t;
}

// Rows whose library reference is not exact enough (tiny and huge
// arguments, where the long double complex functions of the C runtime lose
// digits): expected values from an independent 50-digit evaluation.
struct Known {
    TValue operand;
    TValue expected;
};

bool SameValue(const TValue& a, const TValue& b)
{
    if (a.type != b.type)
        return false;
    for (int k = 0; k < a.count(); k++)
        if (!(a.c[k] == b.c[k] || (isnan(a.c[k]) && isnan(b.c[k]))) || signbit(a.c[k]) != signbit(b.c[k]))
            return false;
    return true;
}

const std::vector<Known>* g_known = nullptr;

TValue KnownValue(const std::vector<TValue>& o)
{
    for (const Known& k : *g_known)
        if (SameValue(k.operand, o[0]))
            return k.expected;
    ADD_FAILURE() << "no expected value for " << TValueText(o[0]);
    return o[0];
}

void CheckKnown(int op, const char* name, const std::vector<Known>& table,
                const TemplateTolerance& tol = TemplateTolerance())
{
    g_known = &table;
    std::vector<std::vector<TValue>> rows;
    for (const Known& k : table)
        rows.push_back({k.operand});
    CheckTemplate(op, name, KnownValue, rows, tol);
}

}  // namespace

// ---------------------------------------------------------------------
// Logarithm, hyperbolic functions, roots and the inverse functions.

TEST(LogTemplates, Log10OfRealsAndComplexValues)
{
    CheckTemplate(16, "log10_r", [](const std::vector<TValue>& o) { return Real(log10l(o[0].c[0])); },
                  {{Real(1)}, {Real(1000)}, {Real(0.001)}, {Real(2)}, {Real(1e300)}, {Real(0)}, {Real(-1)}});
    CheckTemplate(16, "log10_c", [](const std::vector<TValue>& o) { return FromCx(std::log10(C(o[0]))); },
                  kComplexArgs, Tol(1e-17, 1e-17));
    // On the negative real axis the sign of the zero picks the side of the cut.
    CheckTemplate(16, "log10_c", [](const std::vector<TValue>&) { return Cplx(1, PI / logl(10)); },
                  {{Cplx(-10, 0)}});
    CheckTemplate(16, "log10_c", [](const std::vector<TValue>&) { return Cplx(1, -PI / logl(10)); },
                  {{Cplx(-10, -0.0L)}});
}

TEST(HyperbolicTemplates, SinhAndCoshMatchTheReference)
{
    CheckTemplate(17, "sinh_r", [](const std::vector<TValue>& o) { return Real(sinhl(o[0].c[0])); }, kRealArgs);
    CheckTemplate(20, "cosh_r", [](const std::vector<TValue>& o) { return Real(coshl(o[0].c[0])); }, kRealArgs);
    CheckTemplate(17, "sinh_r", [](const std::vector<TValue>&) { return Real(INF); }, {{Real(12000)}});
    CheckTemplate(20, "cosh_r", [](const std::vector<TValue>&) { return Real(INF); }, {{Real(-12000)}});
    auto complexArgs = Without(kComplexArgs, [](const TValue& v) { return fabsl(v.c[0]) > 1000; });
    CheckTemplate(17, "sinh_c", [](const std::vector<TValue>& o) { return FromCx(std::sinh(C(o[0]))); },
                  complexArgs);
    CheckTemplate(20, "cosh_c", [](const std::vector<TValue>& o) { return FromCx(std::cosh(C(o[0]))); },
                  complexArgs);
}

TEST(HyperbolicTemplates, TanhAndCothGiveComplexValues)
{
    auto realArgs = Without(kRealArgs, [](const TValue& v) { return v.c[0] == 0; });
    CheckTemplate(19, "tanh_r", [](const std::vector<TValue>& o) { return Cplx(tanhl(o[0].c[0]), 0); },
                  kRealArgs, Tol(1e-17, 0));
    CheckTemplate(22, "cotanh_r", [](const std::vector<TValue>& o) { return Cplx(1 / tanhl(o[0].c[0]), 0); },
                  realArgs, Tol(1e-17, 0));
    CheckTemplate(22, "cotanh_r", [](const std::vector<TValue>& o) { return Cplx(o[0].c[0] == 0 && signbit(o[0].c[0]) ? -INF : INF, 0); },
                  {{Real(0)}, {Real(-0.0L)}});
    auto complexArgs = Without(kComplexArgs, [](const TValue& v) { return fabsl(v.c[0]) > 1000; });
    CheckTemplate(19, "tanh_c", [](const std::vector<TValue>& o) { return FromCx(std::tanh(C(o[0]))); },
                  complexArgs);
    CheckTemplate(22, "cotanh_c", [](const std::vector<TValue>& o) { return FromCx(Cx(1) / std::tanh(C(o[0]))); },
                  complexArgs);
    CheckKnown(19, "tanh_c", {
        {Cplx(1e6, 1e6), Cplx(1, 0)},
        {Cplx(-800, 2), Cplx(-1, 0)},
        {Cplx(30, 1.5), Cplx(1.0L, 2.471437738816094052795e-27L)},
        {Cplx(2, -60), Cplx(0.9703973984899687133599L, -0.02064585167569177445817L)},
        {Cplx(1e-9, 3e-9), Cplx(1.000000000000000070948e-9L, 2.99999999999999998605e-9L)},
    });
    CheckKnown(22, "cotanh_c", {
        {Cplx(1e6, 1e6), Cplx(1, 0)},
        {Cplx(-800, 2), Cplx(-1, 0)},
        {Cplx(30, 1.5), Cplx(1.0L, -2.471437738816094052795e-27L)},
        {Cplx(2, -60), Cplx(1.030039396604129450714L, 0.02191477495250905051414L)},
        {Cplx(1e-9, 3e-9), Cplx(100000000.0000000065129L, -299999999.9999999968591L)},
    });
}

TEST(TrigonometricTemplates, CotanAndCosxx)
{
    // The library's sin and cos reduce large arguments less exactly than
    // the templates: arguments beyond 1000 are checked against known values.
    auto realArgs = Without(kRealArgs, [](const TValue& v) { return v.c[0] == 0 || fabsl(v.c[0]) > 1000; });
    CheckTemplate(21, "cotan_r", [](const std::vector<TValue>& o) { return Real(cosl(o[0].c[0]) / sinl(o[0].c[0])); },
                  realArgs);
    CheckKnown(21, "cotan_r", {{Real(1e6), Real(-2.676484339628345108838L)}, {Real(0), Real(INF)}});
    auto complexArgs = Without(kComplexArgs, [](const TValue& v) { return fabsl(v.c[0]) > 1000 || fabsl(v.c[1]) > 1000; });
    CheckTemplate(21, "cotan_c", [](const std::vector<TValue>& o) { return FromCx(Cx(1) / std::tan(C(o[0]))); },
                  complexArgs);
    CheckKnown(21, "cotan_c", {
        {Cplx(1e6, 1e6), Cplx(0, -1)},
        {Cplx(-800, 2), Cplx(0.02871094640381877750324L, -0.9779020309012779123581L)},
        {Cplx(30, 1.5), Cplx(-0.02765957779422648465601L, -0.9090568756611810465786L)},
        {Cplx(2, -60), Cplx(-1.160579039067167744339e-52L, 1.0L)},
        {Cplx(1e-9, 3e-9), Cplx(100000000.0000000058462L, -299999999.9999999988591L)},
    });
    CheckTemplate(76, "cosxx_r", [](const std::vector<TValue>& o) { return Real(cosl(o[0].c[0])); }, realArgs);
    CheckKnown(76, "cosxx_r", {{Real(1e6), Real(0.9367521275331447869385L)}});
    CheckTemplate(76, "cosxx_c", [](const std::vector<TValue>& o) { return FromCx(std::conj(std::cos(C(o[0])))); },
                  complexArgs);
    CheckKnown(76, "cosxx_c", {{Cplx(1e6, 2), Cplx(3.524244817818621724773L, -1.269377576028782004935L)}});
}

TEST(RootTemplates, SquareRoots)
{
    CheckTemplate(18, "sqrt_r", [](const std::vector<TValue>& o) { return Real(sqrtl(o[0].c[0])); },
                  {{Real(0)}, {Real(4)}, {Real(2)}, {Real(1e-300)}, {Real(1e300)}, {Real(-1)}});
    CheckTemplate(18, "sqrt_c", [](const std::vector<TValue>& o) { return FromCx(std::sqrt(C(o[0]))); },
                  kComplexArgs, Tol(1e-17, 1e-18));
    // The cut: the sign of the imaginary zero decides the sign of the root.
    CheckTemplate(18, "sqrt_c", [](const std::vector<TValue>&) { return Cplx(0, 2); }, {{Cplx(-4, 0)}});
    CheckTemplate(18, "sqrt_c", [](const std::vector<TValue>&) { return Cplx(0, -2); }, {{Cplx(-4, -0.0L)}});
    CheckTemplate(18, "sqrt_c", [](const std::vector<TValue>&) { return Cplx(0, 0); }, {{Cplx(0, 0)}});
    CheckTemplate(18, "sqrt_c", [](const std::vector<TValue>&) { return Cplx(1e154L, 1e154L); },
                  {{Cplx(0, 2e308L)}}, Tol(1e-17, 1e-18));
}

TEST(InverseTemplates, AcotIsTheArctangentOfTheReciprocal)
{
    CheckTemplate(26, "acot_r", [](const std::vector<TValue>& o) { return Cplx(atanl(1 / o[0].c[0]), 0); },
                  kRealArgs, Tol(1e-17, 0));
    // 1/z as conj(z) / |z|^2 keeps the signs of zeros.
    auto acot = [](const std::vector<TValue>& o) { return FromCx(std::atan(std::conj(C(o[0])) / std::norm(C(o[0])))); };
    auto complexArgs = Without(kComplexArgs, [](const TValue& v) { return fabsl(v.c[0]) > 1000 || hypotl(v.c[0], v.c[1]) < 1e-6; });
    CheckTemplate(26, "acot_c", acot, complexArgs);
    // The cut between -i and i: x = +0 and x = -0 give +pi/2 and -pi/2.
    CheckTemplate(26, "acot_c", acot, {{Cplx(0, 0.5)}, {Cplx(-0.0L, 0.5)}, {Cplx(0, -0.5)}, {Cplx(-0.0L, -0.5)}});
    CheckKnown(26, "acot_c", {
        {Cplx(1e-9, -2e-9), Cplx(1.570796325794896619231L, 2.00000000000000012523e-9L)},
        {Cplx(1e6, 1e6), Cplx(5.000000000000833333333e-7L, -4.999999999999166666667e-7L)},
        {Cplx(-1e6, 3e5), Cplx(-9.174311926603625607354e-7L, -2.75229357797940432222e-7L)},
        {Cplx(-3e-12, 5e-13), Cplx(-1.570796326791896619231L, -4.999999999999999899433e-13L)},
        {Cplx(0.3, 1e-20), Cplx(1.279339532317029537421L, -9.174311926605504140042e-21L)},
    });
}

TEST(InverseTemplates, AreaFunctionsOfReals)
{
    CheckTemplate(27, "asinh_r", [](const std::vector<TValue>& o) { return Real(asinhl(o[0].c[0])); },
                  {{Real(0)}, {Real(-0.2)}, {Real(1)}, {Real(-3)}, {Real(-1e300)}, {Real(INF)}});
    CheckKnown(27, "asinh_r", {{Real(-1e-10), Real(-1.000000000000000036431e-10L)}, {Real(1e9), Real(21.41641301750635646583L)}});
    auto acosh = [](const std::vector<TValue>& o) { return FromCx(std::acosh(Cx(o[0].c[0], 0))); };
    CheckTemplate(28, "acosh_r", acosh,
                  {{Real(1)}, {Real(3)}, {Real(1e300)}, {Real(0.5)}, {Real(0)}, {Real(-1)}, {Real(-0.999)}, {Real(-2)}, {Real(-1e20)}});
    CheckKnown(28, "acosh_r", {
        {Real(1.0000001), Cplx(0.0004472135919037347270738L, 0)},
        {Real(-1.0000001), Cplx(0.0004472135919037347270738L, PI)},
    });
    CheckTemplate(29, "atanh_r", [](const std::vector<TValue>& o) { return Real(atanhl(o[0].c[0])); },
                  {{Real(0)}, {Real(0.5)}, {Real(-0.25)}, {Real(1)}, {Real(-1)}, {Real(2)}, {Real(-5)}});
    CheckKnown(29, "atanh_r", {{Real(-0.9999), Real(-4.951718775643098258445L)}, {Real(1e-10), Real(1.000000000000000036436e-10L)}});
    CheckTemplate(30, "acoth_r", [](const std::vector<TValue>& o) { return Real(atanhl(1 / o[0].c[0])); },
                  {{Real(2)}, {Real(-1.5)}, {Real(1e10)}, {Real(1)}, {Real(-1)}, {Real(0.5)}, {Real(0)}});
    CheckKnown(30, "acoth_r", {{Real(-1.0001), Real(-4.951768775643139919606L)}});
}

TEST(InverseTemplates, AreaFunctionsOfComplexValues)
{
    auto libraryArgs = Without(kComplexArgs, [](const TValue& v) {
        return fabsl(v.c[0]) > 1000 || hypotl(v.c[0], v.c[1]) < 1e-6;
    });
    CheckTemplate(27, "asinh_c", [](const std::vector<TValue>& o) { return FromCx(std::asinh(C(o[0]))); }, libraryArgs);
    CheckTemplate(28, "acosh_c", [](const std::vector<TValue>& o) { return FromCx(std::acosh(C(o[0]))); }, libraryArgs);
    CheckTemplate(29, "atanh_c", [](const std::vector<TValue>& o) { return FromCx(std::atanh(C(o[0]))); }, libraryArgs);
    CheckTemplate(30, "acoth_c",
                  [](const std::vector<TValue>& o) { return FromCx(std::atanh(std::conj(C(o[0])) / std::norm(C(o[0])))); },
                  libraryArgs);
    CheckKnown(27, "asinh_c", {
        {Cplx(1e-9, -2e-9), Cplx(1.000000000000000064115e-9L, -2.000000000000000124897e-9L)},
        {Cplx(1e6, 1e6), Cplx(14.85523132880419206823L, 0.7853981633973233096157L)},
        {Cplx(-1e6, 3e5), Cplx(-14.55174658664493706189L, 0.2914567944777408399966L)},
        {Cplx(-3e-12, 5e-13), Cplx(-3.000000000000000141608e-12L, 4.999999999999999899433e-13L)},
        {Cplx(0.3, 1e-20), Cplx(0.2956730475634224284687L, 9.578262852211513430315e-21L)},
    });
    CheckKnown(28, "acosh_c", {
        {Cplx(1e-9, -2e-9), Cplx(2.00000000000000012423e-9L, -1.570796325794896619231L)},
        {Cplx(1e6, 1e6), Cplx(14.85523132880419206823L, 0.7853981633975733096157L)},
        {Cplx(-1e6, 3e5), Cplx(14.5517465866445540975L, 2.850135859111799894468L)},
        {Cplx(-3e-12, 5e-13), Cplx(4.999999999999999899433e-13L, 1.570796326797896619231L)},
        {Cplx(0.3, 1e-20), Cplx(1.04828483672191823444e-20L, 1.266103672779499122898L)},
    });
    CheckKnown(29, "atanh_c", {
        {Cplx(1e-9, -2e-9), Cplx(1.000000000000000058615e-9L, -2.000000000000000123897e-9L)},
        {Cplx(1e6, 1e6), Cplx(4.999999999999166666667e-7L, 1.570795826794896619148L)},
        {Cplx(-1e6, 3e5), Cplx(-9.174311926607383566957e-7L, 1.570796051565538820841L)},
        {Cplx(-3e-12, 5e-13), Cplx(-3.000000000000000141608e-12L, 4.999999999999999899433e-13L)},
        {Cplx(0.3, 1e-20), Cplx(0.3095196042031117032738L, 1.098901098901098832784e-20L)},
    });
    CheckKnown(30, "acoth_c", {
        {Cplx(1e-9, -2e-9), Cplx(1.000000000000000058615e-9L, 1.570796324794896619231L)},
        {Cplx(1e6, 1e6), Cplx(4.999999999999166666667e-7L, -5.000000000000833333333e-7L)},
        {Cplx(-1e6, 3e5), Cplx(-9.174311926607383566957e-7L, -2.752293577983898430074e-7L)},
        {Cplx(-3e-12, 5e-13), Cplx(-3.000000000000000141608e-12L, -1.570796326794396619231L)},
        {Cplx(0.3, 1e-20), Cplx(0.3095196042031117032738L, -1.57079632679489661922L)},
    });
    // Exactly on the cuts, with both signs of zero: the values C99 gives,
    // asinh(z) = -asinh(-z), acosh and the odd atanh and acoth alike.
    const std::vector<std::vector<TValue>> onCuts = {
        {Cplx(0, 2)}, {Cplx(-0.0L, 2)}, {Cplx(0, -2)}, {Cplx(-0.0L, -2)},
        {Cplx(2, 0)}, {Cplx(2, -0.0L)}, {Cplx(-2, 0)}, {Cplx(-2, -0.0L)},
        {Cplx(0.5, 0)}, {Cplx(0.5, -0.0L)}, {Cplx(-0.5, 0)}, {Cplx(-0.5, -0.0L)},
    };
    CheckTemplate(27, "asinh_c", [](const std::vector<TValue>& o) { return FromCx(std::asinh(C(o[0]))); }, onCuts);
    CheckTemplate(28, "acosh_c", [](const std::vector<TValue>& o) { return FromCx(std::acosh(C(o[0]))); }, onCuts);
    CheckTemplate(29, "atanh_c", [](const std::vector<TValue>& o) { return FromCx(std::atanh(C(o[0]))); }, onCuts);
    // acoth(0.7 +- 0i) = atanh(1/0.7 -+ 0i): the cut of atanh beyond 1.
    CheckKnown(30, "acoth_c", {
        {Cplx(0.7, 0), Cplx(0.8673005276940531073508L, -PI / 2)},
        {Cplx(0.7, -0.0L), Cplx(0.8673005276940531073508L, PI / 2)},
        {Cplx(-0.7, 0), Cplx(-0.8673005276940531073508L, -PI / 2)},
    });
}

TEST(AngleTemplates, ArgAndAtan2)
{
    auto angle = [](const std::vector<TValue>& o) { return Real(atan2l(C(o[0]).imag(), C(o[0]).real())); };
    for (int op : {31, 51}) {
        const char* real = op == 31 ? "arg_r" : "atan2_r";
        const char* cplx = op == 31 ? "arg_c" : "atan2_c";
        CheckTemplate(op, real, angle, {{Real(2)}, {Real(-2)}, {Real(0)}});
        CheckTemplate(op, cplx, angle,
                      {{Cplx(1, 1)}, {Cplx(-1, 0)}, {Cplx(-1, -0.0L)}, {Cplx(0, -3)}, {Cplx(-1e300, 1e-300)}, {Cplx(0, 0)}});
    }
}

// ---------------------------------------------------------------------
// Parts, conjugate, flip, quaternion halves.

TEST(PartTemplates, ComponentsAndHalves)
{
    auto same = [](const std::vector<TValue>& o) { return o[0]; };
    CheckTemplate(23, "conj_r", same, {{Real(-2.5)}});
    CheckTemplate(23, "conj_c", [](const std::vector<TValue>& o) { return Cplx(o[0].c[0], -o[0].c[1]); },
                  {{Cplx(1, 2)}, {Cplx(-3, -0.0L)}});
    CheckTemplate(24, "real_r", same, {{Real(7)}});
    CheckTemplate(24, "real_c", [](const std::vector<TValue>& o) { return Real(o[0].c[0]); }, {{Cplx(1, 2)}});
    CheckTemplate(24, "real_q", [](const std::vector<TValue>& o) { return Real(o[0].c[0]); }, {{Quat(1, 2, 3, 4)}});
    CheckTemplate(25, "imag_r", [](const std::vector<TValue>&) { return Real(0); }, {{Real(7)}});
    CheckTemplate(25, "imag_c", [](const std::vector<TValue>& o) { return Real(o[0].c[1]); }, {{Cplx(1, 2)}});
    CheckTemplate(25, "imag_q", [](const std::vector<TValue>& o) { return Real(o[0].c[1]); }, {{Quat(1, 2, 3, 4)}});
    CheckTemplate(49, "flip_r", [](const std::vector<TValue>& o) { return Cplx(0, o[0].c[0]); }, {{Real(3)}});
    CheckTemplate(49, "flip_c", [](const std::vector<TValue>& o) { return Cplx(o[0].c[1], o[0].c[0]); }, {{Cplx(1, 2)}});
    CheckTemplate(84, "hiquat_c", [](const std::vector<TValue>& o) { return Quat(0, 0, o[0].c[0], o[0].c[1]); },
                  {{Cplx(5, -6)}});
    CheckTemplate(84, "hiquat_q", [](const std::vector<TValue>& o) { return Cplx(o[0].c[2], o[0].c[3]); },
                  {{Quat(1, 2, 3, 4)}});
    CheckTemplate(85, "loquat_c", [](const std::vector<TValue>& o) { return Quat(o[0].c[0], o[0].c[1], 0, 0); },
                  {{Cplx(5, -6)}});
    CheckTemplate(85, "loquat_q", [](const std::vector<TValue>& o) { return Cplx(o[0].c[0], o[0].c[1]); },
                  {{Quat(1, 2, 3, 4)}});
}

// ---------------------------------------------------------------------
// Powers.

namespace {

TValue QMul(const TValue& a, const TValue& b)
{
    const long double* p = a.c;
    const long double* q = b.c;
    return Quat(p[0] * q[0] - p[1] * q[1] - p[2] * q[2] - p[3] * q[3],
                p[0] * q[1] + p[1] * q[0] + p[2] * q[3] - p[3] * q[2],
                p[0] * q[2] - p[1] * q[3] + p[2] * q[0] + p[3] * q[1],
                p[0] * q[3] + p[1] * q[2] - p[2] * q[1] + p[3] * q[0]);
}

template <int N>
TValue Power(const std::vector<TValue>& o)
{
    TValue v = o[0];
    if (v.type == DT_QUATERNION) {
        TValue r = v;
        for (int k = 1; k < N; k++)
            r = QMul(r, v);
        return r;
    }
    if (v.type == DT_COMPLEX) {
        Cx z = C(v), r = z;
        for (int k = 1; k < N; k++)
            r *= z;
        return FromCx(r);
    }
    long double r = v.c[0];
    for (int k = 1; k < N; k++)
        r *= v.c[0];
    return Real(r);
}

}  // namespace

TEST(PowerTemplates, SqrAndTheHigherPowers)
{
    const std::vector<std::vector<TValue>> reals = {{Real(0)}, {Real(-1.5)}, {Real(2)}, {Real(1e-5)}, {Real(-1e40)}, {Real(3)}};
    const std::vector<std::vector<TValue>> complexes = {
        {Cplx(1, 2)}, {Cplx(-0.5, 0.75)}, {Cplx(3, -4)}, {Cplx(1e-3, 1e3)}, {Cplx(1, 1)}, {Cplx(0, 0)}, {Cplx(-2, 0)}};
    const std::vector<std::vector<TValue>> quaternions = {
        {Quat(1, 2, 3, 4)}, {Quat(-0.5, 0.25, -1, 2)}, {Quat(0, 0, 0, 0)}, {Quat(2, 0, 0, 0)}, {Quat(0, 1, 0, 0)}, {Quat(1e10, -3e9, 1, 0)}};
    struct { int op; const char* base; TemplateReference ref; } powers[] = {
        {48, "sqr", Power<2>}, {45, "sqr3", Power<3>}, {46, "sqr5", Power<5>}, {75, "sqr6", Power<6>}, {47, "sqr7", Power<7>},
    };
    for (const auto& p : powers) {
        CheckTemplate(p.op, (std::string(p.base) + "_r").c_str(), p.ref, reals);
        CheckTemplate(p.op, (std::string(p.base) + "_c").c_str(), p.ref, complexes, Tol(1e-16, 1e-17));
        CheckTemplate(p.op, (std::string(p.base) + "_q").c_str(), p.ref, quaternions, Tol(1e-16, 1e-17));
    }
}

// ---------------------------------------------------------------------
// Reversed arithmetic and the modulo.

namespace {

// A value widened to the type of the other operand of an arithmetic
// operation: its components first, zeros after them (a real becomes
// (x, 0, ...), a complex value a quaternion with j = k = 0).
TValue Widen(const TValue& v, int type)
{
    TValue w = v;
    w.type = type;
    return w;
}

int WiderType(int a, int b)
{
    if (a == b)
        return a;
    if (a == DT_VECTOR || b == DT_VECTOR)
        return DT_VECTOR;
    if (a == DT_QUATERNION || b == DT_QUATERNION)
        return DT_QUATERNION;
    return DT_COMPLEX;
}

// subr(s, m) = m - s: the subtrahend is the first (deepest) operand.
TValue ReversedDifference(const std::vector<TValue>& o)
{
    int type = WiderType(o[0].type, o[1].type);
    TValue s = Widen(o[0], type), m = Widen(o[1], type), r = m;
    for (int k = 0; k < 4; k++)
        r.c[k] = m.c[k] - s.c[k];
    return r;
}

// divr(d, n) = n / d: the divisor is the first operand; divr_rv divides
// its vector (first) by the real.
TValue ReversedQuotient(const std::vector<TValue>& o)
{
    if (o[0].type == DT_VECTOR)
        return Vec(o[0].c[0] / o[1].c[0], o[0].c[1] / o[1].c[0], o[0].c[2] / o[1].c[0]);
    if (o[0].type == DT_REAL && o[1].type == DT_REAL)
        return Real(o[1].c[0] / o[0].c[0]);
    return FromCx(C(o[1]) / C(o[0]));
}

}  // namespace

TEST(ReversedTemplates, SubrTakesTheSubtrahendFromBelow)
{
    auto v = [](const char* sig) {
        std::vector<std::vector<TValue>> rows;
        auto make = [](char t, int k) -> TValue {
            long double a = 1.5 + k, b = -2.25 * (k + 1), c = 1e10 + k, d = -0.0625;
            switch (t) {
            case 'r': return Real(a * 3);
            case 'c': return Cplx(a, b);
            case 'v': return Vec(a, b, c);
            case 'q': return Quat(a, b, c, d);
            default: return Colour(0.25 * k, 0.5, 0.75, 1);
            }
        };
        for (int k = 0; k < 2; k++)
            rows.push_back({make(sig[0], k), make(sig[strlen(sig) == 2 ? 1 : 3], k + 2)});
        return rows;
    };
    for (const char* sig : {"rr", "rc", "rv", "rq", "cr", "cc", "cq", "vr", "vv", "qr", "qc", "qq"})
        CheckTemplate(60, (std::string("subr_") + sig).c_str(), ReversedDifference, v(sig));
    CheckTemplate(60, "subr_colcol", ReversedDifference,
                  {{Colour(0.1, 0.2, 0.3, 0.4), Colour(1, 0.5, 0.25, 0.125)}});
}

TEST(ReversedTemplates, DivrDividesTheTopOperandByTheDeeperOne)
{
    CheckTemplate(50, "divr_rr", ReversedQuotient, {{Real(4), Real(1)}, {Real(-0.5), Real(3)}, {Real(0), Real(1)}});
    CheckTemplate(50, "divr_rc", ReversedQuotient, {{Real(4), Cplx(1, -2)}, {Real(-1e-300), Cplx(1e-10, 3)}});
    CheckTemplate(50, "divr_cr", ReversedQuotient, {{Cplx(3, 4), Real(5)}, {Cplx(-1e200, 1e-200), Real(2)}}, Tol(1e-16, 1e-17));
    CheckTemplate(50, "divr_cc", ReversedQuotient,
                  {{Cplx(3, 4), Cplx(1, 2)}, {Cplx(0, -1), Cplx(5, 0)}, {Cplx(1e300, 1e300), Cplx(1e-300, 2)}}, Tol(1e-16, 1e-17));
    CheckTemplate(50, "divr_rv", ReversedQuotient, {{Vec(1, -2, 3), Real(4)}});
}

TEST(ModuloTemplates, TruncatedRemainderOfTheRealParts)
{
    // mod(a, b): a deepest; modr(b, a): b deepest; both give fmod(a.re, b.re).
    auto mod = [](const std::vector<TValue>& o) { return Real(fmodl(o[0].c[0], o[1].c[0])); };
    auto modr = [](const std::vector<TValue>& o) { return Real(fmodl(o[1].c[0], o[0].c[0])); };
    CheckTemplate(61, "mod_rr", mod, {{Real(7), Real(3)}, {Real(-7), Real(3)}, {Real(7.5), Real(-2)}, {Real(1e300), Real(3)}, {Real(1), Real(0)}});
    CheckTemplate(61, "mod_rc", mod, {{Real(7), Cplx(3, 9)}});
    CheckTemplate(61, "mod_cr", mod, {{Cplx(-7, 9), Real(3)}});
    CheckTemplate(61, "mod_cc", mod, {{Cplx(10.5, 9), Cplx(4, 1)}});
    CheckTemplate(70, "modr_rr", modr, {{Real(3), Real(7)}, {Real(3), Real(-7)}, {Real(2.5), Real(1e20)}});
    CheckTemplate(70, "modr_rc", modr, {{Real(3), Cplx(7, 9)}});
    CheckTemplate(70, "modr_cr", modr, {{Cplx(3, 9), Real(-7)}});
    CheckTemplate(70, "modr_cc", modr, {{Cplx(4, 1), Cplx(10.5, 9)}});
}

// ---------------------------------------------------------------------
// Moduli, rounding, identity, zero, reciprocal.

TEST(ModulusTemplates, CabsAndTheSquaredModulus)
{
    auto cabs = [](const std::vector<TValue>& o) {
        long double s = 0;
        for (int k = 0; k < o[0].count(); k++)
            s += o[0].c[k] * o[0].c[k];
        return Real(sqrtl(s));
    };
    auto betrag = [](const std::vector<TValue>& o) {
        long double s = 0;
        for (int k = 0; k < o[0].count(); k++)
            s += o[0].c[k] * o[0].c[k];
        return Real(s);
    };
    const std::vector<std::vector<TValue>> rows[] = {
        {{Real(-3)}, {Real(0)}, {Real(1e300)}},
        {{Cplx(3, -4)}, {Cplx(1e300, 1e300)}, {Cplx(0, -0.0L)}},
        {{Vec(1, 2, -2)}, {Vec(1e-300, 0, 0)}},
        {{Quat(1, -1, 1, -1)}, {Quat(0, 0, 0, 5)}},
    };
    const char* sigs[] = {"_r", "_c", "_v", "_q"};
    for (int i = 0; i < 4; i++) {
        CheckTemplate(52, (std::string("cabs") + sigs[i]).c_str(), cabs, rows[i]);
        CheckTemplate(80, (std::string("Betrag") + sigs[i]).c_str(), betrag, rows[i]);
    }
}

TEST(RoundingTemplates, ExactForEveryDouble)
{
    // Values beyond the 32-bit integers, halves (round: to the even
    // neighbour), signs, zeros and the non-finite values.
    const std::vector<std::vector<TValue>> reals = {
        {Real(2.5)}, {Real(-2.5)}, {Real(3.5)}, {Real(-0.3)}, {Real(0.7)}, {Real(-1.7)}, {Real(0)},
        {Real(3e9 + 0.5)}, {Real(-3e9 - 0.25)}, {Real(4503599627370495.5)}, {Real(-1e300)}, {Real(1e19 + 2048)},
        {Real(INF)}, {Real(-INF)}, {Real(NAN)},
    };
    struct { int op; const char* base; long double (*f)(long double); } ops[] = {
        {53, "ceil", ceill}, {54, "floor", floorl}, {55, "round", nearbyintl}, {56, "trunc", truncl},
    };
    static long double (*g_round)(long double);
    for (const auto& r : ops) {
        g_round = r.f;
        auto each = [](const std::vector<TValue>& o) {
            TValue v = o[0];
            for (int k = 0; k < v.count(); k++)
                v.c[k] = g_round(v.c[k]);
            return v;
        };
        CheckTemplate(r.op, (std::string(r.base) + "_r").c_str(), each, reals);
        CheckTemplate(r.op, (std::string(r.base) + "_c").c_str(), each, {{Cplx(2.5, -3e10 - 0.5)}, {Cplx(-0.5, 7.25)}});
        CheckTemplate(r.op, (std::string(r.base) + "_q").c_str(), each, {{Quat(1.5, -1.5, 6e12 + 0.75, -0.1)}});
    }
    // The caller's control word comes back whatever it was, and the mode
    // of the operation applies whatever the caller's was.
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    for (uint16_t callerWord : {0x137F, 0x177F, 0x1B7F, 0x1F7F}) {
        for (const auto& r : ops) {
            const CodeTemplate* t = FindTemplate(r.op, (std::string(r.base) + "_r").c_str());
            ASSERT_TRUE(t != nullptr);
            TemplateRunOptions options;
            options.controlWord = callerWord;
            TemplateRun run = runner.Run(t->code, t->codeLength, {Real(-2.5)}, 1, options);
            EXPECT_EQ(run.controlWord, callerWord) << r.base;
            EXPECT_EQ(run.result, std::vector<long double>{r.f(-2.5L)}) << r.base << " under 0x" << std::hex << callerWord;
        }
    }
}

TEST(SimpleTemplates, IdentZeroRecip)
{
    auto same = [](const std::vector<TValue>& o) { return o[0]; };
    auto zero = [](const std::vector<TValue>& o) { TValue v = o[0]; for (int k = 0; k < 4; k++) v.c[k] = 0; return v; };
    CheckTemplate(57, "ident_r", same, {{Real(-1.25)}});
    CheckTemplate(57, "ident_c", same, {{Cplx(1, 2)}});
    CheckTemplate(57, "ident_q", same, {{Quat(1, 2, 3, 4)}});
    CheckTemplate(58, "zero_r", zero, {{Real(5)}, {Real(NAN)}, {Real(INF)}});
    CheckTemplate(58, "zero_c", zero, {{Cplx(1, INF)}});
    CheckTemplate(58, "zero_q", zero, {{Quat(1, 2, NAN, 4)}});
    CheckTemplate(59, "recip_r", [](const std::vector<TValue>& o) { return Real(1 / o[0].c[0]); },
                  {{Real(4)}, {Real(-3)}, {Real(0)}, {Real(1e-300)}});
    CheckTemplate(59, "recip_c", [](const std::vector<TValue>& o) { return FromCx(Cx(1) / C(o[0])); },
                  {{Cplx(3, 4)}, {Cplx(0, -2)}, {Cplx(1e300, -1e300)}, {Cplx(1e-300, 2e-300)}});
    CheckTemplate(59, "recip_q",
                  [](const std::vector<TValue>& o) {
                      const long double* q = o[0].c;
                      long double n = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
                      return Quat(q[0] / n, -q[1] / n, -q[2] / n, -q[3] / n);
                  },
                  {{Quat(1, 2, 3, 4)}, {Quat(0, 0, -2, 0)}});
    // recip(q) * q = 1
    TValue q = Quat(1, -2, 0.5, 3);
    CheckTemplate(59, "recip_q",
                  [](const std::vector<TValue>& o) {
                      const long double* p = o[0].c;
                      long double n = p[0] * p[0] + p[1] * p[1] + p[2] * p[2] + p[3] * p[3];
                      TValue r = Quat(p[0] / n, -p[1] / n, -p[2] / n, -p[3] / n);
                      TValue one = QMul(r, o[0]);
                      EXPECT_NEAR((double)one.c[0], 1.0, 1e-15);
                      EXPECT_NEAR((double)one.c[1], 0.0, 1e-15);
                      return r;
                  },
                  {{q}});
}

// ---------------------------------------------------------------------
// Small multiples and steps.

TEST(MultipleTemplates, EveryComponentTimesTheFactor)
{
    struct { int op; const char* base; int factor; } ops[] = {
        {63, "mult2", 2}, {64, "mult3", 3}, {65, "mult4", 4}, {66, "multM1", -1}, {67, "multM2", -2}, {68, "multM3", -3}, {69, "multM4", -4},
    };
    static int g_factor;
    auto times = [](const std::vector<TValue>& o) {
        TValue v = o[0];
        for (int k = 0; k < v.count(); k++)
            v.c[k] *= g_factor;
        return v;
    };
    for (const auto& m : ops) {
        g_factor = m.factor;
        CheckTemplate(m.op, (std::string(m.base) + "_r").c_str(), times, {{Real(1.25)}, {Real(-0.0L)}, {Real(1e308)}});
        CheckTemplate(m.op, (std::string(m.base) + "_c").c_str(), times, {{Cplx(1, -3)}});
        CheckTemplate(m.op, (std::string(m.base) + "_v").c_str(), times, {{Vec(1, -3, 0.1)}});
        CheckTemplate(m.op, (std::string(m.base) + "_q").c_str(), times, {{Quat(1, -3, 0.1, 7)}});
        CheckTemplate(m.op, (std::string(m.base) + "_col").c_str(), times, {{Colour(0.25, 0.5, 0.125, 1)}});
    }
}

TEST(StepTemplates, PlusOrMinusOneOnTheRealPart)
{
    // inc1 and decM1 add one, incM1 and dec1 take one off the first
    // component, like the addition of a real.
    struct { int op; const char* base; int step; } ops[] = {
        {71, "inc1", 1}, {72, "incM1", -1}, {73, "dec1", -1}, {74, "decM1", 1},
    };
    static int g_step;
    auto step = [](const std::vector<TValue>& o) {
        TValue v = o[0];
        v.c[0] += g_step;
        return v;
    };
    for (const auto& s : ops) {
        g_step = s.step;
        CheckTemplate(s.op, (std::string(s.base) + "_r").c_str(), step, {{Real(1.25)}, {Real(-1)}, {Real(1e20)}});
        CheckTemplate(s.op, (std::string(s.base) + "_c").c_str(), step, {{Cplx(1, -3)}});
        CheckTemplate(s.op, (std::string(s.base) + "_q").c_str(), step, {{Quat(1, -3, 0.1, 7)}});
        CheckTemplate(s.op, (std::string(s.base) + "_v").c_str(), step, {{Vec(1, -3, 0.1)}});
    }
}

// ---------------------------------------------------------------------
// Templates that leave more than their result type's registers, read or
// write the data block, or need code in front of them: run directly.

namespace {

const CodeTemplate* Template(int op, const char* name)
{
    EnsureTemplatesFixedUp();
    const CodeTemplate* t = FindTemplate(op, name);
    EXPECT_TRUE(t != nullptr) << name;
    return t;
}

int Footprint(const std::vector<TValue>& ops)
{
    int n = 0;
    for (const TValue& v : ops)
        n += v.count();
    return n;
}

// Runs prefix + the template with the stack pre-filled as deep as the
// template allows and checks the register and stack discipline; the data
// block keeps what the test wrote into it.
TemplateRun RunDirect(TemplateRunner& runner, const CodeTemplate* t, const std::vector<TValue>& ops,
                      int resultRegisters, const std::vector<uint8_t>& prefix = {})
{
    std::vector<uint8_t> code(prefix);
    code.insert(code.end(), t->code, t->code + t->codeLength);
    TemplateRunOptions options;
    options.fillers = 8 - Footprint(ops) - t->scratchRegisters;
    EXPECT_GE(options.fillers, 0);
    TemplateRun run = runner.Run(code.data(), (int)code.size(), ops, resultRegisters, options, true);
    EXPECT_FALSE(run.stackFault()) << t->name;
    EXPECT_EQ(run.registersAfter, options.fillers + resultRegisters) << t->name;
    EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(options.fillers)) << t->name;
    EXPECT_EQ(run.tagWordAtEnd, 0xFFFF) << t->name;
    EXPECT_EQ(run.controlWord, options.controlWord) << t->name;
    EXPECT_EQ(run.espChange, 0) << t->name;
    EXPECT_EQ(run.ecx, options.ecx);
    EXPECT_EQ(run.edx, options.edx);
    EXPECT_EQ(run.esi, options.esi);
    EXPECT_EQ(run.ebx, options.ebx);
    EXPECT_LE(run.frameBytesWritten, t->frameBytes + (prefix.empty() ? 0 : 128)) << t->name;
    EXPECT_TRUE(run.frameOutsideScratchIntact) << t->name;
    return run;
}

// With one register more in use below the operands the template must
// overflow the stack: its scratchRegisters is not larger than it needs.
void ExpectScratchExact(TemplateRunner& runner, const CodeTemplate* t, const std::vector<TValue>& ops,
                        int resultRegisters)
{
    TemplateRunOptions options;
    options.fillers = 8 - Footprint(ops) - t->scratchRegisters + 1;
    TemplateRun run = runner.Run(t->code, t->codeLength, ops, resultRegisters, options, true);
    EXPECT_TRUE(run.stackFault()) << t->name << ": scratchRegisters " << t->scratchRegisters << " is more than it needs";
}

std::vector<long double> Components(const std::vector<TValue>& values)
{
    std::vector<long double> c;
    for (const TValue& v : values)
        for (int k = 0; k < v.count(); k++)
            c.push_back(v.c[k]);
    return c;
}

template <typename T>
void Put(uint8_t* data, int offset, T value)
{
    memcpy(data + offset, &value, sizeof value);
}

template <typename T>
T Get(const uint8_t* data, int offset)
{
    T value;
    memcpy(&value, data + offset, sizeof value);
    return value;
}

}  // namespace

TEST(ChangeTemplates, OperandsTradePlacesWithTheirRegisters)
{
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    auto make = [](char t, long double base) -> TValue {
        switch (t) {
        case 'r': return Real(base);
        case 'c': return Cplx(base, base + 1);
        case 'v': return Vec(base, base + 1, base + 2);
        default: return Quat(base, base + 1, base + 2, base + 3);
        }
    };
    for (const char* sig : {"rr", "rc", "rq", "cr", "cc", "cq", "qr", "qc", "qq", "vv"}) {
        SCOPED_TRACE(sig);
        const CodeTemplate* t = Template(77, (std::string("change_") + sig).c_str());
        ASSERT_TRUE(t != nullptr);
        TValue a = make(sig[0], 10), b = make(sig[1], 20);
        TemplateRun run = RunDirect(runner, t, {a, b}, a.count() + b.count());
        EXPECT_EQ(run.result, Components({a, b}));   // a now on top, b deepest
    }
}

TEST(OrbitTemplates, OldzReadsTheHistoryWithinItsBounds)
{
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    uint8_t* data = runner.dataBase();
    // Five plane entries (32 bytes: re, im as 80-bit values) and five
    // quaternion entries (64 bytes), count 4 = the last entry written.
    std::vector<uint8_t> history(64 * 8, 0xEE);
    for (int n = 0; n < 5; n++)
        for (int k = 0; k < 4; k++) {
            long double v = n * 10 + k + 0.5L;
            memcpy(&history[64 * n + 16 * k], &v, 10);
        }
    Put<uint32_t>(data, 552, (uint32_t)(uintptr_t)history.data());
    Put<int32_t>(data, 556, 4);

    struct Case { long double index; bool inside; int entry; } cases[] = {
        {0, true, 0}, {2, true, 2}, {4, true, 4}, {3.4, true, 3}, {5, false, 0}, {-1, false, 0},
        {1e12, false, 0}, {NAN, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        // Plane history: entries 32 bytes apart.
        for (int withImag = 0; withImag < 2; withImag++) {
            const CodeTemplate* t = Template(62, withImag ? "oldz_c" : "oldz_r");
            TValue arg = withImag ? Cplx(c.index, 77) : Real(c.index);
            TemplateRun run = RunDirect(runner, t, {arg}, 2);
            long double re = 0, im = 0;
            if (c.inside) {
                memcpy(&re, &history[32 * c.entry], 10);
                memcpy(&im, &history[32 * c.entry + 16], 10);
            }
            EXPECT_EQ(run.result, (std::vector<long double>{c.inside ? re : 0, c.inside ? im : 0}));
        }
        for (int withImag = 0; withImag < 2; withImag++) {
            const CodeTemplate* t = Template(83, withImag ? "QOldz_c" : "QOldz_r");
            TValue arg = withImag ? Cplx(c.index, 77) : Real(c.index);
            TemplateRun run = RunDirect(runner, t, {arg}, 4);
            std::vector<long double> expected(4, 0);
            if (c.inside)
                for (int k = 0; k < 4; k++)
                    expected[k] = c.entry * 10 + k + 0.5L;
            EXPECT_EQ(run.result, expected);
        }
    }
    ExpectScratchExact(runner, Template(62, "oldz_r"), {Real(2)}, 2);
    ExpectScratchExact(runner, Template(83, "QOldz_r"), {Real(2)}, 4);
    ExpectScratchExact(runner, Template(83, "QOldz_c"), {Cplx(2, 0)}, 4);
    // No history at all (the buffer address 0): zero, nothing read.
    Put<uint32_t>(data, 552, 0);
    TemplateRun run = RunDirect(runner, Template(62, "oldz_r"), {Real(1)}, 2);
    EXPECT_EQ(run.result, (std::vector<long double>{0, 0}));
    // A count below zero (nothing stored yet) gives zero too.
    Put<uint32_t>(data, 552, (uint32_t)(uintptr_t)history.data());
    Put<int32_t>(data, 556, -1);
    run = RunDirect(runner, Template(83, "QOldz_r"), {Real(0)}, 4);
    EXPECT_EQ(run.result, (std::vector<long double>{0, 0, 0, 0}));
}

TEST(RandomTemplates, SrandRandAndRandomShareOneGenerator)
{
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    uint8_t* data = runner.dataBase();
    auto next = [](uint32_t s) { return s * 1664525u + 1013904223u; };

    // srand(x) leaves x and sets the state to the low 32 bits of trunc(x).
    struct { long double x; uint32_t state; } seeds[] = {
        {7.9, 7}, {-7.9, (uint32_t)-7}, {4294967296.0L + 5, 5}, {-0.5, 0},
    };
    for (const auto& s : seeds) {
        Put<uint32_t>(data, 1100, 0xDEADBEEF);
        TemplateRun run = RunDirect(runner, Template(41, "srand"), {Real(s.x)}, 1);
        EXPECT_EQ(run.result, std::vector<long double>{s.x});
        EXPECT_EQ(Get<uint32_t>(data, 1100), s.state);
    }
    ExpectScratchExact(runner, Template(41, "srand"), {Real(1)}, 1);
    // rand drops its operand, advances the state and gives state / 2^31.
    Put<uint32_t>(data, 1100, 7);
    uint32_t state = 7;
    for (int i = 0; i < 3; i++) {
        state = next(state);
        TemplateRun run = RunDirect(runner, Template(42, "rand"), {Cplx(123, 456)}, 1);
        EXPECT_EQ(run.result, std::vector<long double>{(long double)(int32_t)state / 2147483648.0L});
        EXPECT_EQ(Get<uint32_t>(data, 1100), state);
        EXPECT_GE(run.result[0], -1);
        EXPECT_LT(run.result[0], 1);
    }
    // random(x): one step from trunc(x), an int; no state involved.
    CheckTemplate(114, "random",
                  [](const std::vector<TValue>& o) {
                      uint32_t s = (uint32_t)(int64_t)truncl(o[0].c[0]);
                      return Int((int32_t)(s * 1664525u + 1013904223u));
                  },
                  {{Real(0)}, {Real(1)}, {Real(-1.5)}, {Real(2147483647)}, {Real(123456789.75)}});
}

// ---------------------------------------------------------------------
// Colours: channels 0..1, hue in sixths of the circle.

namespace {

struct Hsl {
    long double h, s, l;
};

// The unit HSL conversions of the colour models.
Hsl RgbToHsl(long double r, long double g, long double b)
{
    long double mx = fmaxl(r, fmaxl(g, b)), mn = fminl(r, fminl(g, b)), delta = mx - mn, sum = mx + mn;
    Hsl out = {0, 0, sum / 2};
    if (mx == mn)
        return out;
    if (r == mx)
        out.h = (g - b) / delta;
    else if (g != mx)
        out.h = (r - g) / delta + 4;
    else
        out.h = (b - r) / delta + 2;
    if (out.h < 0)
        out.h += 6;
    if (sum < 1)
        out.s = sum <= 0 ? 0 : delta / sum;
    else
        out.s = 2 - sum > 0 ? delta / (2 - sum) : 1;
    return out;
}

TValue HslToRgb(long double h, long double s, long double l, long double alpha)
{
    h -= 6 * floorl(h / 6);
    if (s == 0)
        return Colour(l, l, l, alpha);
    long double m2 = l <= 0.5L ? l * (1 + s) : l + s - l * s;
    if (m2 < 0)
        return Colour(0, 0, 0, alpha);
    long double m1 = 2 * l - m2;
    auto channel = [&](long double x) {
        if (x < 1)
            return m1 + (m2 - m1) * x;
        if (x < 3)
            return m2;
        if (x < 4)
            return m1 + (m2 - m1) * (4 - x);
        return m1;
    };
    long double xr = h + 2, xb = h - 2;
    if (xr > 6)
        xr -= 6;
    if (xb < 0)
        xb += 6;
    return Colour(channel(xr), channel(h), channel(xb), alpha);
}

const TemplateTolerance kColourTolerance = Tol(1e-15, 1e-15);

}  // namespace

TEST(ColourTemplates, BuildAndTakeApart)
{
    CheckTemplate(103, "createRGB", [](const std::vector<TValue>& o) { return Colour(o[0].c[0], o[1].c[0], o[2].c[0], 1); },
                  {{Real(0.25), Real(0.5), Real(0.75)}});
    CheckTemplate(104, "createRGBA",
                  [](const std::vector<TValue>& o) { return Colour(o[0].c[0], o[1].c[0], o[2].c[0], o[3].c[0]); },
                  {{Real(0.25), Real(0.5), Real(0.75), Real(0.125)}});
    const std::vector<std::vector<TValue>> hsl = {
        {Real(0), Real(1), Real(0.5)}, {Real(2), Real(1), Real(0.5)}, {Real(4), Real(1), Real(0.25)},
        {Real(0.5), Real(0.5), Real(0.75)}, {Real(5.5), Real(0.3), Real(0.6)}, {Real(-1), Real(1), Real(0.5)},
        {Real(13), Real(0.8), Real(0.4)}, {Real(3), Real(0), Real(0.3)},
    };
    CheckTemplate(105, "createHSL",
                  [](const std::vector<TValue>& o) { return HslToRgb(o[0].c[0], o[1].c[0], o[2].c[0], 1); }, hsl, kColourTolerance);
    std::vector<std::vector<TValue>> hsla;
    for (auto row : hsl) {
        row.push_back(Real(0.375));
        hsla.push_back(row);
    }
    CheckTemplate(106, "createHSLA",
                  [](const std::vector<TValue>& o) { return HslToRgb(o[0].c[0], o[1].c[0], o[2].c[0], o[3].c[0]); }, hsla,
                  kColourTolerance);
    const std::vector<std::vector<TValue>> colours = {
        {Colour(1, 0, 0, 0.5)}, {Colour(0, 1, 0, 1)}, {Colour(0, 0, 1, 0)}, {Colour(0.2, 0.4, 0.6, 0.8)},
        {Colour(0.9, 0.1, 0.5, 1)}, {Colour(0.5, 0.5, 0.5, 1)}, {Colour(0.7, 0.7, 0.2, 1)}, {Colour(0, 0, 0, 1)},
    };
    CheckTemplate(107, "getRed", [](const std::vector<TValue>& o) { return Real(o[0].c[0]); }, colours);
    CheckTemplate(108, "getGreen", [](const std::vector<TValue>& o) { return Real(o[0].c[1]); }, colours);
    CheckTemplate(109, "getBlue", [](const std::vector<TValue>& o) { return Real(o[0].c[2]); }, colours);
    CheckTemplate(113, "getAlpha", [](const std::vector<TValue>& o) { return Real(o[0].c[3]); }, colours);
    CheckTemplate(110, "getHue", [](const std::vector<TValue>& o) { return Real(RgbToHsl(o[0].c[0], o[0].c[1], o[0].c[2]).h); },
                  colours, kColourTolerance);
    CheckTemplate(111, "getSat", [](const std::vector<TValue>& o) { return Real(RgbToHsl(o[0].c[0], o[0].c[1], o[0].c[2]).s); },
                  colours, kColourTolerance);
    CheckTemplate(112, "getLum", [](const std::vector<TValue>& o) { return Real(RgbToHsl(o[0].c[0], o[0].c[1], o[0].c[2]).l); },
                  colours, kColourTolerance);
    // A colour taken apart into hue, saturation and lightness and built
    // again is the same colour.
    for (const auto& row : colours) {
        Hsl h = RgbToHsl(row[0].c[0], row[0].c[1], row[0].c[2]);
        TValue back = HslToRgb(h.h, h.s, h.l, row[0].c[3]);
        for (int k = 0; k < 4; k++)
            EXPECT_NEAR((double)back.c[k], (double)row[0].c[k], 1e-15);
    }
}

namespace {

long double MergeChannel(int op, long double s, long double d)
{
    switch (op) {
    case 118: return s;
    case 119: return s * d;
    case 120: return 1 - (1 - s) * (1 - d);
    case 121: return d < 0.5L ? 2 * d * s : 1 - 2 * (1 - d) * (1 - s);
    case 122: return s < 0.5L ? 2 * s * d : 1 - 2 * (1 - s) * (1 - d);
    case 123: return s < 0.5L ? (s + 0.5L) * d : 1 - (1.5L - s) * (1 - d);
    case 124: return fminl(s, d);
    case 125: return fmaxl(s, d);
    case 126: return fabsl(d - s);
    case 131: return fminl(1, s + d);
    case 132: return fmaxl(0, d - s);
    }
    return NAN;
}

int g_mergeOp;

// merge(bottom d, top s): per channel, or through HSL; the alpha of s.
TValue Merged(const std::vector<TValue>& o)
{
    const TValue& d = o[0];
    const TValue& s = o[1];
    int op = g_mergeOp;
    if (op >= 134)
        return Colour(op == 134 ? s.c[0] : d.c[0], op == 135 ? s.c[1] : d.c[1], op == 136 ? s.c[2] : d.c[2], s.c[3]);
    if ((op >= 127 && op <= 130) || op == 133) {
        Hsl hs = RgbToHsl(s.c[0], s.c[1], s.c[2]), hd = RgbToHsl(d.c[0], d.c[1], d.c[2]), out;
        switch (op) {
        case 127: out = {hs.h, hd.s, hd.l}; break;
        case 128: out = {hd.h, hs.s, hd.l}; break;
        case 129: out = {hs.h, hs.s, hd.l}; break;
        case 130: out = {hd.h, hd.s, hs.l}; break;
        default:
            out.h = hd.s == 0 ? hs.h : hs.s != 0 ? hd.h + hs.h : hd.h;
            if (out.h >= 6)
                out.h -= 6;
            out.s = fminl(1, fmaxl(0, hd.s + hs.s - 0.5L));
            out.l = fminl(1, fmaxl(0, hd.l + hs.l - 0.5L));
        }
        return HslToRgb(out.h, out.s, out.l, s.c[3]);
    }
    return Colour(MergeChannel(op, s.c[0], d.c[0]), MergeChannel(op, s.c[1], d.c[1]), MergeChannel(op, s.c[2], d.c[2]), s.c[3]);
}

}  // namespace

TEST(ColourTemplates, MergeModes)
{
    // Channel values on both sides of one half, equal channels, greys.
    const std::vector<std::vector<TValue>> pairs = {
        {Colour(0.2, 0.6, 0.9, 1), Colour(0.7, 0.3, 0.5, 0.5)},
        {Colour(0.8, 0.1, 0.4, 0.25), Colour(0.1, 0.9, 0.55, 1)},
        {Colour(0.5, 0.5, 0.5, 1), Colour(0.25, 0.25, 0.25, 0.75)},
        {Colour(0.3, 0.7, 0.2, 1), Colour(0.6, 0.6, 0.6, 0)},
        {Colour(0.9, 0.9, 0.1, 1), Colour(0.2, 0.8, 0.9, 1)},
    };
    const char* names[] = {"mergenormal", "mergemultiply", "mergescreen", "mergeoverlay", "mergehardlight",
                           "mergesoftlight", "mergedarken", "mergelighten", "mergedifference", "mergehue",
                           "mergesaturation", "mergecolor", "mergeluminance", "mergeaddition", "mergesubtraction",
                           "mergehsladdition", "mergered", "mergegreen", "mergeblue"};
    for (int op = 118; op <= 136; op++) {
        g_mergeOp = op;
        CheckTemplate(op, names[op - 118], Merged, pairs, kColourTolerance);
    }
}

TEST(ColourTemplates, BlendAndCompose)
{
    // The code in front of these templates stores the weight w at [EBP-16]
    // and 1 - w at [EBP-32] (doubles) and takes it off the stack; the
    // prefix here writes them the same way from two constants.
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    auto prefix = [](double w) {
        double rest = 1.0 - w;
        std::vector<uint8_t> p;
        auto store = [&](double v, uint8_t disp) {
            uint32_t words[2];
            memcpy(words, &v, 8);
            for (int i = 0; i < 2; i++) {
                uint8_t bytes[] = {0xC7, 0x45, (uint8_t)(disp + 4 * i)};   // mov dword [ebp+disp], imm32
                p.insert(p.end(), bytes, bytes + 3);
                p.insert(p.end(), (uint8_t*)&words[i], (uint8_t*)&words[i] + 4);
            }
        };
        store(w, 0xF0);
        store(rest, 0xE0);
        return p;
    };
    TValue c1 = Colour(0.2, 0.4, 0.6, 0.8), c2 = Colour(1, 0.5, 0, 0.5);
    for (double w : {0.0, 0.25, 1.0}) {
        SCOPED_TRACE(w);
        TemplateRun run = RunDirect(runner, Template(116, "blend"), {c1, c2}, 4, prefix(w));
        for (int k = 0; k < 4; k++)
            EXPECT_NEAR((double)run.result[k], (double)(c1.c[k] * (1 - w) + c2.c[k] * w), 1e-15);
        run = RunDirect(runner, Template(117, "compose"), {c1, c2}, 4, prefix(w));
        long double t = w * c2.c[3];
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR((double)run.result[k], (double)(c1.c[k] * (1 - t) + c2.c[k] * t), 1e-15);
        EXPECT_NEAR((double)run.result[3], (double)(c1.c[3] + t * (1 - c1.c[3])), 1e-15);
    }
}

TEST(ColourTemplates, GradientInterpolatesTheColourTable)
{
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    uint8_t* data = runner.dataBase();
    // Entries {blue, green, red, reserved}; red = index, green = 2 index.
    std::vector<uint8_t> table(252 * 4);
    for (int i = 0; i < 252; i++) {
        table[4 * i] = (uint8_t)(255 - i);
        table[4 * i + 1] = (uint8_t)(2 * i);
        table[4 * i + 2] = (uint8_t)i;
    }
    Put<uint32_t>(data, 1072, (uint32_t)(uintptr_t)table.data());
    const long double unit = (float)(1.0 / 255);
    auto expected = [&](long double p) {
        p = fmodl(p, 252);
        if (p < 0)
            p += 252;
        int i = (int)floorl(p);
        long double f = p - i;
        int j = i == 251 ? 0 : i + 1;
        TValue c = Colour(0, 0, 0, 1);
        for (int ch = 0; ch < 3; ch++) {
            long double a = table[4 * i + 2 - ch], b = table[4 * j + 2 - ch];
            c.c[ch] = (a + (b - a) * f) * unit;
        }
        return c;
    };
    struct { const char* name; int offsetField; float offset; } kinds[] = {
        {"gradient", 1020, 0}, {"gradient", 1020, 10.5f}, {"gradient_inside", 1052, 3},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        Put<float>(data, 1020, 0);
        Put<float>(data, 1052, 0);
        Put<float>(data, k.offsetField, k.offset);
        int op = strcmp(k.name, "gradient") == 0 ? 115 : 137;
        for (long double x : {0.0L, 0.5L, 0.1234L, 1.0L, 2.75L, -0.25L, 250.5L / 252, 1e12L}) {
            SCOPED_TRACE((double)x);
            TemplateRun run = RunDirect(runner, Template(op, k.name), {Real(x)}, 4);
            TValue e = expected(x * 252 + k.offset);
            EXPECT_TRUE(ValueNear(run.result, e, Tol(1e-15, 1e-15)))
                << ComponentsText(run.result) << " expected " << TValueText(e);
        }
    }
    ExpectScratchExact(runner, Template(115, "gradient"), {Real(0.5)}, 4);
    ExpectScratchExact(runner, Template(137, "gradient_inside"), {Real(0.5)}, 4);
    // NaN, and no colour table at all: black, nothing read.
    TemplateRun run = RunDirect(runner, Template(115, "gradient"), {Real(NAN)}, 4);
    EXPECT_EQ(run.result.size(), 4u);
    EXPECT_EQ(run.result[3], 1);
    Put<uint32_t>(data, 1072, 0);
    run = RunDirect(runner, Template(115, "gradient"), {Real(0.5)}, 4);
    EXPECT_EQ(run.result, (std::vector<long double>{0, 0, 0, 1}));
}

TEST(ArrayTemplates, UboundGivesTheHighestIndexOfADimension)
{
    // The array's load pushed the block address; ubound pops it.
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    alignas(4) uint8_t block[64 + 8 * 5 * 7 * 9] = {};
    Put<int32_t>(block, 8, 3);          // three dimensions, declared 5, 7, 9
    Put<int32_t>(block, 12, 9);         // the sizes in reverse order
    Put<int32_t>(block, 16, 7);
    Put<int32_t>(block, 20, 5);
    auto push = [](const void* address) {
        std::vector<uint8_t> p = {0x68};   // push imm32
        uint32_t a = (uint32_t)(uintptr_t)address;
        p.insert(p.end(), (uint8_t*)&a, (uint8_t*)&a + 4);
        return p;
    };
    struct { long double dimension; long double expected; } cases[] = {
        {1, 4}, {2, 6}, {3, 8}, {0, -1}, {4, -1}, {-2, -1}, {1e10, -1},
    };
    for (const auto& c : cases) {
        TemplateRun run = RunDirect(runner, Template(138, "ubound"), {Real(c.dimension)}, 1, push(block));
        EXPECT_EQ(run.result, std::vector<long double>{c.expected}) << (double)c.dimension;
    }
    TemplateRun run = RunDirect(runner, Template(138, "ubound"), {Real(1)}, 1, push(nullptr));
    EXPECT_EQ(run.result, std::vector<long double>{-1});
}
