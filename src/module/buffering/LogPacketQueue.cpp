#include "LogPacketQueue.h"

namespace Quorlin {

LogPacketQueue::LogPacketQueue() = default;

LogPacketQueue::~LogPacketQueue() = default;

bool LogPacketQueue::Push(std::unique_ptr<LogPacket> packet, Counts& after)
{
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    if (m_Sealed)
        return false;
    m_NbOfBytes += packet->m_MessageLength;
    m_Packets.push_back(std::move(packet));
    m_Size.store(m_Packets.size(), std::memory_order_release);
    after.packets = m_Packets.size();
    after.bytes = m_NbOfBytes;
    return true;
}

bool LogPacketQueue::PushCopy(const LoggingEvent& event, Counts& after)
{
    std::unique_ptr<LogPacket> packet;
    {
        std::lock_guard<os::SpinLock> lock(m_Mutex);
        if (m_Sealed)
            return false;
        if (!m_Spares.empty()) {
            packet = std::move(m_Spares.back());
            m_Spares.pop_back();
        }
    }
    // Copied outside the lock: the worker is not held up by a long message.
    if (packet)
        packet->Refill(event);
    else
        packet = std::make_unique<LogPacket>(event);
    return Push(std::move(packet), after);
}

void LogPacketQueue::KeepLocked(std::unique_ptr<LogPacket>& spent)
{
    // Long texts are not kept: a burst of large messages must not pin their memory for good.
    if (spent && m_Spares.size() < kMaxSpares && spent->m_Text.GetLength() <= kMaxSpareText)
        m_Spares.push_back(std::move(spent));
    spent.reset();
}

void LogPacketQueue::Recycle(Packets& spent)
{
    // What is not kept goes before the lock is taken, and a batch that finds no spares waiting
    // becomes the spares in one swap: appending threads are not held up while a large batch is
    // sorted out.
    std::size_t kept = 0;
    for (auto& packet : spent)
        if (packet && kept < kMaxSpares && packet->m_Text.GetLength() <= kMaxSpareText)
            spent[kept++] = std::move(packet);
    for (std::size_t i = kept; i < spent.size(); ++i)
        spent[i].reset();
    spent.resize(kept);
    {
        std::lock_guard<os::SpinLock> lock(m_Mutex);
        if (m_Spares.empty() && m_Spares.capacity() <= spent.capacity()) {
            m_Spares.swap(spent);
        } else {
            if (m_Spares.capacity() < kMaxSpares)
                m_Spares.reserve(kMaxSpares);
            for (auto& packet : spent)
                KeepLocked(packet);
        }
        spent.clear();
        if (m_Packets.empty() && spent.capacity() > m_Packets.capacity())
            m_Packets.swap(spent);
        else if (spent.capacity() > m_SpareStorage.capacity())
            m_SpareStorage.swap(spent);
    }
    Packets().swap(spent);  // a smaller storage than the one kept is released outside the lock
}

void LogPacketQueue::Recycle(std::unique_ptr<LogPacket> spent)
{
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    if (m_Spares.capacity() < kMaxSpares)
        m_Spares.reserve(kMaxSpares);
    KeepLocked(spent);
}

std::size_t LogPacketQueue::Size() const { return m_Size.load(std::memory_order_acquire); }

LogPacketQueue::Counts LogPacketQueue::GetCounts() const
{
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    return Counts{m_Packets.size(), m_NbOfBytes};
}

LogPacketQueue::Packets LogPacketQueue::TakeAll()
{
    Packets taken;
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    taken.swap(m_Packets);
    m_Packets.swap(m_SpareStorage);
    m_NbOfBytes = 0;
    m_Size.store(m_Packets.size(), std::memory_order_release);
    return taken;
}

std::size_t LogPacketQueue::Take(std::unique_ptr<LogPacket>& single, Packets& many)
{
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    const std::size_t n = m_Packets.size();
    if (n == 1) {
        single = std::move(m_Packets.front());
        m_Packets.clear();
    } else if (n > 1) {
        many.clear();  // its storage, if any, is left to the queue for reuse
        many.swap(m_Packets);
        if (m_Packets.capacity() == 0)
            m_Packets.swap(m_SpareStorage);
    }
    m_NbOfBytes = 0;
    m_Size.store(m_Packets.size(), std::memory_order_release);
    return n;
}

void LogPacketQueue::Clear()
{
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    for (auto& packet : m_Packets)
        KeepLocked(packet);
    m_Packets.clear();
    m_NbOfBytes = 0;
    m_Size.store(m_Packets.size(), std::memory_order_release);
}

LogPacketQueue::Packets LogPacketQueue::Seal()
{
    Packets taken;
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    m_Sealed = true;
    taken.swap(m_Packets);
    m_NbOfBytes = 0;
    m_Size.store(m_Packets.size(), std::memory_order_release);
    return taken;
}

void LogPacketQueue::Unseal()
{
    std::lock_guard<os::SpinLock> lock(m_Mutex);
    m_Sealed = false;
}

}  // namespace Quorlin
