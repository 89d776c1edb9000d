#pragma once
// The transports, one per way of framing records; MakeTransport picks one and its connection.

#include <memory>

#include "network/StreamConnection.h"
#include "network/SyslogTransport.h"

namespace Quorlin {

// One datagram per record (RFC 5426).
std::unique_ptr<SyslogTransport> MakeUdpTransport(const SyslogPeer& peer);
// "LENGTH SP RECORD" frames over a stream (RFC 6587 octet counting; RFC 5425 over TLS).
std::unique_ptr<SyslogTransport> MakeOctetCountingTransport(const SyslogPeer& peer, std::unique_ptr<StreamConnection> connection);
// RELP transactions over a stream: a record is delivered when the collector has acknowledged it.
std::unique_ptr<SyslogTransport> MakeRelpTransport(const SyslogPeer& peer, std::unique_ptr<StreamConnection> connection);

}  // namespace Quorlin
