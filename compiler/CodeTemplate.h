// Machine-code templates: the x87 instruction sequences that carry out the
// operations of the formula language, the table that lists them by
// operation number, their lookups, the processor check that selects the
// CMOV forms of the comparisons, and the runtime constants the template
// code reads (written into a copy of the code at start-up).
//
// The templates themselves are assembler sources in compiler/templates/;
// compiler/templates/TemplateList.h is the list the records are made from.
#pragma once

#include <stdint.h>

// One template. The records of one operation lie one after another; the
// list ends with an all-zero record (null code pointer).
struct CodeTemplate {
    int32_t operandCount;          // 0 to 4
    const int32_t* operandTypes;   // FormulaDataType of each operand, first (deepest) to last (top)
    int32_t reserved;              // 0
    const uint8_t* code;           // never null in a real record (an empty template points at a zero byte)
    int32_t codeLength;
    int32_t resultType;            // FormulaDataType of the value left on the stack
    int32_t scratchRegisters;      // x87 registers used above the operands at the deepest point
    const char* name;              // "add_rc"
    const char* operationName;     // "add"
    const char* displayName;       // "+ (Addition)", for messages
    int32_t jumpIfTrue;            // second byte of the 0F xx jump taken when the condition holds; 0: none
    int32_t jumpIfFalse;           // ... when it does not hold; 0: none
    int32_t frameBytes;            // scratch memory used: [EBP-frameBytes] to [EBP-1] (0 to 128)
};

// Operation numbers with templates run from 1 to 163; the table has one
// more entry, (CodeTemplate*)-1, which ends any walk over it.
enum { TEMPLATE_OPERATIONS = 164 };
#define TEMPLATE_TABLE_END ((CodeTemplate*)-1)

// Indexed by operation number (the element code of the operation in the
// element stream): the first record of the operation's list, or null for
// an operation without templates. Entries 32 to 40 are switched to the
// lists of 155 to 163 by the processor check when CMOV is available.
extern CodeTemplate* g_TemplateTable[TEMPLATE_OPERATIONS + 1];

// 1 when the processor has an FPU and conditional moves (set by
// InitProcessorFeatures), else 0.
extern uint8_t g_HasCmov;

// Operation numbers the code generator and the start-up refer to by name.
enum {
    OP_COMPARISONS_FIRST = 32,     // and, or, equ, ge, le, nequ, lt, gt, not
    OP_COMPARISONS_LAST = 40,
    OP_CHANGE = 77,
    OP_DEFAULT_INSIDE = 87,        // also holds the special array and attractor templates
    OP_COLLECT_REFERENCES = 101,   // the placeholder list, never copied or patched
    OP_COMPARISONS_OPT_FIRST = 155,
};

// The first record of g_TemplateTable[operation] whose name equals name
// (case-sensitive); null when none does, and for an operation without
// templates or outside the table.
CodeTemplate* FindTemplate(int operation, const char* name);

// The first record of g_TemplateTable[operation] whose first count operand
// types equal types[0..count-1] (only count types are compared); with count
// 0 the first record. Null when none matches, and for an operation without
// templates or outside the table.
CodeTemplate* FindTemplateBySignature(int operation, const int32_t* types, int count);

// Start-up: the processor check. Sets g_HasCmov from CPUID (FPU and CMOV
// feature bits; no CPUID means neither) and points the comparison entries
// 32..40 at their "_opt" lists when it is set.
void InitProcessorFeatures();
// The decision of InitProcessorFeatures from given CPUID facts; also
// used to switch back (hasCpuid false restores the plain lists).
void ApplyProcessorFeatures(bool hasCpuid, uint32_t cpuidFeatureEdx);

// Start-up, after InitProcessorFeatures and before the first compilation:
// copies the code of every template into executable memory of its own,
// replaces each runtime-constant placeholder there by the constant's
// address and points the records at the copies (the placeholder list of
// operation 101 keeps pointing at the original). Returns the number of
// placeholders replaced; a later call finds nothing to replace and returns
// 0. When the memory can't be obtained the records keep their original
// code and -1 is returned.
int fixupTemplates();

// The runtime constants, by index 0..RC_COUNT-1 (see
// compiler/templates/RuntimeConstants.h for the names).
const void* RuntimeConstantAddress(int index);
// The placeholder value that stands for constant index in template code.
uint32_t RuntimeConstantPlaceholder(int index);
