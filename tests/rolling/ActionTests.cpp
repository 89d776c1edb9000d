#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Gunzip.h"
#include "Recorders.h"
#include "RollingTestSupport.h"
#include "Shell.h"
#include "diagnostics/ModuleInfo.h"
#include "host/LogLog.h"
#include "os/Directory.h"
#include "os/Module.h"
#include "os/Process.h"
#include "rolling/FileRenameAction.h"
#include "rolling/FixedWindowRollPolicy.h"
#include "rolling/GZCompressAction.h"
#include "rolling/ProcessRunner.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

using QuorlinTest::Utf8;
std::string Utf8(const WString& text) { return text.ToDString().c_str(); }

// Puts the module's directory somewhere else while it lives (the gzip program is looked for there).
class ModuleDirectory {
public:
    explicit ModuleDirectory(const fs::path& directory) : m_Saved(ModuleInfo::Path())
    {
        ModuleInfo::RecordLocation(DString(Utf8(directory / "Quorlin.Appender64.module").c_str()));
    }
    ~ModuleDirectory() { ModuleInfo::RecordLocation(m_Saved); }

private:
    DString m_Saved;
};

// Leaves no gzip on the search path of POSIX while it lives (Windows looks beside the module only).
class NoSystemGzip {
public:
    NoSystemGzip()
    {
#ifndef _WIN32
        if (const char* path = std::getenv("PATH"))
            m_Saved = path, m_Had = true;
        ::setenv("PATH", Utf8(m_Empty.Path()).c_str(), 1);
#endif
    }
    ~NoSystemGzip()
    {
#ifndef _WIN32
        if (m_Had)
            ::setenv("PATH", m_Saved.c_str(), 1);
        else
            ::unsetenv("PATH");
#endif
    }

private:
    TempDir m_Empty;
    std::string m_Saved;
    bool m_Had = false;
};

// Records the programs started and each wait for the child's end; everything still reaches the
// system, except the waits when `reallySleep` is false.
class RunRecorder : public os::Interposer {
public:
    RunRecorder() : m_Previous(os::Interpose(this)) {}
    ~RunRecorder() override { os::Interpose(m_Previous); }
    os::Status Spawn(std::wstring_view program, std::wstring_view commandLine, os::ProcessHandle& child) override
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        programs.emplace_back(program);
        commandLines.emplace_back(commandLine);
        if (failSpawn)
            return os::FromNative(failSpawn);
        return os::Interposer::Spawn(program, commandLine, child);
    }
    void AwaitExit(os::ProcessHandle& child, std::uint32_t milliseconds) override
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            sleeps.push_back(milliseconds);
        }
        if (reallySleep)
            os::Interposer::AwaitExit(child, milliseconds);
    }
    std::uint32_t failSpawn = 0;
    bool reallySleep = true;
    std::vector<std::wstring> programs;
    std::vector<std::wstring> commandLines;
    std::vector<std::uint32_t> sleeps;

private:
    os::Interposer* m_Previous;
    std::mutex m_Mutex;
};

std::string Unpacked(const fs::path& compressed)
{
    std::string content;
    return Gunzip(compressed, content) ? content : "<corrupt>";
}

std::string Payload()
{
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "2026-12-06 11:19:31.123 [INFO] [" + std::to_string(i % 7) + "] line " + std::to_string(i) + "\r\n";
    text += std::string("\0\xff\x01 binary tail", 16);
    return text;
}

// Megabytes apart, without printing them.
testing::AssertionResult SamePayload(const std::string& got, const std::string& expected)
{
    if (got == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << got.size() << " bytes unpacked, " << expected.size() << " expected";
}

// The real compressor: ours, beside the test.
fs::path RealGzipDirectory() { return PathOf(os::ExecutablePath()).parent_path(); }

}  // namespace

// Waits up to 30 s for the file named by argv[0] to appear, then ends.
QUORLIN_CHILD(lingerer)
{
    if (argc != 1)
        return 2;
    const fs::path marker = PathOf(argv[0]);
    for (int i = 0; i < 600 && !fs::exists(marker); ++i)
        os::SleepMs(50);
    return 0;
}

TEST(FileRenameAction, ReplacesAReadOnlyTarget)
{
    TempDir dir;
    Touch(dir, "app.log", "new");
    Touch(dir, "app.1.log", "old");
    ASSERT_TRUE(os::SetReadOnly(dir.Wide("app.1.log")).Ok());
    DiagnosticRecorder diagnostics;
    FileRenameAction action(W(dir.Wide("app.log")), W(dir.Wide("app.1.log")));
    EXPECT_TRUE(action.Execute());
    EXPECT_EQ(Files(dir.Path()), std::set<std::string>{"app.1.log"});
    EXPECT_EQ(ReadFile(dir.Path() / "app.1.log"), "new");
    EXPECT_EQ(diagnostics.Lines().front(),
              (Diagnostic{70000, "FileRenameAction, will delete [" + Utf8(dir.Path() / "app.1.log") + "]"}));
}

