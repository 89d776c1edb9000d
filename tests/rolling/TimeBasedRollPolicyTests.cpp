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

namespace {

template <typename Policy>
void Configure(Policy& policy, const std::string& pattern, const std::string& maxHistory, const std::string& fileName = "")
{
    policy.SetOption(N("fileName/value"), N(fileName));
    policy.SetOption(N("/fileNamePattern/value"), N(pattern));
    policy.SetOption(N("rollingPolicy/maxHistory/value"), N(maxHistory));
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
    struct Row {
        const char* pattern;
        const char* maxHistory;
        int historyMinutes, periodMinutes;
        std::vector<Diagnostic> diagnostics;  // then "first FileName to be deleted" where the text says so
        bool firstName;
    };
    const std::string prefix = "TimeBasedRollPolicy::ActivateOptions, ";
    const Row rows[] = {
        {"app.{yyyy}-{MM}-{dd}.log", "7", 10080, 1440, {{50000, prefix + "Precision : day of 7"}}, true},
        {"app.{dd}-{HH}.log", "7", 420, 60, {{50000, prefix + "Precision : hour of 7"}}, true},
        {"app.{m}.log", "7", 7, 1, {{50000, prefix + "Precision : minute of 7"}}, true},
        {"app.{HH}{mm}{s}.log",
         "7",
         43200,
         1440,
         {{80000, prefix + "using {ss}/{$} in m_HistoryFileNamePattern is not allowed !!!"}},
         false},
        {"app.{ss}.log",
         "7",
         43200,
         1440,
         {{80000, prefix + "using {ss}/{$} in m_HistoryFileNamePattern is not allowed !!!"}},
         false},
        {"app.{dd}.log", "0", 43200, 1440, {{80000, prefix + "m_HistoryValue is 0 !!!"}}, false},
        {"app.{dd}.log", "-3", 43200, 1440, {{80000, prefix + "m_HistoryValue is 0 !!!"}}, false},
        {"app.log",
         "7",
         43200,
         1440,
         {{70000, prefix + "[app.log] has no date token: no history file is ever old, and the history is kept whole; only a "
                           "window (rollingPolicy/maxIndex) or a date token in the pattern bounds it"},
          {50000, prefix + "Invalid FileNamePattern, use default value"}},
         true},
        {"", "7", 43200, 1440, {{80000, prefix + "m_HistoryFileNamePattern is empty !!!"}}, false},
        {"app.{yyyy}{MM}{dd}{HH}.log", "100000000", INT32_MAX, 60, {{50000, prefix + "Precision : hour of 100000000"}}, false},
    };
    for (const Row& row : rows) {
        TimeBasedRollPolicy policy;
        Configure(policy, row.pattern, row.maxHistory);
        DiagnosticRecorder diagnostics;
        policy.ActivateOptions();
        EXPECT_EQ(policy.HistoryMinutes(), row.historyMinutes) << row.pattern;
        EXPECT_EQ(policy.PeriodMinutes(), row.periodMinutes) << row.pattern;
        std::vector<Diagnostic> expected = row.diagnostics;
        if (row.firstName) {
            const std::int64_t first = now - (row.historyMinutes + row.periodMinutes) * kTicksPerMinute;
            expected.push_back({50000, prefix + "first FileName to be deleted: " + NameAt(row.pattern, first)});
        }
        std::vector<Diagnostic> lines = diagnostics.Lines();
        if (!row.firstName && lines.size() > expected.size())
            lines.resize(expected.size());  // the saturated span's first name is beside the point
        EXPECT_EQ(lines, expected) << row.pattern;
    }
}

TEST(TimeBasedRollPolicy, PurgeDeletesThirtyDaysBeyondTheKeptSpan)
{
    TempDir dir;
    const std::string pattern = Utf8(dir.Path()) + Sep() + "app.{yyyy}-{MM}-{dd}.log";
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock(now);
    auto day = [&](int back) { return now - back * kTicksPerDay; };
    auto file = [&](int back, const char* suffix) { return NameAt("app.{yyyy}-{MM}-{dd}", day(back)) + suffix; };
    for (int back = 1; back <= 40; ++back)  // today's name stays free for the roll-over
        Touch(dir, file(back, ".log"));
    Touch(dir, file(10, ".log.gz"));
    Touch(dir, file(11, ".gz"));
    Touch(dir, file(12, ".log.zip"));
    Touch(dir, file(13, ".zip"));
    Touch(dir, file(3, ".log.gz"));

    TimeBasedRollPolicy policy;
    Configure(policy, pattern, "7");
    policy.ActivateOptions();
    DiagnosticRecorder diagnostics;
    std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(std::string(RenameOf(description).Target().ToDString().c_str()), NameAt(pattern, now));

    std::set<std::string> expected;
    for (int back = 1; back <= 7; ++back)
        expected.insert(file(back, ".log"));
    for (int back = 38; back <= 40; ++back)
        expected.insert(file(back, ".log"));
    expected.insert(file(3, ".log.gz"));
    EXPECT_EQ(Files(dir.Path()), expected);

    // The lines in between are checked against the plain loop in PurgeTests.
    const auto texts = diagnostics.Texts();
    ASSERT_GE(texts.size(), 34u);
    EXPECT_EQ(texts[1], "TimeBasedRollPolicy::Purge, first FileName : " + NameAt(pattern, day(8)));
    EXPECT_EQ(texts[32], "TimeBasedRollPolicy::Purge,  last FileName : " + NameAt(pattern, day(38)));
    EXPECT_EQ(texts[33], "TimeBasedRollPolicy.Will rename (if exist) [" + Utf8(dir.Path() / "app.log") + "] -> [" +
                             NameAt(pattern, now) + "]");
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
    TempDir dir, module;
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock(now);
    const std::string active = Utf8(dir.Path()) + Sep() + "app.{yyyy}-{MM}-{dd}.log";
    const std::string history = Utf8(dir.Path()) + Sep() + "history" + Sep() + "app.{yyyy}-{MM}-{dd}.old";
    auto day = [&](int back) { return now - back * kTicksPerDay; };
    for (int back : {0, 1, 3, 31, 33})
        Touch(dir, NameAt("app.{yyyy}-{MM}-{dd}.log", day(back)), "day " + std::to_string(back));

    TimeBasedRollPolicy policy;
    Configure(policy, history, "60", active);
    policy.SetOption(N("rollingPolicy/cleanHistoryOnStart/value"), N("true"));
    DiagnosticRecorder diagnostics;
    policy.ActivateOptions();

    // Today's file is the live one; 33 days back lies beyond the 31 days looked at.
    std::set<std::string> left{NameAt("app.{yyyy}-{MM}-{dd}.log", day(0)), NameAt("app.{yyyy}-{MM}-{dd}.log", day(33)),
                               "history"};
    EXPECT_EQ(Files(dir.Path()), left);
    for (int back : {1, 3, 31}) {
        const std::string name = NameAt("app.{yyyy}-{MM}-{dd}.old", day(back));
        const auto plain = dir.Path() / "history" / name;
        auto compressed = plain;
        compressed += ".gz";
        EXPECT_TRUE(std::filesystem::exists(plain) || std::filesystem::exists(compressed)) << name;
    }
    EXPECT_TRUE(
        diagnostics.Contains("SizeAndTimeBasedRollPolicy.CleanHistory, first FileName : [" + NameAt(active, day(1)) + "]"));
    EXPECT_TRUE(
        diagnostics.Contains("SizeAndTimeBasedRollPolicy.CleanHistory, last  FileName : [" + NameAt(active, day(32)) + "]"));
}

TEST(TimeBasedRollPolicy, CleanHistoryWithNothingToDoWritesItsTwoNames)
{
    TempDir dir;
    const std::int64_t now = LocalTicks(2026, 3, 1, 0, 30);
    FakeClock clock(now);
    const std::string active = Utf8(dir.Path()) + Sep() + "app.{yyyy}-{MM}-{dd}-{HH}.log";
    TimeBasedRollPolicy policy;
    Configure(policy, Utf8(dir.Path()) + Sep() + "h.{yyyy}-{MM}-{dd}-{HH}.log", "0", active);
    policy.SetOption(N("/cleanHistoryOnStart/value"), N("yes"));
    DiagnosticRecorder diagnostics;
    policy.ActivateOptions();
    // maxHistory 0 keeps the daily defaults: 32 slots, a day apart.
    EXPECT_EQ(
        diagnostics.Texts(),
        (std::vector<std::string>{
            "TimeBasedRollPolicy::ActivateOptions, m_HistoryValue is 0 !!!",
            "TimeBasedRollPolicy::ActivateOptions, cleanHistoryOnStart is true, purge now !!!",
            "SizeAndTimeBasedRollPolicy.CleanHistory, first FileName : [" + NameAt(active, now - kTicksPerDay) + "]",
            "SizeAndTimeBasedRollPolicy.CleanHistory, last  FileName : [" + NameAt(active, now - 32 * kTicksPerDay) + "]"}));
}

TEST(SizeAndTimeBasedRollPolicy, NumbersWithinAPeriodAndCountsCompressedFiles)
{
    TempDir dir;
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock(now);
    SizeAndTimeBasedRollPolicy policy;
    Configure(policy, Utf8(dir.Path()) + Sep() + "app.{yyyy}{MM}{dd}.{RollingIndex}.log", "3");
    policy.ActivateOptions();
    const std::string stamp = NameAt("{yyyy}{MM}{dd}", now);
    for (int expected = 1; expected <= 3; ++expected) {
        Touch(dir, "app.log");
        std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
        ASSERT_NE(description, nullptr);
        EXPECT_EQ(RenameOf(description).Target(), W(dir.Wide("app." + stamp + "." + std::to_string(expected) + ".log")));
        EXPECT_TRUE(description->synchronous->Execute());
    }
    // gzip replaced 1 to 3 by their .gz: the plain count is 0, the .gz count 3.
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "app." + stamp + "." + std::to_string(i) + ".log";
        std::filesystem::rename(dir.Path() / name, dir.Path() / (name + ".gz"));
    }
    std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    EXPECT_EQ(RenameOf(description).Target(), W(dir.Wide("app." + stamp + ".4.log")));
}

