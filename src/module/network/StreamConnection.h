#pragma once
// A connection to the collector that the transports open, use and open again: plain TCP, or TLS.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "network/Connection.h"
#include "network/SyslogTransport.h"
#include "os/Status.h"

namespace Quorlin {

class StreamConnection : public Connection {
public:
    // Connects (again, after Shut); false with a one-line `error`.
    virtual bool Open(std::string& error) = 0;
    // Closes what is open; nothing when nothing is.
    virtual void Shut() = 0;
    // Sends all bytes within timeoutMs; `sent` tells how many went, `error` why not all did.
    virtual bool SendCounted(const char* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent,
                             std::string& error) = 0;

    bool Send(const char* data, std::size_t size, std::uint32_t timeoutMs) override
    {
        std::size_t sent = 0;
        std::string error;
        return SendCounted(data, size, timeoutMs, sent, error);
    }
};

// What Receive gives for a read's status: the bytes read, 0 when nothing came in time, -1 when the
// connection is closed or failed.
inline long ReceiveResult(const os::Status& status, std::size_t received)
{
    if (status.kind == os::ErrorKind::TimedOut)
        return 0;
    return status && received > 0 ? static_cast<long>(received) : -1;
}

// Plain TCP to the peer.
std::unique_ptr<StreamConnection> MakePlainConnection(const SyslogPeer& peer);
// TLS over TCP, the peer's certificate checked against its CA file; null when this build has no TLS.
std::unique_ptr<StreamConnection> MakeTlsConnection(const SyslogPeer& peer);

// The peer as the diagnostics show it: "[host]:[port]".
std::string PeerText(const SyslogPeer& peer);

}  // namespace Quorlin
