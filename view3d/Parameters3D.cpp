// The 3D settings block: defaults per fractal type, the copy, the height
// curve's knots and the dims table. Record, defaults, copy and table are
// all views of the one row list in DimsRows.h.
#include "view3d/Parameters3D.h"

#include <stddef.h>
#include <string.h>

#include "document/Fractal.h"

namespace {

#define DIMS_PT_DOUBLE PT_DOUBLE
#define DIMS_PT_INT PT_INT
#define DIMS_PT_CHOICE PT_CHOICE
#define DIMS_PT_BYTE PT_BYTE
#define DIMS_PT_ALIGN PT_BYTE
#define DIMS_PT_TEXT PT_TEXT
#define DIMS_PT_KNOTS PT_BLOB
#define DIMS_PT_KNOTREF PT_BLOB

const ParameterDescriptor kDimsTable[] = {
#define DIMS_ROW(field, key, name, type, size, group, sub, step, mn, mx, w, a, def, plasma, copied) \
    { group, name, key, sub, DIMS_PT_##type, size, 0, step, mn, mx, w, a, nullptr },
#include "view3d/DimsRows.h"
#undef DIMS_ROW
    { 0, nullptr, nullptr, 0, PT_END, 0, 0, 0, 0, 0, 0, 0, nullptr },
};

static_assert(sizeof kDimsTable / sizeof kDimsTable[0] == DIMS_ROW_COUNT + 1,
              "the dims table has 268 rows and the end row");
static_assert(sizeof(CurveKnot*) == 4, "the firstSelected row is four bytes wide");

// Knots of the height curve a new block starts with.
struct DefaultKnot { double x, y; };
const DefaultKnot kPlasmaKnots[] = { { -350, 0 }, { -300, 25 }, { -200, 75 }, { -100, 125 },
                                     { 0, 175 }, { 100, 225 }, { 200, 275 }, { 300, 325 } };
const DefaultKnot kStandardKnots[] = { { 3, 0 }, { 11, 46.4 }, { 17, 53.3 }, { 24, 53.3 } };

}  // namespace

const ParameterDescriptor* GetDimsTable()
{
    return kDimsTable;
}

#define DIMS_DEFAULT_DOUBLE(field, v) field = v;
#define DIMS_DEFAULT_INT(field, v) field = (int32_t)(v);
#define DIMS_DEFAULT_CHOICE(field, v) field = (int32_t)(v);
#define DIMS_DEFAULT_BYTE(field, v) field = (uint8_t)(v);
#define DIMS_DEFAULT_ALIGN(field, v)
#define DIMS_DEFAULT_TEXT(field, v)
#define DIMS_DEFAULT_KNOTS(field, v)
#define DIMS_DEFAULT_KNOTREF(field, v)

Parameters3D::Parameters3D(int fractalType)
{
    // Fields without a default (the alpha bytes, the spare observer doubles,
    // the fillers) start at zero, texts empty.
    memset((void*)this, 0, sizeof *this);
    bool plasma = fractalType == FT_PLASMA;
#define DIMS_ROW(field, key, name, type, size, group, sub, step, mn, mx, w, a, def, pdef, copied) \
    DIMS_DEFAULT_##type(field, plasma ? (pdef) : (def))
#include "view3d/DimsRows.h"
#undef DIMS_ROW
    ControlPointList = new NodeList();
    const DefaultKnot* knots = plasma ? kPlasmaKnots : kStandardKnots;
    int count = plasma ? 8 : 4;
    for (int i = 0; i < count; i++)
        AppendControlPoint(knots[i].x, knots[i].y);
    firstSelected = AsKnot(ControlPointList->GetHead());
    firstSelected->selected = 1;
}

Parameters3D::Parameters3D(const Parameters3D& other)
{
    memset((void*)this, 0, sizeof *this);
    ControlPointList = new NodeList();
    Assign(other);
}

Parameters3D::~Parameters3D()
{
    ClearControlPoints();
    delete ControlPointList;
}

#define DIMS_COPY_DOUBLE(field) field = other.field;
#define DIMS_COPY_INT(field) field = other.field;
#define DIMS_COPY_CHOICE(field) field = other.field;
#define DIMS_COPY_BYTE(field) field = other.field;
#define DIMS_COPY_ALIGN(field)
#define DIMS_COPY_TEXT(field) memcpy(field, other.field, sizeof field);
#define DIMS_COPY_KNOTS(field)
#define DIMS_COPY_KNOTREF(field)

void Parameters3D::Assign(const Parameters3D& other)
{
    if (&other == this)
        return;
#define DIMS_ROW(field, key, name, type, size, group, sub, step, mn, mx, w, a, def, pdef, copied) \
    if (copied) { DIMS_COPY_##type(field) }
#include "view3d/DimsRows.h"
#undef DIMS_ROW
    ClearControlPoints();
    CopyKnotList(*ControlPointList, *other.ControlPointList, nullptr);
    for (ListNode* k = ControlPointList->GetHead(); k; k = k->next)
        AsKnot(k)->selected = 0;
    firstSelected = AsKnot(ControlPointList->GetHead());
    if (firstSelected)
        firstSelected->selected = 1;
}

void Parameters3D::ClearControlPoints()
{
    if (ControlPointList)
        ControlPointList->DeleteAllNodes();
    firstSelected = nullptr;
}

CurveKnot* Parameters3D::AppendControlPoint(double x, double y)
{
    CurveKnot* k = new CurveKnot(x, y);
    k->key = ControlPointList->Count() + 1;
    ControlPointList->Append(k);
    return k;
}
