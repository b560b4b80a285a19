// L-system rules and calculation: rule editing and merging, number reading,
// the turtle's commands checked against a plain reference (expand the whole
// string, then walk it), the 491-state stack, wrapped colours, stop
// requests, a depth no recursion could hold, and repeatable images.
#include <gtest/gtest.h>

#include <math.h>
#include <map>
#include <string>
#include <vector>

#include "document/PlainBlocks.h"
#include "fractals/lsystem/LSystemCalculator.h"
#include "fractals/lsystem/LSystemFormula.h"
#include "fractals/lsystem/LSystemTurtle.h"
#include "fractals/lsystem/LSystemWindow.h"
#include "document/FractalFolder.h"
#include "tests/fractals/DrawingTestSupport.h"

namespace {

std::string RuleText(const LSystemFormula& f)
{
    std::string s;
    for (const ListNode* n = f.rules.GetHead(); n; n = n->next) {
        const LSystemRule* r = static_cast<const LSystemRule*>(n);
        s += std::string(1, r->symbol) + "=" + (r->replacement ? r->replacement : "") + " ";
    }
    return s;
}

// ----- Reference: the expanded string built in full, then walked.

std::string ExpandFully(const std::string& axiom, const std::map<char, std::string>& rules, int depth)
{
    std::string s = axiom;
    for (int d = 0; d < depth; d++) {
        std::string next;
        for (char c : s) {
            auto it = rules.find(c);
            next += it == rules.end() ? std::string(1, c) : it->second;
        }
        s = next;
    }
    return s;
}

double Number(const std::string& s, size_t* i)
{
    size_t start = *i + 1, end = start;
    while (end < s.size() && (isdigit((unsigned char)s[end]) || s[end] == '.'))
        end++;
    *i = end - 1;
    return end > start ? atof(s.substr(start, end - start).c_str()) : 0.0;
}

std::vector<std::vector<double>> ReferenceSegments(const std::string& text, double divisor, int depth)
{
    const double pi = 3.141592653589793;
    struct T { double x, y, dir, col, len, free; bool swap; } t = { 0, 0, 0, 0, 1.0 / pow(2.0, depth), 0, false };
    const double turn = 2 * pi / divisor;
    std::vector<T> saved;
    std::vector<std::vector<double>> out;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        double sign = t.swap ? -1 : 1;
        if (c == 'F' || c == 'G' || c == 'D' || c == 'M') {
            double dir = (c == 'F' || c == 'G') ? t.dir : t.free;
            double x0 = t.x, y0 = t.y;
            t.x += cos(dir) * t.len;
            t.y += sin(dir) * t.len;
            int index = ((int)t.col % 252 + 252) % 252;
            if (c == 'F' || c == 'D')
                out.push_back({ x0, y0, t.x, t.y, (double)index });
        } else if (c == '+') t.dir += sign * turn;
        else if (c == '-') t.dir -= sign * turn;
        else if (c == '|') t.dir += pi;
        else if (c == '!') t.swap = !t.swap;
        else if (c == '\\') t.free += sign * Number(text, &i) * pi / 180;
        else if (c == '/') t.free -= sign * Number(text, &i) * pi / 180;
        else if (c == 'C') t.col = Number(text, &i);
        else if (c == '<') t.col += Number(text, &i);
        else if (c == '>') t.col -= Number(text, &i);
        else if (c == '@') {
            std::string head = text.substr(i + 1, 2);
            bool inv = head.find('I') != std::string::npos, root = head.find('Q') != std::string::npos;
            while (i + 1 < text.size() && (text[i + 1] == 'I' || text[i + 1] == 'Q'))
                i++;
            double v = Number(text, &i);
            if (inv) v = 1 / v;
            if (root) v = sqrt(v);
            t.len *= v;
        } else if (c == '[') saved.push_back(t);
        else if (c == ']' && !saved.empty()) { t = saved.back(); saved.pop_back(); }
    }
    return out;
}

// ----- A formula in the global list and an L-system fractal that names it.

struct LSystemCase : DrawingFractal {
    LSystemCase(const char* axiom, const char* rules, double divisor, int depth)
        : DrawingFractal(FT_LSYSTEM, 0, 64, 48)
    {
        formula = new LSystemFormula("TestCurve");
        formula->SetAxiom(axiom);
        formula->SetRules(rules);
        formula->angleDivisor = divisor;
        g_LSystemFormulas.InsertSorted(formula, false);
        LSystemParameters* p = Params<LSystemParameters>();
        p->SetCorners(-0.25, 1.0, 1.25, -0.125);
        p->MaxIter = depth;
        strcpy(p->Formula, "testcurve");
    }
    ~LSystemCase()
    {
        g_LSystemFormulas.Remove(formula);
        delete formula;
    }
    LSystemFormula* formula;
};