TEST(SizeAndTimeBasedRollPolicy, NeverRollsOntoAnExistingHistoryFile)
{
    TempDir dir;
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock(now);
    SizeAndTimeBasedRollPolicy policy;
    Configure(policy, Utf8(dir.Path()) + Sep() + "app.{yyyy}{MM}{dd}.{RollingIndex}.log", "3");
    policy.ActivateOptions();
    const std::string stamp = "app." + NameAt("{yyyy}{MM}{dd}", now) + ".";

    // gzip still busy with 2, or failed on it: 1 is compressed, 2 is not. Counting .gz gives 1, and 2 exists.
    Touch(dir, stamp + "1.log.gz");
    Touch(dir, stamp + "2.log");
    Touch(dir, stamp + "3.gz");
    EXPECT_EQ(RenameOf(policy.Rollover(W(dir.Wide("app.log")))).Target(), W(dir.Wide(stamp + "4.log")));

    // All 999 numbers taken: the count says 0, yet number 1 is not free.
    TempDir full;
    SizeAndTimeBasedRollPolicy fullPolicy;
    Configure(fullPolicy, Utf8(full.Path()) + Sep() + "app.{yyyy}{MM}{dd}.{RollingIndex}.log", "3");
    fullPolicy.ActivateOptions();
    for (int i = 1; i <= 999; ++i)
        Touch(full, stamp + std::to_string(i) + ".log");
    EXPECT_EQ(RenameOf(fullPolicy.Rollover(W(full.Wide("app.log")))).Target(), W(full.Wide(stamp + "1000.log")));
}

