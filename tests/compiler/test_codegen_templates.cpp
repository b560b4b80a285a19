// Every operation of the template catalogue on every signature it has,
// compiled as an assignment "result = op(operands)" from variables of the
// operand types and run: the compiled code must compute exactly what the
// template computes on the same operands (the template tests hold each
// template to its maths), and where the reference table of the templates
// has a row, the reference value itself. This checks what the code
// generator adds around a template: the loads of each type, the template's
// place on the stack, the stores and the conversions of the result.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "compiler/NoiseTables.h"
#include "tests/compiler/StreamCompiler.h"
#include "tests/compiler/TemplateHarness.h"
#include "tests/compiler/TemplateReferenceValues.h"

namespace {

// Operations that are no expression (the exchange of two values, the
// runtime templates of the routine assembly, the placeholder list), work
// on array blocks (tested with the array code) or on state outside their
// operands that the two runs do not share (random numbers, the previous z,
// the gradient tables, the transformation history).
bool Skipped(int op)
{
    if (op == 42 || op == 77 || (op >= 86 && op <= 102) || op == 138)
        return true;
    switch (op) {
    case 41: case 62: case 83: case 114: case 115: case 137: case 152: case 153:
        return true;
    default:
        return false;
    }
}

// Operands for templates without rows in the reference table.
TValue Sample(int type, int row)
{
    switch (type) {
    case DT_COMPLEX: return row ? Cplx(-2, 3) : Cplx(0.5, -1.25);
    case DT_QUATERNION: return row ? Quat(-1.5, 0.5, -0.75, 2) : Quat(0.5, -1, 2, 0.25);
    case DT_VECTOR: return row ? Vec(-3, 0.25, 1.5) : Vec(0.5, -1, 2);
    case DT_COLOR: return row ? Colour(1, 0.125, 0.375, 0.5) : Colour(0.25, 0.5, 0.75, 1);
    default: return row ? Real(-2.5) : Real(0.75);
    }
}

struct Case {
    std::vector<TValue> operands;
    const TemplateReferenceRow* reference;   // null when the row is a sample
};

std::vector<Case> CasesOf(const CodeTemplate* t)
{
    std::vector<Case> cases;
    for (const TemplateReferenceRow& row : TEMPLATE_REFERENCE_ROWS) {
        if (strcmp(row.name, t->name) != 0)
            continue;
        Case c{{}, &row};
        int k = 0;
        for (int i = 0; i < t->operandCount; i++) {
            TValue v{t->operandTypes[i], {0, 0, 0, 0}};
            for (int j = 0; j < v.count(); j++)
                v.c[j] = row.operands[k++];
            c.operands.push_back(v);
        }
        if (k == row.operandComponents)
            cases.push_back(c);
    }
    if (cases.empty()) {
        for (int r = 0; r < 2; r++) {
            Case c{{}, nullptr};
            for (int i = 0; i < t->operandCount; i++)
                c.operands.push_back(Sample(t->operandTypes[i], (r + i) % 2));
            cases.push_back(c);
        }
    }
    return cases;
}

bool Same(long double a, long double b)
{
    return a == b ? signbit(a) == signbit(b) || a != 0 : (isnan(a) && isnan(b));
}

class EveryTemplate : public ::testing::Test {
protected:
    // Variables of each type: four operands and a result.
    FormulaSymbol* Operand(int type, int i)
    {
        std::string name = std::string("in") + std::to_string(i) + "_" + std::to_string(type);
        FormulaSymbol* s = static_cast<FormulaSymbol*>(findNodeByName(bench.compiler.symbols.GetHead(), name.c_str()));
        return s ? s : bench.Var(name.c_str(), type, type == DT_COLOR ? PREC_FLOAT : PREC_EXTENDED);
    }
    FormulaSymbol* Result(int type)
    {
        if (type == DT_INT || type == DT_BOOL)
            type = DT_REAL;
        std::string name = "out_" + std::to_string(type);
        FormulaSymbol* s = static_cast<FormulaSymbol*>(findNodeByName(bench.compiler.symbols.GetHead(), name.c_str()));
        return s ? s : bench.Var(name.c_str(), type, type == DT_COLOR ? PREC_FLOAT : PREC_EXTENDED);
    }

