// The optimizer: the decision whether a pass runs another cycle (the facts
// learned about the symbols are not yet consistent), the bookkeeping of
// reads, the precision level, and the rewrites inside one expression:
// cheaper operations for powers and products with small constants, and
// operands of commutative operations ordered so that the x87 stack stays
// shallow.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "compiler/CodeTemplate.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/OperationTypes.h"
#include "compiler/Scanners.h"
#include "compiler/StreamWalk.h"
#include "compiler/CompileHost.h"
#include "foundation/Buffers.h"
#include "foundation/MessageBox.h"

using streamwalk::Operand;

namespace {

// Whether (assigned, constant, runtimeRead) of a variable is settled; the
// others ask for another cycle.
bool FactsConsistent(int assigned, int constant, int runtimeRead)
{
    static const uint8_t table[27] = {0, 0, 0, 1, 2, 2, 1, 2, 0, 0, 1, 1, 0, 2,
                                      2, 0, 2, 1, 0, 1, 1, 1, 2, 2, 1, 2, 1};
    if (assigned < 0 || assigned > 2 || constant < 0 || constant > 2 || runtimeRead < 0 || runtimeRead > 2)
        return true;
    return table[assigned + 3 * constant + 9 * runtimeRead] != 0;
}

bool IsArray(const FormulaSymbol* s) { return s->dataType == DT_ARRAY || s->dataType == DT_PREDEFINED_ARRAY; }

// The exact real value of a constant operand: real-like types, a complex
// with imaginary part 0, a quaternion with the other parts 0.
bool RealValue(int type, const double v[4], double* out)
{
    if (!(type >= DT_COMPLEX && type <= DT_QUATERNION))
        return false;
    if (v[1] != 0 || v[2] != 0 || v[3] != 0)
        return false;
    *out = v[0];
    return true;
}

// Whether operation op takes an operand of this type and leaves the type
// the replaced operation left.
bool TakesType(int op, int type, int resultType)
{
    const char* name;
    int32_t signature = SingleOperandType(type, &name);
    const OperationType* t = FindOperationType(op, &signature, 1);
    return t && t->resultType == resultType;
}

}  // namespace

// ---------------------------------------------------------------------------
// Cycles

bool FormulaCompiler::needsAnotherRound(int pass, int /*cycle*/)
{
    if (!optimizing)
        return false;
    bool early = pass == 0 || pass == 1;
    auto settled = [&](const FormulaSymbol* s, bool local) {
        // Read while its current type was narrower than the type it ended
        // up with: those reads took too few components, the next cycle
        // starts from the wider type.
        if (s->readType >= DT_COMPLEX && s->readType <= DT_QUATERNION && s->readType != s->currentType)
            return false;
        if (s->symbolClass != SYM_VARIABLE)
            return true;
        if (early && s->constantSure == FACT_NO)
            return false;
        if (IsArray(s) && !local) {
            if (early && s->arrayAssigned == FACT_NO &&
                (s->arrayConstant == FACT_NO || s->arrayConstantSure == FACT_NO))
                return false;
            for (int k = 0; k < s->elementCount && s->elements; k++) {
                const ArrayElementRecord& r = s->elements[k];
                if (!FactsConsistent(r.assigned, r.constant, r.runtimeRead))
                    return false;
            }
            return true;
        }
        return !early || FactsConsistent(s->assigned, s->constant, s->runtimeRead);
    };
    for (ListNode* n = symbols.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (pass == 2 && !keepUnreadStores && s->symbolClass == SYM_VARIABLE && !IsArray(s) && !s->shared && s->variability != 0 &&
            s->id >= 0) {
            // Written but no longer read: the next cycle drops its stores.
            // (Stores that stayed although the previous cycle had found no
            // reads could not be dropped; another cycle would not change
            // them.)
            if (s->writeCount > 0 && s->readCount == 0 && s->previousReads != 0)
                return true;
            // Read although its stores were dropped as unread: the next
            // cycle keeps them.
            if (s->previousReads == 0 && s->readCount > 0 && s->previousWrites > 0)
                return true;
        }
        if (!settled(s, false))
            return true;
    }
    for (ListNode* f = functions.GetHead(); f; f = f->next) {
        for (ListNode* n = static_cast<FormulaFunction*>(f)->locals.GetHead(); n; n = n->next) {
            if (!settled(static_cast<const FormulaSymbol*>(n), true))
                return true;
        }
    }
    return false;
}

