#include "network/SyslogTransport.h"

#include "network/Transports.h"

namespace Quorlin {

std::unique_ptr<SyslogTransport> MakeTransport(SyslogProtocol protocol, const SyslogPeer& peer)
{
    switch (protocol) {
    case SyslogProtocol::Udp:
        return MakeUdpTransport(peer);
    case SyslogProtocol::Tcp:
        return MakeOctetCountingTransport(peer, MakePlainConnection(peer));
    case SyslogProtocol::Tls:
        if (std::unique_ptr<StreamConnection> connection = MakeTlsConnection(peer))
            return MakeOctetCountingTransport(peer, std::move(connection));
        return nullptr;
    case SyslogProtocol::Relp:
        return MakeRelpTransport(peer, MakePlainConnection(peer));
    }
    return nullptr;
}

}  // namespace Quorlin