    // Compiles and runs every template of every operation; returns the
    // number of template rows checked.
    int CheckAll()
    {
        uint8_t* base = bench.compiler.dataBlock->GetBase();
        const void* permutation = PerlinPermutationTable();
        const void* gradients = PerlinGradientTable();
        memcpy(base + 1076, &permutation, 4);
        memcpy(base + 1080, &gradients, 4);
        memcpy(runner.dataBase() + 1076, &permutation, 4);
        memcpy(runner.dataBase() + 1080, &gradients, 4);
        int checked = 0;
        for (int op = 1; op <= 154; op++) {
            if (Skipped(op) || !g_TemplateTable[op])
                continue;
            for (const CodeTemplate* t = g_TemplateTable[op]; t->code; t++) {
                for (const Case& c : CasesOf(t)) {
                    CheckCase(op, t, c);
                    checked++;
                }
            }
        }
        return checked;
    }

    void CheckCase(int op, const CodeTemplate* t, const Case& c)
    {
        std::vector<TValue> operands = c.operands;
        std::vector<int32_t> stream;
        FormulaSymbol* out = Result(t->resultType);
        stream = Target(out);
        for (size_t i = 0; i < operands.size(); i++) {
            TValue& v = operands[i];
            if (v.type == DT_COLOR)
                for (int k = 0; k < 4; k++)
                    v.c[k] = (float)v.c[k];
            FormulaSymbol* in = Operand(v.type, (int)i);
            bench.Set(in, v.c, v.count());
            stream = Cat({stream, Load(in)});
        }
        stream.push_back(op);
        stream.push_back(OP_ASSIGN);
        std::string what = std::string(t->name) + " " + RowText(c.operands);
        ASSERT_EQ(1, bench.Compile(stream)) << what << ": " << bench.error;
        bench.Set(out, {NAN, NAN, NAN, NAN});
        bench.Run();
        std::vector<long double> got = bench.Get(out);

        // blend and compose take their weight w from the frame, where the
        // compiled code stores w and 1 - w before the template.
        std::vector<uint8_t> code(t->code, t->code + t->codeLength);
        std::vector<TValue> direct_operands = operands;
        if (op == 116 || op == 117) {
            double w = (double)operands[2].c[0];
            double weights[2] = {w, 1.0 - w};
            std::vector<uint8_t> prefix;
            for (int j = 0; j < 2; j++) {
                uint32_t words[2];
                memcpy(words, &weights[j], 8);
                for (int h = 0; h < 2; h++) {
                    // mov dword [ebp - 16 (32) + 4h], word
                    prefix.insert(prefix.end(), {0xC7, 0x45, (uint8_t)(-16 * (j + 1) + 4 * h)});
                    for (int b = 0; b < 4; b++)
                        prefix.push_back((uint8_t)(words[h] >> (8 * b)));
                }
            }
            code.insert(code.begin(), prefix.begin(), prefix.end());
            direct_operands.pop_back();
        }
        TemplateRun direct = runner.Run(code.data(), (int)code.size(), direct_operands,
                                        TemplateFootprint(t->resultType), TemplateRunOptions(), true);
        ASSERT_EQ((size_t)TemplateFootprint(t->resultType), direct.result.size()) << what;
        for (size_t k = 0; k < direct.result.size(); k++) {
            long double expected = direct.result[k];
            if (t->resultType == DT_COLOR)
                expected = (float)expected;
            EXPECT_TRUE(Same(expected, got[k])) << what << " component " << k << ": compiled " << (double)got[k]
                                                 << ", template " << (double)expected;
        }
        if (!c.reference)
            return;
        long double scale = 1;
        for (int k = 0; k < c.reference->resultComponents; k++)
            if (isfinite(c.reference->result[k]) && fabsl(c.reference->result[k]) > scale)
                scale = fabsl(c.reference->result[k]);
        for (int k = 0; k < c.reference->resultComponents && k < (int)got.size(); k++) {
            long double e = c.reference->result[k];
            bool close = isfinite(e) ? fabsl(got[k] - e) <= 1e-13L * scale : Same(e, got[k]);
            EXPECT_TRUE(close) << what << " component " << k << ": compiled " << (double)got[k] << ", reference "
                              << (double)e;
        }
    }

    StreamCompiler bench;
    TemplateRunner runner;
};

TEST_F(EveryTemplate, ComputesTheTemplateAndItsReference)
{
    ASSERT_TRUE(runner.ok());
    // Twice: with the comparisons of the processor check, and with the
    // plain comparison lists.
    InitProcessorFeatures();
    int first = CheckAll();
    bool cmov = g_HasCmov != 0;
    ApplyProcessorFeatures(false, 0);
    int second = CheckAll();
    InitProcessorFeatures();
    EXPECT_GT(first, 600);
    printf("checked %d template rows\n", first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(cmov, g_HasCmov != 0);
}

}  // namespace
