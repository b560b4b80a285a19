// Items are short; the buffer holds the longest numeric item with room.
#include "files/entry/EntryFormat.h"

#include <stdarg.h>
#include <stdlib.h>

#include "foundation/CrtFormat.h"

std::string EntryFormat(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    CrtFormatV(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string ExactNumber(const char* format, double value)
{
    std::string text = EntryFormat(format, value);
    if (strtod(text.c_str(), nullptr) == value)
        return text;
    return EntryFormat("%.15lg", value);
}

std::string TrimmedNumber(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    std::string s = text;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

bool ReadIntValue(const char* text, int* out)
{
    char* end;
    long long v = strtoll(text, &end, 10);
    if (end == text)
        return false;
    if (v > 2147483647LL)
        v = 2147483647LL;
    if (v < -2147483647LL - 1)
        v = -2147483647LL - 1;
    *out = (int)v;
    return true;
}

bool ReadRealValue(const char* text, double* out)
{
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    // "%lf" of the C runtime reads decimal numbers only: no "inf", "nan" or
    // hexadecimal forms.
    const char* q = p + (*p == '+' || *p == '-');
    if (!((*q >= '0' && *q <= '9') || (*q == '.' && q[1] >= '0' && q[1] <= '9')))
        return false;
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        *out = 0;
        return true;
    }
    char* end;
    double v = strtod(p, &end);
    if (end == p)
        return false;
    *out = v;
    return true;
}
