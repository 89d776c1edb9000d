#pragma once
// Paths in the forms the seam and the tests use, and the test binary itself.

#include <filesystem>
#include <string>

#include "os/Module.h"

namespace QuorlinTest {

// UTF-8 to the wide form the seam takes.
inline std::wstring Widen(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

inline std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

inline std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The test binary itself, for child processes.
inline std::wstring TestBinary() { return Widen(Quorlin::os::ExecutablePath()); }

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

}  // namespace QuorlinTest
