// Stored formula parameters against the compiled formula, and the formula
// default section. A parameter the formula never reads is not offered:
// only separators and parameters read at least once are kept or added.
#include "document/FormulaDefaults.h"
#include <string.h>
#include "compiler/FormulaCompiler.h"
#include "document/EscapetimeParameters.h"
#include "document/QuaternionParameters.h"
#include "document/Fractal.h"

namespace {

bool IsOfferedParameter(const FormulaSymbol* s)
{
    return s->symbolClass == SYM_PARAMETER && (s->dataType == DT_SEPARATOR || s->readCount > 0);
}

const FormulaSymbol* FindOffered(const NodeList& compiled, const char* name)
{
    for (ListNode* n = compiled.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (IsOfferedParameter(s) && strcmp(s->name, name) == 0)
            return s;
    }
    return nullptr;
}

// Removes the stored entries the compiled formula no longer has.
void DropStale(NodeList* symbols, NodeList* functions, const FormulaCompiler* compiler)
{
    for (ListNode* n = symbols->GetHead(); n;) {
        ListNode* next = n->next;
        if (!compiler || !FindOffered(compiler->symbols, n->name)) {
            symbols->Remove(n);
            delete n;
        }
        n = next;
    }
    for (ListNode* n = functions->GetHead(); n;) {
        ListNode* next = n->next;
        if (!compiler || !compiler->funcParameters.Find(n->name)) {
            functions->Remove(n);
            delete n;
        }
        n = next;
    }
}

// The iteration slot's parameters. True when the default section is to be
// applied; *compiler is then the slot's compiler (null without a holder).
bool ApplyIterationSlot(FormulaSlot* slot, Fractal* fractal, int reset, int applyView,
                        const FormulaCompiler** compiler);

}  // namespace

void ApplyFormulaParameters(Fractal* fractal, NodeList* symbols, NodeList* functions, FormulaHolder* holder,
                            int reset)
{
    FormulaCompiler* compiler = holder ? holder->compiler : nullptr;
    if (reset) {
        symbols->DeleteAllNodes();
        functions->DeleteAllNodes();
    } else {
        DropStale(symbols, functions, compiler);
    }
    if (!compiler)
        return;
    compiler->reset();
    compiler->fractal = fractal;
    if (fractal && fractal->typeParameters)
        compiler->prepareDataBlock(0);

    for (ListNode* n = compiler->symbols.GetHead(); n; n = n->next) {
        const FormulaSymbol* compiled = static_cast<const FormulaSymbol*>(n);
        if (!IsOfferedParameter(compiled))
            continue;
        FormulaSymbol* stored = static_cast<FormulaSymbol*>(symbols->Find(compiled->name));
        if (stored) {
            double kept[4];
            memcpy(kept, stored->value, sizeof kept);
            compiled->copyTo(stored);
            memcpy(stored->value, kept, sizeof kept);
            symbols->Remove(stored);
        } else {
            stored = new FormulaSymbol();
            compiled->copyTo(stored);
            if (stored->defaultExpr)
                stored->evaluateDefault(holder);
            memcpy(stored->value, stored->defaultValue, sizeof stored->value);
            stored->evaluateRandomization(holder);
        }
        symbols->Append(stored);
    }
    compiler->freeWorkBuffers();

    for (ListNode* n = compiler->funcParameters.GetHead(); n; n = n->next) {
        const FormulaFuncParameter* compiled = static_cast<const FormulaFuncParameter*>(n);
        FormulaFuncParameter* stored = static_cast<FormulaFuncParameter*>(functions->Find(compiled->name));
        if (stored) {
            int chosen = stored->selected;
            compiled->copyTo(stored);
            stored->selected = chosen;
            functions->Remove(stored);
        } else {
            stored = new FormulaFuncParameter();
            compiled->copyTo(stored);
            stored->selected = compiled->defaultFunction;
        }
        functions->Append(stored);
    }
}

namespace {

bool ApplyIterationSlot(FormulaSlot* slot, Fractal* fractal, int reset, int applyView,
                        const FormulaCompiler** compiler)
{
    if (!slot)
        return false;
    ApplyFormulaParameters(fractal, &slot->parameters, &slot->functions, slot->holder, reset);
    *compiler = slot->holder ? slot->holder->compiler : nullptr;
    return applyView != 0;
}

}  // namespace

void ApplyFormulaDefaults(EscapetimeParameters* block, Fractal* fractal, int reset, int applyView)
{
    const FormulaCompiler* c = nullptr;
    if (!ApplyIterationSlot(block ? &block->iteration : nullptr, fractal, reset, applyView, &c))
        return;
    block->MaxIter = c && c->maxIter != PROPERTY_NOT_GIVEN ? c->maxIter : 150;
    block->Periodicity = c && c->periodicity != PROPERTY_NOT_GIVEN ? c->periodicity : 3;
    double angle = c && c->angle != PROPERTY_NOT_GIVEN_DOUBLE ? c->angle : 0.0;
    double cx = 0.0, cy = 0.0;
    if (c && c->center[0] != PROPERTY_NOT_GIVEN_DOUBLE) {
        cx = c->center[0];
        cy = c->center[1];
    }
    double m = c && c->magnification != PROPERTY_NOT_GIVEN_DOUBLE ? c->magnification : 1.0;
    BigNumber bm(m), centreRe(cx), centreIm(cy);
    BigNumber halfWidth = BigNumber(2) / bm;
    BigNumber halfHeight = BigNumber("1.5") / bm;
    block->TopLeftR = centreRe - halfWidth;
    block->BottomRightR = centreRe + halfWidth;
    block->TopLeftI = centreIm + halfHeight;
    block->BottomRightI = centreIm - halfHeight;
    block->Stretch = 0;
    block->Angle = angle;
}

void ApplyQuaternionFormulaDefaults(QuaternionParameters* block, Fractal* fractal, int reset, int applyView)
{
    const FormulaCompiler* c = nullptr;
    if (!ApplyIterationSlot(block ? &block->iteration : nullptr, fractal, reset, applyView, &c))
        return;
    block->MaxIter = c && c->maxIter != PROPERTY_NOT_GIVEN ? c->maxIter : 10;
}
