#pragma once
// Rolls when the file has reached a byte limit ("10MB", "512k", "4096").

#include <cstdint>

#include "file/TriggeringPolicy.h"

namespace Quorlin {

class SizeBasedTriggerPolicy : public TriggeringPolicy {
public:
    SizeBasedTriggerPolicy() = default;
    ~SizeBasedTriggerPolicy() override = default;

    // "/maxFileSize/value": a number with an optional G, M or K unit, with or without B, in one case
    // ("10MB", "10mb", "10m"); mixed forms such as "10Mb" are plain bytes.
    void SetOption(const DString& key, const DString& value) override;
    // Raises a limit under 4096 bytes to 4096 and reports the limit.
    void ActivateOptions() override;
    bool IsTriggered(const Appender* appender, const LoggingEvent* event, std::uint64_t fileSize) const override;
    void AdvanceSchedule(Writer* writer) override {}

    std::uint64_t GetMaxFileSize() const { return m_MaxFileSize; }

private:
    std::uint64_t m_MaxFileSize = 0x40000;
};

}  // namespace Quorlin
