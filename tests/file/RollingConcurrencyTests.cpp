// Producers racing each other and the roll-overs they trigger, for every rolling policy, with the
// real compressor or none: hundreds of roll-overs, and every numbered line exactly once, in order per
// thread, across the history and the active file. The ThreadSanitizer tree runs this binary.
#include <gtest/gtest.h>

#include "LineVerifier.h"
#include "RollingTestSupport.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

// Lines of about 30 bytes: a 4096-byte limit rolls at about every 8 KiB batch. A compressor process
// under Wine costs tens of milliseconds.
const int kLines = kWindows ? 12000 : 48000;
const std::size_t kLeastRollOvers = kWindows ? 30 : 150;

const bool g_ModuleLocated = LocateModuleAtTestBinary();

// The name with every run of digits padded to twelve, so that names compare as their numbers do:
// app.2026-12-07.10.log after app.2026-12-07.9.log.
std::string SortKey(const std::string& name)
{
    std::string key;
    for (std::size_t i = 0, end; i < name.size(); i = end) {
        end = std::min(name.find_first_not_of("0123456789", i), name.size());
        if (end == i)
            key += name[end++];
        else
            key += std::string(12 - (end - i), '0') + name.substr(i, end - i);
    }
    return key;
}

// The history of a dated or numbered pattern, oldest first (compressed or not), then the active file.
std::vector<fs::path> HistoryThenActive(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != "app.log")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return SortKey(a.filename().string()) < SortKey(b.filename().string());
    });
    files.push_back(folder / "app.log");
    return files;
}

enum class Clock { Real, MinuteSteps, NoCompressor };

struct Policy {
    const char* name;
    int window;  // a fixed window's highest number, 0 for a dated history
    Options options;
    Clock clock;  // MinuteSteps: a clock moved on by a minute every 250 lines; NoCompressor: gzip never starts
};

const Policy kPolicies[] = {
    // Two batches a file, so that the largest window, 121, holds the whole run.
    {"FixedWindow", 121, SizeWindow("12000", 121), Clock::Real},
    {"FixedWindowUncompressed", 121, SizeWindow("12000", 121), Clock::NoCompressor},
    {"TimeByTheMinute",
     0,
     {{"fileNamePattern/value", "app.{yyyy}-{MM}-{dd}-{HH}-{mm}.log"}, {"rollingPolicy/maxHistory/value", "1000"}},
     Clock::MinuteSteps},
    // A dated pattern numbered within the day, as a service rolling by size configures it: the
    // compressions started at each roll-over must not make the next one fail.
    {"SizeAndTime",
     0,
     {{"fileNamePattern/value", "app.{yyyy}-{MM}-{dd}.{RollingIndex}.log"},
      {"triggeringPolicy/maxFileSize/value", "4096"},
      {"rollingPolicy/maxHistory/value", "3"}},
     Clock::Real},
};

void PrintTo(const Policy& policy, std::ostream* out) { *out << policy.name; }

class RollingConcurrency : public testing::TestWithParam<std::tuple<Policy, int>> {};

}  // namespace

TEST_P(RollingConcurrency, EveryLineOnceAcrossTheRollOvers)
{
    const auto& [policy, threads] = GetParam();
    const int perThread = kLines / threads;
    TempDir dir;
    std::unique_ptr<ClockWithoutGzip> noGzip;
    std::unique_ptr<FakeClock> minutes;
    if (policy.clock == Clock::NoCompressor)
        noGzip = std::make_unique<ClockWithoutGzip>(LocalTicks(2026, 12, 7, 10, 0, 0));
    if (policy.clock == Clock::MinuteSteps)
        minutes = std::make_unique<FakeClock>(LocalTicks(2026, 12, 7, 10, 0, 0));
    auto appender = RollingInto(dir.Path(), policy.options, {{"appendToFile/value", "false"}});
    appender->SetName(policy.name);
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    std::atomic<int> logged{0};
    WriteNumberedLines(threads, perThread, [&](const std::string& line) {
        Log(*appender, line);
        if (minutes && logged.fetch_add(1) % 250 == 249)
            minutes->Advance(60 * os::kTicksPerSecond);
    });
    appender->Close();
    appender->WaitForCompressions();

    const std::vector<fs::path> files = policy.window > 0 ? FixedWindowFiles(dir.Path(), "app", ".log", policy.window)
                                                          : HistoryThenActive(dir.Path());
    // A window holds half the run; with gzip, a roll-over that falls due while the last file is being
    // compressed waits until the file has grown by a quarter of its limit at most.
    const std::size_t least = policy.window == 0 ? kLeastRollOvers : kLeastRollOvers / (noGzip ? 2 : 3);
    EXPECT_GT(files.size(), least) << "too few roll-overs to tell";
    if (noGzip) {
        EXPECT_GE(static_cast<std::size_t>(noGzip->spawns), files.size() - 1);  // a compression begun with each
    }
    LineVerifier verifier(threads);
    for (const fs::path& file : files) {
        EXPECT_TRUE(noGzip || file.extension() == ".gz" || file.filename() == "app.log") << "left uncompressed: " << file;
        verifier.ConsumeFile(file);
    }
    EXPECT_EQ(verifier.Problems(perThread), std::vector<std::string>{});
    EXPECT_EQ(appender->LostEventCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(PoliciesAndThreads, RollingConcurrency,
                         testing::Combine(testing::ValuesIn(kPolicies), testing::Values(2, 4)),
                         [](const testing::TestParamInfo<RollingConcurrency::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::to_string(std::get<1>(info.param)) +
                                    "Threads";
                         });

// The file appender writes each event with its line end in one write, several threads' events
// together while a write is in progress, the writer waiting a moment for the others' next events:
// every line once and whole, and each in the file by the time its Append returns, with one thread
// and with more threads than cores.
TEST(FileAppenderConcurrency, EveryLineOnceAndWrittenWhenAppendReturns)
{
    for (const int threads : {1, 2, 4, 8}) {
        SCOPED_TRACE(threads);
        const int perThread = kLines / 4;
        TempDir dir;
        const fs::path file = dir.Path() / "app.log";
        FileAppender appender;
        appender.SetOption("fileName/value", file.string().c_str());
        appender.SetOption("appendToFile/value", "false");
        appender.ActivateOptions();
        ASSERT_TRUE(appender.Open());
        // The bytes of the events whose Append has returned: never more than the file holds.
        std::atomic<std::uintmax_t> returned{0};
        std::atomic<int> late{0};
        WriteNumberedLines(threads, perThread, [&](const std::string& line) {
            Log(appender, line);
            const std::uintmax_t atLeast = returned.fetch_add(line.size() + 2) + line.size() + 2;
            std::error_code error;
            if (fs::file_size(file, error) < atLeast || error)
                late.fetch_add(1);
        });
        appender.Close();
        EXPECT_EQ(late.load(), 0);
        EXPECT_EQ(fs::file_size(file), returned.load());
        EXPECT_EQ(ProblemsIn({file}, threads, perThread), std::vector<std::string>{});
        EXPECT_EQ(appender.LostEventCount(), 0u);
    }
}
