#include <algorithm>
#include <cstdio>
#include <vector>

#include "network/Transports.h"
#include "os/Socket.h"

namespace Quorlin {
namespace {

// The largest datagram an IPv4 or IPv6 peer takes (65535 less the IP and UDP headers).
constexpr std::size_t kLargestDatagram = 65507;

// A record too long for a datagram is cut to fit.
class UdpTransport : public SyslogTransport {
public:
    explicit UdpTransport(const SyslogPeer& peer) : m_Peer(peer) {}
    ~UdpTransport() override { Disconnect(); }

    bool Connect(std::string& error) override
    {
        Disconnect();
        return os::ConnectSocket(m_Peer.host.c_str(), m_Peer.port, os::SocketKind::Datagram, m_Peer.timeoutMs, m_Socket, error)
            .Ok();
    }

    bool Send(const RecordBatch& batch, std::size_t& delivered, std::string& error) override
    {
        delivered = 0;
        for (std::size_t i = 0; i < batch.Count(); ++i) {
            const std::string_view record = batch.Record(i);
            std::size_t sent = 0;
            const os::Status status =
                os::SendAll(m_Socket, record.data(), std::min(record.size(), kLargestDatagram), m_Peer.timeoutMs, sent);
            if (!status) {
                error = "sending to " + PeerText(m_Peer) + ": " + os::ErrorText(status.native);
                return false;
            }
            ++delivered;
        }
        return true;
    }

    void Disconnect() override
    {
        os::CloseSocket(m_Socket);
        m_Socket = os::kNoSocket;
    }

private:
    SyslogPeer m_Peer;
    os::SocketHandle m_Socket = os::kNoSocket;
};

// Each batch goes out in one send.
class OctetCountingTransport : public SyslogTransport {
public:
    OctetCountingTransport(const SyslogPeer& peer, std::unique_ptr<StreamConnection> connection)
        : m_Peer(peer), m_Connection(std::move(connection))
    {
    }

    bool Connect(std::string& error) override { return m_Connection->Open(error); }

    bool Send(const RecordBatch& batch, std::size_t& delivered, std::string& error) override
    {
        delivered = 0;
        // The collector never writes back: anything to read means it has closed or reset the
        // connection, and what would be sent now would vanish with it.
        char probe;
        if (m_Connection->Receive(&probe, 1, 0) != 0) {
            error = PeerText(m_Peer) + " closed the connection";
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
        const bool ok = m_Connection->SendCounted(m_Frames.data(), m_Frames.size(), m_Peer.timeoutMs, sent, error);
        // Frames that went out whole are delivered; a cut one goes again, whole, on the next connection.
        delivered = static_cast<std::size_t>(std::upper_bound(m_Ends.begin(), m_Ends.end(), sent) - m_Ends.begin());
        return ok;
    }

    void Disconnect() override { m_Connection->Shut(); }

private:
    SyslogPeer m_Peer;
    std::unique_ptr<StreamConnection> m_Connection;
    std::string m_Frames;
    std::vector<std::size_t> m_Ends;
};

}  // namespace

std::unique_ptr<SyslogTransport> MakeUdpTransport(const SyslogPeer& peer) { return std::make_unique<UdpTransport>(peer); }

std::unique_ptr<SyslogTransport> MakeOctetCountingTransport(const SyslogPeer& peer, std::unique_ptr<StreamConnection> connection)
{
    return std::make_unique<OctetCountingTransport>(peer, std::move(connection));
}

}  // namespace Quorlin
