// The template table made from compiler/templates/TemplateList.h, its
// lookups, the processor check and the runtime-constant fix-up.
#include "compiler/CodeTemplate.h"

#include <windows.h>
#include <cpuid.h>
#include <string.h>

#include "compiler/FormulaSymbol.h"
#include "compiler/templates/RuntimeConstants.h"

// ---------------------------------------------------------------------------
// Operand-type signatures, shared by the records.

#define DEFINE_SIGNATURE(id, count, ...) \
    static const int32_t s_signature_##id[] = {__VA_ARGS__}; \
    enum { s_signatureCount_##id = count };

DEFINE_SIGNATURE(none, 0, 0)
DEFINE_SIGNATURE(r, 1, DT_REAL)
DEFINE_SIGNATURE(c, 1, DT_COMPLEX)
DEFINE_SIGNATURE(q, 1, DT_QUATERNION)
DEFINE_SIGNATURE(v, 1, DT_VECTOR)
DEFINE_SIGNATURE(col, 1, DT_COLOR)
DEFINE_SIGNATURE(rr, 2, DT_REAL, DT_REAL)
DEFINE_SIGNATURE(rc, 2, DT_REAL, DT_COMPLEX)
DEFINE_SIGNATURE(rv, 2, DT_REAL, DT_VECTOR)
DEFINE_SIGNATURE(rq, 2, DT_REAL, DT_QUATERNION)
DEFINE_SIGNATURE(cr, 2, DT_COMPLEX, DT_REAL)
DEFINE_SIGNATURE(cc, 2, DT_COMPLEX, DT_COMPLEX)
DEFINE_SIGNATURE(cq, 2, DT_COMPLEX, DT_QUATERNION)
DEFINE_SIGNATURE(vr, 2, DT_VECTOR, DT_REAL)
DEFINE_SIGNATURE(vv, 2, DT_VECTOR, DT_VECTOR)
DEFINE_SIGNATURE(qr, 2, DT_QUATERNION, DT_REAL)
DEFINE_SIGNATURE(qc, 2, DT_QUATERNION, DT_COMPLEX)
DEFINE_SIGNATURE(qq, 2, DT_QUATERNION, DT_QUATERNION)
DEFINE_SIGNATURE(rcol, 2, DT_REAL, DT_COLOR)
DEFINE_SIGNATURE(colr, 2, DT_COLOR, DT_REAL)
DEFINE_SIGNATURE(colcol, 2, DT_COLOR, DT_COLOR)
DEFINE_SIGNATURE(rrr, 3, DT_REAL, DT_REAL, DT_REAL)
DEFINE_SIGNATURE(rrrr, 4, DT_REAL, DT_REAL, DT_REAL, DT_REAL)
DEFINE_SIGNATURE(colcolr, 3, DT_COLOR, DT_COLOR, DT_REAL)
DEFINE_SIGNATURE(ar, 2, DT_ARRAY, DT_REAL)

#define RESULT_c DT_COMPLEX
#define RESULT_r DT_REAL
#define RESULT_q DT_QUATERNION
#define RESULT_v DT_VECTOR
#define RESULT_col DT_COLOR
#define RESULT_b DT_BOOL
#define RESULT_i DT_INT

// ---------------------------------------------------------------------------
// The code labels of the assembler sources.

#define OPERATION(number, opName, display, jumpTrue, jumpFalse)
#define TPL(name, sig, res, scratch, frame) \
    extern "C" const uint8_t tpl_##name[]; \
    extern "C" const uint8_t tpl_##name##_end[];
#define TPL_DISPLAY(name, sig, res, scratch, frame, display) TPL(name, sig, res, scratch, frame)
#define TPL_TODO(name, sig, res)
#define END_OPERATION(number)
#include "compiler/templates/TemplateList.h"
#undef OPERATION
#undef TPL
#undef TPL_DISPLAY
#undef END_OPERATION

// ---------------------------------------------------------------------------
// The record lists, one namespace per operation, so that the records take
// the operation's names and jump bytes from their own operation.

#define OPERATION(number, opName, display, jumpTrue, jumpFalse) \
    namespace operation_##number { \
    static const char* const operationName = opName; \
    static const char* const displayName = display; \
    enum { jumpIfTrue = jumpTrue, jumpIfFalse = jumpFalse }; \
    static CodeTemplate list[] = {
#define TPL_DISPLAY(name, sig, res, scratch, frame, display) \
    {s_signatureCount_##sig, s_signature_##sig, 0, tpl_##name, \
     (int32_t)(tpl_##name##_end - tpl_##name), RESULT_##res, scratch, #name, \
     operationName, display, jumpIfTrue, jumpIfFalse, frame},
#define TPL(name, sig, res, scratch, frame) TPL_DISPLAY(name, sig, res, scratch, frame, displayName)
#define END_OPERATION(number) \
    {} }; }
#include "compiler/templates/TemplateList.h"
#undef OPERATION
#undef TPL
#undef TPL_DISPLAY
#undef END_OPERATION

// Every operation's own list, whatever the processor check did to the table.
static CodeTemplate* s_lists[TEMPLATE_OPERATIONS];

CodeTemplate* g_TemplateTable[TEMPLATE_OPERATIONS + 1];
uint8_t g_HasCmov = 0;

namespace {
struct TableBuilder {
    TableBuilder()
    {
#define OPERATION(number, opName, display, jumpTrue, jumpFalse) \
        s_lists[number] = operation_##number::list;
#define TPL(name, sig, res, scratch, frame)
#define TPL_DISPLAY(name, sig, res, scratch, frame, display)
#define END_OPERATION(number)
#include "compiler/templates/TemplateList.h"
#undef OPERATION
#undef TPL
#undef TPL_DISPLAY
#undef END_OPERATION
        for (int i = 0; i < TEMPLATE_OPERATIONS; i++)
            g_TemplateTable[i] = s_lists[i];
        g_TemplateTable[TEMPLATE_OPERATIONS] = TEMPLATE_TABLE_END;
    }
};
TableBuilder s_tableBuilder;
}

// ---------------------------------------------------------------------------
// Lookups

// An operation outside the table or without templates has no list; the
// lookups answer null for it rather than reading through a null entry.
static CodeTemplate* listOf(int operation)
{
    if (operation < 0 || operation >= TEMPLATE_OPERATIONS)
        return nullptr;
    return g_TemplateTable[operation];
}

CodeTemplate* FindTemplate(int operation, const char* name)
{
    CodeTemplate* list = listOf(operation);
    if (!list)
        return nullptr;
    for (CodeTemplate* t = list; t->code; t++)
        if (strcmp(t->name, name) == 0)
            return t;
    return nullptr;
}

CodeTemplate* FindTemplateBySignature(int operation, const int32_t* types, int count)
{
    CodeTemplate* list = listOf(operation);
    if (!list)
        return nullptr;
    for (CodeTemplate* t = list; t->code; t++) {
        // A record with fewer operands than asked for can't match them.
        if (t->operandCount < count)
            continue;
        int i = 0;
        while (i < count && t->operandTypes[i] == types[i])
            i++;
        if (i == count)
            return t;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Processor check

void ApplyProcessorFeatures(bool hasCpuid, uint32_t cpuidFeatureEdx)
{
    const uint32_t FEATURE_FPU = 1u << 0, FEATURE_CMOV = 1u << 15;
    g_HasCmov = (hasCpuid && (cpuidFeatureEdx & FEATURE_FPU) && (cpuidFeatureEdx & FEATURE_CMOV)) ? 1 : 0;
    for (int op = OP_COMPARISONS_FIRST; op <= OP_COMPARISONS_LAST; op++)
        g_TemplateTable[op] = g_HasCmov
            ? s_lists[op - OP_COMPARISONS_FIRST + OP_COMPARISONS_OPT_FIRST]
            : s_lists[op];
}

void InitProcessorFeatures()
{
    // __get_cpuid tests the ID flag of EFLAGS first and fails without CPUID.
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool hasCpuid = __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0;
    ApplyProcessorFeatures(hasCpuid, hasCpuid ? edx : 0);
}

// ---------------------------------------------------------------------------
// Runtime constants

namespace {
struct RuntimeConstants {
    float one;                 // 0
    float half;                // 1
    double log2e;              // 2
    double ln2Half;            // 3
    double ln2;                // 4
    double log2of10;           // 5
    double log10of2Half;       // 6
    double log10of2;           // 7
    uint16_t controlWords[6];  // 8..13
    double tiny;               // 14
    double e;                  // 15
    float three, four, six, sixth, twentyFive, inv255, ten, fifteen;  // 16..23
    alignas(16) uint32_t signMask[4];  // 24
    alignas(16) float two23[4];        // 25
    alignas(16) float ones[4];         // 26
    alignas(16) float tens[4];         // 27
    alignas(16) float fifteens[4];     // 28
    alignas(16) float sixes[4];        // 29
    float million;                     // 30
};

alignas(16) const RuntimeConstants s_constants = {
    1.0f, 0.5f,
    1.4426950408889634, 0.34657359027997264, 0.6931471805599453,
    3.321928094887362, 0.1505149978319906, 0.3010299956639812,
    {0x137F, 0x177F, 0x1B7F, 0x177F, 0x1F7F, 0x137F},
    1e-14,
    2.718281828459045,   // e (the nearest double)
    3.0f, 4.0f, 6.0f, 1.0f / 6.0f, 25.0f, 1.0f / 255.0f, 10.0f, 15.0f,
    {0x80000000u, 0x80000000u, 0x80000000u, 0x80000000u},
    {8388608.0f, 8388608.0f, 8388608.0f, 8388608.0f},
    {1.0f, 1.0f, 1.0f, 1.0f},
    {10.0f, 10.0f, 10.0f, 10.0f},
    {15.0f, 15.0f, 15.0f, 15.0f},
    {6.0f, 6.0f, 6.0f, 6.0f},
    1000000.0f,
};
}

const void* RuntimeConstantAddress(int index)
{
    const RuntimeConstants& c = s_constants;
    static const void* const addresses[RC_COUNT] = {
        &c.one, &c.half, &c.log2e, &c.ln2Half, &c.ln2, &c.log2of10, &c.log10of2Half, &c.log10of2,
        &c.controlWords[0], &c.controlWords[1], &c.controlWords[2], &c.controlWords[3],
        &c.controlWords[4], &c.controlWords[5],
        &c.tiny, &c.e, &c.three, &c.four, &c.six, &c.sixth, &c.twentyFive, &c.inv255, &c.ten,
        &c.fifteen, c.signMask, c.two23, c.ones, c.tens, c.fifteens, c.sixes, &c.million,
    };
    if (index < 0 || index >= RC_COUNT)
        return nullptr;
    return addresses[index];
}

uint32_t RuntimeConstantPlaceholder(int index)
{
    return (uint32_t)RC_PLACEHOLDER(index);
}

// ---------------------------------------------------------------------------
// Fix-up

static uint8_t* s_codeCopy = nullptr;   // the executable copy of all template code
static SIZE_T s_codeCopySize = 0;

// Copies the code of every record (except the placeholder list) into one
// block of executable memory, each template followed by a zero byte.
static bool copyTemplateCode()
{
    SIZE_T total = 0;
    for (int op = 0; op < TEMPLATE_OPERATIONS; op++) {
        if (!s_lists[op] || op == OP_COLLECT_REFERENCES)
            continue;
        for (CodeTemplate* t = s_lists[op]; t->code; t++)
            total += (SIZE_T)t->codeLength + 1;
    }
    uint8_t* block = (uint8_t*)VirtualAlloc(nullptr, total ? total : 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!block)
        return false;
    uint8_t* p = block;
    for (int op = 0; op < TEMPLATE_OPERATIONS; op++) {
        if (!s_lists[op] || op == OP_COLLECT_REFERENCES)
            continue;
        for (CodeTemplate* t = s_lists[op]; t->code; t++) {
            memcpy(p, t->code, (size_t)t->codeLength);
            p[t->codeLength] = 0;
            t->code = p;
            p += t->codeLength + 1;
        }
    }
    s_codeCopy = block;
    s_codeCopySize = total ? total : 1;
    return true;
}

// The placeholders in the order of the constants: the list of operation
// 101, 6-byte LEA EAX, [placeholder] entries (8D 05 imm32), ended by the
// first entry that is not one.
static int collectPlaceholders(uint32_t* placeholders)
{
    int count = 0;
    const CodeTemplate* list = s_lists[OP_COLLECT_REFERENCES];
    if (!list || !list->code)
        return 0;
    const uint8_t* code = list->code;
    for (int at = 0; at + 6 <= list->codeLength && count < RC_COUNT; at += 6, count++) {
        if (code[at] != 0x8D || code[at + 1] != 0x05)
            break;
        memcpy(&placeholders[count], code + at + 2, 4);
    }
    return count;
}

int fixupTemplates()
{
    if (!s_codeCopy && !copyTemplateCode())
        return -1;
    uint32_t placeholders[RC_COUNT];
    int count = collectPlaceholders(placeholders);

    DWORD oldProtect;
    VirtualProtect(s_codeCopy, s_codeCopySize, PAGE_READWRITE, &oldProtect);
    int replaced = 0;
    for (int k = 0; k < count; k++) {
        uint32_t address = (uint32_t)(uintptr_t)RuntimeConstantAddress(k);
        for (int op = 0; op < TEMPLATE_OPERATIONS; op++) {
            if (!s_lists[op] || op == OP_COLLECT_REFERENCES)
                continue;
            for (CodeTemplate* t = s_lists[op]; t->code; t++) {
                uint8_t* code = (uint8_t*)t->code;
                for (int at = 0; at + 4 <= t->codeLength; at++) {
                    uint32_t window;
                    memcpy(&window, code + at, 4);
                    if (window == placeholders[k]) {
                        memcpy(code + at, &address, 4);
                        replaced++;
                    }
                }
            }
        }
    }
    VirtualProtect(s_codeCopy, s_codeCopySize, PAGE_EXECUTE_READ, &oldProtect);
    return replaced;
}
