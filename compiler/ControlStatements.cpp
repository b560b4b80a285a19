// The control flow around the compiled expressions of a function body: the
// jumps of if, else, for, do, while and break, the frames of user functions
// and the hand-over of a finished body to its function record. Forward jumps
// are written with a placeholder and patched once their target is known;
// the places still open wait on the jump stack as (value, marker) pairs.
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/CodeEmit.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

namespace {

enum : int32_t {
    MARK_FOR = 10000000,
    MARK_IF_CHAIN = 10000029,
    MARK_BREAK_FOR = 10000032,
    MARK_BREAK_DO = 10000033,
    MARK_BREAK_WHILE = 10000034,
    MARK_IF_CONDITION = -43,
    MARK_BLOCK_END = -35,
    MARK_FOR_CONDITION = -56,
    MARK_FOR_EXIT = 10000056,
    MARK_FOR_ITERATION_START = 10000058,
    MARK_FOR_ITERATION_END = 10000158,
    MARK_DO_BODY = 70,
    MARK_WHILE_CONDITION = -86,
    MARK_WHILE_EXIT = 10000086,
};

// Written after the jump that ends an if block: no else part has followed
// yet, so the jump can still be taken back.
const uint8_t kNoElseYet[4] = {0xDE, 0xAD, 0xBE, 0xEF};

const uint8_t kJump = 0xE9;

// Bytes below EBP the templates use as scratch memory.
enum { FRAME_SCRATCH = 128, INITIAL_FRAME_BOTTOM_DEPTH = 32 };

// Bytes a user function reserves below its frame pointer: the templates'
// scratch area and every local and temporary, a multiple of 16.
int32_t FrameSize(const FormulaFunction* f)
{
    int32_t size = -f->frameBottom;
    if (size < FRAME_SCRATCH)
        size = FRAME_SCRATCH;
    return (size + 15) & ~15;
}

}  // namespace

// ---------------------------------------------------------------------------
// Code buffer

void FormulaCompiler::emitCode(const uint8_t* bytes, int count)
{
    if (!functionCode)
        functionCode = new GrowBuffer(5000);
    functionCode->ReserveSlack(codePosition + count + 4, 50000);
    uint8_t* code = static_cast<uint8_t*>(functionCode->GetData());
    if (!code || functionCode->GetCapacity() < codePosition + count + 4)
        return;
    memcpy(code + codePosition, bytes, (size_t)count);
    codePosition += count;
}

void FormulaCompiler::writeCodeWord(int offset, int32_t value)
{
    if (!functionCode || offset < 0 || offset + 4 > functionCode->GetCapacity())
        return;
    memcpy(static_cast<uint8_t*>(functionCode->GetData()) + offset, &value, 4);
}

int32_t FormulaCompiler::readCodeWord(int offset) const
{
    int32_t value = 0;
    if (functionCode && offset >= 0 && offset + 4 <= functionCode->GetCapacity())
        memcpy(&value, static_cast<const uint8_t*>(functionCode->GetData()) + offset, 4);
    return value;
}

int FormulaCompiler::findJumpMarker(int32_t marker) const
{
    for (int depth = 0; depth < jumpStack->count(); depth += 2) {
        if (jumpStack->peek(depth) == marker)
            return depth;
    }
    return -1;
}

