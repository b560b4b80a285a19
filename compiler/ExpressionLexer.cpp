// The first steps of every expression: the bars of absolute values are
// rewritten, the characters are checked, and the lexer cuts the text into
// the element stream: operations, constants, symbol reads, array elements and
// calls of function parameters and user functions.
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"
#include "compiler/EnumValues.h"

namespace {

enum { MAX_BAR_DEPTH = 99, NAME_BUFFER = 300 };

bool IsBlankOrBreak(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameCharacter(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.';
}

// Writes text into a message buffer (made or grown as needed).
void SetMessage(GrowBuffer* message, const char* text)
{
    if (!message)
        return;
    int length = (int)strlen(text);
    message->Reserve(length + 1);
    if (message->GetData() && message->GetCapacity() >= length + 1)
        memcpy(message->GetData(), text, (size_t)length + 1);
}

// The index of name (ignoring case) in a function table, -1 when absent.
int FunctionTableIndex(const FunctionTableEntry* table, int count, const char* name)
{
    for (int i = 0; i < count; i++) {
        if (_stricmp(table[i].name, name) == 0)
            return i;
    }
    return -1;
}

// The names the section functions carry; a call of one of them is always a
// function parameter.
bool IsSectionName(const char* name)
{
    static const char* const names[] = {"init",  "loop",      "bailout", "stop",
                                        "scale", "init_once", "final",   "transform"};
    for (const char* n : names) {
        if (strcmp(n, name) == 0)
            return true;
    }
    return false;
}

// Appends elements to a GrowBuffer holding int32 words.
class ElementWriter {
public:
    explicit ElementWriter(GrowBuffer* buffer) : buffer(buffer), count(0) {}

    // Room for the next element: grown to 160 bytes beyond the words
    // written when fewer than 20 bytes would remain.
    bool Prepare()
    {
        int used = count * (int)sizeof(int32_t);
        if (buffer->GetCapacity() - used < 20)
            buffer->Reserve(used + 160);
        return buffer->GetData() && buffer->GetCapacity() - used >= 12;
    }
    void Put(int32_t word)
    {
        static_cast<int32_t*>(buffer->GetData())[count++] = word;
    }
    void Put(int32_t element, int32_t operand)
    {
        Put(element);
        Put(operand);
    }
    int Count() const { return count; }

private:
    GrowBuffer* buffer;
    int count;
};

}  // namespace

// ---------------------------------------------------------------------------
// Text steps

void FormulaCompiler::prepareExpression(const char* source)
{
    int length = source ? (int)strlen(source) : 0;
    if (!expressionText)
        expressionText = new GrowBuffer(length + 1000);
    else
        expressionText->ReserveSlack(length + 500, 500);
    char* text = static_cast<char*>(expressionText->GetData());
    if (!text || expressionText->GetCapacity() < length + 1)
        return;
    if (length)
        memcpy(text, source, (size_t)length);
    text[length] = 0;

    // One open/closed flag per parenthesis depth: a bar opens an absolute
    // value at its depth unless one is open there, which it closes. Depths
    // outside 0..99 (unbalanced text, which the parser refuses anyway) are
    // clamped.
    bool open[MAX_BAR_DEPTH + 1] = {};
    int depth = 0;
    bool quoted = false;
    for (int i = 0; i < length; i++) {
        char c = text[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == '(') {
            if (depth < MAX_BAR_DEPTH)
                depth++;
        } else if (c == ')') {
            if (depth > 0) {
                open[depth] = false;
                depth--;
            }
        } else if (c == '|') {
            if (text[i + 1] == '|') {
                i++;   // logical or
                continue;
            }
            text[i] = open[depth] ? '$' : '#';
            open[depth] = !open[depth];
        }
    }
}

int FormulaCompiler::checkCharacters(const char* text)
{
    bool quoted = false;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) {
        unsigned char c = *p;
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            continue;
        if (strchr(".+-*/^()&|=><!_[],%#$ \t\n\r", c))
            continue;
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The lexer

int FormulaCompiler::tokenizeExpression(const char* text, GrowBuffer* elements, GrowBuffer* message,
                                        int32_t* dataTopCounter, int32_t usage[4], int32_t* constants,
                                        int mode)
{
    buildBuiltinIndex();
    ElementWriter out(elements);
    int pos = 0;
    bool expectOperand = true;
    bool context = false;   // handed to the constant scanner: no parenthesised constants
    FormulaSymbol* lastVariable = nullptr;
    FormulaFuncParameter* lastFuncParameter = nullptr;

    for (;;) {
        if (!out.Prepare())
            return LEX_ILLEGAL_CHARACTER;
        char c = text[pos];
        if (c == 0)
            break;

        // 1. White space.
        if (IsBlankOrBreak(c)) {
            pos++;
            continue;
        }
        // 2. Comma.
        if (c == ',') {
            out.Put(OP_COMMA);
            expectOperand = true;
            context = false;
            pos++;
            continue;
        }
        // 3., 4. Subtraction and addition after an operand.
        if ((c == '-' || c == '+') && !expectOperand) {
            out.Put(c == '-' ? OP_SUB : OP_ADD);
            expectOperand = true;
            context = false;
            pos++;
            continue;
        }

        // 5. Constants.
        int cs, ce, next;
        double v[4];
        int type = scanConstant(text + pos, &cs, &ce, &next, v, context);
        if (type >= 0) {
            double n = v[0];
            if (type <= DT_QUATERNION && v[1] == 0 && v[2] == 0 && v[3] == 0 && n >= -10 && n <= 10 &&
                n == (double)(int)n) {
                out.Put(OPC_VARIABLE, encodeSmallInt((int)n));
            } else {
                FormulaSymbol* s = new FormulaSymbol();
                char name[ListNode::NODE_NAME_SIZE];
                snprintf(name, sizeof name, "INFO:some constant value %d", (*constants)++);
                s->SetName(name);
                s->symbolClass = SYM_CONSTANT;
                s->variability = 0;
                s->assigned = FACT_NO;
                s->constant = FACT_YES;
                if (type == DT_ENUM) {
                    // A text names an entry of a function table or an
                    // enumerator of the variable read last.
                    char word[NAME_BUFFER];
                    int length = ce - cs + 1;
                    if (length < 0)
                        length = 0;
                    if (length > NAME_BUFFER - 1)
                        length = NAME_BUFFER - 1;
                    memcpy(word, text + pos + cs, (size_t)length);
                    word[length] = 0;
                    int index = -1;
                    char failure[800];
                    failure[0] = 0;
                    if (lastFuncParameter) {
                        bool merge = lastFuncParameter->functionTable == 1;
                        index = merge ? FunctionTableIndex(g_MergeFunctions, MERGE_FUNCTION_COUNT, word)
                                      : FunctionTableIndex(g_MathFunctions, MATH_FUNCTION_COUNT, word);
                        if (index < 0)
                            snprintf(failure, sizeof failure,
                                     "Function name \"%s\" not found for function \"%s\"", word,
                                     lastFuncParameter->name);
                    } else if (lastVariable) {
                        index = FindEnumValue(
                            lastVariable->enumList ? lastVariable->enumList->GetData() : nullptr, word);
                        if (index < 0)
                            snprintf(failure, sizeof failure, "Enumerator \"%s\" not found in parameter \"%s\"",
                                     word, lastVariable->name);
                    } else {
                        snprintf(failure, sizeof failure,
                                 "Encountered enumerator (string) \"%s\", but did not find a "
                                 "corresponding variable.",
                                 word);
                    }
                    if (index < 0) {
                        delete s;
                        SetMessage(message, failure);
                        return LEX_NOT_RESOLVED;
                    }
                    s->dataType = DT_INT;
                    s->precision = DT_ENUM;
                    s->currentType = DT_INT;
                    s->value[0] = index;
                } else {
                    s->dataType = type;
                    s->currentType = type;
                    s->precision = precisionLevel == 3 ? PREC_EXTENDED : PREC_DOUBLE;
                    memcpy(s->value, v, sizeof s->value);
                }
                int offset = *dataTopCounter;
                alignSlot(&offset, 8);
                s->dataOffset = offset;
                *dataTopCounter = offset + slotSize(s->dataType, s->precision);
                s->id = symbols.nextIds[0]++;
                registerVariable(s, true);
                out.Put(OPC_VARIABLE, s->id);
            }
            expectOperand = false;
            context = false;
            pos += next;
            continue;
        }

        // 6. Negation and unary plus.
        if (c == '-' || c == '+') {
            if (c == '-')
                out.Put(OP_NEGATE);
            expectOperand = true;
            context = false;
            pos++;
            continue;
        }

        // 7. Names.
        if (IsNameStart(c)) {
            char name[NAME_BUFFER];
            int length = 0;
            while (IsNameCharacter(text[pos + length])) {
                if (length < NAME_BUFFER - 1)
                    name[length] = text[pos + length];
                length++;
            }
            bool tooLong = length > NAME_BUFFER - 1;
            name[tooLong ? NAME_BUFFER - 1 : length] = 0;
            if (tooLong) {
                // No name of the language is that long.
                SetMessage(message, name);
                return LEX_NAME_NOT_FOUND;
            }
            int after = pos + length;
            int look = after;
            while (IsBlankOrBreak(text[look]))
                look++;
            char following = text[look];

            // a. Builtin names.
            const BuiltinName** rows = g_BuiltinIndex[(unsigned char)c];
            const BuiltinName* taken = nullptr;
            for (int r = 0; rows && rows[r] && !taken; r++) {
                const BuiltinName* row = rows[r];
                if (strcmp(row->name, name) != 0 || !(row->kindMask & subKindMask))
                    continue;
                if (OperationStackEffect(row->element) == 0) {
                    // A function of one operand takes it with or without
                    // brackets ("sin z"), but before an operator the name
                    // is a variable's.
                    if (!(following == '(' || following == '.' || isalnum((unsigned char)following)))
                        continue;
                } else if ((row->flags & 4) && following != '(') {
                    continue;
                }
                taken = row;
            }
            if (taken) {
                int element = taken->element;
                if (element == OP_GRADIENT && kind == FK_COLORING && insideColoring == 1)
                    element = OP_GRADIENT_INSIDE;
                out.Put(element);
                expectOperand = (taken->flags & 1) != 0;
                context = (taken->flags & 2) != 0;
                pos = after;
                continue;
            }

            // b. Calls.
            int blanks = after;
            while (text[blanks] == ' ' || text[blanks] == '\t')
                blanks++;
            if (text[blanks] == '(') {
                FormulaFunction* function = nullptr;
                if (!IsSectionName(name))
                    function = static_cast<FormulaFunction*>(findNodeByName(functions.GetHead(), name));
                if (function) {
                    out.Put(OPC_USER_FUNCTION + function->index);
                    function->callCount++;
                } else {
                    FormulaFuncParameter* p = static_cast<FormulaFuncParameter*>(
                        findNodeByName(funcParameters.GetHead(), name));
                    if (!p) {
                        p = new FormulaFuncParameter();
                        p->SetName(name);
                        p->id = funcParameters.Count() + 1;
                        p->order = serialCounter++;
                        funcParameters.Append(p);
                    }
                    out.Put(OPC_FUNC_PARAMETER + p->id);
                }
                expectOperand = true;
                // The bracket opens the argument list: "f(1, 4)" has two
                // arguments, not the complex constant (1, 4).
                context = true;
                pos = blanks;
                continue;
            }

            // c. Variables and array elements.
            bool element = text[blanks] == '[';
            expectOperand = element;
            context = false;
            static const char* const usageNames[4] = {"lastsqr", "numiter", "alpha", "pixelcolor"};
            for (int u = 0; u < 4; u++) {
                if (strcmp(name, usageNames[u]) == 0)
                    usage[u] = 1;
            }
            FormulaSymbol* s = findVariableByName(name);
            if (s) {
                bool allowed = mode == EXPRESSION_STATEMENT ||
                               (mode == EXPRESSION_DEFAULT && s->symbolClass == SYM_PREDEFINED &&
                                s->variability == 0) ||
                               (mode == EXPRESSION_VISIBILITY && (s->symbolClass == SYM_PREDEFINED ||
                                                                  s->symbolClass == SYM_PARAMETER));
                if (!allowed) {
                    SetMessage(message, name);
                    return LEX_NAME_NOT_FOUND;
                }
                out.Put(element ? OPC_ARRAY_READ : OPC_VARIABLE, s->id);
                lastVariable = s;
                lastFuncParameter = nullptr;
            } else {
                FormulaFuncParameter* p = static_cast<FormulaFuncParameter*>(
                    findNodeByName(funcParameters.GetHead(), name));
                if (!p) {
                    SetMessage(message, name);
                    return LEX_NAME_NOT_FOUND;
                }
                // A function parameter used as a value (its selection,
                // compared with a function name).
                out.Put(OPC_FUNC_PARAMETER + p->id);
                lastFuncParameter = p;
                lastVariable = nullptr;
            }
            pos = after;
            continue;
        }

        // 8. Operators and brackets: the longest builtin row written here.
        const BuiltinName** rows = g_BuiltinIndex[(unsigned char)c];
        const BuiltinName* taken = nullptr;
        for (int r = 0; rows && rows[r] && !taken; r++) {
            const char* n = rows[r]->name;
            if (strncmp(text + pos, n, strlen(n)) == 0)
                taken = rows[r];
        }
        if (!taken) {
            // Digits the constant scanner refused, and every other
            // character, are not part of the language.
            return LEX_ILLEGAL_CHARACTER;
        }
        out.Put(taken->element);
        expectOperand = (taken->flags & 1) != 0;
        context = (taken->flags & 2) != 0;
        pos += (int)strlen(taken->name);
    }
    out.Put(OPC_END);
    return LEX_OK;
}

// ---------------------------------------------------------------------------
// Stream helpers

void shiftElements(int32_t* stream, int to, int from)
{
    if (to == from)
        return;
    if (to < from) {
        int32_t previous = 1;
        for (int i = 0;; i++) {
            int32_t w = stream[from + i];
            stream[to + i] = w;
            if (w == 0 && previous == 0)
                break;
            previous = w;
        }
        return;
    }
    // Count through the first pair of 0 words, then move from the top down
    // so nothing is overwritten before it is moved.
    int n = 0;
    while (!(stream[from + n] == 0 && n > 0 && stream[from + n - 1] == 0))
        n++;
    for (int i = n; i >= 0; i--)
        stream[to + i] = stream[from + i];
}

int StreamWords(const int32_t* stream)
{
    int n = 0;
    while (stream[n] != 0)
        n += ElementWords(stream[n]);
    return n;
}
