// Commands to a calculation thread, played against fake thread procedures:
// a thread that answers, one that never does, one spinning in generated
// code and one sleeping in a system call while its flag says "generated
// code". Also the calculation times (with a fake clock), progress, state
// and the reaction to a palette change.
#include <gtest/gtest.h>
#include <string.h>
#include <vector>

#include "DocumentTestSupport.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layer.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"
#include "foundation/ImageFilter.h"
#include "foundation/Thread.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

// What a fake calculation thread does with the command word.
enum Behaviour { ANSWERS, SILENT, SPINS_IN_FORMULA, SLEEPS_IN_SYSTEM_CALL };

struct FakeCalculation {
    FractalTask* task = nullptr;
    Behaviour behaviour = ANSWERS;
    void* code = nullptr;                // the spinning formula code
    volatile LONG stopRequests = 0;      // times the thread was sent out of formula code
    std::vector<int> taken;              // commands taken, in order (written by the thread only)
};

// The answer of a calculation thread to a command: 3 to a stop, 5 to a
// quit, 0 (taken) to anything else.
void Answer(FractalTask* task, std::vector<int>& taken)
{
    int c = task->command;
    if (c == 0 || c == FTC_STOPPED || c == FTC_QUIT_DONE)
        return;
    taken.push_back(c);
    task->command = c == FTC_STOP ? FTC_STOPPED : c == FTC_QUIT ? FTC_QUIT_DONE : 0;
}

DWORD FakeThreadProc(Thread* thread)
{
    FakeCalculation* fake = static_cast<FakeCalculation*>(thread->userData);
    FractalTask* task = fake->task;
    while (thread->state != THREAD_STATE_STOP) {
        switch (fake->behaviour) {
        case ANSWERS:
            Answer(task, fake->taken);
            Sleep(1);
            break;
        case SILENT:
            Sleep(1);
            break;
        case SPINS_IN_FORMULA: {
            // Formula code that never ends; only the stop request gets the
            // thread out of it.
            task->inCompiledCode = 1;
            DWORD code = Guarded([&] { reinterpret_cast<void (*)()>(fake->code)(); });
            task->inCompiledCode = 0;
            if (code == EXCEPTION_STOP_THREAD)
                InterlockedIncrement(&fake->stopRequests);
            Answer(task, fake->taken);
            fake->behaviour = ANSWERS;
            break;
        }
        case SLEEPS_IN_SYSTEM_CALL: {
            task->inCompiledCode = 1;
            DWORD code = Guarded([&] {
                for (int i = 0; i < 50 && task->command == 0; ++i)
                    Sleep(5);
            });
            task->inCompiledCode = 0;
            if (code == EXCEPTION_STOP_THREAD)
                InterlockedIncrement(&fake->stopRequests);
            Answer(task, fake->taken);
            break;
        }
        }
    }
    return 0;
}

class CalcControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PrepareDocumentModel();
        fractal = new Fractal(FT_PLASMA, 0);
        task.fractal = fractal;
        fractal->task = &task;
        fake.task = &task;
    }
    void TearDown() override
    {
        delete thread;   // asks the fake to finish
        fractal->task = nullptr;
        delete fractal;
        delete[] task.values;
        if (fake.code)
            VirtualFree(fake.code, 0, MEM_RELEASE);
        g_TickCount = savedClock;
    }
    void Start(Behaviour b)
    {
        fake.behaviour = b;
        thread = new Thread(&FakeThreadProc, &fake, true, 0);
        task.thread = thread;
    }
    void GiveBuffers()
    {
        size_t cells = (size_t)fractal->GetBufferWidth() * fractal->header->Height;
        task.values = new float[cells];
        for (size_t i = 0; i < cells; ++i)
            task.values[i] = 1.0f;
    }

    Fractal* fractal = nullptr;
    FractalTask task;
    FakeCalculation fake;
    Thread* thread = nullptr;
    DWORD (*savedClock)() = g_TickCount;
};

TEST_F(CalcControlTest, AnsweredCommandShowsNoBox)
{
    ScriptedBoxes boxes;
    Start(ANSWERS);
    fractal->StopCalculation();
    EXPECT_EQ(task.command, FTC_STOPPED);
    fractal->Recolour();
    EXPECT_EQ(task.command, 0);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(GetThreadPriority(thread->handle), THREAD_PRIORITY_NORMAL);
}

// A thread that never answers: one "Critical Error" box after the polls,
// and the thread is back at the task priority.
TEST_F(CalcControlTest, SilentThreadGivesOneCriticalError)
{
    ScriptedBoxes boxes;
    Start(SILENT);
    fractal->SendThreadCommand(FTC_STOP, FTC_STOPPED);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].title, "Critical Error");
    EXPECT_EQ(boxes.Shown()[0].style, 0x2010u);
    EXPECT_EQ(boxes.Shown()[0].text.find("Deadlock assumed.\n"), 0u);
    EXPECT_EQ(GetThreadPriority(thread->handle), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(task.command, FTC_STOP);   // the command stays written
}

