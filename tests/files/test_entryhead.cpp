// The first look at an entry: the name before its brace (with the folder
// form) and the type, subtype and form that decide how its items are read.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "files/entry/EntryHead.h"
#include "files/entry/EntryTypeNames.h"

TEST(EntryHead, NameBeforeTheBrace)
{
    struct Case {
        const char* text;
        bool withFolder;
        const char* name;
        const char* folder;
    };
    const Case cases[] = {
        {"My fractal  {", false, "My fractal", ""},
        {"junk\r\n  Spaced name \t {", false, "  Spaced name", ""},
        {"[Animation].First  {", true, "First", "Animation"},
        {"[Animation].First  {", false, "[Animation].First", ""},
        {"\xE4x name {", false, "x name", ""},
        {"   {", false, "No name", ""},
        {"{", false, "No name", ""},
    };
    for (const Case& c : cases) {
        std::string folder;
        int brace = (int)(strchr(c.text, '{') - c.text);
        EXPECT_EQ(c.name, EntryNameBeforeBrace(c.text, brace, c.withFolder ? &folder : nullptr)) << c.text;
        EXPECT_EQ(c.folder, folder) << c.text;
    }
    std::string longName(80, 'n');
    EXPECT_EQ(63u, EntryNameBeforeBrace((longName + " {").c_str(), 81, nullptr).size());
}

TEST(EntryHead, TypeScanSettlesTypeSubtypeAndForm)
{
    struct Case {
        const char* what;
        const char* body;
        int type, subtype;
        bool fractint, layered, compressed, unknown;
    };
    const Case cases[] = {
        {"empty body: Mandel", "{\n}", 3, 0, false, false, false, false},
        {"own type without case", "{\n Type=escapetime Subtype=2\n}", 14, 2, false, false, false, false},
        {"old type with subtype", "{\n TYPE=mandel SUBTYPE=2\n}", 3, 2, false, false, false, false},
        {"a formula parameter subtype is none", "{\n Type=Escapetime\nformula:\n p_subtype=2\n}", 14, 0, false,
         false, false, false},
        {"Fractint type name", "{\n reset=2004 type=magnet1j\n}", -1, -1, true, false, false, false},
        {"RESET alone marks Fractint", "{\n reset=1960 type=mandel\n}", -1, -1, true, false, false, false},
        {"Fractint name with parentheses", "{\n type=sqr(1/fn)\n}", -1, -1, true, false, false, false},
        {"layered form", "{\nfractal:\n title=\"x\"\n}", 15, 0, false, true, false, false},
        {"fractal: later is no layered form", "{\n a=1 b=2\nfractal:\n}", 3, 0, false, false, false, false},
        {"compressed", "{\n::DAAAAgHnLRbNEAQARDA0\n}", 15, 0, false, true, true, false},
        {"unknown type", "{\n Type=foo\n}", -2, 0, false, false, false, true},
        {"the first type counts", "{\n Type=Plasma Type=foo\n}", 6, 0, false, false, false, false},
        {"items after the brace are not read", "{\n a=1\n}\n Type=foo", 3, 0, false, false, false, false},
    };
    for (const Case& c : cases) {
        EntryTypeScan scan = ScanEntryType(c.body);
        EXPECT_EQ(c.type, scan.type) << c.what;
        EXPECT_EQ(c.subtype, scan.subtype) << c.what;
        EXPECT_EQ(c.fractint, scan.fractint) << c.what;
        EXPECT_EQ(c.layered, scan.layered) << c.what;
        EXPECT_EQ(c.compressed, scan.compressed) << c.what;
        EXPECT_EQ(c.unknown, scan.unknownType) << c.what;
    }
    EntryTypeScan scan = ScanEntryType("{\n Type=Formula formulafile=mine.frm FormulaName=Spiral\n}");
    EXPECT_EQ(4, scan.type);
    EXPECT_EQ("MINE.FRM", scan.formulaFile);
    EXPECT_EQ("SPIRAL", scan.formulaName);
    EXPECT_EQ("FOO", ScanEntryType("{ Type=foo }").typeName);
}

TEST(EntryHead, TypeNamesBecomeFormulaNames)
{
    struct Case {
        const char* type;
        const char* formula;
    };
    const Case cases[] = {
        {"SQR(1/fn)", "SQR_1/FN"}, {"lambda(fn||fn)", "LAMBDA_FN||FN"}, {"magnet1j", "MAGNET1J"},
        {"fn(z)+fn(pix)", "FN_Z+FN_PIX"},
    };
    for (const Case& c : cases) {
        char name[64];
        FormulaNameOfType(c.type, name, sizeof name);
        EXPECT_STREQ(c.formula, name);
    }
    EXPECT_EQ(14, FindEntryType("ESCAPETIME"));
    EXPECT_EQ(20, FindEntryType("Unknown_20"));
    EXPECT_EQ(-1, FindEntryType("magnet1j"));
    EXPECT_TRUE(IsFractintType("VOLTERRA-LOTKA"));
    EXPECT_FALSE(IsFractintType("Mandel"));
}
