// Products of long operands: a floating-point FFT product of base-10000
// digits up to M_FFT_MAX_LENGTH base-100 digits per operand (the transform
// itself is in ApmFft.cpp), and above that a split into three half-size
// products whose leaves are FFT products.
#include "foundation/bignum/ApmInternal.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int M_fft_length_limit = M_FFT_MAX_LENGTH;

namespace {

const int SCRATCH_LEVELS = 164;
const int KEPT_FFT_SIZE = 8200;

// Scratch blocks of the split products, kept between calls.
bool g_fastFirstUse = true;
int g_scratchSize[SCRATCH_LEVELS];
UCHAR* g_scratch[SCRATCH_LEVELS];
int g_scratchTop = -1;

// The padded operands.
M_APM g_fastA = nullptr;
M_APM g_fastB = nullptr;

// The two FFT arrays kept for lengths up to KEPT_FFT_SIZE.
double* g_fftKeptA = nullptr;
double* g_fftKeptB = nullptr;

// The FFT product runs at the x87's full precision and rounds to nearest,
// whatever the caller's control word says (threads and formula code may
// run at 53 bits or with other rounding); the caller's word comes back.
class FullPrecisionNearest {
public:
    FullPrecisionNearest()
    {
        __asm__ __volatile__("fnstcw %0" : "=m"(saved));
        unsigned short word = (unsigned short)((saved & ~0x0C00) | 0x0300);
        __asm__ __volatile__("fldcw %0" : : "m"(word));
    }
    ~FullPrecisionNearest() { __asm__ __volatile__("fldcw %0" : : "m"(saved)); }
    FullPrecisionNearest(const FullPrecisionNearest&) = delete;
    FullPrecisionNearest& operator=(const FullPrecisionNearest&) = delete;

private:
    unsigned short saved;
};

} // namespace

// ---------------------------------------------------------------------------
// Scratch stack

int M_get_stack_ptr(int n)
{
    g_scratchTop++;
    if (g_scratchTop >= SCRATCH_LEVELS)
        M_apm_fatal("'M_get_stack_ptr', Out of memory\n", 16);
    int level = g_scratchTop;
    if (g_scratchSize[level] == 0) {
        int size = n > 16 ? n : 16;
        UCHAR* p = (UCHAR*)M_apm_malloc((size_t)size + 4);
        if (!p)
            M_apm_fatal("'M_get_stack_ptr', Out of memory\n", 16);
        g_scratch[level] = p;
        g_scratchSize[level] = size;
    } else if (g_scratchSize[level] < n) {
        UCHAR* p = (UCHAR*)M_apm_realloc(g_scratch[level], (size_t)n + 4);
        if (!p)
            M_apm_fatal("'M_get_stack_ptr', Out of memory\n", 16);
        g_scratch[level] = p;
        g_scratchSize[level] = n;
    }
    return level;
}

UCHAR* M_stack_block(int level)
{
    return g_scratch[level];
}

int M_next_power_of_2(int n)
{
    int p = 1;
    int doublings = 0;
    while (p < n) {
        p <<= 1;
        if (++doublings >= 8 * M_get_sizeof_int() + 1 || p <= 0)
            M_apm_fatal("'M_next_power_of_2', ERROR :sizeof(int) too small ??\n", 4);
    }
    return p;
}

// ---------------------------------------------------------------------------
// Digit-array helpers of the split product

void M_fmul_add(UCHAR* r, const UCHAR* a, int k, int n)
{
    int carry = 0;
    int j = k;
    for (int i = n - 1; i >= 0; i--, j--) {
        int t = r[j] + a[i] + carry;
        if (t >= 100) {
            r[j] = (UCHAR)(t - 100);
            carry = 1;
        } else {
            r[j] = (UCHAR)t;
            carry = 0;
        }
    }
    for (; carry && j >= 0; j--) {
        if (r[j] == 99) {
            r[j] = 0;
        } else {
            r[j]++;
            carry = 0;
        }
    }
}

