// The places where code generation, constant folding and the optimizer plug
// into the compiler. The expression pipeline, the statement compiler and the
// control statements hand their checked element streams to these members;
// until the code generator and the optimizer exist each one answers as its
// declaration says, so that a compile checks a formula completely but makes
// no runnable code.
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

int FormulaCompiler::compileExpression(const int32_t* /*stream*/, int /*mode*/, uint8_t conditionCodes[2],
                                       bool* storesNothing)
{
    // No code yet: nothing is written at codePosition. The conditional
    // jumps that follow a condition are laid out with the condition byte 0.
    conditionCodes[0] = conditionCodes[1] = 0;
    *storesNothing = false;
    return NOT_COMPILED_YET;
}

int FormulaCompiler::runConstantCondition(const int32_t* /*stream*/)
{
    return NOT_COMPILED_YET;
}

int FormulaCompiler::createConstants(int32_t* /*stream*/)
{
    // Nothing is folded: the stream stays as the type check left it.
    return 0;
}

void FormulaCompiler::reduceStrength(GrowBuffer* /*stream*/)
{
}

int FormulaCompiler::shuffle(int32_t* /*stream*/)
{
    return 0;
}

bool FormulaCompiler::evaluateConstantExpression(const int32_t* /*stream*/, int /*n*/,
                                                 int /*expectedType*/, double values[4])
{
    values[0] = values[1] = values[2] = values[3] = 0.0;
    return false;
}

bool FormulaCompiler::needsAnotherRound(int /*pass*/, int /*cycle*/)
{
    // Without the optimizer no symbol fact changes between cycles.
    return false;
}

void FormulaCompiler::releaseReads()
{
}

void FormulaCompiler::clearReadLists()
{
    for (ListNode* n = symbols.GetHead(); n; n = n->next)
        static_cast<FormulaSymbol*>(n)->readsCount = 0;
    for (ListNode* f = functions.GetHead(); f; f = f->next) {
        for (ListNode* n = static_cast<FormulaFunction*>(f)->locals.GetHead(); n; n = n->next)
            static_cast<FormulaSymbol*>(n)->readsCount = 0;
    }
}

int FormulaCompiler::precisionLevelForFractal() const
{
    return fractal ? 1 : 0;
}

bool FormulaCompiler::typesAnalysed() const
{
    // The pipeline widens current types (checkReturntype), but their
    // narrowing across cycles is the optimizer's: until it exists the notes
    // stay off.
    return false;
}
