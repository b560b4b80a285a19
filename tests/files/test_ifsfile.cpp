// IFS files: the entry reader (COMMENT skipped, unique names, 7- and 13-item
// lines, other lines skipped, comments and case), the writer's exact text
// with CR LF, save-load-save identity, and saving one entry into an
// existing file through the questions of the message-box seam.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <string>
#include <vector>

#include "files/entry/ParameterFile.h"
#include "files/formulafiles/FormulaFiles.h"
#include "files/formulafiles/IfsFile.h"
#include "foundation/List.h"
#include "fractals/ifs/IfsFormula.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

// A scratch folder of this test program, emptied of formulas afterwards.
struct ScratchFolder {
    std::string path;
    ScratchFolder()
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        path = std::string(temp) + "spx_ifsfile_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~ScratchFolder()
    {
        for (const char* name : {"a.ifs", "b.ifs", "c.ifs", "~tmp0091.bac"})
            DeleteFileA(File(name).c_str());
        RemoveDirectoryA(path.c_str());
        g_IfsFormulas.DeleteAllNodes();
    }
    std::string File(const char* name) const { return path + "\\" + name; }
    void Write(const char* name, const std::string& text) const
    {
        FILE* f = fopen(File(name).c_str(), "wb");
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }
    std::string Read(const char* name) const
    {
        std::string text;
        ReadWholeFile(File(name).c_str(), text);
        return text;
    }
};

std::string Texts(const IfsTransformation* t)
{
    std::string s;
    for (int i = 0; i < IFS_COEFFICIENTS; i++)
        s += std::string(i ? " " : "") + (t->Text(i) ? t->Text(i) : "-");
    return s;
}

std::string Names()
{
    std::string s;
    for (ListNode* n = g_IfsFormulas.GetHead(); n; n = n->next)
        s += std::string(n->name) + " ";
    return s;
}

const char kFixture[] =
    "comment { anything 1 2 3 4 5 6 7 }\r\n"
    "Fern (3D) {  ; two maps\r\n"
    "  0.5 0 0 0.5 0 0 0.33   ; a 2D map\r\n"
    "  1 2 3 4 5 6\r\n"
    "  1 2 3 4 5 6 7 8\r\n"
    "\r\n"
    "  sin(p1) 0 0 0 1 0 0 0 1 0.1 0.2 0.3 0.67\r\n"
    "}\r\n"
    "fern {\r\n 0 0 0 0.16 0 0 0.01\r\n}\r\n";

}  // namespace

TEST(IfsFile, ReadsEntries)
{
    ScratchFolder folder;
    folder.Write("a.ifs", kFixture);
    EXPECT_EQ(LoadIfsFile(folder.path.c_str(), "a.ifs"), 2);
    EXPECT_EQ(Names(), "Fern fern.1 ");
    auto* fern = static_cast<IfsFormula*>(g_IfsFormulas.GetHead());
    ASSERT_EQ(fern->transformations.Count(), 2);
    auto* flat = static_cast<IfsTransformation*>(fern->transformations.GetAt(0));
    auto* spatial = static_cast<IfsTransformation*>(fern->transformations.GetAt(1));
    EXPECT_EQ(Texts(flat), "0.5 0 - 0 0.5 - - - 1 0 0 - 0.33");
    EXPECT_EQ(Texts(spatial), "SIN(P1) 0 0 0 1 0 0 0 1 0.1 0.2 0.3 0.67");
    EXPECT_EQ(flat->TextSize(IFS_M33), 4);
    EXPECT_EQ(flat->TextSize(IFS_PROBABILITY), 14);
    // Compiled at once: the missing texts have no stream, the others have.
    EXPECT_EQ(flat->Stream(IFS_M13), nullptr);
    EXPECT_NE(flat->Stream(IFS_M33), nullptr);
    EXPECT_NE(spatial->Stream(IFS_M11), nullptr);
}

