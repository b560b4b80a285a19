// The nodes of the four formula trees and the small helpers the formula
// library shares: paths, file codes, whole-file reads, tree notifications.
#include "formulas/FormulaNode.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "foundation/Services.h"

TreeItemView* g_FormulaTrees[FORMULA_KIND_COUNT];
HWND g_FormulaLibraryWindow = NULL;
FormulaNode* g_FormulaEditorFiles[FORMULA_KIND_COUNT];
void (*g_FormulaEditorSetText)(int formulaKind, const char* text) = NULL;
volatile int g_ScanAddsTreeItems;
ForeignEntryConverter g_ForeignEntryConverter = NULL;

FormulaNode::FormulaNode(int formulaKind, int nodeKind)
    : nameText(NULL), entryText(NULL), fileText(NULL), size(0), loaded(0),
      startOffset(-1), endOffset(-1), formulaKind(formulaKind), parent(NULL)
{
    kind = nodeKind;
    key = 0.0;
    memset(&creationTime, 0, sizeof(creationTime));
    memset(&lastWriteTime, 0, sizeof(lastWriteTime));
}

FormulaNode::~FormulaNode()
{
    free(nameText);
    free(entryText);
    free(fileText);
}

void FormulaNode::InsertChild(FormulaNode* child)
{
    child->parent = this;
    for (ListNode* n = children.GetHead(); n != NULL; n = n->next) {
        if (n->kind > child->kind || (n->kind == child->kind && _stricmp(n->name, child->name) > 0)) {
            children.InsertBefore(child, n);
            return;
        }
    }
    children.Append(child);
}

FormulaNode* FormulaNode::FindChild(ListNode* first, const char* name)
{
    if (name == NULL)
        return NULL;
    for (ListNode* n = first; n != NULL; n = n->next) {
        FormulaNode* node = static_cast<FormulaNode*>(n);
        if (node->nameText != NULL && _stricmp(node->nameText, name) == 0)
            return node;
    }
    return NULL;
}

void FormulaNode::GetPath(char* out, size_t outSize) const
{
    if (out == NULL || outSize == 0)
        return;
    std::vector<const FormulaNode*> chain;
    for (const FormulaNode* n = this; n != NULL; n = n->parent)
        chain.push_back(n);
    std::string path;
    for (size_t i = chain.size(); i-- > 0;) {
        if (i + 1 < chain.size())
            path += '\\';
        path += chain[i]->nameText != NULL ? chain[i]->nameText : "";
    }
    CopyCut(out, outSize, path.c_str());
}

NodeList* FormulaRoot(int formulaKind)
{
    switch (formulaKind) {
    case FK_TRANSFORMATION: return &g_Transformations;
    case FK_ITERATION: return &g_IterationFormulas;
    case FK_COLORING: return &g_ColoringFormulas;
    case FK_LIBRARY: return &g_FunctionLibraries;
    default: return NULL;
    }
}

int FormulaFileCode(const char* fileName)
{
    static const struct {
        const char* extension;
        int code;
    } codes[] = {
        {".sfm", FFC_ITERATION},      {".scl", FFC_COLORING}, {".str", FFC_TRANSFORMATION},
        {".ufm", FFC_UF_FORMULA},     {".ucl", FFC_UF_COLORING}, {".uxf", FFC_UF_TRANSFORM},
        {".frm", FFC_FRACTINT},       {".lib", FFC_LIBRARY},
    };
    const char* dot = fileName != NULL ? strrchr(fileName, '.') : NULL;
    if (dot == NULL || strchr(dot, '\\') != NULL)
        return FFC_ITERATION;
    for (const auto& c : codes) {
        if (_stricmp(dot, c.extension) == 0)
            return c.code;
    }
    return FFC_ITERATION;
}

