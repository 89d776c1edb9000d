#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Recorders.h"
#include "RollingTestSupport.h"
#include "host/Utility.h"
#include "rolling/FileRenameAction.h"
#include "rolling/GZCompressAction.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

template <typename Policy>
void Configure(Policy& policy, const std::string& pattern, const std::string& maxHistory, const std::string& fileName = "")
{
    policy.SetOption(N("fileName/value"), N(fileName));
    policy.SetOption(N("/fileNamePattern/value"), N(pattern));
    policy.SetOption(N("rollingPolicy/maxHistory/value"), N(maxHistory));
}

std::string Localised(std::string path)
{
    std::replace(path.begin(), path.end(), '/', static_cast<char>(fs::path::preferred_separator));
    return path;
}

const FileRenameAction& RenameOf(const std::unique_ptr<RolloverDescription>& description)
{
    return dynamic_cast<const FileRenameAction&>(*description->synchronous);
}

}  // namespace

TEST(TimeBasedRollPolicy, ActivationDerivesThePeriodFromTheFinestToken)
{
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19, 31);
    FakeClock clock(now);
    // `level` and `text` are the first line after the prefix; with `firstName` the last line names the
    // first file to be deleted.
    struct Row {
        const char *pattern, *maxHistory;
        int historyMinutes, periodMinutes, level;
        const char* text;
        bool firstName;
    };
    const char* const noSeconds = "using {ss}/{$} in m_HistoryFileNamePattern is not allowed !!!";
    const Row rows[] = {
        {"app.{yyyy}-{MM}-{dd}.log", "7", 10080, 1440, 50000, "Precision : day of 7", true},
        {"app.{dd}-{HH}.log", "7", 420, 60, 50000, "Precision : hour of 7", true},
        {"app.{m}.log", "7", 7, 1, 50000, "Precision : minute of 7", true},
        {"app.{HH}{mm}{s}.log", "7", 43200, 1440, 80000, noSeconds, false},
        {"app.{ss}.log", "7", 43200, 1440, 80000, noSeconds, false},
        {"app.{dd}.log", "0", 43200, 1440, 80000, "m_HistoryValue is 0 !!!", false},
        {"app.{dd}.log", "-3", 43200, 1440, 80000, "m_HistoryValue is 0 !!!", false},
        {"app.log", "7", 43200, 1440, 70000, "[app.log] has no date token: no history file is ever old", true},
        {"", "7", 43200, 1440, 80000, "m_HistoryFileNamePattern is empty !!!", false},
        {"app.{yyyy}{MM}{dd}{HH}.log", "100000000", INT32_MAX, 60, 50000, "Precision : hour of 100000000", false},
    };
    const std::string prefix = "TimeBasedRollPolicy::ActivateOptions, ";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pattern);
        TimeBasedRollPolicy policy;
        Configure(policy, row.pattern, row.maxHistory);
        DiagnosticRecorder diagnostics;
        policy.ActivateOptions();
        EXPECT_EQ(policy.HistoryMinutes(), row.historyMinutes);
        EXPECT_EQ(policy.PeriodMinutes(), row.periodMinutes);
        const std::vector<Diagnostic> lines = diagnostics.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front().level, row.level);
        EXPECT_EQ(lines.front().text.rfind(prefix + row.text, 0), 0u) << lines.front().text;
        if (row.firstName) {
            const std::int64_t first = now - (std::int64_t{row.historyMinutes} + row.periodMinutes) * kTicksPerMinute;
            EXPECT_EQ(lines.back().text, prefix + "first FileName to be deleted: " + NameAt(row.pattern, first));
        }
    }
}

TEST(TimeBasedRollPolicy, NoRolloverWithoutAHistoryPattern)
{
    TimeBasedRollPolicy timeBased;
    SizeAndTimeBasedRollPolicy sizeAndTime;
    DiagnosticRecorder diagnostics;
    EXPECT_EQ(timeBased.Rollover(W(L"app.log")), nullptr);
    EXPECT_EQ(sizeAndTime.Rollover(W(L"app.log")), nullptr);
    EXPECT_EQ(
        diagnostics.Lines(),
        (std::vector<Diagnostic>{{80000, "TimeBasedRollPolicy::Rollover due to m_HistoryFileNamePattern is empty"},
                                 {80000, "SizeAndTimeBasedRollPolicy::Rollover due to m_HistoryFileNamePattern is empty"}}));
}

