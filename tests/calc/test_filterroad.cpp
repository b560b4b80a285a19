// The image-filter road: an identity filter reproduces the plain image, a
// 3 x 3 kernel on the pixel grid folds each pixel's neighbourhood of the
// plain image and single weights on finer grids pick shifted pixels (so
// window layout, row order and the reuse of samples across columns and
// rows show), clamping with DIVISOR and BIAS, and the opacity taken from
// the centre sample through the alpha table.
#include <gtest/gtest.h>

#include <set>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/escapetime/FilterRoad.h"
#include "compiler/FormulaCompiler.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "foundation/ImageFilter.h"
#include "foundation/Thread.h"
#include "tests/calc/ColourTestSupport.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

const char kMandelbrot[] =
    "Mandel {\n void init(void)\n {\n  z = 0;\n }\n void loop(void)\n {\n  z = z * z + pixel;\n }\n"
    " bool bailout(void)\n {\n  return(|z| < 4);\n }\n}\n";

// A windowless 24-bit Mandelbrot on one pass, without guessing,
// elimination or periodicity, so that every pixel is calculated alike.
class FilterTask {
public:
    FilterTask(int width, int height) : base(width, height, 24, 24, FT_ESCAPETIME)
    {
        EscapetimeParameters* block = Block();
        FormulaSlot& slot = block->iteration;
        slot.holder->SetSource(kMandelbrot);
        slot.holder->word = 0;
        slot.SetNames("Test.sfm", "Mandel", "Mandel");
        block->MaxIter = 40;
        block->Passes = 0;
        block->Eliminate = 0;
        block->Periodicity = 0;
        FillTestGradient(base.task->dib.colors);
    }
    ~FilterTask()
    {
        base.fractal->header->ImageFilter = nullptr;
    }
    EscapetimeParameters* Block() const { return static_cast<EscapetimeParameters*>(base.fractal->typeParameters); }

    // Calculates the whole image with filter (null: the interactive road)
    // and returns its pixels, rows bottom-up, blue green red.
    std::vector<uint8_t> Image(ImageFilter* filter, int step)
    {
        Fractal* f = base.fractal;
        FractalTask* t = base.task;
        f->header->ImageFilter = filter;
        f->header->FilterStep = step;
        size_t cells = (size_t)f->GetBufferWidth() * f->header->Height;
        memset(t->values, 0, cells * sizeof(float));
        memset(t->flags, 0, cells);
        memset(t->imageBits, 0, (size_t)f->GetImageStride() * 3 * f->header->Height);
        t->lastCalculateCommand = FTC_RECALCULATE;
        result = CalculateEscapeTime(f, 0, 0, f->header->Width - 1, f->header->Height - 1);
        std::vector<uint8_t> pixels;
        for (int y = 0; y < f->header->Height; ++y)
            for (int x = 0; x < f->header->Width; ++x)
                pixels.insert(pixels.end(), base.Rgb(x, y), base.Rgb(x, y) + 3);
        return pixels;
    }
    // Distinct colours of an image, to be sure it is not flat.
    static size_t Colours(const std::vector<uint8_t>& pixels)
    {
        std::set<uint32_t> seen;
        for (size_t i = 0; i + 2 < pixels.size(); i += 3)
            seen.insert(pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16);
        return seen.size();
    }

    TestTask base;
    EscapeTimeMembers members{base.task};
    int result = -1;
};

class FilterRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = g_ImageFilterRoad;
        InstallImageFilterRoad();
    }
    void TearDown() override { g_ImageFilterRoad = saved; }
    EscapeTimeRoad saved = nullptr;
};

void SetKernel(ImageFilter* filter, int side, const std::vector<double>& values, double divisor, double bias)
{
    ASSERT_TRUE(filter->SetSide(side));
    for (size_t i = 0; i < values.size(); ++i)
        filter->SetValue((int)i, values[i]);
    filter->SetDivisor(divisor);
    filter->SetBias(bias);
}

TEST_F(FilterRoadTest, IdentityFilterChangesNothing)
{
    FilterTask task(12, 9);
    std::vector<uint8_t> plain = task.Image(nullptr, 1);
    ASSERT_EQ(task.result, 0);
    ASSERT_GT(FilterTask::Colours(plain), 10u);
    ImageFilter identity;
    std::vector<uint8_t> filtered = task.Image(&identity, 1);
    EXPECT_EQ(task.result, 0);
    EXPECT_EQ(filtered, plain);
    // The pixel keeps the value and flag of its centre sample.
    EXPECT_NE(task.base.task->flags[0] & PF_CALCULATED, 0);
}

