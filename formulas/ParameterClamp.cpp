// Clamping a formula parameter's value to its range: the components its
// data type has, and an int to what 32 bits hold.
#include "formulas/ParameterClamp.h"

#include "compiler/FormulaSymbol.h"

namespace {

void Clamp(double& value, double minimum, double maximum)
{
    if (value <= minimum)
        value = minimum;
    if (value >= maximum)
        value = maximum;
}

}  // namespace

void ClampParameterValue(FormulaSymbol* symbol)
{
    if (symbol == nullptr)
        return;
    int type = symbol->dataType;
    if (type == DT_ARRAY || type == DT_PREDEFINED_ARRAY || type == DT_COLOR)
        return;
    int components = type == DT_COMPLEX ? 2 : type == DT_QUATERNION ? 4 : type == DT_VECTOR ? 3 : 1;
    for (int i = 0; i < components; i++)
        Clamp(symbol->value[i], symbol->minimum, symbol->maximum);
    if (type == DT_INT)
        Clamp(symbol->value[0], -2147483648.0, 2147483647.0);
}
