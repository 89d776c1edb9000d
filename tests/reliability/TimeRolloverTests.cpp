// Time roll-overs checked with numbered lines: across the nights clocks change in Central Europe, and
// with a clock that jumps.
#include <gtest/gtest.h>

#include <map>

#include "RollingTestSupport.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "TimeZone.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

// Every file of the folder, oldest first by the first numbered line it holds.
std::vector<fs::path> ByFirstLine(const fs::path& folder)
{
    std::multimap<long, fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string content = ReadFile(entry.path());
        std::size_t pos = 0;
        long first = -1;
        while (first < 0 && pos < content.size()) {
            if (content.compare(pos, 2, "0 ") == 0)
                first = std::atol(content.c_str() + pos + 2);
            pos = content.find('\n', pos);
            pos = pos == std::string::npos ? content.size() : pos + 1;
        }
        files.emplace(first, entry.path());
    }
    std::vector<fs::path> ordered;
    for (const auto& [first, path] : files)
        ordered.push_back(path);
    return ordered;
}

struct ClockCase {
    const char* name;
    const char* historyPattern;
    std::int64_t start;
    std::vector<int> moves;  // minutes the clock moves before each group of lines; negative: back
    int takenEpisodes;       // roll-overs onto a name in use that are declined, one diagnostic each
    bool clocksChange;       // needs the zone's daylight-saving rule
};

std::vector<int> Steps(int count, int minutes) { return std::vector<int>(static_cast<std::size_t>(count), minutes); }

std::vector<int> Join(std::vector<std::vector<int>> parts)
{
    std::vector<int> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

TEST(TimeRollovers, NothingIsLostOrOverwrittenWhenClocksChangeOrJump)
{
    ScopedTimeZone zone(kCentralEurope);
    // The Windows C runtime knows no daylight-saving rules in TZ: there only the clock jumps are run.
    const bool followsRule = LocalTimeIsCentralEuropean();
    const char* hourly = "app.{yyyy}-{MM}-{dd}-{HH}.log";
    const char* daily = "app.{yyyy}-{MM}-{dd}.log";
    const ClockCase cases[] = {
        {"hourly, spring forward", hourly, UtcTicks(2024, 3, 30, 22, 5, 0), Steps(30, 10), 0, true},
        {"hourly, fall back: 02:xx twice", hourly, UtcTicks(2024, 10, 26, 22, 5, 0), Steps(30, 10), 1, true},
        {"daily, the short day", daily, UtcTicks(2024, 3, 29, 12, 0, 0), Steps(40, 120), 0, true},
        {"daily, the long day", daily, UtcTicks(2024, 10, 25, 12, 0, 0), Steps(40, 120), 0, true},
        // Three hours ahead at once: the schedule catches up one hour per event, each time onto the
        // name just taken; then an hour and a half back, and on past the last name used.
        {"hourly, the clock jumps ahead and back", hourly, UtcTicks(2024, 6, 10, 8, 5, 0),
         Join({Steps(6, 10), {180}, Steps(4, 1), {-90}, Steps(20, 10)}), 1, false},
        // Back over a boundary already rolled at, then forward again over the same boundary.
        {"hourly, the clock jumps back over a roll-over", hourly, UtcTicks(2024, 6, 10, 8, 5, 0),
         Join({Steps(6, 10), {-40}, Steps(20, 10)}), 0, false},
    };
    for (const ClockCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.clocksChange && !followsRule)
            continue;
        TempDir dir;
        DiagnosticRecorder diagnostics;
        ClockWithoutGzip clock(c.start);
        auto appender = RollingInto(dir.Path(), {{"fileNamePattern/value", c.historyPattern},
                                                 {"rollingPolicy/maxHistory/value", "400"},
                                                 {"appendToFile/value", "false"}});
        appender->ActivateOptions();
        ASSERT_TRUE(appender->Open());
        std::map<fs::path, std::string> history;  // every history file once seen, with its content
        int sequence = 0;
        for (const int minutes : c.moves) {
            clock.Advance(minutes * kTicksPerMinute);
            for (int i = 0; i < 3; ++i)
                Log(*appender, NumberedLine(0, sequence++));
            for (const auto& entry : fs::directory_iterator(dir.Path()))
                if (entry.path().filename() != "app.log")
                    history.emplace(entry.path(), ReadFile(entry.path()));
        }
        appender->Close();

        EXPECT_GT(history.size(), 2u);
        for (const auto& [path, content] : history)
            EXPECT_EQ(ReadFile(path), content) << path << " was overwritten or deleted";
        EXPECT_EQ(ProblemsIn(ByFirstLine(dir.Path()), 1, sequence), std::vector<std::string>{});
        EXPECT_EQ(diagnostics.Mentions("exists already; it is kept"), c.takenEpisodes);
    }
}
