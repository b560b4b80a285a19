// The stack machine that evaluates the opcode streams of IfsParser.h on
// complex numbers: one accumulator, a caller-owned stack of doubles and an
// evaluation context holding the named values of the expression language.
// One routine per opcode in FormulaOpTable; fn1..fn4 choose from
// UserFunctionTable.
#pragma once
#include <stdint.h>

struct Complex {
    double re, im;
};

struct EvalContext {
    double* stackTop;              // next free place of the value stack
    const uint32_t* ip;            // next word of the opcode stream
    int32_t reserved;
    Complex z;
    Complex* variables;            // slot n = variable id n; null: none (loads 0, stores nothing)
    Complex p1, p2, p3, p4;
    double bailout, bailin;
    int32_t fn1, fn2, fn3, fn4;    // indexes into UserFunctionTable
    int32_t iter, maxiter;
    int32_t width, height;
    int32_t randState;
    double spare[11];
    double left, right, top, bottom;
    Complex pixel;
    Complex corner1, corner2, corner3, corner4;
    int32_t posx, posy;
    // Bounds the machine keeps to: the end of the value stack (null: the
    // caller guarantees room) and the number of variable slots.
    double* stackEnd;
    int32_t variableCount;
};

typedef void (*FormulaOp)(EvalContext* context, Complex* acc);
enum { FORMULA_OP_COUNT = 308, USER_FUNCTION_COUNT = 31 };
// Filled once at start-up; DoNothing for the opcodes without an operation.
extern FormulaOp FormulaOpTable[FORMULA_OP_COUNT];
// The 31 functions fn1..fn4 choose from, then a null entry.
extern const FormulaOp UserFunctionTable[USER_FUNCTION_COUNT + 1];

// The language's shortened constants.
const double IFS_PI = 3.1415926535;
const double IFS_E = 2.718281828;
const double IFS_HALF_PI = 1.57079632675;
const int32_t IFS_RAND_SEED = 1321885735;

// Runs the stream at context->ip with the stack at context->stackTop; the
// accumulator holds the result, and the stores of the assignment part are
// made.
void RunFormula(EvalContext* context, Complex* acc);
