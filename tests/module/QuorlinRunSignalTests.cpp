// quorlin-run and the signals that used to end it at once: a stop request closes every appender as the
// end of input does, and a write beyond the file size limit is counted instead of killing the process.
// POSIX only: the signals are sent with the shell's kill.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LineVerifier.h"
#include "RunChecks.h"
#include "Shell.h"
#include "TempDir.h"

using namespace QuorlinTest;

namespace {

std::string Program() { return Quote(SiblingProgram("quorlin-run")); }

// The whole text of a file that a shell writes in one go ("echo 12 > f"), once it ends with a line end.
std::string Written(const std::filesystem::path& path)
{
    const std::string text = std::filesystem::exists(path) ? ReadFile(path) : std::string();
    return !text.empty() && text.back() == '\n' ? text : std::string();
}

// quorlin-run in the background: its pid in pid.txt, and once it has ended its exit code in rc.txt.
class BackgroundRun {
public:
    BackgroundRun(const TempDir& dir, const std::string& arguments, const std::string& input) : m_Dir(dir.Path())
    {
        RunShell(InDirectory(m_Dir.string()) + "{ " + Program() + " " + arguments + " < " + input +
                 " > out.txt 2> err.txt & echo $! > pid.txt; wait $!; echo $? > rc.tmp; mv rc.tmp rc.txt; } > /dev/null 2>&1 &");
    }

    ~BackgroundRun()
    {
        // A run that did not stop is not left behind.
        if (Written(m_Dir / "rc.txt").empty() && !Written(m_Dir / "pid.txt").empty())
            RunShell("kill -KILL " + Written(m_Dir / "pid.txt"));
    }
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // Sends the signal ("TERM") once the program has started.
    void Signal(const std::string& name) const
    {
        ASSERT_TRUE(WaitFor([&] { return !Written(m_Dir / "pid.txt").empty(); }));
        RunShell("kill -" + name + " " + Written(m_Dir / "pid.txt"));
    }

    // The exit code, or -1 when the program has not ended within the deadline.
    int ExitCode() const
    {
        if (!WaitFor([&] { return !Written(m_Dir / "rc.txt").empty(); }))
            return -1;
        return std::stoi(Written(m_Dir / "rc.txt"));
    }

    std::string Err() const { return ReadFile(m_Dir / "err.txt"); }

private:
    std::filesystem::path m_Dir;
};

// SIGINT is left out: the shell starts a background job with it ignored, and then it stays ignored.
const char* const kStopSignals[] = {"TERM", "HUP", "PIPE"};

// Rolling: batches of 8 KB held in memory until full or closed. Marker: writes each event through.
const char* const kRollingAndMarker =
    "[appender rolling]\ntype = Appender.RollingFile\nlayout = %m\n"
    "fileName/value = rolling.log\nfileNamePattern/value = rolling.{RollingIndex}.log\nrollingPolicy/maxIndex/value = 3\n"
    "triggeringPolicy/maxFileSize/value = 10MB\n"
    "[appender marker]\ntype = Appender.File\nlayout = %m\nfileName/value = marker.log\n"
    "[root]\nappender-ref = rolling\nappender-ref = marker\n";

}  // namespace

TEST(QuorlinRunSignals, AStopSignalWhileGeneratingKeepsEveryAcceptedEvent)
{
    constexpr int kThreads = 2;
    for (const char* signal : kStopSignals) {
        SCOPED_TRACE(signal);
        TempDir dir;
        WriteFile(dir.Path() / "q.conf", kRollingAndAsync);
        WriteFile(dir.Path() / "empty.txt", "");
        BackgroundRun run(dir, "--config q.conf --generate 2000000000 --threads 2 --message-size 40", "empty.txt");
        // Under way: the forwarded file has events, the rolling one has written batches.
        ASSERT_TRUE(WaitFor([&] {
            return CountLines(dir.Path() / "forwarded.log") > 1000 && CountLines(dir.Path() / "rolling.log") > 1000;
        })) << run.Err();
        run.Signal(signal);
        ASSERT_EQ(run.ExitCode(), 0) << run.Err();
        const long accepted = SummaryEvents(run.Err());
        ASSERT_GT(accepted, 0) << run.Err();
        EXPECT_EQ(CheckGenerated(dir.Path() / "rolling.log", kThreads), accepted);
        EXPECT_EQ(CheckGenerated(dir.Path() / "forwarded.log", kThreads), accepted);
    }
}

// Runs quorlin-run with `redirect` ("> dead" or "2> dead") into a pipe whose reader has gone before the
// program starts: every write there fails. Returns the exit code (timeout only guards against a hang).
int RunWithDeadPipe(const TempDir& dir, const std::string& arguments, const std::string& redirect)
{
    // The shell opens the pipe for reading, which waits for the program's side, and closes it at once.
    const std::string command = InDirectory(dir.Path().string()) + "mkfifo dead && { (timeout -s KILL 300 " + Program() + " " +
                                arguments + " " + redirect + "; echo $? > rc.txt) & exec 4< dead; exec 4<&-; wait; }";
    RunShell(command);
    const std::string rc = Written(dir.Path() / "rc.txt");
    return rc.empty() ? -1 : std::stoi(rc);
}

