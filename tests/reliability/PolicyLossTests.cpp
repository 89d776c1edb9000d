// Every rolling policy under load, with the real compressor: several threads, hundreds of roll-overs,
// and every numbered line exactly once, in order per thread, across the history and the active file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RollingTestSupport.h"
#include "LineVerifier.h"
#include "diagnostics/ModuleInfo.h"
#include "os/Module.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

// Lines of about 30 bytes: a 4096-byte limit rolls at about every 8 KiB batch.
#ifdef _WIN32
constexpr int kLinesPerThread = 3000;  // a compressor process under Wine costs tens of milliseconds
constexpr std::size_t kLeastRollOvers = 30;
#else
constexpr int kLinesPerThread = 12000;
constexpr std::size_t kLeastRollOvers = 150;
#endif
constexpr int kThreads = 4;

// gzip(.exe) is looked for beside the module, whose code is the test binary here.
const bool g_ModuleLocated = [] {
    ModuleInfo::RecordLocation(DString(os::ThisModulePath().c_str()));
    return true;
}();

// Names compared with their runs of digits as numbers: app.2026-12-07.10.log after app.2026-12-07.9.log.
bool NaturallyBefore(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            const unsigned long long x = std::stoull(a.substr(i, ei - i)), y = std::stoull(b.substr(j, ej - j));
            if (x != y)
                return x < y;
            i = ei, j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i, ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// The history of a dated or numbered pattern, oldest first (compressed or not), then the active file.
std::vector<fs::path> HistoryThenActive(const fs::path& folder, const std::string& active)
{
    std::vector<fs::path> history;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != active)
            history.push_back(entry.path());
    std::sort(history.begin(), history.end(),
              [](const fs::path& a, const fs::path& b) { return NaturallyBefore(a.filename().string(), b.filename().string()); });
    history.push_back(folder / active);
    return history;
}

struct Policy {
    const char* name;
    int window;  // a fixed window's highest number, 0 for a dated history
    std::vector<std::pair<const char*, std::string>> options;
    bool minuteClock;  // the test moves a clock on by a minute every few lines
};

void ExpectNothingLost(const Policy& policy)
{
    TempDir dir;
    std::unique_ptr<FakeClock> clock;
    if (policy.minuteClock)
        clock = std::make_unique<FakeClock>(LocalTicks(2026, 12, 7, 10, 0, 0));
    RollingFileAppender appender;
    appender.SetName(policy.name);
    appender.SetLayout(std::make_shared<PatternLayout>("%m"));
    appender.SetOption("fileName/value", Text(dir.Path() / "app.log"));
    appender.SetOption("appendToFile/value", "false");
    for (const auto& [key, value] : policy.options)
        appender.SetOption(key, Text(value.find('{') != std::string::npos ? (dir.Path() / value).string() : value));
    appender.ActivateOptions();
    ASSERT_TRUE(appender.Open());
    std::atomic<int> logged{0};
    WriteNumberedLines(kThreads, kLinesPerThread, [&](const std::string& line) {
        Log(appender, line);
        if (clock && logged.fetch_add(1) % 250 == 249)
            clock->Advance(60 * os::kTicksPerSecond);
    });
    appender.Close();
    appender.WaitForCompressions();

    const std::vector<fs::path> files =
        policy.window > 0 ? FixedWindowFiles(dir.Path(), "app", ".log", policy.window) : HistoryThenActive(dir.Path(), "app.log");
    EXPECT_GT(files.size(), policy.window > 0 ? kLeastRollOvers / 2 : kLeastRollOvers) << "too few roll-overs to tell";
    LineVerifier verifier(kThreads);
    for (const fs::path& file : files) {
        EXPECT_TRUE(file.extension() == ".gz" || file.filename() == "app.log") << "left uncompressed: " << file;
        verifier.ConsumeFile(file);
    }
    EXPECT_EQ(verifier.Problems(kLinesPerThread), std::vector<std::string>{}) << policy.name;
    EXPECT_EQ(appender.LostEventCount(), 0u);
}

} // namespace

TEST(PolicyLoss, FixedWindowKeepsEveryEvent)
{
    // Two batches a file, so that the window of 121 holds the whole run.
    ExpectNothingLost({"fixed", 121, {{"fileNamePattern/value", "app.{RollingIndex}.log"},
                                 {"triggeringPolicy/maxFileSize/value", "12000"},
                                 {"rollingPolicy/maxIndex/value", "121"}},
                       false});
}

TEST(PolicyLoss, TimePolicyWithAMinutePatternKeepsEveryEvent)
{
    // The run spans about 200 minutes; a history of 1000 keeps all of it.
    ExpectNothingLost({"time", 0, {{"fileNamePattern/value", "app.{yyyy}-{MM}-{dd}-{HH}-{mm}.log"},
                                {"rollingPolicy/maxHistory/value", "1000"}},
                       true});
}

// A dated pattern numbered within the day, as a service rolling by size configures it: the
// compressions started at each roll-over must not make the next one fail.
TEST(PolicyLoss, SizeAndTimePolicyKeepsEveryEvent)
{
    ExpectNothingLost({"sized", 0, {{"fileNamePattern/value", "app.{yyyy}-{MM}-{dd}.{RollingIndex}.log"},
                                 {"triggeringPolicy/maxFileSize/value", "4096"},
                                 {"rollingPolicy/maxHistory/value", "3"}},
                       false});
}
