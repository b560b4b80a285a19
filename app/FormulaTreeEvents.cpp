// Selection and activation in the formula trees. A selection first hands the
// editor's text back to the entry shown before (a library file is written
// back and its index rebuilt, since other formulas compile against it), then
// shows and test-compiles the new entry in a throw-away holder so the user
// sees at once whether it compiles and which symbols it uses.
#include "app/FormulaTreeEvents.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "calc/FormulaInstance.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/FormulaDefaults.h"
#include "document/Fractal.h"
#include "document/Undo.h"
#include "document/FractalFolder.h"
#include "document/QuaternionParameters.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaNode.h"
#include "foundation/MessageBox.h"

FormulaTreeWindows g_FormulaTreeWindows;

namespace {

const int kTreeIds[] = {FORMULA_TREE_ITERATION, FORMULA_TREE_COLORING, FORMULA_TREE_TRANSFORMATION,
                        FORMULA_TREE_LIBRARY};
const int kTreeKinds[] = {FK_ITERATION, FK_COLORING, FK_TRANSFORMATION, FK_LIBRARY};
FormulaNode* s_Remembered[4];

int TreeIndex(int controlId)
{
    for (int i = 0; i < 4; i++)
        if (kTreeIds[i] == controlId)
            return i;
    return -1;
}

bool IsEntry(const FormulaNode* node)
{
    return node != NULL && node->kind >= FNK_TRANSFORMATION && node->kind <= FNK_LIBRARY;
}

std::string Format(const char* format, int value)
{
    char text[32];
    snprintf(text, sizeof text, format, value);
    return text;
}

bool HiddenFromInfo(const FormulaSymbol* symbol)
{
    return symbol->dataType == DT_SEPARATOR || strncmp(symbol->name, "INFO:", 5) == 0 ||
           strncmp(symbol->name, "__O_", 4) == 0 || strncmp(symbol->name, "__I_", 4) == 0;
}

// The editor's text goes back into the entry (or file comment) it came from.
void TakeEditorText(int tree, FormulaNode* node)
{
    if (node == NULL || g_FormulaTreeWindows.editorText == NULL)
        return;
    bool edited = IsEntry(node) ? g_FormulaTreeWindows.isEdited == NULL || g_FormulaTreeWindows.isEdited(node)
                                : node->kind == FNK_FILE && g_FormulaEditorFiles[kTreeKinds[tree]] == node;
    if (!edited)
        return;
    const char* text = g_FormulaTreeWindows.editorText();
    if (text == NULL || (node->entryText != NULL && strcmp(node->entryText, text) == 0))
        return;
    free(node->entryText);
    node->entryText = _strdup(text);
    node->int2 = 1;
    if (kTreeIds[tree] == FORMULA_TREE_LIBRARY) {
        FormulaNode* file = node->kind == FNK_FILE ? node : node->parent;
        if (file != NULL && file->WriteFile())
            file->WriteIndexFile();
    }
}

void ShowText(int tree, const char* text)
{
    if (g_FormulaEditorSetText != NULL)
        g_FormulaEditorSetText(kTreeKinds[tree], text != NULL ? text : "");
}

void ShowStatus(const char* text)
{
    if (g_FormulaTreeWindows.showStatus != NULL)
        g_FormulaTreeWindows.showStatus(text);
}

int SubKindOf(const FormulaNode* entry)
{
    return entry->int1 == ENTRY_QUATERNION ? SK_QUATERNION : entry->int1 == ENTRY_ATTRACTOR ? SK_ATTRACTOR : SK_PLANE;
}

void CompileAndShow(int tree, FormulaNode* entry)
{
    FormulaHolder holder(kTreeKinds[tree]);
    holder.SetSource(entry->entryText);
    holder.word = holder.compiler->compile(holder.text, 0, -128, NULL, NULL, NULL, entry->nameText,
                                           SubKindOf(entry), NULL, false, false);
    FormulaInfo info;
    if (holder.word) {
        ShowStatus("Formula has been successfully compiled");
        ShowFormulaInfo(&holder, &info);
    } else {
        ShowStatus("Formula contains errors.");
    }
    if (g_FormulaTreeWindows.showInfo != NULL)
        g_FormulaTreeWindows.showInfo(info);
    holder.compiler->freeResults();
}

Fractal* CurrentFractal()
{
    return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
}

void RefreshTypePage(Fractal* fractal)
{
    if (g_FormulaTreeWindows.refreshTypePage != NULL)
        g_FormulaTreeWindows.refreshTypePage(fractal);
}

bool ShiftDown()
{
    return g_FormulaTreeWindows.shiftDown != NULL && g_FormulaTreeWindows.shiftDown();
}

// A transformation entry becomes a new transformation of the current
// escape-time or quaternion fractal, behind the selected one.
void AddTransformation(FormulaNode* entry)
{
    Fractal* fractal = CurrentFractal();
    if (fractal == NULL || !IsEntry(entry))
        return;
    int type = fractal->header->Type;
    if (type != FT_ESCAPETIME && type != FT_QUATERNION) {
        g_ErrorBox.Show("Not implemented", "Compiling formulas for this type not implemented.");
        return;
    }
    static const struct {
        int type, entryFlag;
        const char* refusal;
    } kFits[] = {
        {FT_ESCAPETIME, ENTRY_PLANE,
         "This formula has not been written for fractal type \"Quaternion\".\nIt cannot be compiled for "
         "Escapetime and thus cannot\nbe assigned to an Escapetime fractal."},
        {FT_QUATERNION, ENTRY_QUATERNION,
         "This formula has not been written for fractal type \"Escapetime\".\nIt cannot be compiled for "
         "Quaternions and thus cannot\nbe assigned to a Quaternion."},
        {FT_ATTRACTOR, ENTRY_ATTRACTOR,
         "This formula has not been written for fractal type \"Attractor\".\nIt cannot be compiled for "
         "Attractors and thus cannot\nbe assigned to a Attractor."},
    };
    for (const auto& fit : kFits)
        if (fit.type == type && fit.entryFlag != entry->int1) {
            g_ErrorBox.Show("Error", fit.refusal);
            return;
        }
    const char* text = entry->entryText;
    if (g_FormulaTreeWindows.editorText != NULL && entry == s_Remembered[2] &&
        (g_FormulaTreeWindows.isEdited == NULL || g_FormulaTreeWindows.isEdited(entry)))
        text = g_FormulaTreeWindows.editorText();

    fractal->StopCalculation();
    FormulaInstance* instance = new FormulaInstance(
        fractal, entry->nameText, entry->parent != NULL ? entry->parent->nameText : "");
    instance->holder->SetSource(text);
    instance->holder->word = instance->holder->compiler->compile(
        instance->holder->text, 0, -128, NULL, NULL, fractal, entry->nameText,
        type == FT_ESCAPETIME ? SK_PLANE : SK_QUATERNION, NULL, false, false);
    ApplyFormulaParameters(fractal, &instance->parameters, &instance->functions, instance->holder, ShiftDown() ? 0 : 1);
    instance->holder->compiler->freeResults();

    NodeList* list;
    FormulaInstance* selected = NULL;
    if (type == FT_ESCAPETIME) {
        EscapetimeParameters* block = static_cast<EscapetimeParameters*>(fractal->typeParameters);
        list = &block->transformations;
        selected = block->selectedTransformation;
        block->selectedTransformation = instance;
    } else {
        list = &static_cast<QuaternionParameters*>(fractal->typeParameters)->transformations;
    }
    if (selected != NULL && list->IndexOf(selected) >= 0)
        list->InsertAfter(instance, selected);
    else
        list->Append(instance);
    RefreshTypePage(fractal);
    AddUndoStep(fractal, "New transformation");
    fractal->Recalculate();
}

FormulaNode* SelectedEntry(int controlId, int nodeKind)
{
    FormulaNode* node =
        g_FormulaTreeWindows.selectedItem != NULL ? g_FormulaTreeWindows.selectedItem(controlId) : NULL;
    return node != NULL && node->kind == nodeKind ? node : NULL;
}

// The editor's text compiled into the slot for target; accepted formulas
// take the slot (names, source, parameters), recorded as undoText.
// accept(ok, compiledType) decides; refusal is the box's text.
template <typename Accept>
bool AssignToSlot(Fractal* fractal, FormulaSlot* slot, FormulaNode* entry, int target, Accept accept,
                  const char* refusal)
{
    const char* text = g_FormulaTreeWindows.editorText();
    if (text == NULL || slot->holder == NULL)
        return false;
    FormulaCompiler* compiler = slot->holder->compiler;
    bool ok = compiler->compile(text, 0, -128, NULL, NULL, fractal, entry->nameText, target, NULL, false, false);
    int compiledType = compiler->subKind;
    compiler->freeResults();
    if (!accept(ok, compiledType)) {
        g_ErrorBox.Show("Wrong Formula", refusal);
        return false;
    }
    fractal->StopCalculation();
    slot->SetNames(entry->parent != NULL ? entry->parent->nameText : "", entry->nameText,
                   entry->fileText != NULL ? entry->fileText : entry->nameText);
    slot->holder->SetSource(text);
    slot->holder->word = ok;
    return true;
}

void RecordAndRecalculate(Fractal* fractal, const char* format, const char* name)
{
    char undo[160];
    snprintf(undo, sizeof undo, format, name);
    AddUndoStep(fractal, undo);
    fractal->Recalculate();
}

}  // namespace

