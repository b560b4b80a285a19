#include <gtest/gtest.h>
#include <windows.h>
#include "calc/FractalTask.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalThreads.h"
#include "foundation/List.h"
#include "foundation/Thread.h"

namespace {

// A fractal with a task inside a folder of FolderList.
struct FractalInFolder {
    FractalFolder* folder;
    Fractal* fractal;
    FractalTask* task;

    FractalInFolder() : folder(new FractalFolder), fractal(new Fractal), task(new FractalTask)
    {
        fractal->task = task;
        task->fractal = fractal;
        fractal->folder = folder;
        folder->fractals.Append(fractal);
        FolderList.Append(folder);
    }
    ~FractalInFolder()
    {
        FolderList.Remove(folder);
        folder->fractals.Remove(fractal);
        fractal->task = nullptr;
        delete task;
        delete fractal;
        delete folder;
    }
};

DWORD ProbeIsFractalThread(Thread* thread)
{
    *static_cast<volatile int*>(thread->userData) = IsFractalThread() ? 1 : 0;
    return 0;
}

bool FinishWithin(Thread* thread, DWORD ms)
{
    return WaitForSingleObject(thread->handle, ms) == WAIT_OBJECT_0;
}

// Runs IsFractalThread on a new thread. With registerIn the thread is the
// calculation thread of that task while it asks.
int IsFractalThreadOnNewThread(FractalTask* registerIn)
{
    volatile int answer = -1;
    Thread* thread = new Thread(ProbeIsFractalThread, (void*)&answer, false, 0);
    if (registerIn != nullptr)
        registerIn->thread = thread;
    thread->Resume();
    EXPECT_TRUE(FinishWithin(thread, 5000));
    if (registerIn != nullptr)
        registerIn->thread = nullptr;
    delete thread;
    return answer;
}

}  // namespace

TEST(IsFractalThread, OnlyARegisteredCalculationThreadCounts)
{
    // Folders and fractals that must be skipped on the way: a fractal
    // without a task, one whose task has no thread, and an empty folder.
    FractalFolder empty;
    FolderList.Append(&empty);
    FractalInFolder first;
    Fractal noTask;
    first.folder->fractals.Append(&noTask);
    FractalInFolder second;

    EXPECT_FALSE(IsFractalThread());                      // the main thread
    EXPECT_EQ(0, IsFractalThreadOnNewThread(nullptr));    // a loader thread
    EXPECT_EQ(1, IsFractalThreadOnNewThread(second.task));
    EXPECT_EQ(1, IsFractalThreadOnNewThread(first.task));

    // Another fractal's calculation thread does not make the main thread one.
    volatile int otherAnswer = -1;
    Thread* other = new Thread(ProbeIsFractalThread, (void*)&otherAnswer, false, 0);
    first.task->thread = other;
    EXPECT_FALSE(IsFractalThread());
    first.task->thread = nullptr;
    // Let it run to its end unregistered: it is no calculation thread then.
    other->Resume();
    EXPECT_TRUE(FinishWithin(other, 5000));
    EXPECT_EQ(0, otherAnswer);
    delete other;

    first.folder->fractals.Remove(&noTask);
    FolderList.Remove(&empty);
}

namespace {

struct WaitCall {
    Fractal* fractal;
    BusyLock* lock;
    bool keepRedraw;
    volatile int result;
};

DWORD RunWait(Thread* thread)
{
    WaitCall* call = static_cast<WaitCall*>(thread->userData);
    call->result = WaitForLockOrCommand(call->fractal, call->lock, call->keepRedraw);
    return 0;
}

}  // namespace

TEST(WaitForLockOrCommand, TakesAFreeLock)
{
    FractalInFolder f;
    BusyLock lock;
    EXPECT_EQ(1, WaitForLockOrCommand(f.fractal, &lock, false));
    EXPECT_FALSE(lock.TryLock());
    lock.Unlock();
}

TEST(WaitForLockOrCommand, APendingCommandEndsTheWaitWithoutTheLock)
{
    struct Case { int command; bool keepRedraw; };
    const Case cases[] = {
        {FTC_QUIT, false}, {FTC_STOP, false}, {FTC_STOPPED, false}, {FTC_RECALCULATE, false},
        {FTC_RECOLOUR, false}, {FTC_START, false}, {FTC_CONTINUE, false}, {FTC_SEARCH, false},
        {FTC_REDRAW3D, true}, {FTC_STOP, true},
    };
    FractalInFolder f;
    BusyLock lock;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "command " << c.command << " keepRedraw " << c.keepRedraw);
        f.task->command = c.command;
        EXPECT_EQ(0, WaitForLockOrCommand(f.fractal, &lock, c.keepRedraw));
        EXPECT_EQ(c.command, f.task->command);
        // The lock was left free.
        EXPECT_TRUE(lock.TryLock());
        lock.Unlock();
    }
}

TEST(WaitForLockOrCommand, ARedrawRequestIsClearedWhenNotKept)
{
    FractalInFolder f;
    BusyLock lock;
    f.task->command = FTC_REDRAW3D;
    EXPECT_EQ(1, WaitForLockOrCommand(f.fractal, &lock, false));
    EXPECT_EQ(0, f.task->command);
    lock.Unlock();
}

TEST(WaitForLockOrCommand, KeepsWaitingThroughRedrawRequestsUntilTheLockIsFreed)
{
    FractalInFolder f;
    BusyLock lock;
    lock.Lock();
    WaitCall call = {f.fractal, &lock, false, -1};
    Thread* waiter = new Thread(RunWait, &call, true, 0);

    // Each redraw request is dropped by the waiter, which goes on waiting.
    for (int i = 0; i < 3; i++) {
        f.task->command = FTC_REDRAW3D;
        DWORD start = GetTickCount();
        while (f.task->command != 0 && GetTickCount() - start < 5000)
            Sleep(1);
        EXPECT_EQ(0, f.task->command);
    }
    EXPECT_FALSE(FinishWithin(waiter, 50));

    lock.Unlock();
    ASSERT_TRUE(FinishWithin(waiter, 5000));
    EXPECT_EQ(1, call.result);
    EXPECT_FALSE(lock.TryLock());   // the waiter holds it now
    lock.Unlock();
    delete waiter;
}

TEST(WaitForLockOrCommand, ACommandArrivingDuringTheWaitEndsIt)
{
    FractalInFolder f;
    BusyLock lock;
    lock.Lock();
    WaitCall call = {f.fractal, &lock, false, -1};
    Thread* waiter = new Thread(RunWait, &call, true, 0);
    EXPECT_FALSE(FinishWithin(waiter, 50));

    f.task->command = FTC_STOP;
    ASSERT_TRUE(FinishWithin(waiter, 5000));
    EXPECT_EQ(0, call.result);
    EXPECT_EQ(FTC_STOP, f.task->command);
    lock.Unlock();
    delete waiter;
}
