#pragma once
// The console: the Windows console of the process, or the controlling terminal on POSIX.

#include <cstdint>

#include "os/Status.h"

namespace Quorlin::os {

using ConsoleHandle = std::intptr_t;  // 0: no console

// AllocConsole: true when a console was created for the process (false when it had one, or none can be
// made; POSIX never creates one).
bool AllocateConsole();

// FreeConsole: detaches from a console that AllocateConsole created.
void ReleaseConsole();

// GetStdHandle(STD_OUTPUT_HANDLE); on POSIX the controlling terminal (/dev/tty), opened once; 0 without one.
ConsoleHandle StdOutConsole();

// SetConsoleMode on the handle (1 processed output; 7 adds wrap and virtual-terminal processing).
// POSIX terminals process escape sequences already; the mode is accepted and ignored.
void SetConsoleOutputMode(ConsoleHandle console, std::uint32_t mode);

// WriteConsoleA of exactly `size` bytes; results are not reported.
void WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size);

// Direct console output of zero-terminated text (_cputs), never through a redirected standard output.
void PutConsoleText(const char* text);

// Whether standard error is a terminal (for progress displays).
bool StandardErrorIsTerminal();

// Reads up to `size` bytes of standard input (read on descriptor 0, retried when a signal interrupts
// it; ReadFile on the standard input handle). `read` is 0 at the end of input: a closed pipe, the end
// of a file, or InterruptStandardInput. A failure leaves `read` at 0 and gives the system's code.
Status ReadStandardInput(char* buffer, std::uint32_t size, std::uint32_t& read);

// Ends reading standard input: the next read, or one blocked now once a signal interrupts it
// (POSIX), sees the end of input. Safe to call from a signal handler or a console control handler;
// call it once (Windows closes the handle).
void InterruptStandardInput();

}  // namespace Quorlin::os
