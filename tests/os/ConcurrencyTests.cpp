// The reader-writer lock and the fault guard used from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "FaultTargets.h"
#include "os/FaultGuard.h"
#include "os/Sync.h"

namespace os = Quorlin::os;
using namespace QuorlinTest;

namespace {

bool WaitUntil(const std::atomic<bool>& flag)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag.load();
}

}  // namespace

TEST(RwLock, WriterExcludesReadersAndReadersShare)
{
    os::RwLock lock;
    std::atomic<bool> readerIn{false};
    lock.LockExclusive();
    std::thread reader([&] {
        std::shared_lock<os::RwLock> hold(lock);
        readerIn = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(readerIn.load());
    lock.UnlockExclusive();
    EXPECT_TRUE(WaitUntil(readerIn));
    reader.join();

    // Two readers hold it together.
    std::atomic<bool> otherIn{false};
    lock.LockShared();
    std::thread other([&] {
        lock.LockShared();
        otherIn = true;
        lock.UnlockShared();
    });
    EXPECT_TRUE(WaitUntil(otherIn));
    other.join();
    lock.UnlockShared();
}

TEST(RwLock, ReadersNeverSeeAHalfDoneWrite)
{
    os::RwLock lock;
    long first = 0;
    long second = 0;  // equal to first whenever the lock is free
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if ((i + t) % 4 == 0) {
                    std::shared_lock<os::RwLock> hold(lock);
                    if (first != second)
                        ++torn;
                } else {
                    std::unique_lock<os::RwLock> hold(lock);
                    ++first;
                    std::this_thread::yield();
                    ++second;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(first, 4 * 1500);
    EXPECT_EQ(second, first);
}

TEST(FaultGuard, TwoThreadsFaultAtOnce)
{
    std::atomic<int> caught{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                std::uint32_t code = 0;
                const bool finished = os::RunGuarded(t == 0 ? &WriteThroughNull : &DivideByZero, nullptr, code);
                if (!finished && code == (t == 0 ? 0xC0000005u : 0xC0000094u))
                    ++caught;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(caught.load(), 100);
}
