#!/usr/bin/env python3
"""Writes tests/compiler/TemplateReferenceValues.h: the expected results of
the machine-code templates of the transcendental operations, evaluated
with mpmath at 200 bits and rounded to long double.

The C runtime's own long double functions are not good enough as
references (sinl(pi) off in the fifth digit, casinl and cacosl overflowing
far from the origin, powl and clogl losing digits near 1), so the template
tests compare with these values instead.

Every case is (template name, operands); an operand is a float (real) or a
tuple of floats (complex, quaternion). Inputs are doubles and are written
exactly (hex literals). A zero component of an argument that lies on a
branch cut puts the argument on the side of the zero's sign, as C99 does.

Run: python3 tools/template_references.py   (needs mpmath)
"""
import math
import os

import mpmath
from mpmath import mp, mpf, mpc

mp.prec = 200

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "compiler",
                   "TemplateReferenceValues.h")

INF = float("inf")
NAN = float("nan")
PI_D = math.pi
TINY = mpf(10) ** -60


def nan():
    return mpf("nan")


def on_real_cut(re, im, test):
    return im == 0 and test(re)


def side(z, cut=lambda re, im: im == 0 and re < 0):
    """The complex argument; on the inside of a branch cut (cut(re, im)) its
    zero part is moved off the cut by a relatively tiny amount of the zero's
    sign, the side C99 takes."""
    re, im = z
    if not cut(re, im):
        return mpc(re, im)
    size = TINY * max(abs(mpf(re)), abs(mpf(im)))
    r = mpf(re) if re != 0 else math.copysign(1, re) * size
    i = mpf(im) if im != 0 else math.copysign(1, im) * size
    return mpc(r, i)


NO_CUT = lambda re, im: False
ASIN_CUT = lambda re, im: im == 0 and abs(re) > 1
ATAN_CUT = lambda re, im: re == 0 and abs(im) > 1
LOG_CUT = lambda re, im: im == 0 and re < 0


def real_fn(f, domain=None):
    def g(x):
        if math.isnan(x) or (domain and not domain(x)):
            return [nan()]
        return [f(mpf(x))]
    return g


def complex_fn(f, cut=NO_CUT):
    def g(z):
        w = f(side(z, cut))
        return [w.real, w.imag]
    return g


# --- real functions with the C99 special values ---------------------------

def sin_r(x):
    return [nan()] if math.isinf(x) or math.isnan(x) else [mp.sin(x)]


def cos_r(x):
    return [nan()] if math.isinf(x) or math.isnan(x) else [mp.cos(x)]


def tan_r(x):
    return [nan()] if math.isinf(x) or math.isnan(x) else [mp.tan(x)]


def atan_r(x):
    if math.isnan(x):
        return [nan()]
    return [mp.atan(x)]


def ln_r(x):
    if math.isnan(x) or x < 0:
        return [nan()]
    if x == 0:
        return [mpf("-inf")]
    return [mp.log(x)]


def exp_r(x):
    if math.isnan(x):
        return [nan()]
    if x == -INF:
        return [mpf(0)]
    return [mp.exp(x)]


def realpow(a, b):
    """C99 pow."""
    if b == 0 or a == 1:
        return mpf(1)
    if math.isnan(a) or math.isnan(b):
        return nan()
    if math.isinf(b):
        if abs(a) == 1:
            return mpf(1)
        return mpf("inf") if (abs(a) > 1) == (b > 0) else mpf(0)
    integer = b == math.floor(b)
    odd = integer and abs(b) < 2 ** 53 and int(b) % 2 == 1
    negative = math.copysign(1, a) < 0
    if a == 0:
        return (mpf("-inf") if negative and odd else mpf("inf")) if b < 0 else mpf(0)
    if negative and not integer:
        return nan()
    m = mp.power(abs(mpf(a)), b)
    return -m if negative and odd else m


# --- complex and quaternion helpers ----------------------------------------

def qmul(x, y):
    a0, a1, a2, a3 = x
    b0, b1, b2, b3 = y
    return [a0 * b0 - a1 * b1 - a2 * b2 - a3 * b3,
            a0 * b1 + a1 * b0 + a2 * b3 - a3 * b2,
            a0 * b2 - a1 * b3 + a2 * b0 + a3 * b1,
            a0 * b3 + a1 * b2 - a2 * b1 + a3 * b0]


def qexp(q):
    a, b, c, d = [mpf(v) for v in q]
    t = mp.sqrt(b * b + c * c + d * d)
    e = mp.exp(a)
    f = e if t == 0 else e * mp.sin(t) / t
    return [e * mp.cos(t), f * b, f * c, f * d]


