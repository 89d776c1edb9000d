// Faults around the rolling file appender's roll-over, checked with numbered lines: roll-overs in
// quick succession, a compressor that fails, is killed or is slow, a disk that fills up.
#include <gtest/gtest.h>

#include <filesystem>

#include "../rollingfile/RollingTestSupport.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "frame/ModuleInfo.h"
#include "os/Module.h"

using namespace Quorlin;
using namespace QuorlinTest;
using namespace RollingTest;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr bool kWindowsBuild = true;
#else
constexpr bool kWindowsBuild = false;
#endif

std::unique_ptr<RollingFileAppender> SizeRolling(const TempDir& dir, int maxIndex)
{
    auto appender = std::make_unique<RollingFileAppender>();
    appender->SetLayout(std::make_shared<PatternLayout>("%m"));
    appender->SetOption("fileName/value", Text(dir.Path() / "app.log"));
    appender->SetOption("fileNamePattern/value", Text(dir.Path() / "app.{RollingIndex}.log"));
    appender->SetOption("triggeringPolicy/maxFileSize/value", "4096");  // the smallest size allowed
    appender->SetOption("rollingPolicy/maxIndex/value", DString(std::to_string(maxIndex).c_str()));
    appender->SetOption("appendToFile/value", "false");
    appender->ActivateOptions();
    return appender;
}

// Every numbered line once and in order across the window (oldest first) and the active file.
std::vector<std::string> Verify(const TempDir& dir, int threads, int perThread, int maxIndex)
{
    LineVerifier verifier(threads);
    for (const auto& file : FixedWindowFiles(dir.Path(), "app", ".log", maxIndex))
        verifier.ConsumeFile(file);
    return verifier.Problems(perThread);
}

int Count(const std::vector<std::string>& texts, const std::string& part)
{
    int n = 0;
    for (const std::string& t : texts)
        n += t.find(part) != std::string::npos;
    return n;
}

// Writes fail while `full` is set, as on a full disk; gzip never starts.
class FullDisk : public ClockWithoutGzip {
public:
    using ClockWithoutGzip::ClockWithoutGzip;
    os::Status WriteToFile(os::NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written) override
    {
        if (full) {
            written = 0;
            return os::FromNative(28);
        }
        return os::Interposer::WriteToFile(file, data, size, written);
    }
    std::atomic<bool> full{false};
};

// The module looks for gzip in a folder of the test's choosing for as long as it lives.
class GzipFolder {
public:
    explicit GzipFolder(const fs::path& folder) { ModuleInfo::RecordLocation(Text(folder / "module")); }
    ~GzipFolder() { ModuleInfo::RecordLocation(DString(os::ThisModulePath().c_str())); }
};

} // namespace

TEST(RolloverFaults, RollOversInQuickSuccessionFromManyThreadsLoseAndOverwriteNothing)
{
    TempDir dir;
    ClockWithoutGzip clock(LocalTicks(2026, 3, 2, 10, 0, 0));
    auto appender = SizeRolling(dir, 400);
    ASSERT_TRUE(appender->Open());
    WriteNumberedLines(4, 3000, [&](const std::string& line) { Log(*appender, line); });
    appender->Close();
    appender->WaitForCompressions();
    EXPECT_GT(clock.spawns, 30);  // a roll-over with about every 8 KiB batch
    EXPECT_EQ(Verify(dir, 4, 3000, 400), std::vector<std::string>{});
}

TEST(RolloverFaults, ACompressorThatFailsOrIsKilledLeavesTheRolledFileAndNoTruncatedArchive)
{
    if (kWindowsBuild)
        GTEST_SKIP() << "shell scripts stand in for gzip; the Windows gzip.exe writes a .part file first";
    // Each writes part of an archive under the final name, then fails or dies; the last one is slow
    // but does its work, while roll-overs keep coming.
    const char* scripts[] = {
        "eval f=\\${$#}; head -c 100 \"$f\" > \"$f.gz\"; exit 1",
        "eval f=\\${$#}; head -c 100 \"$f\" > \"$f.gz\"; kill -9 $$",
        "sleep 0.05; PATH=/usr/bin:/bin exec gzip \"$@\"",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        TempDir dir;
        TempDir bin;
        WriteFile(bin.Path() / "gzip", std::string("#!/bin/sh\n") + script + "\n");
        fs::permissions(bin.Path() / "gzip", fs::perms::owner_all);
        GzipFolder folder(bin.Path());
        auto appender = SizeRolling(dir, 50);
        ASSERT_TRUE(appender->Open());
        WriteNumberedLines(2, 800, [&](const std::string& line) { Log(*appender, line); });
        appender->Close();
        appender->WaitForCompressions();
        EXPECT_EQ(Verify(dir, 2, 800, 50), std::vector<std::string>{});
        EXPECT_TRUE(fs::exists(dir.Path() / "app.1.log") || fs::exists(dir.Path() / "app.1.log.gz"));
    }
}

TEST(RolloverFaults, AFullDiskRollsNothingOverAndCountsTheLostEventsOnce)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FullDisk disk(LocalTicks(2026, 3, 2, 10, 0, 0));
    auto appender = SizeRolling(dir, 50);
    ASSERT_TRUE(appender->Open());
    int sequence = 0;
    for (; sequence < 300; ++sequence)
        Log(*appender, NumberedLine(0, sequence));
    appender->WaitForCompressions();
    const int spawnsBefore = disk.spawns;
    disk.full = true;
    for (; sequence < 900; ++sequence)
        Log(*appender, NumberedLine(0, sequence));
    appender->WaitForCompressions();
    EXPECT_EQ(disk.spawns, spawnsBefore);  // nothing reached the file: nothing to roll over
    disk.full = false;
    for (; sequence < 1500; ++sequence)
        Log(*appender, NumberedLine(0, sequence));
    appender->Close();

    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_GT(fs::file_size(entry.path()), 0u) << entry.path();
    LineVerifier verifier(1, true);
    for (const auto& file : FixedWindowFiles(dir.Path(), "app", ".log", 50))
        verifier.ConsumeFile(file);
    EXPECT_EQ(verifier.Problems(1500), std::vector<std::string>{});
    const long lost = 1500 - verifier.Found();
    EXPECT_GT(lost, 300);  // the batch pending when space returned is written after all
    const auto texts = recorder.Texts();
    EXPECT_EQ(Count(texts, "events are counted until writing works again"), 1);
    EXPECT_EQ(Count(texts, "works again; " + std::to_string(lost) + " events could not be written"), 1);
    EXPECT_EQ(Count(texts, "events could not be written"), 1);
    std::string all;
    for (const auto& file : FixedWindowFiles(dir.Path(), "app", ".log", 50))
        all += ReadFile(file);
    EXPECT_NE(all.find("-- (Quorlin) " + std::to_string(lost) + " events could not be written to ["), std::string::npos);
}
