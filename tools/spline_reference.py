#!/usr/bin/env python3
"""Writes tests/animation/SplineReferenceValues.h: values of the four spline
kinds on one set of knots, computed the plain way with mpmath at 100 digits.

The cubic splines solve their whole linear system (not the tridiagonal
elimination the program uses); the Akima and Hermite curves are evaluated
through the cubic Hermite basis from their knot slopes (not from stored
polynomial coefficients). Outside the knots every kind keeps the nearest
knot's value.

Run: python3 tools/spline_reference.py   (needs mpmath)
"""
import os
from mpmath import mp, mpf, matrix, lu_solve

mp.dps = 100

X = [mpf(v) for v in ("0", "1", "2.5", "4", "6")]
Y = [mpf(v) for v in ("0", "2", "1", "3", "-1")]
T = ["-1", "0", "0.5", "1", "1.7", "2.5", "3.2", "5", "5.99", "6", "7"]
N = len(X) - 1


def secants():
    return [(Y[i + 1] - Y[i]) / (X[i + 1] - X[i]) for i in range(N)]


def second_derivatives(clamped):
    h = [X[i + 1] - X[i] for i in range(N)]
    s = secants()
    A = matrix(N + 1, N + 1)
    b = matrix(N + 1, 1)
    for i in range(1, N):
        A[i, i - 1] = h[i - 1]
        A[i, i] = 2 * (h[i - 1] + h[i])
        A[i, i + 1] = h[i]
        b[i] = 6 * (s[i] - s[i - 1])
    if clamped:
        A[0, 0], A[0, 1], b[0] = 2 * h[0], h[0], 6 * s[0]
        A[N, N - 1], A[N, N], b[N] = h[N - 1], 2 * h[N - 1], -6 * s[N - 1]
    else:
        A[0, 0], A[N, N] = 1, 1
    return lu_solve(A, b)


def segment(t):
    for j in range(1, N + 1):
        if X[j - 1] <= t <= X[j]:
            return j - 1
    return None


def cubic(M, t):
    i = segment(t)
    if i is None:
        return Y[0] if t < X[0] else Y[N]
    h = X[i + 1] - X[i]
    A, B = X[i + 1] - t, t - X[i]
    return (M[i] * A**3 + M[i + 1] * B**3) / (6 * h) + (Y[i] / h - h * M[i] / 6) * A \
        + (Y[i + 1] / h - h * M[i + 1] / 6) * B


def hermite_basis(slopes, t):
    i = segment(t)
    if i is None:
        return Y[0] if t < X[0] else Y[N]
    h = X[i + 1] - X[i]
    u = (t - X[i]) / h
    return (2 * u**3 - 3 * u**2 + 1) * Y[i] + (u**3 - 2 * u**2 + u) * h * slopes[i] \
        + (-2 * u**3 + 3 * u**2) * Y[i + 1] + (u**3 - u**2) * h * slopes[i + 1]


def akima_slopes():
    m = secants()
    m = [2 * (2 * m[0] - m[1]) - m[0], 2 * m[0] - m[1]] + m + [2 * m[-1] - m[-2]]
    m.append(2 * m[-1] - m[-2])
    out = []
    for i in range(N + 1):
        w1 = abs(m[i + 3] - m[i + 2])
        w2 = abs(m[i + 1] - m[i])
        out.append((w1 * m[i + 1] + w2 * m[i + 2]) / (w1 + w2))
    return out


def hermite_slopes():
    s = secants()
    h = [X[i + 1] - X[i] for i in range(N)]
    inner = [(s[i - 1] * h[i - 1] + s[i] * h[i]) / (h[i - 1] + h[i]) for i in range(1, N)]
    return [mpf(0)] + inner + [mpf(0)]


def linear(t):
    i = segment(t)
    if i is None:
        return Y[0] if t < X[0] else Y[N]
    return Y[i] + (Y[i + 1] - Y[i]) * (t - X[i]) / (X[i + 1] - X[i])


def main():
    natural = second_derivatives(False)
    clamped = second_derivatives(True)
    ak = akima_slopes()
    he = hermite_slopes()
    kinds = [("SPLINE_LINEAR", 1, linear),
             ("SPLINE_CUBIC", 1, lambda t: cubic(natural, t)),
             ("SPLINE_CUBIC", 0, lambda t: cubic(clamped, t)),
             ("SPLINE_AKIMA", 1, lambda t: hermite_basis(ak, t)),
             ("SPLINE_HERMITE", 1, lambda t: hermite_basis(he, t))]
    lines = ["// Written by tools/spline_reference.py: the four spline kinds on one set",
             "// of knots, computed independently with mpmath. Do not edit.",
             "#pragma once", "",
             "static const double kReferenceKnotX[] = { %s };" % ", ".join(mp.nstr(v, 17) for v in X),
             "static const double kReferenceKnotY[] = { %s };" % ", ".join(mp.nstr(v, 17) for v in Y),
             "", "struct SplineReferenceCase { int kind; int end; double x; double value; };",
             "static const SplineReferenceCase kSplineReference[] = {"]
    for name, end, f in kinds:
        for t in T:
            lines.append("    { %s, %d, %s, %s }," % (name, end, t, mp.nstr(f(mpf(t)), 17, min_fixed=-5, max_fixed=5)))
    lines.append("};")
    path = os.path.join(os.path.dirname(__file__), "..", "tests", "animation", "SplineReferenceValues.h")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


main()
