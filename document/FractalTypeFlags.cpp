// The capability flags of the fractal types. Each column lists the codes
// it is set for; the old type codes keep their entries.
#include "document/ParameterTables.h"
#include <initializer_list>

namespace {

struct ColumnCodes {
    int column;
    std::initializer_list<int> codes;
};

// Codes as ranges written out: 0-12 means 0 to 12.
const ColumnCodes kColumns[] = {
    {TF_VIEW_AREA, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14}},
    {TF_COLUMN2, {0, 1, 2, 3, 4, 5, 6, 11, 12, 14}},
    {TF_HEIGHT_FIELD, {0, 1, 2, 3, 4, 5, 6, 11, 12, 13, 14}},
    {TF_COLUMN4, {0, 1, 2, 3, 4, 11, 12, 14}},
    {TF_ZOOM_BOX, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15}},
    {TF_MOVE, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15}},
    {TF_COLUMN7, {0, 1, 2, 3, 4, 11, 12, 14}},
    {TF_IMAGE_FILTER, {0, 1, 2, 3, 4, 11, 12, 14}},
};

struct FlagsInit {
    FlagsInit()
    {
        for (int i = CNF_DelProj; i <= CNF_CvtFormula; ++i)
            FractalTypeFlags[i] = 1;
        for (const ColumnCodes& c : kColumns)
            for (int code : c.codes)
                TypeFlag(c.column, code) = 1;
        TypeFlag(TF_IMAGE_FILTER, 25) = 2;   // never read
    }
};

}  // namespace

int FractalTypeFlags[TYPE_FLAG_OPTIONS + TYPE_FLAG_COLUMNS * TYPE_FLAG_CODES];
static FlagsInit s_flagsInit;
