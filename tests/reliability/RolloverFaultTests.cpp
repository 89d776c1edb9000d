// Faults around the rolling file appender's roll-over, checked with numbered lines: a compressor that
// fails, is killed or is slow, a disk that fills up, a file size limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

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

// Size roll-overs into a window of 50; 4096 bytes is the smallest size allowed.
std::unique_ptr<RollingFileAppender> SizeRolling(const fs::path& folder, const char* maxFileSize, const Options& more = {})
{
    auto appender = RollingInto(folder, SizeWindow(maxFileSize, 50), more);
    appender->SetOption("appendToFile/value", "false");
    appender->ActivateOptions();
    return appender;
}

std::vector<fs::path> Window(const fs::path& folder) { return FixedWindowFiles(folder, "app", ".log", 50); }

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
    for (const auto& file : Window(folder))
        verifier.ConsumeFile(file);
    EXPECT_EQ(verifier.Problems(total), std::vector<std::string>{});
    const long lost = total - verifier.Found();
    EXPECT_GT(lost, minLost);
    EXPECT_EQ(Mentions(texts, "events are counted until writing works again"), 1);
    EXPECT_EQ(Mentions(texts, "works again; " + std::to_string(lost) + " events could not be written"), 1);
    EXPECT_EQ(Mentions(texts, "events could not be written"), 1);
    std::string all;
    for (const auto& file : Window(folder))
        all += ReadFile(file);
    EXPECT_NE(all.find("-- (Quorlin) " + std::to_string(lost) + " events could not be written to ["), std::string::npos);
}

}  // namespace

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
    auto appender = SizeRolling(fs::u8path(argv[0]), "10MB");
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
        auto appender = SizeRolling(dir.Path(), "4096");
        ASSERT_TRUE(appender->Open());
        WriteNumberedLines(2, 800, [&](const std::string& line) { Log(*appender, line); });
        appender->Close();
        appender->WaitForCompressions();
        EXPECT_EQ(ProblemsIn(Window(dir.Path()), 2, 800), std::vector<std::string>{});
        EXPECT_TRUE(fs::exists(dir.Path() / "app.1.log") || fs::exists(dir.Path() / "app.1.log.gz"));
    }
}

namespace {

// A clock the test moves, whose compressions hang in the start of gzip while held (10 s at most, after
// which none is held any more), then find no gzip.
class HeldCompressor : public FakeClock {
public:
    using FakeClock::FakeClock;
    os::Status Spawn(std::wstring_view, std::wstring_view, os::ProcessHandle&) override
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Peak = std::max(m_Peak, ++m_Inside);
        if (!m_Released.wait_for(lock, std::chrono::seconds(10), [this] { return !m_Held; }))
            m_Held = false;
        --m_Inside;
        return os::FromNative(2);
    }
    // The most compressions that were held at once.
    int Peak()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Peak;
    }
    void Hold(bool held)
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Held = held;
        }
        m_Released.notify_all();
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Released;
    bool m_Held = true;
    int m_Inside = 0;
    int m_Peak = 0;
};

}  // namespace

// The files that wait beside the window while a compression runs: app.1.log.~N.
int WaitingFiles(const fs::path& folder)
{
    int waiting = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        waiting += entry.path().filename().string().rfind("app.1.log.~", 0) == 0 ? 1 : 0;
    return waiting;
}

// The sequence number of the first event line of a plain file.
int FirstSequenceIn(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '-' || line[0] == '\r')
            continue;
        return std::stoi(line.substr(line.find(' ') + 1));
    }
    return -1;
}

TEST(RolloverFaults, RollOversDueWhileAFileIsCompressedNeverWaitAndEnterTheWindowInOrder)
{
    TempDir dir;
    HeldCompressor gzip(LocalTicks(2026, 12, 8, 10, 0, 0));
    auto appender = SizeRolling(dir.Path(), "40960");
    ASSERT_TRUE(appender->Open());
    int sequence = 0;
    while (!fs::exists(dir.Path() / "app.1.log") && sequence < 10000)
        Log(*appender, NumberedLine(0, sequence++));
    // app.1.log hangs in its compression: five more roll-overs go on at once, each at its size, and
    // none shifts the window under it.
    while (!fs::exists(dir.Path() / "app.1.log.~5") && sequence < 60000)
        Log(*appender, NumberedLine(0, sequence++));
    ASSERT_EQ(WaitingFiles(dir.Path()), 5);
    EXPECT_FALSE(fs::exists(dir.Path() / "app.2.log"));
    for (int k = 1; k <= 5; ++k)
        EXPECT_LE(fs::file_size(dir.Path() / ("app.1.log.~" + std::to_string(k))), 40960u + 8192 + 1024) << k;
    // app.1.log.~1 is compressed beside the window while app.1.log is; the rest wait for a turn.
    for (int i = 0; i < 200 && gzip.Peak() < 2; ++i)
        os::SleepMs(5);
    EXPECT_EQ(gzip.Peak(), 2);
    // A Close while gzip hangs on app.1.log waits a bounded time, then leaves the files where they
    // wait; they go in once gzip lets go.
    DiagnosticRecorder recorder;
    const auto closing = std::chrono::steady_clock::now();
    appender->Close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count();
    EXPECT_GE(seconds, 4.5);
    EXPECT_LT(seconds, 9.5);
    EXPECT_EQ(recorder.Mentions("5 files still wait beside the window after 5 s"), 1);
    EXPECT_EQ(WaitingFiles(dir.Path()), 5);
    gzip.Hold(false);
    appender->WaitForCompressions();
    EXPECT_EQ(WaitingFiles(dir.Path()), 0);
    EXPECT_TRUE(fs::exists(dir.Path() / "app.6.log"));
    EXPECT_EQ(ProblemsIn(Window(dir.Path()), 1, sequence), std::vector<std::string>{});
}

