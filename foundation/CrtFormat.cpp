#include "foundation/CrtFormat.h"
#include <cstdio>

int CrtFormatV(char* out, size_t size, const char* format, va_list args)
{
    if (!out || size == 0)
        return -1;
    // msvcrt's _vsnprintf leaves the text unterminated when it fills the
    // buffer and answers -1 when it does not fit.
    int n = _vsnprintf(out, size - 1, format, args);
    out[size - 1] = 0;
    if (n < 0 || static_cast<size_t>(n) >= size - 1) {
        if (n >= 0 && static_cast<size_t>(n) == size - 1)
            return n;
        return -1;
    }
    return n;
}

int CrtFormat(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = CrtFormatV(out, size, format, args);
    va_end(args);
    return n;
}
