// The triggering policies: by size, by time (with the days clocks change in Central Europe) and by either.
#include <gtest/gtest.h>

#include <limits>

#include "FakeClock.h"
#include "Instants.h"
#include "Recorders.h"
#include "RecordingWriter.h"
#include "TimeZone.h"
#include "file/SizeAndTimeBasedTriggerPolicy.h"
#include "file/SizeBasedTriggerPolicy.h"
#include "file/TimeBasedTriggerPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

constexpr const char* kSizeKey = "triggeringPolicy/maxFileSize/value";
constexpr std::int32_t kMinute = TimeBasedTriggerPolicy::kMinute;
constexpr std::int32_t kHour = TimeBasedTriggerPolicy::kHour;
constexpr std::int32_t kDay = TimeBasedTriggerPolicy::kDay;

// The keys as the rolling file appender feeds them: its own pattern key last.
void Configure(TimeBasedTriggerPolicy& policy, const char* pattern, const char* interval)
{
    if (interval != nullptr)
        policy.SetOption(DString("triggeringPolicy/interval/value"), DString(interval));
    if (pattern != nullptr)
        policy.SetOption(DString("/fileNamePattern/value"), DString(pattern));
    policy.ActivateOptions();
}

std::string MaintenanceLine(const char* localTime)
{
    return std::string("\r\n\r\n-- (Quorlin) TriggeringPolicy.TimeBased.Next maintenance time : ") + localTime + "\r\n\r\n";
}

// A Tuesday in May, far from any daylight-saving change.
std::int64_t May14(int hour, int minute, int second) { return LocalTicks(2024, 5, 14, hour, minute, second); }

std::string Shown(const char* text) { return text == nullptr ? "(none)" : text; }

// A time policy activated at 2024-05-14 10:07:20 with a pattern and an interval, and the diagnostics
// of its activation.
struct Activated {
    Activated(const char* pattern, const char* interval) { Configure(policy, pattern, interval); }
    FakeClock clock{May14(10, 7, 20)};
    TimeBasedTriggerPolicy policy;  // after the clock: its constructor reads the time
    DiagnosticRecorder diagnostics;
};

}  // namespace

TEST(SizeBasedTriggerPolicy, SizeTextsGiveTheLimitAtWhichTheFileRolls)
{
    const struct {
        const char* value;
        std::uint64_t bytes;
    } cases[] = {
        {"10MB", 10485760},
        {"10mb", 10485760},
        {"10M", 10485760},
        {"10m", 10485760},
        {"2048KB", 2097152},
        {"2048kb", 2097152},
        {"512K", 524288},
        {"512k", 524288},
        {"1GB", 1073741824},
        {"1gb", 1073741824},
        {"3G", 3221225472},
        {"3g", 3221225472},
        {"8192", 8192},
        {"4096", 4096},
        // mixed case is no unit: 10 bytes, then raised to the floor
        {"10Mb", 4096},
        {"10kB", 4096},
        {"3000", 4096},
        {"0", 4096},
        {"MB", 4096},
        // a negative number is a limit never reached, left as it is
        {"-1", std::numeric_limits<std::uint64_t>::max()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        SizeBasedTriggerPolicy policy;
        policy.SetOption(DString(kSizeKey), DString(c.value));
        policy.ActivateOptions();
        EXPECT_EQ(policy.GetMaxFileSize(), c.bytes);
        EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, c.bytes - 1));
        EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, c.bytes)) << "a count equal to the maximum triggers";
    }
}

