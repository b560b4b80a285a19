// The walk keeps the row and the field offset in step over every row, also
// the ones it skips, because the blocks are packed in table order. Numbers
// are printed by the Windows runtime's formatter so files match the
// program's own; integers that come in out of range clamp to the nearer
// limit of the row (and of their field), never wrap.
#include "files/entry/NamedValues.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "document/ParameterDescriptor.h"
#include "files/entry/TextWriter.h"
#include "files/entry/EntryFormat.h"
#include "foundation/bignum/BigNumber.h"

namespace {

enum { BIG_DIGITS = 50 };

int NameCount(const char* const* names)
{
    int n = 0;
    while (names != NULL && names[n] != NULL)
        n++;
    return n;
}

std::string BigText(const BigNumber& value)
{
    int size = FormatBigNumberSize(value, BIG_DIGITS) + 8;
    std::string text(size, '\0');
    FormatBigNumber(value, &text[0], BIG_DIGITS, size);
    text.resize(strlen(text.c_str()));
    return text;
}

bool Differs(const ParameterDescriptor& row, const unsigned char* a, const unsigned char* b)
{
    switch (row.valueType) {
    case PT_DOUBLE: {
        double x, y;
        memcpy(&x, a, 8);
        memcpy(&y, b, 8);
        return !(fabs(x - y) < 1e-13);
    }
    case PT_BIGNUMBER:
        return *(const BigNumber*)a != *(const BigNumber*)b;
    case PT_TEXT:
        return strncmp((const char*)a, (const char*)b, row.size) != 0;
    default:
        return memcmp(a, b, DescriptorFieldWidth(row)) != 0;
    }
}

// The value of one field as the item's text after '='; named lets int rows
// print the name of their value.
std::string ValueText(const ParameterDescriptor& row, const unsigned char* field, bool named)
{
    switch (row.valueType) {
    case PT_DOUBLE: {
        double v;
        memcpy(&v, field, 8);
        return EntryFormat("%+.15lg", v);
    }
    case PT_INT:
    case PT_CHOICE: {
        int32_t v;
        memcpy(&v, field, 4);
        if (named && v >= 0 && v < NameCount(row.valueNames))
            return row.valueNames[v];
        return EntryFormat("%+ld", (long)v);
    }
    case PT_BYTE:
        return EntryFormat("%d", field[0]);
    case PT_BIGNUMBER:
        return BigText(*(const BigNumber*)field);
    case PT_RGBA:
        return EntryFormat("%d/%d/%d/%d", field[0], field[1], field[2], field[3]);
    case PT_RGB:
        return EntryFormat("%d/%d/%d", field[0], field[1], field[2]);
    case PT_TEXT:
        return "\"" + std::string((const char*)field, strnlen((const char*)field, row.size)) + "\"";
    default:
        return "";
    }
}

bool Writable(const ParameterDescriptor& row)
{
    switch (row.valueType) {
    case PT_DOUBLE: case PT_INT: case PT_CHOICE: case PT_BYTE: case PT_BIGNUMBER:
    case PT_RGBA: case PT_RGB: case PT_TEXT:
        return true;
    default:
        return false;
    }
}

// The integer a text spells, clamped into [low, high]; false when the text
// holds no number. Read as a double first so that values beyond 32 bits
// clamp instead of wrapping.
bool ReadClamped(const char* text, double low, double high, long* out)
{
    char* end;
    double v = strtod(text, &end);
    if (end == text || v != v)
        return false;
    v = trunc(v);
    if (v < low)
        v = low;
    if (v > high)
        v = high;
    *out = (long)v;
    return true;
}

double Limit(double value, double low, double high)
{
    return value < low ? low : value > high ? high : value;
}

// The colour components "r/g/b[/a]": each clamped into 0..255. A
// component that is missing keeps its byte.
bool ReadComponents(const char* text, unsigned char* field, int count)
{
    const char* p = text;
    for (int i = 0; i < count; i++) {
        long v;
        if (!ReadClamped(p, 0, 255, &v))
            return i > 0;
        field[i] = (unsigned char)v;
        p = strchr(p, '/');
        if (p == NULL)
            return true;
        p++;
    }
    return true;
}

void ReadField(const ParameterDescriptor& row, unsigned char* field, const char* text)
{
    switch (row.valueType) {
    case PT_DOUBLE: {
        double v;
        if (sscanf(text, "%lf", &v) == 1)
            memcpy(field, &v, 8);
        break;
    }
    case PT_INT:
    case PT_CHOICE: {
        for (int i = 0; i < NameCount(row.valueNames); i++) {
            if (strcasecmp(text, row.valueNames[i]) == 0) {
                int32_t v = i;
                memcpy(field, &v, 4);
                return;
            }
        }
        double low = -2147483648.0, high = 2147483647.0;
        if (row.valueType == PT_INT) {
            low = Limit(ceil(row.minimum), low, high);
            high = Limit(floor(row.maximum), low, high);
        }
        long v;
        if (ReadClamped(text, low, high, &v)) {
            int32_t stored = (int32_t)v;
            memcpy(field, &stored, 4);
        }
        break;
    }
    case PT_BYTE: {
        double low = Limit(ceil(row.minimum), 0, 255);
        double high = Limit(floor(row.maximum), low, 255);
        long v;
        if (ReadClamped(text, low, high, &v))
            field[0] = (unsigned char)v;
        break;
    }
    case PT_BIGNUMBER:
        *(BigNumber*)field = text;
        break;
    case PT_RGBA:
        ReadComponents(text, field, 4);
        break;
    case PT_RGB:
        ReadComponents(text, field, 3);
        break;
    case PT_TEXT:
        if (row.size > 0) {
            strncpy((char*)field, text, row.size - 1);
            field[row.size - 1] = 0;
        }
        break;
    default:
        break;
    }
}

}  // namespace

