#include "../System.h"

#include <windows.h>
// winbase.h maps the 16-bit FreeModule to FreeLibrary, which would rewrite our FreeModule.
#undef FreeModule

#include "utility/StringOps.h"

namespace Quorlin::Detail::System {

bool ToLocalTime(std::int64_t seconds, std::tm& local) noexcept
{
    const __time64_t when = seconds;
    return ::_localtime64_s(&local, &when) == 0;
}

std::uint64_t CurrentThreadId() noexcept { return ::GetCurrentThreadId(); }

std::string ErrorText(std::uint32_t code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        return "Unknown error " + std::to_string(code);
    return ORBEK::Utility::WideToUtf8(std::wstring_view(text));
}

void* LoadModule(const std::string& path, std::string& error)
{
    error.clear();
    // No "cannot find" dialog for a missing dependency: a failure is an error value here.
    DWORD previousMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    const HMODULE module = ::LoadLibraryW(ORBEK::Utility::Utf8ToWide(std::string_view(path)).c_str());
    const DWORD code = ::GetLastError();
    ::SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr)
        error = ErrorText(code);
    return module;
}

void* ModuleSymbol(void* module, const char* name) noexcept
{
    if (module == nullptr || name == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void FreeModule(void* module) noexcept
{
    if (module != nullptr)
        ::FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace Quorlin::Detail::System
