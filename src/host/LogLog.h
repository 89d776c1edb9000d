#pragma once
// The framework's internal diagnostics channel.

#include <atomic>
#include <cstdint>

#include "utility/DString.h"

namespace Quorlin {

class QUORLIN_API LogSink {
public:
    virtual ~LogSink();
    virtual void Flush(std::int32_t level, const char* text, std::int32_t length) = 0;
    virtual void NewLine() = 0;
};

class QUORLIN_API LogLog {
public:
    // The diagnostics stream; null means diagnostics are off and no message is built.
    static std::atomic<LogSink*> gLogger;

    // Writes one diagnostic (nothing when off).
    static void Flush(std::int32_t level, const char* text, std::int32_t length);
    // Starts a new diagnostic group (a blank line on standard error).
    static void NewLine();
    // The system's text for an error code.
    static ORBEK::Utility::DString ErrorCodeToString(std::uint32_t code);

    // Turns diagnostics on (to standard error when sink is null) or off; returns the previous sink.
    static LogSink* SetSink(LogSink* sink);
    static LogSink* StandardErrorSink();
    static bool IsOn() { return gLogger.load(std::memory_order_relaxed) != nullptr; }
};

}  // namespace Quorlin
