// Loading formula folders into the four trees: the folder scan, reuse of
// nodes on a second load, the search path, foreign files, and the loader
// thread beside the progress dialog (run without a window).
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/ScanProgressDialog.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "foundation/FileUtil.h"
#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

class FormulaLoaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = folder.MakeFolder("Formulas");
        folder.MakeFolder("Formulas\\sub\\deeper");
        folder.CopyFixture("mixed.sfm", "Formulas\\a.sfm");
        folder.CopyFixture("lfonly.scl", "Formulas\\b.scl");
        folder.CopyFixture("mathlib.lib", "Formulas\\sub\\m.lib");
        folder.CopyFixture("mixed.sfm", "Formulas\\sub\\deeper\\d.sfm");
        WriteBytes(folder / "Formulas\\t.str", Crlf("move {\n}\n"));
        WriteBytes(folder / "Formulas\\notes.txt", "not a formula file");
    }
    void TearDown() override
    {
        ClearFormulaTrees();
        SetCompilerFormulaPath(nullptr);
        g_ScanProgressRunner = nullptr;
    }

    static FormulaNode* RootNode(int kind)
    {
        NodeList* list = FormulaRoot(kind);
        return list->Count() > 0 ? static_cast<FormulaNode*>(list->GetHead()) : nullptr;
    }

    // The display names of a node's children, joined with ",".
    static std::string Names(const FormulaNode* node)
    {
        std::string names;
        for (ListNode* n = node->children.GetHead(); n; n = n->next)
            names += (names.empty() ? "" : ",") + std::string(n->name);
        return names;
    }

    TempFolder folder;
    std::string root;
};

TEST_F(FormulaLoaderTest, AFolderScanFillsEveryTreeWithItsFolderAndFiles)
{
    ScanFormulaFolder(root.c_str(), root.c_str());
    const char* expected[FORMULA_KIND_COUNT][3] = {
        // root, sub, deeper
        {"sub,t.str", "deeper", ""},
        {"sub,a.sfm", "deeper", "d.sfm"},
        {"sub,b.scl", "deeper", ""},
        {"sub", "deeper,m.lib", ""},
    };
    for (int kind = 0; kind < FORMULA_KIND_COUNT; kind++) {
        SCOPED_TRACE(kind);
        ASSERT_EQ(1, FormulaRoot(kind)->Count());
        FormulaNode* top = RootNode(kind);
        EXPECT_STREQ("Formulas", top->name);
        EXPECT_STREQ(root.c_str(), top->nameText);
        EXPECT_EQ(FNK_FOLDER, top->kind);
        EXPECT_EQ(kind, top->formulaKind);
        EXPECT_EQ(expected[kind][0], Names(top));
        FormulaNode* sub = Child(top, 0);
        EXPECT_EQ(top, sub->parent);
        EXPECT_EQ(expected[kind][1], Names(sub));
        EXPECT_EQ(expected[kind][2], Names(Child(sub, 0)));
    }
    FormulaNode* a = Child(RootNode(FK_ITERATION), 1);
    EXPECT_EQ(FNK_FILE, a->kind);
    EXPECT_EQ(0.0, a->key);
    EXPECT_EQ(ReadBytes(FixturePath("mixed.sfm")).size(), a->size);
    EXPECT_TRUE(SameTime(LastWriteTime(root + "\\a.sfm"), a->lastWriteTime));
    char path[FORMULA_PATH_SIZE];
    Child(Child(RootNode(FK_LIBRARY), 0), 1)->GetPath(path, sizeof path);
    EXPECT_EQ(root + "\\sub\\m.lib", path);
    EXPECT_EQ(0, WorkerCancelState);
}

