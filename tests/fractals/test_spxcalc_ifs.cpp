// spxcalc ifs-eval and spxcalc formulas as a user runs them: expression
// values and parse codes in one context ("rand" going on between
// expressions), the parameters, and formula files listed and saved again.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <string>

#include "tests/support/ToolRunner.h"

namespace {

std::string Value(double re, double im)
{
    char text[80];
    snprintf(text, sizeof text, "(%.10g,%.10g)\n", re, im);
    return text;
}

// The outputs of "rand" from the context's seed on.
double Rand(int n)
{
    unsigned x = 1321885735u;
    x = (unsigned)(((unsigned long long)x * 3677 + 3680) % 2147483648u);
    for (int i = 1; i < n; i++)
        x = (unsigned)(((unsigned long long)x * 3677 + 3) % 2147483648u);
    return 2.0 * x / 2147483647.0 - 1.0;
}

std::string TempFile(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "spx_ifs_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

}  // namespace

TEST(SpxcalcIfs, EvaluatesExpressions)
{
    struct Case {
        const char* arguments;
        std::string output;
    } cases[] = {
        {"\"2^2\" \"i*i\" \"|3+4*i|\" \"round(-1.7)\" \"ln(-1)\"",
         Value(4, 0) + Value(-1, 0) + Value(25, 0) + Value(-1, 0) + Value(0, -3.1415926535)},
        {"\"z+\" \"a&b\" \"0.5 * p1\" \"(z\" \"z+(v=2)\" \"2=z\" \"\"",
         "error=5\nerror=3\nerror=2\nerror=1\nerror=7\nerror=8\nerror=5\n"},
        // The context of a default 640x480 IFS fractal.
        {"width height maxiter left top bailout", Value(640, 0) + Value(480, 0) + Value(10000, 0) + Value(-5, 0) +
                                                      Value(11, 0) + Value(4, 0)},
        {"--p1 3 --p4 -0.5 \"p1*2\" \"p4\" \"p2\"", Value(6, 0) + Value(-0.5, 0) + Value(0, 0)},
        // "rand" goes on from one expression to the next; srand restarts it.
        {"rand \"rand+0\" \"srand(7)*0+rand\"", Value(Rand(1), 0) + Value(Rand(2), 0) +
                                                    Value(2.0 * 29419 / 2147483647 - 1, 0)},
        // No variable slots: a variable reads 0 and a store goes nowhere.
        {"\"v=2*3\" \"v+1\" \"sqrt(-4)\" \"2^0.5\"", Value(6, 0) + Value(1, 0) + Value(0, 2) + Value(sqrt(2.0), 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        ToolRun run = RunSibling("spxcalc.exe", std::string("ifs-eval ") + c.arguments);
        EXPECT_EQ(run.exitCode, 0u) << run.errors;
        EXPECT_EQ(run.output, c.output);
    }
    for (const char* bad : {"ifs-eval", "ifs-eval --p1", "formulas", "formulas --save-all ifs"}) {
        SCOPED_TRACE(bad);
        ToolRun run = RunSibling("spxcalc.exe", bad);
        EXPECT_NE(run.exitCode, 0u);
        EXPECT_FALSE(run.errors.empty());
    }
}

TEST(SpxcalcIfs, ListsAndSavesFormulaFiles)
{
    std::string ifs = TempFile("a.ifs"), lsystem = TempFile("a.l"), out = TempFile("out.ifs");
    ASSERT_TRUE(WriteWholeFile(ifs, "comment { 1 }\nLeaf { ; two maps\n 0.5 0 0 0.5 0 0 0.4\n sin(p1) 0 0 0 1 0 0 0 1 0 0 0 0.6\n}\n"
                                    "leaf {\n 1 0 0 1 0 0 1\n}\n"));
    ASSERT_TRUE(WriteWholeFile(lsystem, "Koch {\n Axiom F\n F=F+F\n}\n"));
    std::string shipped = SPIRALIX_TEST_DATA;
    shipped = shipped.substr(0, shipped.size() - strlen("tests/data")) + "Formulas/Spiralix.ifs";

    ToolRun run = RunSibling("spxcalc.exe", "formulas \"" + ifs + "\" \"" + lsystem + "\" \"" + shipped +
                                                "\" --save-all ifs \"" + out + "\"");
    EXPECT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(run.output, "ifs Fern\nifs Leaf\nifs leaf.1\nlsystem Koch\n");
    std::string saved = ReadWholeFile(out);
    EXPECT_EQ(saved.substr(0, saved.find("Leaf  {")),
              "Fern  {\r\n 0 0 0 0 0.16 0 0 0 1 0 0 0 0.01\r\n 0.85 0.04 0 -0.04 0.85 0 0 0 1 0 1.6 0 0.85\r\n"
              " 0.2 -0.26 0 0.23 0.22 0 0 0 1 0 1.6 0 0.07\r\n -0.15 0.28 0 0.26 0.24 0 0 0 1 0 0.44 0 0.07\r\n}"
              "\r\n\r\n");
    EXPECT_NE(saved.find("Leaf  {\r\n 0.5 0 0 0 0.5 0 0 0 1 0 0 0 0.4\r\n SIN(P1) 0 0 0 1 0 0 0 1 0 0 0 0.6\r\n}"
                         "\r\n\r\nleaf.1  {\r\n 1 0 0 0 1 0 0 0 1 0 0 0 1\r\n}\r\n\r\n"),
              std::string::npos)
        << saved;

    // What was saved loads again to the same list.
    ToolRun again = RunSibling("spxcalc.exe", "formulas \"" + out + "\"");
    EXPECT_EQ(again.output, "ifs Fern\nifs Leaf\nifs leaf.1\n");
    for (const std::string& f : {ifs, lsystem, out})
        DeleteFileA(f.c_str());
}
