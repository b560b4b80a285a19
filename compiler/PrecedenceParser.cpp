// The operator-precedence parser that turns the lexer's stream into postfix,
// and the pipeline every expression of a formula passes through: text
// steps, lexer, parser, type check, operand count, the parse cache keyed by
// the expression's place in the formula text, the assignment check and the
// stream rewriting steps that follow.
#include <stdlib.h>
#include <string.h>

#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"

namespace {

enum {
    CLASS_OPERAND = 0,
    CLASS_LPAREN = 1,
    CLASS_RPAREN = 2,
    CLASS_ABS_OPEN = 3,
    CLASS_ABS_CLOSE = 4,
    CLASS_CALL = 5,
    CLASS_ASSIGN = OP_ASSIGN + 4,
    CLASS_RAND = 42 + 4,
    CLASS_DIVR = 50 + 4,
    CLASS_COMMA = OP_COMMA + 4,
    CLASS_ARRAY_READ = 92,
    CLASS_ARRAY_STORE = 93,
    CLASS_STORE = 94,
    CLASS_END = 95,
    CLASS_COUNT = 96,
};

enum {
    ACT_ACCEPT = 0,
    ACT_ERROR = 1,
    ACT_REDUCE = 2,
    ACT_SHIFT = 3,
    ACT_CLOSE = 4,
    ACT_REDUCE_STORE = 5,
    ACT_REDUCE_SHIFT = 6,
    ACT_OPERAND = 7,
    ACT_NOT_ASSIGNABLE = 8,
    ACT_ABSOLUTE = 9,
    ACT_DROP_COMMA = 10,
    ACT_STORE_REDUCE_SHIFT = 11,
    ACT_ARRAY = 12,
};

// The level of a binary operator class (1 "=" to 6 "^"), 0 for any other.
int BinaryLevel(int c)
{
    switch (c - 4) {
    case OP_ASSIGN: return 1;
    case OP_AND: case OP_OR: return 2;
    case 34: case 35: case 36: case 37: case 38: case 39: return 3;
    case OP_ADD: case OP_SUB: return 4;
    case OP_MUL: case OP_DIV: case 61: return 5;
    case OP_POWER: return 6;
    default: return 0;
    }
}

uint8_t g_Actions[CLASS_COUNT][CLASS_COUNT];

int ActionFor(int row, int column)
{
    bool closingRow = row == CLASS_RPAREN || row == CLASS_ABS_CLOSE;
    if (column == CLASS_OPERAND || column == CLASS_RAND || column == CLASS_DIVR)
        return row == CLASS_OPERAND || closingRow ? ACT_ERROR : ACT_OPERAND;
    if (column == CLASS_ARRAY_READ || column == CLASS_ARRAY_STORE)
        return row == CLASS_OPERAND || closingRow ? ACT_ERROR : ACT_ARRAY;
    if (closingRow)
        return ACT_ERROR;
    bool closer = column == CLASS_RPAREN || column == CLASS_ABS_CLOSE || column == CLASS_COMMA;
    int level = BinaryLevel(column);
    switch (row) {
    case CLASS_END:
        if (closer)
            return ACT_ERROR;
        return column == CLASS_END ? ACT_ACCEPT : ACT_SHIFT;
    case CLASS_LPAREN:
        if (column == CLASS_RPAREN)
            return ACT_CLOSE;
        return column == CLASS_ABS_CLOSE || column == CLASS_END ? ACT_ERROR : ACT_SHIFT;
    case CLASS_ABS_OPEN:
        if (column == CLASS_ABS_CLOSE)
            return ACT_ABSOLUTE;
        return column == CLASS_RPAREN || column == CLASS_END ? ACT_ERROR : ACT_SHIFT;
    case CLASS_OPERAND:
        if (column == CLASS_ASSIGN)
            return ACT_STORE_REDUCE_SHIFT;
        if (level || column == CLASS_RPAREN || column == CLASS_COMMA)
            return ACT_REDUCE_STORE;
        return column == CLASS_END ? ACT_REDUCE : ACT_ERROR;
    case CLASS_COMMA:
        if (column == CLASS_COMMA)
            return ACT_CLOSE;
        if (column == CLASS_RPAREN)
            return ACT_DROP_COMMA;
        if (column == CLASS_ABS_CLOSE)
            return ACT_REDUCE_STORE;
        return column == CLASS_END ? ACT_REDUCE : ACT_SHIFT;
    case CLASS_ARRAY_READ:
    case CLASS_ARRAY_STORE:
    case CLASS_STORE:
        if (level || closer)
            return ACT_REDUCE_STORE;
        return column == CLASS_END ? ACT_REDUCE : ACT_SHIFT;
    default: {
        // Operators: binary ones by their level, every other (calls,
        // functions, negation, rows no element has) binds tighter than any
        // binary operator.
        int own = BinaryLevel(row);
        if (!own)
            own = 7;
        if (closer)
            return ACT_REDUCE_STORE;
        if (column == CLASS_END)
            return ACT_REDUCE;
        if (column == CLASS_ASSIGN)
            return row == CLASS_ASSIGN ? ACT_SHIFT : ACT_NOT_ASSIGNABLE;
        if (level)
            return level < own ? ACT_REDUCE_STORE : level == own ? ACT_REDUCE_SHIFT : ACT_SHIFT;
        return ACT_SHIFT;
    }
    }
}

void BuildActionTable()
{
    static bool built = false;
    if (built)
        return;
    for (int r = 0; r < CLASS_COUNT; r++)
        for (int c = 0; c < CLASS_COUNT; c++)
            g_Actions[r][c] = (uint8_t)ActionFor(r, c);
    built = true;
}

// Output of the parser: int32 words in a GrowBuffer, grown to 40 bytes more
// than the words written before each step.
class Output {
public:
    explicit Output(GrowBuffer* buffer) : buffer(buffer), count(0) {}
    bool Prepare()
    {
        buffer->ReserveSlack((count + 3) * (int)sizeof(int32_t) + 40, 200);
        return buffer->GetData() && buffer->GetCapacity() >= (count + 3) * (int)sizeof(int32_t);
    }
    void Put(int32_t w) { static_cast<int32_t*>(buffer->GetData())[count++] = w; }
    int Count() const { return count; }

private:
    GrowBuffer* buffer;
    int count;
};

// Whether the lexer's stream lists its operands properly: the parser drops
// commas and writes operands straight through, so "complex(1 2)" and
// "quaternion(1, 2,, 3, 4)" would otherwise come out as if written right.
// Two operands in a row and a comma without an operand before it are
// refused; a comma right before ")" is the language's own and dropped.
bool OperandsAreSeparated(const int32_t* input)
{
    int previous = CLASS_END;
    for (int i = 0; input[i] != OPC_END; i += ElementWords(input[i])) {
        int current = FormulaInputClassExtended(input[i]);
        if (previous == CLASS_OPERAND && (current == CLASS_OPERAND || current == CLASS_ARRAY_READ))
            return false;
        if (current == CLASS_COMMA &&
            (previous == CLASS_COMMA || previous == CLASS_LPAREN || previous == CLASS_END))
            return false;
        previous = current;
    }
    return true;
}

// A parse-cache entry: the word count, the stream with its end word, then
// the expression's text.
struct CachedStream {
    int32_t count;
    int32_t words[1];
};

}  // namespace

