#include "compiler/EnumValues.h"

#include <string.h>

#include "foundation/Buffers.h"

namespace {

// Walks the records of a list inside capacity bytes. Returns the offset of
// the end mark, or -1 when the block ends before one is found.
int FindEndMark(const uint8_t* data, int capacity)
{
    int offset = 0;
    while (offset + 4 <= capacity) {
        int32_t value;
        memcpy(&value, data + offset, 4);
        if (value < 0)
            return offset;
        offset += 4;
        const void* zero = memchr(data + offset, 0, capacity - offset);
        if (!zero)
            return -1;
        offset = (int)((const uint8_t*)zero - data) + 1;
    }
    return -1;
}

void WriteInt(uint8_t* at, int32_t value) { memcpy(at, &value, 4); }

}  // namespace

int EnumListLength(const void* list, int capacity)
{
    if (!list || capacity < 4)
        return -1;
    int end = FindEndMark((const uint8_t*)list, capacity);
    return end < 0 ? -1 : end + 4;
}

void SetEnumValues(GrowBuffer** buffer, const char* const* names)
{
    int total = 4;
    for (const char* const* n = names; n && *n; ++n)
        total += 4 + (int)strlen(*n) + 1;
    if (!*buffer)
        *buffer = new GrowBuffer(100);
    (*buffer)->Reserve(total);
    uint8_t* data = (uint8_t*)(*buffer)->GetData();
    if (!data || (*buffer)->GetCapacity() < total)
        return;
    int offset = 0;
    int index = 0;
    for (const char* const* n = names; n && *n; ++n, ++index) {
        WriteInt(data + offset, index);
        offset += 4;
        size_t len = strlen(*n) + 1;
        memcpy(data + offset, *n, len);
        offset += (int)len;
    }
    WriteInt(data + offset, -1);
}

void ParseEnumValues(GrowBuffer* buffer, const char* text, int length)
{
    if (!buffer || !text || length < 0)
        return;
    int start = EnumListLength(buffer->GetData(), buffer->GetCapacity());
    start = start < 0 ? 0 : start - 4;  // the end mark is overwritten

    // Every piece costs its characters, a terminating zero and a value; the
    // separators give back two characters each, so this bound always holds.
    int pieces = 1;
    for (int i = 0; i + 1 < length; ++i)
        if (text[i] == '\\' && text[i + 1] == 'n')
            ++pieces;
    int needed = start + length + pieces * 5 + 4;
    buffer->Reserve(needed);
    uint8_t* data = (uint8_t*)buffer->GetData();
    if (!data || buffer->GetCapacity() < needed)
        return;

    int offset = start;
    int index = 0;
    int pieceStart = 0;
    for (int i = 0; i <= length; ++i) {
        bool separator = i + 1 < length && text[i] == '\\' && text[i + 1] == 'n';
        if (i < length && !separator)
            continue;
        WriteInt(data + offset, index++);
        offset += 4;
        memcpy(data + offset, text + pieceStart, i - pieceStart);
        offset += i - pieceStart;
        data[offset++] = 0;
        if (separator) {
            ++i;  // step over "n"
            pieceStart = i + 1;
        }
    }
    WriteInt(data + offset, -1);
}

int FindEnumValue(const void* list, const char* name)
{
    if (!list || !name)
        return -1;
    const uint8_t* p = (const uint8_t*)list;
    for (;;) {
        int32_t value;
        memcpy(&value, p, 4);
        if (value < 0)
            return -1;
        const char* entry = (const char*)p + 4;
        if (_stricmp(entry, name) == 0)
            return value;
        p = (const uint8_t*)entry + strlen(entry) + 1;
    }
}

#include "compiler/FormulaSymbol.h"

void SetEnumValues(FormulaSymbol* symbol, const char* const* names)
{
    if (symbol)
        SetEnumValues(&symbol->enumList, names);
}