def qln(q):
    a, b, c, d = [mpf(v) for v in q]
    t = mp.sqrt(b * b + c * c + d * d)
    n = a * a + t * t
    re = mpf("-inf") if n == 0 else mp.log(n) / 2
    if t == 0:
        if b == 0 and a < 0:
            ang = math.copysign(1, float(q[1])) * mp.pi
        else:
            ang = mp.atan2(b, a)
        return [re, ang, c, d]
    f = mp.atan2(t, a) / t
    return [re, f * b, f * c, f * d]


def cpow_real(z, b):
    """z ^ b for a real b: exact products for 1, 2 and 3, the real power
    for a positive real base, else exp(b ln z)."""
    re, im = z
    if b == 0:
        return [mpf(1), mpf(0)]
    if b in (1, 2, 3):
        w = mpc(re, im) ** int(b)
        return [w.real, w.imag]
    if im == 0 and re > 0:
        return [realpow(re, b), mpf(im)]
    if re == 0 and im == 0:
        return [mpf(0), mpf(0)]
    w = mp.exp(b * mp.log(side(z)))
    return [w.real, w.imag]


def potenz_rc(a, z):
    z0, z1 = z
    if z1 == 0 and (math.copysign(1, a) > 0 or z0 == math.floor(z0)):
        return [realpow(a, z0), mpf(0)]
    if a == 0 and z0 > 0:
        return [mpf(0), mpf(0)]
    ln = mpc(mp.log(abs(mpf(a))), mp.pi if math.copysign(1, a) < 0 else 0)
    w = mp.exp(mpc(z0, z1) * ln)
    return [w.real, w.imag]


def potenz_cc(z, w):
    if w[1] == 0:
        return cpow_real(z, w[0])
    if z[0] == 0 and z[1] == 0 and w[0] > 0:
        return [mpf(0), mpf(0)]
    r = mp.exp(mpc(*w) * mp.log(side(z)))
    return [r.real, r.imag]


def potenz_qq(q, p):
    if p[1] == 0 and p[2] == 0 and p[3] == 0 and p[0] in (0, 1, 2, 3):
        r = [mpf(1), mpf(0), mpf(0), mpf(0)]
        for _ in range(int(p[0])):
            r = qmul(r, [mpf(v) for v in q])
        return r
    if all(v == 0 for v in q):
        return [mpf(0)] * 4
    return qexp(qmul(qln(q), [mpf(v) for v in p]))


FUNCTIONS = {
    "sin_r": sin_r, "cos_r": cos_r, "tan_r": tan_r,
    "sin_c": complex_fn(mp.sin), "cos_c": complex_fn(mp.cos), "tan_c": complex_fn(mp.tan),
    "asin_r": real_fn(mp.asin, lambda x: abs(x) <= 1), "acos_r": real_fn(mp.acos, lambda x: abs(x) <= 1),
    "atan_r": atan_r,
    "asin_c": complex_fn(mp.asin, ASIN_CUT), "acos_c": complex_fn(mp.acos, ASIN_CUT),
    "atan_c": complex_fn(mp.atan, ATAN_CUT),
    "ln_r": ln_r, "exp_r": exp_r,
    "ln_c": lambda z: [mpf("-inf"), mpf(0)] if z == (0, 0) else complex_fn(mp.log, LOG_CUT)(z),
    "exp_c": complex_fn(mp.exp),
    "ln_q": qln, "exp_q": qexp,
    "potenz_rr": lambda a, b: [realpow(a, b)],
    "potenz_rc": potenz_rc,
    "potenz_cr": cpow_real,
    "potenz_cc": potenz_cc,
    "potenz_qq": potenz_qq,
}

# --- the cases ----------------------------------------------------------

TRIG_REALS = [0.0, -0.0, 0.5, -0.7, 0.75, 1.0, 2.0, PI_D, -PI_D / 2, PI_D / 4, 10.0, -100.0, 12345.678,
              1e5, 1e9, -1e9, 3e-300, NAN, INF, PI_D / 2, 3 * PI_D / 2, 1e6 * PI_D, 1073741823.0]
TRIG_COMPLEX = [(0.0, 0.0), (1.0, 2.0), (-1.5, 0.3), (0.5, -1e-10), (3.0, 20.0), (-2.0, -30.0), (100.0, 1.0),
                (1e-10, 1e-10), (0.0, 1.0), (PI_D, 0.5), (2.0, 300.0), (-0.5, -1000.0), (1e6, 0.25)]
TAN_EXTRA = [(1.0, 100.0), (-2.0, -1000.0), (0.5, 10000.0), (PI_D / 2, 0.0), (PI_D / 2, 1e-8), (0.3, 64.5),
             (0.3, 63.5)]
