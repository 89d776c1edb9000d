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
