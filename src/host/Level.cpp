#include "Level.h"

#include <string_view>

namespace Quorlin {
namespace {

struct NamedLevel {
    std::string_view name;
    std::int32_t level;
};
constexpr NamedLevel kNames[] = {
    {"FATAL", LevelFatal}, {"ERROR", LevelError}, {"WARN", LevelWarn},
    {"INFO", LevelInfo},   {"DEBUG", LevelDebug}, {"TRACE", LevelTrace},
};

// Level names are ASCII: the locale has no say in them.
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// `upper` in capitals.
bool EqualsNoCase(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (UpperAscii(text[i]) != upper[i])
            return false;
    return true;
}

}  // namespace

const char* LevelName(std::int32_t level) noexcept
{
    for (const NamedLevel& n : kNames)
        if (level >= n.level)
            return n.name.data();
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