char* ReadFormulaTextFile(const char* path, int extra, int* length)
{
    if (length != NULL)
        *length = 0;
    FILE* file = fopen(path, "r");
    if (file == NULL)
        return NULL;
    long fileLength = -1;
    if (fseek(file, 0, SEEK_END) == 0)
        fileLength = ftell(file);
    fseek(file, 0, SEEK_SET);
    if (fileLength <= 0 || fileLength > 0x3FFFFFFF) {
        fclose(file);
        return NULL;
    }
    char* text = static_cast<char*>(calloc((size_t)fileLength + (size_t)(extra > 0 ? extra : 0) + 1, 1));
    if (text == NULL) {
        fclose(file);
        return NULL;
    }
    // Text mode turns every CR LF into LF, so fewer characters than bytes
    // may arrive.
    size_t n = fread(text, 1, (size_t)fileLength, file);
    fclose(file);
    text[n] = 0;
    if (length != NULL)
        *length = (int)n;
    return text;
}

void CopyCut(char* out, size_t outSize, const char* text)
{
    if (out == NULL || outSize == 0)
        return;
    if (text == NULL)
        text = "";
    size_t n = strlen(text);
    if (n >= outSize)
        n = outSize - 1;
    memcpy(out, text, n);
    out[n] = 0;
}

const char* StrStrNoCase(const char* text, const char* pattern)
{
    if (text == NULL || pattern == NULL)
        return NULL;
    size_t n = strlen(pattern);
    if (n == 0)
        return text;
    for (const char* p = text; *p != 0; p++) {
        if (_strnicmp(p, pattern, n) == 0)
            return p;
    }
    return NULL;
}

void DeleteFormulaNodes(NodeList* list)
{
    if (list == NULL)
        return;
    while (ListNode* n = list->GetHead()) {
        list->Remove(n);
        FormulaNode* node = static_cast<FormulaNode*>(n);
        DeleteFormulaNodes(&node->children);
        delete node;
    }
}

void UnloadFormulaTree(FormulaNode* node)
{
    for (; node != NULL; node = static_cast<FormulaNode*>(node->next)) {
        if (node->kind == FNK_FILE && node->loaded) {
            TreeItemView* tree = node->formulaKind >= 0 && node->formulaKind < FORMULA_KIND_COUNT
                                  ? g_FormulaTrees[node->formulaKind]
                                  : NULL;
            node->UnloadEntries(tree, 1);
        }
        UnloadFormulaTree(static_cast<FormulaNode*>(node->children.GetHead()));
    }
}

namespace {

bool IsBrowserTree(TreeItemView* tree)
{
    return tree != NULL && tree->TreeWindow() != NULL &&
           GetDlgCtrlID(tree->TreeWindow()) == IDC_FORMULA_BROWSER_TREE;
}

bool IsLibraryTree(TreeItemView* tree, int formulaKind)
{
    return tree != NULL && formulaKind >= 0 && formulaKind < FORMULA_KIND_COUNT &&
           tree == g_FormulaTrees[formulaKind];
}

}  // namespace

void OnFormulaTreeExpand(TreeItemView* tree, FormulaNode* node, int action)
{
    if (node == NULL || node->kind != FNK_FILE || action != 2)
        return;
    if (IsBrowserTree(tree)) {
        node->LoadEntries(tree);
        return;
    }
    if (!IsLibraryTree(tree, node->formulaKind))
        return;
    node->LoadEntries(g_FormulaTrees[node->formulaKind]);
    if (g_FormulaEditorFiles[node->formulaKind] == node && node->entryText != NULL &&
        g_FormulaEditorSetText != NULL)
        g_FormulaEditorSetText(node->formulaKind, node->entryText);
}

void OnFormulaTreeCollapse(TreeItemView* tree, FormulaNode* node, int action)
{
    if (node == NULL || node->kind != FNK_FILE || action != 1)
        return;
    if (IsBrowserTree(tree)) {
        node->UnloadEntries(tree, 0);
        return;
    }
    if (!IsLibraryTree(tree, node->formulaKind))
        return;
    node->UnloadEntries(g_FormulaTrees[node->formulaKind], 1);
    for (int k = 0; k < FORMULA_KIND_COUNT; k++) {
        if (g_FormulaEditorFiles[k] == node && g_FormulaEditorSetText != NULL)
            g_FormulaEditorSetText(k, "");
    }
}
