#include <windows.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdint.h>
#include <string.h>

#include "foundation/Buffers.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

bool AllZero(const void* p, int from, int to)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (int i = from; i < to; i++)
        if (b[i] != 0)
            return false;
    return true;
}

DWORD ProtectionOf(const void* p)
{
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(p, &info, sizeof(info)) != sizeof(info))
        return 0;
    return info.Protect;
}

void FillPattern(GrowBuffer& b, int n)
{
    uint8_t* d = static_cast<uint8_t*>(b.GetData());
    for (int i = 0; i < n; i++)
        d[i] = (uint8_t)(i * 7 + 1);
}

bool HasPattern(const GrowBuffer& b, int n)
{
    const uint8_t* d = static_cast<const uint8_t*>(b.GetData());
    for (int i = 0; i < n; i++)
        if (d[i] != (uint8_t)(i * 7 + 1))
            return false;
    return true;
}

// mov eax, imm32; ret
void WriteReturnConstant(uint8_t* at, uint32_t value)
{
    at[0] = 0xB8;
    memcpy(at + 1, &value, 4);
    at[5] = 0xC3;
}

int CallCode(const void* at)
{
    typedef int (*Routine)();
    return reinterpret_cast<Routine>(const_cast<void*>(at))();
}

}  // namespace

// ---------------------------------------------------------------------------
// GrowBuffer, heap form

TEST(GrowBuffer, NewBufferIsZeroFilledHeapMemory)
{
    GrowBuffer b(300);
    ASSERT_NE(b.GetData(), nullptr);
    EXPECT_EQ(b.GetCapacity(), 300);
    EXPECT_FALSE(b.IsExecutable());
    EXPECT_TRUE(AllZero(b.GetData(), 0, 300));

    GrowBuffer none(0);
    EXPECT_EQ(none.GetData(), nullptr);
    EXPECT_EQ(none.GetCapacity(), 0);
}

TEST(GrowBuffer, GrowthKeepsContentsAndZeroFillsTheRest)
{
    GrowBuffer b(50);
    FillPattern(b, 50);

    b.ReserveSlack(100, 1000);
    EXPECT_EQ(b.GetCapacity(), 1100);
    EXPECT_TRUE(HasPattern(b, 50));
    EXPECT_TRUE(AllZero(b.GetData(), 50, 1100));

    b.Reserve(2000);
    EXPECT_EQ(b.GetCapacity(), 2000);
    EXPECT_TRUE(HasPattern(b, 50));
    EXPECT_TRUE(AllZero(b.GetData(), 50, 2000));
}

TEST(GrowBuffer, SizesWithinTheCapacityChangeNothing)
{
    GrowBuffer b(64);
    FillPattern(b, 64);
    void* before = b.GetData();

    const int sizes[] = {64, 10, 0, -5};
    for (int size : sizes) {
        b.Reserve(size);
        b.ReserveSlack(size, 1000);
        EXPECT_EQ(b.GetData(), before) << size;
        EXPECT_EQ(b.GetCapacity(), 64) << size;
        EXPECT_TRUE(HasPattern(b, 64)) << size;
    }
}

TEST(GrowBuffer, ResetZeroFills)
{
    GrowBuffer empty(0);
    empty.Reset(0);
    ASSERT_NE(empty.GetData(), nullptr);
    EXPECT_EQ(empty.GetCapacity(), 1);
    EXPECT_TRUE(AllZero(empty.GetData(), 0, 1));

    GrowBuffer big(500);
    FillPattern(big, 500);
    void* before = big.GetData();
    big.Reset(100);
    EXPECT_EQ(big.GetData(), before);   // large enough: kept
    EXPECT_EQ(big.GetCapacity(), 500);
    EXPECT_TRUE(AllZero(big.GetData(), 0, 500));

    big.Reset(800);
    EXPECT_EQ(big.GetCapacity(), 800);
    EXPECT_TRUE(AllZero(big.GetData(), 0, 800));
}