TEST(FileRenameAction, MissingSourceFailsAndKeepsTheTarget)
{
    TempDir dir;
    Touch(dir, "app.1.log", "old");
    FileRenameAction missing(W(dir.Wide("app.log")), W(dir.Wide("app.2.log")));
    EXPECT_FALSE(missing.Execute());
    // A file that is its own target must not be deleted as a stale target.
    FileRenameAction self(W(dir.Wide("app.1.log")), W(dir.Wide("app.1.log")));
    EXPECT_FALSE(self.Execute());
    EXPECT_EQ(ReadFile(dir.Path() / "app.1.log"), "old");
}

TEST(GZCompressAction, CommandLineStartsWithTheProgram)
{
    GZCompressAction deleting(W(L"C:\\logs\\app.1.log"), W(L"C:\\logs\\app.1.log.gz"), true);
    EXPECT_EQ(Utf8(deleting.CommandLine(W(L"C:\\Program Files\\q\\gzip.exe"))),
              "\"C:\\Program Files\\q\\gzip.exe\" -f -v   \"C:\\logs\\app.1.log\"");
    GZCompressAction keeping(W(L"/var/log/my app/app.1.log"), W(L"/var/log/my app/app.1.log.gz"), false);
    EXPECT_EQ(Utf8(keeping.CommandLine(W(L"/opt/q/gzip"))), "\"/opt/q/gzip\" -f -k -v    \"/var/log/my app/app.1.log\"");

    struct Row {
        const wchar_t* argument;
        const char* quoted;
    };
    const Row rows[] = {
        {L"plain", "\"plain\""},       {L"two words", "\"two words\""}, {L"say\"hi\"", "\"say\\\"hi\\\"\""},
        {L"trail\\", "\"trail\\\\\""}, {L"a\\\\b", "\"a\\\\b\""},       {L"", "\"\""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Utf8(QuoteArgument(W(row.argument))), row.quoted);
}

TEST(GZCompressAction, AbsentGzipIsReportedAndTheFileStays)
{
    TempDir dir, module;
    Touch(dir, "app.1.log", "data");
    Touch(dir, "app.1.log.gz", "stale");
    NoSystemGzip noGzip;
    ModuleDirectory place(module.Path());
    DiagnosticRecorder diagnostics;
    GZCompressAction action(W(dir.Wide("app.1.log")), W(dir.Wide("app.1.log.gz")), true);
    EXPECT_TRUE(action.Execute());
    EXPECT_EQ(Files(dir.Path()), std::set<std::string>{"app.1.log"});  // the stale .gz went first
    const Diagnostic failure = diagnostics.Lines().back();
    EXPECT_EQ(failure.level, 80000);
    EXPECT_EQ(failure.text.rfind("Cannot create system process, ", 0), 0u) << failure.text;
    EXPECT_GT(failure.text.size(), std::string("Cannot create system process, ").size());
}

TEST(GzipProgram, BlocksBecomeMembersThatReadBackAsTheFileAndOnlyACompleteArchiveTakesItsName)
{
    TempDir dir;
    const std::string payload = Payload() + Payload() + Payload();  // about 3 MiB: 3 blocks of 1 MiB
    Touch(dir, "app.1.log", payload);
    const std::wstring program = (RealGzipDirectory() / (kWindows ? "gzip.exe" : "gzip")).wstring();
    const auto run = [&](const std::wstring& arguments) {
        os::ProcessHandle child;
        if (!os::Spawn(program, L"\"" + program + L"\" " + arguments, child).Ok())
            return -1;
        std::uint32_t code = os::kStillActive;
        for (int i = 0; i < 600 && os::ExitCodeOf(child, code).Ok() && code == os::kStillActive; ++i)
            os::AwaitExit(child, 50);
        os::CloseProcess(child);
        return static_cast<int>(code);
    };
    EXPECT_EQ(run(L"-b 1048576 \"" + dir.Wide("app.1.log") + L"\""), 0);
    EXPECT_EQ(Files(dir.Path()), std::set<std::string>{"app.1.log.gz"});
    EXPECT_TRUE(SamePayload(Unpacked(dir.Path() / "app.1.log.gz"), payload));
    // Refused without -f: the archive stays as it is, and so does the file.
    Touch(dir, "app.1.log", "again");
    EXPECT_EQ(run(L"\"" + dir.Wide("app.1.log") + L"\""), 1);
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.1.log", "app.1.log.gz"}));
    EXPECT_TRUE(SamePayload(Unpacked(dir.Path() / "app.1.log.gz"), payload));
}

TEST(RunAndWaitSysCommand, PollsUpToItsBoundAndStopsWhenTheChildEnds)
{
    TempDir dir;
    const std::wstring program = TestBinary();
    std::wstring line = L"\"" + program + L"\" --child=lingerer \"" + dir.Wide("done") + L"\"";
    {
        RunRecorder recorder;
        recorder.reallySleep = false;  // the default bound, 10,000 polls of 60 ms, counted without the 600 s
        DiagnosticRecorder diagnostics;
        RunAndWaitSysCommand(program.c_str(), line.data());
        EXPECT_EQ(recorder.sleeps, std::vector<std::uint32_t>(10000, 60));
        EXPECT_TRUE(diagnostics.Contains("Enter RunAndWaitSysCommand, szEXEBinaryName: " + Utf8(fs::path(program)) +
                                         ", szCmdLine: " + Utf8(fs::path(line))));
    }
    {
        RunRecorder recorder;
        RunAndWaitSysCommand(program.c_str(), line.data(), 3, 5);
        EXPECT_EQ(recorder.sleeps, (std::vector<std::uint32_t>{5, 5, 5}));
    }
    WriteFile(dir.Path() / "done", "");
    // The marker is there: this child ends at once, long before 100 polls of 100 ms.
    RunRecorder recorder;
    RunAndWaitSysCommand(program.c_str(), line.data(), 100, 100);
    EXPECT_LT(recorder.sleeps.size(), 100u);
}

// Holds argv[0] open for reading without delete sharing until argv[1] appears; announces itself by
// creating argv[2].
QUORLIN_CHILD(keeper)
{
    if (argc != 3)
        return 2;
    os::NativeFile file = os::kInvalidFile;
    if (!os::OpenFile(Widen(argv[0]), os::Access::Read, os::Disposition::OpenExisting, os::ShareRead | os::ShareWrite, file).Ok())
        return 3;
    WriteFile(PathOf(argv[2]), "ready");
    for (int i = 0; i < 600 && !fs::exists(PathOf(argv[1])); ++i)
        os::SleepMs(50);
    os::CloseFile(file);
    return 0;
}

namespace {

FixedWindowRollPolicy Window(const TempDir& dir, int maxIndex)
{
    FixedWindowRollPolicy policy;
    policy.SetOption(N("rollingPolicy/maxIndex/value"), N(std::to_string(maxIndex)));
    policy.SetOption(N("/fileNamePattern/value"), N(Utf8(dir.Path()) + Sep() + "app.{RollingIndex}.log"));
    policy.ActivateOptions();
    return policy;
}

std::map<std::string, std::string> Contents(const TempDir& dir)
{
    std::map<std::string, std::string> contents;
    for (const std::string& name : Files(dir.Path()))
        contents[name] = ReadFile(dir.Path() / name);
    return contents;
}

}  // namespace

TEST(FixedWindowRenameAction, AHeldActiveFileShiftsNothingAndOnceReleasedShiftsOnce)
{
    TempDir dir, markers;
    FixedWindowRollPolicy policy = Window(dir, 3);
    for (const char* index : {"1", "2", "3"})
        Touch(dir, std::string("app.") + index + ".log.gz", index);
    Touch(dir, "app.log", "active");
    const std::map<std::string, std::string> before = Contents(dir);

    // Another process holds the active file without delete sharing, as a reader on Windows may.
    const std::wstring command = L"\"" + TestBinary() + L"\" --child=keeper \"" + dir.Wide("app.log") + L"\" \"" +
                                 markers.Wide("release") + L"\" \"" + markers.Wide("ready") + L"\"";
    os::ProcessHandle child;
    ASSERT_TRUE(os::Spawn(TestBinary(), command, child).Ok());
    for (int i = 0; i < 400 && !fs::exists(markers.Path() / "ready"); ++i)
        os::SleepMs(50);
    ASSERT_TRUE(fs::exists(markers.Path() / "ready"));
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
        ASSERT_NE(description, nullptr);
        EXPECT_FALSE(description->synchronous->Execute()) << attempt;
        EXPECT_EQ(Contents(dir), before) << attempt;
    }
    WriteFile(markers.Path() / "release", "");
    std::uint32_t code = os::kStillActive;
    for (int i = 0; i < 400 && os::ExitCodeOf(child, code).Ok() && code == os::kStillActive; ++i)
        os::AwaitExit(child, 50);
    os::CloseProcess(child);
    EXPECT_EQ(code, 0u);

    const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    EXPECT_TRUE(description->synchronous->Execute());
    EXPECT_EQ(Contents(dir),
              (std::map<std::string, std::string>{{"app.1.log", "active"}, {"app.2.log.gz", "1"}, {"app.3.log.gz", "2"}}));
}

