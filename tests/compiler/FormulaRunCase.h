// Whole formulas compiled and run in-process for the code generator's
// tests: a formula made of declarations and an init body, run once, and its
// variables read back.
#pragma once

#include <gtest/gtest.h>

#include <math.h>
#include <string>

#include "compiler/FormulaRun.h"
#include "formulas/FormulaKind.h"
#include "compiler/FormulaCompiler.h"

// An iteration formula whose init holds the statements and whose loop and
// bailout do nothing; functions (user functions) stand before init.
inline std::string InitFormula(const std::string& declarations, const std::string& body,
                               const std::string& functions = "")
{
    return "Case {\n" + declarations + "\n" + functions +
           "\n  void init(void) {\n" + body +
           "\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n    return(false);\n  }\n}\n";
}

// Compiles and runs text (init once); false with the compiler's reason.
inline ::testing::AssertionResult RunInit(FormulaRun& run, const std::string& text)
{
    if (!run.Compile(text.c_str(), FK_ITERATION, SK_PLANE))
        return ::testing::AssertionFailure() << "does not compile: " << run.error() << "\n" << text;
    double pixel[4] = {0, 0, 0, 0};
    run.SetPixel(pixel);
    run.Iterate(1);
    return ::testing::AssertionSuccess();
}

// Whether the named variable holds the expected components (relative
// tolerance for the floating types).
inline ::testing::AssertionResult Holds(const FormulaRun& run, const char* name, std::initializer_list<double> expected,
                                        double tolerance = 1e-12)
{
    if (!run.Symbol(name))
        return ::testing::AssertionFailure() << "no variable " << name;
    double v[4];
    run.ReadSymbol(name, v);
    int k = 0;
    for (double e : expected) {
        if (!(fabs(v[k] - e) <= tolerance * (fabs(e) > 1 ? fabs(e) : 1)))
            return ::testing::AssertionFailure() << name << "[" << k << "] = " << v[k] << ", expected " << e;
        k++;
    }
    return ::testing::AssertionSuccess();
}
