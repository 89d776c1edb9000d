#include <gtest/gtest.h>

#include <string>

#include "Recorders.h"
#include "RollingTestSupport.h"
#include "rolling/WindowIntake.h"
#include "rolling/FileRenameAction.h"
#include "rolling/FixedWindowRollPolicy.h"
#include "rolling/GZCompressAction.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

FixedWindowRollPolicy Configured(const std::string& minIndex, const std::string& maxIndex, const std::string& pattern)
{
    FixedWindowRollPolicy policy;
    if (!minIndex.empty())
        policy.SetOption(N("rollingPolicy/minIndex/value"), N(minIndex));
    if (!maxIndex.empty())
        policy.SetOption(N("rollingPolicy/maxIndex/value"), N(maxIndex));
    policy.SetOption(N("/fileNamePattern/value"), N(pattern));
    return policy;
}

}  // namespace

TEST(FixedWindowRollPolicy, ActivationCorrectsTheWindow)
{
    const std::string misordered = "MaxIndex cannot be smaller than MinIndex.", large = "Large window sizes are not allowed.";
    struct Row {
        const char *minIndex, *maxIndex;
        int expectedMin, expectedMax;
        std::string warning;  // empty: none
    };
    const Row rows[] = {
        {"", "", 1, 10, ""},
        {"5", "3", 5, 5, misordered},
        {"1", "500", 1, 121, large},
        {"0", "121", 0, 120, large},
        {"-2000000000", "2000000000", -2000000000, -1999999880, large},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.minIndex) + ".." + row.maxIndex);
        FixedWindowRollPolicy policy = Configured(row.minIndex, row.maxIndex, "app.{RollingIndex}.log");
        DiagnosticRecorder diagnostics;
        policy.ActivateOptions();
        EXPECT_EQ(policy.MinIndex(), row.expectedMin);
        EXPECT_EQ(policy.MaxIndex(), row.expectedMax);
        std::vector<Diagnostic> expected;
        if (!row.warning.empty())
            expected.push_back({70000, "FixedWindowRollPolicy, " + row.warning});
        expected.push_back(
            {50000, "FixedWindowRollPolicy, " + std::to_string(row.expectedMin) + "-" + std::to_string(row.expectedMax)});
        EXPECT_EQ(diagnostics.Lines(), expected);
    }
}

TEST(FixedWindowRollPolicy, NoRolloverWithoutPatternOrWithANegativeIndex)
{
    FixedWindowRollPolicy empty = Configured("", "", "");
    empty.ActivateOptions();
    DiagnosticRecorder diagnostics;
    EXPECT_EQ(empty.Rollover(W(L"app.log")), nullptr);
    EXPECT_EQ(diagnostics.Lines(),
              (std::vector<Diagnostic>{{80000, "FixedWindowRollPolicy::Rollover due to m_FileNamePattern is empty"}}));

    FixedWindowRollPolicy negative = Configured("-1", "3", "app.{RollingIndex}.log");
    negative.ActivateOptions();
    diagnostics.Clear();
    EXPECT_EQ(negative.Rollover(W(L"app.log")), nullptr);
    EXPECT_TRUE(diagnostics.Lines().empty());
}

