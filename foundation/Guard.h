#pragma once
#include <windows.h>
#include <cstddef>
#include <type_traits>

// The program's structured-exception guard. The compiler has no
// __try/__except, so a guard registers its own exception frame on the
// thread's SEH chain (fs:[0]). When a Windows exception reaches it, the
// frames registered after it are unwound, the stack is cut back to the
// guard and the x87 unit is reset; the guarded routine is abandoned and the
// guard returns the exception code.
//
// Caught: every exception except the notifications that belong to a
// debugger or to the system (debug output, thread names, breakpoints and
// single steps). Exceptions inside the routine that Windows code of its own
// handles never reach the guard, because that code's frames come first.
//
// C++ exceptions do not travel as Windows exceptions here: they pass
// through a guard unchanged (the guard's frame is taken off the chain on
// the way). Do not let them cross Windows callback frames.

// The stop request of a calculation thread: raised in a thread that is
// redirected out of compiled formula code. Calculation guards swallow it.
enum : DWORD { EXCEPTION_STOP_THREAD = 0x1000 };

// True for the exception codes a guard catches.
bool IsGuardedException(DWORD code);

// A narrower filter for the guarded entry points that handle only software
// exceptions (codes positive as a signed 32-bit number, such as the stop
// request and RaiseException codes of the program): hardware faults pass
// on, with their original context, to the guard outside.
bool IsSoftwareException(DWORD code);

typedef bool (*GuardFilter)(DWORD code);

// Runs routine(arg) under a guard. Returns 0 when the routine returned,
// otherwise the code of the exception that ended it. A filter narrows the
// codes the guard takes (never beyond IsGuardedException); the others go on
// to the next handler as if this guard were not there.
DWORD RunGuarded(void (*routine)(void*), void* arg, GuardFilter filter = nullptr);

// The same for any callable: Guarded([&] { ... }).
template <class F>
DWORD Guarded(F&& f, GuardFilter filter = nullptr)
{
    using Fn = typename std::remove_reference<F>::type;
    return RunGuarded([](void* p) { (*static_cast<Fn*>(p))(); }, &f, filter);
}

// Runs the routine under a guard and reports a caught exception with
// ReportSoftwareFailure(code, location). The stop request 0x1000 is not
// reported when silentStop is set (the guards around calculations).
// Returns the code (0 when the routine returned).
DWORD RunGuardedReport(const char* location, bool silentStop, void (*routine)(void*), void* arg);

template <class F>
DWORD GuardedReport(const char* location, bool silentStop, F&& f)
{
    using Fn = typename std::remove_reference<F>::type;
    return RunGuardedReport(location, silentStop, [](void* p) { (*static_cast<Fn*>(p))(); }, &f);
}

// Stopping a thread that runs compiled code: the thread must be suspended.
// When its instruction pointer lies inside compiled code (isCompiledCode
// answers true for it), the thread is made to raise EXCEPTION_STOP_THREAD as
// soon as it resumes, as if the compiled code had called the raise. A thread
// inside any other code (a Windows call, the runtime) is left alone, since
// abandoning it there could leave a lock held. Returns true when the thread
// was redirected.
bool RedirectToStop(HANDLE thread, bool (*isCompiledCode)(DWORD eip, void* user), void* user);

// The same for one block of compiled code.
bool RedirectToStop(HANDLE thread, const void* codeStart, size_t codeSize);
