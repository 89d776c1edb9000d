#pragma once
// When the rolling file appender's current file must roll over. The appender feeds a policy its
// options, activates it once, asks IsTriggered after every event (from any number of threads, no lock)
// and, for each trigger it confirms under its exclusive lock, calls AdvanceSchedule before rolling.

#include <cstdint>

#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::DString;

class Appender;
struct LoggingEvent;
class Writer;

class TriggeringPolicy {
public:
    TriggeringPolicy() = default;
    virtual ~TriggeringPolicy() = default;
    TriggeringPolicy(const TriggeringPolicy&) = delete;
    TriggeringPolicy& operator=(const TriggeringPolicy&) = delete;

    // Takes one option; keys are matched by containment, unknown ones ignored.
    virtual void SetOption(const DString& key, const DString& value) = 0;
    // Validates and derives the settings after all options, correcting bad values with a diagnostic.
    virtual void ActivateOptions() = 0;
    // Whether the file must roll now, given the bytes written to it so far. Safe on many threads at once.
    virtual bool IsTriggered(const Appender* appender, const LoggingEvent* event, std::uint64_t fileSize) const = 0;
    // Called once per confirmed trigger, just before the roll-over, with the appender's writer (may be null).
    virtual void AdvanceSchedule(Writer* writer) = 0;
};

}  // namespace Quorlin
