// Colouring of the other fractal types: the colour-mode positions, blocks
// and rectangles cut at the image, 8-bit indices, the quaternion row and
// attractor sample rules, and the gradient helpers at awkward positions.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "calc/colour/ColourMapping.h"
#include "calc/colour/OtherColouring.h"
#include "document/QuaternionParameters.h"
#include "tests/calc/TaskTestSupport.h"
#include "tests/calc/ColourTestSupport.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

void ExpectBgr(const uint8_t* p, const int rgb[3])
{
    EXPECT_EQ(p[2], rgb[0]);
    EXPECT_EQ(p[1], rgb[1]);
    EXPECT_EQ(p[0], rgb[2]);
}

TEST(TransferScale, FollowsTheColourMode)
{
    ViewParameters v;
    v.ColormodeSpeed = 2;
    v.ColormodeAccel = 5;
    struct Case {
        int type;
        double scale;
    } cases[] = {{COLOURMODE_LOG, 2000 / exp(4.0)}, {COLOURMODE_ARCTAN, 3000 / exp(2.0)}, {COLOURMODE_LINEAR, 3},
                 {COLOURMODE_SINUS, 3}};
    for (const Case& c : cases) {
        v.ColormodeType = c.type;
        double speed, scale;
        GetTransferScale(&v, &speed, &scale);
        EXPECT_EQ(speed, 2);
        EXPECT_NEAR(scale, c.scale, 1e-9) << c.type;
    }
    v.ColormodeType = COLOURMODE_LOG;
    double speed, scale;
    GetTransferScale(&v, &speed, &scale);
    EXPECT_NEAR(scale, 36.63, 0.005);
}

TEST(ColourModePosition, WrapsBandsAndGuards)
{
    struct Case {
        const char* what;
        int type;
        double speed, smoothing, value, position;
    } cases[] = {
        {"Linear speed 2: 10 gives 5", COLOURMODE_LINEAR, 2, 0, 10, 5},
        {"Linear speed 2: -10 gives 5 too", COLOURMODE_LINEAR, 2, 0, -10, 5},
        {"Linear wraps at 252", COLOURMODE_LINEAR, 1, 0, 300, 48},
        {"Sinus: a negative sine wraps into the gradient", COLOURMODE_SINUS, 1, 0, 500,
         sin(5.0) * 0.6 * 251 + 252},
        {"smoothing 4: 5.9 gives 4", COLOURMODE_LINEAR, 1, 4, 5.9, 4},
        {"smoothing 4: 7.99 gives 4", COLOURMODE_LINEAR, 1, 4, 7.99, 4},
        {"an infinite value gives 0", COLOURMODE_LINEAR, 1, 0, INFINITY, 0},
        {"NaN gives 0", COLOURMODE_LOG, 1, 0, NAN, 0},
    };
    for (const Case& c : cases) {
        ViewParameters v;
        v.ColormodeType = c.type;
        v.ColormodeSpeed = c.speed;
        v.ColorSmoothing = c.smoothing;
        EXPECT_NEAR(ColourModePosition(&v, c.value), c.position, 1e-9) << c.what;
    }
}

class OtherColouringTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareDocumentModel(); }
};

// A plasma row in blocks of 2 from column 3 of a 5 x 3 image: columns 3, 4
// of rows 1 and 2; column 5 (stride padding) and row 0 stay.
TEST_F(OtherColouringTest, PlasmaRowsFillBlocksCutAtTheImage)
{
    TestTask t(5, 3, 24, 24, FT_PLASMA);
    ASSERT_EQ(t.sized, 0);
    FillTestGradient(t.task->dib.colors);
    t.fractal->typeParameters->ColormodeType = COLOURMODE_LINEAR;
    t.fractal->typeParameters->ColormodeSpeed = 1;
    int bw = t.fractal->GetBufferWidth();
    t.task->values[bw + 3] = 100.25f;
    memset(t.task->imageBits, 9, (size_t)t.Stride() * 3 * 3);
    ColorizeLine(t.fractal, 3, 1, 10, 1, 2);
    int rgb[3];
    ReferenceColour(t.task->dib.colors, 100.25, rgb);
    for (int y = 1; y < 3; ++y)
        for (int x = 3; x < 5; ++x) ExpectBgr(t.Rgb(x, y), rgb);
    const int untouched[3] = {9, 9, 9};
    ExpectBgr(t.Rgb(5, 1), untouched);
    ExpectBgr(t.Rgb(3, 0), untouched);
}

// 8-bit images get gradient indices: 251.6 rounds to 252, which is 0.
TEST_F(OtherColouringTest, EightBitImagesGetIndices)
{
    TestTask t(4, 2, 8, 24, FT_PLASMA);
    ASSERT_EQ(t.sized, 0);
    t.fractal->typeParameters->ColormodeType = COLOURMODE_LINEAR;
    t.fractal->typeParameters->ColormodeSpeed = 1;
    const float values[] = {251.6f, 10.4f, 10.5f, 0};
    memcpy(t.task->values, values, sizeof values);
    ColorizeLine(t.fractal, 0, 0, 4, 0, 1);
    EXPECT_EQ(t.task->imageBits[0], 0);
    EXPECT_EQ(t.task->imageBits[1], 10);
    EXPECT_EQ(t.task->imageBits[2], 11);
    ColorizeRect(t.fractal, -3, -3, 100, 100, 0);   // cut at the image; nothing written outside it
    EXPECT_EQ(t.task->imageBits[0], 0);
    EXPECT_EQ(t.task->imageBits[t.Stride() * 2 - 1], 252);   // padding of the last row keeps its fill
}

