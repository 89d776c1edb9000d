// A roll-over with a minute pattern in a directory of 1,000 history files: 995 within the kept day,
// 5 that the purge deletes (laid again before each run). The policies' purge against the plain loop
// that expands and deletes every name of every slot. Target: under 20 ms, at least 10 times faster.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ReferencePurge.h"
#include "host/Utility.h"
#include "os/Clock.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"

namespace fs = std::filesystem;
using namespace Quorlin;

namespace {

constexpr std::int64_t kTicksPerMinute = 600'000'000;
constexpr int kKept = 995;
constexpr int kPurged = 5;

struct History {
    fs::path directory;
    std::string pattern;
    std::vector<fs::path> purged;  // laid again before every run
    std::int64_t now = 0;
};

std::string NameAt(const std::string& pattern, std::int64_t ticks)
{
    const std::int64_t seconds = ticks / 10'000'000;
    return Utility::PatternToFileName(pattern.c_str(), &seconds).ToDString().c_str();
}

void Create(const fs::path& file)
{
    std::ofstream out(file, std::ios::binary);
    out << "x";
}

// maxHistory 1440: one day of minutes kept; the purge looks at the 30 days before it.
History Lay(const std::string& name, bool numbered)
{
    History history;
    history.directory = fs::temp_directory_path() / ("quorlin-bench-" + name);
    fs::remove_all(history.directory);
    fs::create_directories(history.directory);
    history.pattern = (history.directory /
                       (numbered ? "app.{yyyy}{MM}{dd}-{HH}{mm}.{RollingIndex}.log" : "app.{yyyy}{MM}{dd}-{HH}{mm}.log"))
                          .string();
    history.now = os::NowTicks();
    auto file = [&](std::int64_t minutesBack) {
        std::string path = NameAt(history.pattern, history.now - minutesBack * kTicksPerMinute) + ".gz";
        if (numbered)
            path.replace(path.find("{RollingIndex}"), 14, "1");
        return fs::path(path);
    };
    for (int i = 1; i <= kKept; ++i)
        Create(file(i));
    for (int i = 0; i < kPurged; ++i) {
        history.purged.push_back(file(1441 + 1 + i * 3000));
        Create(history.purged.back());
    }
    return history;
}

template <typename Policy>
std::unique_ptr<Policy> Activated(const History& history)
{
    auto policy = std::make_unique<Policy>();
    policy->SetOption(DString("/fileNamePattern/value"), DString(history.pattern.c_str()));
    policy->SetOption(DString("/maxHistory/value"), DString("1440"));
    policy->ActivateOptions();
    return policy;
}

void Relay(benchmark::State& state, const History& history)
{
    state.PauseTiming();
    for (const fs::path& file : history.purged)
        Create(file);
    state.ResumeTiming();
}

void BM_TimeBasedPurge(benchmark::State& state)
{
    const History history = Lay("time", false);
    auto policy = Activated<TimeBasedRollPolicy>(history);
    for (auto _ : state) {
        Relay(state, history);
        policy->Purge(&history.now);
    }
    fs::remove_all(history.directory);
}

void BM_TimeBasedPurgePlainLoop(benchmark::State& state)
{
    const History history = Lay("time-plain", false);
    auto policy = Activated<TimeBasedRollPolicy>(history);
    const QuorlinTest::PurgeSetup setup{DString(history.pattern.c_str()), policy->HistoryMinutes(), policy->PeriodMinutes()};
    for (auto _ : state) {
        Relay(state, history);
        QuorlinTest::ReferenceTimeBasedPurge(setup, history.now);
    }
    fs::remove_all(history.directory);
}

void BM_SizeAndTimeBasedPurge(benchmark::State& state)
{
    const History history = Lay("size", true);
    auto policy = Activated<SizeAndTimeBasedRollPolicy>(history);
    for (auto _ : state) {
        Relay(state, history);
        policy->Purge(&history.now);
    }
    fs::remove_all(history.directory);
}

void BM_SizeAndTimeBasedPurgePlainLoop(benchmark::State& state)
{
    const History history = Lay("size-plain", true);
    auto policy = Activated<SizeAndTimeBasedRollPolicy>(history);
    const QuorlinTest::PurgeSetup setup{DString(history.pattern.c_str()), policy->HistoryMinutes(), policy->PeriodMinutes()};
    for (auto _ : state) {
        Relay(state, history);
        QuorlinTest::ReferenceSizeAndTimeBasedPurge(setup, history.now);
    }
    fs::remove_all(history.directory);
}

BENCHMARK(BM_TimeBasedPurge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeBasedPurgePlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SizeAndTimeBasedPurge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SizeAndTimeBasedPurgePlainLoop)->Unit(benchmark::kMillisecond);

// Remembers each benchmark's time per iteration for the closing comparison.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                milliseconds[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> milliseconds;
};

}  // namespace

// --smoke (make test): the runs must complete, the timing verdict is printed but never fails the run.
int main(int argc, char** argv)
{
    bool smoke = false;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--smoke") {
            smoke = true;
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            break;
        }
    benchmark::Initialize(&argc, argv);
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();
    bool met = true;
    for (const char* name : {"BM_TimeBasedPurge", "BM_SizeAndTimeBasedPurge"}) {
        const auto ours = recorder.milliseconds.find(name);
        const auto plain = recorder.milliseconds.find(std::string(name) + "PlainLoop");
        if (ours == recorder.milliseconds.end() || plain == recorder.milliseconds.end())
            continue;
        const double ratio = plain->second / ours->second;
        const bool ok = ours->second < 20.0 && ratio >= 10.0;
        met = met && ok;
        std::printf("%s: %.2f ms, plain loop %.1f ms, %.0fx faster (target: under 20 ms and at least 10x): %s\n", name,
                    ours->second, plain->second, ratio, ok ? "met" : "MISSED");
    }
    return met || smoke ? 0 : 1;
}
