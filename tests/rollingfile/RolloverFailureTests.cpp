// Roll-overs that go wrong: a rename refused, a file that cannot be opened, a fault inside.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "FaultTargets.h"
#include "Recorders.h"
#include "RollingTestSupport.h"
#include "os/Directory.h"
#include "os/File.h"

using namespace Quorlin;
using namespace QuorlinTest;
using namespace RollingTest;

namespace {

std::unique_ptr<RollingFileAppender> SizeRolling(const TempDir& dir, const char* maxSize = "4096")
{
    auto appender = std::make_unique<RollingFileAppender>();
    appender->SetName("roller");
    appender->SetLayout(std::make_shared<PatternLayout>("%m"));
    appender->SetOption("fileName/value", Text(dir.Path() / "app.log"));
    appender->SetOption("fileNamePattern/value", Text(dir.Path() / "app.{RollingIndex}.log"));
    appender->SetOption("triggeringPolicy/maxFileSize/value", maxSize);
    appender->SetOption("rollingPolicy/maxIndex/value", "5");
    appender->SetOption("appendToFile/value", "false");
    return appender;
}

int Count(const std::vector<std::string>& texts, const std::string& prefix)
{
    int n = 0;
    for (const std::string& t : texts)
        n += t.find(prefix) != std::string::npos;
    return n;
}

// Fails or faults the rename into history, on demand.
class BrokenRename : public ClockWithoutGzip {
public:
    enum class Mode { Pass, Fail, Fault, Throw };
    using ClockWithoutGzip::ClockWithoutGzip;
    os::Status RenameFile(std::wstring_view from, std::wstring_view to) override
    {
        switch (mode) {
        case Mode::Fail: return os::FromNative(5);
        case Mode::Fault: WriteThroughNull(nullptr); break;
        case Mode::Throw: throw std::runtime_error("rename exploded");
        case Mode::Pass: break;
        }
        return os::Interposer::RenameFile(from, to);
    }
    void Beep(std::uint32_t, std::uint32_t) override { ++beeps; }
    os::EventSource RegisterSource(const char*) override { return &beeps; }
    void ReportToSource(os::EventSource, std::uint16_t type, std::uint16_t, std::uint32_t eventId, const char* text) override
    {
        reports.push_back(std::to_string(type) + "|" + std::to_string(eventId) + "|" + text);
    }
    void DeregisterSource(os::EventSource) override {}
    os::Status OpenFile(std::wstring_view name, os::Access access, os::Disposition disposition, std::uint32_t share,
                        os::NativeFile& file) override
    {
        if (failWriteOpens && access == os::Access::Write)
            return os::FromNative(32);
        return os::Interposer::OpenFile(name, access, disposition, share, file);
    }
    Mode mode = Mode::Pass;
    bool failWriteOpens = false;
    int beeps = 0;
    std::vector<std::string> reports;
};

} // namespace

TEST(RolloverFailure, ARefusedRenameKeepsTheFileAppendsToItAndStartsNoCompression)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    BrokenRename fake(LocalTicks(2026, 12, 6, 10, 0, 0));
    fake.mode = BrokenRename::Mode::Fail;
    auto appender = SizeRolling(dir);  // truncating by option: the old content must survive anyway
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    const std::string line(100, 'x');
    for (int i = 0; i < 60; ++i)
        Log(*appender, std::to_string(i) + line);
    fake.Advance(3 * os::kTicksPerSecond);  // retries come at most once a second
    for (int i = 60; i < 120; ++i)
        Log(*appender, std::to_string(i) + line);
    fake.mode = BrokenRename::Mode::Pass;
    fake.Advance(3 * os::kTicksPerSecond);
    for (int i = 120; i < 200; ++i)
        Log(*appender, std::to_string(i) + line);
    appender->Close();
    appender->WaitForCompressions();

    const auto files = ReadHistory(dir.Path());
    // Only renames that worked start a compression: one per history file (gzip never runs here).
    EXPECT_EQ(fake.spawns, static_cast<int>(files.size()) - 1);
    EXPECT_GE(fake.spawns, 1);
    std::string all;
    for (const auto& [name, content] : files)
        all += content;
    for (int i = 0; i < 200; ++i)
        EXPECT_NE(all.find(std::to_string(i) + line + "\r\n"), std::string::npos) << i;
    const auto texts = recorder.Texts();
    EXPECT_EQ(Count(texts, "cannot move ["), 1);  // one diagnostic per episode
    EXPECT_EQ(Count(texts, "moved into its history after"), 1);
}

