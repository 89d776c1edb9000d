#pragma once
// Network sockets: resolve and connect with a time limit, send, receive, listen on loopback.
//
// Every socket of this layer is non-blocking and not inherited by child processes; the waits are
// done here, bounded by the time each call is given. A name that does not resolve fails with
// ErrorKind::HostNotFound; on POSIX its native code is the resolver's (see posix/Posix.h), which
// ErrorText describes as well.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Status.h"

namespace Quorlin::os {

using SocketHandle = std::intptr_t;  // SOCKET or file descriptor
inline constexpr SocketHandle kNoSocket = -1;

enum class SocketKind : std::uint8_t { Datagram, Stream };

// Resolves `host` (a name or a numeric IPv4/IPv6 address) and connects a socket of `kind` to the first
// of its addresses that accepts within `timeoutMs` in all; a datagram socket is only connected to its
// peer, which no handshake confirms.
// On failure `socket` is kNoSocket and `error` a one line description naming the step and the peer:
// "cannot resolve [nosuch.invalid]: ...", "connection to [127.0.0.1]:[1] refused",
// "connection to [10.255.255.1]:[514] timed out after 2000 ms". Stream sockets keep their connection alive.
Status ConnectSocket(const char* host, std::uint16_t port, SocketKind kind, std::uint32_t timeoutMs, SocketHandle& socket,
                     std::string& error);

// Sends all `size` bytes, waiting at most `timeoutMs` in all for room (TimedOut after that), without
// raising SIGPIPE; `sent` tells how many bytes went. A datagram socket sends them as one datagram, and
// fails with ConnectionRefused once its peer has reported that nobody listens.
Status SendAll(SocketHandle socket, const void* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent);

// Waits at most `timeoutMs` for data and reads what is there, up to `capacity` bytes (the rest of a
// longer datagram is lost). TimedOut when nothing came; `received` == 0 with success means the peer
// closed the connection in order.
Status ReceiveSome(SocketHandle socket, void* buffer, std::size_t capacity, std::size_t& received, std::uint32_t timeoutMs);

// Closes the socket; kNoSocket is ignored.
void CloseSocket(SocketHandle socket) noexcept;

// For tests and local peers: a socket on 127.0.0.1 at `port` (0: a free port, written back), listening
// when it is a stream socket, bound when a datagram one. On failure `listener` is kNoSocket.
Status ListenLoopback(SocketKind kind, std::uint16_t& port, SocketHandle& listener);

// Accepts one connection on a stream listener within `timeoutMs` (TimedOut otherwise).
Status AcceptConnection(SocketHandle listener, std::uint32_t timeoutMs, SocketHandle& connection);

// This machine's host name (gethostname), or "" when it cannot be found.
std::string HostName();

}  // namespace Quorlin::os
