#pragma once
// A schedule of one repeating task run by one pool worker, and the wrapper that posts the task.
//
// The schedule keeps a single task: posting the task that is already posted changes nothing (no
// second task, no allocation), posting another one replaces it. The worker thread starts with the
// first post and ends after the keep-alive time without a task, or at Shutdown.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ORBEK::Utility {

// A call of a member function without arguments on an object, stored without allocating, so that
// two posts of the same call compare equal.
struct ScheduledCall {
    void (*invoke)(const ScheduledCall& call) = nullptr;
    void* object = nullptr;
    alignas(std::max_align_t) unsigned char function[32] = {};

    bool IsSameAs(const ScheduledCall& other) const noexcept
    {
        return invoke == other.invoke && object == other.object && std::memcmp(function, other.function, sizeof function) == 0;
    }
};

class SingletonSchedule;

// What Repeat gives: posts a task to its schedule, to be run there again at the interval.
class SchedulePoolWrapper {
public:
    SchedulePoolWrapper(SingletonSchedule& schedule, std::chrono::milliseconds interval) noexcept
        : m_Schedule(&schedule), m_Interval(interval)
    {
    }

    // Posts object->*function as the schedule's task, first run one interval from now (or at a
    // Wakeup). The future reports the first run's completion or exception. When that very call is
    // already posted nothing is added and the future is empty (valid() is false): the first post's
    // future reports for it. A schedule that is not initialised, or shut down, takes nothing and
    // gives an empty future too.
    template <typename C>
    std::future<void> Async(void (C::*function)(), C* object)
    {
        static_assert(sizeof function <= sizeof(ScheduledCall::function), "member function pointer too large");
        ScheduledCall call;
        call.invoke = &Invoke<C>;
        call.object = object;
        std::memcpy(call.function, &function, sizeof function);
        return Post(call);
    }

private:
    template <typename C>
    static void Invoke(const ScheduledCall& call)
    {
        void (C::*function)();
        std::memcpy(&function, call.function, sizeof function);
        (static_cast<C*>(call.object)->*function)();
    }

    std::future<void> Post(const ScheduledCall& call);

    SingletonSchedule* m_Schedule;
    std::chrono::milliseconds m_Interval;
};

class ORBEK_THREADPOOL_API SingletonSchedule {
public:
    SingletonSchedule();
    // Stops the worker and waits for it however long its task runs.
    ~SingletonSchedule();
    SingletonSchedule(const SingletonSchedule&) = delete;
    SingletonSchedule& operator=(const SingletonSchedule&) = delete;

    // Names the pool; the name is reported in the pool's log messages.
    void SetPoolName(const char* name);
    std::string GetPoolName() const;
    // How long a worker without a task waits before it ends.
    void SetKeepAliveTime(std::chrono::milliseconds keepAlive);
    // Readies the schedule to take a task, also after a Shutdown (a worker still running from before
    // is waited for first). minWorkers of 1 or more starts the worker now and keeps it without a
    // task; a single task never needs more than one worker, so maxWorkers only has to allow one.
    void Init(int minWorkers, int maxWorkers);
    // Drops the posted task; a run in progress finishes.
    void Clear();
    // A wrapper that posts tasks to run again every `interval`.
    SchedulePoolWrapper Repeat(std::chrono::milliseconds interval) noexcept { return SchedulePoolWrapper(*this, interval); }
    // Runs the posted task soon; if it is running now, once more after that. Nothing without a task.
    void Wakeup();
    // Moves the task's next run to `delay` from now; false when no task is posted.
    bool Reschedule(std::chrono::milliseconds delay);
    // 1 while the worker thread lives, 0 otherwise.
    int GetWorkerCount() const;
    // Drops the task, stops the worker and returns once it has ended or `timeout` has passed. The
    // schedule then takes no task until the next Init.
    void Shutdown(std::chrono::milliseconds timeout);

private:
    friend class SchedulePoolWrapper;
    using Clock = std::chrono::steady_clock;

    std::future<void> Post(const ScheduledCall& call, std::chrono::milliseconds interval);
    void StartWorkerLocked();
    void WorkerMain();
    // Copies the posted call and its interval where Post can compare them without the lock; the lock
    // is held.
    void PublishLocked();
    // True when exactly this call is posted with this interval (read without the lock).
    bool IsPosted(const ScheduledCall& call, std::chrono::milliseconds interval) const noexcept;
    // Reports a call to the pool's logger, if one is installed; the lock is held.
    void Log(const char* what, long long value, int level = 50000) const;
    // Joins a worker that has ended or is ending; waits without the lock.
    void JoinWorker(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::string m_PoolName;
    std::chrono::milliseconds m_KeepAlive{60'000};
    std::chrono::milliseconds m_Interval{0};
    int m_MinWorkers = 0;
    bool m_Ready = false;
    bool m_Stopping = false;
    bool m_Posted = false;
    // Written under the lock; Wakeup reads it without, as a wake already requested and not yet taken
    // by the worker needs no second one (appending threads call Wakeup after every event).
    std::atomic<bool> m_WakeRequested{false};
    bool m_WorkerAlive = false;
    ScheduledCall m_Call;
    std::unique_ptr<std::promise<void>> m_FirstRun;
    Clock::time_point m_NextRun{};
    std::thread m_Worker;
    // The posted call (its words) and interval as of the last change, behind a sequence number that
    // is odd while they change: posting the call that is already posted, as appending threads do
    // after every event, then needs no lock.
    static constexpr std::size_t kCallWords = 2 + sizeof(ScheduledCall::function) / sizeof(std::uintptr_t);
    std::atomic<std::uint64_t> m_PostedSequence{0};
    std::atomic<std::uintptr_t> m_PostedCall[kCallWords] = {};
    std::atomic<std::int64_t> m_PostedInterval{-1};
};

inline std::future<void> SchedulePoolWrapper::Post(const ScheduledCall& call) { return m_Schedule->Post(call, m_Interval); }

}  // namespace ORBEK::Utility
