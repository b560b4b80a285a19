// The animation record: its defaults, and Reset forgetting the keys without
// deleting them while releasing the spline and the work set it owns.
#include <gtest/gtest.h>

#include <string.h>

#include "animation/Animation.h"
#include "animation/Spline.h"
#include "foundation/bignum/BigNumber.h"

TEST(Animation, ResetRestoresDefaultsAndReleasesOwnedParts)
{
    Animation a;
    EXPECT_STREQ(a.AnimName, "Animation");
    EXPECT_EQ(a.Width, 320);
    EXPECT_EQ(a.Height, 240);
    EXPECT_EQ(a.Interpolation, 1);
    EXPECT_EQ(a.Startframe, 1);
    EXPECT_EQ(a.Endframe, -1);
    EXPECT_EQ(a.Savemode, 1);
    EXPECT_EQ(a.FPS, 15);
    EXPECT_EQ(a.spline, nullptr);
    EXPECT_EQ(a.workSet, nullptr);

    ListNode key;   // a key belongs to the folder: Reset must leave it alone
    a.keys.Append(&key);
    strcpy(a.AnimName, "Zoom");
    strcpy(a.Comment, "deep");
    a.Width = 640;
    a.Interpolation = 2;
    a.Endframe = 99;
    a.spline = new Spline(nullptr, SPLINE_CUBIC);
    a.workSet = new InterpolationWorkSet(3);
    a.workSet->handles[0][2] = m_apm_init_mt();
    a.Reset();
    EXPECT_EQ(a.keys.Count(), 0);
    EXPECT_STREQ(a.AnimName, "Animation");
    EXPECT_STREQ(a.Comment, "");
    EXPECT_EQ(a.Width, 320);
    EXPECT_EQ(a.Interpolation, 1);
    EXPECT_EQ(a.Endframe, -1);
    EXPECT_EQ(a.spline, nullptr);
    EXPECT_EQ(a.workSet, nullptr);
}

TEST(Animation, WorkSetArrays)
{
    InterpolationWorkSet w(4);
    EXPECT_EQ(w.count, 4);
    for (double* d : w.doubles)
        for (int i = 0; i < 14; i++)
            ASSERT_EQ(d[i], 0);
    M_APM handles[3] = { m_apm_init_mt(), nullptr, m_apm_init_mt() };
    FreeBigNumberArray(handles, 3);
    for (M_APM h : handles)
        EXPECT_EQ(h, nullptr);
}
