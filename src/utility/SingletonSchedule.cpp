#include "SingletonSchedule.h"

#include <cstdio>
#include <exception>

#include "ThreadPool.h"

namespace ORBEK::Utility {
namespace {

constexpr int kLogError = 80000;

// Runs the task once. The first run reports to its promise; false when a later run raised, which
// nobody waits for.
bool RunTask(const ScheduledCall& call, std::promise<void>* firstRun)
{
    try {
        call.invoke(call);
        if (firstRun != nullptr)
            firstRun->set_value();
    } catch (...) {
        if (firstRun == nullptr)
            return false;
        firstRun->set_exception(std::current_exception());
    }
    return true;
}

// The words that identify a call: its invoker, object and member-function bytes.
void CallWords(const ScheduledCall& call, std::uintptr_t* words)
{
    words[0] = reinterpret_cast<std::uintptr_t>(call.invoke);
    words[1] = reinterpret_cast<std::uintptr_t>(call.object);
    std::memcpy(words + 2, call.function, sizeof call.function);
}

}  // namespace

SingletonSchedule::SingletonSchedule() = default;

void SingletonSchedule::PublishLocked()
{
    std::uintptr_t words[kCallWords] = {};
    if (m_Posted)
        CallWords(m_Call, words);
    // Release stores throughout: a reader that sees any new word also sees the odd sequence number.
    const std::uint64_t sequence = m_PostedSequence.load(std::memory_order_relaxed);
    m_PostedSequence.store(sequence + 1, std::memory_order_relaxed);
    for (std::size_t i = 0; i < kCallWords; ++i)
        m_PostedCall[i].store(words[i], std::memory_order_release);
    m_PostedInterval.store(m_Posted ? static_cast<std::int64_t>(m_Interval.count()) : -1, std::memory_order_release);
    m_PostedSequence.store(sequence + 2, std::memory_order_release);
}

bool SingletonSchedule::IsPosted(const ScheduledCall& call, std::chrono::milliseconds interval) const noexcept
{
    const std::uint64_t before = m_PostedSequence.load(std::memory_order_acquire);
    if (before & 1)
        return false;
    std::uintptr_t words[kCallWords];
    CallWords(call, words);
    // Acquire loads: the second read of the sequence number cannot move before them.
    bool same = m_PostedInterval.load(std::memory_order_acquire) == static_cast<std::int64_t>(interval.count());
    for (std::size_t i = 0; i < kCallWords; ++i)
        same = m_PostedCall[i].load(std::memory_order_acquire) == words[i] && same;
    return same && words[0] != 0 && m_PostedSequence.load(std::memory_order_relaxed) == before;
}

SingletonSchedule::~SingletonSchedule()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Stopping = true;
    m_Ready = false;
    m_Posted = false;
    PublishLocked();
    m_FirstRun.reset();
    m_Changed.notify_all();
    if (m_Worker.joinable() && m_Worker.get_id() == std::this_thread::get_id()) {
        // Destroyed by its own task: the thread cannot wait for itself.
        m_Worker.detach();
        return;
    }
    m_Changed.wait(lock, [this] { return !m_WorkerAlive; });
    JoinWorker(lock);
}

void SingletonSchedule::SetPoolName(const char* name)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_PoolName = name == nullptr ? "" : name;
}

std::string SingletonSchedule::GetPoolName() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_PoolName;
}

void SingletonSchedule::SetKeepAliveTime(std::chrono::milliseconds keepAlive)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_KeepAlive = keepAlive;
    m_Changed.notify_all();
}

void SingletonSchedule::Init(int minWorkers, int /*maxWorkers*/)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    Log("Init", minWorkers);
    if (m_Stopping) {
        // A worker that outlived the time-out of the last Shutdown must not see the new task.
        m_Changed.wait(lock, [this] { return !m_WorkerAlive; });
        JoinWorker(lock);
        m_Stopping = false;
    }
    m_Ready = true;
    m_MinWorkers = minWorkers;
    if (m_MinWorkers >= 1)
        StartWorkerLocked();
}

void SingletonSchedule::Clear()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    Log("Clear", 0);
    m_Posted = false;
    PublishLocked();
    m_WakeRequested = false;
    m_FirstRun.reset();
    m_Changed.notify_all();
}

