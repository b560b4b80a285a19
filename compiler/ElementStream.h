// The element stream: the int32 form of an expression that every stage of
// the formula compiler works on. An element is one word, or one word and an
// operand word (a symbol id); a stream ends with a 0 word.
#pragma once

#include <stdint.h>

enum {
    OPC_END = 0,
    OPC_LPAREN = 265,        // "(" or "["
    OPC_RPAREN = 266,        // ")" or "]"
    OPC_VARIABLE = 268,      // + symbol id: read a symbol
    OPC_ABS_OPEN = 269,      // opening bar of an absolute value ("#")
    OPC_ABS_CLOSE = 270,     // closing bar ("$")
    OPC_ARRAY_READ = 271,    // + symbol id: an array element read
    OPC_ARRAY_STORE = 272,   // + symbol id: an array element assigned
    OPC_STORE = 273,         // + symbol id: a variable assigned
    OPC_INDEX_MARK = 275,    // start of an array's index list in postfix
    OPC_NUMBER = 282,
    OPC_FUNC_PARAMETER = 0x10000,   // + id of a FormulaFuncParameter
    OPC_USER_FUNCTION = 0x20000,    // + index of a FormulaFunction
};

// Operations that have names in messages and tests.
enum {
    OP_ADD = 8,
    OP_SUB = 9,
    OP_MUL = 10,
    OP_DIV = 11,
    OP_POWER = 12,
    OP_NEGATE = 13,
    OP_AND = 32,
    OP_OR = 33,
    OP_EQUAL = 34,
    OP_NOT_EQUAL = 37,
    OP_NOT = 40,
    OP_ASSIGN = 43,
    OP_OLDZ = 62,
    OP_SQUARED_MODULUS = 80,
    OP_QUATERNION_OLDZ = 83,
    OP_COMMA = 86,
    OP_ARRAY = 87,
    OP_GRADIENT = 115,
    OP_GRADIENT_INSIDE = 137,
    OP_IS_NAN = 139,
    OP_IS_FINITE = 140,
    OP_RANDOM_REAL = 153,
};

inline bool IsFuncParameterCall(int32_t element)
{
    return element >= OPC_FUNC_PARAMETER && element < OPC_USER_FUNCTION;
}
inline bool IsUserFunctionCall(int32_t element)
{
    return element >= OPC_USER_FUNCTION && element < OPC_USER_FUNCTION + 0x10000;
}
// 2 for the elements with an operand word (268, 271, 272, 273), else 1.
inline int ElementWords(int32_t element)
{
    return element == OPC_VARIABLE || element == OPC_ARRAY_READ || element == OPC_ARRAY_STORE ||
                   element == OPC_STORE
               ? 2
               : 1;
}

// Moves the rest of a stream in place. With to < from the words from
// position from on are copied down to position to, up to and including the
// first 0 word that follows a 0 word (a deletion of from - to words); with
// from < to the words from position from up to and including the first pair
// of 0 words are moved up to position to (an insertion of to - from words).
// Positions are relative to stream and may be negative.
void shiftElements(int32_t* stream, int to, int from);

// Operands an operation consumes minus one: 1 for the binary operations,
// 2 and 3 for functions of three and four arguments, -1 for the operations
// without operand, 0 for every other.
int OperationStackEffect(int operation);

// Width of a type for the optimizer: real, int, bool 1; complex 2;
// quaternion 3; every other type (and -1) 100.
int TypeWidth(int type);

// Signature of a pair of operand types (int and bool as real; types other
// than complex, real, quaternion and vector as colour) into types[2], and
// its text ("complex and real") into text.
void typePairName(int left, int right, int32_t types[2], char* text, int size);
// The one-operand signature of a type and its name ("complex",
// "real,float,double,int,bool", ...).
int32_t SingleOperandType(int type, const char** name);

// Words of a stream before its end word.
int StreamWords(const int32_t* stream);
