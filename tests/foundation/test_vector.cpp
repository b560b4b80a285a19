#include <gtest/gtest.h>
#include <math.h>

#include "foundation/Vector.h"

static const double kFullPi = 3.14159265358979323846;

static void ExpectVector(const double* expected, const double* actual, double tolerance)
{
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(expected[i], actual[i], tolerance) << "component " << i;
}

static void ExpectVector(double x, double y, double z, const double* actual, double tolerance)
{
    const double expected[3] = {x, y, z};
    ExpectVector(expected, actual, tolerance);
}

TEST(Vector, CrossProducts)
{
    const double x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
    double out[3];
    CrossProduct(x, y, out);
    const double z[3] = {0, 0, 1};
    ExpectVector(z, out, 0);

    const double a[3] = {2, -3, 5}, b[3] = {-1, 4, 0.5};
    CrossProduct(a, b, out);
    const double ab[3] = {-3 * 0.5 - 5 * 4, 5 * -1 - 2 * 0.5, 2 * 4 - (-3) * (-1)};
    ExpectVector(ab, out, 0);

    // The output may be one of the inputs.
    double c[3] = {2, -3, 5};
    CrossProduct(c, b, c);
    ExpectVector(ab, c, 0);

    const float fa[3] = {2, -3, 5}, fb[3] = {-1, 4, 0.5f};
    float fout[3];
    CrossProductF(fa, fb, fout);
    EXPECT_FLOAT_EQ(-21.5f, fout[0]);
    EXPECT_FLOAT_EQ(-6.0f, fout[1]);
    EXPECT_FLOAT_EQ(5.0f, fout[2]);
}

TEST(Vector, NormalizeKeepsDirection)
{
    double v[3] = {3, 0, -4};
    NormalizeVector(v);
    const double unit[3] = {0.6, 0, -0.8};
    ExpectVector(unit, v, 1e-15);

    double zero[3] = {0, 0, 0};
    NormalizeVector(zero);
    ExpectVector(0, 0, 0, zero, 0);
}

TEST(Vector, EqualityToleranceIsTiny)
{
    const float a[3] = {1.0f, 2.0f, 3.0f};
    const float same[3] = {1.0f, 2.0f, 3.0f};
    const float off[3] = {1.0f, 2.000001f, 3.0f};
    EXPECT_TRUE(VectorsEqualF(a, same));
    EXPECT_FALSE(VectorsEqualF(a, off));
    const float small[3] = {1e-6f, 0, 0}, zero[3] = {0, 0, 0};
    EXPECT_FALSE(VectorsEqualF(small, zero));
}

TEST(Vector, TransformPointIntoCamera)
{
    float record[PROJECTION_MATRIX_OFFSET + 9] = {};
    record[0] = 1;
    record[1] = 2;
    record[2] = 3;
    // Rows right, up, direction: a camera turned 90 degrees about z.
    const float m[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; i++)
        record[PROJECTION_MATRIX_OFFSET + i] = m[i];
    float p[3] = {4, 7, 13};
    float out[3];
    TransformPointF(p, out, record);
    EXPECT_FLOAT_EQ(3, p[0]);
    EXPECT_FLOAT_EQ(5, p[1]);
    EXPECT_FLOAT_EQ(10, p[2]);
    EXPECT_FLOAT_EQ(5, out[0]);
    EXPECT_FLOAT_EQ(-3, out[1]);
    EXPECT_FLOAT_EQ(10, out[2]);
}

TEST(Vector, FloatFunctionsGoThroughDouble)
{
    EXPECT_FLOAT_EQ(3.0f, SqrtF(9.0f));
    EXPECT_FLOAT_EQ(1.0f, LogF((float)exp(1.0)));
    EXPECT_FLOAT_EQ((float)exp(2.5), ExpF(2.5f));
}

TEST(Vector, RotationAboutCoordinateAxis)
{
    const double z[3] = {0, 0, 1};
    double v[3] = {1, 0, 0};
    RotateVectorAboutAxis(z, v, 90);
    ExpectVector(0, 1, 0, v, 1e-9);

    // A vector along the axis, and a zero vector, stay as they are.
    double along[3] = {0, 0, -2.5};
    RotateVectorAboutAxis(z, along, 37);
    ExpectVector(0, 0, -2.5, along, 0);
    double zero[3] = {0, 0, 0};
    RotateVectorAboutAxis(z, zero, 37);
    ExpectVector(0, 0, 0, zero, 0);
}

