#include "../Socket.h"
#include "../SocketText.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Posix.h"

namespace Quorlin::os {
namespace {

using posix::AwaitReady;
using posix::Deadline;
using posix::LastError;

Status Fail(int error) noexcept { return FromNative(static_cast<std::uint32_t>(error)); }

int SocketType(SocketKind kind) noexcept { return kind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM; }

// A socket of this layer: non-blocking, closed in child processes, kept alive when it is a stream.
int OpenSocket(int family, int type, int protocol) noexcept
{
    const int fd = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd >= 0 && type == SOCK_STREAM) {
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    }
    return fd;
}

// Connects `fd` to `address` within the deadline; the status of the attempt.
Status ConnectWithin(int fd, const addrinfo& address, const Deadline& deadline) noexcept
{
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return {};
    // EINTR leaves the connection under way, as EINPROGRESS does.
    if (errno != EINPROGRESS && errno != EINTR)
        return LastError();
    const Status ready = AwaitReady(fd, POLLOUT, deadline);
    if (!ready)
        return ready;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return LastError();
    return Fail(error);
}


}  // namespace

Status posix::AwaitReady(int fd, short events, const Deadline& deadline) noexcept
{
    for (;;) {
        pollfd entry = {fd, events, 0};
        const int ready = ::poll(&entry, 1, deadline.LeftMs());
        if (ready > 0)
            return {};  // readiness, a hang-up or an error: the next call on the socket tells which
        if (ready == 0)
            return Fail(ETIMEDOUT);
        if (errno != EINTR)
            return LastError();
    }
}

Status ConnectSocket(const char* host, std::uint16_t port, SocketKind kind, std::uint32_t timeoutMs, SocketHandle& socket,
                     std::string& error)
{
    socket = kNoSocket;
    error.clear();
    if (!host || !*host) {
        error = "cannot connect: no host given";
        return Fail(EINVAL);
    }
    const Deadline deadline(timeoutMs);
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SocketType(kind);
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* addresses = nullptr;
    const int resolved = ::getaddrinfo(host, std::to_string(port).c_str(), &hints, &addresses);
    if (resolved != 0) {
        const Status status = resolved == EAI_SYSTEM ? LastError() : FromNative(posix::FromResolver(resolved));
        error = "cannot resolve [" + std::string(host) + "]: " + ErrorText(status.native);
        return status;
    }
    Status status = Fail(EADDRNOTAVAIL);  // stands when the name gave no address at all
    bool attempted = false;
    for (const addrinfo* address = addresses; address; address = address->ai_next) {
        posix::UniqueFd fd(OpenSocket(address->ai_family, address->ai_socktype, address->ai_protocol));
        if (fd.Get() < 0) {
            // A family this machine lacks: the next address may do, and a refusal says more.
            if (!attempted)
                status = LastError();
            continue;
        }
        attempted = true;
        status = ConnectWithin(fd.Get(), *address, deadline);
        if (status) {
            socket = fd.Release();
            break;
        }
        if (status.kind == ErrorKind::TimedOut)
            break;  // the time is spent for all addresses
    }
    ::freeaddrinfo(addresses);
    if (!status)
        error = DescribeConnectFailure(status, host, port, timeoutMs);
    return status;
}

Status SendAll(SocketHandle socket, const void* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent)
{
    sent = 0;
    const int fd = static_cast<int>(socket);
    const Deadline deadline(timeoutMs);
    const char* bytes = static_cast<const char*>(data);
    while (sent < size) {
        // MSG_NOSIGNAL: a closed connection fails with EPIPE instead of ending the process.
        const ssize_t written = ::send(fd, bytes + sent, size - sent, MSG_NOSIGNAL);
        if (written >= 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LastError();
        if (const Status ready = AwaitReady(fd, POLLOUT, deadline); !ready)
            return ready;
    }
    return {};
}

Status ReceiveSome(SocketHandle socket, void* buffer, std::size_t capacity, std::size_t& received, std::uint32_t timeoutMs)
{
    received = 0;
    const int fd = static_cast<int>(socket);
    const Deadline deadline(timeoutMs);
    for (;;) {
        const ssize_t count = ::recv(fd, buffer, capacity, 0);
        if (count >= 0) {
            received = static_cast<std::size_t>(count);
            return {};
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LastError();
        if (const Status ready = AwaitReady(fd, POLLIN, deadline); !ready)
            return ready;
    }
}

void CloseSocket(SocketHandle socket) noexcept
{
    if (socket != kNoSocket)
        ::close(static_cast<int>(socket));
}

Status ListenLoopback(SocketKind kind, std::uint16_t& port, SocketHandle& listener)
{
    listener = kNoSocket;
    const int type = SocketType(kind);
    posix::UniqueFd fd(OpenSocket(AF_INET, type, 0));
    if (fd.Get() < 0)
        return LastError();
    if (type == SOCK_STREAM) {
        // A fixed port stays usable while connections of an earlier listener linger in TIME_WAIT.
        const int on = 1;
        ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return LastError();
    if (type == SOCK_STREAM && ::listen(fd.Get(), SOMAXCONN) != 0)
        return LastError();
    socklen_t length = sizeof address;
    if (::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return LastError();
    port = ntohs(address.sin_port);
    listener = fd.Release();
    return {};
}

Status AcceptConnection(SocketHandle listener, std::uint32_t timeoutMs, SocketHandle& connection)
{
    connection = kNoSocket;
    const int fd = static_cast<int>(listener);
    const Deadline deadline(timeoutMs);
    for (;;) {
        const int accepted = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted >= 0) {
            const int on = 1;
            ::setsockopt(accepted, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
            connection = accepted;
            return {};
        }
        // A connection reset before it was taken is gone; the wait goes on for the next.
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return LastError();
        if (const Status ready = AwaitReady(fd, POLLIN, deadline); !ready)
            return ready;
    }
}

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

}  // namespace Quorlin::os
