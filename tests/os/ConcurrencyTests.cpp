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
