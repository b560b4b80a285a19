// After the formula editor compiled an edited entry: every fractal whose
// formula slots name that entry gets the new text, compiled once so that
// its stored parameters follow the formula, and is recalculated. Escape-time
// slots match by base name (a three-letter extension dropped), quaternion
// and attractor slots by the whole file name; names compare without case.
#include "calc/escapetime/EscapeTime.h"

#include <string.h>
#include <string>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/QuaternionParameters.h"
#include "formulas/FormulaNode.h"
#include "fractals/AttractorFormula.h"

void (*g_RefreshParameterPage)(Fractal* fractal) = nullptr;

namespace {

// The length of a name without a three-letter extension: cut four
// characters before the end when a '.' stands there; a name of fewer than
// four characters is never cut (nothing before it is read).
size_t BaseLength(const char* name)
{
    size_t n = strlen(name);
    if (n >= 4 && name[n - 4] == '.')
        return n - 4;
    return n;
}

bool SameName(const char* a, const char* b)
{
    return _stricmp(a, b) == 0;
}

// One slot the edited entry may reach: its names, values and holder.
struct SlotView {
    char* foundName;
    const char* fileName;
    const char* entryName;
    NodeList* parameters;
    NodeList* functions;
    FormulaHolder* holder;
};

SlotView ViewOf(FormulaSlot& s)
{
    return {s.foundName, s.fileName, s.entryName, &s.parameters, &s.functions, s.holder};
}

SlotView ViewOf(FormulaInstance* t)
{
    return {t->foundName, t->fileName, t->entryName, &t->parameters, &t->functions, t->holder};
}

SlotView ViewOf(AttractorTransformation* t)
{
    return {t->foundName, t->fileName, t->entryName, &t->parameters, &t->functions, t->holder};
}

// The edited entry: its title, entry name, text, kind and file name.
struct EditedEntry {
    const char* title;
    const char* entryName;
    const char* text;
    int kind;
    const char* fileName;
};

bool EscapeSlotMatches(const EditedEntry& e, const SlotView& s, bool cutEntryNames)
{
    if (!SameBaseName(e.fileName, s.fileName))
        return false;
    if (cutEntryNames)
        return SameBaseName(e.entryName, s.entryName);
    return SameName(e.entryName, s.entryName);
}

bool WholeSlotMatches(const EditedEntry& e, const SlotView& s)
{
    return SameName(e.fileName, s.fileName) && SameName(e.entryName, s.entryName);
}

// Steps 1 to 5 for one slot that names the entry.
void ApplyToSlot(Fractal* f, const EditedEntry& e, const SlotView& s, int subKind, bool* changed)
{
    if (!s.holder)
        return;
    f->StopCalculation();
    strncpy(s.foundName, e.title, 63);
    s.foundName[63] = 0;
    size_t length = strlen(e.text);
    std::string source(e.text, length);
    source.resize(length + 100, '\0');
    s.holder->SetSource(source.c_str());
    bool ok = s.holder->compiler->compile(s.holder->text, 0, -128, nullptr, nullptr, nullptr, "", subKind, nullptr,
                                          false, false);
    s.holder->word = ok ? 1 : 0;
    s.holder->compiler->freeResults();
    if (ok)
        ApplyFormulaParameters(f, s.parameters, s.functions, s.holder, 0);
    *changed = true;
}

void ReapplyToFractal(Fractal* f, const EditedEntry& e)
{
    bool changed = false;
    int type = f->header->Type;
    if (type == FT_ESCAPETIME && f->typeParameters) {
        EscapetimeParameters* b = static_cast<EscapetimeParameters*>(f->typeParameters);
        if (e.kind == FK_ITERATION && EscapeSlotMatches(e, ViewOf(b->iteration), false))
            ApplyToSlot(f, e, ViewOf(b->iteration), SK_PLANE, &changed);
        if (e.kind == FK_COLORING) {
            if (EscapeSlotMatches(e, ViewOf(b->inside), false))
                ApplyToSlot(f, e, ViewOf(b->inside), SK_PLANE, &changed);
            if (EscapeSlotMatches(e, ViewOf(b->outside), true))
                ApplyToSlot(f, e, ViewOf(b->outside), SK_PLANE, &changed);
        }
        if (e.kind == FK_TRANSFORMATION)
            for (ListNode* n = b->transformations.GetHead(); n; n = n->next) {
                SlotView v = ViewOf(static_cast<FormulaInstance*>(n));
                if (EscapeSlotMatches(e, v, false))
                    ApplyToSlot(f, e, v, SK_PLANE, &changed);
            }
    } else if (type == FT_QUATERNION && f->typeParameters) {
        QuaternionParameters* b = static_cast<QuaternionParameters*>(f->typeParameters);
        if (e.kind == FK_ITERATION && WholeSlotMatches(e, ViewOf(b->iteration)))
            ApplyToSlot(f, e, ViewOf(b->iteration), SK_QUATERNION, &changed);
        if (e.kind == FK_COLORING && WholeSlotMatches(e, ViewOf(b->colouring)))
            ApplyToSlot(f, e, ViewOf(b->colouring), SK_QUATERNION, &changed);
        if (e.kind == FK_TRANSFORMATION)
            for (ListNode* n = b->transformations.GetHead(); n; n = n->next) {
                SlotView v = ViewOf(static_cast<FormulaInstance*>(n));
                if (WholeSlotMatches(e, v))
                    ApplyToSlot(f, e, v, SK_QUATERNION, &changed);
            }
    } else if (type == FT_ATTRACTOR && f->typeParameters) {
        AttractorParameters* b = static_cast<AttractorParameters*>(f->typeParameters);
        if (e.kind == FK_ITERATION)
            for (ListNode* n = b->formulas.GetHead(); n; n = n->next) {
                AttractorFormula* formula = static_cast<AttractorFormula*>(n);
                if (formula->flags & 1)
                    continue;
                for (ListNode* m = formula->transformations.GetHead(); m; m = m->next) {
                    AttractorTransformation* t = static_cast<AttractorTransformation*>(m);
                    if (!t->hidden && WholeSlotMatches(e, ViewOf(t)))
                        ApplyToSlot(f, e, ViewOf(t), SK_ATTRACTOR, &changed);
                }
            }
        if (e.kind == FK_COLORING && WholeSlotMatches(e, ViewOf(b->colouring)))
            ApplyToSlot(f, e, ViewOf(b->colouring), SK_QUATERNION, &changed);
    }
    if (!changed)
        return;
    FractalModified(f) = 1;
    if (CurrentFolder && CurrentFolder->currentFractal == f && g_RefreshParameterPage)
        g_RefreshParameterPage(f);
    f->Recalculate();
}

}  // namespace

bool SameBaseName(const char* a, const char* b)
{
    size_t na = BaseLength(a), nb = BaseLength(b);
    return na == nb && _strnicmp(a, b, na) == 0;
}

void ReapplyEditedFormula(FormulaNode* node)
{
    if (!node || !node->entryText || !node->parent)
        return;
    EditedEntry e;
    e.title = node->name;
    e.entryName = node->nameText ? node->nameText : "";
    e.text = node->entryText;
    e.kind = node->formulaKind;
    e.fileName = node->parent->name;
    for (ListNode* fn = FolderList.GetHead(); fn; fn = fn->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(fn);
        if (strcmp(folder->name, "RenderJobs.par") == 0)
            continue;
        for (ListNode* n = folder->fractals.GetHead(); n; n = n->next)
            ReapplyToFractal(static_cast<Fractal*>(n), e);
    }
}
