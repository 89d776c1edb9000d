#pragma once
// The byte stream a network session runs over: plain TCP or TLS, or a scripted peer in the tests.

#include <cstddef>
#include <cstdint>

namespace Quorlin {

class Connection {
public:
    virtual ~Connection() = default;
    // Sends all bytes within timeoutMs; false when the connection failed (it is then unusable).
    virtual bool Send(const char* data, std::size_t size, std::uint32_t timeoutMs) = 0;
    // Reads what is there (up to capacity) within timeoutMs: >0 bytes read, 0 timed out, -1 closed or failed.
    virtual long Receive(char* buffer, std::size_t capacity, std::uint32_t timeoutMs) = 0;
};

}  // namespace Quorlin