TEST(FixedWindowRenameAction, ARenameThatFailedAfterItsShiftIsRetriedWithoutAnotherShift)
{
    TempDir dir;
    FixedWindowRollPolicy policy = Window(dir, 3);
    Touch(dir, "app.2.log.gz", "older");
    Touch(dir, "app.log", "active");
    // Number 1 is free, as a shift whose rename was then refused leaves it: the file takes it as it is.
    const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    EXPECT_TRUE(description->synchronous->Execute());
    EXPECT_EQ(Contents(dir), (std::map<std::string, std::string>{{"app.1.log", "active"}, {"app.2.log.gz", "older"}}));
}

TEST(FixedWindowRenameAction, FilesAnEarlierRunLeftWaitingGoInFirstInTheOrderTheyRolled)
{
    TempDir dir;
    ClockWithoutGzip noGzip(LocalTicks(2026, 12, 8, 9, 0));
    FixedWindowRollPolicy policy = Window(dir, 4);
    Touch(dir, "app.1.log.gz", "older");
    Touch(dir, "app.1.log.~8.gz", "compressed");  // its archive was complete
    Touch(dir, "app.1.log.~9", "first");
    Touch(dir, "app.1.log.~10", "second");  // numbers, not names, give the order
    Touch(dir, "app.1.log.~x", "not ours");
    Touch(dir, "app.log", "active");
    const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    ASSERT_TRUE(description->synchronous->Execute());
    EXPECT_TRUE(fs::exists(dir.Path() / "app.1.log.~11"));  // behind them
    description->asynchronous->Execute();
    EXPECT_EQ(Contents(dir), (std::map<std::string, std::string>{{"app.1.log", "active"},
                                                                 {"app.2.log", "second"},
                                                                 {"app.3.log", "first"},
                                                                 {"app.4.log.gz", "compressed"},
                                                                 {"app.1.log.~x", "not ours"}}));
}

