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

#include "network/DiskSpool.h"
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

    // With a spool, records wait on disk while the collector is away (and what waits at the stop
    // stays there for the next run).
    SyslogSender(RecordQueue& queue, std::unique_ptr<SyslogTransport> transport, std::unique_ptr<DiskSpool> spool,
                 Settings settings);
    // Stops at once (what waits is left in the queue).
    ~SyslogSender();
    SyslogSender(const SyslogSender&) = delete;
    SyslogSender& operator=(const SyslogSender&) = delete;

    void Start();
    // Sends what waits for up to `milliseconds` more, then stops the thread and ends the connection.
    // Gives the records left unsent and not kept on disk.
    std::size_t Stop(std::uint32_t milliseconds);

    std::uint64_t Sent() const { return m_Sent.load(std::memory_order_relaxed); }
    // Whether records that do not fit in memory can go to the spool: a producer may then wait for
    // the sender to make room rather than drop its event.
    bool CanSpill() const { return m_SpoolRoom.load(std::memory_order_relaxed); }

private:
    void Run();
    bool EnsureConnected(std::uint32_t& delayMs);
    // Waits up to `milliseconds` or until Stop.
    void Pause(std::uint32_t milliseconds);
    bool PastDeadline() const;
    // Moves what waits in memory to the spool, oldest first, as far as it takes it.
    void Spill();
    bool HasWork();
    // Sends one batch, from the spool while it holds records, else from memory.
    void SendSome();

    RecordQueue& m_Queue;
    std::unique_ptr<SyslogTransport> m_Transport;
    Settings m_Settings;
    std::unique_ptr<DiskSpool> m_Spool;
    RecordBatch m_Batch;       // taken from memory, not yet delivered: newer than all the spool holds
    RecordBatch m_SpoolBatch;  // read from the spool, not yet delivered
    std::thread m_Thread;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::atomic<bool> m_Stopping{false};
    std::atomic<std::int64_t> m_Deadline{0};  // steady milliseconds; meaningful once stopping
    std::atomic<std::uint64_t> m_Sent{0};
    bool m_Connected = false;  // the sender thread's own
    std::atomic<bool> m_SpoolRoom{false};
    std::uint64_t m_FailedAttempts = 0;  // of the spell under way
    std::int64_t m_NextAttempt = 0;      // steady milliseconds
};

}  // namespace Quorlin
