// The colour-model conversions: the fixed points each model is known by,
// round trips of the models that are meant to invert each other, the
// deliberately lossy YIQ pair, and the integer and unit hue variants.
#include <gtest/gtest.h>

#include "calc/colour/ColorModels.h"

namespace {

void ExpectTriple(const double* got, double a, double b, double c, double tol, const char* what)
{
    EXPECT_NEAR(got[0], a, tol) << what;
    EXPECT_NEAR(got[1], b, tol) << what;
    EXPECT_NEAR(got[2], c, tol) << what;
}

}  // namespace

TEST(ColorModels, KnownValues)
{
    typedef void (*Conversion)(const double*, double*);
    struct Case { const char* what; Conversion f; double in[3]; double out[3]; };
    const Case cases[] = {
        { "RgbToHsv red", RgbToHsv, { 255, 0, 0 }, { 0, 255, 255 } },
        { "RgbToHsv blue", RgbToHsv, { 0, 0, 255 }, { 240, 255, 255 } },
        { "HsvToRgb hue 360", HsvToRgb, { 360, 255, 255 }, { 255, 0, 0 } },
        { "HsvToRgb grey", HsvToRgb, { 120, 0, 200 }, { 200, 200, 200 } },
        { "RgbToHsl blue", RgbToHsl, { 0, 0, 255 }, { 240, 255, 127.5 } },
        { "HslToRgb blue", HslToRgb, { 240, 255, 127.5 }, { 0, 0, 255 } },
        { "RgbToYiq black", RgbToYiq, { 0, 0, 0 }, { 0, 127.5, 127.5 } },
        { "YiqToRgb grey", YiqToRgb, { 128, 151.98, 133.365 }, { 128, 128, 128 } },
        // The stored I and Q are not rescaled on the way back.
        { "YiqToRgb of RgbToYiq grey", YiqToRgb, { 128, 127.5, 127.5 }, { 100.954955, 138.453215, 145.06817 } },
        { "YuvToRgb grey", YuvToRgb, { 100, 128, 128 }, { 100, 100, 100 } },
        { "YuvToRgb clamps", YuvToRgb, { 255, 255, 255 }, { 255, 120.0752, 255 } },
        { "InvertRgb", InvertRgb, { 0, 100, 255 }, { 255, 155, 0 } },
    };
    for (const Case& c : cases) {
        double out[3] = { -1, -1, -1 };
        c.f(c.in, out);
        ExpectTriple(out, c.out[0], c.out[1], c.out[2], 1e-3, c.what);
    }
    double white[3] = { 255, 255, 255 }, yuv[3];
    RgbToYuv(white, yuv);
    EXPECT_NEAR(yuv[0], 255, 1e-9);
    EXPECT_LT(yuv[1], 128);
    EXPECT_GT(yuv[1], 127);
    EXPECT_LT(yuv[2], 128);
    EXPECT_GT(yuv[2], 127);
}

// RGB through HSV, HSL and CMY and back returns the input; through YUV
// within the rounding of its coefficients.
TEST(ColorModels, RoundTrips)
{
    const double levels[] = { 0, 1, 37, 128, 200, 254, 255 };
    struct Model { int model; double tol; };
    const Model models[] = { { CM_RGB, 0 }, { CM_CMY, 0 }, { CM_HSV, 1e-9 }, { CM_HSL, 1e-9 },
                             { CM_YUV, 1.5 } };
    for (const Model& m : models)
        for (double r : levels)
            for (double g : levels)
                for (double b : levels) {
                    double rgb[3] = { r, g, b }, mid[3], back[3];
                    RgbToModel(m.model, rgb, mid);
                    ModelToRgb(m.model, mid, back);
                    ExpectTriple(back, r, g, b, m.tol, ColorModelName(m.model));
                }
}

TEST(ColorModels, DispatchAndNames)
{
    // Equal models copy without clamping; an unknown model leaves the output.
    double in[3] = { 300, -5, 1000 }, out[3] = { 1, 2, 3 };
    ConvertColorModel(CM_HSV, CM_HSV, in, out);
    ExpectTriple(out, 300, -5, 1000, 0, "equal models");
    double keep[3] = { 1, 2, 3 };
    RgbToModel(6, in, keep);
    ExpectTriple(keep, 1, 2, 3, 0, "unknown model");
    // HSV to HSL goes through RGB.
    double hsv[3] = { 240, 255, 255 }, hsl[3];
    ConvertColorModel(CM_HSV, CM_HSL, hsv, hsl);
    ExpectTriple(hsl, 240, 255, 127.5, 1e-9, "HSV to HSL");

    EXPECT_STREQ(ColorModelName(CM_YIQ), "CM_YIQ");
    EXPECT_EQ(ColorModelName(6), nullptr);
    EXPECT_EQ(ColorModelFromName("cm_hsl"), CM_HSL);
    EXPECT_EQ(ColorModelFromName("CM_XYZ"), -1);
}

