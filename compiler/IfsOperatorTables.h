// Tables the expression parser of IFS coefficients shares with the formula
// compiler: how many operands each operator consumes beyond the value it
// produces, and the texts of the parse result codes. One copy, read by both.
#pragma once

enum { OPERATOR_OPCODE_COUNT = 91 };   // opcodes 1..90; entry 0 unused

// Operands an operator consumes beyond the one it produces, by opcode:
// 1 for the two-operand operators, -1 for the ones that produce a value
// from nothing ("rand"), 0 for the functions and the unary operators.
extern const int OperatorStackEffect[OPERATOR_OPCODE_COUNT];

enum { PARSE_ERROR_CODE_COUNT = 10 };
// The result texts of a parse, indexed by code (0 = "Formula ok").
extern const char* const ParseErrorCode[PARSE_ERROR_CODE_COUNT];
