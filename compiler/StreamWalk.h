// Walking a checked element stream one subexpression at a time: how many
// operands an element takes and the type it leaves. Shared by constant
// folding and the optimizer's rewrites, which keep one record per finished
// subexpression (its type, its first and last word).
#pragma once

#include <stdint.h>

#include <vector>

class FormulaCompiler;

namespace streamwalk {

// One finished subexpression: words first..last of the stream.
struct Operand {
    int32_t type;
    int32_t constness;   // constant folding: 0 constant, 1 run-time, 2 open
    int32_t first;
    int32_t last;
};

// Marker record of an index list (element 275).
enum { MARKER_TYPE = -100 };

// Operands an operation element consumes: 2 for the binary operations, the
// template's count for functions, the parameter count of a user-function
// call, 1 for one-operand operations, 0 for randomReal; -1 for anything the
// walkers do not know (they stop there).
int OperandCount(const FormulaCompiler& compiler, int32_t element);
// The type an operation leaves for its operand types (ints and bools count
// as reals); -1 when no template takes them.
int ResultType(const FormulaCompiler& compiler, int32_t element, const int32_t* types, int count);
// Whether the words first..last hold an element with an effect beyond its
// value (a call, an assignment, srand).
bool HasSideEffect(const int32_t* stream, int first, int last);
// Replaces the words first..last by n words (n not above the range's
// length); the rest of the stream (through its end word) moves down.
// Returns the number of words removed.
int Splice(int32_t* stream, int first, int last, const int32_t* words, int n);

}  // namespace streamwalk
