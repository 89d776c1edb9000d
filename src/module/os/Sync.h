#pragma once
// A slim reader-writer lock (SRWLOCK on Windows, pthread_rwlock on POSIX); not recursive. A spin lock
// for short sections that threads on several cores take all the time.

#include <atomic>
#include <thread>

namespace Quorlin::os {

class RwLock {
public:
    RwLock() noexcept;
    ~RwLock();
    RwLock(const RwLock&) = delete;
    RwLock& operator=(const RwLock&) = delete;

    void LockShared() noexcept;
    void UnlockShared() noexcept;
    void LockExclusive() noexcept;
    void UnlockExclusive() noexcept;

    // std::shared_lock / std::unique_lock interface.
    void lock_shared() noexcept { LockShared(); }
    void unlock_shared() noexcept { UnlockShared(); }
    void lock() noexcept { LockExclusive(); }
    void unlock() noexcept { UnlockExclusive(); }

private:
    alignas(16) unsigned char m_Storage[64];
};

// For sections of a few dozen instructions: a waiter spins rather than sleeping, since being put to
// sleep and woken takes many times longer than the section; after a while it yields, in case the
// holder lost its core. std::lock_guard / std::unique_lock interface.
class SpinLock {
public:
    void lock() noexcept
    {
        for (int spin = 0; m_Held.exchange(true, std::memory_order_acquire);)
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

}  // namespace Quorlin::os
