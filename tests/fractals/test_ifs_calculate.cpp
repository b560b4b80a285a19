// The IFS chaos game on a bare task against a plain reference of the same
// algorithm (own generator, map choice, projection, colourings), the fixed
// points that show each colouring's limits, the early end beyond +-1000 with
// its warning, weights that are negative or not numbers, stop requests and
// repeatable images.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <array>
#include <string>
#include <vector>

#include "compiler/CompileHost.h"
#include "files/formulafiles/FormulaFiles.h"
#include "document/PlainBlocks.h"
#include "foundation/Messages.h"
#include "fractals/ifs/IfsFormula.h"
#include "tests/fractals/DrawingTestSupport.h"

namespace {

typedef std::array<double, IFS_COEFFICIENTS> Map;

// A formula in g_IfsFormulas for the life of a test; each map is given as
// its thirteen coefficient texts (null = no text).
struct ListedFormula {
    IfsFormula* formula;
    ListedFormula(const char* name, const std::vector<std::vector<const char*>>& maps)
    {
        formula = new IfsFormula(name);
        for (const auto& texts : maps) {
            auto* t = new IfsTransformation();
            for (int i = 0; i < IFS_COEFFICIENTS; i++)
                t->SetText(i, texts[i]);
            CompileIfsTransformation(t, name, 1);
            formula->transformations.Append(t);
        }
        g_IfsFormulas.InsertSorted(formula, false);
    }
    ~ListedFormula()
    {
        g_IfsFormulas.Remove(formula);
        delete formula;
    }
};

// A 2D map as a file line gives it: m11 m12 m21 m22 t1 t2 p, m33 = 1.
std::vector<const char*> Map2D(const char* a, const char* b, const char* c, const char* d, const char* e,
                               const char* f, const char* p)
{
    return {a, b, nullptr, c, d, nullptr, nullptr, nullptr, "1", e, f, nullptr, p};
}

struct Settings {
    int colormode;
    double colorMult;
    int wrapAround;
    double alpha, beta;
};

struct IfsFractal : DrawingFractal {
    IfsFractal(const char* formula, int width, int height, int maxIter, const Settings& s,
               double left, double top, double right, double bottom)
        : DrawingFractal(FT_IFS, 0, width, height)
    {
        IFSParameters* p = Params<IFSParameters>();
        strcpy(p->Formula, formula);
        p->MaxIter = maxIter;
        p->Colormode = s.colormode;
        p->ColorMult = s.colorMult;
        p->WrapAround = s.wrapAround;
        p->Alpha = s.alpha;
        p->Beta = s.beta;
        p->SetCorners(left, top, right, bottom);
    }
    // The indices of the image, row by row from the bottom, width each.
    std::vector<int> Indices() const
    {
        std::vector<int> out;
        for (int row = 0; row < Height(); row++)
            for (int column = 0; column < Width(); column++)
                out.push_back(Index(column, row));
        return out;
    }
};

// ----- Reference: the algorithm written out plainly, on numbers.
struct Reference {
    std::vector<int> image;      // 252 = untouched
    std::vector<float> counts;
    int points = 0;
};

Reference RunReference(const std::vector<Map>& maps, int width, int height, int maxIter, const Settings& s,
                       double left, double top, double right, double bottom)
{
    Reference out;
    out.image.assign(width * height, 252);
    out.counts.assign(width * height, 0.0f);
    const double pi = 3.141592653589793;
    double sa = sin(s.alpha * pi / 180), ca = cos(s.alpha * pi / 180);
    double sb = sin(s.beta * pi / 180), cb = cos(s.beta * pi / 180);
    double total = 0;
    for (const Map& m : maps)
        total += m[12];
    unsigned seed = 100;
    double x = 0, y = 0, z = 0;
    for (int i = 1; i < maxIter; i++) {
        seed = seed * 214013u + 2531011u;
        double v = ((seed >> 16) % 32768) / 32767.0 * total;
        size_t k = 0;
        double sum = maps[0][12];
        while (sum < v)
            sum += maps[++k][12];
        const Map& m = maps[k];
        double nx = m[0] * x + m[1] * y + m[2] * z + m[9];
        double ny = m[3] * x + m[4] * y + m[5] * z + m[10];
        double nz = m[6] * x + m[7] * y + m[8] * z + m[11];
        x = nx, y = ny, z = nz;
        double X = x * ca + z * sa, Y = (x * sa - z * ca) * sb + y * cb;
        int column = (int)((X - left) * width / (right - left)), row = (int)((Y - bottom) * height / (top - bottom));
        out.points++;
        if (column >= 0 && column < width && row >= 0 && row < height) {
            float& count = out.counts[row * width + column];
            long long c = 0;
            if (s.colormode == 0)
                c = (long long)k;
            else if (s.colormode == 1)
                c = (long long)(v / total * 252);
            else if (s.colormode == 2)
                c = (long long)((count += 1.0f) * s.colorMult);
            else if (s.colormode == 4)
                count += 1.0f, c = (long long)((1 - exp(-count * (s.colorMult * 0.01))) * 251);
            if (s.wrapAround || c < 0)
                c = ((c % 252) + 252) % 252;
            else if (c >= 252)
                c = 251;
            out.image[row * width + column] = (int)c;
        }
    }
    return out;
}

const std::vector<std::vector<const char*>> kTriangle = {
    Map2D("0.5", "0", "0", "0.5", "0", "0", "0.5"),
    Map2D("0.5", "0", "0", "0.5", "1", "0", "0.3"),
    Map2D("p1/4", "0", "0", "0.5", "0.5", "|i|", "0.2"),   // p1 = 2, |i| = 1
};
const std::vector<Map> kTriangleNumbers = {
    {0.5, 0, 0, 0, 0.5, 0, 0, 0, 1, 0, 0, 0, 0.5},
    {0.5, 0, 0, 0, 0.5, 0, 0, 0, 1, 1, 0, 0, 0.3},
    {0.5, 0, 0, 0, 0.5, 0, 0, 0, 1, 0.5, 1, 0, 0.2},
};
// A 3D map pair whose points leave the plane z = 0.
const std::vector<std::vector<const char*>> kSpatial = {
    {"0.5", "0", "0.1", "0", "0.5", "0", "0.2", "0", "0.5", "0", "0", "1", "0.6"},
    {"0.4", "0.1", "0", "0", "0.4", "0.2", "0", "0", "0.4", "1", "0.5", "0", "0.4"},
};
const std::vector<Map> kSpatialNumbers = {
    {0.5, 0, 0.1, 0, 0.5, 0, 0.2, 0, 0.5, 0, 0, 1, 0.6},
    {0.4, 0.1, 0, 0, 0.4, 0.2, 0, 0, 0.4, 1, 0.5, 0, 0.4},
};

}  // namespace

