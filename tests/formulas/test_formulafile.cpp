// Formula files: entry names, titles and flags, loading the hand-written
// fixture files into entry nodes with their offsets, unloading, finding an
// entry's text, and the order and paths of tree nodes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "formulas/FormulaNode.h"
#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

struct NameCase {
    const char* text;
    int topLevel;
    int offset;        // expected result
    const char* name;  // expected name ("" when none)
    int brace;         // expected brace offset
};

TEST(FindEntryName, FindsTheNameBeforeTheBraceOrItsGroup)
{
    const NameCase cases[] = {
        {"Mandel(XAXIS) {", 0, 0, "Mandel", 14},
        {"  Mandel  ( XAXIS )  {", 0, 2, "Mandel", 21},
        {"q (QUATERNION){", 0, 0, "q", 14},
        {"x(XYAXIS_NOPARM){", 0, 0, "x", 16},
        {"two(foo bar) {", 0, 0, "two", 13},
        {"end)\n{", 0, 0, "end)", 5},
        {"(XAXIS) {", 0, -1, "", 8},
        {"{ body }", 0, -1, "", 0},
        {"no brace at all", 0, -1, "", -1},
        {"}\nnext {", 0, 2, "next", 7},
        {"a;b{", 0, 0, "a;b", 3},
        {"\xe4pfel {", 0, 0, "\xe4pfel", 6},
        // UltraFractal files: the first brace at depth 0 outside quotes and
        // ";" comments.
        {"; x {\nname {", 1, 6, "name", 11},
        {"; x {\nname {", 0, 2, "x", 4},
        {"t \"q{\" uf {", 1, 7, "uf", 10},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.text);
        char name[64] = "junk";
        int brace = -2;
        EXPECT_EQ(c.offset, FindEntryName(c.text, name, &brace, c.topLevel));
        if (c.offset >= 0) {
            EXPECT_STREQ(c.name, name);
        }
        EXPECT_EQ(c.brace, brace);
    }
}

TEST(FindEntryName, CutsLongNamesTo63Characters)
{
    std::string longName(80, 'n');
    std::string text = longName + " {";
    char name[64];
    int brace;
    ASSERT_EQ(0, FindEntryName(text.c_str(), name, &brace, 0));
    EXPECT_EQ(std::string(63, 'n'), name);
}

