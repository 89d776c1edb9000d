// The time trigger asked on many threads at once while the schedule moves: no data race (the
// ThreadSanitizer tree runs this binary), and one advance per due time.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <thread>

#include "FakeClock.h"
#include "Instants.h"
#include "RecordingWriter.h"
#include "file/SizeAndTimeBasedTriggerPolicy.h"
#include "file/TimeBasedTriggerPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

// A reusable barrier on a mutex and a condition variable (the library's std::barrier waits on
// atomics, which hang now and then under Wine): the last thread to arrive runs the completion step.
class Rendezvous {
public:
    Rendezvous(int parties, std::function<void()> completion) : m_Parties(parties), m_Completion(std::move(completion)) {}
    void ArriveAndWait()
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        const long generation = m_Generation;
        if (++m_Arrived == m_Parties) {
            m_Completion();
            m_Arrived = 0;
            ++m_Generation;
            m_Released.notify_all();
            return;
        }
        m_Released.wait(lock, [&] { return m_Generation != generation; });
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Released;
    const int m_Parties;
    int m_Arrived = 0;
    long m_Generation = 0;
    std::function<void()> m_Completion;
};

constexpr int kReaders = 4;
constexpr int kRounds = 300;

void Configure(TriggeringPolicy& policy)
{
    policy.SetOption(DString("triggeringPolicy/maxFileSize/value"), DString("1MB"));
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("15m"));
    policy.ActivateOptions();
}

// Readers ask the policy without a lock while one thread moves the clock to each due time and
// advances the schedule. Invariant: a reader never sees the schedule go back, and after the rounds
// the schedule stands exactly kRounds intervals on, with one maintenance line per round.
template <typename Policy, typename NextOf>
void ReadWhileAdvancing(Policy& policy, FakeClock& clock, NextOf nextOf)
{
    const std::int64_t first = nextOf(policy);
    std::atomic<bool> stop{false};
    std::atomic<int> wentBack{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r) {
        readers.emplace_back([&] {
            std::int64_t seen = first;
            std::uint64_t bytes = 0;
            while (!stop.load()) {
                policy.IsTriggered(nullptr, nullptr, bytes++ % 2048);
                const std::int64_t next = nextOf(policy);
                if (next < seen)
                    ++wentBack;
                seen = next;
            }
        });
    }
    RecordingWriter writer;
    for (int round = 0; round < kRounds; ++round) {
        clock.Set(nextOf(policy));
        policy.AdvanceSchedule(&writer);
    }
    stop = true;
    for (std::thread& reader : readers)
        reader.join();

    EXPECT_EQ(wentBack.load(), 0);
    EXPECT_EQ(nextOf(policy), first + kRounds * 15 * kTicksPerMinute);
    EXPECT_EQ(writer.Calls().size(), static_cast<std::size_t>(kRounds));
}

// Gives the other threads a turn at every clock read, between the schedule's read and its update.
class YieldingClock : public FakeClock {
public:
    using FakeClock::FakeClock;
    std::int64_t NowTicks() override
    {
        std::this_thread::yield();
        return FakeClock::NowTicks();
    }
};

}  // namespace

TEST(TriggerConcurrency, TimeAndCombinedPoliciesAreAskedWhileTheyAdvance)
{
    FakeClock clock(LocalTicks(2024, 5, 14, 10, 7, 20));
    TimeBasedTriggerPolicy time;
    SizeAndTimeBasedTriggerPolicy combined;
    Configure(time);
    Configure(combined);
    ReadWhileAdvancing(time, clock, [](const TimeBasedTriggerPolicy& p) { return p.GetNextMntTime(); });
    ReadWhileAdvancing(combined, clock,
                       [](const SizeAndTimeBasedTriggerPolicy& p) { return p.GetTimePolicy().GetNextMntTime(); });
}

// Several threads that all saw the same due time advance the schedule once between them.
TEST(TriggerConcurrency, RacingAdvancesMoveOneIntervalPerDueTime)
{
    YieldingClock clock(LocalTicks(2024, 5, 14, 10, 7, 20));
    TimeBasedTriggerPolicy policy;
    Configure(policy);
    const std::int64_t first = policy.GetNextMntTime();
    RecordingWriter writer;
    constexpr int kThreads = 4;
    constexpr int kDueTimes = 100;
    // Between two phases the completion step moves the clock to the next due time.
    Rendezvous sync(kThreads, [&] { clock.Set(policy.GetNextMntTime()); });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int due = 0; due < kDueTimes; ++due) {
                sync.ArriveAndWait();
                policy.AdvanceSchedule(&writer);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(policy.GetNextMntTime(), first + kDueTimes * 15 * kTicksPerMinute);
    EXPECT_EQ(writer.Calls().size(), static_cast<std::size_t>(kDueTimes));
}
