#include "Collector.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "Loopback.h"
#include "Paths.h"
#include "TempDir.h"
#include "UnixProgram.h"

namespace QuorlinTest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kStartMs = 20000;  // generous: a loaded machine, a first Wine start
constexpr std::uint32_t kCommandMs = 10000;

std::vector<std::string> SplitTabs(std::string_view line)
{
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.emplace_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// The timestamp as the sender wrote it, which rsyslog keeps only reformatted.
std::string SentTimestamp(std::string_view raw, const std::string& parsed)
{
    const std::size_t close = raw.find('>');
    if (raw.empty() || raw[0] != '<' || close == std::string_view::npos || close > 4)
        return parsed;
    std::string_view rest = raw.substr(close + 1);
    if (rest.size() > 2 && rest.substr(0, 2) == "1 ") {  // <PRI>1 TIMESTAMP HOSTNAME ...
        rest.remove_prefix(2);
        return std::string(rest.substr(0, rest.find(' ')));
    }
    if (rest.size() >= 15 && rest[3] == ' ' && rest[6] == ' ' && rest[9] == ':' && rest[12] == ':')  // Oct 11 22:14:15
        return std::string(rest.substr(0, 15));
    return parsed;
}

// One line of the collector's template: PRI, TIMESTAMP, HOSTNAME, APP-NAME, PROCID, MSGID,
// STRUCTURED-DATA, MSG, the raw message, tab-separated (collector.sh writes it).
SyslogRecord ParseRecord(std::string_view line)
{
    std::vector<std::string> fields = SplitTabs(line);
    SyslogRecord record;
    if (fields.size() != 9) {
        record.raw = std::string(line);
        return record;
    }
    record.pri = std::atoi(fields[0].c_str());
    record.timestamp = SentTimestamp(fields[8], fields[1]);
    record.hostname = std::move(fields[2]);
    record.appName = std::move(fields[3]);
    record.procId = std::move(fields[4]);
    record.msgId = std::move(fields[5]);
    record.structuredData = std::move(fields[6]);
    record.message = std::move(fields[7]);
    record.raw = std::move(fields[8]);
    return record;
}

}  // namespace

Collector::Collector(const std::string& directory) : m_Directory(PathOf(directory)), m_Control(std::make_unique<LoopbackSocket>())
{
    std::error_code ec;
    std::filesystem::create_directories(m_Directory, ec);
    m_UnixDirectory = UnixPath(directory);
    if (m_UnixDirectory.empty()) {
        m_Error = "no Linux path to " + directory + ": a Windows test runs the collector only under Wine";
        return;
    }
    LoopbackSocket listener = LoopbackSocket::Listen();
    if (!listener.Open()) {
        m_Error = "cannot listen on 127.0.0.1 for the collector script";
        return;
    }
    if (!StartUnixProgram({"/bin/bash", QUORLIN_COLLECTOR_SCRIPT, m_UnixDirectory, std::to_string(listener.Port())})) {
        m_Error = "cannot start /bin/bash " QUORLIN_COLLECTOR_SCRIPT;
        return;
    }
    *m_Control = listener.Accept(kStartMs);
    const std::string ready = m_Control->Open() ? Command("", kStartMs) : std::string();
    if (ready != "ready") {
        m_Error = (ready.empty() ? std::string("the collector script did not come up") : ready) + "; see " +
                  Utf8(m_Directory / "collector.log");
        m_Control->Close();
        return;
    }
    Start(true);
}

Collector::~Collector()
{
    // The script kills rsyslogd when the connection closes, too; waiting for its answer means that
    // rsyslogd is gone before the test removes the directory.
    Command("quit", kCommandMs);
}

bool Collector::Running() const { return Command("status", kCommandMs) == "running"; }

std::string Collector::CaFile() const { return Utf8(m_Directory / "ca.pem"); }

std::string Collector::OtherCaFile() const { return Utf8(m_Directory / "other-ca.pem"); }

