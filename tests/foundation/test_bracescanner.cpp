#include <windows.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "foundation/BraceScanner.h"

namespace {

struct Entry {
    std::string name;
    std::string text;
};

std::vector<Entry> g_entries;

void Collect(const char* name, const char* text, int length)
{
    g_entries.push_back({name, std::string(text, length)});
}

// A fixture file in the temporary folder, written byte for byte and removed
// again by the destructor.
class TempFile {
public:
    explicit TempFile(const std::string& content)
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        char name[MAX_PATH];
        GetTempFileNameA(temp, "brc", 0, name);
        path = name;
        FILE* f = fopen(name, "wb");
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
    }
    ~TempFile() { DeleteFileA(path.c_str()); }
    std::string path;
};

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Scans the text written with LF and with CR LF line ends; both must give
// the same entries. Answers the entries of the CR LF file.
std::vector<Entry> Scan(const std::string& text)
{
    TempFile lf(text);
    g_entries.clear();
    int count = ScanBraceFile(lf.path.c_str(), Collect);
    std::vector<Entry> fromLf = g_entries;
    EXPECT_EQ((int)fromLf.size(), count);

    TempFile crlf(WithCrLf(text));
    g_entries.clear();
    ScanBraceFile(crlf.path.c_str(), Collect);
    EXPECT_EQ(fromLf.size(), g_entries.size());
    for (size_t i = 0; i < fromLf.size() && i < g_entries.size(); i++) {
        EXPECT_EQ(fromLf[i].name, g_entries[i].name);
        EXPECT_EQ(fromLf[i].text, g_entries[i].text);
    }
    return g_entries;
}

}  // namespace

TEST(ScanBraceFile, EntryOverSeveralLines)
{
    std::vector<Entry> e = Scan("Julia {\n  type=escape\n\n   center=0/0\n  maxiter=100\n}\n");
    ASSERT_EQ(1u, e.size());
    EXPECT_EQ("Julia", e[0].name);
    // Leading blanks and blank lines are gone; the line breaks stay.
    EXPECT_EQ("{\ntype=escape\ncenter=0/0\nmaxiter=100\n}", e[0].text);
}

TEST(ScanBraceFile, NamesAndSkippedEntries)
{
    std::vector<Entry> e = Scan(
        "Comment {\n  a note\n}\n"
        "Layer:One { x=1 }\n"
        "Keep Me   { y=2 }\n"
        "Next\n"
        "{\n z=3\n}\n"
        "COMMENT { }\n");
    ASSERT_EQ(2u, e.size());
    EXPECT_EQ("Keep Me", e[0].name);
    EXPECT_EQ("{ y=2 }", e[0].text);
    // A brace on its own line takes the name from the line before.
    EXPECT_EQ("Next", e[1].name);
    EXPECT_EQ("{\nz=3\n}", e[1].text);

    e = Scan("\n   \n{ a=1 }\nB { }\n");
    ASSERT_EQ(2u, e.size());
    EXPECT_EQ("No name", e[0].name);
    EXPECT_EQ("B", e[1].name);
}

TEST(ScanBraceFile, BracesAfterASemicolonDoNotCount)
{
    std::vector<Entry> e = Scan(
        "; Old {entry} kept as a comment\n"
        "Real {\n"
        "x=1 ; closes here? }\n"
        "}\n");
    ASSERT_EQ(1u, e.size());
    EXPECT_EQ("Real", e[0].name);
    EXPECT_EQ("{\nx=1 ; closes here? }\n}", e[0].text);
}

TEST(ScanBraceFile, BackslashJoinsLinesUnlessCommented)
{
    std::vector<Entry> e = Scan(
        "J {\na=1 \\\n    b=2\n}\n"
        "K {\na=1 ; note \\\nb=2\n}\n"
        "L {\nf=\"x;y\" \\\n  b=2\n}\n");
    ASSERT_EQ(3u, e.size());
    EXPECT_EQ("{\na=1 b=2\n}", e[0].text);
    EXPECT_EQ("{\na=1 ; note \\\nb=2\n}", e[1].text);
    EXPECT_EQ("{\nf=\"x;y\" b=2\n}", e[2].text);
}

TEST(ScanBraceFile, NestedBracesAndQuotedBracesStayInsideTheEntry)
{
    std::vector<Entry> e = Scan("a {\n s=\"}\"\n b { c }\n}\nNext { x=\"{\" }\n");
    ASSERT_EQ(2u, e.size());
    EXPECT_EQ("a", e[0].name);
    EXPECT_EQ("{\ns=\"}\"\nb { c }\n}", e[0].text);
    EXPECT_EQ("Next", e[1].name);
    EXPECT_EQ("{ x=\"{\" }", e[1].text);
}

TEST(ScanBraceFile, ReportsWhyTheScanStoppedShort)
{
    struct Case {
        std::string text;
        size_t entries;
        const char* problem;
    } cases[] = {
        {"A { x }\nB { y }\n", 2, ""},
        {"A { x }\nB { y \n", 1, "the entry \"B\" has no closing brace"},
        {std::string("A { x }\nB {\0 y }\nC { z }\n", 25), 1, "a NUL byte at offset 11 ends the text"},
    };
    for (const Case& c : cases) {
        TempFile file(c.text);
        g_entries.clear();
        std::string problem = "not cleared";
        ScanBraceFile(file.path.c_str(), Collect, &problem);
        EXPECT_EQ(c.entries, g_entries.size()) << c.problem;
        EXPECT_EQ(c.problem, problem);
    }
}

TEST(ScanBraceFile, LongLinesAndNames)
{
    std::string name(600, 'N');
    std::string value(2000, 'v');
    std::vector<Entry> e = Scan(name + " {\n" + value + "\n}\nShort { }\n");
    ASSERT_EQ(2u, e.size());
    EXPECT_EQ(std::string(BRACE_NAME_MAX, 'N'), e[0].name);
    EXPECT_EQ("{\n" + value + "\n}", e[0].text);
    EXPECT_EQ("Short", e[1].name);
}

TEST(ScanBraceFile, EmptyMissingAndUnclosed)
{
    EXPECT_TRUE(Scan("").empty());
    EXPECT_TRUE(Scan("no braces at all\n").empty());

    g_entries.clear();
    EXPECT_EQ(0, ScanBraceFile("C:\\no\\such\\folder\\file.par", Collect));
    EXPECT_TRUE(g_entries.empty());

    // Entries before an unclosed one are still reported.
    std::vector<Entry> e = Scan("A { x }\nB {\ny=1\n");
    ASSERT_EQ(1u, e.size());
    EXPECT_EQ("A", e[0].name);
}

TEST(ScanBraceFile, SampleParameterFile)
{
    g_entries.clear();
    EXPECT_EQ(3, ScanBraceFile(SPIRALIX_TEST_DATA "/sample.par", Collect));
    ASSERT_EQ(3u, g_entries.size());
    EXPECT_EQ("Spiral01", g_entries[0].name);
    EXPECT_EQ("{\ntype=escape zoom=1.5 center=-0.5/0.25\n"
              "maxiter=250 ; raise it to {1000} for more detail\n}",
              g_entries[0].text);
    EXPECT_EQ("Blue Dream", g_entries[1].name);
    EXPECT_EQ("{\ntype=escape palette=blue bailout=4\n}", g_entries[1].text);
    EXPECT_EQ("Fern", g_entries[2].name);
    EXPECT_EQ("{\nformula=\"leaf\" width=640 height=480\n}", g_entries[2].text);
}
