// Faults around the rolling file appender's roll-over, checked with numbered lines: roll-overs in
// quick succession, a compressor that fails, is killed or is slow, a disk that fills up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "RollingTestSupport.h"
#include "ChildProcess.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "Shell.h"
#include "diagnostics/ModuleInfo.h"
#include "diagnostics/WriteStalls.h"
#include "os/Module.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

// maxFileSize 4096 is the smallest size allowed.
std::unique_ptr<RollingFileAppender> SizeRolling(const fs::path& folder, int maxIndex, const char* maxFileSize = "4096",
                                                 const char* backlog = nullptr)
{
    auto appender = std::make_unique<RollingFileAppender>();
    appender->SetLayout(std::make_shared<PatternLayout>("%m"));
    appender->SetOption("fileName/value", Text(folder / "app.log"));
    appender->SetOption("fileNamePattern/value", Text(folder / "app.{RollingIndex}.log"));
    appender->SetOption("triggeringPolicy/maxFileSize/value", maxFileSize);
    appender->SetOption("rollingPolicy/maxIndex/value", DString(std::to_string(maxIndex).c_str()));
    appender->SetOption("appendToFile/value", "false");
    if (backlog != nullptr)
        appender->SetOption("backlogSize/value", backlog);
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

// After writing failed for a while: no empty file, every line present whole, once and in order, more
// than `minLost` missing, and their count reported once in the diagnostics and once in the files.
void ExpectLossReportedOnce(const fs::path& folder, int total, long minLost, const std::vector<std::string>& texts)
{
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_GT(fs::file_size(entry.path()), 0u) << entry.path();
    LineVerifier verifier(1, true);
    for (const auto& file : FixedWindowFiles(folder, "app", ".log", 50))
        verifier.ConsumeFile(file);
    EXPECT_EQ(verifier.Problems(total), std::vector<std::string>{});
    const long lost = total - verifier.Found();
    EXPECT_GT(lost, minLost);
    EXPECT_EQ(Count(texts, "events are counted until writing works again"), 1);
    EXPECT_EQ(Count(texts, "works again; " + std::to_string(lost) + " events could not be written"), 1);
    EXPECT_EQ(Count(texts, "events could not be written"), 1);
    std::string all;
    for (const auto& file : FixedWindowFiles(folder, "app", ".log", 50))
        all += ReadFile(file);
    EXPECT_NE(all.find("-- (Quorlin) " + std::to_string(lost) + " events could not be written to ["), std::string::npos);
}

} // namespace

// Logs 3000 lines into argv[0] (no roll-over), the first 1500 while files may not grow beyond 30000
// bytes, and writes the diagnostics to argv[1], one a line.
QUORLIN_CHILD(file_size_limit)
{
#ifdef _WIN32
    return 2;
#else
    if (argc != 2)
        return 2;
    std::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG instead
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 3;
    const rlim_t unlimited = limit.rlim_cur;
    limit.rlim_cur = 30000;
    DiagnosticRecorder recorder;
    auto appender = SizeRolling(fs::u8path(argv[0]), 50, "10MB");
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || !appender->Open())
        return 4;
    for (int sequence = 0; sequence < 3000; ++sequence) {
        if (sequence == 1500) {
            limit.rlim_cur = unlimited;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 5;
        }
        Log(*appender, NumberedLine(0, sequence));
    }
    appender->Close();
    std::ofstream out(fs::u8path(argv[1]), std::ios::binary);
    for (const std::string& text : recorder.Texts())
        out << text << "\n";
    return out ? 0 : 6;
#endif
}

TEST(RolloverFaults, RollOversInQuickSuccessionFromManyThreadsLoseAndOverwriteNothing)
{
    TempDir dir;
    ClockWithoutGzip clock(LocalTicks(2026, 3, 2, 10, 0, 0));
    auto appender = SizeRolling(dir.Path(), 400);
    ASSERT_TRUE(appender->Open());
    WriteNumberedLines(4, 3000, [&](const std::string& line) { Log(*appender, line); });
    appender->Close();
    appender->WaitForCompressions();
    EXPECT_GT(clock.spawns, 30);  // a roll-over with about every 8 KiB batch
    EXPECT_EQ(Verify(dir, 4, 3000, 400), std::vector<std::string>{});
}

TEST(RolloverFaults, ACompressorThatFailsOrIsKilledLeavesTheRolledFileAndNoTruncatedArchive)
{
    if (kWindows)
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
        auto appender = SizeRolling(dir.Path(), 50);
        ASSERT_TRUE(appender->Open());
        WriteNumberedLines(2, 800, [&](const std::string& line) { Log(*appender, line); });
        appender->Close();
        appender->WaitForCompressions();
        EXPECT_EQ(Verify(dir, 2, 800, 50), std::vector<std::string>{});
        EXPECT_TRUE(fs::exists(dir.Path() / "app.1.log") || fs::exists(dir.Path() / "app.1.log.gz"));
    }
}

TEST(RolloverFaults, AFullDiskRollsNothingOverAndHoldsTheEventsOrCountsThem)
{
    for (const char* backlog : {"1048576", "0"}) {
        TempDir dir;
        DiagnosticRecorder recorder;
        FullDisk disk(LocalTicks(2026, 3, 2, 10, 0, 0));
        auto appender = SizeRolling(dir.Path(), 50, "4096", backlog);
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
        EXPECT_TRUE(WriteStalls::Any());      // a host may hold its input back
        disk.full = false;
        disk.Advance(2 * os::kTicksPerSecond);  // the retry is due
        for (; sequence < 1500; ++sequence)
            Log(*appender, NumberedLine(0, sequence));
        EXPECT_FALSE(WriteStalls::Any());
        appender->Close();

        if (backlog[0] == '0') {
            ExpectLossReportedOnce(dir.Path(), 1500, 300, recorder.Texts());
            continue;
        }
        // Held in memory while the disk was full, written once it had room: nothing lost.
        LineVerifier verifier(1);
        for (const auto& file : FixedWindowFiles(dir.Path(), "app", ".log", 50))
            verifier.ConsumeFile(file);
        EXPECT_EQ(verifier.Problems(1500), std::vector<std::string>{});
        EXPECT_EQ(appender->LostEventCount(), 0u);
        EXPECT_EQ(Count(recorder.Texts(), "events wait until it can be written"), 1);
        EXPECT_EQ(Count(recorder.Texts(), "can be written again"), 1);
    }
}

TEST(RolloverFaults, AFileSizeLimitCutsNoLineAndTheEventsWaitUntilItIsLifted)
{
    if (kWindows)
        GTEST_SKIP() << "Windows has no per-process file size limit";
    TempDir dir;
    TempDir out;
    const fs::path diagnostics = out.Path() / "diagnostics.txt";
    ASSERT_EQ(RunShell(Quote(SiblingProgram("reliability_tests")) + " --child=file_size_limit " + Quote(dir.Path().string()) +
                       " " + Quote(diagnostics.string())),
              0);
    std::vector<std::string> texts;
    std::ifstream in(diagnostics);
    for (std::string line; std::getline(in, line);)
        texts.push_back(line);
    LineVerifier verifier(1);
    verifier.ConsumeFile(dir.Path() / "app.log");
    EXPECT_EQ(verifier.Problems(3000), std::vector<std::string>{});
    EXPECT_GE(Count(texts, "events wait until it can be written"), 1);
    EXPECT_EQ(Count(texts, "could not be written"), 0);
    EXPECT_GT(fs::file_size(dir.Path() / "app.log"), 30000u);  // the limit was lifted and the events went in
}
