#pragma once
// How records reach the collector: one implementation per protocol, used by the sender thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "network/RecordQueue.h"

namespace Quorlin {

enum class SyslogProtocol : std::uint8_t { Udp, Tcp, Tls, Relp };

struct SyslogPeer {
    std::string host = "127.0.0.1";
    std::uint16_t port = 514;
    std::uint32_t timeoutMs = 5000;  // connecting, and each send
    std::string caFile;              // TLS: the certificates that may sign the collector's
};

class SyslogTransport {
public:
    virtual ~SyslogTransport() = default;

    // Opens a connection (or, over UDP, fixes the peer); false with a one-line `error`.
    virtual bool Connect(std::string& error) = 0;
    // Sends the batch's records from the oldest. `delivered` gives how many reached the collector:
    // acknowledged, or (without acknowledgements) handed to the system whole. false when the
    // connection failed and must be opened again.
    virtual bool Send(const RecordBatch& batch, std::size_t& delivered, std::string& error) = 0;
    // Ends the connection, politely when the protocol has a way; nothing when none is open.
    virtual void Disconnect() = 0;
};

// The transport for `protocol`, not yet connected; null for a protocol this build cannot speak.
std::unique_ptr<SyslogTransport> MakeTransport(SyslogProtocol protocol, const SyslogPeer& peer);

}  // namespace Quorlin
