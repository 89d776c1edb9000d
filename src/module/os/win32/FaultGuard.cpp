#include "../FaultGuard.h"

#include <mutex>

#include "Win32.h"

namespace Quorlin::os {
namespace {

struct Guard {
    void* resume[5];                  // __builtin_setjmp: frame, resume address, stack pointer and spare
    volatile std::uint32_t code = 0;  // written by the handler before the thread is sent back
    Guard* previous = nullptr;        // an enclosing guard of the same thread
};

// A TLS slot rather than thread_local: MinGW's emulated thread_local may allocate on a thread's first
// access, which the handler must not do on a thread that faulted inside the heap.
DWORD g_Slot = TLS_OUT_OF_INDEXES;
std::once_flag g_Installed;

Guard* CurrentGuard() { return static_cast<Guard*>(::TlsGetValue(g_Slot)); }

bool IsCaught(DWORD code)
{
    switch (code) {
    // No stack is left to resume on.
    case EXCEPTION_STACK_OVERFLOW: return false;
    case EXCEPTION_GUARD_PAGE:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_SINGLE_STEP: return true;
    default:
        // Severity error only. Informational codes pass: thread naming 0x406D1388, debug output
        // 0x40010006, and the 0x20474343 that GCC's unwinder raises for every C++ throw.
        return (code & 0xF0000000u) == 0xC0000000u;
    }
}

[[noreturn]] __attribute__((noinline)) void Land()
{
    Guard* guard = CurrentGuard();
    __builtin_longjmp(guard->resume, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception)
{
    Guard* guard = CurrentGuard();
    if (!guard || !IsCaught(exception->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    guard->code = exception->ExceptionRecord->ExceptionCode;
    // Resumed in Land as if called there: below the faulting frame, with the stack aligned to 16
    // before the (absent) return address, as every function expects on entry.
    CONTEXT& context = *exception->ContextRecord;
    context.Rsp = ((context.Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
    context.Rip = reinterpret_cast<DWORD64>(&Land);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// Installed once, first in line: a crash reporter's handler should not see a fault the guard takes.
// Being vectored, it also sees faults that code called by the step would catch itself with
// __try/__except; the guard takes those first.
void EnsureInstalled()
{
    std::call_once(g_Installed, [] {
        g_Slot = ::TlsAlloc();
        if (g_Slot != TLS_OUT_OF_INDEXES)
            ::AddVectoredExceptionHandler(1, &OnException);
    });
}

// Kept out of RunGuarded: a try block and __builtin_setjmp do not share a frame well.
__attribute__((noinline)) bool Invoke(void (*step)(void*), void* context)
{
    try {
        step(context);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool RunGuarded(void (*step)(void*), void* context, std::uint32_t& code)
{
    code = 0;
    EnsureInstalled();
    if (g_Slot == TLS_OUT_OF_INDEXES) {
        // No slot, no guard: the step runs unprotected rather than not at all.
        if (Invoke(step, context))
            return true;
        code = kCppExceptionCode;
        return false;
    }
    Guard guard;
    guard.previous = CurrentGuard();
    if (__builtin_setjmp(guard.resume) == 0) {
        ::TlsSetValue(g_Slot, &guard);
        const bool finished = Invoke(step, context);
        ::TlsSetValue(g_Slot, guard.previous);
        if (!finished)
            code = kCppExceptionCode;
        return finished;
    }
    ::TlsSetValue(g_Slot, guard.previous);
    code = guard.code;
    return false;
}

}  // namespace Quorlin::os
