#pragma once
// Rolls when a local minute, hour or day boundary has passed: first at the coming boundary of the
// precision, then every interval after it (15m at 10:07:20 -> 10:08:00, 10:23:00, 10:38:00 ...).

#include <atomic>
#include <cstdint>

#include "file/TriggeringPolicy.h"

namespace Quorlin {

class TimeBasedTriggerPolicy : public TriggeringPolicy {
public:
    static constexpr std::int32_t kMinute = 2;
    static constexpr std::int32_t kHour = 3;
    static constexpr std::int32_t kDay = 4;

    // Daily, its first maintenance time already the coming local midnight.
    TimeBasedTriggerPolicy();
    ~TimeBasedTriggerPolicy() override = default;

    // "/fileNamePattern/value" sets the pattern; otherwise "/interval/value" the interval (15m, 6H, 1d).
    void SetOption(const DString& key, const DString& value) override;
    // The unit from the pattern's tokens or the interval's ending (minute before hour before day,
    // daily when neither names one), the interval's count of that unit (1 when it has none), then
    // the first maintenance time from now.
    void ActivateOptions() override;
    // Now has reached the maintenance time; one clock read, no lock.
    bool IsTriggered(const Appender* appender, const LoggingEvent* event, std::uint64_t fileSize) const override;
    // When due, moves the maintenance time on by one interval (once per due time, however many threads
    // call; days by the local calendar, so a daily roll stays at midnight when the clocks change) and
    // ends the writer's file with the maintenance line.
    void AdvanceSchedule(Writer* writer) override;

    // The first local boundary of a whole minute, hour or day (precision 2, 3 or 4) after now, in ticks.
    static std::int64_t ComputeNextMntTime(std::int32_t precision, std::int64_t now);

    std::int32_t GetPrecision() const { return m_Precision; }
    std::int32_t GetIntervalMinutes() const { return m_IntervalMinutes; }
    std::int64_t GetNextMntTime() const { return m_NextMntTime.load(std::memory_order_acquire); }

private:
    // The interval's count times the unit's minutes, corrected into 1 .. the int32 range.
    std::int32_t IntervalMinutes(std::int32_t unitMinutes) const;

    std::int32_t m_Precision = kDay;
    std::int32_t m_IntervalMinutes = 1440;
    std::atomic<std::int64_t> m_NextMntTime;
    DString m_Pattern;
    DString m_Interval;
};

}  // namespace Quorlin
