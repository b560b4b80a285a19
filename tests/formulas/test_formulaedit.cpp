// Editing formula files: writing back by splicing entries at their offsets,
// new entries and copies, deleting entries and files, write-protected files,
// and the tree notifications that load and write files.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "foundation/Messages.h"
#include "formulas/FormulaEdit.h"
#include "formulas/FormulaNode.h"
#include "tests/formulas/FormulaTestSupport.h"
#include "tests/support/ScriptedBoxes.h"
#include "ui/TreeView.h"

using namespace formulatest;

namespace {

class FormulaEditTest : public testing::Test {
protected:
    void TearDown() override
    {
        ClearFormulaTrees();
        DeleteAllMessages();
        SetEntryNameClock(nullptr);
    }

    // A folder node holding a file node of the file at path (so that the
    // file's path is built as in the tree).
    FormulaNode* FileInFolder(int kind, const std::string& fileName)
    {
        FormulaNode* root = new FormulaNode(kind, FNK_FOLDER);
        root->nameText = _strdup(folder.Path().c_str());
        root->SetName("root");
        FormulaRoot(kind)->Append(root);
        FormulaNode* file = new FormulaNode(kind, FNK_FILE);
        file->nameText = _strdup(fileName.c_str());
        file->SetName(fileName.c_str());
        root->InsertChild(file);
        return file;
    }

    // Every entry's text stands in the file text at its offsets.
    static void ExpectConsistent(const FormulaNode* file)
    {
        for (ListNode* n = file->children.GetHead(); n; n = n->next) {
            const FormulaNode* e = static_cast<const FormulaNode*>(n);
            SCOPED_TRACE(e->nameText);
            ASSERT_GE(e->startOffset, 0);
            EXPECT_EQ(std::string(e->entryText),
                      std::string(file->fileText + e->startOffset, (size_t)(e->endOffset - e->startOffset + 1)));
        }
        if (file->entryText) {
            EXPECT_EQ(std::string(file->entryText),
                      std::string(file->fileText + file->startOffset,
                                  (size_t)(file->endOffset - file->startOffset + 1)));
        }
    }

    static void SetEntryText(FormulaNode* entry, const std::string& text)
    {
        free(entry->entryText);
        entry->entryText = _strdup(text.c_str());
    }

    static FormulaNode* EntryNamed(const FormulaNode* file, const char* name)
    {
        for (ListNode* n = file->children.GetHead(); n; n = n->next) {
            FormulaNode* e = static_cast<FormulaNode*>(n);
            if (strcmp(e->nameText, name) == 0)
                return e;
        }
        return nullptr;
    }

    TempFolder folder;
};

TEST_F(FormulaEditTest, WritingUnchangedEntriesReproducesTheFile)
{
    std::string path = folder.CopyFixture("mixed.sfm");
    FormulaNode* file = FileInFolder(FK_ITERATION, "mixed.sfm");
    file->LoadEntries(nullptr);
    std::string before = file->fileText;
    EXPECT_TRUE(file->WriteFile());
    EXPECT_EQ(ReadBytes(FixturePath("mixed.sfm")), ReadBytes(path));
    EXPECT_EQ(before, file->fileText);
    EXPECT_EQ(166, EntryNamed(file, "Mandel")->startOffset);
    ExpectConsistent(file);

    // The LF-only file comes back with CR LF line ends.
    std::string lf = folder.CopyFixture("lfonly.scl");
    FormulaNode* colouring = FileInFolder(FK_COLORING, "lfonly.scl");
    colouring->LoadEntries(nullptr);
    EXPECT_TRUE(colouring->WriteFile());
    EXPECT_EQ(Crlf(ReadBytes(FixturePath("lfonly.scl"))), ReadBytes(lf));

    // Nothing but the file is left in the folder (no temporary file).
    int files = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder / "*.*").c_str(), &data);
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files++;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_EQ(2, files);
}

