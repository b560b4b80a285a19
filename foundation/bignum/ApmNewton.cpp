// Newton's iterations of the library: the reciprocal, the inverse square
// root, and from them quotients of 250 places or more and square roots.
// Each step works at about twice the digits of the one before, starting
// from a double; a quotient or square root takes its last step merged with
// the product that makes it, so only that step touches every digit.
// Results are rounded half away from zero, a near tie settled exactly.
#include "foundation/bignum/ApmInternal.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>

namespace {

// Digits computed beyond the requested places. The iterations below keep
// the relative error under 10^-(places + guard - 1), far less than 1e-4
// of a unit of the last kept digit, so only a result that NearHalf flags
// may round the wrong way, and RoundNewtonResult settles that one exactly.
const int NEWTON_GUARD_DIGITS = 8;

// An iterate "good to p digits" has a relative error below 10^-(p - 2).
// A first guess from a double is good to 15 digits. A step from h digits
// to p digits squares the error and adds the error of the operands cut to
// p + 2 digits, of the correction cut to p - h + 6 digits and of the final
// rounding to p digits; for h >= (p + 5) / 2 all of it stays below
// 10^-(p - 1).
const int GUESS_DIGITS = 15;

int DigitsNeededFor(int p)
{
    return (p + 6) / 2;
}

// Digits of the steps that lead from the guess to `target`, ascending;
// answers their number.
int StepDigits(int target, int* steps)
{
    int count = 0;
    for (int p = target; p > GUESS_DIGITS; p = DigitsNeededFor(p))
        steps[count++] = p;
    for (int i = 0; i < count / 2; i++) {
        int t = steps[i];
        steps[i] = steps[count - 1 - i];
        steps[count - 1 - i] = t;
    }
    return count;
}

// r = a rounded to `digits` significant digits (r is not a).
void RoundTo(M_APM r, int digits, M_APM a)
{
    m_apm_round(r, digits - 1, a);
}

// The value of the first 18 digits of a (a > 0) as a mantissa in [0.1, 1);
// the exponent stays in a->exponent.
double LeadingMantissa(M_APM a)
{
    int bytes = (a->datalength + 1) / 2;
    if (bytes > 9)
        bytes = 9;
    double m = 0.0;
    double scale = 0.01;
    for (int i = 0; i < bytes; i++) {
        m += a->data[i] * scale;
        scale *= 0.01;
    }
    return m;
}

// r = x times 10^exp10 with 16 significant digits of x (x > 0, finite).
void SetFromDouble(M_APM r, double x, int exp10)
{
    while (x >= 1.0) {
        x /= 10.0;
        exp10++;
    }
    while (x < 0.1) {
        x *= 10.0;
        exp10--;
    }
    uint64_t v = (uint64_t)(x * 1e16 + 0.5);
    if (v >= 10000000000000000ull) {
        // x rounded up to 1.
        v = 1000000000000000ull;
        exp10++;
    }
    M_apm_reserve(r, 16, "'M_get_sqrt_guess', Out of memory\n", 16);
    for (int i = 7; i >= 0; i--) {
        r->data[i] = (UCHAR)(v % 100);
        v /= 100;
    }
    r->datalength = 16;
    r->exponent = exp10;
    r->sign = 1;
    M_apm_normalize(r);
}

// x = 1 / n good to `digits` digits, for 0.1 <= n < 1: x <- x + x (1 - n x).
void ReciprocalApprox(M_APM x, M_APM n, int digits)
{
    SetFromDouble(x, 1.0 / LeadingMantissa(n), 0);
    M_APM nt = M_get_stack_var();
    M_APM t = M_get_stack_var();
    M_APM e = M_get_stack_var();
    M_APM ek = M_get_stack_var();
    M_APM sum = M_get_stack_var();
    int steps[40];
    int count = StepDigits(digits, steps);
    int h = GUESS_DIGITS;
    for (int i = 0; i < count; i++) {
        int p = steps[i];
        RoundTo(nt, p + 2, n);
        m_apm_multiply(t, nt, x);
        m_apm_subtract(e, MM_One, t);
        RoundTo(ek, p - h + 6, e);
        m_apm_multiply(t, x, ek);
        m_apm_add(sum, x, t);
        RoundTo(x, p, sum);
        h = p;
    }
    M_restore_stack(5);
}

// y = 1 / sqrt(n) good to `digits` digits: y <- y + y (1 - n y^2) / 2.
void InverseSqrtApprox(M_APM y, M_APM n, int digits)
{
    M_get_sqrt_guess(y, n);
    M_APM nt = M_get_stack_var();
    M_APM s = M_get_stack_var();
    M_APM t = M_get_stack_var();
    M_APM e = M_get_stack_var();
    M_APM ek = M_get_stack_var();
    M_APM sum = M_get_stack_var();
    int steps[40];
    int count = StepDigits(digits, steps);
    int h = GUESS_DIGITS;
    for (int i = 0; i < count; i++) {
        int p = steps[i];
        m_apm_multiply(s, y, y);
        RoundTo(nt, p + 2, n);
        m_apm_multiply(t, nt, s);
        m_apm_subtract(e, MM_One, t);
        RoundTo(ek, p - h + 6, e);
        m_apm_multiply(t, y, ek);
        m_apm_multiply(s, t, MM_0_5);
        m_apm_add(sum, y, s);
        RoundTo(y, p, sum);
        h = p;
    }
    M_restore_stack(6);
}

int DigitOf(M_APM a, int i)
{
    if (i >= a->datalength)
        return 0;
    UCHAR b = a->data[i >> 1];
    return (i & 1) ? M_rem10[b] : M_div10[b];
}

// Whether the digits of u after the first `kept` lie within 1e-4 of a unit
// of the last kept digit from one half of it (or on it). Newton's results
// are far more accurate than that, so only such a result may round the
// wrong way.
bool NearHalf(M_APM u, int kept)
{
    int first = DigitOf(u, kept);
    if (first != 4 && first != 5)
        return false;
    int fill = first == 4 ? 9 : 0;
    for (int i = kept + 1; i <= kept + 3; i++)
        if (DigitOf(u, i) != fill)
            return false;
    return true;
}

// Rounds the approximation u (u > 0) of an exact value X to `kept`
// digits, half away from zero. When u lies near a half, the exact side is
// decided exactly by compareWithExact(m), the sign of X - m for the
// midpoint m.
template <typename Compare>
void RoundNewtonResult(M_APM r, int places, M_APM u, Compare compareWithExact)
{
    int kept = places + 1;
    if (u->datalength <= kept || !NearHalf(u, kept)) {
        m_apm_round(r, places, u);
        return;
    }
    M_APM cut = M_get_stack_var();
    M_APM half = M_get_stack_var();
    M_APM mid = M_get_stack_var();
    m_apm_copy(cut, u);
    cut->datalength = kept;
    if (kept & 1)
        cut->data[kept >> 1] = (UCHAR)(M_div10[cut->data[kept >> 1]] * 10);
    M_apm_normalize(cut);
    m_apm_set_long(half, 5);
    half->exponent = u->exponent - kept;
    m_apm_add(mid, cut, half);
    if (compareWithExact(mid) >= 0)
        m_apm_add(r, mid, half);
    else
        m_apm_copy(r, cut);
    M_restore_stack(3);
}

} // namespace

