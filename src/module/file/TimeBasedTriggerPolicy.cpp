#include "TimeBasedTriggerPolicy.h"

#include <ctime>
#include <limits>

#include "diagnostics/Trace.h"
#include "host/Utility.h"
#include "host/Writer.h"
#include "os/Clock.h"

namespace Quorlin {
namespace {

constexpr std::int64_t kTicksPerMinute = 60 * os::kTicksPerSecond;

struct Unit {
    const char* token;
    const char* shortToken;
    const char* intervalEnding;
    std::int32_t precision;
    std::int32_t minutes;
    const char* trace;
};

// Tested in this order; the first unit named by the pattern or the interval wins, so a pattern with
// both {dd} and {HH} rolls hourly.
constexpr Unit kUnits[] = {
    {"{mm}", "{m}", "m", TimeBasedTriggerPolicy::kMinute, 1, "TimeBasedRollPolicy::ActivateOptions, Precision : minute of {$}"},
    {"{HH}", "{H}", "H", TimeBasedTriggerPolicy::kHour, 60, "TimeBasedRollPolicy::ActivateOptions, Precision : hour of {$}"},
    {"{dd}", "{d}", "d", TimeBasedTriggerPolicy::kDay, 1440, "TimeBasedRollPolicy::ActivateOptions, Precision : day of {$}"},
};

// One whole unit of the precision; anything that is not hour or day steps by minutes.
std::int64_t StepTicks(std::int32_t precision)
{
    for (const Unit& unit : kUnits)
        if (unit.precision == precision)
            return unit.minutes * kTicksPerMinute;
    return kTicksPerMinute;
}

// Local midnight `days` days after the local date of `ticks` (0: that date's own midnight), by the
// calendar: a day with a daylight-saving change has 23 or 25 hours. -1 when the calendar cannot
// express it.
std::int64_t LocalMidnight(std::int64_t ticks, std::int32_t days)
{
    std::tm local{};
    if (!os::ToLocalTime(ticks / os::kTicksPerSecond, local))
        return -1;
    local.tm_mday += days;
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    local.tm_isdst = -1;  // the change may lie between `ticks` and that midnight
    const std::int64_t seconds = os::FromLocalTime(local);
    return seconds == -1 ? -1 : seconds * os::kTicksPerSecond;
}

// The start of the local minute or hour that holds `ticks`; -1 when the calendar cannot express it.
std::int64_t StartOfLocalPeriod(std::int32_t precision, std::int64_t ticks)
{
    std::tm local{};
    if (!os::ToLocalTime(ticks / os::kTicksPerSecond, local))
        return -1;
    local.tm_sec = 0;
    if (precision == TimeBasedTriggerPolicy::kHour)
        local.tm_min = 0;
    // tm_isdst stays as found: in the hour repeated at a change it tells the two passes apart.
    const std::int64_t seconds = os::FromLocalTime(local);
    return seconds == -1 ? -1 : seconds * os::kTicksPerSecond;
}

// Renders the time only when diagnostics are on.
void TraceTime(std::int32_t level, const char* pattern, std::int64_t ticks)
{
    if (LogLog::IsOn())
        Trace(level, pattern, Utility::toYMDHMS(ticks));
}

}  // namespace

TimeBasedTriggerPolicy::TimeBasedTriggerPolicy() : m_NextMntTime(ComputeNextMntTime(kDay, os::NowTicks())) {}

void TimeBasedTriggerPolicy::SetOption(const DString& key, const DString& value)
{
    if (key.Find("/fileNamePattern/value") >= 0)
        m_Pattern = value;
    else if (key.Find("/interval/value") >= 0)
        m_Interval = value;
}

void TimeBasedTriggerPolicy::ActivateOptions()
{
    const Unit* unit = nullptr;
    for (const Unit& candidate : kUnits) {
        if (m_Pattern.Find(candidate.token) >= 0 || m_Pattern.Find(candidate.shortToken) >= 0 ||
            m_Interval.EndWith(candidate.intervalEnding)) {
            unit = &candidate;
            break;
        }
    }
    if (unit == nullptr) {
        m_Precision = kDay;
        m_IntervalMinutes = 1440;
        Trace(LevelWarn, "TimeBasedRollPolicy::ActivateOptions, Invalid FileNamePattern, use default value");
    } else {
        m_Precision = unit->precision;
        Trace(LevelInfo, unit->trace, m_Interval);
        m_IntervalMinutes = IntervalMinutes(unit->minutes);
    }
    const std::int64_t next = ComputeNextMntTime(m_Precision, os::NowTicks());
    m_NextMntTime.store(next, std::memory_order_release);
    TraceTime(LevelInfo, "-- (Quorlin) TriggeringPolicy.TimeBased.Next maintenance time : {$}", next);
}

std::int32_t TimeBasedTriggerPolicy::IntervalMinutes(std::int32_t unitMinutes) const
{
    std::int64_t count = m_Interval.Int();
    if (count < 1) {
        // A step of 0 would leave the maintenance time in the past: the file would roll on every event.
        Trace(LevelWarn, "TimeBasedTriggerPolicy::ActivateOptions, interval [{$}] has no count of 1 or more, auto correct to 1",
              m_Interval);
        count = 1;
    }
    const std::int64_t limit = std::numeric_limits<std::int32_t>::max() / unitMinutes;
    if (count > limit) {
        Trace(LevelWarn, "TimeBasedTriggerPolicy::ActivateOptions, interval [{$}] is too long, auto correct to {$} minutes",
              m_Interval, limit * unitMinutes);
        count = limit;
    }
    return static_cast<std::int32_t>(count * unitMinutes);
}

bool TimeBasedTriggerPolicy::IsTriggered(const Appender*, const LoggingEvent*, std::uint64_t) const
{
    return os::NowTicks() >= m_NextMntTime.load(std::memory_order_acquire);
}

void TimeBasedTriggerPolicy::AdvanceSchedule(Writer* writer)
{
    std::int64_t due = m_NextMntTime.load(std::memory_order_acquire);
    if (os::NowTicks() < due)
        return;
    // One interval only, even after a quiet spell: if that time has passed too, the next event
    // triggers again at once. Days go by the calendar, so a daily roll stays at local midnight
    // across a daylight-saving change; minutes and hours are fixed steps.
    std::int64_t next = m_Precision == kDay ? LocalMidnight(due, m_IntervalMinutes / 1440) : -1;
    if (next <= due)
        next = due + m_IntervalMinutes * kTicksPerMinute;
    if (!m_NextMntTime.compare_exchange_strong(due, next, std::memory_order_acq_rel))
        return;  // another thread advanced this due time already
    const DString line = Format("\r\n\r\n-- (Quorlin) TriggeringPolicy.TimeBased.Next maintenance time : {$}\r\n\r\n",
                                Utility::toYMDHMS(next));
    Trace(LevelInfo, line.c_str(), line.GetLength());
    if (writer != nullptr)
        writer->Write(0, line.c_str(), line.GetLength(), nullptr, 0);
}

std::int64_t TimeBasedTriggerPolicy::ComputeNextMntTime(std::int32_t precision, std::int64_t now)
{
    std::int64_t t = precision == kDay ? LocalMidnight(now, 0) : StartOfLocalPeriod(precision, now);
    if (t == -1)
        t = now / os::kTicksPerSecond * os::kTicksPerSecond;  // beyond the calendar: whole units from now itself
    TraceTime(LevelInfo, "NextMntTime : {$}", t);
    if (now < t)
        return t;

    // The coming midnight by the calendar, not 24 hours after today's: on the day of a
    // daylight-saving change the two differ by the shift.
    std::int64_t next = precision == kDay ? LocalMidnight(now, 1) : -1;
    if (next <= now) {
        const std::int64_t step = StepTicks(precision);
        next = t + ((now - t) / step + 1) * step;
    }
    TraceTime(LevelInfo, "NextMntTime : {$}", next);
    return next;
}

}  // namespace Quorlin