TEST_F(FormulaEditTest, EditedEntriesMoveTheLaterPartsAndStayInPlace)
{
    std::string path = folder.CopyFixture("mixed.sfm");
    FormulaNode* file = FileInFolder(FK_ITERATION, "mixed.sfm");
    file->LoadEntries(nullptr);
    std::string original = file->fileText;

    // A longer comment and a longer Mandel: everything after them moves.
    std::string comment = "Comment {\n  A much longer comment than before,\n  over three lines.\n}";
    free(file->entryText);
    file->entryText = _strdup(comment.c_str());
    FormulaNode* mandel = EntryNamed(file, "Mandel");
    std::string mandelText = std::string(mandel->entryText);
    mandelText.insert(mandelText.size() - 1, "\t// one more line\n");
    SetEntryText(mandel, mandelText);
    ASSERT_TRUE(file->WriteFile());

    std::string expected = original.substr(0, 73) + comment + original.substr(164, 166 - 164) + mandelText +
                           original.substr(312);
    EXPECT_EQ(expected, file->fileText);
    EXPECT_EQ(Crlf(expected), ReadBytes(path));
    int shift = (int)(comment.size() - 91) + (int)(mandelText.size() - 146);
    EXPECT_EQ(356 + shift, EntryNamed(file, "QJulia")->startOffset);
    EXPECT_EQ(499 + shift, EntryNamed(file, "lorenz")->endOffset);
    ExpectConsistent(file);

    // A second edit after the first still puts every part in its place.
    FormulaNode* julia = EntryNamed(file, "QJulia");
    SetEntryText(julia, "QJulia(QUATERNION) { }");
    SetEntryText(mandel, "Mandel { }");
    ASSERT_TRUE(file->WriteFile());
    ExpectConsistent(file);

    // Loaded again from disk, the file holds the edited entries.
    file->UnloadEntries(nullptr, 0);
    file->LoadEntries(nullptr);
    EXPECT_STREQ("Mandel { }", EntryNamed(file, "Mandel")->entryText);
    EXPECT_STREQ("QJulia(QUATERNION) { }", EntryNamed(file, "QJulia")->entryText);
    EXPECT_EQ(comment, file->entryText);
    EXPECT_EQ(5, file->children.Count());
}

TEST_F(FormulaEditTest, DeletingAnEntryBeforeTheCommentKeepsTheComment)
{
    std::string path = folder / "del.sfm";
    ASSERT_TRUE(WriteBytes(path, Crlf("first {\n}\nComment {\n notes\n}\nlast {\n}\n")));
    FormulaNode* file = FileInFolder(FK_ITERATION, "del.sfm");
    file->LoadEntries(nullptr);
    ASSERT_EQ(2, file->children.Count());

    {
        ScriptedBoxes boxes;
        boxes.Answer(IDNO);
        EXPECT_FALSE(DeleteFormula(EntryNamed(file, "first")));
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ(0x2023u, boxes.Shown()[0].style);
        EXPECT_EQ("Deleting Formula", boxes.Shown()[0].title);
        EXPECT_EQ("Are you sure you want to delete that formula? This operation cannot be undone.",
                  boxes.Shown()[0].text);
        EXPECT_EQ(2, file->children.Count());
    }
    {
        ScriptedBoxes boxes(IDYES);
        EXPECT_TRUE(DeleteFormula(EntryNamed(file, "first")));
    }
    EXPECT_EQ(Crlf("\nComment {\n notes\n}\nlast {\n}\n"), ReadBytes(path));
    EXPECT_EQ(1, file->startOffset);
    EXPECT_STREQ("Comment {\n notes\n}", file->entryText);
    ExpectConsistent(file);

    // Without the confirmation option no question comes.
    g_ConfirmDeleteFormula = 0;
    EXPECT_TRUE(DeleteFormula(EntryNamed(file, "last")));
    g_ConfirmDeleteFormula = 1;
    EXPECT_EQ(Crlf("\nComment {\n notes\n}\n\n"), ReadBytes(path));
    EXPECT_EQ(0, file->children.Count());
}

unsigned FixedClock()
{
    return 4242;
}