void AssignFormula(Fractal* fractal, bool keepValues)
{
    if (fractal == NULL || g_FormulaTreeWindows.editorText == NULL)
        return;
    int type = fractal->header->Type;
    FormulaNode* entry = SelectedEntry(FORMULA_TREE_ITERATION, FNK_FORMULA);
    if (entry == NULL || (type != FT_ESCAPETIME && type != FT_QUATERNION))
        return;
    bool escapetime = type == FT_ESCAPETIME;
    int target = escapetime ? SK_PLANE : SK_QUATERNION;
    int mark = escapetime ? ENTRY_PLANE : ENTRY_QUATERNION;
    FormulaSlot* slot = escapetime ? &static_cast<EscapetimeParameters*>(fractal->typeParameters)->iteration
                                   : &static_cast<QuaternionParameters*>(fractal->typeParameters)->iteration;
    const char* refusal =
        escapetime ? "This formula has not been written for fractal type \"Escapetime\".\nIt cannot be compiled for "
                     "Escapetime and thus cannot\nbe assigned to an Escapetime fractal."
                   : "This formula has not been written for fractal type \"Quaternion\".\nIt cannot be compiled for "
                     "Quaternions and thus cannot\nbe assigned to a Quaternion.";
    auto accept = [&](bool ok, int compiledType) { return compiledType == target && (ok || entry->int1 == mark); };
    if (!AssignToSlot(fractal, slot, entry, target, accept, refusal))
        return;
    // Shift (no kept values) also gives the formula's default view.
    if (escapetime)
        ApplyFormulaDefaults(static_cast<EscapetimeParameters*>(fractal->typeParameters), fractal, !keepValues,
                             !keepValues);
    else
        ApplyQuaternionFormulaDefaults(static_cast<QuaternionParameters*>(fractal->typeParameters), fractal,
                                       !keepValues, !keepValues);
    RefreshTypePage(fractal);
    RecordAndRecalculate(fractal, "New formula: %s", entry->nameText);
}

