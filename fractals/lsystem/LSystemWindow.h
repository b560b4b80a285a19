// The L-system operations behind the formula window and the parameter
// window: showing a formula, refilling the formula lists, recalculating the
// fractals that use a formula and renaming one. The windows are reached
// through LSystemWindowLink, which the application binds; with its entries
// null (no window open) the operations touch only the lists and fractals.
#pragma once

class Fractal;
class LSystemFormula;

struct LSystemWindowLink {
    // The L-system formula window: whether it is open, its list box, the
    // name, axiom and angle fields and the rule editor.
    bool (*formulaWindowOpen)();
    void (*listReset)();
    void (*listAdd)(const char* name);
    void (*listSelect)(int index);
    void (*setNameField)(const char* name);
    void (*setAxiomField)(const char* axiom);
    void (*setAngleField)(double divisor);
    void (*setRuleText)(const char* text);
    // The L-system parameter window's formula combo box.
    bool (*parameterPageShown)();
    void (*comboReset)();
    void (*comboAdd)(const char* name);
    void (*comboSelect)(int index);   // -1 clears
    // The fractal the parameter window shows, null when none.
    Fractal* (*currentFractal)();
};
extern LSystemWindowLink g_LSystemWindow;

// The formula the formula window shows, null when none.
extern LSystemFormula* g_CurrentLSystemFormula;

// Shows the formula (null or not listed: the first) in the formula window.
void ShowLSystemFormula(LSystemFormula* formula);
void RefreshLSystemFormulaLists();
// Recalculates every open L-system fractal whose "Formula" names it.
void RecalculateLSystemFractals(LSystemFormula* formula);
// Gives the fractals that name the formula the new name, renames it (kept
// unique and in name order) and refreshes the formula window.
void RenameLSystemFormula(LSystemFormula* formula, const char* newName);