TEST_F(FormulaEditTest, CopiesGetFreeTitlesAndNames)
{
    std::string path = folder / "copy.sfm";
    ASSERT_TRUE(WriteBytes(path, Crlf("Mandel(XAXIS) {\n\tvoid description(void)\n\t{\n"
                                      "\t\tthis.title = \"Mandel\";\n\t}\n}\n")));
    FormulaNode* file = FileInFolder(FK_ITERATION, "copy.sfm");
    file->LoadEntries(nullptr);
    std::string source = EntryNamed(file, "Mandel")->entryText;
    // Two entries in the same millisecond still get names of their own.
    SetEntryNameClock(&FixedClock);
    EXPECT_EQ(0, file->AddNewEntry(0, nullptr, source.c_str()));
    EXPECT_EQ(0, file->AddNewEntry(0, nullptr, source.c_str()));
    ASSERT_EQ(3, file->children.Count());

    FormulaNode* first = Child(file, 0);
    FormulaNode* second = Child(file, 1);
    EXPECT_STREQ("Copy (2) of Mandel", first->name);
    EXPECT_STREQ("Copy of Mandel", second->name);
    EXPECT_STREQ("Mandel", Child(file, 2)->name);
    EXPECT_STRNE(first->nameText, second->nameText);
    EXPECT_EQ(0, strncmp(second->nameText, "sx_", 3));
    EXPECT_EQ(std::string(second->nameText) + "(XAXIS) {\n\tvoid description(void)\n\t{\n"
                                               "\t\tthis.title = \"Copy of Mandel\";\n\t}\n}",
              second->entryText);
    ExpectConsistent(file);

    // Both copies are in the file and are read back with their titles.
    file->UnloadEntries(nullptr, 0);
    file->LoadEntries(nullptr);
    ASSERT_EQ(3, file->children.Count());
    EXPECT_STREQ("Copy (2) of Mandel", Child(file, 0)->name);
    EXPECT_STREQ("Copy of Mandel", Child(file, 1)->name);
}

TEST_F(FormulaEditTest, NewEntriesComeFromTheTemplateOfTheKind)
{
    folder.CopyFixture("lfonly.scl");
    FormulaNode* file = FileInFolder(FK_COLORING, "lfonly.scl");
    file->LoadEntries(nullptr);
    EXPECT_EQ(0, file->AddNewEntry(0, "Fresh Colors", nullptr));
    FormulaNode* fresh = Child(file, 1);
    EXPECT_STREQ("Fresh Colors", fresh->name);
    EXPECT_EQ(FNK_COLORING, fresh->kind);
    char expected[2000];
    snprintf(expected, sizeof expected, NewEntryTemplate(FK_COLORING), fresh->nameText, "Fresh Colors");
    EXPECT_STREQ(expected, fresh->entryText);
    EXPECT_EQ(164 + 2, fresh->startOffset);
    ExpectConsistent(file);
    char title[64];
    char* text = file->FindEntryText(fresh->nameText, title);
    ASSERT_NE(nullptr, text);
    free(text);
    EXPECT_STREQ("Fresh Colors", title);

    // A file that is not loaded gets the entry appended and stays unloaded.
    std::string unloadedPath = folder / "plain.sfm";
    ASSERT_TRUE(WriteBytes(unloadedPath, Crlf("old {\n}")));
    FormulaNode* plain = FileInFolder(FK_ITERATION, "plain.sfm");
    EXPECT_EQ(0, plain->AddNewEntry(0, "Appended", nullptr));
    EXPECT_EQ(0, plain->loaded);
    std::string bytes = ReadBytes(unloadedPath);
    ASSERT_EQ(0u, bytes.find(Crlf("old {\n}\n\nsx_")));
    plain->LoadEntries(nullptr);
    ASSERT_EQ(2, plain->children.Count());
    EXPECT_STREQ("Appended", Child(plain, 0)->name);
}