// Generated code that spins for ever answers a stop within a second.
TEST_F(CalcControlTest, SpinningFormulaCodeIsStopped)
{
    ScriptedBoxes boxes;
    fake.code = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    ASSERT_NE(fake.code, nullptr);
    const unsigned char spin[] = {0xEB, 0xFE};   // jmp $
    memcpy(fake.code, spin, sizeof spin);
    Start(SPINS_IN_FORMULA);
    while (!task.inCompiledCode)
        Sleep(1);
    DWORD start = GetTickCount();
    fractal->StopCalculation();
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(task.command, FTC_STOPPED);
    EXPECT_LT(elapsed, 1000u);
    EXPECT_EQ(fake.stopRequests, 1);
    EXPECT_EQ(boxes.Count(), 0u);
}

// A thread inside a system call is awaited, never sent to the stop request
// there, even while the flag says it runs formula code.
TEST_F(CalcControlTest, ThreadInSystemCallIsNotRedirected)
{
    ScriptedBoxes boxes;
    Start(SLEEPS_IN_SYSTEM_CALL);
    while (!task.inCompiledCode)
        Sleep(1);
    fractal->StopCalculation();
    EXPECT_EQ(task.command, FTC_STOPPED);
    EXPECT_EQ(fake.stopRequests, 0);
    EXPECT_EQ(boxes.Count(), 0u);
}

// Without an image filter Calculate clears the buffers (a recalculation)
// and then continues; with one it recalculates from scratch only.
TEST_F(CalcControlTest, CalculateDependsOnTheImageFilter)
{
    ScriptedBoxes boxes;
    GiveBuffers();
    Start(ANSWERS);
    fractal->Calculate();
    EXPECT_EQ(task.values[5], 0.0f);
    EXPECT_EQ(fake.taken, (std::vector<int>{FTC_RECALCULATE, FTC_CONTINUE}));

    fake.taken.clear();
    ImageFilter filter;
    fractal->header->ImageFilter = &filter;
    fractal->Calculate();
    fractal->header->ImageFilter = nullptr;
    EXPECT_EQ(fake.taken, (std::vector<int>{FTC_RECALCULATE, FTC_RECALCULATE}));
}

DWORD g_FakeNow = 0;
DWORD FakeClock()
{
    return g_FakeNow;
}

TEST_F(CalcControlTest, CalculationTimes)
{
    g_TickCount = &FakeClock;
    FractalHeader& h = *fractal->header;
    // Nothing started.
    EXPECT_EQ(fractal->GetCalculationTime(), 0);
    // Running, progress below 0.001: elapsed minus paused.
    g_FakeNow = 1000;
    fractal->SetTimeStamp(1, nullptr);
    h.PausedTime = 200;
    g_FakeNow = 5000;
    task.progress = 0.0005;
    EXPECT_EQ(fractal->GetCalculationTime(), 3800);
    EXPECT_EQ(fractal->GetEstimatedCalculationTime(), 3800);
    // Half done: the estimate doubles.
    task.progress = 0.5;
    EXPECT_EQ(fractal->GetEstimatedCalculationTime(), 8000 - 400);
    // Finished.
    g_FakeNow = 6000;
    fractal->SetTimeStamp(2, nullptr);
    g_FakeNow = 9000;
    EXPECT_EQ(fractal->GetCalculationTime(), 4800);
    int stamp[2] = {-5, -5};
    fractal->SetTimeStamp(3, stamp);
    EXPECT_EQ(stamp[0], 9000);
    EXPECT_EQ(stamp[1], 0);
}

// Tick counts past 2^31 are negative as ints; a calculation that started
// there, or across the wrap of the counter, still measures right.
TEST_F(CalcControlTest, CalculationTimesPastTheSignBit)
{
    g_TickCount = &FakeClock;
    const struct {
        DWORD start, now;
        int expected;
    } cases[] = {{0x80000010u, 0x80000410u, 1024}, {0xFFFFFF00u, 0x00000100u, 512}, {0x7FFFFFF0u, 0x80000010u, 32}};
    for (const auto& c : cases) {
        g_FakeNow = c.start;
        fractal->SetTimeStamp(1, nullptr);
        g_FakeNow = c.now;
        EXPECT_EQ(fractal->GetCalculationTime(), c.expected) << std::hex << c.start;
    }
    // The one tick count that reads as "none" is not taken for a start.
    g_FakeNow = 0xFFFFFFFFu;
    fractal->SetTimeStamp(1, nullptr);
    EXPECT_NE(fractal->header->CalcStart, -1);
}

