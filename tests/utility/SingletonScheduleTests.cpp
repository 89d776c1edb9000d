#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>

#include "AllocationCounter.h"
#include "Recorders.h"
#include "RecordingAppender.h"
#include "utility/SingletonSchedule.h"

using namespace QuorlinTest;
using ORBEK::Utility::SingletonSchedule;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kHour{3'600'000};

struct Task {
    void Run() { runs.fetch_add(1); }
    void Fail() { throw std::runtime_error("task failed"); }
    // Blocks until released; tells when it has started.
    void Block()
    {
        std::unique_lock<std::mutex> lock(mutex);
        started = true;
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
    bool Started()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return started;
    }

    std::atomic<int> runs{0};
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool released = false;
};

}  // namespace

TEST(SingletonSchedule, AnotherTaskReplacesThePostedOneAndClearDropsIt)
{
    SingletonSchedule schedule;
    schedule.Init(0, 1);
    Task a, b;
    std::future<void> first = schedule.Repeat(kHour).Async(&Task::Run, &a);
    std::future<void> second = schedule.Repeat(kHour).Async(&Task::Run, &b);
    ASSERT_TRUE(second.valid());
    EXPECT_THROW(first.get(), std::future_error);  // replaced before it ran
    schedule.Wakeup();
    second.get();
    EXPECT_EQ(a.runs.load(), 0);
    EXPECT_EQ(b.runs.load(), 1);
    schedule.Clear();
    EXPECT_FALSE(schedule.Reschedule(kHour));
    // Once dropped, the same task is posted anew.
    EXPECT_TRUE(schedule.Repeat(kHour).Async(&Task::Run, &b).valid());
}

TEST(SingletonSchedule, RepeatsAtItsIntervalAndReportsTheFirstRunsFailure)
{
    SingletonSchedule schedule;
    schedule.Init(0, 1);
    Task task;
    schedule.Repeat(kHour).Async(&Task::Run, &task);
    schedule.Repeat(milliseconds(1)).Async(&Task::Run, &task);  // the same task: the interval after its next run
    schedule.Wakeup();
    EXPECT_TRUE(Eventually([&] { return task.runs.load() >= 3; }));

    std::future<void> failing = schedule.Repeat(kHour).Async(&Task::Fail, &task);
    schedule.Wakeup();
    EXPECT_THROW(failing.get(), std::runtime_error);
    schedule.Wakeup();  // a later failure has nobody to report to and does not end the worker
    schedule.Repeat(kHour).Async(&Task::Run, &task);
    const int before = task.runs.load();
    schedule.Wakeup();
    EXPECT_TRUE(Eventually([&] { return task.runs.load() > before; }));
}

TEST(SingletonSchedule, ShutdownReturnsAtItsTimeOutWhileTheTaskRuns)
{
    Task task;
    {
        SingletonSchedule schedule;
        schedule.Init(0, 1);
        schedule.Repeat(kHour).Async(&Task::Block, &task);
        schedule.Wakeup();
        ASSERT_TRUE(Eventually([&] { return task.Started(); }));
        schedule.Shutdown(milliseconds(20));
        EXPECT_EQ(schedule.GetWorkerCount(), 1);  // still in the task
        task.Release();
    }  // the destructor waits for the worker
    SUCCEED();
}

TEST(SingletonSchedule, PostingThePostedTaskAgainAllocatesNothing)
{
    SingletonSchedule schedule;
    schedule.Init(0, 1);
    Task task;
    schedule.Repeat(kHour).Async(&Task::Run, &task);
    const std::int64_t before = AllocationsOfThisThread();
    for (int i = 0; i < 1000; ++i) {
        schedule.Repeat(kHour).Async(&Task::Run, &task);
        schedule.Wakeup();
    }
    EXPECT_EQ(AllocationsOfThisThread() - before, 0);
}
