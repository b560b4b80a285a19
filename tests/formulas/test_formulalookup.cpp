// Formula lookup: by file and name, by name only through the "orgform"
// folders and the known-formula table, the built-in defaults with their
// messages, and that every default compiles.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/Application.h"
#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaLookup.h"
#include "formulas/FormulaNode.h"
#include "tests/formulas/FormulaTestSupport.h"

using namespace formulatest;

namespace {

std::vector<std::string> MessageTexts()
{
    std::vector<std::string> texts;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        texts.push_back(static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    return texts;
}

int FirstMessageType()
{
    ListNode* n = g_Messages.GetHead();
    return n ? static_cast<MessageNode*>(n)->type : -1;
}

class FormulaLookupTest : public testing::Test {
protected:
    void SetUp() override
    {
        previousApp = g_App;
        g_App = &app;
        std::string a = folder.MakeFolder("lookA");
        folder.MakeFolder("lookA\\orgform");
        folder.MakeFolder("lookA\\other");
        std::string b = folder.MakeFolder("lookB");
        folder.MakeFolder("lookB\\orgform");
        folder.MakeFolder("lookB\\sub");
        WriteBytes(folder / "lookA\\orgform\\basic.sfm",
                   Crlf("Mandel(XAXIS) {\n this.title = \"Mandel Title\";\n}\nTwin {\n}\nPlain {\n}\n"));
        WriteBytes(folder / "lookA\\orgform\\dup.sfm", Crlf("Other {\n}\n"));
        WriteBytes(folder / "lookA\\other\\hidden.sfm", Crlf("Hidden {\n}\n"));
        WriteBytes(folder / "lookB\\orgform\\more.sfm", Crlf("Twin {\n}\n"));
        WriteBytes(folder / "lookB\\sub\\dup.sfm", Crlf("Wanted {\n this.title = \"Found Twice\";\n}\n"));
        ScanFormulaFolder(a.c_str(), a.c_str());
        ScanFormulaFolder(b.c_str(), b.c_str());
        DeleteAllMessages();
    }
    void TearDown() override
    {
        ClearFormulaTrees();
        DeleteAllMessages();
        g_App = previousApp;
    }

    // Looks a formula up as an escape-time iteration formula (or the given
    // type and kind) and keeps what it gave.
    void Lookup(const char* file, const char* formula, int type = FT_ESCAPETIME, int kind = FK_ITERATION,
                Fractal* fractal = nullptr)
    {
        FormulaHolder holder(kind);
        holder.word = 7;
        snprintf(fileName, sizeof fileName, "%s", file);
        strcpy(foundName, "junk");
        LookupFormula(fractal, type, fileName, sizeof fileName, formula, foundName, &holder);
        source = holder.GetSource() ? holder.GetSource() : "<null>";
        word = holder.word;
    }

    PApplication app{GetModuleHandleA(nullptr)};
    PApplication* previousApp = nullptr;
    TempFolder folder;
    char fileName[100];
    char foundName[64];
    std::string source;
    int word = -1;
};

TEST_F(FormulaLookupTest, FindsAFormulaByFileAndName)
{
    Lookup("basic.sfm", "Mandel(XAXIS)");
    EXPECT_EQ(0u, source.find("Mandel(XAXIS) {\n this.title"));
    EXPECT_STREQ("Mandel Title", foundName);
    EXPECT_STREQ("basic.sfm", fileName);
    EXPECT_EQ(0, word);
    EXPECT_TRUE(MessageTexts().empty());

    // With or without the extension, in any case; no title: the name.
    Lookup("BASIC", "plain");
    EXPECT_EQ("Plain {\n}", source);
    EXPECT_STREQ("plain", foundName);

    // A file name that stands twice in the tree is tried in tree order.
    Lookup("dup", "Wanted");
    EXPECT_EQ(0u, source.find("Wanted {"));
    EXPECT_STREQ("Found Twice", foundName);
}

TEST_F(FormulaLookupTest, FindsFilesByNameDepthFirstAcrossTheTree)
{
    int counter = 0;
    FormulaNode* first = FindFormulaInFile(&g_IterationFormulas, "DUP.SFM", 0, &counter);
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ("orgform", first->parent->name);
    counter = 0;
    FormulaNode* second = FindFormulaInFile(&g_IterationFormulas, "dup", 1, &counter);
    ASSERT_NE(nullptr, second);
    EXPECT_STREQ("sub", second->parent->name);
    counter = 0;
    EXPECT_EQ(nullptr, FindFormulaInFile(&g_IterationFormulas, "dup", 2, &counter));
    EXPECT_EQ(2, counter);
    counter = 0;
    EXPECT_EQ(nullptr, FindFormulaInFile(&g_IterationFormulas, "", 5, &counter));
    EXPECT_EQ(5, counter);
}

TEST_F(FormulaLookupTest, WithoutAFileNameSearchesTheOrgformFoldersOnce)
{
    Lookup("", "Mandel");
    EXPECT_STREQ("basic.sfm", fileName);
    EXPECT_STREQ("Mandel Title", foundName);
    EXPECT_EQ(0u, source.find("Mandel(XAXIS) {"));
    int known = app.FindKnownFormula("Mandel");
    ASSERT_EQ(0, known);
    EXPECT_STREQ("basic.sfm", app.KnownFormulaFile(known));
    EXPECT_EQ(1, app.KnownFormulaCount(known));

    // The second lookup goes through the table.
    Lookup("", "Mandel");
    EXPECT_EQ(0u, source.find("Mandel(XAXIS) {"));
    EXPECT_EQ(0, app.FindKnownFormula("Mandel"));
    EXPECT_EQ(-1, app.FindKnownFormula("mandel"));
    EXPECT_TRUE(MessageTexts().empty());

    // The table is believed: a remembered file without the entry gives the
    // default, although a search would have found the formula.
    app.AddKnownFormula("Plain", "dup.sfm", 1);
    Lookup("", "Plain");
    EXPECT_EQ(0u, source.find("qz_001\n{"));
    EXPECT_STREQ("Not Found: Plain", foundName);
}

TEST_F(FormulaLookupTest, WarnsWhenAFormulaIsInSeveralOrgformFiles)
{
    Fractal layered;
    layered.SetName("Layered");
    Fractal layer;
    layer.SetName("Layer 2");
    layer.baseFractal = &layered;
    Fractal plain;
    plain.SetName("Single");
    struct Case {
        Fractal* fractal;
        const char* second;
    } cases[] = {
        {nullptr, "Fractal might not be correct."},
        {&plain, "Fractal \"Single\" might not be correct."},
        {&layer, "Layer \"Layer 2\" in fractal \"Layered\" might not be correct."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        DeleteAllMessages();
        Lookup("", "Twin", FT_ESCAPETIME, FK_ITERATION, c.fractal);
        EXPECT_EQ("Twin {\n}", source);
        std::vector<std::string> texts = MessageTexts();
        ASSERT_EQ(2u, texts.size());
        EXPECT_EQ("Warning: Formula Twin has been found in more than one file. Using first file.", texts[0]);
        EXPECT_EQ(c.second, texts[1]);
        EXPECT_EQ(MSG_WARNING, FirstMessageType());
    }
    EXPECT_EQ(2, app.KnownFormulaCount(app.FindKnownFormula("Twin")));
}

TEST_F(FormulaLookupTest, MissingFormulasGetTheDefaultAndAnError)
{
    // Outside the "orgform" folders a formula is not found without a file.
    Lookup("", "Hidden");
    EXPECT_EQ(0u, source.find("qz_001\n{"));
    EXPECT_STREQ("Not Found: ", foundName);
    EXPECT_STREQ("", fileName);
    EXPECT_EQ(-1, app.FindKnownFormula("Hidden"));
    std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("Error: Unable to find formula Hidden (in )", texts[0]);
    EXPECT_EQ("Fractal cannot be calculated. Using default formula instead", texts[1]);
    EXPECT_EQ(MSG_ERROR, FirstMessageType());

    // A quaternion formula its file does not hold.
    DeleteAllMessages();
    Fractal q;
    q.SetName("Quat");
    Lookup("basic.sfm", "NoSuch(QUATERNION)", FT_QUATERNION, FK_ITERATION, &q);
    EXPECT_EQ(0u, source.find("qz_004(QUATERNION)\n{parameter real Bailout;"));
    EXPECT_STREQ("Not Found: NoSuch", foundName);
    texts = MessageTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("Error: Unable to find formula NoSuch (in basic.sfm)", texts[0]);
    EXPECT_EQ("Fractal \"Quat\" cannot be calculated. Using default formula instead", texts[1]);

    // No formula name: the default without a message; a pair without a
    // default: an empty source.
    DeleteAllMessages();
    Lookup("", "", FT_ATTRACTOR, FK_COLORING);
    EXPECT_EQ(0u, source.find("Attractor_Default(ATTRACTOR)"));
    EXPECT_STREQ("Not Found: ", foundName);
    EXPECT_TRUE(MessageTexts().empty());
    Lookup("", "", FT_ATTRACTOR, FK_TRANSFORMATION);
    EXPECT_EQ("", source);
    Lookup("basic.sfm", "Mandel", FT_PLASMA, FK_ITERATION);
    EXPECT_EQ("", source);
    EXPECT_EQ(0, word);
}

TEST(DefaultFormulas, EveryDefaultCompiles)
{
    struct Case {
        int type;
        int kind;
        int subKind;
        const char* name;
    } cases[] = {
        {FT_ESCAPETIME, FK_ITERATION, SK_PLANE, "qz_001"},
        {FT_ESCAPETIME, FK_COLORING, SK_PLANE, "qz_002"},
        {FT_ESCAPETIME, FK_TRANSFORMATION, SK_PLANE, "qz_003"},
        {FT_QUATERNION, FK_ITERATION, SK_QUATERNION, "qz_004"},
        {FT_QUATERNION, FK_COLORING, SK_QUATERNION, "qz_005"},
        {FT_QUATERNION, FK_TRANSFORMATION, SK_QUATERNION, "qz_006"},
        {FT_ATTRACTOR, FK_ITERATION, SK_ATTRACTOR, "unitcube"},
        {FT_ATTRACTOR, FK_COLORING, SK_ATTRACTOR, "Attractor_Default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* text = DefaultFormulaText(c.type, c.kind);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(0, strncmp(text, c.name, strlen(c.name)));
        FormulaHolder holder(c.kind);
        DeleteAllMessages();
        EXPECT_TRUE(holder.compiler->compile(text, 0, -128, nullptr, nullptr, nullptr, c.name, c.subKind, nullptr,
                                             false, false));
        for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
            EXPECT_NE(MSG_ERROR, static_cast<MessageNode*>(n)->type) << static_cast<MessageNode*>(n)->text;
        holder.compiler->freeResults();
    }
    DeleteAllMessages();
    EXPECT_EQ(nullptr, DefaultFormulaText(FT_ATTRACTOR, FK_TRANSFORMATION));
    EXPECT_EQ(nullptr, DefaultFormulaText(FT_LAYERED, FK_ITERATION));
}

}  // namespace
