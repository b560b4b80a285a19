// The IFS expression parser: result codes of bad input (limits included,
// with guard words behind the output to catch writes past it), the postfix
// streams of precedence, unary minus, bars and assignments, the keyword
// table's order, and the error report and delete check through the boxes.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <string>

#include "compiler/FormulaSymbol.h"
#include "compiler/IfsOperatorTables.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/ParameterTables.h"
#include "document/PlainBlocks.h"
#include "fractals/ifs/IfsParser.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

struct Parsed {
    int result;
    uint32_t stream[IFS_SCRATCH_BYTES / 4];
    NodeList symbols;
    explicit Parsed(const char* text, int capacity = IFS_SCRATCH_BYTES)
    {
        memset(stream, 0xAB, sizeof stream);
        result = ParseFormula(text, stream, &symbols, capacity);
    }
    ~Parsed() { symbols.DeleteAllNodes(); }

    std::string VariableName(uint32_t id) const
    {
        for (ListNode* n = symbols.GetHead(); n; n = n->next)
            if ((uint32_t) static_cast<FormulaSymbol*>(n)->id == id)
                return n->name;
        return "?";
    }
    // The postfix part, then " ;" and the assignment targets when there are any.
    std::string Text() const
    {
        static const struct {
            uint32_t op;
            const char* name;
        } kNames[] = {{8, "+"}, {9, "-"}, {10, "*"}, {11, "/"}, {12, "^"}, {13, "neg"}, {1, "sin"}, {33, "||"},
                      {40, "!"}, {41, "srand"}, {42, "rand"}, {80, "|.|"}, {267, "z"}, {278, "p1"}, {260, "pi"}};
        std::string out;
        const uint32_t* p = stream;
        for (int part = 0; part < 2; part++, p++) {
            if (part == 1) {
                if (!*p)
                    break;
                out += " ;";
            }
            for (; *p; p += FormulaTokenWords(p)) {
                out += out.empty() ? "" : " ";
                if (*p == OPC_VARIABLE) {
                    out += VariableName(p[1]);
                } else if (*p == OPC_NUMBER) {
                    double v;
                    memcpy(&v, p + 1, sizeof v);
                    char number[40];
                    snprintf(number, sizeof number, "%g", v);
                    out += number;
                } else {
                    const char* name = "op?";
                    for (const auto& k : kNames)
                        if (k.op == *p)
                            name = k.name;
                    out += name;
                }
            }
        }
        return out;
    }
};

std::string Repeat(const char* piece, int times)
{
    std::string s;
    for (int i = 0; i < times; i++)
        s += piece;
    return s;
}

}  // namespace

