#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>

#include <string>

#include "foundation/ImageFilter.h"

namespace {

// A small 24-bit image: width x height pixels of blue, green, red, rows
// padded to 4 bytes, the byte of each channel made from its position.
struct Image {
    enum { W = 5, H = 4, STRIDE = 16 };
    uint8_t bits[STRIDE * H];
    Image()
    {
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                for (int c = 0; c < 3; c++)
                    bits[y * STRIDE + x * 3 + c] = (uint8_t)(y * 50 + x * 11 + c * 3);
    }
    const uint8_t* At(int x, int y, int channel) const { return bits + y * STRIDE + x * 3 + channel; }
};

}  // namespace

TEST(ImageFilter, NewFilterIsTheIdentity)
{
    ImageFilter f;
    EXPECT_EQ(f.GetSide(), 1);
    EXPECT_STREQ(f.GetEntryName(), "");
    EXPECT_STREQ(f.name, "");
    for (double v : {0.0, 17.0, 255.0}) {
        EXPECT_EQ(f.Apply(&v), v);
    }
    Image img;
    for (int c = 0; c < 3; c++)
        EXPECT_EQ(f.ApplyToChannel(img.At(3, 2, c), 3, Image::STRIDE), *img.At(3, 2, c));
}

TEST(ImageFilter, ThreeByThreeOnesOverNineAverages)
{
    ImageFilter f;
    ASSERT_TRUE(f.SetSide(3));
    for (int i = 0; i < 9; i++)
        ASSERT_TRUE(f.SetValue(i, 1.0));
    f.SetDivisor(9.0);

    Image img;
    for (int c = 0; c < 3; c++) {
        double sum = 0;
        for (int y = 1; y <= 3; y++)
            for (int x = 2; x <= 4; x++)
                sum += *img.At(x, y, c);
        EXPECT_DOUBLE_EQ(f.ApplyToChannel(img.At(2, 1, c), 3, Image::STRIDE), sum / 9.0) << c;
    }

    const double block[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_DOUBLE_EQ(f.Apply(block), 5.0);
}

TEST(ImageFilter, KernelIsRowMajorWithDivisorAndBias)
{
    // One weight at row 0, column 2 picks the top-right sample.
    ImageFilter f;
    f.SetSide(3);
    f.SetValue(0, 0.0);
    f.SetValue(2, 4.0);
    f.SetDivisor(2.0);
    f.SetBias(-10.0);
    EXPECT_EQ(f.GetValue(0, 2), 4.0);

    Image img;
    EXPECT_DOUBLE_EQ(f.ApplyToChannel(img.At(1, 0, 1), 3, Image::STRIDE),
                     *img.At(3, 0, 1) * 4.0 / 2.0 - 10.0);
    const double block[9] = {9, 9, 6, 9, 9, 9, 9, 9, 9};
    EXPECT_DOUBLE_EQ(f.Apply(block), 2.0);
}

TEST(ImageFilter, ZeroDivisorCountsAsOne)
{
    // An edge kernel whose weights sum to zero, written with DIVISOR 0.
    ImageFilter f;
    f.SetSide(3);
    const double edge[9] = {0, -1, 0, -1, 4, -1, 0, -1, 0};
    for (int i = 0; i < 9; i++)
        f.SetValue(i, edge[i]);
    f.SetDivisor(0.0);
    f.SetBias(128.0);
    const double flat[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(f.Apply(flat), 128.0);
    const double spot[9] = {0, 0, 0, 0, 10, 0, 0, 0, 0};
    EXPECT_EQ(f.Apply(spot), 168.0);
    EXPECT_EQ(f.GetDivisor(), 0.0);   // stored as given
}

TEST(ImageFilter, RecordCannotBeOverfilled)
{
    ImageFilter f;
    for (int side : {0, -1, 11, 1000}) {
        EXPECT_FALSE(f.SetSide(side)) << side;
        EXPECT_EQ(f.GetSide(), 1);
    }
    EXPECT_TRUE(f.SetSide(10));
    EXPECT_EQ(f.GetSide(), 10);

    EXPECT_TRUE(f.SetValue(99, 2.5));
    EXPECT_FALSE(f.SetValue(100, 1.0));
    EXPECT_FALSE(f.SetValue(-1, 1.0));
    EXPECT_EQ(f.GetValue(99), 2.5);
    EXPECT_EQ(f.GetValue(100), 0.0);

    std::string fits(67, 'e');
    EXPECT_TRUE(f.SetEntryName(fits.c_str()));
    EXPECT_EQ(std::string(f.GetEntryName()), fits);
    std::string tooLong(200, 'k');
    EXPECT_FALSE(f.SetEntryName(tooLong.c_str()));
    EXPECT_EQ(std::string(f.GetEntryName()), std::string(67, 'k'));

    f.SetName(tooLong.c_str());
    EXPECT_EQ(std::string(f.name), std::string(63, 'k'));
}
