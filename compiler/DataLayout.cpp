// Slots of formula variables in the data block: sizes, alignment, and the
// writing of symbol values into their slots.
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "compiler/ParameterTransfer.h"
#include "foundation/Buffers.h"

namespace {

// Number of x87 components of a floating type; 0 for the other types.
int FloatComponents(int dataType)
{
    switch (dataType) {
    case DT_COMPLEX: return 2;
    case DT_REAL: return 1;
    case DT_QUATERNION: return 4;
    case DT_VECTOR: return 3;
    default: return 0;
    }
}

int ComponentSize(int precision)
{
    switch (precision) {
    case PREC_EXTENDED: return 16;
    case PREC_DOUBLE: return 8;
    case PREC_FLOAT: return 4;
    default: return 0;
    }
}

}  // namespace

int slotSize(int dataType, int precision)
{
    int components = FloatComponents(dataType);
    if (components) {
        int size = ComponentSize(precision);
        return size ? components * size : 64;
    }
    switch (dataType) {
    case DT_INT:
    case DT_BOOL:
    case DT_ARRAY:
    case DT_PREDEFINED_ARRAY:
        return 4;
    case DT_COLOR:
        return 16;
    default:
        return 64;
    }
}

// Floating slots align to their component precision; the others (int,
// bool, arrays, whose precision field holds an element type, colours and the
// rest) to 4.
int slotSizeAndAlign(int dataType, int precision, int* alignment)
{
    int align = 4;
    if (FloatComponents(dataType)) {
        if (precision == PREC_EXTENDED)
            align = 16;
        else if (precision == PREC_DOUBLE)
            align = 8;
    }
    if (alignment)
        *alignment = align;
    return slotSize(dataType, precision);
}

int alignSlot(int* offset, int alignment)
{
    if (alignment != 4 && alignment != 8 && alignment != 16)
        return *offset;
    int v = *offset;
    if (v > 0) {
        v = (v + alignment - 1) / alignment * alignment;
    } else {
        int magnitude = -v;
        magnitude = (magnitude + alignment - 1) / alignment * alignment;
        v = -magnitude;
    }
    *offset = v;
    return v;
}

void FormulaCompiler::registerVariable(FormulaSymbol* symbol, bool append)
{
    if (dataBlock)
        dataBlock->Reserve(dataTop, -dataBottom, 3000, 3000);
    if (append) {
        symbol->serial = serialCounter++;
        symbols.Append(symbol);
    }
    storeSymbolValue(symbol);
}

// Writes value[] of a symbol of the given type and precision at offset of
// the data block; nothing when the slot does not lie inside the block.
static void WriteSlot(AlignedBuffer* block, int offset, int dataType, int precision,
                      const double value[4])
{
    if (!block || !block->GetBase())
        return;
    int size = slotSize(dataType, precision);
    if (offset < -block->GetBelow() || (int64_t)offset + size > block->GetAbove())
        return;
    WriteSymbolSlot(block->GetBase() + offset, dataType, precision, value);
}

void FormulaCompiler::storeSymbolValue(FormulaSymbol* symbol)
{
    if (!symbol)
        return;
    // A parameter that is fixed for the calculation takes the value handed
    // to the compile.
    if (symbol->symbolClass == SYM_PARAMETER && inputSymbols) {
        bool changing = symbol->variability != 0 &&
                        (symbol->assigned != FACT_NO || symbol->constant == FACT_NO);
        if (!changing) {
            if (symbol->variability != 0)
                symbol->runtimeRead = FACT_NO;
            FormulaSymbol* given = static_cast<FormulaSymbol*>(inputSymbols->Find(symbol->name));
            if (given && given->dataType != DT_ARRAY && given->dataType != DT_PREDEFINED_ARRAY)
                memcpy(symbol->value, given->value, sizeof symbol->value);
        }
    }
    WriteSlot(dataBlock, symbol->dataOffset, symbol->dataType, symbol->precision, symbol->value);
}

void FormulaCompiler::storeSymbolValues()
{
    for (ListNode* n = symbols.GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (s->dataType == DT_SEPARATOR || s->dataType == DT_ARRAY ||
            s->dataType == DT_PREDEFINED_ARRAY || s->dataOffset == -1)
            continue;
        WriteSlot(dataBlock, s->dataOffset, s->dataType, s->precision, s->value);
    }
}

// The handed-in parameter values, written at the offsets of the compiled
// symbols of the same name in the compiled types. With storeFlag the
// parameters the formula assigns are marked for write-back. Image parameters
// (filled from textures) come with the calculation engine.
void FormulaCompiler::storeParameterValues(int storeFlag)
{
    if (!inputSymbols)
        return;
    if (storeFlag) {
        for (ListNode* n = inputSymbols->GetHead(); n; n = n->next)
            static_cast<FormulaSymbol*>(n)->writeBack = 0;
    }
    for (ListNode* n = inputSymbols->GetHead(); n; n = n->next) {
        FormulaSymbol* p = static_cast<FormulaSymbol*>(n);
        if (p->symbolClass != SYM_PARAMETER || p->dataType == DT_SEPARATOR)
            continue;
        FormulaSymbol* compiled = static_cast<FormulaSymbol*>(symbols.Find(p->name));
        if (!compiled) {
            p->dataOffset = 0;
            continue;
        }
        if (storeFlag && compiled->writeCount >= 1)
            p->writeBack = 1;
        if (compiled->dataType == DT_ARRAY || compiled->dataType == DT_PREDEFINED_ARRAY ||
            compiled->dataType == DT_SEPARATOR)
            continue;
        WriteSlot(dataBlock, compiled->dataOffset, compiled->dataType, compiled->precision, p->value);
    }
}
