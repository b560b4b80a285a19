#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "foundation/List.h"
#include "formulas/FormulaKind.h"

class TreeItemView;

// Kinds of the nodes of the formula trees, kept in ListNode::kind.
enum FormulaNodeKind {
    FNK_TRANSFORMATION = 2,  // entry of a transformation file
    FNK_FORMULA = 3,         // entry of an iteration-formula file
    FNK_COLORING = 4,        // entry of a colouring file
    FNK_LIBRARY = 5,         // entry of a function-library file
    FNK_FOLDER = 6,          // a search-path folder, a drive or a subfolder
    FNK_FILE = 7,            // a formula file; its entries exist while it is loaded
};

// How the entries of a formula file are read, chosen by its extension.
enum FormulaFileCode {
    FFC_ITERATION = 0,       // ".sfm" (and every unknown extension)
    FFC_COLORING = 1,        // ".scl"
    FFC_TRANSFORMATION = 2,  // ".str"
    FFC_UF_FORMULA = 4,      // ".ufm", converted
    FFC_UF_COLORING = 5,     // ".ucl", converted
    FFC_UF_TRANSFORM = 6,    // ".uxf", converted
    FFC_FRACTINT = 7,        // ".frm", converted
    FFC_LIBRARY = 8,         // ".lib"
};

// Entry flags kept in ListNode::int1 of an entry node.
enum { ENTRY_PLANE = 0, ENTRY_QUATERNION = 1, ENTRY_ATTRACTOR = 2 };

// Size of the path buffers of the formula library.
enum { FORMULA_PATH_SIZE = 1024 };

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

    // Inserts child into the children, ordered by ascending node kind and
    // then display name without case (before the first child of greater
    // kind, or of equal kind and greater name; else at the end).
    void InsertChild(FormulaNode* child);
    // The first node of the list (from first on) whose name text equals
    // name ignoring case, or null.
    static FormulaNode* FindChild(ListNode* first, const char* name);
    // Full path of a folder or file node: the name texts of the node and its
    // ancestors joined with "\" (a root's name text is the whole folder
    // path). Cut to size - 1 characters.
    void GetPath(char* out, size_t size) const;

    // File nodes: a newly allocated (malloc) copy of the text of the entry
    // whose name text equals name ignoring case, from its name to its
    // closing brace; its title into title (64 bytes) when title is given and
    // the entry has one (else title is emptied). A loaded file is searched
    // in its entry nodes, an unloaded one is read from disk. Null when there
    // is no such entry, the file is empty or unreadable, or the node is no
    // file.
    char* FindEntryText(const char* name, char* title) const;

    // Reads a file node's entries into child nodes (nothing for a loaded
    // file, an empty or unreadable one). With a tree view every entry gets
    // an item under the file's item.
    void LoadEntries(TreeItemView* tree);
    // Drops a loaded file's entries again; with save the file is first
    // written back and its index rebuilt. Returns 0 when nothing was done.
    int UnloadEntries(TreeItemView* tree, int save);

    // Writes a loaded file back: the current entry texts (and the comment)
    // spliced into the old file text at their offsets. The new text goes to
    // a temporary file in the same folder that then replaces the file, so
    // an interrupted write leaves the old file. Afterwards the file text is
    // the file read back and every written part carries its new offsets. A
    // file that cannot be written keeps its content, its nodes their
    // offsets. Returns true when the file was written.
    bool WriteFile();
    // Adds a new entry "sx_<number>": a copy of source (an entry text that
    // begins with its name) with its title prefixed "Copy of " (or "Copy (n)
    // of ") when it has one, else the template of the file's kind filled
    // with the name and title. flag goes into the entry's int1. A loaded file
    // gets the entry node and is written; an unloaded file gets the text
    // appended. Returns WriteIndexFile() of the file.
    int AddNewEntry(int flag, const char* title, const char* source);
    // Rebuilds the ".slb" index of a function library when it is missing or
    // its last-write time differs from the library's: 0 when the node is not
    // a library, the index was current or it was rebuilt; 1 when the library
    // cannot be opened (the index is deleted) or the index cannot be written
    // or given the library's times; 3 when an entry does not compile (the
    // index is deleted).
    int WriteIndexFile();

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

