#include "FrameReader.h"

#include <chrono>

namespace QuorlinTest {

namespace os = Quorlin::os;

FrameReader::FrameReader(std::uint16_t port) : m_Port(port)
{
    if (os::ListenLoopback(os::SocketKind::Stream, m_Port, m_Listener))
        m_Thread = std::thread([this] { Run(); });
}

FrameReader::~FrameReader()
{
    m_Stop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    os::CloseSocket(m_Listener);
}

void FrameReader::Run()
{
    while (!m_Stop) {
        os::SocketHandle connection = os::kNoSocket;
        if (!os::AcceptConnection(m_Listener, 50, connection))
            continue;
        ++m_Connections;
        char buffer[65536];
        while (!m_Stop) {
            std::size_t got = 0;
            const os::Status status = os::ReceiveSome(connection, buffer, sizeof buffer, got, 50);
            if (status.kind == os::ErrorKind::TimedOut)
                continue;
            if (!status || got == 0)
                break;
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Pending.append(buffer, got);
            Parse();
        }
        os::CloseSocket(connection);
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Garbage += m_Pending;  // a frame cut by the end of its connection
        m_Pending.clear();
    }
}

void FrameReader::Parse()
{
    std::size_t at = 0;
    for (;;) {
        const std::size_t space = m_Pending.find(' ', at);
        if (space == std::string::npos || space - at > 10)
            break;
        const std::string digits = m_Pending.substr(at, space - at);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
            m_Garbage += m_Pending.substr(at);
            at = m_Pending.size();
            break;
        }
        const std::size_t length = std::stoul(digits);
        if (m_Pending.size() - space - 1 < length)
            break;
        m_Records.push_back(m_Pending.substr(space + 1, length));
        at = space + 1 + length;
    }
    m_Pending.erase(0, at);
}

std::vector<std::string> FrameReader::Records(std::size_t atLeast, std::uint32_t timeoutMs) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            if (m_Records.size() >= atLeast || std::chrono::steady_clock::now() >= until)
                return m_Records;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string FrameReader::Garbage() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Garbage;
}

}  // namespace QuorlinTest
