// The syslog appender into a real collector (rsyslogd on loopback, as the tests start it): how fast
// the logging threads go and how fast the sender delivers over TCP and RELP, and the producers'
// latency with the collector up and down, beside the file appender in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Collector.h"
#include "TempDir.h"
#include "file/FileAppender.h"
#include "host/Level.h"
#include "host/LoggingEvent.h"
#include "network/SyslogAppender.h"
#include "os/Clock.h"
#include "os/Socket.h"

using namespace Quorlin;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMessageLength = 100;

struct Sample {
    double producerEps = 0;  // events handed over per second of the logging thread's time
    double sendEps = 0;      // events delivered per second, from the first event to the last delivery
    double p50 = 0, p99 = 0;  // ns per Append
    std::string error;
};

Sample Produce(Appender& appender, long events)
{
    Sample s;
    std::vector<std::uint32_t> times(static_cast<std::size_t>(events));
    char message[kMessageLength + 1];
    LoggingEvent event;
    event.m_Level = LevelInfo;
    event.m_MessageLength = kMessageLength;
    event.m_Message = message;
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < events; ++i) {
        const int n = std::snprintf(message, sizeof message, "ev 0 %010ld ", i);
        std::memset(message + n, 'x', static_cast<std::size_t>(kMessageLength - n));
        event.m_TimeStamp = os::NowTicks();
        const Clock::time_point before = Clock::now();
        appender.Append(&event);
        times[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(
            std::min<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - before).count(), UINT32_MAX));
    }
    s.producerEps = static_cast<double>(events) / std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(times.begin(), times.end());
    s.p50 = times[times.size() / 2];
    s.p99 = times[times.size() * 99 / 100];
    return s;
}

Sample FileRow(const QuorlinTest::TempDir& dir, long events)
{
    FileAppender appender;
    appender.SetOption(DString("fileName/value"), DString((dir.Path() / "file.log").string().c_str()));
    appender.SetOption(DString("appendToFile/value"), DString("false"));
    appender.ActivateOptions();
    if (!appender.Open())
        return {0, 0, 0, 0, "the file appender did not open"};
    Sample s = Produce(appender, events);
    appender.Close();
    s.sendEps = s.producerEps;
    return s;
}

Sample SyslogRow(const char* protocol, std::uint16_t port, bool up, long events, QuorlinTest::Collector& collector,
                 const char* input)
{
    SyslogAppender appender;
    appender.SetName(DString("bench"));
    for (const auto& [key, value] : {std::pair<const char*, std::string>{"protocol/value", protocol},
                                     {"port/value", std::to_string(port)},
                                     {"queueSize/value", "1GB"},
                                     {"closeTimeout/value", up ? "120000" : "0"}})
        appender.SetOption(DString(key), DString(value.c_str()));
    appender.ActivateOptions();
    if (!appender.Open())
        return {0, 0, 0, 0, std::string("the ") + protocol + " appender did not open"};
    const std::size_t before = up ? collector.Received(input, 0, 0).size() : 0;
    const Clock::time_point start = Clock::now();
    Sample s = Produce(appender, events);
    if (up) {
        while (appender.GetSent() < static_cast<std::uint64_t>(events) && Clock::now() - start < std::chrono::minutes(2))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        s.sendEps = static_cast<double>(appender.GetSent()) / std::chrono::duration<double>(Clock::now() - start).count();
    }
    appender.Close();
    if (up) {
        const std::size_t received = collector.Received(input, before + static_cast<std::size_t>(events), 60000).size() - before;
        if (received != static_cast<std::size_t>(events))
            s.error = "the collector received " + std::to_string(received) + " of " + std::to_string(events) + " events";
    }
    return s;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const long events = smoke ? 2000 : 300000;
    const int runs = smoke ? 1 : (argc > 1 && std::strcmp(argv[1], "--once") == 0 ? 1 : 3);
    QuorlinTest::TempDir dir;
    QuorlinTest::Collector collector((dir.Path() / "collector").string());
    if (!collector.Running()) {
        std::fprintf(stderr, "syslog_bench: no collector: %s\n", collector.Error().c_str());
        return 1;
    }
    std::uint16_t downPort = 0;
    os::SocketHandle probe = os::kNoSocket;
    os::ListenLoopback(os::SocketKind::Stream, downPort, probe);
    os::CloseSocket(probe);

    struct Row {
        const char* name;
        std::vector<Sample> samples;
    };
    std::vector<Row> rows = {{"file appender", {}}, {"syslog TCP, collector up", {}}, {"syslog RELP, collector up", {}},
                             {"syslog TCP, collector down", {}}};
    for (int run = 0; run < runs; ++run) {
        rows[0].samples.push_back(FileRow(dir, events));
        rows[1].samples.push_back(SyslogRow("tcp", collector.TcpPort(), true, events, collector, "tcp"));
        rows[2].samples.push_back(SyslogRow("relp", collector.RelpPort(), true, events, collector, "relp"));
        rows[3].samples.push_back(SyslogRow("tcp", downPort, false, events, collector, "tcp"));
    }
    int status = 0;
    std::printf("| workload (1 thread, %ld events of %d bytes, medians of %d) | producer events/s | producer p50 / p99 (ns) | delivered events/s |\n",
                events, kMessageLength, runs);
    std::printf("|---|---|---|---|\n");
    std::vector<double> eps, p99, sent;
    for (const Row& row : rows) {
        std::vector<double> e, p5, p9, d;
        for (const Sample& s : row.samples) {
            if (!s.error.empty()) {
                std::fprintf(stderr, "syslog_bench: %s: %s\n", row.name, s.error.c_str());
                status = 1;
            }
            e.push_back(s.producerEps);
            p5.push_back(s.p50);
            p9.push_back(s.p99);
            d.push_back(s.sendEps);
        }
        eps.push_back(Median(e));
        p99.push_back(Median(p9));
        sent.push_back(Median(d));
        std::printf("| %s | %.0f | %.0f / %.0f | %s |\n", row.name, eps.back(), Median(p5), p99.back(),
                    row.name == rows[3].name ? "-" : std::to_string(static_cast<long>(sent.back())).c_str());
    }
    std::printf("\n| target | measured | goal |\n|---|---|---|\n");
    std::printf("| syslog TCP producer / file appender (events/s) | %.2f | >= 1.0 |\n", eps[1] / eps[0]);
    std::printf("| syslog TCP producer p99 / file appender p99 | %.2f | <= 1.0 |\n", p99[1] / p99[0]);
    std::printf("| syslog, collector down: producer p99 / file appender p99 | %.2f | <= 1.0 |\n", p99[3] / p99[0]);
    std::printf("| syslog TCP delivered events/s | %.0f | >= 200000 |\n", sent[1]);
    std::printf("| syslog RELP delivered events/s | %.0f | - |\n", sent[2]);
    return status;
}
