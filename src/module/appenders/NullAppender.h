#pragma once
// "Appender.Null": counts and discards events, optionally after the layout pass and a sleep, so that
// the cost of logging can be measured.

#include <cstdint>

#include "appenders/ShardedCount.h"
#include "host/Appender.h"

namespace Quorlin {

class NullAppender : public Appender {
public:
    NullAppender();
    // Resets the count, then opens.
    bool Open() override;
    // Writes "NullAppender.Close, m_nCount=N" to standard output (and to the diagnostics when on).
    void Close() override;
    // Refusals, the layout pass into the per-thread layout buffer (text discarded), the count, the sleep.
    void Append(const LoggingEvent* event) override;
    // "sleep/value": milliseconds to sleep after each accepted event (0 or less: none).
    void SetOption(const DString& key, const DString& value) override;

    std::int32_t GetCount() const { return static_cast<std::int32_t>(m_nCount.Total()); }
    std::int32_t GetSleep() const { return m_msSleep; }

private:
    std::int32_t m_msSleep = 0;
    // Producers on other cores increment it on every event: each in a cache line of its own, and the
    // fields they only read (closed flag, threshold, layout, m_msSleep) stay out of that traffic.
    alignas(64) ShardedCount m_nCount;
};

}  // namespace Quorlin