TEST(ReadEntryTitle, TakesTheFirstCompleteAssignment)
{
    struct Case {
        const char* text;
        const char* title;  // null: no title
    } cases[] = {
        {"this.title = \"Hello\";", "Hello"},
        {"this.title=\"X\"", "X"},
        {"this.title\t=\t\"Tabs\";", "Tabs"},
        {"this.title = \"open", nullptr},
        {"this.Title = \"X\";", nullptr},
        {"if (this.title == x) this.title = \"Second\";", "Second"},
        {"this.title = Name;", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char title[64] = "junk";
        int offset = ReadEntryTitle(c.text, title, sizeof title);
        if (c.title) {
            EXPECT_STREQ(c.title, title);
            EXPECT_EQ(0, strncmp(c.text + offset, c.title, strlen(c.title)));
        } else {
            EXPECT_EQ(-1, offset);
            EXPECT_STREQ("", title);
        }
    }
    std::string longTitle = "this.title = \"" + std::string(100, 't') + "\";";
    char title[64];
    EXPECT_EQ(14, ReadEntryTitle(longTitle.c_str(), title, sizeof title));
    EXPECT_EQ(std::string(63, 't'), title);
}

TEST(FindClosingBrace, SkipsCommentsAndQuotedText)
{
    const char* text = "{ // }\n /* } */ \"}\" { } }";
    EXPECT_EQ((int)strlen(text) - 1, FindClosingBrace(text, 0));
    EXPECT_EQ(-1, FindClosingBrace("{ { }", 0));
    EXPECT_EQ(-1, FindClosingBrace("{ /* }", 0));
}

struct EntryRow {
    const char* display;
    const char* name;
    int flag;
    int start;
    int end;
};

// Loads a fixture and compares its entries, in child order, with rows.
void ExpectEntries(FormulaNode* file, int nodeKind, const std::vector<EntryRow>& rows)
{
    ASSERT_EQ((int)rows.size(), file->children.Count());
    for (size_t i = 0; i < rows.size(); i++) {
        const EntryRow& r = rows[i];
        SCOPED_TRACE(r.name);
        FormulaNode* e = Child(file, (int)i);
        EXPECT_STREQ(r.display, e->name);
        EXPECT_STREQ(r.name, e->nameText);
        EXPECT_EQ(nodeKind, e->kind);
        EXPECT_EQ(r.flag, e->int1);
        EXPECT_EQ(r.start, e->startOffset);
        EXPECT_EQ(r.end, e->endOffset);
        EXPECT_EQ(file, e->parent);
        // The entry text is the file text from the name to the brace.
        ASSERT_NE(nullptr, e->entryText);
        EXPECT_EQ(std::string(file->fileText + r.start, (size_t)(r.end - r.start + 1)), e->entryText);
    }
}

TEST(LoadEntries, ReadsTheEntriesOfAFileWithCrLfLineEnds)
{
    LooseFile file(FK_ITERATION, FixturePath("mixed.sfm"));
    file->LoadEntries(nullptr);
    ASSERT_EQ(1, file->loaded);
    // Read in text mode: no CR is left and offsets count LF-ended lines.
    ASSERT_NE(nullptr, file->fileText);
    EXPECT_EQ(nullptr, strchr(file->fileText, '\r'));
    EXPECT_EQ(706u, strlen(file->fileText));

    // The first COMMENT entry is the file's comment; the second is dropped.
    ASSERT_NE(nullptr, file->entryText);
    EXPECT_EQ(0, strncmp(file->entryText, "Comment {\n  Formulas for the loader tests.", 42));
    EXPECT_EQ(73, file->startOffset);
    EXPECT_EQ(163, file->endOffset);

    std::string longName = "ThisEntryNameIsMuchLongerThanSixtyThreeCharactersAndHasToBeCutD";
    ExpectEntries(file.get(), FNK_FORMULA,
                  {
                      {"lorenz", "lorenz", ENTRY_ATTRACTOR, 442, 499},
                      {"Mandelbrot Set", "Mandel", ENTRY_PLANE, 166, 311},
                      {"Odd", "Odd", ENTRY_PLANE, 552, 631},
                      {"Quaternion Julia", "QJulia", ENTRY_QUATERNION, 356, 439},
                      {longName.c_str(), longName.c_str(), ENTRY_PLANE, 634, 704},
                  });
}

TEST(LoadEntries, ReadsAFileWithLfLineEndsAndTheKindOfItsTree)
{
    LooseFile file(FK_COLORING, FixturePath("lfonly.scl"));
    file->LoadEntries(nullptr);
    ASSERT_EQ(1, file->loaded);
    EXPECT_EQ(164u, strlen(file->fileText));
    EXPECT_EQ(nullptr, file->entryText);
    EXPECT_EQ(-1, file->startOffset);
    ExpectEntries(file.get(), FNK_COLORING,
                  {
                      {"Banded", "Banded", ENTRY_PLANE, 118, 162},
                      {"Smooth Colors", "Smooth", ENTRY_PLANE, 0, 116},
                  });
}

TEST(LoadEntries, TakesAnEntryTitledCommentAsTheFileComment)
{
    TempFolder folder;
    std::string path = folder / "titled.sfm";
    ASSERT_TRUE(WriteBytes(path, Crlf("notes {\n this.title = \"Comment\";\n}\nreal {\n}\n")));
    LooseFile file(FK_ITERATION, path);
    file->LoadEntries(nullptr);
    ASSERT_NE(nullptr, file->entryText);
    EXPECT_STREQ("notes {\n this.title = \"Comment\";\n}", file->entryText);
    ASSERT_EQ(1, file->children.Count());
    EXPECT_STREQ("real", Child(file.get(), 0)->name);
}

TEST(LoadEntries, LeavesEmptyAndMissingFilesUnloaded)
{
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "empty.sfm", ""));
    LooseFile empty(FK_ITERATION, folder / "empty.sfm");
    empty->LoadEntries(nullptr);
    EXPECT_EQ(0, empty->loaded);
    EXPECT_EQ(nullptr, empty->FindEntryText("x", nullptr));

    LooseFile missing(FK_ITERATION, folder / "missing.sfm");
    missing->LoadEntries(nullptr);
    EXPECT_EQ(0, missing->loaded);
    EXPECT_EQ(0, missing->children.Count());
}

TEST(UnloadEntries, DropsTheEntriesAndTheTextsWithoutWriting)
{
    TempFolder folder;
    std::string path = folder.CopyFixture("mixed.sfm");
    std::string before = ReadBytes(path);
    LooseFile file(FK_ITERATION, path);
    file->LoadEntries(nullptr);
    ASSERT_EQ(5, file->children.Count());
    EXPECT_EQ(1, file->UnloadEntries(nullptr, 0));
    EXPECT_EQ(0, file->loaded);
    EXPECT_EQ(0, file->children.Count());
    EXPECT_EQ(nullptr, file->fileText);
    EXPECT_EQ(nullptr, file->entryText);
    EXPECT_EQ(0, file->UnloadEntries(nullptr, 0));
    EXPECT_EQ(before, ReadBytes(path));
    // Loading again gives the same entries.
    file->LoadEntries(nullptr);
    EXPECT_EQ(5, file->children.Count());
}

