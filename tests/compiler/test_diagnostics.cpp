#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "calc/FractalTask.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "foundation/Thread.h"

namespace {

struct Entry {
    std::string text;
    int type;
    int source;
    int line;
    int start;
    int end;
};

std::vector<Entry> TakeMessages()
{
    std::vector<Entry> out;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next) {
        MessageNode* m = static_cast<MessageNode*>(n);
        out.push_back({m->text, m->type, m->sourceWindow, m->line, m->startOffset, m->endOffset});
    }
    UnlockMessageList();
    DeleteAllMessages();
    return out;
}

class Diagnostics : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        strcpy(compiler.name, "Bad1");
    }
    void TearDown() override { DeleteAllMessages(); }

    // The perr message chosen for a state with the given block ids open.
    std::string SyntaxMessage(int state, std::initializer_list<int> blocks)
    {
        compiler.blockStack->clear();
        for (int b : blocks)
            compiler.blockStack->push(b);
        compiler.reportError("x", state, 0);
        std::vector<Entry> m = TakeMessages();
        return m.size() == 2 ? m[1].text : "<" + std::to_string(m.size()) + " lines>";
    }

    FormulaCompiler compiler;
};

TEST_F(Diagnostics, LineAndColumnOfOffsets)
{
    struct Case {
        const char* text;
        int position, line, column;
    } cases[] = {
        {"abc", 0, 1, 0},          {"abc", 2, 1, 2},
        {"ab\r\ncd", 4, 2, 0},     {"ab\r\ncd", 5, 2, 1},
        {"a\nb\nc", 4, 3, 0},      {"a\n\nb", 2, 2, 0},   // an empty line
        {"\nx", 0, 1, 0},
    };
    for (const Case& c : cases) {
        int line = 0, column = 0;
        TextLineAndColumn(c.text, c.position, &line, &column);
        EXPECT_EQ(c.line, line) << c.text << " @" << c.position;
        EXPECT_EQ(c.column, column) << c.text << " @" << c.position;
    }
}

TEST_F(Diagnostics, SyntaxErrorNamesFormulaLineAndColumn)
{
    const char* text = "Bad1 {\r\n  complex a\r\n}";
    compiler.reportError(text, 16, 21);   // the "}" on line 3
    std::vector<Entry> m = TakeMessages();
    ASSERT_EQ(2u, m.size());
    EXPECT_EQ("Error in formula Bad1, line 3 at char 0:", m[0].text);
    EXPECT_EQ("Syntax Error perr-0415: Expected either a comma to specify further variables or a "
              "semicolon to end the variable declarations.",
              m[1].text);
    EXPECT_EQ(MSG_ERROR, m[0].type);
    EXPECT_EQ(MSG_NOTE, m[1].type);
    EXPECT_EQ(WID_COMPILER, m[0].source);
    EXPECT_EQ(3, m[0].line);
    EXPECT_EQ(21, m[0].start);
    EXPECT_EQ(22, m[0].end);   // the end of the line
    EXPECT_EQ(1, compiler.errorCount);

    compiler.reportError("Bad1 {", 0, 0);
    m = TakeMessages();
    ASSERT_EQ(2u, m.size());
    EXPECT_EQ("Error in formula Bad1, line 1 at char 0:", m[0].text);
    EXPECT_EQ(6, m[0].end);
}

TEST_F(Diagnostics, PerrRowByStateAndInnermostBlock)
{
    EXPECT_EQ("Syntax Error perr-0510: Expecting either an expression or a return statement or some "
              "control structures like \"for\", \"if\", \"do\", \"while\".",
              SyntaxMessage(110, {}));
    EXPECT_EQ("Syntax Error perr-0510: Expecting a \"}\" in order to close the opened for loop, or an "
              "expression or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" "
              "inside this for loop.",
              SyntaxMessage(110, {10, 1, 3}));
    EXPECT_EQ("Syntax Error perr-0510: Expecting a \"}\" in order to close the current function, or an "
              "expression or some control structures like \"for\", \"if\", \"do\", \"while\" inside the "
              "current function.",
              SyntaxMessage(110, {10}));
    EXPECT_EQ("Syntax Error perr-0511: Semicolon expected.", SyntaxMessage(111, {10, 5}));
    EXPECT_EQ("Syntax Error perr-0516: Semicolon after break keyword expected.", SyntaxMessage(116, {10, 4}));
    EXPECT_EQ("Syntax Error perr-0603: Expecting either \"}\" to finish the description function body "
              "or a variable description expression.",
              SyntaxMessage(203, {11}));
    EXPECT_EQ("Syntax Error perr-0603: Expecting an identifier.", SyntaxMessage(203, {10}));
    EXPECT_EQ("Syntax Error perr-0400: Formula name expected", SyntaxMessage(0, {}));
    // Rows bound to "no block" do not apply inside a block, and states
    // without a row fall back to the last row.
    const std::string unknown =
        "Internal Error perr-0001: Unknown error, bug in Spiralix, please report the formula to the author.";
    EXPECT_EQ(unknown, SyntaxMessage(0, {10}));
    EXPECT_EQ(unknown, SyntaxMessage(116, {10}));
    EXPECT_EQ(unknown, SyntaxMessage(999, {}));
    EXPECT_EQ(TABLE_END, g_SyntaxErrors[SYNTAX_ERROR_ROWS - 1].state);
}