// Every colouring, with and without wrapping, negative factors, and the 3D
// projection: the image and the hit counts equal the reference's.
TEST(CalculateIfs, MatchesTheReference)
{
    ListedFormula triangle("Triangle", kTriangle);
    ListedFormula spatial("Spatial", kSpatial);
    struct Case {
        const char* formula;
        const std::vector<Map>* numbers;
        Settings settings;
    } cases[] = {
        {"Triangle", &kTriangleNumbers, {0, 1, 1, 0, 0}},   {"Triangle", &kTriangleNumbers, {1, 1, 1, 0, 0}},
        {"Triangle", &kTriangleNumbers, {2, 1, 1, 0, 0}},   {"Triangle", &kTriangleNumbers, {2, 40, 0, 0, 0}},
        {"Triangle", &kTriangleNumbers, {2, 40, 1, 0, 0}},  {"Triangle", &kTriangleNumbers, {2, -3, 1, 0, 0}},
        {"Triangle", &kTriangleNumbers, {3, 1, 1, 0, 0}},   {"Triangle", &kTriangleNumbers, {4, 1, 1, 0, 0}},
        {"Triangle", &kTriangleNumbers, {4, -30, 0, 0, 0}}, {"Spatial", &kSpatialNumbers, {2, 1, 1, 30, 40}},
        {"Spatial", &kSpatialNumbers, {0, 1, 1, -60, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.formula) + " mode " + std::to_string(c.settings.colormode) + " mult " +
                     std::to_string(c.settings.colorMult) + " wrap " + std::to_string(c.settings.wrapAround));
        const int w = 21, h = 15, maxIter = 1500;
        IfsFractal f(c.formula, w, h, maxIter, c.settings, -0.2, 2.1, 2.1, -0.3);
        f.Params<IFSParameters>()->Parm1 = 2;
        ASSERT_NE(f.task, nullptr);
        EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, w - 1, h - 1), 0);
        Reference r = RunReference(*c.numbers, w, h, maxIter, c.settings, -0.2, 2.1, 2.1, -0.3);
        EXPECT_EQ(f.Indices(), r.image);
        if (c.settings.colormode == 2 || c.settings.colormode == 4) {
            for (int row = 0; row < h; row++)
                for (int column = 0; column < w; column++)
                    ASSERT_EQ(f.Value(column, row), r.counts[row * w + column]) << column << "," << row;
        }
        EXPECT_EQ(f.task->progress, 1.0);
    }
}

