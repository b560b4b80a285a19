// Calls of user functions: an expression's calls are compiled ahead of the
// expression itself (arguments onto the machine stack, the call, the result
// into a temporary, by-reference arguments written back), the element stream
// is rewritten so that the expression reads the temporaries, and the code of
// the called functions is joined to a routine afterwards.
//
// Argument layout: caller and callee agree on one layout, the callee's. A
// formal parameter at [EBP + dataOffset] in the callee (offsets from 8,
// aligned to 8) lies at [ESP + dataOffset - 8] when the CALL executes. The
// caller stores the arguments from the last to the first, each one at the
// start of its room just below ESP, and lowers ESP by that room at once, so
// a stored argument is never below ESP while later arguments are computed.
//
// Result temporaries of calls made inside a user function live in that
// function's frame (EBP-based), so that a function that calls itself keeps
// the results of its own calls apart from those of the calls it makes;
// calls of the formula's sections (which are never called recursively)
// take data-block temporaries below the base.
#include <stdio.h>
#include <string.h>

#include "compiler/CodeEmit.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

namespace {

const uint8_t kCallPlaceholder[4] = {0xDE, 0xAD, 0xBE, 0xEF};

// Number of x87 components of a value of this type on the register stack;
// 0 for arrays.
int Components(int type)
{
    switch (type) {
    case DT_COMPLEX: return 2;
    case DT_QUATERNION:
    case DT_COLOR: return 4;
    case DT_VECTOR: return 3;
    case DT_ARRAY:
    case DT_PREDEFINED_ARRAY: return 0;
    default: return 1;
    }
}

bool IsIntegerType(int type)
{
    return type == DT_INT || type == DT_BOOL;
}

bool IsArrayType(int type)
{
    return type == DT_ARRAY || type == DT_PREDEFINED_ARRAY;
}

// Byte size of one component in a slot of this type and precision.
int ComponentBytes(int type, int precision)
{
    if (type == DT_COLOR)
        return 4;
    if (IsIntegerType(type))
        return 4;
    switch (precision) {
    case PREC_EXTENDED: return 16;
    case PREC_FLOAT: return 4;
    default: return 8;
    }
}

// Operand count of an operation for the range walk; -1 for an element
// that the walk does not expect, 0 for randomReal.
int OperandCount(int32_t e)
{
    switch (e) {
    case 8: case 9: case 10: case 11: case 12:
    case 43: case 50: case 60: case 61: case 70:
    case 138: case 145: case 148:
        return 2;
    case 103: case 105: case 116: case 117: case 141: case 150: case 151:
        return 3;
    case 104: case 106: case 149:
        return 4;
    case 153:
        return 0;
    case 42: case 44: case 86:
        return -1;
    default:
        break;
    }
    if (e >= 32 && e <= 39)
        return 2;
    if (e >= 118 && e <= 136)
        return 2;
    if ((e >= 77 && e <= 79) || (e >= 81 && e <= 83) || (e >= 88 && e <= 102))
        return -1;
    if (e >= 1 && e <= 154)
        return 1;
    return -1;
}

// Index of the element that ends the words first..last of a stream.
int LastElement(const int32_t* stream, int first, int last)
{
    int head = first;
    for (int i = first; i <= last && stream[i] != OPC_END; i += ElementWords(stream[i]))
        head = i;
    return head;
}

}  // namespace

// ---------------------------------------------------------------------------
// Small encoders for the call sequences

void FormulaCompiler::emitBytes(std::initializer_list<uint8_t> bytes)
{
    uint8_t buffer[32];
    int n = 0;
    for (uint8_t b : bytes) {
        if (n < (int)sizeof buffer)
            buffer[n++] = b;
    }
    emitCode(buffer, n);
}

void FormulaCompiler::emitWord(int32_t value)
{
    emitCode(reinterpret_cast<const uint8_t*>(&value), 4);
}

