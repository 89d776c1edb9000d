#pragma once
// Runs a step so that a machine fault or an escaping exception inside it does not end the process.

#include <cstdint>

namespace Quorlin::os {

inline constexpr std::uint32_t kCppExceptionCode = 0xE06D7363;  // the code a C++ exception carries on Windows

// Calls step(context) on the calling thread. Returns true when the step returned normally. When it
// faulted (access violation, division by zero, illegal instruction, bus error) or let an exception
// escape, returns false with the Windows exception code in `code` (POSIX maps SIGSEGV to 0xC0000005,
// SIGBUS to 0xC0000006, SIGFPE to 0xC0000094, 0xC000008E or else 0xC0000090, SIGILL to 0xC000001D;
// exceptions give kCppExceptionCode). Windows uses a vectored handler that resumes at the guard; POSIX arms signal
// handlers for the calling thread only while the step runs. Stack overflow is not caught. Objects
// of the faulting frames are abandoned without destructors, as with a structured exception.
bool RunGuarded(void (*step)(void*), void* context, std::uint32_t& code);

}  // namespace Quorlin::os
