// Rule actions: what happens when the statement matcher accepts a rule. This
// file dispatches every action number and carries out those of the formula
// head (options), of declarations (variables, parameters, constants, shared
// variables, selectable function parameters, arrays) and of user-function
// heads, prototypes, definitions, formal parameters and locals.
//
// Declarations run again in every optimizer pass and cycle. In the first
// cycle of the compile the records are made; later cycles clear the existing
// records and fill them again, taking the facts learned so far from the
// copies saved after the previous cycle (savedSymbols, savedSignatures).
#include <stdio.h>
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Predefined.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"
#include "compiler/EnumValues.h"

namespace {

// Copies text[start..end] (inclusive) into out, cut to size - 1 characters.
void CopyRange(char* out, int size, const char* text, int start, int end)
{
    int length = end - start + 1;
    if (length < 0)
        length = 0;
    if (length > size - 1)
        length = size - 1;
    memcpy(out, text + start, (size_t)length);
    out[length] = 0;
}

// A symbol name: the text cut to the length of a list-node name.
void SymbolName(char* out, const char* text)
{
    snprintf(out, ListNode::NODE_NAME_SIZE, "%s", text);
}

// Offset of the first character of the line holding position.
int LineStart(const char* text, int position)
{
    int p = position;
    while (p > 0 && text[p - 1] != '\n')
        --p;
    return p;
}

// Offset of the first character of the line before the one holding
// position (the line itself when it is the first).
int PrecedingLineStart(const char* text, int position)
{
    int p = LineStart(text, position);
    return p > 0 ? LineStart(text, p - 1) : p;
}

bool IsTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsVectorLike(int type) { return type == DT_COMPLEX || type == DT_QUATERNION || type == DT_VECTOR; }

int ActionOf(int row) { return row >= 0 && row < PARSE_TABLE_ROWS ? g_ParseTable[row].action : -1; }

FormulaSymbol* FindGlobal(const FormulaCompiler& c, const char* name)
{
    return static_cast<FormulaSymbol*>(c.symbols.Find(name));
}

FormulaSymbol* FindSaved(const FormulaCompiler& c, const char* name)
{
    return static_cast<FormulaSymbol*>(findNodeByName(c.savedSymbols.GetHead(), name));
}

FormulaSymbol* FindLocal(const FormulaFunction* f, const char* name)
{
    return f ? static_cast<FormulaSymbol*>(findNodeByName(f->locals.GetHead(), name)) : nullptr;
}

// The facts a later cycle takes over from the symbol of the same name saved
// after the previous cycle; with values also the value and the default.
void CarryOver(const FormulaCompiler& c, FormulaSymbol* s, bool withValues)
{
    const FormulaSymbol* saved = FindSaved(c, s->name);
    if (!saved)
        return;
    s->variability = saved->variability;
    s->currentType = saved->currentType;
    s->assigned = saved->assigned;
    s->constant = saved->constant;
    s->constantSure = saved->constantSure;
    s->runtimeRead = saved->runtimeRead;
    s->arrayAssigned = saved->arrayAssigned;
    s->arrayConstant = saved->arrayConstant;
    s->arrayConstantSure = saved->arrayConstantSure;
    s->previousReads = saved->readCount;
    s->previousWrites = saved->writeCount;
    if (withValues) {
        memcpy(s->value, saved->value, sizeof s->value);
        memcpy(s->defaultValue, saved->defaultValue, sizeof s->defaultValue);
    }
}

// The global to declare under name: a new record in the first cycle (also
// in a later one that does not find it), else the existing one cleared.
FormulaSymbol* ObtainGlobal(FormulaCompiler& c, const char* name, bool* isNew)
{
    FormulaSymbol* s = c.isFirstCycle() ? nullptr : FindGlobal(c, name);
    *isNew = s == nullptr;
    if (s) {
        s->clear();
    } else {
        s = new FormulaSymbol();
        s->SetName(name);
        s->id = c.symbols.nextIds[0]++;
    }
    return s;
}

// A slot of size bytes above the data-block base, aligned as given.
int TakeSlotAtTop(FormulaCompiler& c, int size, int alignment)
{
    int offset = c.dataTop;
    alignSlot(&offset, alignment);
    c.dataTop = offset + size;
    return offset;
}

void ReportError(FormulaCompiler& c, const char* text, int start, int end, const char* message)
{
    c.report(text, start, end, message, true, MSG_ERROR);
}

// The number of dimensions of an array declaration (a constant): 616 and
// 617 as for every array. Returns false after reporting.
bool CheckDimensionCount(FormulaCompiler& c, const char* text, int start, int end)
{
    if ((c.constantType != DT_REAL && c.constantType != DT_INT) || c.constantValue[0] < 1) {
        ReportError(c, text, start, end,
                    "Compiler error 616: Array dimension must be a positive integer value between 1 and 5.");
        return false;
    }
    if (c.constantValue[0] > 5) {
        ReportError(c, text, start, end,
                    "Compiler error 617: The maximum array dimension supported in Spiralix is 5.");
        return false;
    }
    return true;
}

// Element type and precision of an array whose element type was just read.
void SetElementType(const FormulaCompiler& c, FormulaSymbol* s)
{
    s->precision = c.declType;
    s->elementPrecision = IsVectorLike(c.declType) ? PREC_DOUBLE : c.declPrecision;
}

void DropPendingFunction(FormulaCompiler& c)
{
    delete c.pendingFunction;
    c.pendingFunction = nullptr;
}

// ----- Formula head

int FormulaBodyOpens(FormulaCompiler& c)
{
    c.createPredefinedSymbols(c.initialDataTop == 0);
    if (c.insideMode == 0 && c.kind == FK_COLORING)
        c.insideMode = 3;
    c.prepareDataBlock(1);
    return ACTION_NEXT_STATE;
}

bool WordIs(const char* text, int start, int end, const char* word)
{
    int length = end - start + 1;
    return length == (int)strlen(word) && _strnicmp(text + start, word, (size_t)length) == 0;
}

int FormulaOption(FormulaCompiler& c, const char* text, int start, int end, int action)
{
    if (WordIs(text, start, end, "QUATERNION")) {
        c.subKind = SK_QUATERNION;
        c.subKindMask = SUBKIND_MASK_QUATERNION;
    } else if (action != 6 && WordIs(text, start, end, "ATTRACTOR")) {
        c.subKind = SK_ATTRACTOR;
        c.subKindMask = SUBKIND_MASK_ATTRACTOR;
    } else if (action == 4) {
        static const char* const symmetries[] = {"XAXIS", "YAXIS", "ORIGIN", "XYAXIS"};
        for (int i = 0; i < 4; ++i)
            if (WordIs(text, start, end, symmetries[i]))
                c.symmetry = i + 1;
    } else if (action == 5) {
        static const char* const modes[] = {"INSIDE", "OUTSIDE", "BOTH"};
        for (int i = 0; i < 3; ++i)
            if (WordIs(text, start, end, modes[i]))
                c.insideMode = i + 1;
    }
    return ACTION_NEXT_STATE;
}

// ----- Arrays declared with "array " name "[" count "]" "of" type ";"

int DeclareArrayVariable(FormulaCompiler& c, const char* text, int start, int end)
{
    if (!CheckDimensionCount(c, text, c.identifierPosition, end))
        return ACTION_FAILED;
    char name[ListNode::NODE_NAME_SIZE];
    SymbolName(name, c.identifier);
    bool first = c.isFirstCycle();
    if (first && FindGlobal(c, name)) {
        char message[200];
        snprintf(message, sizeof message, "Compiler error 020: Variable %s has already been defined", name);
        ReportError(c, text, c.identifierPosition, end, message);
        return ACTION_FAILED;
    }
    if (c.declParameter && c.constantValue[0] != 2.0) {
        ReportError(c, text, c.identifierPosition, end,
                    "Compiler error 097: Parameter arrays must have two dimensions");
        return ACTION_FAILED;
    }
    bool isNew;
    FormulaSymbol* s = ObtainGlobal(c, name, &isNew);
    if (isNew)
        s->dataOffset = TakeSlotAtTop(c, 16, 16);
    s->sourcePosition = start;
    s->assigned = FACT_YES;
    s->constant = FACT_NO;
    s->arrayAssigned = FACT_YES;
    s->arrayConstant = FACT_NO;
    s->variability = 1;
    s->symbolClass = c.declParameter ? SYM_PARAMETER : SYM_VARIABLE;
    s->dataType = c.declType;
    s->currentType = c.declType;
    s->nextType = c.declType;
    s->precision = -1;
    s->value[0] = c.constantValue[0];
    if (!first)
        CarryOver(c, s, false);
    c.registerVariable(s, isNew);
    c.identifier[0] = 0;
    return ACTION_NEXT_STATE;
}

// ----- User-function heads, prototypes, definitions, parameters, locals

bool HasDeclarationKeyword(const FormulaCompiler& c)
{
    return c.declFunction || c.declParameter || c.declConst || c.declShared;
}

// Actions 21 ("(" after a name) and 102 ("{" of a bailout or stop function).
int FunctionHead(FormulaCompiler& c, char* text, int start, int end, int action)
{
    c.parseDescriptionBlock(text);
    if (HasDeclarationKeyword(c)) {
        ReportError(c, text, LineStart(text, start), end,
                    "Compiler error 024: Invalid function definition: No 'parameter', 'const', "
                    "'shared' or 'function' keyword may precede the function definition.");
        return ACTION_FAILED;
    }
    // A head left over from a statement that failed to match.
    DropPendingFunction(c);
    FormulaFunction* f = new FormulaFunction();
    c.pendingFunction = f;
    f->resultType = c.declType;
    f->resultPrecision = c.declPrecision;
    char letter = DataTypeLetter(c.declType);

    if (action == 21) {
        snprintf(f->decoratedName, sizeof f->decoratedName, "%c%s@@", letter, c.identifier);
        f->SetName(c.identifier);
        return ACTION_NEXT_STATE;
    }

    // The bool function of an iteration formula: "stop" for attractors,
    // "bailout" otherwise, whichever keyword was written.
    const char* name = c.subKind == SK_ATTRACTOR ? "stop" : "bailout";
    snprintf(f->decoratedName, sizeof f->decoratedName, "%c%s@@", letter, name);
    f->SetName(name);
    f->stateWord = FUNCTION_DEFINED;
    FormulaFunction* existing = findSameFunction(f, &c.functions);
    if (existing && c.isFirstCycle()) {
        ReportError(c, text, PrecedingLineStart(text, start), end,
                    "Compiler Error 091: this function has already been defined.");
        DropPendingFunction(c);
        return ACTION_FAILED;
    }
    if (existing) {
        // A later cycle compiles the function again in its record of the
        // first cycle: its place, its index and the pointers of callers to
        // it stay valid.
        existing->reset();
        existing->stateWord = FUNCTION_DEFINED;
        existing->resultType = f->resultType;
        existing->resultPrecision = f->resultPrecision;
        DropPendingFunction(c);
        f = existing;
    } else {
        f->index = c.functions.Count() + 1;
        c.functions.Append(f);
    }
    c.currentFunction = f;
    c.savedFunction = findSameFunction(f, &c.savedSignatures);
    c.pendingFunction = nullptr;
    return ACTION_NEXT_STATE;
}

// Actions 135 and 181: a formal parameter of the function head.
int FormalParameter(FormulaCompiler& c, const char* text, int start, int end)
{
    FormulaFunction* f = c.pendingFunction;
    CopyRange(c.identifier, sizeof c.identifier, text, start, end);
    c.identifierPosition = start;
    if (!f)
        return ACTION_NEXT_STATE;
    char name[ListNode::NODE_NAME_SIZE];
    SymbolName(name, c.identifier);
    if (FindLocal(f, name)) {
        char message[200];
        snprintf(message, sizeof message, "Compiler error 020: Parameter %s has already been defined", name);
        ReportError(c, text, start, end, message);
        DropPendingFunction(c);
        return ACTION_FAILED;
    }
    size_t length = strlen(f->decoratedName);
    if (length + 1 < sizeof f->decoratedName) {
        f->decoratedName[length] = DataTypeLetter(c.declType);
        f->decoratedName[length + 1] = 0;
    }
    FormulaSymbol* s = new FormulaSymbol();
    s->SetName(name);
    s->sourcePosition = start;
    s->variability = 1;
    s->symbolClass = SYM_VARIABLE;
    s->dataType = c.declType;
    s->currentType = c.declType;
    s->nextType = c.declType;
    s->precision = c.declPrecision;
    s->byReference = c.declByReference;
    int alignment;
    int size = slotSizeAndAlign(c.declType, c.declPrecision, &alignment);
    int offset = f->frameTop;
    alignSlot(&offset, 8);
    s->dataOffset = offset;
    f->frameTop = offset + size;
    s->assigned = FACT_YES;
    s->constant = FACT_NO;
    s->writeCount = 1;
    s->previousWrites = 1;
    if (s->byReference) {
        s->readCount = 1;
        s->previousReads = 1;
    }
    s->id = (int32_t)(SYMBOL_ID_LOCAL | (uint32_t)f->nextLocalId++);
    f->locals.Append(s);
    return ACTION_NEXT_STATE;
}

// A definition that completes a prototype takes the definition's formal
// parameters: the body refers to them by the names written there.
void AdoptDefinitionParameters(FormulaFunction* existing, FormulaFunction* definition)
{
    DeleteAllNodes(&existing->locals);
    while (ListNode* n = definition->locals.GetHead()) {
        definition->locals.Remove(n);
        existing->locals.Append(n);
    }
    existing->frameTop = definition->frameTop;
    existing->nextLocalId = definition->nextLocalId;
    existing->textPositions[0] = definition->textPositions[0];
    existing->textPositions[1] = definition->textPositions[1];
}

// Action 138: ";" after a head, a prototype.
int FunctionPrototype(FormulaCompiler& c, const char* text, int start, int end)
{
    FormulaFunction* f = c.pendingFunction;
    if (!f)
        return ACTION_NEXT_STATE;
    f->stateWord = FUNCTION_DECLARED;
    if (c.generatedTextMode == 1)
        c.takeImportedFunctionSource(f);
    FormulaFunction* existing = findSameFunction(f, &c.functions);
    if (!c.isFirstCycle() && existing) {
        // A defined function is made clean by its definition; resetting it
        // here would throw away a body compiled earlier in this cycle.
        if (existing->stateWord != FUNCTION_DEFINED)
            existing->reset();
        DropPendingFunction(c);
        return ACTION_NEXT_STATE;
    }
    if (!existing) {
        f->index = c.functions.Count() + 1;
        c.functions.Append(f);
        c.pendingFunction = nullptr;
        return ACTION_NEXT_STATE;
    }
    if (existing->stateWord == FUNCTION_DECLARED) {
        c.report(text, LineStart(text, start), end,
                 "Compiler warning 089: A function with the same signature has already been declared.\n"
                 "Statement will be ignored.",
                 false, MSG_WARNING);
    }
    DropPendingFunction(c);
    return ACTION_NEXT_STATE;
}

// Action 139: "{" after a head, a definition.
int FunctionDefinition(FormulaCompiler& c, const char* text, int start, int end)
{
    FormulaFunction* f = c.pendingFunction;
    if (!f)
        return ACTION_NEXT_STATE;
    f->stateWord = FUNCTION_DEFINED;
    f->textPositions[0] = c.typePosition;
    FormulaFunction* existing = findSameFunction(f, &c.functions);
    if (!c.isFirstCycle() && existing) {
        existing->reset();
        existing->frameTop = f->frameTop;  // the reset forgot the formal parameters' room
        c.currentFunction = existing;
        DropPendingFunction(c);
    } else if (!existing) {
        f->index = c.functions.Count() + 1;
        c.functions.Append(f);
        c.currentFunction = f;
        c.pendingFunction = nullptr;
    } else if (existing->stateWord == FUNCTION_DEFINED) {
        ReportError(c, text, PrecedingLineStart(text, start), end,
                    "Compiler Error 090: A function with the same signature has already been defined.");
        DropPendingFunction(c);
        return ACTION_FAILED;
    } else {
        existing->stateWord = FUNCTION_DEFINED;
        AdoptDefinitionParameters(existing, f);
        c.currentFunction = existing;
        DropPendingFunction(c);
    }
    c.savedFunction = findSameFunction(c.currentFunction, &c.savedSignatures);
    c.pendingFunction = nullptr;
    return ACTION_NEXT_STATE;
}

// Action 142: the name of a local variable of the current function.
int DeclareLocal(FormulaCompiler& c, const char* text, int start, int end)
{
    CopyRange(c.identifier, sizeof c.identifier, text, start, end);
    c.identifierPosition = start;
    FormulaFunction* f = c.currentFunction;
    if (!f)
        return ACTION_NEXT_STATE;
    char name[ListNode::NODE_NAME_SIZE];
    SymbolName(name, c.identifier);
    bool first = c.isFirstCycle();
    FormulaSymbol* s = FindLocal(f, name);
    if (s && first) {
        char message[200];
        snprintf(message, sizeof message, "Compiler error 020: Local variable %s has already been defined",
                 name);
        ReportError(c, text, start, end, message);
        return ACTION_FAILED;
    }
    bool isNew = s == nullptr;
    if (s) {
        s->clear();
    } else {
        s = new FormulaSymbol();
        s->SetName(name);
        s->id = (int32_t)(SYMBOL_ID_LOCAL | (uint32_t)f->nextLocalId++);
    }
    s->sourcePosition = start;
    s->variability = 1;
    s->symbolClass = SYM_VARIABLE;
    s->dataType = c.declType;
    s->precision = c.declPrecision;
    int alignment;
    int size = slotSizeAndAlign(c.declType, c.declPrecision, &alignment);
    f->frameBottom -= size;
    alignSlot(&f->frameBottom, alignment);
    s->dataOffset = f->frameBottom;
    s->currentType = FormulaCompiler::initialCurrentType(c.declType);
    s->nextType = -1;
    if (isNew)
        f->locals.Append(s);
    if (!first && c.savedFunction) {
        // The saved signature keeps its copies of the locals in its second
        // list.
        const FormulaSymbol* saved = static_cast<const FormulaSymbol*>(
            findNodeByName(c.savedFunction->parameters.GetHead(), name));
        if (!saved)
            saved = FindLocal(c.savedFunction, name);
        if (saved) {
            memcpy(s->value, saved->value, sizeof s->value);
            s->variability = saved->variability;
            s->currentType = saved->currentType;
            s->runtimeRead = saved->runtimeRead;
            s->assigned = saved->assigned;
            s->constant = saved->constant;
            s->previousReads = saved->readCount;
            s->previousWrites = saved->writeCount;
        }
    }
    c.identifier[0] = 0;
    return ACTION_NEXT_STATE;
}

bool IsControlAction(int action)
{
    switch (action) {
    case 28: case 29: case 32: case 33: case 34: case 35: case 36: case 37:
    case 39: case 49: case 70: case 91: case 106: case 141:
        return true;
    default:
        return false;
    }
}

bool IsStatementExpressionAction(int action)
{
    switch (action) {
    case 40: case 43: case 53: case 56: case 58: case 59: case 73: case 86: case 104: case 152:
        return true;
    default:
        return false;
    }
}

}  // namespace

