// The 3D settings block every fractal owns: how its 2D result becomes a lit
// height field, the software view, the OpenGL camera, lights, mesh,
// textures, water, sky and fog, and the height curve that maps raw heights
// to drawn heights. The record is laid out exactly as the rows of its
// descriptor table (the dims table, DimsRows.h) so the generic parameter
// code can walk it field by field; it is therefore packed and has no
// virtual functions.
#pragma once

#include <stdint.h>

#include "document/ParameterDescriptor.h"
#include "foundation/CurveKnot.h"
#include "foundation/List.h"

class Fractal;

#define DIMS_FIELD_DOUBLE(field, size) double field;
#define DIMS_FIELD_INT(field, size) int32_t field;
#define DIMS_FIELD_CHOICE(field, size) int32_t field;
#define DIMS_FIELD_BYTE(field, size) uint8_t field;
#define DIMS_FIELD_ALIGN(field, size) uint8_t field;
#define DIMS_FIELD_TEXT(field, size) char field[size];
// The knot list takes the 44 bytes of its row; the record owns the list.
#define DIMS_FIELD_KNOTS(field, size) union { NodeList* field; uint8_t field##Slot[size]; };
#define DIMS_FIELD_KNOTREF(field, size) CurveKnot* field;

#pragma pack(push, 1)
class Parameters3D {
public:
    // The defaults for a fractal type (FT_PLASMA has its own view and knots).
    explicit Parameters3D(int fractalType);
    // CopyConstruct: an empty knot list, then Assign.
    Parameters3D(const Parameters3D& other);
    ~Parameters3D();

    Parameters3D& operator=(const Parameters3D&) = delete;

    // Copies every field except Backgroundalpha, ColorAlpha, the six spare
    // observer doubles and the alignment bytes; replaces the knots by copies
    // of the other's, the first copy selected (none when there are none).
    void Assign(const Parameters3D& other);
    // Deletes every knot of the height curve; no knot stays selected.
    void ClearControlPoints();
    // Appends a knot at (x, y) with the next ordinal as its list key.
    CurveKnot* AppendControlPoint(double x, double y);

#define DIMS_ROW(field, key, name, type, size, group, sub, step, mn, mx, w, a, def, plasma, copied) \
    DIMS_FIELD_##type(field, size)
#include "view3d/DimsRows.h"
#undef DIMS_ROW
};
#pragma pack(pop)

#undef DIMS_FIELD_DOUBLE
#undef DIMS_FIELD_INT
#undef DIMS_FIELD_CHOICE
#undef DIMS_FIELD_BYTE
#undef DIMS_FIELD_ALIGN
#undef DIMS_FIELD_TEXT
#undef DIMS_FIELD_KNOTS
#undef DIMS_FIELD_KNOTREF

// The dims table: 268 rows in field order and the end row.
const ParameterDescriptor* GetDimsTable();
enum { DIMS_ROW_COUNT = 268 };

// What SuggestHeightSpline reads of a calculated fractal: the per-cell
// float values (rows of stride cells), the per-cell flags and, when it is
// filled and the block's Smooth is on, the smoothed heights instead of the
// values.
struct HeightFieldSource {
    const float* values;
    const uint8_t* flags;           // may be null: every cell is a float
    const float* smoothedHeights;   // null when there is none or it is not filled
    int width, height, stride;
    int fractalType;
};

// Replaces the knots of p3d by ones suggested from the height distribution
// of the source (finer knots where heights are rough). Leaves no knot for a
// flat or empty image; the selection is cleared.
void SuggestHeightSpline(Parameters3D& p3d, const HeightFieldSource& source);
// The same on a fractal's calculated data; nothing without a task.
void SuggestHeightSpline(Fractal* fractal);
