// Fractal folders: construction with unique paths and names, insertion of
// fractals in name order or at a chosen place (never between a layered
// fractal and its layers), the current folder, deletion of a folder, and
// the listings that show folders and fractals (combo boxes 204 and 205,
// tree items, window captions) through the listing hooks.
#include "document/FractalFolder.h"
#include <stdio.h>
#include <string.h>
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/ParameterTables.h"
#include "document/Selection.h"
#include "foundation/MessageBox.h"

FractalFolder* DefaultParameterFolder = nullptr;
FractalFolder* RunningAnimationFolder = nullptr;

namespace {

bool TreeExists()
{
    return g_Listings.treeExists && g_Listings.treeExists();
}

void RedrawCombo(int control)
{
    if (g_Listings.comboRedraw)
        g_Listings.comboRedraw(control);
}

void SelectComboEntry(int control, int index)
{
    if (g_Listings.comboSelect)
        g_Listings.comboSelect(control, index);
}

void InsertTreeItem(ListNode* node, ListNode* parent, ListNode* after, int level, int kind)
{
    if (g_Listings.treeInsert)
        g_Listings.treeInsert(node, parent, after, level, kind, -1);
}

void UpdateTreeItem(ListNode* node)
{
    if (node && TreeExists() && g_Listings.treeUpdate)
        g_Listings.treeUpdate(node);
}

bool IsLayerNode(const ListNode* node)
{
    return node && node->kind == NODE_KIND_LAYER;
}

// The fractal's tree item under its folder's item (or under its base's
// item for a layer), behind its nearest sibling before it.
void InsertFractalItem(FractalFolder* folder, Fractal* fractal)
{
    if (!TreeExists() || !folder->IsListed())
        return;
    if (IsLayerNode(fractal)) {
        ListNode* parent = fractal->prev;
        while (IsLayerNode(parent))
            parent = parent->prev;
        ListNode* after = IsLayerNode(fractal->prev) ? fractal->prev : nullptr;
        InsertTreeItem(fractal, parent ? parent : folder, after, 3, fractal->kind);
    } else {
        ListNode* after = fractal->prev;
        while (IsLayerNode(after))
            after = after->prev;
        InsertTreeItem(fractal, folder, after, 2, fractal->kind);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

FractalFolder::FractalFolder() : fractals(keys), currentFractal(nullptr), treeExpanded(0)
{
    int2 = 1;
    flag = 0;
    path[0] = 0;
}

FractalFolder::FractalFolder(const char* directory, const char* folderName, int folderKind, bool addToList,
                             bool listed)
    : fractals(keys), currentFractal(nullptr), treeExpanded(0)
{
    int2 = 1;
    flag = listed ? 1 : 0;
    char prefix[sizeof path];
    snprintf(prefix, sizeof prefix, "%s\\", directory ? directory : "");
    if (!folderName)
        folderName = "";
    // The first of "name", "name.1", "name.2" ... whose path no folder has.
    char candidate[NODE_NAME_SIZE * 2];
    char candidatePath[sizeof path];
    for (int k = 0;; ++k) {
        if (k == 0)
            snprintf(candidate, sizeof candidate, "%s", folderName);
        else
            snprintf(candidate, sizeof candidate, "%s.%d", folderName, k);
        snprintf(candidatePath, sizeof candidatePath, "%s%s", prefix, candidate);
        bool taken = false;
        for (ListNode* n = FolderList.GetHead(); n && !taken; n = n->next)
            taken = _stricmp(static_cast<FractalFolder*>(n)->path, candidatePath) == 0;
        if (!taken)
            break;
    }
    kind = folderKind;
    Reset();
    lstrcpynA(path, candidatePath, sizeof path);
    SetName(candidate);
    if (!addToList)
        return;
    FolderList.InsertSorted(this, true);
    FillFolderCombo();
    if (TreeExists())
        InsertTreeItem(this, nullptr, prev, 1, kind);
}

FractalFolder::~FractalFolder()
{
    // Fractals still held (a folder dropped without DeleteFolder) keep no
    // pointer to the folder that is gone.
    while (ListNode* n = fractals.GetHead()) {
        fractals.Remove(n);
        static_cast<Fractal*>(n)->folder = nullptr;
    }
    if (FolderList.IndexOf(this) >= 0)
        FolderList.Remove(this);
    if (CurrentFolder == this)
        CurrentFolder = nullptr;
    if (DefaultParameterFolder == this)
        DefaultParameterFolder = nullptr;
    if (RunningAnimationFolder == this)
        RunningAnimationFolder = nullptr;
}

void UnlinkFromFolder(Fractal* fractal)
{
    FractalFolder* folder = fractal ? fractal->folder : nullptr;
    if (!folder)
        return;
    if (folder->currentFractal == fractal)
        folder->currentFractal = nullptr;
    if (folder->currentKey == fractal)
        folder->currentKey = nullptr;
    if (folder->fractals.IndexOf(fractal) < 0)
        return;
    if (fractal->data && TreeExists() && g_Listings.treeDelete)
        g_Listings.treeDelete(fractal);
    folder->fractals.Remove(fractal);
}

// ---------------------------------------------------------------------------
// Insertion

void FractalFolder::AddFractal(Fractal* fractal, bool select)
{
    if (!fractal)
        return;
    UnlinkFromFolder(fractal);
    char unique[NODE_NAME_SIZE * 2];
    fractals.MakeUniqueName(fractal->name, unique, false);
    fractal->SetName(unique);
    ListNode* before = nullptr;
    for (ListNode* n = fractals.GetHead(); n; n = n->next) {
        if (!IsLayerNode(n) && _stricmp(n->name, fractal->name) > 0) {
            before = n;
            break;
        }
    }
    fractals.InsertBefore(fractal, before);
    fractal->folder = this;
    int2 = 1;
    RedrawCombo(FOLDER_COMBO_ID);
    UpdateTreeItem(this);
    InsertFractalItem(this, fractal);
    if (!select)
        return;
    if (this == CurrentFolder) {
        SelectFractal(fractal, true);
        FillFractalCombo();
    } else {
        currentFractal = fractal;
    }
}

void FractalFolder::InsertFractalAfter(Fractal* fractal, ListNode* node)
{
    if (!fractal || fractal == node)
        return;
    UnlinkFromFolder(fractal);
    if (!IsLayerNode(fractal) && node)
        while (IsLayerNode(node->next))
            node = node->next;
    fractals.InsertAfter(fractal, node);
    fractal->folder = this;
    InsertFractalItem(this, fractal);
}

void FractalFolder::InsertLayerFractal(Fractal* fractal, ListNode* node, Fractal* baseFractal)
{
    if (!fractal || fractal == node || fractal == baseFractal)
        return;
    UnlinkFromFolder(fractal);
    fractal->kind = NODE_KIND_LAYER;
    fractals.InsertAfter(fractal, node ? node : baseFractal);
    fractal->folder = this;
    InsertFractalItem(this, fractal);
}

// ---------------------------------------------------------------------------
// The current folder and the combo boxes

void FractalFolder::MakeCurrent(bool force)
{
    if (kind == FOLDER_PARAMETERS)
        DefaultParameterFolder = this;
    if (!force && CurrentFolder == this)
        return;
    CurrentFolder = this;
    SelectComboEntry(FOLDER_COMBO_ID, GetFolderIndex(this));
    FillFractalCombo();
    if (currentFractal && TreeExists() && g_Listings.treeSelect)
        g_Listings.treeSelect(currentFractal);
}

void SetCurrentFolder(FractalFolder* folder)
{
    if (folder == CurrentFolder)
        return;
    CurrentFolder = folder;
    SelectComboEntry(FOLDER_COMBO_ID, GetFolderIndex(folder));
    FillFractalCombo();
}

FractalFolder* GetFolderByIndex(int position)
{
    int index = 0;
    for (ListNode* n = FolderList.GetHead(); n; n = n->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(n);
        if (!folder->IsListed())
            continue;
        if (index++ == position)
            return folder;
    }
    return nullptr;
}

int GetFolderIndex(const FractalFolder* folder)
{
    int index = 0;
    for (ListNode* n = FolderList.GetHead(); n; n = n->next) {
        const FractalFolder* f = static_cast<const FractalFolder*>(n);
        if (!f->IsListed())
            continue;
        if (f == folder)
            return index;
        ++index;
    }
    return -1;
}

void FillFolderCombo()
{
    if (g_Listings.comboReset)
        g_Listings.comboReset(FOLDER_COMBO_ID);
    // Every listed folder, the running animation's too, so that entries,
    // drawing and GetFolderByIndex count the same positions.
    for (ListNode* n = FolderList.GetHead(); n; n = n->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(n);
        if (folder->IsListed() && g_Listings.comboAdd)
            g_Listings.comboAdd(FOLDER_COMBO_ID, folder->name);
    }
    SelectComboEntry(FOLDER_COMBO_ID, GetFolderIndex(CurrentFolder));
}

void FillFractalCombo()
{
    if (g_Listings.comboReset)
        g_Listings.comboReset(FRACTAL_COMBO_ID);
    if (!CurrentFolder)
        return;
    for (ListNode* n = CurrentFolder->fractals.GetHead(); n; n = n->next)
        if (g_Listings.comboAdd)
            g_Listings.comboAdd(FRACTAL_COMBO_ID, n->name);
    SelectComboEntry(FRACTAL_COMBO_ID, CurrentFolder->fractals.IndexOf(CurrentFolder->currentFractal));
}

// ---------------------------------------------------------------------------
// Listings and captions

void FractalFolder::UpdateListings()
{
    RedrawCombo(FOLDER_COMBO_ID);
    UpdateTreeItem(this);
}

void Fractal::UpdateListings()
{
    if (!folder)
        return;
    RedrawCombo(FOLDER_COMBO_ID);
    RedrawCombo(FRACTAL_COMBO_ID);
    if (TreeExists()) {
        UpdateTreeItem(this);
        if (baseFractal)
            UpdateTreeItem(baseFractal);
        UpdateTreeItem(folder);
    }
    if (g_Listings.redrawTimeline)
        g_Listings.redrawTimeline();
    if (task)
        UpdateWindowTitle();
}

void Fractal::UpdateWindowTitle()
{
    if (!task || !task->window)
        return;
    double progress = GetProgress();
    int percent = (int)(progress * 100.0);
    char title[200];
    const Fractal* owner = baseFractal ? baseFractal : this;
    FractalFolder* animation = RunningAnimationFolder;
    if (animation && owner->folder == animation) {
        int last = animation->Endframe >= 1 ? animation->Endframe : animation->frameCounter;
        bool paused = g_AnimationPaused && g_AnimationPaused();
        snprintf(title, sizeof title, paused ? "%s %d/%d (%d%%) (paused)" : "%s %d/%d (%d%%)", animation->name,
                 animation->frameCounter, last, percent);
    } else if (progress > 0) {
        snprintf(title, sizeof title, "%s (%d%%)", name, percent);
    } else {
        snprintf(title, sizeof title, "%s", name);
    }
    if (g_Listings.setWindowTitle)
        g_Listings.setWindowTitle(task->window, title);
}

// ---------------------------------------------------------------------------
// Deletion

int FractalFolder::DeleteEntry(Fractal* fractal, bool ask, bool refresh)
{
    if (kind == FOLDER_PARAMETERS)
        return DeleteFractal(fractal, ask, refresh);
    if (!fractal || IsLayerNode(fractal) || !g_DeleteAnimationKey)
        return 0;
    return g_DeleteAnimationKey(this, fractal, ask);
}

int DeleteFolder(FractalFolder* folder, bool ask, bool deleteFile)
{
    if (!folder)
        return 0;
    // The last folder of a kind stays on the interactive path; checked
    // before the question, which would otherwise be asked in vain.
    int sameKind = 0;
    for (ListNode* n = FolderList.GetHead(); n; n = n->next)
        if (n->kind == folder->kind)
            ++sameKind;
    if (ask && sameKind <= 1) {
        g_InfoBox.Show("Delete operation",
                       "You are trying to delete the last fractal (or animation) folder.\nThis is not possible, "
                       "one folder of each type must remain.");
        return 0;
    }
    if (ask && FractalTypeFlags[CNF_DelProj]) {
        PMessageBox question(MB_STYLE_YESNOCANCEL);
        int answer = question.Show("Delete operation",
                                   "You are about to delete a folder.\nThis folder and all fractals contained in "
                                   "it will be lost forever!\n\nDo you really want to delete it?");
        if (answer == IDNO || answer == IDCANCEL)
            return answer;
    }
    if (g_CloseTask)
        for (ListNode* n = folder->fractals.GetHead(); n; n = n->next)
            if (static_cast<Fractal*>(n)->task)
                g_CloseTask(static_cast<Fractal*>(n), 1, 0, 0);
    // The combo boxes are filled once below, so no deletion refreshes them.
    while (ListNode* head = folder->fractals.GetHead())
        DeleteFractal(static_cast<Fractal*>(head), false, false);

    FractalFolder* nextCurrent = CurrentFolder;
    if (nextCurrent == folder)
        nextCurrent = static_cast<FractalFolder*>(folder->next ? folder->next : folder->prev);
    if (FolderList.IndexOf(folder) >= 0)
        FolderList.Remove(folder);
    if (ask && deleteFile && folder->path[0])
        DeleteFileA(folder->path);
    CurrentFolder = nextCurrent;
    if (DefaultParameterFolder == folder)
        DefaultParameterFolder = nullptr;
    FillFolderCombo();
    FillFractalCombo();
    if (folder->data && TreeExists() && g_Listings.treeDelete)
        g_Listings.treeDelete(folder);
    delete folder;
    return 0;
}
