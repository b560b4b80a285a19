// The small instruction encoders with which the formula compiler writes x87
// loads and stores, stack adjustments and routine frames, and the facts of
// the x87 footprint of each data type.
//
// Every encoder writes at buffer[*position] and advances *position past
// what it wrote; the caller has reserved the room. Precision codes are
// PREC_EXTENDED (1), PREC_DOUBLE (2) and PREC_FLOAT (3); base register
// codes are BASE_EDI, BASE_EBP and BASE_EBX.
#pragma once

#include <stdint.h>

#include "compiler/FormulaSymbol.h"

enum { BASE_EDI = 0, BASE_EBP = 1, BASE_EBX = 2 };

// Where compiled code finds a value in registers (the value stack's
// location of a value that has not been spilled).
enum { LOCATION_IN_REGISTERS = 1000000 };

// x87 registers a value of this type occupies: complex 2; real, int and
// bool 1; quaternion and colour 4; vector 3; arrays and the rest 0.
inline int TypeFootprint(int type)
{
    switch (type) {
    case DT_COMPLEX: return 2;
    case DT_REAL: case DT_INT: case DT_BOOL: return 1;
    case DT_QUATERNION: case DT_COLOR: return 4;
    case DT_VECTOR: return 3;
    default: return 0;
    }
}

// Bytes of one floating component in a slot of this precision: 16, 8 or 4
// (0 for any other code).
inline int PrecisionBytes(int precision)
{
    switch (precision) {
    case PREC_EXTENDED: return 16;
    case PREC_DOUBLE: return 8;
    case PREC_FLOAT: return 4;
    default: return 0;
    }
}

// The base register code of a symbol: EBP for locals and formal parameters
// of user functions (negative ids), EDI for everything else.
inline int SymbolBase(int32_t id) { return id < 0 ? BASE_EBP : BASE_EDI; }

// FLD of one component: extended DB /5, double DD /0, float D9 /0 with a
// 32-bit displacement. Returns the component size (16, 8 or 4).
int emitFld(uint8_t* buffer, int* position, int32_t disp, int base, int precision);
// FSTP of one component (DB /7, DD /3, D9 /3). Returns the component size.
int emitFstp(uint8_t* buffer, int* position, int32_t disp, int base, int precision);
// FILD / FISTP of a 32-bit integer (DB /0, DB /3).
void emitFild(uint8_t* buffer, int* position, int32_t disp, int base);
void emitFistp(uint8_t* buffer, int* position, int32_t disp, int base);
// FLD / FSTP / FILD at [ESP+disp]. emitFstpStack takes only displacements
// of -128..127. The loads return the component size.
int emitFldStack(uint8_t* buffer, int* position, int32_t disp, int precision);
int emitFstpStack(uint8_t* buffer, int* position, int32_t disp, int precision);
void emitFildStack(uint8_t* buffer, int* position, int32_t disp);
// Stores a whole value from the x87 stack, component 0 (the top) first:
// complex 2, real 1, quaternion 4, vector 3 components; int and bool one
// FISTP; colour four float stores at +0, +4, +8, +12; other types nothing.
void emitStoreValue(uint8_t* buffer, int* position, int32_t disp, int base, int type, int precision);
// FLD / FSTP m64 [EDI+disp] for disp >= 0 (the short forms for 0 and
// 1..126). Return the new position.
int emitFldQword(uint8_t* buffer, int* position, int32_t disp);
int emitFstpQword(uint8_t* buffer, int* position, int32_t disp);
// Moves the first *position bytes of buffer 4 bytes up, writes ENTER 176, 0
// in front and appends LEAVE; the position grows by 5. The buffer must hold
// *position + 5 bytes.
void wrapEnterLeave(uint8_t* buffer, int* position);

// Tab, line feed, carriage return and space.
bool isBlank(int character);

// The x87 control word compiled code runs under: round to nearest, 64-bit
// precision, every exception masked.
enum { COMPILED_CODE_CONTROL_WORD = 0x137F };

// Calls code (ending with RET) with EDI = dataBase and ECX = counter under
// the compiled-code control word and returns EAX; EBX, ESI, EDI and EBP
// are preserved for the caller. The code must lie in executable memory and
// leave the x87 stack empty.
int32_t CallCompiledCode(const void* code, void* dataBase, int32_t counter = 0);
// The same for routines called again and again: only the control word is
// saved and set around the call, and the x87 registers are freed after it.
int32_t CallCompiledRoutine(const void* code, void* dataBase, int32_t counter = 0);
