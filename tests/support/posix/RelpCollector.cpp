#include "RelpCollector.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "Shell.h"
#include "TempDir.h"

namespace QuorlinTest {
namespace {

constexpr const char* kRsyslogd = "/usr/sbin/rsyslogd";

int PollMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), INT_MAX));
}

// A TCP stream on loopback, closed with the object.
class StreamConnection : public Quorlin::Connection {
public:
    explicit StreamConnection(int fd) : m_Fd(fd) {}
    ~StreamConnection() override { ::close(m_Fd); }

    bool Send(const char* data, std::size_t size, std::uint32_t timeoutMs) override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (size > 0) {
            pollfd ready{m_Fd, POLLOUT, 0};
            const int polled = ::poll(&ready, 1, PollMs(deadline));
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0)
                return false;
            const ssize_t sent = ::send(m_Fd, data, size, MSG_NOSIGNAL);
            if (sent < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (sent <= 0)
                return false;
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    long Receive(char* buffer, std::size_t capacity, std::uint32_t timeoutMs) override
    {
        pollfd ready{m_Fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<std::uint32_t>(timeoutMs, INT_MAX)));
        if (polled == 0 || (polled < 0 && errno == EINTR))
            return 0;
        if (polled < 0)
            return -1;
        const ssize_t received = ::recv(m_Fd, buffer, capacity, 0);
        return received > 0 ? static_cast<long>(received) : -1;
    }

private:
    int m_Fd;
};

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int ConnectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// A loopback port nobody listens on just now, as the system hands it out.
std::uint16_t FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// Control characters pass unescaped, so that the file shows each record's bytes as they were sent.
void WriteConfig(const std::filesystem::path& folder, std::uint16_t port)
{
    const std::string dir = folder.string();
    WriteFile(folder / "collector.conf", "global(workDirectory=\"" + dir +
                                             "\" parser.escapeControlCharactersOnReceive=\"off\")\n"
                                             "module(load=\"imrelp\")\n"
                                             "input(type=\"imrelp\" address=\"127.0.0.1\" port=\"" +
                                             std::to_string(port) +
                                             "\")\n"
                                             "template(name=\"records\" type=\"string\" string=\"%rawmsg%\\n\")\n"
                                             "action(type=\"omfile\" file=\"" +
                                             dir + "/received.log\" template=\"records\")\n");
}

}  // namespace

RelpCollector::~RelpCollector()
{
    if (m_Process > 0) {
        ::kill(static_cast<pid_t>(m_Process), SIGTERM);
        ::waitpid(static_cast<pid_t>(m_Process), nullptr, 0);
    }
}

bool RelpCollector::Available(std::string& reason)
{
    if (::access(kRsyslogd, X_OK) != 0) {
        reason = std::string("no ") + kRsyslogd;
        return false;
    }
    WriteConfig(m_Folder, 20514);
    const std::string output = (m_Folder / "check.out").string();
    if (RunShell(std::string(kRsyslogd) + " -N1 -f " + Quote((m_Folder / "collector.conf").string()) + " >" + Quote(output) +
                 " 2>&1") != 0) {
        reason = "rsyslogd refuses a configuration with imrelp: " + ReadFile(output);
        return false;
    }
    return true;
}

bool RelpCollector::Start(std::string& error)
{
    m_Port = FreePort();
    if (m_Port == 0) {
        error = "no free loopback port";
        return false;
    }
    WriteConfig(m_Folder, m_Port);
    const std::string config = (m_Folder / "collector.conf").string();
    const std::string pidFile = (m_Folder / "collector.pid").string();
    const std::string output = (m_Folder / "collector.out").string();
    const pid_t child = ::fork();
    if (child < 0) {
        error = "fork failed";
        return false;
    }
    if (child == 0) {
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        if (::chdir(m_Folder.c_str()) == 0)
            ::execl(kRsyslogd, "rsyslogd", "-n", "-f", config.c_str(), "-i", pidFile.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    m_Process = child;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (const int fd = ConnectTo(m_Port); fd >= 0) {
            ::close(fd);
            return true;
        }
        if (::waitpid(child, nullptr, WNOHANG) == child) {
            m_Process = -1;
            error = "rsyslogd ended before it listened: " + ReadFile(output);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    error = "rsyslogd did not listen on port " + std::to_string(m_Port) + " within a minute: " + ReadFile(output);
    return false;
}

std::unique_ptr<Quorlin::Connection> RelpCollector::Connect(std::string& error)
{
    const int fd = ConnectTo(m_Port);
    if (fd < 0) {
        error = "cannot connect to port " + std::to_string(m_Port) + ": errno " + std::to_string(errno);
        return nullptr;
    }
    return std::make_unique<StreamConnection>(fd);
}

std::string RelpCollector::Received() const { return ReadFile(m_Folder / "received.log"); }

}  // namespace QuorlinTest
