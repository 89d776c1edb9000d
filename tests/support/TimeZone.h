#pragma once
// The process's local time zone for the length of a scope: TZ set to a POSIX rule such as
// "CET-1CEST,M3.5.0,M10.5.0/3", re-read by the C runtime, and put back as it was afterwards.
// Whether local-time conversions then follow the rule is up to the platform (Windows' runtime knows
// no such rules): tests check a known instant before relying on it.

#include <string>

namespace QuorlinTest {

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

} // namespace QuorlinTest