// One map that always lands on the same pixel shows where each colouring
// stops: 252 hits wrap to the start, without wrapping the colour stays at
// 251, one logarithmic hit is 2, and negative colours wrap into the palette.
TEST(CalculateIfs, ColouringLimitsOnAFixedPoint)
{
    ListedFormula dot("Dot", {Map2D("0", "0", "0", "0", "1", "1", "1")});
    struct Case {
        Settings settings;
        int maxIter;
        int index;
    } cases[] = {
        {{2, 1, 1, 0, 0}, 254, 1},   {{2, 1, 0, 0, 0}, 254, 251}, {{2, 1, 1, 0, 0}, 253, 0},
        {{4, 1, 1, 0, 0}, 2, 2},     {{2, -1, 0, 0, 0}, 3, 250},  {{0, 1, 1, 0, 0}, 9, 0},
        {{2, 1, 1, 0, 0}, 1, 252},   {{2, 1, 1, 0, 0}, 0, 252},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.settings.colormode << " maxIter " << c.maxIter);
        IfsFractal f("dot", 4, 4, c.maxIter, c.settings, 0, 2, 2, 0);
        EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 3, 3), 0);
        EXPECT_EQ(f.Index(2, 2), c.index);
        EXPECT_EQ(f.task->progress, 1.0);
        int others = 0;
        for (int i : f.Indices())
            others += i != 252;
        EXPECT_EQ(others, c.index != 252 ? 1 : 0);
    }
}

// A point beyond 1000 ends the game at once, as finished, but with a
// warning in the message list.
TEST(CalculateIfs, LeavingTheBoundsEndsWithAWarning)
{
    ListedFormula away("Away", {Map2D("1", "0", "0", "1", "2000", "0", "1")});
    IfsFractal f("Away", 4, 4, 1000, {2, 1, 1, 0, 0}, 0, 2, 2, 0);
    LockMessageList();
    int before = g_Messages.Count();
    UnlockMessageList();
    EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 3, 3), 0);
    LockMessageList();
    ASSERT_GT(g_Messages.Count(), before);
    std::string text;
    for (ListNode* n = g_Messages.GetAt(before); n; n = n->next)
        text += static_cast<MessageNode*>(n)->text + std::string("\n");
    UnlockMessageList();
    EXPECT_NE(text.find("After 1 points the orbit left the cube"), std::string::npos) << text;
    EXPECT_EQ(f.task->progress, 1.0);
}

