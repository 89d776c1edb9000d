#include "AsyncBufferingForwardAppender.h"

#include <cstdio>

#include "frame/Trace.h"
#include "host/ConfigManager.h"
#include "os/Clock.h"
#include "os/Process.h"

namespace Quorlin {
namespace {

constexpr int kClosePasses = 10;
constexpr std::uint32_t kClosePassSleepMs = 50;

// Each tier pauses a producer when the worker is that many packet limits behind.
struct PauseTier {
    std::int64_t limits;
    std::uint32_t milliseconds;
};
constexpr PauseTier kPauseTiers[] = {{65'536, 500}, {4'096, 200}, {1'024, 100}, {256, 50}};

} // namespace

AsyncBufferingForwardAppender::AsyncBufferingForwardAppender()
{
    SetTypeName(DString("Appender.AsyncBufferingForward"));
}

AsyncBufferingForwardAppender::~AsyncBufferingForwardAppender()
{
    try {
        Close();
    } catch (...) {
        // A referenced appender failed to close; destruction goes on regardless.
    }
}

std::vector<std::shared_ptr<Appender>> AsyncBufferingForwardAppender::ResolveNames() const
{
    std::vector<std::shared_ptr<Appender>> found;
    for (const DString& name : m_RefNames)
        if (auto appender = Detail::ConfigManager::FindAppender(name))
            found.push_back(std::move(appender));
    return found;
}

std::vector<std::shared_ptr<Appender>> AsyncBufferingForwardAppender::ReferencedAppenders() const
{
    std::vector<std::shared_ptr<Appender>> all = ResolveNames();
    std::lock_guard<std::mutex> sending(m_SendMutex);
    all.insert(all.end(), m_RefAppenders.begin(), m_RefAppenders.end());
    return all;
}

bool AsyncBufferingForwardAppender::Open()
{
    LogLog::NewLine();
    Trace(50000, "[{$}] Enter AsyncBufferingForward::Open", m_InstanceNumber);
    {
        std::lock_guard<std::mutex> sending(m_SendMutex);
        m_RefAppenders.clear();
    }
    std::vector<std::shared_ptr<Appender>> found = ResolveNames();
    if (RefusesCycle(found, "AsyncBufferingForward::Open"))
        return false;
    for (const auto& appender : found) {
        if (appender->IsClosed())
            appender->Open();
        Trace(50000, "[{$}] AsyncBufferingForward, Ref-Appender : {$}", m_InstanceNumber, appender->GetName());
    }
    const std::size_t count = found.size();
    {
        std::lock_guard<std::mutex> sending(m_SendMutex);
        m_RefAppenders = std::move(found);
    }
    if (count == 0)
        return BufferingAppender::Open();  // nothing to forward to: the schedule stays idle
    Trace(50000, "[{$}] AsyncBufferingForward::Open, NbOfRefAppender : {$}", m_InstanceNumber, count);
    m_Schedule.SetPoolName(kPoolName);
    m_Schedule.SetKeepAliveTime(kKeepAlive);
    m_Schedule.Init(0, 1);
    m_Schedule.Clear();
    m_Schedule.Repeat(kRepeatInterval).Async(&AsyncBufferingForwardAppender::THSendBuffer, this);
    return BufferingAppender::Open();
}

void AsyncBufferingForwardAppender::Close()
{
    LogLog::NewLine();
    LogLog::NewLine();
    Trace(50000, "[{$}] ----> Enter AsyncBufferingForward.Close", m_InstanceNumber);
    // With this thread alone in the process there is no worker to wait for.
    if (os::ThreadCountOfProcess() > 1) {
        m_Schedule.Wakeup();
        for (int pass = 0; pass < kClosePasses; ++pass) {
            if (m_Queue.Size() == 0 || m_Schedule.GetWorkerCount() <= 0)
                break;
            m_Schedule.Wakeup();
            os::SleepMs(kClosePassSleepMs);
            Trace(50000, "[{$}] AsyncBufferingForward.Close.1, {$}", m_InstanceNumber, pass);
        }
        m_Schedule.Shutdown(kShutdownTimeout);
    }
    Trace(50000, "[{$}] AsyncBufferingForward.Close.3", m_InstanceNumber);

    std::vector<std::shared_ptr<Appender>> released;
    {
        // Waits for a worker still forwarding after the time-out: it holds this lock while it walks
        // the referenced appenders, and its batch must reach them before the rest does.
        std::lock_guard<std::mutex> sending(m_SendMutex);
        // Sealed in the same step as the rest is taken: an event is either forwarded here or refused.
        const int remain = Forward(m_Queue.Seal());
        const DString line = Format("[{$}] Leave AsyncBufferingForward.SendRemain, NbOfPkt : {$}", m_InstanceNumber, remain);
        TraceText(50000, line);
        std::fwrite(line.c_str(), 1, static_cast<std::size_t>(line.GetLength()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        Trace(50000, "[{$}] AsyncBufferingForward.Close.4", m_InstanceNumber);
        for (const auto& appender : m_RefAppenders)
            appender->Close();
        Trace(50000, "[{$}] AsyncBufferingForward.Close.5", m_InstanceNumber);
        released.swap(m_RefAppenders);
    }
    BufferingAppender::Close();
    Trace(50000, "[{$}] Leave AsyncBufferingForward.Close", m_InstanceNumber);
    LogLog::NewLine();
}

void AsyncBufferingForwardAppender::Append(const LoggingEvent* event)
{
    if (IsClosed())
        return;
    BufferingAppender::Append(event);
    // Also after an event the threshold or the filters refused: the worker is nudged and producers
    // are held back by what is waiting, not by what they send.
    StrategyStep(*event);
    PauseStep();
}

void AsyncBufferingForwardAppender::StrategyStep(const LoggingEvent& event)
{
    if (!m_Strategy) {
        SleepShort();
        return;
    }
    switch (m_Strategy(*this, event)) {
    case 1:
        m_Schedule.Wakeup();
        break;
    case 2:
        m_Schedule.Reschedule(kRescheduleDelay);
        break;
    case 3:
        SleepShort();
        break;
    default:
        break;
    }
}

void AsyncBufferingForwardAppender::SleepShort()
{
    // Posting the task that is already posted adds nothing and allocates nothing; the future is dropped.
    m_Schedule.Repeat(kRepeatInterval).Async(&AsyncBufferingForwardAppender::THSendBuffer, this);
    Trace(50000, "Leave AsyncBufferingForwardAppender::SleepShort");
}

void AsyncBufferingForwardAppender::PauseStep()
{
    // 64-bit thresholds: with large limits L x 65,536 does not fit 32 bits. A negative limit never pauses.
    const std::int64_t limit = m_LimitOfPkt;
    if (limit < 0)
        return;
    const auto waiting = static_cast<std::int64_t>(m_Queue.Size());
    for (const PauseTier& tier : kPauseTiers) {
        if (waiting > limit * tier.limits) {
            os::SleepMs(tier.milliseconds);
            return;
        }
    }
}

void AsyncBufferingForwardAppender::SendBuffer()
{
    if (LogLog::IsOn()) {
        const LogPacketQueue::Counts counts = m_Queue.GetCounts();
        Trace(50000, "[{$}] Enter AsyncBufferingForward.SendBuffer, NbOfPkt : {$}, NbOfBytes : {$}", m_InstanceNumber,
              counts.packets, counts.bytes);
    }
    m_Schedule.Wakeup();
}

void AsyncBufferingForwardAppender::THSendBuffer()
{
    // The pool is the maker's library and knows nothing of this module's platform layer, so the
    // worker is named from here, once per thread.
    thread_local bool named = false;
    if (!named) {
        os::SetCurrentThreadName(m_Schedule.GetPoolName().c_str());
        named = true;
    }
    int taken = 0;
    {
        std::lock_guard<std::mutex> sending(m_SendMutex);
        taken = Drain();
    }
    if (LogLog::IsOn())
        TraceText(50000, Format("[{$}] Leave AsyncBufferingForward.THSendBuffer, NbOfPkt : {$}", m_InstanceNumber, taken));
}

int AsyncBufferingForwardAppender::Drain()
{
    std::unique_ptr<LogPacket> single;
    LogPacketQueue::Packets many;
    const std::size_t taken = m_Queue.Take(single, many);
    if (single) {
        for (const auto& appender : m_RefAppenders)
            appender->Append(single.get());
        return 1;
    }
    Forward(std::move(many));
    return static_cast<int>(taken);
}

int AsyncBufferingForwardAppender::Forward(LogPacketQueue::Packets packets)
{
    for (auto& packet : packets) {
        for (const auto& appender : m_RefAppenders)
            appender->Append(packet.get());
        packet.reset();
    }
    return static_cast<int>(packets.size());
}

void AsyncBufferingForwardAppender::SetOption(const DString& key, const DString& value)
{
    if (key.Find("appender-ref/ref") == 0) {
        m_RefNames.push_back(value);
        return;
    }
    if (key.NCFind("AsyncBufferingForward/Strategy/value") == 0) {
        const int strategy = value.To<int>();
        m_Strategy = [strategy](AsyncBufferingForwardAppender&, const LoggingEvent&) { return strategy; };
        return;
    }
    {
        std::lock_guard<std::mutex> sending(m_SendMutex);
        for (const auto& appender : m_RefAppenders)
            appender->SetOption(key, value);
    }
    BufferingAppender::SetOption(key, value);
}

void AsyncBufferingForwardAppender::ActivateOptions()
{
    std::lock_guard<std::mutex> sending(m_SendMutex);
    for (const auto& appender : m_RefAppenders)
        appender->ActivateOptions();
}

} // namespace Quorlin
