// Accumulation of attractor points: kernel and filter sizes, the splat at
// the plane's edges, and how records reach density, depth and colour in
// each render mode.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "fractals/attractor/AttractorAccumulation.h"
#include "fractals/attractor/AttractorBlock.h"

namespace {

struct Planes {
    int w, h;
    std::vector<float> density, depth, sums[4];
    std::vector<uint32_t> colour;
    std::vector<uint8_t> flags;
    AttractorPlanes p;
    Planes(int width, int height) : w(width), h(height)
    {
        int n = w * h;
        density.assign(n, 0);
        depth.assign(n, 0);
        colour.assign(n, 0);
        flags.assign(n, 0);
        p.width = w;
        p.height = h;
        p.density = density.data();
        p.depth = depth.data();
        p.colour = colour.data();
        p.flags = flags.data();
        for (int k = 0; k < 4; k++) {
            sums[k].assign(n, 0);
            p.sums[k] = sums[k].data();
        }
    }
    // The cell a screen position lands in.
    int Cell(int x, int y) const { return (h - y - 21) * w + x + 20; }
};

std::vector<uint8_t> Records(std::vector<AttractorScreenRecord> list)
{
    std::vector<uint8_t> bytes(list.size() * ATTRACTOR_RECORD_SIZE, 0xEE);
    for (size_t k = 0; k < list.size(); k++)
        memcpy(bytes.data() + k * ATTRACTOR_RECORD_SIZE, &list[k], sizeof list[k]);
    return bytes;
}

void RedFromIndex(void*, float index, int rgb[3])
{
    rgb[0] = (int)(index * 1000);   // above 255 for index > 0.255
    rgb[1] = 0;
    rgb[2] = 51;
}

}  // namespace

TEST(AttractorKernel, WeightsAndLimit)
{
    struct Guarded {
        float kernel[32 * 32];
        float after[16];
        uint8_t mask[32 * 32];
        uint8_t maskAfter[16];
    } g;
    struct { int radius, used; } cases[] = {{0, 0}, {3, 3}, {31, 31}, {100, 31}, {-5, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radius);
        for (float& f : g.after)
            f = 7;
        memset(g.maskAfter, 7, sizeof g.maskAfter);
        FillAttractorKernel(c.radius, g.kernel, g.mask);
        EXPECT_EQ(AttractorKernelRadius(c.radius), c.used);
        EXPECT_EQ(g.kernel[0], 1.0f);
        for (float f : g.after)
            ASSERT_EQ(f, 7) << "nothing written beyond the table";
        for (uint8_t m : g.maskAfter)
            ASSERT_EQ(m, 7);
        int r = c.used;
        for (int y = 0; y < 32; y++)
            for (int x = 0; x < 32; x++) {
                int d = x * x + y * y;
                bool inside = x <= r && y <= r && d <= r * r;
                ASSERT_EQ(g.mask[y * 32 + x], inside ? 1 : 0) << x << "," << y;
                float expected = !inside ? 0.0f : r == 0 ? 1.0f : (float)exp(-4.0 * d / (r * r));
                ASSERT_NEAR(g.kernel[y * 32 + x], expected, 1e-7) << x << "," << y;
            }
    }
}

TEST(AttractorFilter, SizesAreEvenWithTheFactorAndSumToOne)
{
    struct { int s; double radius; int n; } cases[] = {
        {1, 0, 1}, {2, 0, 2}, {3, 0, 1}, {4, 0, 2}, {5, 0, 1},
        {1, 0.5, 3}, {2, 0.5, 6}, {2, 10, 40}, {5, 10, 39}, {3, 1e9, 39}, {4, -1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s << " " << c.radius);
        int n = AttractorFilterSize(c.s, c.radius);
        EXPECT_EQ(n, c.n);
        std::vector<float> cells(n * n);
        FillAttractorFilter(n, cells.data());
        double sum = 0;
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                ASSERT_TRUE(isfinite(cells[i * n + j]));
                EXPECT_FLOAT_EQ(cells[i * n + j], cells[j * n + (n - 1 - i)]) << "symmetric";
                sum += cells[i * n + j];
            }
        EXPECT_NEAR(sum, 1, 1e-5);
    }
}

