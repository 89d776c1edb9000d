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

} // namespace Quorlin::os
