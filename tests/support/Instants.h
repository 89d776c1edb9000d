#pragma once
// Fixed instants for the time-based tests, in ticks, and their local-time texts.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "host/Utility.h"
#include "os/Clock.h"

namespace QuorlinTest {

inline constexpr std::int64_t kTicksPerSecond = Quorlin::os::kTicksPerSecond;
inline constexpr std::int64_t kTicksPerMinute = 60 * kTicksPerSecond;
inline constexpr std::int64_t kTicksPerHour = 60 * kTicksPerMinute;
inline constexpr std::int64_t kTicksPerDay = 24 * kTicksPerHour;

// A wall-clock time of the process's local zone (not one inside a daylight-saving gap or overlap).
inline std::int64_t LocalTicks(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return Quorlin::os::FromLocalTime(local) * Quorlin::os::kTicksPerSecond;
}

inline std::int64_t UtcTicks(int year, int month, int day, int hour, int minute, int second)
{
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / month / day};
    const auto seconds = date.time_since_epoch() + hours{hour} + minutes{minute} + std::chrono::seconds{second};
    return duration_cast<std::chrono::seconds>(seconds).count() * Quorlin::os::kTicksPerSecond;
}

// "YYYY-MM-DD HH:MM:SS" in local time, as the policies' diagnostics and maintenance lines show it.
inline std::string LocalText(std::int64_t ticks)
{
    const auto text = Quorlin::Utility::toYMDHMS(ticks);
    return std::string(text.c_str(), static_cast<std::size_t>(text.GetLength()));
}

}  // namespace QuorlinTest
