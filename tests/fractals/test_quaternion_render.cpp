// spxcalc render of quaternion entries whose formula keeps a 4D ball: the
// depth plane against the camera equations solved for the ball in closed
// form, repeatable and worker-count-independent results, and a stop that
// reaches a ray marching at MaxIter 2,000,000,000.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ToolRunner.h"

namespace {

// What an entry of balls.par sets; everything else is the default camera.
struct Ball {
    const char* entry;
    double normal[4];
    double base[4];
    double radius;
    double observer[3], viewpoint[3], top[3];
};

const Ball kBalls[] = {
    {"Centre", {0, 0, 0, 1}, {0, 0, 0, 0}, 1.0, {0, 0, -3}, {0, 0, 0}, {0, 1, 0}},
    {"Shifted", {0, 0, 0, 1}, {0.25, -0.2, 0.1, 0.6}, 1.0, {0, 0, -3}, {0, 0, 0}, {0, 1, 0}},
    {"Tilted", {1, 1, 0, 1}, {0.2, 0.1, -0.1, 0.3}, 1.1, {0, 0, -3}, {0, 0, 0}, {0, 1, 0}},
    {"FlatK", {0, 0, 1, 0}, {0, 0.3, 0, 0}, 1.0, {0.5, 0.4, -2.8}, {0, 0.1, 0}, {0, 1, 0.2}},
};
const int kWidth = 48, kHeight = 36;
const double kBackPlane = 3.4, kViewAngle = 30, kHighres = 2;

double Dot3(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Unit3(double* v)
{
    double l = sqrt(Dot3(v, v));
    for (int i = 0; i < 3; ++i)
        v[i] /= l;
}

// The slice basis: Gram-Schmidt of the normal and the first three axes,
// a k component of the normal that is 0 taken as 1e-8.
void Basis(const double normal[4], double b[4][4])
{
    double src[4][4] = {{normal[0], normal[1], normal[2], fabs(normal[3]) < 1e-7 ? 1e-8 : normal[3]},
                        {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    for (int i = 0; i < 4; ++i) {
        double u[4];
        for (int c = 0; c < 4; ++c)
            u[c] = src[i][c];
        for (int j = 0; j < i; ++j) {
            double d = 0;
            for (int c = 0; c < 4; ++c)
                d += src[i][c] * b[j][c];   // b[j] is already a unit vector here
            for (int c = 0; c < 4; ++c)
                u[c] -= d * b[j][c];
        }
        double l = sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2] + u[3] * u[3]);
        for (int c = 0; c < 4; ++c)
            b[i][c] = u[c] / l;
    }
}

// The ray fraction where the ray of pixel (x, y), y from the top, enters
// the slice of the ball, or -1; *chord is the length of the ray inside it
// (as a fraction), 0 for a miss.
double ExpectedDepth(const Ball& ball, int x, int y, double* chord)
{
    const double* o = ball.observer;
    double dir[3] = {ball.viewpoint[0] - o[0], ball.viewpoint[1] - o[1], ball.viewpoint[2] - o[2]};
    Unit3(dir);
    double top[3] = {ball.top[0], ball.top[1], ball.top[2]};
    double right[3] = {top[1] * dir[2] - top[2] * dir[1], top[2] * dir[0] - top[0] * dir[2],
                       top[0] * dir[1] - top[1] * dir[0]};
    Unit3(right);
    Unit3(top);
    double fov = kViewAngle * 5 / 6 * 3.1415926535 / 180;
    double m = 0.75 * kWidth < kHeight ? 0.75 * kWidth : kHeight;
    double k = 2 * kBackPlane * tan(fov) / m;
    int r = kHeight - 1 - y;
    double pixel[3];
    for (int i = 0; i < 3; ++i) {
        double centre = o[i] + dir[i] * kBackPlane;
        double corner = centre - kHeight * 0.5 * top[i] * k - kWidth * 0.5 * right[i] * k;
        pixel[i] = corner + x * right[i] * k + r * top[i] * k;
    }
    double b[4][4];
    Basis(ball.normal, b);
    // the slice point of world point w is base + w.x b1 + w.y b2 + w.z b3
    double a[4], v[4];
    for (int c = 0; c < 4; ++c) {
        a[c] = ball.base[c] + o[0] * b[1][c] + o[1] * b[2][c] + o[2] * b[3][c];
        v[c] = (pixel[0] - o[0]) * b[1][c] + (pixel[1] - o[1]) * b[2][c] + (pixel[2] - o[2]) * b[3][c];
    }
    double av = 0, vv = 0, aa = 0;
    for (int c = 0; c < 4; ++c) {
        av += a[c] * v[c];
        vv += v[c] * v[c];
        aa += a[c] * a[c];
    }
    double disc = av * av - vv * (aa - ball.radius * ball.radius);
    *chord = 0;
    if (disc <= 0)
        return -1;
    double t = (-av - sqrt(disc)) / vv;
    *chord = 2 * sqrt(disc) / vv;
    return t > 0 && t <= 1 ? t : -1;
}

class QuaternionRender : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string data = SPIRALIX_TEST_DATA;
        std::string formulas = data.substr(0, data.size() - strlen("/tests/data")) + "/Formulas";
        SetEnvironmentVariableA("SPIRALIX_FORMULAS", formulas.c_str());
    }

