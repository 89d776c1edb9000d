#include "../Socket.h"
#include "../SocketText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <string>

#include "Win32.h"

namespace Quorlin::os {
namespace {

using win32::Deadline;

Status Fail(int error) noexcept { return FromNative(static_cast<std::uint32_t>(error)); }
Status LastSocketError() noexcept { return Fail(::WSAGetLastError()); }

// The first call starts Winsock for the process. It is never stopped: sockets may live until the exit.
Status StartWinsock() noexcept
{
    static const int result = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return Fail(result);
}

SOCKET ToSocket(SocketHandle socket) noexcept { return static_cast<SOCKET>(socket); }

// Waits until `socket` is readable (or writable) or has failed, at most until the deadline; WSAETIMEDOUT
// then. select rather than WSAPoll, which misses a failed connect on older systems.
Status AwaitReady(SOCKET socket, bool forWriting, const Deadline& deadline) noexcept
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    const int left = deadline.LeftMs();
    timeval limit = {left / 1000, (left % 1000) * 1000};
    const int count = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &limit);
    if (count > 0)
        return {};  // readiness or a failure: the next call on the socket tells which
    return count == 0 ? Fail(WSAETIMEDOUT) : LastSocketError();
}

bool IsDatagram(SOCKET socket) noexcept
{
    int type = 0;
    int length = sizeof type;
    return ::getsockopt(socket, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) == 0 && type == SOCK_DGRAM;
}

// Winsock reports a datagram that the peer refused (ICMP port unreachable) as WSAECONNRESET on the
// next call; it is told here as the refusal it is.
Status TransferError(SOCKET socket) noexcept
{
    const int error = ::WSAGetLastError();
    return Fail(error == WSAECONNRESET && IsDatagram(socket) ? WSAECONNREFUSED : error);
}

int SocketType(SocketKind kind) noexcept { return kind == SocketKind::Stream ? SOCK_STREAM : SOCK_DGRAM; }

// Non-blocking and kept alive when it is a stream.
Status Prepare(SOCKET socket, int type) noexcept
{
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0)
        return LastSocketError();
    if (type == SOCK_STREAM) {
        const BOOL on = TRUE;
        ::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    }
    return {};
}

// A socket of this layer, not inherited by child processes; INVALID_SOCKET with the error set on failure.
SOCKET OpenSocket(int family, int type, int protocol) noexcept
{
    const SOCKET socket = ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == INVALID_SOCKET)
        return socket;
    if (!Prepare(socket, type)) {
        const int error = ::WSAGetLastError();
        ::closesocket(socket);
        ::WSASetLastError(error);
        return INVALID_SOCKET;
    }
    return socket;
}

// A socket closed when it goes out of scope.
class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET socket) noexcept : m_Socket(socket) {}
    ~UniqueSocket()
    {
        if (m_Socket != INVALID_SOCKET)
            ::closesocket(m_Socket);
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SOCKET Get() const noexcept { return m_Socket; }
    SocketHandle Release() noexcept
    {
        const SOCKET socket = m_Socket;
        m_Socket = INVALID_SOCKET;
        return static_cast<SocketHandle>(socket);
    }

private:
    SOCKET m_Socket;
};

// Connects `socket` to `address` within the deadline; the status of the attempt.
Status ConnectWithin(SOCKET socket, const ADDRINFOW& address, const Deadline& deadline) noexcept
{
    if (::connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
        return {};
    if (::WSAGetLastError() != WSAEWOULDBLOCK)
        return LastSocketError();
    if (const Status ready = AwaitReady(socket, true, deadline); !ready)
        return ready;
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return LastSocketError();
    return Fail(error);
}


}  // namespace

