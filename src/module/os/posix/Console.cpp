#include "../Console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../Native.h"
#include "Posix.h"

namespace Quorlin::os {
namespace posix {

int TerminalFd() noexcept
{
    static const int terminal = [] {
        int fd = ::open("/dev/tty", O_WRONLY | O_CLOEXEC | O_NOCTTY);
        // Handle 0 means "no console": keep the terminal off the standard descriptors when they are closed.
        if (fd >= 0 && fd <= STDERR_FILENO) {
            const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
            ::close(fd);
            fd = moved;
        }
        return fd;
    }();
    return terminal;
}

bool WriteAll(int fd, const void* data, std::size_t size) noexcept
{
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = ::write(fd, next, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace posix

bool native::AllocateConsole() { return false; }

void native::ReleaseConsole() {}

ConsoleHandle native::StdOutConsole()
{
    const int terminal = posix::TerminalFd();
    return terminal < 0 ? 0 : terminal;
}

void native::SetConsoleOutputMode(ConsoleHandle, std::uint32_t) {}

void native::WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size)
{
    if (console <= 0 || !text)
        return;
    posix::WriteAll(static_cast<int>(console), text, size);
}

void native::PutConsoleText(const char* text)
{
    const int terminal = posix::TerminalFd();
    if (terminal < 0 || !text)
        return;
    posix::WriteAll(terminal, text, std::strlen(text));
}

}  // namespace Quorlin::os

namespace Quorlin::os {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

Status ReadStandardInput(char* buffer, std::uint32_t size, std::uint32_t& read)
{
    read = 0;
    for (;;) {
        // A stop request lands here as EINTR, after InterruptStandardInput put /dev/null over the
        // descriptor: the next read sees the end of input.
        const ssize_t n = ::read(STDIN_FILENO, buffer, size);
        if (n >= 0) {
            read = static_cast<std::uint32_t>(n);
            return Status{};
        }
        if (errno != EINTR)
            return posix::LastError();
    }
}

void InterruptStandardInput()
{
    // /dev/null over descriptor 0: the read restarted after the signal sees the end of input. Closing 0
    // instead would let a file the module opens meanwhile take its number and be read as input.
    // open, dup2 and close are async-signal-safe.
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null < 0) {
        ::close(STDIN_FILENO);
        return;
    }
    if (null != STDIN_FILENO) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
}

}  // namespace Quorlin::os
