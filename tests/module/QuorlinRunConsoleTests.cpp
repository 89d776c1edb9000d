// quorlin-run.exe and the console's Ctrl-C: the run stops and closes every appender as at the end of
// input, forwarders first, so every accepted event reaches both files. Windows only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "ConsoleControl.h"
#include "RunChecks.h"
#include "Shell.h"
#include "TempDir.h"
#include "os/Module.h"
#include "os/Process.h"
#include "utility/StringOps.h"

namespace os = Quorlin::os;
using namespace QuorlinTest;

namespace {

std::wstring Widen(const std::string& text) { return ORBEK::Utility::Utf8ToWide(std::string_view(text)); }

}  // namespace

// Started with a console of its own: runs the generator there and interrupts it once both files have events.
QUORLIN_CHILD(interrupted_generator)
{
    if (argc < 1)
        return 100;
    const std::filesystem::path dir = argv[0];
    const std::string command = Quote(SiblingProgram("quorlin-run")) +
                                " --config q.conf --generate 2000000000 --threads 2 --message-size 40";
    return RunAndInterrupt(Widen(command), dir.wstring(),
                           [&] { return CountLines(dir / "forwarded.log") > 1000 && CountLines(dir / "rolling.log") > 1000; });
}

TEST(QuorlinRunConsole, CtrlCWhileGeneratingKeepsEveryAcceptedEvent)
{
    constexpr int kThreads = 2;
    TempDir dir;
    WriteFile(dir.Path() / "q.conf", kRollingAndAsync);
    os::ProcessHandle child;
    const std::wstring self = Widen(os::ExecutablePath());
    ASSERT_TRUE(
        os::Spawn(self, L"\"" + self + L"\" --child=interrupted_generator \"" + dir.Path().wstring() + L"\"", child).Ok());
    std::uint32_t code = os::kStillActive;
    for (int i = 0; i < 1200 && os::ExitCodeOf(child, code).Ok() && code == os::kStillActive; ++i)
        os::AwaitExit(child, 100);
    if (code == os::kStillActive)
        os::KillProcess(child);
    os::CloseProcess(child);
    const std::string err = ReadFile(dir.Path() / "err.txt");
    ASSERT_EQ(code, 0u) << err;
    const long accepted = SummaryEvents(err);
    ASSERT_GT(accepted, 0) << err;
    EXPECT_EQ(CheckGenerated(dir.Path() / "rolling.log", kThreads), accepted);
    EXPECT_EQ(CheckGenerated(dir.Path() / "forwarded.log", kThreads), accepted);
}
