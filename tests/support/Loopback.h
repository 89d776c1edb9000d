#pragma once
// Sockets on 127.0.0.1 for the tests' own traffic with the collector, over the module's socket
// layer: a few calls, each with a bound on how long it waits.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace QuorlinTest {

class LoopbackSocket {
public:
    // A TCP socket listening on a port the system picks; not Open() when that fails.
    static LoopbackSocket Listen();
    // A TCP connection to 127.0.0.1:port; not Open() when nothing accepts there.
    static LoopbackSocket Connect(std::uint16_t port);
    // A UDP socket bound to 127.0.0.1:port (0: any port); not Open() when the port is taken.
    static LoopbackSocket Udp(std::uint16_t port = 0);

    LoopbackSocket() = default;
    LoopbackSocket(LoopbackSocket&& other) noexcept : m_Handle(other.m_Handle), m_Port(other.m_Port) { other.m_Handle = -1; }
    LoopbackSocket& operator=(LoopbackSocket&& other) noexcept;
    ~LoopbackSocket();

    bool Open() const { return m_Handle != -1; }
    // The local port, 0 when not open.
    std::uint16_t Port() const;
    // The next connection to this listening socket; not Open() when none comes within timeoutMs.
    LoopbackSocket Accept(std::uint32_t timeoutMs);
    // Sends all of `bytes` on a connection; false when the connection is gone.
    bool Send(std::string_view bytes);
    // Bytes read into `buffer`: > 0 read, 0 the peer closed, -1 nothing within timeoutMs or an error.
    int Receive(char* buffer, std::size_t size, std::uint32_t timeoutMs);
    void Close();

private:
    LoopbackSocket(std::intptr_t handle, std::uint16_t port) : m_Handle(handle), m_Port(port) {}

    std::intptr_t m_Handle = -1;
    std::uint16_t m_Port = 0;
};

}  // namespace QuorlinTest