TEST(SizeBasedTriggerPolicy, ActivationReportsTheLimitAndRaisesOneTooSmall)
{
    const std::string report = "SizeBasedTriggerPolicy::ActivateOptions, m_MaxFileSize ";
    const struct {
        const char* value;  // null: no option at all
        std::vector<Diagnostic> lines;
    } cases[] = {
        {nullptr, {{50000, report + ": 262144 (256 KB)"}}},
        {"3000", {{80000, report + "is too small, auto correct to 4096 (bytes)"}, {50000, report + ": 4096 (4 KB)"}}},
        {"2047KB", {{50000, report + ": 2096128 (2047 KB)"}}},
        {"2048KB", {{50000, report + ": 2097152 (2048 KB, 2 MB)"}}},
        {"-1", {{50000, report + ": 18446744073709551615 (18014398509481983 KB, 17592186044415 MB)"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value == nullptr ? "(none)" : c.value);
        DiagnosticRecorder diagnostics;
        SizeBasedTriggerPolicy policy;
        if (c.value != nullptr)
            policy.SetOption(DString(kSizeKey), DString(c.value));
        policy.ActivateOptions();
        EXPECT_EQ(diagnostics.Lines(), c.lines);
    }
}

TEST(SizeBasedTriggerPolicy, TakesOnlyKeysContainingMaxFileSizeValue)
{
    SizeBasedTriggerPolicy policy;
    policy.SetOption(DString("triggeringPolicy/maxFileSize/type"), DString("1MB"));
    policy.SetOption(DString("maxFileSize/value"), DString("2MB"));  // no leading slash: not contained
    policy.SetOption(DString("fileName/value"), DString("3MB"));
    EXPECT_EQ(policy.GetMaxFileSize(), 262144u);
    policy.SetOption(DString("appender/triggeringPolicy/maxFileSize/value/extra"), DString("5MB"));
    EXPECT_EQ(policy.GetMaxFileSize(), 5u << 20);
    policy.SetOption(DString(kSizeKey), DString("6MB"));
    EXPECT_EQ(policy.GetMaxFileSize(), 6u << 20) << "a later pair overwrites an earlier one";
}

TEST(TimeBasedTriggerPolicy, StartsDailyWithTheComingMidnight)
{
    FakeClock clock(May14(10, 7, 20));
    TimeBasedTriggerPolicy policy;
    EXPECT_EQ(policy.GetIntervalMinutes(), 1440);
    EXPECT_EQ(policy.GetNextMntTime(), LocalTicks(2024, 5, 15, 0, 0, 0));
}

namespace {

// Rolls every 15 minutes, activated at 10:07:20: the first maintenance time is 10:08:00.
class FifteenMinutes : public testing::Test {
protected:
    Activated activated{"logs/app.log", "15m"};
    FakeClock& clock = activated.clock;
    TimeBasedTriggerPolicy& policy = activated.policy;
};

}  // namespace

TEST_F(FifteenMinutes, StartsAtTheNextWholeMinuteThenStepsByFifteen)
{
    const std::int64_t schedule[] = {May14(10, 8, 0), May14(10, 23, 0), May14(10, 38, 0), May14(10, 53, 0)};
    ASSERT_EQ(policy.GetNextMntTime(), schedule[0]);
    for (int i = 1; i < 4; ++i) {
        clock.Set(schedule[i - 1] - 1);
        EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 0)) << i;
        clock.Set(schedule[i - 1]);
        EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 0)) << i;
        policy.AdvanceSchedule(nullptr);
        EXPECT_EQ(policy.GetNextMntTime(), schedule[i]) << i;
        EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 0)) << i;
    }
}

TEST_F(FifteenMinutes, AfterAQuietSpellAdvancesOneIntervalAndTriggersAgain)
{
    clock.Set(May14(11, 0, 0));  // nothing logged since 10:07
    EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 0));
    policy.AdvanceSchedule(nullptr);
    EXPECT_EQ(policy.GetNextMntTime(), May14(10, 23, 0));
    EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 0)) << "10:23 has passed too: the next event rolls again";
    policy.AdvanceSchedule(nullptr);
    policy.AdvanceSchedule(nullptr);
    EXPECT_EQ(policy.GetNextMntTime(), May14(10, 53, 0));
    EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 0));
    policy.AdvanceSchedule(nullptr);
    EXPECT_EQ(policy.GetNextMntTime(), May14(11, 8, 0));
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 0));
}

TEST_F(FifteenMinutes, WritesTheMaintenanceLineIntoTheFileAboutToRoll)
{
    clock.Set(May14(10, 8, 0));
    RecordingWriter writer;
    DiagnosticRecorder diagnostics;
    policy.AdvanceSchedule(&writer);

    const std::string line = MaintenanceLine("2024-05-14 10:23:00");
    const auto calls = writer.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].level, 0);
    EXPECT_EQ(calls[0].first, line);
    EXPECT_FALSE(calls[0].hasSecond);
    EXPECT_EQ(diagnostics.Lines(), (std::vector<Diagnostic>{{50000, line}}));

    clock.Set(May14(10, 23, 0));
    policy.AdvanceSchedule(nullptr);  // no writer: the schedule still moves, the line is still reported
    EXPECT_EQ(policy.GetNextMntTime(), May14(10, 38, 0));
    EXPECT_EQ(diagnostics.Texts().back(), MaintenanceLine("2024-05-14 10:38:00"));
}