TEST(AttractorAccumulate, SplatAtTheEdgesAddsOnlyInside)
{
    float kernel[32 * 32];
    uint8_t mask[32 * 32];
    FillAttractorKernel(2, kernel, mask);
    Planes pl(5, 4);
    std::vector<float> plane(5 * 4 + 4, 0);   // four guard cells behind
    SplatAttractorPoint(pl.p, plane.data(), 0, 3, kernel, 2);
    SplatAttractorPoint(pl.p, plane.data(), 4, 0, kernel, 2);
    for (int k = 20; k < 24; k++)
        EXPECT_EQ(plane[k], 0) << "no write beyond the plane";
    EXPECT_FLOAT_EQ(plane[3 * 5 + 0], 1.0f);
    EXPECT_FLOAT_EQ(plane[2 * 5 + 1], kernel[32 + 1]);
    EXPECT_FLOAT_EQ(plane[1 * 5 + 0], kernel[2 * 32]);
    EXPECT_FLOAT_EQ(plane[0 * 5 + 4], 1.0f);
    EXPECT_FLOAT_EQ(plane[0 * 5 + 2], kernel[2]);
    EXPECT_EQ(plane[0], 0) << "beyond both radii";
}

TEST(AttractorAccumulate, DepthDecidesTheColourInGasAndSolid)
{
    for (int mode : {0, 3}) {
        SCOPED_TRACE(mode);
        Planes pl(50, 50);
        AttractorAccumulation how;
        how.mode = mode;
        std::vector<uint8_t> r = Records({
            {3, 4, 5.0f, 0.25f, {0, 0, 0, 1}},
            {3, 4, 5.0f, 0.5f, {0, 0, 0, 1}},     // equally near: kept out
            {3, 4, 6.0f, 0.75f, {0, 0, 0, 1}},    // farther: kept out
            {3, 4, 4.0f, 0.125f, {0, 0, 0, 1}},   // nearer: replaces
            {-21, 4, 1.0f, 0.9f, {0, 0, 0, 1}},   // column -1: dropped
            {3, 29, 1.0f, 0.9f, {0, 0, 0, 1}},    // row 0 is the last inside
            {3, 30, 1.0f, 0.9f, {0, 0, 0, 1}},    // row -1: dropped
        });
        EXPECT_EQ(AccumulateAttractorRecords(pl.p, how, r.data(), 7), 5);
        int c = pl.Cell(3, 4);
        EXPECT_EQ(pl.density[c], 4.0f);
        EXPECT_EQ(pl.depth[c], 4.0f);
        float index;
        memcpy(&index, &pl.colour[c], 4);
        EXPECT_EQ(index, 0.125f);
        EXPECT_EQ(pl.flags[c], 0x10);
        EXPECT_EQ(pl.density[pl.Cell(3, 29)], 1.0f);
        float total = 0;
        for (float d : pl.density)
            total += d;
        EXPECT_EQ(total, 5.0f);
    }
}

TEST(AttractorAccumulate, FlameAndPlasmaSumColours)
{
    std::vector<uint8_t> r = Records({
        {0, 0, 5.0f, 0.1f, {2.0f, 0.5f, -1.0f, 1}},
        {0, 0, 9.0f, 0.5f, {0.0f, 1.0f, 0.2f, 1}},
    });
    struct { int mode; bool direct; float red, green, blue, count; uint32_t colour; } cases[] = {
        {1, false, 100 / 255.0f + 1, 0, 0.4f, 2, 0},
        {2, false, 0.6f, 0, 0, 2, 0},
        {1, true, 1, 127 / 255.0f + 1, 51 / 255.0f, 2, 0x00FF33},   // channels clamped, the last colour stays
        {0, true, 0, 0, 0, 0, 0xFF7F00},                            // Gas keeps the nearer colour
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << " " << c.direct);
        Planes pl(30, 30);
        AttractorAccumulation how;
        how.mode = c.mode;
        how.directColour = c.direct;
        how.mapColour = &RedFromIndex;
        AccumulateAttractorRecords(pl.p, how, r.data(), 2);
        int cell = pl.Cell(0, 0);
        EXPECT_NEAR(pl.sums[0][cell], c.red, 1e-6);
        EXPECT_NEAR(pl.sums[1][cell], c.green, 1e-6);
        EXPECT_NEAR(pl.sums[2][cell], c.blue, 1e-6);
        EXPECT_EQ(pl.sums[3][cell], c.count);
        EXPECT_EQ(pl.flags[cell], c.direct ? 0x50 : 0x10);
        if (c.direct)
            EXPECT_EQ(pl.colour[cell], c.colour);
        EXPECT_EQ(pl.depth[cell], c.mode == 0 ? 5.0f : 9.0f) << "modes 1 and 2 always take the colour";
    }
}
