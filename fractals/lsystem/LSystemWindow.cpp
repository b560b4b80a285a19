// L-system formula window operations over the window link (see the header).
#include "fractals/lsystem/LSystemWindow.h"

#include <stdio.h>
#include <string.h>
#include <string>

#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/PlainBlocks.h"
#include "foundation/Thread.h"
#include "fractals/lsystem/LSystemFormula.h"

LSystemWindowLink g_LSystemWindow = {};
LSystemFormula* g_CurrentLSystemFormula = nullptr;

namespace {

// Calls visit for every L-system fractal of every folder whose formula is name.
template <typename Visit>
void ForEachLSystemFractalUsing(const char* name, Visit visit)
{
    for (ListNode* n = FolderList.GetHead(); n; n = n->next)
        for (ListNode* m = static_cast<FractalFolder*>(n)->fractals.GetHead(); m; m = m->next) {
            Fractal* f = static_cast<Fractal*>(m);
            if (f->header && f->header->Type == FT_LSYSTEM && f->typeParameters &&
                _stricmp(static_cast<LSystemParameters*>(f->typeParameters)->Formula, name) == 0)
                visit(f);
        }
}

}  // namespace

void ShowLSystemFormula(LSystemFormula* formula)
{
    if (!formula || g_LSystemFormulas.IndexOf(formula) < 0)
        formula = static_cast<LSystemFormula*>(g_LSystemFormulas.GetHead());
    g_CurrentLSystemFormula = formula;
    if (!formula)
        return;
    const LSystemWindowLink& w = g_LSystemWindow;
    if (w.listSelect)
        w.listSelect(g_LSystemFormulas.IndexOf(formula));
    if (w.setNameField)
        w.setNameField(formula->name);
    if (w.setAxiomField)
        w.setAxiomField(formula->axiom ? formula->axiom : "");
    if (w.setAngleField)
        w.setAngleField(formula->angleDivisor);
    if (w.setRuleText) {
        std::string text;
        for (const ListNode* n = formula->rules.GetHead(); n; n = n->next) {
            const LSystemRule* r = static_cast<const LSystemRule*>(n);
            text += r->symbol;
            text += '=';
            text += r->replacement ? r->replacement : "";
            text += '\n';
        }
        w.setRuleText(text.c_str());
    }
}

void RefreshLSystemFormulaLists()
{
    const LSystemWindowLink& w = g_LSystemWindow;
    if (w.parameterPageShown && w.parameterPageShown()) {
        if (w.comboReset)
            w.comboReset();
        for (ListNode* n = g_LSystemFormulas.GetHead(); n; n = n->next)
            if (w.comboAdd)
                w.comboAdd(n->name);
        Fractal* f = w.currentFractal ? w.currentFractal() : nullptr;
        if (f && f->header->Type == FT_LSYSTEM && w.comboSelect) {
            ListNode* found =
                g_LSystemFormulas.FindNoCase(static_cast<LSystemParameters*>(f->typeParameters)->Formula);
            w.comboSelect(found ? g_LSystemFormulas.IndexOf(found) : -1);
        }
    }
    if (w.formulaWindowOpen && w.formulaWindowOpen()) {
        if (w.listReset)
            w.listReset();
        for (ListNode* n = g_LSystemFormulas.GetHead(); n; n = n->next)
            if (w.listAdd)
                w.listAdd(n->name);
    }
}

void RecalculateLSystemFractals(LSystemFormula* formula)
{
    ForEachLSystemFractalUsing(formula->name, [](Fractal* f) {
        if (f->task)
            f->Recalculate();
    });
}

void RenameLSystemFormula(LSystemFormula* formula, const char* newName)
{
    char oldName[ListNode::NODE_NAME_SIZE], wanted[ListNode::NODE_NAME_SIZE];
    snprintf(oldName, sizeof oldName, "%s", formula->name);
    snprintf(wanted, sizeof wanted, "%s", newName ? newName : "");
    ForEachLSystemFractalUsing(oldName, [&](Fractal* f) {
        snprintf(static_cast<LSystemParameters*>(f->typeParameters)->Formula, 64, "%s", wanted);
    });
    // A calculation looks formulas up by name under the lock: the list is
    // changed under it too, taking the formula out and back in name order.
    g_LSystemFormulasLock.Lock();
    bool listed = g_LSystemFormulas.IndexOf(formula) >= 0;
    if (listed)
        g_LSystemFormulas.Remove(formula);
    char unique[ListNode::NODE_NAME_SIZE];
    g_LSystemFormulas.MakeUniqueName(wanted, unique, false);
    formula->SetName(unique);
    if (listed)
        g_LSystemFormulas.InsertSorted(formula, false);
    g_LSystemFormulasLock.Unlock();
    RefreshLSystemFormulaLists();
    if (g_CurrentLSystemFormula == formula)
        ShowLSystemFormula(formula);
}
