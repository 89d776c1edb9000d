#pragma once
// The records waiting for the sender: a ring of bytes of a fixed capacity, each record kept whole
// behind its length. Producers add, one consumer takes them out in order; the memory is taken once.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Quorlin {

// Records taken out of the queue, oldest first, with their lengths; their room is kept from batch to batch.
class RecordBatch {
public:
    void Add(std::string_view record);
    // Room for a record of `length` bytes at the end, to be filled by the caller.
    char* AddRoom(std::uint32_t length);
    void Clear();
    // Forgets the first `count` records (delivered), keeping the rest.
    void DropFront(std::size_t count);

    std::size_t Count() const { return m_Lengths.size() - m_First; }
    bool Empty() const { return Count() == 0; }
    std::size_t Bytes() const { return m_Bytes.size() - m_Offset; }
    // The i-th record still held (0: the oldest).
    std::string_view Record(std::size_t i) const;

private:
    std::string m_Bytes;
    std::vector<std::uint32_t> m_Lengths;
    std::vector<std::size_t> m_Starts;
    std::size_t m_First = 0;   // records before it were dropped
    std::size_t m_Offset = 0;  // bytes before it were dropped
};

class RecordQueue {
public:
    explicit RecordQueue(std::size_t capacity);

    // Adds a record; false when it does not fit beside what waits (nothing is added then).
    bool Push(std::string_view record);
    // Adds `first` and then `second` together, or neither; false when both do not fit.
    bool PushPair(std::string_view first, std::string_view second);
    // Like Push (`second` empty) or PushPair, but when they do not fit, wakes the consumer and waits
    // up to `milliseconds` for room.
    bool PushWaiting(std::string_view first, std::string_view second, std::uint32_t milliseconds);
    // Waits up to `milliseconds` until the queue is three quarters full or a producer waits for
    // room (or Wake); true when one of them holds.
    bool WaitForPressure(std::uint32_t milliseconds);
    // Moves the oldest records into `batch`, at least one when any waits, until `maxBytes` would be
    // passed; gives the count moved. Never waits.
    std::size_t Take(RecordBatch& batch, std::size_t maxBytes);
    // Waits up to `milliseconds` for a record; true when one waits.
    bool WaitForRecords(std::uint32_t milliseconds);
    // Wakes a WaitForRecords or WaitForPressure that waits (at a stop).
    void Wake();

    bool UnderPressure() const;
    std::size_t Capacity() const { return m_Ring.size(); }
    std::size_t Records() const;
    std::size_t BytesUsed() const;

private:
    bool Fits(std::size_t bytes) const { return m_Ring.size() - m_Used >= bytes; }
    bool PressureLocked() const { return m_Blocked > 0 || m_Used > m_Ring.size() / 4 * 3; }
    // Puts one or two records in and wakes a consumer that waits for them; false when they do not fit.
    bool PutAndWake(std::unique_lock<std::mutex>& lock, std::string_view first, std::string_view second, bool pair);
    void PutLocked(std::string_view record);
    void CopyIn(const char* data, std::size_t size);
    void CopyOut(std::size_t at, char* data, std::size_t size) const;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Ready;  // the consumer waits for records or for pressure
    std::condition_variable m_Room;   // producers wait for room
    std::vector<char> m_Ring;
    std::size_t m_Head = 0;  // the oldest record's length
    std::size_t m_Tail = 0;  // where the next record goes
    std::size_t m_Used = 0;
    std::size_t m_Records = 0;
    bool m_Waiting = false;  // the consumer sleeps in WaitForRecords: producers notify only then
    bool m_WaitingForPressure = false;
    int m_Blocked = 0;       // producers waiting for room
    bool m_Woken = false;
};

}  // namespace Quorlin
