#include "Level.h"

#include <cctype>

namespace Quorlin {
namespace {

struct NamedLevel {
    const char* name;
    std::int32_t level;
};
constexpr NamedLevel kNames[] = {
    {"FATAL", LevelFatal}, {"ERROR", LevelError}, {"WARN", LevelWarn},
    {"INFO", LevelInfo},   {"DEBUG", LevelDebug}, {"TRACE", LevelTrace},
};

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

const char* LevelName(std::int32_t level) noexcept
{
    for (const NamedLevel& n : kNames)
        if (level >= n.level)
            return n.name;
    return "ALL";
}

bool ParseLevel(std::string_view text, std::int32_t& level) noexcept
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty())
        return false;
    for (const NamedLevel& n : kNames)
        if (EqualsNoCase(text, n.name))
            return level = n.level, true;
    if (EqualsNoCase(text, "WARNING"))
        return level = LevelWarn, true;
    if (EqualsNoCase(text, "ALL"))
        return level = LevelAll, true;
    if (EqualsNoCase(text, "OFF"))
        return level = LevelOff, true;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 0x7fffffff)
            return false;
    }
    level = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace Quorlin
