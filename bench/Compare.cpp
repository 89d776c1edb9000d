// The module's appenders against spdlog's equivalent sinks on one workload, in one run, alternating:
// the null, file, rolling and asynchronous rows with 1 and 2 producer threads, and two limits of the
// machine (pre-rendered bytes written 64 KiB at a time, and one write call per event). Every run checks
// what reached the disk: a benchmark that loses events fails.
//
// usage: compare_bench [--smoke | --quick] [--events N] [--runs N] [--only W] [--dir D] [--json F] [--dat F]
//   --smoke   2,000 events, one run (make test)    --quick   200,000 events, 3 runs
//   --only W  only workload W (null, file, rolling or async), both sides (the file's with the two
//             limits); no target table
// Prints a markdown table on standard output; exits 1 when any run lost or damaged events.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <zlib.h>

#include "CountingNew.h"
#include "PosixIO.h"
#include "host/Configuration.h"
#include "host/Framework.h"
#include "host/Level.h"
#include "os/Module.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Every event renders to one line of exactly kLineLength bytes, CR LF included:
// "2026-12-06 11:19:31.123 [INFO ] [12345   ] ev T SSSSSSSSSS xxx...xxx\r\n"
constexpr int kPrefixLength = 43;
constexpr int kMessageLength = 55;
constexpr int kLineLength = kPrefixLength + kMessageLength + 2;
constexpr std::int64_t kRollSize = 10 * 1024 * 1024;
constexpr int kRollFiles = 5;
const char* const kModulePattern = "%d [%-5p] [%-8t] %m";
const char* const kPeerPattern = "%Y-%m-%d %H:%M:%S.%e [%-5l] [%-8t] %v";

// spdlog's null sink discards an event without formatting it; the module's null appender renders every
// event with its layout first. The peer of that row renders too, into a buffer on the stack as spdlog's
// own file sinks do, and keeps only the count of bytes it rendered, which the run then checks.
class RenderDiscardSink final : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::int64_t Bytes() const { return m_Bytes; }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override
    {
        spdlog::memory_buf_t rendered;
        formatter_->format(msg, rendered);
        m_Bytes += static_cast<std::int64_t>(rendered.size());
    }
    void flush_() override {}

private:
    std::int64_t m_Bytes = 0;
};

enum class Workload { Null, File, Rolling, Async, Write64K, WritePerEvent };
enum class Side { Module, Peer, Limit };

const char* WorkloadName(Workload w)
{
    switch (w) {
    case Workload::Null: return "null appender, layout on";
    case Workload::File: return "file appender";
    case Workload::Rolling: return "rolling by size 10 MiB, 5 numbered files";
    case Workload::Async: return "asynchronous forwarder to a file";
    case Workload::Write64K: return "limit: write() in 64 KiB chunks";
    case Workload::WritePerEvent: return "limit: one write() per event";
    }
    return "";
}

const char* WorkloadKey(Workload w)
{
    switch (w) {
    case Workload::Null: return "null";
    case Workload::File: return "file";
    case Workload::Rolling: return "rolling";
    case Workload::Async: return "async";
    case Workload::Write64K: return "write64k";
    case Workload::WritePerEvent: return "write-per-event";
    }
    return "";
}

// The rows whose producers time every call: the asynchronous ones (the cost of handing an event over)
// and the rolling ones (how long an event waits when it triggers a roll-over).
bool TimesEachCall(Workload w) { return w == Workload::Async || w == Workload::Rolling; }

const char* SideName(Side s) { return s == Side::Module ? "module" : s == Side::Peer ? "spdlog" : "limit"; }

struct Options {
    std::int64_t events = 1'000'000;
    int runs = 5;
    bool smoke = false;
    fs::path dir;
    std::string json;
    std::string dat;
    std::string only;  // one workload's key; empty: all of them
};

struct Sample {
    double seconds = 0;
    double allocationsPerEvent = 0;
    double rssMiB = 0;
    std::int64_t diskBytes = 0;
    std::int64_t eventLines = 0;
    double p50 = 0, p99 = 0, p999 = 0;  // producer latency per call, ns (asynchronous and rolling rows)
    std::string error;                  // empty: the check passed
};

std::int64_t Share(std::int64_t events, int threads, int t) { return events / threads + (t < events % threads ? 1 : 0); }

