// The calculation thread of a windowless task, driven as the main thread
// drives it: the answers and states of the command table, stops before the
// start, recolour turned into continue, interrupted runs, the two guards,
// deleting a task whose thread never answers, and the worker-slot loop.
#include <gtest/gtest.h>
#include <png.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"
#include "calc/FractalTask.h"
#include "calc/task/FractalThread.h"
#include "calc/task/TaskHooks.h"
#include "calc/task/TaskLifecycle.h"
#include "calc/task/TaskBuffers.h"
#include "document/Fractal.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

// The type whose calculator the tests stand in; it has no other needs.
const int kType = FT_LSYSTEM;

volatile LONG g_doneMessages = 0;
CRITICAL_SECTION g_failureLock;
std::vector<std::string> g_failures;
volatile LONG g_calculatorRuns = 0;
volatile LONG g_calculatorSpins = 0;
volatile LONG g_raiseCode = 0;

bool CountDone(UINT message, WPARAM, LPARAM)
{
    if (message == UM_CALCULATION_DONE)
        InterlockedIncrement(&g_doneMessages);
    return true;
}

int RecordFailure(DWORD, const char* location)
{
    EnterCriticalSection(&g_failureLock);
    g_failures.push_back(location);
    LeaveCriticalSection(&g_failureLock);
    return IDOK;
}

// Runs until a command arrives, as every calculator must.
int CalculateUntilCommand(Fractal* f, int, int, int, int)
{
    InterlockedIncrement(&g_calculatorRuns);
    if (g_raiseCode)
        RaiseException((DWORD)g_raiseCode, 0, 0, nullptr);
    while (f->task->command == 0)
        Sleep(1);
    return 3;
}

int CalculateAtOnce(Fractal*, int, int, int, int)
{
    InterlockedIncrement(&g_calculatorRuns);
    if (g_raiseCode)
        RaiseException((DWORD)g_raiseCode, 0, 0, nullptr);
    return 0;
}

volatile LONG g_sawFreedScratch = 0;

// A calculator that never reads the command word and uses its buffers.
int CalculateDeaf(Fractal* f, int, int, int, int)
{
    for (;;) {
        f->task->values[0] += 1.0f;
        if (!f->task->rowWorkBuffer)
            InterlockedIncrement(&g_sawFreedScratch);
        InterlockedIncrement(&g_calculatorSpins);
        Sleep(1);
    }
}

class TaskThread : public testing::Test {
protected:
    void SetUp() override
    {
        InitializeCriticalSection(&g_failureLock);
        savedPost = Services().postToMainFrame;
        savedReport = Services().reportFailure;
        savedHooks = g_TaskHooks;
        Services().postToMainFrame = &CountDone;
        Services().reportFailure = &RecordFailure;
        g_doneMessages = g_calculatorRuns = g_calculatorSpins = g_raiseCode = 0;
        g_failures.clear();
        saved = ReplaceCalculator(kType, &CalculateAtOnce);
        fractal = new Fractal(kType, 0);
        fractal->header->Width = 16;
        fractal->header->Height = 8;
        ASSERT_EQ(PictureToTask(fractal, 1, 0, 0, 0, 0, 0), 0);
        task = fractal->task;
        ASSERT_NE(task, nullptr);
    }
    void TearDown() override
    {
        DeleteFractalTask(fractal, 1, 0, 1);
        delete fractal;
        ReplaceCalculator(kType, saved);
        Services().postToMainFrame = savedPost;
        Services().reportFailure = savedReport;
        g_TaskHooks = savedHooks;
        DeleteCriticalSection(&g_failureLock);
    }
    // Sends as spxcalc does and waits until the thread finished the cycle.
    void Send(int command, int answer, bool waitForFinish = true)
    {
        task->progress = -1.0;
        fractal->SendThreadCommand(command, answer);
        bool calculates = command == FTC_RECALCULATE || command == FTC_CONTINUE || command == FTC_RECOLOUR ||
                          command == FTC_REDRAW3D;
        for (int i = 0; waitForFinish && calculates && i < 1000 && task->progress != 1.0 && task->command == 0; ++i)
            Sleep(10);
        Sleep(40);
    }
    void Start()
    {
        Send(FTC_START, 0);
    }