// An x87 memory instruction on [ESP + disp]: opcode, the ModRM reg field,
// the 8-bit form when the displacement fits.
void FormulaCompiler::emitStackOperand(uint8_t opcode, int reg, int32_t disp)
{
    if (disp >= -128 && disp <= 127) {
        emitBytes({opcode, (uint8_t)(0x44 | (reg << 3)), 0x24, (uint8_t)(int8_t)disp});
    } else {
        emitBytes({opcode, (uint8_t)(0x84 | (reg << 3)), 0x24});
        emitWord(disp);
    }
}

// An instruction on [EDI + disp] (base 0), [EBP + disp] (base 1) or
// [EBX + disp] (base 2) with a 32-bit displacement.
void FormulaCompiler::emitBaseOperand(uint8_t opcode, int reg, int32_t disp, int base)
{
    static const uint8_t rm[3] = {7, 5, 3};
    emitBytes({opcode, (uint8_t)(0x80 | (reg << 3) | rm[base < 0 || base > 2 ? 0 : base])});
    emitWord(disp);
}

// ESP += n (n < 0 lowers it).
void FormulaCompiler::emitEspAdjust(int32_t n)
{
    uint8_t op = n > 0 ? 0xC4 : 0xEC;   // ADD ESP / SUB ESP
    int32_t v = n > 0 ? n : -n;
    if (v < 128) {
        emitBytes({0x83, op, (uint8_t)v});
    } else {
        emitBytes({0x81, op});
        emitWord(v);
    }
}

// FSTP / FISTP of component 0 of the x87 stack into a slot component of
// this type and precision, addressed through ESP (base -1) or a base
// register.
void FormulaCompiler::emitComponentStore(int type, int precision, int32_t disp, int base)
{
    uint8_t opcode;
    int reg;
    if (IsIntegerType(type)) {
        opcode = 0xDB;   // FISTP m32int
        reg = 3;
    } else if (type == DT_COLOR || precision == PREC_FLOAT) {
        opcode = 0xD9;   // FSTP m32
        reg = 3;
    } else if (precision == PREC_EXTENDED) {
        opcode = 0xDB;   // FSTP m80
        reg = 7;
    } else {
        opcode = 0xDD;   // FSTP m64
        reg = 3;
    }
    if (base < 0)
        emitStackOperand(opcode, reg, disp);
    else
        emitBaseOperand(opcode, reg, disp, base);
}

void FormulaCompiler::emitComponentLoad(int type, int precision, int32_t disp, int base)
{
    uint8_t opcode;
    int reg;
    if (IsIntegerType(type)) {
        opcode = 0xDB;   // FILD m32int
        reg = 0;
    } else if (type == DT_COLOR || precision == PREC_FLOAT) {
        opcode = 0xD9;   // FLD m32
        reg = 0;
    } else if (precision == PREC_EXTENDED) {
        opcode = 0xDB;   // FLD m80
        reg = 5;
    } else {
        opcode = 0xDD;   // FLD m64
        reg = 0;
    }
    if (base < 0)
        emitStackOperand(opcode, reg, disp);
    else
        emitBaseOperand(opcode, reg, disp, base);
}

void FormulaCompiler::emitConvertingStore(int valueType, int targetType, int targetPrecision, int32_t disp,
                                          int base)
{
    int have = Components(valueType);
    int want = Components(targetType);
    int size = ComponentBytes(targetType, targetPrecision);
    int k = 0;
    for (; k < have && k < want; k++)
        emitComponentStore(targetType, targetPrecision, disp + k * size, base);
    for (; k < want; k++) {
        emitBytes({0xD9, 0xEE});   // FLDZ: the components the value lacks are 0
        emitComponentStore(targetType, targetPrecision, disp + k * size, base);
    }
    for (k = want; k < have; k++)
        emitBytes({0xDD, 0xD8});   // FSTP ST(0): the components the target lacks
}

// ---------------------------------------------------------------------------
// Argument layout

