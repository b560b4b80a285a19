// The floating-point FFT of the fast product: a radix-2 complex transform of
// n/2 values with a real pass on top, so that n real doubles transform in
// place. Twiddle factors are made once per transform length and kept: sin
// and cos per call used to cost about half of a 600-digit product.
#include "foundation/bignum/ApmInternal.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

namespace {

const double PI = 3.14159265358979323846;

// Tables by log2 of the length; lengths are powers of two below 2^31.
const int TWIDDLE_TABLES = 32;

// For m complex values: e^(-2 pi i j / m) for j < 3m / 4, as (cos, -sin)
// (the radix-4 stages use up to the third power of a factor).
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
        t = NewTable(3 * m / 2);
        for (int j = 0; j < 3 * m / 4; j++) {
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

// lo, hi <- lo + w hi, lo - w hi.
inline void Butterfly(double* lo, double* hi, double wr, double wi)
{
    double xr = hi[0] * wr - hi[1] * wi;
    double xi = hi[0] * wi + hi[1] * wr;
    hi[0] = lo[0] - xr;
    hi[1] = lo[1] - xi;
    lo[0] += xr;
    lo[1] += xi;
}

// Two radix-2 stages in one pass: blocks of 4L values, the stages of
// lengths 2L and 4L. With w = e^(-2 pi i j / 4L), the four values j, j + L,
// j + 2L, j + 3L of a block are a, b, c, d; the two stages give
// (a + w^2 b) +- (w c + w^3 d) and (a - w^2 b) -+ i (w c - w^3 d): three
// products instead of four, one sweep over the data instead of two.
// Column j = 0 has w = 1 and takes no products at all: that is every
// column of a first stage and a quarter of those of the second.
template <int Direction, bool UnitTwiddle>
inline void RadixFourColumn(double* p, double* end, int q, int blockLength, const double* w1,
                            const double* w2, const double* w3)
{
    double w1r = 1, w1i = 0, w2r = 1, w2i = 0, w3r = 1, w3i = 0;
    if (!UnitTwiddle) {
        w1r = w1[0];
        w1i = Direction * w1[1];
        w2r = w2[0];
        w2i = Direction * w2[1];
        w3r = w3[0];
        w3i = Direction * w3[1];
    }
    for (; p < end; p += 2 * blockLength) {
        double br = p[q], bi = p[q + 1];
        double cr = p[2 * q], ci = p[2 * q + 1];
        double dr = p[3 * q], di = p[3 * q + 1];
        if (!UnitTwiddle) {
            double t = br * w2r - bi * w2i;
            bi = br * w2i + bi * w2r;
            br = t;
            t = cr * w1r - ci * w1i;
            ci = cr * w1i + ci * w1r;
            cr = t;
            t = dr * w3r - di * w3i;
            di = dr * w3i + di * w3r;
            dr = t;
        }
        double sr = p[0] + br, si = p[1] + bi;
        double tr = p[0] - br, ti = p[1] - bi;
        double ur = cr + dr, ui = ci + di;
        // -i (c - d) forward, +i (c - d) backward.
        double vr = Direction * (ci - di), vi = -Direction * (cr - dr);
        p[0] = sr + ur;
        p[1] = si + ui;
        p[2 * q] = sr - ur;
        p[2 * q + 1] = si - ui;
        p[q] = tr + vr;
        p[q + 1] = ti + vi;
        p[3 * q] = tr - vr;
        p[3 * q + 1] = ti - vi;
    }
}

template <int Direction>
void RadixFourStage(double* a, int complexCount, int quarter)
{
    const double* twiddle = ComplexTwiddles(complexCount);
    int blockLength = 4 * quarter;
    int step = 2 * (complexCount / blockLength);
    double* end = a + 2 * complexCount;
    int q = 2 * quarter;
    RadixFourColumn<Direction, true>(a, end, q, blockLength, twiddle, twiddle, twiddle);
    for (int j = 1; j < quarter; j++)
        RadixFourColumn<Direction, false>(a + 2 * j, end, q, blockLength, twiddle + j * step,
                                          twiddle + 2 * j * step, twiddle + 3 * j * step);
}

} // namespace

// A real array of n doubles is handled as n/2 complex values; the
// spectrum is packed in place: element 0 holds the real value at frequency
// 0, element 1 the real value at frequency n/2, the pair (2k, 2k+1) the
// complex value at frequency k.

// The swaps copy each complex value as plain bytes: copies through the x87
// would load and store every double, which costs more than the permutation
// itself where the x87 is slow (an emulator).
void M_fft_bitreverse(double* a, int complexCount)
{
    const size_t COMPLEX_BYTES = 2 * sizeof(double);
    int m = complexCount;
    for (int i = 1, j = 0; i < m; i++) {
        int bit = m >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j) {
            uint32_t t[4];
            memcpy(t, a + 2 * i, COMPLEX_BYTES);
            memcpy(a + 2 * i, a + 2 * j, COMPLEX_BYTES);
            memcpy(a + 2 * j, t, COMPLEX_BYTES);
        }
    }
}