TEST(QuorlinRunSignals, AWriteToAGoneReaderStopsTheRunAndKeepsEveryAcceptedEvent)
{
    TempDir dir;
    // The debugger stream is standard error on Linux: its first event meets the gone reader.
    WriteFile(dir.Path() / "q.conf", std::string(kRollingAndMarker) +
                                         "appender-ref = debugger\n"
                                         "[appender debugger]\ntype = Appender.WindowsDebug\nlayout = %m\n");
    EXPECT_EQ(RunWithDeadPipe(dir, "--config q.conf --generate 2000000000 --message-size 20 < /dev/null > out.txt", "2> dead"),
              0);
    const long written = CheckGenerated(dir.Path() / "marker.log", 1);
    EXPECT_GT(written, 0);
    // The rolling appender's batch in memory reached its file as well.
    EXPECT_EQ(CheckGenerated(dir.Path() / "rolling.log", 1), written);
}

TEST(QuorlinRunSignals, AGoneReaderOfStandardOutputDoesNotCutTheClosing)
{
    constexpr int kLines = 300;
    TempDir dir;
    // The forwarder prints what it forwarded while closing to standard output, before the rolling
    // appender it feeds is closed.
    WriteFile(dir.Path() / "q.conf",
              "[appender async]\ntype = Appender.AsyncBufferingForward\nappender-ref/ref = rolling\n"
              "[appender rolling]\ntype = Appender.RollingFile\nlayout = %m\nfileName/value = rolling.log\n"
              "fileNamePattern/value = rolling.{RollingIndex}.log\nrollingPolicy/maxIndex/value = 3\n"
              "[root]\nappender-ref = async\n");
    std::string input;
    for (int i = 0; i < kLines; ++i)
        input += NumberedLine(0, i) + "\n";
    WriteFile(dir.Path() / "in.txt", input);
    EXPECT_EQ(RunWithDeadPipe(dir, "--config q.conf < in.txt 2> err.txt", "> dead"), 0) << ReadFile(dir.Path() / "err.txt");
    LineVerifier verifier(1);
    verifier.ConsumeFile(dir.Path() / "rolling.log");
    EXPECT_EQ(verifier.Problems(kLines), std::vector<std::string>{});
}

// 64 blocks of 512 bytes: the files stop growing at 32 KB, well before the 10 MB roll-over.
const char* const kFileSizeLimit = "ulimit -f 64; exec ";

// With --drop the run goes on past a file size limit: it is not ended by SIGXFSZ, every generated event
// is sent, and both appenders' losses are named with exit code 4.
TEST(QuorlinRunSignals, PastAFileSizeLimitDroppedEventsAreReported)
{
    TempDir dir;
    WriteFile(dir.Path() / "q.conf", kRollingAndMarker);
    const int rc = RunShell(
        InDirectory(dir.Path().string()) + "(" + kFileSizeLimit + Program() +
        " --quiet --drop --config q.conf --generate 20000 --message-size 40 < /dev/null > out.txt 2> err.txt)");
    const std::string err = ReadFile(dir.Path() / "err.txt");
    EXPECT_NE(rc, 128 + 25) << "ended by SIGXFSZ";
    EXPECT_EQ(rc, 4) << err;
    EXPECT_EQ(SummaryEvents(err), 20000) << err;
    EXPECT_NE(err.find("quorlin-run: appender 'rolling' lost "), std::string::npos) << err;
    EXPECT_NE(err.find("quorlin-run: appender 'marker' lost "), std::string::npos) << err;
}

// Without --drop the input waits while an appender cannot write: the generator stops sending, and a
// stop request still ends the run, with what could never be written named.
TEST(QuorlinRunSignals, PastAFileSizeLimitTheInputWaits)
{
    TempDir dir;
    WriteFile(dir.Path() / "q.conf", kRollingAndMarker);
    const int rc = RunShell(InDirectory(dir.Path().string()) + "{ (" + kFileSizeLimit + Program() +
                            " --config q.conf --generate 200000 --message-size 40 < /dev/null > out.txt 2> err.txt) & p=$!; "
                            "for i in $(seq 1 400); do grep -q 'input waits' err.txt 2>/dev/null && break; sleep 0.05; done; "
                            "kill -TERM $p; wait $p; }");
    const std::string err = ReadFile(dir.Path() / "err.txt");
    EXPECT_NE(err.find("quorlin-run: an appender cannot write; input waits until it can"), std::string::npos) << err;
    EXPECT_EQ(rc, 4) << err;
    EXPECT_LT(SummaryEvents(err), 200000) << err;
}
