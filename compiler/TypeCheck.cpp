// The three walks that decide whether a postfix stream is well typed: the
// type check against the templates' signatures (with the arguments of
// builtin functions, arrays and calls), the operand count with the rules of
// the array function, and the check of assignments against the current
// types the optimizer keeps.
#include <stdio.h>
#include <string.h>

#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/OperationTypes.h"
#include "foundation/Buffers.h"
#include "foundation/MessageBox.h"

namespace {

bool IsMarker(int32_t t)
{
    return t == OPC_LPAREN || t == OPC_RPAREN;
}

bool InRange(int v, int low, int high)
{
    return v >= low && v <= high;
}

bool IsUnaryOperation(int op)
{
    return InRange(op, 1, 7) || InRange(op, 13, 31) || op == 40 || op == 41 || InRange(op, 45, 49) ||
           InRange(op, 51, 59) || InRange(op, 62, 69) || InRange(op, 71, 76) || op == 80 || op == 84 ||
           op == 85 || op == 114 || op == 115 || op == 137 || op == 139 || op == 140 || op == 146 ||
           op == 147 || op == 152 || op == 154;
}

bool IsBinaryOperation(int op)
{
    return InRange(op, 8, 12) || InRange(op, 32, 39) || op == 50 || op == 60 || op == 61 || op == 70;
}

bool IsFixedFunction(int op)
{
    return InRange(op, 103, 113) || InRange(op, 116, 136) || op == 138 || InRange(op, 141, 145) ||
           InRange(op, 148, 151);
}

bool IsArrayType(int type)
{
    return type == DT_ARRAY || type == DT_PREDEFINED_ARRAY;
}

bool IsRealLike(int type)
{
    return type == DT_REAL || type == DT_INT || type == DT_BOOL;
}

// Number of dimensions of an array symbol.
int Dimensions(const FormulaSymbol* s)
{
    return s ? (int)s->value[0] : 0;
}

// Number of parameter letters after "@@" of a decorated name.
int ParameterLetters(const FormulaFunction* f)
{
    const char* at = f ? strstr(f->decoratedName, "@@") : nullptr;
    return at ? (int)strlen(at + 2) : 0;
}

enum { MAX_ARGUMENTS = 64 };

// The operands on top of the parallel type and symbol stacks. Parenthesis
// markers stay on the type stack until the operation that takes their
// contents: every complete subexpression is one type entry, possibly
// enclosed in marker pairs.
class OperandStacks {
public:
    OperandStacks(IntStack* types, IntStack* symbols) : types(types), symbols(symbols) {}

    void Push(int32_t type, int32_t symbol)
    {
        types->push(type);
        symbols->push(symbol);
    }

    // Takes the top bracket group (the types between the "(" and ")"
    // markers on top, at any depth) or, without a group, the single type on
    // top. Types are returned left to right. False when the stack does not
    // hold such a group.
    bool TakeGroup(int32_t* typesOut, int32_t* symbolsOut, int* count)
    {
        *count = 0;
        int n = types->count();
        if (n == 0)
            return false;
        if (types->peek(0) != OPC_RPAREN) {
            if (IsMarker(types->peek(0)))
                return false;
            typesOut[0] = types->peek(0);
            symbolsOut[0] = symbols->peek(0);
            *count = 1;
            Drop(1);
            return true;
        }
        int depth = 0, k = 0, found = 0;
        int32_t collectedTypes[MAX_ARGUMENTS], collectedSymbols[MAX_ARGUMENTS];
        for (;; k++) {
            if (k >= n)
                return false;
            int32_t t = types->peek(k);
            if (t == OPC_RPAREN) {
                depth++;
            } else if (t == OPC_LPAREN) {
                if (--depth == 0)
                    break;
            } else if (found < MAX_ARGUMENTS) {
                collectedTypes[found] = t;
                collectedSymbols[found] = symbols->peek(k);
                found++;
            } else {
                return false;
            }
        }
        for (int i = 0; i < found; i++) {
            typesOut[i] = collectedTypes[found - 1 - i];
            symbolsOut[i] = collectedSymbols[found - 1 - i];
        }
        *count = found;
        Drop(k + 1);
        return true;
    }