    Fractal* fractal = nullptr;
    FractalTask* task = nullptr;
    Calculator saved = nullptr;
    bool (*savedPost)(UINT, WPARAM, LPARAM) = nullptr;
    int (*savedReport)(DWORD, const char*) = nullptr;
    TaskHooks savedHooks;
};

}  // namespace

// Each command from an idle, started thread: its answer (no "Critical
// Error" box), the state it leaves, the completion messages, and what the
// calculator saw as the last calculate command.
TEST_F(TaskThread, CommandTable)
{
    struct Case {
        const char* name;
        int command, answer;
        bool withData;        // a calculated image whose first value is set
        int state;
        int done;
        int lastCommand;      // -1: not checked
    } cases[] = {
        {"stop", FTC_STOP, FTC_STOPPED, false, CS_NONE, 0, -1},
        {"recalculate", FTC_RECALCULATE, 0, false, CS_IMAGE_DONE, 1, FTC_RECALCULATE},
        {"continue", FTC_CONTINUE, 0, false, CS_IMAGE_DONE, 1, FTC_CONTINUE},
        {"recolour, nothing to recolour", FTC_RECOLOUR, 0, false, CS_IMAGE_DONE, 1, FTC_CONTINUE},
        {"recolour with data", FTC_RECOLOUR, 0, true, CS_IMAGE_DONE, 0, 0},
        {"redraw3d, nothing calculated", FTC_REDRAW3D, 0, false, CS_IMAGE_DONE, 1, -1},
        {"redraw3d with data", FTC_REDRAW3D, 0, true, CS_IMAGE_DONE, 0, -1},
        {"10", 10, 0, true, CS_IMAGE_DONE, 0, 0},
        {"11", 11, 0, true, CS_IMAGE_DONE, 0, 0},
        {"99", 99, 0, true, CS_IMAGE_DONE, 0, 0},
        {"start again", FTC_START, 0, true, CS_IMAGE_DONE, 0, 0},
    };
    ScriptedBoxes boxes;
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        task->calculationState = c.withData ? CS_IMAGE_DONE : CS_NONE;
        task->values[0] = c.withData ? 1.0f : 0.0f;
        task->lastCalculateCommand = 0;
        g_doneMessages = 0;
        Send(c.command, c.answer);
        EXPECT_EQ(boxes.Count(), 0u);
        EXPECT_EQ(task->command, c.answer);
        EXPECT_EQ(task->calculationState, c.state);
        EXPECT_EQ(g_doneMessages, c.done);
        if (c.lastCommand >= 0)
            EXPECT_EQ(task->lastCalculateCommand, c.lastCommand);
        if (c.state == CS_IMAGE_DONE && c.command != 10 && c.command != 11 && c.command != 99 && c.command != FTC_START)
            EXPECT_EQ(task->progress, 1.0);
    }
}

// Before FTC_START the thread answers stops at its next poll and ignores
// calculation commands.
TEST_F(TaskThread, StopBeforeStartAnsweredWithinAPoll)
{
    task->command = FTC_STOP;
    int polls = 0;
    while (task->command != FTC_STOPPED && polls < 50) {
        Sleep(10);
        ++polls;
    }
    EXPECT_EQ(task->command, FTC_STOPPED);
    EXPECT_LE(polls, 5);   // one poll of the thread, with room for a slow host
    Send(FTC_RECALCULATE, 0);
    EXPECT_EQ(g_calculatorRuns, 0);
    EXPECT_EQ(g_doneMessages, 0);
}

