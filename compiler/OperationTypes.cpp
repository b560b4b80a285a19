// Signature lists made from the template list, every template included
// whether its code is written or not.
#include "compiler/OperationTypes.h"

#include <stddef.h>

#include "compiler/FormulaSymbol.h"

namespace {

#define SIGNATURE(id, count, ...) \
    const int32_t kTypes_##id[] = {__VA_ARGS__}; \
    enum { kCount_##id = count };

SIGNATURE(none, 0, 0)
SIGNATURE(r, 1, DT_REAL)
SIGNATURE(c, 1, DT_COMPLEX)
SIGNATURE(q, 1, DT_QUATERNION)
SIGNATURE(v, 1, DT_VECTOR)
SIGNATURE(col, 1, DT_COLOR)
SIGNATURE(rr, 2, DT_REAL, DT_REAL)
SIGNATURE(rc, 2, DT_REAL, DT_COMPLEX)
SIGNATURE(rv, 2, DT_REAL, DT_VECTOR)
SIGNATURE(rq, 2, DT_REAL, DT_QUATERNION)
SIGNATURE(cr, 2, DT_COMPLEX, DT_REAL)
SIGNATURE(cc, 2, DT_COMPLEX, DT_COMPLEX)
SIGNATURE(cq, 2, DT_COMPLEX, DT_QUATERNION)
SIGNATURE(vr, 2, DT_VECTOR, DT_REAL)
SIGNATURE(vv, 2, DT_VECTOR, DT_VECTOR)
SIGNATURE(qr, 2, DT_QUATERNION, DT_REAL)
SIGNATURE(qc, 2, DT_QUATERNION, DT_COMPLEX)
SIGNATURE(qq, 2, DT_QUATERNION, DT_QUATERNION)
SIGNATURE(rcol, 2, DT_REAL, DT_COLOR)
SIGNATURE(colr, 2, DT_COLOR, DT_REAL)
SIGNATURE(colcol, 2, DT_COLOR, DT_COLOR)
SIGNATURE(rrr, 3, DT_REAL, DT_REAL, DT_REAL)
SIGNATURE(rrrr, 4, DT_REAL, DT_REAL, DT_REAL, DT_REAL)
SIGNATURE(colcolr, 3, DT_COLOR, DT_COLOR, DT_REAL)
SIGNATURE(ar, 2, DT_ARRAY, DT_REAL)

enum {
    kResult_c = DT_COMPLEX,
    kResult_r = DT_REAL,
    kResult_q = DT_QUATERNION,
    kResult_v = DT_VECTOR,
    kResult_col = DT_COLOR,
    kResult_b = DT_BOOL,
    kResult_i = DT_INT,
};

enum { OPERATION_COUNT = 164 };

// One list per operation, ended by a record with a null name.
#define OPERATION(number, opName, display, jumpTrue, jumpFalse) \
    namespace types_##number { \
    static const char* const displayName = display; \
    const OperationType list[] = {
#define TPL_DISPLAY(name, sig, res, scratch, frame, display) \
    {kCount_##sig, kTypes_##sig, kResult_##res, #name, display},
#define TPL(name, sig, res, scratch, frame) TPL_DISPLAY(name, sig, res, scratch, frame, displayName)
#define TPL_TODO(name, sig, res) TPL_DISPLAY(name, sig, res, 0, 0, displayName)
#define END_OPERATION(number) \
    {0, nullptr, 0, nullptr, nullptr} }; }
#include "compiler/templates/TemplateList.h"
#undef OPERATION
#undef TPL
#undef TPL_DISPLAY
#undef TPL_TODO
#undef END_OPERATION

struct Table {
    const OperationType* lists[OPERATION_COUNT] = {};
    Table()
    {
#define OPERATION(number, opName, display, jumpTrue, jumpFalse) lists[number] = types_##number::list;
#define TPL(name, sig, res, scratch, frame)
#define TPL_DISPLAY(name, sig, res, scratch, frame, display)
#define TPL_TODO(name, sig, res)
#define END_OPERATION(number)
#include "compiler/templates/TemplateList.h"
#undef OPERATION
#undef TPL
#undef TPL_DISPLAY
#undef TPL_TODO
#undef END_OPERATION
    }
};

const Table& Lists()
{
    static const Table table;
    return table;
}

}  // namespace

const OperationType* FindOperationType(int operation, const int32_t* types, int count)
{
    if (operation < 0 || operation >= OPERATION_COUNT)
        return nullptr;
    for (const OperationType* t = Lists().lists[operation]; t && t->name; t++) {
        if (t->operandCount < count)
            continue;
        int i = 0;
        while (i < count && t->operandTypes[i] == types[i])
            i++;
        if (i == count)
            return t;
    }
    return nullptr;
}

const char* OperationDisplayName(int operation)
{
    if (operation < 0 || operation >= OPERATION_COUNT || !Lists().lists[operation])
        return "?";
    return Lists().lists[operation]->displayName;
}