// Directory links made for one test and removed before the folder is, so
// that the removal does not follow them.
struct FolderLinks {
    std::vector<std::string> paths;
    bool Add(const std::string& link, const std::string& target)
    {
        // Looked up: the program is built for systems without links. Flags
        // 1 | 2: a directory link, made without elevation where allowed.
        typedef BOOLEAN(WINAPI * CreateLink)(LPCSTR, LPCSTR, DWORD);
        CreateLink create = reinterpret_cast<CreateLink>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
        if (!create || !create(link.c_str(), target.c_str(), 1 | 2))
            return false;
        paths.push_back(link);
        return true;
    }
    ~FolderLinks()
    {
        for (const std::string& p : paths)
            RemoveDirectoryA(p.c_str());
    }
};

TEST_F(FormulaLoaderTest, AFolderReachedAgainThroughALinkIsScannedOnce)
{
    // Two links from a subfolder back to the root would make the scan
    // branch for ever.
    FolderLinks links;
    if (!links.Add(root + "\\sub\\back1", root) || !links.Add(root + "\\sub\\back2", root))
        GTEST_SKIP() << "no directory links here";
    ScanFormulaFolder(root.c_str(), root.c_str());
    FormulaNode* sub = Child(RootNode(FK_LIBRARY), 0);
    EXPECT_EQ("deeper,m.lib", Names(sub));
    EXPECT_EQ("sub,a.sfm", Names(RootNode(FK_ITERATION)));
}

TEST_F(FormulaLoaderTest, ASecondScanReusesEveryNode)
{
    ScanFormulaFolder(root.c_str(), root.c_str());
    FormulaNode* top = RootNode(FK_ITERATION);
    FormulaNode* sub = Child(top, 0);
    FormulaNode* a = Child(top, 1);
    FormulaNode* d = Child(Child(sub, 0), 0);
    WriteBytes(folder / "Formulas\\sub\\new.sfm", "n {\n}\n");
    // The same folder in another letter case.
    std::string upper = root;
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    ScanFormulaFolder(upper.c_str(), root.c_str());
    EXPECT_EQ(1, FormulaRoot(FK_ITERATION)->Count());
    EXPECT_EQ(top, RootNode(FK_ITERATION));
    EXPECT_EQ(2, top->children.Count());
    EXPECT_EQ(sub, Child(top, 0));
    EXPECT_EQ(a, Child(top, 1));
    EXPECT_EQ("deeper,new.sfm", Names(sub));
    EXPECT_EQ(d, Child(Child(sub, 0), 0));
}

TEST_F(FormulaLoaderTest, AFileScanAddsTheFileBelowItsRootFolder)
{
    std::string file = root + "\\sub\\m.lib";
    FormulaNode* node = ScanFormulaFile(file.c_str(), (root + "\\sub").c_str());
    ASSERT_NE(nullptr, node);
    ASSERT_EQ(1, FormulaRoot(FK_LIBRARY)->Count());
    EXPECT_STREQ("sub", RootNode(FK_LIBRARY)->name);
    EXPECT_EQ(node, Child(RootNode(FK_LIBRARY), 0));
    EXPECT_EQ(0.0, node->key);
    EXPECT_EQ(node, ScanFormulaFile(file.c_str(), (root + "\\sub").c_str()));
    EXPECT_EQ(nullptr, ScanFormulaFile((root + "\\notes.txt").c_str(), root.c_str()));
    EXPECT_EQ(0, FormulaRoot(FK_ITERATION)->Count());
}

TEST(FormulaRootFolder, ADriveRootShowsAsDrive)
{
    FormulaNode* drive = FindOrMakeRootFolder(FK_COLORING, "C:\\");
    ASSERT_NE(nullptr, drive);
    EXPECT_STREQ("Drive C:\\", drive->name);
    EXPECT_EQ(drive, FindOrMakeRootFolder(FK_COLORING, "c:\\"));
    EXPECT_EQ(1, g_ColoringFormulas.Count());
    EXPECT_EQ(drive, FindFolderNodeByPath(drive, "C:", 1, 0));
    EXPECT_EQ(nullptr, FindFolderNodeByPath(drive, "C:", 1, 1));
    ClearFormulaTrees();
}

