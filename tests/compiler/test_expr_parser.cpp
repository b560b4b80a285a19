// The precedence parser's postfix order, its errors, and the pipeline
// around it: the stream it hands on, the parse cache and the removal of
// x = x.
#include "tests/compiler/ExpressionFixture.h"

#include "document/Fractal.h"

using namespace expr;

namespace {

typedef ExpressionTest Parser;

TEST_F(Parser, PostfixOrder)
{
    const struct {
        const char* text;
        const char* postfix;   // as the parser writes it, bracket markers included
    } cases[] = {
        {"(r + n) * c", "265 r n 8 266 c 10"},
        {"r + n * c", "r n c 10 8"},
        {"r - n - c", "r n 9 c 9"},
        {"r % n * 2", "r n 61 #2 10"},
        {"-r^2", "r 13 #2 12"},                  // prefix binds tighter than ^
        {"r^n^2", "r n 12 #2 12"},               // ^ is left associative
        {"sin r^2", "r 1 #2 12"},
        {"sin(z) + 1", "265 z 266 1 #1 8"},
        {"r && n || b", "r n 32 b 33"},
        {"r || n && b", "r n 33 b 32"},          // one level for both
        {"r < n + 1 && b", "r n #1 8 38 b 32"},
        {"!b && n == 2", "b 40 n #2 34 32"},
        {"r = n + c", "=r n c 8 43"},
        {"r = n = 1", "=r =n #1 43 43"},         // = is right associative
        {"a1[n] = r", "275 265 n 266 [=a1 r 43"},
        {"a1[n + 1] + r", "275 265 n #1 8 266 [a1 r 8"},
        {"a2[n, 1] = a1[2]", "275 265 n #1 266 [=a2 275 265 #2 266 [a1 43"},
        {"twice(c) * 2", "265 c 266 u:twice #2 10"},
        {"mix(c1, c2)", "265 c1 c2 266 f:mix"},
        {"mix(c1, c2,)", "265 c1 c2 266 f:mix"},  // a comma before ")" is dropped
        {"rgb(r, n + 1, 2)", "265 r n #1 8 #2 266 103"},
        {"|z| + |c|", "z 80 c 80 8"},
        {"|(|r|)|", "265 r 80 266 80"},
        {"|r + n| * 2", "r n 8 80 #2 10"},
    };
    for (const auto& t : cases) {
        int result = 0;
        EXPECT_EQ(W(t.postfix), Parse(t.text, &result)) << t.text;
        EXPECT_EQ(-(int)(W(t.postfix).size() + 1) * 4, result) << t.text;
    }
}

TEST_F(Parser, Errors)
{
    const struct {
        const char* text;
        int error;
    } cases[] = {
        {"r + n = c", PARSE_ASSIGNMENT},
        {"sin(r) = 1", PARSE_ASSIGNMENT},
        {"r)", PARSE_SYNTAX},
        {"(r", PARSE_SYNTAX},
        {"(r + n))", PARSE_SYNTAX},
        {"r, n", PARSE_SYNTAX},
        {"|r", PARSE_SYNTAX},
        {"r ; n", PARSE_ILLEGAL_CHARACTER},
        {"r & n", PARSE_UNKNOWN_OPERAND},
        {"nothere + 1", PARSE_NAME_NOT_FOUND},
        {"mode == \"x\"", PARSE_NOT_RESOLVED},
    };
    for (const auto& t : cases) {
        int result = 0;
        Parse(t.text, &result);
        EXPECT_EQ(t.error, result) << t.text;
    }
}

TEST_F(Parser, PipelineStreams)
{
    const struct {
        const char* text;
        const char* stream;    // markers removed
    } cases[] = {
        {"c = (r + n) * c", "=c r n 8 c 10 43"},
        {"c = twice((c))", "=c c u:twice 43"},
        {"z = z + 0", "=z z #0 8 43"},
        {"z = z", ""},                            // compiles to nothing
        {"r = r", ""},
        {"a1[n] = a1[n]", "275 n [=a1 275 n [a1 43"},
    };
    for (const auto& t : cases) {
        int result = -99;
        EXPECT_EQ(W(t.stream), Process(t.text, &result)) << t.text;
        EXPECT_EQ((int)W(t.stream).size(), result) << t.text;
    }
    int result;
    Process("r +", &result);
    EXPECT_EQ(PIPELINE_OPERAND_COUNT, result);
    Process("r n", &result);
    EXPECT_EQ(PIPELINE_OPERAND_COUNT, result);
    Process("r ; n", &result);
    EXPECT_EQ(-PARSE_ILLEGAL_CHARACTER, result);
}

TEST_F(Parser, ParseCacheByTextOffset)
{
    c->clearParseCache();
    const int key = 777;
    int symbols = c->symbols.Count();
    int result;
    Words first = Process("z = 0.5*z + r", &result, EXPRESSION_STATEMENT, key, true);
    ASSERT_EQ(symbols + 1, c->symbols.Count());
    ASSERT_EQ(1, c->parseCache.Count());
    // The entry: word count, the stream with its end word, the text.
    const int32_t* block = static_cast<const int32_t*>(c->parseCache.GetHead()->data);
    EXPECT_EQ((int)first.size(), block[0]);
    EXPECT_EQ(first, Words(block + 1, block + 1 + block[0]));
    EXPECT_EQ(0, block[1 + block[0]]);
    EXPECT_STREQ("z = 0.5*z + r", reinterpret_cast<const char*>(block + 2 + block[0]));

    // The same place again: the stored stream, no lexing, no new constant.
    EXPECT_EQ(first, Process("z = 0.5*z + r", &result, EXPRESSION_STATEMENT, key, true));
    EXPECT_EQ(symbols + 1, c->symbols.Count());
    // Another place is parsed on its own.
    Process("z = 0.5*z + r", &result, EXPRESSION_STATEMENT, key + 1, true);
    EXPECT_EQ(symbols + 2, c->symbols.Count());
    EXPECT_EQ(2, c->parseCache.Count());
    // In the first cycle without the cache flag the text is parsed again;
    // its entry replaces the old one.
    Process("z = 0.5*z + r", &result, EXPRESSION_STATEMENT, key, false);
    EXPECT_EQ(symbols + 3, c->symbols.Count());
    EXPECT_EQ(2, c->parseCache.Count());
    // Expressions that fail are not kept.
    Process("z = nothere", &result, EXPRESSION_STATEMENT, key + 2, true);
    EXPECT_EQ(-PARSE_NAME_NOT_FOUND, result);
    EXPECT_EQ(2, c->parseCache.Count());
    // Offsets of the compiler's own generated text are never cached.
    c->generatedTextMode = 2;
    Process("z = 0.5*z + r", &result, EXPRESSION_STATEMENT, key, true);
    EXPECT_EQ(symbols + 4, c->symbols.Count());
    EXPECT_EQ(2, c->parseCache.Count());
    c->generatedTextMode = 0;

    c->clearParseCache();
    EXPECT_EQ(0, c->parseCache.Count());
}

TEST_F(Parser, LaterPassesUseTheStoredStreams)
{
    // A compile for a fractal runs three passes: each expression is lexed
    // once, so no constant is made twice.
    const char* text =
        "P {\n"
        "  real r;\n"
        "  void init(void) {\n"
        "    r = 0.25;\n"
        "  }\n"
        "  void loop(void) {\n"
        "    z = z*z + 1.5;\n"
        "  }\n"
        "  bool bailout(void) {\n"
        "    return(|z| > 4.5);\n"
        "  }\n"
        "}\n";
    Fractal fractal;
    FormulaHolder h(FK_ITERATION);
    ASSERT_TRUE(h.compiler->compile(text, 0, -128, nullptr, nullptr, &fractal, "P", SK_PLANE, nullptr, false, false));
    int constants = 0;
    for (ListNode* n = h.compiler->symbols.GetHead(); n; n = n->next)
        constants += strncmp(n->name, "INFO:some constant value", 24) == 0;
    EXPECT_EQ(3, constants);
}

}  // namespace
