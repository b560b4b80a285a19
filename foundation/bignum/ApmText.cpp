// Conversions between numbers and text, int and double.
#include "foundation/bignum/ApmInternal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// Work buffer of m_apm_set_string: 256 bytes at first, grown for long texts
// and released again after a call that needed more than 1000 bytes.
char* g_parseBuffer = nullptr;
int g_parseBufferSize = 0;

// Digits of an unsigned decimal text into r (r's sign and exponent are set
// by the caller); count digits, all of them '0'..'9'.
void PackDigits(M_APM r, const char* digits, int count, const char* failText, int exitCode)
{
    M_apm_reserve(r, count + 1, failText, exitCode);
    int bytes = (count + 1) / 2;
    for (int i = 0; i < bytes; i++) {
        int hi = digits[2 * i] - '0';
        int lo = 2 * i + 1 < count ? digits[2 * i + 1] - '0' : 0;
        r->data[i] = (UCHAR)(hi * 10 + lo);
    }
    r->datalength = count;
}

int DigitAt(M_APM a, int i)
{
    if (i >= a->datalength)
        return 0;
    UCHAR b = a->data[i >> 1];
    return (i & 1) ? M_rem10[b] : M_div10[b];
}

} // namespace

// ---------------------------------------------------------------------------
// Small helpers

void M_long_2_ascii(char* out, long n)
{
    if (n > 2147000000L || n < -2147000000L) {
        // Also covers the one value whose magnitude has no positive int.
        sprintf(out, "%ld", n);
        return;
    }
    char tmp[16];
    int len = 0;
    bool negative = n < 0;
    long v = negative ? -n : n;
    do {
        tmp[len++] = (char)('0' + v % 10);
        v /= 10;
    } while (v != 0);
    int k = 0;
    if (negative)
        out[k++] = '-';
    while (len > 0)
        out[k++] = tmp[--len];
    out[k] = '\0';
}

void M_lowercase(char* text)
{
    for (; *text; text++)
        if (*text >= 'A' && *text <= 'Z')
            *text = (char)(*text + ('a' - 'A'));
}

int M_strposition(const char* text, const char* pattern)
{
    const char* p = strstr(text, pattern);
    return p ? (int)(p - text) : -1;
}

// ---------------------------------------------------------------------------
// Setting values

void m_apm_set_long(M_APM r, long n)
{
    if (n == 0) {
        M_set_to_zero(r);
        return;
    }
    char text[24];
    M_long_2_ascii(text, n);
    const char* digits = text[0] == '-' ? text + 1 : text;
    int len = (int)strlen(digits);
    int count = len;
    while (count > 1 && digits[count - 1] == '0')
        count--;
    PackDigits(r, digits, count, "'m_apm_copy', Out of memory\n", 14);
    r->exponent = len;
    r->sign = n < 0 ? -1 : 1;
}

void m_apm_set_double(M_APM r, double x)
{
    if (x == 0.0) {
        M_set_to_zero(r);
        return;
    }
    char text[64];
    snprintf(text, sizeof(text), "%.14E", x);
    char* e = strchr(text, 'E');
    if (e && atoi(e + 1) == 0)
        *e = '\0';
    // Trailing zeros and a bare point before the exponent (or the end) go.
    char* end = e && *e ? e : text + strlen(text);
    char* p = end;
    if (strchr(text, '.')) {
        while (p > text && p[-1] == '0')
            p--;
        if (p > text && p[-1] == '.')
            p--;
    }
    if (p != end)
        memmove(p, end, strlen(end) + 1);
    m_apm_set_string(r, text);
}

namespace {

// Reads the exponent part after an "e" as atoi would (blanks, sign,
// digits), saturating far beyond the limit instead of overflowing.
long ReadTextExponent(const char* p)
{
    while (*p == ' ' || *p == '\t')
        p++;
    int sign = 1;
    if (*p == '-' || *p == '+')
        sign = *p++ == '-' ? -1 : 1;
    long value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (value <= 10L * M_APM_TEXT_EXPONENT_MAX)
            value = value * 10 + (*p - '0');
    }
    return sign * value;
}

} // namespace

