#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Grammar.h"
#include "tests/formulas/FormulaTestSupport.h"

namespace {

// ---------------------------------------------------------------------------
// The parse table itself

TEST(ParseTable, StateIndexListsEveryRowOfItsStateInOrder)
{
    buildParseStateIndex();
    int listed = 0;
    for (int state = 0; state <= 300; ++state) {
        const int* rows = parseStateRows(state);
        if (!rows)
            continue;
        int previous = -1;
        for (; *rows >= 0; ++rows) {
            EXPECT_EQ(state, g_ParseTable[*rows].state);
            EXPECT_GT(*rows, previous);
            previous = *rows;
            ++listed;
        }
    }
    EXPECT_EQ(PARSE_TABLE_ROWS, listed);
    EXPECT_EQ(nullptr, parseStateRows(-1));
    EXPECT_EQ(nullptr, parseStateRows(4));
    EXPECT_EQ(nullptr, parseStateRows(100000));
    EXPECT_EQ(TABLE_END, g_ParseTable[PARSE_TABLE_ROWS].context);
    EXPECT_EQ(TABLE_END, g_ParseTable[PARSE_TABLE_ROWS].state);
}

// Rows whose literal is empty match without consuming and must come last in
// their state; every pushing row names a block.
TEST(ParseTable, EmptyLiteralsComeLastAndPushesNameABlock)
{
    for (int r = 0; r < PARSE_TABLE_ROWS; ++r) {
        const ParseRule& rule = g_ParseTable[r];
        SCOPED_TRACE(r);
        if (rule.blockOp == BLOCK_PUSH) {
            EXPECT_GT(rule.blockId, 0);
        }
        if (rule.match == MATCH_LITERAL && rule.text && !rule.text[0]) {
            const int* rows = parseStateRows(rule.state);
            while (rows[1] >= 0)
                ++rows;
            EXPECT_EQ(r, *rows);
        }
    }
}

TEST(FormulaName, LastTokenBeforeTheBraceOrOptionGroup)
{
    const struct {
        const char* text;
        int start, end;
    } cases[] = {
        {"Mandel {", 0, 6},
        {"  Mandel\r\n{", 2, 8},
        {"Julia(XAXIS) {", 0, 5},
        {"Julia ( xyaxis_noparm ) {", 0, 5},
        {"Quat(QUATERNION){", 0, 4},
        {"Odd(foo) {", 0, 3},      // other words: the name ends before "("
        {"a.b-c(INSIDE){", 0, 5},  // any printable character belongs to the name
        {"junk Name {", 5, 9},
        {"no brace", -1, 0},
        {"{", -1, 0},
        {"(XAXIS){", -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int end = -7;
        EXPECT_EQ(c.start, findFormulaName(c.text, &end));
        if (c.start >= 0) {
            EXPECT_EQ(c.end, end);
        }
    }
}

// ---------------------------------------------------------------------------
// The matcher: which row wins for a statement in a state

class MatcherTest : public testing::Test {
protected:
    void SetUp() override
    {
        compiler.reset();
        saved = compiler.matchScratch;
        compiler.matchScratch = scratch;
    }
    void TearDown() override { compiler.matchScratch = saved; }

    void Prepare(int kind, std::initializer_list<int> blocks)
    {
        compiler.kind = kind;
        compiler.blockStack->clear();
        for (int block : blocks)
            compiler.blockStack->push(block);
    }

    FormulaCompiler compiler;
    MatchRecord scratch[MATCH_SCRATCH_RECORDS] = {};
    MatchRecord* saved = nullptr;
};

struct MatchCase {
    int kind;
    std::initializer_list<int> blocks;  // bottom first
    int state;
    const char* text;
    int row;  // -1: no row matches
    int start, end, next;
};

TEST_F(MatcherTest, StatementsChooseTheirRule)
{
    const int I = FK_ITERATION, C = FK_COLORING, T = FK_TRANSFORMATION, L = FK_LIBRARY;
    const MatchCase cases[] = {
        // head
        {I, {}, 0, "Mandel(XAXIS) {", 0, 0, 5, 6},
        {I, {}, 0, "(XAXIS) {", -1},
        {I, {}, 1, "(XAXIS)", 1, 0, 0, 1},
        {I, {}, 1, "{", 2, 0, 0, 1},
        {I, {}, 1, "[", -1},
        {I, {}, 2, "XYAXIS)", 3, 0, 5, 6},
        {C, {}, 2, "OUTSIDE)", 4, 0, 6, 7},
        {T, {}, 2, "QUATERNION)", 5, 0, 9, 10},
        {T, {}, 2, "XAXIS)", 6, 0, 4, 5},  // unknown option: an identifier
        {L, {}, 2, "QUATERNION)", 6, 0, 9, 10},
        {I, {}, 3, ")", 7, 0, 0, 1},
        // declaration level
        {I, {}, 10, "import lib.cls as x;", 9, 0, 6, 7},
        {L, {}, 10, "import lib.cls as x;", 18, 0, -1, 0},
        {C, {}, 10, "parameter complex z;", 12, 0, 9, 10},
        {T, {}, 10, "function complex f;", 16, 0, 8, 9},
        {L, {}, 10, "parameter complex z;", 18, 0, -1, 0},  // a library has no parameters
        {I, {}, 10, "}", 17, 0, 0, 1},
        {I, {}, 10, "complex z;", 18, 0, -1, 0},
        {I, {}, 11, "shared\tcomplex z;", 19, 0, 6, 7},
        {I, {}, 11, "sharedX;", 22, 0, -1, 0},
        {C, {}, 12, "const real r;", 24, 0, 5, 6},
        {I, {}, 13, "vector\tv;", 27, 0, 6, 7},
        {I, {}, 13, "vector(", -1},
        {I, {}, 13, "integer x;", -1},
        {I, {}, 13, "int\r\nx;", 27, 0, 3, 4},
        {I, {}, 13, "array a[2] of real;", 29, 0, 5, 6},
        {L, {}, 13, "array a[2] of real;", -1},
        {I, {}, 14, "description(void)", 31, 0, 11, 12},
        {I, {}, 14, "bailout(void)", 32, 0, 7, 8},
        {I, {}, 14, "stop(void)", 33, 0, 4, 5},
        {C, {}, 14, "bailout(void)", 34, 0, 6, 7},  // only iteration formulas have bailout
        {I, {}, 14, "my.name;", 34, 0, 6, 7},
        {I, {}, 15, "(complex a)", 42, 0, 0, 1},
        {I, {}, 15, "[3, 4];", 43, 0, 0, 1},
        {L, {}, 15, "[3];", 46, 0, -1, 0},
        {I, {}, 15, ";", 46, 0, -1, 0},
        {I, {}, 16, ", y;", 50, 0, 0, 1},
        {L, {}, 16, ";", -1},  // library globals are not declarations
        {I, {}, 22, "3]", 37, 0, 0, 1},
        {I, {}, 22, "x]", -1},
        {I, {}, 24, "of real", 39, 0, 1, 2},
        {I, {}, 25, "double;", 40, 0, 5, 6},  // no white space needed after element types
        {I, {}, 260, "3, 4]", 47, 0, 0, 1},
        {I, {}, 260, "n*2]", 47, 0, 2, 3},
        {I, {}, 261, "]", 49, 0, 0, 1},
        // statements
        {I, {10}, 110, "for(i = 0; i < 3; i = i + 1)", 56, 0, 2, 3},
        {I, {10}, 110, "format = 1;", 72, 0, 9, 10},
        {I, {10}, 110, "if (a)", 57, 0, 1, 2},
        {I, {10}, 110, "do {", 58, 0, 1, 2},
        {I, {10}, 110, "while(b)", 59, 0, 4, 5},
        {I, {10}, 110, "return z;", 69, 0, 5, 6},
        {I, {10}, 110, "z = f(a, b);", 72, 0, 10, 11},
        {I, {10}, 110, "z = a, b;", 72, 0, 4, 5},           // a comma outside parentheses ends it
        {I, {10}, 110, "s = \"a;b\" + t;", 72, 0, 12, 13},  // strings do not end it
        {I, {10}, 110, ";", 72, 0, -1, 0},                  // empty before ";"
        {I, {10}, 110, "} x", 68, 0, 0, 1},
        {I, {10, 1, 3}, 110, "}", 65, 0, 0, 1},  // innermost block: the for loop
        {I, {10, 3, 1}, 110, "}", 63, 0, 0, 1},  // innermost block: the if
        {I, {10, 2}, 110, "}", 64, 0, 0, 1},
        {I, {10, 4}, 110, "}", 66, 0, 0, 1},
        {I, {10, 5}, 110, "}", 67, 0, 0, 1},
        {I, {10}, 110, "break;", 72, 0, 4, 5},        // no loop open: an expression
        {I, {10, 5, 1}, 110, "break;", 62, 0, 4, 5},  // a loop further out counts
        {I, {10, 3, 4}, 110, "break;", 61, 0, 4, 5},
        {I, {10}, 110, "breaking = 1;", 72, 0, 11, 12},
        {I, {10}, 111, ";", 73, 0, 0, 1},
        {I, {10}, 111, ",", -1},
        {I, {10}, 112, "(a)", 74, 0, 0, 1},
        {I, {10}, 113, "a < (b)) {", 75, 0, 6, 8},
        {I, {10}, 113, ") {", 75, 0, -1, 1},
        {I, {10}, 113, "a < b;", -1},
        {I, {10}, 115, "{", 76, 0, 0, 1},
        {I, {10, 3}, 116, ";", 77, 0, 0, 1},
        {I, {10}, 116, ";", -1},
        {I, {10}, 120, "else {", 80, 0, 3, 4},
        {I, {10}, 120, "elsewhere = 1;", 81, 0, -1, 0},
        {I, {10}, 121, "if(", 82, 0, 1, 2},
        {I, {10}, 121, "{", 83, 0, 0, 1},
        {I, {10}, 131, "i = 0, j = 1;", 85, 0, 4, 5},
        {I, {10}, 135, "i = i + 1) {", 90, 0, 8, 10},
        {I, {10}, 135, ") {", 90, 0, -1, 1},
        {I, {10}, 135, "i++, j) {", 91, 0, 2, 3},
        {I, {10}, 136, ")", 93, 0, 0, 1},
        {I, {10, 4}, 151, "while (x);", 96, 0, 4, 5},
        {I, {10}, 153, "x == (1)) ;", 98, 0, 7, 9},
        {I, {10}, 162, ", b)", 102, 0, 0, 1},
        // bailout / stop
        {I, {}, 170, "void)", 105, 0, 3, 4},
        {I, {}, 173, "return(|z| < 4);", 108, 0, 6, 7},
        {I, {}, 174, "|z| < 4);", 109, 0, 6, 8},
        // description
        {I, {}, 200, "void)", 112, 0, 3, 4},
        {I, {}, 202, "{", 114, 0, 0, 1},
        {I, {11}, 203, "}", 115, 0, 0, 1},
        {I, {11}, 203, "separator.label.caption", 116, 0, 8, 9},
        {I, {11}, 203, "this.title", 120, 0, 3, 4},
        {I, {11}, 205, "visible = a > 1;", 122, 0, 6, 7},
        {I, {11}, 205, "randomizationType = 2;", 126, 0, 16, 17},
        {I, {11}, 205, "caption = \"x\";", 127, 0, 6, 7},
        {I, {11}, 207, "\"text\";", 130, 1, 4, 6},
        {I, {11}, 207, "(1, 2);", 130, 0, 5, 6},
        {I, {11}, 207, "abc;", -1},
        {I, {11}, 210, "a > 1 && b;", 132, 0, 9, 10},
        // function heads and locals
        {I, {}, 220, "complex &z)", 133, 0, 7, 8},
        {I, {}, 220, "void)", 134, 0, 3, 4},
        {I, {}, 220, "array a[2] of real)", 135, 0, 5, 6},
        {I, {}, 221, "&z", 136, 0, 0, 1},
        {I, {}, 221, "z", 137, 0, -1, 0},
        {I, {}, 228, "color)", 144, 0, 4, 5},
        {I, {}, 232, ";", 148, 0, 0, 1},
        {I, {}, 232, "{", 149, 0, 0, 1},
        {I, {10}, 237, "complex a;", 150, 0, 7, 8},
        {I, {10}, 237, "a = 1;", 151, 0, -1, 0},
        {I, {}, 237, "complex a;", -1},  // locals only inside a function body
        // import
        {I, {}, 253, "as x", 158, 0, 1, 2},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << ": " << c.text);
        Prepare(c.kind, c.blocks);
        int row = compiler.matchStatementRule(c.text, 0, c.state);
        ASSERT_EQ(c.row, row);
        if (row < 0)
            continue;
        const MatchRecord& m = compiler.matchScratch[row];
        EXPECT_EQ(c.start, m.start);
        EXPECT_EQ(c.end, m.end);
        EXPECT_EQ(c.next, m.next);
    }
}

TEST_F(MatcherTest, MatchesAtTheGivenPosition)
{
    Prepare(FK_ITERATION, {10});
    const char* text = "  x = 1;\r\n  y = 2;";
    int row = compiler.matchStatementRule(text, 12, 110);
    ASSERT_EQ(72, row);
    EXPECT_EQ(12, compiler.matchScratch[row].start);
    EXPECT_EQ(16, compiler.matchScratch[row].end);
    EXPECT_EQ(17, compiler.matchScratch[row].next);

    // The formula name's length counts from the position, not from the
    // start of the text.
    Prepare(FK_ITERATION, {});
    const char* head = "\r\n  Name {";
    row = compiler.matchStatementRule(head, 4, 0);
    ASSERT_EQ(0, row);
    EXPECT_EQ(4, compiler.matchScratch[row].start);
    EXPECT_EQ(7, compiler.matchScratch[row].end);
    EXPECT_EQ(8, compiler.matchScratch[row].next);
}

TEST_F(MatcherTest, ConstantRowsKeepTheScannedConstant)
{
    Prepare(FK_ITERATION, {11});
    ASSERT_EQ(130, compiler.matchStatementRule("(1, -2.5e1);", 0, 207));
    EXPECT_EQ(DT_COMPLEX, compiler.constantType);
    EXPECT_EQ(1.0, compiler.constantValue[0]);
    EXPECT_EQ(-25.0, compiler.constantValue[1]);
    ASSERT_EQ(-1, compiler.matchStatementRule("pi;", 0, 207));
    EXPECT_EQ(-1, compiler.constantType);
}

TEST_F(MatcherTest, KeywordAlternatives)
{
    const struct {
        const char* text;
        const char* alternatives;
        bool found;
        int end, next;
    } cases[] = {
        {"int x", "vector |int ", true, 3, 4},
        {"int\tx", "int |bool ", true, 3, 4},
        {"int(x", "int |bool ", false, 0, 0},
        {"intx", "int |bool ", false, 0, 0},
        {"int", "int ", false, 0, 0},  // the end of the text is no white space
        {"realx", "real|int", true, 3, 4},
        {"bool y", "real|int|bool", true, 3, 4},
        {"XYAXIS)", "XAXIS|YAXIS|XYAXIS", true, 5, 6},
        {"xaxis)", "XAXIS", false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int position = 0, start = -9, end = -9;
        bool found = !c.found;
        compiler.matchKeywordAlternatives(c.text, &position, c.alternatives, &start, &end, &found);
        EXPECT_EQ(c.found, found);
        if (!c.found) {
            EXPECT_EQ(0, position);
            continue;
        }
        EXPECT_EQ(0, start);
        EXPECT_EQ(c.end, end);
        EXPECT_EQ(c.next, position);
    }
}

// ---------------------------------------------------------------------------
// Syntax errors of whole compiles: the message of the state where matching
// failed, placed by line and column

std::vector<std::string> MessageTexts()
{
    std::vector<std::string> texts;
    for (ListNode* node = g_Messages.GetHead(); node; node = node->next)
        texts.push_back(static_cast<MessageNode*>(node)->text);
    return texts;
}

class CompileTest : public testing::Test {
protected:
    void SetUp() override { DeleteAllMessages(); }
    void TearDown() override { DeleteAllMessages(); }

    bool Compile(int kind, const std::string& text, const char* name = "Bad1", int subKind = SK_PLANE)
    {
        FormulaCompiler compiler;
        compiler.setKind(kind);
        bool result = compiler.compile(text.c_str(), 0, -128, nullptr, nullptr, nullptr, name, subKind,
                                       nullptr, false, false);
        compiler.freeResults();
        return result;
    }
};

struct SyntaxErrorCase {
    int kind;
    const char* text;  // "`" marks where the error is reported
    const char* message;
};

TEST_F(CompileTest, EachSyntaxErrorHasItsTextLineAndColumn)
{
    // The import statements name a library that exists.
    formulatest::ScopedLibrary library("lib.lib", "cls {\n}\n");
    const int I = FK_ITERATION, C = FK_COLORING, L = FK_LIBRARY;
    const SyntaxErrorCase cases[] = {
        {I, "`(XAXIS) {\n}", "Syntax Error perr-0400: Formula name expected"},
        {I, "Bad1(XAXIS) `oops {\n}",
         "Syntax Error perr-0401: Expected either a formula option or the beginning of the formula "
         "definition, i.e. <COLOR=204060>{"},
        {I, "Bad1 (`;) {\n}", "Syntax Error perr-0402: Formula symmetry or formula option expected"},
        {I, "Bad1(XAXIS `YAXIS) {\n}",
         "Syntax Error perr-0403: Closing bracket after symmetry or formula option expected"},
        {C, "Bad1(INSIDE `x) {\n}",
         "Syntax Error perr-0403: Closing bracket after symmetry or formula option expected"},
        {I, "`Bad1", "Syntax Error perr-0400: Formula name expected"},
        {I, "Bad1 {\n  void init(void) {\n    z = 1;\n`",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the current function, or an expression "
         "or some control structures like \"for\", \"if\", \"do\", \"while\" inside the current function."},
        {I, "Bad1 {\n  void init(void) {\n    if (x) {\n      z = 1;\n    }\n`",
         "Syntax Error perr-0520: else keyword expected (or nothing...)"},
        {I, "Bad1 {\n  `foo x;\n}\n",
         "Syntax Error perr-0412: Variable type declaration or function return type definition expected"},
        {I, "Bad1 {\n  complex `;\n}\n",
         "Syntax Error perr-0413: Variable identifier or function name expected"},
        {I, "Bad1 {\n  complex a `b;\n}\n",
         "Syntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end "
         "the variable declarations."},
        {L, "Bad1 {\n  complex a`;\n}\n",
         "Syntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end "
         "the variable declarations."},
        {I, "Bad1 {\n  array `[2] of real;\n}\n",
         "Syntax Error perr-0420: Expected a valid identifier for an array."},
        {I, "Bad1 {\n  array a `2 of real;\n}\n",
         "Syntax Error perr-0421: Expected \"[\" to specify array dimension"},
        {I, "Bad1 {\n  array a[`x] of real;\n}\n",
         "Syntax Error perr-0422: Expected an integer number (1 to 5) in order to specify the number of "
         "dimensions"},
        {I, "Bad1 {\n  array a[2 `3] of real;\n}\n",
         "Syntax Error perr-0423: Expected \"]\" to finish specifying the array dimension"},
        {I, "Bad1 {\n  array a[2] `as real;\n}\n",
         "Syntax Error perr-0424: Expected keyword \"of\" after array definition in order to specify the "
         "type of variables the array should contain"},
        {I, "Bad1 {\n  array a[2] of `foo;\n}\n",
         "Syntax Error perr-0425: Expected a valid variable type for the array elements"},
        {I, "Bad1 {\n  array a[2] of real`,\n}\n",
         "Syntax Error perr-0426: Expected \";\" to end this array declaration."},
        {I, "Bad1 {\n  void init(void) {\n    `{\n  }\n}\n",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the current function, or an expression "
         "or some control structures like \"for\", \"if\", \"do\", \"while\" inside the current function."},
        {I, "Bad1 {\n  void init(void) {\n    if (x) {\n      `?\n  }\n}\n",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened if block, or an expression "
         "or some control structures like \"for\", \"if\", \"do\", \"while\" inside this if block."},
        {I, "Bad1 {\n  void init(void) {\n    if (x) {\n    } else {\n      `@\n  }\n}\n",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened else-if block, or an "
         "expression or some control structures like \"for\", \"if\", \"do\", \"while\" inside this else-if "
         "block."},
        {I, "Bad1 {\n  void init(void) {\n    for (x = 0; x < 3; x = x + 1) {\n      `{\n  }\n}\n",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened for loop, or an expression "
         "or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside this for "
         "loop."},
        {I, "Bad1 {\n  void init(void) {\n    do {\n      `{\n  }\n}\n",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened do loop, or an expression "
         "or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside this do "
         "loop."},
        {I, "Bad1 {\n  void init(void) {\n    while (x) {\n      `{\n  }\n}\n",
         "Syntax Error perr-0510: Expecting a \"}\" in order to close the opened while loop, or an "
         "expression or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside "
         "this while loop."},
        {I, "Bad1 {\n  void init(void) {\n    z = x`, y;\n  }\n}\n",
         "Syntax Error perr-0511: Semicolon expected."},
        {I, "Bad1 {\n  void init(void) {\n    if `x\n  }\n}\n",
         "Syntax Error perr-0512: Opening bracket after if keyword expected."},
        {I, "Bad1 {\n  void init(void) {\n    if (`x;\n  }\n}\n",
         "Syntax Error perr-0513: A boolean expression terminated by a closing bracket expected."},
        {I, "Bad1 {\n  void init(void) {\n    if (x) `y\n  }\n}\n",
         "Syntax Error perr-0515: Expecting \"{\" to specify an expression block"},
        {I, "Bad1 {\n  void init(void) {\n    while (x) {\n      break `x;\n  }\n}\n",
         "Syntax Error perr-0516: Semicolon after break keyword expected."},
        {I, "Bad1 {\n  void init(void) {\n    for (;;) {\n      break `x;\n  }\n}\n",
         "Syntax Error perr-0516: Semicolon after break keyword expected."},
        {I, "Bad1 {\n  void init(void) {\n    do {\n      break`}\n  }\n}\n",
         "Syntax Error perr-0516: Semicolon after break keyword expected."},
        {I, "Bad1 {\n  void init(void) {\n    if (x) {\n    } else `x\n  }\n}\n",
         "Syntax Error perr-0521: Expected either a further if statement following else or \"{\""},
        {I, "Bad1 {\n  void init(void) {\n    while (x) {\n      if (y) {\n        break `x;\n  }\n}\n",
         "Internal Error perr-0001: Unknown error, bug in Spiralix, please report the formula to the "
         "author."},
        {I, "Bad1 {\n  void init(void) {\n    for `x\n  }\n}\n",
         "Syntax Error perr-0530: Keyword \"for\" must be followed by \"(\" ."},
        {I, "Bad1 {\n  void init(void) {\n    for(`{\n  }\n}\n",
         "Syntax Error perr-0531: Expecting intialization expression belonging to this for-loop."},
        {I, "Bad1 {\n  void init(void) {\n    for(x = 0`)\n  }\n}\n",
         "Syntax Error perr-0532: Expecting either a \",\" to specify further initiazitaion expressions or a "
         "semicolon to advance to the conditional part."},
        {I, "Bad1 {\n  void init(void) {\n    for(x = 0; `{\n  }\n}\n",
         "Syntax Error perr-0533: Expecting a (conditional) expression."},
        {I, "Bad1 {\n  void init(void) {\n    for(x = 0; x < 3`)\n  }\n}\n",
         "Syntax Error perr-0534: Expecting a semicolon to terminate the (conditional) expression."},
        {I, "Bad1 {\n  void init(void) {\n    for(x = 0; x < 3; `{\n  }\n}\n",
         "Syntax Error perr-0535: Expecting an expression evaluated after each loop."},
        {I, "Bad1 {\n  void init(void) {\n    for(x = 0; x < 3; x = x + 1`;\n  }\n}\n",
         "Syntax Error perr-0536: Expecting either a \",\" to separate another iteration expression from the "
         "current one or a closing bracket to specify the end of the for construct."},
        {I, "Bad1 {\n  void init(void) {\n    for(x = 0; x < 3; x = x + 1) `x\n  }\n}\n",
         "Syntax Error perr-0537: Expecting \"{\" to start the loop block."},
        {I, "Bad1 {\n  void init(void) {\n    do `x\n  }\n}\n",
         "Syntax Error perr-0550: Expecting \"{\" to start the loop block of this do-while-loop."},
        {I, "Bad1 {\n  void init(void) {\n    do {\n    } `x\n  }\n}\n",
         "Syntax Error perr-0551: Expecting while keyword for this do-loop."},
        {I, "Bad1 {\n  void init(void) {\n    do {\n    } while `x\n  }\n}\n",
         "Syntax Error perr-0552: Expecting an opening bracket."},
        {I, "Bad1 {\n  void init(void) {\n    do {\n    } while (`x;\n  }\n}\n",
         "Syntax Error perr-0553: Expecting an expression inside while()."},
        {I, "Bad1 {\n  void init(void) {\n    do {\n    } while (x) `x\n  }\n}\n",
         "Syntax Error perr-0555: Semicolon expected."},
        {I, "Bad1 {\n  void init(void) {\n    while `x\n  }\n}\n",
         "Syntax Error perr-0560: Opening bracket after while expected."},
        {I, "Bad1 {\n  void init(void) {\n    while (`{\n  }\n}\n",
         "Syntax Error perr-0561: Expecting an expression inside while()."},
        {I, "Bad1 {\n  void init(void) {\n    while (x`;\n  }\n}\n",
         "Syntax Error perr-0562: Expecting either a comma to separate different expressions or a closing "
         "bracket."},
        {I, "Bad1 {\n  void init(void) {\n    while (x) `x\n  }\n}\n",
         "Syntax Error perr-0563: Expecting \"{\" to start the loop expressions."},
        {I, "Bad1 {\n  void init(void) {\n    return `{\n  }\n}\n",
         "Syntax Error perr-0641: Expecting a return value"},
        {I, "Bad1 {\n  void init(void) {\n    return x`)\n  }\n}\n",
         "Syntax Error perr-0642: Expecting a semicolon to end this return statement."},
        {I, "Bad1 {\n  bool bailout(`x\n}\n",
         "Syntax Error perr-0570: Expecting \"void\" as parameter to bailout/stop function."},
        {I, "Bad1 {\n  bool bailout(void `x\n}\n", "Syntax Error perr-0571: Expecting \")\" after void."},
        {I, "Bad1 {\n  bool bailout(void) `x\n}\n",
         "Syntax Error perr-0572: Expecting \"{\" to start the function body."},
        {I, "Bad1 {\n  bool bailout(void) {\n    `x\n}\n",
         "Syntax Error perr-0573: Expecting \"return\" keyword: this function body must consist of a single "
         "return(boolean expression) statement."},
        {I, "Bad1 {\n  bool bailout(void) {\n    return(`x;\n}\n",
         "Syntax Error perr-0574: Expecting a boolean expression: bailout/stop function body must consist of "
         "a single return(boolean expression) statement."},
        {I, "Bad1 {\n  bool bailout(void) {\n    return(x) `x\n}\n",
         "Syntax Error perr-0575: Expecting \";\"  to specify the end of the return expression."},
        {I, "Bad1 {\n  bool bailout(void) {\n    return(x); `x\n}\n",
         "Syntax Error perr-0576: Expecting \"}\"  to specify the end of the bailout/stop function."},
        {I, "Bad1 {\n  void description(`x\n}\n", "Syntax Error perr-0600: void expected"},
        {I, "Bad1 {\n  void description(void `x\n}\n", "Syntax Error perr-0601: closing bracket expected"},
        {I, "Bad1 {\n  void description(void) `x\n}\n",
         "Syntax Error perr-0602: Expecting \"{\" to start the description function body."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    `;\n  }\n}\n",
         "Syntax Error perr-0603: Expecting either \"}\" to finish the description function body or a "
         "variable description expression."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    this `x\n  }\n}\n",
         "Syntax Error perr-0604: Expecting a '.' to separate the property from the identifier."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    this.`;\n  }\n}\n",
         "Syntax Error perr-0605: Expecting a property name like title or caption."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    this.title `x\n  }\n}\n",
         "Syntax Error perr-0606: Expecting a '=' to assign a value to this property."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    this.title = `x;\n  }\n}\n",
         "Syntax Error perr-0607: Expecting a boolean, double, complex or string constant."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    this.title = \"t\" `x\n  }\n}\n",
         "Syntax Error perr-0608: Expecting a semicolon to terminate this property assignment."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    p.visible `x\n  }\n}\n",
         "Syntax Error perr-0609: Expecting a '=' to assign a value to this property."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    p.visible = `{\n  }\n}\n",
         "Syntax Error perr-0610: Expecting an expression for this property."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    separator `x\n  }\n}\n",
         "Syntax Error perr-0611: Expecting a fullstop '.'"},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    separator.`;\n  }\n}\n",
         "Syntax Error perr-0612: Expecting an identifier (a label) for this separator."},
        {I, "Bad1 {\n  parameter complex p;\n  void description(void) {\n    separator.lab `x\n  }\n}\n",
         "Syntax Error perr-0613: Expecting a fullstop after the separator identifier."},
        {I, "Bad1 {\n  complex f(`x\n}\n",
         "Syntax Error perr-0620: Parameter type expected in this function declaration."},
        {I, "Bad1 {\n  complex f(complex &`;\n}\n", "Syntax Error perr-0622: Parameter identifier expected."},
        {I, "Bad1 {\n  complex f(array `[\n}\n", "Syntax Error perr-0623: Valid array identifier expected."},
        {I, "Bad1 {\n  complex f(array a `2\n}\n",
         "Syntax Error perr-0624: Expected \"[\" to specify array dimension"},
        {I, "Bad1 {\n  complex f(array a[`x\n}\n",
         "Syntax Error perr-0625: Expected an integer number specifying the array dimension"},
        {I, "Bad1 {\n  complex f(array a[2 `3\n}\n",
         "Syntax Error perr-0626: Expected \"]\" to finish specifying the array dimension"},
        {I, "Bad1 {\n  complex f(array a[2] `as\n}\n",
         "Syntax Error perr-0627: Expected keyword \"of\" after array definition in order to specify the "
         "type of variables the array should contain"},
        {I, "Bad1 {\n  complex f(array a[2] of `foo\n}\n",
         "Syntax Error perr-0628: Expected a valid variable type for the array elements"},
        {I, "Bad1 {\n  complex f(complex a `b\n}\n",
         "Syntax Error perr-0630: Expected either a comma or a closing bracket after that parameter "
         "definition."},
        {I, "Bad1 {\n  complex f(void `x\n}\n",
         "Syntax Error perr-0631: Expected a closing bracket after void"},
        {I, "Bad1 {\n  complex f(complex a) `x\n}\n",
         "Syntax Error perr-0632: Expected either a semicolon or the start of a function definition."},
        {I, "Bad1 {\n  complex f(complex a) {\n    complex `;\n}\n",
         "Syntax Error perr-0638: Identifier for a local variable expected"},
        {I, "Bad1 {\n  complex f(complex a) {\n    complex b `c\n}\n",
         "Syntax Error perr-0639: Either comma or semicolon expected"},
        {I, "Bad1 {\n  import `;\n}\n", "Syntax Error perr-0650: Expected an identifier for a library file."},
        {I, "Bad1 {\n  import lib `x\n}\n", "Syntax Error perr-0651: Expected a \".\""},
        {I, "Bad1 {\n  import lib.`;\n}\n",
         "Syntax Error perr-0652: Expected an identifier for a class inside a library file."},
        {I, "Bad1 {\n  import lib.cls `x\n}\n",
         "Syntax Error perr-0653: Expected keyword \"as\" to specify an alias name for that imported class."},
        {I, "Bad1 {\n  import lib.cls as `;\n}\n",
         "Syntax Error perr-0654: Expected an alias name for that imported class."},
        {I, "Bad1 {\n  import lib.cls as x `y\n}\n", "Syntax Error perr-0655: Semicolon expected"},
        {I, "Bad1 {\n  complex a[`{\n}\n",
         "Syntax Error perr-0660: Expecting a constant expression specifying the array dimension."},
        {I, "Bad1 {\n  complex a[2`;\n}\n",
         "Syntax Error perr-0661: Expecting either a comma to specify further array dimensions or a closing "
         "bracket ']'."},
    };
    for (const SyntaxErrorCase& c : cases) {
        std::string text = c.text;
        const size_t marker = text.find('`');
        ASSERT_NE(std::string::npos, marker) << c.text;
        text.erase(marker, 1);
        SCOPED_TRACE(text);
        const int position = (int)marker;
        const std::string before = text.substr(0, marker);
        const size_t lastFeed = before.rfind('\n');
        const int line = 1 + (int)std::count(before.begin(), before.end(), '\n');
        const int column = lastFeed == std::string::npos ? position : position - (int)lastFeed - 1;

        DeleteAllMessages();
        EXPECT_FALSE(Compile(c.kind, text));
        std::vector<std::string> texts = MessageTexts();
        ASSERT_EQ(2u, texts.size());
        char header[100];
        snprintf(header, sizeof header, "Error in formula Bad1, line %d at char %d:", line, column);
        EXPECT_EQ(header, texts[0]);
        EXPECT_EQ(c.message, texts[1]);
        const MessageNode* first = static_cast<MessageNode*>(g_Messages.GetHead());
        EXPECT_EQ(MSG_ERROR, first->type);
        EXPECT_EQ(WID_COMPILER, first->sourceWindow);
        EXPECT_EQ(line, first->line);
        EXPECT_EQ(position, first->startOffset);
        size_t lineEnd = text.find_first_of("\r\n", marker);
        EXPECT_EQ(lineEnd == std::string::npos ? (int)text.size() : (int)lineEnd, first->endOffset);
    }
}