void FormulaCompiler::resetDeclarationState()
{
    declParameter = 0;
    declFunction = 0;
    declConst = 0;
    declShared = 0;
    declType = DT_COMPLEX;
    declPrecision = precisionLevel == 3 ? PREC_EXTENDED : PREC_DOUBLE;
    arraySymbol = nullptr;
}

int FormulaCompiler::initialCurrentType(int type)
{
    switch (type) {
    case DT_COMPLEX:
    case DT_REAL:
    case DT_INT:
    case DT_BOOL:
    case DT_QUATERNION:
        return DT_REAL;
    default:
        return type;
    }
}

int FormulaCompiler::executeRuleAction(char* text, int start, int end, int row)
{
    if (!messageText)
        messageText = new GrowBuffer(1000);
    int action = ActionOf(row);

    if (IsControlAction(action))
        return compileControlAction(text, start, end, row);
    if (IsStatementExpressionAction(action))
        return compileStatementExpression(text, start, end, row);

    switch (action) {
    // Formula head.
    case 3:
        return FormulaBodyOpens(*this);
    case 4:
    case 5:
    case 6:
        return FormulaOption(*this, text, start, end, action);

    // Declaration keywords.
    case 10: declParameter = 1; return ACTION_NEXT_STATE;
    case 13: declConst = 1; return ACTION_NEXT_STATE;
    case 270: declShared = 1; return ACTION_NEXT_STATE;
    case 280: declFunction = 1; return ACTION_NEXT_STATE;

    // Types.
    case 15:
        typePosition = start;
        return parseFunctionDatatype(text, start, end, row);
    case 131:
    case 132:
    case 140:
    case 177:
    case 186:
        return parseFunctionDatatype(text, start, end, row);

    // Arrays declared with "array ".
    case 16:
        if (declFunction) {
            ReportError(*this, text, start, end,
                        "Compiler error 817: Datatype for function must be complex or color.");
            return ACTION_FAILED;
        }
        declType = DT_ARRAY;
        return ACTION_NEXT_STATE;
    case 172:
        return DeclareArrayVariable(*this, text, start, end);
    case 178:
        resetDeclarationState();
        return ACTION_NEXT_STATE;

    // Names, variables and bracketed arrays.
    case 20:
    case 170:
    case 135:
    case 181:
        return declareParameter(text, start, end, row);
    case 22:
        return declareVariable(text, start, end, row);
    case 23: {
        int result = declareVariable(text, start, end, row);
        if (result != ACTION_FAILED)
            resetDeclarationState();
        return result;
    }
    case 190:
        return declareArray(text, start, end, row);
    case 192:
        return declareArrayDimension(text, start, end, row);
    case 194:
        return declareParameterArray(text, start, end, row);

    // Function heads and formal parameters.
    case 21:
    case 102:
        return FunctionHead(*this, text, start, end, action);
    case 133:
        declByReference = 1;
        return ACTION_NEXT_STATE;
    case 180:
        declType = DT_ARRAY;
        declByReference = 1;
        return ACTION_NEXT_STATE;
    case 183: {
        if (!CheckDimensionCount(*this, text, identifierPosition, end)) {
            DropPendingFunction(*this);
            return ACTION_FAILED;
        }
        FormulaSymbol* last = pendingFunction
                                  ? static_cast<FormulaSymbol*>(pendingFunction->locals.GetTail())
                                  : nullptr;
        if (last)
            last->value[0] = constantValue[0];
        return ACTION_NEXT_STATE;
    }
    case 137:
        if (pendingFunction)
            pendingFunction->textPositions[1] = start;
        return ACTION_NEXT_STATE;
    case 138:
        return FunctionPrototype(*this, text, start, end);
    case 139:
        return FunctionDefinition(*this, text, start, end);
    case 142:
        return DeclareLocal(*this, text, start, end);

    // Description block.
    case 113:
        return checkIdentifier(text, start, end, row);
    case 115:
    case 119:
        return assignProperty(text, start, end, row);
    case 117:
        return assignThisProperty(text, start, end, row);
    case 120:
        return assignPropertyExpression(text, start, end, row);
    case 123:
        return declareSeparator(text, start, end, row);

    // Import statements.
    case 160:
    case 162:
    case 164:
    case 165:
        return importStatement(text, start, end, row);

    default:
        return ACTION_NEXT_STATE;
    }
}

