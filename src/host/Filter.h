#pragma once
// Filters decide whether an appender takes an event.

#include <cstdint>

#include "LoggingEvent.h"

namespace Quorlin {

enum class FilterDecision : std::int8_t { Deny = -1, Neutral = 0, Accept = 1 };

class QUORLIN_API Filter {
public:
    virtual ~Filter();
    virtual FilterDecision Decide(const LoggingEvent& event) const = 0;
};

// Accepts levels in [min, max], denies the rest.
class QUORLIN_API LevelRangeFilter : public Filter {
public:
    LevelRangeFilter(std::int32_t min, std::int32_t max) : m_Min(min), m_Max(max) {}
    FilterDecision Decide(const LoggingEvent& event) const override;

private:
    std::int32_t m_Min, m_Max;
};

}  // namespace Quorlin