TEST_F(CompileTest, LinesAndColumnsAcrossCarriageReturns)
{
    EXPECT_FALSE(Compile(FK_ITERATION, "(XAXIS) {\r\n}"));
    std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("Error in formula Bad1, line 1 at char 0:", texts[0]);

    DeleteAllMessages();
    EXPECT_FALSE(Compile(FK_ITERATION, "Bad1 {\r\nfoo x;\r\n}"));
    texts = MessageTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("Error in formula Bad1, line 2 at char 0:", texts[0]);
    EXPECT_EQ("Syntax Error perr-0412: Variable type declaration or function return type definition expected",
              texts[1]);
}

// Comments and skipped #ifdef branches keep their line ends, so an error
// after them is reported on its own line.
TEST_F(CompileTest, ErrorsAfterCommentsAndSkippedBranchesKeepTheirLines)
{
    const char* text = "// leading comment\r\n"
                       "Bad1 {\r\n"
                       "/* a comment\r\n"
                       "   over two lines */\r\n"
                       "#ifdef NOT_DEFINED\r\n"
                       "  complex skipped;\r\n"
                       "  complex skipped2;\r\n"
                       "#else\r\n"
                       "  complex kept;\r\n"
                       "#endif\r\n"
                       "#ifdef SPIRALIX\r\n"
                       "  complex a;\r\n"
                       "#else\r\n"
                       "  complex b;\r\n"
                       "  complex c;\r\n"
                       "#endif\r\n"
                       "  void init(void) {\r\n"
                       "    z = a, b;\r\n"
                       "  }\r\n"
                       "}\r\n";
    EXPECT_FALSE(Compile(FK_ITERATION, text));
    std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("Error in formula Bad1, line 18 at char 9:", texts[0]);
    EXPECT_EQ("Syntax Error perr-0511: Semicolon expected.", texts[1]);
}

