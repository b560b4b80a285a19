// Division (long division up to 249 places, Newton's reciprocal beyond),
// reciprocal and square root.
#include "foundation/bignum/ApmInternal.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

// Newton's iterations aim this many digits beyond the requested places.
// Their stopping rule leaves the last few digits of the aim uncertain; with
// the guard digits the result is off by far less than 1e-4 of a unit of its
// last place, and RoundNewtonResult settles the rare case nearer to a half
// exactly, so the rounded results are correct to the last digit.
const int NEWTON_GUARD_DIGITS = 8;

// Private temporaries of the long division.
M_APM g_divTemp[5] = { nullptr, nullptr, nullptr, nullptr, nullptr };

void EnsureDivTemps()
{
    if (!g_divTemp[0])
        for (int i = 0; i < 5; i++)
            g_divTemp[i] = m_apm_init();
}

// Shared loop of the reciprocal and the inverse square root: cur holds the
// value after the first step; step(next, x) makes one more step. Iterates
// are rounded to places + 16 digits; the loop ends when an iterate repeats,
// or one step after the change between iterates shows that the next step
// reaches the requested places. Answers the record holding the result.
template <typename Step>
M_APM NewtonIterate(M_APM cur, M_APM spare, int places, Step step)
{
    M_APM x = M_get_stack_var();
    M_APM last = M_get_stack_var();
    M_APM diff = M_get_stack_var();
    m_apm_set_long(last, -10);
    M_APM result = cur;
    bool finishAfterStep = false;
    for (int pass = 0;; pass++) {
        m_apm_round(x, places + 16, cur);
        if (pass > 0) {
            m_apm_subtract(diff, x, last);
            if (diff->sign == 0) {
                m_apm_copy(spare, x);
                result = spare;
                break;
            }
            if (-4 * diff->exponent > places + 4)
                finishAfterStep = true;
        }
        m_apm_copy(last, x);
        step(cur, x);
        if (finishAfterStep) {
            result = cur;
            break;
        }
    }
    M_restore_stack(3);
    return result;
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

void m_apm_divide(M_APM r, int places, M_APM a, M_APM b)
{
    if (places < 0)
        places = 0;
    if (b->sign == 0) {
        fputs("Warning! ... 'm_apm_divide', Divide by 0\n", stderr);
        M_set_to_zero(r);
        return;
    }
    if (a->sign == 0) {
        M_set_to_zero(r);
        return;
    }
    if (places <= M_LONG_DIVISION_MAX_PLACES) {
        M_apm_sdivide(r, places, a, b);
        return;
    }
    int d = a->exponent - b->exponent;
    if (d > 0)
        places += d;
    M_APM t = M_get_stack_var();
    M_APM u = M_get_stack_var();
    M_APM absA = M_get_stack_var();
    M_APM absB = M_get_stack_var();
    M_APM product = M_get_stack_var();
    m_apm_absolute_value(absA, a);
    m_apm_absolute_value(absB, b);
    m_apm_reciprocal(t, places + 8, absB);
    m_apm_multiply(u, t, absA);
    RoundNewtonResult(r, places, u, [&](M_APM mid) {
        m_apm_multiply(product, mid, absB);
        return m_apm_compare(absA, product);
    });
    if (r->sign != 0)
        r->sign = a->sign * b->sign;
    M_restore_stack(5);
}

void M_apm_sdivide(M_APM r, int places, M_APM a, M_APM b)
{
    if (places < 0)
        places = 0;
    if (b->sign == 0) {
        fputs("Warning! ... 'M_apm_sdivide', Divide by 0\n", stderr);
        M_set_to_zero(r);
        return;
    }
    if (a->sign == 0) {
        M_set_to_zero(r);
        return;
    }
    EnsureDivTemps();
    M_APM A = g_divTemp[0];
    M_APM B = g_divTemp[1];
    M_APM Q = g_divTemp[2];
    M_APM P = g_divTemp[3];
    M_APM T = g_divTemp[4];

    // Scale so that the divisor's first base-100 digit is at least 50.
    if (b->data[0] < 50) {
        m_apm_set_long(Q, 100 / (b->data[0] + 1));
        m_apm_multiply(A, a, Q);
        m_apm_multiply(B, b, Q);
        A->sign = 1;
        B->sign = 1;
    } else {
        m_apm_absolute_value(A, a);
        m_apm_absolute_value(B, b);
    }
    int trialDivisor = B->data[0] * 100;
    if (B->datalength >= 3)
        trialDivisor += B->data[1];

    int d = A->exponent - B->exponent;
    long long digitsWanted = d < 1 ? (long long)places + 1 : (long long)d + places + 1;
    if (digitsWanted > 0x7FFFFFF0LL)
        M_apm_fatal("'M_apm_sdivide', Out of memory\n", 16);
    int wanted = (int)digitsWanted;
    A->exponent = 0;
    B->exponent = 0;
    int sign = a->sign * b->sign;

    // The quotient's bytes are written straight into r.
    M_apm_reserve(r, wanted + 2, "'M_apm_sdivide', Out of memory\n", 16);
    int cmp = m_apm_compare(A, B);
    if (cmp == 0) {
        r->data[0] = 10;
        r->datalength = 1;
        r->exponent = d + 1;
        r->sign = sign;
        return;
    }
    int quotientExponent;
    if (cmp > 0) {
        A->exponent = 1;
        quotientExponent = d + 1;
    } else {
        A->exponent = 2;
        quotientExponent = d;
    }

    int made = 0;
    int index = 0;
    for (;;) {
        int trial = A->data[0] * 10000;
        if (A->datalength >= 3)
            trial += A->data[1] * 100;
        if (A->datalength >= 5)
            trial += A->data[2];
        int q = trial / trialDivisor;
        for (int e = A->exponent; e < 2 && q != 0; e++)
            q /= 10;
        if (q >= 100)
            q = 99;
        m_apm_set_long(Q, q);
        m_apm_multiply(P, B, Q);
        if (m_apm_compare(P, A) > 0) {
            // The trial digit is at most one too large.
            q--;
            m_apm_subtract(T, P, B);
            M_APM swap = P;
            P = T;
            T = swap;
        }
        r->data[index++] = (UCHAR)q;
        made += 2;
        if (made >= wanted)
            break;
        m_apm_subtract(T, A, P);
        M_APM swap = A;
        A = T;
        T = swap;
        if (A->sign == 0)
            break;
        A->exponent += 2;
    }
    // The remaining records go back to the private set in whatever order.
    g_divTemp[0] = A;
    g_divTemp[1] = B;
    g_divTemp[2] = Q;
    g_divTemp[3] = P;
    g_divTemp[4] = T;

    r->datalength = made < wanted ? made : wanted;
    r->exponent = quotientExponent;
    r->sign = sign;
    M_apm_normalize(r);
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
    M_APM N = M_get_stack_var();
    M_APM x0 = M_get_stack_var();
    M_APM cur = M_get_stack_var();
    M_APM t1 = M_get_stack_var();
    M_APM t2 = M_get_stack_var();
    M_APM spare = M_get_stack_var();

    m_apm_absolute_value(N, a);
    int e = N->exponent;
    N->exponent = 0;

    char text[64];
    m_apm_to_string(text, 15, N);
    m_apm_set_double(x0, 1.0 / atof(text));

    // x <- x (2 - N x)
    auto step = [&](M_APM next, M_APM x) {
        m_apm_multiply(t1, N, x);
        m_apm_subtract(t2, MM_Two, t1);
        m_apm_multiply(next, x, t2);
    };
    step(cur, x0);
    M_APM last = NewtonIterate(cur, spare, places + NEWTON_GUARD_DIGITS, step);
    RoundNewtonResult(r, places, last, [&](M_APM mid) {
        m_apm_multiply(t1, mid, N);
        return m_apm_compare(MM_One, t1);
    });
    r->exponent -= e;
    r->sign = a->sign;
    M_restore_stack(6);
}

void M_get_sqrt_guess(M_APM r, M_APM a)
{
    char text[64];
    m_apm_to_string(text, 15, a);
    m_apm_set_double(r, 1.0 / sqrt(atof(text)));
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
    M_APM N = M_get_stack_var();
    M_APM x0 = M_get_stack_var();
    M_APM cur = M_get_stack_var();
    M_APM t1 = M_get_stack_var();
    M_APM t2 = M_get_stack_var();
    M_APM spare = M_get_stack_var();
    M_APM product = M_get_stack_var();

    // An even shift of the exponent keeps N near 1.
    m_apm_copy(N, a);
    int k = 0;
    if (N->exponent >= 3)
        k = N->exponent / 2;
    else if (N->exponent <= -3)
        k = N->exponent / 2 - 1;
    N->exponent -= 2 * k;

    M_get_sqrt_guess(x0, N);
    // x <- 0.5 x (3 - N x^2)
    auto step = [&](M_APM next, M_APM x) {
        m_apm_multiply(t1, N, x);
        m_apm_multiply(t2, t1, x);
        m_apm_subtract(t1, MM_Three, t2);
        m_apm_multiply(t2, t1, x);
        m_apm_multiply(next, t2, MM_0_5);
    };
    step(cur, x0);
    M_APM last = NewtonIterate(cur, spare, places + NEWTON_GUARD_DIGITS, step);
    m_apm_multiply(product, last, N);
    RoundNewtonResult(r, places, product, [&](M_APM mid) {
        m_apm_multiply(t1, mid, mid);
        return m_apm_compare(N, t1);
    });
    r->exponent += k;
    M_restore_stack(7);
}
