#include "AsyncBufferingForwardAppender.h"

#include <cstdio>

#include "diagnostics/LostEvents.h"
#include "diagnostics/Trace.h"
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
// A pause looks at the backlog again after each slice.
constexpr std::uint32_t kPauseSliceMs = 1;

}  // namespace

AsyncBufferingForwardAppender::AsyncBufferingForwardAppender() { SetTypeName(DString("Appender.AsyncBufferingForward")); }

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

std::shared_ptr<const AsyncBufferingForwardAppender::Targets> AsyncBufferingForwardAppender::CurrentTargets() const
{
    std::lock_guard<std::mutex> guard(m_ListMutex);
    return m_RefAppenders;
}

void AsyncBufferingForwardAppender::SetTargets(Targets targets)
{
    auto published = targets.empty() ? nullptr : std::make_shared<const Targets>(std::move(targets));
    std::lock_guard<std::mutex> guard(m_ListMutex);
    m_RefAppenders.swap(published);
}

std::vector<std::shared_ptr<Appender>> AsyncBufferingForwardAppender::ReferencedAppenders() const
{
    std::vector<std::shared_ptr<Appender>> all = ResolveNames();
    if (const auto targets = CurrentTargets())
        all.insert(all.end(), targets->begin(), targets->end());
    return all;
}

void AsyncBufferingForwardAppender::ForwardingTurn::Take()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Free.wait(lock, [this] { return !m_Taken; });
    m_Taken = true;
}

bool AsyncBufferingForwardAppender::ForwardingTurn::TakeWithin(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (!m_Free.wait_for(lock, wait, [this] { return !m_Taken; }))
        return false;
    m_Taken = true;
    return true;
}

void AsyncBufferingForwardAppender::ForwardingTurn::Give()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Taken = false;
    }
    m_Free.notify_all();
}

bool AsyncBufferingForwardAppender::Open()
{
    LogLog::NewLine();
    Trace(LevelInfo, "[{$}] Enter AsyncBufferingForward::Open", m_InstanceNumber);
    if (m_Abandoned.load()) {
        // The last Close gave up on a worker stuck in a referenced appender; it must be gone before
        // anything is forwarded again, or it would go on with its old batch.
        m_Schedule.Init(0, 1);
        m_Abandoned.store(false);
    }
    m_FailedDeliveries.store(0);
    SetTargets({});
    Targets found = ResolveNames();
    if (RefusesCycle(found, "AsyncBufferingForward::Open"))
        return false;
    for (const auto& appender : found) {
        if (appender->IsClosed())
            appender->Open();
        Trace(LevelInfo, "[{$}] AsyncBufferingForward, Ref-Appender : {$}", m_InstanceNumber, appender->GetName());
    }
    const std::size_t count = found.size();
    SetTargets(std::move(found));
    if (count == 0)
        return BufferingAppender::Open();  // nothing to forward to: the schedule stays idle
    Trace(LevelInfo, "[{$}] AsyncBufferingForward::Open, NbOfRefAppender : {$}", m_InstanceNumber, count);
    m_Schedule.SetPoolName(kPoolName);
    m_Schedule.SetKeepAliveTime(kKeepAlive);
    m_Schedule.Init(0, 1);
    m_Schedule.Clear();
    m_Schedule.Repeat(kRepeatInterval).Async(&AsyncBufferingForwardAppender::THSendBuffer, this);
    return BufferingAppender::Open();
}

