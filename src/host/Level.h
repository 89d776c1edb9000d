#pragma once
// Levels: one int32 scale shared by the framework and its modules.

#include <cstdint>
#include <string_view>

namespace Quorlin {

enum Level : std::int32_t {
    LevelAll = 0,
    LevelTrace = 20000,
    LevelDebug = 40000,
    LevelInfo = 50000,
    LevelWarn = 70000,
    LevelError = 80000,
    LevelFatal = 120000,
    LevelOff = 0x7fffffff,
};

// The name of the highest named level at or below `level` ("TRACE" ... "FATAL"); "ALL" below TRACE.
QUORLIN_API const char* LevelName(std::int32_t level) noexcept;

// A level name (any case: TRACE, DEBUG, INFO, WARN or WARNING, ERROR, FATAL, ALL, OFF) or a
// non-negative decimal number; false for anything else.
QUORLIN_API bool ParseLevel(std::string_view text, std::int32_t& level) noexcept;

}  // namespace Quorlin
