// Every operation that the formula language can write, on every signature
// of its templates, as formula text: "out = op(operands)" with parameters
// of the operand types, compiled as for a fractal and run. The value must
// be the one the operation's template computes on the same operands (the
// template tests hold each template to its maths). The operations the
// language has no notation for (the optimizer's rewrites, the reversed
// twins) are covered by the element-stream sweep of
// test_codegen_templates.cpp.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaRun.h"
#include "compiler/NoiseTables.h"
#include "formulas/FormulaKind.h"
#include "tests/compiler/TemplateHarness.h"

namespace {

// How the language writes an operation: a function name, or an operator.
std::string Notation(int op, const std::vector<std::string>& a)
{
    switch (op) {
    case 8: return "(" + a[0] + " + " + a[1] + ")";
    case 9: return "(" + a[0] + " - " + a[1] + ")";
    case 10: return "(" + a[0] + " * " + a[1] + ")";
    case 11: return "(" + a[0] + " / " + a[1] + ")";
    case 12: return "(" + a[0] + " ^ " + a[1] + ")";
    case 13: return "(-" + a[0] + ")";
    case 32: return "(" + a[0] + " && " + a[1] + ")";
    case 33: return "(" + a[0] + " || " + a[1] + ")";
    case 34: return "(" + a[0] + " == " + a[1] + ")";
    case 35: return "(" + a[0] + " >= " + a[1] + ")";
    case 36: return "(" + a[0] + " <= " + a[1] + ")";
    case 37: return "(" + a[0] + " != " + a[1] + ")";
    case 38: return "(" + a[0] + " < " + a[1] + ")";
    case 39: return "(" + a[0] + " > " + a[1] + ")";
    case 40: return "(!" + a[0] + ")";
    case 61: return "(" + a[0] + " % " + a[1] + ")";
    case 80: return "|" + a[0] + "|";
    default: break;
    }
    // Function names from the builtin table (the first spelling).
    for (int r = 0; g_BuiltinNames[r].name; r++) {
        const BuiltinName& b = g_BuiltinNames[r];
        if (b.element != op || !(b.name[0] >= 'a' && b.name[0] <= 'z'))
            continue;
        std::string call = std::string(b.name) + "(";
        for (size_t i = 0; i < a.size(); i++)
            call += (i ? ", " : "") + a[i];
        return call + ")";
    }
    return "";
}

// Operations whose value depends on state outside their operands
// (random numbers, previous values, gradients, the transformation history),
// that take or make an array, and the runtime templates.
bool Skipped(int op)
{
    if (op >= 86 && op <= 102)
        return true;
    switch (op) {
    case 41: case 62: case 83: case 114: case 115: case 137: case 138: case 152: case 153:
        return true;
    default:
        return false;
    }
}

const char* TypeKeyword(int type)
{
    switch (type) {
    case DT_COMPLEX: return "complex";
    case DT_QUATERNION: return "quaternion";
    case DT_VECTOR: return "vector";
    case DT_COLOR: return "color";
    default: return "real";
    }
}

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

std::string ValueText(const TValue& v)
{
    std::string text = v.count() > 1 ? "(" : "";
    for (int k = 0; k < v.count(); k++) {
        char number[40];
        snprintf(number, sizeof number, "%s%.17g", k ? "," : "", (double)v.c[k]);
        text += number;
    }
    return text + (v.count() > 1 ? ")" : "");
}

bool Close(long double expected, double got, long double scale)
{
    if (isnan(expected))
        return isnan(got);
    if (isinf(expected))
        return (long double)got == expected;
    return fabsl(got - expected) <= 1e-13L * scale;
}

TEST(EveryOperationAsText, ComputesWhatItsTemplateComputes)
{
    InitProcessorFeatures();
    fixupTemplates();
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    // The noise tables, as the formula's data block has them.
    const void* permutation = PerlinPermutationTable();
    const void* gradients = PerlinGradientTable();
    memcpy(runner.dataBase() + 1076, &permutation, 4);
    memcpy(runner.dataBase() + 1080, &gradients, 4);
    int checked = 0;
    for (int op = 1; op <= 154; op++) {
        if (Skipped(op) || !g_TemplateTable[op])
            continue;
        for (const CodeTemplate* t = g_TemplateTable[op]; t->code; t++) {
            std::vector<std::string> names;
            for (int i = 0; i < t->operandCount; i++)
                names.push_back("a" + std::to_string(i));
            std::string expression = Notation(op, names);
            if (expression.empty())
                continue;
            // Two rows of operands as parameters, two results.
            std::string declarations;
            FormulaRun::Settings settings;
            std::string body;
            int resultType = t->resultType == DT_INT || t->resultType == DT_BOOL ? DT_REAL : t->resultType;
            std::vector<std::vector<TValue>> rows(2);
            for (int row = 0; row < 2; row++) {
                std::vector<std::string> operands;
                for (int i = 0; i < t->operandCount; i++) {
                    std::string name = "p" + std::to_string(row) + "_" + std::to_string(i);
                    TValue v = Sample(t->operandTypes[i], (row + i) % 2);
                    rows[row].push_back(v);
                    declarations += std::string("  parameter ") + TypeKeyword(v.type) + " " + name + ";\n";
                    settings.push_back({name, ValueText(v)});
                    operands.push_back(name);
                }
                declarations += std::string("  ") + TypeKeyword(resultType) + " out" + std::to_string(row) + ";\n";
                body += "    out" + std::to_string(row) + " = " + Notation(op, operands) + ";\n";
            }
            std::string text = "Case {\n" + declarations + "  void init(void) {\n" + body +
                               "  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n    return(false);\n  }\n}\n";
            FormulaRun run;
            if (!run.Compile(text.c_str(), FK_ITERATION, SK_PLANE, settings)) {
                ADD_FAILURE() << t->name << ": " << run.error() << "\n" << text;
                continue;
            }
            double pixel[4] = {0, 0, 0, 0};
            run.SetPixel(pixel);
            run.Iterate(1);
            for (int row = 0; row < 2; row++) {
                TemplateRun direct = runner.Run(t->code, t->codeLength, rows[row], TemplateFootprint(t->resultType),
                                                TemplateRunOptions(), true);
                if (op == 116 || op == 117)
                    continue;   // their weight comes through the frame: checked below
                double got[4];
                run.ReadSymbol(("out" + std::to_string(row)).c_str(), got);
                long double scale = 1;
                for (long double e : direct.result)
                    if (isfinite(e))
                        scale = fmaxl(scale, fabsl(e));
                if (resultType == DT_COLOR || resultType == DT_COMPLEX || resultType == DT_QUATERNION ||
                    resultType == DT_VECTOR)
                    scale *= resultType == DT_COLOR ? 1e7L : 1e3L;   // stored as floats / doubles
                for (size_t k = 0; k < direct.result.size(); k++)
                    EXPECT_TRUE(Close(direct.result[k], got[k], scale))
                        << t->name << " " << RowText(rows[row]) << " component " << k << ": formula " << got[k]
                        << ", template " << (double)direct.result[k] << "\n" << text;
            }
            checked++;
        }
    }
    EXPECT_GT(checked, 300);
}

TEST(EveryOperationAsText, BlendAndComposeWeighTheirColours)
{
    const char* text =
        "Case {\n  parameter color a, b;\n  parameter real w;\n  color mixed, over;\n"
        "  void init(void) {\n    mixed = blend(a, b, w);\n    over = compose(a, b, w);\n  }\n"
        "  void loop(void) {\n  }\n  bool bailout(void) {\n    return(false);\n  }\n}\n";
    FormulaRun run;
    ASSERT_TRUE(run.Compile(text, FK_ITERATION, SK_PLANE,
                            {{"a", "(0,0.25,0.5,1)"}, {"b", "(1,0.75,0.5,0.5)"}, {"w", "0.5"}}))
        << run.error();
    double pixel[4] = {0, 0, 0, 0};
    run.SetPixel(pixel);
    run.Iterate(1);
    double mixed[4], over[4];
    run.ReadSymbol("mixed", mixed);
    run.ReadSymbol("over", over);
    // a (1 - w) + b w
    EXPECT_EQ(0.5, mixed[0]);
    EXPECT_EQ(0.5, mixed[1]);
    EXPECT_EQ(0.5, mixed[2]);
    EXPECT_EQ(0.75, mixed[3]);
    // t = w * alpha(b) = 0.25: a (1 - t) + b t; alpha a + t (1 - alpha a)
    EXPECT_EQ(0.25, over[0]);
    EXPECT_EQ(0.375, over[1]);
    EXPECT_EQ(0.5, over[2]);
    EXPECT_EQ(1.0, over[3]);
}

}  // namespace
