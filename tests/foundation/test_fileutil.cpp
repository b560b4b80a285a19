#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "app/SplashDialog.h"
#include "foundation/FileUtil.h"
#include "formulas/FormulaFolderScan.h"
#include "formulas/FormulaNode.h"
#include "ui/TreeView.h"

namespace {

// A folder tree under the temporary folder, removed again by the destructor.
class TempTree {
public:
    TempTree()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        char name[MAX_PATH];
        GetTempFileNameA(temp, "scn", 0, name);
        DeleteFileA(name);
        root = name;
        CreateDirectoryA(root.c_str(), NULL);
    }
    ~TempTree() { Remove(root); }

    std::string Path(const std::string& rel) const { return rel.empty() ? root : root + "\\" + rel; }
    void Folder(const std::string& rel) const { CreateDirectoryA(Path(rel).c_str(), NULL); }
    void File(const std::string& rel) const
    {
        HANDLE h = CreateFileA(Path(rel).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written;
        WriteFile(h, "x", 1, &written, NULL);
        CloseHandle(h);
    }

    std::string root;

private:
    static void Remove(const std::string& path)
    {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = data.cFileName;
                if (name == "." || name == "..")
                    continue;
                std::string full = path + "\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    Remove(full);
                else
                    DeleteFileA(full.c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(path.c_str());
    }
};

// What the scan callbacks saw.
struct Event {
    bool folder;
    std::string where;   // folder argument
    std::string name;
    FormulaNode* parent;
    FormulaNode* node;   // node answered
};

std::vector<Event> g_events;
std::vector<FormulaNode*> g_made;
std::string g_cancelOn;         // file name whose callback sets WorkerCancelState
int g_cancelAtDepth = -1;       // or: first callback at this depth cancels
FormulaNode* g_existing;        // answered (key 0) for the file "old.sfm"

int Depth(FormulaNode* node)
{
    int depth = 0;
    for (; node != NULL; node = node->parent)
        depth++;
    return depth;
}

FormulaNode* Record(bool folder, const char* where, const char* name, FormulaNode* parent)
{
    if (!folder && g_existing != NULL && strcmp(name, "old.sfm") == 0) {
        g_existing->key = 0.0;
        g_events.push_back({folder, where, name, parent, g_existing});
        return g_existing;
    }
    FormulaNode* node = new FormulaNode(parent ? parent->formulaKind : FK_ITERATION,
                                        folder ? FNK_FOLDER : FNK_FILE);
    node->SetName(name);
    node->parent = parent;
    node->key = 1.0;
    if (parent != NULL)
        parent->children.Append(node);
    g_made.push_back(node);
    g_events.push_back({folder, where, name, parent, node});
    if (name == g_cancelOn || Depth(parent) == g_cancelAtDepth)
        WorkerCancelState = 1;
    return node;
}

FormulaNode* OnFile(const char* where, const char* name, FormulaNode* parent)
{
    return Record(false, where, name, parent);
}

FormulaNode* OnFolder(const char* where, const char* name, FormulaNode* parent)
{
    return Record(true, where, name, parent);
}

std::vector<std::string> g_flat;

void OnFlat(const char* folder, const char* name)
{
    g_flat.push_back(std::string(folder) + "|" + name);
    if (g_cancelOn == "*")
        WorkerCancelState = 1;
}

class ScanTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_events.clear();
        g_made.clear();
        g_flat.clear();
        g_cancelOn.clear();
        g_cancelAtDepth = -1;
        g_existing = NULL;
        WorkerCancelState = 0;
        g_SplashDialog.SetText(NULL);
        messagesBefore = g_Messages.Count();
    }
    void TearDown() override
    {
        // No scan here meets a listing error.
        EXPECT_EQ(messagesBefore, g_Messages.Count());
        WorkerCancelState = 0;
        g_ScanAddsTreeItems = 0;
        for (int i = 0; i < FORMULA_KIND_COUNT; i++)
            g_FormulaTrees[i] = NULL;
        for (FormulaNode* node : g_made)
            delete node;
    }

