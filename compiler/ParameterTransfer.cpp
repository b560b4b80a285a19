// Parameter values between symbol lists and data blocks (see
// ParameterTransfer.h).
#include "compiler/ParameterTransfer.h"

#include <math.h>
#include <string.h>

#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"

ImageParameterFiller g_FillImageParameter = nullptr;
FormulaParameterListSource g_FormulaParameterLists = nullptr;

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

bool IsArrayType(int dataType)
{
    return dataType == DT_ARRAY || dataType == DT_PREDEFINED_ARRAY;
}

// Whether a slot of this type and precision holds a value a writer can
// convert into.
bool HoldsValue(int dataType, int precision)
{
    if (FloatComponents(dataType))
        return ComponentSize(precision) != 0;
    return dataType == DT_INT || dataType == DT_BOOL || dataType == DT_COLOR;
}

// Place of component k inside the slot, and its size in bytes (16 for an
// extended component, whose 10 bytes of value lead its 16).
int ComponentPlace(const FormulaSymbol* s, int k, int* size)
{
    if (s->dataType == DT_COLOR || s->dataType == DT_INT || s->dataType == DT_BOOL) {
        *size = 4;
        return s->dataOffset + 4 * k;
    }
    int c = ComponentSize(s->precision);
    *size = c;
    return s->dataOffset + k * c;
}

bool ParameterToRead(const FormulaSymbol* s)
{
    return s->symbolClass == SYM_PARAMETER && s->writeBack && s->dataType != DT_SEPARATOR &&
           SymbolComponentCount(s->dataType) > 0 && HoldsValue(s->dataType, s->precision);
}

}  // namespace

// ---------------------------------------------------------------------------
// Slots

void WriteSymbolSlot(uint8_t* slot, int dataType, int precision, const double value[4])
{
    int components = FloatComponents(dataType);
    if (components) {
        int csize = ComponentSize(precision);
        // Extended components last first: each is written as a double and
        // widened in place, which overwrites the first bytes of the next.
        for (int k = components - 1; k >= 0; k--) {
            uint8_t* place = slot + k * csize;
            switch (precision) {
            case PREC_EXTENDED: {
                long double e = value[k];
                memcpy(place, &e, 10);
                break;
            }
            case PREC_DOUBLE:
                memcpy(place, &value[k], 8);
                break;
            case PREC_FLOAT: {
                float f = (float)value[k];
                memcpy(place, &f, 4);
                break;
            }
            default:
                break;
            }
        }
        return;
    }
    switch (dataType) {
    case DT_COLOR:
        for (int k = 0; k < 4; k++) {
            float f = (float)value[k];
            memcpy(slot + 4 * k, &f, 4);
        }
        break;
    case DT_INT: {
        int32_t i = value[0] < 0 ? (int32_t)(value[0] - 0.5) : (int32_t)(value[0] + 0.5);
        memcpy(slot, &i, 4);
        break;
    }
    case DT_BOOL: {
        int32_t i = (int32_t)(value[0] + 0.5);
        memcpy(slot, &i, 4);
        break;
    }
    default:
        break;
    }
}

int SymbolComponentCount(int dataType)
{
    switch (dataType) {
    case DT_COMPLEX: return 2;
    case DT_QUATERNION: return 4;
    case DT_VECTOR: return 3;
    case DT_COLOR: return 4;
    case DT_REAL:
    case DT_INT:
    case DT_BOOL: return 1;
    default: return 0;
    }
}

double ReadSymbolComponent(const uint8_t* base, const FormulaSymbol* s, int k)
{
    int size;
    const uint8_t* place = base + ComponentPlace(s, k, &size);
    if (s->dataType == DT_INT || s->dataType == DT_BOOL) {
        int32_t i;
        memcpy(&i, place, 4);
        return i;
    }
    if (s->dataType == DT_COLOR || s->precision == PREC_FLOAT) {
        float f;
        memcpy(&f, place, 4);
        return f;
    }
    if (s->precision == PREC_EXTENDED) {
        long double e = 0;
        memcpy(&e, place, 10);
        return (double)e;
    }
    double d;
    memcpy(&d, place, 8);
    return d;
}

// ---------------------------------------------------------------------------
// Writers