// One radix-2 stage of the complex transform: butterflies of span
// stageLength / 2 over every block of stageLength values. direction 1 is
// the forward transform (e^-i), -1 the backward one (conjugate factors).
// The loop over the factors runs outside when there are fewer factors than
// blocks, so that each factor is loaded once per stage.
void M_fft_butterflies(double* a, int complexCount, int stageLength, int direction)
{
    const double* twiddle = ComplexTwiddles(complexCount);
    int half = stageLength / 2;
    int step = 2 * (complexCount / stageLength);
    double* end = a + 2 * complexCount;
    if (half == 1) {
        // The only factor is 1. These first stages need no products.
        for (double* lo = a; lo < end; lo += 4) {
            double xr = lo[2], xi = lo[3];
            lo[2] = lo[0] - xr;
            lo[3] = lo[1] - xi;
            lo[0] += xr;
            lo[1] += xi;
        }
        return;
    }
    if (half == 2) {
        // The factors are 1 and -i (forward) or i (backward).
        double sign = direction > 0 ? 1.0 : -1.0;
        for (double* lo = a; lo < end; lo += 8) {
            double xr = lo[4], xi = lo[5];
            lo[4] = lo[0] - xr;
            lo[5] = lo[1] - xi;
            lo[0] += xr;
            lo[1] += xi;
            xr = sign * lo[7];
            xi = -sign * lo[6];
            lo[6] = lo[2] - xr;
            lo[7] = lo[3] - xi;
            lo[2] += xr;
            lo[3] += xi;
        }
        return;
    }
    double sign = direction > 0 ? 1.0 : -1.0;
    int blockStride = 2 * stageLength;
    int span = 2 * half;
    if (half < complexCount / stageLength) {
        for (int j = 0; j < half; j++) {
            double wr = twiddle[j * step];
            double wi = sign * twiddle[j * step + 1];
            for (double* lo = a + 2 * j; lo < end; lo += blockStride)
                Butterfly(lo, lo + span, wr, wi);
        }
    } else {
        for (double* block = a; block < end; block += blockStride) {
            const double* w = twiddle;
            for (double* lo = block; lo < block + span; lo += 2, w += step)
                Butterfly(lo, lo + span, w[0], sign * w[1]);
        }
    }
}

// The stages of the complex transform over bit-reversed input: a radix-2
// stage first when the number of stages is odd, then radix-4 passes.
void M_fft_complex_pass(double* a, int complexCount, int direction)
{
    int len = 2;
    if (Log2(complexCount) & 1) {
        M_fft_butterflies(a, complexCount, 2, direction);
        len = 4;
    }
    for (; len <= complexCount; len <<= 2) {
        if (direction > 0)
            RadixFourStage<1>(a, complexCount, len / 2);
        else
            RadixFourStage<-1>(a, complexCount, len / 2);
    }
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

