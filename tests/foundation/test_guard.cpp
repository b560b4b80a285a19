#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <stdexcept>
#include "foundation/Guard.h"
#include "foundation/Buffers.h"
#include "app/Application.h"
#include "app/FailureReport.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

void* ChainHead()
{
    void* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

unsigned short ControlWord()
{
    unsigned short cw;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    return cw;
}

void SetControlWord(unsigned short cw)
{
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
}

int X87StackDepth()
{
    unsigned short sw;
    __asm__ __volatile__("fnstsw %0" : "=m"(sw));
    unsigned short tw_env[14];
    __asm__ __volatile__("fnstenv %0\n\tfldenv %0" : "=m"(tw_env));
    unsigned tag = tw_env[4];
    int depth = 0;
    for (int i = 0; i < 8; ++i)
        if (((tag >> (2 * i)) & 3) != 3)
            ++depth;
    return depth;
}

volatile int* volatile g_nullPointer = nullptr;
volatile int g_zero = 0;

} // namespace

TEST(Guard, ReturnsZeroAndLeavesChainWhenRoutineReturns)
{
    void* before = ChainHead();
    int ran = 0;
    EXPECT_EQ(0u, Guarded([&] { ran = 1; }));
    EXPECT_EQ(1, ran);
    EXPECT_EQ(before, ChainHead());
}

TEST(Guard, CatchesFaultsAndRaisedCodes)
{
    struct Case {
        const char* what;
        void (*fault)();
        DWORD code;
    } cases[] = {
        {"access violation", [] { *g_nullPointer = 1; }, EXCEPTION_ACCESS_VIOLATION},
        {"integer division by zero", [] { volatile int x = 7 / g_zero; (void)x; }, EXCEPTION_INT_DIVIDE_BY_ZERO},
        {"raised code", [] { RaiseException(0x20001234, 0, 0, nullptr); }, 0x20001234},
        {"stop request", [] { RaiseException(EXCEPTION_STOP_THREAD, 0, 0, nullptr); }, EXCEPTION_STOP_THREAD},
        {"error-class raised code", [] { RaiseException(0xE0000042, 0, 0, nullptr); }, 0xE0000042},
    };
    for (const Case& c : cases) {
        void* before = ChainHead();
        bool after = false;
        DWORD code = Guarded([&] {
            c.fault();
            after = true;
        });
        EXPECT_EQ(c.code, code) << c.what;
        EXPECT_FALSE(after) << c.what << ": the routine went on after the fault";
        EXPECT_EQ(before, ChainHead()) << c.what << ": the guard's frame was left on the chain";
    }
}

TEST(Guard, InnerGuardCatchesAndOuterGoesOn)
{
    int steps = 0;
    DWORD inner = 0;
    DWORD outer = Guarded([&] {
        inner = Guarded([&] { *g_nullPointer = 2; });
        ++steps;
        Guarded([&] { RaiseException(0x1234, 0, 0, nullptr); });
        ++steps;
    });
    EXPECT_EQ(0u, outer);
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, inner);
    EXPECT_EQ(2, steps);

    // An exception in the outer routine after an inner guard finished goes to
    // the outer guard.
    DWORD code = Guarded([&] {
        Guarded([] {});
        *g_nullPointer = 3;
    });
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, code);
}

TEST(Guard, RestoresX87State)
{
    unsigned short saved = ControlWord();
    SetControlWord(0x27F);
    DWORD code = Guarded([] {
        // Leave values on the register stack and change the control word
        // before the fault, as compiled formula code does.
        __asm__ __volatile__("fld1\n\tfldpi\n\tfldz\n\tfldl2e");
        SetControlWord(0x37F & ~1);
        *g_nullPointer = 4;
    });
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, code);
    EXPECT_EQ(0x27F, ControlWord());
    EXPECT_EQ(0, X87StackDepth());
    SetControlWord(saved);
}

TEST(Guard, DebugOutputPassesThrough)
{
    EXPECT_FALSE(IsGuardedException(0x40010006));
    EXPECT_FALSE(IsGuardedException(EXCEPTION_BREAKPOINT));
    EXPECT_TRUE(IsGuardedException(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_TRUE(IsGuardedException(EXCEPTION_STOP_THREAD));
    bool after = false;
    EXPECT_EQ(0u, Guarded([&] {
        OutputDebugStringA("guard test\n");
        after = true;
    }));
    EXPECT_TRUE(after);
}

TEST(Guard, CppExceptionPassesThroughAndTakesFrameOff)
{
    void* before = ChainHead();
    bool caught = false;
    try {
        Guarded([] { throw std::runtime_error("passes"); });
    } catch (const std::runtime_error&) {
        caught = true;
    }
    EXPECT_TRUE(caught);
    EXPECT_EQ(before, ChainHead());
    // The guard still works afterwards.
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, Guarded([] { *g_nullPointer = 5; }));
}

TEST(Guard, ReportingGuardShowsExceptionBox)
{
    ScriptedBoxes boxes;
    DWORD code = GuardedReport("UR_Test ID:7", false, [] { *g_nullPointer = 6; });
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, code);
    ASSERT_EQ(1u, boxes.Count());
    ShownBox box = boxes.Shown()[0];
    EXPECT_EQ(0x2010u, box.style);
    EXPECT_EQ("Exception", box.title);
    EXPECT_EQ(0u, box.text.find("Serious software failure\n\n"));
    EXPECT_NE(std::string::npos,
              box.text.find("Description:\nAccess Violation - The thread attempted to read from or write to a "
                            "virtual address for which it does not have the appropriate access.\nLocation:UR_Test ID:7\n\n"));

    // The stop request is silent where the guard says so, reported elsewhere.
    EXPECT_EQ(EXCEPTION_STOP_THREAD,
              GuardedReport("DrawFractal", true, [] { RaiseException(EXCEPTION_STOP_THREAD, 0, 0, nullptr); }));
    EXPECT_EQ(1u, boxes.Count());
    GuardedReport("Mouse Moved", false, [] { RaiseException(EXCEPTION_STOP_THREAD, 0, 0, nullptr); });
    ASSERT_EQ(2u, boxes.Count());
    EXPECT_NE(std::string::npos, boxes.Shown()[1].text.find("Exception in order to stop the thread\nLocation:Mouse Moved"));
}