int storeSymbolValues(uint8_t* base, const NodeList* symbols, GrowBuffer* arrayTable, int* pairCount,
                      bool allocateArrays, int kind)
{
    if (!base || !symbols)
        return 0;
    for (ListNode* n = symbols->GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (s->dataType == DT_SEPARATOR || s->dataOffset == -1)
            continue;
        if (IsArrayType(s->dataType)) {
            if (!allocateArrays)
                continue;
            void* block = nullptr;
            if (s->dataType == DT_PREDEFINED_ARRAY) {
                block = AllocateParameterArray(s);
                if (!block)
                    return 1;
            }
            memcpy(base + s->dataOffset, &block, 4);
            if (arrayTable && pairCount) {
                // (kind, dataOffset) pairs, -1 after the last.
                int at = *pairCount * 8;
                arrayTable->ReserveSlack(at + 12, 64);
                int32_t words[3] = {kind, s->dataOffset, -1};
                memcpy(static_cast<uint8_t*>(arrayTable->GetData()) + at, words, 12);
                ++*pairCount;
            }
            continue;
        }
        if (HoldsValue(s->dataType, s->precision))
            WriteSymbolSlot(base + s->dataOffset, s->dataType, s->precision, s->value);
    }
    return 0;
}

int storeParameterValues(uint8_t* base, NodeList* parameters, const NodeList* compiledSymbols, Fractal* textureOwner,
                         int slot, int instance, bool markWriteBack, bool recordOffsets)
{
    if (!base || !parameters || !compiledSymbols)
        return 0;
    if (markWriteBack) {
        for (ListNode* n = parameters->GetHead(); n; n = n->next)
            static_cast<FormulaSymbol*>(n)->writeBack = 0;
    }
    for (ListNode* n = parameters->GetHead(); n; n = n->next) {
        FormulaSymbol* p = static_cast<FormulaSymbol*>(n);
        if (p->symbolClass != SYM_PARAMETER || p->dataType == DT_SEPARATOR)
            continue;
        const FormulaSymbol* compiled = static_cast<const FormulaSymbol*>(compiledSymbols->Find(p->name));
        if (!compiled || compiled->dataOffset == -1) {
            p->dataOffset = 0;
            continue;
        }
        if (markWriteBack && compiled->writeCount >= 1)
            p->writeBack = 1;
        if (recordOffsets)
            p->dataOffset = compiled->dataOffset;
        if (HoldsValue(compiled->dataType, compiled->precision)) {
            WriteSymbolSlot(base + compiled->dataOffset, compiled->dataType, compiled->precision, p->value);
            continue;
        }
        if (markWriteBack && IsArrayType(p->dataType) && g_FillImageParameter) {
            if (g_FillImageParameter(p, base, textureOwner, slot, instance) != 0)
                return 1;
        }
    }
    return 0;
}

