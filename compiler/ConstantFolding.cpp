// Constant folding: the parts of an expression that do not change during a
// calculation (literals, constants, parameters fixed for the compile) are
// computed once while compiling. The constant part is compiled with the
// ordinary code generator, run once on the data block, and its value
// replaces the elements as one constant, so a folded value is always the
// value the running code would have computed.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "foundation/Messages.h"
#include "compiler/CodeEmit.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/OperationTypes.h"
#include "compiler/Scanners.h"
#include "compiler/StreamWalk.h"
#include "foundation/Buffers.h"

using streamwalk::Operand;

// ---------------------------------------------------------------------------
// Stream walking helpers

namespace streamwalk {

namespace {

bool InRange(int v, int low, int high) { return v >= low && v <= high; }

bool IsBinary(int op)
{
    return InRange(op, 8, 12) || InRange(op, 32, 39) || op == 50 || op == 60 || op == 61 || op == 70;
}

bool IsUnary(int op)
{
    return InRange(op, 1, 7) || InRange(op, 13, 31) || op == 40 || op == 41 || InRange(op, 45, 49) ||
           InRange(op, 51, 59) || InRange(op, 62, 69) || InRange(op, 71, 76) || op == 80 || op == 84 ||
           op == 85 || op == 114 || op == 115 || op == 137 || op == 139 || op == 140 || op == 146 ||
           op == 147 || op == 152 || op == 154;
}

bool IsFixedFunction(int op)
{
    return InRange(op, 103, 113) || InRange(op, 116, 136) || op == 138 || InRange(op, 141, 145) ||
           InRange(op, 148, 151);
}

int ParameterLetters(const FormulaFunction* f)
{
    const char* at = f ? strstr(f->decoratedName, "@@") : nullptr;
    return at ? (int)strlen(at + 2) : -1;
}

}  // namespace

int OperandCount(const FormulaCompiler& compiler, int32_t e)
{
    if (IsBinary(e))
        return 2;
    if (IsUnary(e))
        return 1;
    if (e == OP_RANDOM_REAL)
        return 0;
    if (IsFixedFunction(e)) {
        const OperationType* t = FindOperationType(e, nullptr, 0);
        return t ? t->operandCount : -1;
    }
    if (IsUserFunctionCall(e))
        return ParameterLetters(compiler.functionByIndex(e - OPC_USER_FUNCTION));
    return -1;
}

int ResultType(const FormulaCompiler& compiler, int32_t e, const int32_t* types, int count)
{
    if (IsUserFunctionCall(e)) {
        const FormulaFunction* f = compiler.functionByIndex(e - OPC_USER_FUNCTION);
        return f ? f->resultType : -1;
    }
    const OperationType* t = nullptr;
    if (IsBinary(e) && count == 2) {
        int32_t signature[2];
        char pair[64];
        typePairName(types[0], types[1], signature, pair, sizeof pair);
        t = FindOperationType(e, signature, 2);
    } else if (IsUnary(e) && count == 1) {
        int lookup = e == OP_OLDZ && compiler.subKind == SK_QUATERNION ? OP_QUATERNION_OLDZ : e;
        const char* name;
        int32_t signature = SingleOperandType(types[0], &name);
        t = FindOperationType(lookup, &signature, 1);
    } else {
        t = FindOperationType(e, nullptr, 0);
    }
    return t ? t->resultType : -1;
}

bool HasSideEffect(const int32_t* stream, int first, int last)
{
    for (int i = first; i <= last; i += ElementWords(stream[i])) {
        int32_t e = stream[i];
        if (IsUserFunctionCall(e) || e == OPC_STORE || e == OPC_ARRAY_STORE || e == OP_ASSIGN || e == 41 ||
            e == OP_ARRAY)
            return true;
    }
    return false;
}

int Splice(int32_t* stream, int first, int last, const int32_t* words, int n)
{
    int length = last - first + 1;
    int removed = length - n;
    if (n > 0)
        memcpy(stream + first, words, (size_t)n * sizeof(int32_t));
    if (removed > 0) {
        int tail = StreamWords(stream + last + 1) + 1;   // through the end word
        memmove(stream + first + n, stream + last + 1, (size_t)tail * sizeof(int32_t));
    }
    return removed;
}

}  // namespace streamwalk

