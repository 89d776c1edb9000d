#pragma once
// The thread that takes records from the queue and sends them: it connects, sends in batches,
// reconnects after a failure with a growing delay, and reports each spell of failures once.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "network/RecordQueue.h"
#include "network/SyslogTransport.h"

namespace Quorlin {

class SyslogSender {
public:
    struct Settings {
        std::int32_t instance = 0;      // the appender's number, for the diagnostics
        std::string target;             // "tcp://host:port", for the diagnostics
        std::uint32_t maxDelayMs = 30000;  // the longest wait between two connection attempts
    };

    SyslogSender(RecordQueue& queue, std::unique_ptr<SyslogTransport> transport, Settings settings);
    // Stops at once (what waits is left in the queue).
    ~SyslogSender();
    SyslogSender(const SyslogSender&) = delete;
    SyslogSender& operator=(const SyslogSender&) = delete;

    void Start();
    // Sends what waits for up to `milliseconds` more, then stops the thread and ends the connection.
    // Gives the records left unsent (still in the queue, or taken out and not delivered).
    std::size_t Stop(std::uint32_t milliseconds);

    std::uint64_t Sent() const { return m_Sent.load(std::memory_order_relaxed); }
    bool Connected() const { return m_Connected.load(std::memory_order_relaxed); }

private:
    void Run();
    bool EnsureConnected(std::uint32_t& delayMs);
    // Waits up to `milliseconds` or until Stop.
    void Pause(std::uint32_t milliseconds);
    bool PastDeadline() const;

    RecordQueue& m_Queue;
    std::unique_ptr<SyslogTransport> m_Transport;
    Settings m_Settings;
    RecordBatch m_Batch;
    std::thread m_Thread;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::atomic<bool> m_Stopping{false};
    std::atomic<std::int64_t> m_Deadline{0};  // ticks; meaningful once stopping
    std::atomic<std::uint64_t> m_Sent{0};
    std::atomic<bool> m_Connected{false};
    std::uint64_t m_FailedAttempts = 0;  // of the spell under way
    std::int64_t m_NextAttempt = 0;      // ticks
};

}  // namespace Quorlin
