#include "LogPacketQueue.h"

namespace Quorlin {

LogPacketQueue::LogPacketQueue() = default;

LogPacketQueue::~LogPacketQueue() = default;

bool LogPacketQueue::Push(std::unique_ptr<LogPacket> packet, Counts& after)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Sealed)
        return false;
    m_NbOfBytes += packet->m_MessageLength;
    m_Packets.push_back(std::move(packet));
    after.packets = m_Packets.size();
    after.bytes = m_NbOfBytes;
    return true;
}

std::size_t LogPacketQueue::Size() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Packets.size();
}

LogPacketQueue::Counts LogPacketQueue::GetCounts() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return Counts{m_Packets.size(), m_NbOfBytes};
}

LogPacketQueue::Packets LogPacketQueue::TakeAll()
{
    Packets taken;
    std::lock_guard<std::mutex> lock(m_Mutex);
    taken.swap(m_Packets);
    m_NbOfBytes = 0;
    return taken;
}

std::size_t LogPacketQueue::Take(std::unique_ptr<LogPacket>& single, Packets& many)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const std::size_t n = m_Packets.size();
    if (n == 1) {
        single = std::move(m_Packets.front());
        m_Packets.clear();
    } else if (n > 1) {
        many.clear();  // its storage, if any, is left to the queue for reuse
        many.swap(m_Packets);
    }
    m_NbOfBytes = 0;
    return n;
}

void LogPacketQueue::Clear()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Packets.clear();
    m_NbOfBytes = 0;
}

LogPacketQueue::Packets LogPacketQueue::Seal()
{
    Packets taken;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Sealed = true;
    taken.swap(m_Packets);
    m_NbOfBytes = 0;
    return taken;
}

void LogPacketQueue::Unseal()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Sealed = false;
}

} // namespace Quorlin
