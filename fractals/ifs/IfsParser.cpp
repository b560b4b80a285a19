// The IFS expression parser: bars to brackets, tokens from the keyword
// table, postfix by the action table, the operand balance and the move of
// leading assignments behind the expression. Every buffer is bounded; input
// beyond a limit gives code 4 (or 1 for bars nested too deep), never a
// write outside a buffer.
#include "fractals/ifs/IfsParser.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>
#include <string>

#include "compiler/FormulaSymbol.h"
#include "compiler/IfsOperatorTables.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/ParameterTables.h"
#include "document/PlainBlocks.h"
#include "foundation/List.h"
#include "foundation/MessageBox.h"

// name, opcode, flags
#define FORMULA_KEYWORDS(X)                                                                                        \
    X("corner1", 291, 0) X("corner2", 292, 0) X("corner3", 293, 0) X("corner4", 294, 0) X("maxiter", 286, 0)      \
    X("bailout", 257, 0) X("bailin", 258, 0) X("cotanh", 22, 3) X("height", 285, 0) X("bottom", 290, 0)           \
    X("pixel", 259, 0) X("cotan", 21, 3) X("cosxx", 76, 3) X("right", 288, 0) X("asinh", 27, 3)                   \
    X("acosh", 28, 3) X("atanh", 29, 3) X("acoth", 30, 3) X("srand", 41, 3) X("false", 262, 0)                    \
    X("width", 284, 0) X("floor", 54, 3) X("trunc", 56, 3) X("round", 55, 3) X("acos", 5, 3) X("acot", 26, 3)    \
    X("asin", 4, 3) X("atan", 6, 3) X("ceil", 53, 3) X("conj", 23, 3) X("cosh", 20, 3) X("flip", 49, 3)           \
    X("imag", 25, 3) X("iter", 283, 0) X("left", 287, 0) X("posx", 295, 0) X("posy", 296, 0) X("rand", 42, 0)    \
    X("real", 24, 3) X("sinh", 17, 3) X("sqrt", 18, 3) X("tanh", 19, 3) X("true", 261, 0) X("abs", 7, 3)          \
    X("arg", 31, 3) X("cos", 2, 3) X("exp", 15, 3) X("fn1", 44, 3) X("fn2", 45, 3) X("fn3", 46, 3)                \
    X("fn4", 47, 3) X("log", 16, 3) X("sin", 1, 3) X("sqr", 48, 3) X("tan", 3, 3) X("top", 289, 0)                \
    X("ln", 14, 3) X("&&", 32, 1) X("||", 33, 1) X("==", 34, 1) X(">=", 35, 1) X("<=", 36, 1) X("!=", 37, 1)      \
    X("pi", 260, 0) X("p1", 278, 0) X("p2", 279, 0) X("p3", 280, 0) X("p4", 281, 0) X("!", 40, 1) X("<", 38, 1)   \
    X(">", 39, 1) X("+", 8, 1) X("*", 10, 1) X("/", 11, 1) X("^", 12, 1) X("e", 263, 0) X("i", 264, 0)            \
    X("z", 267, 0) X("(", 265, 1) X(")", 266, 0) X("[", 269, 1) X("]", 270, 0) X("=", 43, 1)

#define KEYWORD_ROW(name, opcode, flags) {7, name, opcode, flags, 0},
const FormulaKeyword FormulaKeywordTable[84] = {FORMULA_KEYWORDS(KEYWORD_ROW){7, nullptr, 0, 0, 0}};
#undef KEYWORD_ROW

