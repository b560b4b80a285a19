// The pieces of the quaternion calculator that decide before any ray is
// marched (worker count, slice basis, orbit buffer size, the failures that
// end a run early) and the recolouring of a stored picture.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/BareTask.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "fractals/quaternion/CalculateQuaternion.h"
#include "fractals/quaternion/QuaternionRecolour.h"
#include "fractals/quaternion/QuaternionRun.h"

TEST(QuaternionDriver, WorkerCountIsProcessorsPlusOneAtMost32)
{
    struct Case {
        int processors, injected, expected;
    } cases[] = {{1, 0, 2}, {3, 0, 4}, {31, 0, 32}, {64, 0, 32}, {8, 1, 1}, {8, 5, 5}, {8, 40, 32}, {0, 0, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(QuaternionWorkerCount(c.processors, c.injected), c.expected) << c.processors << " " << c.injected;
}

// Row 0 is the unit normal, the rows are orthonormal, and a normal without
// k component is calculated as one with k = 1e-8 (else rows 1..3 would
// still span the axes the normal lies in).
TEST(QuaternionDriver, SliceBasisIsOrthonormal)
{
    const double normals[][4] = {{0, 0, 0, 1}, {1, 1, 0, 1}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0.3, -2, 0.5, 1e-8}};
    for (const auto& n : normals) {
        double b[4][4];
        BuildSliceBasis(n[0], n[1], n[2], n[3], b);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                double d = 0;
                for (int c = 0; c < 4; ++c)
                    d += b[i][c] * b[j][c];
                EXPECT_NEAR(d, i == j ? 1.0 : 0.0, 1e-6) << n[0] << n[1] << n[2] << n[3] << " rows " << i << j;
            }
        double length = sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2] + n[3] * n[3]);
        if (fabs(n[3]) >= 1e-7) {
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(b[0][c], n[c] / length, 1e-6);
        }
    }
    // the normal (0, 0, 1, 0): the slice is spanned by r, i and the k axis
    double b[4][4];
    BuildSliceBasis(0, 0, 1, 0, b);
    EXPECT_NEAR(fabs(b[3][3]), 1.0, 1e-9);
    EXPECT_EQ(b[1][0], 1.0);
    EXPECT_EQ(b[2][1], 1.0);
}

// (MaxIter + 10) x 64 bytes, refused when it does not fit a block.
TEST(QuaternionDriver, OrbitBufferSizeWithoutOverflow)
{
    unsigned bytes = 0;
    EXPECT_TRUE(OrbitBufferSize(15, &bytes));
    EXPECT_EQ(bytes, 25u * 64);
    EXPECT_TRUE(OrbitBufferSize(0, &bytes));
    EXPECT_EQ(bytes, 11u * 64);
    EXPECT_TRUE(OrbitBufferSize(33554421, &bytes));   // just below 2^31
    EXPECT_FALSE(OrbitBufferSize(33554422, &bytes));
    EXPECT_FALSE(OrbitBufferSize(2000000000, &bytes));
}