void AssignColoringFormula(Fractal* fractal, bool keepValues, int slotChoice)
{
    if (fractal == NULL || g_FormulaTreeWindows.editorText == NULL)
        return;
    int type = fractal->header->Type;
    FormulaNode* entry = SelectedEntry(FORMULA_TREE_COLORING, FNK_COLORING);
    if (entry == NULL)
        return;
    FormulaSlot* slot;
    int target;
    bool inside = true;
    if (type == FT_ESCAPETIME) {
        EscapetimeParameters* block = static_cast<EscapetimeParameters*>(fractal->typeParameters);
        inside = slotChoice == 3;
        slot = inside ? &block->inside : &block->outside;
        target = SK_PLANE;
    } else if (type == FT_QUATERNION) {
        slot = &static_cast<QuaternionParameters*>(fractal->typeParameters)->colouring;
        target = SK_QUATERNION;
    } else if (type == FT_ATTRACTOR) {
        slot = &static_cast<AttractorParameters*>(fractal->typeParameters)->colouring;
        target = SK_ATTRACTOR;
    } else {
        return;
    }
    int mark = type == FT_ESCAPETIME ? ENTRY_PLANE : ENTRY_QUATERNION;
    const char* refusal =
        type == FT_ESCAPETIME
            ? "This formula has been written for fractal type \"Quaternion\".\nIt cannot be compiled for "
              "Escapetime and thus cannot\nbe assigned to an Escapetime fractal."
            : "This formula has been written for fractal type \"Escapetime\".\nIt cannot be compiled for "
              "Quaternions and thus cannot\nbe assigned to a Quaternion.";
    auto accept = [&](bool ok, int) { return ok || entry->int1 == mark; };
    if (!AssignToSlot(fractal, slot, entry, target, accept, refusal))
        return;
    ApplyFormulaParameters(fractal, &slot->parameters, &slot->functions, slot->holder, keepValues ? 0 : 1);
    RefreshTypePage(fractal);
    RecordAndRecalculate(fractal, inside ? "Inside: %s" : "Outside: %s", entry->nameText);
}

