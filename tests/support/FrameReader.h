#pragma once
// A stand-in collector for the appender's own tests: listens on a loopback TCP port, accepts one
// connection after another, and splits what arrives into octet-counted frames ("LENGTH SP RECORD").

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os/Socket.h"

namespace QuorlinTest {

class FrameReader {
public:
    // Listens on `port` (0: a free one).
    explicit FrameReader(std::uint16_t port = 0);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    bool Listening() const { return m_Listener != Quorlin::os::kNoSocket; }
    std::uint16_t Port() const { return m_Port; }
    // The records received so far; waits up to `timeoutMs` for at least `atLeast` of them.
    std::vector<std::string> Records(std::size_t atLeast, std::uint32_t timeoutMs) const;
    // Bytes that did not parse as frames (empty when all is well).
    std::string Garbage() const;
    int Connections() const { return m_Connections.load(); }

private:
    void Run();
    void Parse();

    std::uint16_t m_Port;
    Quorlin::os::SocketHandle m_Listener = Quorlin::os::kNoSocket;
    std::atomic<bool> m_Stop{false};
    std::atomic<int> m_Connections{0};
    mutable std::mutex m_Mutex;
    std::string m_Pending;
    std::string m_Garbage;
    std::vector<std::string> m_Records;
    std::thread m_Thread;
};

}  // namespace QuorlinTest