    std::string Splash()
    {
        char text[600];
        g_SplashDialog.GetText(text, sizeof(text));
        return text;
    }

    int messagesBefore = 0;
};

std::set<std::string> FileNames()
{
    std::set<std::string> names;
    for (const Event& e : g_events)
        if (!e.folder)
            names.insert(e.name);
    return names;
}

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (const std::string& x : v)
        s += x + ";";
    return s;
}

}  // namespace

TEST_F(ScanTest, FlatScanMatchesPatternAndShowsProgress)
{
    TempTree tree;
    tree.File("a.par");
    tree.File("B.PAR");
    tree.File("c.pa");
    tree.File("d.txt");

    ScanFolder(tree.root.c_str(), "*.par", OnFlat, "Loading parameter file");
    std::sort(g_flat.begin(), g_flat.end());
    std::vector<std::string> expected = {tree.root + "|B.PAR", tree.root + "|a.par"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Join(expected), Join(g_flat));
    std::string splash = Splash();
    EXPECT_TRUE(splash == "Loading parameter file a.par" || splash == "Loading parameter file B.PAR")
        << splash;

    // Without a progress text the splash text is left alone; a cancel stops
    // after the first entry.
    g_SplashDialog.SetText("unchanged");
    g_flat.clear();
    g_cancelOn = "*";
    ScanFolder(tree.root.c_str(), "*.par", OnFlat, NULL);
    EXPECT_EQ(1u, g_flat.size());
    EXPECT_EQ("unchanged", Splash());

    // A missing folder and a pattern without matches are quietly empty.
    g_flat.clear();
    WorkerCancelState = 0;
    ScanFolder((tree.root + "\\missing").c_str(), "*.par", OnFlat, "x");
    ScanFolder(tree.root.c_str(), "*.none", OnFlat, "x");
    EXPECT_TRUE(g_flat.empty());
}

TEST_F(ScanTest, TreeScanMatchesExtensionIgnoringCaseOnly)
{
    TempTree tree;
    tree.File("a.sfm");
    tree.File("X.SFM");
    tree.File("x.sfmx");
    tree.File("sfm");
    tree.File("notes.txt");
    tree.Folder("sub.sfm");
    tree.File("sub.sfm\\b.sfm");
    tree.File("sub.sfm\\b.scl");

    FormulaNode root(FK_ITERATION, FNK_FOLDER);
    ScanFolderTree(tree.root.c_str(), ".sfm", OnFile, OnFolder, "Loading Formulas", &root);

    EXPECT_EQ((std::set<std::string>{"a.sfm", "X.SFM", "b.sfm"}), FileNames());
    // The folder named like a formula file goes to the folder callback.
    int folders = 0;
    for (const Event& e : g_events)
        if (e.folder) {
            folders++;
            EXPECT_EQ("sub.sfm", e.name);
        }
    EXPECT_EQ(1, folders);
    EXPECT_EQ(0u, Splash().find("Loading Formulas ")) << Splash();
    root.children.Clear(false);
}