TEST_F(FifteenMinutes, AdvanceBeforeTheDueTimeDoesNothingAndSizeNeverTriggers)
{
    clock.Set(May14(10, 7, 59));
    RecordingWriter writer;
    DiagnosticRecorder diagnostics;
    policy.AdvanceSchedule(&writer);
    EXPECT_EQ(policy.GetNextMntTime(), May14(10, 8, 0));
    EXPECT_TRUE(writer.Calls().empty());
    EXPECT_TRUE(diagnostics.Lines().empty());
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, std::numeric_limits<std::uint64_t>::max()));  // size means nothing
}

namespace {

Diagnostic Precision(const char* unit, const char* interval)
{
    return {50000, std::string("TimeBasedRollPolicy::ActivateOptions, Precision : ") + unit + " of " + interval};
}

}  // namespace

TEST(TimeBasedTriggerPolicy, UnitComesFromThePatternOrTheIntervalSmallestFirst)
{
    const Diagnostic noUnit{70000, "TimeBasedRollPolicy::ActivateOptions, Invalid FileNamePattern, use default value"};
    const struct {
        const char* pattern;
        const char* interval;
        std::int32_t precision;
        std::int32_t minutes;
        Diagnostic report;  // the precision line, or the complaint about no unit at all
        const char* next;   // the first maintenance time from 2024-05-14 10:07:20
    } cases[] = {
        {"logs/app.log", "15m", kMinute, 15, Precision("minute", "15m"), "2024-05-14 10:08:00"},
        {"logs/app.log", "6H", kHour, 360, Precision("hour", "6H"), "2024-05-14 11:00:00"},
        {"logs/app.log", "2d", kDay, 2880, Precision("day", "2d"), "2024-05-15 00:00:00"},
        {"logs/app.{yyyy}{MM}{dd}-{HH}.log", "1H", kHour, 60, Precision("hour", "1H"), "2024-05-14 11:00:00"},
        {"logs/app.{dd}.{HH}.log", "2", kHour, 120, Precision("hour", "2"), "2024-05-14 11:00:00"},
        {"logs/app.{d}.{H}.log", "3", kHour, 180, Precision("hour", "3"), "2024-05-14 11:00:00"},
        {"logs/app.{HH}{mm}.log", "5", kMinute, 5, Precision("minute", "5"), "2024-05-14 10:08:00"},
        {"logs/app.{m}.log", "5", kMinute, 5, Precision("minute", "5"), "2024-05-14 10:08:00"},
        {"logs/app.{HH}.log", "30m", kMinute, 30, Precision("minute", "30m"), "2024-05-14 10:08:00"},
        {"logs/app.{dd}.log", "1d", kDay, 1440, Precision("day", "1d"), "2024-05-15 00:00:00"},
        // {MM} is the month and "M" no unit; tokens and endings are exact as to case
        {"logs/app.{MM}.log", "15M", kDay, 1440, noUnit, "2024-05-15 00:00:00"},
        {"logs/app.{hh}.log", "1h", kDay, 1440, noUnit, "2024-05-15 00:00:00"},
        {nullptr, nullptr, kDay, 1440, noUnit, "2024-05-15 00:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("pattern " + Shown(c.pattern) + ", interval " + Shown(c.interval));
        Activated a(c.pattern, c.interval);
        EXPECT_EQ(a.policy.GetPrecision(), c.precision);
        EXPECT_EQ(a.policy.GetIntervalMinutes(), c.minutes);
        const auto lines = a.diagnostics.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), c.report);
        EXPECT_EQ(LocalText(a.policy.GetNextMntTime()), c.next);
    }
}

TEST(TimeBasedTriggerPolicy, KeysAreMatchedByContainmentAndTheLastPairWins)
{
    FakeClock clock(May14(10, 7, 20));
    TimeBasedTriggerPolicy policy;
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("15m"));
    policy.SetOption(DString("triggeringPolicy/maxFileSize/value"), DString("10m"));  // not an interval
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("2H"));
    policy.SetOption(DString("fileName/value"), DString("logs/app.{mm}.log"));  // not the pattern key
    policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{mm}.log"));
    policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{dd}.log"));
    policy.ActivateOptions();
    EXPECT_EQ(policy.GetPrecision(), kHour);
    EXPECT_EQ(policy.GetIntervalMinutes(), 120);
}

