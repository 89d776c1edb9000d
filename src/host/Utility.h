#pragma once
// Framework helpers the modules use: file-name patterns, time texts, the global name/value map.

#include <chrono>
#include <cstdint>
#include <string>

#include "utility/DString.h"

namespace Quorlin::Utility {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

// Whether the framework's logging is on (the thread-pool library logs when it is).
QUORLIN_API bool IsLogOn();
QUORLIN_API void SetLogOn(bool on);

// Expands the date and time tokens of a file-name pattern in local time, for now (the system clock
// seam) or for `seconds` since 1970: {yyyy} {yy} {MM} {M} {dd} {d} {HH} {H} {mm} {m} {ss} {s}
// (two-letter forms zero-padded), and {GlobalMap:NAME} from the global map (empty when unset).
// Any other brace text, {RollingIndex} above all, stays as it is.
QUORLIN_API WString PatternToFileName(const char* pattern);
QUORLIN_API WString PatternToFileName(const char* pattern, const std::int64_t* seconds);

// The first `length` characters of text (fewer at a terminator) with the platform's separators:
// on Windows '/' becomes '\\'; runs of separators after the first character collapse to one.
// The name is never cut.
QUORLIN_API WString NormalizeForFileName(const wchar_t* text, std::int32_t length);

// "YYYY-MM-DD HH:MM:SS" in local time.
QUORLIN_API DString toYMDHMS(std::chrono::system_clock::time_point time);
QUORLIN_API DString toYMDHMS(std::int64_t ticks);

// The global map read by {GlobalMap:NAME}.
QUORLIN_API void SetGlobalValue(const std::string& name, const std::string& value);
QUORLIN_API std::string GetGlobalValue(const std::string& name);

}  // namespace Quorlin::Utility
