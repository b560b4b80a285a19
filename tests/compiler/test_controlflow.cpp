// Control statements compiled and run: if / else if / else chains, while
// loops with one or more conditions, do loops, for loops with several
// initial and iteration expressions, break in each loop, conditions of each
// kind (int comparisons, real comparisons, bool and int values, logical
// operations, function results), loops whose bodies are longer than 64 KB
// of code, and blocks nested thousands deep.
#include <gtest/gtest.h>

#include <string>

#include "tests/compiler/FormulaRunCase.h"

namespace {

struct FlowCase {
    const char* what;
    const char* body;
    const char* variable;
    double expected;
};

const char kDeclarations[] =
    "  int i, j, n, hits;\n  real r, s, t;\n  bool b;\n  complex c;\n"
    "  bool positive(real v) {\n    return(v > 0);\n  }\n"
    "  real next(real v) {\n    return(v + 1);\n  }";

const FlowCase kCases[] = {
    {"if without else: taken", "    n = 1;\n    if (n == 1) {\n      n = 5;\n    }", "n", 5},
    {"if without else: not taken", "    n = 2;\n    if (n == 1) {\n      n = 5;\n    }", "n", 2},
    {"if with else", "    r = 3;\n    if (r < 2) {\n      s = 1;\n    } else {\n      s = 2;\n    }", "s", 2},
    {"chain: the middle branch",
     "    r = 5;\n    if (r < 2) {\n      s = 1;\n    } else if (r < 6) {\n      s = 2;\n    } else if (r < 9) {\n"
     "      s = 3;\n    } else {\n      s = 4;\n    }",
     "s", 2},
    {"chain: the last else",
     "    r = 50;\n    if (r < 2) {\n      s = 1;\n    } else if (r < 6) {\n      s = 2;\n    } else {\n      s = 4;\n"
     "    }\n    s = s * 10;",
     "s", 40},
    {"chain without else, no branch taken",
     "    s = 7;\n    r = 50;\n    if (r < 2) {\n      s = 1;\n    } else if (r < 6) {\n      s = 2;\n    }", "s", 7},
    {"nested ifs",
     "    hits = 0;\n    for (i = 0; i < 10; i = i + 1) {\n      if (i > 2) {\n        if (i < 7) {\n"
     "          hits = hits + 1;\n        } else {\n          hits = hits + 100;\n        }\n      }\n    }",
     "hits", 304},
    {"while loop", "    n = 0;\n    i = 1;\n    while (i < 1000) {\n      i = i * 2;\n      n = n + 1;\n    }", "n", 10},
    {"while with two conditions: the loop ends when either fails",
     "    i = 0;\n    r = 0;\n    while (i < 100, r < 10.5) {\n      i = i + 1;\n      r = r + 1.5;\n    }", "i", 7},
    {"while with two conditions: the first one ends it",
     "    i = 0;\n    r = 0;\n    while (i < 3, r < 10.5) {\n      i = i + 1;\n      r = r + 1.5;\n    }", "r", 4.5},
    {"while loop that never runs", "    n = 3;\n    while (n > 5) {\n      n = n + 1;\n    }", "n", 3},
    {"do loop runs once at least", "    n = 10;\n    do {\n      n = n + 1;\n    } while (n < 5);", "n", 11},
    {"do loop", "    n = 0;\n    do {\n      n = n + 3;\n    } while (n < 20);", "n", 21},
    {"for loop with two initial and two iteration expressions",
     "    for (i = 0, r = 1; i < 5; i = i + 1, r = r * 2) {\n      s = r;\n    }\n    t = r;", "t", 32},
    {"for loop: the iteration expressions run in the order written",
     "    n = 0;\n    for (i = 0, j = 0; i < 4; i = i + 1, j = i * 10) {\n      n = n + j;\n    }", "n", 60},
    {"for loop without condition ends with break",
     "    n = 0;\n    for (i = 0; ; i = i + 1) {\n      if (i == 6) {\n        break;\n      }\n      n = n + i;\n    }",
     "n", 15},
    {"break in a while loop inside an if",
     "    i = 0;\n    while (i < 100) {\n      if (i * i > 50) {\n        break;\n      }\n      i = i + 1;\n    }", "i", 8},
    {"break in a do loop",
     "    i = 0;\n    do {\n      i = i + 1;\n      if (i == 4) {\n        break;\n      }\n    } while (i < 100);", "i", 4},
    {"break leaves the inner loop only",
     "    hits = 0;\n    for (i = 0; i < 5; i = i + 1) {\n      for (j = 0; j < 5; j = j + 1) {\n"
     "        if (j == 2) {\n          break;\n        }\n        hits = hits + 1;\n      }\n    }",
     "hits", 10},
    {"break after else inside a loop",
     "    n = 0;\n    while (n < 100) {\n      if (n < 7) {\n        n = n + 1;\n      } else {\n        break;\n      }\n"
     "    }",
     "n", 7},
    {"int comparisons of every kind",
     "    hits = 0;\n    i = 3;\n    j = 4;\n"
     "    if (i == 3) {\n      hits = hits + 1;\n    }\n    if (i != j) {\n      hits = hits + 2;\n    }\n"
     "    if (i < j) {\n      hits = hits + 4;\n    }\n    if (i <= 3) {\n      hits = hits + 8;\n    }\n"
     "    if (j > i) {\n      hits = hits + 16;\n    }\n    if (j >= 5) {\n      hits = hits + 32;\n    }\n"
     "    if (i > j) {\n      hits = hits + 64;\n    }",
     "hits", 31},
    {"real comparisons and logical operations",
     "    hits = 0;\n    r = 0.5;\n    s = -0.5;\n"
     "    if (r > s && s < 0) {\n      hits = hits + 1;\n    }\n    if (r < s || s == -0.5) {\n      hits = hits + 2;\n    }\n"
     "    if (!(r < s)) {\n      hits = hits + 4;\n    }\n    if (r >= 0.5 && r <= 0.5) {\n      hits = hits + 8;\n    }\n"
     "    if (r != 0.5) {\n      hits = hits + 16;\n    }",
     "hits", 15},
    {"bool, int and real values as conditions",
     "    hits = 0;\n    b = true;\n    i = 0;\n    r = 0.25;\n"
     "    if (b) {\n      hits = hits + 1;\n    }\n    if (i) {\n      hits = hits + 2;\n    }\n"
     "    if (r) {\n      hits = hits + 4;\n    }\n    b = false;\n    if (b) {\n      hits = hits + 8;\n    }",
     "hits", 5},
    {"a complex comparison and the squared modulus",
     "    hits = 0;\n    c = (3, 4);\n    if (|c| == 25) {\n      hits = hits + 1;\n    }\n"
     "    if (c == (3, 4)) {\n      hits = hits + 2;\n    }",
     "hits", 3},
    {"a function result as a condition",
     "    hits = 0;\n    if (positive(2)) {\n      hits = hits + 1;\n    }\n    if (positive(-2)) {\n      hits = hits + 2;\n"
     "    }\n    while (positive(3 - hits)) {\n      hits = hits + 1;\n    }",
     "hits", 3},
    {"calls in the condition and the iteration expression of a for loop and in a do condition",
     "    n = 0;\n    for (r = 0; positive(4 - r); r = next(r)) {\n      n = n + 1;\n    }\n"
     "    do {\n      r = next(r);\n    } while (positive(10 - r));\n    n = n * 100 + r;",
     "n", 410},
    {"isNaN and isFinite",
     "    hits = 0;\n    r = 0;\n    s = 0 / r;\n    if (isNaN(s)) {\n      hits = hits + 1;\n    }\n"
     "    if (isFinite(r)) {\n      hits = hits + 2;\n    }",
     "hits", 3},
};

class ControlFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(ControlFlow, RunsAsWritten)
{
    const FlowCase& c = GetParam();
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula(kDeclarations, c.body))) << c.what;
    EXPECT_TRUE(Holds(run, c.variable, {c.expected})) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Statements, ControlFlow, ::testing::ValuesIn(kCases));