TEST(FixedWindowRollPolicy, EachRolloverShiftsAndNamesTheNewestFile)
{
    TempDir dir;
    FixedWindowRollPolicy policy = Configured("1", "3", Utf8(dir.Path()) + Sep() + "app.{RollingIndex}.log");
    policy.ActivateOptions();
    const WString active = W(dir.Wide("app.log"));
    ClockWithoutGzip noGzip(LocalTicks(2026, 12, 8, 9, 0));
    // Four roll-overs whose compression finds no gzip: the oldest falls out of the 1..3 window.
    for (int generation = 1; generation <= 4; ++generation) {
        Touch(dir, "app.log", "generation " + std::to_string(generation));
        DiagnosticRecorder diagnostics;
        std::unique_ptr<RolloverDescription> description = policy.Rollover(active);
        ASSERT_NE(description, nullptr);
        auto* rename = dynamic_cast<FileRenameAction*>(description->synchronous.get());
        auto* compression = dynamic_cast<WindowCompression*>(description->asynchronous.get());
        ASSERT_NE(rename, nullptr);
        ASSERT_NE(compression, nullptr);
        EXPECT_EQ(rename->Source(), active);
        EXPECT_EQ(rename->Target(), W(dir.Wide("app.1.log")));
        EXPECT_TRUE(rename->Execute());
        EXPECT_EQ(compression->Intake()->Waiting(), 0);  // no compression ran: the file went straight in
        EXPECT_TRUE(diagnostics.Contains("FixedWindowRollPolicy.Will rename (if exist) [" + Utf8(dir.Path() / "app.log") +
                                         "] -> [" + Utf8(dir.Path() / "app.1.log") + "]"));
        EXPECT_TRUE(compression->Execute());
        EXPECT_EQ(noGzip.spawns, generation);  // each file's compression was begun
    }
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.1.log", "app.2.log", "app.3.log"}));
    EXPECT_EQ(ReadFile(dir.Path() / "app.1.log"), "generation 4");
    EXPECT_EQ(ReadFile(dir.Path() / "app.3.log"), "generation 2");
}

TEST(FixedWindowRollPolicy, ADatedWindowShiftsTheFilesOfItsOwnDay)
{
    TempDir dir;
    ClockWithoutGzip clock(LocalTicks(2026, 12, 6, 23, 0));
    FixedWindowRollPolicy policy = Configured("1", "3", Utf8(dir.Path()) + Sep() + "app.{dd}.{RollingIndex}.log");
    policy.ActivateOptions();
    for (int generation = 1; generation <= 4; ++generation) {
        if (generation == 3)
            clock.Advance(2 * 60 * 60 * os::kTicksPerSecond);  // the next day
        Touch(dir, "app.log", "generation " + std::to_string(generation));
        const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
        ASSERT_NE(description, nullptr);
        EXPECT_TRUE(description->synchronous->Execute()) << generation;
        description->asynchronous->Execute();
    }
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.06.1.log", "app.06.2.log", "app.07.1.log", "app.07.2.log"}));
    EXPECT_EQ(ReadFile(dir.Path() / "app.06.2.log"), "generation 1");
    EXPECT_EQ(ReadFile(dir.Path() / "app.07.1.log"), "generation 4");
    EXPECT_EQ(ReadFile(dir.Path() / "app.07.2.log"), "generation 3");
}

TEST(FixedWindowRollPolicy, APatternBeyond260IsRefusedNotCutAndDateTokensAreExpanded)
{
    FakeClock clock(LocalTicks(2026, 12, 6, 11, 19));
    const std::string pattern = std::string(260 - 24, 'a') + "{dd}/x{RollingIndex}.log";  // 260 characters
    FixedWindowRollPolicy policy = Configured("2", "2", pattern);
    policy.ActivateOptions();
    std::unique_ptr<RolloverDescription> description = policy.Rollover(W(L"active.log"));
    ASSERT_NE(description, nullptr);
    const auto* rename = dynamic_cast<FileRenameAction*>(description->synchronous.get());
    ASSERT_NE(rename, nullptr);
    EXPECT_EQ(rename->Target().ToDString().c_str(), std::string(236, 'a') + "06/x2.log");

    DiagnosticRecorder recorder;
    FixedWindowRollPolicy longer = Configured("2", "2", "a" + pattern);
    longer.ActivateOptions();
    EXPECT_TRUE(recorder.Contains("FixedWindowRollPolicy, the pattern is longer than 260 characters; the file is not "
                                  "rolled over : [a" +
                                  pattern + "]"));
    EXPECT_EQ(longer.Rollover(W(L"active.log")), nullptr);
}