namespace {

enum Action {
    ACT_ACCEPT = 0,
    ACT_FAIL_BRACKETS = 1,
    ACT_OUTPUT_TOP = 2,
    ACT_PUSH = 3,
    ACT_DROP_BOTH = 4,
    ACT_OUTPUT_TOP_AT_CLOSE = 5,
    ACT_OUTPUT_AND_PUSH = 6,
    ACT_COPY_INPUT = 7,
    ACT_FAIL_ASSIGNMENT = 8,
    ACT_CLOSE_BARS = 9,
};

enum { CLASS_OPERAND = 0, CLASS_LPAREN = 1, CLASS_RPAREN = 2, CLASS_LBAR = 3, CLASS_RBAR = 4, CLASS_END = 90,
       CLASS_ASSIGN = 47 };

bool In(int c, int first, int last) { return c >= first && c <= last; }

// The action rows: which columns move the stack top out (5) and which
// move it out and push the input (6); everything else pushes (3).
uint8_t ComputeAction(int top, int in)
{
    if (top == CLASS_OPERAND || top == CLASS_RPAREN || top == CLASS_RBAR)
        return ACT_FAIL_BRACKETS;
    if (in == 0 || in == 46 || in == 54)
        return ACT_COPY_INPUT;
    if (top == CLASS_LPAREN)
        return in == CLASS_END || in == CLASS_RBAR ? ACT_FAIL_BRACKETS : in == CLASS_RPAREN ? ACT_DROP_BOTH : ACT_PUSH;
    if (top == CLASS_LBAR)
        return in == CLASS_END || in == CLASS_RPAREN ? ACT_FAIL_BRACKETS : in == CLASS_RBAR ? ACT_CLOSE_BARS : ACT_PUSH;
    if (top == CLASS_END)
        return in == CLASS_END ? ACT_ACCEPT : (in == CLASS_RPAREN || in == CLASS_RBAR) ? ACT_FAIL_BRACKETS : ACT_PUSH;
    if (in == CLASS_END)
        return ACT_OUTPUT_TOP;
    if (in == CLASS_RPAREN || in == CLASS_RBAR)
        return ACT_OUTPUT_TOP_AT_CLOSE;
    if (in == CLASS_ASSIGN)
        return top == CLASS_ASSIGN ? ACT_PUSH : ACT_FAIL_ASSIGNMENT;
    bool comparison = In(in, 38, 43), logical = In(in, 36, 37), additive = In(in, 12, 13);
    bool multiplicative = In(in, 14, 15) || in == 65;
    if (top == CLASS_ASSIGN)
        return ACT_PUSH;
    if (In(top, 12, 13))
        return additive ? ACT_OUTPUT_AND_PUSH : (logical || comparison) ? ACT_OUTPUT_TOP_AT_CLOSE : ACT_PUSH;
    if (In(top, 14, 15) || top == 65)
        return multiplicative ? ACT_OUTPUT_AND_PUSH
                              : (additive || logical || comparison) ? ACT_OUTPUT_TOP_AT_CLOSE : ACT_PUSH;
    if (top == 16)
        return in == 16 ? ACT_OUTPUT_AND_PUSH
                        : (additive || multiplicative || logical || comparison) ? ACT_OUTPUT_TOP_AT_CLOSE : ACT_PUSH;
    if (In(top, 36, 37))
        return logical ? ACT_OUTPUT_AND_PUSH : ACT_PUSH;
    if (In(top, 38, 43))
        return comparison ? ACT_OUTPUT_AND_PUSH : logical ? ACT_OUTPUT_TOP_AT_CLOSE : ACT_PUSH;
    return (additive || multiplicative || in == 16 || logical || comparison) ? ACT_OUTPUT_TOP_AT_CLOSE : ACT_PUSH;
}

struct ActionTable {
    uint8_t cells[FORMULA_CLASS_COUNT][FORMULA_CLASS_COUNT];
    ActionTable()
    {
        for (int r = 0; r < FORMULA_CLASS_COUNT; r++)
            for (int c = 0; c < FORMULA_CLASS_COUNT; c++)
                cells[r][c] = ComputeAction(r, c);
    }
};

const ActionTable& Actions()
{
    static const ActionTable table;
    return table;
}

// The keyword whose name equals [text, text + length), or null.
const FormulaKeyword* KeywordNamed(const char* text, size_t length)
{
    for (const FormulaKeyword* k = FormulaKeywordTable; k->opcode; k++)
        if (strlen(k->name) == length && memcmp(k->name, text, length) == 0)
            return k;
    return nullptr;
}

// The first keyword in table order whose name begins text, or null.
const FormulaKeyword* KeywordAt(const char* text)
{
    for (const FormulaKeyword* k = FormulaKeywordTable; k->opcode; k++)
        if (strncmp(k->name, text, strlen(k->name)) == 0)
            return k;
    return nullptr;
}

// The id of the variable named name, appending a new record when absent.
uint32_t VariableId(NodeList* symbols, const char* name)
{
    if (!symbols)
        return 0;
    if (auto* known = static_cast<FormulaSymbol*>(symbols->FindNoCase(name)))
        return (uint32_t)known->id;
    auto* symbol = new FormulaSymbol();
    symbol->SetName(name);
    symbol->id = symbols->nextIds[0]++;
    symbols->Append(symbol);
    return (uint32_t)symbol->id;
}

// Replaces single bars by '[' and ']' by the flag of their parenthesis
// depth; '||' stays the or-operator. False when a bar sits at a depth
// outside the flag table.
bool ConvertBars(char* text)
{
    bool open[FORMULA_BAR_DEPTHS] = {};
    int depth = 0;
    for (char* p = text; *p; p++) {
        if (*p == '(') {
            depth++;
        } else if (*p == ')') {
            depth--;
        } else if (*p == '|') {
            if (p[1] == '|') {
                p++;
                continue;
            }
            if (depth < 0 || depth >= FORMULA_BAR_DEPTHS)
                return false;
            *p = open[depth] ? ']' : '[';
            open[depth] = !open[depth];
        }
    }
    return true;
}

}  // namespace

