#include <memory>
#include <vector>

#include "network/RelpSession.h"
#include "network/Transports.h"

namespace Quorlin {
namespace {

constexpr std::size_t kWindow = 128;
constexpr std::uint32_t kCloseWaitMs = 1000;

class RelpTransport : public SyslogTransport {
public:
    RelpTransport(const SyslogPeer& peer, std::unique_ptr<StreamConnection> connection)
        : m_Peer(peer), m_Connection(std::move(connection))
    {
    }
    ~RelpTransport() override { Disconnect(); }

    bool Connect(std::string& error) override
    {
        Disconnect();
        if (!m_Connection->Open(error))
            return false;
        m_Session = std::make_unique<RelpSession>(*m_Connection, kWindow);
        if (m_Session->Open(m_Peer.timeoutMs, error))
            return true;
        error = "RELP session with " + PeerText(m_Peer) + ": " + error;
        Disconnect();
        return false;
    }

    // Records are sent under the session's window; the batch's delivered count is the run of
    // acknowledged records at its front, so that what the collector did not confirm goes again.
    bool Send(const RecordBatch& batch, std::size_t& delivered, std::string& error) override
    {
        const std::size_t count = batch.Count();
        m_Acked.assign(count, false);
        delivered = 0;
        std::size_t next = 0;
        std::vector<std::uint64_t> acked;
        m_Session->Gather(true);
        while (delivered < count) {
            while (next < count && m_Session->Send(next, batch.Record(next), m_Peer.timeoutMs))
                ++next;
            m_Session->Flush(m_Peer.timeoutMs);
            acked.clear();
            const bool open = m_Session->ReadAcks(m_Peer.timeoutMs, acked);
            for (const std::uint64_t id : acked)
                m_Acked[static_cast<std::size_t>(id)] = true;
            while (delivered < count && m_Acked[delivered])
                ++delivered;
            if (!open) {
                error = "RELP session with " + PeerText(m_Peer) + ": " + m_Session->Error();
                return false;
            }
            if (acked.empty() && delivered < count) {
                error = "RELP session with " + PeerText(m_Peer) + ": no acknowledgement within " +
                        std::to_string(m_Peer.timeoutMs) + " ms";
                return false;
            }
        }
        return true;
    }

    void Disconnect() override
    {
        if (m_Session && m_Session->IsOpen())
            m_Session->Close(kCloseWaitMs);
        m_Session.reset();
        m_Connection->Shut();
    }

private:
    SyslogPeer m_Peer;
    std::unique_ptr<StreamConnection> m_Connection;
    std::unique_ptr<RelpSession> m_Session;
    std::vector<bool> m_Acked;
};

}  // namespace

std::unique_ptr<SyslogTransport> MakeRelpTransport(const SyslogPeer& peer, std::unique_ptr<StreamConnection> connection)
{
    return std::make_unique<RelpTransport>(peer, std::move(connection));
}

}  // namespace Quorlin
