// Escape-time colour mapping: positions through transfer, offset, wrap and
// clamp, the set a flag byte selects, direct colours, bands, refactor
// colourings, alpha, block fill, the render-job skip, NaN guards and the
// image-filter samples. Expected colours come from a plain blend of the
// test gradient at the expected position.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "calc/colour/ColourMapping.h"
#include "document/EscapetimeParameters.h"
#include "foundation/ImageFilter.h"
#include "tests/calc/TaskTestSupport.h"
#include "tests/calc/ColourTestSupport.h"
#include "tests/document/DocumentTestSupport.h"

namespace {

class ColourMappingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrepareDocumentModel(); }

    void SetUp() override
    {
        t = new TestTask(6, 4, 24, 24, FT_ESCAPETIME);
        ASSERT_EQ(t->sized, 0);
        FillTestGradient(t->task->dib.colors);
        e = static_cast<EscapetimeParameters*>(t->fractal->typeParameters);
        SetSet(&e->outsideColouring, 1, 1, 0, 0, TRANSFER_LINEAR, 1);
        SetSet(&e->insideColouring, 1, 1, 0, 0, TRANSFER_NONE, 1);
        memcpy(e->insideColouring.SolidColor, "\x11\x22\x33", 3);
        if (!t->task->oldz->IsAllocated()) t->task->oldz->Allocate(7, 4, 4);
    }
    void TearDown() override { delete t; }

    static void SetSet(ColouringSettings* c, double density, double accel, double smooth, double offset,
                       int transfer, int repeat)
    {
        c->Density = density, c->Accel = accel, c->Smooth = smooth, c->Offset = offset;
        c->Mapping = transfer, c->WrapAround = repeat;
    }
    // Maps pixel (0, row 0) and returns its position output.
    float MapOne(float value, uint8_t flags)
    {
        t->task->values[0] = value;
        t->task->flags[0] = flags;
        float positions[8];
        MapEscapeTimeValues(t->fractal, 0, t->task->values, t->task->flags, t->task->imageBits, nullptr, 0, 1,
                            1, positions, Opacity(0), 1, 0);
        return positions[0];
    }
    uint32_t* Opacity(int row) { return static_cast<uint32_t*>(t->task->oldz->data) + row * t->fractal->GetBufferWidth(); }
    void ExpectPixel(int x, int y, const int rgb[3])
    {
        const uint8_t* p = t->Rgb(x, y);
        EXPECT_EQ(p[2], rgb[0]) << "red at " << x << "," << y;
        EXPECT_EQ(p[1], rgb[1]) << "green at " << x << "," << y;
        EXPECT_EQ(p[0], rgb[2]) << "blue at " << x << "," << y;
    }

    TestTask* t = nullptr;
    EscapetimeParameters* e = nullptr;
};