TEST(ColorModels, IntegerAndUnitVariants)
{
    int32_t hsv[3], rgb[3];
    const int32_t green[3] = { 0, 255, 0 };
    RgbToHsvInt(green, hsv);
    EXPECT_EQ(hsv[0], 120);
    EXPECT_EQ(hsv[1], 255);
    EXPECT_EQ(hsv[2], 255);
    const int32_t hsvGreen[3] = { 120, 255, 255 };
    HsvToRgbInt(rgb, hsvGreen);
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[2], 0);
    const int32_t white[3] = { 0, 0, 255 };
    HsvToRgbInt(rgb, white);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 255);
    EXPECT_EQ(rgb[2], 255);

    // Integer HSV agrees with the double one to a degree of hue on a grid.
    const int levels[] = { 0, 50, 128, 255 };
    for (int r : levels)
        for (int g : levels)
            for (int b : levels) {
                int32_t c[3] = { r, g, b }, h[3];
                double d[3] = { (double)r, (double)g, (double)b }, hd[3];
                RgbToHsvInt(c, h);
                RgbToHsv(d, hd);
                EXPECT_NEAR(h[0], hd[0], 1.0) << r << "," << g << "," << b;
                EXPECT_NEAR(h[1], hd[1], 1.0);
                EXPECT_EQ(h[2], (int)hd[2]);
            }

    int32_t hsl[3];
    const int32_t blue[3] = { 0, 0, 255 };
    RgbToHslInt(blue, hsl);
    EXPECT_EQ(hsl[0], 240);
    EXPECT_EQ(hsl[1], 255);
    EXPECT_EQ(hsl[2], 128);
    const int32_t grey[3] = { 0, 0, 128 };
    HslToRgbInt(rgb, grey);
    EXPECT_EQ(rgb[0], 128);
    EXPECT_EQ(rgb[1], 128);
    EXPECT_EQ(rgb[2], 128);

    double unit[3], back[3];
    const double orange[3] = { 1, 0.5, 0 };
    RgbToHslUnit(orange, unit);
    ExpectTriple(unit, 0.5, 1, 0.5, 1e-12, "RgbToHslUnit");
    HslToRgbUnit(back, unit);
    ExpectTriple(back, 1, 0.5, 0, 1e-12, "HslToRgbUnit");
    const double wrapped[3] = { -5.5, 1, 0.5 };     // -5.5 sixths is 0.5
    HslToRgbUnit(back, wrapped);
    ExpectTriple(back, 1, 0.5, 0, 1e-12, "hue wrapped into 0..6");
}

// The integer variants on the sector borders and the tie order of equal
// channels, and the hue models' out-of-range input.
TEST(ColorModels, IntegerSectorsAndTies)
{
    typedef void (*ToInt)(const int32_t*, int32_t*);
    typedef void (*FromInt)(int32_t*, const int32_t*);
    struct Case { const char* what; ToInt to; FromInt from; int32_t in[3]; int32_t out[3]; };
    const Case cases[] = {
        { "yellow", RgbToHsvInt, nullptr, { 255, 255, 0 }, { 60, 255, 255 } },
        { "cyan", RgbToHsvInt, nullptr, { 0, 255, 255 }, { 180, 255, 255 } },
        { "magenta", RgbToHsvInt, nullptr, { 255, 0, 255 }, { 300, 255, 255 } },
        { "grey", RgbToHsvInt, nullptr, { 128, 128, 128 }, { 0, 0, 128 } },
        { "black", RgbToHsvInt, nullptr, { 0, 0, 0 }, { 0, 0, 0 } },
        { "red max, blue min", RgbToHsvInt, nullptr, { 200, 100, 50 }, { 20, 191, 200 } },
        { "blue max, red min", RgbToHsvInt, nullptr, { 50, 100, 200 }, { 220, 191, 200 } },
        { "sector 1", nullptr, HsvToRgbInt, { 60, 255, 255 }, { 255, 255, 0 } },
        { "sector 5", nullptr, HsvToRgbInt, { 300, 255, 255 }, { 255, 0, 255 } },
        { "sector 3 round trip", nullptr, HsvToRgbInt, { 220, 191, 200 }, { 50, 100, 200 } },
        { "hue 359", nullptr, HsvToRgbInt, { 359, 255, 255 }, { 255, 0, 4 } },
        { "HSL red", RgbToHslInt, nullptr, { 255, 0, 0 }, { 0, 255, 128 } },
        // Lightness 128 of 255 is just above one half: red comes back (255, 1, 1).
        { "HSL red back", nullptr, HslToRgbInt, { 0, 255, 128 }, { 255, 1, 1 } },
    };
    for (const Case& c : cases) {
        int32_t out[3] = { -1, -1, -1 };
        if (c.to)
            c.to(c.in, out);
        else
            c.from(out, c.in);
        EXPECT_EQ(out[0], c.out[0]) << c.what;
        EXPECT_EQ(out[1], c.out[1]) << c.what;
        EXPECT_EQ(out[2], c.out[2]) << c.what;
    }

    // A hue beyond 360 leaves HsvToRgb's output alone; exactly 360 is red.
    double keep[3] = { 1, 2, 3 };
    const double beyond[3] = { 400, 255, 255 };
    HsvToRgb(beyond, keep);
    ExpectTriple(keep, 1, 2, 3, 0, "hue 400");
}