// A step of 0 minutes would leave the schedule in the past and roll the file on every event; one
// beyond the int32 range of minutes is cut to whole units.
TEST(TimeBasedTriggerPolicy, ACountBelowOneOrTooLargeIsCorrectedWithAWarning)
{
    const char* belowOne = "has no count of 1 or more, auto correct to 1";
    const struct {
        const char* pattern;
        const char* interval;
        std::int32_t minutes;
        const char* correction;
    } cases[] = {
        {"logs/app.{HH}.log", nullptr, 60, belowOne},
        {"logs/app.{dd}.log", "", 1440, belowOne},
        {"logs/app.log", "m", 1, belowOne},
        {"logs/app.log", "0d", 1440, belowOne},
        {"logs/app.log", "-3H", 60, belowOne},
        {"logs/app.{mm}.log", "x", 1, belowOne},
        // 2,160,000,000 minutes: more than an int32 holds
        {"logs/app.log", "1500000d", 1491308 * 1440, "is too long, auto correct to 2147483520 minutes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("pattern " + Shown(c.pattern) + ", interval " + Shown(c.interval));
        Activated a(c.pattern, c.interval);
        EXPECT_EQ(a.policy.GetIntervalMinutes(), c.minutes);
        const std::string warning = "TimeBasedTriggerPolicy::ActivateOptions, interval [" +
                                    std::string(c.interval ? c.interval : "") + "] " + c.correction;
        const auto lines = a.diagnostics.Lines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), Diagnostic{70000, warning}), lines.end());
    }
}

TEST(TimeBasedTriggerPolicy, WithoutACountTheScheduleStillMovesForward)
{
    Activated a("logs/app.{yyyy}{MM}{dd}{HH}.log", nullptr);
    auto& [clock, policy, diagnostics] = a;
    EXPECT_EQ(policy.GetNextMntTime(), May14(11, 0, 0));
    clock.Set(May14(11, 0, 1));
    ASSERT_TRUE(policy.IsTriggered(nullptr, nullptr, 0));
    policy.AdvanceSchedule(nullptr);
    EXPECT_EQ(policy.GetNextMntTime(), May14(12, 0, 0));
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 0)) << "the next event must not roll again";
}

TEST(TimeBasedTriggerPolicy, NextMntTimeIsTheFirstLocalBoundaryAfterNow)
{
    const struct {
        std::int32_t precision;
        std::int64_t now;
        std::int64_t next;
    } cases[] = {
        {kMinute, May14(10, 7, 20), May14(10, 8, 0)},
        {kMinute, May14(10, 8, 0), May14(10, 9, 0)},  // on the boundary: the next one
        {kMinute, May14(10, 59, 59) + 9'999'999, May14(11, 0, 0)},
        {0, May14(10, 7, 20), May14(10, 8, 0)},  // any other precision counts minutes
        {kHour, May14(10, 7, 20), May14(11, 0, 0)},
        {kHour, May14(10, 0, 0), May14(11, 0, 0)},
        {kHour, May14(23, 30, 0), LocalTicks(2024, 5, 15, 0, 0, 0)},
        {kDay, May14(10, 7, 20), LocalTicks(2024, 5, 15, 0, 0, 0)},
        {kDay, May14(0, 0, 0), LocalTicks(2024, 5, 15, 0, 0, 0)},
        {kDay, LocalTicks(2024, 2, 28, 23, 59, 0), LocalTicks(2024, 2, 29, 0, 0, 0)},
        {kDay, LocalTicks(2024, 5, 31, 23, 59, 0), LocalTicks(2024, 6, 1, 0, 0, 0)},
        {kDay, LocalTicks(2024, 12, 31, 23, 59, 59), LocalTicks(2025, 1, 1, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("precision " + std::to_string(c.precision) + " at " + LocalText(c.now));
        const std::int64_t next = TimeBasedTriggerPolicy::ComputeNextMntTime(c.precision, c.now);
        EXPECT_EQ(LocalText(next), LocalText(c.next));
        EXPECT_EQ(next, c.next);
    }
}

namespace {

// 8 KB or every 15 minutes, activated at 10:07:20: the first time boundary is 10:08:00.
class EightKBOrFifteenMinutes : public testing::Test {
protected:
    void SetUp() override
    {
        policy.SetOption(DString(kSizeKey), DString("8KB"));
        policy.SetOption(DString("triggeringPolicy/interval/value"), DString("15m"));
        policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{RollingIndex}.log"));
        policy.ActivateOptions();
    }

    FakeClock clock{May14(10, 7, 20)};
    SizeAndTimeBasedTriggerPolicy policy;  // after the clock: its constructor reads the time
    DiagnosticRecorder diagnostics;
};

}  // namespace

TEST_F(EightKBOrFifteenMinutes, PassesOptionsToTheSizePolicyThenTheTimePolicy)
{
    EXPECT_EQ(policy.GetSizePolicy().GetMaxFileSize(), 8192u);
    EXPECT_EQ(policy.GetTimePolicy().GetIntervalMinutes(), 15);
    const auto texts = diagnostics.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "SizeBasedTriggerPolicy::ActivateOptions, m_MaxFileSize : 8192 (8 KB)");
    EXPECT_EQ(texts[1], "TimeBasedRollPolicy::ActivateOptions, Precision : minute of 15m");
}

TEST_F(EightKBOrFifteenMinutes, TriggersOnEitherLimit)
{
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 8191));
    EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 8192));
    clock.Set(May14(10, 8, 0));
    EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 0));
}