Status ConnectSocket(const char* host, std::uint16_t port, SocketKind kind, std::uint32_t timeoutMs, SocketHandle& socket,
                     std::string& error)
{
    socket = kNoSocket;
    error.clear();
    if (!host || !*host) {
        error = "cannot connect: no host given";
        return Fail(WSAEINVAL);
    }
    if (const Status started = StartWinsock(); !started) {
        error = "cannot start Winsock: " + ErrorText(started.native);
        return started;
    }
    const Deadline deadline(timeoutMs);
    ADDRINFOW hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SocketType(kind);
    hints.ai_flags = AI_NUMERICSERV;
    ADDRINFOW* addresses = nullptr;
    // The wide call: host names are UTF-8 here, and the narrow one would read them in the ANSI code page.
    const int resolved = ::GetAddrInfoW(win32::Utf8ToWide(host).c_str(), std::to_wstring(port).c_str(), &hints, &addresses);
    if (resolved != 0) {
        const Status status = Fail(resolved);
        error = "cannot resolve [" + std::string(host) + "]: " + ErrorText(status.native);
        return status;
    }
    Status status = Fail(WSAEADDRNOTAVAIL);  // stands when the name gave no address at all
    bool attempted = false;
    for (const ADDRINFOW* address = addresses; address; address = address->ai_next) {
        UniqueSocket candidate(OpenSocket(address->ai_family, address->ai_socktype, address->ai_protocol));
        if (candidate.Get() == INVALID_SOCKET) {
            // A family this machine lacks: the next address may do, and a refusal says more.
            if (!attempted)
                status = LastSocketError();
            continue;
        }
        attempted = true;
        status = ConnectWithin(candidate.Get(), *address, deadline);
        if (status) {
            socket = candidate.Release();
            break;
        }
        if (status.kind == ErrorKind::TimedOut)
            break;  // the time is spent for all addresses
    }
    ::FreeAddrInfoW(addresses);
    if (!status)
        error = DescribeConnectFailure(status, host, port, timeoutMs);
    return status;
}

Status SendAll(SocketHandle socket, const void* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent)
{
    sent = 0;
    const SOCKET target = ToSocket(socket);
    const Deadline deadline(timeoutMs);
    const char* bytes = static_cast<const char*>(data);
    while (sent < size) {
        const int chunk = static_cast<int>(std::min<std::size_t>(size - sent, INT_MAX));
        const int written = ::send(target, bytes + sent, chunk, 0);
        if (written != SOCKET_ERROR) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            return TransferError(target);
        if (const Status ready = AwaitReady(target, true, deadline); !ready)
            return ready;
    }
    return {};
}

Status ReceiveSome(SocketHandle socket, void* buffer, std::size_t capacity, std::size_t& received, std::uint32_t timeoutMs)
{
    received = 0;
    const SOCKET source = ToSocket(socket);
    const Deadline deadline(timeoutMs);
    const int room = static_cast<int>(std::min<std::size_t>(capacity, INT_MAX));
    for (;;) {
        const int count = ::recv(source, static_cast<char*>(buffer), room, 0);
        if (count != SOCKET_ERROR) {
            received = static_cast<std::size_t>(count);
            return {};
        }
        const int error = ::WSAGetLastError();
        if (error == WSAEMSGSIZE) {
            received = static_cast<std::size_t>(room);  // a longer datagram, cut to the buffer as POSIX does
            return {};
        }
        if (error != WSAEWOULDBLOCK)
            return TransferError(source);
        if (const Status ready = AwaitReady(source, false, deadline); !ready)
            return ready;
    }
}

void CloseSocket(SocketHandle socket) noexcept
{
    if (socket != kNoSocket)
        ::closesocket(ToSocket(socket));
}

Status ListenLoopback(SocketKind kind, std::uint16_t& port, SocketHandle& listener)
{
    listener = kNoSocket;
    if (const Status started = StartWinsock(); !started)
        return started;
    const int type = SocketType(kind);
    UniqueSocket socket(OpenSocket(AF_INET, type, 0));
    if (socket.Get() == INVALID_SOCKET)
        return LastSocketError();
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return LastSocketError();
    if (type == SOCK_STREAM && ::listen(socket.Get(), SOMAXCONN) != 0)
        return LastSocketError();
    int length = sizeof address;
    if (::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return LastSocketError();
    port = ntohs(address.sin_port);
    listener = socket.Release();
    return {};
}

Status AcceptConnection(SocketHandle listener, std::uint32_t timeoutMs, SocketHandle& connection)
{
    connection = kNoSocket;
    const SOCKET source = ToSocket(listener);
    const Deadline deadline(timeoutMs);
    for (;;) {
        UniqueSocket accepted(::accept(source, nullptr, nullptr));
        if (accepted.Get() != INVALID_SOCKET) {
            // The accepted socket takes the listener's settings; the handle flag is set again to be sure.
            ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted.Get()), HANDLE_FLAG_INHERIT, 0);
            if (const Status prepared = Prepare(accepted.Get(), SOCK_STREAM); !prepared)
                return prepared;
            connection = accepted.Release();
            return {};
        }
        const int error = ::WSAGetLastError();
        // A connection reset before it was taken is gone; the wait goes on for the next.
        if (error == WSAECONNRESET)
            continue;
        if (error != WSAEWOULDBLOCK)
            return Fail(error);
        if (const Status ready = AwaitReady(source, false, deadline); !ready)
            return ready;
    }
}

std::string HostName()
{
    if (!StartWinsock())
        return {};
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

}  // namespace Quorlin::os
