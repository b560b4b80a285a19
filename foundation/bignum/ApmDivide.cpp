// Division: the long division up to 249 places, Newton's reciprocal
// (ApmNewton.cpp) beyond.
#include "foundation/bignum/ApmInternal.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

// Private temporaries of the long division.
M_APM g_divTemp[5] = { nullptr, nullptr, nullptr, nullptr, nullptr };

void EnsureDivTemps()
{
    if (!g_divTemp[0])
        for (int i = 0; i < 5; i++)
            g_divTemp[i] = m_apm_init();
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
    M_apm_newton_divide(r, places, a, b);
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