void WriteNamedValues(TextWriter& writer, const ParameterDescriptor* table, const void* defaultBlock,
                      const void* block)
{
    int offset = 0;
    for (const ParameterDescriptor* row = table; row->valueType != PT_END; row++) {
        const unsigned char* field = (const unsigned char*)block + offset;
        const unsigned char* standard = (const unsigned char*)defaultBlock + offset;
        offset += DescriptorFieldWidth(*row);
        if (row->written != 1 || row->key == NULL || !Writable(*row) || !Differs(*row, field, standard))
            continue;
        std::string item = std::string(row->key) + "=" + ValueText(*row, field, true);
        writer.WriteItem(item.c_str());
    }
}

void WriteParamsKey(TextWriter& writer, const ParameterDescriptor* table, const void* defaultBlock,
                    const void* block)
{
    std::string item;
    int offset = 0;
    for (const ParameterDescriptor* row = table; row->valueType != PT_END; row++) {
        const unsigned char* field = (const unsigned char*)block + offset;
        offset += DescriptorFieldWidth(*row);
        if (row->written != 2 || !Writable(*row) || row->valueType == PT_TEXT)
            continue;
        item += item.empty() ? "params=" : "/";
        item += ValueText(*row, field, false);
    }
    if (!item.empty())
        writer.WriteItem(item.c_str());
}

int ReadNamedValue(void* block, const ParameterDescriptor* table, const char* key, const char* valueText)
{
    int offset = 0;
    for (const ParameterDescriptor* row = table; row->valueType != PT_END; row++) {
        unsigned char* field = (unsigned char*)block + offset;
        offset += DescriptorFieldWidth(*row);
        if (row->written == 0 || row->valueType == PT_BLOB || row->valueType == PT_BLOB2)
            continue;
        if (row->key == NULL || strcasecmp(row->key, key) != 0)
            continue;
        ReadField(*row, field, valueText);
        return 1;
    }
    return 0;
}