uint8_t FormulaAction(int stackClass, int inputClass)
{
    if (stackClass < 0 || stackClass >= FORMULA_CLASS_COUNT || inputClass < 0 || inputClass >= FORMULA_CLASS_COUNT)
        return ACT_FAIL_BRACKETS;
    return Actions().cells[stackClass][inputClass];
}

int FormulaInputClass(uint32_t word)
{
    switch (word) {
    case 0: return CLASS_END;
    case OPC_LPAREN: return CLASS_LPAREN;
    case OPC_RPAREN: return CLASS_RPAREN;
    case OPC_LBAR: return CLASS_LBAR;
    case OPC_RBAR: return CLASS_RBAR;
    case 271: return 92;
    case 272: return 93;
    case 273: return 94;
    }
    if (word >= 256 && word <= 65535)
        return CLASS_OPERAND;
    if (word >= 1 && word <= 255)
        return (int)word + 4;
    if (word > 65535)
        return 5;
    return CLASS_END;
}

int ValidateFormulaCharacters(char* text)
{
    static const char kSigns[] = "!&()*+-./<=>[]^_|";
    for (char* p = text; *p; p++) {
        unsigned char c = (unsigned char)*p;
        if (isalpha(c) && c < 128)
            *p = (char)tolower(c);
        else if (!(isdigit(c) && c < 128) && !strchr(kSigns, c))
            return 1;
    }
    return 0;
}

int TokenizeFormula(const char* text, uint32_t* tokens, NodeList* symbols, int capacity)
{
    int n = 0;
    bool unary = true;
    auto room = [&](int words) { return n + words < capacity; };  // the end word stays free
    const char* p = text;
    while (*p) {
        if (*p == '-') {
            if (!room(1))
                return 4;
            tokens[n++] = unary ? OPC_NEGATE : OPC_SUBTRACT;
            unary = true;
            p++;
            continue;
        }
        if (isalpha((unsigned char)*p)) {
            const char* end = p;
            while (isalnum((unsigned char)*end) || *end == '_')
                end++;
            size_t length = (size_t)(end - p);
            if (length > FORMULA_NAME_MAX)
                return 4;
            if (!KeywordNamed(p, length)) {
                if (!room(2))
                    return 4;
                std::string name(p, length);
                tokens[n++] = OPC_VARIABLE;
                tokens[n++] = VariableId(symbols, name.c_str());
                unary = false;
                p = end;
                continue;
            }
        }
        if (const FormulaKeyword* k = KeywordAt(p)) {
            if (!room(1))
                return 4;
            tokens[n++] = (uint32_t)k->opcode;
            unary = (k->flags & 1) != 0;
            p += strlen(k->name);
            continue;
        }
        if (isdigit((unsigned char)*p) || *p == '.') {
            const char* end = p;
            while (isdigit((unsigned char)*end) || *end == '.')
                end++;
            size_t length = (size_t)(end - p);
            if (length > FORMULA_NAME_MAX)
                return 4;
            if (!room(3))
                return 4;
            std::string number = "+" + std::string(p, length);
            double value = 0.0;
            if (number != "+0" && sscanf(number.c_str(), "%lf", &value) != 1)
                value = 0.0;  // a lone '.' reads as 0
            uint32_t words[2];
            memcpy(words, &value, sizeof words);
            tokens[n++] = OPC_NUMBER;
            tokens[n++] = words[0];
            tokens[n++] = words[1];
            unary = false;
            p = end;
            continue;
        }
        return 1;
    }
    tokens[n] = 0;
    return 0;
}

int FormulaTokenWords(const uint32_t* from)
{
    if (from[0] == 0)
        return 0;
    if (from[0] == OPC_VARIABLE)
        return 2;
    if (from[0] == OPC_NUMBER)
        return 3;
    return 1;
}