TEST_F(CalcControlTest, LayeredProgressWeighsLayersByTime)
{
    g_TickCount = &FakeClock;
    g_FakeNow = 10000;
    Fractal layered(FT_LAYERED, 0);
    FractalTask layeredTask;
    layered.task = &layeredTask;
    LayeredParameters* block = static_cast<LayeredParameters*>(layered.typeParameters);
    FractalTask tasks[2];
    const struct {
        double progress;
        int ms;
    } layers[] = {{0.5, 2000}, {1.0, 1000}};
    for (int i = 0; i < 2; ++i) {
        Layer* layer = new Layer();
        layer->fractal = new Fractal(FT_PLASMA, 0);
        layer->fractal->task = &tasks[i];
        tasks[i].progress = layers[i].progress;
        layer->fractal->header->CalcStart = 10000 - layers[i].ms;
        layer->fractal->header->PausedTime = 0;
        block->layers.Append(layer);
    }
    EXPECT_DOUBLE_EQ(layered.GetProgress(), 0.6);
    EXPECT_EQ(layered.GetCalculationTime(), 3000);
    EXPECT_EQ(layered.GetEstimatedCalculationTime(), 5000);

    // State: stored only when every layer is calculated.
    tasks[0].calculationState = CS_IMAGE_DONE;
    layered.SetCalculationState(CS_COMPLETE);
    EXPECT_EQ(layeredTask.calculationState, CS_NONE);
    tasks[1].calculationState = CS_IMAGE_DONE;
    layered.SetCalculationState(CS_COMPLETE);
    EXPECT_EQ(layeredTask.calculationState, CS_COMPLETE);

    for (ListNode* n = block->layers.GetHead(); n; n = n->next)
        static_cast<Layer*>(n)->fractal->task = nullptr;
    layered.task = nullptr;
}

TEST_F(CalcControlTest, CalculationStateByType)
{
    const struct {
        int type, state, stored;
    } cases[] = {
        {FT_QUATERNION, 1, 2}, {FT_QUATERNION, 2, 2}, {FT_QUATERNION, 3, 3}, {FT_ATTRACTOR, 1, 1},
        {FT_ATTRACTOR, 2, 1},  {FT_ATTRACTOR, 3, 3},  {FT_PLASMA, 1, 1},     {FT_PLASMA, 2, 2},
    };
    for (const auto& c : cases) {
        Fractal f(FT_PLASMA, 0);
        f.header->Type = c.type;   // the state rule reads only the type
        FractalTask t;
        f.task = &t;
        f.SetCalculationState(c.state);
        EXPECT_EQ(t.calculationState, c.stored) << c.type << " " << c.state;
        f.header->Type = FT_PLASMA;
        f.task = nullptr;
    }
}

// New colours of a 24-bit escape-time fractal on a 24-bit screen: a
// colouring formula that depends on them forces a recalculation, else the
// fractal is only recoloured.
TEST_F(CalcControlTest, PaletteChangeRecalculatesOrRecolours)
{
    ScriptedBoxes boxes;
    ScreenDepth = 24;
    Fractal* escape = new Fractal(FT_ESCAPETIME, 0);
    FractalTask escapeTask;
    escape->task = &escapeTask;
    FractalFolder folder;
    folder.fractals.Append(escape);
    FolderList.Append(&folder);
    fake.task = &escapeTask;
    Start(ANSWERS);
    escapeTask.thread = thread;
    size_t cells = (size_t)escape->GetBufferWidth() * escape->header->Height;
    escapeTask.values = new float[cells]();

    const struct {
        int outsideMark;
        int command;
    } cases[] = {{1, FTC_RECALCULATE}, {0, FTC_RECOLOUR}};
    for (const auto& c : cases) {
        fake.taken.clear();
        escapeTask.outsideColouringMark = c.outsideMark;
        memset(escapeTask.dib.colors, 0x55, sizeof escapeTask.dib.colors);   // differs from the palette
        escape->ApplyPalette();
        EXPECT_EQ(fake.taken, std::vector<int>{c.command}) << c.outsideMark;
        EXPECT_EQ(escapeTask.passLimit, 2);
        EXPECT_EQ(memcmp(escapeTask.dib.colors, escape->palette.colorTable, sizeof escapeTask.dib.colors), 0);
    }
    // Unchanged colours: nothing to do.
    fake.taken.clear();
    escape->ApplyPalette();
    EXPECT_TRUE(fake.taken.empty());

    delete thread;
    thread = nullptr;
    FolderList.Remove(&folder);
    folder.fractals.Remove(escape);
    delete[] escapeTask.values;
    escape->task = nullptr;
    delete escape;
}

}  // namespace