INVERSE_REALS = [0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 0.999999999, 1e-20, 0.7, 1.5, -2.0, NAN]
INVERSE_COMPLEX = [(0.0, 0.0), (-0.0, -0.0), (0.5, 1e-10), (0.5, -1e-10), (2.0, 0.0), (2.0, -0.0), (-2.0, 0.0),
                   (-2.0, -0.0), (1.0, 0.0), (-1.0, 0.0), (0.0, 1.0), (0.0, -2.0), (-0.0, 2.0), (1e10, 1.0),
                   (-1e10, 0.0), (1e-10, 1e-10), (0.9, 0.1), (1.1, -0.1), (0.7, 0.7), (3.0, 4.0), (-0.3, 2e-5),
                   (1 + 1e-10, 1e-12), (1 - 1e-10, -1e-12), (1e300, -1e300), (-1e-300, 5.0), (0.25, -3.0)]
ATAN_COMPLEX = [(0.0, 0.0), (-0.0, -0.0), (0.5, 1e-10), (0.0, 2.0), (-0.0, 2.0), (0.0, -2.0), (-0.0, -2.0),
                (1.0, 1.0), (1e10, 1.0), (1e-10, 1e-10), (0.0, 0.5), (0.3, -0.999), (2.0, 0.0), (-3.0, 4.0),
                (1e300, 1.0), (0.6, 0.8)]

CASES = []


def add(name, rows):
    for row in rows:
        CASES.append((name, row if isinstance(row, list) else [row]))


for f in ("sin_r", "cos_r", "tan_r"):
    add(f, TRIG_REALS)
for f in ("sin_c", "cos_c", "tan_c"):
    add(f, TRIG_COMPLEX)
add("tan_c", TAN_EXTRA)
for f in ("asin_r", "acos_r"):
    add(f, INVERSE_REALS)
add("atan_r", [0.0, -0.0, 1.0, -1.0, 1e-20, 1e20, -3.5, INF, -INF, NAN])
for f in ("asin_c", "acos_c"):
    add(f, INVERSE_COMPLEX)
add("atan_c", ATAN_COMPLEX)
add("ln_r", [1.0, 0.5, 2.0, 2.718281828459045, 1e-300, 1e300, 1 + 2 ** -52, 0.0, -0.0, -1.0, INF, NAN])
add("exp_r", [0.0, -0.0, 1.0, -1.0, 1e-10, -1e-18, 0.5, 700.0, -700.0, 1000.0, -1000.0, 11000.0, -11000.0,
              20000.0, -20000.0, INF, -INF, NAN])
add("ln_c", [(1.0, 0.0), (0.0, 0.0), (-1.0, 0.0), (-1.0, -0.0), (0.6, 0.8), (1 + 1e-10, 0.0), (1e-300, 0.0),
             (1e300, -1e300), (-2.0, 3.0), (0.0, -1.0), (0.7071067811865476, 0.7071067811865475),
             (1 - 1e-12, 1e-7), (0.5, 0.5), (1.2, -0.3), (-1e-5, -0.0)])
add("exp_c", [(0.0, 0.0), (1.0, 1.0), (-1.0, 3.0), (700.0, 1.0), (1e-10, PI_D), (2.0, 1e9), (0.0, -2.0),
              (-0.0, -0.0), (-1000.0, 0.5)])
add("ln_q", [(1.0, 0.0, 0.0, 0.0), (0.0, 1.0, 0.0, 0.0), (1.0, 2.0, 3.0, 4.0), (-1.0, 0.0, 0.0, 0.0),
             (0.5, -0.3, 0.2, 0.1), (1 + 1e-10, 1e-12, 0.0, 0.0), (-2.0, 1e-20, 0.0, 0.0),
             (1e300, 1e300, 0.0, 1.0), (0.9, 0.1, -0.2, 0.3)])
add("exp_q", [(0.0, 0.0, 0.0, 0.0), (1.0, 2.0, 3.0, 4.0), (0.0, PI_D, 0.0, 0.0), (-2.0, 0.1, -0.2, 0.3),
              (5.0, 1e-10, 0.0, 0.0), (0.5, 0.0, 0.0, -1e5)])
add("potenz_rr", [[2.0, 3.0], [2.0, 2.0], [-2.0, 3.0], [-2.0, 2.0], [-2.0, 0.5], [0.0, 2.0], [0.0, -1.0],
                  [-0.0, 3.0], [-0.0, -1.0], [5.0, 0.0], [NAN, 0.0], [1.0, NAN], [2.0, 0.5], [10.0, -3.0],
                  [1e10, 30.0], [1.0000001, 1e9], [3.0, 1.0], [-8.0, 1.0 / 3], [2.0, 1024.0], [2.0, -1074.0],
                  [-3.0, -5.0], [0.5, INF], [7.0, -INF], [1.5, 2.5], [1e-300, -0.5]])
