// The number record, library state and the basic arithmetic: normalising,
// comparing, adding, subtracting, the schoolbook product and rounding.
#include "foundation/bignum/ApmInternal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

M_APM MM_Zero = nullptr;
M_APM MM_One = nullptr;
M_APM MM_Two = nullptr;
M_APM MM_Three = nullptr;
M_APM MM_Ten = nullptr;
M_APM MM_0_5 = nullptr;

UCHAR* M_div100 = nullptr;
UCHAR* M_rem100 = nullptr;
UCHAR* M_div10 = nullptr;
UCHAR* M_rem10 = nullptr;

namespace {

// Set at load time, cleared by the first m_apm_init.
bool g_libraryNeedsInit = true;

// Records made and not yet freed.
int g_liveRecords = 0;

// Requests of at least this many bytes fail (0: none).
size_t g_failFrom = 0;

// The stack of temporaries.
const int TEMP_STACK_SIZE = 40;
M_APM g_tempStack[TEMP_STACK_SIZE];
int g_tempTop = -1;
int g_tempAllocated = -1;

// Private temporaries of add and subtract, and the constant 5 of rounding.
M_APM g_addA = nullptr;
M_APM g_addB = nullptr;
M_APM g_subA = nullptr;
M_APM g_subB = nullptr;
M_APM g_roundFive = nullptr;

int BytesOf(int digits)
{
    return (digits + 1) >> 1;
}

// Clears the unused low half of the last byte of an odd digit count.
void ClearOddHalf(M_APM x)
{
    if (x->datalength & 1) {
        UCHAR& last = x->data[x->datalength >> 1];
        last = (UCHAR)(M_div10[last] * 10);
    }
}

} // namespace

[[noreturn]] void M_apm_fatal(const char* text, int exitCode)
{
    fputs(text, stderr);
    fflush(stderr);
    exit(exitCode);
}

void* M_apm_malloc(size_t bytes)
{
    if (g_failFrom != 0 && bytes >= g_failFrom)
        return nullptr;
    return malloc(bytes);
}

void* M_apm_realloc(void* block, size_t bytes)
{
    if (g_failFrom != 0 && bytes >= g_failFrom)
        return nullptr;
    return realloc(block, bytes);
}

void M_apm_fail_allocations_from(size_t bytes)
{
    g_failFrom = bytes;
}

int M_apm_live_record_count()
{
    return g_liveRecords;
}

void M_apm_reserve(M_APM x, int digits, const char* failText, int exitCode)
{
    int bytes = BytesOf(digits);
    if (bytes <= x->capacity)
        return;
    void* p = M_apm_realloc(x->data, (size_t)bytes + 32);
    if (!p)
        M_apm_fatal(failText, exitCode);
    x->data = (UCHAR*)p;
    x->capacity = bytes + 28;
}

void M_set_to_zero(M_APM x)
{
    x->sign = 0;
    x->exponent = 0;
    x->datalength = 1;
    x->data[0] = 0;
}

int M_get_sizeof_int()
{
    return 4;
}

// ---------------------------------------------------------------------------
// Tables and constants

void M_init_util_data()
{
    UCHAR* block = (UCHAR*)M_apm_malloc(2 * 10000 + 2 * 100);
    if (!block)
        M_apm_fatal("M_init_util_data() could not allocate memory\n", 10);
    M_div100 = block;
    M_rem100 = block + 10000;
    M_div10 = block + 20000;
    M_rem10 = block + 20100;
    for (int i = 0; i < 10000; i++) {
        M_div100[i] = (UCHAR)(i / 100);
        M_rem100[i] = (UCHAR)(i % 100);
    }
    for (int i = 0; i < 100; i++) {
        M_div10[i] = (UCHAR)(i / 10);
        M_rem10[i] = (UCHAR)(i % 10);
    }
}

void M_get_div_rem_addr(const UCHAR** quotients100, const UCHAR** remainders100)
{
    *quotients100 = M_div100;
    *remainders100 = M_rem100;
}

void M_get_div_rem(int n, UCHAR* high, UCHAR* low)
{
    *high = M_div100[n];
    *low = M_rem100[n];
}

void M_get_div_rem_10(int n, UCHAR* high, UCHAR* low)
{
    *high = M_div10[n];
    *low = M_rem10[n];
}

void M_init_trig_globals()
{
    MM_Zero = m_apm_init();
    MM_One = m_apm_init();
    MM_Two = m_apm_init();
    MM_Three = m_apm_init();
    MM_Ten = m_apm_init();
    MM_0_5 = m_apm_init();
    m_apm_set_long(MM_One, 1);
    m_apm_set_long(MM_Two, 2);
    m_apm_set_long(MM_Three, 3);
    m_apm_set_long(MM_Ten, 10);
    m_apm_set_string(MM_0_5, "0.5");
}

