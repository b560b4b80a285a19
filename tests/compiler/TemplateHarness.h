// Runs machine-code templates the way compiled code runs them and checks
// them against long double references of their maths.
//
// A run copies the template into executable memory between a prologue and
// an epilogue made here: the prologue fills the x87 stack with filler
// values (the registers of other values below the operands) and the
// operands, sets EDI to a data block, EBP to a frame and ECX, EDX, ESI, EBX
// to known values; the epilogue records the x87 environment right after
// the template, the registers, the result components and the fillers, and
// the tag word once everything is popped.
//
// CheckTemplate runs one template over a table of operand rows:
// - with the stack pre-filled as deep as the compiler allows (8 registers
//   minus the operands minus scratchRegisters): no stack fault, exactly the
//   result's registers left above the untouched fillers, the result near
//   the reference, an empty tag word at the end, the registers, the control
//   word and the data block unchanged, the frame written only within
//   [EBP-frameBytes, EBP);
// - with one filler more: at least one row must overflow the stack, so
//   scratchRegisters is not larger than the template needs.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>
#include <string.h>
#include <functional>
#include <string>
#include <vector>

#include "compiler/CodeTemplate.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/CrtFormat.h"

// Registers a value of the data type occupies on the x87 stack.
inline int TemplateFootprint(int type)
{
    switch (type) {
    case DT_COMPLEX: return 2;
    case DT_QUATERNION: case DT_COLOR: return 4;
    case DT_VECTOR: return 3;
    case DT_ARRAY: case DT_PREDEFINED_ARRAY: case DT_VOID: return 0;
    default: return 1;
    }
}

// A value of one of the data types, component 0 first.
struct TValue {
    int type;
    long double c[4];
    int count() const { return TemplateFootprint(type); }
};

inline TValue Real(long double x) { return {DT_REAL, {x, 0, 0, 0}}; }
inline TValue Int(long double x) { return {DT_INT, {x, 0, 0, 0}}; }
inline TValue Bool(long double x) { return {DT_BOOL, {x, 0, 0, 0}}; }
inline TValue Cplx(long double re, long double im) { return {DT_COMPLEX, {re, im, 0, 0}}; }
inline TValue Quat(long double a, long double b, long double c, long double d) { return {DT_QUATERNION, {a, b, c, d}}; }
inline TValue Vec(long double x, long double y, long double z) { return {DT_VECTOR, {x, y, z, 0}}; }
inline TValue Colour(long double r, long double g, long double b, long double a) { return {DT_COLOR, {r, g, b, a}}; }

inline std::string TValueText(const TValue& v)
{
    std::string s = "(";
    for (int i = 0; i < v.count(); i++) {
        char buf[40];
        snprintf(buf, sizeof buf, "%s%.21Lg", i ? ", " : "", v.c[i]);
        s += buf;
    }
    return s + ")";
}

inline std::string RowText(const std::vector<TValue>& row)
{
    std::string s;
    for (size_t i = 0; i < row.size(); i++)
        s += (i ? " " : "") + TValueText(row[i]);
    return s;
}

struct TemplateRunOptions {
    int fillers = 0;                    // registers in use below the operands
    uint16_t controlWord = 0x137F;      // round to nearest, 64-bit precision, exceptions masked
    uint32_t ecx = 0x0BADC0DE, edx = 0x1DEA5EED, esi = 0x5EA51DE5, ebx = 0x0B0B0B0B;
};

struct TemplateRun {
    std::vector<long double> result;    // the result components, component 0 first
    std::vector<long double> fillers;   // the filler registers after the run, top-most first
    int registersAfter = 0;             // x87 registers in use right after the template
    uint16_t statusWord = 0;            // right after the template
    uint16_t controlWord = 0;           // right after the template
    uint16_t tagWordAtEnd = 0;          // after the result and the fillers were popped
    uint32_t ecx = 0, edx = 0, esi = 0, edi = 0, ebp = 0, ebx = 0;
    int32_t espChange = 0;              // ESP after the template minus ESP before it
    int frameBytesWritten = 0;          // distance below EBP of the deepest frame byte written
    bool frameOutsideScratchIntact = true;  // nothing below EBP-128 or at/above EBP changed
    bool dataIntact = true;             // the data block is unchanged
    bool stackFault() const { return (statusWord & 0x40) != 0; }
};

