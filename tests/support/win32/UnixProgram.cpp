#include "UnixProgram.h"

// Before <windows.h>, whose FreeModule macro would rewrite os/Module.h.
#include "Paths.h"

#include <windows.h>

namespace QuorlinTest {
namespace {

// Wine's own kernel32 exports, absent on Windows itself.
template <typename Function>
Function WineExport(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

std::wstring DosPath(const std::string& unixPath)
{
    using ToDos = WCHAR*(CDECL*)(const char*);
    static const auto toDos = WineExport<ToDos>("wine_get_dos_file_name");
    WCHAR* dos = toDos ? toDos(unixPath.c_str()) : nullptr;
    if (!dos)
        return {};
    std::wstring result(dos);
    ::HeapFree(::GetProcessHeap(), 0, dos);
    return result;
}

}  // namespace

bool StartUnixProgram(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    const std::wstring program = DosPath(argv[0]);
    if (program.empty())
        return false;
    // Wine splits the command line into the program's argv by the Windows rules; the arguments here
    // are paths and numbers, quoted whole.
    std::wstring commandLine;
    for (const std::string& arg : argv) {
        if (arg.find('"') != std::string::npos)
            return false;
        commandLine += (commandLine.empty() ? L"\"" : L" \"") + Widen(arg) + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return false;
    // A Linux program comes back with no handles; close any a later Wine might give.
    if (process.hProcess)
        ::CloseHandle(process.hProcess);
    if (process.hThread)
        ::CloseHandle(process.hThread);
    return true;
}

std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(CDECL*)(const WCHAR*);
    static const auto toUnix = WineExport<ToUnix>("wine_get_unix_file_name");
    char* unixPath = toUnix ? toUnix(Widen(path).c_str()) : nullptr;
    if (!unixPath)
        return {};
    std::string result(unixPath);
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

}  // namespace QuorlinTest
