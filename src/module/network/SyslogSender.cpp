#include "SyslogSender.h"

#include <algorithm>

#include "diagnostics/Trace.h"
#include "os/Clock.h"
#include "os/Process.h"

namespace Quorlin {
namespace {

constexpr std::uint32_t kFirstDelayMs = 100;
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr std::uint32_t kIdleWaitMs = 200;
constexpr std::int64_t kTicksPerMs = 10000;

}  // namespace

SyslogSender::SyslogSender(RecordQueue& queue, std::unique_ptr<SyslogTransport> transport, Settings settings)
    : m_Queue(queue), m_Transport(std::move(transport)), m_Settings(std::move(settings))
{
}

SyslogSender::~SyslogSender() { Stop(0); }

void SyslogSender::Start()
{
    m_Stopping = false;
    m_Thread = std::thread([this] { Run(); });
}

std::size_t SyslogSender::Stop(std::uint32_t milliseconds)
{
    if (m_Thread.joinable()) {
        m_Deadline = os::NowTicks() + static_cast<std::int64_t>(milliseconds) * kTicksPerMs;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Stopping = true;
        }
        m_Wake.notify_all();
        m_Queue.Wake();
        m_Thread.join();
    }
    return m_Batch.Count() + m_Queue.Records();
}

bool SyslogSender::PastDeadline() const { return m_Stopping.load() && os::NowTicks() >= m_Deadline.load(); }

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
    const std::int64_t now = os::NowTicks();
    if (now < m_NextAttempt) {
        std::int64_t until = m_NextAttempt;
        if (m_Stopping)
            until = std::min(until, m_Deadline.load());  // the close waits no longer than it said
        if (until > now)
            Pause(static_cast<std::uint32_t>((until - now) / kTicksPerMs) + 1);
        return false;
    }
    std::string error;
    if (!m_Transport->Connect(error)) {
        if (m_FailedAttempts++ == 0)
            Trace(LevelError, "[{$}] SyslogAppender, cannot connect to [{$}]: {$}; events wait in the queue, trying again",
                  m_Settings.instance, m_Settings.target.c_str(), error.c_str());
        m_NextAttempt = os::NowTicks() + static_cast<std::int64_t>(delayMs) * kTicksPerMs;
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

void SyslogSender::Run()
{
    os::SetCurrentThreadName("Quorlin.Syslog");
    std::uint32_t delayMs = kFirstDelayMs;
    while (!PastDeadline()) {
        // Records stay in the queue until there is a connection to send them over, so that the
        // queue's size bounds what waits.
        if (m_Batch.Empty() && !m_Queue.WaitForRecords(m_Stopping ? 0 : kIdleWaitMs)) {
            if (m_Stopping)
                break;
            continue;
        }
        if (!EnsureConnected(delayMs))
            continue;
        if (m_Batch.Empty())
            m_Queue.Take(m_Batch, kBatchBytes, 0);
        std::size_t delivered = 0;
        std::string error;
        const bool ok = m_Transport->Send(m_Batch, delivered, error);
        m_Sent.fetch_add(delivered, std::memory_order_relaxed);
        m_Batch.DropFront(delivered);
        if (!ok) {
            Trace(LevelError, "[{$}] SyslogAppender, {$}; reconnecting, {$} events wait", m_Settings.instance, error.c_str(),
                  m_Batch.Count() + m_Queue.Records());
            m_Transport->Disconnect();
            m_Connected = false;
            m_NextAttempt = 0;  // the first attempt at once: most failures are a restarted collector
            m_FailedAttempts = 1;
        }
    }
    m_Transport->Disconnect();
    m_Connected = false;
}

}  // namespace Quorlin
