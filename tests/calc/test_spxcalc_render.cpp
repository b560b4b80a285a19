// spxcalc render as a user and the other calculators' tests run it: the
// iteration counts of escape-time entries calculated through the real
// thread protocol against a plain long double calculation of the same
// points, the default passes (guessing, elimination, periodicity) close to
// it, a stop that ends an endless formula at once, and the exit codes.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/ToolRunner.h"

namespace {

typedef std::vector<std::vector<long>> Rows;

const char kData[] = SPIRALIX_TEST_DATA;

std::string EntryFile()
{
    return std::string(kData) + "/calc/escapetime.par";
}

// The fixture formulas first, then the program's shipped ones.
std::string FormulaPath()
{
    std::string data = kData;
    return data + "/calc;" + data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
}

std::string TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

ToolRun Render(const std::string& entry, const std::string& options)
{
    return RunSibling("spxcalc.exe", "render \"" + EntryFile() + "\" --entry " + entry + " --path \"" +
                                         FormulaPath() + "\" " + options);
}

Rows ReadRows(const std::string& path)
{
    Rows rows;
    std::ifstream in(path.c_str());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream values(line);
        std::vector<long> row;
        long v;
        while (values >> v)
            row.push_back(v);
        rows.push_back(row);
    }
    return rows;
}

long Stat(const std::string& output, const char* key)
{
    size_t at = output.find(std::string(key) + "=");
    return at == std::string::npos ? -1 : atol(output.c_str() + at + strlen(key) + 1);
}

// The independent calculation: z starts at 0, every step is followed by
// the test |z|^2 < 4; the count is the number of steps that stayed inside,
// maxiter when none left. Image line L is buffer row height - 1 - L, and
// the point of column x and buffer row r is the bottom-left corner plus x
// column steps plus r row steps.
typedef void (*Step)(long double& re, long double& im, long double cr, long double ci);

void Square(long double& re, long double& im, long double cr, long double ci)
{
    long double r = re * re - im * im + cr;
    im = 2 * re * im + ci;
    re = r;
}

void Cube(long double& re, long double& im, long double cr, long double ci)
{
    long double r2 = re * re - im * im, i2 = 2 * re * im;
    long double r = r2 * re - i2 * im + cr;
    im = r2 * im + i2 * re + ci;
    re = r;
}

Rows ReferenceCounts(Step step, int width, int height, int maxiter)
{
    // The view of a new escape-time fractal: -2..2 across, -1.5..1.5 up.
    const long double left = -2, bottom = -1.5, dx = 4.0L / width, dy = 3.0L / height;
    Rows rows(height, std::vector<long>(width));
    for (int line = 0; line < height; ++line) {
        int r = height - 1 - line;
        for (int x = 0; x < width; ++x) {
            long double cr = left + x * dx, ci = bottom + r * dy, re = 0, im = 0;
            long count = maxiter;
            for (int n = 0; n < maxiter; ++n) {
                step(re, im, cr, ci);
                if (re * re + im * im >= 4) {
                    count = n;
                    break;
                }
            }
            rows[line][x] = count;
        }
    }
    return rows;
}

int Differences(const Rows& a, const Rows& b)
{
    int n = 0;
    for (size_t line = 0; line < a.size() && line < b.size(); ++line)
        for (size_t x = 0; x < a[line].size() && x < b[line].size(); ++x)
            n += a[line][x] != b[line][x];
    return n;
}

struct ExactCase {
    const char* entry;
    Step step;
    int maxiter;
};

// Every pixel calculated (one pass, no elimination, no periodicity check):
// each count equals the plain calculation's. Catches a wrong point
// mapping (origin, steps, row order), a wrong iteration count and pixels
// left out.
TEST(SpxcalcRender, EveryPixelCountsAsThePlainCalculation)
{
    const ExactCase cases[] = {
        {"Default", &Square, 150},
        {"Cubic", &Cube, 60},
    };
    for (const ExactCase& c : cases) {
        std::string dump = TempPath("spx_render_iter.txt");
        ToolRun run = Render(c.entry, "--size 64x48 --passes 0 --eliminate 0 --periodicity 0 --maxiter " +
                                          std::to_string(c.maxiter) + " --stats --dump-iter \"" + dump + "\"");
        ASSERT_EQ(0u, run.exitCode) << c.entry << "\n" << run.errors;
        EXPECT_NE(std::string::npos, run.output.find("result=0")) << run.output;
        EXPECT_EQ(64 * 48, Stat(run.output, "calculated")) << c.entry;
        Rows got = ReadRows(dump);
        ASSERT_EQ(48u, got.size()) << c.entry;
        ASSERT_EQ(64u, got[0].size()) << c.entry;
        Rows want = ReferenceCounts(c.step, 64, 48, c.maxiter);
        EXPECT_EQ(0, Differences(got, want)) << c.entry;
        // Both halves of the picture: escaping pixels and the set itself.
        EXPECT_EQ(0, got[0][0]) << c.entry;
        EXPECT_EQ(c.maxiter, got[24][32]) << c.entry;
        DeleteFileA(dump.c_str());
    }
}