// ---------------------------------------------------------------------------
// Lifetime

M_APM m_apm_init()
{
    if (g_libraryNeedsInit) {
        g_libraryNeedsInit = false;
        M_init_util_data();
        M_init_trig_globals();
    }
    M_APM r = (M_APM)M_apm_malloc(sizeof(M_APM_struct));
    if (!r)
        M_apm_fatal("'m_apm_init', Out of memory\n", 4);
    r->data = (UCHAR*)M_apm_malloc(84);
    if (!r->data)
        M_apm_fatal("'m_apm_init', Out of memory\n", 6);
    g_liveRecords++;
    r->id = M_APM_LIVE_ID;
    r->refCount = 1;
    r->capacity = 80;
    M_set_to_zero(r);
    return r;
}

void m_apm_free(M_APM n)
{
    if (!n || n->id != M_APM_LIVE_ID) {
        fputs("Invalid M_APM variable passed to 'm_apm_free'\n", stderr);
        return;
    }
    n->id = M_APM_FREED_ID;
    g_liveRecords--;
    free(n->data);
    free(n);
}

void m_apm_copy(M_APM r, M_APM a)
{
    if (r == a)
        return;
    M_apm_reserve(r, a->datalength, "'m_apm_copy', Out of memory\n", 14);
    memcpy(r->data, a->data, BytesOf(a->datalength));
    r->datalength = a->datalength;
    r->exponent = a->exponent;
    r->sign = a->sign;
}

// ---------------------------------------------------------------------------
// Temporaries

M_APM M_get_stack_var()
{
    if (g_tempTop + 1 >= TEMP_STACK_SIZE)
        M_apm_fatal("'M_get_stack_var', Too many temporaries\n", 20);
    g_tempTop++;
    if (g_tempTop > g_tempAllocated) {
        for (int i = g_tempTop; i < g_tempTop + 3 && i < TEMP_STACK_SIZE; i++)
            g_tempStack[i] = m_apm_init();
        g_tempAllocated = g_tempTop + 2 < TEMP_STACK_SIZE ? g_tempTop + 2 : TEMP_STACK_SIZE - 1;
    }
    return g_tempStack[g_tempTop];
}

void M_restore_stack(int count)
{
    g_tempTop -= count;
}

// ---------------------------------------------------------------------------
// Normal form

void M_apm_normalize(M_APM x)
{
    if (x->sign == 0) {
        M_set_to_zero(x);
        return;
    }
    int dl = x->datalength;
    // Zero digits up to datalength + 3, so that the shifts stay inside the block.
    M_apm_reserve(x, dl + 3, "'M_apm_pad', Out of memory\n", 18);
    ClearOddHalf(x);
    int nb = BytesOf(dl);
    int padEnd = BytesOf(dl + 3);
    for (int i = nb; i < padEnd; i++)
        x->data[i] = 0;

    UCHAR* d = x->data;
    if (d[0] == 0) {
        int j = 1;
        while (j < nb && d[j] == 0)
            j++;
        if (j == nb) {
            M_set_to_zero(x);
            return;
        }
        memmove(d, d + j, nb - j);
        memset(d + nb - j, 0, j);
        nb -= j;
        dl -= 2 * j;
        x->exponent -= 2 * j;
    }
    if (d[0] < 10) {
        // The first digit is 0: every digit moves up by one place.
        for (int i = 0; i < nb; i++)
            d[i] = (UCHAR)(M_rem10[d[i]] * 10 + M_div10[d[i + 1]]);
        dl -= 1;
        x->exponent -= 1;
        nb = BytesOf(dl);
    }
    // Trailing zero digits.
    while (nb > 1 && d[nb - 1] == 0)
        nb--;
    if (2 * nb < dl)
        dl = 2 * nb;
    if (dl == 2 * nb && M_rem10[d[nb - 1]] == 0)
        dl--;
    x->datalength = dl;
    ClearOddHalf(x);
}

void M_apm_pad(M_APM x, int n)
{
    if (n <= x->datalength)
        return;
    M_apm_reserve(x, n, "'M_apm_pad', Out of memory\n", 18);
    ClearOddHalf(x);
    int from = BytesOf(x->datalength);
    int to = BytesOf(n);
    if (to > from)
        memset(x->data + from, 0, to - from);
    x->datalength = n;
}