std::map<char, std::string> RuleMap(const char* text)
{
    LSystemFormula f("x");
    f.SetRules(text);
    std::map<char, std::string> m;
    for (const ListNode* n = f.rules.GetHead(); n; n = n->next) {
        const LSystemRule* r = static_cast<const LSystemRule*>(n);
        m[r->symbol] = r->replacement;
    }
    return m;
}

void ExpectSameSegments(const std::vector<std::vector<double>>& expected,
                        const std::vector<std::vector<double>>& actual, const char* what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (size_t i = 0; i < expected.size(); i++)
        for (int k = 0; k < 5; k++)
            EXPECT_NEAR(expected[i][k], actual[i][k], 1e-12) << what << " segment " << i << " value " << k;
}

TEST(LSystemRules, SetRulesReusesMergesAndDropsRules)
{
    // Catches: tokens without a letter or '=' taken as rules; merged rules
    // in the wrong order; rules left over from the previous text.
    const struct { const char* before; const char* text; const char* expected; } cases[] = {
        { "", "F=F+ F=-F", "F=F+-F " },
        { "", "f=F+F X=-F f=[F]", "f=F+F[F] X=-F " },
        { "", "1=F =F F F=", "F= " },
        { "A=1 B=2 C=3", "X=F", "X=F " },
        { "A=1", "A=2 B=3 A=4", "A=24 B=3 " },
        { "A=1 B=2", "", "" },
    };
    for (const auto& c : cases) {
        LSystemFormula f("Rules");
        f.SetRules(c.before);
        f.SetRules(c.text);
        EXPECT_EQ(c.expected, RuleText(f)) << c.text;
    }
}

TEST(LSystemRules, ReadNumberStopsAtTheRunAndCopesWithLongRuns)
{
    std::string longRun = "C" + std::string(150, '1') + "F";
    const struct { const char* text; int position; double value; int last; } cases[] = {
        { "C300F", 1, 300.0, 3 },
        { "C.5X", 1, 0.5, 2 },
        { "CF", 1, 0.0, 0 },       // no digit: 0, last before the position
        { "C12", 1, 12.0, 2 },     // a run at the end of the text
        { longRun.c_str(), 1, 1.1111111111111111e98, 150 },   // 99 digits converted, all skipped
    };
    for (const auto& c : cases) {
        int last = -5;
        double v = ReadLSystemNumber(c.text, c.position, &last);
        EXPECT_NEAR(c.value, v, fabs(c.value) * 1e-9) << c.text;
        EXPECT_EQ(c.last, last) << c.text;
    }
}

TEST(LSystemTurtle, CommandsMatchTheReference)
{
    // Depth 0 draws the axiom itself; each string exercises commands whose
    // effect shows in the drawn segments.
    const char* axioms[] = {
        "F+F-F", "[F]+F", "[F[+F]F]-F", "|F", "!+F-F!+F", "\\90D/45D\\10MD", "!\\90D",
        "GFMD", "C300F", ">5F", "C10<7F>20F", "@I2F", "@Q4F", "@IQ4F", "@QI9F@2F", "F]]F",
    };
    for (const char* axiom : axioms) {
        LSystemCase t(axiom, "", 8.0, 0);
        TraceRecorder trace;
        EXPECT_EQ(0, CalculateLSystem(t.fractal)) << axiom;
        ExpectSameSegments(ReferenceSegments(axiom, 8.0, 0), TraceRecorder::steps(), axiom);
    }
}

TEST(LSystemTurtle, SpelledOutEdgeCases)
{
    // Values fixed by the turtle's rules, independent of any reference.
    const struct { const char* axiom; double x1, y1; int colour; } cases[] = {
        { "C300F", 1, 0, 48 },          // 300 modulo 252
        { ">5F", 1, 0, 247 },           // a negative colour wraps into 0..251
        { "@I2F", 0.5, 0, 0 },
        { "@Q4F", 2, 0, 0 },
        { "@IQ4F", 0.5, 0, 0 },
        { "[F]+F", 0, 1, 0 },           // the second segment starts again at the origin
        { "!+F", 0, -1, 0 },            // swapped: '+' turns the other way
    };
    for (const auto& c : cases) {
        LSystemCase t(c.axiom, "", 4.0, 0);
        TraceRecorder trace;
        CalculateLSystem(t.fractal);
        ASSERT_FALSE(TraceRecorder::steps().empty()) << c.axiom;
        const std::vector<double>& last = TraceRecorder::steps().back();
        EXPECT_NEAR(0.0, last[0], 1e-12) << c.axiom;
        EXPECT_NEAR(c.x1, last[2], 1e-12) << c.axiom;
        EXPECT_NEAR(c.y1, last[3], 1e-12) << c.axiom;
        EXPECT_EQ(c.colour, (int)last[4]) << c.axiom;
    }
}