int storeParameterValuesDirect(uint8_t* base, NodeList* parameters, Fractal* textureOwner, int slot, int instance,
                               bool fillTextures)
{
    if (!base || !parameters)
        return 0;
    for (ListNode* n = parameters->GetHead(); n; n = n->next) {
        FormulaSymbol* p = static_cast<FormulaSymbol*>(n);
        if (p->symbolClass != SYM_PARAMETER || p->dataType == DT_SEPARATOR)
            continue;
        // 0 marks a parameter the compiled formula does not have.
        if (p->dataOffset == 0 || p->dataOffset == -1)
            continue;
        if (HoldsValue(p->dataType, p->precision)) {
            WriteSymbolSlot(base + p->dataOffset, p->dataType, p->precision, p->value);
            continue;
        }
        if (fillTextures && IsArrayType(p->dataType) && g_FillImageParameter) {
            if (g_FillImageParameter(p, base, textureOwner, slot, instance) != 0)
                return 1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Readers

bool readBackComponent(uint8_t* const* blocks, FormulaSymbol* s, int k)
{
    if (!blocks)
        return false;
    for (int b = 0; blocks[b]; b++) {
        double read = ReadSymbolComponent(blocks[b], s, k);
        if (fabs(s->value[k] - read) > 1e-9) {
            s->value[k] = read;
            return true;
        }
    }
    return false;
}

bool readBackComponentShadow(uint8_t* const* blocks, uint8_t* const* shadows, FormulaSymbol* s, int k)
{
    if (!blocks || !shadows)
        return false;
    for (int b = 0; blocks[b] && shadows[b]; b++) {
        double read = ReadSymbolComponent(blocks[b], s, k);
        double seen = ReadSymbolComponent(shadows[b], s, k);
        if (fabs(read - seen) > 1e-15) {
            s->value[k] = read;
            int size;
            int place = ComponentPlace(s, k, &size);
            memcpy(shadows[b] + place, blocks[b] + place, (size_t)size);
            return true;
        }
    }
    return false;
}

bool readBackSymbolValues(uint8_t* const* blocks, NodeList* symbols)
{
    if (!symbols)
        return false;
    bool changed = false;
    for (ListNode* n = symbols->GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (!ParameterToRead(s))
            continue;
        for (int k = 0; k < SymbolComponentCount(s->dataType); k++)
            changed |= readBackComponent(blocks, s, k);
    }
    return changed;
}

bool readBackSymbolValuesShadow(uint8_t* const* blocks, uint8_t* const* shadows, NodeList* symbols)
{
    if (!symbols)
        return false;
    bool changed = false;
    for (ListNode* n = symbols->GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (!ParameterToRead(s))
            continue;
        for (int k = 0; k < SymbolComponentCount(s->dataType); k++)
            changed |= readBackComponentShadow(blocks, shadows, s, k);
    }
    return changed;
}

// ---------------------------------------------------------------------------
// Write-back entry points

bool WritebackParameterLists(const FormulaParameterLists& lists, uint8_t* const* blocks, uint8_t* const* shadows,
                             uint8_t* const* transformationBlocks, uint8_t* const* transformationShadows,
                             WPARAM wParam)
{
    bool changed = false;
    for (int i = 0; i < lists.slotCount && i < FormulaParameterLists::MAX_LISTS; i++) {
        changed |= shadows ? readBackSymbolValuesShadow(blocks, shadows, lists.slots[i])
                           : readBackSymbolValues(blocks, lists.slots[i]);
    }
    for (int i = 0; i < lists.transformationCount && i < FormulaParameterLists::MAX_LISTS; i++) {
        changed |= transformationShadows
                       ? readBackSymbolValuesShadow(transformationBlocks, transformationShadows, lists.transformations[i])
                       : readBackSymbolValues(transformationBlocks, lists.transformations[i]);
    }
    if (changed)
        PostToMainFrame(UM_PARAMETERS_WRITTEN_BACK, wParam, 0);
    return changed;
}

namespace {

bool ListsOf(void* owner, bool attractor, FormulaParameterLists* lists)
{
    memset(lists, 0, sizeof *lists);
    FormulaParameterListSource source = g_FormulaParameterLists;
    if (!source || !owner)
        return false;
    source(owner, attractor, lists);
    return true;
}

}  // namespace

bool HandleWritebackParametersEscape(uint8_t* const* transformationBlocks, uint8_t* const* blocks, WPARAM wParam,
                                     Fractal* fractal)
{
    FormulaParameterLists lists;
    if (!ListsOf(fractal, false, &lists))
        return false;
    return WritebackParameterLists(lists, blocks, nullptr, transformationBlocks, nullptr, wParam);
}

bool HandleWritebackParametersQuat(uint8_t* const* transformationBlocks, uint8_t* const* transformationShadows,
                                   uint8_t* const* blocks, uint8_t* const* shadows, WPARAM wParam, Fractal* fractal)
{
    FormulaParameterLists lists;
    if (!ListsOf(fractal, false, &lists))
        return false;
    return WritebackParameterLists(lists, blocks, shadows, transformationBlocks, transformationShadows, wParam);
}

bool HandleWritebackParameters(uint8_t* const* blocks, WPARAM wParam, void* attractor)
{
    FormulaParameterLists lists;
    if (!ListsOf(attractor, true, &lists))
        return false;
    lists.transformationCount = 0;
    return WritebackParameterLists(lists, blocks, nullptr, nullptr, nullptr, wParam);
}

// ---------------------------------------------------------------------------
// By name

FormulaSymbol* setSymbolReal(NodeList* symbols, const char* name, double v)
{
    FormulaSymbol* s = symbols ? static_cast<FormulaSymbol*>(symbols->Find(name)) : nullptr;
    if (s)
        s->value[0] = v;
    return s;
}

bool getSymbolReal(const NodeList* symbols, const char* name, double* out)
{
    const FormulaSymbol* s = symbols ? static_cast<const FormulaSymbol*>(symbols->Find(name)) : nullptr;
    if (!s)
        return false;
    *out = s->value[0];
    return true;
}

FormulaSymbol* setSymbolComplex(NodeList* symbols, const char* name, double re, double im)
{
    FormulaSymbol* s = symbols ? static_cast<FormulaSymbol*>(symbols->Find(name)) : nullptr;
    if (s) {
        s->value[0] = re;
        s->value[1] = im;
    }
    return s;
}

FormulaSymbol* setSymbolQuaternion(NodeList* symbols, const char* name, double a, double b, double c, double d)
{
    FormulaSymbol* s = symbols ? static_cast<FormulaSymbol*>(symbols->Find(name)) : nullptr;
    if (s) {
        s->value[0] = a;
        s->value[1] = b;
        s->value[2] = c;
        s->value[3] = d;
    }
    return s;
}
