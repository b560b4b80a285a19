#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

namespace {

std::vector<std::string> MessageTexts()
{
    std::vector<std::string> texts;
    for (ListNode* node = g_Messages.GetHead(); node; node = node->next)
        texts.push_back(static_cast<MessageNode*>(node)->text);
    return texts;
}

TEST(StripComments, BlanksCommentsAndKeepsLineEnds)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a // c \"q\" x\r\nb", "a           \r\nb"},
        {"x = \"// not\"; y", "x = \"// not\"; y"},
        {"a /* b\r\n c */ d", "a     \r\n      d"},
        {"a /* open\nz", "a        \n "},
        {"/*/ x */y", "        y"},
        {"s = \"open\n// c\nt", "s = \"open\n    \nt"},  // a line end closes an open string
        {"a // end", "a       "},
        {"p = 1/2; q = 3*/4", "p = 1/2; q = 3*/4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string text = c.text;
        char* result = FormulaCompiler::stripComments(&text[0]);
        EXPECT_EQ(&text[0], result);
        EXPECT_EQ(c.expected, text);
    }
}

TEST(FindMatchingDirective, DepthStringsAndCase)
{
    const struct {
        const char* text;
        int found, elsePosition, endifPosition;
    } cases[] = {
        {"x #else y #endif z", 1, 2, 10},
        {"#ifdef A #endif #endif", 1, -1, 16},
        {"\"#else\" #endif", 1, -1, 8},
        {"#ifdef A #else #endif #else #endif", 1, 22, 28},
        {"#ELSE #EndIf", 1, 0, 6},
        {"#else\n\"\n#endif", 0, 0, -1},  // the string flag is not reset at line ends
        {"no end", 0, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int elsePosition = 99, endifPosition = 99;
        EXPECT_EQ(c.found, FormulaCompiler::findMatchingDirective(c.text, 0, &elsePosition, &endifPosition));
        EXPECT_EQ(c.elsePosition, elsePosition);
        if (c.found) {
            EXPECT_EQ(c.endifPosition, endifPosition);
        }
    }
}

// A compiler prepared as the driver leaves it before the statement loop:
// reset, named, symbol indexes on, the six predefined directive names.
class PreprocessorTest : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        compiler.reset();
        strcpy(compiler.name, "T");
        compiler.dataTop = 0;
        compiler.dataBottom = -128;
        compiler.symbols.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
        for (const char* name :
             {"ULTRAFRACTAL", "SPIRALIX", "UF_VER20", "UF_VER30", "VERSION300", "VERSION310"})
            compiler.defineDirectiveSymbol(name);
    }
    void TearDown() override
    {
        compiler.symbols.DeleteAllNodes();
        DeleteAllMessages();
    }

    FormulaSymbol* Directive(const char* name)
    {
        return static_cast<FormulaSymbol*>(
            compiler.symbols.FindNoCase((std::string("DIRECTIVE:") + name).c_str()));
    }
    float SlotValue(const FormulaSymbol* symbol)
    {
        float value;
        memcpy(&value, compiler.dataBlock->GetBase() + symbol->dataOffset, sizeof value);
        return value;
    }
    // Runs the preprocessor at the first "#" at or after from.
    int Run(std::string& text, int from, int* position)
    {
        *position = (int)text.find('#', from);
        return compiler.preprocess(&text[0], position);
    }

    FormulaCompiler compiler;
};

TEST_F(PreprocessorTest, PredefinedDirectiveSymbols)
{
    ASSERT_EQ(6, compiler.symbols.Count());
    int expectedOffset = -128;
    int serial = -1;
    for (ListNode* node = compiler.symbols.GetHead(); node; node = node->next) {
        FormulaSymbol* symbol = static_cast<FormulaSymbol*>(node);
        SCOPED_TRACE(symbol->name);
        expectedOffset -= 8;
        EXPECT_EQ(0, strncmp(symbol->name, "DIRECTIVE:", 10));
        EXPECT_EQ(DT_REAL, symbol->dataType);
        EXPECT_EQ(PREC_FLOAT, symbol->precision);
        EXPECT_NE(0u, (uint32_t)symbol->id & SYMBOL_ID_COMPILER);
        EXPECT_EQ(expectedOffset, symbol->dataOffset);
        EXPECT_EQ(1.0, symbol->value[0]);
        EXPECT_EQ(1, symbol->variability);
        EXPECT_EQ(10, symbol->readCount);
        EXPECT_EQ(10, symbol->writeCount);
        EXPECT_EQ(0, symbol->constant);
        EXPECT_GT(symbol->serial, serial);
        serial = symbol->serial;
        EXPECT_EQ(1.0f, SlotValue(symbol));
    }
    EXPECT_STREQ("DIRECTIVE:ULTRAFRACTAL", compiler.symbols.GetHead()->name);
    EXPECT_STREQ("DIRECTIVE:VERSION310", compiler.symbols.GetTail()->name);
    EXPECT_EQ(-176, compiler.dataBottom);
    EXPECT_GE(compiler.dataBlock->GetBelow(), 176);
}

TEST_F(PreprocessorTest, DefineAndUndefChangeTheValueInTheDataBlock)
{
    std::string text = "#define Foo_1 rest";
    int position;
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
    EXPECT_EQ(13, position);
    FormulaSymbol* foo = Directive("Foo_1");
    ASSERT_NE(nullptr, foo);
    EXPECT_STREQ("DIRECTIVE:Foo_1", foo->name);
    EXPECT_EQ(1.0f, SlotValue(foo));

    text = "#UNDEF foo_1;";
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
    EXPECT_EQ(12, position);
    EXPECT_EQ(0.0, foo->value[0]);
    EXPECT_EQ(0.0f, SlotValue(foo));

    // Defining again reuses the symbol.
    int count = compiler.symbols.Count();
    text = "#Define\r\n  FOO_1";
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
    EXPECT_EQ(count, compiler.symbols.Count());
    EXPECT_EQ(1.0f, SlotValue(foo));

    // Undefining a name never defined does nothing.
    text = "#undef never";
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
    EXPECT_EQ(count, compiler.symbols.Count());
}