// "ev T SSSSSSSSSS " then 'x' up to kMessageLength.
void MakeMessage(char* out, int thread, std::int64_t sequence)
{
    const int n = std::snprintf(out, kMessageLength + 1, "ev %d %010lld ", thread, static_cast<long long>(sequence));
    std::memset(out + n, 'x', static_cast<std::size_t>(kMessageLength - n));
}

// Runs `threads` producers over `events` events through log(thread, message); with latencies, each call
// is timed. Returns the allocations counted while they ran; start is when they were released.
template <typename LogFn>
std::uint64_t Produce(std::int64_t events, int threads, bool latencies, std::vector<std::vector<std::uint32_t>>& times,
                      Clock::time_point& start, LogFn log)
{
    times.assign(static_cast<std::size_t>(threads), {});
    if (latencies)
        for (int t = 0; t < threads; ++t)
            times[static_cast<std::size_t>(t)].resize(static_cast<std::size_t>(Share(events, threads, t)));
    std::atomic<bool> go{false};
    std::vector<std::thread> producers;
    for (int t = 0; t < threads; ++t) {
        producers.emplace_back([&, t] {
            char message[kMessageLength + 1];
            const std::int64_t count = Share(events, threads, t);
            std::uint32_t* lat = latencies ? times[static_cast<std::size_t>(t)].data() : nullptr;
            while (!go.load(std::memory_order_acquire))
                std::this_thread::yield();
            for (std::int64_t i = 0; i < count; ++i) {
                MakeMessage(message, t, i);
                if (lat) {
                    const auto a = Clock::now();
                    log(message);
                    lat[i] = static_cast<std::uint32_t>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - a).count());
                } else {
                    log(message);
                }
            }
        });
    }
    const std::uint64_t before = BenchAlloc::Count();
    start = Clock::now();
    go.store(true, std::memory_order_release);
    for (auto& p : producers)
        p.join();
    return BenchAlloc::Count() - before;
}

void Percentiles(std::vector<std::vector<std::uint32_t>>& times, Sample& s)
{
    std::vector<std::uint32_t> all;
    for (auto& t : times)
        all.insert(all.end(), t.begin(), t.end());
    if (all.empty())
        return;
    auto at = [&](double q) {
        const std::size_t k = std::min(all.size() - 1, static_cast<std::size_t>(q * static_cast<double>(all.size())));
        std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k), all.end());
        return static_cast<double>(all[k]);
    };
    s.p50 = at(0.50);
    s.p99 = at(0.99);
    s.p999 = at(0.999);
}