// The list of root folders of a FormulaKind (g_Transformations,
// g_IterationFormulas, g_ColoringFormulas, g_FunctionLibraries), or null.
NodeList* FormulaRoot(int formulaKind);

// File code of a file name by its extension (compared without case).
int FormulaFileCode(const char* fileName);

// Reads a whole file in text mode (CR LF becomes LF) into a new zero-filled
// block (malloc) with extra bytes of room behind the text; *length receives
// the characters read. Null when the file cannot be opened or is empty.
char* ReadFormulaTextFile(const char* path, int extra, int* length);

// Copies text into a fixed buffer of size bytes, cut to fit.
void CopyCut(char* out, size_t size, const char* text);

// The entry name before the first "{" of text (for UltraFractal files, with
// topLevel set, the first "{" at depth 0 outside quotes and ";" comments):
// the last token before the brace or before the parenthesised group in
// front of it. Copies the name (at most 63 characters) into name (64
// bytes), the brace offset into *braceOffset, and returns the offset of the
// name; -1 when the text has no brace or no name.
int FindEntryName(const char* text, char* name, int* braceOffset, int topLevel);
// Offset of the "}" that closes the "{" at open, skipping "//" and "/* */"
// comments and quoted text; -1 when it is not closed.
int FindClosingBrace(const char* text, int open);
// The title of the first assignment 'this.title = "..."' in text into title
// (size bytes, cut to fit); returns the offset of the title in text, or -1
// (title emptied) when there is no complete quoted title.
int ReadEntryTitle(const char* text, char* title, size_t size = 64);
// Makes the entry node of the entry in text that closes at closeBrace (an
// offset in text), for a file of the given code. The entry text is handed
// to *entryText (when given; else freed), the offset of the name in text to
// *nameOffset. Null when the entry has no name or its conversion failed.
FormulaNode* ParseFormulaEntry(FormulaNode* file, const char* text, int closeBrace, int fileCode,
                               char** entryText, int* nameOffset);
// For node and every following sibling: unloads each loaded file with
// saving (tree view of its kind) and goes on into the children.
void UnloadFormulaTree(FormulaNode* node);
// Tree notifications of the formula trees: an item is about to expand
// (action 2) / has collapsed (action 1).
void OnFormulaTreeExpand(TreeItemView* tree, FormulaNode* node, int action);
void OnFormulaTreeCollapse(TreeItemView* tree, FormulaNode* node, int action);
// Case-insensitive search of pattern in text: the position in text, or null.
const char* StrStrNoCase(const char* text, const char* pattern);

// Removes and deletes every node of the list with all its descendants.
void DeleteFormulaNodes(NodeList* list);

// Conversion of the entries of foreign formula files (Fractint and
// UltraFractal, file codes 4 to 7): answers a newly allocated converted
// text, or null when the conversion fails. Set by the converters; while it
// is null, entries of foreign files are left out of the tree.
typedef char* (*ForeignEntryConverter)(int fileCode, const char* entryText);
extern ForeignEntryConverter g_ForeignEntryConverter;

// The tree views of the formula library window, one per FormulaKind; null
// while the window is closed.
extern TreeItemView* g_FormulaTrees[FORMULA_KIND_COUNT];
// The formula library window; null while it is closed.
extern HWND g_FormulaLibraryWindow;
// Control id of the tree of the formula browser popup.
enum { IDC_FORMULA_BROWSER_TREE = 1901 };
// For each formula kind the file node whose comment the formula editor of
// that kind shows (null: none), and the editor's text setter (null while the
// formula window is closed).
extern FormulaNode* g_FormulaEditorFiles[FORMULA_KIND_COUNT];
extern void (*g_FormulaEditorSetText)(int formulaKind, const char* text);

// Non-zero while nodes that a folder scan adds get tree items at once (when
// the formula library window exists).
extern volatile int g_ScanAddsTreeItems;
