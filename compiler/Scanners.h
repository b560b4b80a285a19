// Small stateless scanners over zero-terminated formula texts, shared by the
// formula compiler and the formula converters: white space, numbers and
// constants of the formula language, the token classes of the precedence
// parser, the inline encoding of small integers and a few byte and brace
// helpers. Offsets are character offsets into the given text.
#pragma once

#include <stdint.h>

class GrowBuffer;

// Kinds returned by scanConstant are formula data types: 0 complex, 1 real,
// 2 int, 3 bool, 4 quaternion, 10 a text in double quotes, 11 vector.
enum { CONSTANT_NONE = -1 };

// Advances *position over blanks, tabs, carriage returns and line feeds and
// returns the character found there (0 at the end of the text).
char skipBlanks(const char* text, int* position);

// Scans a number at text: leading white space, an optional sign, the integer
// digits, an optional point with fraction digits and an optional exponent
// ("e" or "E", optional sign, digits; an "e" without digits counts as
// exponent 0). The value is the one the C runtime's strtod gives for the
// number written without the leading white space, so exponents are exact.
// *length receives the characters consumed (white space and exponent
// included), *point whether a decimal point was read. Returns 1 when a
// digit was seen, 0 otherwise (the outputs are then undefined).
int scanNumber(const char* text, double* value, int* length, bool* point);

// Scans a constant of the formula language at the start of text: "true",
// "false", a string in double quotes, a parenthesised complex, vector or
// quaternion (unless noParentheses is set), an imaginary number ("3i") or a
// plain number. value (four doubles) is zero-filled first. *start and *end
// receive the offsets of the constant's first and last character (for a
// string: the first and last character inside the quotes), *next the offset
// after it. Returns the constant kind or CONSTANT_NONE.
int scanConstant(const char* text, int* start, int* end, int* next, double value[4], bool noParentheses);

// Number of 32-bit words an element takes in an element stream: 2 for the
// elements that carry an operand word (268, 271, 272, 273), 1 otherwise.
int FormulaTokenLength(int element);

// Input class of an element for the compiler's precedence parser.
int FormulaInputClassExtended(int element);

// Small integers -10..10 inside element streams: codes 1..21 (0 -> 1,
// n > 0 -> 2n, n < 0 -> 1 - 2n). The code is also the id of the predefined
// symbol that holds that value.
int encodeSmallInt(int n);
int decodeSmallInt(int code);

// Split a value into bytes, the most significant first.
void writeBigEndian16(uint32_t value, uint8_t* high, uint8_t* low);
void writeBigEndian32(uint32_t value, uint8_t* b0, uint8_t* b1, uint8_t* b2, uint8_t* b3);

// From start on: the offset of the first "{" at depth 0 and of the "}" that
// closes it; -1 for each when absent.
void findBracePair(const char* text, int start, int* open, int* close);

// Turns the expression of a 0-terminated element stream into a comparison
// with 0: appends the small-integer constant 0 (element 268, operand 1) and
// the operation 37 ("!="), then two 0 words. The stream has capacityWords
// words of room; returns the index of the new terminating 0, or -1 when the
// stream has no terminator within its room or no room for the four words
// (the stream is then left unchanged).
int appendNotEqualZero(int32_t* stream, int capacityWords);
// The same on a stream held in a growable buffer, which grows as needed.
int appendNotEqualZero(GrowBuffer* stream);
