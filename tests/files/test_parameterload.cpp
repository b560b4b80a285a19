// Loading a parameter file as a folder: which entries become fractals and
// under which names, joined continuation lines, braces inside quoted values,
// the folder's name and place (also for entries carried by an image), files
// without entries, an entry without its closing brace, reading on a worker
// without touching the library, the stop request; and the three path
// functions.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <string>
#include <vector>

#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "files/ParameterLoad.h"
#include "foundation/FileUtil.h"
#include "foundation/List.h"
#include "tests/formulas/FormulaTestSupport.h"

using formulatest::TempFolder;

namespace {

class ParameterLoadTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareDocumentEngine(); }
    void TearDown() override
    {
        for (FractalFolder* folder : made)
            DeleteFolder(folder, false, false);
    }

    // Writes the file and loads it by folder and name.
    FractalFolder* Load(const std::string& name, const std::string& text)
    {
        FILE* f = fopen((temp / name).c_str(), "w");
        fputs(text.c_str(), f);
        fclose(f);
        LastLoadedFolder = reinterpret_cast<FractalFolder*>(1);
        LoadParameterFile(temp.Path().c_str(), name.c_str());
        if (LastLoadedFolder)
            made.push_back(LastLoadedFolder);
        return LastLoadedFolder;
    }

    static std::vector<std::string> Names(FractalFolder* folder)
    {
        std::vector<std::string> names;
        for (ListNode* n = folder->fractals.GetHead(); n; n = n->next)
            names.push_back(n->name);
        return names;
    }

    static Fractal* Find(FractalFolder* folder, const char* name)
    {
        for (ListNode* n = folder->fractals.GetHead(); n; n = n->next)
            if (strcmp(n->name, name) == 0)
                return static_cast<Fractal*>(n);
        return nullptr;
    }

    TempFolder temp;
    std::vector<FractalFolder*> made;
};

TEST_F(ParameterLoadTest, CommentAndColonEntriesAreSkippedAndTheFolderIsNamedAfterTheFile)
{
    FractalFolder* folder = Load("my_fractals.par",
                                 "A {\n  type=escapetime\n}\n"
                                 "Comment {\n  nothing here\n}\n"
                                 "x:y {\n  a layer\n}\n");
    ASSERT_TRUE(folder != nullptr);
    EXPECT_EQ(std::vector<std::string>{"A"}, Names(folder));
    EXPECT_EQ(temp.Path() + "\\My_Fractals.Par", folder->path);
    EXPECT_EQ(0, folder->int2) << "not modified after loading";
    Fractal* a = Find(folder, "A");
    ASSERT_TRUE(a != nullptr);
    EXPECT_STREQ("{\ntype=escapetime\n}", a->pendingEntryText) << "the body, leading blanks dropped";
}

TEST_F(ParameterLoadTest, EntryNamesAndContinuationLines)
{
    FractalFolder* folder = Load("names.par",
                                 "Old Name {\n"
                                 "  formula=\"a\\\n"
                                 "b\"\n"
                                 "  ; a comment ending in \\\n"
                                 "  next=1\n"
                                 "}\n"
                                 "{\n}\n");
    ASSERT_TRUE(folder != nullptr);
    Fractal* old = Find(folder, "Old Name");
    ASSERT_TRUE(old != nullptr);
    EXPECT_STREQ("{\nformula=\"ab\"\n; a comment ending in \\\nnext=1\n}", old->pendingEntryText);
    EXPECT_TRUE(Find(folder, "No name") != nullptr) << "a brace without a name before it";
}

// A '}' inside a quoted value belongs to the value: it neither ends the
// entry nor turns the rest of the entry into entries of its own.
TEST_F(ParameterLoadTest, BracesInsideQuotesBelongToTheValue)
{
    FractalFolder* folder = Load("quoted.par",
                                 "Quoted {\n"
                                 "  comment1=\"a } b { c\"\n"
                                 "  type=plasma\n"
                                 "}\n"
                                 "Next {\n}\n");
    ASSERT_TRUE(folder != nullptr);
    EXPECT_EQ((std::vector<std::string>{"Next", "Quoted"}), Names(folder));
    EXPECT_STREQ("{\ncomment1=\"a } b { c\"\ntype=plasma\n}", Find(folder, "Quoted")->pendingEntryText);
}

TEST_F(ParameterLoadTest, FilesWithoutEntriesMakeNoFolder)
{
    EXPECT_EQ(nullptr, Load("plain.par", "just text\nno braces at all\n"));
    EXPECT_EQ(nullptr, Load("open.par", "Unclosed {\n type=plasma\n"));
    // An entry without its closing brace ends the walk; those before stay.
    FractalFolder* folder = Load("partial.par", "First {\n}\nSecond {\n type=plasma\n");
    ASSERT_TRUE(folder != nullptr);
    EXPECT_EQ(std::vector<std::string>{"First"}, Names(folder));
}

TEST_F(ParameterLoadTest, EmptyOrMissingFileLeavesTheLastFolderAlone)
{
    LastLoadedFolder = reinterpret_cast<FractalFolder*>(1);
    LoadParameterFile((temp / "missing.par").c_str(), nullptr);
    EXPECT_EQ(reinterpret_cast<FractalFolder*>(1), LastLoadedFolder) << "stopped before the length test passed";
    LastLoadedFolder = nullptr;
}