bool FormulaCompiler::argumentLayout(const FormulaFunction* f, int n, ArgumentSlot* slots, int* total)
{
    int end = 0;
    for (int p = 0; p < n; p++) {
        int32_t id = (int32_t)(SYMBOL_ID_LOCAL | (uint32_t)(p + 1));
        FormulaSymbol* formal = findSymbolById(&f->locals, id);
        if (!formal || formal->id != id || formal->dataOffset < 8)
            return false;
        slots[p].formal = formal;
        slots[p].offset = formal->dataOffset - 8;
        slots[p].size = IsArrayType(formal->dataType) ? 4 : slotSize(formal->dataType, formal->precision);
        if (p > 0 && slots[p].offset < slots[p - 1].offset + slots[p - 1].size)
            return false;
        end = slots[p].offset + slots[p].size;
    }
    end = (end + 3) & ~3;
    for (int p = 0; p < n; p++)
        slots[p].room = (p + 1 < n ? slots[p + 1].offset : end) - slots[p].offset;
    *total = end;
    return true;
}

// ---------------------------------------------------------------------------
// Temporaries

bool FormulaCompiler::compilingFrameFunction() const
{
    return currentFunction && !isSectionFunction(currentFunction->decoratedName);
}

FormulaSymbol* FormulaCompiler::makeCallTemporary(int type, int precision)
{
    FormulaSymbol* s = new FormulaSymbol();
    char name[64];
    snprintf(name, sizeof name, "INFO:some return type %d", callTemporaryCounter++);
    s->SetName(name);
    s->symbolClass = SYM_CONSTANT;
    s->dataType = type;
    s->precision = precision;
    s->currentType = type;
    s->nextType = type;
    s->variability = 1;
    s->writeCount = 1;
    s->assigned = FACT_YES;
    s->constant = FACT_NO;
    int alignment;
    int size = slotSizeAndAlign(type, precision, &alignment);
    if (compilingFrameFunction()) {
        FormulaFunction* f = currentFunction;
        f->frameBottom -= size;
        alignSlot(&f->frameBottom, alignment);
        s->dataOffset = f->frameBottom;
        s->id = (int32_t)(SYMBOL_ID_LOCAL | SYMBOL_ID_COMPILER | (uint32_t)(symbols.nextIds[1]++ & 0x3FFFFFFF));
        s->serial = serialCounter++;
        f->locals.Append(s);
        return s;
    }
    dataBottom -= size;
    alignSlot(&dataBottom, alignment);
    s->dataOffset = dataBottom;
    s->id = (int32_t)(SYMBOL_ID_COMPILER | (uint32_t)(symbols.nextIds[1]++ & 0x3FFFFFFF));
    registerVariable(s, true);
    return s;
}

FormulaSymbol* FormulaCompiler::makeAddressTemporary()
{
    return makeCallTemporary(DT_INT, -1);
}

// ---------------------------------------------------------------------------
// The calls of one expression

