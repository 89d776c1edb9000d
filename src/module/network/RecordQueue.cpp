#include "RecordQueue.h"

#include <chrono>
#include <cstring>

namespace Quorlin {
namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

}  // namespace

void RecordBatch::Add(std::string_view record)
{
    m_Starts.push_back(m_Bytes.size());
    m_Lengths.push_back(static_cast<std::uint32_t>(record.size()));
    m_Bytes.append(record);
}

char* RecordBatch::AddRoom(std::uint32_t length)
{
    m_Starts.push_back(m_Bytes.size());
    m_Lengths.push_back(length);
    m_Bytes.resize(m_Bytes.size() + length);
    return m_Bytes.data() + m_Starts.back();
}

void RecordBatch::Clear()
{
    m_Bytes.clear();
    m_Lengths.clear();
    m_Starts.clear();
    m_First = 0;
    m_Offset = 0;
}

void RecordBatch::DropFront(std::size_t count)
{
    if (count >= Count()) {
        Clear();
        return;
    }
    m_First += count;
    m_Offset = m_Starts[m_First];
    if (m_Offset < (1u << 20))
        return;
    // A batch that is never emptied (a sender that tops it up) gives back what it delivered.
    m_Bytes.erase(0, m_Offset);
    m_Lengths.erase(m_Lengths.begin(), m_Lengths.begin() + static_cast<std::ptrdiff_t>(m_First));
    m_Starts.erase(m_Starts.begin(), m_Starts.begin() + static_cast<std::ptrdiff_t>(m_First));
    for (std::size_t& start : m_Starts)
        start -= m_Offset;
    m_First = 0;
    m_Offset = 0;
}

std::string_view RecordBatch::Record(std::size_t i) const
{
    return std::string_view(m_Bytes.data() + m_Starts[m_First + i], m_Lengths[m_First + i]);
}

RecordQueue::RecordQueue(std::size_t capacity) : m_Ring(capacity < 64 ? 64 : capacity) {}

void RecordQueue::CopyIn(const char* data, std::size_t size)
{
    const std::size_t first = std::min(size, m_Ring.size() - m_Tail);
    std::memcpy(m_Ring.data() + m_Tail, data, first);
    std::memcpy(m_Ring.data(), data + first, size - first);
    m_Tail = (m_Tail + size) % m_Ring.size();
    m_Used += size;
}

void RecordQueue::CopyOut(std::size_t at, char* data, std::size_t size) const
{
    const std::size_t first = std::min(size, m_Ring.size() - at);
    std::memcpy(data, m_Ring.data() + at, first);
    std::memcpy(data + first, m_Ring.data(), size - first);
}

void RecordQueue::PutLocked(std::string_view record)
{
    const std::uint32_t length = static_cast<std::uint32_t>(record.size());
    char prefix[kLengthBytes];
    std::memcpy(prefix, &length, kLengthBytes);
    CopyIn(prefix, kLengthBytes);
    CopyIn(record.data(), record.size());
    ++m_Records;
}

bool RecordQueue::PutAndWake(std::unique_lock<std::mutex>& lock, std::string_view first, std::string_view second, bool pair)
{
    if (!Fits(kLengthBytes + first.size() + (pair ? kLengthBytes + second.size() : 0)))
        return false;
    PutLocked(first);
    if (pair)
        PutLocked(second);
    const bool wake = m_Waiting || (m_WaitingForPressure && PressureLocked());
    if (wake)
        m_Waiting = m_WaitingForPressure = false;
    lock.unlock();
    if (wake)
        m_Ready.notify_one();
    return true;
}

bool RecordQueue::Push(std::string_view record)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    return PutAndWake(lock, record, {}, false);
}

bool RecordQueue::PushPair(std::string_view first, std::string_view second)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    return PutAndWake(lock, first, second, true);
}

bool RecordQueue::PushWaiting(std::string_view first, std::string_view second, std::uint32_t milliseconds)
{
    const bool pair = !second.empty();
    const std::size_t bytes = kLengthBytes + first.size() + (pair ? kLengthBytes + second.size() : 0);
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (!Fits(bytes) && bytes <= m_Ring.size()) {
        ++m_Blocked;
        m_Ready.notify_one();
        m_Room.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return Fits(bytes) || m_Woken; });
        --m_Blocked;
    }
    return PutAndWake(lock, first, second, pair);
}

bool RecordQueue::WaitForPressure(std::uint32_t milliseconds)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (!PressureLocked() && !m_Woken) {
        m_WaitingForPressure = true;
        m_Ready.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return PressureLocked() || m_Woken; });
        m_WaitingForPressure = false;
    }
    m_Woken = false;
    return PressureLocked();
}

bool RecordQueue::WaitForRecords(std::uint32_t milliseconds)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    if (m_Records == 0 && milliseconds > 0 && !m_Woken) {
        m_Waiting = true;
        m_Ready.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_Records > 0 || m_Woken; });
        m_Waiting = false;
    }
    m_Woken = false;
    return m_Records > 0;
}

std::size_t RecordQueue::Take(RecordBatch& batch, std::size_t maxBytes)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    std::size_t moved = 0;
    std::size_t bytes = 0;
    while (m_Records > 0) {
        std::uint32_t length;
        char prefix[kLengthBytes];
        CopyOut(m_Head, prefix, kLengthBytes);
        std::memcpy(&length, prefix, kLengthBytes);
        if (moved > 0 && bytes + length > maxBytes)
            break;
        CopyOut((m_Head + kLengthBytes) % m_Ring.size(), batch.AddRoom(length), length);
        m_Head = (m_Head + kLengthBytes + length) % m_Ring.size();
        m_Used -= kLengthBytes + length;
        --m_Records;
        ++moved;
        bytes += length;
    }
    if (moved > 0 && m_Blocked > 0)
        m_Room.notify_all();
    return moved;
}

void RecordQueue::Wake()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Woken = true;
    }
    m_Ready.notify_one();
    m_Room.notify_all();
}

bool RecordQueue::UnderPressure() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return PressureLocked();
}

std::size_t RecordQueue::Records() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Records;
}

std::size_t RecordQueue::BytesUsed() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Used;
}

}  // namespace Quorlin
