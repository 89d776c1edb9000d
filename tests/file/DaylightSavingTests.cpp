// The time trigger on the days clocks change, in a zone fixed by a POSIX rule: Central European Time,
// which in 2024 springs forward on 31 March at 01:00 UTC (02:00 -> 03:00 local) and falls back on
// 27 October at 01:00 UTC (03:00 -> 02:00 local).
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

#include "FakeClock.h"
#include "Instants.h"
#include "Recorders.h"
#include "TimeZone.h"
#include "file/TimeBasedTriggerPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// Local hour and minute as hhmm.
int LocalClock(std::int64_t utcTicks)
{
    std::tm local{};
    if (!os::ToLocalTime(utcTicks / os::kTicksPerSecond, local))
        return -1;
    return local.tm_hour * 100 + local.tm_min;
}

class DaylightSaving : public testing::Test {
protected:
    void SetUp() override
    {
        const bool followsRule = LocalClock(UtcTicks(2024, 3, 31, 0, 30, 0)) == 130 &&
                                 LocalClock(UtcTicks(2024, 3, 31, 1, 30, 0)) == 330 &&
                                 LocalClock(UtcTicks(2024, 10, 27, 0, 30, 0)) == 230 &&
                                 LocalClock(UtcTicks(2024, 10, 27, 1, 30, 0)) == 230;
        if (!followsRule)
            GTEST_SKIP() << "local time here does not follow TZ=" << kCentralEurope
                         << " (the Windows C runtime knows no daylight-saving rules in TZ)";
    }

    static std::int64_t NextAt(std::int32_t precision, std::int64_t now)
    {
        return TimeBasedTriggerPolicy::ComputeNextMntTime(precision, now);
    }

    ScopedTimeZone m_Zone{kCentralEurope};
};

constexpr std::int32_t kMinute = TimeBasedTriggerPolicy::kMinute;
constexpr std::int32_t kHour = TimeBasedTriggerPolicy::kHour;
constexpr std::int32_t kDay = TimeBasedTriggerPolicy::kDay;

} // namespace

TEST_F(DaylightSaving, DailyRollsAtTheComingMidnightOnTheShortAndTheLongDay)
{
    const std::int64_t april1 = UtcTicks(2024, 3, 31, 22, 0, 0);     // 00:00 CEST
    const std::int64_t october28 = UtcTicks(2024, 10, 27, 23, 0, 0);  // 00:00 CET
    EXPECT_EQ(NextAt(kDay, UtcTicks(2024, 3, 31, 0, 30, 0)), april1) << "01:30 CET, before the change";
    EXPECT_EQ(NextAt(kDay, UtcTicks(2024, 3, 31, 10, 0, 0)), april1) << "12:00 CEST, after it";
    EXPECT_EQ(NextAt(kDay, UtcTicks(2024, 10, 27, 0, 30, 0)), october28) << "02:30 CEST, before the change";
    EXPECT_EQ(NextAt(kDay, UtcTicks(2024, 10, 27, 11, 0, 0)), october28) << "12:00 CET, after it";
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
        policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{yyyy}-{MM}-{dd}.log"));
        policy.SetOption(DString("triggeringPolicy/interval/value"), DString("1d"));
        policy.ActivateOptions();
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
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("2d"));
    policy.ActivateOptions();
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
        policy->SetOption(DString("/fileNamePattern/value"), DString("logs/app.{dd}{HH}.log"));
        policy->SetOption(DString("triggeringPolicy/interval/value"), DString("1H"));
        policy->ActivateOptions();
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

TEST_F(DaylightSaving, MinutesInTheRepeatedHourFollowTheClock)
{
    EXPECT_EQ(NextAt(kMinute, UtcTicks(2024, 10, 27, 0, 10, 30)), UtcTicks(2024, 10, 27, 0, 11, 0));  // 02:10:30 CEST
    EXPECT_EQ(NextAt(kMinute, UtcTicks(2024, 10, 27, 1, 10, 30)), UtcTicks(2024, 10, 27, 1, 11, 0));  // 02:10:30 CET
    EXPECT_EQ(NextAt(kHour, UtcTicks(2024, 10, 27, 1, 10, 30)), UtcTicks(2024, 10, 27, 2, 0, 0));
}

TEST(TimeZoneOffset, HourlyFollowsLocalHoursInAHalfHourZone)
{
    ScopedTimeZone zone("IST-5:30");
    if (LocalClock(UtcTicks(2024, 5, 14, 4, 37, 20)) != 1007)
        GTEST_SKIP() << "local time here does not follow TZ=IST-5:30";
    EXPECT_EQ(TimeBasedTriggerPolicy::ComputeNextMntTime(TimeBasedTriggerPolicy::kHour, UtcTicks(2024, 5, 14, 4, 37, 20)),
              UtcTicks(2024, 5, 14, 5, 30, 0));  // 11:00 local
    EXPECT_EQ(TimeBasedTriggerPolicy::ComputeNextMntTime(TimeBasedTriggerPolicy::kDay, UtcTicks(2024, 5, 14, 4, 37, 20)),
              UtcTicks(2024, 5, 14, 18, 30, 0));  // 00:00 local on the 15th
}
