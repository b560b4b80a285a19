// Adding an entry to a parameter file: the check of an existing file, and
// the writing that replaces exactly one entry or appends, through a
// temporary file, with CR LF line ends on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "files/entry/ParameterFile.h"
#include "tests/formulas/FormulaTestSupport.h"

using formulatest::TempFolder;

namespace {

int Check(const std::string& text, const char* name, int* start = nullptr, int* end = nullptr)
{
    int s = -1, e = -1;
    int flags = CheckParameterText(text, name, &s, &e);
    if (start)
        *start = s;
    if (end)
        *end = e;
    return flags;
}

std::string Bytes(const std::string& path)
{
    std::string text;
    ReadWholeFile(path.c_str(), text);
    return text;
}

}  // namespace

TEST(CheckParameterFile, FlagsOddBytesBrokenStructureAndTheName)
{
    struct Case {
        const char* what;
        std::string text;
        int flags;
    };
    const Case cases[] = {
        {"two plain entries", "; file comment\nA  {\n a=1\n}\n\nB  {\n}\n", 0},
        {"the wanted name, without case", "x  {\n}\nmine  {\n}\n", PF_NAME_EXISTS},
        {"name, group and brace without blanks", "Mine(XAXIS){\n}\n", PF_NAME_EXISTS},
        {"brace on the next line", "Mine\n{\n}\n", PF_NAME_EXISTS},
        {"an empty line between name and brace", "Mine\n\n{\n}\n", PF_BROKEN},
        {"a stray control byte", std::string("A  {\n}\n\x01"), PF_NOT_TEXT | PF_BROKEN},
        {"trailing NUL padding is text", std::string("A  {\n}\n\0\0", 9), 0},
        {"unclosed body", "A  {\n a=1\n", PF_BROKEN},
        {"a quoted brace stays in its value", "Mine  {\n t=\"}\" ; {\n}\nB  {\n}\n", PF_NAME_EXISTS},
        {"a name without a brace", "A  {\n}\nlonely", PF_BROKEN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.flags, Check(c.text, "Mine")) << c.what;

    // Start and end frame the first entry of the name only, not a later one.
    std::string text = "A {\n}\nMine  {\n a=1\n}\nB {\n}\nMine {\n}\n";
    int start, end;
    EXPECT_EQ(PF_NAME_EXISTS, Check(text, "Mine", &start, &end));
    EXPECT_EQ("Mine  {\n a=1\n}", text.substr(start, end - start + 1));
}

// Entries as the reader finds them: a brace in a comment or in a quoted
// value neither opens nor closes one.
TEST(CheckParameterFile, SplitsATextIntoEntries)
{
    const char* text = "; a {comment}\nFirst  {\n t=\"a } b\" ; }\n}\nSecond {\n}\nbroken {\n";
    std::vector<std::string> entries;
    EntryRange range;
    for (int from = 0; NextEntryRange(text, from, &range); from = range.close + 1)
        entries.push_back(std::string(text + range.begin, range.close - range.begin + 1));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("; a {comment}\nFirst  {\n t=\"a } b\" ; }\n}", entries[0]);
    EXPECT_EQ("\nSecond {\n}", entries[1]);
}

TEST(CheckParameterFile, PlacesEntriesThroughATemporaryFile)
{
    TempFolder folder;
    std::string path = folder / "saved.par";
    EXPECT_EQ(PF_MISSING, CheckParameterFile(path.c_str(), "Mine", nullptr, nullptr));

    ASSERT_TRUE(PlaceEntryInFile(path.c_str(), "Mine  {\n a=1\n}\n", EP_CREATE, 0, 0, 0));
    EXPECT_EQ("\r\nMine  {\r\n a=1\r\n}\r\n", Bytes(path));

    ASSERT_TRUE(PlaceEntryInFile(path.c_str(), "Other  {\n t=\"}\"\n}\n", EP_APPEND, 0, 0, 0));
    ASSERT_TRUE(PlaceEntryInFile(path.c_str(), "Mine  {\n b=2\n}\n", EP_APPEND, 0, 0, 0));

    // Yes to "replace": exactly the first entry of the name is replaced.
    int start = -1, end = -1;
    EXPECT_EQ(PF_NAME_EXISTS, CheckParameterFile(path.c_str(), "mine", &start, &end));
    ASSERT_TRUE(PlaceEntryInFile(path.c_str(), "Mine  {\n c=3\n}", EP_REPLACE, start, end, 0));
    EXPECT_EQ("\r\nMine  {\r\n c=3\r\n}\r\n\r\nOther  {\r\n t=\"}\"\r\n}\r\n\r\nMine  {\r\n b=2\r\n}\r\n", Bytes(path));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((path + ".~new").c_str()));

    // A replacement that cannot be placed leaves the file as it was.
    std::string before = Bytes(path);
    EXPECT_FALSE(PlaceEntryInFile(path.c_str(), "x", EP_REPLACE, 5, 100000, 0));
    EXPECT_EQ(before, Bytes(path));
    EXPECT_FALSE(PlaceEntryInFile((folder / "missing.par").c_str(), "x", EP_APPEND, 0, 0, 0));
}
