#pragma once
// Processes and threads: start a program, poll its exit, count this process's threads.

#include <cstdint>
#include <string>
#include <string_view>

#include "Status.h"

namespace Quorlin::os {

inline constexpr std::uint32_t kStillActive = 259;  // STILL_ACTIVE

struct ProcessHandle {
    std::intptr_t process = 0;              // HANDLE, or the pid on POSIX
    std::intptr_t thread = 0;               // HANDLE of the first thread; unused on POSIX
    std::uint32_t exitCode = kStillActive;  // POSIX remembers the status once reaped
};

// Starts `program` with the command line `commandLine` (CreateProcessW: hidden window,
// CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, the caller's environment and directory). On POSIX the
// command line is split into arguments with the Windows quoting rules (CommandLineToArgvW), the child
// gets /dev/null as standard input, output and error (as a hidden console would) and no other
// descriptor of this process.
Status Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child);

// GetExitCodeProcess: kStillActive while the child runs. A child ended by a POSIX signal gives 128 + signal.
Status ExitCodeOf(ProcessHandle& child, std::uint32_t& code);

// Waits up to `milliseconds` for the child to end, returning as soon as it has (WaitForSingleObject).
void AwaitExit(ProcessHandle& child, std::uint32_t milliseconds);

// Closes the process and thread handles; on POSIX a running child is left running and reaped later
// by nobody (it becomes the init process's child when this process ends).
void CloseProcess(ProcessHandle& child);

// Ends a running child at once (TerminateProcess / SIGKILL); for tests and shutdown.
Status KillProcess(ProcessHandle& child);

// Number of threads of the current process, or -1 when it cannot be found out.
int ThreadCountOfProcess();

std::uint32_t CurrentProcessId() noexcept;
std::uint64_t CurrentThreadId() noexcept;

// Names the calling thread for debuggers where the platform can (15 characters on Linux).
void SetCurrentThreadName(const char* name);

}  // namespace Quorlin::os