    static std::string Temp(const std::string& name)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        return std::string(temp) + "spx_quat_" + std::to_string(GetCurrentProcessId()) + "_" + name;
    }

    static std::vector<std::vector<double>> Depths(const std::string& text)
    {
        std::vector<std::vector<double>> rows;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream cells(line);
            std::vector<double> row;
            for (double d; cells >> d;)
                row.push_back(d);
            rows.push_back(row);
        }
        return rows;
    }

    // Renders an entry of balls.par; the depth dump's text, or "" on a failure.
    static std::string Render(const char* entry, int workers, const std::string& tag, std::string* bgr = nullptr,
                              ToolRun* out = nullptr, const char* extra = "")
    {
        std::string data = std::string(SPIRALIX_TEST_DATA) + "/quaternion";
        std::string depth = Temp(tag + ".txt"), image = Temp(tag + ".bgr");
        std::string args = "render \"" + data + "/balls.par\" --entry " + entry + " --path \"" + data +
                           "\" --workers " + std::to_string(workers) + " --stats --dump-depth \"" + depth +
                           "\" --dump-bgr \"" + image + "\" " + extra;
        ToolRun run = RunSibling("spxcalc.exe", args, 400000);
        if (out)
            *out = run;
        EXPECT_EQ(run.exitCode, 0u) << entry << "\n" << run.output << run.errors;
        EXPECT_NE(run.output.find("result=0"), std::string::npos) << run.output;
        if (bgr)
            *bgr = ReadWholeFile(image);
        std::string text = ReadWholeFile(depth);
        DeleteFileA(depth.c_str());
        DeleteFileA(image.c_str());
        return text;
    }
};

}  // namespace

// Every slice kind: the marched depth agrees with the closed form off the
// silhouette, and a ray that misses the ball stays -1. One and two workers
// share a tile layout and give the same file.
TEST_F(QuaternionRender, BallSlicesMatchTheCameraEquations)
{
    const double step = 1.0 / (kWidth * kHighres);
    for (const Ball& ball : kBalls) {
        std::string one = Render(ball.entry, 1, std::string(ball.entry) + "_1");
        std::vector<std::vector<double>> depth = Depths(one);
        ASSERT_EQ(depth.size(), (size_t)kHeight) << ball.entry;
        int hits = 0, compared = 0;
        for (int y = 0; y < kHeight; ++y) {
            ASSERT_EQ(depth[y].size(), (size_t)kWidth) << ball.entry << " row " << y;
            for (int x = 0; x < kWidth; ++x) {
                double chord;
                double expected = ExpectedDepth(ball, x, y, &chord);
                if (expected < 0) {
                    EXPECT_EQ(depth[y][x], -1) << ball.entry << " pixel " << x << "," << y;
                    continue;
                }
                ++hits;
                if (chord < 4 * step)   // the silhouette: a fixed step may pass the ball
                    continue;
                ++compared;
                EXPECT_NEAR(depth[y][x], expected, 1e-4) << ball.entry << " pixel " << x << "," << y;
            }
        }
        EXPECT_GT(compared, 200) << ball.entry;
        EXPECT_LT(hits, kWidth * kHeight / 2) << ball.entry;   // the picture shows background too
        EXPECT_EQ(Render(ball.entry, 2, std::string(ball.entry) + "_2"), one) << ball.entry;
    }
}