TEST(FormulaSearchPath, AddsAFolderOnlyWhenItIsNotAnElement)
{
    struct Case {
        const char* list;
        const char* folder;
        bool element;
    } cases[] = {
        {"C:\\One;D:\\Two", "d:\\two", true},
        {"C:\\One;D:\\Two", "c:\\ONE", true},
        {"C:\\One;D:\\Two", "D:\\Tw", false},
        {"C:\\One;D:\\Two", "One", false},
        {"C:\\One;D:\\Two;", "D:\\Two", true},
        {"C:\\OneMore;C:\\One", "C:\\One", true},
        {"", "C:\\One", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " / " + c.folder);
        EXPECT_EQ(c.element, IsFormulaPathElement(c.list, c.folder));
    }
    SetCompilerFormulaPath("C:\\One");
    EXPECT_FALSE(AddToCompilerFormulaPath("c:\\one"));
    EXPECT_TRUE(AddToCompilerFormulaPath("C:\\On"));
    EXPECT_STREQ("C:\\One;C:\\On", CompilerFormulaPath);
    SetCompilerFormulaPath(nullptr);
    EXPECT_TRUE(AddToCompilerFormulaPath("E:\\x"));
    EXPECT_STREQ("E:\\x", CompilerFormulaPath);
    SetCompilerFormulaPath(nullptr);
}

TEST_F(FormulaLoaderTest, ForeignFilesAreCountedUnlessTheirTwinIsCurrent)
{
    WriteBytes(folder / "Formulas\\frac.frm", "f { }");
    WriteBytes(folder / "Formulas\\uf.UCL", "u { }");
    WriteBytes(folder / "Formulas\\lone.ufm", "l { }");
    FormulaNode* top = FindOrMakeRootFolder(FK_ITERATION, root.c_str());
    FormulaNode* twin = new FormulaNode(FK_ITERATION, FNK_FILE);
    twin->nameText = _strdup("frac.sfm");
    twin->SetName("frac.sfm");
    top->InsertChild(twin);
    FormulaNode* ufTwin = new FormulaNode(FK_ITERATION, FNK_FILE);
    ufTwin->nameText = _strdup("UF.scl");
    ufTwin->SetName("UF.scl");
    top->InsertChild(ufTwin);

    FractintFileCount = UltraFractalFileCount = 0;
    twin->lastWriteTime = LastWriteTime(folder / "Formulas\\frac.frm");
    ufTwin->lastWriteTime = LastWriteTime(folder / "Formulas\\uf.UCL");
    EXPECT_EQ(nullptr, AddFormulaFile(root.c_str(), "frac.frm", top));
    EXPECT_EQ(nullptr, AddFormulaFile(root.c_str(), "uf.UCL", top));
    EXPECT_EQ(0, FractintFileCount);
    EXPECT_EQ(0, UltraFractalFileCount);

    // An edited foreign file (another time) counts again; so do files
    // without a twin and files that cannot be opened.
    twin->lastWriteTime.dwLowDateTime ^= 1;
    EXPECT_EQ(nullptr, AddFormulaFile(root.c_str(), "frac.frm", top));
    EXPECT_EQ(nullptr, AddFormulaFile(root.c_str(), "lone.ufm", top));
    EXPECT_EQ(nullptr, AddFormulaFile(root.c_str(), "missing.uxf", top));
    EXPECT_EQ(1, FractintFileCount);
    EXPECT_EQ(2, UltraFractalFileCount);
    EXPECT_EQ(2, top->children.Count());
    FractintFileCount = UltraFractalFileCount = 0;
}

int RunUntilClosed(ScanProgressDialog* dialog)
{
    return dialog->RunHeadless(20000);
}