TEST_F(ScanTest, TreeScanHandsFoldersAndParentsDownwards)
{
    TempTree tree;
    tree.File("top.sfm");
    tree.Folder("one");
    tree.File("one\\mid.sfm");
    tree.Folder("one\\two");
    tree.File("one\\two\\deep.sfm");
    tree.Folder("empty");

    for (int trailing = 0; trailing < 2; trailing++) {
        SCOPED_TRACE(trailing ? "folder with trailing backslash" : "plain folder");
        g_events.clear();
        FormulaNode root(FK_ITERATION, FNK_FOLDER);
        std::string folder = tree.root + (trailing ? "\\" : "");
        ScanFolderTree(folder.c_str(), ".sfm", OnFile, OnFolder, NULL, &root);

        ASSERT_EQ(6u, g_events.size());
        // Every callback gets the folder that holds the entry (no trailing
        // backslash) and the node answered for that folder; a folder is
        // announced before anything inside it.
        std::vector<FormulaNode*> announced = {&root};
        for (const Event& e : g_events) {
            FormulaNode* parent = e.parent;
            EXPECT_NE(announced.end(), std::find(announced.begin(), announced.end(), parent))
                << e.name << " came before its folder";
            std::string expectedWhere = tree.root;
            std::vector<std::string> chain;
            for (FormulaNode* p = parent; p != &root; p = p->parent)
                chain.insert(chain.begin(), p->name);
            for (const std::string& c : chain)
                expectedWhere += "\\" + c;
            EXPECT_EQ(expectedWhere, e.where) << e.name;
            if (e.folder)
                announced.push_back(e.node);
        }
        // Nodes answered by the callbacks end with key 0.
        for (const Event& e : g_events)
            EXPECT_EQ(0.0, e.node->key) << e.name;
        EXPECT_EQ((std::set<std::string>{"top.sfm", "mid.sfm", "deep.sfm"}), FileNames());
        root.children.Clear(false);
        for (FormulaNode* node : g_made)
            node->children.Clear(false);
    }
}

TEST_F(ScanTest, CancelStopsEveryLevel)
{
    // Two branches with two subfolders each: whichever deepest folder comes
    // first cancels, so its sibling and the other branch are never visited,
    // whatever order the system lists entries in.
    TempTree tree;
    for (const char* branch : {"A", "B"}) {
        tree.Folder(branch);
        for (const char* leaf : {"1", "2"}) {
            std::string folder = std::string(branch) + "\\" + branch + leaf;
            tree.Folder(folder);
            tree.File(folder + "\\f.sfm");
            tree.File(folder + "\\g.sfm");
        }
    }
    FormulaNode root(FK_ITERATION, FNK_FOLDER);
    g_cancelAtDepth = 3;  // a callback inside a deepest folder
    ScanFolderTree(tree.root.c_str(), ".sfm", OnFile, OnFolder, NULL, &root);

    int branches = 0, leaves = 0, files = 0;
    for (const Event& e : g_events) {
        if (e.folder && Depth(e.parent) == 1)
            branches++;
        else if (e.folder)
            leaves++;
        else
            files++;
    }
    EXPECT_EQ(1, branches);
    EXPECT_EQ(1, leaves);
    EXPECT_EQ(1, files);
    EXPECT_EQ(1, WorkerCancelState) << "the scan leaves the flag for the worker to clear";
    root.children.Clear(false);
}

