#include "../FaultGuard.h"

#include <cxxabi.h>
#include <setjmp.h>
#include <pthread.h>
#include <signal.h>
#include <ucontext.h>

#include <atomic>
#include <iterator>
#include <mutex>

namespace Quorlin::os {
namespace {

struct Guard {
    sigjmp_buf resume;
    volatile std::uint32_t code = 0;  // written by the handler just before it jumps back
    Guard* previous = nullptr;        // an enclosing guard of the same thread
};

// Initial-exec: the handler reads it on any faulting thread, and the dynamic model may allocate on
// a thread's first access, which a signal handler must not do.
__attribute__((tls_model("initial-exec"))) thread_local Guard* t_Guard = nullptr;

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr unsigned kAllInstalled = (1u << std::size(kSignals)) - 1;

struct sigaction g_Previous[std::size(kSignals)];
std::atomic<unsigned> g_Installed{0};  // one bit per entry of kSignals
std::mutex g_InstallLock;

std::uint32_t ExceptionCodeOf(int signal, const siginfo_t& info)
{
    switch (signal) {
    case SIGSEGV: return 0xC0000005;  // EXCEPTION_ACCESS_VIOLATION
    case SIGBUS: return 0xC0000006;   // EXCEPTION_IN_PAGE_ERROR
    case SIGILL: return 0xC000001D;   // EXCEPTION_ILLEGAL_INSTRUCTION
    default:
        if (info.si_code == FPE_INTDIV)
            return 0xC0000094;  // EXCEPTION_INT_DIVIDE_BY_ZERO
        if (info.si_code == FPE_FLTDIV)
            return 0xC000008E;  // EXCEPTION_FLT_DIVIDE_BY_ZERO
        return 0xC0000090;      // EXCEPTION_FLT_INVALID_OPERATION
    }
}

void OnFault(int signal, siginfo_t* info, void* context)
{
    Guard* guard = t_Guard;
    // si_code > 0: raised by the processor for this thread; a signal sent by kill() or raise() is no fault.
    if (guard && info && info->si_code > 0) {
        guard->code = ExceptionCodeOf(signal, *info);
        // The mask of the faulting code comes back before the jump. Ours blocks nothing, but a runtime
        // that forwards the signal to this handler (ThreadSanitizer does) may have blocked every signal,
        // and the next fault would then kill the process.
        if (context)
            ::pthread_sigmask(SIG_SETMASK, &static_cast<ucontext_t*>(context)->uc_sigmask, nullptr);
        siglongjmp(guard->resume, 1);
    }
    // Not a guarded step: the previous disposition comes back, and the faulting instruction, run
    // again on return, meets it as if this handler had never been there (a sanitizer's report, a core).
    unsigned index = 0;
    while (index < std::size(kSignals) && kSignals[index] != signal)
        ++index;
    if (index == std::size(kSignals))
        return;
    ::sigaction(signal, &g_Previous[index], nullptr);
    g_Installed.fetch_and(~(1u << index));
    if (!info || info->si_code <= 0)
        ::raise(signal);
}

// Installed on first use and kept, rather than per call: threads running steps at the same time
// would otherwise restore each other's handlers. Reinstalled after OnFault gave a signal back.
void EnsureInstalled()
{
    if (g_Installed.load(std::memory_order_acquire) == kAllInstalled)
        return;
    std::lock_guard<std::mutex> hold(g_InstallLock);
    for (unsigned index = 0; index < std::size(kSignals); ++index) {
        if (g_Installed.load() & (1u << index))
            continue;
        struct sigaction ours = {};
        ours.sa_sigaction = &OnFault;
        // SA_NODEFER: a step that faults again after a jump back needs no unblocking.
        ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
        sigemptyset(&ours.sa_mask);
        struct sigaction previous = {};
        if (::sigaction(kSignals[index], &ours, &previous) != 0)
            continue;
        // Still ours when OnFault lost the race to give it back: keep the disposition saved before.
        if (!((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction == &OnFault))
            g_Previous[index] = previous;
        g_Installed.fetch_or(1u << index, std::memory_order_release);
    }
}

// Kept out of RunGuarded: a try block and sigsetjmp do not share a frame well.
__attribute__((noinline)) bool Invoke(void (*step)(void*), void* context, Guard& guard)
{
    try {
        step(context);
        return true;
    } catch (abi::__forced_unwind&) {
        // Thread cancellation passes through; the guard is no longer armed for the frames above.
        t_Guard = guard.previous;
        throw;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool RunGuarded(void (*step)(void*), void* context, std::uint32_t& code)
{
    code = 0;
    EnsureInstalled();
    Guard guard;
    guard.previous = t_Guard;
    // The mask is not saved (0), which would cost a system call per step: OnFault restores the one
    // the fault interrupted.
    if (sigsetjmp(guard.resume, 0) == 0) {
        t_Guard = &guard;
        const bool finished = Invoke(step, context, guard);
        t_Guard = guard.previous;
        if (!finished)
            code = kCppExceptionCode;
        return finished;
    }
    t_Guard = guard.previous;
    code = guard.code;
    return false;
}

}  // namespace Quorlin::os