// The text handed in is compiled on copies: the caller's text is not
// blanked, and a second compile of it gives the same result.
TEST_F(CompileTest, TheCallersTextIsLeftAlone)
{
    const std::string text =
        "Bad1 {\n#ifdef X\n  complex a;\n#endif\n  void init(void) {\n    z = z, b;\n  }\n}\n";
    std::string copy = text;
    EXPECT_FALSE(Compile(FK_ITERATION, copy));
    EXPECT_EQ(text, copy);
    std::vector<std::string> first = MessageTexts();
    DeleteAllMessages();
    EXPECT_FALSE(Compile(FK_ITERATION, copy));
    EXPECT_EQ(first, MessageTexts());
    ASSERT_EQ(2u, first.size());
    EXPECT_EQ("Error in formula Bad1, line 6 at char 9:", first[0]);
}

// Formulas that use every construct of the grammar are accepted for their
// kind: heads with options, every declaration, user functions, arrays,
// control structures, bailout, description and directives.
TEST_F(CompileTest, FormulasUsingEveryConstructAreAccepted)
{
    const struct {
        int kind;
        int subKind;
        const char* text;
    } cases[] = {
        {FK_ITERATION, SK_PLANE,
         "Good1(XAXIS) {\n"
         "  parameter complex seed;\n"
         "  parameter real power, scale;\n"
         "  parameter int grid[2, 3];\n"
         "  shared const double limit;\n"
         "  const float f;\n"
         "  quaternion q;\n"
         "  vector v;\n"
         "  bool flag;\n"
         "  color tint;\n"
         "  int counter;\n"
         "  array table[2] of real;\n"
         "  function complex fn;\n"
         "  complex twice(complex a, real &b);\n"
         "  real sum(array t[2] of real)\n"
         "  {\n"
         "    real s, t2;\n"
         "    int i;\n"
         "    s = 0;\n"
         "    for (i = 0; i < 3; i = i + 1) {\n"
         "      if (i == 2) {\n"
         "        break;\n"
         "      }\n"
         "      s = s + t[i, 0];\n"
         "    }\n"
         "    return s;\n"
         "  }\n"
         "  complex twice(complex a, real &b) {\n"
         "    return a * 2;\n"
         "  }\n"
         "#ifdef SPIRALIX\n"
         "  void init(void) {\n"
         "    z = seed; counter = 0;\n"
         "  }\n"
         "#else\n"
         "  this is skipped\n"
         "#endif\n"
         "  void loop(void) {\n"
         "    if (counter > 3) {\n"
         "      z = fn(z);\n"
         "    } else if (counter > 1) {\n"
         "      z = twice(z, scale);\n"
         "    } else {\n"
         "      do {\n"
         "        counter = counter + 1;\n"
         "      } while (counter < 0);\n"
         "    }\n"
         "    while (flag, counter > 100) {\n"
         "      break;\n"
         "    }\n"
         "    z = z * z + pixel;\n"
         "  }\n"
         "  bool bailout(void) {\n"
         "    return(|z| < 4);\n"
         "  }\n"
         "  void description(void) {\n"
         "    this.title = \"Every construct\";\n"
         "    this.maxiter = 100;\n"
         "    separator.group1.caption = \"Group\";\n"
         "    seed.caption = \"Seed\";\n"
         "    seed.default = (0.5, -0.25);\n"
         "    power.visible = scale > 1;\n"
         "    power.min = 1;\n"
         "  }\n"
         "}\n"},
        {FK_COLORING, SK_PLANE,
         "Good2(OUTSIDE) {\n"
         "  parameter color base;\n"
         "  function color merge;\n"
         "  void final(void) {\n"
         "    base = base;\n"
         "  }\n"
         "  void description(void) {\n"
         "    base.caption = \"Base\";\n"
         "  }\n"
         "}\n"},
        {FK_TRANSFORMATION, SK_QUATERNION,
         "Good3(QUATERNION) {\n"
         "  parameter quaternion shift;\n"
         "  void transform(void) {\n"
         "    shift = shift;\n"
         "  }\n"
         "}\n"},
        {FK_LIBRARY, SK_PLANE,
         "Good4 {\n"
         "  complex square(complex a) {\n"
         "    return a * a;\n"
         "  }\n"
         "  void description(void) {\n"
         "    this.title = \"Library\";\n"
         "  }\n"
         "}\n"},
        {FK_ITERATION, SK_ATTRACTOR,
         "Good5(ATTRACTOR) {\n"
         "  void loop(void) {\n"
         "    z = z;\n"
         "  }\n"
         "  bool stop(void) {\n"
         "    return(false);\n"
         "  }\n"
         "}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DeleteAllMessages();
        EXPECT_TRUE(Compile(c.kind, c.text, "Good", c.subKind));
        std::vector<std::string> texts = MessageTexts();
        // The one note: Good1 declares a quaternion it never assigns.
        if (strncmp(c.text, "Good1", 5) == 0) {
            ASSERT_EQ(2u, texts.size());
            EXPECT_EQ("Tip - formula Good:", texts[0]);
            EXPECT_EQ("Optimizer Info: Global variable q can be defined as real instead of quaternion", texts[1]);
            texts.clear();
        }
        for (const std::string& message : texts)
            ADD_FAILURE() << message;
    }
}

}  // namespace
