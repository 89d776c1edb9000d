#include "Loopback.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace QuorlinTest {
namespace {

bool Started()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

sockaddr_in Address(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Not inheritable: a program started later must not keep a connection open after its owner closed it.
std::intptr_t NewSocket(int type, int protocol)
{
    if (!Started())
        return -1;
    const SOCKET socket = ::WSASocketW(AF_INET, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    return socket == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(socket);
}

SOCKET Native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

bool Readable(std::intptr_t handle, std::uint32_t timeoutMs)
{
    WSAPOLLFD entry{Native(handle), POLLRDNORM, 0};
    return ::WSAPoll(&entry, 1, static_cast<INT>(timeoutMs)) > 0;
}

}  // namespace

LoopbackSocket LoopbackSocket::Listen()
{
    LoopbackSocket socket(NewSocket(SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = Address(0);
    if (socket.Open() && (::bind(Native(socket.m_Handle), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
                          ::listen(Native(socket.m_Handle), 8) != 0))
        socket.Close();
    return socket;
}

LoopbackSocket LoopbackSocket::Connect(std::uint16_t port)
{
    LoopbackSocket socket(NewSocket(SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = Address(port);
    if (socket.Open() && ::connect(Native(socket.m_Handle), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.Close();
    return socket;
}

LoopbackSocket LoopbackSocket::Udp(std::uint16_t port)
{
    LoopbackSocket socket(NewSocket(SOCK_DGRAM, IPPROTO_UDP));
    const sockaddr_in address = Address(port);
    if (socket.Open() && ::bind(Native(socket.m_Handle), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.Close();
    return socket;
}

LoopbackSocket& LoopbackSocket::operator=(LoopbackSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_Handle = other.m_Handle;
        other.m_Handle = -1;
    }
    return *this;
}

LoopbackSocket::~LoopbackSocket() { Close(); }

void LoopbackSocket::Close()
{
    if (m_Handle != -1)
        ::closesocket(Native(m_Handle));
    m_Handle = -1;
}

std::uint16_t LoopbackSocket::Port() const
{
    sockaddr_in address{};
    int size = sizeof address;
    if (!Open() || ::getsockname(Native(m_Handle), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

LoopbackSocket LoopbackSocket::Accept(std::uint32_t timeoutMs)
{
    if (!Open() || !Readable(m_Handle, timeoutMs))
        return LoopbackSocket();
    const SOCKET accepted = ::accept(Native(m_Handle), nullptr, nullptr);
    if (accepted == INVALID_SOCKET)
        return LoopbackSocket();
    ::SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
    return LoopbackSocket(static_cast<std::intptr_t>(accepted));
}

bool LoopbackSocket::Send(std::string_view bytes)
{
    while (Open() && !bytes.empty()) {
        const int sent = ::send(Native(m_Handle), bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return Open();
}

bool LoopbackSocket::SendTo(std::uint16_t port, std::string_view datagram)
{
    const sockaddr_in address = Address(port);
    return Open() && ::sendto(Native(m_Handle), datagram.data(), static_cast<int>(datagram.size()), 0,
                              reinterpret_cast<const sockaddr*>(&address), sizeof address) == static_cast<int>(datagram.size());
}

int LoopbackSocket::Receive(char* buffer, std::size_t size, std::uint32_t timeoutMs)
{
    if (!Open() || !Readable(m_Handle, timeoutMs))
        return -1;
    const int got = ::recv(Native(m_Handle), buffer, static_cast<int>(size), 0);
    return got < 0 ? -1 : got;
}

}  // namespace QuorlinTest
