// The transformation chain of an escape-time fractal: every active
// transformation is compiled into one shared data block (their data offsets
// carry over from one to the next) and called in list order from a small
// routine, each body behind the chain's own calls with its init_once piece
// under a once flag of its own.
#include "calc/escapetime/PixelRoutine.h"

#include <windows.h>
#include <string.h>

#include "calc/FormulaInstance.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/PixelRoutineCode.h"
#include "calc/task/Reports.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"

namespace {

enum { CHAIN_SLACK = 3000, CALL_BYTES = 5, ENTER_BYTES = 4, LEAVE_RET_BYTES = 2 };

FormulaInstance* Instance(ListNode* n)
{
    return static_cast<FormulaInstance*>(n);
}

bool CompileTransformation(FormulaCompiler* compiler, FormulaInstance* t, Fractal* fractal, int top, int bottom)
{
    const char* name = t->foundName[0] ? t->foundName : t->entryName;
    return compiler->compile(t->holder->GetSource(), top, bottom, &t->parameters, &t->functions, fractal, name,
                             SK_PLANE, nullptr, false, false);
}

}  // namespace

bool (*g_CompileTransformation)(FormulaCompiler* compiler, FormulaInstance* transformation, Fractal* fractal,
                                int dataTop, int dataBottom) = &CompileTransformation;

int AssembleTransformChain(EscapetimeParameters* block, FractalTask* task, int* alphaUsed, int* scratch)
{
    (void)scratch;   // the value stores here take no scratch word
    if (!block || !task)
        return 0;
    if (!task->formulaCompiler)
        task->formulaCompiler = new FormulaCompiler();
    if (!task->codeBuffer3)
        task->codeBuffer3 = new GrowBuffer(4096, true);
    if (!task->varBlock2)
        task->varBlock2 = new AlignedBuffer(CHAIN_SLACK, CHAIN_SLACK);
    FormulaCompiler* compiler = task->formulaCompiler;
    Fractal* fractal = task->fractal;
    compiler->setKind(FK_TRANSFORMATION);
    if (task->varBlock2->GetRaw())
        memset(task->varBlock2->GetRaw(), 0, (size_t)task->varBlock2->TotalSize());

    int count = 0;
    for (ListNode* n = block->transformations.GetHead(); n; n = n->next)
        if (Instance(n)->active)
            ++count;

    CodeWriter chain(task->codeBuffer3);
    const uint8_t enter[4] = {0xC8, 0xB0, 0x00, 0x00};
    chain.Bytes(enter, ENTER_BYTES);
    CodeWriter body(task->codeBuffer3, ENTER_BYTES + CALL_BYTES * count + LEAVE_RET_BYTES);

    int top = 0, bottom = -128;
    int onceFlag = RT_ONCE_FORMULA;
    for (ListNode* n = block->transformations.GetHead(); n; n = n->next) {
        FormulaInstance* t = Instance(n);
        if (!t->active || !t->holder)
            continue;
        ReleaseTextureUser(fractal, 0, t->holder);
        // Failed in an earlier assembly: the caller reports it.
        if (t->holder->word == -1)
            return 0;
        bool compiled = g_CompileTransformation(compiler, t, fractal, top, bottom);
        if (task->command != 0)
            return -1;
        if (!compiled) {
            compiled = g_CompileTransformation(compiler, t, fractal, top, bottom);
            if (task->command != 0)
                return -1;
        }
        // Either attempt counts: a transformation compiled on the second try runs.
        t->holder->word = compiled ? 1 : -1;
        if (!compiled)
            return 2;

        if (alphaUsed && compiler->usageFlags[2])
            *alphaUsed = 1;
        top = compiler->dataTop;
        bottom = compiler->dataBottom;
        task->varBlock2->Reserve(top, -bottom, CHAIN_SLACK, CHAIN_SLACK);
        uint8_t* base = task->varBlock2->GetBase();
        if (!base) {
            compiler->freeResults();
            ReportNotEnoughMemory(fractal);
            return 1;
        }
        WriteSmallIntConstants(base);

        EmitTransformationCall(chain, body, &compiler->functions, &onceFlag);
        // The values go into the chain block.
        StoreTransformationValues(compiler, task->varBlock2, &t->parameters);
        if (chain.failed || body.failed) {
            ReportNotEnoughMemory(fractal);
            return 1;
        }
    }
    const uint8_t leaveRet[2] = {0xC9, 0xC3};
    chain.Bytes(leaveRet, LEAVE_RET_BYTES);
    PurgeUnusedTextures();
    if (chain.failed) {
        ReportNotEnoughMemory(fractal);
        return 1;
    }
    FlushInstructionCache(GetCurrentProcess(), chain.Data(), (SIZE_T)body.position);
    return 0;
}

void EmitTransformationCall(CodeWriter& calls, CodeWriter& body, NodeList* functions, int* onceFlag)
{
    FormulaFunction* transform = findFunction(functions, "Vtransform@@");
    if (!PieceHasCode(transform))
        return;
    for (ListNode* f = functions->GetHead(); f; f = f->next)
        static_cast<FormulaFunction*>(f)->placement = static_cast<FormulaFunction*>(f)->placement2 = -1;
    calls.Byte(0xE8);
    calls.Dword(0);
    calls.PatchRel32(calls.position - 4, body.position);
    FormulaFunction* once = findFunction(functions, "Vinit_once@@");
    if (PieceHasCode(once))
        body.OnceGuardedPiece(once, (*onceFlag)++);
    else
        once = nullptr;
    body.Piece(transform, false);
    body.Byte(0xC3);
    body.LinkCalls(once);
    body.LinkCalls(transform);
}

// The compiler writes into its own block: it is pointed at the given one
// for the stores.
void StoreTransformationValues(FormulaCompiler* compiler, AlignedBuffer* block, NodeList* parameters)
{
    compiler->freeResults();
    AlignedBuffer* own = compiler->dataBlock;
    NodeList* ownInputs = compiler->inputSymbols;
    compiler->dataBlock = block;
    compiler->inputSymbols = parameters;
    compiler->storeSymbolValues();
    compiler->storeParameterValues(0);
    compiler->dataBlock = own;
    compiler->inputSymbols = ownInputs;
}