// Executable memory holding the harness code, the operand and result slots,
// a frame and a data block.
class TemplateRunner {
public:
    enum {
        CODE_SIZE = 16384, SLOTS = 4096, FRAME = 1024, FRAME_BASE = 768,
        DATA = 16384, DATA_BASE = 8192, TOTAL = CODE_SIZE + SLOTS + FRAME + DATA,
        FRAME_PATTERN = 0xA5, DATA_PATTERN = 0xCD,
    };

    TemplateRunner()
    {
        memory = (uint8_t*)VirtualAlloc(nullptr, TOTAL, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    }
    ~TemplateRunner()
    {
        if (memory)
            VirtualFree(memory, 0, MEM_RELEASE);
    }
    TemplateRunner(const TemplateRunner&) = delete;
    TemplateRunner& operator=(const TemplateRunner&) = delete;

    bool ok() const { return memory != nullptr; }
    // The data block EDI points at (DATA_BASE bytes below, the rest above).
    uint8_t* dataBase() { return memory + CODE_SIZE + SLOTS + FRAME + DATA_BASE; }
    uint8_t* frameBase() { return memory + CODE_SIZE + SLOTS + FRAME_BASE; }

    // Runs code of codeLength bytes on the operands (first deepest) and reads
    // resultRegisters result components. The data block keeps what the
    // caller wrote into it when keepData is set; otherwise it is filled with
    // DATA_PATTERN and checked afterwards.
    TemplateRun Run(const uint8_t* code, int codeLength, const std::vector<TValue>& operands,
                    int resultRegisters, const TemplateRunOptions& options, bool keepData = false)
    {
        TemplateRun run;
        if (codeLength < 0 || codeLength > CODE_SIZE - 1024) {
            ADD_FAILURE() << "template code of " << codeLength << " bytes does not fit the runner";
            return run;
        }
        uint8_t* slots = memory + CODE_SIZE;
        // 16-byte slots of 80-bit values: loads at 0, results and fillers at 512.
        auto in = [&](size_t i) { return (long double*)(slots + 16 * i); };
        auto out = [&](size_t i) { return (long double*)(slots + 512 + 16 * i); };
        uint8_t* env1 = slots + 1024;
        uint8_t* env2 = slots + 1088;
        uint32_t* regs = (uint32_t*)(slots + 1152);       // saved ESP and CW, the registers after
        uint8_t* frameArea = memory + CODE_SIZE + SLOTS;
        memset(frameArea, FRAME_PATTERN, FRAME);
        if (!keepData)
            memset(dataBase() - DATA_BASE, DATA_PATTERN, DATA);

        // Loads, deepest first: fillers, then each operand's components
        // from the last to component 0.
        std::vector<long double> loads;
        for (int i = 0; i < options.fillers; i++)
            loads.push_back(1000.125L + 7 * i);
        for (const TValue& v : operands)
            for (int k = v.count() - 1; k >= 0; k--)
                loads.push_back(v.c[k]);
        for (size_t i = 0; i < loads.size() && i < 16; i++) {
            memset(in(i), 0, 16);
            *in(i) = loads[i];
        }
        uint16_t* cw = (uint16_t*)&regs[20];
        *cw = options.controlWord;

        uint8_t* p = memory;
        auto b = [&](int x) { *p++ = (uint8_t)x; };
        auto d = [&](const void* a) { uint32_t v = (uint32_t)(uintptr_t)a; memcpy(p, &v, 4); p += 4; };
        auto imm = [&](uint32_t v) { memcpy(p, &v, 4); p += 4; };

        b(0x60);                                  // pushad
        b(0x89); b(0x25); d(&regs[0]);            // mov [savedEsp], esp
        b(0xD9); b(0x3D); d(&regs[1]);            // fnstcw [savedCw]
        b(0xDB); b(0xE3);                         // fninit
        b(0xD9); b(0x2D); d(cw);                  // fldcw [cw]
        b(0xBF); d(dataBase());                   // mov edi, data
        b(0xBD); d(frameBase());                  // mov ebp, frame
        b(0xB9); imm(options.ecx);
        b(0xBA); imm(options.edx);
        b(0xBE); imm(options.esi);
        b(0xBB); imm(options.ebx);
        for (size_t i = 0; i < loads.size() && i < 16; i++) {
            b(0xDB); b(0x2D); d(in(i));      // fld tbyte [in_i]
        }
        memcpy(p, code, (size_t)codeLength);
        p += codeLength;
        b(0xD9); b(0x35); d(env1);                // fnstenv [env1]
        b(0x89); b(0x0D); d(&regs[2]);            // mov [..], ecx
        b(0x89); b(0x15); d(&regs[3]);            // edx
        b(0x89); b(0x35); d(&regs[4]);            // esi
        b(0x89); b(0x3D); d(&regs[5]);            // edi
        b(0x89); b(0x2D); d(&regs[6]);            // ebp
        b(0x89); b(0x1D); d(&regs[7]);            // ebx
        b(0x89); b(0x25); d(&regs[8]);            // esp
        b(0x8B); b(0x25); d(&regs[0]);            // mov esp, [savedEsp]
        int pops = resultRegisters + options.fillers;
        for (int i = 0; i < pops && i < 16; i++) {
            b(0xDB); b(0x3D); d(out(i));     // fstp tbyte [out_i]
        }
        b(0xD9); b(0x35); d(env2);                // fnstenv [env2]
        b(0xDB); b(0xE3);                         // fninit
        b(0xD9); b(0x2D); d(&regs[1]);            // fldcw [savedCw]
        b(0x61);                                  // popad
        b(0xC3);                                  // ret
        FlushInstructionCache(GetCurrentProcess(), memory, CODE_SIZE);

        ((void (*)())memory)();

        uint16_t tag1, tag2;
        memcpy(&run.controlWord, env1, 2);
        memcpy(&run.statusWord, env1 + 4, 2);
        memcpy(&tag1, env1 + 8, 2);
        memcpy(&tag2, env2 + 8, 2);
        run.tagWordAtEnd = tag2;
        for (int r = 0; r < 8; r++)
            if (((tag1 >> (2 * r)) & 3) != 3)
                run.registersAfter++;
        for (int i = 0; i < resultRegisters; i++)
            run.result.push_back(*out(i));
        for (int i = 0; i < options.fillers; i++)
            run.fillers.push_back(*out(resultRegisters + i));
        run.ecx = regs[2]; run.edx = regs[3]; run.esi = regs[4]; run.edi = regs[5];
        run.ebp = regs[6]; run.ebx = regs[7];
        run.espChange = (int32_t)(regs[8] - regs[0]);
        for (int i = 0; i < FRAME; i++) {
            if (frameArea[i] == FRAME_PATTERN)
                continue;
            int below = FRAME_BASE - i;
            if (below >= 1 && below <= 128) {
                if (below > run.frameBytesWritten)
                    run.frameBytesWritten = below;
            } else {
                run.frameOutsideScratchIntact = false;
            }
        }
        if (!keepData) {
            const uint8_t* data = dataBase() - DATA_BASE;
            for (int i = 0; i < DATA; i++)
                if (data[i] != DATA_PATTERN) {
                    run.dataIntact = false;
                    break;
                }
        }
        return run;
    }

    // The filler values the run loaded, top-most first.
    static std::vector<long double> ExpectedFillers(int count)
    {
        std::vector<long double> f;
        for (int i = count - 1; i >= 0; i--)
            f.push_back(1000.125L + 7 * i);
        return f;
    }

private:
    uint8_t* memory;
};

// Prepares the templates once per test program: the constant fix-up.
inline void EnsureTemplatesFixedUp()
{
    static bool done = false;
    if (!done) {
        ASSERT_GE(fixupTemplates(), 0);
        done = true;
    }
}

// Tolerance of a result component k of the value e:
// |actual - expected| <= rel * |expected_k| + normRel * max |expected_j|.
struct TemplateTolerance {
    long double rel = 1e-16L;
    long double normRel = 1e-17L;
};

inline bool ComponentNear(long double a, long double e, long double norm, const TemplateTolerance& tol)
{
    if (isnan(e))
        return isnan(a);
    if (isinf(e))
        return a == e;
    if (isnan(a) || isinf(a))
        return false;
    return fabsl(a - e) <= tol.rel * fabsl(e) + tol.normRel * norm;
}

inline bool ValueNear(const std::vector<long double>& actual, const TValue& expected, const TemplateTolerance& tol)
{
    if ((int)actual.size() != expected.count())
        return false;
    long double norm = 0;
    for (int k = 0; k < expected.count(); k++)
        if (isfinite(expected.c[k]) && fabsl(expected.c[k]) > norm)
            norm = fabsl(expected.c[k]);
    for (int k = 0; k < expected.count(); k++)
        if (!ComponentNear(actual[k], expected.c[k], norm, tol))
            return false;
    return true;
}

inline std::string ComponentsText(const std::vector<long double>& c)
{
    std::string s = "(";
    for (size_t i = 0; i < c.size(); i++) {
        char buf[40];
        snprintf(buf, sizeof buf, "%s%.21Lg", i ? ", " : "", c[i]);
        s += buf;
    }
    return s + ")";
}

// The reference maths of a template: the expected value of the operands.
typedef TValue (*TemplateReference)(const std::vector<TValue>& operands);

// Registers the stack layout allows below the operands of t.
inline int TemplateFillers(const CodeTemplate* t, const std::vector<TValue>& row)
{
    int footprint = 0;
    for (const TValue& v : row)
        footprint += v.count();
    return 8 - footprint - t->scratchRegisters;
}

// Runs the template of operation op named name over every row and checks it
// as described at the top of this file; expected(i, row) is the value row i
// must give.
inline void CheckTemplateRows(int op, const char* name,
                              const std::function<TValue(size_t, const std::vector<TValue>&)>& expectedValue,
                              const std::vector<std::vector<TValue>>& rows,
                              const TemplateTolerance& tol = TemplateTolerance())
{
    SCOPED_TRACE(name);
    EnsureTemplatesFixedUp();
    ASSERT_TRUE(g_TemplateTable[op] != nullptr) << "operation " << op << " has no list";
    CodeTemplate* t = FindTemplate(op, name);
    ASSERT_TRUE(t != nullptr) << "no template " << name << " in operation " << op;
    ASSERT_FALSE(rows.empty());
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    int resultRegisters = TemplateFootprint(t->resultType);
    int deepestFrame = 0;
    bool overflowSeen = false;
    bool overflowPossible = false;
    for (size_t index = 0; index < rows.size(); index++) {
        const std::vector<TValue>& row = rows[index];
        SCOPED_TRACE("operands " + RowText(row));
        ASSERT_EQ((int)row.size(), t->operandCount);
        for (size_t i = 0; i < row.size(); i++) {
            int type = row[i].type == DT_INT || row[i].type == DT_BOOL ? DT_REAL : row[i].type;
            ASSERT_EQ(type, t->operandTypes[i]) << "operand " << i;
        }
        int fillers = TemplateFillers(t, row);
        ASSERT_GE(fillers, 0) << "operands plus scratchRegisters exceed the 8 registers";
        TemplateRunOptions options;
        options.fillers = fillers;
        TemplateRun run = runner.Run(t->code, t->codeLength, row, resultRegisters, options);
        TValue expected = expectedValue(index, row);
        EXPECT_EQ(expected.type == DT_INT || expected.type == DT_BOOL ? DT_REAL : expected.type,
                  t->resultType == DT_INT || t->resultType == DT_BOOL ? DT_REAL : t->resultType);
        EXPECT_FALSE(run.stackFault()) << "x87 stack overflow or underflow";
        EXPECT_EQ(run.registersAfter, fillers + resultRegisters) << "registers left by the template";
        EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(fillers)) << "registers below the operands changed";
        EXPECT_TRUE(ValueNear(run.result, expected, tol))
            << "result " << ComponentsText(run.result) << " expected " << TValueText(expected);
        EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
        EXPECT_EQ(run.controlWord, options.controlWord);
        EXPECT_EQ(run.ecx, options.ecx);
        EXPECT_EQ(run.edx, options.edx);
        EXPECT_EQ(run.esi, options.esi);
        EXPECT_EQ(run.ebx, options.ebx);
        EXPECT_EQ(run.edi, (uint32_t)(uintptr_t)runner.dataBase());
        EXPECT_EQ(run.ebp, (uint32_t)(uintptr_t)runner.frameBase());
        EXPECT_EQ(run.espChange, 0);
        EXPECT_TRUE(run.dataIntact) << "the template wrote into the data block";
        EXPECT_TRUE(run.frameOutsideScratchIntact) << "the template wrote outside [EBP-128, EBP)";
        EXPECT_LE(run.frameBytesWritten, t->frameBytes) << "frame scratch beyond frameBytes";
        if (run.frameBytesWritten > deepestFrame)
            deepestFrame = run.frameBytesWritten;

        if (t->scratchRegisters > 0) {
            overflowPossible = true;
            options.fillers = fillers + 1;
            TemplateRun deeper = runner.Run(t->code, t->codeLength, row, resultRegisters, options);
            if (deeper.stackFault())
                overflowSeen = true;
        }
    }
    if (overflowPossible) {
        EXPECT_TRUE(overflowSeen) << "scratchRegisters " << t->scratchRegisters
                                  << " is more than any row needs";
    }
    if (t->frameBytes > 0) {
        EXPECT_GT(deepestFrame, t->frameBytes - 16) << "frameBytes larger than any row uses";
    }
}

