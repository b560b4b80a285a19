// The alpha channel record: its opaque default, the resampling of the
// 400-entry table (straight curve, offset, clamping, no points) and the
// copy, which leaves the offset to the caller.
#include <gtest/gtest.h>

#include <string.h>

#include <memory>

#include "calc/colour/AlphaChannel.h"

namespace {

void SetPoints(AlphaChannel& a, std::initializer_list<std::pair<double, double>> points)
{
    a.Clear();
    for (const auto& p : points)
        a.points.Append(new CurveKnot(p.first, p.second));
}

}  // namespace

TEST(AlphaChannel, NewChannelIsOpaque)
{
    AlphaChannel a;
    EXPECT_STREQ(a.name, "empty alpha channel");
    ASSERT_EQ(a.points.Count(), 1);
    const CurveKnot* p = AsKnot(a.points.GetHead());
    EXPECT_EQ(p->x, 0);
    EXPECT_EQ(p->y, 255);
    EXPECT_EQ(a.selectedPoint, p);
    EXPECT_TRUE(p->selected);
    for (int i = 0; i < ALPHA_TABLE_SIZE; i++)
        ASSERT_EQ(a.alphaTable[i], 255);
    a.Resample();
    for (int i = 0; i < ALPHA_TABLE_SIZE; i++) {
        ASSERT_EQ(a.alphaTable[i], 255);
        ASSERT_EQ(a.alphaValues[i], 255.0f);
    }
}

TEST(AlphaChannel, Resample)
{
    AlphaChannel a;
    SetPoints(a, { { 0, 0 }, { 128, 128 } });
    a.Resample();
    for (int k = 0; k <= 128; k++)
        ASSERT_EQ(a.alphaTable[k], k) << k;
    EXPECT_EQ(a.alphaTable[264], 64);        // halfway back down to 0 at 400

    a.offset = 100;
    a.Resample();
    EXPECT_EQ(a.alphaTable[100], 0);
    EXPECT_EQ(a.alphaTable[228], 128);
    a.offset = -300.5;                      // rounds to -300, taken modulo 400
    a.Resample();
    EXPECT_EQ(a.alphaTable[100], 0);

    // Values are clamped; the float table keeps the fraction the byte drops.
    a.offset = 0;
    SetPoints(a, { { 0, -20 }, { 200, 300.5 } });
    a.Resample();
    EXPECT_EQ(a.alphaTable[0], 0);
    EXPECT_EQ(a.alphaTable[200], 255);
    SetPoints(a, { { 0, 10.75 } });
    a.Resample();
    EXPECT_EQ(a.alphaTable[399], 10);
    EXPECT_FLOAT_EQ(a.alphaValues[399], 10.75f);

    // Without points the table is opaque again instead of stale.
    a.Clear();
    a.Resample();
    EXPECT_EQ(a.alphaTable[0], 255);
    EXPECT_EQ(a.selectedPoint, nullptr);
}

TEST(AlphaChannel, CopyFrom)
{
    std::unique_ptr<AlphaChannel> source(new AlphaChannel());
    source->SetName("Fade");
    source->smooth = 1;
    source->dragknotmode = 1;
    source->offset = 50;
    SetPoints(*source, { { 0, 10 }, { 150, 200 }, { 300, 40 } });
    source->selectedPoint = AsKnot(source->points.GetAt(1));
    source->Resample();
    uint8_t table[ALPHA_TABLE_SIZE];
    memcpy(table, source->alphaTable, sizeof table);

    AlphaChannel copy;
    copy.Clear();
    copy.CopyFrom(source.get());
    source.reset();
    EXPECT_STREQ(copy.name, "Fade");
    EXPECT_EQ(copy.smooth, 1);
    EXPECT_EQ(copy.dragknotmode, 1);
    EXPECT_EQ(copy.offset, 0);
    EXPECT_EQ(memcmp(copy.alphaTable, table, sizeof table), 0);
    ASSERT_EQ(copy.points.Count(), 3);
    EXPECT_EQ(copy.selectedPoint, AsKnot(copy.points.GetAt(1)));
    EXPECT_EQ(AsKnot(copy.points.GetTail())->y, 40);

    copy.CopyFrom(&copy);
    EXPECT_EQ(copy.points.Count(), 3);
    copy.Clear();
    copy.CopyFrom(nullptr);
    EXPECT_STREQ(copy.name, "empty alpha channel");
    EXPECT_EQ(copy.points.Count(), 1);
    EXPECT_EQ(copy.alphaTable[123], 255);
}
