#pragma once
// Debugger output and the beep.

#include <cstdint>

namespace Quorlin::os {

// OutputDebugStringA. POSIX has no debugger stream: the text goes to standard error as one line,
// prefixed "[debug] ", unless QUORLIN_DEBUG_OUTPUT names a file to append it to instead.
void DebugOutput(const char* text);

// Beep (frequency, duration). POSIX rings the terminal bell (BEL on /dev/tty) and does not wait.
void Beep(std::uint32_t frequency, std::uint32_t milliseconds);

}  // namespace Quorlin::os