// The default settings (three passes with guessing, elimination after
// each pass, periodicity "Normal") calculate far fewer pixels and give
// almost the same counts; guessed and eliminated pixels show their
// source's count.
TEST(SpxcalcRender, DefaultPassesStayWithinOnePercentOfThePlainCalculation)
{
    std::string dump = TempPath("spx_render_default.txt");
    ToolRun run = Render("Default", "--size 64x48 --stats --dump-iter \"" + dump + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    Rows got = ReadRows(dump);
    ASSERT_EQ(48u, got.size());
    int differ = Differences(got, ReferenceCounts(&Square, 64, 48, 150));
    EXPECT_LE(differ, 64 * 48 / 100);
    long calculated = Stat(run.output, "calculated"), eliminated = Stat(run.output, "eliminated");
    EXPECT_GT(eliminated, 0);
    EXPECT_LT(calculated, 64 * 48 * 2 / 3);
    EXPECT_EQ(64 * 48, Stat(run.output, "pixels"));
    DeleteFileA(dump.c_str());
}

// A formula that never bails out with a budget of two billion iterations:
// the stop after 300 ms leaves the compiled code at once (result 3, exit
// 0) and the thread answers without the deadlock box.
TEST(SpxcalcRender, StopEndsAnEndlessFormulaWithinHalfASecond)
{
    ToolRun run = Render("Endless", "--size 32x24 --maxiter 2000000000 --periodicity 0 --stop-after 300 --stats");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_NE(std::string::npos, run.output.find("result=3")) << run.output;
    long ms = Stat(run.output, "ms");
    EXPECT_GE(ms, 300);
    EXPECT_LT(ms, 800);
    EXPECT_EQ(std::string::npos, run.errors.find("Critical Error")) << run.errors;
    EXPECT_EQ(std::string::npos, run.errors.find("Exception")) << run.errors;
}

// The image files: the values and the 24-bit rows have the image's shape,
// and an outside pixel's value is its count over 252 (the default
// colouring).
TEST(SpxcalcRender, DumpsHaveTheImageShape)
{
    std::string iter = TempPath("spx_render_i.txt"), values = TempPath("spx_render_v.txt"),
                bgr = TempPath("spx_render.bgr"), png = TempPath("spx_render.png");
    ToolRun run = Render("Default", "--size 16x12 --passes 0 --eliminate 0 --periodicity 0 --dump-iter \"" + iter +
                                        "\" --dump-values \"" + values + "\" --dump-bgr \"" + bgr + "\" --png \"" +
                                        png + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    Rows counts = ReadRows(iter);
    std::ifstream in(values.c_str());
    std::vector<std::vector<double>> v;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<double> row;
        double d;
        while (words >> d)
            row.push_back(d);
        v.push_back(row);
    }
    ASSERT_EQ(12u, v.size());
    ASSERT_EQ(16u, v[0].size());
    EXPECT_EQ(0, counts[0][0]);
    EXPECT_NEAR(counts[1][7] / 252.0, v[1][7], 1e-6);
    WIN32_FILE_ATTRIBUTE_DATA a;
    ASSERT_TRUE(GetFileAttributesExA(bgr.c_str(), GetFileExInfoStandard, &a));
    EXPECT_EQ(16u * 12 * 3, a.nFileSizeLow);
    ASSERT_TRUE(GetFileAttributesExA(png.c_str(), GetFileExInfoStandard, &a));
    EXPECT_GT(a.nFileSizeLow, 8u);
    for (const std::string& p : {iter, values, bgr, png})
        DeleteFileA(p.c_str());
}

// The colours come from the fractal's gradient: a windowless fractal of no
// folder gets its palette too (it once rendered all black), and pixels of
// equal counts share their colour.
TEST(SpxcalcRender, PixelsTakeTheGradientsColours)
{
    std::string iter = TempPath("spx_render_ci.txt"), bgr = TempPath("spx_render_c.bgr");
    ToolRun run = Render("Default", "--size 32x24 --passes 0 --eliminate 0 --periodicity 0 --dump-iter \"" + iter +
                                        "\" --dump-bgr \"" + bgr + "\"");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    Rows counts = ReadRows(iter);
    std::ifstream in(bgr.c_str(), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(32u * 24 * 3, bytes.size());
    ASSERT_EQ(24u, counts.size());
    std::map<long, long> colourOfCount;
    std::set<long> colours;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) {
            // The dump is bottom-up, the counts top row first.
            const unsigned char* p = &bytes[((size_t)(23 - y) * 32 + x) * 3];
            long colour = p[0] | p[1] << 8 | p[2] << 16;
            colours.insert(colour);
            auto known = colourOfCount.emplace(counts[y][x], colour);
            EXPECT_EQ(known.first->second, colour) << "count " << counts[y][x] << " at " << x << "," << y;
        }
    EXPECT_GT(colours.size(), 4u);
    DeleteFileA(iter.c_str());
    DeleteFileA(bgr.c_str());
}

// A formula that does not compile fails with its text; bad arguments, an
// unknown entry or an unreadable file exit with 2 before calculating.
TEST(SpxcalcRender, FailuresHaveTheirExitCodes)
{
    ToolRun broken = Render("Broken", "--size 16x12");
    EXPECT_EQ(1u, broken.exitCode);
    EXPECT_NE(std::string::npos, broken.output.find("result=1")) << broken.output;
    EXPECT_NE(std::string::npos, broken.errors.find("Cannot compile Broken")) << broken.errors;

    struct Bad {
        const char* entry;
        const char* options;
    } const bad[] = {
        {"Default", "--passes 4"},
        {"Default", "--eliminate 3"},
        {"Default", "--periodicity 6"},
        {"Default", "--size 0x10"},
        {"Default", "--frobnicate 1"},
        {"NoSuchEntry", "--size 16x12"},
    };
    for (const Bad& b : bad) {
        ToolRun run = Render(b.entry, b.options);
        EXPECT_EQ(2u, run.exitCode) << b.entry << " " << b.options;
        EXPECT_EQ(std::string::npos, run.output.find("result=")) << b.options;
    }
    ToolRun missing = RunSibling("spxcalc.exe", "render \"" + std::string(kData) + "/calc/none.par\" --entry X");
    EXPECT_EQ(2u, missing.exitCode);
}

}  // namespace
