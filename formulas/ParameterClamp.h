// Keeping a formula parameter's value inside its range, as the parameter
// panels do after every edit.
#pragma once

class FormulaSymbol;

// Clamps the value components to the symbol's minimum and maximum (arrays
// and colours are left alone); an int also to the 32-bit range.
void ClampParameterValue(FormulaSymbol* symbol);