// ---------------------------------------------------------------------------
// Parser

bool FormulaCompiler::isAssignable(int32_t id) const
{
    // Literals are symbols too (the small integers without a slot, the
    // others as "INFO:" constants): "5 = 6" must not store into them.
    const FormulaSymbol* s = findVariable(id);
    if (!s || s->symbolClass == SYM_CONSTANT)
        return false;
    return !(s->symbolClass == SYM_PREDEFINED && s->dataOffset < 0);
}

int FormulaCompiler::parseExpression(const char* text, GrowBuffer* output, GrowBuffer* message, int mode)
{
    BuildActionTable();
    int length = (int)strlen(text);
    if (!lexerElements)
        lexerElements = new GrowBuffer(length + 200);
    else
        lexerElements->Reserve(length + 200);
    IntStack* stack = workStack(0);
    stack->clear();

    if (checkCharacters(text))
        return PARSE_ILLEGAL_CHARACTER;
    switch (tokenizeExpression(text, lexerElements, message, &dataTop, usageFlags, &constantCounter, mode)) {
    case LEX_OK: break;
    case LEX_NAME_NOT_FOUND: return PARSE_NAME_NOT_FOUND;
    case LEX_NOT_RESOLVED: return PARSE_NOT_RESOLVED;
    default: return PARSE_UNKNOWN_OPERAND;
    }
    const int32_t* input = static_cast<const int32_t*>(lexerElements->GetData());
    if (!OperandsAreSeparated(input))
        return PARSE_OPERAND_COUNT;

    Output out(output);
    stack->push(OPC_END);
    int pos = 0;
    // Moves the stack top (one or two words) to the output.
    auto reduce = [&]() {
        int32_t top = stack->pop();
        if (ElementWords(top) == 2) {
            int32_t operand = stack->pop();
            out.Put(top);
            out.Put(operand);
        } else {
            out.Put(top);
        }
    };
    auto shift = [&]() {
        int32_t element = input[pos];
        if (ElementWords(element) == 2)
            stack->push2(input[pos + 1], element);
        else
            stack->push(element);
        if (element == OPC_LPAREN)
            out.Put(OPC_LPAREN);
        pos += ElementWords(element);
    };

    for (;;) {
        if (!out.Prepare())
            return PARSE_SYNTAX;
        int32_t top = stack->peek(0);
        int32_t element = input[pos];
        int action = g_Actions[FormulaInputClassExtended(top)][FormulaInputClassExtended(element)];
        switch (action) {
        case ACT_ACCEPT:
            out.Put(OPC_END);
            return -out.Count() * (int)sizeof(int32_t);
        case ACT_ERROR:
            return PARSE_SYNTAX;
        case ACT_REDUCE:
            reduce();
            break;
        case ACT_SHIFT:
            shift();
            break;
        case ACT_CLOSE:
            stack->pop();
            if (element == OPC_RPAREN)
                out.Put(OPC_RPAREN);
            pos += ElementWords(element);
            break;
        case ACT_REDUCE_STORE:
            if (top == OPC_ARRAY_READ && element == OP_ASSIGN)
                stack->setTop(OPC_ARRAY_STORE);
            reduce();
            break;
        case ACT_REDUCE_SHIFT:
            reduce();
            shift();
            break;
        case ACT_OPERAND:
            if (element == OPC_VARIABLE && input[pos + 2] == OP_ASSIGN) {
                if (!isAssignable(input[pos + 1]))
                    return PARSE_ASSIGNMENT;
                out.Put(OPC_STORE);
            } else
                out.Put(element);
            if (ElementWords(element) == 2)
                out.Put(input[pos + 1]);
            pos += ElementWords(element);
            break;
        case ACT_NOT_ASSIGNABLE:
            return PARSE_ASSIGNMENT;
        case ACT_ABSOLUTE:
            stack->pop();
            out.Put(OP_SQUARED_MODULUS);
            pos++;
            break;
        case ACT_DROP_COMMA:
            stack->pop();
            break;
        case ACT_STORE_REDUCE_SHIFT:
            if (top == OPC_VARIABLE) {
                if (!isAssignable(stack->peek(1)))
                    return PARSE_ASSIGNMENT;
                stack->setTop(OPC_STORE);
            }
            reduce();
            shift();
            break;
        case ACT_ARRAY:
            out.Put(OPC_INDEX_MARK);
            shift();
            break;
        default:
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// Pipeline

void FormulaCompiler::removeSelfAssignment(int32_t* stream)
{
    if (stream[0] == OPC_STORE && stream[2] == OPC_VARIABLE && stream[3] == stream[1] &&
        stream[4] == OP_ASSIGN && stream[5] == OPC_END)
        stream[0] = OPC_END;
}

int FormulaCompiler::processExpression(const ExpressionRequest& request)
{
    GrowBuffer* output = request.output;
    // Offsets of the compiler's own generated text are no places of the
    // formula text: its expressions are never cached.
    bool caching = generatedTextMode == 0;
    bool lookUp = caching && (!isFirstCycle() || request.useCache);
    ListNode* hit = lookUp ? parseCache.FindKey(request.key) : nullptr;

    int count;
    if (hit) {
        const CachedStream* cached = static_cast<const CachedStream*>(hit->data);
        count = cached->count;
        output->Reserve((count + 1) * (int)sizeof(int32_t));
        if (!output->GetData() || output->GetCapacity() < (count + 1) * (int)sizeof(int32_t))
            return PIPELINE_TYPE_ERROR;
        memcpy(output->GetData(), cached->words, (size_t)(count + 1) * sizeof(int32_t));
    } else {
        prepareExpression(request.text);
        if (!expressionText || !expressionText->GetData())
            return -PARSE_SYNTAX;
        int parsed = parseExpression(static_cast<const char*>(expressionText->GetData()), output,
                                     request.message, request.mode);
        if (parsed > 0)
            return -parsed;
        int words = -parsed / (int)sizeof(int32_t);
        if (!workElements)
            workElements = new GrowBuffer(words * (int)sizeof(int32_t) + 100);
        else
            workElements->Reserve(words * (int)sizeof(int32_t) + 100);
        workStack(1)->clear();
        workStack(2)->clear();
        int checked = 0;
        errorText[0] = 0;
        int typed = checkTypes(static_cast<const int32_t*>(output->GetData()), 0, workElements, &checked);
        if (typed == 2)
            return PIPELINE_OPERAND_COUNT;
        if (typed)
            return PIPELINE_TYPE_ERROR;
        memcpy(output->GetData(), workElements->GetData(), (size_t)(checked + 1) * sizeof(int32_t));
        int balance = checkArrayFunctionUse(static_cast<const int32_t*>(output->GetData()));
        if (balance == -1)
            return PIPELINE_OPERAND_COUNT;
        if (balance < 0)
            return PIPELINE_TYPE_ERROR;
        count = balance;
        if (caching) {
            int textLength = (int)strlen(request.text);
            size_t size = sizeof(int32_t) * (size_t)(count + 2) + (size_t)textLength + 1;
            CachedStream* block = static_cast<CachedStream*>(malloc(size));
            if (block) {
                block->count = count;
                memcpy(block->words, output->GetData(), (size_t)(count + 1) * sizeof(int32_t));
                memcpy(reinterpret_cast<char*>(block->words + count + 1), request.text,
                       (size_t)textLength + 1);
                // An entry made while the cache was not consulted (first
                // cycle without the cache flag) replaces its old twin.
                if (ListNode* old = parseCache.FindKey(request.key)) {
                    free(old->data);
                    old->data = block;
                } else {
                    ListNode* node = new ListNode();
                    node->key = request.key;
                    node->data = block;
                    parseCache.Append(node);
                }
            }
        }
    }

    int32_t* stream = static_cast<int32_t*>(output->GetData());
    if (checkReturntype(stream, request.message) < 0)
        return PIPELINE_ASSIGNMENT;
    if (request.mode != EXPRESSION_STATEMENT)
        return count;
    if (createConstants(stream))
        return PIPELINE_FOLDING;
    reduceStrength(output);
    stream = static_cast<int32_t*>(output->GetData());
    removeSelfAssignment(stream);
    return StreamWords(stream);
}

void FormulaCompiler::clearParseCache()
{
    while (ListNode* n = parseCache.GetHead()) {
        parseCache.Remove(n);
        free(n->data);
        n->data = nullptr;
        delete n;
    }
}

void FormulaCompiler::freeExpressionBuffers()
{
    clearParseCache();
    delete expressionText;
    expressionText = nullptr;
    delete lexerElements;
    lexerElements = nullptr;
    delete workElements;
    workElements = nullptr;
    delete statementText;
    statementText = nullptr;
}
