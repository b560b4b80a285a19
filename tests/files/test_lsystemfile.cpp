// L-system files: the entry reader (both ANGLE and AXIOM forms, upper case,
// merged rules, COMMENT entries, missing braces), loading whole files with
// unique names, the writer's exact text with CR LF line ends, a save-load-
// save round trip, and the program's own Koch1.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <string>

#include "files/formulafiles/LSystemFile.h"
#include "foundation/FileUtil.h"
#include "fractals/lsystem/LSystemFormula.h"
#include "tests/formulas/FormulaTestSupport.h"

namespace {

// Empties the global list before and after each test.
class LSystemFiles : public testing::Test {
protected:
    void SetUp() override { g_LSystemFormulas.DeleteAllNodes(); }
    void TearDown() override { g_LSystemFormulas.DeleteAllNodes(); }
};

std::string Describe(const LSystemFormula* f)
{
    if (!f)
        return "null";
    char divisor[32];
    snprintf(divisor, sizeof divisor, "%g", f->angleDivisor);
    std::string s = std::string(f->name) + " angle " + divisor + " axiom " + (f->axiom ? f->axiom : "-");
    for (const ListNode* n = f->rules.GetHead(); n; n = n->next) {
        const LSystemRule* r = static_cast<const LSystemRule*>(n);
        s += std::string(" ") + r->symbol + "=" + (r->replacement ? r->replacement : "");
    }
    return s;
}

std::string ReadBytes(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return "";
    std::string s;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        s.append(buffer, n);
    fclose(f);
    return s;
}

void WriteBytes(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f != nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

TEST_F(LSystemFiles, EntryReaderFormsAndRefusals)
{
    const struct { const char* text; const char* expected; } cases[] = {
        // Upper-cased, merged: f=f+f and F=-f become one rule.
        { "Koch {\n Axiom f-f\n f=f+f\n F=-f\n}", "Koch angle 8 axiom F-F F=F+F-F" },
        // The '=' forms, a later axiom replacing an earlier one, comments.
        { "Tree (flags) {\nANGLE=12 ; twelve\n AXIOM=X ;x\n axiom Y\nX=F[+X]\n}", "Tree angle 12 axiom Y X=F[+X]" },
        // Lines that are none of the statements are ignored.
        { "Odd {\n hello world\n =F\n FX=1\n Angle 5 7\n}", "Odd angle 5 axiom -" },
        // Control characters are blanks; CR LF lines read like LF lines.
        { "Tabs {\r\n\tAngle\t4\r\n\tAxiom\tF\r\n\tF=FF\r\n}", "Tabs angle 4 axiom F F=FF" },
        { "comment { Angle 4 }", "null" },
        { "CoMmEnT { Angle 4 }", "null" },
        { "Open { Angle 4 ", "null" },
        { "no brace here", "null" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Describe(ReadLSystemEntry(c.text))) << c.text;
}

TEST_F(LSystemFiles, LoadingGivesEveryEntryAUniqueName)
{
    formulatest::TempFolder folder;
    WriteBytes(folder / "two.l",
               "comment { this text { is skipped }\n"
               "Koch { Angle 6\n Axiom F\n}\n"
               "Koch { Angle 4\n Axiom G\n}\n"
               "Last { Axiom F\n");   // no closing brace: the loading ends there
    EXPECT_EQ(2, LoadLSystemFile(folder.Path().c_str(), "two.l"));
    ASSERT_EQ(2, g_LSystemFormulas.Count());
    std::string a = g_LSystemFormulas.GetAt(0)->name, b = g_LSystemFormulas.GetAt(1)->name;
    EXPECT_NE(a, b);
    EXPECT_EQ(0, strncmp(a.c_str(), "Koch", 4));
    EXPECT_EQ(0, strncmp(b.c_str(), "Koch", 4));
    EXPECT_EQ(0, LoadLSystemFile(folder.Path().c_str(), "missing.l"));
    WriteBytes(folder / "empty.l", "");
    EXPECT_EQ(0, LoadLSystemFile(folder.Path().c_str(), "empty.l"));
}

TEST_F(LSystemFiles, WriterTextAndRoundTrip)
{
    formulatest::TempFolder folder;
    LSystemFormula f("Weed");
    f.angleDivisor = 22.5;
    f.SetAxiom("F");
    f.SetRules("F=F[+F]F X= Y=-");
    LSystemFormula empty("Bare");
    WriteLSystemFormula(&f, folder.Path().c_str(), "weed.l", nullptr);
    WriteLSystemFormula(&empty, folder.Path().c_str(), "bare.l", nullptr);
    EXPECT_EQ("Weed  {\r\nAngle 22.500\r\nAxiom F\r\n F=F[+F]F\r\n X=y\r\n Y=-\r\n}", ReadBytes(folder / "weed.l"));
    EXPECT_EQ("Bare  {\r\nAngle 8.000\r\nAxiom x\r\n}", ReadBytes(folder / "bare.l"));

    // Nothing is written without a formula; an open file stays open.
    WriteLSystemFormula(nullptr, folder.Path().c_str(), "none.l", nullptr);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder / "none.l").c_str()));
    FILE* open = fopen((folder / "open.l").c_str(), "w");
    WriteLSystemFormula(&f, nullptr, nullptr, open);
    EXPECT_EQ(0, fputs("\n", open) < 0);
    fclose(open);

    // Saved, loaded and saved again: the same bytes (for a formula in the
    // reader's upper case whose rules all have text: the "y" written for an
    // empty rule reads back as the rule text "Y").
    LSystemFormula tree("Tree");
    tree.angleDivisor = 7;
    tree.SetAxiom("X");
    tree.SetRules("X=F[@.5+X]-X F=FF");
    WriteLSystemFormula(&tree, folder.Path().c_str(), "tree.l", nullptr);
    ASSERT_EQ(1, LoadLSystemFile(folder.Path().c_str(), "tree.l"));
    LSystemFormula* loaded = static_cast<LSystemFormula*>(g_LSystemFormulas.GetHead());
    WriteLSystemFormula(loaded, folder.Path().c_str(), "again.l", nullptr);
    EXPECT_EQ(ReadBytes(folder / "tree.l"), ReadBytes(folder / "again.l"));
}

TEST_F(LSystemFiles, ProgramShipsKoch1)
{
    std::string data = SPIRALIX_TEST_DATA;
    std::string folder = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
    ASSERT_EQ(1, LoadLSystemFile(folder.c_str(), "Spiralix.l"));
    EXPECT_EQ("Koch1 angle 6 axiom F--F--F F=F+F--F+F",
              Describe(static_cast<LSystemFormula*>(g_LSystemFormulas.FindNoCase("Koch1"))));
}

}  // namespace
