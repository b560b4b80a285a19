// The text steps before the lexer (bars of absolute values, allowed
// characters), the lexer's element streams, the symbols and function
// parameters it makes, its modes and failures, and the in-place shift of
// streams.
#include "tests/compiler/ExpressionFixture.h"

using namespace expr;

namespace {

TEST(ExpressionText, BarsPairPerParenthesisDepth)
{
    FormulaCompiler compiler;
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"|z|+|c|", "#z$+#c$"},
        {"|(|a|)|", "#(#a$)$"},
        {"a || b", "a || b"},              // a logical or stays
        {"|a| || |b|", "#a$ || #b$"},
        {"s == \"|x|\" + |y|", "s == \"|x|\" + #y$"},   // bars in quotes are text
        {")|z|(", ")#z$("},                // unbalanced brackets: clamped, no harm
    };
    for (const auto& t : cases) {
        compiler.prepareExpression(t.in);
        EXPECT_STREQ(t.out, static_cast<const char*>(compiler.expressionText->GetData())) << t.in;
    }
    // A deep nesting beyond the hundred tracked depths is clamped.
    std::string deep(150, '(');
    deep += "|x|" + std::string(150, ')');
    compiler.prepareExpression(deep.c_str());
    std::string prepared = static_cast<const char*>(compiler.expressionText->GetData());
    EXPECT_EQ(std::string(150, '(') + "#x$" + std::string(150, ')'), prepared);
}

TEST(ExpressionText, CharactersOutsideQuotes)
{
    const struct {
        const char* text;
        int illegal;
    } cases[] = {
        {"a_1 = (b[2] + 3.5e2) * c / d ^ e % f", 0},
        {"a && b || !c != d >= e <= f < g > h", 0},
        {"#z$, \t\r\n", 0},
        {"s == \"any; thing: @{}~\"", 0},
        {"a; b", 1}, {"a : b", 1}, {"a ? b", 1}, {"a @ b", 1}, {"{a}", 1},
        {"a ~ b", 1}, {"a' b", 1}, {"a \\ b", 1}, {"caf\xe9", 1},
    };
    for (const auto& t : cases)
        EXPECT_EQ(t.illegal, FormulaCompiler::checkCharacters(t.text)) << t.text;
}

typedef ExpressionTest Lexer;

TEST_F(Lexer, ElementStreams)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"r - -3", "r 9 #-3"},
        {"r + -c", "r 8 13 c"},
        {"r - -c", "r 9 13 c"},
        {"+r - 1", "r 9 #1"},
        {"2*z", "#2 10 z"},
        {"sin z", "1 z"},
        {"sin(z)", "1 265 z 266"},
        {"log10(z) + log(z) + ln z", "16 265 z 266 8 14 265 z 266 8 14 z"},
        {"#z$", "269 z 270"},   // bars as prepareExpression leaves them
        {"r || n && b", "r 33 n 32 b"},
        {"r <= n != b >= k", "r 36 n 37 b 35 k"},
        {"!b", "40 b"},
        {"a1[n, 1]", "[a1 265 n 86 #1 266"},
        {"a1 [n]", "[a1 265 n 266"},
        {"twice(c)", "u:twice 265 c 266"},
        {"fn(z) + mix(c1, c2)", "f:fn 265 z 266 8 f:mix 265 c1 86 c2 266"},
        {"true + false", "#1 8 #0"},
        {"rgb(r, r, r) * 2", "103 265 r 86 r 86 r 266 10 #2"},
        {"r % n", "r 61 n"},
        {"oldz(z)", "62 265 z 266"},
        {"random.real()", "153 265 266"},
    };
    for (const auto& t : cases)
        EXPECT_EQ(W(t.expected), Lex(t.text)) << t.text;
}

