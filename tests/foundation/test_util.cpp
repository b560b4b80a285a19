#include <gtest/gtest.h>
#include <limits>
#include <string.h>

#include "foundation/Util.h"

struct FormatCase {
    double value;
    int decimals;
    const char* text;
};

TEST(FormatNumber, FixedAndExponentForms)
{
    // The exponent form is the Windows runtime's text, three-digit exponent
    // included; trimming zeros must not touch it.
    const FormatCase cases[] = {
        {2.50, 4, "2.5"},
        {3.0, 4, "3"},
        {-0.00001, 3, "0"},
        {-0.0, 2, "0"},
        {0.0, 0, "0"},
        {-2.126, 2, "-2.13"},
        {100.0, 2, "100"},
        {1234.5678, 6, "1234.5678"},
        {1e20, 2, "100000000000000000000"},
        {-1e20, 0, "-100000000000000000000"},
        {1.5e25, 3, "1.5e+025"},
        {1.25e30, 3, "1.25e+030"},
        {-1.25e30, 3, "-1.25e+030"},
        {1e21, 8, "1e+021"},
    };
    for (const FormatCase& c : cases) {
        char out[FORMAT_NUMBER_SIZE];
        FormatNumber(c.value, out, c.decimals);
        EXPECT_STREQ(c.text, out) << c.value << " with " << c.decimals << " decimals";
    }
}

TEST(FormatNumber, NeverWritesPastItsBuffer)
{
    // The largest fixed-point text: 21 digits, sign, point and the most
    // decimals, inside the documented size.
    char big[FORMAT_NUMBER_SIZE + 8];
    memset(big, 'x', sizeof(big));
    FormatNumber(-9.99e19, big, 1000);
    EXPECT_LT(strlen(big), FORMAT_NUMBER_SIZE);
    EXPECT_EQ('x', big[FORMAT_NUMBER_SIZE]);
    EXPECT_STREQ("-99900000000000000000", big);

    // With a size given, the text is cut to fit and terminated.
    char small[8];
    memset(small, 'x', sizeof(small));
    FormatNumber(123456789.25, small, 2, 6);
    EXPECT_STREQ("12345", small);
    EXPECT_EQ('x', small[6]);

    // Negative decimals count as none.
    char out[FORMAT_NUMBER_SIZE];
    FormatNumber(2.75, out, -3);
    EXPECT_STREQ("3", out);
}

TEST(SmallRoutines, StartsWith)
{
    EXPECT_TRUE(StartsWith("Julia", "Jul"));
    EXPECT_TRUE(StartsWith("Julia", ""));
    EXPECT_TRUE(StartsWith("Julia", "Julia"));
    EXPECT_FALSE(StartsWith("Julia", "jul"));
    EXPECT_FALSE(StartsWith("Jul", "Julia"));
}

TEST(SmallRoutines, SignOf)
{
    EXPECT_EQ(-1.0, SignOf(-3.5));
    EXPECT_EQ(1.0, SignOf(1e-300));
    EXPECT_EQ(0.0, SignOf(0.0));
    EXPECT_EQ(0.0, SignOf(-0.0));
    EXPECT_EQ(0.0, SignOf(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(-1.0, SignOf(-std::numeric_limits<double>::infinity()));
}

TEST(SmallRoutines, RgbFromBytes)
{
    const unsigned char rgb[3] = {0x12, 0x34, 0xFE};
    EXPECT_EQ(0x1234FEu, RgbFromBytes(rgb));
    const unsigned char white[3] = {255, 255, 255};
    EXPECT_EQ(0xFFFFFFu, RgbFromBytes(white));
}

TEST(SmallRoutines, OrderCornersGivesSmallXAndLargeYFirst)
{
    struct Case {
        int in[4];
        int out[4];
    };
    const Case cases[] = {
        {{10, 5, 2, 8}, {2, 8, 10, 5}},
        {{2, 8, 10, 5}, {2, 8, 10, 5}},
        {{1, 1, 3, 0}, {1, 1, 3, 0}},
        {{3, 0, 1, 1}, {1, 1, 3, 0}},
        {{4, 4, 4, 4}, {4, 4, 4, 4}},
    };
    for (const Case& c : cases) {
        int x1 = c.in[0], y1 = c.in[1], x2 = c.in[2], y2 = c.in[3];
        OrderCorners(x1, y1, x2, y2);
        EXPECT_EQ(c.out[0], x1);
        EXPECT_EQ(c.out[1], y1);
        EXPECT_EQ(c.out[2], x2);
        EXPECT_EQ(c.out[3], y2);
    }
}
