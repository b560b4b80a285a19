// The view of a fractal: displayed corners with stretch and rotation,
// pixel positions (also far below what doubles resolve), the aspect-ratio
// correction, the centre-and-magnification form and light directions.
#include <gtest/gtest.h>
#include <math.h>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "document/Fractal.h"
#include "document/ViewGeometry.h"

namespace {

class ViewGeometryTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareDocumentModel(); }
};

double D(const BigNumber& b)
{
    return b.ToDouble();
}

std::string Full(const BigNumber& b)
{
    int digits = b.SignificantDigits();
    std::vector<char> text(FormatBigNumberSize(b, digits) + 2);
    FormatBigNumber(b, text.data(), digits);
    return text.data();
}

void SetView(Fractal& f, const char* tlr, const char* tli, const char* brr, const char* bri)
{
    ViewParameters* v = f.typeParameters;
    v->TopLeftR = tlr;
    v->TopLeftI = tli;
    v->BottomRightR = brr;
    v->BottomRightI = bri;
}

TEST_F(ViewGeometryTest, UnrotatedViewReturnsStoredCornersExactly)
{
    Fractal f(FT_PLASMA, 0);
    SetView(f, "-1.0000000000000000000000000000001", "1", "2", "-3");
    BigNumber x[3], y[3];
    f.GetViewCorners(x, y);
    EXPECT_EQ(Full(x[0]), "-1.0000000000000000000000000000001");
    EXPECT_TRUE(x[1] == BigNumber(2) && y[1] == BigNumber(1));
    EXPECT_TRUE(x[2] == BigNumber(2) && y[2] == BigNumber(-3));
    // With Stretch the top-right corner is the stored one.
    f.typeParameters->Stretch = 1;
    f.typeParameters->TopRightR = "5";
    f.typeParameters->TopRightI = "6";
    f.GetViewCorners(x, y);
    EXPECT_TRUE(x[1] == BigNumber(5) && y[1] == BigNumber(6));
}

// Quarter turn of the square -1..1 about its centre, and the rotation
// centre on the top-left corner.
TEST_F(ViewGeometryTest, RotationTurnsClockwiseAboutTheCentre)
{
    Fractal f(FT_PLASMA, 0);
    SetView(f, "-1", "1", "1", "-1");
    f.typeParameters->Angle = 90;
    BigNumber x[3], y[3];
    f.GetViewCorners(x, y);
    const double expected[3][2] = {{1, 1}, {1, -1}, {-1, -1}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(D(x[i]), expected[i][0], 1e-14) << i;
        EXPECT_NEAR(D(y[i]), expected[i][1], 1e-14) << i;
    }
    f.typeParameters->RotateX = 0;
    f.typeParameters->RotateY = 100;
    BigNumber cx, cy;
    BigNumber sx[3] = {BigNumber(-1), BigNumber(1), BigNumber(1)};
    BigNumber sy[3] = {BigNumber(1), BigNumber(1), BigNumber(-1)};
    f.GetRotationCentre(sx, sy, cx, cy);
    EXPECT_TRUE(cx == BigNumber(-1) && cy == BigNumber(1));
    f.GetViewCorners(x, y);
    EXPECT_NEAR(D(x[0]), -1, 1e-14);
    EXPECT_NEAR(D(y[0]), 1, 1e-14);
    EXPECT_NEAR(D(x[2]), -3, 1e-14);
    EXPECT_NEAR(D(y[2]), -1, 1e-14);
}

TEST_F(ViewGeometryTest, PixelsMapOntoTheCorners)
{
    Fractal f(FT_PLASMA, 0);
    SetView(f, "-2.5", "1.5", "1.5", "-1.5");
    BigNumber re, im;
    f.PixelToPoint(0, 479, re, im);
    EXPECT_TRUE(re == BigNumber("-2.5") && im == BigNumber("1.5")) << Full(re) << "," << Full(im);
    f.PixelToPoint(640, -1, re, im);
    EXPECT_TRUE(re == BigNumber("1.5") && im == BigNumber("-1.5")) << Full(re) << "," << Full(im);
    f.PixelToPoint(320, 239, re, im);
    EXPECT_TRUE(re == BigNumber("-0.5") && im == BigNumber("0")) << Full(re) << "," << Full(im);
}

// A view 1e-40 wide: neighbouring pixels must stay apart and exact.
TEST_F(ViewGeometryTest, DeepViewKeepsPixelsApart)
{
    Fractal f(FT_PLASMA, 0);
    f.header->Width = 4;
    f.header->Height = 4;
    SetView(f, "-0.7436438870371587048", "0.1318259042053119996", "-0.7436438870371587044",
            "0.1318259042053119992");
    BigNumber re, im;
    f.PixelToPoint(1, 3, re, im);
    EXPECT_EQ(Full(re), "-0.7436438870371587047");
    EXPECT_EQ(Full(im), "0.1318259042053119996");
    f.PixelToPoint(2, 1, re, im);
    EXPECT_EQ(Full(re), "-0.7436438870371587046");
    EXPECT_EQ(Full(im), "0.1318259042053119994");
}