int CopyFormulaToken(const uint32_t* from, uint32_t* to)
{
    int words = FormulaTokenWords(from);
    memmove(to, from, words * sizeof(uint32_t));
    to[words] = 0;
    return words;
}

int FormulaToPostfix(const char* text, uint32_t* stream, NodeList* symbols, int capacityWords)
{
    size_t length = strlen(text);
    if (length > FORMULA_TEXT_MAX)
        return 4;
    char work[FORMULA_TEXT_MAX + 1];
    memcpy(work, text, length + 1);
    if (ValidateFormulaCharacters(work))
        return 2;
    uint32_t tokens[FORMULA_TOKEN_WORDS];
    switch (TokenizeFormula(work, tokens, symbols, FORMULA_TOKEN_WORDS)) {
    case 0: break;
    case 1: return 3;
    default: return 4;
    }
    uint32_t stack[FORMULA_STACK_WORDS];
    int top = 0;
    stack[0] = 0;
    int out = 0, in = 0;
    // The output keeps room for the closing 0 and the two words behind it.
    int outputLimit = capacityWords - 3;
    auto output = [&](const uint32_t* token) {
        int words = FormulaTokenWords(token);
        if (out + words > outputLimit)
            return false;
        CopyFormulaToken(token, stream + out);
        out += words;
        return true;
    };
    for (;;) {
        int stackClass = FormulaInputClass(stack[top]);
        int inputClass = FormulaInputClass(tokens[in]);
        switch (FormulaAction(stackClass, inputClass)) {
        case ACT_ACCEPT:
            if (out >= capacityWords)
                return 4;
            stream[out] = 0;
            return -4 * (out + 1);
        case ACT_FAIL_BRACKETS: return 1;
        case ACT_FAIL_ASSIGNMENT: return 8;
        case ACT_OUTPUT_TOP:
        case ACT_OUTPUT_TOP_AT_CLOSE:
            if (!output(&stack[top]))
                return 4;
            top--;
            break;
        case ACT_PUSH:
            if (top + 1 >= FORMULA_STACK_WORDS)
                return 4;
            stack[++top] = tokens[in];
            in += FormulaTokenWords(&tokens[in]);
            break;
        case ACT_DROP_BOTH:
            top--;
            in += FormulaTokenWords(&tokens[in]);
            break;
        case ACT_OUTPUT_AND_PUSH:
            if (!output(&stack[top]))
                return 4;
            stack[top] = tokens[in];
            in += FormulaTokenWords(&tokens[in]);
            break;
        case ACT_COPY_INPUT:
            if (!output(&tokens[in]))
                return 4;
            in += FormulaTokenWords(&tokens[in]);
            break;
        case ACT_CLOSE_BARS: {
            top--;
            in += FormulaTokenWords(&tokens[in]);
            uint32_t bars = OPC_MODULUS_SQUARED;
            if (!output(&bars))
                return 4;
            break;
        }
        default: return 4;
        }
    }
}

int CheckOperandBalance(const uint32_t* stream)
{
    int count = 0;
    if (stream[0] == 0)
        return 1;
    for (const uint32_t* p = stream; *p; p += FormulaTokenWords(p)) {
        uint32_t word = *p;
        if (word > 65535)
            word >>= 16;
        if (word >= 256)
            count++;
        else if (word >= 1 && word <= 90)
            count -= OperatorStackEffect[word];
        if (count < 1)
            return 1;
    }
    return count == 1 ? 0 : 1;
}