void Collector::Kill() { Command("kill", kCommandMs); }

bool Collector::Restart() { return Start(false); }

bool Collector::Start(bool newPorts)
{
    if (!m_Control->Open()) {
        if (m_Error.empty())
            m_Error = "the collector script is gone; see " + Utf8(m_Directory / "collector.log");
        return false;
    }
    // A port another program took between choosing and binding shows as a failed start: choose again.
    for (int attempt = 0; attempt < (newPorts ? 4 : 1); ++attempt) {
        if (newPorts && !ChoosePorts()) {
            m_Error = "no free ports on 127.0.0.1";
            return false;
        }
        const std::string reply = Command("start " + std::to_string(m_Udp) + " " + std::to_string(m_Tcp) + " " +
                                              std::to_string(m_Relp) + " " + std::to_string(m_Tls),
                                          kStartMs);
        if (reply.rfind("started ", 0) == 0 && PortsAccept()) {
            m_Error.clear();
            return true;
        }
        m_Error = reply.empty() ? "the collector script did not answer" : reply;
        m_Error += "; see " + Utf8(m_Directory / "rsyslogd.log");
        if (!m_Control->Open())
            break;
        Kill();
    }
    return false;
}

bool Collector::ChoosePorts()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        // All held at once, so that they differ; released just before rsyslogd binds them.
        LoopbackSocket tcp = LoopbackSocket::Listen(), relp = LoopbackSocket::Listen(), tls = LoopbackSocket::Listen();
        if (!tcp.Open() || !relp.Open() || !tls.Open())
            return false;
        // UDP shares the TCP port's number. rsyslogd binds UDP with SO_REUSEADDR, so a second
        // collector on the same UDP port would start without complaint and take some of the
        // datagrams; its TCP bind on that number fails loudly instead, and it chooses again.
        if (!LoopbackSocket::Udp(tcp.Port()).Open())
            continue;
        m_Udp = m_Tcp = tcp.Port();
        m_Relp = relp.Port();
        m_Tls = tls.Port();
        return true;
    }
    return false;
}

bool Collector::PortsAccept() const
{
    // collector.sh answered after rsyslogd's start message, which comes after every input's listen();
    // a connection shows it on the plain TCP port. The RELP and TLS ports are left alone: a connection
    // closed without a handshake puts an error in rsyslogd.log that would only mislead.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartMs);
    while (!LoopbackSocket::Connect(m_Tcp).Open()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string Collector::Command(const std::string& line, std::uint32_t timeoutMs) const
{
    std::lock_guard<std::mutex> lock(m_ControlLock);
    if (!m_Control->Open() || (!line.empty() && !m_Control->Send(line + "\n")))
        return {};
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t end = m_Pending.find('\n');
        if (end != std::string::npos) {
            std::string answer = m_Pending.substr(0, end);
            m_Pending.erase(0, end + 1);
            return answer;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        char buffer[512];
        const int got = left > 0 ? m_Control->Receive(buffer, sizeof buffer, static_cast<std::uint32_t>(left)) : -1;
        if (got <= 0) {
            // An answer missing now could come later as the answer to the next command: give up on
            // the script instead, which then kills rsyslogd.
            m_Control->Close();
            m_Pending.clear();
            return {};
        }
        m_Pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::vector<SyslogRecord> Collector::Received(const std::string& input, std::size_t atLeast, std::uint32_t timeoutMs) const
{
    if (input != "udp" && input != "tcp" && input != "relp" && input != "tls")
        throw std::invalid_argument("Collector::Received: no input \"" + input + "\" (udp, tcp, relp, tls)");
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string text = ReadFile(m_Directory / (input + ".log"));
        std::vector<SyslogRecord> records;
        // Only whole lines: rsyslogd may be writing the next one.
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            records.push_back(ParseRecord(std::string_view(text).substr(start, end - start)));
        if (records.size() >= atLeast || Clock::now() >= deadline)
            return records;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace QuorlinTest