// A stop during a run: no completion message, time stamps -1, state CS_NONE.
TEST_F(TaskThread, InterruptedRunLeavesNoTrace)
{
    ReplaceCalculator(kType, &CalculateUntilCommand);
    Start();
    task->command = FTC_RECALCULATE;
    while (g_calculatorRuns == 0)
        Sleep(5);
    ScriptedBoxes boxes;
    Send(FTC_STOP, FTC_STOPPED);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(g_doneMessages, 0);
    EXPECT_EQ(task->calculationState, CS_NONE);
    const FractalHeader* h = fractal->header;
    EXPECT_EQ(h->CalcStart, -1);
    EXPECT_EQ(h->CalcEnd, -1);
    EXPECT_EQ(h->PausedTime, -1);
    EXPECT_EQ(h->ExtraTime, -1);
}

// The guards: the stop request passes silently, any other software
// exception is reported with the routine, type and name; the thread goes on.
TEST_F(TaskThread, GuardsReportAllButTheStopRequest)
{
    fractal->Rename("Guarded", false);
    g_TaskHooks.colourRow = [](Fractal*, int, int) {
        if (g_raiseCode)
            RaiseException((DWORD)g_raiseCode, 0, 0, nullptr);
    };
    struct Case {
        int command;
        int withData;
        LONG code;
        const char* report;   // null: nothing reported
    } cases[] = {
        {FTC_RECALCULATE, 0, 0x1000, nullptr},
        {FTC_RECALCULATE, 0, 0x20000001, "DrawFractal Type=9 Name=Guarded"},
        {FTC_RECOLOUR, 1, 0x1000, nullptr},
        {FTC_RECOLOUR, 1, 0x20000002, "RethinkFractal Type=9 Name=Guarded"},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        g_failures.clear();
        task->calculationState = c.withData ? CS_IMAGE_DONE : CS_NONE;
        task->values[0] = c.withData ? 1.0f : 0.0f;
        g_raiseCode = c.code;
        Send(c.command, 0, c.withData != 0);   // a guarded failure never finishes
        g_raiseCode = 0;
        EnterCriticalSection(&g_failureLock);
        std::vector<std::string> failures = g_failures;
        LeaveCriticalSection(&g_failureLock);
        if (c.report)
            EXPECT_EQ(failures, std::vector<std::string>{c.report});
        else
            EXPECT_TRUE(failures.empty());
        // The thread survived: it still calculates.
        g_doneMessages = 0;
        Send(FTC_RECALCULATE, 0);
        EXPECT_EQ(g_doneMessages, 1);
    }
}

// A thread that never answers FTC_QUIT: after the "Critical Error" box the
// thread is ended before the buffers it writes are freed.
TEST_F(TaskThread, DeleteEndsADeafThreadBeforeFreeing)
{
    ReplaceCalculator(kType, &CalculateDeaf);
    Start();
    task->command = FTC_RECALCULATE;
    while (g_calculatorSpins == 0)
        Sleep(5);
    ScriptedBoxes boxes;
    DeleteFractalTask(fractal, 1, 0, 1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].title, "Critical Error");
    EXPECT_EQ(fractal->task, nullptr);
    EXPECT_EQ(g_sawFreedScratch, 0);
    LONG spins = g_calculatorSpins;
    Sleep(100);
    EXPECT_EQ(g_calculatorSpins, spins);
}

// Deleting a task whose thread never got FTC_START still ends it cleanly.
TEST_F(TaskThread, DeleteBeforeStartIsAnswered)
{
    ScriptedBoxes boxes;
    DeleteFractalTask(fractal, 1, 0, 1);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(fractal->task, nullptr);
}

