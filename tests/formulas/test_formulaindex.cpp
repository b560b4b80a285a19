// The index file of a function library: its exact bytes for a fixture
// computed by hand, when it is kept and when rebuilt, the failures that
// leave no index, and reading a class back for the import.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "formulas/FormulaIndex.h"
#include "formulas/FormulaNode.h"
#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

class FormulaIndexTest : public testing::Test {
protected:
    void TearDown() override { DeleteAllMessages(); }

    TempFolder folder;
};

void SetTimes(const std::string& path, const FILETIME& lastWrite)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    SetFileTime(h, nullptr, nullptr, &lastWrite);
    CloseHandle(h);
}

TEST_F(FormulaIndexTest, WritesTheIndexOfTheFixtureByteForByte)
{
    std::string library = folder.CopyFixture("mathlib.lib");
    LooseFile file(FK_LIBRARY, library);
    EXPECT_EQ(0, file->WriteIndexFile());
    std::string index = folder / "mathlib.slb";
    EXPECT_EQ(ReadBytes(FixturePath("mathlib.slb.expected")), ReadBytes(index));
    EXPECT_TRUE(SameTime(LastWriteTime(library), LastWriteTime(index)));
    // The call loaded the entries for the compile and unloaded them again.
    EXPECT_EQ(0, file->loaded);
    EXPECT_EQ(0, file->children.Count());
}

TEST_F(FormulaIndexTest, KeepsACurrentIndexAndRebuildsItWhenTheLibraryChanges)
{
    std::string library = folder.CopyFixture("mathlib.lib");
    std::string index = folder / "mathlib.slb";
    LooseFile file(FK_LIBRARY, library);
    ASSERT_EQ(0, file->WriteIndexFile());

    // An index whose time equals the library's is taken as current, whatever
    // it holds.
    ASSERT_TRUE(WriteBytes(index, "I:stale\r\nE:\r\n"));
    SetTimes(index, LastWriteTime(library));
    EXPECT_EQ(0, file->WriteIndexFile());
    EXPECT_EQ("I:stale\r\nE:\r\n", ReadBytes(index));

    // A changed last-write time of the library makes it stale.
    ShiftLastWriteTime(library, 10);
    EXPECT_EQ(0, file->WriteIndexFile());
    EXPECT_EQ(ReadBytes(FixturePath("mathlib.slb.expected")), ReadBytes(index));
    EXPECT_TRUE(SameTime(LastWriteTime(library), LastWriteTime(index)));
}

TEST_F(FormulaIndexTest, UsesTheLoadedEntriesOfALoadedLibrary)
{
    std::string library = folder.CopyFixture("mathlib.lib");
    LooseFile file(FK_LIBRARY, library);
    file->LoadEntries(nullptr);
    ASSERT_EQ(3, file->children.Count());
    EXPECT_EQ(0, file->WriteIndexFile());
    EXPECT_EQ(ReadBytes(FixturePath("mathlib.slb.expected")), ReadBytes(folder / "mathlib.slb"));
    EXPECT_EQ(1, file->loaded);
    EXPECT_EQ(3, file->children.Count());
}

TEST_F(FormulaIndexTest, AnEntryThatDoesNotCompileLeavesNoIndex)
{
    std::string library = folder / "broken.lib";
    ASSERT_TRUE(WriteBytes(library, Crlf("abad {\n\tthis is no function\n}\n"
                                         "good {\n\treal f(real a)\n\t{\n\t\treturn(a);\n\t}\n}\n")));
    std::string index = folder / "broken.slb";
    ASSERT_TRUE(WriteBytes(index, "I:old\r\nE:\r\n"));
    ShiftLastWriteTime(index, -100);
    LooseFile file(FK_LIBRARY, library);
    EXPECT_EQ(3, file->WriteIndexFile());
    EXPECT_FALSE(FileExists(index));
    EXPECT_EQ(0, file->loaded);
}

TEST_F(FormulaIndexTest, AMissingLibraryLosesItsIndex)
{
    std::string index = folder / "gone.slb";
    ASSERT_TRUE(WriteBytes(index, "E:\r\n"));
    LooseFile file(FK_LIBRARY, folder / "gone.lib");
    EXPECT_EQ(1, file->WriteIndexFile());
    EXPECT_FALSE(FileExists(index));
}

TEST_F(FormulaIndexTest, SmallLibrariesAndOtherKinds)
{
    // No entries: only the end line. An entry without functions: its line.
    ASSERT_TRUE(WriteBytes(folder / "empty.lib", ""));
    ASSERT_TRUE(WriteBytes(folder / "bare.lib", Crlf("// only a comment\nnone { }\n")));
    LooseFile empty(FK_LIBRARY, folder / "empty.lib");
    LooseFile bare(FK_LIBRARY, folder / "bare.lib");
    EXPECT_EQ(0, empty->WriteIndexFile());
    EXPECT_EQ(0, bare->WriteIndexFile());
    EXPECT_EQ("E:\r\n", ReadBytes(folder / "empty.slb"));
    EXPECT_EQ("I:none\r\nE:\r\n", ReadBytes(folder / "bare.slb"));

    // Only function libraries have an index.
    std::string formula = folder.CopyFixture("mixed.sfm");
    LooseFile other(FK_ITERATION, formula);
    EXPECT_EQ(0, other->WriteIndexFile());
    EXPECT_FALSE(FileExists(folder / "mixed.slb"));
}

TEST(IndexFilePath, ReplacesTheExtension)
{
    char path[FORMULA_PATH_SIZE];
    IndexFilePath("C:\\f.d\\math.lib", path, sizeof path);
    EXPECT_STREQ("C:\\f.d\\math.slb", path);
    IndexFilePath("C:\\f.d\\noext", path, sizeof path);
    EXPECT_STREQ("C:\\f.d\\noext.slb", path);
}

TEST(ReadIndexClass, CollectsTheFunctionLinesOfAClass)
{
    std::string index = FixturePath("mathlib.slb.expected");
    std::vector<std::string> lines;
    ASSERT_EQ(1, ReadIndexClass(index.c_str(), "COMPLEXMATH", &lines));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("F:Ctwice@@C##56##100##complex twice(complex a);", lines[0]);
    // A head over two lines stays one function line.
    EXPECT_EQ("F:Rmix@@RR##103##176##real mix(real x,\n\t         real y);", lines[1]);

    ASSERT_EQ(1, ReadIndexClass(index.c_str(), "realmath", &lines));
    ASSERT_EQ(1u, lines.size());
    std::string name, declaration;
    int start = 0, end = 0;
    ASSERT_TRUE(ParseIndexFunctionLine(lines[0], &name, &start, &end, &declaration));
    EXPECT_EQ("Rhalf@@R", name);
    EXPECT_EQ(193, start);
    EXPECT_EQ(230, end);
    EXPECT_EQ("real half(real v);", declaration);

    EXPECT_EQ(1, ReadIndexClass(index.c_str(), "emptyclass", &lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(0, ReadIndexClass(index.c_str(), "nothing", &lines));
    EXPECT_EQ(-1, ReadIndexClass("Z:\\no\\such.slb", "x", &lines));
    EXPECT_FALSE(ParseIndexFunctionLine("F:broken##1##x##", &name, &start, &end, &declaration));
}

}  // namespace