TEST(FindEntryText, GivesTheSameTextForLoadedAndUnloadedFiles)
{
    LooseFile file(FK_ITERATION, FixturePath("mixed.sfm"));
    char title[64];
    char* unloaded = file->FindEntryText("MANDEL", title);
    ASSERT_NE(nullptr, unloaded);
    EXPECT_STREQ("Mandelbrot Set", title);
    EXPECT_EQ(0, strncmp(unloaded, "Mandel (XAXIS) {\n", 17));
    EXPECT_EQ('}', unloaded[strlen(unloaded) - 1]);

    file->LoadEntries(nullptr);
    char* loaded = file->FindEntryText("mandel", title);
    ASSERT_NE(nullptr, loaded);
    EXPECT_STREQ(unloaded, loaded);
    EXPECT_STREQ("Mandelbrot Set", title);

    char* untitled = file->FindEntryText("lorenz", title);
    ASSERT_NE(nullptr, untitled);
    EXPECT_STREQ("", title);
    EXPECT_EQ(nullptr, file->FindEntryText("absent", title));
    free(unloaded);
    free(loaded);
    free(untitled);
}

TEST(FormulaNodeTree, KeepsChildrenOrderedByKindAndNameWithoutCase)
{
    FormulaNode folder(FK_ITERATION, FNK_FOLDER);
    const struct {
        int kind;
        const char* name;
    } added[] = {{FNK_FILE, "beta.sfm"}, {FNK_FILE, "Alpha.sfm"}, {FNK_FOLDER, "zeta"}, {FNK_FILE, "gamma.sfm"},
                 {FNK_FOLDER, "Eta"}};
    for (const auto& a : added) {
        FormulaNode* n = new FormulaNode(FK_ITERATION, a.kind);
        n->SetName(a.name);
        n->nameText = _strdup(a.name);
        folder.InsertChild(n);
        EXPECT_EQ(&folder, n->parent);
    }
    const char* expected[] = {"Eta", "zeta", "Alpha.sfm", "beta.sfm", "gamma.sfm"};
    for (int i = 0; i < 5; i++)
        EXPECT_STREQ(expected[i], Child(&folder, i)->name);
    EXPECT_EQ(Child(&folder, 3), FormulaNode::FindChild(folder.children.GetHead(), "BETA.SFM"));
    EXPECT_EQ(nullptr, FormulaNode::FindChild(folder.children.GetHead(), "beta"));
    DeleteFormulaNodes(&folder.children);
}

TEST(FormulaNodeTree, BuildsPathsFromTheRootFolder)
{
    FormulaNode root(FK_LIBRARY, FNK_FOLDER);
    root.nameText = _strdup("C:\\formulas");
    FormulaNode* sub = new FormulaNode(FK_LIBRARY, FNK_FOLDER);
    sub->nameText = _strdup("sub");
    root.InsertChild(sub);
    FormulaNode* file = new FormulaNode(FK_LIBRARY, FNK_FILE);
    file->nameText = _strdup("math.lib");
    sub->InsertChild(file);
    char path[FORMULA_PATH_SIZE];
    file->GetPath(path, sizeof path);
    EXPECT_STREQ("C:\\formulas\\sub\\math.lib", path);
    root.GetPath(path, sizeof path);
    EXPECT_STREQ("C:\\formulas", path);
    char small[8];
    file->GetPath(small, sizeof small);
    EXPECT_STREQ("C:\\form", small);
    DeleteFormulaNodes(&root.children);
}

TEST(FormulaFileCode, ChoosesTheReadingByExtension)
{
    EXPECT_EQ(FFC_ITERATION, FormulaFileCode("a.SFM"));
    EXPECT_EQ(FFC_COLORING, FormulaFileCode("a.scl"));
    EXPECT_EQ(FFC_TRANSFORMATION, FormulaFileCode("a.str"));
    EXPECT_EQ(FFC_UF_FORMULA, FormulaFileCode("a.ufm"));
    EXPECT_EQ(FFC_UF_COLORING, FormulaFileCode("a.Ucl"));
    EXPECT_EQ(FFC_UF_TRANSFORM, FormulaFileCode("a.uxf"));
    EXPECT_EQ(FFC_FRACTINT, FormulaFileCode("a.frm"));
    EXPECT_EQ(FFC_LIBRARY, FormulaFileCode("x.y\\a.lib"));
    EXPECT_EQ(FFC_ITERATION, FormulaFileCode("a.txt"));
    EXPECT_EQ(FFC_ITERATION, FormulaFileCode("dir.lib\\noext"));
}

TEST(StrStrNoCase, FindsThePatternIgnoringCase)
{
    const char* text = "C:\\Formulas;D:\\More";
    EXPECT_EQ(text + 12, StrStrNoCase(text, "d:\\more"));
    EXPECT_EQ(nullptr, StrStrNoCase(text, "e:\\"));
}

}  // namespace