namespace {

void PrintLine(const DString& line)
{
    std::fwrite(line.c_str(), 1, static_cast<std::size_t>(line.GetLength()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

void AsyncBufferingForwardAppender::Close()
{
    LogLog::NewLine();
    LogLog::NewLine();
    Trace(LevelInfo, "[{$}] ----> Enter AsyncBufferingForward.Close", m_InstanceNumber);
    DrainAndStopWorker();
    Trace(LevelInfo, "[{$}] AsyncBufferingForward.Close.3", m_InstanceNumber);

    // A worker still forwarding after the time-out gets a last grace: its batch must reach the
    // appenders before the rest does.
    const bool workerDone = m_ForwardTurn.TakeWithin(kForwardGrace);
    const std::shared_ptr<const Targets> targets = CurrentTargets();
    Appender* const stuckIn = ForwardRest(workerDone, targets ? *targets : Targets{});
    ReportFailedDeliveries();
    Trace(LevelInfo, "[{$}] AsyncBufferingForward.Close.4", m_InstanceNumber);
    if (targets)
        CloseTargets(*targets, stuckIn);
    Trace(LevelInfo, "[{$}] AsyncBufferingForward.Close.5", m_InstanceNumber);
    SetTargets({});
    if (workerDone)
        m_ForwardTurn.Give();
    BufferingAppender::Close();
    Trace(LevelInfo, "[{$}] Leave AsyncBufferingForward.Close", m_InstanceNumber);
    LogLog::NewLine();
}

void AsyncBufferingForwardAppender::DrainAndStopWorker()
{
    // With this thread alone in the process there is no worker to wait for.
    if (os::ThreadCountOfProcess() <= 1)
        return;
    m_Schedule.Wakeup();
    for (int pass = 0; pass < kClosePasses; ++pass) {
        if (m_Queue.Size() == 0 || m_Schedule.GetWorkerCount() <= 0)
            break;
        m_Schedule.Wakeup();
        os::SleepMs(kClosePassSleepMs);
        Trace(LevelInfo, "[{$}] AsyncBufferingForward.Close.1, {$}", m_InstanceNumber, pass);
    }
    m_Schedule.Shutdown(kShutdownTimeout);
}

Appender* AsyncBufferingForwardAppender::ForwardRest(bool workerDone, const Targets& targets)
{
    // Sealed in the same step as the rest is taken: an event is either forwarded here or refused.
    LogPacketQueue::Packets rest = m_Queue.Seal();
    int remain = 0;
    Appender* stuckIn = nullptr;
    if (workerDone) {
        remain = Forward(rest.data(), rest.size(), targets);
    } else {
        m_Abandoned.store(true);
        stuckIn = m_BusyIn.load();
    }
    const DString line = Format("[{$}] Leave AsyncBufferingForward.SendRemain, NbOfPkt : {$}", m_InstanceNumber, remain);
    TraceText(LevelInfo, line);
    PrintLine(line);
    if (!workerDone)
        ReportAbandoned(static_cast<std::int64_t>(rest.size()), stuckIn);
    m_Queue.Recycle(rest);
    return stuckIn;
}

void AsyncBufferingForwardAppender::ReportAbandoned(std::int64_t unsent, const Appender* stuckIn)
{
    const std::int64_t lost = unsent + m_InFlight.load();
    const DString gaveUp = Format(
        "[{$}] AsyncBufferingForward.Close, Ref-Appender {$} did not return in time, NbOfPkt not delivered : {$}",
        m_InstanceNumber, stuckIn ? stuckIn->GetName() : DString("?"), lost);
    TraceText(LevelError, gaveUp);
    PrintLine(gaveUp);
    LostEvents::Add(m_Name, static_cast<std::uint64_t>(lost));
}

void AsyncBufferingForwardAppender::ReportFailedDeliveries()
{
    if (const std::int64_t failed = m_FailedDeliveries.load()) {
        Trace(LevelError, "[{$}] AsyncBufferingForward.Close, NbOfFailedDeliveries : {$}", m_InstanceNumber, failed);
        LostEvents::Add(m_Name, static_cast<std::uint64_t>(failed));
    }
}

void AsyncBufferingForwardAppender::CloseTargets(const Targets& targets, const Appender* stuckIn)
{
    for (const auto& appender : targets) {
        // The abandoned worker is still inside this one; closing it under the call could hang
        // here too. Its own owner closes it.
        if (appender.get() == stuckIn)
            continue;
        appender->Close();
    }
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
    case kStrategyWakeWorker: m_Schedule.Wakeup(); break;
    case kStrategyDelayWorker: m_Schedule.Reschedule(kRescheduleDelay); break;
    case kStrategyKeepPosted: SleepShort(); break;
    default: break;
    }
}

void AsyncBufferingForwardAppender::SleepShort()
{
    // Posting the task that is already posted adds nothing and allocates nothing; the future is dropped.
    m_Schedule.Repeat(kRepeatInterval).Async(&AsyncBufferingForwardAppender::THSendBuffer, this);
    Trace(LevelInfo, "Leave AsyncBufferingForwardAppender::SleepShort");
}

void AsyncBufferingForwardAppender::PauseStep()
{
    // 64-bit thresholds: with large limits L x 65,536 does not fit 32 bits. A negative limit never pauses.
    const std::int64_t limit = m_LimitOfPkt;
    if (limit < 0)
        return;
    const auto waiting = [this] { return static_cast<std::int64_t>(m_Queue.Size()); };
    for (const PauseTier& tier : kPauseTiers) {
        const std::int64_t threshold = limit * tier.limits;
        if (waiting() <= threshold)
            continue;
        // The tier's time is the longest the pause lasts: it ends as soon as the worker has brought
        // the backlog back under the threshold, so that producers never sleep while it sits idle.
        // Slices are counted and timed: a slice that oversleeps does not lengthen the pause.
        m_Schedule.Wakeup();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(tier.milliseconds);
        for (std::uint32_t slept = 0; slept < tier.milliseconds && waiting() > threshold; slept += kPauseSliceMs) {
            os::SleepMs(kPauseSliceMs);
            if (std::chrono::steady_clock::now() >= deadline)
                break;
        }
        return;
    }
}

void AsyncBufferingForwardAppender::SendBuffer()
{
    if (LogLog::IsOn()) {
        const LogPacketQueue::Counts counts = m_Queue.GetCounts();
        Trace(LevelInfo, "[{$}] Enter AsyncBufferingForward.SendBuffer, NbOfPkt : {$}, NbOfBytes : {$}", m_InstanceNumber,
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
    m_ForwardTurn.Take();
    if (!m_Abandoned.load()) {
        const std::shared_ptr<const Targets> targets = CurrentTargets();
        taken = Drain(targets ? *targets : Targets{});
    }
    m_ForwardTurn.Give();
    if (LogLog::IsOn())
        TraceText(LevelInfo, Format("[{$}] Leave AsyncBufferingForward.THSendBuffer, NbOfPkt : {$}", m_InstanceNumber, taken));
}

int AsyncBufferingForwardAppender::Drain(const Targets& targets)
{
    // A lone packet is taken out on its own, so that the queue keeps its storage for the next one.
    std::unique_ptr<LogPacket> single;
    LogPacketQueue::Packets many;
    const std::size_t taken = m_Queue.Take(single, many);
    int whole = 0;
    if (single) {
        whole = Forward(&single, 1, targets);
        m_Queue.Recycle(std::move(single));
    } else {
        whole = Forward(many.data(), many.size(), targets);
        m_Queue.Recycle(many);
    }
    if (static_cast<std::size_t>(whole) < taken)
        Trace(LevelError, "[{$}] AsyncBufferingForward.THSendBuffer, abandoned by Close, NbOfPkt not delivered : {$}",
              m_InstanceNumber, taken - static_cast<std::size_t>(whole));
    return static_cast<int>(taken);
}

int AsyncBufferingForwardAppender::Forward(std::unique_ptr<LogPacket>* packets, std::size_t count, const Targets& targets)
{
    m_InFlight.store(static_cast<std::int64_t>(count));
    std::size_t whole = 0;
    bool abandoned = false;
    for (; whole < count && !abandoned; ++whole) {
        for (const auto& appender : targets) {
            // Published before the flag is read: a Close that sets the flag afterwards sees which
            // appender this thread is still in.
            m_BusyIn.store(appender.get());
            if (m_Abandoned.load()) {
                abandoned = true;
                break;
            }
            Deliver(*appender, *packets[whole]);
        }
        m_BusyIn.store(nullptr);
        if (abandoned)
            break;
        m_InFlight.fetch_sub(1);
    }
    m_InFlight.store(0);
    return static_cast<int>(whole);
}

void AsyncBufferingForwardAppender::Deliver(Appender& appender, const LoggingEvent& event)
{
    // The first failure since Open is described; Close reports how many there were.
    const auto failed = [&](const char* what) {
        if (m_FailedDeliveries.fetch_add(1) == 0)
            Trace(LevelError, "[{$}] AsyncBufferingForward, Ref-Appender {$} failed to append: {$}", m_InstanceNumber,
                  appender.GetName(), what);
    };
    try {
        appender.Append(&event);
    } catch (const std::exception& e) {
        failed(e.what());
    } catch (...) {
        failed("an exception of unknown type");
    }
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
    if (const auto targets = CurrentTargets())
        for (const auto& appender : *targets)
            appender->SetOption(key, value);
    BufferingAppender::SetOption(key, value);
}

void AsyncBufferingForwardAppender::ActivateOptions()
{
    if (const auto targets = CurrentTargets())
        for (const auto& appender : *targets)
            appender->ActivateOptions();
}

}  // namespace Quorlin
