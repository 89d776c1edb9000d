#include <algorithm>
#include <cstdio>

#include "network/SyslogTransport.h"
#include "os/Socket.h"

namespace Quorlin {
namespace {

// The largest datagram an IPv4 or IPv6 peer takes (65535 less the IP and UDP headers).
constexpr std::size_t kLargestDatagram = 65507;

class SocketHolder {
public:
    ~SocketHolder() { Close(); }
    void Close()
    {
        os::CloseSocket(m_Socket);
        m_Socket = os::kNoSocket;
    }
    bool Open() const { return m_Socket != os::kNoSocket; }

    os::SocketHandle m_Socket = os::kNoSocket;
};

std::string Failure(const char* what, const SyslogPeer& peer, const os::Status& status)
{
    return std::string(what) + " [" + peer.host + "]:[" + std::to_string(peer.port) + "]: " + os::ErrorText(status.native);
}

// One datagram per record (RFC 5426); a record too long for a datagram is cut to fit.
class UdpTransport : public SyslogTransport {
public:
    explicit UdpTransport(const SyslogPeer& peer) : m_Peer(peer) {}

    bool Connect(std::string& error) override
    {
        m_Socket.Close();
        return os::ConnectSocket(m_Peer.host.c_str(), m_Peer.port, os::SocketKind::Datagram, m_Peer.timeoutMs,
                                 m_Socket.m_Socket, error)
            .Ok();
    }

    bool Send(const RecordBatch& batch, std::size_t& delivered, std::string& error) override
    {
        delivered = 0;
        for (std::size_t i = 0; i < batch.Count(); ++i) {
            const std::string_view record = batch.Record(i);
            std::size_t sent = 0;
            const os::Status status = os::SendAll(m_Socket.m_Socket, record.data(), std::min(record.size(), kLargestDatagram),
                                                  m_Peer.timeoutMs, sent);
            if (!status) {
                error = Failure("sending to", m_Peer, status);
                return false;
            }
            ++delivered;
        }
        return true;
    }

    void Disconnect() override { m_Socket.Close(); }

private:
    SyslogPeer m_Peer;
    SocketHolder m_Socket;
};

// A stream of "LENGTH SP RECORD" frames (octet counting, RFC 6587), each batch in one send.
class TcpTransport : public SyslogTransport {
public:
    explicit TcpTransport(const SyslogPeer& peer) : m_Peer(peer) {}

    bool Connect(std::string& error) override
    {
        m_Socket.Close();
        return os::ConnectSocket(m_Peer.host.c_str(), m_Peer.port, os::SocketKind::Stream, m_Peer.timeoutMs,
                                 m_Socket.m_Socket, error)
            .Ok();
    }

    bool Send(const RecordBatch& batch, std::size_t& delivered, std::string& error) override
    {
        delivered = 0;
        // The collector never writes back: anything to read means it has closed or reset the
        // connection, and what would be sent now would vanish with it.
        char probe;
        std::size_t got = 0;
        const os::Status peek = os::ReceiveSome(m_Socket.m_Socket, &probe, 1, got, 0);
        if (peek.Ok() || peek.kind != os::ErrorKind::TimedOut) {
            error = "[" + m_Peer.host + "]:[" + std::to_string(m_Peer.port) + "] closed the connection";
            return false;
        }
        m_Frames.clear();
        m_Ends.clear();
        for (std::size_t i = 0; i < batch.Count(); ++i) {
            const std::string_view record = batch.Record(i);
            char length[24];
            const int n = std::snprintf(length, sizeof length, "%zu ", record.size());
            m_Frames.append(length, static_cast<std::size_t>(n));
            m_Frames.append(record);
            m_Ends.push_back(m_Frames.size());
        }
        std::size_t sent = 0;
        const os::Status status = os::SendAll(m_Socket.m_Socket, m_Frames.data(), m_Frames.size(), m_Peer.timeoutMs, sent);
        // Frames that went out whole are delivered; a cut one goes again, whole, on the next connection.
        delivered = static_cast<std::size_t>(std::upper_bound(m_Ends.begin(), m_Ends.end(), sent) - m_Ends.begin());
        if (status)
            return true;
        error = Failure("sending to", m_Peer, status);
        return false;
    }

    void Disconnect() override { m_Socket.Close(); }

private:
    SyslogPeer m_Peer;
    SocketHolder m_Socket;
    std::string m_Frames;
    std::vector<std::size_t> m_Ends;
};

}  // namespace

std::unique_ptr<SyslogTransport> MakeTransport(SyslogProtocol protocol, const SyslogPeer& peer)
{
    switch (protocol) {
    case SyslogProtocol::Udp:
        return std::make_unique<UdpTransport>(peer);
    case SyslogProtocol::Tcp:
        return std::make_unique<TcpTransport>(peer);
    default:
        return nullptr;
    }
}

}  // namespace Quorlin
