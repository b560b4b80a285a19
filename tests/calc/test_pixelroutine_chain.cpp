// The transformation chain: active transformations compiled into one shared
// block without overlapping and run in list order (with their parameter
// values, init_once under a flag of their own, alpha use reported), and the
// failures: a transformation that does not compile, one that failed before
// (not compiled again), one whose second attempt succeeds (it runs), and a
// command arriving during the compile.
#include <gtest/gtest.h>

#include <string.h>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutine.h"
#include "calc/escapetime/PredefinedVariables.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"

namespace {

const char* kScale =
    "Scale {\n"
    "  parameter real k;\n"
    "  void transform(void) {\n    pixel = pixel * k;\n  }\n"
    "}\n";

// Adds n, counted up once per calculation, and halves the opacity.
const char* kShift =
    "Shift {\n"
    "  real n;\n"
    "  void init_once(void) {\n    n = n + 1;\n  }\n"
    "  void transform(void) {\n    pixel = pixel + n;\n    alpha = 0.5;\n  }\n"
    "}\n";

const char* kBroken =
    "Broken {\n"
    "  void transform(void) {\n    pixel = pixel * ;\n  }\n"
    "}\n";

int g_attempts = 0;
int g_failFirst = 0;
bool (*g_realCompile)(FormulaCompiler*, FormulaInstance*, Fractal*, int, int) = nullptr;

// Counts the attempts; fails the first one when asked.
bool ScriptedCompile(FormulaCompiler* compiler, FormulaInstance* t, Fractal* fractal, int top, int bottom)
{
    ++g_attempts;
    if (g_failFirst && g_attempts == 1)
        return false;
    return g_realCompile(compiler, t, fractal, top, bottom);
}

class TransformChain : public ::testing::Test {
protected:
    TransformChain() : fractal(FT_ESCAPETIME, 0)
    {
        fixupTemplates();   // compiled code reaches the runtime constants
        fractal.header->Width = 64;
        fractal.header->Height = 48;
        block = static_cast<EscapetimeParameters*>(fractal.typeParameters);
        block->SetCorners(-2.5, 1.5, 1.5, -1.5);
        task.fractal = &fractal;
        g_realCompile = g_CompileTransformation;
        g_CompileTransformation = ScriptedCompile;
        g_attempts = 0;
        g_failFirst = 0;
    }
    ~TransformChain() override
    {
        g_CompileTransformation = g_realCompile;
        delete task.formulaCompiler;
        delete task.codeBuffer3;
        delete task.varBlock2;
    }

    FormulaInstance* Add(const char* text, const char* name)
    {
        FormulaInstance* t = new FormulaInstance(&fractal, name, "Mine.str");
        strcpy(t->foundName, name);
        t->holder->SetSource(text);
        block->transformations.Append(t);
        return t;
    }
    static void SetParameter(FormulaInstance* t, const char* name, double value)
    {
        FormulaSymbol* p = new FormulaSymbol();
        p->SetName(name);
        p->symbolClass = SYM_PARAMETER;
        p->dataType = DT_REAL;
        p->precision = PREC_EXTENDED;
        p->value[0] = value;
        t->parameters.Append(p);
    }
    int Assemble()
    {
        alphaUsed = 0;
        return AssembleTransformChain(block, &task, &alphaUsed, &scratch);
    }
    // Binds the chain block as the calculation does and runs the chain on a
    // pixel; returns the pixel it leaves.
    void Run(long double re, long double im, long double* outRe, long double* outIm)
    {
        uint8_t* base = task.varBlock2->GetBase();
        SetRuntimeExtended(base, RT_PIXEL, re);
        SetRuntimeExtended(base, RT_PIXEL + 16, im);
        uint16_t status = 0;
        CallTransformChain(task.codeBuffer3->GetData(), base, &status);
        *outRe = GetRuntimeExtended(base, RT_PIXEL);
        *outIm = GetRuntimeExtended(base, RT_PIXEL + 16);
    }
    void Bind() { BindPredefinedVariables(&fractal, block, task.varBlock2->GetBase(), nullptr); }

    Fractal fractal;
    FractalTask task;
    EscapetimeParameters* block;
    int alphaUsed = 0, scratch = 0;
};

// Two transformations in list order, k from the stored values; the second
// call shows their slots do not overlap (n = 1 written by init_once would
// otherwise have replaced k). An inactive transformation is skipped.
TEST_F(TransformChain, RunsEveryActiveTransformationInOrder)
{
    FormulaInstance* scale = Add(kScale, "Scale");
    SetParameter(scale, "k", 3);
    Add(kBroken, "Broken")->active = 0;
    Add(kShift, "Shift");
    ASSERT_EQ(0, Assemble());
    EXPECT_EQ(1, alphaUsed);
    EXPECT_EQ(2, g_attempts);
    Bind();
    long double re, im;
    Run(1, 2, &re, &im);
    EXPECT_EQ(4.0L, re);
    EXPECT_EQ(6.0L, im);
    EXPECT_EQ(0.5L, GetRuntimeExtended(task.varBlock2->GetBase(), RT_ALPHA));
    Run(-1, 0.5, &re, &im);
    EXPECT_EQ(-2.0L, re);
    EXPECT_EQ(1.5L, im);
    EXPECT_EQ(0, GetRuntimeInt(task.varBlock2->GetBase(), RT_ONCE_FORMULA) & 0xFF);   // init_once ran
}

// A transformation that does not compile: result 2 and state -1 after two
// attempts; the next assembly stops at it with 0 and compiles nothing.
TEST_F(TransformChain, FailedTransformationIsNotCompiledAgain)
{
    FormulaInstance* broken = Add(kBroken, "Broken");
    EXPECT_EQ(2, Assemble());
    EXPECT_EQ(-1, broken->holder->word);
    EXPECT_EQ(2, g_attempts);
    g_attempts = 0;
    EXPECT_EQ(0, Assemble());
    EXPECT_EQ(0, g_attempts);
    EXPECT_EQ(-1, broken->holder->word);
}

// A second attempt that succeeds counts: state 1, and the chain runs it.
TEST_F(TransformChain, SecondAttemptThatSucceedsRuns)
{
    FormulaInstance* scale = Add(kScale, "Scale");
    SetParameter(scale, "k", 2);
    g_failFirst = 1;
    ASSERT_EQ(0, Assemble());
    EXPECT_EQ(2, g_attempts);
    EXPECT_EQ(1, scale->holder->word);
    Bind();
    long double re, im;
    Run(1.5, -1, &re, &im);
    EXPECT_EQ(3.0L, re);
    EXPECT_EQ(-2.0L, im);
}

// A command pending during the compile ends the assembly with -1.
TEST_F(TransformChain, CommandDuringCompileInterrupts)
{
    Add(kScale, "Scale");
    task.command = FTC_STOP;
    EXPECT_EQ(-1, Assemble());
    task.command = 0;
}

}  // namespace
