// The last step of every edit of a fractal: record an undo step, then ask
// the calculation thread for the command that brings the image up to date.
// The area and 3D commits first check that the change means anything for
// the fractal's type (its area view and height-field 3D capability flags).
#include "document/Fractal.h"
#include "document/ParameterTables.h"
#include "document/Undo.h"

namespace {

typedef void (Fractal::*Action)();

bool TypeHas(const Fractal* f, int column)
{
    int type = f->header->Type;
    return type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(column, type) != 0;
}

// column 0: no type check.
int Commit(Fractal* f, int column, int force, const char* undoText, Action action)
{
    if (column && !TypeHas(f, column))
        return 0;
    int recorded = AddUndoStep(f, undoText);
    if (!force && recorded != 1)
        return 0;
    (f->*action)();
    return 1;
}

int Apply(Fractal* f, const char* undoText, int record, int recordOnly, Action action)
{
    if (!record) {
        (f->*action)();
        return 1;
    }
    int recorded = AddUndoStep(f, undoText);
    if (recordOnly || recorded != 1)
        return recorded;
    (f->*action)();
    return 1;
}

}  // namespace

int Fractal::CommitAndRecalculate(int force, const char* undoText)
{
    return Commit(this, 0, force, undoText, &Fractal::Recalculate);
}

int Fractal::CommitAreaChange(int force, const char* undoText)
{
    return Commit(this, TF_VIEW_AREA, force, undoText, &Fractal::Recalculate);
}

int Fractal::Commit3DChange(int force, const char* undoText)
{
    return Commit(this, TF_HEIGHT_FIELD, force, undoText, &Fractal::Redraw3D);
}

int Fractal::CommitAndCalculate(int force, const char* undoText)
{
    return Commit(this, 0, force, undoText, &Fractal::Calculate);
}

int Fractal::CommitAndRecolour(int force, const char* undoText)
{
    return Commit(this, 0, force, undoText, &Fractal::Recolour);
}

int Fractal::ApplyRedraw3D(const char* undoText, int record, int recordOnly)
{
    if (record && !TypeHas(this, TF_HEIGHT_FIELD))
        return 0;
    return Apply(this, undoText, record, recordOnly, &Fractal::Redraw3D);
}

int Fractal::ApplyRecalculate(const char* undoText, int record, int recordOnly)
{
    return Apply(this, undoText, record, recordOnly, &Fractal::Recalculate);
}

int Fractal::ApplyCalculate(const char* undoText, int record, int recordOnly)
{
    return Apply(this, undoText, record, recordOnly, &Fractal::Calculate);
}

int Fractal::ApplyRecolour(const char* undoText, int record, int recordOnly)
{
    return Apply(this, undoText, record, recordOnly, &Fractal::Recolour);
}