TEST_F(ViewGeometryTest, AspectRatioFollowsTheImage)
{
    const struct {
        int w, h;
        const char* bottom;
    } cases[] = {{640, 480, "-1.5"}, {800, 400, "-0.5"}};
    for (const auto& c : cases) {
        Fractal f(FT_PLASMA, 0);
        SetView(f, "-2.5", "1.5", "1.5", "-1.5");
        f.header->Width = c.w;
        f.header->Height = c.h;
        f.AdjustAspectRatio();
        EXPECT_TRUE(f.typeParameters->BottomRightI == BigNumber(c.bottom)) << Full(f.typeParameters->BottomRightI);
        EXPECT_TRUE(f.typeParameters->TopLeftR == BigNumber("-2.5"));
    }
    // A stretched view keeps its top edge and gives the right edge the
    // image's proportion: a 2 x 8 rectangle at 640 x 480 becomes 2 x 1.5.
    Fractal s(FT_PLASMA, 0);
    ViewParameters* v = s.typeParameters;
    SetView(s, "0", "0", "2", "-8");
    v->TopRightR = "2";
    v->TopRightI = "0";
    v->Stretch = 1;
    s.AdjustAspectRatio();
    EXPECT_NEAR(D(v->BottomRightR), 2, 1e-50);
    EXPECT_NEAR(D(v->BottomRightI), -1.5, 1e-50);
}

TEST_F(ViewGeometryTest, CentreAndMagnification)
{
    for (const char* xmag : {"1", "0"}) {
        Fractal f(FT_PLASMA, 0);
        SetCornersFromCenterMag(&f, BigNumber(0), BigNumber(0), BigNumber(1), BigNumber(xmag), 0, 0);
        ViewParameters* v = f.typeParameters;
        EXPECT_EQ(v->Stretch, 0);
        EXPECT_EQ(Full(v->TopLeftR).substr(0, 20), "-1.33333333333333333");
        EXPECT_TRUE(v->TopLeftI == BigNumber(1));
        EXPECT_EQ(Full(v->BottomRightR).substr(0, 19), "1.33333333333333333");
        EXPECT_TRUE(v->BottomRightI == BigNumber(-1));
    }
    // Rotated by 90 degrees the width runs vertically; the top-right corner
    // closes the parallelogram.
    Fractal r(FT_PLASMA, 0);
    SetCornersFromCenterMag(&r, BigNumber(0), BigNumber(0), BigNumber(1), BigNumber(1), 90, 0);
    ViewParameters* v = r.typeParameters;
    EXPECT_EQ(v->Stretch, 1);
    EXPECT_NEAR(D(v->TopLeftR), 1, 1e-9);
    EXPECT_NEAR(D(v->TopLeftI), 4.0 / 3, 1e-9);
    EXPECT_NEAR(D(v->TopRightR), 1, 1e-9);
    EXPECT_NEAR(D(v->TopRightI), -4.0 / 3, 1e-9);
    EXPECT_NEAR(D(v->BottomRightR), -1, 1e-9);
    EXPECT_NEAR(D(v->BottomRightI), -4.0 / 3, 1e-9);
}

TEST_F(ViewGeometryTest, DirectionsAsAngles)
{
    const struct {
        double d[3];
        double azimuth, elevation;
    } cases[] = {
        {{0, 0, -1}, 0, 0},   {{0, 1, 0}, 0, 90},     {{0, -1, 0}, 0, -90},
        {{-1, 0, 0}, -90, 0}, {{1, 0, 0}, 90, 0},     {{0, 0, 1}, 180, 0},
        {{1, 1, -1}, 45, 35.26438968275466},
    };
    for (const auto& c : cases) {
        double a, e;
        DirectionToAngles(c.d, a, e);
        EXPECT_NEAR(a, c.azimuth, 1e-9) << c.d[0] << "," << c.d[1] << "," << c.d[2];
        EXPECT_NEAR(e, c.elevation, 1e-9);
    }
}

TEST_F(ViewGeometryTest, ViewSizeWithoutTaskIsTheImageSize)
{
    Fractal f(FT_PLASMA, 0);
    f.header->Width = 123;
    f.header->Height = 45;
    int w = 0, h = 0;
    f.GetViewSize(w, h);
    EXPECT_EQ(w, 123);
    EXPECT_EQ(h, 45);
}

TEST_F(ViewGeometryTest, SquareRootKeepsThePrecision)
{
    BigNumber two(2);
    // 60 digits, the last one rounded.
    EXPECT_EQ(Full(Sqrt(two)).substr(0, 62), "1.41421356237309504880168872420969807856967187537694807317668");
}

}  // namespace