TEST(Guard, ExceptionTexts)
{
    char text[EXCEPTION_TEXT_SIZE];
    EXPECT_STREQ("Exception code e0001234 - For more information see Win32 include file winbase.h",
                 PApplication::GetExceptionText(text, 0xE0001234));
    EXPECT_STREQ("Exception code 7 - For more information see Win32 include file winbase.h", PApplication::GetExceptionText(text, 7));
    EXPECT_STREQ("FPU Stack Check - The stack overflowed or underflowed as the result of a floating-point operation.",
                 PApplication::GetExceptionText(text, 0xC0000092));
}

TEST(Guard, ReportCopesWithLongLocation)
{
    ScriptedBoxes boxes;
    std::string location = "compile(): Tried to compile the formula \"" + std::string(5000, 'f') + "\"";
    ReportSoftwareFailure(EXCEPTION_ACCESS_VIOLATION, location.c_str());
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find(location + "\n\n"));
}

namespace {

struct Spinner {
    GrowBuffer* code;
    volatile LONG entered = 0;
    volatile DWORD result = 0xFFFFFFFF;
    volatile DWORD caughtTick = 0;
};

DWORD WINAPI SpinInCompiledCode(void* p)
{
    Spinner* s = static_cast<Spinner*>(p);
    void (*routine)() = reinterpret_cast<void (*)()>(s->code->GetData());
    s->result = Guarded([&] {
        InterlockedExchange(&s->entered, 1);
        routine();
    });
    s->caughtTick = GetTickCount();
    return 0;
}

DWORD WINAPI SpinInWindows(void* p)
{
    Spinner* s = static_cast<Spinner*>(p);
    s->result = Guarded([&] {
        InterlockedExchange(&s->entered, 1);
        for (int i = 0; i < 100 && s->entered; ++i)
            Sleep(10);
    });
    return 0;
}

} // namespace

TEST(Guard, StopRequestRedirectsThreadOutOfCompiledCode)
{
    GrowBuffer code(1000, true);
    // fld1; jmp $ : the thread spins inside the buffer with a value on the
    // x87 stack.
    const unsigned char spin[] = {0xD9, 0xE8, 0xEB, 0xFE};
    memcpy(code.GetData(), spin, sizeof spin);

    Spinner s;
    s.code = &code;
    HANDLE thread = CreateThread(nullptr, 0, &SpinInCompiledCode, &s, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    while (!s.entered)
        Sleep(1);
    Sleep(20);  // well inside the loop by now

    bool redirected = false;
    for (int attempt = 0; attempt < 300 && !redirected; ++attempt) {
        SuspendThread(thread);
        redirected = RedirectToStop(thread, code.GetData(), code.GetCapacity());
        DWORD tick = GetTickCount();
        ResumeThread(thread);
        if (redirected) {
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 2000));
            EXPECT_EQ(EXCEPTION_STOP_THREAD, s.result);
            EXPECT_LE(s.caughtTick - tick, 100u);
        } else {
            Sleep(10);
        }
    }
    EXPECT_TRUE(redirected);
    if (!redirected)
        TerminateThread(thread, 0);
    CloseHandle(thread);
}

TEST(Guard, StopRequestLeavesThreadInWindowsCallAlone)
{
    GrowBuffer code(1000, true);
    Spinner s;
    s.code = &code;
    HANDLE thread = CreateThread(nullptr, 0, &SpinInWindows, &s, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    while (!s.entered)
        Sleep(1);
    SuspendThread(thread);
    EXPECT_FALSE(RedirectToStop(thread, code.GetData(), code.GetCapacity()));
    ResumeThread(thread);
    InterlockedExchange(&s.entered, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    EXPECT_EQ(0u, s.result);
    CloseHandle(thread);
}

TEST(Guard, FilteredGuardLeavesOtherCodesToTheGuardOutside)
{
    int innerReturned = 0;
    DWORD inner = 0xFFFFFFFF;
    DWORD outer = Guarded([&] {
        inner = Guarded([] { RaiseException(0x20000002, 0, 0, nullptr); }, &IsSoftwareException);
        ++innerReturned;
        Guarded([] { *g_nullPointer = 7; }, &IsSoftwareException);
        ++innerReturned;
    });
    EXPECT_EQ(0x20000002u, inner);
    EXPECT_EQ(EXCEPTION_ACCESS_VIOLATION, outer);
    EXPECT_EQ(1, innerReturned);
    EXPECT_FALSE(IsSoftwareException(0x40010006));
    EXPECT_TRUE(IsSoftwareException(EXCEPTION_STOP_THREAD));
}
