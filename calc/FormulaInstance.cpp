// Transformations of a fractal: construction and release.
#include "calc/FormulaInstance.h"
#include <string.h>
#include "compiler/FormulaCompiler.h"
#include <windows.h>

FormulaInstance::FormulaInstance(Fractal* ownerIn, const char* entry, const char* file)
    : owner(ownerIn), holder(new FormulaHolder(FK_TRANSFORMATION)), active(1)
{
    entryName[0] = fileName[0] = 0;
    if (entry)
        lstrcpynA(entryName, entry, sizeof entryName);
    if (file)
        lstrcpynA(fileName, file, sizeof fileName);
}

FormulaInstance::~FormulaInstance()
{
    parameters.DeleteAllNodes();
    functions.DeleteAllNodes();
    delete holder;
}
