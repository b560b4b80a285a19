// The operator stack effects and parse result texts shared by the IFS
// expression parser and the formula compiler.
#include "compiler/IfsOperatorTables.h"

// 1 for "+" "-" "*" "/" "^" (8-12), the logical and comparison operators
// (32-39), "=" (43) and opcode 61; -1 for "rand" (42), 50 and 60.
const int OperatorStackEffect[OPERATOR_OPCODE_COUNT] = {
     0,  0,  0,  0,  0,  0,  0,  0,  1,  1,  // 0-9
     1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  // 10-19
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 20-29
     0,  0,  1,  1,  1,  1,  1,  1,  1,  1,  // 30-39
     0,  0, -1,  1,  0,  0,  0,  0,  0,  0,  // 40-49
    -1,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 50-59
    -1,  1,  0,  0,  0,  0,  0,  0,  0,  0,  // 60-69
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 70-79
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 80-89
     0,  // 90-90
};

const char* const ParseErrorCode[PARSE_ERROR_CODE_COUNT] = {
    "Formula ok",
    "Brackets are set wrongly",
    "Illegal character encountered...",
    "Unknown operand/operator; perhaps something is incorrectly spelled",
    "Unknown error, this shouldn't happen. Contact the author...",
    "Number of operands doesn't match the number of operators",
    "Lvalue required, i.e. z=/v0=/v1=/.../v9=",
    "Assignments can only be made at the beginning of a formula",
    "All assignment statements to the left of a formula must be variables",
    "Undefined variable",
};
