#pragma once
// The buffer of a buffering appender: packets in arrival order and the message bytes they hold,
// guarded by one mutex. The mutex is never held while anything outside the queue runs.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "buffering/LogPacket.h"
#include "frame/Export.h"

namespace Quorlin {

class QUORLIN_APPENDER_API LogPacketQueue {
public:
    using Packets = std::vector<std::unique_ptr<LogPacket>>;

    struct Counts {
        std::size_t packets = 0;
        std::int64_t bytes = 0;  // message bytes of the packets waiting
    };

    LogPacketQueue();
    virtual ~LogPacketQueue();
    LogPacketQueue(const LogPacketQueue&) = delete;
    LogPacketQueue& operator=(const LogPacketQueue&) = delete;

    // Appends the packet and gives the counts that include it; false (the packet destroyed) while
    // the queue is sealed.
    bool Push(std::unique_ptr<LogPacket> packet, Counts& after);
    // The number of packets waiting, and with GetCounts their message bytes, read under the mutex.
    std::size_t Size() const;
    Counts GetCounts() const;
    // Moves every packet out in arrival order; the queue keeps no storage.
    Packets TakeAll();
    // Moves the packets out for forwarding: a lone packet into `single`, so that the queue keeps its
    // storage for the next one; two or more into `many`, storage and all. Returns how many.
    std::size_t Take(std::unique_ptr<LogPacket>& single, Packets& many);
    // Destroys every packet; the storage stays.
    void Clear();
    // Refuses every later Push until Unseal, and moves out what is still waiting, in one step: a
    // packet is either among those returned or refused.
    Packets Seal();
    // Lets Push take packets again.
    void Unseal();

private:
    mutable std::mutex m_Mutex;
    Packets m_Packets;
    std::int64_t m_NbOfBytes = 0;
    bool m_Sealed = false;
};

} // namespace Quorlin
