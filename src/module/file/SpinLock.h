#pragma once
// A lock for sections of a few dozen instructions that threads on other cores take all the time: a
// waiter spins rather than sleeping, since being put to sleep and woken takes many times longer
// than the section; after a while it yields, in case the holder lost its core.

#include <atomic>
#include <thread>

namespace Quorlin {

class SpinLock {
public:
    void lock() noexcept
    {
        for (int spin = 0; m_Held.exchange(true, std::memory_order_acquire); ++spin)
            while (m_Held.load(std::memory_order_relaxed))
                if (++spin > kSpinsBeforeYield)
                    std::this_thread::yield();
    }
    bool try_lock() noexcept
    {
        return !m_Held.load(std::memory_order_relaxed) && !m_Held.exchange(true, std::memory_order_acquire);
    }
    void unlock() noexcept { m_Held.store(false, std::memory_order_release); }

private:
    static constexpr int kSpinsBeforeYield = 200;
    std::atomic<bool> m_Held{false};
};

}  // namespace Quorlin