// ---------------------------------------------------------------------------
// Symbols

namespace {

// Operations whose value depends on the calculation or changes it even
// when their operands are fixed: never folded.
bool RunsAtRunTime(int32_t e)
{
    switch (e) {
    case 41:                  // srand seeds the generator
    case OP_OLDZ:
    case OP_QUATERNION_OLDZ:
    case 114:                 // random follows the seed
    case OP_GRADIENT:         // the palette of the calculation
    case OP_GRADIENT_INSIDE:
    case 138:                 // ubound of an array block
    case 149:                 // noise functions read the calculation's tables
    case 150:
    case 151:
    case 152:                 // trafoHistory
    case OP_RANDOM_REAL:
        return true;
    default:
        return false;
    }
}

bool IsArrayType(int type) { return type == DT_ARRAY || type == DT_PREDEFINED_ARRAY; }

// Whether the words first..last do more than compute a value: calls,
// stores, and what reads or moves the state of the calculation
// (randomReal's generator, oldz, trafoHistory).
bool ChangesState(const int32_t* stream, int first, int last)
{
    if (streamwalk::HasSideEffect(stream, first, last))
        return true;
    for (int i = first; i <= last; i += ElementWords(stream[i])) {
        if (stream[i] == OP_RANDOM_REAL || stream[i] == 152 || stream[i] == OP_OLDZ ||
            stream[i] == OP_QUATERNION_OLDZ)
            return true;
    }
    return false;
}

// Whether a constant value is held exactly by a variable of the type, so
// that storing it now gives what the running store would give.
bool FitsType(int type, const double v[4])
{
    switch (type) {
    case DT_QUATERNION:
        return true;
    case DT_COMPLEX:
        return v[2] == 0 && v[3] == 0;
    case DT_REAL:
        return v[1] == 0 && v[2] == 0 && v[3] == 0;
    case DT_INT:
        return v[1] == 0 && v[2] == 0 && v[3] == 0 && v[0] == floor(v[0]) && fabs(v[0]) < 2147483647.0;
    case DT_BOOL:
        return v[1] == 0 && v[2] == 0 && v[3] == 0 && (v[0] == 0 || v[0] == 1);
    default:
        return false;
    }
}

// Types a folded value can take: the number types and bool.
bool FoldableType(int type) { return type >= DT_COMPLEX && type <= DT_QUATERNION; }

}  // namespace

bool FormulaCompiler::isFoldableSymbol(FormulaSymbol* s)
{
    if (!s)
        return false;
    if (s->variability == 0)
        return true;
    if (s->assigned == FACT_NO && s->constant != FACT_NO) {
        s->runtimeRead = FACT_NO;
        return true;
    }
    return false;
}

bool FormulaCompiler::operandValue(FormulaSymbol* s, double v[4]) const
{
    v[0] = v[1] = v[2] = v[3] = 0.0;
    if (!s)
        return false;
    switch (s->symbolClass) {
    case SYM_PARAMETER: {
        if (!inputSymbols || !(s->variability == 0 || (s->assigned == FACT_NO && s->constant != FACT_NO)))
            return false;
        const FormulaSymbol* given = static_cast<const FormulaSymbol*>(inputSymbols->Find(s->name));
        if (!given)
            return false;
        memcpy(v, given->value, 4 * sizeof(double));
        return true;
    }
    case SYM_VARIABLE:
    case SYM_CONSTANT:
        memcpy(v, s->value, 4 * sizeof(double));
        return true;
    case SYM_PREDEFINED:
        // Values of the calculation (e, pi, width, magn ...) are bound into
        // the data block, not into the symbol: only the small integers
        // (no slot) carry their value here.
        if (s->variability != 0 || s->dataOffset >= 0)
            return false;
        memcpy(v, s->value, 4 * sizeof(double));
        return true;
    default:
        return false;
    }
}