TEST(FixedWindowRenameAction, PlainHistoryLeftOverIsCompressedAfterTheShift)
{
    TempDir dir;
    ModuleDirectory place(RealGzipDirectory());
    FixedWindowRollPolicy policy = Window(dir, 4);
    const std::string payload = Payload();
    Touch(dir, "app.1.log", payload);  // its compression never ran
    Touch(dir, "app.2.log.gz", "two");
    Touch(dir, "app.log", "active");
    const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    ASSERT_TRUE(description->synchronous->Execute());
    description->asynchronous->Execute();
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"app.1.log.gz", "app.2.log.gz", "app.3.log.gz"}));
    EXPECT_EQ(Unpacked(dir.Path() / "app.1.log.gz"), "active");
    EXPECT_TRUE(SamePayload(Unpacked(dir.Path() / "app.2.log.gz"), payload));
    EXPECT_EQ(ReadFile(dir.Path() / "app.3.log.gz"), "two");
}

TEST(SizeAndTimeBasedRollPolicy, PlainHistoryLeftOverInTheKeptPeriodsIsCompressed)
{
    TempDir dir;
    ModuleDirectory place(RealGzipDirectory());
    const std::int64_t now = LocalTicks(2026, 12, 6, 11, 19);
    FakeClock clock(now);
    SizeAndTimeBasedRollPolicy policy;
    policy.SetOption(N("/fileNamePattern/value"), N(Utf8(dir.Path()) + Sep() + "app.{yyyy}{MM}{dd}.{RollingIndex}.log"));
    policy.SetOption(N("/maxHistory/value"), N("3"));
    policy.ActivateOptions();
    const std::string today = "app." + NameAt("{yyyy}{MM}{dd}", now);
    const std::string yesterday = "app." + NameAt("{yyyy}{MM}{dd}", now - kTicksPerDay);
    const std::string payload = Payload();
    Touch(dir, today + ".1.log.gz", "one");
    Touch(dir, today + ".2.log", payload);     // gzip killed half way
    Touch(dir, yesterday + ".1.log", "late");  // the process ended before gzip ran
    Touch(dir, "app.log", "active");
    const std::unique_ptr<RolloverDescription> description = policy.Rollover(W(dir.Wide("app.log")));
    ASSERT_NE(description, nullptr);
    ASSERT_TRUE(description->synchronous->Execute());
    description->asynchronous->Execute();
    EXPECT_EQ(Files(dir.Path()),
              (std::set<std::string>{today + ".1.log.gz", today + ".2.log.gz", today + ".3.log.gz", yesterday + ".1.log.gz"}));
    EXPECT_TRUE(SamePayload(Unpacked(dir.Path() / (today + ".2.log.gz")), payload));
    EXPECT_EQ(Unpacked(dir.Path() / (yesterday + ".1.log.gz")), "late");
    EXPECT_EQ(Unpacked(dir.Path() / (today + ".3.log.gz")), "active");
}
