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