    // Takes the last count operands, each of them possibly in brackets,
    // left to right. False when fewer are there.
    bool TakeOperands(int count, int32_t* typesOut, int32_t* symbolsOut)
    {
        int n = types->count();
        int depth = 0, k = 0, found = 0;
        while (found < count || depth > 0) {
            if (k >= n)
                return false;
            int32_t t = types->peek(k);
            if (t == OPC_RPAREN) {
                depth++;
            } else if (t == OPC_LPAREN) {
                if (depth == 0)
                    return false;   // the "(" of an enclosing group: an operand is missing
                depth--;
            } else if (found < count) {
                typesOut[count - 1 - found] = t;
                symbolsOut[count - 1 - found] = symbols->peek(k);
                found++;
            }
            // A further value inside a group of the last operand (a stray
            // comma) is dropped with it; the operand count refuses the
            // expression.
            k++;
        }
        Drop(k);
        return true;
    }

    void Drop(int n)
    {
        types->drop(n);
        symbols->drop(n);
    }

private:
    IntStack* types;
    IntStack* symbols;
};

void SetText(GrowBuffer* message, const char* text)
{
    if (!message)
        return;
    int length = (int)strlen(text);
    message->Reserve(length + 1);
    if (message->GetData() && message->GetCapacity() >= length + 1)
        memcpy(message->GetData(), text, (size_t)length + 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Tables

int OperationStackEffect(int op)
{
    if (InRange(op, 8, 12) || InRange(op, 32, 39) || op == 43 || op == 61 || InRange(op, 118, 136) ||
        op == 138 || op == 145 || op == 148)
        return 1;
    if (op == 103 || op == 105 || op == 116 || op == 117 || op == 141 || op == 150 || op == 151)
        return 2;
    if (op == 104 || op == 106 || op == 149)
        return 3;
    if (op == 42 || op == 50 || op == 60 || op == 153)
        return -1;
    return 0;
}

int TypeWidth(int type)
{
    switch (type) {
    case DT_REAL:
    case DT_INT:
    case DT_BOOL:
        return 1;
    case DT_COMPLEX:
        return 2;
    case DT_QUATERNION:
        return 3;
    default:
        return 100;
    }
}

static int PairType(int type, const char** name)
{
    switch (type) {
    case DT_COMPLEX: *name = "complex"; return DT_COMPLEX;
    case DT_REAL:
    case DT_INT:
    case DT_BOOL: *name = "real"; return DT_REAL;
    case DT_QUATERNION: *name = "quaternion"; return DT_QUATERNION;
    case DT_VECTOR: *name = "vector"; return DT_VECTOR;
    default: *name = "color"; return DT_COLOR;
    }
}

void typePairName(int left, int right, int32_t types[2], char* text, int size)
{
    const char* leftName;
    const char* rightName;
    types[0] = PairType(left, &leftName);
    types[1] = PairType(right, &rightName);
    snprintf(text, (size_t)size, "%s and %s", leftName, rightName);
}

int32_t SingleOperandType(int type, const char** name)
{
    switch (type) {
    case DT_QUATERNION: *name = "quaternion"; return DT_QUATERNION;
    case DT_VECTOR: *name = "vector"; return DT_VECTOR;
    case DT_COMPLEX: *name = "complex"; return DT_COMPLEX;
    case DT_COLOR: *name = "color"; return DT_COLOR;
    default: *name = "real,float,double,int,bool"; return DT_REAL;
    }
}

FormulaFunction* FormulaCompiler::functionByIndex(int index) const
{
    for (ListNode* n = functions.GetHead(); n; n = n->next) {
        FormulaFunction* f = static_cast<FormulaFunction*>(n);
        if (f->index == index)
            return f;
    }
    return nullptr;
}

IntStack* FormulaCompiler::workStack(int i)
{
    if (!workStacks[i])
        workStacks[i] = new IntStack(i < 4 ? 200 : 100);
    return workStacks[i];
}

// ---------------------------------------------------------------------------
// Type check

int FormulaCompiler::checkTypes(const int32_t* input, int inputPosition, GrowBuffer* output, int* outputCount)
{
    workStack(1)->clear();
    workStack(2)->clear();
    OperandStacks stacks(workStack(1), workStack(2));
    int openAssignments = 0;
    int written = 0;
    *outputCount = 0;
    errorText[0] = 0;
    checkedType = DT_VOID;

    bool room = true;
    auto emit = [&](int32_t w) {
        output->ReserveSlack((written + 2) * (int)sizeof(int32_t), 200);
        if (!output->GetData() || output->GetCapacity() < (written + 2) * (int)sizeof(int32_t)) {
            room = false;
            return;
        }
        static_cast<int32_t*>(output->GetData())[written++] = w;
    };
    auto missingOperands = [&]() {
        snprintf(errorText, sizeof errorText, "Number of operands doesn't match the number of operators");
        return 2;
    };

    int32_t argTypes[MAX_ARGUMENTS], argSymbols[MAX_ARGUMENTS];
    int argCount = 0;
    for (int i = inputPosition; input[i] != OPC_END; i += ElementWords(input[i])) {
        int32_t e = input[i];
        if (!room)
            return 1;
        if (IsMarker(e)) {
            stacks.Push(e, 0);
            continue;
        }
        if (e == OPC_VARIABLE) {
            int32_t id = input[i + 1];
            emit(e);
            emit(id);
            if (id >= 1 && id <= 21) {
                stacks.Push(DT_REAL, id);
            } else if (FormulaSymbol* s = findVariable(id)) {
                stacks.Push(s->dataType, id);
            }
            continue;
        }
        if (e == OPC_ARRAY_READ || e == OPC_ARRAY_STORE) {
            int32_t id = input[i + 1];
            emit(e);
            emit(id);
            FormulaSymbol* s = findVariable(id);
            if (!stacks.TakeGroup(argTypes, argSymbols, &argCount))
                return missingOperands();
            for (int k = 0; k < argCount; k++) {
                if (argTypes[k] != DT_REAL && argTypes[k] != DT_INT) {
                    snprintf(errorText, sizeof errorText,
                             "Compiler Error 764: Array dimension must be an integer value.");
                    return 1;
                }
            }
            // An index on a symbol that is no array does not match its
            // declaration either.
            if (!s || !IsArrayType(s->dataType) || argCount != Dimensions(s)) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 765: Array dimension does not match array declaration.");
                return 1;
            }
            if (e == OPC_ARRAY_READ)
                stacks.Push(s->precision, 0);
            else
                openAssignments++;
            continue;
        }
        if (e == OPC_STORE) {
            emit(e);
            emit(input[i + 1]);
            openAssignments++;
            continue;
        }
        if (e == OPC_INDEX_MARK) {
            emit(e);
            continue;
        }
        if (e == OP_ASSIGN) {
            emit(e);
            openAssignments--;
            continue;
        }
        if (IsUnaryOperation(e)) {
            int lookup = e == OP_OLDZ && subKind == SK_QUATERNION ? OP_QUATERNION_OLDZ : e;
            if (!stacks.TakeGroup(argTypes, argSymbols, &argCount) || argCount != 1)
                return missingOperands();
            const char* listName;
            int32_t signature = SingleOperandType(argTypes[0], &listName);
            const OperationType* t = FindOperationType(lookup, &signature, 1);
            if (!t) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 767: Operation \"%s\" with number type \"%s\" not supported",
                         OperationDisplayName(lookup), listName);
                return 1;
            }
            emit(e);
            stacks.Push(t->resultType, 0);
            continue;
        }
        if (IsBinaryOperation(e)) {
            if (!stacks.TakeOperands(2, argTypes, argSymbols))
                return missingOperands();
            int32_t signature[2];
            char pair[64];
            typePairName(argTypes[0], argTypes[1], signature, pair, sizeof pair);
            const OperationType* t = FindOperationType(e, signature, 2);
            if (!t) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 768: Operation \"%s\" with number types \"%s\" not supported",
                         OperationDisplayName(e), pair);
                return 1;
            }
            emit(e);
            stacks.Push(t->resultType, 0);
            continue;
        }
        if (e == OP_ARRAY) {
            if (!stacks.TakeGroup(argTypes, argSymbols, &argCount))
                return missingOperands();
            for (int k = 0; k < argCount; k++) {
                if (argTypes[k] != DT_REAL && argTypes[k] != DT_INT) {
                    snprintf(errorText, sizeof errorText,
                             "Compiler Error 763: Array dimension must be an integer value.");
                    return 1;
                }
            }
            emit(e);
            stacks.Push(DT_ARRAY, 0);
            continue;
        }
        if (IsFixedFunction(e)) {
            const OperationType* t = FindOperationType(e, nullptr, 0);
            if (!t || !stacks.TakeGroup(argTypes, argSymbols, &argCount) || argCount != t->operandCount)
                return missingOperands();
            for (int k = 0; k < argCount; k++) {
                const char* need = nullptr;
                switch (t->operandTypes[k]) {
                case DT_REAL:
                    if (!IsRealLike(argTypes[k]))
                        need = "a float value";
                    break;
                case DT_ARRAY:
                    if (!IsArrayType(argTypes[k]))
                        need = "an array";
                    break;
                case DT_COLOR:
                    if (argTypes[k] != DT_COLOR)
                        need = "a color";
                    break;
                case DT_VECTOR:
                    if (argTypes[k] != DT_VECTOR)
                        need = "a vector";
                    break;
                default:
                    break;
                }
                if (need) {
                    snprintf(errorText, sizeof errorText,
                             "Compiler Error 768: Illegal parameter datatype for function: The %d. "
                             "parameter must be %s.",
                             k + 1, need);
                    return 1;
                }
            }
            emit(e);
            stacks.Push(t->resultType, 0);
            continue;
        }
        if (e == OP_RANDOM_REAL) {
            const OperationType* t = FindOperationType(e, nullptr, 0);
            if (!t) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 767: Operation \"%s\" with number type \"%s\" not supported",
                         OperationDisplayName(e), "()");
                return 1;
            }
            emit(e);
            stacks.Push(t->resultType, 0);
            continue;
        }
        if (IsFuncParameterCall(e)) {
            FormulaFuncParameter* p = findFuncParameterById(funcParameters.GetHead(), e - OPC_FUNC_PARAMETER);
            argCount = 0;
            if (workStack(1)->peek(0) == OPC_RPAREN && !stacks.TakeGroup(argTypes, argSymbols, &argCount))
                return missingOperands();
            int32_t type;
            if (argCount == 2 && argTypes[0] == DT_COLOR && argTypes[1] == DT_COLOR) {
                if (p)
                    p->functionTable = 1;
                type = DT_COLOR;
            } else if (argCount == 1 && (argTypes[0] == DT_COMPLEX || IsRealLike(argTypes[0]))) {
                type = argTypes[0];
            } else if (input[i + 1] == OPC_VARIABLE && input[i + 3] == OP_EQUAL) {
                // The selected function's index, compared with a function
                // name.
                type = DT_INT;
            } else {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 765: Illegal function call: A function with the name \"%s\" has "
                         "not been declared.",
                         p ? p->name : "");
                return 1;
            }
            emit(e);
            stacks.Push(type, 0);
            continue;
        }
        if (IsUserFunctionCall(e)) {
            FormulaFunction* named = functionByIndex(e - OPC_USER_FUNCTION);
            argCount = 0;
            if (workStack(1)->peek(0) == OPC_RPAREN && !stacks.TakeGroup(argTypes, argSymbols, &argCount))
                return missingOperands();
            char decorated[FUNCTION_DECORATED_NAME_SIZE + MAX_ARGUMENTS];
            int length = snprintf(decorated, FUNCTION_DECORATED_NAME_SIZE, "C%s@@", named ? named->name : "");
            if (length >= FUNCTION_DECORATED_NAME_SIZE)
                length = FUNCTION_DECORATED_NAME_SIZE - 1;
            for (int k = 0; k < argCount; k++)
                decorated[length++] = DataTypeLetter(argTypes[k]);
            decorated[length] = 0;
            FormulaFunction* f = named ? findFunction(&functions, decorated) : nullptr;
            if (!f) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 766: Invalid function call: Function %s has not been defined.",
                         named ? named->name : "");
                return 1;
            }
            emit(OPC_USER_FUNCTION + f->index);
            for (int k = 0; k < argCount; k++) {
                const FormulaSymbol* formal =
                    findSymbolById(&f->locals, (int32_t)(SYMBOL_ID_LOCAL | (uint32_t)(k + 1)));
                if (!formal || !formal->byReference || !argSymbols[k])
                    continue;
                if (FormulaSymbol* argument = findVariable(argSymbols[k])) {
                    argument->currentType = argument->dataType;
                    argument->writeCount++;
                }
            }
            if (currentFunction)
                currentFunction->addCallSite(f);
            stacks.Push(f->resultType, 0);
            continue;
        }
        g_ErrorBox.Show("Error", "Internal Compiler Error: Unknown operand, memory corrupt, please inform author");
        snprintf(errorText, sizeof errorText,
                 "Internal Compiler Error: Unknown operand, memory corrupt, please inform author");
        return 1;
    }
    emit(OPC_END);
    if (!room)
        return 1;
    *outputCount = written - 1;
    checkedType = DT_VOID;
    for (int k = 0; k < workStack(1)->count(); k++) {
        int32_t t = workStack(1)->peek(k);
        if (!IsMarker(t)) {
            checkedType = t;
            break;
        }
    }
    if (openAssignments != 0) {
        snprintf(errorText, sizeof errorText,
                 "Compiler Error 769: Assignments do not match: Number of \"=\" signs does not match the "
                 "number of assigned variables.");
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Operand count and the array function

int FormulaCompiler::checkArrayFunctionUse(const int32_t* input)
{
    int depth = 0;
    FormulaSymbol* target = nullptr;
    for (int i = 0;; i += ElementWords(input[i])) {
        int32_t e = input[i];
        if (e == OPC_END)
            return depth == 1 ? i : -1;
        if (IsFuncParameterCall(e)) {
            FormulaFuncParameter* p = findFuncParameterById(funcParameters.GetHead(), e - OPC_FUNC_PARAMETER);
            if (p && p->functionTable == 1)
                depth -= 1;
        } else if (IsUserFunctionCall(e)) {
            FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION);
            int n = ParameterLetters(f);
            if (f && f->resultType == DT_VOID) {
                if (input[i + 1] != OPC_END)
                    return -1;
                depth -= n;
                if (depth == 0)
                    return i + 1;
            } else {
                depth += 1 - n;
            }
        } else if (e == OP_ARRAY) {
            if (input[i + 1] != OP_ASSIGN) {
                snprintf(errorText, sizeof errorText, "Result of array function cannot be used for calculations.");
                return -2;
            }
            if (!target || target->dataType != DT_ARRAY) {
                snprintf(errorText, sizeof errorText,
                         "Result of array function must be assigned to a variable of type \"array\"");
                return -2;
            }
            depth += 1 - Dimensions(target);
            if (depth != 2) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 618: Dimension of array variable must match dimension of array "
                         "function.");
                return -2;
            }
            continue;
        } else if (e == OPC_ARRAY_READ || e == OPC_ARRAY_STORE) {
            depth += 1 - Dimensions(findVariable(input[i + 1]));
        } else if (e == OPC_STORE) {
            target = findVariable(input[i + 1]);
            depth += 1;
        } else if (e == OPC_INDEX_MARK) {
            continue;
        } else if (e >= 256) {
            depth += 1;
        } else {
            depth -= OperationStackEffect(e);
        }
        if (depth < 1)
            return -1;
    }
}

