#pragma once
// Diagnostics built from templates: "{$}" takes the next argument, "{N}" argument N (two digits at
// most), and ":fmt" after either formats it ("{$:x08}", "{$:-6}"). Texts go to the framework's
// diagnostics channel only while it is on; arguments are not even converted when it is off.

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "host/Level.h"
#include "host/LogLog.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::DString;
using ORBEK::Utility::StringView;
using ORBEK::Utility::WString;
using ORBEK::Utility::WStringView;

// One argument of a template, by kind: integers, narrow text, wide text.
struct TraceArg {
    enum class Kind : std::uint8_t { Int32, Int64, UInt64, Text, WideText };

    template <typename T>
    requires std::is_integral_v<T> TraceArg(T value)
    noexcept
    {
        if constexpr (std::is_signed_v<T> && sizeof(T) <= 4)
            kind = Kind::Int32, i = value;
        else if constexpr (std::is_signed_v<T>)
            kind = Kind::Int64, i = value;
        else
            kind = Kind::UInt64, u = value;
    }
    TraceArg(const DString& s) noexcept : TraceArg(StringView(s)) {}
    TraceArg(const StringView& s) noexcept : kind(Kind::Text), text(s.Data()), length(s.GetLength()) {}
    TraceArg(const char* s) noexcept : kind(Kind::Text), text(s), length(ORBEK::Utility::TextLength(s)) {}
    TraceArg(std::string_view s) noexcept : kind(Kind::Text), text(s.data()), length(static_cast<std::int32_t>(s.size())) {}
    TraceArg(const WString& s) noexcept : TraceArg(WStringView(s)) {}
    TraceArg(const WStringView& s) noexcept : kind(Kind::WideText), wide(s.Data()), length(s.GetLength()) {}
    TraceArg(const wchar_t* s) noexcept : kind(Kind::WideText), wide(s), length(ORBEK::Utility::TextLength(s)) {}

    Kind kind;
    union {
        std::int64_t i;
        std::uint64_t u;
        const char* text;     // null is written as "null"
        const wchar_t* wide;  // written as UTF-8
    };
    std::int32_t length = 0;
};

// Formats into out, which has room for capacity characters and a terminator. Returns the length
// written (at most capacity); the terminator always follows.
std::int32_t FormatTrace(char* out, std::int32_t capacity, const char* pattern, const TraceArg* args,
                         std::int32_t count) noexcept;

// Fixed text, not scanned for placeholders; cut at the capacity of the diagnostics buffer.
void Trace(std::int32_t level, const char* text) noexcept;
// The same for a text of known length (a DString built with Format, for example).
void TraceText(std::int32_t level, const char* text, std::int32_t length) noexcept;
inline void TraceText(std::int32_t level, const DString& text) noexcept { TraceText(level, text.c_str(), text.GetLength()); }

void TraceFormatted(std::int32_t level, const char* pattern, const TraceArg* args, std::int32_t count) noexcept;

template <typename A0, typename... A>
void Trace(std::int32_t level, const char* pattern, const A0& first, const A&... rest) noexcept
{
    if (LogLog::gLogger.load(std::memory_order_relaxed) == nullptr)
        return;
    const TraceArg args[] = {TraceArg(first), TraceArg(rest)...};
    TraceFormatted(level, pattern, args, static_cast<std::int32_t>(1 + sizeof...(A)));
}

// The same formatting into the string library's per-thread buffer, returned as a DString of exactly
// the written characters (empty when that buffer cannot be had).
DString FormatToDString(const char* pattern, const TraceArg* args, std::int32_t count);

template <typename A0, typename... A>
DString Format(const char* pattern, const A0& first, const A&... rest)
{
    const TraceArg args[] = {TraceArg(first), TraceArg(rest)...};
    return FormatToDString(pattern, args, static_cast<std::int32_t>(1 + sizeof...(A)));
}

}  // namespace Quorlin
