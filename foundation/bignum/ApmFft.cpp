// The floating-point FFT of the fast product: a radix-2 complex transform of
// n/2 values with a real pass on top, so that n real doubles transform in
// place. Twiddle factors are made once per transform length and kept: sin
// and cos per call used to cost about half of a 600-digit product.
#include "foundation/bignum/ApmInternal.h"

#include <math.h>

namespace {

const double PI = 3.14159265358979323846;

// Tables by log2 of the length; lengths are powers of two below 2^31.
const int TWIDDLE_TABLES = 32;

// For m complex values: e^(-2 pi i j / m) for j < m / 2, as (cos, -sin).
double* g_complexTwiddles[TWIDDLE_TABLES];
// For n real values (m = n / 2): e^(-pi i k / m) for 1 <= k <= m / 2 at
// (2k, 2k + 1).
double* g_realTwiddles[TWIDDLE_TABLES];

int Log2(int n)
{
    int k = 0;
    while ((1 << k) < n)
        k++;
    return k;
}

double* NewTable(int doubles)
{
    double* t = (double*)M_apm_malloc(sizeof(double) * (doubles > 2 ? doubles : 2));
    if (!t)
        M_apm_fatal("'M_fast_mul_fft', Out of memory\n", 16);
    return t;
}

// Each factor from its own sin and cos (no recurrence, so no drift). The
// library runs under its lock, so a table is made by one caller only.
const double* ComplexTwiddles(int m)
{
    double*& t = g_complexTwiddles[Log2(m)];
    if (!t) {
        t = NewTable(m);
        for (int j = 0; j < m / 2; j++) {
            double angle = 2.0 * PI * j / m;
            t[2 * j] = cos(angle);
            t[2 * j + 1] = -sin(angle);
        }
    }
    return t;
}

const double* RealTwiddles(int n)
{
    double*& t = g_realTwiddles[Log2(n)];
    if (!t) {
        int m = n / 2;
        t = NewTable(m + 2);
        for (int k = 1; k <= m / 2; k++) {
            double angle = PI * k / m;
            t[2 * k] = cos(angle);
            t[2 * k + 1] = -sin(angle);
        }
    }
    return t;
}

} // namespace

// A real array of n doubles is handled as n/2 complex values; the
// spectrum is packed in place: element 0 holds the real value at frequency
// 0, element 1 the real value at frequency n/2, the pair (2k, 2k+1) the
// complex value at frequency k.

void M_fft_bitreverse(double* a, int complexCount)
{
    int m = complexCount;
    for (int i = 1, j = 0; i < m; i++) {
        int bit = m >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) {
            double tr = a[2 * i];
            double ti = a[2 * i + 1];
            a[2 * i] = a[2 * j];
            a[2 * i + 1] = a[2 * j + 1];
            a[2 * j] = tr;
            a[2 * j + 1] = ti;
        }
    }
}

// One radix-2 stage of the complex transform: butterflies of span
// stageLength / 2 over every block of stageLength values. direction 1 is
// the forward transform (e^-i), -1 the backward one (conjugate factors).
void M_fft_butterflies(double* a, int complexCount, int stageLength, int direction)
{
    const double* twiddle = ComplexTwiddles(complexCount);
    int half = stageLength / 2;
    int step = complexCount / stageLength;
    for (int start = 0; start < complexCount; start += stageLength) {
        double* lo = a + 2 * start;
        double* hi = lo + 2 * half;
        for (int j = 0; j < half; j++) {
            double wr = twiddle[2 * j * step];
            double wi = direction * twiddle[2 * j * step + 1];
            double xr = hi[2 * j] * wr - hi[2 * j + 1] * wi;
            double xi = hi[2 * j] * wi + hi[2 * j + 1] * wr;
            hi[2 * j] = lo[2 * j] - xr;
            hi[2 * j + 1] = lo[2 * j + 1] - xi;
            lo[2 * j] += xr;
            lo[2 * j + 1] += xi;
        }
    }
}

// The stages of the complex transform over bit-reversed input.
void M_fft_complex_pass(double* a, int complexCount, int direction)
{
    for (int len = 2; len <= complexCount; len <<= 1)
        M_fft_butterflies(a, complexCount, len, direction);
}

// Turns the transform of the packed real data into the real spectrum
// (direction 1) or back (direction -1), with factors e^(-2 pi i k / n).
void M_fft_real_pass(double* a, int n, int direction)
{
    const double* twiddle = RealTwiddles(n);
    int m = n / 2;
    if (direction > 0) {
        double z0r = a[0];
        double z0i = a[1];
        a[0] = z0r + z0i;
        a[1] = z0r - z0i;
    } else {
        double p0 = a[0];
        double pm = a[1];
        a[0] = 0.5 * (p0 + pm);
        a[1] = 0.5 * (p0 - pm);
    }
    for (int k = 1; k <= m / 2; k++) {
        int j = m - k;
        double wr = twiddle[2 * k];
        double wi = twiddle[2 * k + 1];
        double ar = a[2 * k], ai = a[2 * k + 1];
        double br = a[2 * j], bi = a[2 * j + 1];
        if (direction > 0) {
            // E = (Z[k] + conj Z[m-k]) / 2, O = (Z[k] - conj Z[m-k]) / 2i;
            // X[k] = E + w O and X[m-k] = conj(E - w O).
            double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
            double dr = 0.5 * (ar - br), di = 0.5 * (ai + bi);
            double orr = di, oi = -dr;
            double tr = wr * orr - wi * oi;
            double ti = wr * oi + wi * orr;
            a[2 * k] = er + tr;
            a[2 * k + 1] = ei + ti;
            a[2 * j] = er - tr;
            a[2 * j + 1] = -(ei - ti);
        } else {
            // E = (P[k] + conj P[m-k]) / 2, O = (P[k] - conj P[m-k]) / 2 * conj w;
            // Z[k] = E + i O and Z[m-k] = conj(E - i O).
            double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
            double dr = 0.5 * (ar - br), di = 0.5 * (ai + bi);
            double orr = dr * wr + di * wi;
            double oi = di * wr - dr * wi;
            a[2 * k] = er - oi;
            a[2 * k + 1] = ei + orr;
            a[2 * j] = er + oi;
            a[2 * j + 1] = -(ei - orr);
        }
    }
}

void M_fft_forward(double* a, int n)
{
    M_fft_bitreverse(a, n / 2);
    M_fft_complex_pass(a, n / 2, 1);
    M_fft_real_pass(a, n, 1);
}

// The inverse without the factor 2 / n.
void M_fft_inverse(double* a, int n)
{
    M_fft_real_pass(a, n, -1);
    M_fft_bitreverse(a, n / 2);
    M_fft_complex_pass(a, n / 2, -1);
}

