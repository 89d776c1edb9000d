#include "network/StreamConnection.h"
#include "os/Socket.h"
#include "os/Tls.h"

namespace Quorlin {
namespace {

// TCP, then a TLS handshake whose server certificate must chain to the CA file and name the host.
class TlsConnection : public StreamConnection {
public:
    explicit TlsConnection(const SyslogPeer& peer) : m_Peer(peer) {}
    ~TlsConnection() override { Shut(); }

    bool Open(std::string& error) override
    {
        Shut();
        os::SocketHandle socket = os::kNoSocket;
        if (!os::ConnectSocket(m_Peer.host.c_str(), m_Peer.port, os::SocketKind::Stream, m_Peer.timeoutMs, socket, error))
            return false;
        return os::TlsConnect(socket, m_Peer.host.c_str(), m_Peer.caFile.c_str(), m_Peer.timeoutMs, m_Session, error).Ok();
    }

    void Shut() override
    {
        os::TlsClose(m_Session);
        m_Session = nullptr;
    }

    bool SendCounted(const char* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent, std::string& error) override
    {
        const os::Status status = os::TlsSend(m_Session, data, size, timeoutMs, sent);
        if (!status)
            error = "sending to " + PeerText(m_Peer) + " over TLS: " + os::ErrorText(status.native);
        return status.Ok();
    }

    long Receive(char* buffer, std::size_t capacity, std::uint32_t timeoutMs) override
    {
        std::size_t received = 0;
        const os::Status status = os::TlsReceive(m_Session, buffer, capacity, received, timeoutMs);
        return ReceiveResult(status, received);
    }

private:
    SyslogPeer m_Peer;
    os::TlsHandle m_Session = nullptr;
};

}  // namespace

std::unique_ptr<StreamConnection> MakeTlsConnection(const SyslogPeer& peer) { return std::make_unique<TlsConnection>(peer); }

}  // namespace Quorlin