// Weights are expressions: negative ones and ones that are no number never
// choose a map beyond the table; a formula without maps draws nothing.
TEST(CalculateIfs, MapChoiceStaysInsideTheTable)
{
    ListedFormula negative("Negative", {Map2D("0", "0", "0", "0", "0.5", "0.5", "0-1"),
                                        Map2D("0", "0", "0", "0", "1.5", "1.5", "0-1")});
    ListedFormula notANumber("NotANumber", {Map2D("0", "0", "0", "0", "0.5", "0.5", "0/0"),
                                            Map2D("0", "0", "0", "0", "1.5", "1.5", "1")});
    ListedFormula empty("Empty", {});
    struct Case {
        const char* formula;
        int atLower, atUpper;   // expected indices at (1,1) and (3,3)
    } cases[] = {{"Negative", 0, 1}, {"NotANumber", 0, 252}, {"Empty", 252, 252}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formula);
        IfsFractal f(c.formula, 4, 4, 200, {0, 1, 1, 0, 0}, 0, 2, 2, 0);
        EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 3, 3), 0);
        EXPECT_EQ(f.Index(1, 1), c.atLower);
        EXPECT_EQ(f.Index(3, 3), c.atUpper);
    }
}

TEST(CalculateIfs, MissingFormulaStopRequestsAndRepeatability)
{
    ListedFormula triangle("Triangle", kTriangle);
    {
        IfsFractal f("NoSuchFormula", 8, 8, 100, {2, 1, 1, 0, 0}, 0, 2, 2, 0);
        EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 7, 7), 1);
    }
    {
        IfsFractal f("Triangle", 8, 8, 100, {2, 1, 1, 0, 0}, 0, 2, 2, 0);
        f.task->command = FTC_STOP;
        EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 7, 7), 3);
        f.task->command = FTC_REDRAW3D;
        EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 7, 7), 0);
        EXPECT_EQ(f.task->command, 0);
    }
    // Two runs, and a run after a different one, give the same image and counts.
    IfsFractal f("Triangle", 16, 12, 800, {4, 5, 1, 0, 0}, -0.2, 2.1, 2.1, -0.3);
    EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 15, 11), 0);
    std::vector<int> first = f.Indices();
    std::vector<float> firstValues = f.Values();
    EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 15, 11), 0);
    EXPECT_EQ(f.Indices(), first);
    EXPECT_EQ(f.Values(), firstValues);
}

// The program's own IFS file gives the default formula: a new IFS fractal
// draws the Barnsley fern as the reference does from its well-known maps.
TEST(CalculateIfs, TheShippedFernIsTheDefault)
{
    std::string folder = SPIRALIX_TEST_DATA;
    folder = folder.substr(0, folder.size() - strlen("tests/data")) + "Formulas";
    ASSERT_GE(LoadOwnFormulaFiles(folder.c_str()), 1);
    ASSERT_NE(FindIfsFormula("Fern"), nullptr);
    const std::vector<Map> fern = {
        {0, 0, 0, 0, 0.16, 0, 0, 0, 1, 0, 0, 0, 0.01},
        {0.85, 0.04, 0, -0.04, 0.85, 0, 0, 0, 1, 0, 1.6, 0, 0.85},
        {0.2, -0.26, 0, 0.23, 0.22, 0, 0, 0, 1, 0, 1.6, 0, 0.07},
        {-0.15, 0.28, 0, 0.26, 0.24, 0, 0, 0, 1, 0, 0.44, 0, 0.07},
    };
    DrawingFractal f(FT_IFS, 0, 40, 48);
    EXPECT_EQ(CalculateIfs(f.fractal, 0, 0, 39, 47), 0);
    Reference r = RunReference(fern, 40, 48, 10000, {2, 1, 1, 0, 0}, -5, 11, 5, -1);
    std::vector<int> image;
    int drawn = 0;
    for (int row = 0; row < 48; row++)
        for (int column = 0; column < 40; column++) {
            image.push_back(f.Index(column, row));
            drawn += f.Index(column, row) != 252;
        }
    EXPECT_EQ(image, r.image);
    EXPECT_GT(drawn, 150);
    g_IfsFormulas.DeleteAllNodes();
    g_LSystemFormulas.DeleteAllNodes();
}
