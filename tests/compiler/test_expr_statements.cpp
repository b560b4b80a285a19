// The statement compiler and the control statements: every error of an
// expression with its text, line and column, the checks of conditions, the
// jumps and jump-stack entries of if, else, for, do, while and break, the
// frames and hand-over of function bodies, the read counts and the
// rewriting of an if whose condition is fixed.
#include "tests/compiler/ExpressionFixture.h"

#include <algorithm>

using namespace expr;

namespace {

int Row(int action)
{
    for (int r = 0; r < PARSE_TABLE_ROWS; r++) {
        if (g_ParseTable[r].action == action)
            return r;
    }
    return -1;
}

// Compiles text and returns every message line; * in text is not special.
std::string CompileMessages(int kind, const std::string& text, bool* ok = nullptr, NodeList* inputs = nullptr)
{
    DeleteAllMessages();
    FormulaHolder holder(kind);
    bool result = holder.compiler->compile(text.c_str(), 0, -128, inputs, nullptr, nullptr, "Bad1", SK_PLANE,
                                           nullptr, false, false);
    if (ok)
        *ok = result;
    std::string out = Joined(MessageLines());
    DeleteAllMessages();
    return out;
}

class Statements : public ::testing::Test {
protected:
    void SetUp() override { g_NumberOfOutputMessages = 1000; }
    void TearDown() override { g_NumberOfOutputMessages = 200; }
};

// Every error of a statement in a function body: the statement is written
// with a "`" where the message places it, or without one when the message
// has no place (an empty or one-character expression).
TEST_F(Statements, ExpressionErrorsWithTheirPlaces)
{
    const char* head =
        "Bad1 {\n"
        "  parameter int mode;\n"
        "  real r, k;\n"
        "  complex c;\n"
        "  vector v;\n"
        "  color col;\n"
        "  array a1[1] of real;\n"
        "  function complex fn;\n"
        "  void init(void) {\n"
        "    z = fn(z);\n"
        "    ";
    const char* tail =
        "\n"
        "  }\n"
        "  void loop(void) {\n"
        "  }\n"
        "  bool bailout(void) {\n"
        "    return(r > 4);\n"
        "  }\n"
        "  void description(void) {\n"
        "    mode.enum = \"one\\ntwo\";\n"
        "  }\n"
        "}\n";
    const struct {
        const char* statement;
        const char* message;
    } cases[] = {
        {"`z = w + 1;", "Compiler error 063 in expression \"z = w + 1\" :\nVariable \"w\" has not been defined."},
        {"`z = (z + 1;", "Compiler error 051 in expression \"z = (z + 1\":\nBrackets are set wrongly"},
        {"`z = z & 1;",
         "Compiler error 053 in expression \"z = z & 1\":\nUnknown operand/operator; perhaps something is incorrectly "
         "spelled"},
        {"`z = z z;",
         "Compiler error 055 in expression \"z = z z\":\nNumber of operands doesn't match the number of operators"},
        {"`z + r = 1;",
         "Compiler error 058 in expression \"z + r = 1\":\nAll assignment statements to the left of a formula must be "
         "variables"},
        // A literal is no target; arguments need exactly one comma between
        // them (a comma directly before ")" is the language's and dropped);
        // a variable or a keyword is not made a selectable function.
        {"`5 = 6;",
         "Compiler error 058 in expression \"5 = 6\":\nAll assignment statements to the left of a formula must be "
         "variables"},
        {"`z = complex(1 2);",
         "Compiler error 055 in expression \"z = complex(1 2)\":\nNumber of operands doesn't match the number of "
         "operators"},
        {"`z = quaternion(1, 2,, 3, 4);",
         "Compiler error 055 in expression \"z = quaternion(1, 2,, 3, 4)\":\nNumber of operands doesn't match the "
         "number of operators"},
        {"`z = r(3);",
         "Compiler error 278 in expression \"z = r(3)\" :\n\"r\" is a variable and cannot be called as a function"},
        {"`z = return(3);",
         "Compiler error 278 in expression \"z = return(3)\" :\n\"return\" is a keyword and cannot be called as a "
         "function"},
        {"`mode = \"three\";",
         "Compiler error 278 in expression \"mode = \"three\"\" :\nEnumerator \"three\" not found in parameter \"mode\""},
        {"`k = \"two\";",
         "Compiler error 278 in expression \"k = \"two\"\" :\nEnumerator \"two\" not found in parameter \"k\""},
        {"`col = r;", "Compiler error 078 in expression \"col = r\":\nYou cannot assign a numerical value to a color variable"},
        {"`r = col;", "Compiler error 078 in expression \"r = col\":\nYou cannot assign a color to a numerical variable"},
        {"`v = r;", "Compiler error 078 in expression \"v = r\":\nYou cannot assign a non vector value to a vector variable"},
        {"`r = v;", "Compiler error 078 in expression \"r = v\":\nYou cannot assign a vector to a non vector variable"},
        {"`z = sin(col);", "Compiler Error 767: Operation \"sin\" with number type \"color\" not supported"},
        {"`z = c + col;",
         "Compiler Error 768: Operation \"+ (Addition)\" with number types \"complex and color\" not supported"},
        {"`a1 = array(c);", "Compiler Error 763: Array dimension must be an integer value."},
        {"`r = a1[c];", "Compiler Error 764: Array dimension must be an integer value."},
        {"`r = a1[1, 2];", "Compiler Error 765: Array dimension does not match array declaration."},
        {"`z = fn(v);", "Compiler Error 765: Illegal function call: A function with the name \"fn\" has not been declared."},
        {"`r = array(3);", "Result of array function must be assigned to a variable of type \"array\""},
        {"if (`c + 1) {\n    }", "Compiler error 067 in expression \"c + 1\":\nExpression does not return a boolean type..."},
        {"if (c) {\n    }", "Compiler error 067 in expression \"c\":\nExpression does not return a boolean type..."},
        {"while (`c * 2) {\n    }",
         "Compiler error 067 in expression \"c * 2\":\nExpression does not return a boolean type..."},
        {"do {\n    } while (`v + v);",
         "Compiler error 067 in expression \"v + v\":\nExpression does not return a boolean type..."},
        {"for (r = 0; `r * c; r = r + 1) {\n    }",
         "Compiler error 067 in expression \"r * c\":\nExpression does not return a boolean type..."},
        {"for (`r = w; r < 1; r = r + 1) {\n    }",
         "Compiler error 063 in expression \"r = w\" :\nVariable \"w\" has not been defined."},
        {"for (r = 0; r < 1; `r = r + w) {\n    }",
         "Compiler error 063 in expression \"r = r + w\" :\nVariable \"w\" has not been defined."},
        {"if () {\n    }", "Compiler error 070: expression in conditional statement (if, while) must not be empty"},
        {"do {\n    } while ();", "Compiler error 070: expression in conditional statement (if, while) must not be empty"},
        {"if (r > 1) {\n    } else if (`c - 1) {\n    }",
         "Compiler error 067 in expression \"c - 1\":\nExpression does not return a boolean type..."},
    };
    for (const auto& t : cases) {
        std::string statement = t.statement;
        std::string text = std::string(head) + statement + tail;
        std::string header = "Error - formula Bad1:";
        size_t marker = text.find('`');
        if (marker != std::string::npos) {
            text.erase(marker, 1);
            std::string before = text.substr(0, marker);
            int line = 1 + (int)std::count(before.begin(), before.end(), '\n');
            int column = (int)(marker - before.rfind('\n') - 1);
            header = "Error - formula Bad1, line " + std::to_string(line) + " at char " + std::to_string(column) + ":";
        }
        bool ok = true;
        EXPECT_EQ(header + "\n" + t.message + "\n", CompileMessages(FK_ITERATION, text, &ok)) << statement;
        EXPECT_FALSE(ok) << statement;
    }
}

TEST_F(Statements, ErrorsOfReturnsDimensionsAndFunctionBodies)
{
    const struct {
        int kind;
        const char* text;
        const char* messages;
    } cases[] = {
        {FK_ITERATION, "Bad1 {\n  void init(void) {\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n    return();\n  }\n}\n",
         "Error - formula Bad1:\nCompiler error 071: expression in return()-statement must not be empty\n"},
        {FK_ITERATION, "Bad1 {\n  real r;\n  real g[r + 1];\n}\n",
         "Error - formula Bad1, line 3 at char 9:\nCompiler error 073 in expression \"r + 1\":\nArray dimension must be constant.\n"},
        {FK_LIBRARY, "Bad1 {\n  real half(real a) {\n    a = a * 0.5;\n  }\n}\n",
         "Error - formula Bad1:\nCompiler error 081: Function must return a value\n"},
        {FK_ITERATION, "Bad1 {\n  void init(void) {\n    real t;\n    t = 1;\n  }\n}\n",
         "Error - formula Bad1, line 2 at char 2:\nCompiler error 816: Function init must not have local variables.\n"},
        {FK_TRANSFORMATION, "Bad1 {\n  void transform(void) {\n    real t;\n  }\n}\n",
         "Error - formula Bad1, line 2 at char 2:\nCompiler error 816: Function transform must not have local variables.\n"},
    };
    for (const auto& t : cases) {
        bool ok = true;
        EXPECT_EQ(t.messages, CompileMessages(t.kind, t.text, &ok)) << t.text;
        EXPECT_FALSE(ok);
    }
    // A condition-returning function given a value compares it with 0.
    bool ok = false;
    EXPECT_EQ("Warning - formula Bad1:\nCompiler warning 67 in expression \"z\":\nExpression does not return a boolean "
              "type. Changed to \"z!=0\"...\n",
              CompileMessages(FK_ITERATION,
                              "Bad1 {\n  void init(void) {\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n"
                              "    return(z);\n  }\n}\n",
                              &ok));
    EXPECT_TRUE(ok);
    // Sizes given by constants are fine, and so are real conditions, bool
    // functions and a bailout function without a return statement of its
    // own.
    EXPECT_EQ("", CompileMessages(FK_ITERATION,
                                  "Good {\n  real g[2 * 3, 4];\n  bool small(real a) {\n"
                                  "    return(a < 1);\n  }\n  void init(void) {\n    if (small(x) && x) {\n    }\n"
                                  "    while (y) {\n    }\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n"
                                  "    return(|z| > 4);\n  }\n}\n",
                                  &ok));
    EXPECT_TRUE(ok);
}

// A condition fixed for the compile is decided from pass 1 on: its block
// must be there.
TEST_F(Statements, FixedConditionsNeedTheirBlock)
{
    NodeList inputs;
    bool ok = true;
    EXPECT_EQ("Error - formula Bad1, line 3 at char 8:\nCompiler error 371 after condition \"1 > 0\":\nDid not find "
              "statement block after that condition.\n",
              CompileMessages(FK_ITERATION, "Bad1 {\n  void init(void) {\n    if (1 > 0) {\n      z = 1;\n", &ok,
                              &inputs));
    EXPECT_FALSE(ok);
    // With the block there the chain compiles (until conditions can be run
    // at compile time, as any other condition).
    EXPECT_EQ("", CompileMessages(FK_ITERATION,
                                  "Good {\n  void init(void) {\n    if (1 > 0) {\n      z = 1;\n    } else {\n"
                                  "      z = 2;\n    }\n  }\n  void loop(void) {\n  }\n  bool bailout(void) {\n"
                                  "    return(|z| > 4);\n  }\n}\n",
                                  &ok, &inputs));
    EXPECT_TRUE(ok);
}

TEST(ConstantIf, BranchesLeaveTheText)
{
    const struct {
        const char* before;
        bool value;
        bool afterElse;
        const char* after;
    } cases[] = {
        {"if (1) {a;} else {b;}", true, false, "        a;           "},
        {"if (0) {a;} else {b;}", false, false, "                  b; "},
        {"if (1) {a;} else if (c) {b;} else {d;}", true, false, "        a;                            "},
        {"if (0) {a;} else if (c) {b;} else {d;}", false, false, "                 if (c) {b;} else {d;}"},
        {"if (0) {a;}\n  else {b;}", false, false, "           \n        b; "},
        {"if (c) {a;} else if (1) {b;} else {d;}", true, true, "if (c) {a;} else        {b;}          "},
        {"if (c) {a;} else if (0) {b;} else {d;}", false, true, "if (c) {a;}                  else {d;}"},
        {"if (1) {a;}{b;}", true, false, "        a; {b;}"},
        {"if (0) {a;} elsewhere = 1;", false, false, "            elsewhere = 1;"},
    };
    for (const auto& t : cases) {
        std::string text = t.before;
        // The if written last and the else before it, as the matcher saw them.
        size_t ifStart = t.afterElse ? text.find("if", 3) : 0;
        int elseStart = t.afterElse ? (int)text.find("else") : -1;
        int open, close;
        findBracePair(text.c_str(), (int)ifStart, &open, &close);
        ASSERT_TRUE(FormulaCompiler::rewriteConstantIf(&text[0], (int)ifStart, elseStart, open, close, t.value))
            << t.before;
        EXPECT_EQ(t.after, text) << t.before;
    }
    // An else part without a block.
    std::string text = "if (1) {a;} else b;";
    EXPECT_FALSE(FormulaCompiler::rewriteConstantIf(&text[0], 0, -1, 7, 10, true));
}

typedef ExpressionTest Control;

TEST_F(Control, TheIfChainIsRestarted)
{
    c->jumpStack->clear();
    c->blockStack->clear();
    c->blockStack->push(BLOCK_FUNCTION);
    c->codePosition = 17;
    c->parseState = 110;
    char text[] = "if (1) {}";
    ASSERT_EQ(ACTION_NEXT_STATE, c->compileControlAction(text, 0, 1, Row(29)));
    c->jumpStack->push2(99, 10000033);   // an entry of the chain
    c->blockStack->push(BLOCK_IF);
    c->codePosition = 40;
    c->parseState = 115;
    c->textPosition = 8;
    c->restartIfChain();
    EXPECT_EQ(17, c->codePosition);
    EXPECT_EQ(110, c->parseState);
    EXPECT_EQ(0, c->textPosition);
    EXPECT_TRUE(c->jumpStack->isEmpty());
    EXPECT_EQ(1, c->blockStack->count());
}

class Jumps : public ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        c->jumpStack->clear();
        c->codePosition = 0;
    }
    // A condition as the statement compiler compiles it.
    void Condition(int action, const char* condition, int previousAction = 0)
    {
        std::string copy = condition;
        c->actionHistory[1] = previousAction;
        ASSERT_EQ(ACTION_NEXT_STATE, c->compileStatement(&copy[0], 0, (int)copy.size() - 1, Row(action)))
            << Joined(MessageLines());
    }
    void Action(int action)
    {
        char text[] = "}";
        ASSERT_EQ(ACTION_NEXT_STATE, c->compileControlAction(text, 0, 0, Row(action)));
    }
    // Stand-in for a statement's code.
    void Body(int bytes)
    {
        std::vector<uint8_t> nops((size_t)bytes, 0x90);
        c->emitCode(nops.data(), bytes);
    }
    const uint8_t* Code() const { return static_cast<const uint8_t*>(c->functionCode->GetData()); }
    int32_t Word(int offset) const { return c->readCodeWord(offset); }
};

