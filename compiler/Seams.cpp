// The places where the expression pipeline, the statement compiler, the
// control statements, constant folding and the optimizer plug into the
// compiler. Until those are built the statements are matched and their
// expressions recorded, but no code is made; each member below says what it
// answers meanwhile.
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

int FormulaCompiler::compileControlAction(char* /*text*/, int /*start*/, int /*end*/, int /*row*/)
{
    // Jumps, frames and the hand-over of function bodies are not compiled
    // yet: the block structure is kept by the driver's block stack alone.
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::compileStatementExpression(char* /*text*/, int start, int end, int row)
{
    if (!expressionLog)
        expressionLog = new GrowBuffer(300);
    int needed = (expressionLogCount + 1) * 3 * (int)sizeof(int32_t);
    expressionLog->ReserveSlack(needed, 600);
    if (expressionLog->GetCapacity() >= needed) {
        int32_t* triple = static_cast<int32_t*>(expressionLog->GetData()) + 3 * expressionLogCount;
        triple[0] = row >= 0 && row < PARSE_TABLE_ROWS ? g_ParseTable[row].action : -1;
        triple[1] = start;
        triple[2] = end;
        expressionLogCount++;
    }
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::compilePropertyExpression(char* /*text*/, int /*start*/, int /*end*/)
{
    return NOT_COMPILED_YET;
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
    for (ListNode* n = symbols.GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        s->readsCount = 0;
    }
}

void FormulaCompiler::clearParseCache()
{
    // Cached expressions own their element buffers through the node's data
    // pointer once the expression pipeline fills the cache.
    while (ListNode* n = parseCache.GetHead()) {
        parseCache.Remove(n);
        delete static_cast<GrowBuffer*>(n->data);
        n->data = nullptr;
        delete n;
    }
}

int FormulaCompiler::precisionLevelForFractal() const
{
    return fractal ? 1 : 0;
}

bool FormulaCompiler::typesAnalysed() const
{
    return false;
}
