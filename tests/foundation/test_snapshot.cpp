#include <gtest/gtest.h>
#include <windows.h>
#include <string.h>
#include <vector>
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "calc/ImageSnapshot.h"
#include "foundation/Resample.h"
#include "ui/FrameWindow.h"

namespace {

// Source pixel bytes of the test images: never 0, so black is told apart.
unsigned char PatternByte(int row, int col, int byte)
{
    return (unsigned char)(1 + (row * 31 + col * 7 + byte * 3) % 250);
}

// A fractal with a task and its buffers, the image filled with the pattern.
struct TestFractal {
    Fractal fractal;
    FractalTask task;
    int stride, height, bpp;
    std::vector<unsigned char> image, image3D, flags;
    std::vector<float> values;

    TestFractal(int width, int h, int depth, int type = FT_ESCAPETIME)
    {
        fractal.header->Type = type;
        fractal.header->Width = width;
        fractal.header->Height = h;
        fractal.header->DisplayDepth = depth;
        fractal.task = &task;
        task.fractal = &fractal;
        stride = fractal.GetImageStride();
        height = h;
        bpp = depth == 24 ? 3 : 1;
        image.assign((size_t)stride * h * bpp, 0);
        image3D.assign((size_t)stride * h * 3, 0);
        values.assign((size_t)fractal.GetBufferWidth() * h, 1.5f);
        flags.assign((size_t)fractal.GetBufferWidth() * h, 0x10);
        task.imageBits = image.data();
        task.image3D = image3D.data();
        task.values = values.data();
        task.flags = flags.data();
        Fill(Shown(), bpp);
    }
    ~TestFractal() { fractal.task = nullptr; }

    // The image the snapshot works on: the 3D picture of a quaternion.
    std::vector<unsigned char>& Shown()
    {
        return fractal.header->Type == FT_QUATERNION ? image3D : image;
    }
    void Fill(std::vector<unsigned char>& target, int bytes)
    {
        for (int r = 0; r < height; r++)
            for (int c = 0; c < stride; c++)
                for (int b = 0; b < bytes; b++)
                    target[((size_t)r * stride + c) * bytes + b] = PatternByte(r, c, b);
    }
};

struct DepthCase {
    int depth;
    int type;
};
const DepthCase kDepths[] = {{8, FT_ESCAPETIME}, {24, FT_ESCAPETIME}, {24, FT_QUATERNION}};

std::string Describe(const DepthCase& c)
{
    return std::to_string(c.depth) + " bits, type " + std::to_string(c.type);
}

// Checks every pixel of the shown image against expected(row, col, byte),
// where -1 stands for black.
template <class Expected>
void ExpectImage(TestFractal& f, Expected expected)
{
    const std::vector<unsigned char>& shown = f.Shown();
    int mismatches = 0;
    for (int r = 0; r < f.height; r++)
        for (int c = 0; c < f.stride; c++)
            for (int b = 0; b < f.bpp; b++) {
                int want = expected(r, c, b);
                int got = shown[((size_t)r * f.stride + c) * f.bpp + b];
                if (want != got && ++mismatches <= 5)
                    ADD_FAILURE() << "row " << r << " col " << c << " byte " << b << ": " << got
                                  << " instead of " << want;
            }
    EXPECT_EQ(0, mismatches);
}

}  // namespace

TEST(ImageSnapshot, CopiesTheImageAndEmptiesTheCalculationBuffers)
{
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(Describe(c));
        TestFractal f(7, 5, c.depth, c.type);
        ImageSnapshot snapshot(&f.fractal);

        EXPECT_EQ(8, snapshot.width);   // the image stride of width 7
        EXPECT_EQ(5, snapshot.height);
        EXPECT_EQ(0.0, snapshot.left);
        EXPECT_EQ(0.0, snapshot.top);
        EXPECT_EQ(1.0, snapshot.right);
        EXPECT_EQ(1.0, snapshot.bottom);
        ASSERT_NE(nullptr, snapshot.data);
        EXPECT_EQ(0, memcmp(snapshot.data, f.Shown().data(), f.Shown().size()));
        for (float v : f.values)
            ASSERT_EQ(0.0f, v);
        for (unsigned char flag : f.flags)
            ASSERT_EQ(0, flag);
    }
}

TEST(ImageSnapshot, ApplyAfterConstructionRestoresTheImage)
{
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(Describe(c));
        TestFractal f(7, 6, c.depth, c.type);
        ImageSnapshot snapshot(&f.fractal);
        memset(f.Shown().data(), 0x55, f.Shown().size());

        EXPECT_EQ(1, snapshot.Apply(&f.fractal));
        ExpectImage(f, [](int r, int col, int b) { return PatternByte(r, col, b); });
    }
}

