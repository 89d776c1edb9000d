#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "Instants.h"
#include "Recorders.h"
#include "RecordingWriter.h"
#include "file/SizeAndTimeBasedTriggerPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

std::int64_t May14(int hour, int minute, int second) { return LocalTicks(2024, 5, 14, hour, minute, second); }

// 8 KB or every 15 minutes, activated at 10:07:20: the first time boundary is 10:08:00.
class EightKBOrFifteenMinutes : public testing::Test {
protected:
    void SetUp() override
    {
        policy.SetOption(DString("triggeringPolicy/maxFileSize/value"), DString("8KB"));
        policy.SetOption(DString("triggeringPolicy/interval/value"), DString("15m"));
        policy.SetOption(DString("/fileNamePattern/value"), DString("logs/app.{RollingIndex}.log"));
        policy.ActivateOptions();
    }

    FakeClock clock{May14(10, 7, 20)};
    SizeAndTimeBasedTriggerPolicy policy;  // after the clock: its constructor reads the time
};

} // namespace

TEST(SizeAndTimeBasedTriggerPolicy, PassesOptionsToTheSizePolicyThenTheTimePolicy)
{
    FakeClock clock(May14(10, 7, 20));
    SizeAndTimeBasedTriggerPolicy policy;
    DiagnosticRecorder diagnostics;
    policy.SetOption(DString("triggeringPolicy/maxFileSize/value"), DString("8KB"));
    policy.SetOption(DString("triggeringPolicy/interval/value"), DString("15m"));
    policy.ActivateOptions();
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

TEST_F(EightKBOrFifteenMinutes, ASizeRollBeforeTheBoundaryLeavesTheTimeScheduleAlone)
{
    clock.Set(May14(10, 7, 40));
    ASSERT_TRUE(policy.IsTriggered(nullptr, nullptr, 9000));
    RecordingWriter writer;
    policy.AdvanceSchedule(&writer);

    EXPECT_EQ(policy.GetTimePolicy().GetNextMntTime(), May14(10, 8, 0));
    EXPECT_TRUE(writer.Calls().empty()) << "no maintenance line when only the size triggered";
    clock.Set(May14(10, 8, 0) - 1);
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 0));
    clock.Set(May14(10, 8, 0));
    EXPECT_TRUE(policy.IsTriggered(nullptr, nullptr, 0)) << "the boundary still rolls the fresh file";
}

TEST_F(EightKBOrFifteenMinutes, ATimeRollAdvancesTheScheduleAndEndsTheFile)
{
    clock.Set(May14(10, 8, 1));
    ASSERT_TRUE(policy.IsTriggered(nullptr, nullptr, 100));
    RecordingWriter writer;
    policy.AdvanceSchedule(&writer);

    EXPECT_EQ(policy.GetTimePolicy().GetNextMntTime(), May14(10, 23, 0));
    EXPECT_EQ(writer.Bytes(), "\r\n\r\n-- (Quorlin) TriggeringPolicy.TimeBased.Next maintenance time : 2024-05-14 10:23:00\r\n\r\n");
    EXPECT_FALSE(policy.IsTriggered(nullptr, nullptr, 100));
}
