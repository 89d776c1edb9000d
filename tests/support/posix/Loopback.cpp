#include "Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace QuorlinTest {
namespace {

sockaddr_in Address(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Descriptors are close-on-exec: a child started later (another collector's script) must not keep
// a connection open after its owner closed it.
int NewSocket(int type) { return ::socket(AF_INET, type | SOCK_CLOEXEC, 0); }

bool Readable(int fd, std::uint32_t timeoutMs)
{
    pollfd entry{fd, POLLIN, 0};
    int ready;
    do
        ready = ::poll(&entry, 1, static_cast<int>(timeoutMs));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace

LoopbackSocket LoopbackSocket::Listen()
{
    const int fd = NewSocket(SOCK_STREAM);
    const sockaddr_in address = Address(0);
    LoopbackSocket socket(fd);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0)
        socket.Close();
    return socket;
}

LoopbackSocket LoopbackSocket::Connect(std::uint16_t port)
{
    const int fd = NewSocket(SOCK_STREAM);
    const sockaddr_in address = Address(port);
    LoopbackSocket socket(fd);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.Close();
    return socket;
}

LoopbackSocket LoopbackSocket::Udp(std::uint16_t port)
{
    const int fd = NewSocket(SOCK_DGRAM);
    const sockaddr_in address = Address(port);
    LoopbackSocket socket(fd);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
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
        ::close(static_cast<int>(m_Handle));
    m_Handle = -1;
}

std::uint16_t LoopbackSocket::Port() const
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (!Open() || ::getsockname(static_cast<int>(m_Handle), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

LoopbackSocket LoopbackSocket::Accept(std::uint32_t timeoutMs)
{
    if (!Open() || !Readable(static_cast<int>(m_Handle), timeoutMs))
        return LoopbackSocket();
    return LoopbackSocket(::accept4(static_cast<int>(m_Handle), nullptr, nullptr, SOCK_CLOEXEC));
}

bool LoopbackSocket::Send(std::string_view bytes)
{
    while (Open() && !bytes.empty()) {
        // MSG_NOSIGNAL: a peer that went away is a false return, not a SIGPIPE that ends the test.
        const ssize_t sent = ::send(static_cast<int>(m_Handle), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return Open();
}

bool LoopbackSocket::SendTo(std::uint16_t port, std::string_view datagram)
{
    const sockaddr_in address = Address(port);
    return Open() &&
           ::sendto(static_cast<int>(m_Handle), datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) == static_cast<ssize_t>(datagram.size());
}

int LoopbackSocket::Receive(char* buffer, std::size_t size, std::uint32_t timeoutMs)
{
    if (!Open() || !Readable(static_cast<int>(m_Handle), timeoutMs))
        return -1;
    ssize_t got;
    do
        got = ::recv(static_cast<int>(m_Handle), buffer, size, 0);
    while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<int>(got);
}

}  // namespace QuorlinTest
