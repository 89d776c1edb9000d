#pragma once
// Small helpers of the roll-over tests: files by name, names of instants.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "FakeClock.h"
#include "Instants.h"
#include "TempDir.h"
#include "host/Utility.h"
#include "os/Clock.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"
#include "utility/DString.h"

namespace QuorlinTest {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

#ifdef _WIN32
inline constexpr bool kWindowsBuild = true;
#else
inline constexpr bool kWindowsBuild = false;
#endif

inline WString W(const std::wstring& text) { return WString(std::wstring_view(text)); }
inline DString N(const std::string& text) { return DString(text.c_str()); }
// The UTF-8 form of a path, for narrow patterns.
inline std::string Narrow(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline void Touch(const TempDir& dir, const std::string& name, const std::string& content = "x")
{
    std::filesystem::create_directories((dir.Path() / name).parent_path());
    WriteFile(dir.Path() / name, content.empty() ? name : content);
}

// The names of the files in a directory, sorted.
inline std::set<std::string> Files(const std::filesystem::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.insert(Narrow(entry.path().filename()));
    return names;
}

inline std::string Sep() { return std::string(1, static_cast<char>(std::filesystem::path::preferred_separator)); }

// The pattern's name for the local time of `ticks`.
inline std::string NameAt(const std::string& pattern, std::int64_t ticks)
{
    const std::int64_t seconds = ticks / kTicksPerSecond;
    return Quorlin::Utility::PatternToFileName(pattern.c_str(), &seconds).ToDString().c_str();
}

// A time-based policy, or a size-and-time-based one, not configured yet.
inline std::unique_ptr<Quorlin::TimeBasedRollPolicy> NewTimePolicy(bool sizeAndTime)
{
    if (sizeAndTime)
        return std::make_unique<Quorlin::SizeAndTimeBasedRollPolicy>();
    return std::make_unique<Quorlin::TimeBasedRollPolicy>();
}

} // namespace QuorlinTest