TEST_F(ScanTest, NewNodesGetTreeItemsWhenTheLibraryWindowIsOpen)
{
    TempTree tree;
    tree.File("a.sfm");
    tree.File("old.sfm");
    tree.Folder("sub");
    tree.File("sub\\b.sfm");

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND hwnd = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, hwnd);
    PTreeView view(hwnd);

    FormulaNode root(FK_COLORING, FNK_FOLDER);
    root.SetName("Root");
    ASSERT_NE((HTREEITEM)NULL, view.InsertItem(&root, NULL, NULL, 1, FNK_FOLDER, -1));
    FormulaNode existing(FK_COLORING, FNK_FILE);
    existing.SetName("old.sfm");
    g_existing = &existing;

    // Another kind's tree, or the switch off, gives no items.
    g_FormulaTrees[FK_ITERATION] = &view;
    g_ScanAddsTreeItems = 1;
    ScanFolderTree(tree.root.c_str(), ".sfm", OnFile, OnFolder, NULL, &root);
    for (const Event& e : g_events)
        EXPECT_EQ(nullptr, e.node->data) << e.name;

    for (FormulaNode* node : g_made)
        delete node;
    g_made.clear();
    g_events.clear();
    root.children.Clear(false);

    g_FormulaTrees[FK_ITERATION] = NULL;
    g_FormulaTrees[FK_COLORING] = &view;
    ScanFolderTree(tree.root.c_str(), ".sfm", OnFile, OnFolder, NULL, &root);
    ASSERT_EQ(4u, g_events.size());
    for (const Event& e : g_events) {
        SCOPED_TRACE(e.name);
        if (e.node == &existing) {
            EXPECT_EQ(nullptr, e.node->data);  // found, not made by this scan
            continue;
        }
        HTREEITEM item = (HTREEITEM)e.node->data;
        ASSERT_NE((HTREEITEM)NULL, item);
        char label[100] = "";
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT | TVIF_PARAM;
        tv.hItem = item;
        tv.pszText = label;
        tv.cchTextMax = sizeof(label);
        ASSERT_TRUE(SendMessageA(hwnd, TVM_GETITEMA, 0, (LPARAM)&tv));
        EXPECT_EQ(e.name, label);
        EXPECT_EQ((LPARAM)e.node, tv.lParam);
        HTREEITEM parentItem =
            (HTREEITEM)SendMessageA(hwnd, TVM_GETNEXTITEM, TVGN_PARENT, (LPARAM)item);
        EXPECT_EQ((HTREEITEM)e.parent->data, parentItem);
        EXPECT_EQ(0.0, e.node->key);
    }
    root.children.Clear(false);
    for (FormulaNode* node : g_made)
        node->children.Clear(false);
    DestroyWindow(hwnd);
}

