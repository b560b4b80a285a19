// The open-block stack's index of the innermost block of each id, checked
// against a plain walk down the stack after every push and pop of a long
// mixed sequence: a pop that restores the wrong outer block, or a clear that
// leaves an old position behind, shows as a mismatch.
#include <gtest/gtest.h>

#include "compiler/BlockStack.h"

namespace {

// The innermost position of id found by walking from the top.
int WalkedPosition(const BlockStack& s, int32_t id)
{
    for (int depth = 0; depth < s.count(); depth++) {
        if (s.peek(depth) == id)
            return s.count() - 1 - depth;
    }
    return -1;
}

::testing::AssertionResult AgreesWithWalk(const BlockStack& s, int step)
{
    // 1-5, 10 and 11 are the grammar's ids; 40 and -7 lie outside the index.
    static const int32_t ids[] = {0, 1, 2, 3, 4, 5, 10, 11, 15, 16, 40, -7};
    for (int32_t id : ids) {
        if (s.innermost(id) != WalkedPosition(s, id))
            return ::testing::AssertionFailure() << "step " << step << ", id " << id << ": " << s.innermost(id)
                                                 << " instead of " << WalkedPosition(s, id);
    }
    return ::testing::AssertionSuccess();
}

TEST(BlockStack, InnermostAgreesWithAWalkThroughPushesAndPops)
{
    static const int32_t ids[] = {1, 2, 3, 4, 5, 10, 11, 1, 1, 3, 40, -7};
    BlockStack s;
    uint32_t seed = 12345;
    for (int step = 0; step < 3000; step++) {
        seed = seed * 1103515245u + 12345u;
        uint32_t roll = seed >> 16;
        if (step == 1500) {
            s.clear();
            EXPECT_TRUE(s.isEmpty());
        } else if (roll % 5 < 3 || s.isEmpty()) {   // grows on the whole, so it gets deep
            s.push(ids[roll % (sizeof ids / sizeof ids[0])]);
        } else {
            int32_t top = s.peek(0);
            EXPECT_EQ(top, s.pop());
        }
        ASSERT_TRUE(AgreesWithWalk(s, step));
    }
    EXPECT_GT(s.count(), 100);
}

TEST(BlockStack, EmptyStackPopsAndPeeksMinusOne)
{
    BlockStack s;
    EXPECT_EQ(-1, s.pop());
    EXPECT_EQ(-1, s.peek(0));
    s.push(3);
    EXPECT_EQ(3, s.peek(0));
    EXPECT_EQ(-1, s.peek(1));
    EXPECT_EQ(3, s.pop());
    EXPECT_EQ(-1, s.innermost(3));
}

}  // namespace
