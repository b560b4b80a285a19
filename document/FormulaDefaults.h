// Keeping a fractal's stored formula parameters in step with the compiled
// formula, and applying the default section of an iteration formula
// (maximum iterations, periodicity check, view) to its block.
#pragma once

class Fractal;
class NodeList;
class FormulaHolder;
struct EscapetimeParameters;
struct QuaternionParameters;

// With reset the stored lists are emptied first; otherwise a stored value
// stays only while the formula still declares (and reads) a parameter of
// its name. Then the lists follow the formula's order: kept entries take
// the compiled properties but keep their values, new ones get defaults.
void ApplyFormulaParameters(Fractal* fractal, NodeList* symbols, NodeList* functions, FormulaHolder* holder,
                            int reset);
// The iteration slot's parameters, then with applyView: MaxIter (else
// 150), periodicity (else 3) and the view (centre +- 2/m by +- 1.5/m).
void ApplyFormulaDefaults(EscapetimeParameters* block, Fractal* fractal, int reset, int applyView);
// The iteration slot's parameters, then with applyView MaxIter (else 10).
void ApplyQuaternionFormulaDefaults(QuaternionParameters* block, Fractal* fractal, int reset, int applyView);