TEST_F(FormulaEditTest, AWriteProtectedFileIsWrittenOnlyWhenTheUserAgrees)
{
    std::string path = folder.CopyFixture("lfonly.scl", "locked.scl");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    FormulaNode* file = FileInFolder(FK_COLORING, "locked.scl");
    file->LoadEntries(nullptr);
    SetEntryText(EntryNamed(file, "Banded"), "Banded { }");
    {
        ScriptedBoxes boxes(IDNO);
        EXPECT_FALSE(file->WriteFile());
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ(0x2023u, boxes.Shown()[0].style);
        EXPECT_EQ("File Access Error", boxes.Shown()[0].title);
        EXPECT_EQ("Unable to write to file " + path +
                      ":\nThe file is write protected.\n\nShould the write protection be removed?",
                  boxes.Shown()[0].text);
    }
    EXPECT_EQ(ReadBytes(FixturePath("lfonly.scl")), ReadBytes(path));
    EXPECT_EQ(118, EntryNamed(file, "Banded")->startOffset);
    EXPECT_EQ(162, EntryNamed(file, "Banded")->endOffset);
    {
        ScriptedBoxes boxes(IDYES);
        EXPECT_TRUE(file->WriteFile());
    }
    EXPECT_EQ(0u, GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(std::string::npos, ReadBytes(path).find("Banded { }\r\n"));
    EXPECT_EQ(127, EntryNamed(file, "Banded")->endOffset);
}

TEST(OpenWritableFile, RemovesTheWriteProtectionOnlyAsAsked)
{
    TempFolder folder;
    std::string path = folder / "ro.txt";
    ASSERT_TRUE(WriteBytes(path, "x"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(nullptr, OpenWritableFile(path.c_str(), "a", 0));
    FILE* f = OpenWritableFile(path.c_str(), "a", 2);
    ASSERT_NE(nullptr, f);
    fputs("y", f);
    fclose(f);
    EXPECT_EQ("xy", ReadBytes(path));
    EXPECT_EQ(nullptr, OpenWritableFile((folder / "no\\such.txt").c_str(), "w", 2));
}

TEST_F(FormulaEditTest, WritingALibraryBackRebuildsItsIndex)
{
    std::string library = folder.CopyFixture("mathlib.lib");
    std::string index = folder / "mathlib.slb";
    ShiftLastWriteTime(library, -1000);
    FormulaNode* file = FileInFolder(FK_LIBRARY, "mathlib.lib");
    ASSERT_EQ(0, file->WriteIndexFile());
    FILETIME old = LastWriteTime(library);

    // Collapsing the file in the library window writes it even unchanged;
    // the write changes its time, so the index is made again.
    PTreeView tree;
    g_FormulaTrees[FK_LIBRARY] = &tree;
    OnFormulaTreeExpand(&tree, file, 2);
    EXPECT_EQ(1, file->loaded);
    OnFormulaTreeCollapse(&tree, file, 1);
    g_FormulaTrees[FK_LIBRARY] = nullptr;
    EXPECT_EQ(0, file->loaded);
    EXPECT_FALSE(SameTime(old, LastWriteTime(library)));
    EXPECT_TRUE(SameTime(LastWriteTime(library), LastWriteTime(index)));
    EXPECT_EQ(ReadBytes(FixturePath("mathlib.slb.expected")), ReadBytes(index));

    // A new library entry is in the index at once.
    file->LoadEntries(nullptr);
    ASSERT_EQ(0, file->AddNewEntry(0, nullptr, nullptr));
    std::string text = ReadBytes(index);
    EXPECT_NE(std::string::npos, text.find("I:sx_"));
    EXPECT_NE(std::string::npos, text.find("##complex func1(complex a,complex b);\r\n"));
}

TEST_F(FormulaEditTest, ExpandingAFileShownInTheEditorShowsItsComment)
{
    folder.CopyFixture("mixed.sfm");
    FormulaNode* file = FileInFolder(FK_ITERATION, "mixed.sfm");
    static std::string shown;
    shown = "none";
    g_FormulaEditorSetText = [](int kind, const char* text) { shown = std::to_string(kind) + ":" + text; };
    g_FormulaEditorFiles[FK_ITERATION] = file;
    PTreeView tree;
    g_FormulaTrees[FK_ITERATION] = &tree;
    OnFormulaTreeExpand(&tree, file, 2);
    EXPECT_EQ(0u, shown.find("1:Comment {"));
    OnFormulaTreeCollapse(&tree, file, 1);
    EXPECT_EQ("1:", shown);
    g_FormulaTrees[FK_ITERATION] = nullptr;
    g_FormulaEditorFiles[FK_ITERATION] = nullptr;
    g_FormulaEditorSetText = nullptr;
}

TEST_F(FormulaEditTest, DeletingAFileAsksAndRemovesItWithItsIndex)
{
    std::string library = folder.CopyFixture("mathlib.lib");
    FormulaNode* file = FileInFolder(FK_LIBRARY, "mathlib.lib");
    FormulaNode* parent = file->parent;
    ASSERT_EQ(0, file->WriteIndexFile());
    {
        ScriptedBoxes boxes(IDCANCEL);
        EXPECT_FALSE(DeleteFormula(file));
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ("Delete Formula Folder", boxes.Shown()[0].title);
        EXPECT_EQ("You are about to delete a compiler formula file.\nAre you sure you want to delete this "
                  "file and all formulas contained in it?",
                  boxes.Shown()[0].text);
    }
    EXPECT_TRUE(FileExists(library));
    {
        ScriptedBoxes boxes(IDYES);
        EXPECT_TRUE(DeleteFormula(file));
    }
    EXPECT_FALSE(FileExists(library));
    EXPECT_FALSE(FileExists(folder / "mathlib.slb"));
    EXPECT_EQ(0, parent->children.Count());
    // Folders need nothing.
    EXPECT_TRUE(DeleteFormula(parent));
}

}  // namespace
