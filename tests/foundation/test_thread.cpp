#include <windows.h>
#include <gtest/gtest.h>
#include "foundation/Thread.h"

namespace {

// Duplicate of a thread's handle that survives the Thread object, so the
// exit code can be read after the destructor closed its own handle.
HANDLE KeepHandle(Thread* thread)
{
    HANDLE copy = NULL;
    DuplicateHandle(GetCurrentProcess(), thread->handle, GetCurrentProcess(), &copy,
                    0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

DWORD ExitCodeOf(HANDLE handle)
{
    DWORD code = 0xDEADBEEF;
    WaitForSingleObject(handle, 2000);
    GetExitCodeThread(handle, &code);
    return code;
}

// ------------------------------------------------------------- BusyLock

TEST(BusyLock, TryLockTakesOnlyAFreeLock)
{
    BusyLock lock;
    EXPECT_EQ(0, lock.busy);
    EXPECT_TRUE(lock.TryLock());
    EXPECT_FALSE(lock.TryLock());
    EXPECT_EQ(1, lock.busy);
    lock.Unlock();
    EXPECT_EQ(0, lock.busy);
    EXPECT_TRUE(lock.TryLock());
    lock.Unlock();
}

TEST(BusyLock, StrayUnlockDoesNotJamTheLock)
{
    BusyLock lock;
    lock.Unlock();  // caller error: nothing was taken
    EXPECT_EQ(0, lock.busy);
    EXPECT_TRUE(lock.TryLock());
    lock.Unlock();
}

struct LockWaiter {
    BusyLock* lock;
    volatile DWORD acquiredAt;
    volatile LONG acquired;
};

DWORD WaitForLockRoutine(Thread* thread)
{
    LockWaiter* waiter = static_cast<LockWaiter*>(thread->userData);
    waiter->lock->Lock();
    waiter->acquiredAt = GetTickCount();
    InterlockedExchange(&waiter->acquired, 1);
    // Another thread may not take it now.
    DWORD result = waiter->lock->TryLock() ? 2 : 1;
    waiter->lock->Unlock();
    return result;
}

TEST(BusyLock, LockWaitsForAnotherThreadsUnlockAndReturnsSoonAfter)
{
    BusyLock lock;
    lock.Lock();
    LockWaiter waiter = {&lock, 0, 0};
    Thread* thread = new Thread(WaitForLockRoutine, &waiter, true, 0);
    HANDLE handle = KeepHandle(thread);

    Sleep(150);
    EXPECT_EQ(0, waiter.acquired) << "Lock returned while another thread held the lock";
    DWORD releasedAt = GetTickCount();
    lock.Unlock();

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 2000));
    EXPECT_EQ(1, waiter.acquired);
    EXPECT_EQ(1u, ExitCodeOf(handle)) << "the lock was not exclusive for the waiter";
    DWORD delay = waiter.acquiredAt - releasedAt;
    // About 10 ms normally; the bound leaves room for a loaded machine.
    EXPECT_LT(delay, 500u) << "Lock should return soon after the Unlock";
    EXPECT_EQ(0, lock.busy);
    CloseHandle(handle);
    delete thread;
}

struct CounterJob {
    BusyLock lock;
    volatile int counter = 0;
};

DWORD CountUnderLockRoutine(Thread* thread)
{
    CounterJob* job = static_cast<CounterJob*>(thread->userData);
    for (int i = 0; i < 200; i++) {
        job->lock.Lock();
        int value = job->counter;  // read-modify-write that only the lock protects
        if ((i & 15) == 0)
            Sleep(0);
        job->counter = value + 1;
        job->lock.Unlock();
    }
    return 0;
}

TEST(BusyLock, LockExcludesOtherThreads)
{
    CounterJob job;
    const int kThreads = 4;
    Thread* threads[kThreads];
    HANDLE handles[kThreads];
    for (int i = 0; i < kThreads; i++) {
        threads[i] = new Thread(CountUnderLockRoutine, &job, true, 0);
        handles[i] = KeepHandle(threads[i]);
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(kThreads, handles, TRUE, 30000));
    EXPECT_EQ(kThreads * 200, job.counter);
    EXPECT_EQ(0, job.lock.busy);
    for (int i = 0; i < kThreads; i++) {
        CloseHandle(handles[i]);
        delete threads[i];
    }
}

// --------------------------------------------------------------- Thread

struct RunRecord {
    volatile LONG ran;
    volatile DWORD seenThreadId;
    volatile LONG sawStop;
};

DWORD ReturnAtOnceRoutine(Thread* thread)
{
    RunRecord* record = static_cast<RunRecord*>(thread->userData);
    record->seenThreadId = GetCurrentThreadId();
    InterlockedExchange(&record->ran, 1);
    return 42;
}

TEST(Thread, RunsTheRoutineWithItsObjectAndUsesItsResultAsExitCode)
{
    RunRecord record = {0, 0, 0};
    Thread* thread = new Thread(ReturnAtOnceRoutine, &record, true, 0);
    EXPECT_EQ(0, thread->state);
    EXPECT_EQ(&record, thread->userData);
    EXPECT_EQ(ReturnAtOnceRoutine, thread->routine);
    ASSERT_NE((HANDLE)NULL, thread->handle);
    EXPECT_EQ(42u, ExitCodeOf(thread->handle));
    EXPECT_EQ(1, record.ran);
    EXPECT_EQ(thread->threadId, record.seenThreadId);
    delete thread;
}

TEST(Thread, DeletingAFinishedThreadDoesNotWait)
{
    RunRecord record = {0, 0, 0};
    Thread* thread = new Thread(ReturnAtOnceRoutine, &record, true, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread->handle, 2000));
    DWORD start = GetTickCount();
    delete thread;
    // About 10 ms; waiting out the polls would take 110 ms or more.
    EXPECT_LT(GetTickCount() - start, 95u) << "only the first 10 ms sleep is expected";
}