FormulaSymbol* FormulaCompiler::makeConstantSymbol(const char* format, int type, const double values[4])
{
    FormulaSymbol* s = new FormulaSymbol();
    char name[ListNode::NODE_NAME_SIZE];
    snprintf(name, sizeof name, format, constantCounter++);
    s->SetName(name);
    s->symbolClass = SYM_CONSTANT;
    s->dataType = type;
    s->precision = precisionLevel == 3 ? PREC_EXTENDED : PREC_DOUBLE;
    s->currentType = s->nextType = type;
    s->variability = 0;
    s->assigned = FACT_NO;
    s->constant = FACT_YES;
    s->constantSure = FACT_YES;
    s->runtimeRead = FACT_NO;
    memcpy(s->value, values, 4 * sizeof(double));
    int alignment = 8;
    int size = slotSizeAndAlign(type, s->precision, &alignment);
    dataBottom -= size;
    alignSlot(&dataBottom, alignment);
    s->dataOffset = dataBottom;
    s->id = (int32_t)(SYMBOL_ID_COMPILER | (uint32_t)(symbols.nextIds[1]++ & 0x3FFFFFFF));
    registerVariable(s, true);
    return s;
}

// ---------------------------------------------------------------------------
// Evaluation

int FormulaCompiler::foldRange(int32_t* stream, int first, int last, double values[4], int expectedType, bool keep,
                               int* removed)
{
    values[0] = values[1] = values[2] = values[3] = 0.0;
    if (removed)
        *removed = 0;
    if (!dataBlock || !dataBlock->GetBase()) {
        snprintf(errorText, sizeof errorText, "Internal Compiler Error: Unknown error while creating constants.");
        return 1;
    }

    // 1. The temporary that receives the value: four components, or the
    // colour or vector itself.
    FormulaSymbol* temporary = new FormulaSymbol();
    char name[ListNode::NODE_NAME_SIZE];
    snprintf(name, sizeof name, "INFO: constant expression %d", constantCounter++);
    temporary->SetName(name);
    temporary->symbolClass = SYM_CONSTANT;
    temporary->dataType = expectedType >= DT_COMPLEX && expectedType <= DT_QUATERNION ? DT_QUATERNION : expectedType;
    temporary->precision = precisionLevel == 3 ? PREC_EXTENDED : PREC_DOUBLE;
    temporary->currentType = temporary->nextType = temporary->dataType;
    temporary->variability = 1;
    int savedBottom = dataBottom;
    dataBottom -= 64;
    alignSlot(&dataBottom, 8);
    temporary->dataOffset = dataBottom;
    temporary->id = (int32_t)(SYMBOL_ID_COMPILER | (uint32_t)(symbols.nextIds[1]++ & 0x3FFFFFFF));
    registerVariable(temporary, true);
    int afterTemporary = dataBottom;

    // 2. "temporary = elements".
    int words = last - first + 1;
    int32_t* assignment = new int32_t[words + 5];
    assignment[0] = OPC_STORE;
    assignment[1] = temporary->id;
    memcpy(assignment + 2, stream + first, (size_t)words * sizeof(int32_t));
    assignment[words + 2] = OP_ASSIGN;
    assignment[words + 3] = OPC_END;
    assignment[words + 4] = OPC_END;

    // 3. Compiled into a scratch buffer, 4. framed and run.
    GrowBuffer scratch(500);
    GrowBuffer* savedCode = functionCode;
    int savedPosition = codePosition;
    int savedCalls = callsCompiled;
    functionCode = &scratch;
    codePosition = 0;
    uint8_t jumpBytes[2] = {0, 0};
    int error = 0;
    generateExpression(assignment, false, jumpBytes, &error, false, false, true);
    int length = codePosition;
    functionCode = savedCode;
    codePosition = savedPosition;
    callsCompiled = savedCalls;
    bool ok = error == 0;
    if (ok) {
        scratch.Reserve(length + 16);
        uint8_t* code = static_cast<uint8_t*>(scratch.GetData());
        ok = code && scratch.GetCapacity() >= length + 16;
        if (ok) {
            wrapEnterLeave(code, &length);
            code[length++] = 0xC3;
            runSnippet(code, length, assignment, values, temporary);
        }
    }
    delete[] assignment;
    symbols.Remove(temporary);
    delete temporary;
    // The temporary's bytes go back; the spills below it stay taken only
    // while nothing else uses them, so the bottom returns fully.
    (void)afterTemporary;
    dataBottom = savedBottom;
    if (!ok) {
        if (!errorText[0])
            snprintf(errorText, sizeof errorText,
                     "Internal Compiler Error: Unknown error while creating constants.");
        return 1;
    }
    if (keep)
        return 0;

    // 5. The value becomes one element of the expected type: a small integer
    // where it is one and the type is real-like, else a new constant.
    int32_t id;
    bool integral = values[1] == 0 && values[2] == 0 && values[3] == 0 && values[0] == floor(values[0]) &&
                    values[0] >= -10 && values[0] <= 10;
    if (integral && (expectedType == DT_REAL || expectedType == DT_INT || expectedType == DT_BOOL)) {
        id = encodeSmallInt((int)values[0]);
    } else {
        int type = expectedType == DT_INT || expectedType == DT_BOOL ? DT_REAL : expectedType;
        id = makeConstantSymbol("INFO:created constant value %d", type, values)->id;
    }
    int32_t replacement[2] = {OPC_VARIABLE, id};
    int gone = streamwalk::Splice(stream, first, last, replacement, 2);
    if (removed)
        *removed = gone;
    return 0;
}