namespace {

bool ReleaseSymbolReads(FormulaSymbol* s, int depth)
{
    if (depth > 64)
        return true;
    for (int k = 0; k < s->readsCount; k++) {
        FormulaSymbol* read = s->reads[k];
        if (!read)
            continue;
        if (read->readCount <= 0) {
            g_ErrorBox.Show("Internal Error",
                            "Internal Error 008: number of reads invalid. Please inform the author and send him the "
                            "formula file");
            s->readsCount = 0;
            return false;
        }
        read->readCount--;
        if (read->readCount == 0 && read != s && !ReleaseSymbolReads(read, depth + 1))
            return false;
    }
    s->readsCount = 0;
    return true;
}

}  // namespace

void FormulaCompiler::releaseReads()
{
    // A variable that nobody reads gives back the reads of what its
    // assignments read; those may become unread in turn.
    for (ListNode* n = symbols.GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (s->readCount == 0 && s->writeCount >= 0 && s->symbolClass != SYM_PREDEFINED &&
            !ReleaseSymbolReads(s, 0))
            return;
    }
    for (ListNode* f = functions.GetHead(); f; f = f->next) {
        for (ListNode* n = static_cast<FormulaFunction*>(f)->locals.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (s->readCount == 0 && s->writeCount >= 0 && !ReleaseSymbolReads(s, 0))
                return;
        }
    }
}

void FormulaCompiler::clearReadLists()
{
    for (ListNode* n = symbols.GetHead(); n; n = n->next)
        static_cast<FormulaSymbol*>(n)->readsCount = 0;
    for (ListNode* f = functions.GetHead(); f; f = f->next) {
        for (ListNode* n = static_cast<FormulaFunction*>(f)->locals.GetHead(); n; n = n->next)
            static_cast<FormulaSymbol*>(n)->readsCount = 0;
    }
}

int FormulaCompiler::precisionLevelForWidth(double width)
{
    width = fabs(width);
    if (!(width > 0))
        return 1;
    int digits = (int)(log(width) / log(0.1) + 4.5);
    return digits < 5 ? 1 : digits < 12 ? 2 : 3;
}

void FormulaCompiler::setPrecisionLevel()
{
    if (!fractal) {
        precisionLevel = 0;
        return;
    }
    int type = fractal->HostFractalType();
    double width = 0;
    // The host takes the width from the corners in arbitrary precision: a
    // deep zoom's corners differ far below what their doubles could tell.
    if (type == FT_QUATERNION || type == FT_ATTRACTOR || !fractal->HostViewWidth(&width)) {
        precisionLevel = 1;
        return;
    }
    precisionLevel = precisionLevelForWidth(width);
}

// ---------------------------------------------------------------------------
// Strength reduction