// A size roll before the boundary leaves the time schedule alone; the boundary still rolls the fresh
// file, and that roll advances the schedule and ends the file with the maintenance line.
TEST_F(EightKBOrFifteenMinutes, OnlyATimeRollAdvancesTheScheduleAndEndsTheFile)
{
    clock.Set(May14(10, 7, 40));
    ASSERT_TRUE(policy.IsTriggered(nullptr, nullptr, 9000));
    RecordingWriter sizeRoll;
    policy.AdvanceSchedule(&sizeRoll);
    EXPECT_EQ(policy.GetTimePolicy().GetNextMntTime(), May14(10, 8, 0));
    EXPECT_TRUE(sizeRoll.Calls().empty()) << "no maintenance line when only the size triggered";

    clock.Set(May14(10, 8, 0) - 1);
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 100));
    clock.Set(May14(10, 8, 0));
    ASSERT_TRUE(policy.IsTriggered(nullptr, nullptr, 100));
    RecordingWriter timeRoll;
    policy.AdvanceSchedule(&timeRoll);
    EXPECT_EQ(policy.GetTimePolicy().GetNextMntTime(), May14(10, 23, 0));
    EXPECT_EQ(timeRoll.Bytes(), MaintenanceLine("2024-05-14 10:23:00"));
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 100));
}

namespace {

class DaylightSaving : public testing::Test {
protected:
    void SetUp() override
    {
        if (!LocalTimeIsCentralEuropean())
            GTEST_SKIP() << "local time here does not follow TZ=" << kCentralEurope
                         << " (the Windows C runtime knows no daylight-saving rules in TZ)";
    }

    ScopedTimeZone m_Zone{kCentralEurope};
};

}  // namespace