void M_apm_scale(M_APM x, int k)
{
    if (k <= 0)
        return;
    M_apm_reserve(x, x->datalength + k + 1, "'M_apm_scale', Out of memory\n", 18);
    ClearOddHalf(x);
    UCHAR* d = x->data;
    int dl = x->datalength;
    int shift = k;
    if (shift & 1) {
        // One digit to the right: every byte takes the low digit of the byte
        // before it and its own high digit.
        int nb = BytesOf(dl);
        int newNb = BytesOf(dl + 1);
        if (newNb > nb)
            d[nb] = 0;
        for (int i = newNb - 1; i > 0; i--)
            d[i] = (UCHAR)(M_rem10[d[i - 1]] * 10 + M_div10[d[i]]);
        d[0] = M_div10[d[0]];
        dl += 1;
        shift -= 1;
    }
    if (shift > 0) {
        int bytes = shift / 2;
        memmove(d + bytes, d, BytesOf(dl));
        memset(d, 0, bytes);
        dl += shift;
    }
    x->datalength = dl;
    x->exponent += k;
}

// ---------------------------------------------------------------------------
// Queries and sign changes

int m_apm_sign(M_APM a)
{
    return a->sign;
}

int m_apm_significant_digits(M_APM a)
{
    return a->datalength;
}

int m_apm_compare(M_APM a, M_APM b)
{
    if (b->sign == 0)
        return a->sign;
    if (a->sign == 0)
        return -b->sign;
    if (a->sign != b->sign)
        return a->sign;
    int magnitude = 0;
    if (a->exponent != b->exponent) {
        magnitude = a->exponent > b->exponent ? 1 : -1;
    } else {
        int na = BytesOf(a->datalength);
        int nb = BytesOf(b->datalength);
        int common = na < nb ? na : nb;
        for (int i = 0; i < common; i++) {
            if (a->data[i] != b->data[i]) {
                magnitude = a->data[i] > b->data[i] ? 1 : -1;
                break;
            }
        }
        if (magnitude == 0 && a->datalength != b->datalength)
            magnitude = a->datalength > b->datalength ? 1 : -1;
    }
    return a->sign > 0 ? magnitude : -magnitude;
}

void m_apm_negate(M_APM r, M_APM a)
{
    m_apm_copy(r, a);
    r->sign = -r->sign;
}

void m_apm_absolute_value(M_APM r, M_APM a)
{
    m_apm_copy(r, a);
    if (r->sign < 0)
        r->sign = 1;
}

// ---------------------------------------------------------------------------
// Sum and difference

void m_apm_add(M_APM r, M_APM a, M_APM b)
{
    if (a->sign == 0) {
        m_apm_copy(r, b);
        return;
    }
    if (b->sign == 0) {
        m_apm_copy(r, a);
        return;
    }
    if (a->sign != b->sign) {
        b->sign = -b->sign;
        m_apm_subtract(r, a, b);
        b->sign = -b->sign;
        return;
    }
    if (!g_addA) {
        g_addA = m_apm_init();
        g_addB = m_apm_init();
    }
    m_apm_copy(g_addA, a);
    m_apm_copy(g_addB, b);
    // Two leading zero digits receive the final carry.
    M_apm_scale(g_addA, 2);
    M_apm_scale(g_addB, 2);
    if (g_addA->exponent > g_addB->exponent)
        M_apm_scale(g_addB, g_addA->exponent - g_addB->exponent);
    else if (g_addB->exponent > g_addA->exponent)
        M_apm_scale(g_addA, g_addB->exponent - g_addA->exponent);

    M_APM longer = g_addA;
    M_APM shorter = g_addB;
    if (g_addB->datalength > g_addA->datalength) {
        longer = g_addB;
        shorter = g_addA;
    }
    m_apm_copy(r, longer);
    UCHAR* rd = r->data;
    const UCHAR* sd = shorter->data;
    int carry = 0;
    int i = BytesOf(shorter->datalength) - 1;
    for (; i >= 0; i--) {
        int t = rd[i] + sd[i] + carry;
        if (t >= 100) {
            rd[i] = (UCHAR)(t - 100);
            carry = 1;
        } else {
            rd[i] = (UCHAR)t;
            carry = 0;
        }
    }
    // The leading zero byte stops the carry at the latest.
    for (; carry && i >= 0; i--) {
        int t = rd[i] + 1;
        if (t >= 100) {
            rd[i] = 0;
        } else {
            rd[i] = (UCHAR)t;
            carry = 0;
        }
    }
    r->sign = a->sign;
    M_apm_normalize(r);
}