// The conditions have no code of their own yet: each is its conditional
// jump, 0F, the condition byte, and a displacement.
TEST_F(Jumps, IfWithoutElseLandsAfterItsBlock)
{
    Action(29);
    Condition(43, "r > 1");
    ASSERT_EQ(6, c->codePosition);
    EXPECT_EQ(0x0F, Code()[0]);
    Body(3);
    Action(35);   // "}": a jump over the rest of the chain, for now
    EXPECT_EQ(14, c->codePosition);
    Action(49);   // no else: the jump goes again
    EXPECT_EQ(9, c->codePosition);
    EXPECT_EQ(3, Word(2));   // from the end of the condition's jump to 9
    EXPECT_TRUE(c->jumpStack->isEmpty());
}

TEST_F(Jumps, IfElseChainsJumpToTheirEnd)
{
    Action(29);
    Condition(43, "r > 1");
    Body(3);                   // 6..8
    Action(35);                // E9 at 9, displacement at 10
    Condition(43, "r > 2");    // else if: 14..19
    Body(2);                   // 20..21
    Action(35);                // E9 at 22, displacement at 23
    Body(4);                   // the else block: 27..30
    Action(36);
    EXPECT_EQ(31, c->codePosition);
    EXPECT_EQ(0xE9, Code()[9]);
    EXPECT_EQ(31 - 14, Word(10));   // first block: to the end of the chain
    EXPECT_EQ(31 - 27, Word(23));   // second block: the same
    EXPECT_EQ(14 - 6, Word(2));     // first condition: to the else if
    EXPECT_EQ(27 - 20, Word(16));   // second condition: to the else block
    EXPECT_TRUE(c->jumpStack->isEmpty());
}