TEST(TimeBasedRollPolicy, CleanHistoryRollsOverOldActiveFilesIntoTheirOwnPeriod)
{
    // The active files of the periods looked at (1 to `lastBack` back) move into the history, compressed
    // or not; the live one and those beyond stay.
    struct Row {
        const char *active, *history, *maxHistory;
        std::int64_t unit;
        std::vector<int> moved, kept;
        int lastBack;
    };
    const Row rows[] = {
        {"app.{yyyy}-{MM}-{dd}.log", "history/app.{yyyy}-{MM}-{dd}.old", "60", kTicksPerDay, {1, 3, 31}, {0, 33}, 32},
        {"app.{yyyy}{MM}{dd}-{HH}{mm}.log",
         "old/app.{yyyy}{MM}{dd}-{HH}{mm}.log",
         "100000",
         kTicksPerMinute,
         {1, 7, 1500, 44640},
         {0, 44642},
         44641},
    };
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19, 31);
    FakeClock clock(now);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.active);
        TempDir dir;
        const std::string folder = std::string(row.history).substr(0, std::string(row.history).find('/'));
        auto at = [&](int back) { return now - back * row.unit; };
        std::set<std::string> left{folder};
        for (int back : row.kept)
            left.insert(NameAt(row.active, at(back)));
        for (const std::vector<int>* backs : {&row.moved, &row.kept})
            for (int back : *backs)
                Touch(dir, NameAt(row.active, at(back)), "at " + std::to_string(back));

        TimeBasedRollPolicy policy;
        const std::string active = Utf8(dir.Path()) + Sep() + row.active;
        Configure(policy, Utf8(dir.Path()) + Sep() + Localised(row.history), row.maxHistory, active);
        policy.SetOption(N("rollingPolicy/cleanHistoryOnStart/value"), N("true"));
        DiagnosticRecorder diagnostics;
        policy.ActivateOptions();

        EXPECT_EQ(Files(dir.Path()), left);
        for (int back : row.moved) {
            const auto plain = dir.Path() / folder / NameAt(fs::path(row.history).filename().string(), at(back));
            EXPECT_TRUE(fs::exists(plain) || fs::exists(plain.string() + ".gz")) << plain;
        }
        EXPECT_TRUE(
            diagnostics.Contains("SizeAndTimeBasedRollPolicy.CleanHistory, first FileName : [" + NameAt(active, at(1)) + "]"));
        EXPECT_TRUE(diagnostics.Contains("SizeAndTimeBasedRollPolicy.CleanHistory, last  FileName : [" +
                                         NameAt(active, at(row.lastBack)) + "]"));
    }
}

// Daily numbered history, three days kept, on 6 December 2026.
class DailyNumbered : public ::testing::Test {
protected:
    DailyNumbered() { Activate(policy, dir); }
    static void Activate(SizeAndTimeBasedRollPolicy& policy, const TempDir& dir)
    {
        Configure(policy, Utf8(dir.Path()) + Sep() + "app.{yyyy}{MM}{dd}.{RollingIndex}.log", "3");
        policy.ActivateOptions();
    }
    WString Target(SizeAndTimeBasedRollPolicy& policy, const TempDir& dir)
    {
        return RenameOf(policy.Rollover(W(dir.Wide("app.log")))).Target();
    }
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock{now};
    TempDir dir;
    SizeAndTimeBasedRollPolicy policy;
    const std::string stamp = "app." + NameAt("{yyyy}{MM}{dd}", now) + ".";
};

