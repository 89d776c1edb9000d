#pragma once
// The base of the forwarding appenders: keeps a private copy of every accepted event and calls
// SendBuffer when the packet count or the waiting message bytes reach their limits. Its own
// SendBuffer throws the buffered events away.

#include <cstdint>
#include <memory>
#include <vector>

#include "buffering/LogPacketQueue.h"
#include "diagnostics/Export.h"
#include "host/Appender.h"

namespace Quorlin {

class QUORLIN_APPENDER_API BufferingAppender : public Appender {
public:
    static constexpr std::int32_t kDefaultLimitOfPkt = 16;
    static constexpr std::int32_t kMaxLimitOfPkt = 0x6000000;       // 100,663,296
    static constexpr std::int32_t kDefaultLimitOfBytes = 0xA00000;  // 10 MB

    BufferingAppender();
    // Destroys the packets still buffered, undelivered.
    ~BufferingAppender() override;

    // Opens the appender and lets the buffer take events again; true.
    bool Open() override;
    // Marks the appender closed; buffered packets stay until a SendBuffer or destruction.
    void Close() override;
    // Refusals (closed, threshold, filters), then a private copy into the buffer; SendBuffer, in this
    // thread and outside the buffer's lock, when a limit is reached.
    void Append(const LoggingEvent* event) override;
    void NewLine(std::int32_t) override {}
    // "limitOfLogPacket/value" and "limitOfMB/value" (key begins with, ignoring case); others go to
    // Appender::SetOption.
    void SetOption(const DString& key, const DString& value) override;
    // Throws the buffered packets away.
    virtual void SendBuffer();

    // The appenders this one hands events to, as far as they are known now; none here. Used to
    // refuse forwarding cycles.
    virtual std::vector<std::shared_ptr<Appender>> ReferencedAppenders() const;

    // The limits as stored, and what waits in the buffer now.
    std::int32_t GetLimitOfPkt() const { return m_LimitOfPkt; }
    std::int32_t GetLimitOfBytes() const { return m_LimitOfBytes; }
    std::size_t GetNbOfPackets() const { return m_Queue.Size(); }
    // Message bytes of the packets waiting.
    std::int64_t GetNbOfBytes() const { return m_Queue.GetCounts().bytes; }

protected:
    // Refuses Open when `firstTargets` lead back to this appender: writes a LevelError diagnostic that
    // names the cycle and returns true. `operation` names the caller in the message.
    bool RefusesCycle(const std::vector<std::shared_ptr<Appender>>& firstTargets, const char* operation) const;

    LogPacketQueue m_Queue;
    std::int32_t m_LimitOfPkt = kDefaultLimitOfPkt;
    std::int32_t m_LimitOfBytes = kDefaultLimitOfBytes;

private:
    bool ReachesLimit(const LogPacketQueue::Counts& counts) const;
};

}  // namespace Quorlin
