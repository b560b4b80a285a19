// Attractor formulas and their transformations: construction from a
// formula entry and deep copies.
#include "fractals/AttractorFormula.h"
#include <windows.h>
#include <string.h>
#include "compiler/FormulaCompiler.h"
#include "document/FormulaSlot.h"
#include "document/Fractal.h"
#include "formulas/FormulaLookup.h"

AttractorTransformation::AttractorTransformation(AttractorFormula* parentIn)
    : parent(parentIn), number(0), final(0), hidden(0), owner(nullptr), holder(nullptr)
{
    foundName[0] = entryName[0] = fileName[0] = 0;
}

AttractorTransformation::~AttractorTransformation()
{
    delete holder;
    parameters.DeleteAllNodes();
    functions.DeleteAllNodes();
}

AttractorFormula::AttractorFormula() : weight(1.0), colour(0), flags(0)
{
}

AttractorFormula::AttractorFormula(Fractal* owner, const char* fileName, const char* entryName)
    : weight(1.0), colour(0), flags(0)
{
    AttractorTransformation* t = new AttractorTransformation(this);
    t->owner = owner;
    lstrcpynA(t->fileName, fileName ? fileName : "", sizeof t->fileName);
    lstrcpynA(t->entryName, entryName ? entryName : "", sizeof t->entryName);
    t->holder = new FormulaHolder(FK_ITERATION);
    LookupFormula(owner, FT_ATTRACTOR, t->fileName, sizeof t->fileName, t->entryName, t->foundName, t->holder);
    SetName(t->entryName);
    t->SetName(t->entryName);
    transformations.Append(t);
}

AttractorFormula::~AttractorFormula()
{
    transformations.DeleteAllNodes();
}

void CopyAttractorTransformations(const NodeList* source, AttractorFormula* formula, NodeList* destination)
{
    destination->DeleteAllNodes();
    for (ListNode* n = source->GetHead(); n; n = n->next) {
        const AttractorTransformation* from = static_cast<const AttractorTransformation*>(n);
        AttractorTransformation* copy = new AttractorTransformation(formula);
        memcpy(copy->foundName, from->foundName, sizeof copy->foundName);
        memcpy(copy->entryName, from->entryName, sizeof copy->entryName);
        memcpy(copy->fileName, from->fileName, sizeof copy->fileName);
        copy->number = from->number;
        copy->final = from->final;
        copy->hidden = from->hidden;
        copy->owner = from->owner;
        copy->holder = new FormulaHolder(FK_ITERATION);
        CopyFormulaSource(copy->holder, from->holder, SK_ATTRACTOR);
        FormulaCompiler::copySymbols(&from->parameters, &copy->parameters, 1);
        FormulaCompiler::copyFuncParameters(&from->functions, &copy->functions);
        copy->SetName(from->name);
        destination->Append(copy);
    }
}
