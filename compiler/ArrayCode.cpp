// Array code: creating an array, reading an element, the address of an
// element that is assigned, the assignment of a whole array, and the blocks
// of the arrays of a data block.
//
// An array variable holds the address of its block (or 0): a 64-byte header
// (element type, element size, number of dimensions n, the sizes from the
// last declared to the first, scratch words) and the elements, the first
// index varying fastest. Every access checks, at run time, that the block
// exists, has the shape the code expects and that each index lies inside
// its dimension; an element that does not exist reads as 0 and a write to
// it lands in the sink, 64 bytes of the templates' frame scratch
// [EBP-128, EBP-65] that nothing relies on. So no index reads or writes
// memory outside an array.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "compiler/CodeEmit.h"
#include "compiler/CodeTemplate.h"
#include "compiler/Scanners.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

extern "C" const uint8_t ArrayCopyCode[];
extern "C" const uint8_t ArrayCopyCodeEnd[];

namespace {

enum {
    HEADER_TYPE = 0,
    HEADER_ELEMENT_SIZE = 4,
    HEADER_DIMENSIONS = 8,
    HEADER_SIZES = 12,
    HEADER_BYTES = 64,
    DATA_INDEX_SCRATCH = 584,
    SINK = -128,
};

int Components(int type)
{
    switch (type) {
    case DT_COMPLEX: return 2;
    case DT_QUATERNION:
    case DT_COLOR: return 4;
    case DT_VECTOR: return 3;
    default: return 1;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Blocks

int ArrayElementSize(const FormulaSymbol* array)
{
    return slotSize(array->precision, array->elementPrecision);
}

void* AllocateParameterArray(const FormulaSymbol* array)
{
    int n = (int)array->value[0];
    if (n < 1 || n > SYMBOL_MAX_DIMENSIONS)
        return nullptr;
    int elementSize = ArrayElementSize(array);
    uint64_t bytes = (uint64_t)elementSize;
    int32_t sizes[SYMBOL_MAX_DIMENSIONS];
    for (int d = 0; d < n; d++) {
        sizes[d] = array->dimensions[d] > 0 ? array->dimensions[d] : 0;
        bytes *= (uint64_t)sizes[d];
        if (bytes >= 0x7FFF0000u)
            break;
    }
    void* block = nullptr;
    if (bytes < 0x7FFF0000u)
        block = VirtualAlloc(nullptr, (SIZE_T)(bytes + HEADER_BYTES), MEM_COMMIT, PAGE_READWRITE);
    if (!block) {
        // No room for the elements: a header whose sizes are 0, so that the
        // array has no elements.
        for (int d = 0; d < n; d++)
            sizes[d] = 0;
        block = VirtualAlloc(nullptr, HEADER_BYTES, MEM_COMMIT, PAGE_READWRITE);
        if (!block)
            return nullptr;
    }
    int32_t* header = static_cast<int32_t*>(block);
    header[0] = array->precision;
    header[1] = elementSize;
    header[2] = n;
    for (int d = 0; d < n; d++)
        header[3 + d] = sizes[n - 1 - d];
    return block;
}

void AllocateFormulaArrays(const NodeList* symbols, uint8_t* base, int above)
{
    for (ListNode* node = symbols->GetHead(); node; node = node->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(node);
        if (s->dataType != DT_PREDEFINED_ARRAY || s->dataOffset < 0 || s->dataOffset + 4 > above)
            continue;
        void* block;
        memcpy(&block, base + s->dataOffset, sizeof block);
        if (block)
            continue;
        block = AllocateParameterArray(s);
        memcpy(base + s->dataOffset, &block, sizeof block);
    }
}

void FreeFormulaArrays(const NodeList* symbols, uint8_t* base, int above)
{
    for (ListNode* node = symbols->GetHead(); node; node = node->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(node);
        if ((s->dataType != DT_ARRAY && s->dataType != DT_PREDEFINED_ARRAY) || s->dataOffset < 0 ||
            s->dataOffset + 4 > above)
            continue;
        void* block;
        memcpy(&block, base + s->dataOffset, sizeof block);
        if (block)
            VirtualFree(block, 0, MEM_RELEASE);
        block = nullptr;
        memcpy(base + s->dataOffset, &block, sizeof block);
    }
}

// ---------------------------------------------------------------------------
// Jumps inside the array code

int FormulaCompiler::emitForwardJump(uint8_t condition)
{
    if (condition)
        emitBytes({0x0F, condition});
    else
        emitBytes({0xE9});
    int at = codePosition;
    emitWord(0);
    return at;
}

void FormulaCompiler::patchForwardJump(int at)
{
    if (at >= 0)
        writeCodeWord(at, codePosition - (at + 4));
}

// ---------------------------------------------------------------------------
// Element addresses

int FormulaCompiler::emitElementAddress(const FormulaSymbol* array, const ArrayIndex* indices, int n,
                                        ElementJumps* jumps)
{
    jumps->failCount = 0;
    jumps->failPopCount = 0;
    if (n < 1 || n > SYMBOL_MAX_DIMENSIONS)
        n = 0;
    int elementSize = ArrayElementSize(array);
    int arrayBase = (uint32_t)array->id & SYMBOL_ID_LOCAL ? 1 : 0;
    emitBaseOperand(0x8B, 3, array->dataOffset, arrayBase);            // MOV EBX, [slot]
    emitBytes({0x85, 0xDB});                                             // TEST EBX, EBX
    jumps->fail[jumps->failCount++] = emitForwardJump(0x84);             // JZ
    emitBytes({0x83, 0x7B, HEADER_DIMENSIONS, (uint8_t)n});              // CMP dword [EBX+8], n
    jumps->fail[jumps->failCount++] = emitForwardJump(0x85);             // JNE
    emitBytes({0x83, 0x7B, HEADER_ELEMENT_SIZE, (uint8_t)elementSize});  // CMP dword [EBX+4], size
    jumps->fail[jumps->failCount++] = emitForwardJump(0x85);             // JNE
    emitBytes({0x51});                                                   // PUSH ECX
    // The flat index in EAX, from the last index to the first: the header
    // word at 12 + 4k holds the size of index n-1-k.
    for (int k = 0; k < n; k++) {
        const ArrayIndex& index = indices[n - 1 - k];
        uint8_t sizeWord = (uint8_t)(HEADER_SIZES + 4 * k);
        if (k > 0)
            emitBytes({0x0F, 0xAF, 0x43, sizeWord});                     // IMUL EAX, [EBX+12+4k]
        switch (index.kind) {
        case INDEX_CONSTANT:
            emitBytes({0xB9});                                           // MOV ECX, imm32
            emitWord(index.value);
            break;
        case INDEX_INTEGER:
            emitBaseOperand(0x8B, 1, index.offset, index.base);          // MOV ECX, [slot]
            break;
        default:
            // A real index: converted in the current rounding mode.
            emitComponentLoad(DT_REAL, index.precision, index.offset, index.base);
            emitBaseOperand(0xDB, 3, DATA_INDEX_SCRATCH, 0);             // FISTP dword [EDI+584]
            emitBaseOperand(0x8B, 1, DATA_INDEX_SCRATCH, 0);             // MOV ECX, [EDI+584]
            break;
        }
        emitBytes({0x3B, 0x4B, sizeWord});                               // CMP ECX, [EBX+12+4k]
        jumps->failPop[jumps->failPopCount++] = emitForwardJump(0x83);   // JAE (unsigned: negatives too)
        if (k == 0)
            emitBytes({0x89, 0xC8});                                     // MOV EAX, ECX
        else
            emitBytes({0x01, 0xC8});                                     // ADD EAX, ECX
    }
    emitBytes({0x59});                                                   // POP ECX
    if (elementSize <= 127)
        emitBytes({0x6B, 0xC0, (uint8_t)elementSize});                   // IMUL EAX, EAX, size
    else {
        emitBytes({0x69, 0xC0});
        emitWord(elementSize);
    }
    emitBytes({0x8D, 0x5C, 0x03, HEADER_BYTES});                         // LEA EBX, [EBX+EAX+64]
    return elementSize;
}

void FormulaCompiler::emitElementFailure(ElementJumps* jumps)
{
    // Failed index checks have ECX pushed; the others not.
    if (jumps->failPopCount) {
        for (int k = 0; k < jumps->failPopCount; k++)
            patchForwardJump(jumps->failPop[k]);
        emitBytes({0x59});   // POP ECX
    }
    for (int k = 0; k < jumps->failCount; k++)
        patchForwardJump(jumps->fail[k]);
    jumps->failCount = 0;
    jumps->failPopCount = 0;
}

void FormulaCompiler::emitElementLoad(const FormulaSymbol* array, const ArrayIndex* indices, int n)
{
    ElementJumps jumps = {};
    emitElementAddress(array, indices, n, &jumps);
    int type = array->precision;
    int components = Components(type);
    int size = type == DT_INT || type == DT_BOOL || type == DT_COLOR ? 4
               : array->elementPrecision == PREC_EXTENDED ? 16
               : array->elementPrecision == PREC_FLOAT   ? 4
                                                         : 8;
    for (int k = components - 1; k >= 0; k--)
        emitComponentLoad(type, array->elementPrecision, k * size, 2);
    int done = emitForwardJump(0);
    emitElementFailure(&jumps);
    for (int k = 0; k < components; k++)
        emitBytes({0xD9, 0xEE});                                         // FLDZ
    emitBytes({0x8D, 0x9D});                                             // LEA EBX, [EBP-128]: the sink
    emitWord(SINK);
    patchForwardJump(done);
}

void FormulaCompiler::emitElementTargetAddress(const FormulaSymbol* array, const ArrayIndex* indices, int n)
{
    ElementJumps jumps = {};
    emitElementAddress(array, indices, n, &jumps);
    int done = emitForwardJump(0);
    emitElementFailure(&jumps);
    emitBytes({0x8D, 0x9D});                                             // LEA EBX, [EBP-128]: the sink
    emitWord(SINK);
    patchForwardJump(done);
}

// ---------------------------------------------------------------------------
// Whole arrays

bool FormulaCompiler::emitArrayTemplate(const char* name)
{
    const CodeTemplate* t = FindTemplate(OP_DEFAULT_INSIDE, name);
    if (!t) {
        snprintf(errorText, sizeof errorText, "Internal Compiler Error: template %s is missing.", name);
        return false;
    }
    emitCode(t->code, t->codeLength);
    return true;
}

bool FormulaCompiler::refuseArrayParameterReplacement(const FormulaSymbol* target)
{
    // A formal array parameter passed by value holds the caller's block:
    // releasing it would leave the caller's variable on released memory.
    if (!((uint32_t)target->id & SYMBOL_ID_LOCAL) || target->dataOffset < 8 || target->byReference)
        return false;
    snprintf(errorText, sizeof errorText,
             "Compiler error 083: Array parameter %s is passed by value and can't be given a new array; "
             "declare it with & to pass it by reference.",
             target->name);
    return true;
}

int FormulaCompiler::emitArrayAssignment(FormulaSymbol* target, bool keep)
{
    // The source is the array whose load pushed the block: the last array
    // read before this assignment.
    const FormulaSymbol* source = nullptr;
    for (int i = 0; currentElements && i < elementIndex && currentElements[i] != OPC_END;
         i += ElementWords(currentElements[i])) {
        if (currentElements[i] != OPC_VARIABLE)
            continue;
        const FormulaSymbol* s = findVariable(currentElements[i + 1]);
        if (s && (s->dataType == DT_ARRAY || s->dataType == DT_PREDEFINED_ARRAY))
            source = s;
    }
    if (source && (source->precision != target->precision ||
                   source->elementPrecision != target->elementPrecision))
        return codeError("Compiler error 079: Array %s can't be assigned to array %s: their elements are of "
                         "different types.",
                         source->name, target->name);
    if (refuseArrayParameterReplacement(target))
        return 1;
    int base = SymbolBase(target->id);
    // The load of the source array left its block pushed; the target gets
    // a copy of it and releases its own.
    emitBytes({0x5B});                                                   // POP EBX
    emitCode(ArrayCopyCode, (int)(ArrayCopyCodeEnd - ArrayCopyCode));
    emitBytes({0x50});                                                   // PUSH EAX
    emitBaseOperand(0x8B, 3, target->dataOffset, base);                  // MOV EBX, [slot]
    if (!emitArrayTemplate("array_free"))
        return 1;
    emitBytes({0x58});                                                   // POP EAX
    emitBaseOperand(0x89, 0, target->dataOffset, base);                  // MOV [slot], EAX
    if (keep)
        emitBytes({0x50});                                               // PUSH EAX
    return 0;
}

// ---------------------------------------------------------------------------
// The array elements of an element stream

namespace {

// The template that loads an element of this type and precision for n
// indices on the x87 stack; general says the template reads the count
// from EAX when the block is missing.
const char* LoadTemplateName(int type, int precision, int n, bool* general)
{
    static char name[48];
    const char* kind = precision == PREC_EXTENDED ? "tbyte" : precision == PREC_FLOAT ? "float" : "double";
    const char* letter;
    int suffixes = 0;   // number of _dimN forms the family has
    switch (type) {
    case DT_COMPLEX: letter = "c"; break;
    case DT_QUATERNION: letter = "q"; suffixes = precision == PREC_FLOAT ? 2 : 0; break;
    case DT_COLOR: letter = "q"; kind = "float"; suffixes = 2; break;
    case DT_VECTOR: letter = "v"; break;
    case DT_INT:
    case DT_BOOL:
        *general = n > 3;
        if (n > 3)
            return "load_array_int";
        snprintf(name, sizeof name, "load_array_int_dim%d", n);
        return name;
    default:
        letter = "r";
        suffixes = precision == PREC_EXTENDED ? 0 : 2;
        break;
    }
    *general = n > suffixes;
    if (n > suffixes)
        snprintf(name, sizeof name, "load_array_%s_%s", letter, kind);
    else
        snprintf(name, sizeof name, "load_array_%s_%s_dim%d", letter, kind, n);
    return name;
}

}  // namespace

FormulaSymbol* FormulaCompiler::elementArray(int* dimensions)
{
    FormulaSymbol* array = findVariable(currentElements[elementIndex + 1]);
    if (!array || (array->dataType != DT_ARRAY && array->dataType != DT_PREDEFINED_ARRAY)) {
        codeError("Internal Compiler Error: Unknown element in compileExpression. Please inform the author.");
        return nullptr;
    }
    int n = (int)array->value[0];
    if (n < 1 || n > SYMBOL_MAX_DIMENSIONS) {
        codeError("Compiler Error 765: Array dimension does not match array declaration.");
        return nullptr;
    }
    *dimensions = n;
    return array;
}

bool FormulaCompiler::indexOfSymbol(int32_t id, ArrayIndex* index)
{
    memset(index, 0, sizeof *index);
    if (id >= 1 && id <= 21) {
        index->kind = INDEX_CONSTANT;
        index->value = decodeSmallInt(id);
        return true;
    }
    const FormulaSymbol* s = findVariable(id);
    if (!s)
        return false;
    if (s->symbolClass == SYM_CONSTANT && s->variability == 0 && (s->dataType == DT_REAL || s->dataType == DT_INT ||
                                                                  s->dataType == DT_BOOL)) {
        // A literal: truncated toward zero, at compile time.
        double v = s->value[0];
        index->kind = INDEX_CONSTANT;
        index->value = v >= -2147483648.0 && v < 2147483648.0 ? (int32_t)v : -1;
        return true;
    }
    index->offset = s->dataOffset;
    index->base = SymbolBase(s->id);
    if (s->dataType == DT_INT || s->dataType == DT_BOOL) {
        index->kind = INDEX_INTEGER;
        return true;
    }
    if (s->dataType == DT_REAL) {
        index->kind = INDEX_REAL;
        index->precision = s->precision;
        return true;
    }
    return false;
}

void FormulaCompiler::keepArrayElementAddress()
{
    if (keepAddress && keptElementAddress)
        emitBaseOperand(0x89, 3, keptElementAddress->dataOffset, SymbolBase(keptElementAddress->id));   // MOV [kept], EBX
}

int FormulaCompiler::arrayTargetTemporary()
{
    dataBottom -= 4;
    alignSlot(&dataBottom, 4);
    return dataBottom;
}

int FormulaCompiler::compileArrayIndexMark()
{
    // A run of plain loads (268, id) as the indices: the indices are read
    // straight from their slots (or are constants) and need no x87 code.
    const int32_t* e = currentElements;
    int i = elementIndex + 1;
    int n = 0;
    while (e[i] == OPC_VARIABLE && n < SYMBOL_MAX_DIMENSIONS + 1) {
        i += 2;
        n++;
    }
    if (n == 0 || (e[i] != OPC_ARRAY_READ && e[i] != OPC_ARRAY_STORE))
        return 0;
    const FormulaSymbol* array = findVariable(e[i + 1]);
    if (!array || (array->dataType != DT_ARRAY && array->dataType != DT_PREDEFINED_ARRAY) ||
        (int)array->value[0] != n)
        return 0;
    ArrayIndex indices[SYMBOL_MAX_DIMENSIONS];
    for (int k = 0; k < n; k++) {
        if (!indexOfSymbol(e[elementIndex + 2 + 2 * k], &indices[k]))
            return 0;
    }
    int start = codePosition;
    int first = elementIndex;
    elementIndex = i;
    if (e[i] == OPC_ARRAY_READ) {
        int type = array->precision;
        emitRegisterSpill(TypeFootprint(type));
        emitElementLoad(array, indices, n);
        keepArrayElementAddress();
        x87Depth += TypeFootprint(type);
        pushValue(type, LOCATION_IN_REGISTERS, start);
    } else {
        // A real index is converted through one x87 register.
        for (int k = 0; k < n; k++) {
            if (indices[k].kind == INDEX_REAL) {
                emitRegisterSpill(1);
                break;
            }
        }
        emitElementTargetAddress(array, indices, n);
        int temporary = arrayTargetTemporary();
        emitBaseOperand(0x89, 3, temporary, BASE_EDI);                   // MOV [EDI+temp], EBX
        targetStack->push3(OPC_ARRAY_STORE, temporary, array->id);
    }
    rangeStack->push2(first, i + 1);
    return 0;
}

int FormulaCompiler::popIndicesToFrame(int n, ArrayIndex* indices)
{
    // The index values, the last on top: each one in turn is converted
    // (FISTP, current rounding mode) into [EBP-24+4k], reloading a spilled
    // one first.
    for (int k = n - 1; k >= 0; k--) {
        int location = valueLocation(0);
        int type = valueType(0);
        if (TypeFootprint(type) != 1)
            return codeError("Compiler Error 763: Array dimension must be an integer value.");
        if (location == LOCATION_IN_REGISTERS)
            x87Depth -= 1;
        else
            emitBaseOperand(0xDB, 5, location, BASE_EDI);                // FLD tbyte [EDI+temp]
        int slot = -24 + 4 * k;
        emitBaseOperand(0xDB, 3, slot, BASE_EBP);                        // FISTP dword [EBP+slot]
        popValue();
        rangeStack->drop(2);
        indices[k].kind = INDEX_INTEGER;
        indices[k].offset = slot;
        indices[k].base = BASE_EBP;
        indices[k].value = 0;
        indices[k].precision = 0;
    }
    return 0;
}

bool FormulaCompiler::indicesInRegisters(int n) const
{
    for (int k = 0; k < n; k++) {
        if (valueLocation(k) != LOCATION_IN_REGISTERS || TypeFootprint(valueType(k)) != 1)
            return false;
    }
    return true;
}

int FormulaCompiler::compileArrayRead()
{
    int n;
    FormulaSymbol* array = elementArray(&n);
    if (!array)
        return 1;
    if (valueStack->count() < 3 * n)
        return codeError("Internal Compiler Error: Unknown element in compileExpression. Please inform the author.");
    int type = array->precision;
    int start = valuePosition(n - 1);
    int first = rangeStack->count() >= 2 * n ? rangeStack->peek(2 * n - 1) : elementIndex;
    if (indicesInRegisters(n)) {
        // The load template takes the indices from the x87 stack.
        bool general = false;
        const char* name = LoadTemplateName(type, array->elementPrecision, n, &general);
        for (int k = 0; k < n; k++) {
            popValue();
            rangeStack->drop(2);
        }
        x87Depth -= n;
        emitRegisterSpill(TypeFootprint(type));
        emitBaseOperand(0x8B, 3, array->dataOffset, SymbolBase(array->id));   // MOV EBX, [slot]
        if (general) {
            emitBytes({0xB8});                                           // MOV EAX, n
            emitWord(n);
        }
        if (!emitArrayTemplate(name))
            return 1;
        if (keepAddress && keptElementAddress) {
            emitBytes({0x8D, 0x5C, 0x03, 0x40});                         // LEA EBX, [EBX+EAX+64]
            keepArrayElementAddress();
        }
    } else {
        ArrayIndex indices[SYMBOL_MAX_DIMENSIONS];
        if (popIndicesToFrame(n, indices))
            return 1;
        emitRegisterSpill(TypeFootprint(type));
        emitElementLoad(array, indices, n);
        keepArrayElementAddress();
    }
    x87Depth += TypeFootprint(type);
    pushValue(type, LOCATION_IN_REGISTERS, start);
    rangeStack->push2(first, elementIndex + 1);
    return 0;
}

int FormulaCompiler::compileArrayTarget()
{
    int n;
    FormulaSymbol* array = elementArray(&n);
    if (!array)
        return 1;
    if (valueStack->count() < 3 * n)
        return codeError("Internal Compiler Error: Unknown element in compileExpression. Please inform the author.");
    int first = rangeStack->count() >= 2 * n ? rangeStack->peek(2 * n - 1) : elementIndex;
    if (indicesInRegisters(n)) {
        for (int k = 0; k < n; k++) {
            popValue();
            rangeStack->drop(2);
        }
        x87Depth -= n;
        emitBaseOperand(0x8B, 3, array->dataOffset, SymbolBase(array->id));   // MOV EBX, [slot]
        // The template takes the element size from the block: a block of
        // other elements than the array's counts as missing (the address
        // is then the sink).
        emitBytes({0x85, 0xDB, 0x74, 0x08});                             // TEST EBX, EBX; JZ +8
        emitBytes({0x83, 0x7B, HEADER_ELEMENT_SIZE, (uint8_t)ArrayElementSize(array)});   // CMP dword [EBX+4], size
        emitBytes({0x74, 0x02, 0x31, 0xDB});                             // JE +2; XOR EBX, EBX
        char name[40];
        if (n <= 3) {
            snprintf(name, sizeof name, "save_array_adr_dim%d", n);
        } else {
            snprintf(name, sizeof name, "save_array_adr");
            emitBytes({0xB8});                                           // MOV EAX, n
            emitWord(n);
        }
        if (!emitArrayTemplate(name))
            return 1;
    } else {
        ArrayIndex indices[SYMBOL_MAX_DIMENSIONS];
        if (popIndicesToFrame(n, indices))
            return 1;
        emitElementTargetAddress(array, indices, n);
    }
    int temporary = arrayTargetTemporary();
    emitBaseOperand(0x89, 3, temporary, BASE_EDI);                       // MOV [EDI+temp], EBX
    targetStack->push3(OPC_ARRAY_STORE, temporary, array->id);
    rangeStack->push2(first, elementIndex + 1);
    return 0;
}

int FormulaCompiler::compileArrayCreation()
{
    int32_t kind, id, unused;
    targetStack->pop3(&unused, &id, &kind);
    FormulaSymbol* array = kind == OPC_STORE ? findVariable(id) : nullptr;
    if (!array || (array->dataType != DT_ARRAY && array->dataType != DT_PREDEFINED_ARRAY))
        return codeError("Result of array function must be assigned to a variable of type \"array\"");
    if (refuseArrayParameterReplacement(array))
        return 1;
    int n = (int)array->value[0];
    if (n < 1 || n > SYMBOL_MAX_DIMENSIONS || valueStack->count() < 3 * n)
        return codeError("Compiler Error 765: Array dimension does not match array declaration.");
    // The sizes in registers, the first deepest (spilled ones reloaded
    // through the frame).
    if (!indicesInRegisters(n)) {
        ArrayIndex sizes[SYMBOL_MAX_DIMENSIONS];
        if (popIndicesToFrame(n, sizes))
            return 1;
        for (int k = 0; k < n; k++)
            emitBaseOperand(0xDB, 0, sizes[k].offset, BASE_EBP);         // FILD dword [EBP+slot]
    } else {
        for (int k = 0; k < n; k++) {
            popValue();
            rangeStack->drop(2);
        }
        x87Depth -= n;
    }
    // n, the element size and the element type on top of them.
    const int32_t facts[3] = {n, ArrayElementSize(array), array->precision};
    for (int32_t v : facts) {
        emitBytes({0xB8});                                               // MOV EAX, imm32
        emitWord(v);
        emitBytes({0x50, 0xDB, 0x04, 0x24, 0x58});                       // PUSH EAX; FILD dword [ESP]; POP EAX
    }
    if (!emitArrayTemplate("array"))
        return 1;
    int base = SymbolBase(array->id);
    emitBaseOperand(0x8B, 3, array->dataOffset, base);                   // MOV EBX, [slot]: the old block
    emitBaseOperand(0x89, 0, array->dataOffset, base);                   // MOV [slot], EAX
    if (!emitArrayTemplate("array_free"))
        return 1;
    // The assignment that follows in the stream is done.
    if (currentElements[elementIndex + 1] == OP_ASSIGN)
        elementIndex++;
    return 0;
}
