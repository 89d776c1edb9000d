// The triggering policies: by size, by time and by either.
#include <gtest/gtest.h>

#include <limits>

#include "FakeClock.h"
#include "Instants.h"
#include "Recorders.h"
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
