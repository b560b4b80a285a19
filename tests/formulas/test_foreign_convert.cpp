// The Fractint and UltraFractal converters on single entries: whole
// conversions compared as exact text, and tables of the edge cases that
// went wrong before (keywords inside names, exponents taken for names,
// groups the compiler does not know, the imaginary unit, reserved names).
#include <gtest/gtest.h>

#include <string>

#include "formulas/convert/FractintConverter.h"
#include "formulas/convert/UltraFractalConverter.h"

namespace {

std::string Fractint(const char* entry)
{
    FractintConverter converter;
    return converter.Convert(entry) ? converter.Output() : "FAILED";
}

std::string Ultra(int mode, const char* entry)
{
    UltraFractalConverter converter;
    converter.mode = mode;
    return converter.Convert(entry) ? converter.Output() : "FAILED";
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(FractintConverter, ConvertsAWholeEntry)
{
    EXPECT_EQ("Mandel (XAXIS) { //the set\n"
              "complex c;\n"
              "\n"
              "\tvoid init(void)\n"
              "\t{\n"
              "\t\tz = pixel;\n"
              "\t\tc = pixel;\n"
              "\t}\n"
              "\tvoid loop(void)\n"
              "\t{\n"
              "\t\tz = z*z + c;\n"
              "\t}\n"
              "\tbool bailout(void)\n"
              "\t{\n"
              "\t\treturn(|z| <= 4 && !overflowOccurred);\t\t//radius 2\n"
              "\t}\n"
              "\tvoid description(void)\n"
              "\t{\n"
              "\t\tthis.title=\"Mandel\";\n"
              "\n"
              "\t}\n"
              "}",
              Fractint("Mandel (XAXIS) { ;the set\n  z = pixel, c = pixel:\n  z = z*z + c\n  |z| <= 4 ;radius 2\n}"));
}

TEST(FractintConverter, DescribesParametersAndFunctions)
{
    std::string out = Fractint("J {\n  z = pixel:\n  z = fn1(z) + p1, |z| < 4\n}");
    EXPECT_TRUE(Has(out, "J {\nparameter complex p1;\n\n\tvoid init(void)")) << out;
    EXPECT_TRUE(Has(out, "\t\tthis.title=\"J\";\n\n"
                         "\t\tp1.caption=\"p1\";\n\t\tp1.default=(0,0);\n"
                         "\t\tp1.hint=\"Parameter for formula. Change it and watch the result.\";\n\n"
                         "\t\tfn1.caption=\"Function 1\";\n\t\tfn1.default=\"sinh\";\n"
                         "\t\tfn1.hint=\"Choose a function and watch the result.\";\n\n\t}\n}"))
        << out;
}

// Each row: an entry, a text its conversion must hold (or "FAILED").
struct Case {
    const char* what;
    const char* entry;
    const char* expected;
};

const Case kFractintCases[] = {
    {"a name beginning with a keyword is a variable", "F {\n  iffy = 1:\n  z = z + iffy\n  |z| < 4\n}",
     "\t\tiffy = 1;\n"},
    {"a condition with its own parentheses is not wrapped again", "F {\n  z = 0:\n  if (z == 0)\n  z = 1\n  endif\n  |z| < 4\n}",
     "if  (z == 0)\n\t\t{"},
    {"two parenthesised parts get an outer pair", "F {\n  z = 0:\n  if (z == 0) && (1 < 2)\n  z = 1\n  endif\n  |z| < 4\n}",
     "((z == 0) && (1 < 2))"},
    {"an exponent is part of its number", "F {\n  z = 1e5:\n  z = z*z + pixel, |z| < 2.5e3\n}", "z = 1e5;"},
    {"x is renamed", "F {\n  x = pixel:\n  z = x*x, |z| < 4\n}", "complex var_x;\n"},
    {"one loop statement bails out on z", "F {\n  z = 0:\n  z = z*z + pixel\n}",
     "\t\treturn(z!=0 && !overflowOccurred);"},
    {"without a colon the last statement is the test", "F {\n  z = pixel, z = z*z, |z| < 4\n}",
     "\tvoid init(void)\n\t{\n\t\tz = pixel;\n\t\tz = z*z;\n\t}\n\tbool bailout(void)\n\t{\n\t\treturn(|z| < 4 && "},
    {"continued lines are joined", "F {\n  z = 0:\n  z = z*z \\  \n    + pixel, |z| < 4\n}", "z = z*z + pixel;"},
    {"a _NOPARM group is dropped", "F (XAXIS_NOPARM) {\n  z = 0:\n  z = z*z + pixel, |z| < 4\n}", "F  {"},
    {"an unknown group fails", "F (PI_SYM) {\n  z = 0:\n  z = z*z, |z| < 4\n}", "FAILED"},
    {"a short statement needs a comma", "F {\n  z = 0:\n  z\n  |z| < 4\n}", "FAILED"},
    {"else and else-if blocks", "F {\n  z = 0:\n  if (z == 0)\n  z = 1\n  elseif (z == 1)\n  z = 2\n  else\n  z = 3\n  endif\n  |z| < 4\n}",
     "\t\t}\n\t\telse if  (z == 1)\n\t\t{\n\t\t\tz = 2;\n\t\t}\n\t\telse\n\t\t{\n\t\t\tz = 3;\n\t\t}"},
};

TEST(FractintConverter, EdgeCases)
{
    for (const Case& c : kFractintCases) {
        std::string out = Fractint(c.entry);
        if (std::string(c.expected) == "FAILED")
            EXPECT_EQ("FAILED", out) << c.what;
        else
            EXPECT_TRUE(Has(out, c.expected)) << c.what << "\n" << out;
    }
}

TEST(UltraFractalConverter, ConvertsAWholeIterationFormula)
{
    EXPECT_EQ("Julia {\n"
              "parameter complex seed;\n"
              "\n"
              "\tvoid init(void)\n"
              "\t{\n"
              "\t\tz = pixel;\n"
              "\t}\n"
              "\tvoid loop(void)\n"
              "\t{\n"
              "\t\tz = z^2 + seed;\n"
              "\t}\n"
              "\tbool bailout(void)\n"
              "\t{\n"
              "\t\treturn(|z| < 4);\n"
              "\t}\n"
              "\tvoid description(void)\n"
              "\t{\n"
              "\t\tthis.title = \"Julia\";\n"
              "\t\tseed.caption = \"Seed\";\n"
              "\t\tseed.default =  (0.5, 0);\n"
              "\t}\n"
              "}",
              Ultra(1, "Julia {\ninit:\n  z = #pixel\nloop:\n  z = z^2 + @seed\nbailout:\n  |z| < 4\n"
                       "default:\n  title = \"Julia\"\n  param seed\n    caption = \"Seed\"\n"
                       "    default = (0.5, 0)\n  endparam\n}"));
}

struct UfCase {
    const char* what;
    int mode;
    const char* entry;
    const char* expected;
};

const UfCase kUltraCases[] = {
    {"continued lines join", 1, "F {\nloop:\n  a = 1 \\\n  + 2\n  z = a\n}", "a = 1 + 2;"},
    {"a comment line keeps the indentation", 1, "F {\nloop:\n  a = 1\n;note\n  z = a ; after\n}",
     "\t\ta = 1;\n\t\t//note\n"},
    {"a comment after a statement follows it", 1, "F {\ninit:\n  a = 1 ; after\nloop:\n  z = a\n  |z| < 4\n}",
     "a = 1;  // after"},
    {"version symbols get their prefix", 1, "F {\ninit:\n$IFDEF ver20\n  a = 1\n$endif\nloop:\n  z = a\n}",
     "#ifdef UF_ver20"},
    {"define directives", 1, "F {\ninit:\n$define DEBUG\nloop:\n  z = 1\n}", "#define DEBUG"},
    {"parameters group by type and name length", 1,
     "F {\ninit:\n  c = @a + @b + @bb\nloop:\n  z = c\n}", "complex c;\nparameter complex a,b;\nparameter complex bb;\n"},
    {"pixel adds no declaration", 1, "F {\ninit:\n  z = pixel\nloop:\n  z = z\n}", "F {\n\n\tvoid init"},
    {"z of a colouring is a variable", 2, "F {\nfinal:\n  z = 1\n  #index = cabs(z)\n}",
     "complex Var_z;\n"},
    {"#z is the predefined z", 2, "F {\nfinal:\n  #index = cabs(#z)\n}", "index = cabs(z);"},
    {"a parameter named like a predefined value", 1, "F {\ninit:\n  a = @angle\nloop:\n  z = a\n}",
     "a = Parm_angle;"},
    {"a variable named like a predefined value", 1, "F {\ninit:\n  angle = 1\nloop:\n  z = angle\n}",
     "Var_angle = 1;"},
    {"i is the imaginary unit", 1, "F {\ninit:\n  z = 2*i\nloop:\n  z = z\n}", "z = 2*(0,1);"},
    {"i is the counter when one is declared", 1, "F {\ninit:\n  int i = 0\nloop:\n  i = i + 1\n  z = i\n}",
     "i = i + 1;"},
    {"a default of 3 makes an int parameter", 1,
     "F {\nloop:\n  z = z^@n\ndefault:\n  param n\n    default = 3\n  endparam\n}", "parameter int n;"},
    {"an XAXIS group stays", 1, "F (XAXIS) {\nloop:\n  z = z\n}", "F (XAXIS) {"},
    {"an XAXIS_NOPARM group goes", 1, "F (XAXIS_NOPARM) {\nloop:\n  z = z\n}", "F  {"},
    {"a colouring's group goes", 2, "F (INSIDE) {\nfinal:\n  #index = 1\n}", "F  {"},
    {"old-style iteration formula", 1, "F {\n  z = 0:\n  z = z*z + #pixel, |z| < 4\n}",
     "\tvoid loop(void)\n\t{\n\t\tz = z*z + pixel;\n\t}\n\tbool bailout(void)\n\t{\n\t\treturn(|z| < 4);\n\t}\n"},
    {"a loop without bailout takes its last statement", 1, "F {\nloop:\n  z = z*z\n  |z| < 9\ndefault:\n}",
     "\tbool bailout(void)\n\t{\n\t\treturn(|z| < 9);\n\t}\n"},
    {"a colouring without labels is final", 2, "F {\n  #index = 1\n}", "\tvoid final(void)\n\t{\n\t\tindex = 1;"},
    {"repeat until", 1, "F {\ninit:\n  x = 0\n  repeat\n    x = x + 1\n  until x > 3\nloop:\n  z = 1\n}",
     "\t\tdo\n\t\t{\n\n\t\t\tVar_x = Var_x + 1;\n\t\t} while (! (Var_x > 3));\n"},
    {"an empty entry gets the mode's sections", 0, "F {\n}",
     "F {\n\n\tvoid transform(void)\n\t{\n\t}\n}"},
    {"enum strings join", 2,
     "F {\nfinal:\n  #index = @m\ndefault:\n  param m\n    enum = \"One\" \"Two\"\n  endparam\n}",
     "m.enum = \"One\\nTwo\";"},
    {"method values are quoted", 2, "F {\nfinal:\n  #index = 1\ndefault:\n  method = multipass\n}",
     "this.method = \"multipass\";"},
    {"an unknown line in a param block", 1,
     "F {\nloop:\n  z = @p\ndefault:\n  param p\n    strange things\nendparam\n  title = \"T\"\n}",
     "this.title = \"T\";"},
    {"a builtin section fails", 1, "F {\nbuiltin:\n  type = 1\n}", "FAILED"},
    {"a later builtin section fails too", 1, "F {\ninit:\n  z = 0\nbuiltin:\n  type = 1\n}", "FAILED"},
    {"an entry without description ends plainly", 2, "F {\nfinal:\n  #index = 1\n}",
     "\t\tindex = 1;\n\t}\n}"},
};

TEST(UltraFractalConverter, EdgeCases)
{
    for (const UfCase& c : kUltraCases) {
        std::string out = Ultra(c.mode, c.entry);
        if (std::string(c.expected) == "FAILED")
            EXPECT_EQ("FAILED", out) << c.what;
        else
            EXPECT_TRUE(Has(out, c.expected)) << c.what << "\n" << out;
    }
}

}  // namespace