TEST_F(Jumps, BreaksOfAnOuterLoopSurviveAnInnerIf)
{
    Condition(86, "r > 1", 85);    // while (r > 1, ...: the loop starts here
    Condition(86, "k > 1", 87);    // ..., k > 1)
    EXPECT_EQ(12, c->codePosition);
    Action(29);
    Condition(43, "r > 2");        // 12..17
    Action(34);                    // break: E9 at 18
    Action(35);
    Action(49);
    EXPECT_EQ(23, c->codePosition);
    Action(91);                    // the jump back: E9 at 23
    EXPECT_EQ(28, c->codePosition);
    EXPECT_EQ(0xE9, Code()[23]);
    EXPECT_EQ(0 - 28, Word(24));   // to the first condition
    EXPECT_EQ(28 - 6, Word(2));    // both exits and the break land after the loop
    EXPECT_EQ(28 - 12, Word(8));
    EXPECT_EQ(28 - 23, Word(19));
    EXPECT_EQ(23 - 18, Word(14));  // the if's condition lands after its block
    EXPECT_TRUE(c->jumpStack->isEmpty());
}

TEST_F(Jumps, ForLoopsCompileTheirIterationAtTheEnd)
{
    std::string text = "for (r = 0; r < 3; r = r + 1, k = k * 2) {";
    Action(28);
    Condition(56, "r < 3");
    Body(2);
    // The iteration expressions are kept as text positions.
    size_t first = text.find("r = r + 1"), second = text.find("k = k * 2");
    c->actionHistory[1] = 0;
    ASSERT_EQ(ACTION_NEXT_STATE, c->compileStatement(&text[0], (int)first, (int)first + 8, Row(58)));
    ASSERT_EQ(ACTION_NEXT_STATE, c->compileStatement(&text[0], (int)second, (int)second + 8, Row(59)));
    EXPECT_EQ(8, c->codePosition);
    Action(32);                    // break: E9 at 8
    Body(1);
    ASSERT_EQ(ACTION_NEXT_STATE, c->compileControlAction(&text[0], 0, 0, Row(37)));
    EXPECT_EQ(19, c->codePosition);
    EXPECT_EQ(0 - 19, Word(15));   // back to the condition
    EXPECT_EQ(19 - 6, Word(2));    // its exit
    EXPECT_EQ(19 - 13, Word(9));   // the break
    EXPECT_TRUE(c->jumpStack->isEmpty());

    // A loop without a test jumps back to the start of its body.
    c->codePosition = 0;
    Action(28);
    std::string empty = ";";
    ASSERT_EQ(ACTION_NEXT_STATE, c->compileStatement(&empty[0], 1, 0, Row(56)));
    Body(3);
    ASSERT_EQ(ACTION_NEXT_STATE, c->compileControlAction(&text[0], 0, 0, Row(37)));
    EXPECT_EQ(0 - 8, Word(4));
    EXPECT_TRUE(c->jumpStack->isEmpty());
}

