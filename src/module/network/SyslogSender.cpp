#include "SyslogSender.h"

#include <algorithm>
#include <chrono>

#include "diagnostics/Trace.h"
#include "os/Process.h"

namespace Quorlin {
namespace {

constexpr std::uint32_t kFirstDelayMs = 100;
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr std::uint32_t kIdleWaitMs = 200;

// Milliseconds of a clock that never jumps: waits and deadlines must not follow the system clock.
std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

SyslogSender::SyslogSender(RecordQueue& queue, std::unique_ptr<SyslogTransport> transport, std::unique_ptr<DiskSpool> spool,
                           Settings settings)
    : m_Queue(queue), m_Transport(std::move(transport)), m_Settings(std::move(settings)), m_Spool(std::move(spool))
{
}

SyslogSender::~SyslogSender() { Stop(0); }

void SyslogSender::Start()
{
    // Before the first event: a logging thread that finds memory full must know whether it can wait.
    if (m_Spool) {
        std::string error;
        if (!m_Spool->Open(error)) {
            Trace(LevelError, "[{$}] SyslogAppender, {$}; events wait in memory only", m_Settings.instance, error.c_str());
            m_Spool.reset();
        }
        m_SpoolRoom = m_Spool != nullptr;
    }
    m_Stopping = false;
    m_Thread = std::thread([this] { Run(); });
}

std::size_t SyslogSender::Stop(std::uint32_t milliseconds)
{
    if (m_Thread.joinable()) {
        m_Deadline = NowMs() + static_cast<std::int64_t>(milliseconds);
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Stopping = true;
        }
        m_Wake.notify_all();
        m_Queue.Wake();
        m_Thread.join();
    }
    return m_Batch.Count() + m_SpoolBatch.Count() + m_Queue.Records();
}

bool SyslogSender::PastDeadline() const { return m_Stopping.load() && NowMs() >= m_Deadline.load(); }

void SyslogSender::Pause(std::uint32_t milliseconds)
{
    // Stop wakes a pause once; after that the pauses of a stopping sender sleep out their time.
    std::unique_lock<std::mutex> lock(m_Mutex);
    const bool stopping = m_Stopping.load();
    m_Wake.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m_Stopping.load() != stopping; });
}

bool SyslogSender::EnsureConnected(std::uint32_t& delayMs)
{
    if (m_Connected)
        return true;
    const std::int64_t now = NowMs();
    if (now < m_NextAttempt) {
        std::int64_t until = m_NextAttempt;
        if (m_Stopping)
            until = std::min(until, m_Deadline.load());  // the close waits no longer than it said
        const std::uint32_t ms = static_cast<std::uint32_t>(until - now) + 1;
        // With a spool, a queue filling up is moved to disk at once, not at the next attempt.
        if (until > now && m_Spool && !m_Stopping)
            m_Queue.WaitForPressure(ms);
        else if (until > now)
            Pause(ms);
        return false;
    }
    std::string error;
    if (!m_Transport->Connect(error)) {
        if (m_FailedAttempts++ == 0)
            Trace(LevelError, "[{$}] SyslogAppender, cannot connect to [{$}]: {$}; events wait in the queue, trying again",
                  m_Settings.instance, m_Settings.target.c_str(), error.c_str());
        m_NextAttempt = NowMs() + static_cast<std::int64_t>(delayMs);
        delayMs = std::min(delayMs * 2, std::max(m_Settings.maxDelayMs, kFirstDelayMs));
        return false;
    }
    if (m_FailedAttempts > 0)
        Trace(LevelError, "[{$}] SyslogAppender, connected to [{$}] again after {$} failed attempts", m_Settings.instance,
              m_Settings.target.c_str(), m_FailedAttempts);
    else
        Trace(LevelInfo, "[{$}] SyslogAppender, connected to [{$}]", m_Settings.instance, m_Settings.target.c_str());
    m_FailedAttempts = 0;
    delayMs = kFirstDelayMs;
    m_Connected = true;
    return true;
}

void SyslogSender::Spill()
{
    if (!m_Spool)
        return;
    if (!m_Batch.Empty()) {
        m_Batch.DropFront(m_Spool->Write(m_Batch));
        if (!m_Batch.Empty()) {
            m_SpoolRoom = false;  // full: the rest waits in memory, in order
            return;
        }
    }
    while (m_Queue.Take(m_Batch, kBatchBytes) > 0) {
        m_Batch.DropFront(m_Spool->Write(m_Batch));
        if (!m_Batch.Empty()) {
            m_SpoolRoom = false;
            return;
        }
    }
}

bool SyslogSender::HasWork()
{
    if (!m_Batch.Empty() || !m_SpoolBatch.Empty() || (m_Spool && !m_Spool->Empty()))
        return true;
    return m_Queue.WaitForRecords(m_Stopping ? 0 : kIdleWaitMs);
}

void SyslogSender::SendSome()
{
    RecordBatch* source = &m_SpoolBatch;
    if (m_SpoolBatch.Empty() && !(m_Spool && m_Spool->Read(m_SpoolBatch, kBatchBytes) > 0)) {
        source = &m_Batch;
        if (m_Batch.Empty())
            m_Queue.Take(m_Batch, kBatchBytes);
        if (m_Batch.Empty())
            return;
    }
    std::size_t delivered = 0;
    std::string error;
    const bool ok = m_Transport->Send(*source, delivered, error);
    m_Sent.fetch_add(delivered, std::memory_order_relaxed);
    source->DropFront(delivered);
    if (source == &m_SpoolBatch) {
        m_Spool->Delivered(delivered);
        if (delivered > 0)
            m_SpoolRoom = true;
    }
    if (!ok) {
        Trace(LevelError, "[{$}] SyslogAppender, {$}; reconnecting, {$} events wait", m_Settings.instance, error.c_str(),
              m_SpoolBatch.Count() + m_Batch.Count() + m_Queue.Records());
        m_Transport->Disconnect();
        m_Connected = false;
        m_NextAttempt = 0;  // the first attempt at once: most failures are a restarted collector
        m_FailedAttempts = 1;
    }
}

void SyslogSender::Run()
{
    os::SetCurrentThreadName("Quorlin.Syslog");
    std::uint32_t delayMs = kFirstDelayMs;
    while (!PastDeadline()) {
        if (!HasWork()) {
            if (m_Stopping)
                break;
            continue;
        }
        if (!m_Connected) {
            // Away from the collector, memory is kept free for the logging threads.
            Spill();
            if (!EnsureConnected(delayMs))
                continue;
        } else if (m_Spool && m_Queue.UnderPressure()) {
            Spill();  // a collector slower than the logging threads: the excess waits on disk, in order
        }
        SendSome();
    }
    m_Transport->Disconnect();
    m_Connected = false;
    m_SpoolRoom = false;
    if (m_Spool) {
        // What is read from the spool and not delivered is still in its file.
        m_SpoolBatch.Clear();
        Spill();
        m_Spool->Keep();
    }
}

}  // namespace Quorlin