TEST_F(Diagnostics, ReportHeadersByTypeAndPlace)
{
    const char* text = "Bad1 {\n  complex a, a;\n}";
    compiler.report(text, 20, 20 + 1, "Compiler error 020: Variable a has already been defined", true, MSG_ERROR);
    compiler.report(text, 20, 21, "w", false, MSG_WARNING);
    compiler.report(text, 20, 21, "t", false, MSG_TIP);
    compiler.report(text, 20, 21, "n", false, MSG_NOTE);
    std::vector<Entry> m = TakeMessages();
    ASSERT_EQ(8u, m.size());
    EXPECT_EQ("Error - formula Bad1, line 2 at char 13:", m[0].text);
    EXPECT_EQ("Compiler error 020: Variable a has already been defined", m[1].text);
    EXPECT_EQ(2, m[0].line);
    EXPECT_EQ(20, m[0].start);
    EXPECT_EQ(21, m[0].end);
    EXPECT_EQ("Warning - formula Bad1, line 2 at char 13:", m[2].text);
    EXPECT_EQ(MSG_WARNING, m[2].type);
    EXPECT_EQ("Tip - formula Bad1, line 2 at char 13:", m[4].text);
    EXPECT_EQ(MSG_TIP, m[4].type);
    EXPECT_EQ("Note - formula Bad1, line 2 at char 13:", m[6].text);
    EXPECT_EQ(4, compiler.errorCount);

    // Without a range after the start of the text: the header alone.
    compiler.report(text, 0, 5, "first", false, MSG_ERROR);
    compiler.report(text, 7, 7, "empty range", false, MSG_ERROR);
    compiler.report(nullptr, 7, 9, "no text", false, MSG_ERROR);
    m = TakeMessages();
    ASSERT_EQ(6u, m.size());
    EXPECT_EQ("Error - formula Bad1:", m[0].text);
    EXPECT_EQ(1, m[0].line);
    EXPECT_EQ("Error - formula Bad1:", m[2].text);
    EXPECT_EQ("Error - formula Bad1:", m[4].text);
}

TEST_F(Diagnostics, MessageLinesBecomeNotes)
{
    const char* message = "Compiler warning 601: Identifier q specifies neither the formula nor a known "
                          "parameter/user function.\nStatement will be ignored\nthird";
    compiler.report(nullptr, 0, 0, message, false, MSG_WARNING);
    std::vector<Entry> m = TakeMessages();
    ASSERT_EQ(4u, m.size());
    EXPECT_EQ("Warning - formula Bad1:", m[0].text);
    EXPECT_EQ(MSG_WARNING, m[0].type);
    EXPECT_EQ("Compiler warning 601: Identifier q specifies neither the formula nor a known "
              "parameter/user function.",
              m[1].text);
    EXPECT_EQ("Statement will be ignored", m[2].text);
    EXPECT_EQ("third", m[3].text);
    for (int i = 1; i < 4; i++)
        EXPECT_EQ(MSG_NOTE, m[i].type);
}

TEST_F(Diagnostics, SwitchedOffWarningsAndTipsStillCount)
{
    g_ProduceCompilerWarnings = 0;
    g_ProduceCompilerHints = 0;
    compiler.report(nullptr, 0, 0, "w", false, MSG_WARNING);
    compiler.report(nullptr, 0, 0, "t", false, MSG_TIP);
    compiler.report(nullptr, 0, 0, "e", false, MSG_ERROR);
    g_ProduceCompilerWarnings = 1;
    g_ProduceCompilerHints = 1;
    std::vector<Entry> m = TakeMessages();
    ASSERT_EQ(2u, m.size());
    EXPECT_EQ("e", m[1].text);
    EXPECT_EQ(3, compiler.errorCount);
}

TEST_F(Diagnostics, EmptyNameReportsNothing)
{
    compiler.name[0] = 0;
    compiler.reportError("x", 0, 0);
    compiler.report(nullptr, 0, 0, "e", true, MSG_ERROR);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(0, compiler.errorCount);
}

DWORD ReportFromThread(Thread* thread)
{
    FormulaCompiler* compiler = static_cast<FormulaCompiler*>(thread->userData);
    compiler->reportError("x", 0, 0);
    compiler->report(nullptr, 0, 0, "e", true, MSG_ERROR);
    return 0;
}

TEST_F(Diagnostics, SilentOnACalculationThread)
{
    FractalFolder folder;
    Fractal fractal;
    FractalTask task;
    fractal.task = &task;
    task.fractal = &fractal;
    folder.fractals.Append(&fractal);
    FolderList.Append(&folder);

    Thread* thread = new Thread(ReportFromThread, &compiler, false, 0);
    task.thread = thread;
    thread->Resume();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread->handle, 5000));
    task.thread = nullptr;
    delete thread;

    FolderList.Remove(&folder);
    folder.fractals.Remove(&fractal);
    fractal.task = nullptr;

    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(0, compiler.errorCount);
}

}  // namespace
