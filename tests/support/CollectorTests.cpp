// The collector the syslog tests run against: what each input records of a message, and that it
// keeps its records and ports across a crash and a restart.
#include <gtest/gtest.h>

#include <string>

#include "Collector.h"
#include "Loopback.h"
#include "Paths.h"
#include "TempDir.h"
#include "UnixProgram.h"

namespace QuorlinTest {
namespace {

constexpr std::uint32_t kWaitMs = 15000;

// UTF-8 after a BOM, and a line feed that only octet counting (or a datagram) carries.
const std::string kMessage = "<165>1 2003-10-11T22:14:15.003Z mymachine.example.com evntslog 1234 ID47 "
                             "[exampleSDID@32473 iut=\"3\" eventSource=\"Application\"] "
                             "\xEF\xBB\xBF"
                             "caf\xC3\xA9 line one\nline two";

std::string OctetCounted(const std::string& message) { return std::to_string(message.size()) + " " + message; }

std::string ReadUntil(LoopbackSocket& socket, const std::string& what)
{
    std::string got;
    char buffer[1024];
    while (got.find(what) == std::string::npos) {
        const int n = socket.Receive(buffer, sizeof buffer, kWaitMs);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// The least of RELP a sender needs: open, one syslog command, both answered.
bool SendRelp(std::uint16_t port, const std::string& message)
{
    LoopbackSocket relp = LoopbackSocket::Connect(port);
    const std::string offers = "relp_version=0\nrelp_software=quorlin-test\ncommands=syslog";
    if (!relp.Send("1 open " + std::to_string(offers.size()) + " " + offers + "\n") ||
        ReadUntil(relp, "1 rsp ").find("1 rsp ") == std::string::npos)
        return false;
    return relp.Send("2 syslog " + std::to_string(message.size()) + " " + message + "\n") &&
           ReadUntil(relp, "2 rsp 6 200 OK").find("2 rsp 6 200 OK") != std::string::npos;
}

// openssl's client, which checks the server's certificate against `caFile` for localhost.
int SendTls(const Collector& collector, const std::string& directory, const std::string& caFile, const std::string& message)
{
    return RunUnixShell("printf '%s' " + UnixQuoted(OctetCounted(message)) +
                            " | openssl s_client -quiet -no_ign_eof -connect 127.0.0.1:" + std::to_string(collector.TlsPort()) +
                            " -CAfile " + UnixQuoted(caFile) + " -verify_return_error -verify_hostname localhost",
                        directory, kWaitMs);
}

TEST(Collector, EveryInputRecordsTheFieldsAsSent)
{
    TempDir dir;
    const std::string directory = Utf8(dir.Path());
    Collector collector(directory);
    ASSERT_TRUE(collector.Running()) << collector.Error();

    ASSERT_TRUE(LoopbackSocket::Udp().SendTo(collector.UdpPort(), kMessage));
    LoopbackSocket tcp = LoopbackSocket::Connect(collector.TcpPort());
    ASSERT_TRUE(tcp.Send(OctetCounted(kMessage) + "<13>1 - host app - - - line framed\n"));
    tcp.Close();
    ASSERT_TRUE(SendRelp(collector.RelpPort(), kMessage));
    // A client that trusts the other CA refuses the server; what it would have sent never arrives.
    EXPECT_NE(0, SendTls(collector, directory, collector.UnixFile("other-ca.pem"), "<13>1 - host refused - - - x"));
    ASSERT_EQ(0, SendTls(collector, directory, collector.UnixFile("ca.pem"), kMessage));

    for (const std::string input : {"udp", "tcp", "relp", "tls"}) {
        SCOPED_TRACE(input);
        const std::size_t expected = input == "tcp" ? 2 : 1;
        const std::vector<SyslogRecord> records = collector.Received(input, expected, kWaitMs);
        ASSERT_EQ(expected, records.size());
        const SyslogRecord& record = records[0];
        EXPECT_EQ(165, record.pri);
        EXPECT_EQ("2003-10-11T22:14:15.003Z", record.timestamp);
        EXPECT_EQ("mymachine.example.com", record.hostname);
        EXPECT_EQ("evntslog", record.appName);
        EXPECT_EQ("1234", record.procId);
        EXPECT_EQ("ID47", record.msgId);
        EXPECT_EQ("[exampleSDID@32473 iut=\"3\" eventSource=\"Application\"]", record.structuredData);
        EXPECT_EQ("\xEF\xBB\xBF"
                  "caf\xC3\xA9 line one#012line two",
                  record.message);
        EXPECT_EQ(kMessage.substr(0, kMessage.find('\n')) + "#012line two", record.raw);
    }
    const std::vector<SyslogRecord> lineFramed = collector.Received("tcp", 2, kWaitMs);
    ASSERT_EQ(2u, lineFramed.size());
    EXPECT_EQ("-", lineFramed[1].timestamp);
    EXPECT_EQ("line framed", lineFramed[1].message);
}

TEST(Collector, RestartedAfterAKillItKeepsItsRecordsAndPorts)
{
    TempDir dir;
    Collector collector(Utf8(dir.Path()));
    ASSERT_TRUE(collector.Running()) << collector.Error();
    // Still connected at the kill, as a sender is that has not noticed yet: the ports are free again all the same.
    LoopbackSocket sender = LoopbackSocket::Connect(collector.TcpPort());
    ASSERT_TRUE(sender.Send("<13>1 - host app - - - before\n"));
    ASSERT_EQ(1u, collector.Received("tcp", 1, kWaitMs).size());
    LoopbackSocket relpSender = LoopbackSocket::Connect(collector.RelpPort());
    ASSERT_TRUE(relpSender.Open());

    const std::uint16_t udp = collector.UdpPort(), tcp = collector.TcpPort(), relp = collector.RelpPort(),
                        tls = collector.TlsPort();
    collector.Kill();
    EXPECT_FALSE(collector.Running());
    EXPECT_FALSE(LoopbackSocket::Connect(tcp).Open());

    ASSERT_TRUE(collector.Restart()) << collector.Error();
    EXPECT_TRUE(collector.Running());
    EXPECT_EQ(udp, collector.UdpPort());
    EXPECT_EQ(tcp, collector.TcpPort());
    EXPECT_EQ(relp, collector.RelpPort());
    EXPECT_EQ(tls, collector.TlsPort());
    ASSERT_TRUE(LoopbackSocket::Connect(tcp).Send("<13>1 - host app - - - after\n"));
    const std::vector<SyslogRecord> records = collector.Received("tcp", 2, kWaitMs);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("before", records[0].message);
    EXPECT_EQ("after", records[1].message);
    EXPECT_THROW(collector.Received("tpc", 0, 0), std::invalid_argument);
}

}  // namespace
}  // namespace QuorlinTest
