// The end of a process that still has appenders open, and the module unloaded while a compression
// runs: both in a child process, checked afterwards by the numbered lines it left.
#include <gtest/gtest.h>

#include "RollingTestSupport.h"
#include "ChildProcess.h"
#include "LineVerifier.h"
#include "Shell.h"
#include "file/FileAppender.h"
#include "os/Module.h"
#include "os/Process.h"
#include "host/System.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

constexpr int kLines = 1000;
constexpr std::size_t kBatchBytes = 8192;  // what a rolling file appender holds back at most

void Configure(Appender& appender, const fs::path& folder, bool rolling)
{
    MessagesInto(appender, folder, {{"appendToFile/value", "false"}}, rolling ? SizeWindow("4096", 50) : Options{});
    appender.ActivateOptions();
}

// Left open on purpose; reachable from here so that leak checkers leave them alone.
Appender* g_LeftOpen[2] = {};
// Destroyed with the other statics, while the process ends.
std::unique_ptr<RollingFileAppender> g_DestroyedAtExit;

std::vector<fs::path> RollingFiles(const fs::path& folder) { return FixedWindowFiles(folder, "app", ".log", 50); }

std::string ChildCommand(const std::string& child, const fs::path& folder)
{
    return Quote(SiblingProgram("reliability_tests")) + " --child=" + child + " " + Quote(folder.string());
}

}  // namespace

// Logs the same numbered lines through a file appender (plain/), a rolling one (open/) and a rolling one
// that static destruction closes (closed/), then leaves through exit() with all of them open.
QUORLIN_CHILD(exit_with_open_appenders)
{
    if (argc != 1)
        return 2;
    const fs::path folder = fs::u8path(argv[0]);
    // No compression outlives the process: never destroyed, so that it still holds while the statics
    // go and the appender destroyed with them rolls over on its way out.
    static const ClockWithoutGzip* const clock = new ClockWithoutGzip(0);
    (void)clock;
    auto* plain = new FileAppender();
    auto* open = new RollingFileAppender();
    g_LeftOpen[0] = plain, g_LeftOpen[1] = open;
    g_DestroyedAtExit = std::make_unique<RollingFileAppender>();
    Configure(*plain, folder / "plain", false);
    Configure(*open, folder / "open", true);
    Configure(*g_DestroyedAtExit, folder / "closed", true);
    for (Appender* appender : {g_LeftOpen[0], g_LeftOpen[1], static_cast<Appender*>(g_DestroyedAtExit.get())})
        if (!appender->Open())
            return 3;
    for (int sequence = 0; sequence < kLines; ++sequence)
        for (Appender* appender : {g_LeftOpen[0], g_LeftOpen[1], static_cast<Appender*>(g_DestroyedAtExit.get())})
            Log(*appender, NumberedLine(0, sequence));
    std::exit(0);
}

TEST(ProcessExit, AppendersLeftOpenLoseAtMostTheirLastBatch)
{
    TempDir dir;
    ASSERT_EQ(RunShell(ChildCommand("exit_with_open_appenders", dir.Path())), 0);

    // Written straight through, and closed while the statics went: every line.
    for (const auto& files : {std::vector<fs::path>{dir.Path() / "plain" / "app.log"}, RollingFiles(dir.Path() / "closed")})
        EXPECT_EQ(ProblemsIn(files, 1, kLines), std::vector<std::string>{}) << files.back();
    // Never closed: the lines that reached the file are the first ones, whole; the batch held back is lost.
    LineVerifier verifier(1);
    for (const auto& file : RollingFiles(dir.Path() / "open"))
        if (fs::exists(file) && fs::file_size(file) > 0)  // the file begun last may have nothing yet
            verifier.ConsumeFile(file);
    const int found = static_cast<int>(verifier.Found());
    EXPECT_EQ(verifier.Problems(found), std::vector<std::string>{});
    std::size_t lostBytes = 0;
    for (int sequence = found; sequence < kLines; ++sequence)
        lostBytes += NumberedLine(0, sequence).size() + 2;
    EXPECT_LE(lostBytes, kBatchBytes);
}

// Loads the module, rolls a file over once through it, then unloads it while the compression runs,
// and waits for the compression to end inside the unloaded module.
QUORLIN_CHILD(unload_during_compression)
{
    if (argc != 1 && argc != 2)
        return 2;
    const fs::path folder = fs::u8path(argv[0]);
    std::string binary = os::ExecutablePath();
    // The module from argv[1] when given (a link to it beside a gzip of the test's own), else the build's.
    binary = argc == 2 ? std::string(argv[1]) + "/" : binary.substr(0, binary.find_last_of("/\\") + 1);
    binary += std::string("Quorlin.Appender64") + os::SharedLibrarySuffix();
    std::string error;
    void* module = Detail::System::LoadModule(binary, error);
    if (module == nullptr)
        return 3;
    using Create = Appender* (*)(const char*, void*);
    const auto create = reinterpret_cast<Create>(Detail::System::ModuleSymbol(module, "CreateAppender"));
    Appender* appender = create != nullptr ? create("Appender.RollingFile", nullptr) : nullptr;
    if (appender == nullptr)
        return 4;
    Configure(*appender, folder, true);
    if (!appender->Open())
        return 5;
    const int threads = os::ThreadCountOfProcess();
    for (int sequence = 0; sequence < 300; ++sequence)  // about 12 KB: one roll-over
        Log(*appender, NumberedLine(0, sequence));
    appender->Close();
    delete appender;
    Detail::System::FreeModule(module);
    // Until the compression has removed its source and its thread has ended too, so that whatever it
    // does last is part of the run. The thread count alone can fall back early: a thread of the
    // module's own that was counted before may end first.
    const auto done = [&] {
        return fs::exists(folder / "app.1.log.gz") && !fs::exists(folder / "app.1.log") && os::ThreadCountOfProcess() <= threads;
    };
    for (int i = 0; i < 600 && !done(); ++i)
        os::SleepMs(50);
    return fs::exists(folder / "app.1.log.gz") && !fs::exists(folder / "app.1.log") ? 0 : 6;
}

TEST(ProcessExit, UnloadingTheModuleWhileACompressionRunsEndsCleanly)
{
    TempDir dir;
    std::string command = ChildCommand("unload_during_compression", dir.Path());
    TempDir bin;
    if (!kWindows) {
        // A gzip that takes its time, beside a link to the module (which looks for gzip beside itself).
        WriteFile(bin.Path() / "gzip", "#!/bin/sh\nsleep 1\nPATH=/usr/bin:/bin exec gzip \"$@\"\n");
        fs::permissions(bin.Path() / "gzip", fs::perms::owner_all);
        const std::string module = std::string("Quorlin.Appender64") + os::SharedLibrarySuffix();
        fs::create_symlink(fs::u8path(os::ExecutablePath()).parent_path() / module, bin.Path() / module);
        command += " " + Quote(bin.Path().string());
    }
    ASSERT_EQ(RunShell(command), 0);
    EXPECT_EQ(ProblemsIn(FixedWindowFiles(dir.Path(), "app", ".log", 3), 1, 300), std::vector<std::string>{});
}