bool ReadWhole(const fs::path& file, std::string& text)
{
    text.clear();
    if (file.extension() == ".gz") {
        gzFile in = gzopen(file.c_str(), "rb");
        if (!in)
            return false;
        char buffer[1 << 16];
        int n;
        while ((n = gzread(in, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        gzclose(in);
        return n == 0;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return static_cast<bool>(in) || in.eof();
}

// Reads every file of dir whose name starts with stem (compressed history included) and checks the
// event lines, those holding "] ev ": each exactly kLineLength bytes ending in CR LF, none twice. Lines
// the appender adds itself (banners and trailers at a roll-over) are not counted. Without rolling every
// event must be there; with rolling (history beyond the window deleted), each thread's events on disk
// must be its last ones without a gap, and the window must be full.
void Check(const fs::path& dir, const std::string& stem, std::int64_t events, int threads, bool rolling, Sample& s)
{
    std::vector<std::vector<bool>> seen(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t)
        seen[static_cast<std::size_t>(t)].assign(static_cast<std::size_t>(Share(events, threads, t)), false);
    std::string text;
    s.diskBytes = 0;
    s.eventLines = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(stem, 0) != 0)
            continue;
        s.diskBytes += static_cast<std::int64_t>(entry.file_size());
        if (!ReadWhole(entry.path(), text)) {
            s.error = "cannot read " + name;
            return;
        }
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find('\n', at);
            end = end == std::string::npos ? text.size() : end + 1;
            const std::string_view line(text.data() + at, end - at);
            at = end;
            const std::size_t ev = line.find("] ev ");
            if (ev == std::string_view::npos)
                continue;
            if (line.size() != static_cast<std::size_t>(kLineLength) || line.substr(line.size() - 2) != "\r\n") {
                s.error = "damaged event line in " + name + ": " + std::string(line.substr(0, 120));
                return;
            }
            // "ev T SSSSSSSSSS ": parsed by hand (sscanf would measure the whole file's text each time).
            const char* p = line.data() + ev + 5;
            const char* const stop = line.data() + line.size();
            int thread = 0;
            long long sequence = 0;
            bool digits = p < stop && *p >= '0' && *p <= '9';
            for (; p < stop && *p >= '0' && *p <= '9'; ++p)
                thread = thread * 10 + (*p - '0');
            digits = digits && p < stop && *p == ' ' && ++p < stop && *p >= '0' && *p <= '9';
            for (; p < stop && *p >= '0' && *p <= '9'; ++p)
                sequence = sequence * 10 + (*p - '0');
            if (!digits || thread >= threads || sequence >= Share(events, threads, thread)) {
                s.error = "unknown event in " + name;
                return;
            }
            auto&& mark = seen[static_cast<std::size_t>(thread)][static_cast<std::size_t>(sequence)];
            if (mark) {
                s.error = "event written twice in " + name;
                return;
            }
            mark = true;
            ++s.eventLines;
        }
    }
    for (int t = 0; t < threads; ++t) {
        const auto& marks = seen[static_cast<std::size_t>(t)];
        std::size_t first = marks.size();
        if (rolling)
            while (first > 0 && marks[first - 1])
                --first;
        else
            first = 0;
        for (std::size_t i = first; i < marks.size(); ++i)
            if (!marks[i]) {
                s.error = "lost events (thread " + std::to_string(t) + ", from " + std::to_string(i) + ")";
                return;
            }
        if (rolling && std::count(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(first), true) != 0) {
            s.error = "a gap in the kept history of thread " + std::to_string(t);
            return;
        }
    }
    const std::int64_t window = kRollFiles * ((kRollSize - 4096) / kLineLength);
    if (rolling && s.eventLines < std::min(events, window))
        s.error = "the history window holds only " + std::to_string(s.eventLines) + " events";
}

fs::path g_ModulePath;

std::string ModuleConfiguration(Workload w, const fs::path& dir)
{
    const std::string layout = std::string("layout = ") + kModulePattern + "\n";
    std::string text;
    switch (w) {
    case Workload::Null: text = "[appender a]\ntype = Appender.Null\n" + layout; break;
    case Workload::File:
        text = "[appender a]\ntype = Appender.File\n" + layout + "fileName/value = " + (dir / "module.log").string() +
               "\nappendToFile/value = false\n";
        break;
    case Workload::Rolling:
        text = "[appender a]\ntype = Appender.RollingFile\n" + layout + "fileName/value = " + (dir / "module.log").string() +
               "\nfileNamePattern/value = " + (dir / "module.{RollingIndex}.log").string() +
               "\nappendToFile/value = false\ntriggeringPolicy/maxFileSize/value = 10MB\nrollingPolicy/maxIndex/value = 5\n";
        break;
    case Workload::Async:
        // The rolling file behind the forwarder never rolls within a run, so every event can be checked.
        text = "[appender roll]\ntype = Appender.RollingFile\n" + layout + "fileName/value = " + (dir / "module.log").string() +
               "\nfileNamePattern/value = " + (dir / "module.{RollingIndex}.log").string() +
               "\nappendToFile/value = false\ntriggeringPolicy/maxFileSize/value = 4GB\nrollingPolicy/maxIndex/value = 5\n"
               "[appender a]\ntype = Appender.AsyncBufferingForward\n" +
               layout + "appender-ref/ref = roll\n";
        break;
    default: break;
    }
    return text + "[root]\nlevel = INFO\nappender-ref = a\n";
}

// Waits until gzip has compressed every rolled file (no plain numbered history file is left).
void AwaitCompression(const fs::path& dir)
{
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        bool plain = false;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("module.", 0) == 0 && name != "module.log" && entry.path().extension() == ".log")
                plain = true;
        }
        if (!plain)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