TEST(GrowBuffer, MemoryThatCannotBeHadLeavesTheBufferEmpty)
{
    // Sizes no 32-bit process can get as one block, and one whose slack
    // would overflow the capacity.
    struct Case { int size; int slack; };
    const Case cases[] = {{0x7FFF0000, 0}, {0x7FFF0000, 1000}, {INT_MAX - 10, 1000}};
    for (const Case& c : cases) {
        for (bool executable : {false, true}) {
            GrowBuffer b(100, executable);
            FillPattern(b, 100);
            if (c.slack)
                b.ReserveSlack(c.size, c.slack);
            else
                b.Reserve(c.size);
            EXPECT_EQ(b.GetData(), nullptr) << c.size << " " << executable;
            EXPECT_EQ(b.GetCapacity(), 0) << c.size << " " << executable;
            EXPECT_EQ(b.IsExecutable(), executable);

            // The buffer is usable again afterwards, of the same kind.
            b.Reserve(200);
            ASSERT_EQ(b.GetCapacity(), 200);
            EXPECT_TRUE(AllZero(b.GetData(), 0, 200));
            if (executable) {
                EXPECT_EQ(ProtectionOf(b.GetData()), (DWORD)PAGE_EXECUTE_READWRITE);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// GrowBuffer, executable form

TEST(GrowBuffer, ExecutableCodeRunsBeforeAndAfterGrowth)
{
    GrowBuffer code(1000, true);
    ASSERT_NE(code.GetData(), nullptr);
    EXPECT_TRUE(code.IsExecutable());
    EXPECT_EQ(code.GetCapacity(), 1000);
    EXPECT_TRUE(AllZero(code.GetData(), 0, 1000));
    EXPECT_EQ(ProtectionOf(code.GetData()), (DWORD)PAGE_EXECUTE_READWRITE);

    WriteReturnConstant(static_cast<uint8_t*>(code.GetData()), 42);
    EXPECT_EQ(CallCode(code.GetData()), 42);

    // Growing moves the code into a new executable block; it still runs and
    // code written beyond the old end runs too.
    code.ReserveSlack(5000, 50000);
    ASSERT_EQ(code.GetCapacity(), 55000);
    EXPECT_TRUE(code.IsExecutable());
    uint8_t* d = static_cast<uint8_t*>(code.GetData());
    EXPECT_EQ(d[0], 0xB8);
    EXPECT_TRUE(AllZero(d, 6, 55000));
    EXPECT_EQ(ProtectionOf(d + 54000), (DWORD)PAGE_EXECUTE_READWRITE);
    EXPECT_EQ(CallCode(d), 42);
    WriteReturnConstant(d + 54000, 0x12345678);
    EXPECT_EQ(CallCode(d + 54000), 0x12345678);

    // Reset keeps the kind.
    code.Reset(70000);
    ASSERT_EQ(code.GetCapacity(), 70000);
    EXPECT_TRUE(AllZero(code.GetData(), 0, 70000));
    WriteReturnConstant(static_cast<uint8_t*>(code.GetData()) + 69000, 7);
    EXPECT_EQ(CallCode(static_cast<uint8_t*>(code.GetData()) + 69000), 7);
}

TEST(FreeExecutableMemory, ReleasesTheBlock)
{
    void* block = VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    ASSERT_NE(block, nullptr);
    FreeExecutableMemory(block, 8192);   // no box: an unexpected one fails the test

    MEMORY_BASIC_INFORMATION info;
    ASSERT_EQ(VirtualQuery(block, &info, sizeof(info)), sizeof(info));
    EXPECT_EQ(info.State, (DWORD)MEM_FREE);
}

TEST(FreeExecutableMemory, ReportsEachFailingStep)
{
    ScriptedBoxes boxes;

    // Decommit succeeds, release fails: the address is not the start of
    // its reservation.
    uint8_t* two = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    ASSERT_NE(two, nullptr);
    FreeExecutableMemory(two + 4096, 4096);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].style, 0x2040u);
    EXPECT_EQ(shown[0].title, "Error");
    EXPECT_EQ(shown[0].text, "Unable to release pages");
    ASSERT_TRUE(VirtualFree(two, 0, MEM_RELEASE));

    // Decommit fails (the range runs beyond the block), the release is
    // still made.
    void* one = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
    ASSERT_NE(one, nullptr);
    FreeExecutableMemory(one, 1 << 20);
    shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].title, "Error");
    EXPECT_EQ(shown[1].text, "Unable to decommit pages");
    MEMORY_BASIC_INFORMATION info;
    ASSERT_EQ(VirtualQuery(one, &info, sizeof(info)), sizeof(info));
    EXPECT_EQ(info.State, (DWORD)MEM_FREE);

    // Both fail for an address that was never allocated.
    FreeExecutableMemory(nullptr, 4096);
    shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[2].text, "Unable to decommit pages");
    EXPECT_EQ(shown[3].text, "Unable to release pages");
}

// ---------------------------------------------------------------------------
// AlignedBuffer

