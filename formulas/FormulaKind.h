#pragma once

// The four kinds of formula the compiler translates and the formula library
// keeps, one tree each.
enum FormulaKind {
    FK_TRANSFORMATION = 0,  // files ".str"
    FK_ITERATION = 1,       // files ".sfm"
    FK_COLORING = 2,        // files ".scl"
    FK_LIBRARY = 3,         // function libraries ".lib"
};

enum { FORMULA_KIND_COUNT = 4 };
