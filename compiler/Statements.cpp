// The statement compiler: every expression the statement grammar matches (a
// statement, a condition, a loop expression, a return value, a property
// value, an array dimension) goes through the expression pipeline here; its
// errors are reported with the formula position, conditions are checked and
// get their conditional jumps and jump-stack entries, a condition that is
// fixed for the compile removes the dead branches from the text, and the
// read and write counts the optimizer works with are kept.
#include <ctype.h>
#include <stdlib.h>
#include <stdio.h>
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/CodeEmit.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"

namespace {

// Jump-stack markers of the conditions (see ControlStatements.cpp).
enum : int32_t {
    MARK_IF_CONDITION = -43,
    MARK_FOR_CONDITION = -56,
    MARK_FOR_EXIT = 10000056,
    MARK_FOR_ITERATION_START = 10000058,
    MARK_FOR_ITERATION_END = 10000158,
    MARK_DO_BODY = 70,
    MARK_DO_BREAK = 10000033,
    MARK_WHILE_CONDITION = -86,
    MARK_WHILE_EXIT = 10000086,
    MARK_IF_CHAIN = 10000029,
};

// Actions of the grammar rows around conditions.
enum { ACTION_ELSE_IF = 50, ACTION_WHILE_OPEN = 85 };

const char* ParserMessage(int error)
{
    switch (error) {
    case PARSE_SYNTAX: return "Brackets are set wrongly";
    case PARSE_ILLEGAL_CHARACTER: return "Illegal character encountered...";
    case PARSE_UNKNOWN_OPERAND: return "Unknown operand/operator; perhaps something is incorrectly spelled";
    case 5: return "Number of operands doesn't match the number of operators";
    case PARSE_ASSIGNMENT: return "All assignment statements to the left of a formula must be variables";
    default: return "";
    }
}

const char* BufferText(const GrowBuffer* buffer)
{
    return buffer && buffer->GetData() ? static_cast<const char*>(buffer->GetData()) : "";
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// "else" as a keyword at p: followed by white space or a block.
bool ElseAt(const char* text, int p)
{
    return strncmp(text + p, "else", 4) == 0 && (IsSpace(text[p + 4]) || text[p + 4] == '{');
}

// Overwrites text[from..to] with blanks, keeping line breaks so that the
// lines of later messages stay where they were.
void Blank(char* text, int from, int to)
{
    for (int i = from; i <= to; i++) {
        if (text[i] != '\n' && text[i] != '\r')
            text[i] = ' ';
    }
}

int SkipSpace(const char* text, int p)
{
    while (IsSpace(text[p]))
        p++;
    return p;
}

int RowOfAction(int action)
{
    for (int r = 0; r < PARSE_TABLE_ROWS; r++) {
        if (g_ParseTable[r].action == action)
            return r;
    }
    return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Entries from the rule actions

int FormulaCompiler::compileStatementExpression(char* text, int start, int end, int row)
{
    // The matched expressions of a cycle, in order (action, start, end).
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
    return compileStatement(text, start, end, row);
}

int FormulaCompiler::compilePropertyExpression(char* text, int start, int end)
{
    static const int row = RowOfAction(120);
    int result = compileStatement(text, start, end, row);
    return result > 0 ? result : 0;
}

// ---------------------------------------------------------------------------
// The statement compiler

int FormulaCompiler::compileStatement(char* text, int start, int end, int row)
{
    int action = row >= 0 && row < PARSE_TABLE_ROWS ? g_ParseTable[row].action : -1;

    // Empty expressions.
    if (end < start) {
        const char* message = nullptr;
        switch (action) {
        case 43:
        case 73:
        case 86:
            message = "Compiler error 070: expression in conditional statement (if, while) must not be empty";
            break;
        case 104:
            message = "Compiler error 071: expression in return()-statement must not be empty";
            break;
        case 120:
            message = "Compiler error 070: Empty expression not allowed here";
            break;
        case 192:
            message = "Compiler error 072: Array dimension must not be empty";
            break;
        case 56:
            // A for loop without a test.
            jumpStack->push2(codePosition, MARK_FOR_CONDITION);
            return ACTION_NEXT_STATE;
        case 152: {
            // A function with a result returns 0 for a return without a
            // value: its caller takes the result off the x87 stack.
            if (currentFunction && generatingCode()) {
                for (int k = TypeFootprint(currentFunction->resultType); k > 0; k--) {
                    static const uint8_t fldz[] = {0xD9, 0xEE};
                    emitCode(fldz, sizeof fldz);
                }
            }
            static const uint8_t leave[] = {0x8B, 0xE5, 0x5D, 0xC3};
            emitCode(leave, sizeof leave);
            return ACTION_NEXT_STATE;
        }
        default:
            return ACTION_NEXT_STATE;
        }
        report(text, start, end, message, true, MSG_ERROR);
        return ACTION_FAILED;
    }

    // 1. The text, for messages, and the mode.
    int length = end - start + 1;
    if (!statementText)
        statementText = new GrowBuffer(length + 100);
    statementText->Reserve(length + 1);
    char* expression = static_cast<char*>(statementText->GetData());
    if (!expression)
        return ACTION_FAILED;
    memcpy(expression, text + start, (size_t)length);
    expression[length] = 0;
    int mode = EXPRESSION_STATEMENT;
    if (action == 120) {
        if (strcmp(propertyName, "default") == 0)
            mode = EXPRESSION_DEFAULT;
        else if (strcmp(propertyName, "enabled") == 0 || strcmp(propertyName, "visible") == 0)
            mode = EXPRESSION_VISIBILITY;
    }

    // 2. The pipeline.
    if (!expressionBuffer)
        expressionBuffer = new GrowBuffer(1000);
    if (!messageText)
        messageText = new GrowBuffer(1000);
    messageText->Reserve(1);
    static_cast<char*>(messageText->GetData())[0] = 0;
    ExpressionRequest request = {expression, expressionBuffer, messageText, start, end, 1, mode};
    int words = processExpression(request);
    if (words < 0) {
        const char* lexerText = BufferText(messageText);
        switch (words) {
        case -PARSE_NAME_NOT_FOUND:
            reportf(text, start, end, true, MSG_ERROR,
                    "Compiler error 063 in expression \"%s\" :\nVariable \"%s\" has not been defined.", expression,
                    lexerText);
            break;
        case PIPELINE_FOLDING:
            reportf(text, start, end, true, MSG_ERROR, "Compiler error 279 in expression \"%s\" :\n%s", expression,
                    errorText);
            break;
        case PIPELINE_ASSIGNMENT:
            reportf(text, start, end, true, MSG_ERROR, "Compiler error 078 in expression \"%s\":\n%s", expression,
                    lexerText);
            break;
        case -PARSE_NOT_RESOLVED:
            reportf(text, start, end, true, MSG_ERROR, "Compiler error 278 in expression \"%s\" :\n%s", expression,
                    lexerText);
            break;
        case PIPELINE_TYPE_ERROR:
        case -11:
            report(text, start, end, errorText, true, MSG_ERROR);
            break;
        default:
            reportf(text, start, end, true, MSG_ERROR, "Compiler error %03d in expression \"%s\":\n%s", 50 - words,
                    expression, ParserMessage(-words));
            break;
        }
        return ACTION_FAILED;
    }
    int32_t* stream = static_cast<int32_t*>(expressionBuffer->GetData());
    // 3. Property values keep their stream.
    if (action == 120) {
        if (streamObserver)
            streamObserver(streamObserverContext, action, start, end, stream, words);
        countReads(stream);
        return words;
    }

    // 4. Reordering, then the statement kinds.
    if (action == 192)
        evaluatedDimension = -1;
    auto codeError = [&]() {
        reportf(text, start, end, true, MSG_ERROR, "Compiler error 071 in expression \"%s\":\n%s", expression,
                errorText);
        return ACTION_FAILED;
    };
    if (shuffle(stream))
        return codeError();
    // Observers see the stream as it is compiled.
    if (streamObserver)
        streamObserver(streamObserverContext, action, start, end, stream, words);
    auto notCondition = [&]() {
        reportf(text, start, end, true, MSG_ERROR,
                "Compiler error 067 in expression \"%s\":\nExpression does not return a boolean type...", expression);
        return ACTION_FAILED;
    };
    uint8_t codes[2] = {0, 0};
    bool storesNothing = false;
    // Code generation: NOT_COMPILED_YET leaves no code and the condition
    // bytes 0 (see compileExpression); 1 is an error.
    auto generate = [&](int codeMode) { return compileExpression(stream, codeMode, codes, &storesNothing); };
    auto conditionalJump = [&](uint8_t code) {
        const uint8_t jump[2] = {0x0F, code};
        emitCode(jump, 2);
    };
    static const uint8_t placeholder[4] = {0, 0, 0, 0};

    switch (action) {
    case 40:
    case 53:
    case 152: {
        countReads(stream);
        int before = codePosition;
        // A return statement leaves its value on the x87 stack.
        if (generate(action == 152 ? CODE_VALUE : CODE_STATEMENT) == 1)
            return codeError();
        if (action == 152) {
            // The caller takes a value of the function's result type.
            if (!convertReturnValue())
                return codeError();
            static const uint8_t leave[] = {0x8B, 0xE5, 0x5D, 0xC3};
            emitCode(leave, sizeof leave);
        } else if (storesNothing) {
            codePosition = before;
            reportf(text, start, end, false, MSG_WARNING,
                    "Compiler warning 064 in expression \"%s\":\nStatement has no purpose, assignment expected. "
                    "Expression will be ignored...",
                    expression);
        }
        return ACTION_NEXT_STATE;
    }
    case 43: {
        if (!isConditionType(stream))
            return notCondition();
        if (optimizing && passList[passIndex] != 0 && isInvariantExpression(stream)) {
            // A condition fixed for the compile: the dead branches leave
            // the text and the chain is parsed again.
            int open, close;
            findBracePair(text, end + 1, &open, &close);
            if (open < 0 || close < 0) {
                reportf(text, start, end, true, MSG_ERROR,
                        "Compiler error 371 after condition \"%s\":\nDid not find statement block after that "
                        "condition.",
                        expression);
                return ACTION_FAILED;
            }
            int value = runConstantCondition(stream);
            if (value != NOT_COMPILED_YET) {
                bool followsElse = actionHistory[2] == ACTION_ELSE_IF;
                if (!rewriteConstantIf(text, positionHistory[2], followsElse ? positionHistory[3] : -1, open, close,
                                       value != 0)) {
                    reportf(text, start, end, true, MSG_ERROR,
                            "Compiler error 371 after condition \"%s\":\nDid not find statement block after that "
                            "condition.",
                            expression);
                    return ACTION_FAILED;
                }
                restartIfChain();
                return ACTION_KEEP_STATE;
            }
        }
        countReads(stream);
        if (generate(CODE_CONDITION) == 1)
            return codeError();
        conditionalJump(codes[1]);
        jumpStack->push2(codePosition, MARK_IF_CONDITION);
        emitCode(placeholder, 4);
        return ACTION_NEXT_STATE;
    }
    case 56:
        if (!isConditionType(stream))
            return notCondition();
        countReads(stream);
        jumpStack->push2(codePosition, MARK_FOR_CONDITION);
        if (generate(CODE_CONDITION) == 1)
            return codeError();
        conditionalJump(codes[1]);
        jumpStack->push2(codePosition, MARK_FOR_EXIT);
        emitCode(placeholder, 4);
        return ACTION_NEXT_STATE;
    case 58:
    case 59:
        // Compiled at the end of the loop body.
        countReads(stream);
        jumpStack->push2(start, MARK_FOR_ITERATION_START);
        jumpStack->push2(end, MARK_FOR_ITERATION_END);
        return ACTION_NEXT_STATE;
    case 73: {
        if (!isConditionType(stream))
            return notCondition();
        countReads(stream);
        if (generate(CODE_CONDITION) == 1)
            return codeError();
        conditionalJump(codes[0]);
        int body = findJumpMarker(MARK_DO_BODY);
        int loopStart = body >= 0 ? jumpStack->peek(body + 1) : codePosition + 4;
        // Full 32-bit displacements: a loop of any length jumps right.
        int32_t back = loopStart - (codePosition + 4);
        emitCode(reinterpret_cast<const uint8_t*>(&back), 4);
        if (body >= 0) {
            for (int d = 0; d < body; d += 2) {
                if (jumpStack->peek(d) == MARK_DO_BREAK) {
                    int at = jumpStack->peek(d + 1);
                    writeCodeWord(at, codePosition - (at + 4));
                }
            }
            jumpStack->drop(body + 2);
        }
        return ACTION_NEXT_STATE;
    }
    case 86:
        if (!isConditionType(stream))
            return notCondition();
        countReads(stream);
        // Every iteration starts again at the first condition of the loop;
        // the later conditions only add their exits.
        if (actionHistory[1] == ACTION_WHILE_OPEN)
            jumpStack->push2(codePosition, MARK_WHILE_CONDITION);
        if (generate(CODE_CONDITION) == 1)
            return codeError();
        conditionalJump(codes[1]);
        jumpStack->push2(codePosition, MARK_WHILE_EXIT);
        emitCode(placeholder, 4);
        return ACTION_NEXT_STATE;
    case 104:
        if (!isConditionType(stream)) {
            appendNotEqualZero(expressionBuffer);
            stream = static_cast<int32_t*>(expressionBuffer->GetData());
            reportf(text, start, end, false, MSG_WARNING,
                    "Compiler warning 67 in expression \"%s\":\nExpression does not return a boolean type. Changed "
                    "to \"%s!=0\"...",
                    expression, expression);
        }
        countReads(stream);
        if (generate(CODE_CONDITION) == 1)
            return codeError();
        conditionalJump(subKind == SK_ATTRACTOR ? codes[0] : codes[1]);
        emitCode(placeholder, 4);
        return ACTION_NEXT_STATE;
    case 192: {
        if (!isInvariantExpression(stream)) {
            reportf(text, start, end, true, MSG_ERROR,
                    "Compiler error 073 in expression \"%s\":\nArray dimension must be constant.", expression);
            return ACTION_FAILED;
        }
        // The size is computed now by running the expression's code; the
        // rule action (declareArrayDimension) counts the dimension.
        double value;
        if (!evaluateDimension(stream, &value)) {
            reportf(text, start, end, true, MSG_ERROR, "Compiler error 071 in expression \"%s\":\n%s", expression,
                    errorText);
            return ACTION_FAILED;
        }
        evaluatedDimension = value <= 0 ? 0 : value >= 2147483647.0 ? 2147483647 : (int32_t)value;
        return ACTION_NEXT_STATE;
    }
    default:
        return ACTION_NEXT_STATE;
    }
}

// ---------------------------------------------------------------------------
// Conditions, counts, invariance

bool FormulaCompiler::isConditionType(const int32_t* stream) const
{
    int last = -1;
    for (int i = 0; stream[i] != OPC_END; i += ElementWords(stream[i]))
        last = i;
    if (last < 0)
        return false;
    int32_t e = stream[last];
    auto conditionType = [](int type) { return type == DT_REAL || type == DT_INT || type == DT_BOOL; };
    if (e == OPC_VARIABLE || e == OPC_ARRAY_READ) {
        const FormulaSymbol* s = findVariable(stream[last + 1]);
        if (!s)
            return false;
        int type = s->dataType == DT_ARRAY || s->dataType == DT_PREDEFINED_ARRAY ? s->precision : s->dataType;
        return conditionType(type);
    }
    if (IsUserFunctionCall(e)) {
        const FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION);
        return f && conditionType(f->resultType);
    }
    return (e >= OP_AND && e <= OP_NOT) || e == OP_IS_NAN || e == OP_IS_FINITE;
}

void FormulaCompiler::countReads(const int32_t* stream)
{
    enum { MAX_TARGETS = 20, MAX_READS = 10 };
    FormulaSymbol* targets[MAX_TARGETS];
    FormulaSymbol* reads[MAX_READS];
    int targetCount = 0, readCount = 0, targetsSeen = 0;
    for (int i = 0; stream[i] != OPC_END; i += ElementWords(stream[i])) {
        int32_t e = stream[i];
        if (e == OPC_STORE || e == OPC_ARRAY_STORE) {
            FormulaSymbol* s = findVariable(stream[i + 1]);
            if (!s)
                continue;
            s->writeCount++;
            targetsSeen++;
            if (targetCount < MAX_TARGETS)
                targets[targetCount++] = s;
        } else if (e == OPC_VARIABLE || e == OPC_ARRAY_READ) {
            FormulaSymbol* s = findVariable(stream[i + 1]);
            if (!s)
                continue;
            // x = x + 1 does not count its own read.
            if (targetsSeen == 1 && targets[0] == s)
                continue;
            s->readCount++;
            if (s->symbolClass == SYM_VARIABLE && readCount < MAX_READS)
                reads[readCount++] = s;
        } else if (IsUserFunctionCall(e)) {
            if (FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION))
                f->callCount++;
        }
    }
    if (targetsSeen != 1)
        return;
    FormulaSymbol* target = targets[0];
    for (int k = 0; k < readCount && target->readsCount < SYMBOL_MAX_READS; k++)
        target->reads[target->readsCount++] = reads[k];
}

bool FormulaCompiler::isInvariantExpression(const int32_t* stream)
{
    for (int i = 0; stream[i] != OPC_END; i += ElementWords(stream[i])) {
        int32_t e = stream[i];
        if (IsUserFunctionCall(e) || e == OPC_ARRAY_READ || e == OPC_ARRAY_STORE || e == OPC_STORE ||
            e == OPC_INDEX_MARK)
            return false;
        switch (e) {
        case 41:                  // srand
        case OP_OLDZ:
        case OP_ARRAY:
        case 114:                 // random
        case 138:                 // ubound
        case 152:                 // trafoHistory
        case OP_RANDOM_REAL:
            return false;
        default:
            break;
        }
        if (e != OPC_VARIABLE)
            continue;
        FormulaSymbol* s = findVariable(stream[i + 1]);
        if (!s)
            return false;
        if (s->variability == 0)
            continue;
        if (s->symbolClass == SYM_PARAMETER && (s->constant != FACT_NO || s->assigned != FACT_YES)) {
            s->runtimeRead = FACT_NO;
            continue;
        }
        if (s->constant != FACT_NO && s->assigned != FACT_YES && s->runtimeRead == FACT_NO)
            continue;
        s->runtimeRead = FACT_YES;
        return false;
    }
    markRuntimeReads(stream);
    return true;
}

void FormulaCompiler::markRuntimeReads(const int32_t* stream)
{
    for (int i = 0; stream[i] != OPC_END; i += ElementWords(stream[i])) {
        if (stream[i] != OPC_VARIABLE)
            continue;
        FormulaSymbol* s = findVariable(stream[i + 1]);
        if (s && s->runtimeRead != FACT_YES)
            s->runtimeRead = FACT_NO;
    }
}

// ---------------------------------------------------------------------------
// Constant if conditions

bool FormulaCompiler::rewriteConstantIf(char* text, int ifStart, int elseStart, int open, int close, bool value)
{
    int p;
    if (value) {
        // The block's statements become unconditional (after an else they
        // stay that else's block); every else part that follows goes.
        Blank(text, ifStart, open - 1);
        if (elseStart < 0) {
            Blank(text, open, open);
            Blank(text, close, close);
        }
        p = SkipSpace(text, close + 1);
        while (ElseAt(text, p)) {
            int o, c;
            findBracePair(text, p, &o, &c);
            if (o < 0 || c < 0)
                return false;
            Blank(text, p, c);
            p = SkipSpace(text, c + 1);
        }
        return true;
    }
    if (elseStart >= 0) {
        Blank(text, elseStart, close);
        return true;
    }
    Blank(text, ifStart, close);
    p = SkipSpace(text, close + 1);
    if (!ElseAt(text, p))
        return true;
    int q = SkipSpace(text, p + 4);
    if (strncmp(text + q, "if", 2) == 0 && !(isalnum((unsigned char)text[q + 2]) || text[q + 2] == '_')) {
        // else if: the following if stands alone.
        Blank(text, p, p + 3);
        return true;
    }
    int o, c;
    findBracePair(text, q, &o, &c);
    if (o < 0 || c < 0)
        return false;
    Blank(text, p, p + 3);
    Blank(text, o, o);
    Blank(text, c, c);
    return true;
}

void FormulaCompiler::restartIfChain()
{
    int m = findJumpMarker(MARK_IF_CHAIN);
    if (m < 0)
        return;
    codePosition = jumpStack->peek(m + 2);
    int blocks = jumpStack->peek(m + 3);
    parseState = jumpStack->peek(m + 4);
    textPosition = jumpStack->peek(m + 5);
    jumpStack->drop(m + 6);
    while (blockStack->count() > blocks)
        blockStack->pop();
}

// ---------------------------------------------------------------------------
// Array dimensions given as expressions

bool FormulaCompiler::evaluateDimension(const int32_t* stream, double* value)
{
    *value = 0;
    // The value goes into a temporary quaternion below the data-block base:
    // the stream "temporary = dimension".
    FormulaSymbol* temporary = new FormulaSymbol();
    temporary->SetName("INFO:quaternion number");
    temporary->symbolClass = SYM_CONSTANT;
    temporary->dataType = DT_QUATERNION;
    temporary->precision = PREC_DOUBLE;
    temporary->currentType = DT_QUATERNION;
    temporary->nextType = DT_QUATERNION;
    temporary->variability = 1;
    int savedBottom = dataBottom;
    dataBottom -= 32;
    alignSlot(&dataBottom, 8);
    temporary->dataOffset = dataBottom;
    temporary->id = (int32_t)(SYMBOL_ID_COMPILER | (uint32_t)(symbols.nextIds[1]++ & 0x3FFFFFFF));
    registerVariable(temporary, true);

    int words = StreamWords(stream);
    int32_t* assignment = static_cast<int32_t*>(malloc((size_t)(words + 4) * sizeof(int32_t)));
    GrowBuffer* scratch = new GrowBuffer(500);
    bool ok = assignment != nullptr;
    if (ok) {
        assignment[0] = OPC_STORE;
        assignment[1] = temporary->id;
        memcpy(assignment + 2, stream, (size_t)words * sizeof(int32_t));
        assignment[words + 2] = OP_ASSIGN;
        assignment[words + 3] = OPC_END;
        // Compiled into a scratch buffer of its own, then framed and run.
        GrowBuffer* savedCode = functionCode;
        int savedPosition = codePosition;
        functionCode = scratch;
        codePosition = 0;
        uint8_t jumpBytes[2] = {0, 0};
        int error = 0;
        generateExpression(assignment, false, jumpBytes, &error, false, false, true);
        int length = codePosition;
        functionCode = savedCode;
        codePosition = savedPosition;
        ok = error == 0;
        if (ok) {
            scratch->Reserve(length + 10);
            uint8_t* code = static_cast<uint8_t*>(scratch->GetData());
            ok = code != nullptr && scratch->GetCapacity() >= length + 10;
            if (ok) {
                wrapEnterLeave(code, &length);
                code[length++] = 0xC3;   // RET
                double out[4] = {0, 0, 0, 0};
                runSnippet(code, length, assignment, out, temporary);
                *value = out[0];
            }
        }
    } else {
        snprintf(errorText, sizeof errorText, "Out of memory");
    }
    free(assignment);
    delete scratch;
    symbols.Remove(temporary);
    delete temporary;
    dataBottom = savedBottom;
    return ok;
}
