// Roll-overs that go wrong: a rename refused, a file that cannot be opened, a fault inside.
#include <gtest/gtest.h>

#include <stdexcept>

#include "FaultTargets.h"
#include "Recorders.h"
#include "RollingTestSupport.h"
#include "diagnostics/LostEvents.h"
#include "os/Directory.h"
#include "os/File.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

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

// A rolling appender named "roller" that truncates by option, size roll-overs into a window of 5,
// opened under a recorder and a fake that breaks what the test chooses.
struct Rig {
    explicit Rig(const Options& more = {})
    {
        appender->SetName("roller");
        MessagesInto(*appender, dir.Path(), SizeWindow("4096", 5), more);
        appender->SetOption("appendToFile/value", "false");
        appender->ActivateOptions();
        opened = appender->Open();
    }
    TempDir dir;
    DiagnosticRecorder recorder;
    BrokenRename fake{LocalTicks(2026, 12, 6, 10, 0, 0)};
    std::unique_ptr<RollingFileAppender> appender = std::make_unique<RollingFileAppender>();
    bool opened = false;
};

// Everything the folder holds, .gz files decompressed, one after the other.
std::string AllText(const TempDir& dir)
{
    std::string all;
    for (const auto& [name, content] : ReadHistory(dir.Path()))
        all += content;
    return all;
}

}  // namespace

TEST(RolloverFailure, ARefusedRenameKeepsTheFileAppendsToItAndStartsNoCompression)
{
    Rig rig;  // truncating by option: the old content must survive anyway
    auto& [dir, recorder, fake, appender, opened] = rig;
    ASSERT_TRUE(opened);
    fake.mode = BrokenRename::Mode::Fail;
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
    const std::string all = AllText(dir);
    for (int i = 0; i < 200; ++i)
        EXPECT_NE(all.find(std::to_string(i) + line + "\r\n"), std::string::npos) << i;
    EXPECT_EQ(recorder.Mentions("cannot move ["), 1);  // one diagnostic per episode
    EXPECT_EQ(recorder.Mentions("moved into its history after"), 1);
}

// Logs until a roll-over meets a next file that will not open.
int RollIntoARefusedOpen(RollingFileAppender& appender, BrokenRename& fake, const DiagnosticRecorder& recorder,
                         const std::string& line)
{
    fake.failWriteOpens = true;
    int i = 0;
    while (recorder.Mentions("events wait until it opens") == 0 && i < 1000)
        Log(appender, std::to_string(i++) + line);
    return i;
}

TEST(RolloverFailure, ANextFileThatCannotBeOpenedKeepsTheEventsAndIsRetriedSoon)
{
    Rig rig;
    auto& [dir, recorder, fake, appender, opened] = rig;
    ASSERT_TRUE(opened);
    const std::string line(100, 'y');
    const int before = RollIntoARefusedOpen(*appender, fake, recorder, line);
    appender->WaitForCompressions();
    EXPECT_EQ(fake.spawns, 1);  // the file rolled out is compressed all the same
    for (int held = 0; held < 7; ++held)
        Log(*appender, "held" + std::to_string(held) + line);
    fake.Advance(5 * os::kTicksPerSecond / 1000);  // the first retry comes after 2 ms, the next after 4 ms
    Log(*appender, "retried" + line);
    fake.failWriteOpens = false;
    Log(*appender, "too early" + line);  // the next attempt is 4 ms after the last one
    fake.Advance(5 * os::kTicksPerSecond / 1000);
    Log(*appender, "back" + line);
    // Reopened within milliseconds: what waited is in the file already, before any Close.
    EXPECT_NE(ReadFile(dir.Path() / "app.log").find("held6" + line), std::string::npos);
    appender->Close();
    appender->WaitForCompressions();

    const std::string active = ReadFile(dir.Path() / "app.log");
    std::size_t at = 0;
    for (int held = 0; held < 7; ++held)
        EXPECT_NE(at = active.find("held" + std::to_string(held) + line + "\r\n", at), std::string::npos) << held;
    for (const char* later : {"retried", "too early", "back"})
        EXPECT_NE(at = active.find(later + line + "\r\n", at), std::string::npos) << later;
    EXPECT_EQ(active.find("could not be written"), std::string::npos);
    EXPECT_EQ(appender->LostEventCount(), 0u);
    EXPECT_EQ(recorder.Mentions("is open again; 0 events could not be written"), 1);
    EXPECT_EQ(recorder.Mentions("lost in all"), 0);
    EXPECT_GT(before, 0);
}

TEST(RolloverFailure, WhatDoesNotFitTheBacklogIsCountedNotedAndReported)
{
    for (bool opensAgain : {true, false}) {
        Rig rig(Options{{"backlogSize/value", "250"}});  // two events of 104 bytes with their line ends
        auto& [dir, recorder, fake, appender, opened] = rig;
        ASSERT_TRUE(opened);
        const std::string line(100, 'z');
        RollIntoARefusedOpen(*appender, fake, recorder, line);
        for (int i = 0; i < 6; ++i)
            Log(*appender, "w" + std::to_string(i) + "_" + line);
        fake.failWriteOpens = !opensAgain;
        appender->Close();  // one last attempt
        appender->WaitForCompressions();

        const std::string active = ReadFile(dir.Path() / "app.log");
        if (opensAgain) {
            EXPECT_NE(active.find("w1_" + line + "\r\n-- (Quorlin) 4 events could not be written while ["), std::string::npos)
                << active;
            EXPECT_EQ(active.find("w2_"), std::string::npos);
            EXPECT_EQ(appender->LostEventCount(), 4u);
        } else {
            EXPECT_EQ(active.find("w0_"), std::string::npos);
            EXPECT_EQ(appender->LostEventCount(), 6u);  // the kept ones too: the file never opened
        }
        EXPECT_EQ(LostEvents::Of("roller"), appender->LostEventCount());
        EXPECT_EQ(recorder.Mentions(std::string("closed with ") + (opensAgain ? "4" : "6") + " events lost in all"), 1);
        LostEvents::Clear();
    }
}

TEST(RolloverFailure, AFaultInsideTheRollOverIsReportedAndLoggingGoesOn)
{
    for (BrokenRename::Mode mode : {BrokenRename::Mode::Fault, BrokenRename::Mode::Throw}) {
        Rig rig;
        auto& [dir, recorder, fake, appender, opened] = rig;
        ASSERT_TRUE(opened);
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

        // Through the exception filter, whose diagnostics the filter's own tests check.
        EXPECT_EQ(fake.reports, (std::vector<std::string>{"2|10000|Exception at RollingFileAppender::Rollover"}));
        EXPECT_EQ(recorder.Mentions("Enter ExceptionFilter."), 1);
        // Every event is still somewhere: nothing written before the fault was lost, and logging went on.
        const std::string all = AllText(dir);
        for (int k = 0; k < i; ++k)
            EXPECT_NE(all.find(std::to_string(k) + line + "\r\n"), std::string::npos) << k;
        EXPECT_NE(all.find("after the fault" + line), std::string::npos);
    }
}
