#include "network/StreamConnection.h"
#include "os/Socket.h"

namespace Quorlin {
namespace {

class PlainConnection : public StreamConnection {
public:
    explicit PlainConnection(const SyslogPeer& peer) : m_Peer(peer) {}
    ~PlainConnection() override { Shut(); }

    bool Open(std::string& error) override
    {
        Shut();
        return os::ConnectSocket(m_Peer.host.c_str(), m_Peer.port, os::SocketKind::Stream, m_Peer.timeoutMs, m_Socket, error)
            .Ok();
    }

    void Shut() override
    {
        os::CloseSocket(m_Socket);
        m_Socket = os::kNoSocket;
    }

    bool SendCounted(const char* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent, std::string& error) override
    {
        const os::Status status = os::SendAll(m_Socket, data, size, timeoutMs, sent);
        if (!status)
            error = "sending to " + PeerText(m_Peer) + ": " + os::ErrorText(status.native);
        return status.Ok();
    }

    long Receive(char* buffer, std::size_t capacity, std::uint32_t timeoutMs) override
    {
        std::size_t received = 0;
        const os::Status status = os::ReceiveSome(m_Socket, buffer, capacity, received, timeoutMs);
        return ReceiveResult(status, received);
    }

private:
    SyslogPeer m_Peer;
    os::SocketHandle m_Socket = os::kNoSocket;
};

}  // namespace

std::unique_ptr<StreamConnection> MakePlainConnection(const SyslogPeer& peer) { return std::make_unique<PlainConnection>(peer); }

std::string PeerText(const SyslogPeer& peer) { return "[" + peer.host + "]:[" + std::to_string(peer.port) + "]"; }

}  // namespace Quorlin
