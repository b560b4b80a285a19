// The places where later parts plug into the compiler. (Code generation is
// in ExpressionCode.cpp, constant folding in ConstantFolding.cpp, the
// optimizer in Optimizer.cpp.)
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

bool FormulaCompiler::typesAnalysed() const
{
    // The current types are settled across cycles (a variable read
    // narrower than it ended up asks for another cycle), so what they say
    // about the declarations holds.
    return true;
}
