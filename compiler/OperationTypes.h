// The operand types every operation accepts and the type it leaves, as the
// template list gives them (compiler/templates/TemplateList.h), for the type
// checks of the expression pipeline. Unlike the template table these
// signatures do not depend on a template's machine code being present.
#pragma once

#include <stdint.h>

struct OperationType {
    int32_t operandCount;          // 0 to 4
    const int32_t* operandTypes;   // deepest operand first
    int32_t resultType;
    const char* name;              // the template's name ("add_rc")
    const char* displayName;       // for messages ("+ (Addition)")
};

// The first signature of the operation (in template-table order) whose
// first count operand types equal types[0..count-1]; with count 0 the first
// signature. Null when none matches or the operation has no templates.
const OperationType* FindOperationType(int operation, const int32_t* types, int count);
// The display name of the operation (that of its first template); "?" for
// an operation without templates.
const char* OperationDisplayName(int operation);