TEST_F(Jumps, DoLoopsJumpBackFromTheirCondition)
{
    Body(2);
    Action(70);                    // "{" at 2
    Body(3);
    Action(33);                    // break: E9 at 5
    Condition(73, "r < 3");        // 0F at 10, displacement at 12
    EXPECT_EQ(16, c->codePosition);
    EXPECT_EQ(2 - 16, Word(12));
    EXPECT_EQ(16 - 10, Word(6));
    EXPECT_TRUE(c->jumpStack->isEmpty());
}

TEST(FunctionBodies, FramesAndHandOver)
{
    FormulaHolder holder(FK_LIBRARY);
    FormulaCompiler* c = holder.compiler;
    ASSERT_TRUE(c->compile("Lib {\n  complex f(complex a) {\n    complex t, u;\n    t = a;\n    return(t);\n  }\n"
                           "  void g(void) {\n  }\n}\n",
                           0, -128, nullptr, nullptr, nullptr, "Lib", SK_PLANE, nullptr, false, false));
    FormulaFunction* f = findFunction(&c->functions, "Cf@@C");
    ASSERT_NE(nullptr, f);
    int32_t lowest = 0;
    for (ListNode* n = f->locals.GetHead(); n; n = n->next)
        lowest = std::min(lowest, static_cast<FormulaSymbol*>(n)->dataOffset);
    // The locals lie below the templates' scratch area [EBP-128, EBP-1]
    // and the frame reserves them all.
    for (ListNode* n = f->locals.GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if (s->dataOffset < 0)
            EXPECT_LE(s->dataOffset + slotSize(s->dataType, s->precision), -128) << s->name;
    }
    const uint8_t* code = static_cast<const uint8_t*>(f->code->GetData());
    ASSERT_GE(f->codeLength, 16u);
    const uint8_t prologue[] = {0x55, 0x8B, 0xEC, 0x81, 0xEC};
    EXPECT_EQ(0, memcmp(prologue, code, 5));
    int32_t frame = *reinterpret_cast<const int32_t*>(code + 5);
    EXPECT_GE(frame, -lowest);
    EXPECT_LT(frame, -lowest + 16);
    const uint8_t end[] = {0x8B, 0xE5, 0x5D, 0xC3, 0x8B, 0xE5, 0x5D};   // return, then the epilogue
    EXPECT_EQ(0, memcmp(end, code + f->codeLength - 7, 7));

    // Without locals the frame still reserves the templates' scratch area:
    // arguments of calls stored below ESP must not lie in it.
    FormulaFunction* g = findFunction(&c->functions, "Vg@@");
    ASSERT_NE(nullptr, g);
    const uint8_t bare[] = {0x55, 0x8B, 0xEC, 0x81, 0xEC, 0x80, 0x00, 0x00, 0x00};
    ASSERT_GT(g->codeLength, sizeof bare + 3);
    EXPECT_EQ(0, memcmp(bare, g->code->GetData(), sizeof bare));
    const uint8_t epilogue[] = {0x8B, 0xE5, 0x5D};
    EXPECT_EQ(0, memcmp(epilogue, static_cast<const uint8_t*>(g->code->GetData()) + g->codeLength - 3, 3));

    // A section function has no frame of its own.
    FormulaHolder iteration(FK_ITERATION);
    ASSERT_TRUE(iteration.compiler->compile("It {\n  void init(void) {\n  }\n  void loop(void) {\n  }\n"
                                            "  bool bailout(void) {\n    return(|z| > 4);\n  }\n}\n",
                                            0, -128, nullptr, nullptr, nullptr, "It", SK_PLANE, nullptr, false, false));
    FormulaFunction* init = findFunction(&iteration.compiler->functions, "Vinit@@");
    ASSERT_NE(nullptr, init);
    EXPECT_EQ(0u, init->codeLength);
    EXPECT_EQ(0, iteration.compiler->jumpStack->count());
}