void M_apm_newton_divide(M_APM r, int places, M_APM a, M_APM b)
{
    int d = a->exponent - b->exponent;
    if (d > 0)
        places += d;
    M_APM absA = M_get_stack_var();
    M_APM absB = M_get_stack_var();
    M_APM y = M_get_stack_var();
    M_APM q0 = M_get_stack_var();
    M_APM rest = M_get_stack_var();
    M_APM t1 = M_get_stack_var();
    M_APM t2 = M_get_stack_var();
    M_APM u = M_get_stack_var();
    m_apm_absolute_value(absA, a);
    m_apm_absolute_value(absB, b);
    // Both scaled into [0.1, 1): A / B then lies in (0.1, 10).
    absA->exponent = 0;
    absB->exponent = 0;

    // y = 1 / B to half the digits, q0 = A y, and the last step
    // q = q0 + y (A - B q0) at full length.
    int full = places + NEWTON_GUARD_DIGITS;
    int h = DigitsNeededFor(full);
    ReciprocalApprox(y, absB, h);
    RoundTo(t1, h + 2, absA);
    m_apm_multiply(t2, t1, y);
    RoundTo(q0, h, t2);
    RoundTo(t1, full + 2, absB);
    m_apm_multiply(t2, t1, q0);
    RoundTo(t1, full + 2, absA);
    m_apm_subtract(rest, t1, t2);
    RoundTo(t1, full - h + 6, rest);
    m_apm_multiply(t2, y, t1);
    m_apm_add(t1, q0, t2);
    RoundTo(u, full, t1);
    u->exponent += d;

    absA->exponent = a->exponent;
    absB->exponent = b->exponent;
    RoundNewtonResult(r, places, u, [&](M_APM mid) {
        m_apm_multiply(t1, mid, absB);
        return m_apm_compare(absA, t1);
    });
    if (r->sign != 0)
        r->sign = a->sign * b->sign;
    M_restore_stack(8);
}

