// One formula of a fractal beside its fixed slots: a transformation of an
// escape-time or quaternion fractal. It names its entry and file, keeps the
// stored values of the formula's parameters and owns the compiled formula.
#pragma once
#include <stdint.h>
#include "foundation/List.h"

class Fractal;
class FormulaHolder;

class FormulaInstance : public ListNode {
public:
    // Empty lists, a fresh holder of the transformation kind, active.
    FormulaInstance(Fractal* owner, const char* entryName, const char* fileName);
    virtual ~FormulaInstance();

    Fractal* owner;             // not owned
    char entryName[64];
    char fileName[64];
    NodeList parameters;        // FormulaSymbol nodes: the stored values
    NodeList functions;         // FormulaFuncParameter nodes
    FormulaHolder* holder;      // owned
    int32_t active;             // only active instances are read back after a calculation
};