TEST_F(DaylightSaving, BoundariesFollowTheLocalClockOnTheShortAndTheLongDay)
{
    const std::int64_t april1 = UtcTicks(2024, 3, 31, 22, 0, 0);      // 00:00 CEST
    const std::int64_t october28 = UtcTicks(2024, 10, 27, 23, 0, 0);  // 00:00 CET
    const struct {
        const char* now;
        std::int32_t precision;
        std::int64_t utcNow, next;
    } cases[] = {
        {"01:30 CET, before the change", kDay, UtcTicks(2024, 3, 31, 0, 30, 0), april1},
        {"12:00 CEST, after it", kDay, UtcTicks(2024, 3, 31, 10, 0, 0), april1},
        {"02:30 CEST, before the change", kDay, UtcTicks(2024, 10, 27, 0, 30, 0), october28},
        {"12:00 CET, after it", kDay, UtcTicks(2024, 10, 27, 11, 0, 0), october28},
        // the repeated hour: minutes follow the clock
        {"02:10:30 CEST", kMinute, UtcTicks(2024, 10, 27, 0, 10, 30), UtcTicks(2024, 10, 27, 0, 11, 0)},
        {"02:10:30 CET", kMinute, UtcTicks(2024, 10, 27, 1, 10, 30), UtcTicks(2024, 10, 27, 1, 11, 0)},
        {"02:10:30 CET, hourly", kHour, UtcTicks(2024, 10, 27, 1, 10, 30), UtcTicks(2024, 10, 27, 2, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeBasedTriggerPolicy::ComputeNextMntTime(c.precision, c.utcNow), c.next) << c.now;
}

TEST_F(DaylightSaving, DailyStaysAtLocalMidnightWhenTheClocksChange)
{
    const struct {
        std::int64_t start;  // 23:59 local the evening before the change
        std::int64_t midnights[3];
        const char* last;
    } cases[] = {
        {UtcTicks(2024, 3, 30, 22, 59, 0),
         {UtcTicks(2024, 3, 30, 23, 0, 0), UtcTicks(2024, 3, 31, 22, 0, 0), UtcTicks(2024, 4, 1, 22, 0, 0)},
         "2024-04-02 00:00:00"},  // a day of 23 hours
        {UtcTicks(2024, 10, 26, 21, 59, 0),
         {UtcTicks(2024, 10, 26, 22, 0, 0), UtcTicks(2024, 10, 27, 23, 0, 0), UtcTicks(2024, 10, 28, 23, 0, 0)},
         "2024-10-29 00:00:00"},  // a day of 25 hours
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(LocalText(c.start));
        FakeClock clock(c.start);
        TimeBasedTriggerPolicy policy;
        Configure(policy, "logs/app.{yyyy}-{MM}-{dd}.log", "1d");
        EXPECT_EQ(policy.GetNextMntTime(), c.midnights[0]);
        for (int i = 1; i < 3; ++i) {
            clock.Set(policy.GetNextMntTime());
            policy.AdvanceSchedule(nullptr);
            EXPECT_EQ(policy.GetNextMntTime(), c.midnights[i]) << LocalText(policy.GetNextMntTime());
        }
        EXPECT_EQ(LocalText(policy.GetNextMntTime()), c.last);
    }
}

TEST_F(DaylightSaving, EveryOtherDayStaysAtLocalMidnightToo)
{
    FakeClock clock(UtcTicks(2024, 3, 30, 12, 0, 0));
    TimeBasedTriggerPolicy policy;
    Configure(policy, nullptr, "2d");
    clock.Set(policy.GetNextMntTime());  // 2024-03-31 00:00 CET
    policy.AdvanceSchedule(nullptr);
    EXPECT_EQ(LocalText(policy.GetNextMntTime()), "2024-04-02 00:00:00");
    EXPECT_EQ(policy.GetNextMntTime(), UtcTicks(2024, 4, 1, 22, 0, 0));
}

TEST_F(DaylightSaving, HourlySkipsTheMissingHourAndRollsTwiceAtTwoInTheRepeatedHour)
{
    FakeClock clock(UtcTicks(2024, 3, 31, 0, 30, 0));  // 01:30 CET
    auto hourly = [] {
        auto policy = std::make_unique<TimeBasedTriggerPolicy>();
        Configure(*policy, "logs/app.{dd}{HH}.log", "1H");
        return policy;
    };
    EXPECT_EQ(LocalText(hourly()->GetNextMntTime()), "2024-03-31 03:00:00");

    clock.Set(UtcTicks(2024, 10, 27, 0, 30, 0));  // 02:30 CEST, the first time round
    auto policy = hourly();
    EXPECT_EQ(policy->GetNextMntTime(), UtcTicks(2024, 10, 27, 1, 0, 0));  // 02:00 CET, the second time round
    clock.Set(policy->GetNextMntTime());
    policy->AdvanceSchedule(nullptr);
    EXPECT_EQ(LocalText(policy->GetNextMntTime()), "2024-10-27 03:00:00");
}

TEST(TimeZoneOffset, HourlyFollowsLocalHoursInAHalfHourZone)
{
    ScopedTimeZone zone("IST-5:30");
    if (LocalText(UtcTicks(2024, 5, 14, 4, 37, 20)) != "2024-05-14 10:07:20")
        GTEST_SKIP() << "local time here does not follow TZ=IST-5:30";
    const std::int64_t now = UtcTicks(2024, 5, 14, 4, 37, 20);
    EXPECT_EQ(TimeBasedTriggerPolicy::ComputeNextMntTime(kHour, now), UtcTicks(2024, 5, 14, 5, 30, 0));  // 11:00 local
    EXPECT_EQ(TimeBasedTriggerPolicy::ComputeNextMntTime(kDay, now), UtcTicks(2024, 5, 14, 18, 30, 0));  // 00:00 on the 15th
}