void FormulaCompiler::reduceStrength(GrowBuffer* buffer)
{
    if (!fractal || passList[passIndex] == 0 || !optimizing || !buffer || !buffer->GetData())
        return;
    int32_t* stream = static_cast<int32_t*>(buffer->GetData());
    std::vector<Operand> records;

    // The fixed real value of a one-symbol operand.
    auto constantOf = [&](const Operand& o, double* value, FormulaSymbol** symbol) -> bool {
        if (o.last - o.first + 1 != 2 || stream[o.first] != OPC_VARIABLE)
            return false;
        FormulaSymbol* s = findVariable(stream[o.first + 1]);
        double v[4];
        if (!s || !isFoldableSymbol(s) || !operandValue(s, v))
            return false;
        int type = s->dataType;
        if (!RealValue(type, v, value))
            return false;
        *symbol = s;
        return true;
    };

    for (int i = 0; stream[i] != OPC_END;) {
        int32_t e = stream[i];
        if (e == OP_ASSIGN || e == OP_ARRAY || IsFuncParameterCall(e))
            return;
        if (e == OPC_VARIABLE || e == OPC_STORE) {
            FormulaSymbol* s = findVariable(stream[i + 1]);
            records.push_back({s ? s->dataType : DT_REAL, 0, i, i + 1});
            i += 2;
            continue;
        }
        if (e == OPC_INDEX_MARK) {
            records.push_back({streamwalk::MARKER_TYPE, 0, i, i});
            i += 1;
            continue;
        }
        if (e == OPC_ARRAY_READ || e == OPC_ARRAY_STORE) {
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
                return;
            FormulaSymbol* s = findVariable(stream[i + 1]);
            records.push_back({s ? s->precision : DT_REAL, 0, first, i + 1});
            i += 2;
            continue;
        }
        int count = streamwalk::OperandCount(*this, e);
        if (count < 0 || (int)records.size() < count)
            return;
        std::vector<Operand> args(records.end() - count, records.end());
        records.resize(records.size() - count);
        int32_t types[8];
        for (int k = 0; k < count && k < 8; k++) {
            if (args[k].type == streamwalk::MARKER_TYPE)
                return;
            types[k] = args[k].type;
        }
        int type = streamwalk::ResultType(*this, e, types, count);
        if (type < 0)
            return;
        int first = count > 0 ? args[0].first : i;
        // A rewrite replaces the whole operation by keep's words and ops.
        const Operand* keep = nullptr;
        int32_t ops[3];
        int n = -1;
        FormulaSymbol* used = nullptr;
        double c;

        if (count == 2 && (e == OP_MUL || e == OP_POWER || e == OP_ADD || e == OP_SUB)) {
            const Operand& left = args[0];
            const Operand& right = args[1];
            bool leftSingle = left.last - left.first == 1 && stream[left.first] == OPC_VARIABLE;
            bool rightSingle = right.last - right.first == 1 && stream[right.first] == OPC_VARIABLE;
            if (e == OP_MUL && leftSingle && rightSingle && stream[left.first + 1] == stream[right.first + 1] &&
                TakesType(48, left.type, type)) {
                // x*x is sqr(x).
                keep = &left;
                ops[0] = 48;
                n = 1;
            } else if (e == OP_POWER && constantOf(right, &c, &used)) {
                static const struct {
                    double exponent;
                    int count;
                    int32_t ops[3];
                } powers[] = {{0.5, 1, {18}},       {1, 0, {0}},         {2, 1, {48}},        {3, 1, {45}},
                              {4, 2, {48, 48}},     {5, 1, {46}},        {6, 1, {75}},        {7, 1, {47}},
                              {8, 3, {48, 48, 48}}, {9, 2, {45, 45}},    {10, 2, {46, 48}},   {12, 2, {75, 48}},
                              {14, 2, {47, 48}}};
                for (const auto& p : powers) {
                    if (p.exponent != c)
                        continue;
                    bool fits = p.count > 0 || left.type == type;
                    int t = left.type;
                    for (int j = 0; j < p.count && fits; j++) {
                        fits = TakesType(p.ops[j], t, type);
                        t = type;
                    }
                    if (fits) {
                        keep = &left;
                        memcpy(ops, p.ops, sizeof ops);
                        n = p.count;
                    }
                    break;
                }
                if (n < 0)
                    used = nullptr;
            } else if (e == OP_MUL || e == OP_ADD || e == OP_SUB) {
                // Products and sums with a small constant: the right side
                // first, then the left (a difference only on the right).
                for (int side = 1; side >= (e == OP_SUB ? 1 : 0) && n < 0; side--) {
                    const Operand& k = side ? right : left;
                    const Operand& other = side ? left : right;
                    used = nullptr;
                    if (!constantOf(k, &c, &used))
                        continue;
                    if (e == OP_MUL) {
                        static const int32_t multiples[9] = {69, 68, 67, 66, 0, 0, 63, 64, 65};
                        if (c == 0) {
                            if (!streamwalk::HasSideEffect(stream, other.first, other.last) &&
                                (type == DT_REAL || type == DT_COMPLEX || type == DT_QUATERNION)) {
                                keep = nullptr;
                                ops[0] = OPC_VARIABLE;
                                ops[1] = encodeSmallInt(0);
                                n = 2;
                            }
                        } else if (c == 1) {
                            if (other.type == type) {
                                keep = &other;
                                n = 0;
                            }
                        } else if (c == floor(c) && c >= -4 && c <= 4 &&
                                   TakesType(multiples[(int)c + 4], other.type, type)) {
                            keep = &other;
                            ops[0] = multiples[(int)c + 4];
                            n = 1;
                        }
                    } else {
                        int op = 0;
                        if (c == 1)
                            op = e == OP_ADD ? 71 : 73;
                        else if (c == -1)
                            op = e == OP_ADD ? 72 : 74;
                        if (c == 0 && other.type == type) {
                            keep = &other;
                            n = 0;
                        } else if (op && TakesType(op, other.type, type)) {
                            keep = &other;
                            ops[0] = op;
                            n = 1;
                        }
                    }
                }
                if (n < 0)
                    used = nullptr;
            }
        }
        if (n >= 0) {
            std::vector<int32_t> words;
            if (keep)
                words.assign(stream + keep->first, stream + keep->last + 1);
            words.insert(words.end(), ops, ops + n);
            i -= streamwalk::Splice(stream, first, i, words.data(), (int)words.size());
            if (used)
                used->runtimeRead = FACT_NO;
            int last = first + (int)words.size() - 1;
            records.push_back({type, 0, first, last});
            i = last + 1;
            continue;
        }
        records.push_back({type, 0, first, i});
        i += 1;
    }
}