bool FormulaCompiler::evaluateConstantExpression(const int32_t* stream, int n, int expectedType, double values[4])
{
    values[0] = values[1] = values[2] = values[3] = 0.0;
    if (!stream || n <= 0)
        return false;
    int words = n;
    int32_t* copy = new int32_t[words + 2];
    memcpy(copy, stream, (size_t)words * sizeof(int32_t));
    copy[words] = OPC_END;
    copy[words + 1] = OPC_END;
    errorText[0] = 0;
    int failed = foldRange(copy, 0, StreamWords(copy) - 1, values, expectedType, true, nullptr);
    delete[] copy;
    if (failed) {
        // A property expression that does not compile must not just leave
        // its property at a silent default.
        char message[400];
        snprintf(message, sizeof message, "Compiler error 071 in a property expression:\n%s", errorText);
        report(nullptr, 0, 0, message, false, MSG_ERROR);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// createConstants

int FormulaCompiler::createConstants(int32_t* stream)
{
    if (!fractal || passList[passIndex] == 0 || !optimizing)
        return 0;
    std::vector<Operand> records;
    Operand rec;

    // Folds a constant operand of more than one element in place (the words
    // after it move down: callers correct their positions by *removed).
    auto foldOperand = [&](Operand& o, int* removed) -> int {
        *removed = 0;
        if (o.constness != 0 || o.last - o.first + 1 <= 2 || !FoldableType(o.type))
            return 0;
        double v[4];
        errorText[0] = 0;
        if (foldRange(stream, o.first, o.last, v, o.type, false, removed))
            return 1;
        o.last -= *removed;
        return 0;
    };
    // Outside any condition or loop of a section (a user function may not
    // be called at all).
    auto straightLine = [&]() {
        return jumpStack->isEmpty() && (!currentFunction || isSectionFunction(currentFunction->decoratedName));
    };
    // In code that always runs, before every section that could read the
    // value: the declarations, init_once and init. The loop may run no
    // times, and bailout, stop, final or transform may run before (or
    // without) any other section's assignment, so a value set there is not
    // the value every read sees.
    auto runsFirst = [&]() {
        if (!currentFunction)
            return true;
        const char* name = currentFunction->decoratedName;
        return strcmp(name, "Vinit_once@@") == 0 || strcmp(name, "Vinit@@") == 0;
    };
    auto singleSymbol = [&](const Operand& o) -> FormulaSymbol* {
        if (o.last - o.first + 1 != 2 || stream[o.first] != OPC_VARIABLE)
            return nullptr;
        return findVariable(stream[o.first + 1]);
    };

    for (int i = 0; stream[i] != OPC_END;) {
        int32_t e = stream[i];
        if (e == OPC_VARIABLE) {
            FormulaSymbol* s = findVariable(stream[i + 1]);
            rec = {s ? s->dataType : DT_REAL, 1, i, i + 1};
            if (s && isFoldableSymbol(s)) {
                rec.constness = 0;
            } else if (s && s->constant == FACT_UNKNOWN && s->assigned == FACT_UNKNOWN) {
                rec.constness = 2;
                s->runtimeRead = FACT_YES;
            } else if (s) {
                s->runtimeRead = FACT_YES;
            }
            records.push_back(rec);
            i += 2;
            continue;
        }
        if (e == OPC_STORE) {
            FormulaSymbol* s = findVariable(stream[i + 1]);
            records.push_back({s ? s->dataType : DT_VOID, 1, i, i + 1});
            i += 2;
            continue;
        }
        if (e == OPC_INDEX_MARK) {
            records.push_back({streamwalk::MARKER_TYPE, 1, i, i});
            i += 1;
            continue;
        }
        if (e == OPC_ARRAY_READ || e == OPC_ARRAY_STORE) {
            // Array accesses stay run-time; the array's facts say so.
            int first = -1;
            while (!records.empty()) {
                Operand o = records.back();
                records.pop_back();
                if (o.type == streamwalk::MARKER_TYPE) {
                    first = o.first;
                    break;
                }
            }
            if (first < 0)
                return 0;
            FormulaSymbol* s = findVariable(stream[i + 1]);
            if (s) {
                if (e == OPC_ARRAY_READ)
                    s->runtimeRead = FACT_YES;
                else
                    s->arrayConstant = FACT_NO;
            }
            records.push_back({s ? s->precision : DT_REAL, 1, first, i + 1});
            i += 2;
            continue;
        }
        if (e == OP_ARRAY)
            return 0;
        if (e == OP_ASSIGN) {
            if (records.size() < 2)
                return 0;
            Operand value = records.back();
            records.pop_back();
            Operand target = records.back();
            records.pop_back();
            FormulaSymbol* t = findVariable(stream[target.last]);
            bool plain = stream[target.first] == OPC_STORE && target.last == target.first + 1;
            // A statement of its own: not the value of an enclosing
            // assignment, nothing of it left on the record stack.
            bool whole = records.empty() && stream[i + 1] != OP_ASSIGN;
            bool global = t && plain && t->symbolClass == SYM_VARIABLE && t->id >= 0 && !t->shared &&
                          t->variability != 0;

            // A store nobody reads any more (the previous cycle counted the
            // reads): the value, the target and the "=" go.
            if (passList[passIndex] == 2 && !keepUnreadStores && global && whole && t->previousReads == 0 && t->previousWrites >= 0 &&
                !ChangesState(stream, value.first, value.last)) {
                streamwalk::Splice(stream, target.first, i, nullptr, 0);
                i = target.first;
                continue;
            }

            int removed = 0;
            if (value.constness == 0 && t && !IsArrayType(t->dataType)) {
                // Computed once here instead of on every run.
                if (foldOperand(value, &removed))
                    return 1;
                i -= removed;
            }
            if (t) {
                if (value.constness == 2) {
                    t->constantSure = FACT_NO;
                } else if (value.constness == 1 || !global) {
                    t->constant = FACT_NO;
                } else {
                    // A constant value: the variable stays a constant while
                    // every assignment gives it the same value.
                    double v[4];
                    FormulaSymbol* source = singleSymbol(value);
                    bool known = source && operandValue(source, v) && FitsType(t->dataType, v);
                    if (!known || (t->assigned == FACT_NO && memcmp(v, t->value, sizeof v) != 0))
                        t->constant = FACT_NO;
                    // Read before this assignment, assigned in a branch, a
                    // loop, a function or a section that may not run first:
                    // the value is not the same everywhere.
                    if (t->runtimeRead == FACT_YES || !straightLine() || !runsFirst())
                        t->constant = FACT_NO;
                    if (t->constant != FACT_NO && t->constantSure != FACT_NO && whole) {
                        t->assigned = FACT_NO;
                        memcpy(t->value, v, sizeof v);
                        storeSymbolValue(t);
                        streamwalk::Splice(stream, target.first, i, nullptr, 0);
                        i = target.first;
                        continue;
                    }
                    if (!whole)
                        t->constant = FACT_NO;
                }
            }
            // A chained assignment's own value counts as run-time.
            records.push_back({target.type, 1, target.first, i});
            i += 1;
            continue;
        }
        if (IsFuncParameterCall(e)) {
            // The argument count depends on the selected function's table;
            // the rest of the stream is left as it is.
            return 0;
        }
        int count = streamwalk::OperandCount(*this, e);
        if (count < 0 || (int)records.size() < count)
            return 0;
        std::vector<Operand> args(records.end() - count, records.end());
        records.resize(records.size() - count);
        for (const Operand& a : args) {
            if (a.type == streamwalk::MARKER_TYPE)
                return 0;
        }
        int32_t types[8];
        for (int k = 0; k < count && k < 8; k++)
            types[k] = args[k].type;
        int first = count > 0 ? args[0].first : i;

        if (IsUserFunctionCall(e)) {
            FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION);
            for (int k = count - 1; k >= 0; k--) {
                const FormulaSymbol* formal =
                    f ? findSymbolById(&f->locals, (int32_t)(SYMBOL_ID_LOCAL | (uint32_t)(k + 1))) : nullptr;
                if (formal && formal->byReference) {
                    Operand& a = args[k];
                    bool plain = a.last - a.first + 1 == 2 && stream[a.first] == OPC_VARIABLE;
                    bool element = stream[a.last - 1] == OPC_ARRAY_READ && stream[a.first] == OPC_INDEX_MARK;
                    FormulaSymbol* argument = findVariable(stream[a.last]);
                    if (!(plain || element) || !argument || (plain && argument->variability == 0)) {
                        snprintf(errorText, sizeof errorText,
                                 "Formal parameter \"%s\" of function %s uses Call by Reference, but the calling "
                                 "expression does not specify a proper variable.",
                                 formal->name, f->name);
                        return 2;
                    }
                    argument->constant = FACT_NO;
                    continue;
                }
                int removed = 0;
                if (foldOperand(args[k], &removed))
                    return 1;
                i -= removed;
            }
            records.push_back({f ? f->resultType : DT_VOID, 1, first, i});
            i += 1;
            continue;
        }

        int type = streamwalk::ResultType(*this, e, types, count);
        if (type < 0)
            return 0;
        bool allConstant = true, anyRuntime = false;
        for (const Operand& a : args) {
            allConstant = allConstant && a.constness == 0;
            anyRuntime = anyRuntime || a.constness == 1;
        }
        int constness = allConstant ? 0 : anyRuntime ? 1 : 2;
        if (RunsAtRunTime(e))
            constness = 1;

        if (count == 2 && e >= 8 && e <= 70) {
            // A binary operation with exactly one constant side.
            Operand& left = args[0];
            Operand& right = args[1];
            bool leftConstant = left.constness == 0, rightConstant = right.constness == 0;
            if (leftConstant != rightConstant) {
                Operand& c = leftConstant ? left : right;
                Operand& other = leftConstant ? right : left;
                int removed = 0;
                if (foldOperand(c, &removed))
                    return 1;
                if (removed) {
                    i -= removed;
                    if (leftConstant) {
                        right.first -= removed;
                        right.last -= removed;
                    }
                }
                double v[4];
                FormulaSymbol* s = singleSymbol(c);
                bool known = s && c.type != DT_COLOR && c.type != DT_VECTOR && operandValue(s, v);
                if (known && !streamwalk::HasSideEffect(stream, other.first, other.last)) {
                    bool zero = v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0;
                    bool truth = v[0] != 0 || v[1] != 0 || v[2] != 0 || v[3] != 0;
                    int32_t id = 0;
                    if (e == OP_OR && truth)
                        id = encodeSmallInt(1);
                    // 0 * x, x * 0 and 0 && x are 0. Quotients are left to
                    // the running code: x / 0 and 0 / 0 give infinity or NaN
                    // there, not 0.
                    else if ((e == OP_MUL || e == OP_AND) && zero)
                        id = encodeSmallInt(0);
                    if (id) {
                        int32_t replacement[2] = {OPC_VARIABLE, id};
                        i -= streamwalk::Splice(stream, first, i, replacement, 2);
                        records.push_back({DT_REAL, 0, first, i});
                        i += 1;
                        continue;
                    }
                }
            }
        } else if (constness == 1) {
            // Run-time functions compute their fixed arguments once.
            for (int k = count - 1; k >= 0; k--) {
                int removed = 0;
                if (foldOperand(args[k], &removed))
                    return 1;
                i -= removed;
            }
        }
        records.push_back({type, constness, first, i});
        i += 1;
    }
    return 0;
}