int MoveAssignments(uint32_t* stream, int* extra, int capacityWords)
{
    *extra = 8;
    int assignments = 0, end = 0;
    for (; stream[end]; end += FormulaTokenWords(&stream[end])) {
        if (stream[end] == OPC_ASSIGN)
            assignments++;
        else if (assignments)
            return 7;
    }
    if (end + 3 > capacityWords)
        return 4;
    stream[end + 1] = 0;
    stream[end + 2] = 0;
    if (!assignments)
        return 0;

    int targetWords = 0;
    for (int i = 0; i < assignments; i++) {
        uint32_t word = stream[targetWords];
        bool variable = word == OPC_VARIABLE;
        bool namedValue = word >= 256 && word <= 511 && word != OPC_NUMBER;
        if (!variable && !namedValue)
            return 8;
        targetWords += FormulaTokenWords(&stream[targetWords]);
    }
    uint32_t targets[FORMULA_TOKEN_WORDS];
    if (targetWords > FORMULA_TOKEN_WORDS)
        return 4;
    memcpy(targets, stream, targetWords * sizeof(uint32_t));
    int rest = end - targetWords;
    memmove(stream, stream + targetWords, (rest + 1) * sizeof(uint32_t));
    int assign = 0;
    while (stream[assign] && stream[assign] != OPC_ASSIGN)
        assign += FormulaTokenWords(&stream[assign]);
    if (stream[assign] != OPC_ASSIGN)
        return 4;
    if (assign + 1 + targetWords + 6 > capacityWords)
        return 4;
    stream[assign] = 0;
    memcpy(stream + assign + 1, targets, targetWords * sizeof(uint32_t));
    memset(stream + assign + 1 + targetWords, 0, 6 * sizeof(uint32_t));
    *extra = 200;
    return 0;
}

int ParseFormula(const char* text, uint32_t* stream, NodeList* symbols, int capacityBytes)
{
    size_t length = strlen(text);
    if (length > FORMULA_TEXT_MAX)
        return -4;
    char work[FORMULA_TEXT_MAX + 1];
    memcpy(work, text, length + 1);
    if (!ConvertBars(work))
        return -1;
    int capacityWords = capacityBytes / 4;
    int r = FormulaToPostfix(work, stream, symbols, capacityWords);
    if (r > 0)
        return -r;
    int postfixWords = -r / 4 - 1;
    if (CheckOperandBalance(stream))
        return -5;
    int extra = 8;
    if (int moved = MoveAssignments(stream, &extra, capacityWords))
        return -moved;
    int size = 4 * (postfixWords + 1) + extra;
    if (size > capacityBytes)
        return -4;
    return size;
}

void ReportParseError(const char* title, const char* text, int result)
{
    char message[1200];
    if (result >= -8 && result <= -1)
        snprintf(message, sizeof message, "%s:\nOffending line: %s\n          %s", title, text, ParseErrorCode[-result]);
    else
        snprintf(message, sizeof message, "%s:\nOffending line: %s", title, text);
    PMessageBox(MB_STYLE_ERROR).Show("Parsing formula", message);
}

namespace {

const char* FormulaNameOf(const Fractal* f, int type)
{
    if (!f->header || f->header->Type != type || !f->typeParameters)
        return nullptr;
    if (type == FORMULA_TYPE_IFS)
        return static_cast<const IFSParameters*>(f->typeParameters)->Formula;
    return static_cast<const LSystemParameters*>(f->typeParameters)->Formula;
}

}  // namespace

ListNode* CheckFormulaInUse(NodeList* list, ListNode* formula, int type)
{
    if (type != FORMULA_TYPE_IFS && type != FORMULA_TYPE_LSYSTEM)
        return nullptr;
    int users = 0;
    std::string lines;
    for (ListNode* n = FolderList.GetHead(); n; n = n->next) {
        auto* folder = static_cast<FractalFolder*>(n);
        for (ListNode* m = folder->fractals.GetHead(); m; m = m->next) {
            const char* name = FormulaNameOf(static_cast<Fractal*>(m), type);
            if (!name || _stricmp(name, formula->name) != 0)
                continue;
            users++;
            char line[200];
            snprintf(line, sizeof line, "- %s (in %s)\n", m->name, folder->name);
            lines += line;
        }
    }
    if (users) {
        char head[300];
        if (users == 1)
            snprintf(head, sizeof head, "Sorry, but one fractal is currently using the formula \"%s\",\nnamely:\n",
                     formula->name);
        else
            snprintf(head, sizeof head, "Sorry, but %d fractals are currently using the formula \"%s\",\nnamely:\n",
                     users, formula->name);
        std::string text = head + lines + "\nYou must remove all references to this formula before you can delete it...";
        PMessageBox(MB_STYLE_INFO).Show("Information", text.c_str());
        return nullptr;
    }
    if (FractalTypeFlags[CNF_DelFrm]) {
        int answer = PMessageBox(MB_STYLE_YESNOCANCEL)
                         .Show("Delete operation", "You are about to delete a formula.\n\nDo you really want to delete it?");
        if (answer != IDYES)
            return nullptr;
    }
    ListNode* neighbour = formula->next ? formula->next : formula->prev;
    list->Remove(formula);
    delete formula;
    return neighbour ? neighbour : FORMULA_LIST_NOW_EMPTY;
}