// ---------------------------------------------------------------------------
// Operand order

namespace {

// One finished subexpression for the reordering: its type, an estimate of
// the x87 registers it needs, its first word and its word count.
struct Weighed {
    int32_t type;
    int32_t weight;
    int32_t first;
    int32_t count;
};

int LeafWeight(int type)
{
    switch (type) {
    case DT_COMPLEX: return 2;
    case DT_QUATERNION:
    case DT_COLOR: return 4;
    case DT_VECTOR: return 3;
    case DT_ARRAY:
    case DT_PREDEFINED_ARRAY: return 0;
    default: return 1;
    }
}

// The swapped form of a binary operation (the operands change places), or
// 0 when the operation cannot be swapped for these operand types.
int32_t SwappedOperation(int32_t op, int left, int right)
{
    bool scalar = left >= DT_COMPLEX && left <= DT_BOOL && right >= DT_COMPLEX && right <= DT_BOOL;
    switch (op) {
    case OP_ADD:
    case 32:
    case 33:
    case 34:
    case 37: return op;
    case OP_SUB: return 60;
    case OP_MUL: return scalar ? op : 0;
    case OP_DIV: return scalar ? 50 : 0;
    case 61: return scalar ? 70 : 0;
    case 35: return 36;
    case 36: return 35;
    case 38: return 39;
    case 39: return 38;
    default: return 0;
    }
}

// Elements that never stand in a checked statement's right-hand side.
bool ForeignToShuffle(int32_t e)
{
    return e == 42 || e == 44 || (e >= 77 && e <= 79) || (e >= 81 && e <= 83) || e == 86 || (e >= 88 && e <= 102);
}

// Whether reordering the words first..first+count-1 could change what they
// compute elsewhere: calls (their arguments by reference, the globals they
// set), randomReal's generator, stores.
bool OrderMatters(const int32_t* stream, int first, int count)
{
    for (int i = first; i < first + count; i += ElementWords(stream[i])) {
        int32_t e = stream[i];
        if (IsUserFunctionCall(e) || IsFuncParameterCall(e) || e == OP_RANDOM_REAL || e == OPC_STORE ||
            e == OPC_ARRAY_STORE || e == OP_ASSIGN || e == 41 || e == 152)
            return true;
    }
    return false;
}

}  // namespace