// Quaternion rows: None shows the solid colour, PF_SOLID the packed value,
// a negative value the solid colour, others the transfer and the range.
TEST_F(OtherColouringTest, QuaternionRows)
{
    TestTask t(6, 1, 24, 24, FT_QUATERNION);
    ASSERT_EQ(t.sized, 0);
    FillTestGradient(t.task->dib.colors);
    QuaternionParameters* q = static_cast<QuaternionParameters*>(t.fractal->typeParameters);
    q->Transfer = TRANSFER_LINEAR;
    q->Density = 1, q->Accel = 1, q->Smooth = 0, q->Offset = 0, q->WrapAround = 0;
    memcpy(q->SolidColor, "\x0A\x0B\x0C", 3);
    uint32_t packed = 0xFF010203u;   // reads as a negative float
    float packedValue;
    memcpy(&packedValue, &packed, 4);
    const float values[] = {0.5f, packedValue, -1.0f, 3.0f, NAN, 0.25f};
    const uint8_t flags[] = {0, PF_SOLID, 0, 0, 0, 0};
    memcpy(t.task->values, values, sizeof values);
    memcpy(t.task->flags, flags, sizeof flags);
    ColorizeQuaternionLine(t.fractal, 0, 0, 6);
    const int solid[3] = {10, 11, 12}, fromCell[3] = {1, 2, 3};
    int at126[3], at251[3], at0[3], at63[3];
    ReferenceColour(t.task->dib.colors, 126, at126);
    ReferenceColour(t.task->dib.colors, 251, at251);
    ReferenceColour(t.task->dib.colors, 0, at0);
    ReferenceColour(t.task->dib.colors, 63, at63);
    ExpectBgr(t.Rgb(0, 0), at126);
    ExpectBgr(t.Rgb(1, 0), fromCell);
    ExpectBgr(t.Rgb(2, 0), solid);
    ExpectBgr(t.Rgb(3, 0), at251);   // 756 without repeat
    ExpectBgr(t.Rgb(4, 0), at0);
    ExpectBgr(t.Rgb(5, 0), at63);
    q->Transfer = TRANSFER_NONE;
    ColorizeQuaternionLine(t.fractal, 0, 0, 6);
    ExpectBgr(t.Rgb(1, 0), solid);
}

// Attractor samples: direct colours, the solid colour below 0, offset and
// wrap with the cap at 1e6.
TEST_F(OtherColouringTest, AttractorSamples)
{
    TestTask t(2, 2, 24, 24, FT_ATTRACTOR);
    ASSERT_EQ(t.sized, 0);
    FillTestGradient(t.task->dib.colors);
    AttractorParameters* a = static_cast<AttractorParameters*>(t.fractal->typeParameters);
    a->Transfer = TRANSFER_LINEAR;
    a->Density = 1, a->Accel = 1, a->Smooth = 0, a->Offset = 10, a->WrapAround = 1;
    memcpy(a->SolidColor, "\x05\x06\x07", 3);
    uint32_t packed = 0x00A0B0C0u;
    float direct;
    memcpy(&direct, &packed, 4);
    struct Case {
        const char* what;
        float value;
        uint8_t flags;
        double position;   // -1: the solid colour, -2: the packed colour
    } cases[] = {
        {"0.5 plus offset 10", 0.5f, 0, 136},
        {"PF_DIRECT takes the value's bits", direct, PF_DIRECT, -2},
        {"below 0: the solid colour", -0.5f, 0, -1},
        {"above 1e9 capped at 1e6 and wrapped", 1e12f, 0, fmod(1e6, 252)},
        {"NaN counts as 0", NAN, 0, 10},
    };
    for (const Case& c : cases) {
        int rgb[3], expected[3];
        MapAttractorColor(t.fractal, c.value, c.flags, rgb);
        if (c.position == -1)
            expected[0] = 5, expected[1] = 6, expected[2] = 7;
        else if (c.position == -2)
            expected[0] = 0xA0, expected[1] = 0xB0, expected[2] = 0xC0;
        else
            ReferenceColour(t.task->dib.colors, c.position, expected);
        EXPECT_EQ(rgb[0], expected[0]) << c.what;
        EXPECT_EQ(rgb[1], expected[1]) << c.what;
        EXPECT_EQ(rgb[2], expected[2]) << c.what;
    }
}

TEST(GradientHelpers, InterpolatePaletteColourWrapsAnyPosition)
{
    RGBQUAD table[256];
    FillTestGradient(table);
    struct Case {
        double position, expected;
    } cases[] = {{-1, 251}, {252 + 126.5, 126.5}, {-253.25, 250.75}, {NAN, 0}, {-1e300, 0}, {INFINITY, 0}};
    for (const Case& c : cases) {
        int rgb[3], expected[3];
        InterpolatePaletteColor(table, rgb, c.position);
        ReferenceColour(table, c.expected, expected);
        EXPECT_EQ(rgb[0], expected[0]) << c.position;
        EXPECT_EQ(rgb[2], expected[2]) << c.position;
    }
}

TEST(GradientHelpers, BlendRgbClampsOnlyAboveOne)
{
    const int a[3] = {10, 100, 200}, b[3] = {20, 50, 0};
    struct Case {
        double t;
        int expected[3];
    } cases[] = {{2, {20, 50, 0}}, {0.5, {15, 75, 100}}, {0.25, {13, 88, 150}}, {-1, {0, 150, 400}}};
    for (const Case& c : cases) {
        int out[3];
        BlendRgb(a, b, out, c.t);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(out[k], c.expected[k]) << c.t;
    }
}

}  // namespace
