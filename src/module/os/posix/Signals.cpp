#include "../Signals.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>

namespace Quorlin::os {
namespace {

std::atomic<StopHandler> g_StopHandler{nullptr};
pthread_t g_Reader;

extern "C" void OnStopSignal(int signal)
{
    const int savedErrno = errno;
    if (StopHandler handler = g_StopHandler.load())
        handler(signal);
    // A signal sent to the process lands on any thread that does not block it, and SIGPIPE on the
    // thread that wrote: only a signal on the reading thread ends its blocked read (restarted, it meets
    // the replaced standard input). pthread_kill is async-signal-safe.
    if (!pthread_equal(pthread_self(), g_Reader))
        pthread_kill(g_Reader, signal);
    errno = savedErrno;
}

}  // namespace

void HandleStopRequests(StopHandler handler)
{
    g_Reader = pthread_self();
    g_StopHandler.store(handler);
    struct sigaction action = {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: the module's writes and waits never see EINTR because of a stop request.
    action.sa_flags = SA_RESTART;
    // SIGPIPE: the reader of standard output is gone; the write fails with EPIPE and the program stops.
    for (int signal : {SIGTERM, SIGPIPE})
        sigaction(signal, &action, nullptr);
    // Ignored from the start, these stay ignored: nohup's SIGHUP, a background job's SIGINT.
    for (int signal : {SIGINT, SIGHUP}) {
        struct sigaction inherited = {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

void StopRequestHandled() {}

void IgnoreFileSizeLimitSignal()
{
    // The write beyond the limit then fails with EFBIG and the appender counts what it could not write.
    signal(SIGXFSZ, SIG_IGN);
}

}  // namespace Quorlin::os
