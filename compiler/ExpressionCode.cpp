// Expression code generation: a typed postfix element stream becomes x87
// code joined from the machine-code templates. Every intermediate value is
// tracked on the value stack; when the eight x87 registers run out, the
// deepest values are spilled to 80-bit temporaries below the data-block
// base and reloaded when their operation comes. Conditions leave the flags
// set and hand the statement compiler the bytes of their conditional jumps.
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "compiler/CodeEmit.h"
#include "compiler/CodeTemplate.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/OperationTypes.h"
#include "compiler/ParameterTransfer.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"

namespace {

const int32_t IN_REGISTERS = LOCATION_IN_REGISTERS;

bool IsArrayType(int type)
{
    return type == DT_ARRAY || type == DT_PREDEFINED_ARRAY;
}

bool IsRealClass(int type)
{
    return type == DT_REAL || type == DT_INT || type == DT_BOOL;
}

// Template signature type of a value: int and bool count as real.
int32_t SignatureType(int type)
{
    if (type == DT_INT || type == DT_BOOL)
        return DT_REAL;
    if (type == DT_PREDEFINED_ARRAY)
        return DT_ARRAY;
    return type;
}

bool IsOneOperandOperation(int op)
{
    return (op >= 1 && op <= 7) || (op >= 13 && op <= 31) || op == 40 || op == 41 || (op >= 45 && op <= 49) ||
           (op >= 51 && op <= 59) || (op >= 62 && op <= 69) || (op >= 71 && op <= 76) || op == 80 ||
           (op >= 83 && op <= 85) || (op >= 107 && op <= 115) || op == 137 || op == 139 || op == 140 ||
           (op >= 142 && op <= 144) || op == 146 || op == 147 || op == 152 || op == 154;
}

bool IsTwoOperandOperation(int op)
{
    return (op >= 8 && op <= 12) || (op >= 32 && op <= 39) || op == 50 || op == 60 || op == 61 || op == 70 ||
           (op >= 118 && op <= 136) || op == 145;
}

bool IsConstructorOperation(int op)
{
    return (op >= 103 && op <= 106) || op == 141 || (op >= 148 && op <= 151);
}

// The operation that computes the same with its operands in the other
// stack order, or 0 when none does. Commutative operations are their own
// twins.
int ReversedTwin(int op, int left, int right)
{
    bool small = left <= DT_BOOL && right <= DT_BOOL;
    switch (op) {
    case 8: case 32: case 33: case 34: case 37:
        return op;
    case 10:
        return left != DT_QUATERNION && right != DT_QUATERNION ? 10 : 0;
    case 9: return 60;
    case 60: return 9;
    case 35: return 36;
    case 36: return 35;
    case 38: return 39;
    case 39: return 38;
    case 11: return small ? 50 : 0;
    case 50: return small ? 11 : 0;
    case 61: return small ? 70 : 0;
    case 70: return small ? 61 : 0;
    default: return 0;
    }
}

// Name of a value type in the "not supported" messages of two operands.
void PairText(int left, int right, char* text, int size)
{
    int32_t types[2];
    typePairName(left, right, types, text, size);
}

}  // namespace

// ---------------------------------------------------------------------------
// Small helpers

bool FormulaCompiler::generatingCode() const
{
    return fractal && passList[passIndex] == 2;
}

uint8_t* FormulaCompiler::reserveCode(int bytes)
{
    if (!functionCode)
        functionCode = new GrowBuffer(5000);
    int needed = codePosition + bytes;
    if (functionCode->GetCapacity() < needed)
        functionCode->ReserveSlack(needed, 50000);
    if (functionCode->GetCapacity() < needed)
        return nullptr;
    return static_cast<uint8_t*>(functionCode->GetData());
}

int FormulaCompiler::codeError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(errorText, sizeof errorText, format, args);
    va_end(args);
    return 1;
}

void FormulaCompiler::pushValue(int type, int location, int position)
{
    valueStack->push3(type, location, position);
}

void FormulaCompiler::popValue()
{
    valueStack->drop(3);
}

int FormulaCompiler::valueType(int k) const
{
    return valueStack->peek(3 * k + 2);
}

int FormulaCompiler::valueLocation(int k) const
{
    return valueStack->peek(3 * k + 1);
}

int FormulaCompiler::valuePosition(int k) const
{
    return valueStack->peek(3 * k);
}

void FormulaCompiler::emitFldSt(int i)
{
    uint8_t* code = reserveCode(4);
    if (!code)
        return;
    code[codePosition++] = 0xD9;
    code[codePosition++] = (uint8_t)(0xC0 + i);
}

void FormulaCompiler::emitStackAdjust(int n)
{
    uint8_t* code = reserveCode(8);
    if (!code)
        return;
    int magnitude = n > 0 ? n : -n;
    code[codePosition++] = magnitude < 128 ? 0x83 : 0x81;
    code[codePosition++] = n > 0 ? 0xC4 : 0xEC;
    if (magnitude < 128) {
        code[codePosition++] = (uint8_t)magnitude;
    } else {
        memcpy(code + codePosition, &magnitude, 4);
        codePosition += 4;
    }
}