TEST_F(ParameterLoadTest, ImageEntriesBecomeAFolderNamedAfterTheImage)
{
    FILE* f = fopen(kImageEntryBackupFile, "w");
    fputs("Spiral {\n type=escapetime\n}\n", f);
    fclose(f);
    LoadParameterFile(kImageEntryBackupFile, "C:\\Pics\\Spiral.png");
    DeleteFileA(kImageEntryBackupFile);
    ASSERT_TRUE(LastLoadedFolder != nullptr);
    made.push_back(LastLoadedFolder);
    EXPECT_STREQ("C:\\Pics\\Spiral", LastLoadedFolder->path);
    EXPECT_EQ(std::vector<std::string>{"Spiral"}, Names(LastLoadedFolder));
}

// A worker reads without making a folder or listing anything; the main
// thread makes the folders of the queued files in the order they were read.
TEST_F(ParameterLoadTest, ReadingMakesNothingUntilTheQueueIsEmptied)
{
    for (const char* name : {"first.par", "second.par"}) {
        FILE* f = fopen((temp / name).c_str(), "w");
        fprintf(f, "%s {\n}\n", name);
        fclose(f);
    }
    int folders = FolderList.Count();
    for (const char* name : {"first.par", "second.par"}) {
        ParameterFileEntries* file = new ParameterFileEntries;
        ASSERT_TRUE(ReadParameterFile((temp / name).c_str(), nullptr, file));
        QueueReadParameterFile(file);
    }
    EXPECT_EQ(folders, FolderList.Count()) << "nothing listed from the worker";
    EXPECT_EQ(2, MakeQueuedParameterFolders());
    EXPECT_EQ(folders + 2, FolderList.Count());
    ASSERT_TRUE(LastLoadedFolder != nullptr);
    EXPECT_STREQ("Second.Par", LastLoadedFolder->name) << "the last one read";
    for (ListNode* n = FolderList.GetHead(); n; n = n->next)
        if (strstr(static_cast<FractalFolder*>(n)->path, temp.Path().c_str()) == static_cast<FractalFolder*>(n)->path)
            made.push_back(static_cast<FractalFolder*>(n));
    EXPECT_EQ(0, MakeQueuedParameterFolders());
}

// The progress shows the file and the fraction read; a stop request ends
// the walk after the entry being read, keeping what was read.
TEST_F(ParameterLoadTest, ProgressAndStopRequest)
{
    static std::vector<std::string> actions;
    static std::vector<double> fractions;
    actions.clear();
    fractions.clear();
    g_ParameterLoadProgress.setAction = [](const char* text) { actions.push_back(text); };
    g_ParameterLoadProgress.setFraction = [](double f) { fractions.push_back(f); };
    FILE* f = fopen((temp / "three_parts.par").c_str(), "w");
    fputs("A {\n}\nB {\n}\nC {\n}\n", f);
    fclose(f);
    ParameterFileEntries file;
    ASSERT_TRUE(ReadParameterFile(temp.Path().c_str(), "three_parts.par", &file));
    EXPECT_EQ(std::vector<std::string>{"Loading file Three_Parts.Par"}, actions);
    ASSERT_EQ(3u, fractions.size());
    EXPECT_LT(fractions[0], fractions[1]);
    EXPECT_NEAR(1.0, fractions[2], 0.1) << "only the last line break is left";

    WorkerCancelState = 1;
    ASSERT_TRUE(ReadParameterFile(temp.Path().c_str(), "three_parts.par", &file));
    WorkerCancelState = 0;
    ASSERT_EQ(1u, file.entries.size());
    EXPECT_EQ("A", file.entries[0].name);
    g_ParameterLoadProgress = ParameterLoadProgress{};
}

TEST(PathFunctions, SplitAndFolderNames)
{
    struct Case {
        const char* path;
        const char* file;
        const char* folder;
    } cases[] = {
        {"C:\\Pics\\Spiral.png", "Spiral.png", "C:\\Pics"},
        {"C:Spiral.png", "Spiral.png", "C:"},
        {"D:\\a:b", "b", "D:\\a:"},  // a later ':' wins
        {"plain.par", "plain.par", ""},
    };
    for (const Case& c : cases) {
        char out[MAX_PATH];
        FileNameOfPath(c.path, out);
        EXPECT_STREQ(c.file, out) << c.path;
        FolderOfPath(c.path, out);
        EXPECT_STREQ(c.folder, out) << c.path;
    }
    struct Name {
        const char* in;
        const char* out;
    } names[] = {
        {"blue_sky.map", "Blue_Sky"},
        {"my-palette.second.map", "My-palette"},
        {"RED sunset", "Red Sunset"},
        {"3d_rocks.map", "3D_Rocks"},
    };
    for (const Name& n : names) {
        char text[100];
        strcpy(text, n.in);
        FolderNameFromFile(text);
        EXPECT_STREQ(n.out, text) << n.in;
    }
}

}  // namespace
