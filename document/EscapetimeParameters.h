// The parameter blocks of the escape-time type (iteration formula, inside
// and outside colouring, transformations, calculation and colouring
// settings) and of the layered type (a list of layers, each a whole
// fractal). The rows of the escape-time table cover the block up to
// SolidOpacityTransformation; the fields after it are runtime state.
#pragma once
#include "document/ViewParameters.h"
#include "document/FormulaSlot.h"

class Fractal;
class FormulaInstance;

#pragma pack(push, 4)
struct EscapetimeParameters : ViewParameters {
    explicit EscapetimeParameters(Fractal* owner);
    EscapetimeParameters(Fractal* owner, const EscapetimeParameters& source);
    ~EscapetimeParameters();
    EscapetimeParameters(const EscapetimeParameters&) = delete;
    EscapetimeParameters& operator=(const EscapetimeParameters&) = delete;

    FormulaHolder* GetFormula() const { return iteration.holder; }
    // Empties the transformations, the extra list, the slot lists and the
    // holders' sources before the fractal goes; the holders stay.
    void FreeFormulas();

    int Delimiter;
    NodeList transformations;        // FormulaInstance nodes
    int MaxIter;
    int Passes;                      // "1 Pass" .. "4 Passes"
    int Periodicity;                 // "Off" .. "Very Soft"
    int Eliminate;                   // "Off", "Final Pass", "Each Pass"
    FormulaSlot iteration;
    FormulaSlot inside;
    ColouringSettings insideColouring;
    FormulaSlot outside;
    ColouringSettings outsideColouring;
    uint8_t SolidColorTransformation[4];
    int SolidOpacityTransformation;
    // ---- runtime state: no table rows from here on
    int panelState[12];              // the parameter window's; copied
    FormulaInstance* selectedTransformation;   // not copied
    NodeList extraParameters;        // FormulaSymbol nodes; copied
    int viewState[2][6];             // reset by a copy
    char viewTexts[2][64];           // reset by a copy
    Fractal* owner;
    // How the inside and outside colourings map (0 ordinary; 1 or 2 for the
    // built-in refactoring colourings, 2 when they smooth): set by the
    // calculation before it starts, read by the colour mapping.
    int refactorInside = 0;
    int refactorOutside = 0;

private:
    void ResetViewState();
};

struct LayeredParameters : ViewParameters {
    LayeredParameters();
    LayeredParameters(const LayeredParameters& source, Fractal* owner);
    ~LayeredParameters();
    LayeredParameters& operator=(const LayeredParameters&) = delete;

    // Removes and deletes every layer with its fractal.
    void RemoveAllLayers();

    int currentLayer;                // -1 = none
    NodeList layers;                 // Layer records
};
#pragma pack(pop)

// Names of the escape-time choice fields, null-ended.
extern const char* const g_PassNames[];
extern const char* const g_PeriodicityNames[];
extern const char* const g_EliminateNames[];

// Takes a layer record out of the block's list and deletes it. Its fractal
// loses base and record and moves to the base's folder; deleteFractal
// deletes it (DeleteFractal), the next layer, else the previous one, else
// the base becoming current when it was current (Layers.cpp).
void RemoveLayer(LayeredParameters* block, class Layer* layer, int deleteFractal);
