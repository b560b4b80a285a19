// The formulas of an attractor fractal: each attractor formula has a
// weight, a colour and a list of transformations, each transformation an
// iteration formula of its own (entry, file, stored parameter values and
// the compiled formula).
#pragma once
#include <stdint.h>
#include "foundation/List.h"

class Fractal;
class FormulaHolder;
class AttractorFormula;

class AttractorTransformation : public ListNode {
public:
    // No names and no holder.
    explicit AttractorTransformation(AttractorFormula* parent);
    virtual ~AttractorTransformation();

    AttractorFormula* parent;
    char foundName[64];
    char entryName[64];
    char fileName[64];
    int32_t number;
    uint8_t final;             // the "Final" check box
    uint8_t hidden;            // the "Hide" check box
    Fractal* owner;
    FormulaHolder* holder;     // owned
    NodeList parameters;       // FormulaSymbol nodes
    NodeList functions;        // FormulaFuncParameter nodes
};

class AttractorFormula : public ListNode {
public:
    // No owner, weight 1, colour 0, flags 0, no transformations.
    AttractorFormula();
    // One transformation for the entry of the formula file, its source
    // found by the formula lookup.
    AttractorFormula(Fractal* owner, const char* fileName, const char* entryName);
    virtual ~AttractorFormula();

    double weight;
    double colour;             // colour value of the map's points
    int32_t flags;             // 1: hidden (neither iterated nor searched)
    NodeList transformations;  // AttractorTransformation nodes
};

// Copies the transformations of a formula into destination (emptied
// first); every copy compiles its own copy of the source.
void CopyAttractorTransformations(const NodeList* source, AttractorFormula* formula, NodeList* destination);