int M_fmul_subtract(UCHAR* r, const UCHAR* a, const UCHAR* b, int n)
{
    int cmp = memcmp(a, b, n);
    if (cmp == 0) {
        memset(r, 0, n);
        return 0;
    }
    const UCHAR* big = cmp > 0 ? a : b;
    const UCHAR* small = cmp > 0 ? b : a;
    int borrow = 0;
    for (int i = n - 1; i >= 0; i--) {
        int t = big[i] - small[i] - borrow;
        if (t < 0) {
            r[i] = (UCHAR)(t + 100);
            borrow = 1;
        } else {
            r[i] = (UCHAR)t;
            borrow = 0;
        }
    }
    return cmp > 0 ? -1 : 1;
}

namespace {

// Base-10000 digits of an array of n base-100 digits up to its last one
// that is not zero (at least 1).
int SignificantPairs(const UCHAR* a, int n)
{
    int last = n - 1;
    while (last > 0 && a[last] == 0)
        last--;
    return last / 2 + 1;
}

} // namespace

void M_fast_mul_fft(UCHAR* r, const UCHAR* a, const UCHAR* b, int n)
{
    // A square transforms its one operand once.
    bool square = a == b;
    // The transform needs room for the product of the significant digits
    // only: the padding to n keeps the operands aligned, but for operands
    // of unequal length (the steps of Newton's iterations) half the length
    // or less holds the whole product.
    int pairsA = SignificantPairs(a, n);
    int pairsB = square ? pairsA : SignificantPairs(b, n);
    int length = 4;
    while (length < pairsA + pairsB - 1)
        length <<= 1;
    if (length > n)
        length = n;
    double* fa;
    double* fb;
    bool fresh = length > KEPT_FFT_SIZE;
    if (!fresh) {
        if (!g_fftKeptA) {
            g_fftKeptA = (double*)M_apm_malloc(sizeof(double) * KEPT_FFT_SIZE);
            g_fftKeptB = g_fftKeptA ? (double*)M_apm_malloc(sizeof(double) * KEPT_FFT_SIZE) : nullptr;
            if (!g_fftKeptA || !g_fftKeptB)
                M_apm_fatal("'M_fast_mul_fft', Out of memory\n", 16);
        }
        fa = g_fftKeptA;
        fb = square ? fa : g_fftKeptB;
    } else {
        fa = (double*)M_apm_malloc((size_t)length * 8 + 64);
        fb = square ? fa : fa ? (double*)M_apm_malloc((size_t)length * 8 + 64) : nullptr;
        if (!fa || !fb)
            M_apm_fatal("'M_fast_mul_fft', Out of memory\n", 16);
    }

    FullPrecisionNearest rounding;
    // Pairs of base-100 digits become base-10000 digits, then zeros.
    for (int k = 0; k < length; k++) {
        fa[k] = k < pairsA ? a[2 * k] * 100 + a[2 * k + 1] : 0.0;
        fb[k] = k < pairsB ? b[2 * k] * 100 + b[2 * k + 1] : 0.0;
    }
    M_fft_forward(fa, length);
    if (!square)
        M_fft_forward(fb, length);
    fa[0] *= fb[0];
    fa[1] *= fb[1];
    for (int k = 1; k < length / 2; k++) {
        double ar = fa[2 * k], ai = fa[2 * k + 1];
        double br = fb[2 * k], bi = fb[2 * k + 1];
        fa[2 * k] = ar * br - ai * bi;
        fa[2 * k + 1] = ar * bi + ai * br;
    }
    M_fft_inverse(fa, length);

    // Round to integers and carry in base 10000, from the last element up,
    // writing two base-100 digits per element. The elements lie within a
    // small fraction of their integers, so rounding to the nearest is
    // exact; they are sums of products of digits, so never negative.
    // llrint is one fistp in the mode set above, where floor would switch
    // the rounding mode twice per call. Of the product's n - 1 base-10000
    // digits, those beyond the transform are zero.
    memset(r + 2 * length, 0, (size_t)(2 * n - 2 * length));
    double scale = 2.0 / length;
    unsigned long long carry = 0;
    for (int k = (length < n ? length : n - 1) - 1; k >= 0; k--) {
        unsigned long long t = (unsigned long long)llrint(fa[k] * scale) + carry;
        carry = t / 10000;
        int digit = (int)(t - carry * 10000);
        r[2 + 2 * k] = M_div100[digit];
        r[3 + 2 * k] = M_rem100[digit];
    }
    int top = (int)carry;
    r[0] = M_div100[top];
    r[1] = M_rem100[top];
    if (fresh) {
        free(fa);
        if (!square)
            free(fb);
    }
}

