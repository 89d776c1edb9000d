#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Events.h"
#include "FrameReader.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "TempDir.h"
#include "diagnostics/LostEvents.h"
#include "StartedAppender.h"
#include "network/SyslogAppender.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

// A port nobody listens on (for a while): one that was free a moment ago.
std::uint16_t FreePort()
{
    std::uint16_t port = 0;
    os::SocketHandle socket = os::kNoSocket;
    os::ListenLoopback(os::SocketKind::Stream, port, socket);
    os::CloseSocket(socket);
    return port;
}

// Waits up to 10 s for `done`, which the sender thread makes true.
template <typename F>
bool Eventually(F done)
{
    for (int i = 0; i < 1000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// The message of an RFC 5424 record: what follows the sixth space.
std::string MessageOf(const std::string& record)
{
    std::size_t at = 0;
    for (int i = 0; i < 7 && at != std::string::npos; ++i)
        at = record.find(' ', at + (i > 0));
    return at == std::string::npos ? std::string() : record.substr(at + 1);
}

}  // namespace

TEST(SyslogAppender, EveryEventOfSeveralThreadsArrivesOnceAndInOrderOverTcp)
{
    FrameReader collector;
    ASSERT_TRUE(collector.Listening());
    auto appender = Started({{"port/value", std::to_string(collector.Port())}, {"appName/value", "shop api"},
                             {"hostName/value", "web1"}, {"facility/value", "local0"}});
    constexpr int kThreads = 2, kEach = 20000;
    WriteNumberedLines(kThreads, kEach, [&](const std::string& line) { Log(*appender, line, 70000); });
    appender->Close();
    EXPECT_EQ(appender->GetSent(), static_cast<std::uint64_t>(kThreads * kEach));
    EXPECT_EQ(appender->GetLost(), 0u);

    const std::vector<std::string> records = collector.Records(kThreads * kEach, 10000);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_TRUE(std::regex_match(records[0], std::regex(R"(<132>1 \d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d web1 shop_api \d+ - - .*)")))
        << records[0];
    std::string text;
    for (const std::string& record : records)
        text += MessageOf(record) + "\n";
    LineVerifier verifier(kThreads);
    verifier.Consume("collector", text);
    EXPECT_EQ(verifier.Problems(kEach), std::vector<std::string>{});
    EXPECT_EQ(collector.Garbage(), "");
}

TEST(SyslogAppender, WhileTheCollectorIsAwayTheQueueFillsThenLossesAreCountedAndNotedWhereTheGapIs)
{
    LostEvents::Clear();
    DiagnosticRecorder diagnostics;
    const std::uint16_t port = FreePort();
    auto appender = Started({{"port/value", std::to_string(port)}, {"queueSize/value", "64KB"}, {"reconnectDelay/value", "200"}});
    constexpr int kEvents = 3000;  // ~300 KB of records
    for (int i = 0; i < kEvents; ++i)
        Log(*appender, "before " + std::to_string(i) + std::string(60, '.'));
    const std::uint64_t lost = appender->GetLost();
    EXPECT_GT(lost, 0u);
    EXPECT_LT(lost, static_cast<std::uint64_t>(kEvents));
    EXPECT_EQ(LostEvents::Of("central"), lost);
    EXPECT_TRUE(Eventually([&] { return diagnostics.Mentions("cannot connect to [tcp://127.0.0.1:" + std::to_string(port) + "]") == 1; }));

    FrameReader collector(port);
    ASSERT_TRUE(collector.Listening());
    const std::size_t kept = kEvents - lost;
    ASSERT_EQ(collector.Records(kept, 10000).size(), kept);
    Log(*appender, "after");
    appender->Close();

    const std::vector<std::string> records = collector.Records(kept + 2, 10000);
    ASSERT_EQ(records.size(), kept + 2);
    for (std::size_t i = 0; i < kept; ++i)
        ASSERT_EQ(MessageOf(records[i]).rfind("before " + std::to_string(i) + ".", 0), 0u) << records[i];
    EXPECT_EQ(MessageOf(records[kept]), "-- (Quorlin) " + std::to_string(lost) + " events could not be written to [tcp://127.0.0.1:" +
                                            std::to_string(port) + "]");
    EXPECT_EQ(records[kept].substr(0, 5), "<11>1");  // user.err
    EXPECT_EQ(MessageOf(records[kept + 1]), "after");
    EXPECT_EQ(diagnostics.Mentions("connected to [tcp://127.0.0.1:" + std::to_string(port) + "] again after"), 1);
}

TEST(SyslogAppender, WithASpoolNothingIsLostWhileTheCollectorIsAwayNorAcrossARestartOfTheProgram)
{
    TempDir dir;
    const std::uint16_t port = FreePort();
    const Options options = {{"port/value", std::to_string(port)},       {"queueSize/value", "64KB"},
                             {"reconnectDelay/value", "200"},            {"closeTimeout/value", "300"},
                             {"spoolDirectory/value", (dir.Path() / "spool").string()}};
    constexpr int kEvents = 3000;  // ~300 KB: far more than the memory queue
    auto first = Started(options);
    for (int i = 0; i < kEvents; ++i)
        Log(*first, "spooled " + std::to_string(i) + std::string(60, '.'));
    first->Close();  // the collector never came: everything stays on disk
    EXPECT_EQ(first->GetLost(), 0u);
    EXPECT_FALSE(std::filesystem::is_empty(dir.Path() / "spool"));

    FrameReader collector(port);
    ASSERT_TRUE(collector.Listening());
    auto second = Started(options);
    for (int i = kEvents; i < 2 * kEvents; ++i)
        Log(*second, "spooled " + std::to_string(i) + std::string(60, '.'));
    const std::vector<std::string> records = collector.Records(2 * kEvents, 20000);
    second->Close();
    EXPECT_EQ(second->GetLost(), 0u);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(2 * kEvents));
    for (int i = 0; i < 2 * kEvents; ++i)
        ASSERT_EQ(MessageOf(records[static_cast<std::size_t>(i)]).rfind("spooled " + std::to_string(i) + ".", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "spool"));
}

