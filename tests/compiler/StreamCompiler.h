// A compiler set up for compiling element streams straight into code: a
// data block with the small integers, variables made here with chosen
// types and precisions, and a way to run the compiled code. The tests of
// the code generator build their streams with it, without the formula
// text in between.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "compiler/CodeEmit.h"
#include "compiler/CodeTemplate.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

class StreamCompiler {
public:
    StreamCompiler() : executable(4096, true)
    {
        InitProcessorFeatures();
        fixupTemplates();
        compiler.reset();
        compiler.symbols.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
        compiler.symbols.nextIds[0] = SYMBOL_FIRST_GLOBAL_ID;
        compiler.dataTop = 8192;
        compiler.dataBottom = -128;
        compiler.prepareDataBlock(0);
    }

    // A global variable of the type and precision in a new slot.
    FormulaSymbol* Var(const char* name, int type, int precision = PREC_EXTENDED)
    {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        s->dataType = type;
        s->precision = precision;
        s->currentType = type;
        s->symbolClass = SYM_VARIABLE;
        s->variability = 1;
        int alignment = 4;
        int size = slotSizeAndAlign(type, precision, &alignment);
        int offset = compiler.dataTop;
        alignSlot(&offset, 16);
        s->dataOffset = offset;
        compiler.dataTop = offset + size;
        s->id = compiler.symbols.nextIds[0]++;
        compiler.registerVariable(s, true);
        return s;
    }

    uint8_t* Slot(const FormulaSymbol* s) { return compiler.dataBlock->GetBase() + s->dataOffset; }

    // Writes / reads a variable's components (long double, exact for
    // extended slots).
    void Set(const FormulaSymbol* s, std::initializer_list<long double> values)
    {
        std::vector<long double> v(values);
        Set(s, v.data(), (int)v.size());
    }
    void Set(const FormulaSymbol* s, const long double* v, int n)
    {
        uint8_t* slot = Slot(s);
        if (n > TypeFootprint(s->dataType))
            n = TypeFootprint(s->dataType);
        if (s->dataType == DT_INT || s->dataType == DT_BOOL) {
            int32_t i = (int32_t)v[0];
            memcpy(slot, &i, 4);
            return;
        }
        if (s->dataType == DT_COLOR) {
            for (int k = 0; k < n; k++) {
                float f = (float)v[k];
                memcpy(slot + 4 * k, &f, 4);
            }
            return;
        }
        for (int k = 0; k < n; k++) {
            switch (s->precision) {
            case PREC_EXTENDED: memset(slot + 16 * k, 0, 16); memcpy(slot + 16 * k, &v[k], 10); break;
            case PREC_DOUBLE: { double d = (double)v[k]; memcpy(slot + 8 * k, &d, 8); break; }
            default: { float f = (float)v[k]; memcpy(slot + 4 * k, &f, 4); break; }
            }
        }
    }
    std::vector<long double> Get(const FormulaSymbol* s)
    {
        const uint8_t* slot = Slot(s);
        std::vector<long double> out;
        if (s->dataType == DT_INT || s->dataType == DT_BOOL) {
            int32_t i;
            memcpy(&i, slot, 4);
            out.push_back(i);
            return out;
        }
        if (s->dataType == DT_COLOR) {
            for (int k = 0; k < 4; k++) {
                float f;
                memcpy(&f, slot + 4 * k, 4);
                out.push_back(f);
            }
            return out;
        }
        for (int k = 0; k < TypeFootprint(s->dataType); k++) {
            switch (s->precision) {
            case PREC_EXTENDED: { long double v = 0; memcpy(&v, slot + 16 * k, 10); out.push_back(v); break; }
            case PREC_DOUBLE: { double d; memcpy(&d, slot + 8 * k, 8); out.push_back(d); break; }
            default: { float f; memcpy(&f, slot + 4 * k, 4); out.push_back(f); break; }
            }
        }
        return out;
    }

    // Compiles a stream (ended by 0) at position 0 of the code buffer.
    // Returns the completion flag; error receives errorText on failure.
    int Compile(const std::vector<int32_t>& stream, bool condition = false)
    {
        elements = stream;
        elements.push_back(0);
        elements.push_back(0);
        compiler.codePosition = 0;
        jumpBytes[0] = jumpBytes[1] = 0;
        errorFlag = 0;
        int completion =
            compiler.generateExpression(elements.data(), condition, jumpBytes, &errorFlag, false, false, true);
        error = errorFlag ? compiler.errorText : "";
        return completion;
    }

    // The code compiled last.
    std::vector<uint8_t> Code() const
    {
        const uint8_t* code = static_cast<const uint8_t*>(compiler.functionCode->GetData());
        return std::vector<uint8_t>(code, code + compiler.codePosition);
    }

    // Runs the code compiled last inside a frame; after a condition the
    // answer is 1 when the jump for true would be taken, else 0.
    int Run(bool condition = false)
    {
        std::vector<uint8_t> code = {0xC8, 0xB0, 0x00, 0x00};
        std::vector<uint8_t> body = Code();
        code.insert(code.end(), body.begin(), body.end());
        if (condition) {
            // jcc true +4; xor eax, eax; leave; ret; xor eax, eax; inc eax; leave; ret
            code.insert(code.end(), {0x0F, jumpBytes[0], 4, 0, 0, 0, 0x31, 0xC0, 0xC9, 0xC3, 0x31, 0xC0, 0x40,
                                     0xC9, 0xC3});
        } else {
            code.insert(code.end(), {0x31, 0xC0, 0xC9, 0xC3});
        }
        executable.Reserve((int)code.size() + 16);
        memcpy(executable.GetData(), code.data(), code.size());
        FlushInstructionCache(GetCurrentProcess(), executable.GetData(), code.size());
        return CallCompiledCode(executable.GetData(), compiler.dataBlock->GetBase());
    }

    FormulaCompiler compiler;
    std::vector<int32_t> elements;
    uint8_t jumpBytes[2] = {0, 0};
    int errorFlag = 0;
    std::string error;

private:
    GrowBuffer executable;
};

// Element-stream shorthands.
inline std::vector<int32_t> Load(const FormulaSymbol* s) { return {OPC_VARIABLE, s->id}; }
inline std::vector<int32_t> Target(const FormulaSymbol* s) { return {OPC_STORE, s->id}; }
inline std::vector<int32_t> Cat(std::initializer_list<std::vector<int32_t>> parts)
{
    std::vector<int32_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