TEST(IfsFile, EntriesThatAreNotRead)
{
    ScratchFolder folder;
    struct Case {
        const char* text;
        const char* names;
    } cases[] = {
        {"COMMENT {\n 1 0 0 1 0 0 1\n}\n", ""},
        {"", ""},
        {"A {\n 1 0 0 1 0 0 1\n", ""},                        // no closing brace
        {"A {\n 1 0 0 1 0 0 1\n}\nB {\n 1 0 0 1\n", "A "},   // the open entry ends the load
        {"Bad { 1 0 0 1 0 0 1 }\n X { 2 0 0 2 0 0 1 }", "Bad X "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        folder.Write("b.ifs", c.text);
        LoadIfsFile(nullptr, folder.File("b.ifs").c_str());
        EXPECT_EQ(Names(), c.names);
        g_IfsFormulas.DeleteAllNodes();
    }
    EXPECT_EQ(LoadIfsFile(folder.path.c_str(), "missing.ifs"), 0);
}

// Written maps always have 13 items, missing ones as 0; lines end in CR LF
// and the entry ends with its brace.
TEST(IfsFile, WritesTheExactFormat)
{
    ScratchFolder folder;
    folder.Write("a.ifs", "Fern {\n 0.5 0 0 0.5 0 0 0.33\n 1 2 3 4 5 6 7 8 9 10 11 12 13\n}\n");
    LoadIfsFile(folder.path.c_str(), "a.ifs");
    WriteIfsFormula(static_cast<IfsFormula*>(g_IfsFormulas.GetHead()), folder.path.c_str(), "b.ifs", nullptr);
    EXPECT_EQ(folder.Read("b.ifs"),
              "Fern  {\r\n 0.5 0 0 0 0.5 0 0 0 1 0 0 0 0.33\r\n 1 2 3 4 5 6 7 8 9 10 11 12 13\r\n}");
    WriteIfsFormula(nullptr, folder.path.c_str(), "c.ifs", nullptr);
    EXPECT_EQ(GetFileAttributesA(folder.File("c.ifs").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(IfsFile, SaveLoadSaveIsIdentity)
{
    ScratchFolder folder;
    folder.Write("a.ifs", kFixture);
    LoadIfsFile(folder.path.c_str(), "a.ifs");
    ASSERT_TRUE(SaveAllFormulasToFile(FORMULA_KIND_IFS, folder.File("b.ifs").c_str()));
    std::string first = folder.Read("b.ifs");
    EXPECT_EQ(first.substr(0, 9), "Fern  {\r\n");
    EXPECT_NE(first.find("}\r\n\r\nfern.1  {\r\n"), std::string::npos);
    g_IfsFormulas.DeleteAllNodes();
    LoadIfsFile(folder.path.c_str(), "b.ifs");
    ASSERT_TRUE(SaveAllFormulasToFile(FORMULA_KIND_IFS, folder.File("c.ifs").c_str()));
    EXPECT_EQ(folder.Read("c.ifs"), first);
}

// One entry into a chosen file: a new file gets a line break and the entry;
// an entry of the same name is replaced (Yes), added (No) or left (Cancel);
// a file with odd bytes is written only after a Yes.
TEST(IfsFile, SaveFormulaEntryAsksAboutTheFile)
{
    ScratchFolder folder;
    folder.Write("a.ifs", "Leaf {\n 2 0 0 2 0 0 1\n}\n");
    LoadIfsFile(folder.path.c_str(), "a.ifs");
    ListNode* leaf = g_IfsFormulas.GetHead();
    const std::string entry = "Leaf  {\r\n 2 0 0 0 2 0 0 0 1 0 0 0 1\r\n}";
    const std::string old = "Other {\r\n}\r\nLeaf {\r\n 1 0 0 1 0 0 1\r\n}\r\n";
    struct Case {
        const char* name;
        std::string before;       // empty: no such file
        std::vector<int> answers;
        int questions;
        std::string after;
    } cases[] = {
        {"new file", "", {}, 0, "\r\n" + entry},
        {"other entry", "Other {\r\n}\r\n", {}, 0, "Other {\r\n}\r\n\r\n" + entry},
        {"replace", old, {IDYES}, 1, "Other {\r\n}\r\n" + entry + "\r\n"},
        {"add", old, {IDNO}, 1, old + "\r\n" + entry},
        {"cancel", old, {IDCANCEL}, 1, old},
        {"odd bytes, no", std::string("X {\r\n}\x01\x02", 9), {IDNO}, 1, std::string("X {\r\n}\x01\x02", 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(folder.File("c.ifs").c_str());
        if (!c.before.empty())
            folder.Write("c.ifs", c.before);
        ScriptedBoxes boxes(IDCANCEL);
        for (int a : c.answers)
            boxes.Answer(a);
        SaveFormulaEntryToFile(leaf, FORMULA_KIND_IFS, folder.File("c.ifs").c_str());
        EXPECT_EQ(boxes.Count(), (size_t)c.questions);
        for (const ShownBox& b : boxes.Shown())
            EXPECT_EQ(b.title, "Saving formula entry");
        EXPECT_EQ(folder.Read("c.ifs"), c.after);
        EXPECT_EQ(GetFileAttributesA(folder.File("~tmp0091.bac").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

// The menu and button commands reach the user through the requesters: the
// chosen files are loaded and the lists refreshed; nothing chosen, nothing
// done; the save commands ask with their own titles.
TEST(IfsFile, CommandsThroughTheRequesters)
{
    ScratchFolder folder;
    folder.Write("a.ifs", "One {\n 1 0 0 1 0 0 1\n}\n");
    folder.Write("b.ifs", "Two {\n 1 0 0 1 0 0 1\n}\n");
    static std::vector<std::string> chosen;
    static std::vector<std::string> titles;
    static int refreshed;
    chosen = {folder.File("a.ifs"), folder.File("b.ifs")};
    titles.clear();
    refreshed = 0;
    FormulaFileRequesters saved = g_FormulaFileRequesters;
    g_FormulaFileRequesters.chooseOpen = [](int kind, std::vector<std::string>* paths) {
        *paths = chosen;
        return kind == FORMULA_KIND_IFS && !chosen.empty();
    };
    g_FormulaFileRequesters.chooseSave = [](int, const char* title, bool confirm, std::string* path) {
        titles.push_back(std::string(title) + (confirm ? " (confirm)" : ""));
        *path = chosen.empty() ? "" : chosen[0];
        return !chosen.empty();
    };
    g_FormulaFileRequesters.refreshIfsLists = [] { refreshed++; };

    LoadIfsFormulas();
    EXPECT_EQ(Names(), "One Two ");
    EXPECT_EQ(refreshed, 1);

    chosen = {folder.File("c.ifs")};
    SaveAllFormulas(FORMULA_KIND_IFS);
    EXPECT_EQ(folder.Read("c.ifs"), "One  {\r\n 1 0 0 0 1 0 0 0 1 0 0 0 1\r\n}\r\n\r\n"
                                    "Two  {\r\n 1 0 0 0 1 0 0 0 1 0 0 0 1\r\n}\r\n\r\n");
    DeleteFileA(folder.File("c.ifs").c_str());
    SaveFormulaEntry(g_IfsFormulas.GetHead(), FORMULA_KIND_IFS);
    EXPECT_EQ(folder.Read("c.ifs"), "\r\nOne  {\r\n 1 0 0 0 1 0 0 0 1 0 0 0 1\r\n}");
    EXPECT_EQ(titles, (std::vector<std::string>{
                          "Please select a formula file to save all formulas in... (confirm)",
                          "Please select a formula file to save the formula in..."}));

    chosen.clear();
    g_IfsFormulas.DeleteAllNodes();
    LoadIfsFormulas();
    SaveAllFormulas(FORMULA_KIND_IFS);
    EXPECT_TRUE(g_IfsFormulas.IsEmpty());
    EXPECT_EQ(refreshed, 1);
    g_FormulaFileRequesters = saved;
}