TEST_F(DailyNumbered, NumbersWithinAPeriodAndCountsCompressedFiles)
{
    for (int expected = 1; expected <= 3; ++expected) {
        Touch(dir, "app.log");
        std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
        ASSERT_NE(description, nullptr);
        EXPECT_EQ(RenameOf(description).Target(), W(dir.Wide(stamp + std::to_string(expected) + ".log")));
        EXPECT_TRUE(description->synchronous->Execute());
    }
    // gzip replaced 1 to 3 by their .gz: the plain count is 0, the .gz count 3.
    for (int i = 1; i <= 3; ++i) {
        const std::string name = stamp + std::to_string(i) + ".log";
        std::filesystem::rename(dir.Path() / name, dir.Path() / (name + ".gz"));
    }
    EXPECT_EQ(Target(policy, dir), W(dir.Wide(stamp + "4.log")));
}

TEST_F(DailyNumbered, NeverRollsOntoAnExistingHistoryFile)
{
    // gzip still busy with 2, or failed on it: 1 is compressed, 2 is not. Counting .gz gives 1, and 2 exists.
    Touch(dir, stamp + "1.log.gz");
    Touch(dir, stamp + "2.log");
    Touch(dir, stamp + "3.gz");
    EXPECT_EQ(Target(policy, dir), W(dir.Wide(stamp + "4.log")));

    // All 999 numbers taken: the count says 0, yet number 1 is not free.
    TempDir full;
    SizeAndTimeBasedRollPolicy fullPolicy;
    Activate(fullPolicy, full);
    for (int i = 1; i <= 999; ++i)
        Touch(full, stamp + std::to_string(i) + ".log");
    EXPECT_EQ(Target(fullPolicy, full), W(full.Wide(stamp + "1000.log")));
}

TEST(TimeBasedRollPolicy, APurgeNeverDeletesANameThatAKeptPeriodHasToo)
{
    // {dd} alone, 7 days kept on 6 December: the 6th and 5th of November are named as today and
    // yesterday, the 29th of November is kept in its own right, the 28th and the 20th are old.
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock(now);
    for (const bool sizeAndTime : {false, true}) {
        TempDir dir;
        const std::string number = sizeAndTime ? ".{RollingIndex}" : "";
        auto policy = NewTimePolicy(sizeAndTime);
        Configure(*policy, Utf8(dir.Path()) + Sep() + "app.{dd}" + number + ".log", "7");
        policy->ActivateOptions();
        auto name = [&](const char* day, const char* suffix) {
            return "app." + std::string(day) + (sizeAndTime ? ".1" : "") + ".log" + suffix;
        };
        for (const char* day : {"06", "05", "29", "28", "20"})
            Touch(dir, name(day, ".gz"));
        Touch(dir, name("05", ""));
        const std::int64_t at = now;
        if (sizeAndTime)
            static_cast<SizeAndTimeBasedRollPolicy&>(*policy).Purge(&at);
        else
            policy->Purge(&at);
        EXPECT_EQ(Files(dir.Path()),
                  (std::set<std::string>{name("06", ".gz"), name("05", ".gz"), name("05", ""), name("29", ".gz")}))
            << sizeAndTime;
    }
}

TEST(SizeAndTimeBasedRollPolicy, WithoutADateTokenEveryNumberIsKeptAndActivationWarns)
{
    TempDir dir;
    FakeClock clock(LocalTicks(2026, 12, 6, 11, 19));
    const std::string pattern = Utf8(dir.Path()) + Sep() + "app.{RollingIndex}.log";
    SizeAndTimeBasedRollPolicy policy;
    Configure(policy, pattern, "");
    DiagnosticRecorder diagnostics;
    policy.ActivateOptions();
    const std::vector<Diagnostic> lines = diagnostics.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        Diagnostic{70000, "TimeBasedRollPolicy::ActivateOptions, [" + pattern +
                                              "] has no date token: no history file is ever old, and the history is kept "
                                              "whole; only a window (rollingPolicy/maxIndex) or a date token in the pattern "
                                              "bounds it"}),
              lines.end());

    for (int i = 1; i <= 3; ++i)
        Touch(dir, "app." + std::to_string(i) + ".log.gz");
    Touch(dir, "app.4.log");
    Touch(dir, "app.log");
    std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(RenameOf(description).Target(), W(dir.Wide("app.5.log")));
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.1.log.gz", "app.2.log.gz", "app.3.log.gz", "app.4.log", "app.log"}));
}
