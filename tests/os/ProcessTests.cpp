// Child processes, threads, modules, time, error texts and the interposer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "FaultTargets.h"
#include "Paths.h"
#include "TempDir.h"
#include "os/Clock.h"
#include "os/Console.h"
#include "os/Debugger.h"
#include "os/Directory.h"
#include "os/FaultGuard.h"
#include "os/File.h"
#include "os/Interposer.h"
#include "os/Module.h"
#include "os/Process.h"
#include "os/Status.h"
#include "os/SystemLog.h"

namespace os = Quorlin::os;
using namespace QuorlinTest;

namespace {

// Polls until the child has ended or about `seconds` have passed; kStillActive when it is still running.
std::uint32_t WaitForExit(os::ProcessHandle& child, int seconds)
{
    std::uint32_t code = os::kStillActive;
    for (int i = 0; i < seconds * 20; ++i) {
        if (!os::ExitCodeOf(child, code).Ok() || code != os::kStillActive)
            break;
        os::AwaitExit(child, 50);
    }
    return code;
}

std::wstring ChildCommandLine(const std::wstring& child, const std::wstring& args)
{
    return L"\"" + TestBinary() + L"\" --child=" + child + (args.empty() ? L"" : L" " + args);
}

}  // namespace

// Exits with 7 when it got exactly the arguments that ProcessTest.ChildSeesQuotedArguments passes.
QUORLIN_CHILD(arguments)
{
    const char* expected[] = {"two words", "say\"hi\"", "trail\\", "", "plain"};
    if (argc != 5)
        return 10 + argc;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], expected[i]) != 0)
            return 20 + i;
    }
    return 7;
}

