#pragma once
// "Appender.Syslog": sends each event to a syslog collector (RFC 5424 or RFC 3164 records, over
// UDP or TCP with octet counting). The logging threads only format the record and queue it; the
// appender's sender thread connects, sends, and reconnects when the collector goes away. What does
// not fit the queue is counted as lost and reported, and the collector gets a note where the gap is.

#include <cstdint>
#include <memory>
#include <string>

#include "diagnostics/WriteStalls.h"
#include "file/LossAccount.h"
#include "host/Appender.h"
#include "network/RecordQueue.h"
#include "network/SyslogFormat.h"
#include "network/SyslogSender.h"
#include "network/SyslogTransport.h"

namespace Quorlin {

class SyslogAppender : public Appender, protected WriteStalls::Probe {
public:
    SyslogAppender();
    // Closes first when still open.
    ~SyslogAppender() override;

    // Starts the sender; false when the protocol cannot be spoken by this build.
    bool Open() override;
    // Refuses new events, lets the sender deliver what waits for up to closeTimeout/value, then
    // stops it; what is still unsent is counted as lost and reported.
    void Close() override;
    // Refusals, then the record into the queue; never waits for the network.
    void Append(const LoggingEvent* event) override;
    void SetOption(const DString& key, const DString& value) override;
    // Fills in the defaults that depend on the machine (host name, program name, port).
    void ActivateOptions() override;

    std::uint64_t GetSent() const { return m_Sender ? m_Sender->Sent() : 0; }
    std::uint64_t GetLost() const { return m_Losses.Total(); }
    const std::string& GetTarget() const { return m_Target; }

protected:
    void TryAgain() override;

private:
    // Queues `record` (none when empty), after the note of earlier losses when there are any; false when it does not fit.
    bool Queue(const std::string& record);
    // Into the memory queue (`second` after `first` when not empty), or false when it is full.
    bool Push(std::string_view first, std::string_view second);
    void OptionError(const char* option, const DString& value);

    SyslogProtocol m_Protocol = SyslogProtocol::Tcp;
    SyslogPeer m_Peer;
    bool m_PortGiven = false;
    SyslogHeader m_Fields;
    std::uint64_t m_QueueSize = 8u << 20;
    std::uint32_t m_CloseTimeoutMs = 5000;
    std::uint32_t m_ReconnectDelayMs = 30000;
    std::string m_SpoolDirectory;  // empty: no spool
    std::uint64_t m_SpoolSize = 256u << 20;
    std::string m_Target;     // "tcp://127.0.0.1:514"
    WString m_TargetText;     // the same, for the loss account
    std::unique_ptr<RecordQueue> m_Queue;
    std::unique_ptr<SyslogSender> m_Sender;
    LossAccount m_Losses{*this, "SyslogAppender"};
};

}  // namespace Quorlin