TEST(TreeView, InsertItemLabelsAndOrdersItems)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND hwnd = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, hwnd);
    PTreeView view(hwnd);

    NodeList list;
    ListNode first, second, third, orphanParent, orphan;
    first.SetName("first");
    second.SetName("second");
    second.int2 = 1;  // modified
    third.SetName("third");
    list.Append(&first);
    list.Append(&second);
    list.Append(&third);

    view.InsertItem(&first, NULL, NULL, 2, FNK_FILE, -1);
    // "second" gets no item; "third" goes after the nearest node before it
    // that has one.
    view.InsertItem(&third, NULL, &second, 2, FNK_FILE, 3);
    view.InsertItem(&second, NULL, &first, 2, FNK_FILE, -1);

    std::vector<std::string> labels;
    HTREEITEM item = (HTREEITEM)SendMessageA(hwnd, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    for (; item != NULL; item = (HTREEITEM)SendMessageA(hwnd, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
        char label[100] = "";
        TVITEMA tv = {};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = label;
        tv.cchTextMax = sizeof(label);
        SendMessageA(hwnd, TVM_GETITEMA, 0, (LPARAM)&tv);
        labels.push_back(label);
    }
    EXPECT_EQ("first;second*;third;", Join(labels));

    // A parent without an item can't take children; no window, no item.
    EXPECT_EQ((HTREEITEM)NULL, view.InsertItem(&orphan, &orphanParent, NULL, 2, FNK_FILE, -1));
    EXPECT_EQ(nullptr, orphan.data);
    PTreeView closed;
    EXPECT_EQ((HTREEITEM)NULL, closed.InsertItem(&orphan, NULL, NULL, 2, FNK_FILE, -1));
    list.Clear(false);
    DestroyWindow(hwnd);
}

namespace {

std::vector<std::string> Split(const char* path)
{
    char** parts = SplitPath(path);
    std::vector<std::string> v;
    for (char** p = parts; *p != NULL; p++)
        v.push_back(*p);
    FreeSplitPath(parts);
    return v;
}

}  // namespace

TEST(Paths, SplitPath)
{
    struct Case {
        const char* path;
        const char* parts;
    };
    const Case cases[] = {
        {"C:\\a\\b\\f.sfm", "C:;a;b;f.sfm;"},
        {"C:\\a\\b", "C:;a;b;"},
        {"C:\\a\\b\\", "C:;a;b;;"},
        {"C:\\f.sfm", "C:;f.sfm;"},
        {"C:f.sfm", "C:;f.sfm;"},
        {"C:/a/b.txt", "C:;a;b.txt;"},
        // Without a drive or a leading backslash.
        {"a\\b\\f.sfm", ";a;b;f.sfm;"},
        {"\\a\\f", ";a;f;"},
        {"f.sfm", ";f.sfm;"},
        {"", ";;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.parts, Join(Split(c.path))) << c.path;
}

TEST(Paths, MakeRelativePath)
{
    struct Case {
        const char* base;
        const char* target;
        const char* result;
    };
    const Case cases[] = {
        {"C:\\a\\b", "C:\\a\\c\\f.sfm", "..\\c\\f.sfm"},
        {"C:\\a\\b", "C:\\a\\b\\f.sfm", "f.sfm"},
        {"C:\\a\\b", "D:\\a\\b\\f.sfm", "D:\\a\\b\\f.sfm"},
        {"c:\\A\\B", "C:\\a\\b\\sub\\f.sfm", "sub\\f.sfm"},
        {"C:\\a\\b\\c", "C:\\x.txt", "..\\..\\..\\x.txt"},
        {"C:\\a\\b", "C:\\a\\bc\\f", "..\\bc\\f"},
        {"C:\\a\\b\\", "C:\\a\\b\\f.sfm", "f.sfm"},
        {"a\\b", "a\\c.txt", "..\\c.txt"},
    };
    for (const Case& c : cases) {
        char* result = MakeRelativePath(c.base, c.target);
        EXPECT_STREQ(c.result, result) << c.base << " / " << c.target;
        free(result);
    }
}

TEST(Paths, MakeRelativePathNeverExceedsItsBuffer)
{
    // 200 folders deep in the base: the relative form would need 600
    // characters of "..\", so the target comes back as it is.
    std::string base = "C:\\top";
    for (int i = 0; i < 200; i++)
        base += "\\d";
    const char* target = "C:\\top\\other\\f.sfm";
    char* result = MakeRelativePath(base.c_str(), target);
    EXPECT_STREQ(target, result);
    EXPECT_GE(_msize(result), (size_t)RELATIVE_PATH_SIZE);
    free(result);

    // A target that is too long itself is cut to 511 characters.
    std::string longTarget = "D:";
    while (longTarget.size() < 900)
        longTarget += "\\folder";
    result = MakeRelativePath("C:\\a", longTarget.c_str());
    EXPECT_EQ((size_t)RELATIVE_PATH_SIZE - 1, strlen(result));
    EXPECT_EQ(0, strncmp(result, longTarget.c_str(), RELATIVE_PATH_SIZE - 1));
    free(result);

    // A deep target inside the base that still fits stays relative.
    std::string deepTarget = "C:\\top";
    for (int i = 0; i < 100; i++)
        deepTarget += "\\e";
    result = MakeRelativePath("C:\\top", deepTarget.c_str());
    EXPECT_EQ(deepTarget.substr(7), result);
    free(result);
}

// The scratch stream keeps every byte as written (no CR added, 0x1A is no
// end of file) and two streams open at once are separate files.
TEST(ScratchFile, KeepsBytesAndStreamsApart)
{
    FILE* a = OpenScratchFile();
    FILE* b = OpenScratchFile();
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    const char written[] = "line\nnext\x1A" "after";
    fwrite(written, 1, sizeof written - 1, a);
    fputs("other", b);
    EXPECT_EQ((long)(sizeof written - 1), ftell(a));
    rewind(a);
    char read[64] = {};
    size_t n = fread(read, 1, sizeof read, a);
    EXPECT_EQ(sizeof written - 1, n);
    EXPECT_EQ(0, memcmp(written, read, sizeof written - 1));
    rewind(b);
    n = fread(read, 1, sizeof read, b);
    EXPECT_EQ(std::string("other"), std::string(read, n));
    fclose(a);
    fclose(b);
}
