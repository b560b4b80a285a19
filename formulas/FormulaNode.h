#pragma once
#include <windows.h>
#include <stdint.h>

#include "foundation/List.h"
#include "formulas/FormulaKind.h"

class PTreeView;

// Kinds of the nodes of the formula trees, kept in ListNode::kind.
enum FormulaNodeKind {
    FNK_TRANSFORMATION = 2,  // entry of a transformation file
    FNK_FORMULA = 3,         // entry of an iteration-formula file
    FNK_COLORING = 4,        // entry of a colouring file
    FNK_LIBRARY = 5,         // entry of a function-library file
    FNK_FOLDER = 6,          // a search-path folder, a drive or a subfolder
    FNK_FILE = 7,            // a formula file; its entries exist while it is loaded
};

// A node of one of the four formula trees: a folder, a formula file or, while
// its file is loaded, an entry. Of the base fields the tree uses name (the
// display name), key (1.0 while a scan added the node and it has no tree
// item yet, else 0.0), kind (FormulaNodeKind), int1 (entries: 0 plane
// formula, 1 quaternion, 2 attractor), int2 (modified mark: the tree item
// shows "*") and data (the node's tree item while it has one).
class FormulaNode : public ListNode {
public:
    // An empty node of the given formula kind and node kind: no texts, no
    // parent, no children, times and size zero, not loaded, offsets -1.
    FormulaNode(int formulaKind, int nodeKind);
    // Frees the three texts (allocated with malloc); deletes no child node.
    virtual ~FormulaNode();

    char* nameText;          // folder: root path or folder name; file: file name; entry: entry name
    char* entryText;         // entry: its text; file: the text of its COMMENT entry
    char* fileText;          // file: the whole file text while loaded
    FILETIME creationTime;   // file creation time
    FILETIME lastWriteTime;  // file last-write time
    uint32_t size;           // file size in bytes
    int32_t loaded;          // 1 while a file's entries are loaded
    int32_t startOffset;     // entry: offset of its name; file: of its COMMENT entry; -1 when none
    int32_t endOffset;       // offset of the closing brace; -1 when none
    int32_t formulaKind;     // FormulaKind of the tree the node belongs to
    NodeList children;       // child nodes
    FormulaNode* parent;     // not owned; null for a root folder
};

// The tree views of the formula library window, one per FormulaKind; null
// while the window is closed.
extern PTreeView* g_FormulaTrees[FORMULA_KIND_COUNT];

// Non-zero while nodes that a folder scan adds get tree items at once (when
// the formula library window exists).
extern volatile int g_ScanAddsTreeItems;
