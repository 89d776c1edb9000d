#pragma once
// TLS client sessions over connected stream sockets: OpenSSL on POSIX, Schannel on Windows.
//
// Only TLS 1.2 and later are offered. The server is trusted only when its certificate chains to a
// root in the CA file given (never the system's store) and names the server, in its subjectAltName
// (an IP address literal in its IP entries). A certificate that fails either check fails with
// ErrorKind::BadCertificate: on Windows its native code is the certificate or SSPI code (CERT_E_...,
// SEC_E_...), on POSIX OpenSSL's verify result as posix::FromCertificate makes it; ErrorText describes
// both. Other protocol failures are EPROTO (POSIX) or their SEC_E_ code (Windows), of kind Other.
// After a failed TlsSend or TlsReceive a session is good for TlsClose only.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Socket.h"
#include "Status.h"

namespace Quorlin::os {

using TlsHandle = void*;  // null: none

// Runs a TLS client handshake over the connected stream `socket` (which the session then owns and
// closes) within `timeoutMs`, and checks the server's certificate against the PEM file `caFile` and
// `serverName` (a DNS name, also sent as SNI, or an IP address literal). On failure `session` is null,
// the socket is closed and `error` one line naming the peer or the file:
// "TLS handshake with [127.0.0.1]: certificate verify failed: unable to get local issuer certificate",
// "cannot read CA file [x.pem]: No such file or directory".
Status TlsConnect(SocketHandle socket, const char* serverName, const char* caFile, std::uint32_t timeoutMs, TlsHandle& session,
                  std::string& error);

// Sends all `size` bytes over the session, as SendAll does over a socket: at most `timeoutMs` in all
// (TimedOut after that), never raising SIGPIPE; `sent` tells how many bytes went in whole records.
// A reset connection fails with ConnectionLost.
Status TlsSend(TlsHandle session, const void* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent);

// Waits at most `timeoutMs` for data and reads what is there, up to `capacity` bytes, as ReceiveSome
// does. TimedOut when nothing came; `received` == 0 with success means the peer closed the session in
// order (close_notify). A connection closed without it fails with ConnectionLost, as a reset does.
Status TlsReceive(TlsHandle session, void* buffer, std::size_t capacity, std::size_t& received, std::uint32_t timeoutMs);

// Sends close_notify (best effort, waiting a moment at most) and closes the socket; null is ignored.
void TlsClose(TlsHandle session) noexcept;

}  // namespace Quorlin::os