const char* FormulaInfoTypeName(int dataType)
{
    switch (dataType) {
    case DT_COMPLEX: return "complex";
    case DT_REAL: return "real";
    case DT_INT: return "int";
    case DT_BOOL: return "bool";
    case DT_QUATERNION: return "quaternion";
    case DT_ARRAY: return "dynamic array";
    case DT_PREDEFINED_ARRAY: return "static array";
    case DT_COLOR: return "color";
    case DT_VECTOR: return "vector";
    default: return "Unknown";
    }
}

void ShowFormulaInfo(FormulaHolder* holder, FormulaInfo* info)
{
    *info = FormulaInfo();
    if (holder == NULL || !holder->word)
        return;
    FormulaCompiler* compiler = holder->compiler;
    int parameters = 0, variables = 0, constants = 0, all = 0;
    for (ListNode* n = compiler->symbols.GetHead(); n != NULL; n = n->next) {
        const FormulaSymbol* symbol = static_cast<const FormulaSymbol*>(n);
        all++;
        if (symbol->symbolClass == SYM_PARAMETER && symbol->readCount > 0)
            parameters++;
        else if (symbol->symbolClass == SYM_VARIABLE)
            variables++;
        else if (symbol->symbolClass == SYM_CONSTANT)
            constants++;
    }
    int functions = 0, bytes = 0;
    for (ListNode* n = compiler->functions.GetHead(); n != NULL; n = n->next) {
        const FormulaFunction* function = static_cast<const FormulaFunction*>(n);
        if (function->codeLength == FUNCTION_NOT_COMPILED)
            continue;
        functions++;
        bytes += (int)function->codeLength;
    }
    char symbols[64];
    snprintf(symbols, sizeof symbols, "%d / %d / %d", all, variables, constants);
    info->parameters = Format("%d", parameters);
    info->symbols = symbols;
    info->functions = Format("%d", functions);
    info->codeSize = Format("%d Bytes", bytes);
    for (ListNode* n = compiler->symbols.GetHead(); n != NULL; n = n->next) {
        const FormulaSymbol* symbol = static_cast<const FormulaSymbol*>(n);
        if (HiddenFromInfo(symbol))
            continue;
        info->rows.push_back({symbol->name, FormulaInfoTypeName(symbol->dataType), Format("%d", symbol->readCount),
                              Format("%d", symbol->writeCount)});
    }
}

bool FormulaTreeSelectionChanged(int controlId, ListNode* item)
{
    int tree = TreeIndex(controlId);
    if (tree < 0)
        return false;
    TakeEditorText(tree, s_Remembered[tree]);
    FormulaNode* node = static_cast<FormulaNode*>(item);
    s_Remembered[tree] = node;
    if (node == NULL)
        return true;
    if (!IsEntry(node) && node->kind != FNK_FILE)
        return true;
    // A file shows its comment; the editor now edits that file.
    g_FormulaEditorFiles[kTreeKinds[tree]] = node->kind == FNK_FILE ? node : NULL;
    ShowText(tree, node->entryText);
    if (IsEntry(node) && node->entryText != NULL)
        CompileAndShow(tree, node);
    return true;
}

bool FormulaTreeActivated(int controlId)
{
    if (controlId != FORMULA_TREE_TRANSFORMATION && controlId != FORMULA_BROWSER_TREE &&
        controlId != FORMULA_TREE_ITERATION && controlId != FORMULA_TREE_COLORING)
        return false;
    FormulaNode* selected =
        g_FormulaTreeWindows.selectedItem != NULL ? g_FormulaTreeWindows.selectedItem(controlId) : NULL;
    if (selected == NULL)
        return true;
    if (controlId == FORMULA_TREE_ITERATION) {
        AssignFormula(CurrentFractal(), !ShiftDown());
    } else if (controlId == FORMULA_TREE_COLORING) {
        AssignColoringFormula(CurrentFractal(), !ShiftDown(),
                              g_FormulaTreeWindows.coloringSlot != NULL ? g_FormulaTreeWindows.coloringSlot() : 0);
    } else if (controlId == FORMULA_TREE_TRANSFORMATION) {
        AddTransformation(selected);
    } else if (controlId == FORMULA_BROWSER_TREE) {
        if (selected->kind != FNK_FOLDER && selected->kind != FNK_FILE && g_FormulaTreeWindows.assignFromBrowser != NULL)
            g_FormulaTreeWindows.assignFromBrowser(selected, !ShiftDown());
    }
    return true;
}

FormulaNode* RememberedFormulaEntry(int controlId)
{
    int tree = TreeIndex(controlId);
    return tree >= 0 ? s_Remembered[tree] : NULL;
}

void ForgetFormulaTreeEntry(FormulaNode* node)
{
    for (FormulaNode*& remembered : s_Remembered)
        if (remembered == node)
            remembered = NULL;
}
