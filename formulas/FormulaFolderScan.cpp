// The scan of a formula folder tree: subfolders and formula files become
// nodes of the formula library, each reported as it is found so the tree
// view of the library window can show it at once.
#include "formulas/FormulaFolderScan.h"

#include <windows.h>
#include <string.h>
#include <string>

#include "foundation/FileUtil.h"
#include "foundation/Services.h"
#include "formulas/FormulaNode.h"

// Gives a node that this scan made a tree item, when the formula library
// window is open and the loader wants items at once.
static void GiveTreeItem(FormulaNode* node, FormulaNode* parentNode)
{
    if (node->key != 1.0 || !g_ScanAddsTreeItems || parentNode == NULL)
        return;
    int kind = parentNode->formulaKind;
    if (kind < 0 || kind >= FORMULA_KIND_COUNT || g_FormulaTrees[kind] == NULL)
        return;
    g_FormulaTrees[kind]->InsertItem(node, parentNode, node->prev, 2, node->kind, -1);
}

void ScanFolderTree(const char* folder, const char* extension, ScanNodeCallback fileCallback,
                    ScanNodeCallback folderCallback, const char* progressText,
                    FormulaNode* parentNode)
{
    std::string base = folder;
    if (!base.empty() && base[base.size() - 1] == '\\')
        base.erase(base.size() - 1);

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    ShowScanProgress(progressText, data.cFileName);
    do {
        const char* name = data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (strcmp(name, ".") != 0 && strcmp(name, "..") != 0) {
                FormulaNode* node = folderCallback(base.c_str(), name, parentNode);
                if (node != NULL)
                    GiveTreeItem(node, parentNode);
                std::string sub = base + "\\" + name;
                ScanFolderTree(sub.c_str(), extension, fileCallback, folderCallback, progressText,
                               node);
                if (node != NULL)
                    node->key = 0.0;
            }
        } else if (EndsWithNoCase(name, extension)) {
            ShowScanProgress(progressText, name);
            FormulaNode* node = fileCallback(base.c_str(), name, parentNode);
            if (node != NULL) {
                GiveTreeItem(node, parentNode);
                node->key = 0.0;
            }
        }
        if (WorkerCancelState)
            break;
    } while (NextFolderEntry(find, &data));
    CloseFolderListing(find);
}

