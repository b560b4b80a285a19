#include "compiler/Scanners.h"

#include <stdlib.h>
#include <string.h>
#include <string>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

namespace {

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isBlankOrTab(char c)
{
    return c == ' ' || c == '\t';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void skipBlanksAndTabs(const char* text, int* position)
{
    while (isBlankOrTab(text[*position]))
        ++*position;
}

// Element codes that take more than one word in a stream.
enum {
    ELEMENT_VARIABLE = 268,
    ELEMENT_ARRAY_READ = 271,
    ELEMENT_ARRAY_STORE = 272,
    ELEMENT_STORE = 273,
    ELEMENT_NUMBER = 282,  // a double in two operand words
    ELEMENT_NOT_EQUAL = 37,
};

// Words of an element when walking a stream to its end: a number element
// carries its double in two words, which may be 0 and must not be taken for
// the terminator.
int walkLength(int element)
{
    if (element == ELEMENT_NUMBER)
        return 3;
    return FormulaTokenLength(element);
}

// Index of the terminating 0 of a stream within capacityWords, or -1.
int findStreamEnd(const int32_t* stream, int capacityWords)
{
    int i = 0;
    while (i < capacityWords) {
        if (stream[i] == 0)
            return i;
        i += walkLength(stream[i]);
    }
    return -1;
}

}  // namespace

char skipBlanks(const char* text, int* position)
{
    while (isWhite(text[*position]))
        ++*position;
    return text[*position];
}

int scanNumber(const char* text, double* value, int* length, bool* point)
{
    int p = 0;
    while (isWhite(text[p]))
        ++p;
    std::string number;  // the number as written, handed to strtod
    if (text[p] == '+' || text[p] == '-') {
        number += text[p];
        ++p;
    }
    bool digits = false;
    while (isDigit(text[p])) {
        number += text[p++];
        digits = true;
    }
    *point = false;
    if (text[p] == '.') {
        *point = true;
        number += text[p++];
        while (isDigit(text[p])) {
            number += text[p++];
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (text[p] == 'e' || text[p] == 'E') {
        ++p;
        std::string exponent = "e";
        if (text[p] == '+' || text[p] == '-')
            exponent += text[p++];
        bool exponentDigits = false;
        while (isDigit(text[p])) {
            exponent += text[p++];
            exponentDigits = true;
        }
        // An "e" without digits is consumed as exponent 0; strtod would stop
        // before it, so it is left out of the text converted.
        if (exponentDigits)
            number += exponent;
    }
    // The text holds only sign, digits, one point and a decimal exponent, so
    // strtod reads exactly this number (no hexadecimal, "inf" or "nan"
    // forms can occur) and rounds it correctly, exponent included.
    *value = strtod(number.c_str(), nullptr);
    *length = p;
    return 1;
}

int scanConstant(const char* text, int* start, int* end, int* next, double value[4], bool noParentheses)
{
    double sign = 1.0;
    int p = 0;
    if (text[0] == '-') {
        sign = -1.0;
        p = 1;
        skipBlanksAndTabs(text, &p);
    }
    value[0] = value[1] = value[2] = value[3] = 0.0;

    if (_strnicmp(text, "true", 4) == 0 && !isLetter(text[4])) {
        value[0] = 1.0;
        *start = 0;
        *end = 3;
        *next = 4;
        return 3;  // bool
    }
    if (_strnicmp(text, "false", 5) == 0 && !isLetter(text[5])) {
        *start = 0;
        *end = 4;
        *next = 5;
        return 3;  // bool
    }
    if (text[0] == '"') {
        int q = 1;
        for (;;) {
            unsigned char c = (unsigned char)text[q];
            if (c == '"')
                break;
            if (c == 0 || (c < 32 && c != '\t'))
                return CONSTANT_NONE;
            ++q;
        }
        *start = 1;
        *end = q - 1;
        *next = q + 1;
        return 10;  // a text
    }
    if (text[p] == '(' && !noParentheses) {
        double numbers[4] = {0, 0, 0, 0};
        int length;
        bool point;
        int q = p + 1;
        if (!scanNumber(text + q, &numbers[0], &length, &point))
            return CONSTANT_NONE;
        q += length;
        skipBlanksAndTabs(text, &q);
        if (text[q] != ',')
            return CONSTANT_NONE;
        ++q;
        if (!scanNumber(text + q, &numbers[1], &length, &point))
            return CONSTANT_NONE;
        q += length;
        skipBlanksAndTabs(text, &q);
        if (text[q] == 'i' || text[q] == 'I')
            ++q;
        int kind;
        if (text[q] == ')') {
            kind = 0;  // complex
        } else if (text[q] == ',') {
            ++q;
            if (!scanNumber(text + q, &numbers[2], &length, &point))
                return CONSTANT_NONE;
            q += length;
            skipBlanksAndTabs(text, &q);
            if (text[q] == ')') {
                kind = 11;  // vector
            } else {
                if (text[q] != ',')
                    return CONSTANT_NONE;
                ++q;
                if (!scanNumber(text + q, &numbers[3], &length, &point))
                    return CONSTANT_NONE;
                q += length;
                skipBlanksAndTabs(text, &q);
                if (text[q] != ')')
                    return CONSTANT_NONE;
                kind = 4;  // quaternion
            }
        } else {
            return CONSTANT_NONE;
        }
        int components = kind == 0 ? 2 : kind == 11 ? 3 : 4;
        for (int i = 0; i < components; ++i)
            value[i] = numbers[i] * sign;
        *start = 0;
        *end = q;
        *next = q + 1;
        return kind;
    }

    double number;
    int length;
    bool point;
    if (!scanNumber(text, &number, &length, &point))
        return CONSTANT_NONE;
    int q = length;
    skipBlanksAndTabs(text, &q);
    if (text[q] == 'i') {
        value[1] = number;
        *start = 0;
        *end = q;
        *next = q + 1;
        return 0;  // complex
    }
    value[0] = number;
    *start = 0;
    *end = length - 1;
    *next = length;
    double magnitude = number < 0 ? -number : number;
    if (point || number >= 10000000.0 || number <= -10000000.0 || (magnitude > 0.0 && magnitude < 1.0))
        return 1;  // real
    return 2;      // int
}

int FormulaTokenLength(int element)
{
    switch (element) {
    case ELEMENT_VARIABLE:
    case ELEMENT_ARRAY_READ:
    case ELEMENT_ARRAY_STORE:
    case ELEMENT_STORE:
        return 2;
    default:
        return 1;
    }
}

int FormulaInputClassExtended(int element)
{
    if (element >= 0x10000)
        return 5;  // call of a function parameter or user function
    if (element == 0)
        return 95;
    switch (element) {
    case 265:
        return 1;  // (
    case 266:
        return 2;  // )
    case 269:
        return 3;  // opening absolute-value bar
    case 270:
        return 4;  // closing bar
    case 271:
        return 92;
    case 272:
        return 93;
    case 273:
        return 94;
    default:
        break;
    }
    if (element >= 256)
        return 0;  // an operand
    if (element >= 103 && element <= 180)
        return 88;  // builtin functions share one class
    if (element >= 1 && element <= 999)
        return element + 4;
    return 95;
}

int encodeSmallInt(int n)
{
    return n > 0 ? 2 * n : 1 - 2 * n;
}

int decodeSmallInt(int code)
{
    return (code % 2 == 0) ? code / 2 : -(code / 2);
}

void writeBigEndian16(uint32_t value, uint8_t* high, uint8_t* low)
{
    *high = (uint8_t)(value >> 8);
    *low = (uint8_t)value;
}

void writeBigEndian32(uint32_t value, uint8_t* b0, uint8_t* b1, uint8_t* b2, uint8_t* b3)
{
    *b0 = (uint8_t)(value >> 24);
    *b1 = (uint8_t)(value >> 16);
    *b2 = (uint8_t)(value >> 8);
    *b3 = (uint8_t)value;
}

void findBracePair(const char* text, int start, int* open, int* close)
{
    *open = -1;
    *close = -1;
    int depth = 0;
    for (int p = start; text[p] != 0 && *close < 0; ++p) {
        if (text[p] == '{') {
            if (depth == 0)
                *open = p;
            ++depth;
        } else if (text[p] == '}') {
            if (depth == 1)
                *close = p;
            --depth;
        }
    }
}

int appendNotEqualZero(int32_t* stream, int capacityWords)
{
    int endIndex = findStreamEnd(stream, capacityWords);
    if (endIndex < 0 || endIndex + 5 > capacityWords)
        return -1;
    stream[endIndex] = ELEMENT_VARIABLE;
    stream[endIndex + 1] = encodeSmallInt(0);
    stream[endIndex + 2] = ELEMENT_NOT_EQUAL;
    stream[endIndex + 3] = 0;
    stream[endIndex + 4] = 0;
    return endIndex + 3;
}

int appendNotEqualZero(GrowBuffer* stream)
{
    int capacityWords = stream->GetCapacity() / 4;
    int endIndex = findStreamEnd((const int32_t*)stream->GetData(), capacityWords);
    if (endIndex < 0)
        return -1;
    stream->ReserveSlack((endIndex + 5) * 4, 64);
    if (stream->GetCapacity() < (endIndex + 5) * 4)
        return -1;
    return appendNotEqualZero((int32_t*)stream->GetData(), stream->GetCapacity() / 4);
}

int FormulaCompiler::matchLiteralPrefix(const char* text, const char* literal)
{
    int length = (int)strlen(literal);
    return strncmp(text, literal, length) == 0 ? length : -1;
}
