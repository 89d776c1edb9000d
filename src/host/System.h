#pragma once
// What the framework needs of the operating system: the clock, local time, thread ids, error texts
// and loading modules. One implementation per platform, in posix/ and win32/.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

namespace Quorlin::Detail::System {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;

// 100-nanosecond units since 1970-01-01 UTC.
inline std::int64_t NowTicks() noexcept
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Seconds since 1970 to local calendar time; false when out of range.
bool ToLocalTime(std::int64_t seconds, std::tm& local) noexcept;

// The system's id of the calling thread.
std::uint64_t CurrentThreadId() noexcept;

// The system's text for an error code, without a trailing line end.
std::string ErrorText(std::uint32_t code);

// Loads a module by its UTF-8 path (LoadLibraryW / dlopen); null with the system's reason in `error`
// when it cannot. Exported: the tests load the module the way the framework does.
QUORLIN_API void* LoadModule(const std::string& path, std::string& error);
QUORLIN_API void* ModuleSymbol(void* module, const char* name) noexcept;
QUORLIN_API void FreeModule(void* module) noexcept;

inline wchar_t PathSeparator() noexcept { return std::filesystem::path::preferred_separator; }

// '/' everywhere, and the platform's own separator ('\\' on Windows).
inline bool IsPathSeparator(wchar_t c) noexcept { return c == L'/' || c == PathSeparator(); }

}  // namespace Quorlin::Detail::System
