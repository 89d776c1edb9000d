#pragma once
// Dynamic libraries: where this code lives, loading others, keeping this one loaded.

#include <string>
#include <string_view>

namespace Quorlin::os {

using ModuleHandle = void*;

// Full path of the binary that holds this code (GetModuleFileNameA, at most 260 characters; dladdr).
// Empty when it cannot be found out.
std::string ThisModulePath();

// The file suffix of shared libraries: ".dll" or ".so".
const char* SharedLibrarySuffix() noexcept;

// Full path of the running program.
std::string ExecutablePath();

// LoadLibraryW / dlopen(RTLD_NOW); null on failure with the reason in `error`.
ModuleHandle LoadModule(std::string_view path, std::string& error);

// GetProcAddress / dlsym; null when absent.
void* ModuleSymbol(ModuleHandle module, const char* name);

// FreeLibrary / dlclose.
void FreeModule(ModuleHandle module);

// Takes a reference on the binary that holds this code, so that it stays loaded until the reference
// is released (GetModuleHandleEx / dlopen of itself); null on failure.
ModuleHandle AcquireThisModule();

// Releases a reference from AcquireThisModule as the very last act of the calling thread, which then
// ends (FreeLibraryAndExitThread). On POSIX the reference was taken with RTLD_NODELETE, so the library
// stays mapped for the rest of the process: dlclose, then the thread returns normally to its caller.
void ReleaseModuleAndExitThread(ModuleHandle module);

} // namespace Quorlin::os
