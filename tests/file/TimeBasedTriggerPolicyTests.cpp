#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "Instants.h"
#include "Recorders.h"
#include "RecordingWriter.h"
#include "file/TimeBasedTriggerPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

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

} // namespace

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
    void SetUp() override { Configure(policy, "logs/app.log", "15m"); }

    FakeClock clock{May14(10, 7, 20)};
    TimeBasedTriggerPolicy policy;  // after the clock: its constructor reads the time
};

} // namespace

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

std::string Shown(const char* text) { return text == nullptr ? "(none)" : text; }

} // namespace

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
        FakeClock clock(May14(10, 7, 20));
        TimeBasedTriggerPolicy policy;
        DiagnosticRecorder diagnostics;
        Configure(policy, c.pattern, c.interval);
        EXPECT_EQ(policy.GetPrecision(), c.precision);
        EXPECT_EQ(policy.GetIntervalMinutes(), c.minutes);
        const auto lines = diagnostics.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), c.report);
        EXPECT_EQ(LocalText(policy.GetNextMntTime()), c.next);
    }
}

TEST(TimeBasedTriggerPolicy, KeysAreMatchedByContainmentAndTheLastPairWins)
{
    FakeClock clock(May14(10, 7, 20));
    TimeBasedTriggerPolicy policy;
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("15m"));
    policy.SetOption(DString("triggeringPolicy/maxFileSize/value"), DString("10m"));  // not an interval
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("2H"));
    policy.SetOption(DString("fileName/value"), DString("logs/app.{mm}.log"));        // not the pattern key
    policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{mm}.log"));
    policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{dd}.log"));
    policy.ActivateOptions();
    EXPECT_EQ(policy.GetPrecision(), kHour);
    EXPECT_EQ(policy.GetIntervalMinutes(), 120);
}

// A step of 0 minutes would leave the schedule in the past and roll the file on every event.
TEST(TimeBasedTriggerPolicy, AMissingOrNonPositiveCountIsTakenAsOneWithAWarning)
{
    const struct {
        const char* pattern;
        const char* interval;
        std::int32_t minutes;
    } cases[] = {
        {"logs/app.{HH}.log", nullptr, 60}, {"logs/app.{dd}.log", "", 1440}, {"logs/app.log", "m", 1},
        {"logs/app.log", "0d", 1440},       {"logs/app.log", "-3H", 60},      {"logs/app.{mm}.log", "x", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("pattern " + Shown(c.pattern) + ", interval " + Shown(c.interval));
        FakeClock clock(May14(10, 7, 20));
        TimeBasedTriggerPolicy policy;
        DiagnosticRecorder diagnostics;
        Configure(policy, c.pattern, c.interval);
        EXPECT_EQ(policy.GetIntervalMinutes(), c.minutes);
        const std::string interval = c.interval == nullptr ? "" : c.interval;
        const auto lines = diagnostics.Lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1], (Diagnostic{70000, "TimeBasedTriggerPolicy::ActivateOptions, interval [" + interval +
                                                   "] has no count of 1 or more, auto correct to 1"}));
    }
}

TEST(TimeBasedTriggerPolicy, WithoutACountTheScheduleStillMovesForward)
{
    FakeClock clock(May14(10, 7, 20));
    TimeBasedTriggerPolicy policy;
    Configure(policy, "logs/app.{yyyy}{MM}{dd}{HH}.log", nullptr);
    EXPECT_EQ(policy.GetNextMntTime(), May14(11, 0, 0));
    clock.Set(May14(11, 0, 1));
    ASSERT_TRUE(policy.IsTriggered(nullptr, nullptr, 0));
    policy.AdvanceSchedule(nullptr);
    EXPECT_EQ(policy.GetNextMntTime(), May14(12, 0, 0));
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 0)) << "the next event must not roll again";
}

TEST(TimeBasedTriggerPolicy, AnIntervalBeyondTheMinuteRangeIsCutToWholeUnits)
{
    FakeClock clock(May14(10, 7, 20));
    TimeBasedTriggerPolicy policy;
    DiagnosticRecorder diagnostics;
    Configure(policy, "logs/app.log", "1500000d");  // 2,160,000,000 minutes: more than an int32 holds
    EXPECT_EQ(policy.GetIntervalMinutes(), 1491308 * 1440);
    EXPECT_TRUE(diagnostics.Contains(
        "TimeBasedTriggerPolicy::ActivateOptions, interval [1500000d] is too long, auto correct to 2147483520 minutes"));
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
