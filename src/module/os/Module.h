#pragma once
// Dynamic libraries: where this code lives, loading others, keeping this one loaded.

#include <string>

namespace Quorlin::os {

using ModuleHandle = void*;

// Full path of the binary that holds this code (GetModuleFileNameA, at most 260 characters; dladdr).
// Empty when it cannot be found out.
std::string ThisModulePath();

// The file suffix of shared libraries: ".dll" or ".so".
const char* SharedLibrarySuffix() noexcept;

// Full path of the running program.
std::string ExecutablePath();

// Releases a reference from AcquireThisModule (FreeLibrary / dlclose).
void FreeModule(ModuleHandle module);

// Takes a reference on the binary that holds this code, so that it stays loaded until the reference
// is released (GetModuleHandleEx / dlopen of itself); null on failure.
ModuleHandle AcquireThisModule();

// Releases a reference from AcquireThisModule as the very last act of the calling thread, which then
// ends (FreeLibraryAndExitThread). On POSIX the reference was taken with RTLD_NODELETE, so the library
// stays mapped for the rest of the process: dlclose, then the thread returns normally to its caller.
void ReleaseModuleAndExitThread(ModuleHandle module);

}  // namespace Quorlin::os
