#include "foundation/Thread.h"

BusyLock g_TexturesLock;
BusyLock g_RenderJobsLock;

// ---------------------------------------------------------------- Thread

DWORD WINAPI ThreadEntry(LPVOID parameter)
{
    Thread* thread = static_cast<Thread*>(parameter);
    ExitThread(thread->routine(thread));
    return 0;  // not reached
}

Thread::Thread(ThreadRoutine routine, void* userData, bool startNow, int /*reserved*/)
    : threadId(0), state(0), handle(NULL), userData(userData), routine(routine)
{
    handle = CreateThread(NULL, 0, ThreadEntry, this,
                          startNow ? 0 : CREATE_SUSPENDED, &threadId);
}

Thread::~Thread()
{
    state = THREAD_STATE_STOP;
    if (handle == NULL)  // CreateThread failed: nothing runs, nothing to close
        return;
    Sleep(10);

    // Give the routine about 100 ms to notice the stop request and return.
    bool finished = false;
    for (int poll = 0; poll < 100; poll++) {
        DWORD code = 0;
        if (GetExitCodeThread(handle, &code) && code != STILL_ACTIVE) {
            finished = true;
            break;
        }
        Sleep(1);
    }
    if (!finished)
        TerminateThread(handle, 0);
    CloseHandle(handle);
}

DWORD Thread::Resume()
{
    return ResumeThread(handle);
}

DWORD Thread::Suspend()
{
    return SuspendThread(handle);
}

void Thread::SetPriority(int level)
{
    static const int priorities[5] = {
        THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
    };
    if (level >= 0 && level <= 4)
        SetThreadPriority(handle, priorities[level]);
}

// -------------------------------------------------------------- BusyLock

BusyLock::BusyLock() : busy(0)
{
    InitializeCriticalSection(&section);
}

BusyLock::~BusyLock()
{
    DeleteCriticalSection(&section);
}

void BusyLock::Lock()
{
    // The critical section is held only to test and set the count; the
    // waiting happens outside it so the holder's Unlock is never blocked.
    for (;;) {
        EnterCriticalSection(&section);
        if (busy == 0)
            break;
        LeaveCriticalSection(&section);
        Sleep(10);
    }
    busy = 1;
    LeaveCriticalSection(&section);
}

bool BusyLock::TryLock()
{
    EnterCriticalSection(&section);
    bool taken = false;
    if (busy == 0) {
        busy = 1;
        taken = true;
    }
    LeaveCriticalSection(&section);
    return taken;
}

void BusyLock::Unlock()
{
    EnterCriticalSection(&section);
    // A stray Unlock of a free lock must not drive the count negative: the
    // lock would then look taken for ever and every later Lock would hang.
    if (busy > 0)
        busy--;
    LeaveCriticalSection(&section);
}
