#include "../Module.h"

#include <vector>

#include "Win32.h"

namespace Quorlin::os {
using namespace win32;
namespace {

// An address inside the binary that holds this code.
LPCSTR AddressInThisModule() { return reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(&AddressInThisModule)); }

}  // namespace

std::string ThisModulePath()
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              AddressInThisModule(), &module))
        return {};
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
    // MAX_PATH means cut short.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::string(path, length);
}

// UTF-8, so that any program path survives the way back to the W functions.
std::string ExecutablePath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return WideToUtf8(std::wstring_view(path.data(), length));
        path.resize(path.size() * 2);
    }
}

void FreeModule(ModuleHandle module)
{
    if (module)
        ::FreeLibrary(static_cast<HMODULE>(module));
}

ModuleHandle AcquireThisModule()
{
    HMODULE module = nullptr;
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, AddressInThisModule(), &module))
        return nullptr;
    return module;
}

void ReleaseModuleAndExitThread(ModuleHandle module)
{
    if (module)
        ::FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
    ::ExitThread(0);
}

}  // namespace Quorlin::os

namespace Quorlin::os {

const char* SharedLibrarySuffix() noexcept { return ".dll"; }

}  // namespace Quorlin::os