int FormulaCompiler::parseFunctionDatatype(const char* text, int start, int end, int row)
{
    struct TypeKeyword {
        const char* word;
        int type;
        int precision[4];  // by precisionLevel 0..3
    };
    static const TypeKeyword keywords[] = {
        {"complex", DT_COMPLEX, {PREC_DOUBLE, PREC_DOUBLE, PREC_DOUBLE, PREC_EXTENDED}},
        {"quaternion", DT_QUATERNION, {PREC_DOUBLE, PREC_DOUBLE, PREC_DOUBLE, PREC_EXTENDED}},
        {"vector", DT_VECTOR, {PREC_DOUBLE, PREC_DOUBLE, PREC_DOUBLE, PREC_EXTENDED}},
        {"double", DT_REAL, {PREC_DOUBLE, PREC_DOUBLE, PREC_DOUBLE, PREC_EXTENDED}},
        {"float", DT_REAL, {PREC_FLOAT, PREC_FLOAT, PREC_DOUBLE, PREC_EXTENDED}},
        {"real", DT_REAL, {PREC_EXTENDED, PREC_EXTENDED, PREC_EXTENDED, PREC_EXTENDED}},
        {"int", DT_INT, {-1, -1, -1, -1}},
        {"bool", DT_BOOL, {-1, -1, -1, -1}},
        {"void", DT_VOID, {-1, -1, -1, -1}},
        {"color", DT_COLOR, {-1, -1, -1, -1}},
    };
    const TypeKeyword* keyword = nullptr;
    for (const TypeKeyword& k : keywords) {
        if (strncmp(text + start, k.word, strlen(k.word)) == 0) {
            keyword = &k;
            break;
        }
    }
    if (!keyword)
        return ACTION_NEXT_STATE;

    if (declFunction && keyword->type != DT_COMPLEX && keyword->type != DT_COLOR) {
        ReportError(*this, text, start, end,
                    "Compiler error 819: Function datatype must be either complex or color");
        return ACTION_FAILED;
    }
    int level = precisionLevel < 0 ? 0 : precisionLevel > 3 ? 3 : precisionLevel;
    declType = keyword->type;
    declPrecision = keyword->precision[level];
    declByReference = 0;

    int action = ActionOf(row);
    if (action == 177) {
        for (ListNode* n = symbols.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (s->dataType == DT_ARRAY && s->precision == -1)
                SetElementType(*this, s);
        }
    } else if (action == 186 && pendingFunction) {
        FormulaSymbol* last = static_cast<FormulaSymbol*>(pendingFunction->locals.GetTail());
        if (last)
            SetElementType(*this, last);
    }
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::declareParameter(const char* text, int start, int end, int row)
{
    int action = ActionOf(row);
    if (action == 135 || action == 181)
        return FormalParameter(*this, text, start, end);
    CopyRange(identifier, sizeof identifier, text, start, end);
    identifierPosition = start;
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::declareVariable(const char* text, int start, int end, int row)
{
    bool first = isFirstCycle();
    if (identifier[0] == 0) {
        // The "," or ";" after a bracketed array, which declareArray has
        // declared. The names that follow in the same declaration are plain
        // variables of the element type again.
        if (declType == DT_PREDEFINED_ARRAY && arraySymbol) {
            declType = arraySymbol->precision;
            declPrecision = arraySymbol->elementPrecision;
        }
        return ACTION_NEXT_STATE;
    }
    char name[ListNode::NODE_NAME_SIZE];
    SymbolName(name, identifier);
    char hidden[ListNode::NODE_NAME_SIZE];
    snprintf(hidden, sizeof hidden, "__%s", identifier);
    if (first && (FindGlobal(*this, name) || FindGlobal(*this, hidden))) {
        char message[200];
        snprintf(message, sizeof message, "Compiler error 020: Variable %s has already been defined", name);
        ReportError(*this, text, identifierPosition, end, message);
        return ACTION_FAILED;
    }

    if (declFunction) {
        // A selectable function parameter: the hidden int "__name" holds the
        // index of the chosen function.
        bool isNew;
        FormulaSymbol* s = ObtainGlobal(*this, hidden, &isNew);
        if (isNew)
            s->dataOffset = TakeSlotAtTop(*this, 4, 4);
        // Set in every cycle: clearing the symbol for a later cycle drops
        // the enumerators, and the compiled symbols must keep them.
        SetEnumValues(s, declType == DT_COLOR ? g_MergeModeChoices : g_MathFunctionChoices);
        if (inputFuncParameters) {
            FormulaFuncParameter* given = static_cast<FormulaFuncParameter*>(
                findNodeByName(inputFuncParameters->GetHead(), identifier));
            if (given)
                s->value[0] = given->selected;
        }
        s->sourcePosition = start;
        s->variability = 0;
        s->shared = 0;
        s->dataType = DT_INT;
        s->precision = DT_ENUM;
        s->symbolClass = SYM_VARIABLE;
        s->currentType = DT_INT;
        s->nextType = DT_INT;
        s->assigned = FACT_NO;
        s->constant = FACT_YES;
        if (!first)
            CarryOver(*this, s, true);
        registerVariable(s, isNew);
    } else if (declType != DT_PREDEFINED_ARRAY) {
        // A variable of a formula compiled earlier for the same calculation
        // may share its slot.
        FormulaSymbol* linked = nullptr;
        if (sharedVariables) {
            FormulaSymbol* other = static_cast<FormulaSymbol*>(findNodeByName(sharedVariables->GetHead(), name));
            if (other && other->dataType == declType && other->precision == declPrecision &&
                (declShared || other->shared))
                linked = other;
        }
        bool isNew;
        FormulaSymbol* s = ObtainGlobal(*this, name, &isNew);
        if (isNew) {
            if (linked) {
                s->dataOffset = linked->dataOffset;
            } else {
                int alignment;
                int size = slotSizeAndAlign(declType, declPrecision, &alignment);
                s->dataOffset = TakeSlotAtTop(*this, size, alignment);
            }
        }
        s->sourcePosition = start;
        s->variability = declConst ? 0 : 1;
        if (declShared) {
            s->shared = 1;
            s->readCount = 1;
            s->writeCount = 1;
            s->variability = 1;
        } else {
            s->shared = 0;
        }
        s->dataType = declType;
        s->precision = declPrecision;
        if (declParameter) {
            s->symbolClass = SYM_PARAMETER;
            s->currentType = declType;
            s->nextType = declType;
            if (linked) {
                s->assigned = FACT_YES;
                s->constant = FACT_NO;
                s->variability = 1;
            } else if (parametersConstant) {
                // The optimizer may fold the parameter's value into the code.
                s->assigned = FACT_NO;
                s->constant = FACT_YES;
            } else {
                s->assigned = FACT_YES;
                s->constant = FACT_NO;
                s->variability = 1;
            }
        } else {
            s->symbolClass = SYM_VARIABLE;
            s->currentType = initialCurrentType(declType);
            s->nextType = -1;
            if (linked) {
                s->assigned = FACT_YES;
                s->constant = FACT_NO;
                s->variability = 1;
            }
        }
        if (!first)
            CarryOver(*this, s, true);
        registerVariable(s, isNew);
    }
    identifier[0] = 0;
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::declareArray(const char* text, int start, int end, int row)
{
    char name[ListNode::NODE_NAME_SIZE];
    SymbolName(name, identifier);
    bool first = isFirstCycle();
    if (first && FindGlobal(*this, name)) {
        char message[200];
        snprintf(message, sizeof message, "Compiler error 020: Variable %s has already been defined", name);
        ReportError(*this, text, identifierPosition, end, message);
        return ACTION_FAILED;
    }
    bool isNew;
    FormulaSymbol* s = ObtainGlobal(*this, name, &isNew);
    if (isNew) {
        s->dataOffset = dataTop;  // the address of the array's block
        dataTop += 4;
    }
    s->sourcePosition = start;
    s->symbolClass = declParameter ? SYM_PARAMETER : SYM_VARIABLE;
    s->dataType = DT_PREDEFINED_ARRAY;
    s->precision = declType;
    s->elementPrecision = declPrecision;
    s->currentType = DT_PREDEFINED_ARRAY;
    s->nextType = DT_PREDEFINED_ARRAY;
    s->value[0] = 0;  // the dimensions are counted as they are read
    declType = DT_PREDEFINED_ARRAY;
    if (!first) {
        CarryOver(*this, s, false);
        if (const FormulaSymbol* saved = FindSaved(*this, name))
            memcpy(s->defaultValue, saved->defaultValue, sizeof s->defaultValue);
    }
    arraySymbol = s;
    registerVariable(s, isNew);
    identifier[0] = 0;
    return ACTION_NEXT_STATE;
}

int FormulaCompiler::declareArrayDimension(char* text, int start, int end, int row)
{
    // The statement compiler records the expression; evaluating a size
    // given as an expression is its part (a later issue), which then takes
    // over the counting done here.
    int result = compileStatementExpression(text, start, end, row);
    FormulaSymbol* s = arraySymbol;
    if (!s || result == ACTION_FAILED)
        return result;
    int count = (int)s->value[0];
    if (count >= SYMBOL_MAX_DIMENSIONS) {
        ReportError(*this, text, start, end,
                    "Compiler error 617: The maximum array dimension supported in Spiralix is 5.");
        return ACTION_FAILED;
    }
    int last = end;
    while (last >= start && IsTrailingBlank(text[last]))
        --last;
    int size = 0;
    int cs, ce, next;
    double v[4];
    int type = scanConstant(text + start, &cs, &ce, &next, v, true);
    if ((type == DT_INT || type == DT_REAL) && start + next - 1 == last && v[0] >= 0 && v[0] < 2147483647.0)
        size = (int)v[0];
    else if (evaluatedDimension >= 0)
        size = evaluatedDimension;   // an expression, computed by the statement compiler
    s->dimensions[count] = size;
    s->value[0] = count + 1;
    return result;
}

int FormulaCompiler::declareParameterArray(const char* text, int start, int end, int row)
{
    FormulaSymbol* s = arraySymbol;
    if (!s)
        return ACTION_NEXT_STATE;
    if (s->symbolClass == SYM_PARAMETER && s->value[0] != 2.0) {
        ReportError(*this, text, identifierPosition, end,
                    "Compiler error 097: Parameter arrays must have two dimensions");
        return ACTION_FAILED;
    }
    int dimensions = (int)s->value[0];
    if (dimensions > SYMBOL_MAX_DIMENSIONS)
        dimensions = SYMBOL_MAX_DIMENSIONS;
    int64_t count = 1;
    for (int d = 0; d < dimensions; ++d) {
        count *= s->dimensions[d];
        if (count > ARRAY_MAX_ELEMENT_RECORDS || count < 0)
            break;
    }
    if (count >= 0 && count <= ARRAY_MAX_ELEMENT_RECORDS && s->symbolClass != SYM_PARAMETER &&
        s->makeElements((int)count)) {
        for (int i = 0; i < s->elementCount; ++i) {
            ArrayElementRecord& e = s->elements[i];
            e.assigned = e.constant = e.constantSure = e.runtimeRead = FACT_UNKNOWN;
        }
        const FormulaSymbol* saved = isFirstCycle() ? nullptr : FindSaved(*this, s->name);
        if (saved && saved->elementCount == s->elementCount && saved->elements) {
            for (int i = 0; i < s->elementCount; ++i) {
                ArrayElementRecord& e = s->elements[i];
                const ArrayElementRecord& o = saved->elements[i];
                e.assigned = o.assigned;
                e.constant = o.constant;
                e.constantSure = o.constantSure;
                e.runtimeRead = o.runtimeRead;
                memcpy(e.value, o.value, sizeof e.value);
                e.reserved[2] = o.reserved[0];
                e.reserved[3] = o.reserved[1];
            }
        }
    }
    return ACTION_NEXT_STATE;
}