TEST(ImageSnapshot, CentreHalfIsShownAtTwiceTheSize)
{
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(Describe(c));
        TestFractal f(7, 8, c.depth, c.type);   // 8 x 8 pixels
        ImageSnapshot snapshot(&f.fractal);
        snapshot.left = snapshot.top = 0.25;
        snapshot.right = snapshot.bottom = 0.75;

        EXPECT_EQ(1, snapshot.Apply(&f.fractal));
        ExpectImage(f, [](int r, int col, int b) { return PatternByte(2 + r / 2, 2 + col / 2, b); });
    }
}

TEST(ImageSnapshot, PlacesOutsideTheCopyTurnBlack)
{
    for (const DepthCase& c : kDepths) {
        SCOPED_TRACE(Describe(c));
        TestFractal f(7, 4, c.depth, c.type);
        ImageSnapshot snapshot(&f.fractal);

        // The left half of the copy lands in the right half of the image.
        snapshot.left = -0.5;
        snapshot.right = 0.5;
        EXPECT_EQ(1, snapshot.Apply(&f.fractal));
        ExpectImage(f, [](int r, int col, int b) { return col < 4 ? 0 : PatternByte(r, col - 4, b); });

        // Rows before the copy's first row are black as well.
        snapshot.left = 0.0;
        snapshot.right = 1.0;
        snapshot.top = -0.5;
        snapshot.bottom = 0.5;
        EXPECT_EQ(1, snapshot.Apply(&f.fractal));
        ExpectImage(f, [](int r, int col, int b) { return r < 2 ? 0 : PatternByte(r - 2, col, b); });
    }
}

TEST(ImageSnapshot, FarOutFractionsGiveABlackImage)
{
    // Fractions far outside the copy: in 32-bit arithmetic the positions
    // would overflow and wrap around into it.
    TestFractal f(7, 4, 24);
    ImageSnapshot snapshot(&f.fractal);
    snapshot.left = snapshot.top = -40000.0;
    snapshot.right = snapshot.bottom = -39999.0;
    EXPECT_EQ(1, snapshot.Apply(&f.fractal));
    ExpectImage(f, [](int r, int col, int b) {
        return 0;
    });
}

TEST(ImageSnapshot, ApplyWithoutCopyTaskOrMatchingImageDoesNothing)
{
    TestFractal f(7, 4, 8);
    ImageSnapshot snapshot(&f.fractal);
    memset(f.image.data(), 0x55, f.image.size());
    auto untouched = [](int, int, int) { return 0x55; };

    // No task.
    f.fractal.task = nullptr;
    EXPECT_EQ(0, snapshot.Apply(&f.fractal));
    f.fractal.task = &f.task;
    ExpectImage(f, untouched);

    // The image changed size or depth since the copy was taken.
    f.fractal.header->Width = 11;
    EXPECT_EQ(0, snapshot.Apply(&f.fractal));
    f.fractal.header->Width = 7;
    f.fractal.header->Height = 3;
    EXPECT_EQ(0, snapshot.Apply(&f.fractal));
    f.fractal.header->Height = 4;
    f.fractal.header->DisplayDepth = 24;
    EXPECT_EQ(0, snapshot.Apply(&f.fractal));
    f.fractal.header->DisplayDepth = 8;
    ExpectImage(f, untouched);

    // A snapshot of a fractal without a task holds no copy.
    f.fractal.task = nullptr;
    ImageSnapshot empty(&f.fractal);
    f.fractal.task = &f.task;
    EXPECT_EQ(nullptr, empty.data);
    EXPECT_EQ(0, empty.Apply(&f.fractal));
    ExpectImage(f, untouched);
}

TEST(ImageSnapshot, ApplyPaintsTheImageIntoTheWindow)
{
    TestFractal f(7, 4, 24);
    f.task.dib.header.biSize = sizeof(BITMAPINFOHEADER);
    f.task.dib.header.biWidth = f.stride;
    f.task.dib.header.biHeight = f.height;
    f.task.dib.header.biPlanes = 1;
    f.task.dib.header.biBitCount = 24;
    // A window object without a window only has its image redrawn.
    PFrameWindow window;
    f.task.window = &window;
    ImageSnapshot snapshot(&f.fractal);
    snapshot.left = -0.5;
    snapshot.right = 0.5;
    EXPECT_EQ(1, snapshot.Apply(&f.fractal));
    ExpectImage(f, [](int r, int col, int b) { return col < 4 ? 0 : PatternByte(r, col - 4, b); });

    window.hwnd = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(nullptr, window.hwnd);
    HDC dc = GetDC(window.hwnd);
    RECT all = {0, 0, 40, 40};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    snapshot.left = 0.0;
    snapshot.right = 1.0;
    EXPECT_EQ(1, snapshot.Apply(&f.fractal));
    GdiFlush();
    // Window row y shows image row height - 1 - y; bytes are blue, green, red.
    for (int y = 0; y < f.height; y++)
        for (int x = 0; x < f.stride; x++) {
            int row = f.height - 1 - y;
            COLORREF want = RGB(PatternByte(row, x, 2), PatternByte(row, x, 1), PatternByte(row, x, 0));
            ASSERT_EQ(want, GetPixel(dc, x, y)) << "at " << x << ", " << y;
        }
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, f.stride, 0));
    ReleaseDC(window.hwnd, dc);
    DestroyWindow(window.hwnd);
}