typedef ExpressionTest Bookkeeping;

TEST_F(Bookkeeping, ReadsAndWritesOfAStatement)
{
    FormulaSymbol* k = Symbol("k");
    FormulaSymbol* r = Symbol("r");
    FormulaSymbol* n = Symbol("n");
    k->readCount = k->writeCount = k->readsCount = 0;
    r->readCount = n->readCount = n->writeCount = 0;
    Words s = W("=k k r 8 n 10 43");
    s.push_back(0);
    c->countReads(s.data());
    EXPECT_EQ(1, k->writeCount);
    EXPECT_EQ(0, k->readCount);   // k = k + ... does not count its own read
    EXPECT_EQ(1, r->readCount);
    EXPECT_EQ(1, n->readCount);
    ASSERT_EQ(2, k->readsCount);
    EXPECT_EQ(r, k->reads[0]);
    EXPECT_EQ(n, k->reads[1]);

    // Two targets: both written, nothing recorded as their reads.
    s = W("=k =n r 43 43");
    s.push_back(0);
    c->countReads(s.data());
    EXPECT_EQ(2, k->writeCount);
    EXPECT_EQ(1, n->writeCount);
    EXPECT_EQ(2, k->readsCount);
    EXPECT_EQ(2, r->readCount);

    // Calls are counted; array elements are reads and writes.
    FormulaFunction* twice = static_cast<FormulaFunction*>(findNodeByName(c->functions.GetHead(), "twice"));
    FormulaSymbol* a1 = Symbol("a1");
    int calls = twice->callCount, reads = a1->readCount, writes = a1->writeCount;
    s = W("275 #1 [=a1 275 #0 [a1 43 c u:twice");
    s.push_back(0);
    c->countReads(s.data());
    EXPECT_EQ(calls + 1, twice->callCount);
    EXPECT_EQ(writes + 1, a1->writeCount);
    EXPECT_EQ(reads, a1->readCount);   // the same array as the one target
}

