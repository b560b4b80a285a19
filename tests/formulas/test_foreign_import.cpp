// Importing foreign formula files: twins are made beside the destination's
// formula files with their sources' times, a second import converts
// nothing, a changed source is converted again after the question, and
// the answers of the question are kept. Also the naming of imported
// folders and the spxconv command line.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "formulas/convert/ForeignImport.h"
#include "foundation/FileUtil.h"
#include "tests/formulas/FormulaTestSupport.h"
#include "tests/support/ToolRunner.h"

using namespace formulatest;

namespace {

std::vector<std::string> g_Questions;
int g_Answer = 3;

int Answer(const OverwriteQuestion& question)
{
    g_Questions.push_back(std::string(question.sourceName) + "->" + question.targetName);
    return g_Answer;
}

class ForeignImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearFormulaTrees();
        g_Questions.clear();
        g_Answer = 3;
        g_OverwriteAnswerer = &Answer;
        SetImportDataFolder(work.Path().c_str());
        source = work.MakeFolder("source");
        work.MakeFolder("source\\sub");
        destination = work.MakeFolder("dest");
        work.CopyFixture("fractint.frm", "source\\fractint.frm");
        work.CopyFixture("julia.ufm", "source\\sub\\julia.ufm");
        work.CopyFixture("banded.ucl", "source\\banded.ucl");
    }
    void TearDown() override
    {
        g_OverwriteAnswerer = nullptr;
        ClearFormulaTrees();
    }
    long Import()
    {
        ImportedFileCount = 0;
        ImportForeignFolder(source.c_str(), destination.c_str());
        return ImportedFileCount;
    }

    TempFolder work;
    std::string source;
    std::string destination;
};

TEST_F(ForeignImport, SecondImportConvertsNothingAndChangedSourcesAsk)
{
    EXPECT_EQ(3, Import());
    const char* const pairs[][2] = {{"fractint.frm", "fractint.sfm"},
                                    {"sub\\julia.ufm", "sub\\julia.sfm"},
                                    {"banded.ucl", "banded.scl"}};
    for (const auto& pair : pairs) {
        std::string twin = destination + "\\" + pair[1];
        ASSERT_TRUE(FileExists(twin)) << twin;
        EXPECT_TRUE(SameTime(LastWriteTime(source + "\\" + pair[0]), LastWriteTime(twin))) << twin;
    }
    EXPECT_NE(std::string::npos, ReadBytes(destination + "\\sub\\julia.sfm").find("JuliaUF {"));

    // Current twins: nothing is converted, nothing asked, and the subfolder
    // keeps its one node.
    EXPECT_EQ(0, Import());
    EXPECT_TRUE(g_Questions.empty());
    FormulaNode* root = FindOrMakeRootFolder(FK_ITERATION, destination.c_str());
    int subfolders = 0;
    for (ListNode* n = root->children.GetHead(); n; n = n->next)
        subfolders += static_cast<FormulaNode*>(n)->kind == FNK_FOLDER;
    EXPECT_EQ(1, subfolders);

    // A changed source asks first; "no" keeps the old twin.
    ShiftLastWriteTime(source + "\\fractint.frm", 60);
    g_Answer = 5;
    EXPECT_EQ(0, Import());
    ASSERT_EQ(1u, g_Questions.size());
    EXPECT_EQ("fractint.frm->fractint.sfm", g_Questions[0]);
    EXPECT_FALSE(SameTime(LastWriteTime(source + "\\fractint.frm"), LastWriteTime(destination + "\\fractint.sfm")));

    // "Yes to all" replaces it and asks no more.
    ShiftLastWriteTime(source + "\\banded.ucl", 60);
    g_Answer = 4;
    g_Questions.clear();
    EXPECT_EQ(2, Import());
    EXPECT_EQ(1u, g_Questions.size());
    EXPECT_TRUE(SameTime(LastWriteTime(source + "\\fractint.frm"), LastWriteTime(destination + "\\fractint.sfm")));
    EXPECT_TRUE(SameTime(LastWriteTime(source + "\\banded.ucl"), LastWriteTime(destination + "\\banded.scl")));
}

TEST_F(ForeignImport, AbortStopsTheImport)
{
    EXPECT_EQ(3, Import());
    ShiftLastWriteTime(source + "\\fractint.frm", 60);
    ShiftLastWriteTime(source + "\\banded.ucl", 60);
    g_Answer = 2;
    EXPECT_EQ(1, ImportForeignFolder(source.c_str(), destination.c_str()));
    EXPECT_EQ(1u, g_Questions.size());
    WorkerCancelState = 0;
}

TEST(ForeignImportNames, FolderNames)
{
    const char* const cases[][3] = {
        // path, single file, name
        {"C:\\Users\\me\\Fractals", "0", "Fractals"},
        {"C:\\Stuff\\formulas\\Public", "0", "Stuff"},
        {"C:\\formulas\\Public", "0", "Imported Formulas"},
        {"C:\\Formula", "0", "Imported Formulas"},
        {"D:\\Ultra Fractal 5\\Formulas", "0", "Ultra Fractal"},
        {"C:\\x", "0", "Imported Formulas"},
        {"C:\\Mine\\julia.ufm", "1", "Mine"},
    };
    for (const auto& c : cases) {
        char name[MAX_PATH];
        ImportFolderName(c[0], c[1][0] == '1', name, sizeof name);
        EXPECT_STREQ(c[2], name) << c[0];
    }
}

TEST(Spxconv, ConvertsEntriesAndImports)
{
    TempFolder work;
    std::string frm = work.CopyFixture("fractint.frm");
    ToolRun run = RunSibling("spxconv.exe", "frm \"" + frm + "\" --entry Unknown");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("Formula Unknown in ")) << run.errors;

    work.MakeFolder("in");
    work.MakeFolder("out");
    work.CopyFixture("julia.ufm", "in\\julia.ufm");
    run = RunSibling("spxconv.exe", "import \"" + work / "in" + "\" \"" + work / "out" + "\"");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("converted=1\n", run.output);
    EXPECT_TRUE(FileExists(work / "out\\julia.sfm"));
}

}  // namespace