namespace {

// A windowless quaternion with the buffers of a calculated picture.
struct Picture {
    Fractal* fractal;
    FractalTask* task;
    QuaternionParameters* q;
    int width, height;
    Picture(int w, int h) : width(w), height(h)
    {
        fractal = new Fractal(FT_QUATERNION, 0);
        fractal->header->Width = w;
        fractal->header->Height = h;
        fractal->header->DisplayDepth = 24;
        task = AttachBareTask(fractal);
        q = static_cast<QuaternionParameters*>(fractal->typeParameters);
    }
    ~Picture()
    {
        ForgetQuaternionCache(q);
        FreeBareTask(fractal);
        delete fractal;
    }
    size_t ImageBytes() const { return (size_t)fractal->GetImageStride() * height * 3; }
    // The image's pixels without the padding at the end of each row.
    std::vector<unsigned char> Pixels() const
    {
        std::vector<unsigned char> out;
        for (int y = 0; y < height; ++y) {
            const unsigned char* row = task->image3D + (size_t)y * fractal->GetImageStride() * 3;
            out.insert(out.end(), row, row + width * 3);
        }
        return out;
    }
    // A sphere of the default camera's picture: depth by distance from the
    // middle, colour index growing along the row.
    void FillSphere()
    {
        for (int i = 0; i < 256; ++i) {
            task->dib.colors[i].rgbRed = (BYTE)i;
            task->dib.colors[i].rgbGreen = (BYTE)(255 - i);
            task->dib.colors[i].rgbBlue = 128;
        }
        int bw = fractal->GetBufferWidth();
        float* depth = static_cast<float*>(task->plane0->data);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < bw; ++x) {
                double dx = (x - width / 2.0) / (width / 3.0), dy = (y - height / 2.0) / (height / 3.0);
                double r2 = dx * dx + dy * dy;
                size_t i = (size_t)y * bw + x;
                if (r2 < 1) {
                    depth[i] = (float)(0.6 - 0.1 * sqrt(1 - r2));
                    task->values[i] = (float)(x * 7 % 250);
                    task->flags[i] = PF_INSIDE | PF_CALCULATED;
                } else {
                    depth[i] = -1;
                    task->values[i] = -1.0f;
                    task->flags[i] = 0;
                }
            }
    }
};

}  // namespace

// The recolouring reads only stored data: running it twice gives the same
// image, with ambient occlusion (rendered once, then reused) and without.
TEST(QuaternionRecolour, TwiceGivesTheSameImage)
{
    for (int ao : {1, 0}) {
        Picture p(24, 18);
        ASSERT_NE(p.task, nullptr);
        p.FillSphere();
        p.q->AOEnabled = ao;
        p.q->AOSamples = 8;
        memset(p.task->image3D, 0x5A, p.ImageBytes());
        RecolourQuaternion(p.fractal);
        std::vector<unsigned char> first = p.Pixels();
        memset(p.task->image3D, 0xA5, p.ImageBytes());
        RecolourQuaternion(p.fractal);
        std::vector<unsigned char> second = p.Pixels();
        EXPECT_EQ(first, second) << "ambient occlusion " << ao;
        const unsigned char* centre = &second[((size_t)(p.height / 2) * p.width + p.width / 2) * 3];
        EXPECT_GT(centre[0] + centre[1] + centre[2], 0) << "the sphere is lit";
        // every row is written (the bottom row included): nothing of the fill is left
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const unsigned char* px = &second[((size_t)y * p.width + x) * 3];
                EXPECT_FALSE(px[0] == 0xA5 && px[1] == 0xA5 && px[2] == 0xA5) << x << "," << y;
            }
        EXPECT_EQ(p.task->plane2->IsAllocated(), ao != 0);
    }
}

// A command other than FTC_REDRAW3D ends the recolouring at once: the
// image keeps what it had; a pending FTC_REDRAW3D is cleared and ignored.
TEST(QuaternionRecolour, StopsOnACommandButNotOnRedraw3D)
{
    Picture p(16, 12);
    p.FillSphere();
    p.q->AOEnabled = 0;
    memset(p.task->image3D, 0x33, p.ImageBytes());
    p.task->command = FTC_STOP;
    RecolourQuaternion(p.fractal);
    EXPECT_EQ(p.task->image3D[(size_t)(6 * p.fractal->GetImageStride() + 8) * 3], 0x33);

    p.task->command = FTC_REDRAW3D;
    RecolourQuaternion(p.fractal);
    EXPECT_EQ(p.task->command, 0);
    EXPECT_NE(p.task->image3D[(size_t)(6 * p.fractal->GetImageStride() + 8) * 3], 0x33);
}

// A task without a formula compiler (a windowless view task) cannot
// calculate: 1, and the image stays as it was.
TEST(QuaternionDriver, TaskWithoutCompilerGivesOne)
{
    Picture p(16, 12);
    memset(p.task->image3D, 0x77, p.ImageBytes());
    EXPECT_EQ(CalculateQuaternion(p.fractal, 0, 0, 16, 11), 1);
    EXPECT_EQ(p.task->image3D[0], 0x77);
}