TEST_F(FormulaLoaderTest, LoadingAFolderRunsTheLoaderBesideTheDialog)
{
    g_ScanProgressRunner = &RunUntilClosed;
    SetCompilerFormulaPath("C:\\Elsewhere");
    LoadFormulaFolder(root.c_str(), 0);
    EXPECT_EQ("C:\\Elsewhere;" + root, CompilerFormulaPath);
    for (int kind = 0; kind < FORMULA_KIND_COUNT; kind++)
        EXPECT_EQ(1, FormulaRoot(kind)->Count());
    EXPECT_EQ("sub,a.sfm", Names(RootNode(FK_ITERATION)));
    char text[100];
    const char* names[] = {"Loading", "Directory", "File"};
    for (int line = 0; line < 3; line++) {
        g_ScanProgressDialog.GetName(line, text, sizeof text);
        EXPECT_STREQ(names[line], text);
    }
    EXPECT_EQ(0, WorkerCancelState);

    // A single file from a folder of the path: the path stays as it is.
    LoadFormulaFolder((root + "\\sub\\m.lib").c_str(), 1);
    EXPECT_EQ("C:\\Elsewhere;" + root + ";" + root + "\\sub", CompilerFormulaPath);
    LoadFormulaFolder((root + "\\SUB\\m.lib").c_str(), 1);
    EXPECT_EQ("C:\\Elsewhere;" + root + ";" + root + "\\sub", CompilerFormulaPath);
    ASSERT_EQ(2, FormulaRoot(FK_LIBRARY)->Count());
    FormulaNode* single = static_cast<FormulaNode*>(FormulaRoot(FK_LIBRARY)->GetTail());
    EXPECT_EQ("m.lib", Names(single));
}

int AbortAtOnce(ScanProgressDialog*)
{
    return 2;
}

TEST_F(FormulaLoaderTest, AnAbortedLoadEndsTheWorker)
{
    g_ScanProgressRunner = &AbortAtOnce;
    LoadFormulaFolder(root.c_str(), 0);
    EXPECT_EQ(0, WorkerCancelState);
    for (int kind = 0; kind < FORMULA_KIND_COUNT; kind++)
        EXPECT_EQ(0, FormulaRoot(kind)->Count());
}

struct DialogProbe {
    HANDLE runEnded;
    std::string name;
    std::string message;
};

DWORD WINAPI CloseWhenOpen(LPVOID argument)
{
    DialogProbe* probe = static_cast<DialogProbe*>(argument);
    for (int i = 0; i < 400 && !g_ScanProgressDialog.IsOpen(); i++)
        Sleep(25);
    HWND window = g_ScanProgressDialog.window;
    g_ScanProgressDialog.SetMessage("C:\\some\\folder", 1);
    char text[600] = "";
    GetDlgItemTextA(window, IDC_SCAN_PROGRESS_NAME + 1, text, sizeof text);
    probe->name = text;
    GetDlgItemTextA(window, IDC_SCAN_PROGRESS_MESSAGE + 1, text, sizeof text);
    probe->message = text;
    g_ScanProgressDialog.Close();
    // Should the dialog not end, it is closed as by its Abort button, so
    // that the test fails instead of waiting for ever.
    if (WaitForSingleObject(probe->runEnded, 5000) != WAIT_OBJECT_0 && window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

TEST(ScanProgressDialog, TheWorkerEndsTheDialogWindow)
{
    DialogProbe probe{CreateEventA(nullptr, TRUE, FALSE, nullptr), "", ""};
    g_ScanProgressDialog.SetName("Directory", 1);
    HANDLE thread = CreateThread(nullptr, 0, &CloseWhenOpen, &probe, 0, nullptr);
    int result = g_ScanProgressDialog.Run(nullptr);
    SetEvent(probe.runEnded);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(probe.runEnded);
    EXPECT_EQ(1, result);
    EXPECT_EQ("Directory", probe.name);
    EXPECT_EQ("C:\\some\\folder", probe.message);
    EXPECT_FALSE(g_ScanProgressDialog.IsOpen());
    EXPECT_EQ(nullptr, g_ScanProgressDialog.window);
}

}  // namespace