TEST_F(Bookkeeping, ConditionsAndInvariants)
{
    const struct {
        const char* stream;
        bool condition;
    } conditions[] = {
        {"r", true}, {"n", true}, {"b", true}, {"c", false}, {"v", false},
        {"#1 [a1", true}, {"#1 [ac", false}, {"c u:twice", false},
        {"r #1 39", true}, {"b 40", true}, {"z 139", true}, {"z 140", true}, {"r #1 8", false},
    };
    for (const auto& t : conditions) {
        Words s = W(t.stream);
        s.push_back(0);
        EXPECT_EQ(t.condition, c->isConditionType(s.data())) << t.stream;
    }

    const struct {
        const char* stream;
        bool invariant;
    } invariants[] = {
        {"#2 pi 10", true},
        {"level #2 10", false},   // a parameter that may change
        {"r #1 8", false},
        {"z", false},
        {"#1 u:twice", false},
        {"275 #1 [a1", false},
        {"#3 114", false},    // random
        {"153", false},       // randomReal
    };
    for (const auto& t : invariants) {
        Words s = W(t.stream);
        s.push_back(0);
        EXPECT_EQ(t.invariant, c->isInvariantExpression(s.data())) << t.stream;
    }
    EXPECT_EQ(FACT_YES, Symbol("level")->runtimeRead);
    EXPECT_EQ(FACT_YES, Symbol("r")->runtimeRead);
    // Parameters whose values are fixed for the calculation are invariant.
    FormulaSymbol* level = Symbol("level");
    level->assigned = FACT_NO;
    level->constant = FACT_YES;
    Words s = W("level #2 10");
    s.push_back(0);
    EXPECT_TRUE(c->isInvariantExpression(s.data()));
    EXPECT_EQ(FACT_NO, level->runtimeRead);
}

// Statements handed straight to the statement compiler: texts the statement
// matcher never passes on (an illegal character, empty dimensions and
// property values).
TEST_F(Bookkeeping, MessagesForTextsTheMatcherStopsEarlier)
{
    std::string text = "z = r ? 1";
    EXPECT_EQ(ACTION_FAILED, c->compileStatement(&text[0], 0, (int)text.size() - 1, Row(40)));
    std::string empty = "x[];";
    EXPECT_EQ(ACTION_FAILED, c->compileStatement(&empty[0], 2, 1, Row(192)));
    strcpy(c->propertyName, "default");
    EXPECT_EQ(0, c->compilePropertyExpression(&empty[0], 2, 1));
    EXPECT_EQ("Error - formula Fixture:\nCompiler error 052 in expression \"z = r ? 1\":\nIllegal character "
              "encountered...\n"
              "Error - formula Fixture:\nCompiler error 072: Array dimension must not be empty\n"
              "Error - formula Fixture:\nCompiler error 070: Empty expression not allowed here\n",
              Joined(MessageLines()));
}

}  // namespace