std::future<void> SingletonSchedule::Post(const ScheduledCall& call, std::chrono::milliseconds interval)
{
    if (IsPosted(call, interval))
        return {};  // what the locked path below would conclude, without the lock
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Ready)
        return {};
    if (m_Posted && m_Call.IsSameAs(call)) {
        m_Interval = interval;
        PublishLocked();
        return {};
    }
    Log("Post", static_cast<long long>(interval.count()));
    m_Call = call;
    m_Posted = true;
    m_WakeRequested = false;
    m_Interval = interval;
    m_NextRun = interval.count() > 0 ? Clock::now() + interval : Clock::time_point::max();
    PublishLocked();
    m_FirstRun = std::make_unique<std::promise<void>>();
    std::future<void> firstRun = m_FirstRun->get_future();
    StartWorkerLocked();
    m_Changed.notify_all();
    return firstRun;
}

void SingletonSchedule::Wakeup()
{
    if (m_WakeRequested.load(std::memory_order_acquire) && Manager::GetLogger() == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    Log("Wakeup", 0);
    if (!m_Posted)
        return;
    m_WakeRequested = true;
    m_Changed.notify_all();
}

bool SingletonSchedule::Reschedule(std::chrono::milliseconds delay)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    Log("Reschedule", static_cast<long long>(delay.count()));
    if (!m_Posted)
        return false;
    m_NextRun = Clock::now() + delay;
    m_Changed.notify_all();
    return true;
}

int SingletonSchedule::GetWorkerCount() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_WorkerAlive ? 1 : 0;
}

void SingletonSchedule::Shutdown(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    Log("Shutdown", static_cast<long long>(timeout.count()));
    m_Stopping = true;
    m_Ready = false;
    m_Posted = false;
    PublishLocked();
    m_WakeRequested = false;
    m_FirstRun.reset();
    m_Changed.notify_all();
    if (m_Worker.joinable() && m_Worker.get_id() == std::this_thread::get_id())
        return;  // called by the task itself: the worker ends when the task returns
    if (m_Changed.wait_for(lock, timeout, [this] { return !m_WorkerAlive; }))
        JoinWorker(lock);
}

void SingletonSchedule::StartWorkerLocked()
{
    if (m_WorkerAlive || m_Stopping)
        return;
    // A worker that ended after its keep-alive time has released the lock for good: joining it here
    // cannot wait on us.
    if (m_Worker.joinable())
        m_Worker.join();
    m_WorkerAlive = true;
    m_Worker = std::thread(&SingletonSchedule::WorkerMain, this);
}

void SingletonSchedule::WorkerMain()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    Log("worker started", 0);
    Clock::time_point idleSince = Clock::now();
    while (!m_Stopping) {
        const Clock::time_point now = Clock::now();
        if (!m_Posted) {
            if (m_MinWorkers >= 1) {
                m_Changed.wait(lock);
                continue;
            }
            if (now - idleSince >= m_KeepAlive)
                break;
            m_Changed.wait_until(lock, idleSince + m_KeepAlive);
            continue;
        }
        if (!m_WakeRequested && now < m_NextRun) {
            if (m_NextRun == Clock::time_point::max())
                m_Changed.wait(lock);
            else
                m_Changed.wait_until(lock, m_NextRun);
            continue;
        }
        // The next run is set before this one starts, so that a Reschedule or Wakeup arriving while
        // the task runs is kept.
        m_WakeRequested = false;
        m_NextRun = m_Interval.count() > 0 ? now + m_Interval : Clock::time_point::max();
        const ScheduledCall call = m_Call;
        std::unique_ptr<std::promise<void>> firstRun = std::move(m_FirstRun);
        lock.unlock();
        const bool reported = RunTask(call, firstRun.get());
        firstRun.reset();
        lock.lock();
        if (!reported)
            Log("task ended by an exception", 0, kLogError);
        idleSince = Clock::now();
    }
    Log("worker ended", 0);
    m_WorkerAlive = false;
    m_Changed.notify_all();
}

void SingletonSchedule::JoinWorker(std::unique_lock<std::mutex>& lock)
{
    std::thread worker = std::move(m_Worker);
    lock.unlock();
    if (worker.joinable())
        worker.join();
    lock.lock();
}

void SingletonSchedule::Log(const char* what, long long value, int level) const
{
    PoolLogger logger = Manager::GetLogger();
    if (logger == nullptr)
        return;
    char text[192];
    if (value != 0)
        std::snprintf(text, sizeof text, "SingletonSchedule[%s].%s %lld", m_PoolName.c_str(), what, value);
    else
        std::snprintf(text, sizeof text, "SingletonSchedule[%s].%s", m_PoolName.c_str(), what);
    logger(level, text);
}

}  // namespace ORBEK::Utility