// CheckTemplateRows with the expected values from a reference function.
inline void CheckTemplate(int op, const char* name, TemplateReference reference,
                          const std::vector<std::vector<TValue>>& rows,
                          const TemplateTolerance& tol = TemplateTolerance())
{
    CheckTemplateRows(op, name, [&](size_t, const std::vector<TValue>& row) { return reference(row); }, rows, tol);
}

// Checks a template against the rows of a table of precomputed references
// (a TemplateReferenceRow array, see TemplateReferenceValues.h): every row
// whose name is the template's, its operands made from the flat components
// by the template's signature. At least one row must exist.
template <typename Row, size_t N>
void CheckTemplateAgainstTable(int op, const char* name, const Row (&table)[N],
                               const TemplateTolerance& tol = TemplateTolerance())
{
    SCOPED_TRACE(name);
    CodeTemplate* t = g_TemplateTable[op] ? FindTemplate(op, name) : nullptr;
    ASSERT_TRUE(t != nullptr) << "no template " << name << " in operation " << op;
    std::vector<std::vector<TValue>> rows;
    std::vector<TValue> expected;
    for (const Row& r : table) {
        if (strcmp(r.name, name) != 0)
            continue;
        std::vector<TValue> row;
        int at = 0;
        for (int i = 0; i < t->operandCount; i++) {
            TValue v = {t->operandTypes[i], {0, 0, 0, 0}};
            for (int k = 0; k < v.count(); k++)
                v.c[k] = r.operands[at++];
            row.push_back(v);
        }
        ASSERT_EQ(at, r.operandComponents) << "table row does not fit the signature";
        TValue e = {t->resultType, {0, 0, 0, 0}};
        ASSERT_EQ(e.count(), r.resultComponents) << "table row does not fit the result type";
        for (int k = 0; k < e.count(); k++)
            e.c[k] = r.result[k];
        rows.push_back(row);
        expected.push_back(e);
    }
    ASSERT_FALSE(rows.empty()) << "no reference rows for " << name;
    CheckTemplateRows(op, name, [&](size_t i, const std::vector<TValue>&) { return expected[i]; }, rows, tol);
}