TEST_F(PreprocessorTest, IfdefBlanksTheBranchNotTakenAndKeepsLineEnds)
{
    const struct {
        const char* setup;  // directive run first, or null
        const char* text;
        const char* expected;
        int position;
    } cases[] = {
        // defined (case ignored), with #else
        {nullptr, "#ifdef spiralix\r\na;\r\n#else\r\nb;\r\nc;\r\n#endif\r\nd;",
         "               \r\na;\r\n     \r\n  \r\n  \r\n      \r\nd;", 15},
        // defined, without #else
        {nullptr, "#ifdef SPIRALIX\na;\n#endif\nd;", "               \na;\n      \nd;", 15},
        // undefined after #undef, with #else
        {"#undef ULTRAFRACTAL", "#ifdef ULTRAFRACTAL\na;\n#else\nb;\n#endif\nc;",
         "                   \n  \n     \nb;\n      \nc;", 19},
        // unknown, without #else: a nested block goes with the branch
        {nullptr, "#ifdef NOPE\na;\n#ifdef X\nb;\n#endif\n#endif\nc;",
         "           \n  \n        \n  \n      \n      \nc;", 11},
        // a "#else" inside a string is not the block's else
        {nullptr, "#ifdef NOPE\ns = \"#else\";\n#endif\nz;", "           \n            \n      \nz;", 11},
        // an empty name is undefined
        {nullptr, "#ifdef ;\na;\n#else\nb;\n#endif", "        \n  \n     \nb;\n      ", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int position;
        if (c.setup) {
            std::string setup = c.setup;
            ASSERT_EQ(PREPROCESS_HANDLED, Run(setup, 0, &position));
        }
        std::string text = c.text;
        ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
        EXPECT_EQ(c.expected, text);
        EXPECT_EQ(c.position, position);
        if (c.setup) {
            std::string restore = "#define ULTRAFRACTAL";
            Run(restore, 0, &position);
        }
    }
}

TEST_F(PreprocessorTest, NestedBlockInTheKeptBranchIsHandledWhenReached)
{
    std::string text = "#ifdef SPIRALIX\n#ifdef NOPE\nx;\n#endif\ny;\n#endif\n";
    int position;
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
    EXPECT_EQ("               \n#ifdef NOPE\nx;\n#endif\ny;\n      \n", text);
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, position, &position));
    EXPECT_EQ("               \n           \n  \n      \ny;\n      \n", text);
}

TEST_F(PreprocessorTest, LongDirectiveNamesStayWithinTheirBuffers)
{
    std::string name(400, 'N');
    std::string text = "#define " + name + "\n#define " + name + "\n#ifdef " + name + "\na;\n#endif";
    int count = compiler.symbols.Count();
    int position;
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, 0, &position));
    EXPECT_EQ(8 + 400, position);
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, position, &position));
    EXPECT_EQ(count + 1, compiler.symbols.Count());  // the second define found the first
    EXPECT_EQ(63, (int)strlen(compiler.symbols.GetTail()->name));
    ASSERT_EQ(PREPROCESS_HANDLED, Run(text, position, &position));
    EXPECT_EQ(std::string::npos, text.find("#endif"));
    EXPECT_NE(std::string::npos, text.find("\na;\n"));  // defined: the branch is kept
}

TEST_F(PreprocessorTest, OtherTextIsLeftToTheMatcher)
{
    std::string text = "x = 1;";
    int position = 0;
    EXPECT_EQ(PREPROCESS_NONE, compiler.preprocess(&text[0], &position));
    EXPECT_EQ(0, position);
    text = "  #x$ = 2;";
    position = 2;
    EXPECT_EQ(PREPROCESS_NONE, compiler.preprocess(&text[0], &position));
    EXPECT_EQ(3, position);
    EXPECT_EQ("  #x$ = 2;", text);
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(PreprocessorTest, DirectiveErrorsAreReportedWithTheirPlace)
{
    const struct {
        const char* text;
        int start, end;
        const char* header;
        const char* message;
    } cases[] = {
        {"a;\n  #ifdef FOO\nb;", 5, 14, "Error - formula T, line 2 at char 2:",
         "Compiler error P-003: Did not find #endif directive for this #ifdef-directive."},
        {"a;\r\nb;\r\n#else\r\nc;", 8, 12, "Error - formula T, line 3 at char 0:",
         "Compiler error P-001: Found #else directive without #ifdef-directive."},
        {"a; #ENDIF", 3, 8, "Error - formula T, line 1 at char 3:",
         "Compiler error P-002: Found #endif directive without #ifdef-directive."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DeleteAllMessages();
        std::string text = c.text;
        int position;
        EXPECT_EQ(PREPROCESS_ERROR, Run(text, 0, &position));
        EXPECT_EQ(c.text, text);  // nothing blanked
        std::vector<std::string> texts = MessageTexts();
        ASSERT_EQ(2u, texts.size());
        EXPECT_EQ(c.header, texts[0]);
        EXPECT_EQ(c.message, texts[1]);
        MessageNode* first = static_cast<MessageNode*>(g_Messages.GetHead());
        EXPECT_EQ(MSG_ERROR, first->type);
        EXPECT_EQ(WID_COMPILER, first->sourceWindow);
        EXPECT_EQ(c.start, first->startOffset);
        EXPECT_EQ(c.end, first->endOffset);
    }
}

}  // namespace
