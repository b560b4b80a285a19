// Items are short; the buffer holds the longest numeric item with room.
#include "files/entry/EntryFormat.h"

#include <stdarg.h>

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