bool FormulaCompiler::isSectionFunction(const char* decoratedName) const
{
    static const char* const transformation[] = {"Vtransform@@", "Vinit_once@@", "Vdescription@@", nullptr};
    static const char* const iteration[] = {"Vinit_once@@", "Vinit@@", "Vloop@@", "Bstop@@",
                                            "Bbailout@@", "Vdescription@@", nullptr};
    static const char* const coloring[] = {"Vinit_once@@", "Vinit@@", "Vloop@@", "Vfinal@@",
                                           "Vdescription@@", nullptr};
    const char* const* names = kind == FK_TRANSFORMATION ? transformation
                               : kind == FK_ITERATION    ? iteration
                               : kind == FK_COLORING     ? coloring
                                                         : nullptr;
    for (int i = 0; names && names[i]; i++) {
        if (strcmp(names[i], decoratedName) == 0)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// The rule actions

int FormulaCompiler::compileControlAction(char* text, int start, int end, int row)
{
    int action = row >= 0 && row < PARSE_TABLE_ROWS ? g_ParseTable[row].action : -1;
    static const uint8_t placeholder[4] = {0, 0, 0, 0};

    // A jump back to target: E9 and the displacement from the end of the
    // jump.
    auto jumpBack = [&](int32_t target) {
        emitCode(&kJump, 1);
        int32_t displacement = target - (codePosition + 4);
        emitCode(reinterpret_cast<const uint8_t*>(&displacement), 4);
    };
    // The forward jump whose displacement is at offset lands here.
    auto patchToHere = [&](int32_t offset) { writeCodeWord(offset, codePosition - (offset + 4)); };

    switch (action) {
    case 28:   // for
        jumpStack->push2(0, MARK_FOR);
        return ACTION_NEXT_STATE;

    case 29:   // if: what a constant condition needs to parse the chain again
        jumpStack->push2(start, parseState);
        jumpStack->push2(blockStack->count(), codePosition);
        jumpStack->push2(0, MARK_IF_CHAIN);
        return ACTION_NEXT_STATE;

    case 32:   // break in a for, do or while loop
    case 33:
    case 34:
        emitCode(&kJump, 1);
        jumpStack->push2(codePosition, action == 32   ? MARK_BREAK_FOR
                                       : action == 33 ? MARK_BREAK_DO
                                                      : MARK_BREAK_WHILE);
        emitCode(placeholder, 4);
        return ACTION_NEXT_STATE;

    case 35: {   // "}" of an if block
        int m = findJumpMarker(MARK_IF_CONDITION);
        if (m < 0)
            return ACTION_NEXT_STATE;
        int32_t condition = jumpStack->peek(m + 1);
        jumpStack->removeAt(m);
        jumpStack->removeAt(m);
        emitCode(&kJump, 1);
        int32_t displacement = codePosition;
        jumpStack->push2(displacement, MARK_BLOCK_END);
        // The condition's jump lands after this jump; the jump remembers
        // the condition's displacement until the chain ends.
        writeCodeWord(condition, displacement - condition);
        emitCode(reinterpret_cast<const uint8_t*>(&condition), 4);
        int32_t noElse;
        memcpy(&noElse, kNoElseYet, 4);
        writeCodeWord(codePosition, noElse);
        return ACTION_NEXT_STATE;
    }

    case 36:   // "}" of an else block
    case 49: {   // no else after an if block
        // The last block's jump over the rest of the chain jumps nowhere
        // when nothing followed it: it goes, and the condition lands where
        // it stood.
        const uint8_t* code = functionCode ? static_cast<const uint8_t*>(functionCode->GetData()) : nullptr;
        if (code && codePosition >= 5 && code[codePosition - 5] == kJump &&
            memcmp(code + codePosition, kNoElseYet, 4) == 0) {
            writeCodeWord(codePosition, 0);
            int32_t condition = readCodeWord(codePosition - 4);
            writeCodeWord(condition, readCodeWord(condition) - 5);
            codePosition -= 5;
        }
        int chain = findJumpMarker(MARK_IF_CHAIN);
        if (chain < 0)
            return ACTION_NEXT_STATE;
        for (int d = 0; d < chain; d += 2) {
            if (jumpStack->peek(d) == MARK_BLOCK_END)
                patchToHere(jumpStack->peek(d + 1));
        }
        // Pairs of outer statements (breaks of a loop) above the chain stay.
        for (int d = 0; d < chain;) {
            if (jumpStack->peek(d) == MARK_BLOCK_END) {
                jumpStack->removeAt(d);
                jumpStack->removeAt(d);
                chain -= 2;
            } else {
                d += 2;
            }
        }
        for (int i = 0; i < 6; i++)
            jumpStack->removeAt(chain);
        return ACTION_NEXT_STATE;
    }

    case 37: {   // "}" of a for block
        int n = findJumpMarker(MARK_FOR);
        if (n < 0)
            return ACTION_NEXT_STATE;
        // The iteration expressions, in the order written.
        for (int d = n - 2; d >= 0; d -= 2) {
            if (jumpStack->peek(d) != MARK_FOR_ITERATION_END || jumpStack->peek(d + 2) != MARK_FOR_ITERATION_START)
                continue;
            int from = jumpStack->peek(d + 3);
            int to = jumpStack->peek(d + 1);
            int length = to - from + 1;
            if (length <= 0)
                continue;
            if (!statementText)
                statementText = new GrowBuffer(length + 100);
            statementText->Reserve(length + 1);
            char* expression = static_cast<char*>(statementText->GetData());
            if (!expression)
                return ACTION_FAILED;
            memcpy(expression, text + from, (size_t)length);
            expression[length] = 0;
            if (!expressionBuffer)
                expressionBuffer = new GrowBuffer(1000);
            if (!messageText)
                messageText = new GrowBuffer(1000);
            errorText[0] = 0;
            ExpressionRequest request = {expression, expressionBuffer, messageText, from, to, 1,
                                         EXPRESSION_STATEMENT};
            int words = processExpression(request);
            int32_t* stream = static_cast<int32_t*>(expressionBuffer->GetData());
            uint8_t codes[2] = {0, 0};
            bool storesNothing = false;
            int before = codePosition;
            bool failed = words < 0 || shuffle(stream) ||
                          compileExpression(stream, CODE_STATEMENT, codes, &storesNothing) == 1;
            if (failed) {
                // The expression passed the pipeline when its row was
                // matched; what fails here is its code.
                if (!errorText[0])
                    strcpy(errorText, "Illegal expression");
                reportf(text, start, end, true, MSG_ERROR, "Compiler error 071 in expression \"%s\":\n%s",
                        expression, errorText);
                return ACTION_FAILED;
            }
            if (storesNothing) {
                codePosition = before;
                reportf(text, start, end, false, MSG_WARNING,
                        "Compiler warning 064 in expression \"%s\":\nStatement has no purpose, assignment "
                        "expected. Expression will be ignored...",
                        expression);
            }
        }
        // Back to the condition; the breaks and the condition's exit land
        // after the loop.
        int condition = -1;
        for (int d = n; d >= 0 && condition < 0; d -= 2) {
            if (jumpStack->peek(d) == MARK_FOR_CONDITION)
                condition = d;
        }
        if (condition >= 0)
            jumpBack(jumpStack->peek(condition + 1));
        for (int d = n; d >= 0; d -= 2) {
            int32_t marker = jumpStack->peek(d);
            if (marker == MARK_BREAK_FOR || marker == MARK_FOR_EXIT)
                patchToHere(jumpStack->peek(d + 1));
        }
        jumpStack->drop(n + 2);
        return ACTION_NEXT_STATE;
    }

    case 70:   // "{" of a do block
        jumpStack->push2(codePosition, MARK_DO_BODY);
        return ACTION_NEXT_STATE;

    case 91: {   // "}" of a while block
        int m = findJumpMarker(MARK_WHILE_CONDITION);
        if (m < 0)
            return ACTION_NEXT_STATE;
        jumpBack(jumpStack->peek(m + 1));
        for (int d = m; d >= 0; d -= 2) {
            int32_t marker = jumpStack->peek(d);
            if (marker == MARK_BREAK_WHILE || marker == MARK_WHILE_EXIT)
                patchToHere(jumpStack->peek(d + 1));
        }
        jumpStack->drop(m + 2);
        return ACTION_NEXT_STATE;
    }

    case 141: {   // the statements of a function body start
        FormulaFunction* f = currentFunction;
        if (!f)
            return ACTION_NEXT_STATE;
        if (isSectionFunction(f->decoratedName)) {
            if (f->frameTop > 8 || f->frameBottom != -32) {
                reportf(text, f->textPositions[0], start, false, MSG_ERROR,
                        "Compiler error 816: Function %s must not have local variables.", f->name);
                return ACTION_FAILED;
            }
            return ACTION_NEXT_STATE;
        }
        // The templates use [EBP-128] .. [EBP-1] as scratch memory: the
        // locals move below it, and the frame always reserves it, so that
        // neither the locals nor the arguments of calls stored below ESP
        // are overwritten by a template.
        for (ListNode* n = f->locals.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (s->dataOffset < 0)
                s->dataOffset -= FRAME_SCRATCH - INITIAL_FRAME_BOTTOM_DEPTH;
        }
        f->frameBottom -= FRAME_SCRATCH - INITIAL_FRAME_BOTTOM_DEPTH;
        static const uint8_t prologue[] = {0x55, 0x8B, 0xEC, 0x81, 0xEC};   // push ebp; mov ebp, esp; sub esp, imm32
        emitCode(prologue, sizeof prologue);
        // The frame grows while the body is compiled (results of calls);
        // its size is written when the body is complete.
        frameSizePosition = codePosition;
        int32_t size = FrameSize(f);
        emitCode(reinterpret_cast<const uint8_t*>(&size), 4);
        // A recursion that would run out of stack returns 0 instead: the
        // lowest address of the thread's stack is in its thread block at
        // FS:[0xE0C]; 64 KB are kept for the code below this frame.
        static const uint8_t stackCheck[] = {
            0x64, 0xA1, 0x0C, 0x0E, 0x00, 0x00,   // mov eax, fs:[0xE0C]
            0x05, 0x00, 0x00, 0x01, 0x00,         // add eax, 0x10000
            0x39, 0xC4,                           // cmp esp, eax
            0x73, 0x00,                           // jae (over the return below)
        };
        emitCode(stackCheck, sizeof stackCheck);
        int skip = codePosition;
        static const uint8_t fldz[] = {0xD9, 0xEE};
        for (int k = TypeFootprint(f->resultType); k > 0; k--)
            emitCode(fldz, sizeof fldz);
        static const uint8_t leave[] = {0x8B, 0xE5, 0x5D, 0xC3};   // mov esp, ebp; pop ebp; ret
        emitCode(leave, sizeof leave);
        if (functionCode && functionCode->GetData())
            static_cast<uint8_t*>(functionCode->GetData())[skip - 1] = (uint8_t)(codePosition - skip);
        return ACTION_NEXT_STATE;
    }

    case 39:    // "}" of a function body
    case 106: {   // "}" of a bailout or stop function
        FormulaFunction* f = currentFunction;
        if (!f)
            return ACTION_NEXT_STATE;
        f->textPositions[2] = end;
        if (f->resultType != DT_VOID && strcmp(f->decoratedName, "Bbailout@@") != 0 &&
            strcmp(f->decoratedName, "Bstop@@") != 0 && actionHistory[1] != 153) {
            report(text, start, end, "Compiler error 081: Function must return a value", true, MSG_ERROR);
            return ACTION_FAILED;
        }
        if (!isSectionFunction(f->decoratedName)) {
            static const uint8_t epilogue[] = {0x8B, 0xE5, 0x5D};   // mov esp, ebp; pop ebp
            emitCode(epilogue, sizeof epilogue);
            if (frameSizePosition >= 0)
                writeCodeWord(frameSizePosition, FrameSize(f));
        }
        frameSizePosition = -1;
        f->code->Reserve(codePosition + 10);
        if (f->code->GetData() && f->code->GetCapacity() >= codePosition + 10) {
            if (codePosition > 0 && functionCode)
                memcpy(f->code->GetData(), functionCode->GetData(), (size_t)codePosition);
            f->codeLength = (uint32_t)codePosition;
        }
        codePosition = 0;
        return ACTION_NEXT_STATE;
    }

    default:
        return ACTION_NEXT_STATE;
    }
}
