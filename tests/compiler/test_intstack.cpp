#include <gtest/gtest.h>

#include "compiler/IntStack.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

std::vector<int> Contents(const IntStack& s)
{
    int count = 0;
    int32_t* items = s.getItems(&count);
    return std::vector<int>(items, items + count);
}

TEST(IntStack, TuplesKeepTheirOrderAndPopTopFirst)
{
    IntStack s(100);
    s.push2(5, 7);
    EXPECT_EQ(7, s.peek(0));
    EXPECT_EQ(5, s.peek(1));
    EXPECT_EQ(-1, s.peek(2));   // beyond the bottom

    s.push3(1, 2, 3);
    s.push4(10, 20, 30, 40);
    EXPECT_EQ((std::vector<int>{5, 7, 1, 2, 3, 10, 20, 30, 40}), Contents(s));

    int32_t a, b, c, d;
    s.pop4(&a, &b, &c, &d);
    EXPECT_EQ(40, a);
    EXPECT_EQ(30, b);
    EXPECT_EQ(20, c);
    EXPECT_EQ(10, d);
    s.pop3(&a, &b, &c);
    EXPECT_EQ(3, a);
    EXPECT_EQ(1, c);
    s.pop2(&a, &b);
    EXPECT_EQ(7, a);
    EXPECT_EQ(5, b);
    EXPECT_TRUE(s.isEmpty());
}

TEST(IntStack, PopsBeyondTheBottomAnswerMinusOneAndKeepEntries)
{
    IntStack s(100);
    EXPECT_EQ(-1, s.pop());
    EXPECT_EQ(0, s.count());

    s.push(9);
    int32_t a = 0, b = 0;
    s.pop2(&a, &b);
    EXPECT_EQ(-1, a);
    EXPECT_EQ(-1, b);
    EXPECT_EQ((std::vector<int>{9}), Contents(s));

    int32_t c = 0, d = 0;
    s.push(8);
    s.pop3(&a, &b, &c);
    EXPECT_EQ(-1, c);
    s.pop4(&a, &b, &c, &d);
    EXPECT_EQ(-1, d);
    EXPECT_EQ((std::vector<int>{9, 8}), Contents(s));
}

TEST(IntStack, GrowsByOneHundredWhenNearlyFullKeepingEntries)
{
    IntStack s(100);
    for (int i = 0; i < 98; i++)
        s.push(i);
    EXPECT_EQ(100, s.getCapacity());   // top 98: the next single push grows
    s.push(98);
    EXPECT_EQ(200, s.getCapacity());
    for (int i = 99; i < 1000; i++)
        s.push4(i, -i, i, -i);
    for (int i = 0; i < 99; i++)
        ASSERT_EQ(i, Contents(s)[i]);
    EXPECT_EQ(99 + 4 * 901, s.count());
}

TEST(IntStack, RemoveAtTakesOutOneEntryAtDepth)
{
    IntStack s(10);
    s.push3(1, 2, 3);
    s.removeAt(1);
    EXPECT_EQ((std::vector<int>{1, 3}), Contents(s));
    s.removeAt(0);
    EXPECT_EQ((std::vector<int>{1}), Contents(s));
}

TEST(IntStack, RemoveAtOutsideTheStackShowsTheFatalErrorAndChangesNothing)
{
    ScriptedBoxes boxes;
    IntStack s(10);
    s.push3(1, 2, 3);
    s.removeAt(3);
    s.removeAt(-1);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Contents(s));
    auto shown = boxes.Shown();
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(0x2040u, shown[0].style);
    EXPECT_EQ("Fatal error", shown[0].title);
    EXPECT_EQ("if-ID on stack not valid, please inform the author that this bug has occurred",
              shown[0].text);
}

TEST(IntStack, DropSetTopAndClear)
{
    IntStack s(10);
    s.push4(1, 2, 3, 4);
    s.setTop(44);
    EXPECT_EQ(44, s.peek(0));
    s.drop(1);
    EXPECT_EQ(3, s.peek(0));
    s.drop(10);
    EXPECT_TRUE(s.isEmpty());
    s.setTop(5);   // nothing to replace
    EXPECT_TRUE(s.isEmpty());
    s.push2(1, 2);
    s.clear();
    EXPECT_EQ(-1, s.pop());
}

}  // namespace
