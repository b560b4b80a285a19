// The parameter tables of the fractal types (one row per field of the
// type's block, in field order) and the per-type capability flags, which
// also hold the confirmation options.
#pragma once
#include "document/ParameterDescriptor.h"

// The table of a type; an empty table (only the end row) for the layered
// type and every code without a block. Never null.
const ParameterDescriptor* GetParameterTable(int type);

// Columns of FractalTypeFlags, indexed by type code 0..25.
enum FractalTypeFlagColumn {
    TF_VIEW_AREA = 1,       // area changes record undo and recalculate; the corners are written
    TF_COLUMN2 = 2,
    TF_HEIGHT_FIELD = 3,    // the height-field 3D view
    TF_COLUMN4 = 4,         // enables command 29033
    TF_ZOOM_BOX = 5,
    TF_MOVE = 6,            // move by dragging
    TF_COLUMN7 = 7,
    TF_IMAGE_FILTER = 8,
};
enum { TYPE_FLAG_OPTIONS = 10, TYPE_FLAG_CODES = 26, TYPE_FLAG_COLUMNS = 8 };

// Entries 2..9: the confirmation options CNF_DelProj .. CNF_CvtFormula
// (1 = ask first); then eight columns of 26 entries. Writable: the
// settings reader and the options page store the options.
extern int FractalTypeFlags[TYPE_FLAG_OPTIONS + TYPE_FLAG_COLUMNS * TYPE_FLAG_CODES];
enum {
    CNF_DelProj = 2, CNF_DelTask, CNF_DelPic, CNF_End, CNF_DelPal, CNF_DelAnm, CNF_DelFrm, CNF_CvtFormula,
};

// The entry of column (1..8) for a type code (0..25).
inline int& TypeFlag(int column, int type)
{
    return FractalTypeFlags[TYPE_FLAG_OPTIONS + (column - 1) * TYPE_FLAG_CODES + type];
}
