#include "../Sync.h"

#include <new>

#include "Win32.h"

namespace Quorlin::os {
namespace {

SRWLOCK* Native(unsigned char* storage) { return std::launder(reinterpret_cast<SRWLOCK*>(storage)); }

}  // namespace

RwLock::RwLock() noexcept
{
    static_assert(sizeof(SRWLOCK) <= sizeof m_Storage && alignof(SRWLOCK) <= 16);
    ::InitializeSRWLock(new (m_Storage) SRWLOCK);
}

// An SRWLOCK owns no resources.
RwLock::~RwLock() = default;

void RwLock::LockShared() noexcept { ::AcquireSRWLockShared(Native(m_Storage)); }

void RwLock::UnlockShared() noexcept { ::ReleaseSRWLockShared(Native(m_Storage)); }

void RwLock::LockExclusive() noexcept { ::AcquireSRWLockExclusive(Native(m_Storage)); }

void RwLock::UnlockExclusive() noexcept { ::ReleaseSRWLockExclusive(Native(m_Storage)); }

}  // namespace Quorlin::os