// ---------------------------------------------------------------------------
// Split product: a b = a1 b1 B^2 + (a1 b1 + a0 b0 + (a1 - a0)(b0 - b1)) B + a0 b0
// with B = 100^(n/2); r receives 2n digits.

void M_fast_multiply_recursive(UCHAR* r, const UCHAR* a, const UCHAR* b, int n)
{
    if (n <= M_fft_length_limit) {
        M_fast_mul_fft(r, a, b, n);
        return;
    }
    int h = n / 2;
    const UCHAR* a1 = a;
    const UCHAR* a0 = a + h;
    const UCHAR* b1 = b;
    const UCHAR* b0 = b + h;
    memset(r, 0, 2 * n);

    int levelU = M_get_stack_ptr(h);
    int levelV = M_get_stack_ptr(h);
    int levelHigh = M_get_stack_ptr(n);
    int levelLow = M_get_stack_ptr(n);
    int levelW = M_get_stack_ptr(n);
    int levelPad = M_get_stack_ptr(2 * n - h);
    int levelDiff = M_get_stack_ptr(2 * n - h);
    UCHAR* u = M_stack_block(levelU);
    UCHAR* v = M_stack_block(levelV);
    UCHAR* high = M_stack_block(levelHigh);
    UCHAR* low = M_stack_block(levelLow);
    UCHAR* w = M_stack_block(levelW);
    UCHAR* pad = M_stack_block(levelPad);
    UCHAR* diff = M_stack_block(levelDiff);

    int signU = M_fmul_subtract(u, a1, a0, h);
    int signV = M_fmul_subtract(v, b0, b1, h);

    M_fast_multiply_recursive(r, a1, b1, h);
    M_fast_multiply_recursive(r + n, a0, b0, h);
    memcpy(high, r, n);
    memcpy(low, r + n, n);
    int k = 2 * n - 1 - h;   // last digit of a value shifted by h digits
    M_fmul_add(r, high, k, n);
    M_fmul_add(r, low, k, n);

    if (signU != 0 && signV != 0) {
        M_fast_multiply_recursive(w, u, v, h);
        if (signU == signV) {
            M_fmul_add(r, w, k, n);
        } else {
            // The upper 2n - h digits of r minus w; the whole product stays
            // positive, so no borrow leaves this window.
            int window = 2 * n - h;
            memset(pad, 0, window - n);
            memcpy(pad + window - n, w, n);
            M_fmul_subtract(diff, r, pad, window);
            memcpy(r, diff, window);
        }
    }
    g_scratchTop -= 7;
}

void M_fast_multiply(M_APM r, M_APM a, M_APM b)
{
    if (g_fastFirstUse) {
        g_fastFirstUse = false;
        for (int i = 0; i < SCRATCH_LEVELS; i++) {
            g_scratchSize[i] = 0;
            g_scratch[i] = nullptr;
        }
        M_get_sizeof_int();
        g_fastA = m_apm_init();
        g_fastB = m_apm_init();
    }
    int sign = a->sign * b->sign;
    if (sign == 0) {
        M_set_to_zero(r);
        return;
    }
    int exponent = a->exponent + b->exponent;
    int longer = a->datalength > b->datalength ? a->datalength : b->datalength;
    int n = M_next_power_of_2((longer + 1) / 2);
    m_apm_copy(g_fastA, a);
    M_apm_pad(g_fastA, 2 * n);
    const UCHAR* bData = g_fastA->data;
    if (b != a) {
        m_apm_copy(g_fastB, b);
        M_apm_pad(g_fastB, 2 * n);
        bData = g_fastB->data;
    }
    M_apm_reserve(r, 4 * n, "'M_fast_multiply', Out of memory\n", 16);

    g_scratchTop = -1;
    if (n <= M_fft_length_limit)
        M_fast_mul_fft(r->data, g_fastA->data, bData, n);
    else
        M_fast_multiply_recursive(r->data, g_fastA->data, bData, n);

    r->sign = sign;
    r->exponent = exponent;
    r->datalength = 4 * n;
    M_apm_normalize(r);
}
