#include "../Sync.h"

#include <pthread.h>

#include <new>

namespace Quorlin::os {
namespace {

pthread_rwlock_t* Native(unsigned char* storage) { return std::launder(reinterpret_cast<pthread_rwlock_t*>(storage)); }

}  // namespace

RwLock::RwLock() noexcept
{
    static_assert(sizeof(pthread_rwlock_t) <= sizeof m_Storage && alignof(pthread_rwlock_t) <= 16);
    auto* lock = new (m_Storage) pthread_rwlock_t;
    pthread_rwlockattr_t attributes;
    ::pthread_rwlockattr_init(&attributes);
    // glibc prefers readers by default, so a steady stream of them starves a writer; an SRWLOCK
    // lets a waiting writer in first. Non-recursive, as an SRWLOCK is.
    ::pthread_rwlockattr_setkind_np(&attributes, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    ::pthread_rwlock_init(lock, &attributes);
    ::pthread_rwlockattr_destroy(&attributes);
}

RwLock::~RwLock() { ::pthread_rwlock_destroy(Native(m_Storage)); }

void RwLock::LockShared() noexcept { ::pthread_rwlock_rdlock(Native(m_Storage)); }

void RwLock::UnlockShared() noexcept { ::pthread_rwlock_unlock(Native(m_Storage)); }

void RwLock::LockExclusive() noexcept { ::pthread_rwlock_wrlock(Native(m_Storage)); }

void RwLock::UnlockExclusive() noexcept { ::pthread_rwlock_unlock(Native(m_Storage)); }

}  // namespace Quorlin::os