void m_apm_subtract(M_APM r, M_APM a, M_APM b)
{
    if (b->sign == 0) {
        m_apm_copy(r, a);
        return;
    }
    if (a->sign == 0) {
        m_apm_copy(r, b);
        r->sign = -r->sign;
        return;
    }
    if (a->sign != b->sign) {
        b->sign = -b->sign;
        m_apm_add(r, a, b);
        b->sign = -b->sign;
        return;
    }
    if (!g_subA) {
        g_subA = m_apm_init();
        g_subB = m_apm_init();
    }
    m_apm_absolute_value(g_subA, a);
    m_apm_absolute_value(g_subB, b);
    int cmp = m_apm_compare(g_subA, g_subB);
    if (cmp == 0) {
        M_set_to_zero(r);
        return;
    }
    if (g_subA->exponent > g_subB->exponent)
        M_apm_scale(g_subB, g_subA->exponent - g_subB->exponent);
    else if (g_subB->exponent > g_subA->exponent)
        M_apm_scale(g_subA, g_subB->exponent - g_subA->exponent);
    if (g_subA->datalength > g_subB->datalength)
        M_apm_pad(g_subB, g_subA->datalength);
    else if (g_subB->datalength > g_subA->datalength)
        M_apm_pad(g_subA, g_subB->datalength);

    M_APM larger = cmp > 0 ? g_subA : g_subB;
    M_APM smaller = cmp > 0 ? g_subB : g_subA;
    m_apm_copy(r, larger);
    UCHAR* rd = r->data;
    const UCHAR* sd = smaller->data;
    int borrow = 0;
    for (int i = BytesOf(r->datalength) - 1; i >= 0; i--) {
        int t = rd[i] - sd[i] - borrow;
        if (t < 0) {
            rd[i] = (UCHAR)(t + 100);
            borrow = 1;
        } else {
            rd[i] = (UCHAR)t;
            borrow = 0;
        }
    }
    r->sign = cmp > 0 ? a->sign : -a->sign;
    M_apm_normalize(r);
}

// ---------------------------------------------------------------------------
// Product

void M_schoolbook_multiply(M_APM r, M_APM a, M_APM b)
{
    int sign = a->sign * b->sign;
    if (sign == 0) {
        M_set_to_zero(r);
        return;
    }
    int na = BytesOf(a->datalength);
    int nb = BytesOf(b->datalength);
    // na + nb bytes are written even when both counts are odd.
    M_apm_reserve(r, 2 * (na + nb), "'m_apm_multiply', Out of memory\n", 16);
    UCHAR* rd = r->data;
    const UCHAR* ad = a->data;
    const UCHAR* bd = b->data;
    memset(rd, 0, na + nb);
    for (int i = na - 1; i >= 0; i--) {
        int ai = ad[i];
        if (ai == 0)
            continue;
        int carry = 0;
        UCHAR* row = rd + i + 1;
        for (int j = nb - 1; j >= 0; j--) {
            int t = ai * bd[j] + row[j] + carry;   // at most 9999
            row[j] = M_rem100[t];
            carry = M_div100[t];
        }
        rd[i] = (UCHAR)carry;
    }
    r->datalength = a->datalength + b->datalength;
    if (2 * (na + nb) < r->datalength)
        r->datalength = 2 * (na + nb);
    r->exponent = a->exponent + b->exponent;
    r->sign = sign;
    M_apm_normalize(r);
}

void m_apm_multiply(M_APM r, M_APM a, M_APM b)
{
    if (a->sign * b->sign == 0) {
        M_set_to_zero(r);
        return;
    }
    if (BytesOf(a->datalength) >= M_FAST_MULTIPLY_MIN_BYTES
        && BytesOf(b->datalength) >= M_FAST_MULTIPLY_MIN_BYTES) {
        M_fast_multiply(r, a, b);
        return;
    }
    M_schoolbook_multiply(r, a, b);
}

// ---------------------------------------------------------------------------
// Rounding

void m_apm_round(M_APM r, int places, M_APM a)
{
    if (places < 0)
        places = 0;
    int n = places + 1;
    if (a->datalength <= n) {
        m_apm_copy(r, a);
        return;
    }
    if (!g_roundFive) {
        g_roundFive = m_apm_init();
        m_apm_set_long(g_roundFive, 5);
    }
    // Half a unit of the n-th digit, added away from zero.
    g_roundFive->exponent = a->exponent - n;
    if (a->sign > 0)
        m_apm_add(r, a, g_roundFive);
    else
        m_apm_subtract(r, a, g_roundFive);
    if (r->datalength > n) {
        r->datalength = n;
        ClearOddHalf(r);
    }
    M_apm_normalize(r);
}

void M_apm_round_fixpt(M_APM r, int places, M_APM a)
{
    int p = a->exponent + places - 1;
    if (p >= 0) {
        m_apm_round(r, p, a);
    } else if (p == -1 && a->sign != 0 && M_div10[a->data[0]] >= 5) {
        // The first digit lies just after the kept places: one unit of the
        // last kept place.
        r->data[0] = 10;
        r->datalength = 1;
        r->exponent = a->exponent + 1;
        r->sign = a->sign;
    } else {
        M_set_to_zero(r);
    }
}
