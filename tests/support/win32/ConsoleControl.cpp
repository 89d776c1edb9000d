#include "ConsoleControl.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "RunChecks.h"

namespace QuorlinTest {
namespace {

// An inheritable handle: the child gets it as a standard handle.
HANDLE OpenForChild(const std::wstring& path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunAndInterrupt(const std::wstring& commandLine, const std::wstring& directory, const std::function<bool()>& ready)
{
    const HANDLE in = OpenForChild(L"NUL", false);
    const HANDLE out = OpenForChild(directory + L"\\out.txt", true);
    const HANDLE err = OpenForChild(directory + L"\\err.txt", true);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child{};
    std::wstring line = commandLine;
    // No new process group: a group leader starts with Ctrl-C turned off.
    const bool started = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(), &startup,
                                          &child);
    for (HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
    if (!started)
        return -1;
    int result = -1;
    // Ignored here only from now on: the child was started without inheriting it.
    if (WaitFor(ready) && ::SetConsoleCtrlHandler(nullptr, TRUE) && ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        DWORD code = 0;
        if (::WaitForSingleObject(child.hProcess, 60'000) == WAIT_OBJECT_0 && ::GetExitCodeProcess(child.hProcess, &code))
            result = static_cast<int>(code);
        else
            result = -2;
    }
    if (::WaitForSingleObject(child.hProcess, 0) != WAIT_OBJECT_0)
        ::TerminateProcess(child.hProcess, 1);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return result;
}

}  // namespace QuorlinTest
