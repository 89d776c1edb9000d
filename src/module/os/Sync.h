#pragma once
// A slim reader-writer lock (SRWLOCK on Windows, pthread_rwlock on POSIX); not recursive.

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

}  // namespace Quorlin::os