// With one sample per pixel, window row j, column i of pixel (x, r) is the
// plain image's pixel (x + i - 1, r + 1 - j): the top window row lies above.
TEST_F(FilterRoadTest, KernelFoldsTheNeighbourhoodOfEveryInnerPixel)
{
    const int w = 14, h = 11;
    FilterTask task(w, h);
    std::vector<uint8_t> plain = task.Image(nullptr, 1);
    ASSERT_EQ(task.result, 0);
    ASSERT_GT(FilterTask::Colours(plain), 10u);
    const std::vector<double> weights = {1, 2, 0, 0, 3, 0, 0, 0, 4};
    ImageFilter kernel;
    SetKernel(&kernel, 3, weights, 10.0, 1.5);
    std::vector<uint8_t> filtered = task.Image(&kernel, 1);
    ASSERT_EQ(task.result, 0);
    int differing = 0;
    for (int r = 1; r < h - 1; ++r)
        for (int x = 1; x < w - 1; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int j = 0; j < 3; ++j)
                    for (int i = 0; i < 3; ++i)
                        sum += weights[j * 3 + i] * plain[((size_t)(r + 1 - j) * w + x + i - 1) * 3 + c];
                double v = sum / 10.0 + 1.5;
                int want = v > 255 ? 255 : (int)v;
                EXPECT_EQ(filtered[((size_t)r * w + x) * 3 + c], want) << x << "," << r << " channel " << c;
                differing += want != plain[((size_t)r * w + x) * 3 + c];
            }
    EXPECT_GT(differing, w * h);   // the kernel is far from the identity on this image
}

// A single weight of 1 at window row j, column i picks the sample at
// ((i - h) / S, (h - j) / S) pixels from the pixel; where that is a whole
// pixel the filtered image is the plain one shifted. K = 5, S = 2 reuses
// three window rows from row to row and three sample columns from column
// to column; K = 3, S = 3 reuses nothing.
TEST_F(FilterRoadTest, SingleWeightPicksTheSampleOnTheFinerGrid)
{
    const int w = 14, h = 11;
    FilterTask task(w, h);
    std::vector<uint8_t> plain = task.Image(nullptr, 1);
    ASSERT_EQ(task.result, 0);
    ASSERT_GT(FilterTask::Colours(plain), 8u);
    struct Case {
        int side, step, j, i, dx, dr;
    } const cases[] = {
        {5, 2, 2, 2, 0, 0},  {5, 2, 0, 2, 0, 1},   {5, 2, 2, 0, -1, 0},
        {5, 2, 4, 4, 1, -1}, {5, 2, 0, 0, -1, 1},  {3, 3, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        ImageFilter pick;
        std::vector<double> weights((size_t)c.side * c.side, 0.0);
        weights[(size_t)c.j * c.side + c.i] = 1.0;
        SetKernel(&pick, c.side, weights, 1.0, 0.0);
        std::vector<uint8_t> filtered = task.Image(&pick, c.step);
        ASSERT_EQ(task.result, 0);
        int wrong = 0;
        for (int r = 1; r < h - 1; ++r)
            for (int x = 1; x < w - 1; ++x)
                for (int ch = 0; ch < 3; ++ch)
                    wrong += filtered[((size_t)r * w + x) * 3 + ch] !=
                             plain[((size_t)(r + c.dr) * w + x + c.dx) * 3 + ch];
        EXPECT_EQ(wrong, 0) << "K=" << c.side << " S=" << c.step << " weight at " << c.j << "," << c.i;
    }
}

TEST(FilterFold, DivisorBiasAndClamping)
{
    struct Case {
        double weight, divisor, bias, sample;
        int want;
    } const cases[] = {
        {1, 1, 0, 77, 77},        // the centre alone reproduces the sample
        {3, 2, 0, 100, 150},
        {1, 1, 10.6, 100, 110},   // truncated, not rounded
        {3, 1, 0, 100, 255},      // above 255 x DIVISOR
        {-1, 1, 0, 100, 0},       // a negative sum
        {-1, 1, 300, 100, 200},
        {2, 0, 0, 50, 100},       // DIVISOR 0 counts as 1
    };
    for (const Case& c : cases) {
        ImageFilter filter;
        SetKernel(&filter, 1, {c.weight}, c.divisor, c.bias);
        double sample = c.sample;
        EXPECT_EQ(FoldFilteredChannel(&filter, &sample), c.want) << c.weight << " " << c.divisor << " " << c.bias;
    }
}

TEST(FilterFold, OpacityOfTheCentreSampleGoesThroughTheAlphaTable)
{
    uint8_t opaque[400];
    memset(opaque, 255, sizeof opaque);
    for (uint32_t v : {0u, 1u, 30000u, 65535u})
        EXPECT_EQ(FilteredOpacityHalf(opaque, v), 65535u) << v;

    uint8_t ramp[400];
    for (int k = 0; k < 400; ++k)
        ramp[k] = (uint8_t)(k * 255 / 399);
    EXPECT_EQ(FilteredOpacityHalf(ramp, 0), 0u);
    // Half way: t = 199.5 lies between entries 199 and 200 (127 and 127).
    EXPECT_EQ(FilteredOpacityHalf(ramp, 32767), (uint32_t)(127.0 * 65535 / 255));
    // The last entry interpolates towards entry 0 (the table wraps).
    ramp[0] = 255;
    EXPECT_EQ(FilteredOpacityHalf(ramp, 65535), 65535u);
}

}  // namespace