TEST(Vector, RotationAboutSlantedAxis)
{
    // 120 degrees about (1, 1, 1) permutes the coordinate axes: x -> y.
    const double diagonal[3] = {1, 1, 1};
    double v[3] = {1, 0, 0};
    RotateVectorAboutAxis(diagonal, v, 120);
    ExpectVector(0, 1, 0, v, 1e-9);

    // 90 degrees about (1, 1, 0) turns z toward axis x z = (1, -1, 0).
    const double slant[3] = {1, 1, 0};
    double w[3] = {0, 0, 1};
    RotateVectorAboutAxis(slant, w, 90);
    ExpectVector(sqrt(0.5), -sqrt(0.5), 0, w, 1e-9);

    // A vector with a part along the axis keeps that part; the axis need
    // not be a unit vector: (1, 0, 5) by 30 degrees about (0, 0, 2).
    const double longZ[3] = {0, 0, 2};
    double u[3] = {1, 0, 5};
    RotateVectorAboutAxis(longZ, u, 30);
    ExpectVector(sqrt(3.0) / 2, 0.5, 5, u, 1e-9);

    // The point rotation turns about an axis through the centre: (2, 2, 7)
    // about the z axis through (1, 2, 3) by 90 degrees.
    const double centre[3] = {1, 2, 3};
    double p[3] = {2, 2, 7};
    const double z[3] = {0, 0, 1};
    RotatePointAboutAxis(centre, z, p, 90);
    ExpectVector(1, 3, 7, p, 1e-9);

    // A point on the axis stays.
    double onAxis[3] = {1, 2, -40};
    RotatePointAboutAxis(centre, longZ, onAxis, 55);
    ExpectVector(1, 2, -40, onAxis, 0);
}

TEST(Vector, AnglesUseTheShortPi)
{
    // Half a turn by the short pi misses by pi - 3.1415926535.
    const double z[3] = {0, 0, 1};
    double v[3] = {1, 0, 0};
    RotateVectorAboutAxis(z, v, 180);
    EXPECT_NEAR(kFullPi - 3.1415926535, v[1], 1e-14);
    EXPECT_NEAR(-1.0, v[0], 1e-15);

    // atan2 answers the full pi, which the short pi turns into slightly more
    // than 180 degrees.
    const double a[3] = {1, 0, 0}, b[3] = {-1, 0, 0};
    EXPECT_NEAR(180.0 * kFullPi / 3.1415926535, AxisAngleDegrees(a, b, z), 1e-12);
    EXPECT_GT(AxisAngleDegrees(a, b, z), 180.0 + 5e-9);
}

TEST(Vector, AxisAngleDegrees)
{
    const double a[3] = {2, 0, 0}, c[3] = {0, 0, 1};
    struct Case {
        double b[3];
        double degrees;
    };
    const Case cases[] = {
        {{0, 3, 0}, 90},
        {{1, 1, 0}, 45},
        {{0, -1, 0}, -90},
        {{1, -1, 0}, -45},
        {{5, 0, 0}, 0},
    };
    for (const Case& k : cases)
        EXPECT_NEAR(k.degrees, AxisAngleDegrees(a, k.b, c), 1e-8);
}

TEST(Vector, SignedAngle)
{
    const double o[3] = {1, 1, 1}, a[3] = {2, 1, 1}, n[3] = {0, 0, 1};
    // (a - o) x n = (0, -1, 0): b toward +y lies against it.
    const double up[3] = {1, 2, 1}, down[3] = {1, 0, 1};
    EXPECT_NEAR(-kFullPi / 2, SignedAngle(o, a, n, up), 1e-12);
    EXPECT_NEAR(kFullPi / 2, SignedAngle(o, a, n, down), 1e-12);

    // Same direction: 0; opposite: pi in magnitude, never a non-number even
    // for lengths whose products are inexact.
    const double same[3] = {1.1, 1, 1};
    EXPECT_EQ(0.0, SignedAngle(o, a, n, same));
    const double oa[3] = {0.1, 0.2, 0.3}, aa[3] = {0.1 + 0.7, 0.2 + 0.1, 0.3 + 0.3};
    const double ba[3] = {0.1 - 0.7 * 3, 0.2 - 0.1 * 3, 0.3 - 0.3 * 3};
    double opposite = SignedAngle(oa, aa, n, ba);
    EXPECT_FALSE(isnan(opposite));
    EXPECT_NEAR(kFullPi, fabs(opposite), 1e-7);
    const double sameA[3] = {0.1 + 0.7 * 3, 0.2 + 0.1 * 3, 0.3 + 0.3 * 3};
    double parallel = SignedAngle(oa, aa, n, sameA);
    EXPECT_FALSE(isnan(parallel));
    EXPECT_NEAR(0.0, parallel, 1e-7);
}