// Each bad input has its own code; the limits of the working storage give a
// code instead of a write outside a buffer.
TEST(IfsParser, ResultCodes)
{
    std::string longName = Repeat("a", 300);
    std::string tooLong = Repeat("z", 500);
    std::string manyTokens = Repeat("1+", 125) + "1";
    std::string deepStack = Repeat("-", 300) + "z";
    std::string deepBars = Repeat("(", 100) + "|z|" + Repeat(")", 100);
    std::string barsAt99 = Repeat("(", 99) + "|z|" + Repeat(")", 99);
    struct Case {
        std::string text;
        int result;   // the code as ParseFormula answers it; 0: any size
    } cases[] = {
        {"", -5},           {" ", -2},        {"0.5 * p1", -2},    {"(z", -1},       {"z)", -1},
        {"z+", -5},         {"a&b", -3},      {"a#b", -2},         {"|a|||b|", -1},  {"z+(v=2)", -7},
        {"z*z=v", -8},      {"2=z", -8},      {"_a", -3},          {"[z", -1},       {"z]", -1},
        {"rand", 0},        {"srand(5)", 0},  {"SIN(Z)", 0},       {"sin(", -1},
        // Limits: text, name, token buffer, operator stack, bar depth.
        {tooLong, -4},      {longName, -4},   {manyTokens, -4},    {deepStack, -4},  {deepBars, -1},
        {barsAt99, 0},      {Repeat("-", 298) + "z", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        Parsed p(c.text.c_str());
        if (c.result)
            EXPECT_EQ(p.result, c.result);
        else
            EXPECT_GT(p.result, 0);
    }
}

// The output never runs past the caller's buffer: a parse into a buffer too
// small fails with code 4 and leaves the words behind it alone.
TEST(IfsParser, OutputStaysInsideTheCallersBuffer)
{
    for (int capacity : {0, 4, 12, 20, 28}) {
        SCOPED_TRACE(capacity);
        Parsed p("1+2*3", capacity);
        EXPECT_EQ(p.result, -4);
        for (int i = capacity / 4; i < 40; i++)
            ASSERT_EQ(p.stream[i], 0xABABABABu) << "word " << i;
    }
    Parsed fits("z", 16);
    EXPECT_EQ(fits.result, 16);
}

// Precedence, grouping from the left, unary minus, bars and the assignment
// part behind the expression.
TEST(IfsParser, PostfixStreams)
{
    struct Case {
        const char* text;
        const char* postfix;
    } cases[] = {
        {"a+b*c", "a b c * +"},          {"a*b+c", "a b * c +"},         {"sin(x)*y", "x sin y *"},
        {"2^3^2", "2 3 ^ 2 ^"},          {"-x^2", "x neg 2 ^"},          {"|z|", "z |.|"},
        {"a--b", "a b neg -"},           {"-a-b", "a neg b -"},          {"a*-b", "a b neg *"},
        {"sin-x", "x neg sin"},          {"sinx+sin2", "sinx sin2 +"},   {"a+!b", "a b ! +"},
        {"(|a|)||(|b|)", "a |.| b |.| ||"}, {"|a|+|b|", "a |.| b |.| +"}, {"SIN(Z)", "z sin"},
        {"1.2.3", "1.2"},                {"srand(5)*rand", "5 srand rand *"}, {"v=z*z", "z z * ; v"},
        {"v=w=z*z", "z z * ; v w"},      {"p1=pi", "pi ; p1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Parsed p(c.text);
        ASSERT_GT(p.result, 0);
        EXPECT_EQ(p.Text(), c.postfix);
    }
}

// The size covers the postfix words and the closing word, plus 8 or, with
// assignments, 200 bytes of room.
TEST(IfsParser, SizeOfTheStream)
{
    EXPECT_EQ(Parsed("z").result, 4 * 2 + 8);
    EXPECT_EQ(Parsed("1+z").result, 4 * 6 + 8);
    EXPECT_EQ(Parsed("v=z*z").result, 4 * 7 + 200);
}

// A variable keeps one id however often it is named (without case).
TEST(IfsParser, VariablesShareTheirRecord)
{
    Parsed p("ab*AB+c");
    ASSERT_GT(p.result, 0);
    EXPECT_EQ(p.symbols.Count(), 2);
    EXPECT_EQ(p.Text(), "ab ab * c +");
}

// The keyword table is scanned for the first prefix: longer names must
// come first or "<=" would read as "<" and "=".
TEST(IfsParser, KeywordTableOrder)
{
    int rows = 0;
    for (const FormulaKeyword* k = FormulaKeywordTable; k->opcode; k++, rows++) {
        EXPECT_EQ(k->kind, 7);
        if (rows) {
            EXPECT_LE(strlen(k->name), strlen(k[-1].name)) << k->name;
        }
    }
    EXPECT_EQ(rows, 83);
    EXPECT_EQ(FormulaKeywordTable[83].name, nullptr);
    EXPECT_EQ(OperatorStackEffect[42], -1);
    EXPECT_EQ(OperatorStackEffect[43], 1);
    EXPECT_EQ(OperatorStackEffect[13], 0);
}

TEST(IfsParser, ReportShowsTheReasonForParserCodes)
{
    struct Case {
        int result;
        const char* text;
    } cases[] = {
        {-3, "Formula F: here:\nOffending line: a&b\n          "
             "Unknown operand/operator; perhaps something is incorrectly spelled"},
        {-8, "Formula F: here:\nOffending line: a&b\n          "
             "All assignment statements to the left of a formula must be variables"},
        {-9, "Formula F: here:\nOffending line: a&b"},
        {0, "Formula F: here:\nOffending line: a&b"},
    };
    for (const Case& c : cases) {
        ScriptedBoxes boxes;
        ReportParseError("Formula F: here", "a&b", c.result);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Shown()[0].style, 0x2010u);
        EXPECT_EQ(boxes.Shown()[0].title, "Parsing formula");
        EXPECT_EQ(boxes.Shown()[0].text, c.text);
    }
}

// A formula in use is not deleted and the users are named; an unused one is
// deleted after the confirmation and its neighbour answered.
TEST(IfsParser, CheckFormulaInUse)
{
    FractalFolder* folder = new FractalFolder();
    folder->SetName("Folder1");
    FolderList.Append(folder);
    Fractal* user = new Fractal(FT_IFS, 0);
    user->SetName("Leaf");
    strcpy(static_cast<IFSParameters*>(user->typeParameters)->Formula, "fern");
    folder->fractals.Append(user);

    NodeList list;
    ListNode* fern = new ListNode();
    fern->SetName("Fern");
    ListNode* other = new ListNode();
    other->SetName("Other");
    list.Append(fern);
    list.Append(other);
    int savedConfirm = FractalTypeFlags[CNF_DelFrm];
    FractalTypeFlags[CNF_DelFrm] = 1;
    {
        ScriptedBoxes boxes;
        EXPECT_EQ(CheckFormulaInUse(&list, fern, FORMULA_TYPE_IFS), nullptr);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Shown()[0].style, 0x2040u);
        EXPECT_EQ(boxes.Shown()[0].text,
                  "Sorry, but one fractal is currently using the formula \"Fern\",\nnamely:\n- Leaf (in Folder1)\n"
                  "\nYou must remove all references to this formula before you can delete it...");
        EXPECT_EQ(list.Count(), 2);
        // Another type's fractals do not count, and other types are not handled.
        EXPECT_EQ(CheckFormulaInUse(&list, fern, 5), nullptr);
    }
    {
        ScriptedBoxes boxes(IDNO);
        EXPECT_EQ(CheckFormulaInUse(&list, other, FORMULA_TYPE_IFS), nullptr);
        EXPECT_EQ(boxes.Shown()[0].title, "Delete operation");
        EXPECT_EQ(list.Count(), 2);
    }
    {
        ScriptedBoxes boxes(IDYES);
        EXPECT_EQ(CheckFormulaInUse(&list, other, FORMULA_TYPE_IFS), fern);
        EXPECT_EQ(list.Count(), 1);
        // The L-system check finds no L-system fractal using "Fern".
        EXPECT_EQ(CheckFormulaInUse(&list, fern, FORMULA_TYPE_LSYSTEM), FORMULA_LIST_NOW_EMPTY);
        EXPECT_TRUE(list.IsEmpty());
    }
    FractalTypeFlags[CNF_DelFrm] = savedConfirm;
    folder->fractals.Remove(user);
    delete user;
    FolderList.Remove(folder);
    delete folder;
}