TEST(LSystemTurtle, StackHoldsFourHundredNinetyOneStates)
{
    LSystemCase t("", "", 8.0, 0);
    std::vector<TurtleState> stack(TURTLE_STACK_ROOM);
    LSystemCopy copy = {};
    LSystemDrawContext cx = {};
    cx.fractal = t.fractal;
    cx.left = cx.bottom = -1;
    cx.right = cx.top = 1;
    cx.formula = &copy;
    cx.turtle.length = 1;
    cx.stack = stack.data();

    std::string full(491, '[');
    EXPECT_EQ(0, DrawLSystemString(&cx, full.c_str(), (int)full.size()));
    EXPECT_EQ(491, cx.saved);
    // The 492nd save drops every state and abandons the rest of the string.
    TraceRecorder trace;
    std::string over = "[F";
    EXPECT_EQ(2, DrawLSystemString(&cx, over.c_str(), 2));
    EXPECT_EQ(0, cx.saved);
    EXPECT_TRUE(TraceRecorder::steps().empty());
    // The characters a number read past the length are reported.
    EXPECT_EQ(4, DrawLSystemString(&cx, "C1234", 1));
}

TEST(LSystemExpansion, MatchesTheFullyExpandedString)
{
    const struct { const char* axiom; const char* rules; double divisor; int depth; } cases[] = {
        { "F", "F=F+F--F+F", 6, 1 },
        { "F--F--F", "F=F+F--F+F", 6, 3 },
        { "X", "X=X+YF+ Y=-FX-Y", 4, 5 },           // dragon: symbols without drawing
        { "F", "F=C12F[+F]<50F[-F]F", 7, 3 },       // numbers behind commands at every level
        { "AB", "Q=FFFF", 4, 2 },                    // a rule that never applies
        { "F+G", "F=F-F G=GG", 4, 3 },
    };
    for (const auto& c : cases) {
        LSystemCase t(c.axiom, c.rules, c.divisor, c.depth);
        TraceRecorder trace;
        EXPECT_EQ(0, CalculateLSystem(t.fractal)) << c.axiom;
        std::string full = ExpandFully(c.axiom, RuleMap(c.rules), c.depth);
        ExpectSameSegments(ReferenceSegments(full, c.divisor, c.depth), TraceRecorder::steps(), c.rules);
    }
}

TEST(LSystemExpansion, KochStepHasFourHalfSegmentsAtSixtyDegrees)
{
    LSystemCase t("F", "F=F+F--F+F", 6, 1);
    TraceRecorder trace;
    ASSERT_EQ(0, CalculateLSystem(t.fractal));
    const std::vector<std::vector<double>>& s = TraceRecorder::steps();
    ASSERT_EQ(4u, s.size());
    const double angles[4] = { 0, 60, -60, 0 };
    for (int i = 0; i < 4; i++) {
        double dx = s[i][2] - s[i][0], dy = s[i][3] - s[i][1];
        EXPECT_NEAR(0.5, hypot(dx, dy), 1e-12);
        EXPECT_NEAR(angles[i], atan2(dy, dx) * 180 / 3.141592653589793, 1e-9);
    }
    EXPECT_NEAR(1.5, s[3][2], 1e-12);
}

TEST(LSystemCalculation, DrawsIntoTheImageTheSameWayTwice)
{
    LSystemCase t("F--F--F", "F=F+F--F+F", 6, 2);
    ASSERT_EQ(0, CalculateLSystem(t.fractal));
    std::vector<unsigned char> first = t.Image();
    // The first segment runs along y = 0 from x = 0: row (0 + 0.125) * 48 / 1.125
    // = 5, columns from 0.25 * 64 / 1.5 = 10 on, in colour 0.
    EXPECT_EQ(0, t.Index(10, 5));
    EXPECT_EQ(0, t.Index(15, 5));
    EXPECT_EQ(252, t.Index(10, 40));
    ASSERT_EQ(0, CalculateLSystem(t.fractal));
    EXPECT_EQ(first, t.Image());
}

