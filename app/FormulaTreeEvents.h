// The formula trees of the "Fractal Formulas" window and the formula
// browser popup: selection (the editor's text goes back into the entry that
// was shown, the newly selected entry is compiled as a check) and the
// formula-information page. The windows that own the editor, the status
// line and the information list bind FormulaTreeWindows; tests bind
// recorders. Main thread only.
#pragma once

#include <string>
#include <vector>

class Fractal;
class FormulaHolder;
class FormulaNode;
class ListNode;

enum {
    FORMULA_TREE_ITERATION = 1801,
    FORMULA_TREE_COLORING = 1802,
    FORMULA_TREE_TRANSFORMATION = 1803,
    FORMULA_TREE_LIBRARY = 1816,
    FORMULA_BROWSER_TREE = 1901,
};

// What the formula-information page lists of a compiled formula.
struct FormulaInfoRow {
    std::string name, type, firstCounter, secondCounter;
};
struct FormulaInfo {
    std::string parameters;  // "%d" parameters that are read
    std::string symbols;     // "%d / %d / %d": all, variables, constants
    std::string functions;   // "%d" compiled functions
    std::string codeSize;    // "%d Bytes" of their code
    std::vector<FormulaInfoRow> rows;
};

// The name the information page shows for a symbol's data type.
const char* FormulaInfoTypeName(int dataType);
// Clears info, then fills it from a compiled holder (holder->word set);
// an uncompiled or null holder leaves it empty. The compiler's functions
// must not have been freed yet.
void ShowFormulaInfo(FormulaHolder* holder, FormulaInfo* info);

// What the tree glue asks of the windows; each skipped while null.
struct FormulaTreeWindows {
    // The formula editor's text (null: no editor).
    const char* (*editorText)();
    // True while the entry's text is the one open in the editor (unbound:
    // the entry the tree showed last is). A file is open while it is the
    // editor's file (g_FormulaEditorFiles). The editor's text is set through
    // g_FormulaEditorSetText.
    bool (*isEdited)(FormulaNode* entry);
    // The compiler window's status line.
    void (*showStatus)(const char* text);
    // The information page of the current tab takes these figures and rows.
    void (*showInfo)(const FormulaInfo& info);
    // The browser popup's item was activated: the item goes into the
    // browser's formula slot (keeping the stored values when keepValues)
    // and the popup closes.
    void (*assignFromBrowser)(FormulaNode* item, bool keepValues);
    // True while Shift is held.
    bool (*shiftDown)();
    // The item selected in the tree with this control id (null: none).
    FormulaNode* (*selectedItem)(int controlId);
    // The colouring slot the window edits: 3 inside, else outside.
    int (*coloringSlot)();
    // The escape-time, quaternion or attractor page shows the fractal's
    // formulas again.
    void (*refreshTypePage)(Fractal* fractal);
};
extern FormulaTreeWindows g_FormulaTreeWindows;

// Selection and activation of the formula trees and the browser tree;
// TreeSelectionChanged and HandleItemActivated pass their ids on here.
// False for ids that are no formula tree.
bool FormulaTreeSelectionChanged(int controlId, ListNode* item);
bool FormulaTreeActivated(int controlId);
// The iteration (colouring) tree's selected entry, compiled from the
// editor's text, becomes the fractal's iteration formula (its inside or
// outside colouring by slot, 3 inside). An entry written for another kind
// of fractal is refused ("Wrong Formula"). keepValues keeps the stored
// values of parameters the new formula still has. Nothing without an open
// editor, a fitting fractal type or a selected entry.
void AssignFormula(Fractal* fractal, bool keepValues);
void AssignColoringFormula(Fractal* fractal, bool keepValues, int slot);

// The entry a formula tree showed last (null: none); every deletion of a
// node must clear it through ForgetFormulaTreeEntry.
FormulaNode* RememberedFormulaEntry(int controlId);
void ForgetFormulaTreeEntry(FormulaNode* node);