TEST_F(Lexer, NamesOfFunctionsBeforeOperatorsAreVariables)
{
    // A one-operand function name followed by an operator reads as a
    // variable, which does not exist.
    int result;
    Lex("sin + 1", EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
    EXPECT_EQ("sin", Message());
    // A function of several arguments needs its bracket.
    Lex("rgb r", EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
    EXPECT_EQ("rgb", Message());
    // trafoHistory is a builtin of attractor formulas only: elsewhere the
    // call is a function parameter's.
    Words w = Lex("trafoHistory(1)", EXPRESSION_STATEMENT, &result);
    ASSERT_EQ(LEX_OK, result);
    EXPECT_TRUE(IsFuncParameterCall(w[0]));
}

TEST_F(Lexer, GradientOfInsideColourings)
{
    EXPECT_EQ(W("115 265 r 266"), Lex("gradient(r)"));
    c->kind = FK_COLORING;
    c->insideColoring = 1;
    EXPECT_EQ(W("137 265 r 266"), Lex("gradient(r)"));
    c->insideColoring = 0;
    EXPECT_EQ(W("115 265 r 266"), Lex("gradient(r)"));
}

TEST_F(Lexer, ConstantsOutsideTheSmallIntegersBecomeSymbols)
{
    int before = c->symbols.Count();
    EXPECT_EQ(W("#2 10 z 8 #-10 8 #10"), Lex("2*z + -10 + 10"));
    EXPECT_EQ(before, c->symbols.Count());

    int top = c->dataTop;
    Words w = Lex("0.5*z + 11");
    ASSERT_EQ(before + 2, c->symbols.Count());
    FormulaSymbol* half = static_cast<FormulaSymbol*>(c->symbols.GetAt(before));
    FormulaSymbol* eleven = static_cast<FormulaSymbol*>(c->symbols.GetAt(before + 1));
    EXPECT_EQ((Words{OPC_VARIABLE, half->id, 10, OPC_VARIABLE, Id("z"), 8, OPC_VARIABLE, eleven->id}), w);
    EXPECT_EQ(0, strncmp(half->name, "INFO:some constant value ", 25));
    EXPECT_STRNE(half->name, eleven->name);
    EXPECT_EQ(SYM_CONSTANT, half->symbolClass);
    EXPECT_EQ(DT_REAL, half->dataType);
    EXPECT_EQ(DT_REAL, half->currentType);
    EXPECT_EQ(PREC_DOUBLE, half->precision);
    EXPECT_EQ(0.5, half->value[0]);
    EXPECT_EQ(0, half->variability);
    EXPECT_EQ(FACT_NO, half->assigned);
    EXPECT_EQ(FACT_YES, half->constant);
    EXPECT_EQ(DT_INT, eleven->dataType);
    EXPECT_EQ(11.0, eleven->value[0]);
    // Slots from the data top, aligned to 8.
    int expected = top;
    alignSlot(&expected, 8);
    EXPECT_EQ(expected, half->dataOffset);
    EXPECT_EQ(half->dataOffset + 8, eleven->dataOffset);
    EXPECT_EQ(eleven->dataOffset + 4, c->dataTop);

    // Complex, vector and quaternion constants; (1, 0) is the small 1.
    w = Lex("(1, 0) + (1, 2) + 3i + (1, 2, 3) + (1, 2, 3, 4)");
    ASSERT_EQ(before + 6, c->symbols.Count());
    EXPECT_EQ(encodeSmallInt(1), w[1]);
    const int types[] = {DT_COMPLEX, DT_COMPLEX, DT_VECTOR, DT_QUATERNION};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(types[i], static_cast<FormulaSymbol*>(c->symbols.GetAt(before + 2 + i))->dataType);
    FormulaSymbol* imaginary = static_cast<FormulaSymbol*>(c->symbols.GetAt(before + 3));
    EXPECT_EQ(0.0, imaginary->value[0]);
    EXPECT_EQ(3.0, imaginary->value[1]);
}

TEST_F(Lexer, TextsNameFunctionsAndEnumerators)
{
    int before = c->symbols.Count();
    Words w = Lex("mode == \"TWO\"");
    ASSERT_EQ(before + 1, c->symbols.Count());
    FormulaSymbol* s = static_cast<FormulaSymbol*>(c->symbols.GetTail());
    EXPECT_EQ((Words{OPC_VARIABLE, Id("mode"), 34, OPC_VARIABLE, s->id}), w);
    EXPECT_EQ(DT_INT, s->dataType);
    EXPECT_EQ(DT_ENUM, s->precision);
    EXPECT_EQ(1.0, s->value[0]);

    // After a function parameter read as a value: its function table.
    w = Lex("fn == \"Cosh\"");
    s = static_cast<FormulaSymbol*>(c->symbols.GetTail());
    EXPECT_EQ((Words{FuncParameter("fn"), 34, OPC_VARIABLE, s->id}), w);
    EXPECT_EQ(5.0, s->value[0]);
    w = Lex("mix == \"mergescreen\"");
    EXPECT_EQ(2.0, static_cast<FormulaSymbol*>(c->symbols.GetTail())->value[0]);

    const struct {
        const char* text;
        const char* message;
    } failures[] = {
        {"mode == \"three\"", "Enumerator \"three\" not found in parameter \"mode\""},
        {"fn == \"mergescreen\"", "Function name \"mergescreen\" not found for function \"fn\""},
        {"\"one\" == mode", "Encountered enumerator (string) \"one\", but did not find a corresponding variable."},
    };
    for (const auto& f : failures) {
        int result;
        Lex(f.text, EXPRESSION_STATEMENT, &result);
        EXPECT_EQ(LEX_NOT_RESOLVED, result) << f.text;
        EXPECT_EQ(f.message, Message());
    }
}

TEST_F(Lexer, CallsMakeAndReuseFunctionParameters)
{
    int count = c->funcParameters.Count();
    Words w = Lex("g(z) + g(c) + h(z)");
    ASSERT_EQ(count + 2, c->funcParameters.Count());
    auto* g = static_cast<FormulaFuncParameter*>(c->funcParameters.GetAt(count));
    auto* h = static_cast<FormulaFuncParameter*>(c->funcParameters.GetAt(count + 1));
    EXPECT_STREQ("g", g->name);
    EXPECT_EQ(count + 1, g->id);
    EXPECT_EQ(count + 2, h->id);
    EXPECT_LT(g->order, h->order);
    EXPECT_EQ(OPC_FUNC_PARAMETER + g->id, w[0]);
    EXPECT_EQ(OPC_FUNC_PARAMETER + g->id, w[6]);
    EXPECT_EQ(OPC_FUNC_PARAMETER + h->id, w[12]);

    // Section names are function parameters even where a user function of
    // that name exists; other user functions are called and counted.
    FormulaFunction* twice = static_cast<FormulaFunction*>(findNodeByName(c->functions.GetHead(), "twice"));
    int calls = twice->callCount;
    w = Lex("init(z) + twice(z)");
    EXPECT_TRUE(IsFuncParameterCall(w[0]));
    EXPECT_STREQ("init", findFuncParameterById(c->funcParameters.GetHead(), w[0] - OPC_FUNC_PARAMETER)->name);
    EXPECT_EQ(UserFunction("twice"), w[6]);
    EXPECT_EQ(calls + 1, twice->callCount);
}

TEST_F(Lexer, ModesOfPropertyValues)
{
    int result;
    // "visible" and "enabled": predefined values and parameters only.
    EXPECT_EQ(W("level 39 #1"), Lex("level > 1", EXPRESSION_VISIBILITY, &result));
    EXPECT_EQ(W("pi 39 #1"), Lex("pi > 1", EXPRESSION_VISIBILITY, &result));
    Lex("r > 1", EXPRESSION_VISIBILITY, &result);
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
    EXPECT_EQ("r", Message());
    // "default": fixed predefined values only.
    EXPECT_EQ(W("pi 11 #2"), Lex("pi/2", EXPRESSION_DEFAULT, &result));
    Lex("level*2", EXPRESSION_DEFAULT, &result);
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
    EXPECT_EQ("level", Message());
    Lex("z", EXPRESSION_DEFAULT, &result);   // predefined, but changes
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
}

TEST_F(Lexer, FailuresAndUsageFlags)
{
    int result;
    Lex("r & n", EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(LEX_ILLEGAL_CHARACTER, result);
    Lex("r + .", EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(LEX_ILLEGAL_CHARACTER, result);
    Lex("r + nothere", EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
    EXPECT_EQ("nothere", Message());
    std::string longName(400, 'x');
    Lex(longName.c_str(), EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(LEX_NAME_NOT_FOUND, result);
    EXPECT_EQ(299u, Message().size());

    memset(c->usageFlags, 0, sizeof c->usageFlags);
    Lex("numiter + lastsqr", EXPRESSION_STATEMENT, &result);
    EXPECT_EQ(1, c->usageFlags[0]);
    EXPECT_EQ(1, c->usageFlags[1]);
    EXPECT_EQ(0, c->usageFlags[2]);
    EXPECT_EQ(0, c->usageFlags[3]);
}

TEST(ElementShift, DeletesAndInserts)
{
    // Deletion: the words from 4 on move down to 2, through the first pair
    // of end words.
    int32_t s[] = {268, 5, 268, 6, 8, 43, 0, 0, 77};
    shiftElements(s, 2, 4);
    const int32_t deleted[] = {268, 5, 8, 43, 0, 0, 0, 0, 77};
    EXPECT_EQ(0, memcmp(deleted, s, sizeof deleted));
    // Positions relative to a pointer into the stream, negative ones too.
    int32_t t[] = {1, 2, 3, 4, 0, 0, 9};
    shiftElements(t + 2, -1, 0);
    const int32_t shifted[] = {1, 3, 4, 0, 0, 0, 9};
    EXPECT_EQ(0, memcmp(shifted, t, sizeof shifted));
    // Insertion: room of two words at position 1, the rest moved up
    // intact.
    int32_t u[10] = {10, 11, 12, 0, 0, 55, 55, 55, 55, 55};
    shiftElements(u, 3, 1);
    EXPECT_EQ(10, u[0]);
    const int32_t moved[] = {11, 12, 0, 0};
    EXPECT_EQ(0, memcmp(moved, u + 3, sizeof moved));
    EXPECT_EQ(55, u[7]);
}

}  // namespace