int FormulaCompiler::shuffle(int32_t* stream)
{
    if (!fractal || !optimizing || passList[passIndex] != 2 || !stream)
        return 0;
    enum { SCRATCH_WORDS = 10000 };
    std::vector<Weighed> records;
    for (int i = 0; stream[i] != OPC_END;) {
        int32_t e = stream[i];
        if (e == OP_ASSIGN || e == OP_ARRAY)
            return 0;
        if (e == OPC_STORE || e == OPC_ARRAY_STORE) {
            records.clear();
            i += 2;
            continue;
        }
        if (e == OPC_VARIABLE) {
            FormulaSymbol* s = findVariable(stream[i + 1]);
            int type = s ? s->dataType : DT_REAL;
            records.push_back({type, LeafWeight(type), i, 2});
            i += 2;
            continue;
        }
        if (e == OPC_INDEX_MARK) {
            records.push_back({streamwalk::MARKER_TYPE, 0, i, 1});
            i += 1;
            continue;
        }
        if (e == OPC_ARRAY_READ) {
            // The element weighs by its indexes.
            int weight = 0;
            int first = -1;
            while (!records.empty()) {
                Weighed r = records.back();
                records.pop_back();
                if (r.type == streamwalk::MARKER_TYPE) {
                    first = r.first;
                    break;
                }
                weight += r.weight == 0 ? 2 : r.weight == 4 ? 4 : 1;
            }
            if (first < 0)
                return 0;
            FormulaSymbol* s = findVariable(stream[i + 1]);
            int type = s ? s->precision : DT_REAL;
            records.push_back({type, weight, first, i + 2 - first});
            i += 2;
            continue;
        }
        if (ForeignToShuffle(e)) {
            snprintf(errorText, sizeof errorText, "Internal Compiler Error: Unknown element in shuffle");
            return 1;
        }
        if (e == OP_RANDOM_REAL) {
            records.push_back({DT_REAL, 1, i, 1});
            i += 1;
            continue;
        }
        // Anything else this walk does not know ends the reordering; the
        // statement keeps its order.
        int count = streamwalk::OperandCount(*this, e);
        if (count < 0 || (int)records.size() < count)
            return 0;
        std::vector<Weighed> args(records.end() - count, records.end());
        records.resize(records.size() - count);
        int32_t types[8];
        int weight = 0;
        for (int k = 0; k < count; k++) {
            if (args[k].type == streamwalk::MARKER_TYPE || k >= 8)
                return 0;
            types[k] = args[k].type;
            weight += args[k].weight;
        }
        int first = count > 0 ? args[0].first : i;
        if (IsUserFunctionCall(e)) {
            FormulaFunction* f = functionByIndex(e - OPC_USER_FUNCTION);
            int type = f ? f->resultType : DT_REAL;
            records.push_back({type, LeafWeight(type), first, i + 1 - first});
            i += 1;
            continue;
        }
        const CodeTemplate* found = nullptr;
        bool binary = (e >= 8 && e <= 12) || (e >= 32 && e <= 39) || e == 50 || e == 60 || e == 61 || e == 70;
        if (binary && count == 2) {
            int32_t signature[2];
            char pair[64];
            typePairName(types[0], types[1], signature, pair, sizeof pair);
            found = FindTemplateBySignature(e, signature, 2);
            if (!found) {
                snprintf(errorText, sizeof errorText,
                         "Compiler Error 771: Operation \"%s\" with number types \"%s\" not supported",
                         OperationDisplayName(e), pair);
                return 1;
            }
        } else if (!binary && count == 1) {
            // One-operand operations by their operand's type; the functions
            // of fixed signature by their first template.
            const char* name;
            int32_t signature = SingleOperandType(types[0], &name);
            int lookup = e == OP_OLDZ && subKind == SK_QUATERNION ? OP_QUATERNION_OLDZ : e;
            found = FindTemplateBySignature(lookup, &signature, 1);
            if (!found)
                found = FindTemplateBySignature(lookup, nullptr, 0);
            if (!found) {
                // An element the code generator compiles without a template
                // of its own (checked before): the statement keeps its order.
                return 0;
            }
        } else {
            found = FindTemplateBySignature(e, nullptr, 0);
            if (!found)
                return 0;
        }
        int type = streamwalk::ResultType(*this, e, types, count);
        if (type < 0)
            type = found->resultType;
        weight += found->scratchRegisters;

        if (binary && count == 2) {
            Weighed& left = args[0];
            Weighed& right = args[1];
            int32_t swapped = SwappedOperation(e, left.type, right.type);
            if (swapped && right.weight > left.weight && left.first + left.count == right.first &&
                right.first + right.count == i && left.count <= SCRATCH_WORDS && right.count <= SCRATCH_WORDS &&
                !OrderMatters(stream, left.first, left.count) && !OrderMatters(stream, right.first, right.count)) {
                std::vector<int32_t> moved(stream + right.first, stream + i);
                moved.insert(moved.end(), stream + left.first, stream + right.first);
                memcpy(stream + left.first, moved.data(), moved.size() * sizeof(int32_t));
                stream[i] = swapped;
            }
        }
        records.push_back({type, weight, first, i + 1 - first});
        i += 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Static locals

void FormulaCompiler::promoteStaticLocal(int32_t* stream)
{
    if (!stream)
        return;
    for (int i = 0; stream[i] != OPC_END; i += ElementWords(stream[i])) {
        if (stream[i] != OPC_VARIABLE || !(stream[i + 1] & (int32_t)SYMBOL_ID_LOCAL))
            continue;
        FormulaSymbol* local = findVariable(stream[i + 1]);
        if (!local || local->assigned != FACT_NO || local->constant == FACT_NO)
            continue;
        // The copy made earlier, if it is still one of the globals: the
        // compiler's constants are dropped before every cycle.
        FormulaSymbol* copy = nullptr;
        for (ListNode* n = symbols.GetHead(); n && local->data; n = n->next) {
            if (n == local->data) {
                FormulaSymbol* candidate = static_cast<FormulaSymbol*>(n);
                if (candidate->symbolClass == SYM_CONSTANT && candidate->dataType == local->dataType &&
                    memcmp(candidate->value, local->value, sizeof local->value) == 0 &&
                    strncmp(candidate->name, "INFO:static local->global constant", 34) == 0)
                    copy = candidate;
                break;
            }
        }
        if (!copy) {
            copy = new FormulaSymbol();
            char name[ListNode::NODE_NAME_SIZE];
            snprintf(name, sizeof name, "INFO:static local->global constant %d", constantCounter++);
            copy->SetName(name);
            copy->symbolClass = SYM_CONSTANT;
            copy->dataType = local->dataType;
            copy->precision = local->precision;
            copy->currentType = copy->nextType = local->dataType;
            copy->variability = 0;
            copy->assigned = FACT_NO;
            copy->constant = FACT_YES;
            copy->constantSure = FACT_YES;
            copy->runtimeRead = FACT_NO;
            memcpy(copy->value, local->value, sizeof copy->value);
            int alignment = 8;
            int size = slotSizeAndAlign(copy->dataType, copy->precision, &alignment);
            dataBottom -= size;
            alignSlot(&dataBottom, alignment);
            copy->dataOffset = dataBottom;
            copy->id = (int32_t)(SYMBOL_ID_COMPILER | (uint32_t)(symbols.nextIds[1]++ & 0x3FFFFFFF));
            registerVariable(copy, true);
            local->data = copy;
        }
        stream[i + 1] = copy->id;
    }
}
