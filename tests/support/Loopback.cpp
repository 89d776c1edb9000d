#include "Loopback.h"

#include "os/Socket.h"

namespace QuorlinTest {

namespace os = Quorlin::os;

namespace {

constexpr std::uint32_t kSendMs = 5000;

}  // namespace

LoopbackSocket LoopbackSocket::Listen()
{
    std::uint16_t port = 0;
    os::SocketHandle handle = os::kNoSocket;
    os::ListenLoopback(os::SocketKind::Stream, port, handle);
    return LoopbackSocket(handle, port);
}

LoopbackSocket LoopbackSocket::Connect(std::uint16_t port)
{
    os::SocketHandle handle = os::kNoSocket;
    std::string error;
    os::ConnectSocket("127.0.0.1", port, os::SocketKind::Stream, 1000, handle, error);
    return LoopbackSocket(handle, 0);
}

LoopbackSocket LoopbackSocket::Udp(std::uint16_t port)
{
    os::SocketHandle handle = os::kNoSocket;
    os::ListenLoopback(os::SocketKind::Datagram, port, handle);
    return LoopbackSocket(handle, port);
}

LoopbackSocket& LoopbackSocket::operator=(LoopbackSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_Handle = other.m_Handle;
        m_Port = other.m_Port;
        other.m_Handle = -1;
    }
    return *this;
}

LoopbackSocket::~LoopbackSocket() { Close(); }

std::uint16_t LoopbackSocket::Port() const { return Open() ? m_Port : 0; }

LoopbackSocket LoopbackSocket::Accept(std::uint32_t timeoutMs)
{
    os::SocketHandle connection = os::kNoSocket;
    os::AcceptConnection(m_Handle, timeoutMs, connection);
    return LoopbackSocket(connection, 0);
}

bool LoopbackSocket::Send(std::string_view bytes)
{
    std::size_t sent = 0;
    return Open() && os::SendAll(m_Handle, bytes.data(), bytes.size(), kSendMs, sent).Ok();
}

int LoopbackSocket::Receive(char* buffer, std::size_t size, std::uint32_t timeoutMs)
{
    std::size_t got = 0;
    if (!Open() || !os::ReceiveSome(m_Handle, buffer, size, got, timeoutMs))
        return -1;
    return static_cast<int>(got);
}

void LoopbackSocket::Close()
{
    os::CloseSocket(m_Handle);
    m_Handle = -1;
}

}  // namespace QuorlinTest