Sample RunModule(Workload w, int threads, const Options& o)
{
    Sample s;
    fs::remove_all(o.dir);
    fs::create_directories(o.dir);
    Quorlin::Configuration config;
    std::string error;
    if (!Quorlin::ParseConfiguration(ModuleConfiguration(w, o.dir), "<benchmark>", config, error)) {
        s.error = error;
        return s;
    }
    BenchIO::ResetPeakRss();
    BenchIO::BeginCapture((o.dir.parent_path() / "compare-stdout.txt").string());
    std::uint64_t allocations = 0;
    Clock::time_point start;
    std::vector<std::vector<std::uint32_t>> times;
    {
        Quorlin::Framework framework;
        if (framework.Start(config, g_ModulePath.string(), error) != Quorlin::StartError::None) {
            BenchIO::EndCapture();
            s.error = error;
            return s;
        }
        allocations = Produce(o.events, threads, TimesEachCall(w), times, start,
                              [&](const char* message) { framework.Log(Quorlin::LevelInfo, message, kMessageLength); });
        framework.Stop();
    }
    s.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string printed = BenchIO::EndCapture();
    s.rssMiB = static_cast<double>(BenchIO::PeakRssKiB()) / 1024.0;
    s.allocationsPerEvent = static_cast<double>(allocations) / static_cast<double>(o.events);
    Percentiles(times, s);
    if (w == Workload::Null) {
        const std::size_t at = printed.find("m_nCount=");
        const long long counted = at == std::string::npos ? -1 : std::atoll(printed.c_str() + at + 9);
        s.eventLines = counted;
        if (counted != o.events)
            s.error = "the null appender counted " + std::to_string(counted) + " events";
        return s;
    }
    if (w == Workload::Rolling)
        AwaitCompression(o.dir);
    Check(o.dir, "module", o.events, threads, w == Workload::Rolling, s);
    return s;
}

Sample RunPeer(Workload w, int threads, const Options& o)
{
    Sample s;
    fs::remove_all(o.dir);
    fs::create_directories(o.dir);
    BenchIO::ResetPeakRss();
    const std::string file = (o.dir / "peer.log").string();
    std::uint64_t allocations = 0;
    Clock::time_point start;
    std::vector<std::vector<std::uint32_t>> times;
    std::int64_t renderedBytes = 0;
    {
        spdlog::sink_ptr sink;
        std::shared_ptr<RenderDiscardSink> discard;
        switch (w) {
        case Workload::Null: sink = discard = std::make_shared<RenderDiscardSink>(); break;
        case Workload::File: sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file, true); break;
        case Workload::Rolling: sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(file, kRollSize, kRollFiles); break;
        default: sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file, true); break;
        }
        std::shared_ptr<spdlog::details::thread_pool> pool;
        std::shared_ptr<spdlog::logger> logger;
        if (w == Workload::Async) {
            pool = std::make_shared<spdlog::details::thread_pool>(8192, 1);
            logger = std::make_shared<spdlog::async_logger>("peer", sink, pool, spdlog::async_overflow_policy::block);
        } else {
            logger = std::make_shared<spdlog::logger>("peer", sink);
        }
        logger->set_formatter(
            std::make_unique<spdlog::pattern_formatter>(kPeerPattern, spdlog::pattern_time_type::local, "\r\n"));
        allocations = Produce(o.events, threads, TimesEachCall(w), times, start, [&](const char* message) {
            logger->log(spdlog::level::info, spdlog::string_view_t(message, kMessageLength));
        });
        logger->flush();
        if (discard)
            renderedBytes = discard->Bytes();
        logger.reset();
        sink.reset();
        pool.reset();  // the worker drains the queue before it ends
    }
    s.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    s.rssMiB = static_cast<double>(BenchIO::PeakRssKiB()) / 1024.0;
    s.allocationsPerEvent = static_cast<double>(allocations) / static_cast<double>(o.events);
    Percentiles(times, s);
    if (w == Workload::Null) {
        // It keeps no text: every event must have been rendered to one whole line.
        s.eventLines = renderedBytes / kLineLength;
        if (renderedBytes != o.events * kLineLength)
            s.error = "the render-and-discard sink rendered " + std::to_string(renderedBytes) + " bytes";
        return s;
    }
    Check(o.dir, "peer", o.events, threads, w == Workload::Rolling, s);
    return s;
}