void m_apm_reciprocal(M_APM r, int places, M_APM a)
{
    if (places < 0)
        places = 0;
    if (a->sign == 0) {
        fputs("Warning! ... 'm_apm_reciprocal', Input = 0\n", stderr);
        M_set_to_zero(r);
        return;
    }
    M_APM n = M_get_stack_var();
    M_APM x = M_get_stack_var();
    M_APM t = M_get_stack_var();
    m_apm_absolute_value(n, a);
    int e = n->exponent;
    n->exponent = 0;
    ReciprocalApprox(x, n, places + NEWTON_GUARD_DIGITS);
    RoundNewtonResult(r, places, x, [&](M_APM mid) {
        m_apm_multiply(t, mid, n);
        return m_apm_compare(MM_One, t);
    });
    r->exponent -= e;
    r->sign = a->sign;
    M_restore_stack(3);
}

void M_get_sqrt_guess(M_APM r, M_APM a)
{
    if (a->sign <= 0) {
        M_set_to_zero(r);
        return;
    }
    double m = LeadingMantissa(a);
    int e = a->exponent;
    if (e & 1) {
        m *= 10.0;
        e--;
    }
    SetFromDouble(r, 1.0 / sqrt(m), -e / 2);
}

void m_apm_sqrt(M_APM r, int places, M_APM a)
{
    if (places < 0)
        places = 0;
    if (a->sign == 0) {
        M_set_to_zero(r);
        return;
    }
    if (a->sign < 0) {
        fputs("Warning! ... 'm_apm_sqrt', Negative argument\n", stderr);
        M_set_to_zero(r);
        return;
    }
    M_APM n = M_get_stack_var();
    M_APM y = M_get_stack_var();
    M_APM s0 = M_get_stack_var();
    M_APM rest = M_get_stack_var();
    M_APM t1 = M_get_stack_var();
    M_APM t2 = M_get_stack_var();
    M_APM u = M_get_stack_var();

    // An even shift of the exponent keeps n near 1.
    m_apm_copy(n, a);
    int k = 0;
    if (n->exponent >= 3)
        k = n->exponent / 2;
    else if (n->exponent <= -3)
        k = n->exponent / 2 - 1;
    n->exponent -= 2 * k;

    // y = 1 / sqrt(n) to half the digits, s0 = n y, and the last step
    // s = s0 + y (n - s0^2) / 2 at full length.
    int full = places + NEWTON_GUARD_DIGITS;
    int h = DigitsNeededFor(full);
    InverseSqrtApprox(y, n, h);
    RoundTo(t1, h + 2, n);
    m_apm_multiply(t2, t1, y);
    RoundTo(s0, h, t2);
    m_apm_multiply(t2, s0, s0);
    RoundTo(t1, full + 2, n);
    m_apm_subtract(rest, t1, t2);
    RoundTo(t1, full - h + 6, rest);
    m_apm_multiply(t2, y, t1);
    m_apm_multiply(t1, t2, MM_0_5);
    m_apm_add(t2, s0, t1);
    RoundTo(u, full, t2);

    RoundNewtonResult(r, places, u, [&](M_APM mid) {
        m_apm_multiply(t1, mid, mid);
        return m_apm_compare(n, t1);
    });
    r->exponent += k;
    M_restore_stack(7);
}
