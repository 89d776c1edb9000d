#include "../Console.h"

#include <conio.h>

#include "../Native.h"
#include "Win32.h"

namespace Quorlin::os {
using namespace win32;

bool native::AllocateConsole() { return ::AllocConsole() != FALSE; }

void native::ReleaseConsole() { ::FreeConsole(); }

ConsoleHandle native::StdOutConsole()
{
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return output == INVALID_HANDLE_VALUE ? 0 : FromHandle(output);
}

void native::SetConsoleOutputMode(ConsoleHandle console, std::uint32_t mode)
{
    if (console)
        ::SetConsoleMode(ToHandle(console), mode);
}

void native::WriteToConsole(ConsoleHandle console, const char* text, std::uint32_t size)
{
    if (!console || !text)
        return;
    DWORD written = 0;
    ::WriteConsoleA(ToHandle(console), text, size, &written, nullptr);
}

void native::PutConsoleText(const char* text)
{
    if (text)
        ::_cputs(text);
}

}  // namespace Quorlin::os

namespace Quorlin::os {

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

Status ReadStandardInput(char* buffer, std::uint32_t size, std::uint32_t& read)
{
    read = 0;
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return Status{};  // no standard input: nothing to read
    DWORD n = 0;
    if (::ReadFile(input, buffer, size, &n, nullptr)) {
        read = n;
        return Status{};
    }
    const DWORD error = ::GetLastError();
    // The writer closed the pipe; or InterruptStandardInput cancelled the read and closed the handle.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF || error == ERROR_OPERATION_ABORTED ||
        error == ERROR_INVALID_HANDLE)
        return Status{};
    return FromNative(error);
}

void InterruptStandardInput()
{
    // The control handler runs on a thread of its own: cancel the main thread's blocked read of
    // standard input, and close it so that the next read sees the end.
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input != nullptr && input != INVALID_HANDLE_VALUE) {
        ::CancelIoEx(input, nullptr);
        ::CloseHandle(input);
    }
}

}  // namespace Quorlin::os