// The same bytes, pre-rendered, written by one producer thread straight to the file.
Sample RunLimit(Workload w, const Options& o)
{
    Sample s;
    fs::remove_all(o.dir);
    fs::create_directories(o.dir);
    std::string bytes(static_cast<std::size_t>(o.events * kLineLength), '\0');
    for (std::int64_t i = 0; i < o.events; ++i) {
        char* line = bytes.data() + i * kLineLength;
        std::snprintf(line, kPrefixLength + 1, "2026-01-01 00:00:00.000 [%-5s] [%-8d] ", "INFO", 12345);
        MakeMessage(line + kPrefixLength, 0, i);
        line[kLineLength - 2] = '\r';
        line[kLineLength - 1] = '\n';
    }
    BenchIO::ResetPeakRss();
    const std::uint64_t before = BenchAlloc::Count();
    const auto start = Clock::now();
    const int fd = BenchIO::OpenTruncated((o.dir / "limit.log").string());
    bool ok = fd >= 0;
    const std::size_t step = w == Workload::Write64K ? 65536 : static_cast<std::size_t>(kLineLength);
    // On a thread of its own, as every producer: while a process has one thread only, the kernel
    // skips the file's reference count and position lock on each write, which no producer can.
    std::thread writer([&] {
        for (std::size_t at = 0; ok && at < bytes.size(); at += step)
            ok = BenchIO::WriteAll(fd, bytes.data() + at, std::min(step, bytes.size() - at));
    });
    writer.join();
    if (fd >= 0)
        BenchIO::Close(fd);
    s.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    s.allocationsPerEvent = static_cast<double>(BenchAlloc::Count() - before) / static_cast<double>(o.events);
    s.rssMiB = static_cast<double>(BenchIO::PeakRssKiB()) / 1024.0;
    if (!ok) {
        s.error = "write failed";
        return s;
    }
    Check(o.dir, "limit", o.events, 1, false, s);
    return s;
}

struct Row {
    Workload workload;
    Side side;
    int threads;
    std::vector<Sample> samples;
};

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <typename F>
std::vector<double> Field(const Row& r, F f)
{
    std::vector<double> v;
    for (const auto& s : r.samples)
        v.push_back(f(s));
    return v;
}

struct Summary {
    double eps = 0, epsMin = 0, epsMax = 0, mbps = 0, p50 = 0, p99 = 0, p999 = 0, allocations = 0, rss = 0;
    std::int64_t diskBytes = 0, eventLines = 0;
    std::string error;
};

Summary Summarise(const Row& r, std::int64_t events)
{
    Summary m;
    auto eps = Field(r, [&](const Sample& s) { return s.seconds > 0 ? static_cast<double>(events) / s.seconds : 0.0; });
    m.eps = Median(eps);
    m.epsMin = *std::min_element(eps.begin(), eps.end());
    m.epsMax = *std::max_element(eps.begin(), eps.end());
    m.mbps = m.eps * kLineLength / 1e6;
    m.p50 = Median(Field(r, [](const Sample& s) { return s.p50; }));
    m.p99 = Median(Field(r, [](const Sample& s) { return s.p99; }));
    m.p999 = Median(Field(r, [](const Sample& s) { return s.p999; }));
    m.allocations = Median(Field(r, [](const Sample& s) { return s.allocationsPerEvent; }));
    m.rss = Median(Field(r, [](const Sample& s) { return s.rssMiB; }));
    m.diskBytes = r.samples.back().diskBytes;
    m.eventLines = r.samples.back().eventLines;
    for (const auto& s : r.samples)
        if (!s.error.empty())
            m.error = s.error;
    return m;
}

bool ParseArguments(int argc, char** argv, Options& o)
{
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (a == "--smoke")
            o.smoke = true;
        else if (a == "--quick")
            quick = true;
        else if (a == "--events")
            o.events = std::atoll(next().c_str());
        else if (a == "--runs")
            o.runs = std::atoi(next().c_str());
        else if (a == "--dir")
            o.dir = next();
        else if (a == "--json")
            o.json = next();
        else if (a == "--dat")
            o.dat = next();
        else if (a == "--only")
            o.only = next();
        else {
            std::fprintf(
                stderr,
                "usage: compare_bench [--smoke | --quick] [--events N] [--runs N] [--only W] [--dir D] [--json F] [--dat F]\n");
            return false;
        }
    }
    if (o.smoke) {
        o.events = 2000;
        o.runs = 1;
    } else if (quick) {
        o.events = 200'000;
        o.runs = 3;
    }
    if (o.events < 2 || o.runs < 1) {
        std::fprintf(stderr, "compare_bench: --events needs at least 2, --runs at least 1\n");
        return false;
    }
    return true;
}