// ---------------------------------------------------------------------------
// Assignments against the current types

int FormulaCompiler::checkReturntype(const int32_t* s, GrowBuffer* message)
{
    IntStack* types = workStack(3);
    IntStack* targets = workStack(4);
    types->clear();
    targets->clear();
    int lastAssigned = DT_VOID;
    auto fail = [&](const char* text) {
        SetText(message, text);
        return -1;
    };
    auto popType = [&]() { return types->pop(); };

    for (int i = 0; s[i] != OPC_END; i += ElementWords(s[i])) {
        int32_t e = s[i];
        if (e == OPC_VARIABLE) {
            int32_t id = s[i + 1];
            if (id >= -1000 && id <= -1) {
                types->push(DT_REAL);
                continue;
            }
            FormulaSymbol* sym = findVariable(id);
            if (!sym)
                continue;
            if (TypeWidth(sym->currentType) < TypeWidth(sym->readType))
                sym->readType = sym->currentType;
            if (IsArrayType(sym->dataType)) {
                types->push(sym->dataType);
                continue;
            }
            switch (sym->currentType) {
            case DT_COMPLEX:
            case DT_QUATERNION:
            case DT_VECTOR:
            case DT_REAL:
            case DT_COLOR:
                types->push(sym->currentType);
                break;
            case DT_INT:
            case DT_BOOL:
                types->push(DT_INT);
                break;
            default:
                break;
            }
            continue;
        }
        if (e == OP_ASSIGN) {
            int assigned = types->peek(0);
            int32_t id, kind;
            targets->pop2(&kind, &id);
            FormulaSymbol* sym = findVariable(id);
            if (!sym)
                continue;
            lastAssigned = assigned;
            int targetType = sym->dataType;
            if (kind == OPC_STORE) {
                if (TypeWidth(sym->currentType) < TypeWidth(assigned) &&
                    TypeWidth(sym->dataType) >= TypeWidth(assigned))
                    sym->currentType = assigned;
            } else {
                targetType = sym->precision;
            }
            if (targetType == DT_COLOR && assigned != DT_COLOR)
                return fail("You cannot assign a numerical value to a color variable");
            if (targetType != DT_COLOR && assigned == DT_COLOR)
                return fail("You cannot assign a color to a numerical variable");
            if (targetType == DT_VECTOR && assigned != DT_VECTOR)
                return fail("You cannot assign a non vector value to a vector variable");
            if (targetType != DT_VECTOR && assigned == DT_VECTOR)
                return fail("You cannot assign a vector to a non vector variable");
            continue;
        }
        if (e == OPC_ARRAY_STORE || e == OPC_STORE) {
            if (e == OPC_ARRAY_STORE)
                types->drop(Dimensions(findVariable(s[i + 1])));
            targets->push2(s[i + 1], e);
            continue;
        }
        if (e == OPC_ARRAY_READ) {
            FormulaSymbol* sym = findVariable(s[i + 1]);
            types->drop(Dimensions(sym));
            int element = sym ? sym->precision : DT_REAL;
            switch (element) {
            case DT_INT:
            case DT_BOOL: element = DT_INT; break;
            case DT_COMPLEX:
            case DT_QUATERNION:
            case DT_COLOR:
            case DT_VECTOR: break;
            default: element = DT_REAL; break;
            }
            types->push(element);
            continue;
        }
        if (e == OPC_INDEX_MARK)
            continue;
        if (e == OP_ARRAY)
            return lastAssigned;
        if (IsUnaryOperation(e)) {
            int lookup = e == OP_OLDZ && subKind == SK_QUATERNION ? OP_QUATERNION_OLDZ : e;
            const char* name;
            int32_t signature = SingleOperandType(popType(), &name);
            const OperationType* t = FindOperationType(lookup, &signature, 1);
            types->push(t ? t->resultType : DT_COMPLEX);
            continue;
        }
        if (InRange(e, 8, 12) || InRange(e, 32, 39) || e == 61) {
            int right = popType();
            int left = popType();
            int32_t signature[2];
            char pair[64];
            typePairName(left, right, signature, pair, sizeof pair);
            const OperationType* t = FindOperationType(e, signature, 2);
            types->push(t ? t->resultType : DT_COMPLEX);
            continue;
        }
        int drop = -1, result = DT_REAL;
        switch (e) {
        case 103: case 105: case 116: case 117: drop = 3; result = DT_COLOR; break;
        case 104: case 106: drop = 4; result = DT_COLOR; break;
        case 107: case 108: case 109: case 110: case 111: case 112: case 113:
        case 142: case 143: case 144: drop = 1; result = DT_REAL; break;
        case 138: drop = 2; result = DT_REAL; break;
        case 141: case 151: drop = 3; result = DT_VECTOR; break;
        case 145: drop = 2; result = DT_VECTOR; break;
        case 148: drop = 2; result = DT_COMPLEX; break;
        case 149: drop = 4; result = DT_QUATERNION; break;
        case 150: drop = 3; result = DT_REAL; break;
        case OP_RANDOM_REAL: {
            const OperationType* t = FindOperationType(e, nullptr, 0);
            drop = 0;
            result = t ? t->resultType : DT_REAL;
            break;
        }
        default:
            if (InRange(e, 118, 136)) {
                drop = 2;
                result = DT_COLOR;
            }
            break;
        }
        if (drop >= 0) {
            types->drop(drop);
            types->push(result);
            continue;
        }
        if (IsFuncParameterCall(e)) {
            FormulaFuncParameter* p = findFuncParameterById(funcParameters.GetHead(), e - OPC_FUNC_PARAMETER);
            int last = popType();
            if (p && p->functionTable == 1)
                last = popType();
            types->push(last);
            continue;
        }
        if (IsUserFunctionCall(e)) {
            FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION);
            types->drop(ParameterLetters(f));
            types->push(f ? f->resultType : DT_VOID);
            continue;
        }
        return fail("Internal Compiler Error: checkReturntype encountered an invalid element. Please inform the "
                    "author");
    }
    int result = types->isEmpty() ? DT_VOID : types->peek(0);
    return result < 0 ? DT_VOID : result;
}
