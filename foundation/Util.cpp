#include "foundation/Util.h"
#include "foundation/CrtFormat.h"

#include <stdio.h>
#include <string.h>

void FormatNumber(double value, char* out, int decimals)
{
    FormatNumber(value, out, decimals, FORMAT_NUMBER_SIZE);
}

void FormatNumber(double value, char* out, int decimals, size_t outSize)
{
    if (out == NULL || outSize == 0)
        return;
    if (decimals < 0)
        decimals = 0;
    if (decimals > FORMAT_NUMBER_MAX_DECIMALS)
        decimals = FORMAT_NUMBER_MAX_DECIMALS;

    bool exponentForm = value > 1E+20 || value < -1E+20;
    char format[16];
    snprintf(format, sizeof(format), "%s%d%s", "%.", decimals, exponentForm ? "lg" : "lf");

    char text[80];
    CrtFormat(text, sizeof text, format, value);

    if (!exponentForm && strchr(text, '.') != NULL) {
        size_t len = strlen(text);
        while (len > 0 && text[len - 1] == '0')
            text[--len] = 0;
        if (len > 0 && text[len - 1] == '.')
            text[--len] = 0;
    }
    if (strcmp(text, "-0") == 0)
        strcpy(text, "0");

    size_t len = strlen(text);
    if (len >= outSize)
        len = outSize - 1;
    memcpy(out, text, len);
    out[len] = 0;
}

bool StartsWith(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

double SignOf(double x)
{
    if (x < 0.0)
        return -1.0;
    if (x > 0.0)
        return 1.0;
    return 0.0;
}

unsigned int RgbFromBytes(const unsigned char* bytes)
{
    return (unsigned int)bytes[0] * 65536u + (unsigned int)bytes[1] * 256u + bytes[2];
}

void OrderCorners(int& x1, int& y1, int& x2, int& y2)
{
    if (x2 < x1) {
        int t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y1 < y2) {
        int t = y1;
        y1 = y2;
        y2 = t;
    }
}