int FormulaCompiler::handleSubFunctions(int32_t* stream)
{
    enum { MAX_RANGES = 256, MAX_ARGUMENTS = 64 };
    struct Range {
        int first, last;
    };
    Range ranges[MAX_RANGES];
    int top = 0;   // number of ranges
    auto fail = [&](const char* message) {
        snprintf(errorText, sizeof errorText, "%s", message);
        return 2;
    };
    auto push = [&](int first, int last) {
        if (top < MAX_RANGES)
            ranges[top] = Range{first, last};
        top++;
    };
    // k operands (k >= 1) become one value ending at i.
    auto combine = [&](int k, int i) {
        if (top < k)
            return false;
        int first = top - k < MAX_RANGES ? ranges[top - k].first : i;
        top -= k;
        push(first, i);
        return true;
    };
    // The elements of one argument at a time.
    GrowBuffer arguments(0);

    int i = 0;
    while (stream[i] != OPC_END) {
        int32_t e = stream[i];
        if (top >= MAX_RANGES)
            return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
        if (e == OP_ARRAY)
            break;   // an array creation holds no calls
        if (e == OPC_VARIABLE || e == OPC_STORE) {
            push(i, i + 1);
            i += 2;
            continue;
        }
        if (e == OPC_INDEX_MARK) {
            i++;
            continue;
        }
        if (e == OPC_ARRAY_READ || e == OPC_ARRAY_STORE) {
            const FormulaSymbol* a = findVariable(stream[i + 1]);
            int n = a ? (int)a->value[0] : 0;
            if (n < 0 || n > top)
                return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
            int first = n > 0 && top - n < MAX_RANGES ? ranges[top - n].first : i;
            top -= n;
            push(first, i + 1);
            i += 2;
            continue;
        }
        if (IsFuncParameterCall(e)) {
            const FormulaFuncParameter* p = findFuncParameterById(funcParameters.GetHead(), e - OPC_FUNC_PARAMETER);
            int k = p && p->functionTable == 1 ? 2 : 1;
            if (!combine(k, i))
                return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
            i++;
            continue;
        }
        if (IsUserFunctionCall(e)) {
            FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION);
            if (!f)
                return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
            const char* at = strstr(f->decoratedName, "@@");
            int n = at ? (int)strlen(at + 2) : 0;
            if (n > top || n > MAX_ARGUMENTS)
                return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
            ArgumentSlot slots[MAX_ARGUMENTS];
            int total = 0;
            if (!argumentLayout(f, n, slots, &total))
                return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
            int first = n > 0 ? ranges[top - n].first : i;

            // Arguments from the last to the first. The element address
            // of a by-reference array element is kept in a temporary.
            FormulaSymbol* keptAddress[MAX_ARGUMENTS] = {};
            for (int t = 0; t < n; t++) {
                int p = n - 1 - t;
                const Range& r = ranges[top - 1 - t];
                FormulaSymbol* formal = slots[p].formal;
                int head = LastElement(stream, r.first, r.last);
                if (formal->byReference) {
                    FormulaSymbol* v = nullptr;
                    if (stream[head] == OPC_VARIABLE || stream[head] == OPC_ARRAY_READ)
                        v = findVariable(stream[head + 1]);
                    // A variable fixed for the calculation (a constant,
                    // one of the small integers) can't take a value back;
                    // the elements of an array always can.
                    bool smallInteger = stream[head + 1] >= 1 && stream[head + 1] <= 21;
                    bool fixed = v && stream[head] == OPC_VARIABLE && (v->variability == 0 || smallInteger);
                    if (!v || fixed || v->symbolClass == SYM_CONSTANT) {
                        snprintf(errorText, sizeof errorText,
                                 "Formal parameter \"%s\" of function %s uses Call by Reference, but the calling "
                                 "expression does not specify a proper variable.",
                                 formal->name, f->name);
                        return 2;
                    }
                    if (stream[head] == OPC_VARIABLE) {
                        v->currentType = v->dataType;
                        v->nextType = v->dataType;
                        v->constant = FACT_NO;
                    } else {
                        keptAddress[p] = makeAddressTemporary();
                    }
                }
                if (IsArrayType(formal->dataType)) {
                    // An array goes by reference: its elements must be of
                    // the parameter's type, or the callee would read and
                    // write them in the wrong size.
                    const FormulaSymbol* a = stream[head] == OPC_VARIABLE ? findVariable(stream[head + 1]) : nullptr;
                    if (!a || !IsArrayType(a->dataType) || a->precision != formal->precision ||
                        a->elementPrecision != formal->elementPrecision || a->value[0] != formal->value[0]) {
                        snprintf(errorText, sizeof errorText,
                                 "Compiler error 079: Array parameter \"%s\" of function %s needs an array of %d "
                                 "dimensions with %s elements of the same precision.",
                                 formal->name, f->name, (int)formal->value[0], DataTypeName(formal->precision));
                        return 2;
                    }
                }
                int words = r.last - r.first + 1;
                arguments.Reserve((words + 1) * (int)sizeof(int32_t));
                int32_t* argument = static_cast<int32_t*>(arguments.GetData());
                if (!argument)
                    return fail("Out of memory");
                memcpy(argument, stream + r.first, (size_t)words * sizeof(int32_t));
                argument[words] = OPC_END;
                int valueType = DT_VOID;
                int result = compileArgument(argument, keptAddress[p], &valueType);
                if (result)
                    return result;
                int room = slots[p].room;
                if (IsArrayType(formal->dataType)) {
                    // The array's load left its block address pushed.
                    if (IsArrayType(valueType))
                        emitBytes({0x5B});                        // POP EBX
                    else
                        emitBytes({0x31, 0xDB});                  // XOR EBX, EBX
                    emitBytes({0x89, 0x9C, 0x24});                // MOV [ESP + disp32], EBX
                    emitWord(-room);
                } else {
                    emitConvertingStore(valueType, formal->dataType, formal->precision, -room, -1);
                }
                emitEspAdjust(-room);
            }

            // The call; linking fills in the displacement.
            emitBytes({0xE8});
            int site = codePosition;
            emitCode(kCallPlaceholder, 4);
            if (currentFunction) {
                currentFunction->addCallSite(f);
                int32_t* words = static_cast<int32_t*>(currentFunction->callSites->GetData());
                if (words && currentFunction->callSiteCount >= 2)
                    words[currentFunction->callSiteCount - 1] = site;
            }
            callsCompiled++;

            FormulaSymbol* result = nullptr;
            if (f->resultType != DT_VOID) {
                result = makeCallTemporary(f->resultType, f->resultPrecision);
                emitConvertingStore(f->resultType, result->dataType, result->precision, result->dataOffset,
                                    (uint32_t)result->id & SYMBOL_ID_LOCAL ? 1 : 0);
            }

            // By-reference arguments back into their variables.
            for (int p = 0; p < n; p++) {
                FormulaSymbol* formal = slots[p].formal;
                if (!formal->byReference)
                    continue;
                const Range& r = ranges[top - n + p];
                int head = LastElement(stream, r.first, r.last);
                FormulaSymbol* v = findVariable(stream[head + 1]);
                if (!v)
                    continue;
                v->writeCount++;
                int from = slots[p].offset;
                if (stream[head] == OPC_VARIABLE) {
                    int base = (uint32_t)v->id & SYMBOL_ID_LOCAL ? 1 : 0;
                    if (IsArrayType(v->dataType)) {
                        emitBytes({0x8B, 0x9C, 0x24});            // MOV EBX, [ESP + disp32]
                        emitWord(from);
                        emitBaseOperand(0x89, 3, v->dataOffset, base);   // MOV [slot], EBX
                        continue;
                    }
                    int components = Components(formal->dataType);
                    int size = ComponentBytes(formal->dataType, formal->precision);
                    // Loaded in the parameter's form, stored in the
                    // variable's, the last component first.
                    for (int k = components - 1; k >= 0; k--)
                        emitComponentLoad(formal->dataType, formal->precision, from + k * size, -1);
                    emitConvertingStore(formal->dataType, v->dataType, v->precision, v->dataOffset, base);
                } else {
                    // An array element: through the address its load kept.
                    FormulaSymbol* kept = keptAddress[p];
                    if (!kept)
                        continue;
                    int keptBase = (uint32_t)kept->id & SYMBOL_ID_LOCAL ? 1 : 0;
                    emitBaseOperand(0x8B, 3, kept->dataOffset, keptBase);   // MOV EBX, [kept]
                    int components = Components(formal->dataType);
                    int size = ComponentBytes(formal->dataType, formal->precision);
                    for (int k = components - 1; k >= 0; k--)
                        emitComponentLoad(formal->dataType, formal->precision, from + k * size, -1);
                    emitConvertingStore(formal->dataType, v->precision, v->elementPrecision, 0, 2);
                }
            }
            if (total)
                emitEspAdjust(total);

            // The call's elements become a read of its result.
            top -= n;
            int after = i + 1;
            int rest = StreamWords(stream + after) + 1;
            if (result) {
                // Moved first: without arguments (or with a one-word one)
                // the read is longer than what it replaces.
                memmove(stream + first + 2, stream + after, (size_t)rest * sizeof(int32_t));
                stream[first] = OPC_VARIABLE;
                stream[first + 1] = result->id;
                push(first, first + 1);
                i = first + 2;
            } else {
                memmove(stream + first, stream + after, (size_t)rest * sizeof(int32_t));
                i = first;
            }
            continue;
        }
        int k = OperandCount(e);
        if (k < 0 || e > 0xFFFF)
            return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
        if (k == 0) {
            push(i, i);
        } else if (!combine(k, i)) {
            return fail("Internal Compiler Error: Unknown element in handleSubFunctions");
        }
        i++;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Return values

bool FormulaCompiler::convertReturnValue()
{
    if (!currentFunction || !valueStack || valueStack->count() < 3)
        return true;   // no code generated in this pass
    int from = valueType(0);
    int to = currentFunction->resultType;
    if (to == DT_VOID) {
        // A value returned from a void function would stay on the caller's
        // x87 stack.
        for (int k = TypeFootprint(from); k > 0; k--)
            emitBytes({0xDD, 0xD8});   // FSTP ST(0)
        x87Depth -= TypeFootprint(from);
        popValue();
        return true;
    }
    if (TypeFootprint(from) == TypeFootprint(to) && (from == to || TypeFootprint(to) == 1))
        return true;
    if (emitConvertTop(to))
        return true;
    snprintf(errorText, sizeof errorText, "Function %s returns %s: a %s value can't be returned.",
             currentFunction->name, DataTypeName(to), DataTypeName(from));
    return false;
}

// ---------------------------------------------------------------------------
// Linking

int FormulaCompiler::linkSubFunctions(GrowBuffer* output, int* position, FormulaFunction* function, int base)
{
    const int32_t* sites = static_cast<const int32_t*>(function->callSites->GetData());
    int count = function->callSiteCount;
    for (int k = 0; k + 1 < count; k += 2) {
        FormulaFunction* callee = reinterpret_cast<FormulaFunction*>((intptr_t)sites[k]);
        int32_t offset = sites[k + 1];
        if (!callee || offset < 0)
            continue;
        if (callee->placement < 0) {
            int length = callee->codeLength == FUNCTION_NOT_COMPILED ? 0 : (int)callee->codeLength;
            output->ReserveSlack(*position + length + 1, 1000);
            uint8_t* out = static_cast<uint8_t*>(output->GetData());
            if (!out || output->GetCapacity() < *position + length + 1)
                return count;
            if (length)
                memcpy(out + *position, callee->code->GetData(), (size_t)length);
            callee->placement = *position;
            *position += length;
            out[(*position)++] = 0xC3;   // RET
            linkSubFunctions(output, position, callee, callee->placement);
            // The recursion may have grown the buffer.
            sites = static_cast<const int32_t*>(function->callSites->GetData());
        }
        uint8_t* out = static_cast<uint8_t*>(output->GetData());
        int32_t displacement = callee->placement - (base + offset + 4);
        memcpy(out + base + offset, &displacement, 4);
    }
    return count;
}

int FormulaCompiler::compileArgument(int32_t* stream, FormulaSymbol* keptAddress, int* type)
{
    keptElementAddress = keptAddress;
    uint8_t jumpBytes[2] = {0, 0};
    int error = 0;
    generateExpression(stream, false, jumpBytes, &error, true, keptAddress != nullptr, true);
    keptElementAddress = nullptr;
    if (error)
        return error;
    *type = valueStack->count() >= 3 ? valueType(0) : DT_VOID;
    return 0;
}