std::string Fixed(double v, int decimals)
{
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

std::string Thousands(double v)
{
    std::string digits = std::to_string(static_cast<long long>(v + 0.5));
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!ParseArguments(argc, argv, o))
        return 2;
    const fs::path program = Quorlin::os::ExecutablePath();
    g_ModulePath = program.parent_path() / (std::string("Quorlin.Appender64") + Quorlin::os::SharedLibrarySuffix());
    if (o.dir.empty())
        o.dir = program.parent_path().parent_path() / "bench-data" / "files";
    fs::create_directories(o.dir);

    std::vector<Row> rows;
    for (Workload w : {Workload::Null, Workload::File, Workload::Rolling, Workload::Async})
        if (o.only.empty() || o.only == WorkloadKey(w))
            for (int threads : {1, 2})
                for (Side side : {Side::Module, Side::Peer})
                    rows.push_back({w, side, threads, {}});
    // The limits run with every workload, and with the file appender's, whose goal they set.
    if (o.only.empty() || o.only == WorkloadKey(Workload::File)) {
        rows.push_back({Workload::Write64K, Side::Limit, 1, {}});
        rows.push_back({Workload::WritePerEvent, Side::Limit, 1, {}});
    }
    if (rows.empty()) {
        std::fprintf(stderr, "compare_bench: no workload is called '%s'\n", o.only.c_str());
        return 2;
    }

    for (int run = 0; run < o.runs; ++run) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            // Alternate which side of each pair goes first.
            std::size_t k = i;
            if (run % 2 == 1 && rows[i].side != Side::Limit)
                k = rows[i].side == Side::Module ? i + 1 : i - 1;
            Row& r = rows[k];
            std::fprintf(stderr, "run %d/%d: %s, %s, %d thread(s)\n", run + 1, o.runs, WorkloadName(r.workload), SideName(r.side),
                         r.threads);
            Sample s = r.side == Side::Module ? RunModule(r.workload, r.threads, o)
                       : r.side == Side::Peer ? RunPeer(r.workload, r.threads, o)
                                              : RunLimit(r.workload, o);
            if (!s.error.empty())
                std::fprintf(stderr, "  FAILED: %s\n", s.error.c_str());
            r.samples.push_back(std::move(s));
        }
    }
    fs::remove_all(o.dir);

    bool failed = false;
    std::vector<Summary> sums;
    for (const auto& r : rows)
        sums.push_back(Summarise(r, o.events));

    std::printf("%lld events of %d bytes per line, medians of %d run(s) (min-max)\n\n", static_cast<long long>(o.events),
                kLineLength, o.runs);
    std::printf("| workload | threads | implementation | events/s | MB/s | producer p50 / p99 / p99.9 (ns) | allocations/event | "
                "peak RSS (MiB) | event lines on disk | check |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const Summary& m = sums[i];
        const std::string latency = TimesEachCall(r.workload)
                                        ? Fixed(m.p50, 0) + " / " + Fixed(m.p99, 0) + " / " + Fixed(m.p999, 0)
                                        : "";
        const std::string name = r.side == Side::Module ? "module" : r.side == Side::Peer ? "spdlog" : "write(2)";
        std::printf("| %s | %d | %s | %s (%s-%s) | %s | %s | %s | %s | %s | %s |\n", WorkloadName(r.workload), r.threads,
                    name.c_str(), Thousands(m.eps).c_str(), Thousands(m.epsMin).c_str(), Thousands(m.epsMax).c_str(),
                    Fixed(m.mbps, 1).c_str(), latency.c_str(), Fixed(m.allocations, 4).c_str(), Fixed(m.rss, 1).c_str(),
                    Thousands(static_cast<double>(m.eventLines)).c_str(),
                    m.error.empty() ? "ok" : ("FAILED: " + m.error).c_str());
        failed = failed || !m.error.empty();
    }
    if (!o.only.empty())
        return failed ? 1 : 0;

    // The ratios the targets are set in.
    auto find = [&](Workload w, Side side, int threads) -> const Summary& {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].workload == w && rows[i].side == side && (side == Side::Limit || rows[i].threads == threads))
                return sums[i];
        return sums.front();
    };
    const Summary& limit64 = find(Workload::Write64K, Side::Limit, 1);
    const Summary& perEvent = find(Workload::WritePerEvent, Side::Limit, 1);
    std::printf("\n| target | threads | measured | goal | met |\n|---|---|---|---|---|\n");
    auto target = [&](const char* what, int threads, double value, double goal, bool higherIsBetter) {
        const bool met = higherIsBetter ? value >= goal : value <= goal;
        std::printf("| %s | %d | %s | %s %s | %s |\n", what, threads, Fixed(value, 3).c_str(),
                    higherIsBetter ? ">=" : "<=", Fixed(goal, 3).c_str(), met ? "yes" : "no");
    };
    for (int t : {1, 2}) {
        const Summary& rm = find(Workload::Rolling, Side::Module, t);
        target("rolling / spdlog rotating (events/s)", t, rm.eps / find(Workload::Rolling, Side::Peer, t).eps, 1.0, true);
        target("rolling / 64 KiB write limit (events/s)", t, rm.eps / limit64.eps, 0.5, true);
        const Summary& am = find(Workload::Async, Side::Module, t);
        const Summary& ap = find(Workload::Async, Side::Peer, t);
        target("async producer p50 / spdlog's", t, am.p50 / ap.p50, 1.0, false);
        target("async producer p99 / spdlog's", t, am.p99 / ap.p99, 1.0, false);
        target("async end-to-end / spdlog's (events/s)", t, am.eps / ap.eps, 1.0, true);
        target("null / spdlog render-and-discard sink (events/s)", t,
               find(Workload::Null, Side::Module, t).eps / find(Workload::Null, Side::Peer, t).eps, 1.0, true);
        // One thread within a quarter of the floor's time; two threads together at least at it.
        target("file appender / one-write floor (events/s)", t, find(Workload::File, Side::Module, t).eps / perEvent.eps,
               t == 1 ? 0.77 : 1.0, true);
        for (Workload w : {Workload::Null, Workload::File, Workload::Rolling})
            // Steady state: the first event of each thread (its thread-local event) may allocate once.
            target((std::string("allocations per event, ") + WorkloadKey(w)).c_str(), t, find(w, Side::Module, t).allocations,
                   0.001, false);
        target("allocations per event, async (packet and its text)", t, am.allocations, 2.0, false);
    }

    if (!o.json.empty()) {
        std::ofstream json(o.json);
        json << "{\n  \"events\": " << o.events << ",\n  \"runs\": " << o.runs << ",\n  \"lineLength\": " << kLineLength
             << ",\n  \"rows\": [\n";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            const Summary& m = sums[i];
            json << "    {\"workload\": \"" << WorkloadKey(r.workload) << "\", \"implementation\": \"" << SideName(r.side)
                 << "\", \"threads\": " << r.threads << ", \"eventsPerSecond\": " << Fixed(m.eps, 0)
                 << ", \"eventsPerSecondMin\": " << Fixed(m.epsMin, 0) << ", \"eventsPerSecondMax\": " << Fixed(m.epsMax, 0)
                 << ", \"megabytesPerSecond\": " << Fixed(m.mbps, 2) << ", \"latencyP50ns\": " << Fixed(m.p50, 0)
                 << ", \"latencyP99ns\": " << Fixed(m.p99, 0) << ", \"latencyP999ns\": " << Fixed(m.p999, 0)
                 << ", \"allocationsPerEvent\": " << Fixed(m.allocations, 4) << ", \"peakRssMiB\": " << Fixed(m.rss, 1)
                 << ", \"diskBytes\": " << m.diskBytes << ", \"eventLines\": " << m.eventLines
                 << ", \"ok\": " << (m.error.empty() ? "true" : "false") << "}" << (i + 1 < rows.size() ? "," : "") << "\n";
        }
        json << "  ]\n}\n";
    }
    if (!o.dat.empty()) {
        // gnuplot: one line per workload and thread count: module, spdlog, 64 KiB limit, per-event floor.
        std::ofstream dat(o.dat);
        dat << "# workload module spdlog write64k write-per-event (events/s)\n";
        for (Workload w : {Workload::Null, Workload::File, Workload::Rolling, Workload::Async})
            for (int t : {1, 2})
                dat << "\"" << WorkloadKey(w) << ", " << t << "t\" " << Fixed(find(w, Side::Module, t).eps, 0) << " "
                    << Fixed(find(w, Side::Peer, t).eps, 0) << " " << Fixed(limit64.eps, 0) << " " << Fixed(perEvent.eps, 0)
                    << "\n";
    }
    return failed ? 1 : 0;
}