TEST(LSystemCalculation, MissingFormulaStopsAndRedraws)
{
    LSystemCase t("F", "F=F+F", 4, 6);
    strcpy(t.Params<LSystemParameters>()->Formula, "NoSuchCurve");
    EXPECT_EQ(1, CalculateLSystem(t.fractal));
    EXPECT_EQ(std::vector<unsigned char>(t.Image().size(), 252), t.Image());

    strcpy(t.Params<LSystemParameters>()->Formula, "TestCurve");
    t.task->command = FTC_STOP;
    EXPECT_EQ(3, CalculateLSystem(t.fractal));
    EXPECT_EQ(FTC_STOP, t.task->command);

    // A 3D redraw request is taken off the word and the calculation goes on.
    t.task->command = FTC_REDRAW3D;
    EXPECT_EQ(0, CalculateLSystem(t.fractal));
    EXPECT_EQ(0, t.task->command);
}

TEST(LSystemCalculation, DepthBeyondAnyRecursionEnds)
{
    // F=F at depth 200000 nests 200000 levels: kept on the heap, it ends
    // with the one segment (of length 2^-200000 = 0) drawn.
    LSystemCase t("F", "F=F", 4, 200000);
    TraceRecorder trace;
    EXPECT_EQ(0, CalculateLSystem(t.fractal));
    EXPECT_EQ(1u, TraceRecorder::steps().size());
}

TEST(LSystemCalculation, FormulaWithoutAxiomDrawsNothing)
{
    LSystemCase t("F", "F=FF", 4, 3);
    t.formula->SetAxiom(nullptr);
    TraceRecorder trace;
    EXPECT_EQ(0, CalculateLSystem(t.fractal));
    EXPECT_TRUE(TraceRecorder::steps().empty());
}

// ----- The formula-window operations through a recording window link.

std::vector<std::string> g_windowCalls;
void Record(const std::string& call) { g_windowCalls.push_back(call); }

struct RecordingWindow {
    RecordingWindow()
    {
        g_windowCalls.clear();
        saved = g_LSystemWindow;
        g_LSystemWindow.formulaWindowOpen = [] { return true; };
        g_LSystemWindow.listReset = [] { Record("reset"); };
        g_LSystemWindow.listAdd = [](const char* n) { Record(std::string("add ") + n); };
        g_LSystemWindow.listSelect = [](int i) { Record("select " + std::to_string(i)); };
        g_LSystemWindow.setNameField = [](const char* n) { Record(std::string("name ") + n); };
        g_LSystemWindow.setAxiomField = [](const char* a) { Record(std::string("axiom ") + a); };
        g_LSystemWindow.setAngleField = [](double d) { Record("angle " + std::to_string((int)d)); };
        g_LSystemWindow.setRuleText = [](const char* t) { Record(std::string("rules ") + t); };
    }
    ~RecordingWindow() { g_LSystemWindow = saved; g_CurrentLSystemFormula = nullptr; }
    LSystemWindowLink saved;
};

TEST(LSystemWindow, ShowRefreshAndRename)
{
    RecordingWindow window;
    LSystemCase t("F+X", "F=FF X=[F]", 6, 1);
    LSystemFormula* other = new LSystemFormula("Alpha");
    g_LSystemFormulas.InsertSorted(other, false);

    // A null formula, or one not in the list, shows the first formula.
    LSystemFormula stray("Stray");
    ShowLSystemFormula(&stray);
    EXPECT_EQ(other, g_CurrentLSystemFormula);
    g_windowCalls.clear();
    ShowLSystemFormula(t.formula);
    const std::vector<std::string> shown = { "select 1", "name TestCurve", "axiom F+X", "angle 6",
                                             "rules F=FF\nX=[F]\n" };
    EXPECT_EQ(shown, g_windowCalls);

    // Renaming gives the fractals that name the formula the new name and
    // keeps the list in name order.
    FractalFolder folder;
    FolderList.Append(&folder);
    folder.fractals.Append(t.fractal);
    g_windowCalls.clear();
    RenameLSystemFormula(t.formula, "Aardvark");
    EXPECT_STREQ("Aardvark", t.Params<LSystemParameters>()->Formula);
    EXPECT_EQ(t.formula, g_LSystemFormulas.GetHead());
    const std::vector<std::string> refreshed = { "reset", "add Aardvark", "add Alpha" };
    EXPECT_EQ(refreshed, std::vector<std::string>(g_windowCalls.begin(), g_windowCalls.begin() + 3));
    // A name another formula has is made unique.
    RenameLSystemFormula(t.formula, "alpha");
    EXPECT_STRCASENE("alpha", t.formula->name);
    folder.fractals.Remove(t.fractal);

    g_LSystemFormulas.Remove(other);
    delete other;
}

}  // namespace
