#pragma once
// Requests to stop the process (signals on POSIX, console control events on Windows), and the signals
// that would end the process in the middle of a write.

namespace Quorlin::os {

// What a stop handler is told: the signal number, or the console control event.
using StopHandler = void (*)(int request);

// Calls `handler` whenever the process is asked to stop: SIGINT, SIGTERM, SIGHUP and SIGPIPE on POSIX;
// Ctrl-C, Ctrl-Break, console close, logoff and shutdown on Windows. The handler runs inside a signal
// handler or on a thread of the system: it may only store to lock-free atomics and call
// InterruptStandardInput. SIGINT and SIGHUP ignored when the process started (a background job, nohup)
// stay ignored. The calling thread should be the one that reads standard input: a signal
// that lands on another thread is passed on to it, so that its blocked read ends. Stays installed
// until the process ends, so that a late request never kills a program that is closing its files.
void HandleStopRequests(StopHandler handler);

// Tells a control handler that waits for it (Windows: console close, logoff and shutdown end the
// process as soon as the handler returns) that the program has closed what it writes to. The handler
// waits a few seconds at most. POSIX: nothing to do.
void StopRequestHandled();

// Makes a write beyond the file size limit fail with an error, as on a full disk, instead of ending the
// process (SIGXFSZ ignored). Windows has no such signal: nothing to do.
void IgnoreFileSizeLimitSignal();

}  // namespace Quorlin::os
