#pragma once
// The buffer of a buffering appender: packets in arrival order and the message bytes they hold,
// guarded by one spin lock. The lock is never held while anything outside the queue runs.

#include <cstddef>
#include <cstdint>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "buffering/LogPacket.h"
#include "diagnostics/Export.h"
#include "os/Sync.h"

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
    // Copies the event into a spent packet when one is kept (else into a new one) and pushes it.
    bool PushCopy(const LoggingEvent& event, Counts& after);
    // Takes back packets that have been forwarded, and the storage of their batch, for reuse by
    // PushCopy and Take; what the bounds do not keep is destroyed. `spent` is left empty.
    void Recycle(Packets& spent);
    void Recycle(std::unique_ptr<LogPacket> spent);
    // The number of packets waiting (as of the last change, without taking the lock), and with
    // GetCounts their message bytes, read under the lock.
    std::size_t Size() const;
    Counts GetCounts() const;
    // Moves every packet out in arrival order, storage and all.
    Packets TakeAll();
    // Moves the packets out for forwarding: a lone packet into `single`, so that the queue keeps its
    // storage for the next one; two or more into `many`, storage and all. Returns how many.
    std::size_t Take(std::unique_ptr<LogPacket>& single, Packets& many);
    // Drops every packet (kept for reuse within the bounds); the storage stays.
    void Clear();
    // Refuses every later Push until Unseal, and moves out what is still waiting, in one step: a
    // packet is either among those returned or refused.
    Packets Seal();
    // Lets Push take packets again.
    void Unseal();

    // What the queue keeps for reuse at most: packets, and the message length of each.
    static constexpr std::size_t kMaxSpares = 8192;
    static constexpr std::int32_t kMaxSpareText = 1024;

private:
    void KeepLocked(std::unique_ptr<LogPacket>& spent);

    mutable os::SpinLock m_Mutex;  // taken by the producers on every event: they spin, never sleep
    Packets m_Packets;
    Packets m_Spares;        // spent packets, their strings' storage kept
    Packets m_SpareStorage;  // empty, with the capacity of a batch taken earlier
    std::int64_t m_NbOfBytes = 0;
    std::atomic<std::size_t> m_Size{0};  // m_Packets.size(), written under the lock
    bool m_Sealed = false;
};

}  // namespace Quorlin