// Ordinary outside mapping: each row sets the outside colouring and maps
// one value; position is the expected gradient position (0..252).
TEST_F(ColourMappingTest, OutsidePositionsFollowTransferOffsetAndRange)
{
    struct Case {
        const char* what;
        float value;
        double density, accel, smooth, offset;
        int transfer, repeat;
        double position;
    } cases[] = {
        {"0.5 lands on entry 126", 0.5f, 1, 1, 0, 0, TRANSFER_LINEAR, 1, 126},
        {"0.999 blends entry 251 into entry 0", 0.999f, 1, 1, 0, 0, TRANSFER_LINEAR, 1, 251.748},
        {"2.0 without repeat clamps to 251", 2.0f, 1, 1, 0, 0, TRANSFER_LINEAR, 0, 251},
        {"2.0 with repeat wraps to 0", 2.0f, 1, 1, 0, 0, TRANSFER_LINEAR, 1, 0},
        {"above 1e9 skips the transfer, caps at 1e8 and wraps", 1e10f, 1, 1, 0, 0, TRANSFER_SQR, 1, 1e8 - 396825.0 * 252},
        {"above 1e9 without repeat clamps", 1e10f, 1, 1, 0, 0, TRANSFER_LINEAR, 0, 251},
        {"offset shifts the position", 0.25f, 1, 1, 0, 10, TRANSFER_LINEAR, 1, 73},
        {"density scales the value", 0.25f, 2, 1, 0, 0, TRANSFER_LINEAR, 1, 126},
        {"Sqr doubles the square", 0.25f, 1, 1, 0, 0, TRANSFER_SQR, 1, 0.125 * 252},
        {"Sqrt takes accel", 0.25f, 1, 2, 0, 0, TRANSFER_SQRT, 1, 0.5 * 252},
        {"smooth 10 puts 37.5 into the band at 30", 37.5f / 252, 1, 1, 10, 0, TRANSFER_LINEAR, 1, 30},
        {"a negative value maps like 0", -3.0f, 1, 1, 0, 0, TRANSFER_LINEAR, 1, 0},
        {"NaN maps like 0", NAN, 1, 1, 0, 0, TRANSFER_LINEAR, 1, 0},
        {"Log with accel 0 is NaN after the transfer: 0", 0.5f, 1, 0, 0, 0, TRANSFER_LOG, 1, 0},
        {"an offset of NaN gives 0", 0.5f, 1, 1, 0, NAN, TRANSFER_LINEAR, 1, 0},
        {"a huge negative offset still wraps into the gradient", 0.5f, 1, 1, 0, -1e30, TRANSFER_LINEAR, 1,
         252 - (1e8 - 396825.0 * 252)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetSet(&e->outsideColouring, c.density, c.accel, c.smooth, c.offset, c.transfer, c.repeat);
        float position = MapOne(c.value, 0);
        double p = c.position;
        if (c.smooth > 0) {
            EXPECT_NEAR(position * 252.0, 37.5, 1e-3);   // the output is taken before the bands
        } else {
            EXPECT_NEAR(position * 252.0, p, 2e-3);
        }
        int rgb[3];
        ReferenceColour(t->task->dib.colors, p, rgb);
        ExpectPixel(0, 0, rgb);
        EXPECT_TRUE(t->task->flags[0] & PF_COLORED);
    }
}

// The flag byte picks the set: inside alone, transformation alone, and both
// together fall back to the outside set.
TEST_F(ColourMappingTest, FlagsChooseTheColouringSet)
{
    memcpy(e->SolidColorTransformation, "\x40\x50\x60", 3);
    const int insideSolid[3] = {0x11, 0x22, 0x33};
    MapOne(0.5f, PF_INSIDE);   // inside transfer None: its solid colour
    ExpectPixel(0, 0, insideSolid);

    int outside[3];
    ReferenceColour(t->task->dib.colors, 126, outside);
    MapOne(0.5f, PF_INSIDE | PF_MAPSOLID);
    ExpectPixel(0, 0, outside);

    // The transformation set: Linear, density 1, offset 1.0, smooth 1.
    int transformation[3];
    ReferenceColour(t->task->dib.colors, 127, transformation);
    MapOne(0.5f, PF_MAPSOLID);
    ExpectPixel(0, 0, transformation);
}

// Direct colours: transfer None shows the solid colour, PF_SOLID and
// PF_DIRECT the packed colour of the value cell; all are fully opaque and
// report position -1.
TEST_F(ColourMappingTest, DirectColoursAreOpaqueWithPositionMinusOne)
{
    uint32_t packed = 0xAA123456u;
    float cell;
    memcpy(&cell, &packed, 4);
    const int fromCell[3] = {0x12, 0x34, 0x56};
    for (uint8_t flag : {(uint8_t)PF_SOLID, (uint8_t)PF_DIRECT}) {
        Opacity(0)[0] = 0x00001234;
        EXPECT_EQ(MapOne(cell, flag), -1.0f);
        ExpectPixel(0, 0, fromCell);
        EXPECT_EQ(Opacity(0)[0], 0xFFFF1234u);
    }
    SetSet(&e->outsideColouring, 1, 1, 0, 0, TRANSFER_NONE, 1);
    memcpy(e->outsideColouring.SolidColor, "\x01\x02\x03", 3);
    const int solid[3] = {1, 2, 3};
    EXPECT_EQ(MapOne(0.5f, 0), -1.0f);
    ExpectPixel(0, 0, solid);
}

// Alpha from the 400-entry table at t = p / 252 * 399, into the upper half
// of the opacity cell with the lower half kept.
TEST_F(ColourMappingTest, AlphaIsInterpolatedIntoTheUpperHalf)
{
    for (int k = 0; k < 400; ++k) t->fractal->alphaChannel.alphaTable[k] = (uint8_t)(k & 255);
    Opacity(0)[0] = 0x0000BEEF;
    MapOne(0.5f, 0);   // p = 126, t = 199.5: alpha 199.5
    EXPECT_EQ(Opacity(0)[0], ((uint32_t)(257 * 199.5) << 16) | 0xBEEF);
}

// Refactor colourings: mode 1 shows the nearest entry, mode 2 blends; the
// refactor table replaces density handling; NaN after the refactor
// transfer counts as 0; the pixel is left uncoloured for the next pass.
TEST_F(ColourMappingTest, RefactorModes)
{
    struct Case {
        const char* what;
        int mode, transfer;
        double density;
        float value;
        double position;
        bool nearest;
    } cases[] = {
        {"mode 1 shows the nearest entry", 1, TRANSFER_LINEAR, 1, 125.6f / 252, 125.6, true},
        {"mode 2 blends", 2, TRANSFER_LINEAR, 1, 125.6f / 252, 125.6, false},
        {"Linear divides by the density", 2, TRANSFER_LINEAR, 2, 100.0f / 252, 50, false},
        {"Linear with density 0 on 0 is NaN: 0", 2, TRANSFER_LINEAR, 0, 0.0f, 0, false},
        {"Sqrt of a negative product is NaN: 0", 2, TRANSFER_SQRT, -1, 0.5f, 0, false},
        {"a negative value maps like 0", 1, TRANSFER_LINEAR, 1, -5.0f, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        e->refactorOutside = c.mode;
        SetSet(&e->outsideColouring, c.density, 1, 0, 0, c.transfer, 1);
        float position = MapOne(c.value, 0);
        EXPECT_NEAR(position * 252.0, c.position, 2e-3);
        int rgb[3];
        ReferenceColour(t->task->dib.colors, c.nearest ? floor(c.position + 0.5) : c.position, rgb);
        ExpectPixel(0, 0, rgb);
        EXPECT_FALSE(t->task->flags[0] & PF_COLORED);
    }
}

// Blocks fill block x block pixels cut at the image's right and top edge;
// the columns past the image width stay as they were.
TEST_F(ColourMappingTest, BlocksAreCutAtTheImageEdge)
{
    int bw = t->fractal->GetBufferWidth();
    for (int x = 0; x < bw; ++x) t->task->values[2 * bw + x] = 0.5f;
    memset(t->task->imageBits, 7, (size_t)t->Stride() * 3 * 4);
    ColorizeEscapeTimeLine(t->fractal, 4, 2, 4, 1, 4, nullptr);
    int rgb[3];
    ReferenceColour(t->task->dib.colors, 126, rgb);
    for (int y = 2; y < 4; ++y)
        for (int x = 4; x < 6; ++x) ExpectPixel(x, y, rgb);
    const int untouched[3] = {7, 7, 7};
    ExpectPixel(3, 2, untouched);
    ExpectPixel(4, 1, untouched);
    ExpectPixel(6, 2, untouched);   // stride padding
}

// In a render job a coloured pixel is not coloured again; otherwise every
// call recolours.
TEST_F(ColourMappingTest, RenderJobsSkipColouredPixels)
{
    MapOne(0.5f, 0);
    SetSet(&e->outsideColouring, 1, 1, 0, 10, TRANSFER_LINEAR, 1);
    int before[3], after[3];
    ReferenceColour(t->task->dib.colors, 126, before);
    ReferenceColour(t->task->dib.colors, 136, after);
    t->fractal->renderJob = reinterpret_cast<RenderJob*>(&before);   // only its presence is read
    MapOne(0.5f, PF_COLORED);
    t->fractal->renderJob = nullptr;
    ExpectPixel(0, 0, before);
    MapOne(0.5f, PF_COLORED);
    ExpectPixel(0, 0, after);
}

// An 8-bit escape-time row gets gradient indices, never more bytes than
// the row holds.
TEST(ColourMapping8Bit, RowsGetGradientIndices)
{
    PrepareDocumentModel();
    TestTask t(6, 2, 8, 24, FT_ESCAPETIME);
    ASSERT_EQ(t.sized, 0);
    EscapetimeParameters* e = static_cast<EscapetimeParameters*>(t.fractal->typeParameters);
    e->outsideColouring.Mapping = TRANSFER_LINEAR;
    e->outsideColouring.Density = 1;
    e->outsideColouring.Offset = 0;
    const float values[] = {0.5f, 0.999f, 0.1f, 0, 0, 0};
    memcpy(t.task->values, values, sizeof values);
    memset(t.task->imageBits, 99, (size_t)t.Stride() * 2);
    ColorizeEscapeTimeLine(t.fractal, 0, 0, 6, 0, 1, nullptr);
    EXPECT_EQ(t.task->imageBits[0], 126);
    EXPECT_EQ(t.task->imageBits[1], 0);    // 251.75 rounds to 252, which is entry 0
    EXPECT_EQ(t.task->imageBits[2], 25);   // 25.2
    EXPECT_EQ(t.task->imageBits[t.Stride()], 99);   // the next row is untouched
}

// A 24-bit image on an 8-bit display: the coloured row is dithered into
// the shadow image.
TEST(ColourMappingDither, ColouredRowsReachTheShadowImage)
{
    PrepareDocumentModel();
    TestTask t(6, 4, 24, 8, FT_ESCAPETIME);
    ASSERT_EQ(t.sized, 0);
    ASSERT_TRUE(t.fractal->dither);
    ASSERT_NE(t.task->shadowBits, nullptr);
    t.ZeroDitherRows();
    for (int k = 0; k < 256; ++k) t.task->dib.colors[k] = RGBQUAD{0, 0, 0, 0};
    memset(t.task->shadowBits, 77, (size_t)t.Stride() * 4);
    ColorizeEscapeTimeLine(t.fractal, 0, 1, 6, 1, 1, nullptr);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(t.task->shadowBits[t.Stride() + x], 0) << x;   // black is index 0
    EXPECT_EQ(t.task->shadowBits[0], 77);
}

// Image-filter samples: double precision, done bytes skip samples, the
// opacity half is at most 65535 and direct samples are fully opaque.
TEST_F(ColourMappingTest, FilteredSamples)
{
    ImageFilter filter;
    ASSERT_TRUE(filter.SetSide(2));
    t->fractal->header->ImageFilter = &filter;
    t->fractal->header->FilterStep = 2;
    float values[2][8] = {{0, 0, 0.5f, 0.9999f, 0, 0, 0, 0}, {0, 0, 0.25f, 0, 0, 0, 0, 0}};
    uint8_t flags[2][8] = {{0, 0, 0, 0}, {0, 0, 0, PF_SOLID}};
    uint32_t packed = 0x00102030u;
    memcpy(&values[1][3], &packed, 4);
    uint32_t opacity[2][8] = {};
    uint8_t colours[2][24] = {}, done[2][8] = {{0, 0, 0, 0}, {0, 0, 1, 0}};
    float* v[2] = {values[0], values[1]};
    uint32_t* o[2] = {opacity[0], opacity[1]};
    uint8_t* f[2] = {flags[0], flags[1]};
    uint8_t* c[2] = {colours[0], colours[1]};
    uint8_t* d[2] = {done[0], done[1]};
    MapFilteredSamples(t->fractal, 1, v, o, f, c, d);
    t->fractal->header->ImageFilter = nullptr;

    int rgb[3];
    ReferenceColour(t->task->dib.colors, 126, rgb);
    EXPECT_EQ(colours[0][6], rgb[0]);
    EXPECT_EQ(colours[0][7], rgb[1]);
    EXPECT_EQ(colours[0][8], rgb[2]);
    EXPECT_EQ(opacity[0][2] >> 16, (uint32_t)(126.0 / 251 * 65535));
    EXPECT_EQ(opacity[0][3] >> 16, 65535u);   // p = 251.97 would pass 65535
    EXPECT_EQ(colours[1][6], 0);              // done before: left alone
    EXPECT_EQ(colours[1][9], 0x10);
    EXPECT_EQ(colours[1][10], 0x20);
    EXPECT_EQ(colours[1][11], 0x30);
    EXPECT_EQ(opacity[1][3] >> 16, 0xFFFFu);
    EXPECT_EQ(done[0][2], 1);
    EXPECT_EQ(done[0][0], 0);                 // column 0's samples are not this call's
}

}  // namespace
