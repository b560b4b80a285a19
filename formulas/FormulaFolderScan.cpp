// The scan of a formula folder tree: subfolders and formula files become
// nodes of the formula library, each reported as it is found so the tree
// view of the library window can show it at once.
#include "formulas/FormulaFolderScan.h"

#include <windows.h>
#include <string.h>
#include <set>
#include <string>
#include <utility>

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

// The volume and file index of a folder: the same for every path that
// reaches it, through links and junctions too. False when the folder can't
// be opened.
static bool FolderIdentity(const std::string& path, unsigned long long identity[2])
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok)
        return false;
    identity[0] = info.dwVolumeSerialNumber;
    identity[1] = ((unsigned long long)info.nFileIndexHigh << 32) | info.nFileIndexLow;
    return true;
}

typedef std::set<std::pair<unsigned long long, unsigned long long>> FolderSet;

static void ScanTree(const std::string& base, const char* extension, ScanNodeCallback fileCallback,
                     ScanNodeCallback folderCallback, const char* progressText, FormulaNode* parentNode,
                     FolderSet* scanned);

void ScanFolderTree(const char* folder, const char* extension, ScanNodeCallback fileCallback,
                    ScanNodeCallback folderCallback, const char* progressText,
                    FormulaNode* parentNode)
{
    std::string base = folder;
    if (!base.empty() && base[base.size() - 1] == '\\')
        base.erase(base.size() - 1);
    FolderSet scanned;
    unsigned long long identity[2];
    if (FolderIdentity(base, identity))
        scanned.insert(std::make_pair(identity[0], identity[1]));
    ScanTree(base, extension, fileCallback, folderCallback, progressText, parentNode, &scanned);
}

// A folder reached a second time (a link or junction back into the tree, or
// two links to the same folder) is scanned only once, so the scan ends.
static void ScanTree(const std::string& base, const char* extension, ScanNodeCallback fileCallback,
                     ScanNodeCallback folderCallback, const char* progressText, FormulaNode* parentNode,
                     FolderSet* scanned)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    ShowScanProgress(progressText, data.cFileName);
    do {
        const char* name = data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            bool dots = strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
            std::string sub = base + "\\" + name;
            unsigned long long identity[2];
            bool again = !dots && FolderIdentity(sub, identity) &&
                         !scanned->insert(std::make_pair(identity[0], identity[1])).second;
            if (!dots && !again) {
                FormulaNode* node = folderCallback(base.c_str(), name, parentNode);
                if (node != NULL)
                    GiveTreeItem(node, parentNode);
                ScanTree(sub, extension, fileCallback, folderCallback, progressText, node, scanned);
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

