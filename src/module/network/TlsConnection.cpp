#include "network/StreamConnection.h"

namespace Quorlin {

std::unique_ptr<StreamConnection> MakeTlsConnection(const SyslogPeer&) { return nullptr; }

}  // namespace Quorlin
