#include "../Debugger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "../Native.h"
#include "Posix.h"

namespace Quorlin::os {

void native::DebugOutput(const char* text)
{
    if (!text)
        return;
    std::string line;
    try {
        line = "[debug] ";
        line += text;
        if (line.back() != '\n')
            line += '\n';
    } catch (...) {
        return;
    }
    // One write per line: with O_APPEND, lines of several threads or processes do not interleave.
    if (const char* target = std::getenv("QUORLIN_DEBUG_OUTPUT"); target && *target) {
        posix::UniqueFd file(::open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666));
        if (file.Get() >= 0) {
            posix::WriteAll(file.Get(), line.data(), line.size());
            return;
        }
    }
    posix::WriteAll(STDERR_FILENO, line.data(), line.size());
}

void native::Beep(std::uint32_t, std::uint32_t)
{
    const int terminal = posix::TerminalFd();
    if (terminal >= 0)
        posix::WriteAll(terminal, "\a", 1);
}

}  // namespace Quorlin::os
