// The syslog appender against a real collector (rsyslogd on loopback), natively and under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Collector.h"
#include "Events.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "TempDir.h"
#include "StartedAppender.h"
#include "network/SyslogAppender.h"
#include "os/Process.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

struct Transport {
    const char* protocol;
    std::uint16_t (Collector::*port)() const;
    const char* input;
    const char* format;
};

}  // namespace

TEST(CollectorDelivery, EveryTransportDeliversEachEventOnceInOrderWithItsFieldsAndItsTextAsData)
{
    TempDir dir;
    Collector collector(dir.Path().string());
    ASSERT_TRUE(collector.Running()) << collector.Error();
    const Transport transports[] = {{"udp", &Collector::UdpPort, "udp", "rfc5424"},
                                    {"tcp", &Collector::TcpPort, "tcp", "rfc5424"},
                                    {"relp", &Collector::RelpPort, "relp", "rfc5424"},
                                    {"tcp", &Collector::TcpPort, "tcp", "rfc3164"},
                                    {"tls", &Collector::TlsPort, "tls", "rfc5424"}};
    for (const Transport& transport : transports) {
        SCOPED_TRACE(std::string(transport.protocol) + " " + transport.format);
        const std::size_t before = collector.Received(transport.input, 0, 0).size();
        auto appender = Started({{"protocol/value", transport.protocol}, {"port/value", std::to_string((collector.*transport.port)())},
                                 {"appName/value", "shop"}, {"hostName/value", "web1"}, {"facility/value", "local3"},
                                 {"format/value", transport.format}, {"caFile/value", collector.CaFile()}});
        Log(*appender, "line\nbreak", 80000);
        Log(*appender, std::string("nul\0inside", 10), 70000);
        Log(*appender, "bad \xFF utf-8 \xC3\xA9", 50000);
        for (int i = 0; i < 200; ++i)
            Log(*appender, "event " + std::to_string(i), 40000);
        appender->Close();
        EXPECT_EQ(appender->GetLost(), 0u);

        std::vector<SyslogRecord> records = collector.Received(transport.input, before + 203, 10000);
        records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(before));
        ASSERT_EQ(records.size(), 203u);
        const std::string lead = std::string(transport.format) == "rfc3164" ? " " : "";  // RFC 3164: the space after the tag
        EXPECT_EQ(records[0].pri, 19 * 8 + 3);  // local3.err
        EXPECT_EQ(records[0].hostname, "web1");
        EXPECT_EQ(records[0].appName, "shop");
        EXPECT_EQ(records[0].procId, std::to_string(os::CurrentProcessId()));
        EXPECT_EQ(records[0].message, lead + "line#012break");
        EXPECT_EQ(records[1].message, lead + "nul#000inside");
        EXPECT_EQ(records[2].message, lead + "bad \xEF\xBF\xBD utf-8 \xC3\xA9");
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(records[static_cast<std::size_t>(3 + i)].message, lead + "event " + std::to_string(i));
        EXPECT_EQ(records[3].pri, 19 * 8 + 7);  // local3.debug
    }
}

TEST(CollectorDelivery, ACollectorWhoseCertificateDoesNotVerifyGetsNothingAndSaysWhy)
{
    TempDir dir;
    Collector collector(dir.Path().string());
    ASSERT_TRUE(collector.Running()) << collector.Error();
    DiagnosticRecorder diagnostics;
    auto appender = Started({{"protocol/value", "tls"}, {"port/value", std::to_string(collector.TlsPort())},
                             {"caFile/value", collector.OtherCaFile()}, {"closeTimeout/value", "300"}});
    Log(*appender, "secret");
    appender->Close();
    EXPECT_EQ(appender->GetLost(), 1u);
    EXPECT_EQ(diagnostics.Mentions("TLS handshake with [127.0.0.1]"), 1);
    EXPECT_TRUE(collector.Received("tls", 1, 500).empty());
}

TEST(CollectorDelivery, OverRelpACollectorKilledAndRestartedMidStreamLosesNothing)
{
    TempDir dir;
    Collector collector((dir.Path() / "collector").string());
    ASSERT_TRUE(collector.Running()) << collector.Error();
    auto appender = Started({{"protocol/value", "relp"}, {"port/value", std::to_string(collector.RelpPort())},
                             {"reconnectDelay/value", "200"}, {"closeTimeout/value", "20000"},
                             {"queueSize/value", "256KB"}, {"spoolDirectory/value", (dir.Path() / "spool").string()}});
    constexpr int kThreads = 2, kEach = 10000;
    std::thread crash([&] {
        collector.Received("relp", 2000, 20000);  // in the middle of the stream
        collector.Kill();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(collector.Restart()) << collector.Error();
    });
    WriteNumberedLines(kThreads, kEach, [&](const std::string& line) { Log(*appender, line); });
    crash.join();
    appender->Close();
    EXPECT_EQ(appender->GetLost(), 0u);

    // Every event at least once and in order per thread; those the collector took without
    // acknowledging them before it died come twice, at most a window's worth.
    const std::vector<SyslogRecord> records = collector.Received("relp", kThreads * kEach, 30000);
    std::set<std::string> seen;
    std::string text;
    int repeats = 0;
    for (const SyslogRecord& record : records) {
        if (!seen.insert(record.message).second) {
            ++repeats;
            continue;
        }
        text += record.message + "\n";
    }
    LineVerifier verifier(kThreads);
    verifier.Consume("relp.log", text);
    EXPECT_EQ(verifier.Problems(kEach), std::vector<std::string>{});
    EXPECT_LE(repeats, 128);
}