bool m_apm_text_exponent_in_range(const char* text)
{
    const char* e = text ? strpbrk(text, "eE") : nullptr;
    if (!e)
        return true;
    long exponent = ReadTextExponent(e + 1);
    return exponent <= M_APM_TEXT_EXPONENT_MAX && exponent >= -M_APM_TEXT_EXPONENT_MAX;
}

void m_apm_set_string(M_APM r, const char* text)
{
    if (!text)
        text = "";
    int len = (int)strlen(text);
    if (!g_parseBuffer) {
        g_parseBuffer = (char*)M_apm_malloc(256);
        if (!g_parseBuffer)
            M_apm_fatal("'m_apm_set_string', Out of memory\n", 12);
        g_parseBufferSize = 256;
    }
    if (len > g_parseBufferSize - 4) {
        char* grown = (char*)M_apm_realloc(g_parseBuffer, len + 32);
        if (!grown)
            M_apm_fatal("'m_apm_set_string', Out of memory\n", 14);
        g_parseBuffer = grown;
        g_parseBufferSize = len + 32;
    }
    char* buf = g_parseBuffer;
    memcpy(buf, text, len + 1);
    M_set_to_zero(r);

    char* p = buf;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p != '\0') {
        int sign = 1;
        if (*p == '-') {
            sign = -1;
            p++;
        } else if (*p == '+') {
            p++;
        }
        M_lowercase(p);
        int exponent = 0;
        bool inRange = m_apm_text_exponent_in_range(p);
        char* e = strchr(p, 'e');
        if (e) {
            exponent = inRange ? (int)ReadTextExponent(e + 1) : 0;
            *e = '\0';
        }
        char* point = strchr(p, '.');
        if (!point) {
            point = p + strlen(p);
            point[0] = '.';
            point[1] = '\0';
        }
        // The digits before the point move up over it; the mantissa then
        // starts one character later.
        int k = (int)(point - p);
        memmove(p + 1, p, k);
        exponent += k;
        char* mantissa = p + 1;
        int count = (int)strlen(mantissa);
        bool valid = true;
        bool anyNonZero = false;
        for (int i = 0; i < count; i++) {
            if (mantissa[i] < '0' || mantissa[i] > '9') {
                valid = false;
                break;
            }
            if (mantissa[i] != '0')
                anyNonZero = true;
        }
        if (!valid) {
            fputs("Warning! 'm_apm_set_string' : Non-digit char found in parse \n", stderr);
            fprintf(stderr, "Text = [%s]\n", text);
        } else if (!inRange) {
            fputs("Warning! 'm_apm_set_string' : Exponent out of range in parse \n", stderr);
            fprintf(stderr, "Text = [%s]\n", text);
        } else if (anyNonZero) {
            PackDigits(r, mantissa, count, "'m_apm_set_string', Out of memory\n", 10);
            r->exponent = exponent;
            r->sign = sign;
            M_apm_normalize(r);
        }
    }
    if (g_parseBufferSize > 1000) {
        free(g_parseBuffer);
        g_parseBuffer = nullptr;
        g_parseBufferSize = 0;
    }
}

// ---------------------------------------------------------------------------
// Output

int m_apm_to_string_size(int places, M_APM a)
{
    int digits = places < 0 ? a->datalength : places + 1;
    return digits + 20;
}

int m_apm_to_fixpt_string_size(int places, M_APM a)
{
    // Sign, point, a carry digit of the rounding and the NUL besides the
    // integer digits and the decimals.
    long long integerDigits = a->exponent > 0 ? a->exponent : 1;
    long long decimals = places >= 0 ? places : (long long)a->datalength - a->exponent;
    if (decimals < 1)
        decimals = 1;
    long long total = integerDigits + decimals + 8;
    return total > 0x7FFFFFF0 ? 0x7FFFFFF0 : (int)total;
}