// The same entry twice gives the same depths and the same shaded image;
// four workers cut the rows differently but agree within 1e-4.
TEST_F(QuaternionRender, RepeatsExactlyAndWorkersAgree)
{
    std::string bgrA, bgrB;
    std::string a = Render("Tilted", 2, "twice_a", &bgrA);
    std::string b = Render("Tilted", 2, "twice_b", &bgrB);
    EXPECT_EQ(a, b);
    ASSERT_EQ(bgrA.size(), (size_t)kWidth * kHeight * 3);
    EXPECT_EQ(bgrA, bgrB);

    std::vector<std::vector<double>> two = Depths(a), four = Depths(Render("Tilted", 4, "four"));
    ASSERT_EQ(two.size(), four.size());
    for (size_t y = 0; y < two.size(); ++y) {
        ASSERT_EQ(two[y].size(), four[y].size());
        for (size_t x = 0; x < two[y].size(); ++x)
            EXPECT_NEAR(two[y][x], four[y][x], 1e-4) << x << "," << y;
    }
}

// A ball at MaxIter 2,000,000,000 keeps each ray inside the compiled loop
// for seconds: the stop after 500 ms is answered within half a second,
// the result is 3 and the process ends by itself.
TEST_F(QuaternionRender, StopReachesWorkersInsideCompiledCode)
{
    ToolRun run;
    std::string data = std::string(SPIRALIX_TEST_DATA) + "/quaternion";
    run = RunSibling("spxcalc.exe",
                     "render \"" + data + "/balls.par\" --entry Endless --path \"" + data +
                         "\" --workers 2 --stats --stop-after 500",
                     400000);
    ASSERT_EQ(run.exitCode, 0u) << run.output << run.errors;
    EXPECT_NE(run.output.find("result=3"), std::string::npos) << run.output;
    size_t at = run.output.find("ms=");
    ASSERT_NE(at, std::string::npos) << run.output;
    long ms = atol(run.output.c_str() + at + 3);
    EXPECT_GE(ms, 500);
    EXPECT_LT(ms, 1000);
    at = run.output.find("stop_ms=");
    ASSERT_NE(at, std::string::npos) << run.output;
    EXPECT_LT(atol(run.output.c_str() + at + 8), 500);
}

// Bad input ends with a result code and a message, never a crash: orbit
// buffers too large for memory (MaxIter 2,000,000,000 with a formula that
// reads oldz), a formula that is missing or does not compile, a camera whose
// observer is its viewpoint, a 1 x 1 image.
TEST_F(QuaternionRender, BadInputGivesAResultAndAMessage)
{
    struct Case {
        const char* entry;
        const char* result;
        const char* message;   // in the output or the errors; "" for none
    } cases[] = {
        {"OrbitHuge", "result=2", "Not enough memory"},
        {"Missing", "result=1", "Unable to find formula Nowhere"},
        {"Broken", "result=1", "Compiler error"},
        {"Degenerate", "result=0", ""},
        {"Tiny", "result=0", ""},
    };
    std::string data = std::string(SPIRALIX_TEST_DATA) + "/quaternion";
    for (const Case& c : cases) {
        ToolRun run = RunSibling("spxcalc.exe",
                                 "render \"" + data + "/balls.par\" --entry " + c.entry + " --path \"" + data + "\"",
                                 400000);
        EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << c.entry << " exit " << run.exitCode;
        EXPECT_NE(run.output.find(c.result), std::string::npos) << c.entry << "\n" << run.output << run.errors;
        EXPECT_NE((run.output + run.errors).find(c.message), std::string::npos) << c.entry << "\n" << run.errors;
    }
}
