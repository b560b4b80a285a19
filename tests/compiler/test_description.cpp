// The description block: formula properties through "this", properties of
// parameters, separators, enumerations, the order of parameters, and the
// warnings of entries the compiler ignores.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "compiler/EnumValues.h"

namespace {

const char* const kRequired =
    "  void init(void) {\n  }\n"
    "  void loop(void) {\n  }\n"
    "  bool bailout(void) {\n    return(|z| < 4);\n  }\n";

std::vector<std::string> MessageTexts()
{
    std::vector<std::string> out;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        out.push_back(static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    return out;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

// The names of a packed enumerator list, in order, with their values.
std::vector<std::string> EnumNames(const GrowBuffer* buffer)
{
    std::vector<std::string> out;
    if (!buffer || !buffer->GetData())
        return out;
    const uint8_t* p = static_cast<const uint8_t*>(buffer->GetData());
    for (;;) {
        int32_t value;
        memcpy(&value, p, 4);
        if (value < 0)
            break;
        const char* name = reinterpret_cast<const char*>(p + 4);
        out.push_back(std::to_string(value) + ":" + name);
        p += 4 + strlen(name) + 1;
    }
    return out;
}

class Description : public ::testing::Test {
protected:
    void SetUp() override { DeleteAllMessages(); }
    void TearDown() override
    {
        compiler.freeResults();
        DeleteAllMessages();
    }

    // A formula with the declarations, the required functions and a
    // description block holding entries.
    bool Compile(const std::string& declarations, const std::string& entries, Fractal* fractal = nullptr)
    {
        text = "Desc {\n" + declarations + kRequired + "  void description(void) {\n" + entries + "  }\n}\n";
        compiler.setKind(FK_ITERATION);
        return compiler.compile(text.c_str(), 0, -128, nullptr, nullptr, fractal, "Desc", SK_PLANE, nullptr,
                                false, false);
    }

    FormulaSymbol* Global(const char* name)
    {
        return static_cast<FormulaSymbol*>(findNodeByName(compiler.symbols.GetHead(), name));
    }
    // Position of a symbol in the global list.
    int Place(const char* name)
    {
        int i = 0;
        for (ListNode* n = compiler.symbols.GetHead(); n; n = n->next, ++i)
            if (strcmp(n->name, name) == 0)
                return i;
        return -1;
    }

    std::string text;
    FormulaCompiler compiler;
};

TEST_F(Description, FormulaPropertiesTakeTheirValues)
{
    const FormulaCompiler& c = compiler;
    struct Case {
        const char* entry;
        std::function<bool()> holds;
        const char* warning;  // second line of the warning, or null
    } cases[] = {
        {"this.title = \"My Julia\";", [&] { return strcmp(c.title, "My Julia") == 0; }, nullptr},
        {"this.title = 12;", [&] { return strcmp(c.title, " ") == 0; },
         "Compiler warning 606: The property this.title expects another type than provided."},
        {"this.title = \"0123456789012345678901234567890123456789012345678901234567890123456789\";",
         [&] { return strlen(c.title) == 63; }, nullptr},
        {"this.maxiter = 250;", [&] { return c.maxIter == 250; }, nullptr},
        {"this.periodicity = 3.7;", [&] { return c.periodicity == 3; }, nullptr},
        {"this.angle = 45;", [&] { return c.angle == 45.0; }, nullptr},
        {"this.magn = 2.5;", [&] { return c.magnification == 2.5; }, nullptr},
        {"this.center = (1.5, -2);", [&] { return c.center[0] == 1.5 && c.center[1] == -2.0; }, nullptr},
        {"this.center = 3.5;", [&] { return c.center[0] == 3.5 && c.center[1] == 0.0; },
         "Compiler warning 606: The property this.center expects another type than provided."},
        {"this.functionorder = 2.6;", [&] { return c.functionOrder == 3; }, nullptr},
        {"this.method = \"Guessing\";", [] { return true; }, nullptr},
        {"this.method = \"fast\";", [] { return true; },
         "Compiler warning 606: The property this.method expects another type than provided."},
        {"this.maxiter = \"many\";", [&] { return c.maxIter == 0; },
         "Compiler warning 606: The property this.maxiter expects another type than provided."},
        {"this.foo = 1;", [] { return true; }, "Compiler warning 603: formula does not have any property called foo."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.entry);
        DeleteAllMessages();
        EXPECT_TRUE(Compile("", std::string("    ") + k.entry + "\n"));
        EXPECT_TRUE(k.holds());
        std::vector<std::string> lines = MessageTexts();
        if (!k.warning) {
            EXPECT_TRUE(lines.empty()) << Joined(lines);
            continue;
        }
        ASSERT_EQ(3u, lines.size()) << Joined(lines);
        EXPECT_EQ(k.warning, lines[1]);
    }
    // Properties nobody gave keep their markers.
    Compile("", "");
    EXPECT_EQ(PROPERTY_NOT_GIVEN, compiler.maxIter);
    EXPECT_EQ(PROPERTY_NOT_GIVEN_DOUBLE, compiler.center[0]);
}

TEST_F(Description, HelpTopicsBelongToTheHelpFileBeforeThem)
{
    // Every pass reads the description again; the files are listed once.
    Fractal fractal;
    ASSERT_TRUE(Compile("", "    this.helpfile = \"a.chm\";\n    this.helptopic = \"ta\";\n"
                            "    this.helpfile = \"b.chm\";\n    this.helpfile = \"c.chm\";\n"
                            "    this.helptopic = \"tc\";\n",
                        &fractal));
    EXPECT_EQ(3, compiler.helpFileCount);
    EXPECT_STREQ("a.chm", compiler.helpFiles[0]);
    EXPECT_STREQ("c.chm", compiler.helpFiles[2]);
    EXPECT_STREQ("ta", compiler.helpTopics[0]);
    EXPECT_EQ(nullptr, compiler.helpTopics[1]);
    EXPECT_STREQ("tc", compiler.helpTopics[2]);
}

TEST_F(Description, TenthAndLaterHelpFilesShareTheLastPlace)
{
    std::string entries;
    for (int i = 1; i <= 11; ++i)
        entries += "    this.helpfile = \"h" + std::to_string(i) + "\";\n";
    ASSERT_TRUE(Compile("", entries));
    EXPECT_EQ(9, compiler.helpFileCount);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ("h" + std::to_string(i + 1), compiler.helpFiles[i]);
    EXPECT_STREQ("h11", compiler.helpFiles[9]);
}

TEST_F(Description, ParametersFollowTheOrderOfTheirEntries)
{
    ASSERT_TRUE(Compile("  parameter double a;\n  parameter double b;\n  parameter double c;\n",
                        "    b.caption = \"B\";\n    b.hint = \"again\";\n"
                        "    separator.Second.caption = \"More\";\n    a.caption = \"A\";\n"));
    EXPECT_LT(Place("b"), Place("Second"));
    EXPECT_LT(Place("Second"), Place("a"));
    EXPECT_LT(Place("c"), Place("b"));  // no entry: stays where it was declared
    EXPECT_LT(Global("b")->serial, Global("a")->serial);
    EXPECT_STREQ("again", Global("b")->hintText());

    FormulaSymbol* separator = Global("Second");
    ASSERT_NE(nullptr, separator);
    EXPECT_EQ(DT_SEPARATOR, separator->dataType);
    EXPECT_EQ(SYM_PARAMETER, separator->symbolClass);
    EXPECT_EQ(2147483647, separator->dataOffset);
    EXPECT_EQ(1.0, separator->value[0]);
    EXPECT_EQ(1.0, separator->defaultValue[0]);
    EXPECT_EQ(FACT_YES, separator->constant);
    EXPECT_STREQ("More", separator->captionText());
}

TEST_F(Description, ParameterPropertiesFromConstants)
{
    ASSERT_TRUE(Compile("  parameter complex p;\n",
                        "    p.caption = \"Seed\";\n    p.hint = \"Where it starts\";\n"
                        "    p.min = -2;\n    p.max = 2.5;\n    p.default = (1, -1);\n"
                        "    p.visible = false;\n    p.enabled = true;\n    p.randomizable = true;\n"
                        "    p.randomizationType = 2;\n    p.randomizeMin = -1;\n    p.randomizeMax = 1;\n"));
    EXPECT_TRUE(MessageTexts().empty()) << Joined(MessageTexts());
    FormulaSymbol* p = Global("p");
    ASSERT_NE(nullptr, p);
    EXPECT_STREQ("Seed", p->captionText());
    EXPECT_STREQ("Where it starts", p->hintText());
    EXPECT_EQ(-2.0, p->minimum);
    EXPECT_EQ(2.5, p->maximum);
    EXPECT_EQ(1.0, p->defaultValue[0]);
    EXPECT_EQ(-1.0, p->defaultValue[1]);
    EXPECT_EQ(0, p->visible);
    EXPECT_EQ(1, p->enabled);
    EXPECT_EQ(1, p->randomizable);
    EXPECT_EQ(2, p->randomizationType);
    EXPECT_EQ(-1.0, p->randomizeMin);
    EXPECT_EQ(1.0, p->randomizeMax);
}

TEST_F(Description, ExpressionValuesKeepTheirStreams)
{
    // An expression value is kept as its element stream (q, 0, ">"), to be
    // evaluated later; a bracketed default of an array parameter is kept as
    // text.
    ASSERT_TRUE(Compile("  parameter double q;\n  parameter double pm[2, 2];\n",
                        "    q.visible = q > 0;\n    pm.default = [1, 2, 3, 4];\n"));
    EXPECT_TRUE(MessageTexts().empty()) << Joined(MessageTexts());
    FormulaSymbol* q = Global("q");
    ASSERT_NE(nullptr, q);
    ASSERT_NE(nullptr, q->visibleExpr);
    const int32_t* stream = static_cast<const int32_t*>(q->visibleExpr->GetData());
    const int32_t expected[] = {268, q->id, 268, 1, 39, 0};
    EXPECT_EQ(0, memcmp(expected, stream, sizeof expected));
    EXPECT_EQ(1, q->visible);
    FormulaSymbol* pm = Global("pm");
    ASSERT_NE(nullptr, pm);
    ASSERT_NE(nullptr, pm->enumList);
    EXPECT_STREQ("1, 2, 3, 4", static_cast<const char*>(pm->enumList->GetData()));
    EXPECT_EQ(2.0, pm->defaultValue[0]);
}

TEST_F(Description, EnumerationsAreKnownOnceForEveryHead)
{
    // Three function heads and three passes scan the block nine times.
    Fractal fractal;
    ASSERT_TRUE(Compile("  parameter int mode;\n  parameter double level;\n",
                        "    mode.enum = \"first\\nsecond\\nthird\";\n    level.enum = \"low\\nhigh\";\n"
                        "    mode.caption = \"Mode\";\n",
                        &fractal));
    EXPECT_TRUE(MessageTexts().empty()) << Joined(MessageTexts());
    FormulaSymbol* mode = Global("mode");
    ASSERT_NE(nullptr, mode);
    EXPECT_EQ(DT_INT, mode->dataType);
    EXPECT_EQ(DT_ENUM, mode->precision);
    EXPECT_EQ((std::vector<std::string>{"0:first", "1:second", "2:third"}), EnumNames(mode->enumList));
    FormulaSymbol* level = Global("level");
    ASSERT_NE(nullptr, level);
    EXPECT_EQ(DT_INT, level->dataType);
    EXPECT_EQ((std::vector<std::string>{"0:low", "1:high"}), EnumNames(level->enumList));
}

TEST_F(Description, IgnoredEntriesAreWarnedAbout)
{
    struct Case {
        const char* entry;  // the marker ` stands where the range starts
        std::vector<std::string> message;
    } cases[] = {
        {"`zz.caption = \"x\";",
         {"Compiler warning 601: Identifier zz specifies neither the formula nor a known parameter/user function.",
          "Statement will be ignored"}},
        {"`loc.caption = \"x\";",
         {"Compiler warning 602: Identifier loc specifies a known variable, but the variable has not been declared "
          "as a parameter.",
          "Only parameters can have properties.", "Statement will be ignored"}},
        {"this.`foo = 1;",
         {"Compiler warning 603: formula does not have any property called foo.", "Statement will be ignored"}},
        {"ip.`colour = 1;",
         {"Compiler warning 605: Variables do not have a property called colour.", "Statement will be ignored."}},
        {"this.title = `12;",
         {"Compiler warning 606: The property this.title expects another type than provided.",
          "Statement will be ignored."}},
        {"ip.default = `2.5;",
         {"Compiler warning 606: The property ip.default expects another type than provided.",
          "Statement will be ignored."}},
        {"ip.caption = `7.5;", {}},
        {"ip.min = \"`low\";",
         {"Compiler warning 606: The property ip.min expects another type than provided.",
          "Statement will be ignored."}},
    };
    for (const Case& c : cases) {
        std::string entry = std::string("    ") + c.entry + "\n";
        size_t marker = entry.find('`');
        entry.erase(marker, 1);
        SCOPED_TRACE(entry);
        DeleteAllMessages();
        EXPECT_TRUE(Compile("  parameter int ip;\n  double loc;\n", entry));
        std::vector<std::string> lines = MessageTexts();
        if (c.message.empty()) {
            EXPECT_TRUE(lines.empty()) << Joined(lines);
            continue;
        }
        ASSERT_EQ(1 + c.message.size(), lines.size()) << Joined(lines);
        int position = (int)(text.find(entry) + marker);
        int line = 1 + (int)std::count(text.begin(), text.begin() + position, '\n');
        int column = position - (int)text.rfind('\n', position - 1) - 1;
        char header[100];
        snprintf(header, sizeof header, "Warning - formula Desc, line %d at char %d:", line, column);
        EXPECT_EQ(header, lines[0]);
        for (size_t i = 0; i < c.message.size(); ++i)
            EXPECT_EQ(c.message[i], lines[1 + i]);
    }
}

TEST(EnumValues, ListsAreBuiltParsedAndSearched)
{
    GrowBuffer* buffer = nullptr;
    const char* const names[] = {"Normal", "Multiply", nullptr};
    SetEnumValues(&buffer, names);
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ((std::vector<std::string>{"0:Normal", "1:Multiply"}), EnumNames(buffer));
    EXPECT_EQ(1, FindEnumValue(buffer->GetData(), "multiply"));
    EXPECT_EQ(-1, FindEnumValue(buffer->GetData(), "Screen"));
    EXPECT_EQ(-1, FindEnumValue(nullptr, "Screen"));

    // Parsed pieces are appended and numbered from 0 again; the buffer
    // grows to hold them.
    const char* text = "a\\nbb\\n\\nlast one";
    ParseEnumValues(buffer, text, (int)strlen(text));
    EXPECT_EQ((std::vector<std::string>{"0:Normal", "1:Multiply", "0:a", "1:bb", "2:", "3:last one"}),
              EnumNames(buffer));
    EXPECT_EQ(EnumListLength(buffer->GetData(), buffer->GetCapacity()),
              4 + 7 + 4 + 9 + 4 + 2 + 4 + 3 + 4 + 1 + 4 + 9 + 4);

    const char* const none[] = {nullptr};
    SetEnumValues(&buffer, none);
    EXPECT_TRUE(EnumNames(buffer).empty());
    EXPECT_EQ(4, EnumListLength(buffer->GetData(), buffer->GetCapacity()));
    delete buffer;

    // A fresh zero-filled block counts as an empty list.
    GrowBuffer fresh(8);
    ParseEnumValues(&fresh, "x", 1);
    EXPECT_EQ((std::vector<std::string>{"0:x"}), EnumNames(&fresh));
}

}  // namespace
