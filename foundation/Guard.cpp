#include "foundation/Guard.h"
#include "foundation/FailureReport.h"
#include <cstdint>

namespace {

// One guard on the stack. The first two fields are the SEH registration
// record the system walks; the rest is the guard's own state.
struct GuardFrame {
    GuardFrame* prev;
    void* handler;
    void* jump[5];          // __builtin_setjmp buffer of the guard point
    GuardFilter filter;     // null: every guarded exception
    DWORD code;
    unsigned short fpuControl;
};

inline GuardFrame* ChainHead()
{
    GuardFrame* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

inline void SetChainHead(GuardFrame* head)
{
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// RtlUnwind runs the unwind handlers of every frame registered after the
// target and takes them off the chain. It may change the callee-saved
// registers, so they are kept around the call.
extern "C" void WINAPI RtlUnwind(PVOID targetFrame, PVOID targetIp, PEXCEPTION_RECORD record, PVOID returnValue);

__attribute__((noinline)) void UnwindTo(GuardFrame* frame, EXCEPTION_RECORD* record)
{
    __asm__ __volatile__(
        "pushl %%ebx\n\t"
        "pushl %%esi\n\t"
        "pushl %%edi\n\t"
        "pushl %%ebp\n\t"
        "pushl $0\n\t"
        "pushl %1\n\t"
        "pushl $1f\n\t"
        "pushl %0\n\t"
        "call _RtlUnwind@16\n"
        "1:\n\t"
        "popl %%ebp\n\t"
        "popl %%edi\n\t"
        "popl %%esi\n\t"
        "popl %%ebx\n\t"
        : "+a"(frame), "+d"(record)
        :
        : "ecx", "memory", "cc");
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT* context, void* dispatcher)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    GuardFrame* frame = static_cast<GuardFrame*>(establisher);
    if (!IsGuardedException(record->ExceptionCode))
        return ExceptionContinueSearch;
    if (frame->filter && !frame->filter(record->ExceptionCode))
        return ExceptionContinueSearch;

    frame->code = record->ExceptionCode;
    UnwindTo(frame, record);
    // Back to the guard point; the stack below it, this handler's included,
    // is abandoned.
    __builtin_longjmp(frame->jump, 1);
}

// Kept out of line so that the C++ exception path can take the guard's
// frame off the chain on its way out.
struct FramePop {
    GuardFrame* frame;
    ~FramePop()
    {
        if (ChainHead() == frame)
            SetChainHead(frame->prev);
    }
};

__attribute__((noinline)) void InvokeFramed(GuardFrame* frame, void (*routine)(void*), void* arg)
{
    SetChainHead(frame);
    FramePop pop{frame};
    routine(arg);
}

// Raised from the stop redirection: the redirected thread "calls" this
// function from the compiled code it was running.
extern "C" void __stdcall RaiseStopRequest()
{
    RaiseException(EXCEPTION_STOP_THREAD, 0, 0, nullptr);
}

bool InRange(DWORD eip, void* user)
{
    const DWORD* range = static_cast<const DWORD*>(user);
    return eip >= range[0] && eip - range[0] < range[1];
}

} // namespace

bool IsGuardedException(DWORD code)
{
    switch (code) {
    case 0x40010005:    // DBG_CONTROL_C
    case 0x40010006:    // DBG_PRINTEXCEPTION_C (OutputDebugString)
    case 0x40010008:    // DBG_CONTROL_BREAK
    case 0x4001000A:    // DBG_PRINTEXCEPTION_WIDE_C
    case 0x406D1388:    // thread name notification
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_SINGLE_STEP:
        return false;
    default:
        return true;
    }
}

bool IsSoftwareException(DWORD code)
{
    return static_cast<int32_t>(code) > 0 && IsGuardedException(code);
}

DWORD RunGuarded(void (*routine)(void*), void* arg, GuardFilter filter)
{
    GuardFrame frame;
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    frame.filter = filter;
    frame.code = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(frame.fpuControl));
    frame.prev = ChainHead();

    if (__builtin_setjmp(frame.jump)) {
        // An exception ended the routine. The unwind left this guard's
        // frame at the head of the chain; take it off and give the caller a
        // clean x87 unit with the control word it had.
        SetChainHead(frame.prev);
        __asm__ __volatile__("fninit\n\tfldcw %0\n\tcld" : : "m"(frame.fpuControl));
        return frame.code;
    }
    InvokeFramed(&frame, routine, arg);
    return 0;
}

DWORD RunGuardedReport(const char* location, bool silentStop, void (*routine)(void*), void* arg)
{
    DWORD code = RunGuarded(routine, arg);
    if (code != 0 && !(silentStop && code == EXCEPTION_STOP_THREAD))
        ReportSoftwareFailure(code, location);
    return code;
}

bool RedirectToStop(HANDLE thread, bool (*isCompiledCode)(DWORD eip, void* user), void* user)
{
    CONTEXT context;
    ZeroMemory(&context, sizeof context);
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context))
        return false;
    if (!isCompiledCode(context.Eip, user))
        return false;
    // Make it look like a call from the compiled code: the interrupted
    // address becomes the return address on the thread's stack.
    context.Esp -= 4;
    *reinterpret_cast<DWORD*>(context.Esp) = context.Eip;
    context.Eip = reinterpret_cast<DWORD>(&RaiseStopRequest);
    return SetThreadContext(thread, &context) != 0;
}

bool RedirectToStop(HANDLE thread, const void* codeStart, size_t codeSize)
{
    DWORD range[2] = {reinterpret_cast<DWORD>(codeStart), static_cast<DWORD>(codeSize)};
    return RedirectToStop(thread, &InRange, range);
}