void m_apm_to_string(char* out, int places, M_APM a)
{
    if (a->sign == 0) {
        if (places < 0) {
            strcpy(out, "0.0E+0");
        } else {
            char* p = out;
            *p++ = '0';
            if (places > 0) {
                *p++ = '.';
                memset(p, '0', places);
                p += places;
            }
            strcpy(p, "E+0");
        }
        return;
    }
    M_APM v = a;
    int digits = a->datalength;
    if (places >= 0) {
        v = M_get_stack_var();
        m_apm_round(v, places, a);
        digits = places + 1;
    }
    char* p = out;
    if (v->sign < 0)
        *p++ = '-';
    *p++ = (char)('0' + DigitAt(v, 0));
    if (digits > 1) {
        *p++ = '.';
        for (int i = 1; i < digits; i++)
            *p++ = (char)('0' + DigitAt(v, i));
    }
    int e = v->exponent - 1;
    if (e < 0)
        sprintf(p, "E%d", e);
    else
        sprintf(p, "E+%d", e);
    if (places >= 0)
        M_restore_stack(1);
}

void m_apm_to_integer_string(char* out, M_APM a)
{
    if (a->sign == 0 || a->exponent < 1) {
        strcpy(out, "0");
        return;
    }
    int needed = a->exponent + 2;
    char local[128];
    char* work = local;
    if (needed >= 113) {
        work = (char*)M_apm_malloc(needed + 16);
        if (!work)
            M_apm_fatal("'m_apm_to_integer_string', Out of memory\n", 16);
    }
    char* p = work;
    if (a->sign < 0)
        *p++ = '-';
    for (int i = 0; i < a->exponent; i++)
        *p++ = (char)('0' + DigitAt(a, i));
    *p = '\0';
    strcpy(out, work);
    if (work != local)
        free(work);
}

void m_apm_to_fixpt_string(char* out, int places, M_APM a)
{
    if (places == 0) {
        M_APM t = M_get_stack_var();
        if (a->sign >= 0)
            m_apm_add(t, a, MM_0_5);
        else
            m_apm_subtract(t, a, MM_0_5);
        m_apm_to_integer_string(out, t);
        M_restore_stack(1);
        return;
    }
    M_APM v = a;
    int taken = 0;
    long long decimals;
    if (places > 0) {
        v = M_get_stack_var();
        taken = 1;
        M_apm_round_fixpt(v, places, a);
        decimals = places;
    } else {
        decimals = (long long)a->datalength - a->exponent;
        if (decimals < 1)
            decimals = 1;
    }
    if (v->sign == 0) {
        char* p = out;
        *p++ = '0';
        *p++ = '.';
        if (places > 0) {
            memset(p, '0', places);
            p += places;
        } else {
            *p++ = '0';
        }
        *p = '\0';
        M_restore_stack(taken);
        return;
    }
    long long integerDigits = v->exponent > 0 ? v->exponent : 1;
    long long needed = integerDigits + decimals + 4;
    char local[128];
    char* work = local;
    if (needed >= 113) {
        if (needed > 0x7FFFFFF0)
            M_apm_fatal("'m_apm_to_fixpt_string', Out of memory\n", 16);
        work = (char*)M_apm_malloc((size_t)needed + 16);
        if (!work)
            M_apm_fatal("'m_apm_to_fixpt_string', Out of memory\n", 16);
    }
    char* p = work;
    if (v->sign < 0)
        *p++ = '-';
    if (v->exponent < 1) {
        *p++ = '0';
        *p++ = '.';
        int zeros = -v->exponent;
        for (long long i = 0; i < decimals; i++)
            *p++ = (char)('0' + (i < zeros ? 0 : DigitAt(v, (int)(i - zeros))));
    } else {
        for (int i = 0; i < v->exponent; i++)
            *p++ = (char)('0' + DigitAt(v, i));
        *p++ = '.';
        for (long long i = 0; i < decimals; i++)
            *p++ = (char)('0' + DigitAt(v, (int)(v->exponent + i)));
    }
    *p = '\0';
    strcpy(out, work);
    if (work != local)
        free(work);
    M_restore_stack(taken);
}