TEST(TimeBasedRollPolicy, CleanHistoryOverMinutesFindsEveryLeftover)
{
    TempDir dir;
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19, 31);
    FakeClock clock(now);
    const std::string active = Utf8(dir.Path()) + Sep() + "app.{yyyy}{MM}{dd}-{HH}{mm}.log";
    const std::string history = Utf8(dir.Path()) + Sep() + "old" + Sep() + "app.{yyyy}{MM}{dd}-{HH}{mm}.log";
    auto minute = [&](int back) { return NameAt("app.{yyyy}{MM}{dd}-{HH}{mm}.log", now - back * kTicksPerMinute); };
    for (int back : {0, 1, 7, 1500, 44640, 44642})
        Touch(dir, minute(back));
    TimeBasedRollPolicy policy;
    Configure(policy, history, "100000", active);
    policy.SetOption(N("rollingPolicy/cleanHistoryOnStart/value"), N("true"));
    policy.ActivateOptions();
    // 44,641 minutes are looked at: 1 back to 44,641 back.
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{minute(0), minute(44642), "old"}));
    for (int back : {1, 7, 1500, 44640}) {
        const auto plain = dir.Path() / "old" / minute(back);
        EXPECT_TRUE(std::filesystem::exists(plain) || std::filesystem::exists(plain.string() + ".gz")) << minute(back);
    }
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