TEST(RolloverFaults, FilesThatWouldLeaveASmallWindowBeforeTheirTurnAreDeletedAndTheRestIsWhole)
{
    TempDir dir;
    HeldCompressor gzip(LocalTicks(2026, 12, 8, 10, 0, 0));
    auto appender = RollingInto(dir.Path(), SizeWindow("4096", 3), {{"appendToFile/value", "false"}});
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    int sequence = 0;
    while (!fs::exists(dir.Path() / "app.1.log") && sequence < 10000)
        Log(*appender, NumberedLine(0, sequence++));
    // Ten roll-overs while app.1.log is held, and app.1.log.~1 too, in the second compression: never
    // more than the window's three wait, and ~1, pushed out, goes once gzip lets go of it.
    for (int rolls = 0; rolls < 10 && sequence < 60000;) {
        const std::uint64_t before = appender->GetFileSize();
        Log(*appender, NumberedLine(0, sequence++));
        if (appender->GetFileSize() >= before)
            continue;
        ++rolls;
        ASSERT_LE(WaitingFiles(dir.Path()), 4);
    }
    EXPECT_EQ(WaitingFiles(dir.Path()), 4);
    EXPECT_TRUE(fs::exists(dir.Path() / "app.1.log.~1"));
    EXPECT_FALSE(fs::exists(dir.Path() / "app.1.log.~2"));
    gzip.Hold(false);
    appender->WaitForCompressions();
    appender->Close();
    EXPECT_EQ(WaitingFiles(dir.Path()), 0);
    // The window holds the last three files and the active one, without a gap.
    const std::vector<fs::path> window = FixedWindowFiles(dir.Path(), "app", ".log", 3);
    ASSERT_EQ(window.size(), 4u);
    LineVerifier verifier(1, true);
    for (const fs::path& file : window)
        verifier.ConsumeFile(file);
    EXPECT_EQ(verifier.Problems(sequence), std::vector<std::string>{});
    EXPECT_EQ(verifier.Found(), sequence - FirstSequenceIn(window.front()));
}

TEST(RolloverFaults, AFullDiskRollsNothingOverAndHoldsTheEventsOrCountsThem)
{
    for (const char* backlog : {"1048576", "0"}) {
        TempDir dir;
        DiagnosticRecorder recorder;
        ClockWithoutGzip disk(LocalTicks(2026, 3, 2, 10, 0, 0));
        auto appender = SizeRolling(dir.Path(), "4096", {{"backlogSize/value", backlog}});
        ASSERT_TRUE(appender->Open());
        int sequence = 0;
        const auto logUpTo = [&](int end) {
            for (; sequence < end; ++sequence)
                Log(*appender, NumberedLine(0, sequence));
        };
        logUpTo(300);
        appender->WaitForCompressions();
        const int spawnsBefore = disk.spawns;
        disk.diskFull = true;
        logUpTo(900);
        appender->WaitForCompressions();
        EXPECT_EQ(disk.spawns, spawnsBefore);  // nothing reached the file: nothing to roll over
        EXPECT_TRUE(WriteStalls::Any());       // a host may hold its input back
        disk.diskFull = false;
        disk.Advance(2 * os::kTicksPerSecond);  // the retry is due
        logUpTo(1500);
        EXPECT_FALSE(WriteStalls::Any());
        appender->Close();
        appender->WaitForCompressions();  // the files that rolled while one was compressed go in after it

        if (backlog[0] == '0') {
            ExpectLossReportedOnce(dir.Path(), 1500, 300, recorder.Texts());
            continue;
        }
        // Held in memory while the disk was full, written once it had room: nothing lost.
        EXPECT_EQ(ProblemsIn(Window(dir.Path()), 1, 1500), std::vector<std::string>{});
        EXPECT_EQ(appender->LostEventCount(), 0u);
        EXPECT_EQ(recorder.Mentions("events wait until it can be written"), 1);
        EXPECT_EQ(recorder.Mentions("can be written again"), 1);
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
    EXPECT_EQ(ProblemsIn({dir.Path() / "app.log"}, 1, 3000), std::vector<std::string>{});
    EXPECT_GE(Mentions(texts, "events wait until it can be written"), 1);
    EXPECT_EQ(Mentions(texts, "could not be written"), 0);
    EXPECT_GT(fs::file_size(dir.Path() / "app.log"), 30000u);  // the limit was lifted and the events went in
}