TEST(SyslogAppender, AnUnreachableCollectorIsReportedAndCloseGivesUpInTimeCountingWhatWasLeft)
{
    const std::pair<std::string, std::string> cases[] = {
        {"nosuch.invalid", "cannot resolve [nosuch.invalid]"},
        {"127.0.0.1", "refused"},
        {"10.255.255.1", "cannot connect to [tcp://10.255.255.1:"},  // no route, or no answer in time
    };
    for (const auto& [server, says] : cases) {
        DiagnosticRecorder diagnostics;
        auto appender = Started({{"server/value", server}, {"port/value", std::to_string(FreePort())},
                                 {"closeTimeout/value", "300"}, {"protocol/value", "TCP"}, {"connectTimeout/value", "200"}});
        for (int i = 0; i < 10; ++i)
            Log(*appender, "event " + std::to_string(i));
        const auto start = std::chrono::steady_clock::now();
        appender->Close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));  // bounded, not a speed check
        EXPECT_EQ(appender->GetSent(), 0u);
        EXPECT_EQ(appender->GetLost(), 10u) << server;
        EXPECT_GE(diagnostics.Mentions(says), 1) << server;
        EXPECT_EQ(diagnostics.Mentions("closed with 10 events lost in all"), 1) << server;
    }
    // Destroyed while open, it closes first: what it could not send is counted, not dropped unseen.
    LostEvents::Clear();
    Log(*Started({{"port/value", std::to_string(FreePort())}, {"closeTimeout/value", "100"}}), "left open");
    EXPECT_EQ(LostEvents::Of("central"), 1u);
}

TEST(SyslogAppender, BadOptionValuesKeepTheCurrentOneWithADiagnostic)
{
    DiagnosticRecorder diagnostics;
    SyslogAppender appender;
    for (const auto& [key, value] : Options{{"port/value", "70000"}, {"protocol/value", "carrier-pigeon"},
                                            {"format/value", "rfc9999"}, {"facility/value", "local9"}, {"server/value", " "}})
        appender.SetOption(DString(key.c_str()), DString(value.c_str()));
    appender.ActivateOptions();
    EXPECT_EQ(appender.GetTarget(), "tcp://127.0.0.1:514");
    EXPECT_EQ(diagnostics.Mentions("is not valid, the value stays as it was"), 5);
}
