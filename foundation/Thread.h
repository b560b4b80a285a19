// Worker threads and the simple sleeping lock shared between threads.
#pragma once

#include <windows.h>

class Thread;

// Routine run by a Thread; its result becomes the thread's exit code.
typedef DWORD (*ThreadRoutine)(class Thread*);

// Value of Thread::state that asks the routine to finish.
#define THREAD_STATE_STOP 11

class Thread {
public:
    // Creates the system thread, running at once when startNow is true,
    // suspended otherwise. The last argument is not used (callers pass 0).
    Thread(ThreadRoutine routine, void* userData, bool startNow, int reserved);
    // Asks the routine to stop (state 11), waits about 110 ms for it to
    // return, terminates it otherwise, and closes the handle.
    virtual ~Thread();

    DWORD Resume();   // ResumeThread: previous suspend count
    DWORD Suspend();  // SuspendThread: previous suspend count
    // 0..4 = lowest, below normal, normal, above normal, highest; other values do nothing.
    void SetPriority(int level);

    DWORD threadId;
    volatile int state;   // 0 at construction; THREAD_STATE_STOP asks the routine to finish
    HANDLE handle;
    void* userData;
    ThreadRoutine routine;
};

// Start address handed to CreateThread: runs the routine and exits with its result.
DWORD WINAPI ThreadEntry(LPVOID thread);

// Non-recursive lock that waits by sleeping in 10 ms steps.
class BusyLock {
public:
    BusyLock();
    virtual ~BusyLock();

    void Lock();      // waits until free, then takes it
    bool TryLock();   // takes it when free; never waits
    void Unlock();    // gives it back (holder only, once per Lock/TryLock)

    volatile int busy;          // 0 free, 1 taken
    CRITICAL_SECTION section;   // guards busy
};

extern BusyLock g_TexturesLock;     // guards g_Textures
extern BusyLock g_RenderJobsLock;   // guards g_RenderJobs
