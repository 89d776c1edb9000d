#pragma once
// The process's local time zone for the length of a scope: TZ set to a POSIX rule such as
// "CET-1CEST,M3.5.0,M10.5.0/3", re-read by the C runtime, and put back as it was afterwards.
// Whether local-time conversions then follow the rule is up to the platform (Windows' runtime knows
// no such rules): tests check a known instant before relying on it.

#include <string>

#include "Instants.h"

namespace QuorlinTest {

// Central European Time: in 2024 it springs forward on 31 March at 01:00 UTC (02:00 -> 03:00 local)
// and falls back on 27 October at 01:00 UTC (03:00 -> 02:00 local), so that 02:xx comes twice.
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// Whether local time follows that rule (under ScopedTimeZone(kCentralEurope)) on both days.
inline bool LocalTimeIsCentralEuropean()
{
    return LocalText(UtcTicks(2024, 3, 31, 0, 30, 0)) == "2024-03-31 01:30:00" &&
           LocalText(UtcTicks(2024, 3, 31, 1, 30, 0)) == "2024-03-31 03:30:00" &&
           LocalText(UtcTicks(2024, 10, 27, 0, 30, 0)) == "2024-10-27 02:30:00" &&
           LocalText(UtcTicks(2024, 10, 27, 1, 30, 0)) == "2024-10-27 02:30:00";
}

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* rule);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_HadPrevious = false;
    std::string m_Previous;
};

}  // namespace QuorlinTest