// An exception while the task is built: reported, the half-built task
// removed (its BusyLock given back first, or the removal would wait forever).
TEST(PictureToTask, ExceptionRemovesTheHalfBuiltTask)
{
    InitializeCriticalSection(&g_failureLock);
    g_failures.clear();
    int (*savedReport)(DWORD, const char*) = Services().reportFailure;
    TaskHooks savedHooks = g_TaskHooks;
    Services().reportFailure = &RecordFailure;
    g_TaskHooks.bringMainFrameToFront = [] { RaiseException(0x20000003, 0, 0, nullptr); };
    Fractal* f = new Fractal(FT_IMAGE, 0);
    f->Rename("Broken", false);
    f->header->Width = 4;
    f->header->Height = 2;
    EXPECT_EQ(PictureToTask(f, 1, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(g_failures, std::vector<std::string>{"PictureToTask Type=17 Name=Broken"});
    EXPECT_EQ(f->task, nullptr);
    EXPECT_EQ(f->busyLock->busy, 0);
    delete f;
    g_TaskHooks = savedHooks;
    Services().reportFailure = savedReport;
    DeleteCriticalSection(&g_failureLock);
}

namespace {

char g_dataFolder[MAX_PATH];

const char* TestDataFolder()
{
    return g_dataFolder;
}

// An RGB PNG of width x height pixels, rows top first.
void WritePng(const char* path, int width, int height, const unsigned char* rgb)
{
    FILE* file = fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<unsigned char*>(rgb + y * width * 3));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

}  // namespace

// A stored picture of the fractal's size fills the 3D image (blue, green,
// red rows, bottom row first) in place of a calculation.
TEST(StoredPicture, FillsThe3DImageBottomUp)
{
    GetTempPathA(MAX_PATH, g_dataFolder);
    strcat(g_dataFolder, "spx_task_data");
    CreateDirectoryA(g_dataFolder, nullptr);
    std::string pictures = std::string(g_dataFolder) + "\\Pictures";
    CreateDirectoryA(pictures.c_str(), nullptr);
    const unsigned char rgb[2 * 3 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9,          // top row
                                          11, 12, 13, 14, 15, 16, 17, 18, 19};  // bottom row
    WritePng((pictures + "\\stored.png").c_str(), 3, 2, rgb);
    const char* (*savedFolder)() = Services().dataFolder;
    Services().dataFolder = &TestDataFolder;

    Fractal* f = new Fractal(FT_IMAGE, 0);
    f->header->Width = 3;
    f->header->Height = 2;
    f->header->DisplayDepth = 24;
    f->header->Dims = 1;
    strcpy(f->imageFileName, "stored.png");
    ASSERT_EQ(PictureToTask(f, 1, 0, 0, 0, 0, 0), 0);
    ASSERT_NE(f->task->image3D, nullptr);
    const unsigned char expected[2][9] = {{13, 12, 11, 16, 15, 14, 19, 18, 17}, {3, 2, 1, 6, 5, 4, 9, 8, 7}};
    size_t rowBytes = 3 * (size_t)f->GetImageStride();
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(memcmp(f->task->image3D + y * rowBytes, expected[y], 9), 0) << "row " << y;
    DeleteFractalTask(f, 1, 0, 1);
    delete f;
    Services().dataFolder = savedFolder;
}

namespace {

volatile LONG g_workDone = 0;

void CountWork(WorkerSlot*)
{
    InterlockedIncrement(&g_workDone);
}

DWORD WINAPI WorkerEntry(LPVOID slot)
{
    RunWorkerLoop(static_cast<WorkerSlot*>(slot), &CountWork);
    return 0;
}

}  // namespace

// The worker hand-over: work once per cleared workerDone, then quit.
TEST(WorkerSlot, WorksOncePerAssignmentAndQuits)
{
    WorkerSlot slot = {};
    slot.doneEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    slot.wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    slot.workerDone = 1;
    HANDLE thread = CreateThread(nullptr, 0, &WorkerEntry, &slot, 0, nullptr);
    for (int round = 1; round <= 3; ++round) {
        slot.workerState = 1;
        slot.workerDone = 0;
        SetEvent(slot.wakeEvent);
        ASSERT_EQ(WaitForSingleObject(slot.doneEvent, 5000), WAIT_OBJECT_0);
        EXPECT_EQ(slot.workerDone, 1);
        EXPECT_EQ(g_workDone, round);
    }
    slot.workerDone = 0;
    slot.workerState = WORKER_QUIT;
    SetEvent(slot.wakeEvent);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(slot.workerDone, 1);
    EXPECT_EQ(g_workDone, 3);
    CloseHandle(thread);
    CloseHandle(slot.doneEvent);
    CloseHandle(slot.wakeEvent);
}