add("potenz_rc", [[2.0, (3.0, 0.0)], [-2.0, (3.0, 0.0)], [-2.0, (0.5, 0.0)], [2.0, (1.0, 1.0)],
                  [0.5, (-2.0, 3.0)], [0.0, (2.0, 1.0)], [-1.0, (0.0, 1.0)], [10.0, (0.0, 1.0)],
                  [4.0, (0.5, -0.0)], [-0.0, (2.0, 0.0)], [-3.0, (1.5, -2.0)]])
add("potenz_cr", [[(1.0, 1.0), 2.0], [(1.0, 1.0), 3.0], [(2.0, 0.0), 0.5], [(-4.0, 0.0), 0.5],
                  [(0.6, 0.8), 2.5], [(3.0, -4.0), -1.5], [(0.0, 0.0), 2.0], [(0.0, 0.0), 0.5],
                  [(1e100, 1e100), 3.0], [(2.0, 3.0), 1.0], [(2.0, 3.0), 0.0], [(-1.0, 0.0), 0.25],
                  [(2.0, -0.0), 0.5], [(-1.0, -0.0), 0.5], [(1e-5, -3.0), 7.25]])
add("potenz_cc", [[(1.0, 1.0), (1.0, 1.0)], [(2.0, 0.0), (0.0, 1.0)], [(-1.0, 0.0), (0.0, 1.0)],
                  [(0.5, -0.5), (2.0, -3.0)], [(0.0, 0.0), (1.0, 1.0)], [(3.0, 4.0), (2.0, 0.0)],
                  [(1e10, 0.0), (0.5, 0.5)], [(3.0, 4.0), (-0.5, 0.0)], [(0.6, 0.8), (3.0, 2.0)]])
Q1 = (0.5, -1.0, 2.0, 0.25)
add("potenz_qq", [[Q1, (2.0, 0.0, 0.0, 0.0)], [Q1, (3.0, 0.0, 0.0, 0.0)], [Q1, (1.0, 0.0, 0.0, 0.0)],
                  [Q1, (0.0, 0.0, 0.0, 0.0)], [(0.0, 0.0, 0.0, 0.0), (2.5, 0.0, 0.0, 0.0)],
                  [Q1, (0.5, 0.0, 0.0, 0.0)], [Q1, (1.0, 2.0, -1.0, 0.5)],
                  [(-2.0, 0.0, 0.0, 0.0), (0.5, 0.0, 0.0, 0.0)], [(1.0, 1e-8, 0.0, 0.0), (-1.5, 0.0, 0.0, 0.0)]])


# --- output ------------------------------------------------------------------

LDBL_MAX = mpf("1.18973149535723176502e4932")
LDBL_TINY = mpf("3.6e-4951")


def literal_in(x):
    if math.isnan(x):
        return "NAN"
    if math.isinf(x):
        return "INFINITY" if x > 0 else "-INFINITY"
    if x == 0:
        return "-0.0L" if math.copysign(1, x) < 0 else "0.0L"
    return float(x).hex() + "L"


def literal_out(v):
    v = mpf(v)
    if mpmath.isnan(v):
        return "NAN"
    if mpmath.isinf(v) or abs(v) > LDBL_MAX:
        return "INFINITY" if v > 0 else "-INFINITY"
    if abs(v) < LDBL_TINY:
        return "0.0L"
    return mpmath.nstr(v, 22, min_fixed=1, max_fixed=0, strip_zeros=False) + "L"


def flatten(operands):
    flat = []
    for op in operands:
        flat.extend(op if isinstance(op, tuple) else [op])
    return flat


def main():
    lines = [
        "// The expected results of the template tests, evaluated at 200 bits and",
        "// rounded to long double. Generated by tools/template_references.py; do",
        "// not edit by hand.",
        "#pragma once",
        "",
        "#include <math.h>",
        "",
        "struct TemplateReferenceRow {",
        "    const char* name;          // template",
        "    int operandComponents;     // components of all operands, first operand first",
        "    long double operands[8];",
        "    int resultComponents;",
        "    long double result[4];",
        "};",
        "",
        "static const TemplateReferenceRow TEMPLATE_REFERENCE_ROWS[] = {",
    ]
    for name, operands in CASES:
        flat = flatten(operands)
        args = [op if isinstance(op, tuple) else op for op in operands]
        result = FUNCTIONS[name](*args)
        lines.append('    {"%s", %d, {%s}, %d, {%s}},' % (
            name, len(flat), ", ".join(literal_in(x) for x in flat), len(result),
            ", ".join(literal_out(v) for v in result)))
    lines.append("};")
    lines.append("")
    with open(OUT, "w") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