// ------------------------------------------------------------ ResampleNearest

namespace {

// A block whose last byte is the last one before an inaccessible page, so
// that reading one byte past it faults.
class GuardedBlock {
public:
    explicit GuardedBlock(size_t size)
    {
        size_t pages = (size + 4095) / 4096;
        base = static_cast<unsigned char*>(
            VirtualAlloc(NULL, (pages + 1) * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base + pages * 4096, 4096, PAGE_NOACCESS, &old);
        data = base + pages * 4096 - size;
    }
    ~GuardedBlock() { VirtualFree(base, 0, MEM_RELEASE); }
    unsigned char* data;

private:
    unsigned char* base;
};

}  // namespace

TEST(ResampleNearest, HalvingTakesEverySecondPixel)
{
    unsigned char src[16];
    for (int i = 0; i < 16; i++)
        src[i] = (unsigned char)(10 * i);
    unsigned char dst[4] = {0};
    ResampleNearest(src, dst, 4, 4, 4, 2, 2, 2, false);
    // Pixels (0, 0), (2, 0), (0, 2), (2, 2) of the source.
    EXPECT_EQ(0, dst[0]);
    EXPECT_EQ(20, dst[1]);
    EXPECT_EQ(80, dst[2]);
    EXPECT_EQ(100, dst[3]);
}

TEST(ResampleNearest, EnlargingRepeatsEveryPixel)
{
    // 2 x 2 RGB pixels in rows of 3 pixels, to 4 x 4 in rows of 5.
    unsigned char src[3 * 3 * 2];
    for (int i = 0; i < (int)sizeof(src); i++)
        src[i] = (unsigned char)(i + 1);
    unsigned char dst[3 * 5 * 4];
    memset(dst, 0xEE, sizeof(dst));
    ResampleNearest(src, dst, 2, 2, 3, 4, 4, 5, true);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            for (int b = 0; b < 3; b++)
                ASSERT_EQ(src[((r / 2) * 3 + c / 2) * 3 + b], dst[(r * 5 + c) * 3 + b])
                    << "at " << c << ", " << r;
}

TEST(ResampleNearest, NeverReadsPastTheSource)
{
    // Destination rows wider than dstWidth (row padding) and step sums that
    // round up to the source's edge would reach beyond the last source pixel;
    // the source ends right before an inaccessible page.
    struct Case {
        int srcWidth, srcHeight, dstWidth, dstHeight, dstRowPixels;
    };
    const Case cases[] = {
        {4, 4, 2, 2, 4},      // padding twice the width
        {3, 3, 30, 30, 32},   // steps of 0.1 summed 31 times
        {7, 5, 3, 9, 8},
        {5, 1, 49, 1, 52},
    };
    for (const Case& c : cases) {
        for (bool rgb : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.srcWidth << "x" << c.srcHeight << " to " << c.dstWidth
                                            << "x" << c.dstHeight << " rgb " << rgb);
            int bytes = rgb ? 3 : 1;
            GuardedBlock src(c.srcWidth * c.srcHeight * bytes);
            for (int i = 0; i < c.srcWidth * c.srcHeight * bytes; i++)
                src.data[i] = (unsigned char)(i + 1);
            std::vector<unsigned char> dst(c.dstRowPixels * c.dstHeight * bytes, 0);
            ResampleNearest(src.data, dst.data(), c.srcWidth, c.srcHeight, c.srcWidth, c.dstWidth,
                            c.dstHeight, c.dstRowPixels, rgb);

            // Padding pixels repeat the last pixel of the source row that the
            // row's first pixel came from.
            for (int r = 0; r < c.dstHeight; r++) {
                const unsigned char* row = &dst[r * c.dstRowPixels * bytes];
                int sy = (row[0] - 1) / (c.srcWidth * bytes);
                ASSERT_LT(sy, c.srcHeight);
                EXPECT_EQ(src.data[((sy + 1) * c.srcWidth - 1) * bytes], row[(c.dstRowPixels - 1) * bytes])
                    << "row " << r;
            }
        }
    }
}

TEST(ResampleNearest, EmptySizesWriteNothing)
{
    unsigned char src[4] = {1, 2, 3, 4};
    unsigned char dst[4] = {9, 9, 9, 9};
    ResampleNearest(src, dst, 2, 2, 2, 0, 2, 2, false);
    ResampleNearest(src, dst, 2, 2, 2, 2, 0, 2, false);
    ResampleNearest(src, dst, 0, 2, 2, 2, 2, 2, false);
    ResampleNearest(src, dst, 2, -1, 2, 2, 2, 2, false);
    for (unsigned char b : dst)
        EXPECT_EQ(9, b);
}