TEST(RolloverFailure, ANextFileThatCannotBeOpenedIsRetriedAndTheLossIsCounted)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    BrokenRename fake(LocalTicks(2026, 12, 6, 10, 0, 0));
    auto appender = SizeRolling(dir);
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    fake.failWriteOpens = true;
    const std::string line(100, 'y');
    int i = 0;
    while (Count(recorder.Texts(), "events are counted until it opens") == 0 && i < 1000)
        Log(*appender, std::to_string(i++) + line);  // up to the first roll-over, whose reopen is refused
    appender->WaitForCompressions();
    EXPECT_EQ(fake.spawns, 1);  // the file rolled out is compressed all the same
    for (int lost = 0; lost < 7; ++lost)
        Log(*appender, "lost" + line);
    fake.failWriteOpens = false;
    Log(*appender, "still too early" + line);  // less than a second later: not retried yet
    fake.Advance(2 * os::kTicksPerSecond);
    Log(*appender, "back" + line);
    appender->Close();
    appender->WaitForCompressions();

    const std::string active = ReadFile(dir.Path() / "app.log");
    EXPECT_NE(active.find("-- (Quorlin) 8 events could not be written while ["), std::string::npos) << active;
    EXPECT_NE(active.find("back" + line), std::string::npos);
    EXPECT_EQ(active.find("lost"), std::string::npos);
    EXPECT_EQ(Count(recorder.Texts(), "is open again; 8 events could not be written"), 1);
}

TEST(RolloverFailure, AFaultInsideTheRollOverIsReportedAndLoggingGoesOn)
{
    for (BrokenRename::Mode mode : {BrokenRename::Mode::Fault, BrokenRename::Mode::Throw}) {
        TempDir dir;
        DiagnosticRecorder recorder;
        BrokenRename fake(LocalTicks(2026, 12, 6, 10, 0, 0));
        auto appender = SizeRolling(dir);
        appender->ActivateOptions();
        ASSERT_TRUE(appender->Open());
        fake.mode = mode;
        const std::string line(100, 'z');
        int i = 0;
        {
            // A machine fault abandons the roll-over's frames without their destructors: what they
            // held leaks, by design.
            QuorlinTest::ScopedLeakCheckOff leaksExpected;
            while (fake.beeps == 0 && i < 1000)
                Log(*appender, std::to_string(i++) + line);
        }
        ASSERT_EQ(fake.beeps, 1);
        fake.mode = BrokenRename::Mode::Pass;
        Log(*appender, "after the fault" + line);
        appender->Close();

        EXPECT_EQ(fake.reports, (std::vector<std::string>{"2|10000|Exception at RollingFileAppender::Rollover"}));
        const auto texts = recorder.Texts();
        const auto enter = std::find(texts.begin(), texts.end(), "Enter ExceptionFilter.");
        ASSERT_NE(enter, texts.end());
        if (mode == BrokenRename::Mode::Fault) {
            EXPECT_EQ(*(enter + 1), "exception_access_violation");
        }
        EXPECT_NE(std::find(enter, texts.end(), "Exception at RollingFileAppender::Rollover"), texts.end());
        // Every event is still somewhere: nothing written before the fault was lost, and logging went on.
        std::string all;
        for (const auto& [name, content] : ReadHistory(dir.Path()))
            all += content;
        for (int k = 0; k < i; ++k)
            EXPECT_NE(all.find(std::to_string(k) + line + "\r\n"), std::string::npos) << k;
        EXPECT_NE(all.find("after the fault" + line), std::string::npos);
    }
}
