// The places where later parts plug into the compiler. (Code generation is
// in ExpressionCode.cpp, constant folding in ConstantFolding.cpp, the
// optimizer in Optimizer.cpp.)
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

bool FormulaCompiler::typesAnalysed() const
{
    // The pipeline widens current types (checkReturntype), but their
    // narrowing across cycles is the optimizer's: until it exists the notes
    // stay off.
    return false;
}
