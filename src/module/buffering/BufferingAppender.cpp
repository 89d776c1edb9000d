#include "BufferingAppender.h"

#include <limits>

#include "buffering/ForwardingCycle.h"
#include "diagnostics/Trace.h"

namespace Quorlin {
namespace {

constexpr std::int64_t kBytesPerMB = 1'048'576;

// The option keys match when the key begins with them, whatever the case.
bool BeginsNoCase(const DString& key, const char* name) { return key.NCFind(name) == 0; }

}  // namespace

BufferingAppender::BufferingAppender() { SetTypeName(DString("Appender.Buffering")); }

BufferingAppender::~BufferingAppender() = default;

bool BufferingAppender::Open()
{
    m_Queue.Unseal();
    Appender::Open();
    Trace(LevelInfo, "[{$}] Leave BufferingAppender.Open", m_InstanceNumber);
    return true;
}

void BufferingAppender::Close()
{
    Appender::Close();
    Trace(LevelInfo, "[{$}] Leave BufferingAppender.Close", m_InstanceNumber);
}

void BufferingAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event))
        return;
    LogPacketQueue::Counts counts;
    if (!m_Queue.PushCopy(*event, counts))
        return;  // the appender is closing: the event was not accepted
    if (ReachesLimit(counts))
        SendBuffer();
}

bool BufferingAppender::ReachesLimit(const LogPacketQueue::Counts& counts) const
{
    // A limit of 0 sends after every event; a negative one leaves only the byte limit.
    const std::int64_t limit = m_LimitOfPkt;
    if (limit >= 0 && static_cast<std::int64_t>(counts.packets) >= limit)
        return true;
    return counts.bytes > m_LimitOfBytes;
}

void BufferingAppender::SendBuffer() { m_Queue.Clear(); }

std::vector<std::shared_ptr<Appender>> BufferingAppender::ReferencedAppenders() const { return {}; }

void BufferingAppender::SetOption(const DString& key, const DString& value)
{
    if (BeginsNoCase(key, "limitOfLogPacket/value")) {
        const std::int32_t limit = value.To<int>();
        m_LimitOfPkt = limit > kMaxLimitOfPkt ? kMaxLimitOfPkt : limit;
        if (LogLog::IsOn())
            TraceText(LevelInfo, Format("BufferingAppender.SetOption, LimitOfPkt : {$}", m_LimitOfPkt));
        return;
    }
    if (BeginsNoCase(key, "limitOfMB/value")) {
        // Computed in 64 bits: a value beyond -2048..2047 MB does not fit the byte limit and is clamped.
        const std::int64_t megabytes = value.To<int>();
        std::int64_t bytes = megabytes * kBytesPerMB;
        if (bytes > std::numeric_limits<std::int32_t>::max() || bytes < std::numeric_limits<std::int32_t>::min()) {
            bytes = bytes > 0 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
            Trace(LevelWarn, "BufferingAppender.SetOption, limitOfMB/value {$} is out of range, m_LimitOfBytes clamped to {$}",
                  megabytes, bytes);
        }
        m_LimitOfBytes = static_cast<std::int32_t>(bytes);
        if (LogLog::IsOn())
            TraceText(LevelInfo, Format("BufferingAppender.SetOption, m_LimitOfBytes : {$} ({$} MB)", m_LimitOfBytes,
                                        static_cast<std::int32_t>(m_LimitOfBytes / kBytesPerMB)));
        return;
    }
    Appender::SetOption(key, value);
}

bool BufferingAppender::RefusesCycle(const std::vector<std::shared_ptr<Appender>>& firstTargets, const char* operation) const
{
    const DString cycle = FindForwardingCycle(*this, firstTargets);
    if (cycle.IsEmpty())
        return false;
    Trace(LevelError, "[{$}] {$}, forwarding cycle refused : [{$}]", m_InstanceNumber, operation, cycle);
    return true;
}

}  // namespace Quorlin
