#pragma once
// For the platform implementations: how a failed connection is described, the same on every platform.

#include <cstdint>
#include <string>

#include "Status.h"

namespace Quorlin::os {

// "[host]:[port]"
inline std::string Peer(const char* host, std::uint16_t port)
{
    return "[" + std::string(host) + "]:[" + std::to_string(port) + "]";
}

inline std::string DescribeConnectFailure(const Status& status, const char* host, std::uint16_t port, std::uint32_t timeoutMs)
{
    switch (status.kind) {
    case ErrorKind::ConnectionRefused: return "connection to " + Peer(host, port) + " refused";
    case ErrorKind::TimedOut: return "connection to " + Peer(host, port) + " timed out after " + std::to_string(timeoutMs) + " ms";
    default: return "cannot connect to " + Peer(host, port) + ": " + ErrorText(status.native);
    }
}

}  // namespace Quorlin::os