DWORD PollStateRoutine(Thread* thread)
{
    RunRecord* record = static_cast<RunRecord*>(thread->userData);
    InterlockedExchange(&record->ran, 1);
    while (thread->state != THREAD_STATE_STOP)
        Sleep(1);
    InterlockedExchange(&record->sawStop, 1);
    return 7;
}

TEST(Thread, DeletingAPollingThreadLetsItSeeTheStopStateAndReturn)
{
    RunRecord record = {0, 0, 0};
    Thread* thread = new Thread(PollStateRoutine, &record, true, 0);
    while (!record.ran)
        Sleep(1);
    HANDLE handle = KeepHandle(thread);
    DWORD start = GetTickCount();
    delete thread;
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(1, record.sawStop);
    EXPECT_EQ(7u, ExitCodeOf(handle)) << "the thread was terminated instead of returning";
    EXPECT_LT(elapsed, 500u);
    CloseHandle(handle);
}

DWORD NeverLookRoutine(Thread* thread)
{
    RunRecord* record = static_cast<RunRecord*>(thread->userData);
    InterlockedExchange(&record->ran, 1);
    for (;;)
        Sleep(2);
    return 5;
}

TEST(Thread, DeletingAThreadThatNeverLooksTerminatesItAfterAbout110Ms)
{
    RunRecord record = {0, 0, 0};
    Thread* thread = new Thread(NeverLookRoutine, &record, true, 0);
    while (!record.ran)
        Sleep(1);
    HANDLE handle = KeepHandle(thread);
    DWORD start = GetTickCount();
    delete thread;
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 90u);
    EXPECT_LT(elapsed, 1500u);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 2000)) << "thread still runs";
    EXPECT_EQ(0u, ExitCodeOf(handle)) << "terminated threads end with exit code 0";
    CloseHandle(handle);
}

TEST(Thread, CreatedSuspendedRunsOnlyAfterResume)
{
    RunRecord record = {0, 0, 0};
    Thread* thread = new Thread(ReturnAtOnceRoutine, &record, false, 0);
    Sleep(50);
    EXPECT_EQ(0, record.ran);
    EXPECT_EQ(1u, thread->Suspend());  // counts 1 -> 2
    EXPECT_EQ(2u, thread->Resume());
    Sleep(30);
    EXPECT_EQ(0, record.ran) << "still suspended once";
    EXPECT_EQ(1u, thread->Resume());
    EXPECT_EQ(42u, ExitCodeOf(thread->handle));
    EXPECT_EQ(1, record.ran);
    delete thread;
}

TEST(Thread, SetPriorityMapsLevelsZeroToFourAndIgnoresOthers)
{
    RunRecord record = {0, 0, 0};
    Thread* thread = new Thread(ReturnAtOnceRoutine, &record, false, 0);
    const int expected[5] = {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                             THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL,
                             THREAD_PRIORITY_HIGHEST};
    for (int level = 0; level < 5; level++) {
        thread->SetPriority(level);
        EXPECT_EQ(expected[level], GetThreadPriority(thread->handle)) << "level " << level;
    }
    thread->SetPriority(3);
    for (int level : {7, 5, -1}) {
        thread->SetPriority(level);
        EXPECT_EQ(THREAD_PRIORITY_ABOVE_NORMAL, GetThreadPriority(thread->handle))
            << "level " << level;
    }
    thread->Resume();
    delete thread;
}

}  // namespace