namespace {

// Writes a value derived from the offset at every offset -below..above-1.
void FillOffsets(AlignedBuffer& b, int below, int above)
{
    for (int i = -below; i < above; i++)
        b.GetBase()[i] = (uint8_t)(i * 13 + 5);
}

int FirstWrongOffset(const AlignedBuffer& b, int below, int above)
{
    for (int i = -below; i < above; i++)
        if (b.GetBase()[i] != (uint8_t)(i * 13 + 5))
            return i;
    return INT_MIN;
}

}  // namespace

TEST(AlignedBuffer, BaseIsAlignedWithRoomOnBothSides)
{
    AlignedBuffer b(3000, 3000);
    ASSERT_NE(b.GetRaw(), nullptr);
    EXPECT_EQ((uintptr_t)b.GetBase() % 16, 0u);
    EXPECT_EQ(b.GetAbove(), 3000);
    EXPECT_GE(b.GetBelow(), 3000);
    EXPECT_LT(b.GetBelow(), 3016);
    EXPECT_EQ(b.GetBase() - static_cast<uint8_t*>(b.GetRaw()), b.GetBelow());
    EXPECT_EQ(b.TotalSize(), b.GetAbove() + b.GetBelow());
    EXPECT_TRUE(AllZero(b.GetRaw(), 0, b.TotalSize()));
}

TEST(AlignedBuffer, ReserveKeepsEveryOffsetFromTheBase)
{
    AlignedBuffer b(3000, 3000);
    FillOffsets(b, 3000, 3000);

    // Large enough already: nothing moves.
    uint8_t* base = b.GetBase();
    b.Reserve(3000, 2000, 3000, 3000);
    EXPECT_EQ(b.GetBase(), base);
    EXPECT_EQ(b.GetAbove(), 3000);

    // More room above.
    b.Reserve(3100, 100, 3000, 3000);
    EXPECT_EQ(b.GetAbove(), 6100);
    EXPECT_GE(b.GetBelow(), 3000);
    EXPECT_EQ((uintptr_t)b.GetBase() % 16, 0u);
    EXPECT_EQ(FirstWrongOffset(b, 3000, 3000), INT_MIN);
    for (int i = 3000; i < 6100; i++)
        ASSERT_EQ(b.GetBase()[i], 0) << i;

    // More room below.
    b.Reserve(100, 9000, 500, 500);
    EXPECT_EQ(b.GetAbove(), 600);      // the requested above plus its slack
    EXPECT_GE(b.GetBelow(), 9500);
    EXPECT_EQ((uintptr_t)b.GetBase() % 16, 0u);
    EXPECT_EQ(FirstWrongOffset(b, 3000, 600), INT_MIN);
    for (int i = -9500; i < -3000; i++)
        ASSERT_EQ(b.GetBase()[i], 0) << i;
}

TEST(AlignedBuffer, CopyHasTheSameBytesAtTheSameOffsets)
{
    AlignedBuffer b(200, 300);
    FillOffsets(b, 300, 200);
    AlignedBuffer copy(b);
    ASSERT_NE(copy.GetRaw(), nullptr);
    EXPECT_NE(copy.GetRaw(), b.GetRaw());
    EXPECT_EQ((uintptr_t)copy.GetBase() % 16, 0u);
    EXPECT_EQ(copy.GetAbove(), 200);
    EXPECT_GE(copy.GetBelow(), 300);
    EXPECT_EQ(FirstWrongOffset(copy, 300, 200), INT_MIN);

    // The copy is independent.
    copy.GetBase()[0] = 0xEE;
    EXPECT_NE(b.GetBase()[0], 0xEE);
}

TEST(AlignedBuffer, MemoryThatCannotBeHadLeavesNoBlock)
{
    AlignedBuffer huge(INT_MAX, INT_MAX);
    EXPECT_EQ(huge.GetRaw(), nullptr);
    EXPECT_EQ(huge.GetBase(), nullptr);
    EXPECT_EQ(huge.GetAbove(), 0);
    EXPECT_EQ(huge.GetBelow(), 0);

    AlignedBuffer copyOfNone(huge);
    EXPECT_EQ(copyOfNone.GetRaw(), nullptr);
    EXPECT_EQ(copyOfNone.TotalSize(), 0);

    AlignedBuffer b(3000, 3000);
    b.Reserve(0x7FFF0000, 100, 3000, 3000);
    EXPECT_EQ(b.GetRaw(), nullptr);
    EXPECT_EQ(b.GetBase(), nullptr);
    EXPECT_EQ(b.TotalSize(), 0);

    // A later reserve gets a block again.
    b.Reserve(100, 100, 0, 0);
    ASSERT_NE(b.GetRaw(), nullptr);
    EXPECT_EQ(b.GetAbove(), 100);
    EXPECT_GE(b.GetBelow(), 100);
}