QUORLIN_CHILD(sleeper)
{
    os::SleepMs(30'000);
    return 0;
}

// Holds argv[0] open for writing, denying other writers, until argv[1] appears; announces itself
// by creating argv[2].
QUORLIN_CHILD(holder)
{
    if (argc != 3)
        return 2;
    os::NativeFile file = os::kInvalidFile;
    if (!os::OpenFile(Widen(argv[0]), os::Access::Write, os::Disposition::CreateAlways, os::ShareRead, file).Ok())
        return 3;
    WriteFile(PathOf(argv[2]), "ready");
    for (int i = 0; i < 600 && !os::PathExists(Widen(argv[1])); ++i)
        os::SleepMs(50);
    os::CloseFile(file);
    return 0;
}

// Faults outside any step after the guard has been in use: must end the process as before.
QUORLIN_CHILD(unguarded)
{
    std::uint32_t code = 0;
    os::RunGuarded(&WriteThroughNull, nullptr, code);
#ifndef _WIN32
    // The sanitizer's report of the expected crash would only look like a failure in the test log.
    if (!std::freopen("/dev/null", "w", stderr))
        return 1;
#endif
    WriteThroughNull(nullptr);
    return 0;
}

TEST(ProcessTest, FaultOutsideAStepStillEndsTheProcess)
{
    os::ProcessHandle child;
    ASSERT_TRUE(os::Spawn(TestBinary(), ChildCommandLine(L"unguarded", L""), child).Ok());
    const std::uint32_t code = WaitForExit(child, 20);
    if (code == os::kStillActive)
        os::KillProcess(child);
    os::CloseProcess(child);
    EXPECT_NE(code, os::kStillActive);
    EXPECT_NE(code, 0u);
}

TEST(ProcessTest, ChildSeesQuotedArgumentsAndExitCode)
{
    os::ProcessHandle child;
    const os::Status started = os::Spawn(TestBinary(),
                                         ChildCommandLine(L"arguments", LR"("two words" say\"hi\" "trail\\" "" plain)"), child);
    ASSERT_TRUE(started.Ok()) << os::ErrorText(started.native);
    // Returns when the child ends, not at the end of its bound.
    os::AwaitExit(child, 600'000);
    std::uint32_t ended = 0;
    EXPECT_TRUE(os::ExitCodeOf(child, ended).Ok());
    EXPECT_EQ(ended, 7u);
    // The result stays readable once reaped.
    std::uint32_t code = 0;
    EXPECT_TRUE(os::ExitCodeOf(child, code).Ok());
    EXPECT_EQ(code, 7u);
    os::CloseProcess(child);
}

TEST(ProcessTest, BoundedWaitTimesOutThenKills)
{
    os::ProcessHandle child;
    ASSERT_TRUE(os::Spawn(TestBinary(), ChildCommandLine(L"sleeper", L""), child).Ok());
    for (int poll = 0; poll < 3; ++poll) {
        std::uint32_t code = 0;
        ASSERT_TRUE(os::ExitCodeOf(child, code).Ok());
        EXPECT_EQ(code, os::kStillActive);
        os::AwaitExit(child, 100);  // bounded: the child is still running afterwards
    }
    ASSERT_TRUE(os::KillProcess(child).Ok());
    const std::uint32_t code = WaitForExit(child, 10);
    EXPECT_NE(code, os::kStillActive);
    if (!kWindows) {
        EXPECT_EQ(code, 128u + 9u);
    }
    os::CloseProcess(child);
}

TEST(ProcessTest, MissingProgramIsRefused)
{
    TempDir dir;
    os::ProcessHandle child;
    const os::Status status = os::Spawn(dir.Wide("no-such-program"), L"no-such-program", child);
    EXPECT_FALSE(status.Ok());
    EXPECT_EQ(status.kind, os::ErrorKind::NotFound);
}

TEST(ProcessTest, ShareModesHoldAcrossProcesses)
{
    TempDir dir;
    const std::string file = Utf8(dir.Path() / "held.log");
    const std::string release = Utf8(dir.Path() / "release");
    const std::string ready = Utf8(dir.Path() / "ready");
    os::ProcessHandle child;
    ASSERT_TRUE(
        os::Spawn(TestBinary(),
                  ChildCommandLine(L"holder", L"\"" + Widen(file) + L"\" \"" + Widen(release) + L"\" \"" + Widen(ready) + L"\""),
                  child)
            .Ok());
    for (int i = 0; i < 600 && !os::PathExists(Widen(ready)); ++i)
        os::SleepMs(50);
    ASSERT_TRUE(os::PathExists(Widen(ready)));

    os::NativeFile second = os::kInvalidFile;
    EXPECT_EQ(
        os::OpenFile(Widen(file), os::Access::Write, os::Disposition::OpenExisting, os::ShareRead | os::ShareWrite, second).kind,
        os::ErrorKind::SharingViolation);
    EXPECT_EQ(os::RemoveFile(Widen(file)).kind, os::ErrorKind::SharingViolation);

    WriteFile(PathOf(release), "");
    EXPECT_EQ(WaitForExit(child, 60), 0u);
    os::CloseProcess(child);
    ASSERT_TRUE(os::OpenFile(Widen(file), os::Access::Write, os::Disposition::OpenExisting, os::ShareRead, second).Ok());
    os::CloseFile(second);
}

QUORLIN_CHILD(quick) { return 0; }

// A child starts with copies of the parent's descriptors: a file the parent has just closed must not
// stay refused (renamed, reopened, removed) because a child starting at that moment still holds it.
TEST(ProcessTest, ChildrenBeingStartedRefuseNothingOfOurs)
{
    TempDir dir;
    const std::wstring active = dir.Wide("active.log");
    const std::wstring moved = dir.Wide("moved.log");
    std::atomic<bool> done{false};
    std::atomic<int> started{0};
    std::thread starter([&] {
        while (!done.load()) {
            os::ProcessHandle child;
            if (os::Spawn(TestBinary(), ChildCommandLine(L"quick", L""), child).Ok()) {
                WaitForExit(child, 60);
                os::CloseProcess(child);
                started.fetch_add(1);
            }
        }
    });
    int refused = 0;
    int rounds = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (; (rounds < 300 || started.load() < 20) && std::chrono::steady_clock::now() < deadline; ++rounds) {
        os::NativeFile file = os::kInvalidFile;
        refused += !os::OpenFile(active, os::Access::Write, os::Disposition::CreateAlways, os::ShareRead, file).Ok();
        std::uint32_t written = 0;
        os::WriteToFile(file, "line\r\n", 6, written);
        os::CloseFile(file);
        refused += !os::RenameFile(active, moved).Ok();
        refused += !os::RemoveFile(moved).Ok();
    }
    done.store(true);
    starter.join();
    EXPECT_GT(started.load(), 0);
    EXPECT_EQ(refused, 0) << "in " << rounds << " rounds while " << started.load() << " children started";
}

TEST(ProcessTest, ThreadCountFollowsALivingThread)
{
    // A runtime may start a helper thread along with the first thread of the process (ThreadSanitizer does).
    std::thread([] {}).join();
    const int before = os::ThreadCountOfProcess();
    ASSERT_GT(before, 0);
    std::promise<void> started, stop;
    std::thread extra([&, stopped = stop.get_future()] {
        started.set_value();
        stopped.wait();
    });
    started.get_future().wait();
    EXPECT_EQ(os::ThreadCountOfProcess(), before + 1);
    stop.set_value();
    extra.join();
    // The ended thread may take a moment to leave the system's list.
    int after = os::ThreadCountOfProcess();
    for (int i = 0; i < 100 && after != before; ++i) {
        os::SleepMs(10);
        after = os::ThreadCountOfProcess();
    }
    EXPECT_EQ(after, before);
}

TEST(ProcessTest, IdsAndNames)
{
    EXPECT_NE(os::CurrentProcessId(), 0u);
    std::uint64_t other = 0;
    std::thread([&] {
        os::SetCurrentThreadName("a-long-thread-name-that-is-cut");
        other = os::CurrentThreadId();
    }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, os::CurrentThreadId());
}

TEST(Module, PathsAndLoading)
{
    const std::string program = os::ExecutablePath();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(std::filesystem::exists(PathOf(program)));
    // The layer is linked statically into the test program.
    EXPECT_TRUE(std::filesystem::equivalent(PathOf(os::ThisModulePath()), PathOf(program)));

    os::ModuleHandle self = os::AcquireThisModule();
    ASSERT_NE(self, nullptr);
    os::FreeModule(self);
}

TEST(Module, ReleasingThisModuleEndsTheThreadOnWindows)
{
    std::atomic<bool> returned{false};
    std::thread releaser([&] {
        os::ModuleHandle self = os::AcquireThisModule();
        os::ReleaseModuleAndExitThread(self);
        returned = true;
    });
    releaser.join();
    EXPECT_EQ(returned.load(), !kWindows);
}

TEST(SystemLog, SourceLifecycle)
{
    // Nothing to read back here: the Windows event log under Wine and a missing /dev/log swallow the
    // records. What is checked is that a source can be used and released (the sanitizers watch the rest).
    os::EventSource source = os::RegisterSource("quorlin-os-tests");
    ASSERT_NE(source, nullptr);
    os::ReportToSource(source, os::kEventError, 0, 1, "error record");
    os::ReportToSource(source, os::kEventInformation, 0, 2, nullptr);
    os::DeregisterSource(source);
    os::ReportToSource(nullptr, os::kEventWarning, 0, 3, "ignored");
    os::DeregisterSource(nullptr);
}

TEST(Clock, TicksAndLocalTime)
{
    const auto system =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::int64_t ticks = os::NowTicks();
    EXPECT_LT(std::llabs(ticks / 10'000 - system), 2'000);

    for (std::int64_t seconds : {std::int64_t{86'400 * 2}, std::int64_t{1'700'000'000}, std::int64_t{4'102'444'799}}) {
        std::tm local = {};
        ASSERT_TRUE(os::ToLocalTime(seconds, local));
        EXPECT_EQ(os::FromLocalTime(local), seconds);
    }
    // mktime normalises: the 32nd of December is the 1st of January.
    std::tm overflow = {};
    overflow.tm_year = 2024 - 1900;
    overflow.tm_mon = 11;
    overflow.tm_mday = 32;
    overflow.tm_hour = 12;
    overflow.tm_isdst = -1;
    const std::int64_t seconds = os::FromLocalTime(overflow);
    ASSERT_NE(seconds, -1);
    EXPECT_EQ(overflow.tm_year, 2025 - 1900);
    EXPECT_EQ(overflow.tm_mon, 0);
    EXPECT_EQ(overflow.tm_mday, 1);
}

namespace {

// Hands out a file and a child of its own: every later call on them must reach it, never the system.
struct FakeHandles : os::Interposer {
    std::vector<std::string> calls;
    std::string console;
    std::int64_t NowTicks() override { return 42; }
    void WriteToConsole(os::ConsoleHandle, const char* text, std::uint32_t size) override { console.append(text, size); }
    os::Status OpenFile(std::wstring_view, os::Access, os::Disposition, std::uint32_t, os::NativeFile& file) override
    {
        file = 77;
        return Called("open");
    }
    os::Status FileSizeOf(os::NativeFile file, std::uint64_t& size) override
    {
        size = 123;
        return Called("size " + std::to_string(file));
    }
    os::Status CloseFile(os::NativeFile file) override { return Called("close " + std::to_string(file)); }
    os::Status Spawn(std::wstring_view, std::wstring_view, os::ProcessHandle& child) override
    {
        child.process = 88;
        return Called("spawn");
    }
    void AwaitExit(os::ProcessHandle& child, std::uint32_t milliseconds) override
    {
        Called("await " + std::to_string(child.process) + " " + std::to_string(milliseconds));
    }
    void SleepMs(std::uint32_t milliseconds) override { Called("sleep " + std::to_string(milliseconds)); }
    os::Status Called(std::string call)
    {
        calls.push_back(std::move(call));
        return {};
    }
};

}  // namespace

TEST(Interposer, RedirectsWhileInstalledAndEveryCallOnAFakeHandleReachesTheFake)
{
    FakeHandles fake;
    {
        os::ScopedInterposer scope(fake);
        EXPECT_EQ(os::NowTicks(), 42);
        os::WriteToConsole(os::StdOutConsole(), "abcdef", 3);
        EXPECT_EQ(fake.console, "abc");
        os::NativeFile file = os::kInvalidFile;
        ASSERT_TRUE(os::OpenFile(L"absent", os::Access::Read, os::Disposition::OpenExisting, os::ShareRead, file).Ok());
        std::uint64_t size = 0;
        EXPECT_TRUE(os::FileSizeOf(file, size).Ok());
        EXPECT_EQ(size, 123u);
        EXPECT_TRUE(os::CloseFile(file).Ok());
        os::ProcessHandle child;
        ASSERT_TRUE(os::Spawn(L"absent", L"absent", child).Ok());
        os::AwaitExit(child, 600'000);
        EXPECT_EQ(fake.calls, (std::vector<std::string>{"open", "size 77", "close 77", "spawn", "await 88 600000"}));
    }
    EXPECT_GT(os::NowTicks(), 42);
    os::WriteToConsole(0, "zz", 2);
    EXPECT_EQ(fake.console, "abc");
}

#ifndef _WIN32
TEST(Debugger, OutputGoesToTheNamedFile)
{
    TempDir dir;
    const std::string target = (dir.Path() / "debug.txt").string();
    ::setenv("QUORLIN_DEBUG_OUTPUT", target.c_str(), 1);
    os::DebugOutput("first");
    os::DebugOutput("second\n");
    ::unsetenv("QUORLIN_DEBUG_OUTPUT");
    EXPECT_EQ(ReadFile(target), "[debug] first\n[debug] second\n");
}
#endif
