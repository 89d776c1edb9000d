#include "../Process.h"

#include <vector>

#include "../Native.h"
#include "Win32.h"

// After windows.h: the UNICODE build maps the toolhelp names to the wide entry, and only the counts are read.
#include <tlhelp32.h>
#undef PROCESSENTRY32
#undef Process32First
#undef Process32Next

namespace Quorlin::os {
using namespace win32;

Status native::Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child)
{
    child = ProcessHandle{};
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    const std::wstring application(program);
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, TRUE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started))
        return LastError();
    child.process = FromHandle(started.hProcess);
    child.thread = FromHandle(started.hThread);
    return {};
}

Status native::ExitCodeOf(ProcessHandle& child, std::uint32_t& code)
{
    code = child.exitCode;
    if (child.exitCode != kStillActive)
        return {};
    DWORD result = 0;
    if (!::GetExitCodeProcess(ToHandle(child.process), &result))
        return LastError();
    child.exitCode = result;
    code = result;
    return {};
}

void native::AwaitExit(ProcessHandle& child, std::uint32_t milliseconds)
{
    if (child.exitCode == kStillActive && child.process)
        ::WaitForSingleObject(ToHandle(child.process), milliseconds);
}

void native::CloseProcess(ProcessHandle& child)
{
    if (child.thread)
        ::CloseHandle(ToHandle(child.thread));
    if (child.process)
        ::CloseHandle(ToHandle(child.process));
    child = ProcessHandle{};
}

Status native::KillProcess(ProcessHandle& child)
{
    if (child.exitCode != kStillActive)
        return {};
    if (!::TerminateProcess(ToHandle(child.process), 1))
        return LastError();
    // TerminateProcess only starts the end; waited for so that ExitCodeOf sees it straight away.
    ::WaitForSingleObject(ToHandle(child.process), 10'000);
    return {};
}

int ThreadCountOfProcess()
{
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid())
        return -1;
    const DWORD self = ::GetCurrentProcessId();
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self)
            return static_cast<int>(entry.cntThreads);
    }
    return -1;
}

std::uint32_t CurrentProcessId() noexcept { return ::GetCurrentProcessId(); }

std::uint64_t CurrentThreadId() noexcept { return ::GetCurrentThreadId(); }

void SetCurrentThreadName(const char* name)
{
    if (!name)
        return;
    // Windows 10 1607 and later; older systems and some Wine versions lack it.
    using Describe = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const Describe describe = [] {
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<Describe>(reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadDescription")))
                      : nullptr;
    }();
    if (describe)
        describe(::GetCurrentThread(), Utf8ToWide(name).c_str());
}

}  // namespace Quorlin::os