// Loop bodies of more than 64 KB of code: the jumps back to the condition
// and the exits of conditions and breaks reach over them.
TEST(LongLoops, JumpOverMoreThan64KB)
{
    std::string statements;
    for (int k = 0; k < 1200; k++)
        statements += "      t = sin(t) + cos(t) * 0;\n";   // about 60 bytes of code each
    const char* loops[] = {
        "    n = 0;\n    t = 0.5;\n    while (n < 3) {\n      if (n == 7) {\n        break;\n      }\n%s      n = n + 1;\n"
        "    }",
        "    n = 0;\n    t = 0.5;\n    do {\n      if (n == 7) {\n        break;\n      }\n%s      n = n + 1;\n"
        "    } while (n < 3);",
        "    t = 0.5;\n    for (n = 0; n < 3; n = n + 1) {\n      if (n == 7) {\n        break;\n      }\n%s    }",
        "    n = 0;\n    t = 0.5;\n    while (n < 100) {\n%s      n = n + 1;\n      if (n == 3) {\n        break;\n      }\n"
        "    }",
    };
    for (const char* loop : loops) {
        std::string body = loop;
        body.replace(body.find("%s"), 2, statements);
        FormulaRun run;
        ASSERT_TRUE(RunInit(run, InitFormula(kDeclarations, body)));
        EXPECT_TRUE(Holds(run, "n", {3})) << loop;
        FormulaFunction* init = findFunction(&run.Holder()->compiler->functions, "Vinit@@");
        ASSERT_NE(nullptr, init);
        EXPECT_GT(init->codeLength, 65536u * 1);
    }
}

// Blocks nested thousands deep, the loop kinds, if and else taking turns:
// every "}" and "break" belongs to the innermost open block of its kind, so
// each level adds one to n exactly once. A statement matched against an
// outer block ends a loop too early or takes an else, and n comes out wrong.
TEST(DeepNesting, EveryLevelRunsOnce)
{
    const int levels = 2000;
    const char* opening[] = {"while (n >= 0) {\n", "if (n >= 0) {\n", "for (j = 0; j < 1; j = j + 1) {\n",
                             "do {\n"};
    const char* closing[] = {"n = n + 1;\nbreak;\n}\n", "n = n + 1;\n} else {\nn = n - 1000000;\n}\n",
                             "n = n + 1;\n}\n", "n = n + 1;\n} while (n < 0);\n"};
    std::string body = "    n = 0;\n";
    for (int k = 0; k < levels; k++)
        body += opening[k % 4];
    for (int k = levels - 1; k >= 0; k--)
        body += closing[k % 4];
    FormulaRun run;
    ASSERT_TRUE(RunInit(run, InitFormula(kDeclarations, body)));
    EXPECT_TRUE(Holds(run, "n", {levels}));
}

}  // namespace