namespace {

// Bytes appended at codePosition of a compiler; each call reserves room.
struct Emitter {
    FormulaCompiler* c;
    bool Bytes(std::initializer_list<uint8_t> bytes)
    {
        uint8_t* code = c->reserveCode((int)bytes.size() + 16);
        if (!code)
            return false;
        for (uint8_t b : bytes)
            code[c->codePosition++] = b;
        return true;
    }
    bool Word(int32_t v)
    {
        uint8_t* code = c->reserveCode(8);
        if (!code)
            return false;
        memcpy(code + c->codePosition, &v, 4);
        c->codePosition += 4;
        return true;
    }
    uint8_t* Room(int bytes) { return c->reserveCode(bytes + 16); }
    // FLD / FSTP tbyte [EDI+disp32].
    void LoadTemporary(int32_t disp)
    {
        Bytes({0xDB, 0xAF});
        Word(disp);
    }
    void StoreTemporary(int32_t disp)
    {
        Bytes({0xDB, 0xBF});
        Word(disp);
    }
    // FLD ST(i), FXCH ST(i), FFREE ST(i), FSTP ST(i).
    void FldSt(int i) { Bytes({0xD9, (uint8_t)(0xC0 + i)}); }
    void Fxch(int i) { Bytes({0xD9, (uint8_t)(0xC8 + i)}); }
    void Ffree(int i) { Bytes({0xDD, (uint8_t)(0xC0 + i)}); }
    void FstpSt(int i) { Bytes({0xDD, (uint8_t)(0xD8 + i)}); }
    void Fldz() { Bytes({0xD9, 0xEE}); }
    // Drops the top register: FFREE ST(0); FINCSTP.
    void DropTop() { Bytes({0xDD, 0xC0, 0xD9, 0xF7}); }
    // MOV r32, [base+disp32] / MOV [base+disp32], r32 with the register
    // number reg (EAX 0, EBX 3).
    void MovFromSlot(int reg, int32_t disp, int base)
    {
        Bytes({0x8B, (uint8_t)(0x80 | (reg << 3) | (base == BASE_EBP ? 5 : base == BASE_EBX ? 3 : 7))});
        Word(disp);
    }
    void MovToSlot(int reg, int32_t disp, int base)
    {
        Bytes({0x89, (uint8_t)(0x80 | (reg << 3) | (base == BASE_EBP ? 5 : base == BASE_EBX ? 3 : 7))});
        Word(disp);
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Spilling

void FormulaCompiler::emitRegisterSpill(int needed)
{
    Emitter e{this};
    while (x87Depth + needed > 8) {
        int count = 0;
        int32_t* items = valueStack->getItems(&count);
        int found = -1;
        for (int t = 0; items && t + 2 < count; t += 3) {
            if (items[t + 1] == IN_REGISTERS && TypeFootprint(items[t]) > 0) {
                found = t;
                break;
            }
        }
        if (found < 0)
            return;
        int type = items[found];
        int k = TypeFootprint(type);
        int d = x87Depth;
        dataBottom -= 16 * k;
        int32_t temporary = dataBottom;
        if (d == k) {
            // The only value in registers: its components are simply
            // stored and popped.
            for (int j = 0; j < k; j++)
                e.StoreTemporary(temporary + 16 * j);
        } else if (k == 1) {
            e.Fxch(d - 1);
            e.StoreTemporary(temporary);
            e.FldSt(d - 2);
            e.Ffree(d - 1);
        } else if (d <= 7) {
            for (int j = 0; j < k; j++) {
                e.FldSt(d - k + j);
                e.StoreTemporary(temporary + 16 * j);
            }
            for (int j = 1; j <= k; j++)
                e.Ffree(d - j);
        } else if (k == 2) {
            e.Fxch(6);
            e.StoreTemporary(temporary);
            e.Fxch(6);
            e.StoreTemporary(temporary + 16);
            e.FldSt(5);
            e.FldSt(5);
            e.Ffree(6);
            e.Ffree(7);
        } else if (k == 3) {
            e.Fxch(5);
            e.StoreTemporary(temporary);
            e.FldSt(5);
            e.StoreTemporary(temporary + 16);
            e.FldSt(6);
            e.StoreTemporary(temporary + 32);
            e.FldSt(4);
            e.Ffree(5);
            e.Ffree(6);
            e.Ffree(7);
        } else {
            e.Fxch(4);
            e.StoreTemporary(temporary);
            e.FldSt(4);
            e.StoreTemporary(temporary + 16);
            e.FldSt(5);
            e.StoreTemporary(temporary + 32);
            e.FldSt(6);
            e.StoreTemporary(temporary + 48);
            e.FldSt(3);
            for (int j = 4; j <= 7; j++)
                e.Ffree(j);
        }
        items[found + 1] = temporary;
        x87Depth -= k;
    }
}

// ---------------------------------------------------------------------------
// Loads and stores

bool FormulaCompiler::emitLoadSymbol(FormulaSymbol* s)
{
    Emitter e{this};
    int position = codePosition;
    int base = SymbolBase(s->id);
    int type = s->dataType;
    if (IsArrayType(type)) {
        // The block address in EBX and on the machine stack.
        e.MovFromSlot(3, s->dataOffset, base);
        e.Bytes({0x53});
        pushValue(type, IN_REGISTERS, position);
        return true;
    }
    int k = TypeFootprint(type);
    if (k == 0)
        return codeError("Internal Compiler Error: Variable \"%s\" of type %s cannot be loaded.", s->name,
                         DataTypeName(type)) == 0;
    emitRegisterSpill(k);
    uint8_t* code = e.Room(64);
    if (!code)
        return codeError("Out of memory") == 0;
    int size = PrecisionBytes(s->precision);
    if (!size)
        size = 8;
    switch (type) {
    case DT_INT:
    case DT_BOOL:
        emitFild(code, &codePosition, s->dataOffset, base);
        break;
    case DT_COLOR:
        for (int j = 3; j >= 0; j--)
            emitFld(code, &codePosition, s->dataOffset + 4 * j, base, PREC_FLOAT);
        break;
    default:
        for (int j = k - 1; j >= 0; j--)
            emitFld(code, &codePosition, s->dataOffset + j * size, base, s->precision);
        break;
    }
    x87Depth += k;
    pushValue(type, IN_REGISTERS, position);
    return true;
}

bool FormulaCompiler::emitVariableAccess(int targetType, int targetPrecision, int offset, int base, int value,
                                         bool keep)
{
    Emitter e{this};
    uint8_t* code = e.Room(160);
    if (!code)
        return codeError("Out of memory") == 0;
    int size = PrecisionBytes(targetPrecision);
    if (!size)
        size = 8;
    int valueRegisters = TypeFootprint(value);
    auto duplicate = [&](int k) {
        for (int j = 0; j < k; j++)
            e.FldSt(k - 1);
    };
    auto storeComponent = [&](int j) {
        code = e.Room(16);
        if (targetType == DT_INT || targetType == DT_BOOL)
            emitFistp(code, &codePosition, offset, base);
        else
            emitFstp(code, &codePosition, offset + j * size, base, targetPrecision);
    };
    auto zeroComponent = [&](int j) {
        e.Fldz();
        storeComponent(j);
    };
    auto dropRest = [&](int k) {
        if (!keep)
            for (int j = 0; j < k; j++)
                e.DropTop();
    };
    // Keeping a value needs as many free registers as the components
    // stored from it.
    int stored;
    bool targetReal = IsRealClass(targetType);
    if (value == DT_COMPLEX && targetType == DT_COMPLEX) stored = 2;
    else if (value == DT_COMPLEX && (targetReal || targetType == DT_QUATERNION)) stored = targetReal ? 1 : 2;
    else if (IsRealClass(value) && (targetType == DT_COMPLEX || targetType == DT_QUATERNION ||
                                    targetType == DT_VECTOR || targetReal)) stored = 1;
    else if (value == DT_QUATERNION && (targetType == DT_QUATERNION || targetType == DT_COMPLEX || targetReal))
        stored = targetType == DT_QUATERNION ? 4 : targetType == DT_COMPLEX ? 2 : 1;
    else if (value == DT_COLOR && targetType == DT_COLOR) stored = 4;
    else if (value == DT_VECTOR && targetType == DT_VECTOR) stored = 3;
    else
        return codeError("Internal Compiler Error: a value of type %s cannot be stored into a variable of type %s.",
                         DataTypeName(value), DataTypeName(targetType)) == 0;
    if (keep) {
        // The zeros written after the value need one register more.
        int extra = (stored < TypeFootprint(targetType) && targetType != DT_INT && targetType != DT_BOOL) ? 1 : 0;
        if (x87Depth + stored + extra > 8)
            emitRegisterSpill(stored + extra);
        duplicate(stored);
    }
    if (targetType == DT_COLOR) {
        for (int j = 0; j < 4; j++) {
            code = e.Room(16);
            emitFstp(code, &codePosition, offset + 4 * j, base, PREC_FLOAT);
        }
    } else {
        for (int j = 0; j < stored; j++)
            storeComponent(j);
        if (!targetReal) {
            int components = TypeFootprint(targetType);
            for (int j = stored; j < components; j++)
                zeroComponent(j);
        }
    }
    dropRest(valueRegisters - stored);
    if (!keep)
        x87Depth -= valueRegisters;
    return true;
}

bool FormulaCompiler::emitConvertTop(int toType)
{
    Emitter e{this};
    int from = valueType(0);
    if (from == toType)
        return true;
    int position = valuePosition(0);
    if (valueLocation(0) != IN_REGISTERS)
        return codeError("Internal Compiler Error: conversion of a spilled value.") == 0;
    bool fromReal = IsRealClass(from);
    bool toReal = IsRealClass(toType);
    int fromRegisters = TypeFootprint(from);
    int toRegisters = TypeFootprint(toType);
    if (fromReal && toReal) {
        // Int and bool are whole numbers held as floating values; a real
        // becomes an int or bool where it is stored.
    } else if (fromReal && (toType == DT_COMPLEX || toType == DT_QUATERNION || toType == DT_VECTOR)) {
        // Zeros pushed, then the value exchanged to the top.
        emitRegisterSpill(toRegisters - 1);
        for (int j = 1; j < toRegisters; j++)
            e.Fldz();
        e.Fxch(toRegisters - 1);
    } else if (from == DT_COMPLEX && toType == DT_QUATERNION) {
        // (c0 c1) -> (0 0 c0 c1) -> (c0 c1 0 0)
        emitRegisterSpill(2);
        e.Bytes({0xD9, 0xEE, 0xD9, 0xEE, 0xD9, 0xCB, 0xD9, 0xC9, 0xD9, 0xCA});
    } else if ((from == DT_COMPLEX || from == DT_QUATERNION) && toReal) {
        // FSTP ST(1) removes the register under the top.
        for (int j = 1; j < fromRegisters; j++)
            e.Bytes({0xDD, 0xD9});
    } else if (from == DT_QUATERNION && toType == DT_COMPLEX) {
        // (q0 q1 q2 q3) -> (q1 q2 q0) -> (q1 q0) -> (q0 q1)
        e.Bytes({0xDD, 0xDB, 0xDD, 0xD9, 0xD9, 0xC9});
    } else {
        return codeError("Internal Compiler Error: a value of type %s cannot become a %s.", DataTypeName(from),
                         DataTypeName(toType)) == 0;
    }
    x87Depth += toRegisters - fromRegisters;
    popValue();
    pushValue(toType, IN_REGISTERS, position);
    return true;
}

bool FormulaCompiler::copyTemplate(const CodeTemplate* t, bool cutForCondition)
{
    uint8_t* code = reserveCode(t->codeLength + 50);
    if (!code)
        return codeError("Out of memory") == 0;
    int length = t->codeLength;
    jumpBytesSet = 0;
    if (cutForCondition && t->jumpIfTrue) {
        size_t nameLength = strlen(t->operationName);
        bool opt = g_HasCmov && nameLength >= 4 && strcmp(t->operationName + nameLength - 4, "_opt") == 0;
        if (opt && length >= 8) {
            length -= 8;
            jumpBytesSet = 1;
        } else {
            for (int i = length - 1; i >= 0; i--) {
                if (t->code[i] == 0x9E) {
                    length = i + 1;
                    jumpBytesSet = 1;
                    break;
                }
            }
        }
        if (jumpBytesSet) {
            lastJumpBytes[0] = (uint8_t)t->jumpIfTrue;
            lastJumpBytes[1] = (uint8_t)t->jumpIfFalse;
        }
    }
    memcpy(code + codePosition, t->code, (size_t)length);
    codePosition += length;
    return true;
}

// ---------------------------------------------------------------------------
// The expression

namespace {

// The value test of a condition that is a plain value: the flags tell
// whether the top value is not 0, and the value is popped.
void EmitValueTest(FormulaCompiler* c)
{
    Emitter e{c};
    if (g_HasCmov) {
        c->emitRegisterSpill(1);
        e.Bytes({0xD9, 0xEE, 0xDF, 0xF1, 0xDD, 0xD8});
    } else {
        e.Bytes({0xD9, 0xE4, 0xDF, 0xE0, 0xDD, 0xC0, 0xD9, 0xF7, 0x9E});
    }
    c->x87Depth -= 1;
    c->popValue();
    c->lastJumpBytes[0] = 0x85;
    c->lastJumpBytes[1] = 0x84;
    c->jumpBytesSet = 1;
}

// The symbol of an integer shortcut operand: a DT_INT variable.
FormulaSymbol* IntVariable(FormulaCompiler* c, int32_t id)
{
    if (id >= 1 && id <= 21)
        return nullptr;
    FormulaSymbol* s = c->findVariable(id);
    return s && s->dataType == DT_INT ? s : nullptr;
}

// MOV EAX, y for a small integer constant or an int variable.
bool LoadEax(FormulaCompiler* c, int32_t id)
{
    Emitter e{c};
    if (id >= 1 && id <= 21) {
        e.Bytes({0xB8});
        e.Word(decodeSmallInt(id));
        return true;
    }
    FormulaSymbol* y = IntVariable(c, id);
    if (!y)
        return false;
    e.MovFromSlot(0, y->dataOffset, SymbolBase(y->id));
    return true;
}

bool IsIntOperand(FormulaCompiler* c, int32_t id)
{
    return (id >= 1 && id <= 21) || IntVariable(c, id) != nullptr;
}

// Integer forms of x = x op 1, x = x +/- y and of a comparison of two
// ints in a condition. Returns -1 when the stream is none of them, else
// the completion flag.
int IntegerShortcut(FormulaCompiler* c, const int32_t* s, bool conditionMode, uint8_t jumpBytes[2])
{
    Emitter e{c};
    int n = StreamWords(s);
    // x = x op
    if (n == 6 && s[0] == OPC_STORE && s[2] == OPC_VARIABLE && s[3] == s[1] && s[4] >= 71 && s[4] <= 74 &&
        s[5] == OP_ASSIGN && s[6] == 0) {
        FormulaSymbol* x = IntVariable(c, s[1]);
        if (!x)
            return -1;
        int base = SymbolBase(x->id);
        bool up = s[4] == 71 || s[4] == 74;
        e.Bytes({0xFF, (uint8_t)((up ? 0x80 : 0x88) | (base == BASE_EBP ? 5 : 7))});
        e.Word(x->dataOffset);
        return 1;
    }
    // x = x + y, x = x - y
    if (n == 8 && s[0] == OPC_STORE && s[2] == OPC_VARIABLE && s[3] == s[1] && s[4] == OPC_VARIABLE &&
        (s[6] == OP_ADD || s[6] == OP_SUB) && s[7] == OP_ASSIGN && s[8] == 0) {
        FormulaSymbol* x = IntVariable(c, s[1]);
        if (!x || !IsIntOperand(c, s[5]))
            return -1;
        LoadEax(c, s[5]);
        int base = SymbolBase(x->id);
        e.Bytes({(uint8_t)(s[6] == OP_ADD ? 0x01 : 0x29), (uint8_t)(0x80 | (base == BASE_EBP ? 5 : 7))});
        e.Word(x->dataOffset);
        return 1;
    }
    // x op y in a condition
    if (n == 5 && conditionMode && jumpBytes && s[0] == OPC_VARIABLE && s[2] == OPC_VARIABLE && s[4] >= 34 &&
        s[4] <= 39 && s[5] == 0) {
        FormulaSymbol* x = IntVariable(c, s[1]);
        if (!x || !IsIntOperand(c, s[3]))
            return -1;
        LoadEax(c, s[3]);
        int base = SymbolBase(x->id);
        e.Bytes({0x3B, (uint8_t)(0x80 | (base == BASE_EBP ? 5 : 7))});
        e.Word(x->dataOffset);
        static const uint8_t codes[6][2] = {
            {0x84, 0x85},   // equ
            {0x8E, 0x8F},   // ge
            {0x8D, 0x8C},   // le
            {0x85, 0x84},   // nequ
            {0x8F, 0x8E},   // lt
            {0x8C, 0x8D},   // gt
        };
        jumpBytes[0] = codes[s[4] - 34][0];
        jumpBytes[1] = codes[s[4] - 34][1];
        return 0;
    }
    return -1;
}

// Merges the top n range pairs into one that ends at last.
void MergeRanges(IntStack* ranges, int n, int last)
{
    int first = last;
    for (int j = 0; j < n && !ranges->isEmpty(); j++) {
        int32_t end, start;
        ranges->pop2(&end, &start);
        first = start;
    }
    ranges->push2(first, last);
}

}  // namespace

int FormulaCompiler::generateExpression(int32_t* elements, bool conditionMode, uint8_t jumpBytes[2], int* errorFlag,
                                        bool argumentMode, bool keepElementAddress, bool force)
{
    *errorFlag = 0;
    if (!valueStack)
        valueStack = new IntStack(200);
    if (!targetStack)
        targetStack = new IntStack(100);
    if (!rangeStack)
        rangeStack = new IntStack(200);
    targetStack->clear();
    rangeStack->clear();
    if (!force && !generatingCode())
        return 1;
    errorText[0] = 0;
    if (!argumentMode) {
        callsCompiled = 0;
        int result = handleSubFunctions(elements);
        if (result) {
            *errorFlag = result;
            return 0;
        }
        targetStack->clear();
        rangeStack->clear();
    }
    valueStack->clear();
    x87Depth = 0;
    jumpBytesSet = 0;
    currentElements = elements;
    conditionCode = conditionMode ? 1 : 0;
    keepAddress = keepElementAddress ? 1 : 0;
    if (elements[0] == OPC_END)
        return 1;

    int shortcut = IntegerShortcut(this, elements, conditionMode, jumpBytes);
    if (shortcut >= 0)
        return shortcut;

    Emitter e{this};
    int completion = 0;
    auto fail = [&](int code) {
        *errorFlag = code ? code : 1;
        return 0;
    };
    int previousIndex = -1, currentIndex = -1;
    for (elementIndex = 0; elements[elementIndex] != OPC_END;
         elementIndex += ElementWords(elements[elementIndex])) {
        int i = elementIndex;
        previousIndex = currentIndex;
        currentIndex = i;
        int32_t element = elements[i];
        bool last = elements[i + ElementWords(element)] == OPC_END;
        completion = 0;

        // A selectable function resolves to the operation chosen for it.
        bool mathParameter = false;
        if (IsFuncParameterCall(element)) {
            FormulaFuncParameter* p = findFuncParameterById(funcParameters.GetHead(), element - OPC_FUNC_PARAMETER);
            bool merge = p && p->functionTable == 1;
            int operation = merge ? 118 : 1;
            FormulaFuncParameter* given =
                p && inputFuncParameters ? static_cast<FormulaFuncParameter*>(inputFuncParameters->Find(p->name))
                                         : nullptr;
            if (given) {
                int selected = given->selected;
                if (merge && selected >= 0 && selected < MERGE_FUNCTION_COUNT)
                    operation = g_MergeFunctions[selected].operation;
                else if (!merge && selected >= 0 && selected < MATH_FUNCTION_COUNT)
                    operation = g_MathFunctions[selected].operation;
            }
            element = operation;
            mathParameter = !merge;
        }
        if (element == OP_OLDZ && subKind == SK_QUATERNION)
            element = OP_QUATERNION_OLDZ;

        if (element == OPC_VARIABLE) {
            int32_t id = elements[i + 1];
            if (id >= 1 && id <= 21) {
                int position = codePosition;
                emitRegisterSpill(1);
                if (id == 1) {
                    e.Bytes({0xD9, 0xEE});
                } else if (id == 2) {
                    e.Bytes({0xD9, 0xE8});
                } else {
                    e.Bytes({0xDF, 0x47, (uint8_t)(int8_t)(-2 * id)});
                }
                x87Depth++;
                pushValue(DT_REAL, IN_REGISTERS, position);
                rangeStack->push2(i, i + 1);
            } else {
                FormulaSymbol* s = findVariable(id);
                if (!s)
                    return fail(codeError("Internal Compiler Error: Unknown variable in compileExpression. "
                                          "Please inform the author."));
                int next = elements[i + 2];
                int component = -1;
                if (s->dataType == DT_COMPLEX && (next == 24 || next == 25))
                    component = next - 24;
                else if (s->dataType == DT_QUATERNION && (next == 24 || next == 25))
                    component = next - 24;
                else if (s->dataType == DT_QUATERNION && (next == 146 || next == 147))
                    component = next - 144;
                int footprint = TypeFootprint(s->dataType);
                bool repeated = previousIndex >= 0 && elements[previousIndex] == OPC_VARIABLE &&
                                elements[previousIndex + 1] == id &&
                                component < 0 && footprint > 0 && !IsArrayType(s->dataType) &&
                                valueStack->count() >= 3 && valueLocation(0) == IN_REGISTERS &&
                                valueType(0) == s->dataType && valuePosition(0) >= 0;
                if (repeated) {
                    // The same variable again (z*z): its value is still on
                    // top of the stack, so it is copied instead of loaded.
                    int position = codePosition;
                    emitRegisterSpill(footprint);
                    for (int j = 0; j < footprint; j++)
                        emitFldSt(footprint - 1);
                    x87Depth += footprint;
                    pushValue(s->dataType, IN_REGISTERS, position);
                    rangeStack->push2(i, i + 1);
                } else if (component >= 0) {
                    int position = codePosition;
                    emitRegisterSpill(1);
                    uint8_t* code = e.Room(16);
                    if (!code)
                        return fail(codeError("Out of memory"));
                    int size = PrecisionBytes(s->precision);
                    emitFld(code, &codePosition, s->dataOffset + component * (size ? size : 8), SymbolBase(s->id),
                            s->precision);
                    x87Depth++;
                    pushValue(DT_REAL, IN_REGISTERS, position);
                    rangeStack->push2(i, i + 2);
                    elementIndex = i + 2;   // the component operation is consumed
                    last = elements[i + 3] == OPC_END;
                } else {
                    if (!emitLoadSymbol(s))
                        return fail(1);
                    rangeStack->push2(i, i + 1);
                }
            }
            if (last && conditionMode) {
                if (IsRealClass(valueType(0)))
                    EmitValueTest(this);
            }
            continue;
        }

        if (element == OPC_STORE) {
            targetStack->push3(OPC_STORE, elements[i + 1], -1);
            rangeStack->push2(i, i + 1);
            continue;
        }

        if (element == OP_ASSIGN) {
            if (targetStack->count() < 3 || valueStack->count() < 3)
                return fail(codeError("Internal Compiler Error: Assignment without target in compileExpression. "
                                      "Please inform the author."));
            int32_t b, a, kind;
            targetStack->pop3(&b, &a, &kind);
            bool keep = !last;
            int value = valueType(0);
            if (valueLocation(0) != IN_REGISTERS)
                return fail(codeError("Internal Compiler Error: spilled value assigned."));
            bool ok = true;
            if (kind == OPC_STORE) {
                FormulaSymbol* s = findVariable(a);
                if (!s)
                    return fail(codeError("Internal Compiler Error: Unknown variable in compileExpression. "
                                          "Please inform the author."));
                if (IsArrayType(s->dataType)) {
                    if (emitArrayAssignment(s, keep))
                        return fail(1);
                    if (!keep)
                        popValue();
                    ok = true;
                    if (!rangeStack->isEmpty())
                        MergeRanges(rangeStack, 2, i);
                    if (!keep)
                        rangeStack->drop(2);
                    completion = 1;
                    continue;
                }
                ok = emitVariableAccess(s->dataType, s->precision, s->dataOffset, SymbolBase(s->id), value, keep);
            } else if (kind == OPC_ARRAY_STORE || kind == 274) {
                FormulaSymbol* array = findVariable(kind == OPC_ARRAY_STORE ? b : a);
                if (!array)
                    return fail(codeError("Internal Compiler Error: Unknown array in compileExpression. "
                                          "Please inform the author."));
                int offset = 0;
                if (kind == OPC_ARRAY_STORE) {
                    e.MovFromSlot(3, a, BASE_EDI);
                } else {
                    e.MovFromSlot(3, array->dataOffset, SymbolBase(array->id));
                    offset = b;
                }
                ok = emitVariableAccess(array->precision, array->elementPrecision, offset, BASE_EBX, value, keep);
            } else {
                return fail(codeError("Internal Compiler Error: Unknown assignment target in compileExpression. "
                                      "Please inform the author."));
            }
            if (!ok)
                return fail(1);
            if (!keep)
                popValue();
            MergeRanges(rangeStack, 2, i);
            if (!keep)
                rangeStack->drop(2);
            completion = 1;
            continue;
        }

        if (element == OPC_ARRAY_READ || element == OPC_ARRAY_STORE || element == OPC_INDEX_MARK ||
            element == OP_ARRAY) {
            int result = element == OPC_ARRAY_READ    ? compileArrayRead()
                         : element == OPC_ARRAY_STORE ? compileArrayTarget()
                         : element == OPC_INDEX_MARK  ? compileArrayIndexMark()
                                                      : compileArrayCreation();
            if (result)
                return fail(result);
            if (element == OP_ARRAY)
                completion = 1;
            // (a 275 marker may have consumed the whole access up to its 271)
            if (elements[elementIndex] == OPC_ARRAY_READ && conditionMode && elements[elementIndex + 2] == OPC_END &&
                IsRealClass(valueType(0)))
                EmitValueTest(this);
            continue;
        }

        if (IsOneOperandOperation(element)) {
            if (valueStack->count() < 3)
                return fail(codeError("Internal Compiler Error: Operation without operand in compileExpression."));
            int type = valueType(0);
            int32_t signature;
            const char* typeText;
            if (mathParameter) {
                if (IsRealClass(type)) {
                    // Widened to complex: FLDZ; FXCH ST(1).
                    if (!emitConvertTop(DT_COMPLEX))
                        return fail(1);
                    type = DT_COMPLEX;
                } else if (type != DT_COMPLEX) {
                    SingleOperandType(type, &typeText);
                    return fail(codeError("Operation \"%s\" with number type \"%s\" not supported",
                                          OperationDisplayName(element), typeText));
                }
                signature = DT_COMPLEX;
            } else {
                signature = SingleOperandType(type, &typeText);
            }
            const CodeTemplate* t =
                g_TemplateTable[element] ? FindTemplateBySignature(element, &signature, 1) : nullptr;
            if (!t) {
                SingleOperandType(type, &typeText);
                return fail(codeError("Operation \"%s\" with number type \"%s\" not supported",
                                      OperationDisplayName(element), typeText));
            }
            emitRegisterSpill(t->scratchRegisters);
            bool cut = conditionMode && last;
            if (!copyTemplate(t, cut))
                return fail(1);
            int position = valuePosition(0);
            x87Depth -= TypeFootprint(valueType(0));
            popValue();
            if (cut && jumpBytesSet) {
                rangeStack->drop(2);
                continue;
            }
            pushValue(t->resultType, IN_REGISTERS, position);
            x87Depth += TypeFootprint(t->resultType);
            if (!rangeStack->isEmpty())
                MergeRanges(rangeStack, 1, i);
            if (cut && IsRealClass(t->resultType))
                EmitValueTest(this);
            continue;
        }

        if (IsTwoOperandOperation(element)) {
            if (valueStack->count() < 6)
                return fail(codeError("Internal Compiler Error: Operation without operands in compileExpression."));
            int right = valueType(0);
            int left = valueType(1);
            if (IsArrayType(left) || IsArrayType(right) || !TypeFootprint(left) || !TypeFootprint(right)) {
                char text[80];
                PairText(left, right, text, sizeof text);
                return fail(codeError("Operation \"%s\" with number types \"%s\" not supported",
                                      OperationDisplayName(element), text));
            }
            int leftRegisters = TypeFootprint(left);
            int operation = element;
            int32_t types[2] = {SignatureType(left), SignatureType(right)};
            if (valueLocation(1) != IN_REGISTERS) {
                // The left operand comes back on top of the right one.
                int32_t temporary = valueLocation(1);
                emitRegisterSpill(leftRegisters);
                for (int j = leftRegisters - 1; j >= 0; j--)
                    e.LoadTemporary(temporary + 16 * j);
                x87Depth += leftRegisters;
                int twin = ReversedTwin(element, left, right);
                int32_t swapped[2] = {types[1], types[0]};
                if (twin && g_TemplateTable[twin] && FindTemplateBySignature(twin, swapped, 2)) {
                    operation = twin;
                    types[0] = swapped[0];
                    types[1] = swapped[1];
                } else {
                    // Back to the written order: the change template of
                    // the pair, or an exchange through the frame scratch.
                    int32_t changeTypes[2] = {swapped[0] == DT_COLOR ? DT_QUATERNION : swapped[0],
                                              swapped[1] == DT_COLOR ? DT_QUATERNION : swapped[1]};
                    const CodeTemplate* change = FindTemplateBySignature(OP_CHANGE, changeTypes, 2);
                    if (change) {
                        if (!copyTemplate(change, false))
                            return fail(1);
                    } else {
                        int rightRegisters = TypeFootprint(right);
                        for (int j = 0; j < leftRegisters + rightRegisters; j++)
                            e.Bytes({0xDB, 0x7D, (uint8_t)(int8_t)(-16 * (j + 1))});
                        for (int j = leftRegisters - 1; j >= 0; j--)
                            e.Bytes({0xDB, 0x6D, (uint8_t)(int8_t)(-16 * (j + 1))});
                        for (int j = rightRegisters - 1; j >= 0; j--)
                            e.Bytes({0xDB, 0x6D, (uint8_t)(int8_t)(-16 * (leftRegisters + j + 1))});
                    }
                }
            }
            const CodeTemplate* t =
                g_TemplateTable[operation] ? FindTemplateBySignature(operation, types, 2) : nullptr;
            if (!t) {
                char text[80];
                PairText(left, right, text, sizeof text);
                return fail(codeError("Operation \"%s\" with number types \"%s\" not supported",
                                      OperationDisplayName(element), text));
            }
            emitRegisterSpill(t->scratchRegisters);
            bool cut = conditionMode && last;
            if (!copyTemplate(t, cut))
                return fail(1);
            int position = valuePosition(1);
            x87Depth -= TypeFootprint(left) + TypeFootprint(right);
            popValue();
            popValue();
            if (cut && jumpBytesSet) {
                rangeStack->drop(4);
                continue;
            }
            pushValue(t->resultType, IN_REGISTERS, position);
            x87Depth += TypeFootprint(t->resultType);
            MergeRanges(rangeStack, 2, i);
            if (cut && IsRealClass(t->resultType))
                EmitValueTest(this);
            continue;
        }

        if (IsConstructorOperation(element)) {
            const CodeTemplate* t = g_TemplateTable[element];
            int n = t ? t->operandCount : 0;
            if (!t || valueStack->count() < 3 * n)
                return fail(codeError("Internal Compiler Error: Operation without operands in compileExpression."));
            for (int j = 0; j < n; j++) {
                if (!IsRealClass(valueType(j))) {
                    const char* typeText;
                    SingleOperandType(valueType(j), &typeText);
                    return fail(codeError("Operation \"%s\" with number type \"%s\" not supported",
                                          OperationDisplayName(element), typeText));
                }
            }
            // Spilled operands drop back into their emptied registers.
            for (int j = 1; j < n; j++) {
                if (valueLocation(j) == IN_REGISTERS)
                    continue;
                emitRegisterSpill(1);
                e.LoadTemporary(valueLocation(j));
                e.Fxch(j + 1);
                e.FstpSt(0);
                x87Depth++;
                int count = 0;
                int32_t* items = valueStack->getItems(&count);
                items[count - 3 * j - 2] = IN_REGISTERS;
            }
            emitRegisterSpill(t->scratchRegisters);
            if (!copyTemplate(t, false))
                return fail(1);
            int position = valuePosition(n - 1);
            for (int j = 0; j < n; j++) {
                x87Depth -= TypeFootprint(valueType(0));
                popValue();
            }
            pushValue(t->resultType, IN_REGISTERS, position);
            x87Depth += TypeFootprint(t->resultType);
            MergeRanges(rangeStack, n, i);
            continue;
        }

        if (element == 116 || element == 117) {
            // blend / compose (lower colour, upper colour, weight)
            if (valueStack->count() < 9 || valueType(1) != DT_COLOR || valueType(2) != DT_COLOR ||
                !IsRealClass(valueType(0))) {
                return fail(codeError("Operation \"%s\" with number type \"%s\" not supported",
                                      OperationDisplayName(element), "color"));
            }
            // w into [EBP-16], 1 - w into [EBP-32].
            e.Bytes({0xDD, 0x5D, 0xF0, 0xD9, 0xE8, 0xDC, 0x65, 0xF0, 0xDD, 0x5D, 0xE0});
            x87Depth -= 1;
            popValue();
            if (valueLocation(0) != IN_REGISTERS) {
                for (int k = 1; k >= 0; k--) {
                    emitRegisterSpill(4);
                    for (int j = 3; j >= 0; j--)
                        e.LoadTemporary(valueLocation(k) + 16 * j);
                    x87Depth += 4;
                }
            } else if (valueLocation(1) != IN_REGISTERS) {
                emitRegisterSpill(4);
                for (int j = 3; j >= 0; j--)
                    e.LoadTemporary(valueLocation(1) + 16 * j);
                x87Depth += 4;
                int32_t qq[2] = {DT_QUATERNION, DT_QUATERNION};
                const CodeTemplate* change = FindTemplateBySignature(OP_CHANGE, qq, 2);
                if (!change || !copyTemplate(change, false))
                    return fail(codeError("Internal Compiler Error: no change template."));
            }
            const CodeTemplate* t = g_TemplateTable[element];
            if (!t || !copyTemplate(t, false))
                return fail(codeError("Internal Compiler Error: no template for %s.", OperationDisplayName(element)));
            int position = valuePosition(1);
            popValue();
            popValue();
            x87Depth -= 8;
            pushValue(DT_COLOR, IN_REGISTERS, position);
            x87Depth += 4;
            MergeRanges(rangeStack, 3, i);
            continue;
        }

        if (element == 138) {
            // ubound(array, dimension): the template pops the block address.
            if (valueStack->count() < 6 || !IsArrayType(valueType(1)))
                return fail(codeError("Operation \"%s\" with number type \"%s\" not supported",
                                      OperationDisplayName(element), "real,float,double,int,bool"));
            int32_t types[2] = {DT_ARRAY, DT_REAL};
            const CodeTemplate* t = FindTemplateBySignature(138, types, 2);
            if (!t)
                return fail(codeError("Internal Compiler Error: no template for ubound."));
            emitRegisterSpill(t->scratchRegisters);
            if (!copyTemplate(t, false))
                return fail(1);
            int position = valuePosition(1);
            popValue();
            popValue();
            pushValue(DT_REAL, IN_REGISTERS, position);
            MergeRanges(rangeStack, 2, i);
            if (last && conditionMode)
                EmitValueTest(this);
            continue;
        }

        if (element == OP_RANDOM_REAL) {
            const CodeTemplate* t = g_TemplateTable[element] ? FindTemplateBySignature(element, nullptr, 0) : nullptr;
            if (!t)
                return fail(codeError("Operation \"%s\" with number type \"%s\" not supported",
                                      OperationDisplayName(element), "()"));
            emitRegisterSpill(t->scratchRegisters);
            int position = codePosition;
            if (!copyTemplate(t, false))
                return fail(1);
            pushValue(DT_REAL, IN_REGISTERS, position);
            x87Depth += 1;
            rangeStack->push2(i, i);
            if (last && conditionMode)
                EmitValueTest(this);
            continue;
        }

        return fail(codeError("Internal Compiler Error: Unknown element in compileExpression. Please inform the author."));
    }

    if (conditionMode && jumpBytes) {
        if (!jumpBytesSet && !valueStack->isEmpty() && IsRealClass(valueType(0)) && valueStack->count() == 3)
            EmitValueTest(this);
        jumpBytes[0] = lastJumpBytes[0];
        jumpBytes[1] = lastJumpBytes[1];
    }
    if (dataBlock)
        dataBlock->Reserve(dataTop, -dataBottom, 3000, 3000);
    return completion;
}

// ---------------------------------------------------------------------------
// The statement compiler's entry

int FormulaCompiler::compileExpression(const int32_t* stream, int mode, uint8_t conditionCodes[2],
                                       bool* storesNothing)
{
    conditionCodes[0] = conditionCodes[1] = 0;
    *storesNothing = false;
    if (!generatingCode())
        return 0;
    if (currentFunction && !isSectionFunction(currentFunction->decoratedName))
        promoteStaticLocal(const_cast<int32_t*>(stream));
    int error = 0;
    // The stream lives in the pipeline's buffer; the call expansion
    // rewrites it in place.
    int32_t* elements = const_cast<int32_t*>(stream);
    int completion =
        generateExpression(elements, mode == CODE_CONDITION, conditionCodes, &error, false, false, false);
    if (error)
        return 1;
    if (mode == CODE_STATEMENT && completion == 0) {
        if (callsCompiled > 0) {
            // A statement that only calls: the call stays, its value goes.
            Emitter e{this};
            while (x87Depth > 0) {
                e.FstpSt(0);
                x87Depth--;
            }
            // An array value left its block address on the machine stack.
            for (int k = 0; k < valueStack->count() / 3; k++) {
                if (IsArrayType(valueType(k)))
                    e.Bytes({0x83, 0xC4, 0x04});
            }
            valueStack->clear();
        } else {
            *storesNothing = true;
        }
    }
    return 0;
}

int FormulaCompiler::runConstantCondition(const int32_t* stream)
{
    // The condition as a routine of its own in a scratch buffer:
    // ENTER, the condition, Jcc +4, false: SUB EAX, EAX; LEAVE; RET,
    // true: SUB EAX, EAX; INC EAX; LEAVE; RET.
    if (!dataBlock || !dataBlock->GetBase())
        return NOT_COMPILED_YET;
    GrowBuffer* savedCode = functionCode;
    int savedPosition = codePosition;
    int savedBottom = dataBottom;
    GrowBuffer scratch(1000);
    functionCode = &scratch;
    codePosition = 0;
    uint8_t jumpBytes[2] = {0, 0};
    int error = 0;
    // Copy: the call expansion may rewrite the stream.
    int words = StreamWords(stream);
    int32_t* copy = new int32_t[words + 2];
    memcpy(copy, stream, (words + 1) * sizeof(int32_t));
    copy[words + 1] = 0;
    generateExpression(copy, true, jumpBytes, &error, false, false, true);
    delete[] copy;
    int result = NOT_COMPILED_YET;
    if (!error && jumpBytes[0]) {
        Emitter e{this};
        e.Bytes({0x0F, jumpBytes[0], 0x04, 0x00, 0x00, 0x00, 0x2B, 0xC0, 0xC9, 0xC3, 0x2B, 0xC0, 0x40, 0xC9, 0xC3});
        uint8_t* code = reserveCode(8);
        if (code) {
            memmove(code + 4, code, (size_t)codePosition);
            static const uint8_t enter[4] = {0xC8, 0xB0, 0x00, 0x00};
            memcpy(code, enter, 4);
            codePosition += 4;
            result = runSnippet(code, codePosition, stream, nullptr, nullptr) ? 1 : 0;
        }
    }
    functionCode = savedCode;
    codePosition = savedPosition;
    dataBottom = savedBottom;
    return result;
}

// ---------------------------------------------------------------------------
// Running snippets at compile time

namespace {

// Reads a symbol's slot into four doubles.
void ReadSlot(const uint8_t* base, const FormulaSymbol* s, double out[4])
{
    out[0] = out[1] = out[2] = out[3] = 0.0;
    const uint8_t* slot = base + s->dataOffset;
    int components = 0;
    switch (s->dataType) {
    case DT_COMPLEX: components = 2; break;
    case DT_REAL: components = 1; break;
    case DT_QUATERNION: components = 4; break;
    case DT_VECTOR: components = 3; break;
    case DT_INT:
    case DT_BOOL: {
        int32_t v;
        memcpy(&v, slot, 4);
        out[0] = v;
        return;
    }
    case DT_COLOR:
        for (int k = 0; k < 4; k++) {
            float f;
            memcpy(&f, slot + 4 * k, 4);
            out[k] = f;
        }
        return;
    default:
        return;
    }
    for (int k = 0; k < components; k++) {
        switch (s->precision) {
        case PREC_EXTENDED: {
            long double v = 0;
            memcpy(&v, slot + 16 * k, 10);
            out[k] = (double)v;
            break;
        }
        case PREC_FLOAT: {
            float f;
            memcpy(&f, slot + 4 * k, 4);
            out[k] = f;
            break;
        }
        default:
            memcpy(&out[k], slot + 8 * k, 8);
            break;
        }
    }
}

}  // namespace

bool FormulaCompiler::runSnippet(const uint8_t* code, int length, const int32_t* elements, double out[4],
                                 FormulaSymbol* symbol)
{
    // A lone variable whose value was handed in needs no code.
    if (!out && elements && elements[0] == OPC_VARIABLE && elements[2] == OPC_END && inputSymbols) {
        FormulaSymbol* s = findSymbolById(&symbols, elements[1]);
        if (s && s->id == elements[1]) {
            if (s->variability == 0)
                return s->value[0] != 0;
            FormulaSymbol* given = static_cast<FormulaSymbol*>(inputSymbols->Find(s->name));
            if (given)
                return s->dataType == DT_BOOL ? BoolParameterValue(given->value[0]) != 0 : given->value[0] != 0;
        }
    }
    // An assignment of a parameter or constant to the symbol copies values.
    if (out && symbol && elements && elements[0] == OPC_STORE && elements[1] == symbol->id &&
        elements[2] == OPC_VARIABLE && elements[4] == OP_ASSIGN) {
        FormulaSymbol* source = findSymbolById(&symbols, elements[3]);
        if (source && source->id == elements[3]) {
            if (source->symbolClass == SYM_PARAMETER && inputSymbols) {
                FormulaSymbol* given = static_cast<FormulaSymbol*>(inputSymbols->Find(source->name));
                for (int k = 0; k < 4; k++)
                    out[k] = given ? given->value[k] : 0.0;
                if (source->dataType == DT_BOOL)
                    out[0] = BoolParameterValue(out[0]);
                return out[0] != 0;
            }
            if (source->symbolClass == SYM_CONSTANT) {
                memcpy(out, source->value, 4 * sizeof(double));
                return out[0] != 0;
            }
        }
    }
    if (!dataBlock || !dataBlock->GetBase() || !code || length <= 0)
        return false;
    dataBlock->Reserve(dataTop, -dataBottom, 3000, 3000);
    if (!snippetCode)
        snippetCode = new GrowBuffer(length + 16, true);
    snippetCode->Reserve(length + 16);
    uint8_t* executable = static_cast<uint8_t*>(snippetCode->GetData());
    if (!executable || snippetCode->GetCapacity() < length)
        return false;
    memcpy(executable, code, (size_t)length);
    FlushInstructionCache(GetCurrentProcess(), executable, (SIZE_T)length);
    bool answer = CallCompiledCode(executable, dataBlock->GetBase()) != 0;
    if (out) {
        out[0] = out[1] = out[2] = out[3] = 0.0;
        if (symbol)
            ReadSlot(dataBlock->GetBase(), symbol, out);
    }
    return answer;
}
