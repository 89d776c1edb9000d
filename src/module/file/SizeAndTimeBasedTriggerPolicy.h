#pragma once
// Rolls when the file has reached its byte limit or a time boundary has passed, whichever comes first.

#include <cstdint>

#include "file/SizeBasedTriggerPolicy.h"
#include "file/TimeBasedTriggerPolicy.h"

namespace Quorlin {

class SizeAndTimeBasedTriggerPolicy : public TriggeringPolicy {
public:
    SizeAndTimeBasedTriggerPolicy() = default;
    ~SizeAndTimeBasedTriggerPolicy() override = default;  // the time policy goes first, then the size policy

    // Each call goes to the size policy first, then to the time policy.
    void SetOption(const DString& key, const DString& value) override;
    void ActivateOptions() override;
    // The size policy first; the clock is read only when the size has not been reached.
    bool IsTriggered(const Appender* appender, const LoggingEvent* event, std::uint64_t fileSize) const override;
    // The time schedule moves only if its own time has come, not when the size alone triggered.
    void AdvanceSchedule(Writer* writer) override;

    const SizeBasedTriggerPolicy& GetSizePolicy() const { return m_SizePolicy; }
    const TimeBasedTriggerPolicy& GetTimePolicy() const { return m_TimePolicy; }

private:
    SizeBasedTriggerPolicy m_SizePolicy;
    TimeBasedTriggerPolicy m_TimePolicy;
};

}  // namespace Quorlin
