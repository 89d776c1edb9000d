// File names the platform cannot take: refused with a diagnostic, never cut or bent into the name of
// another file, and without harm to the other appenders.
#include <gtest/gtest.h>

#include "RollingTestSupport.h"
#include "LineVerifier.h"
#include "Recorders.h"
#include "file/FileAppender.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<RollingFileAppender> RollingAt(const fs::path& folder, const std::string& name, const std::string& pattern)
{
    auto appender = RollingInto(folder, SizeWindow("4096", 3), {{"fileName/value", name}, {"fileNamePattern/value", pattern}});
    appender->ActivateOptions();
    return appender;
}

}  // namespace

TEST(NameRefusal, NamesThePlatformCannotTakeAreRefusedAndHarmNothingElse)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FileAppender good;
    MessagesInto(good, dir.Path(), {{"fileName/value", "good.log"}});
    good.ActivateOptions();
    ASSERT_TRUE(good.Open());
    int logged = 0;

    std::vector<std::string> names = {std::string(300, 'n') + ".log", "d" + std::string(5000, 'x') + "/app.log"};
    // Wildcards, redirections and quotes are no part of a Windows name; a colon would name a stream.
    if (kWindows)
        names.insert(names.end(), {"app<1>.log", "app|1.log", "app?.log", "app*.log", "app\"1\".log", "app:1.log"});
    for (const std::string& name : names) {
        SCOPED_TRACE(name.substr(0, 40));
        recorder.Clear();
        auto refused = RollingAt(dir.Path(), name, "app.{RollingIndex}.log");
        EXPECT_FALSE(refused->Open());
        EXPECT_GE(recorder.Mentions("FileWriter.File.Open, "), 2) << "entered and refused";
        Log(*refused, "never written");
        Log(good, NumberedLine(0, logged++));
    }

    // A history pattern too long: refused rather than cut, so the active file keeps everything.
    recorder.Clear();
    auto active = RollingAt(dir.Path(), "active.log", std::string(300, 'h') + ".{RollingIndex}.log");
    ASSERT_TRUE(active->Open());
    for (int sequence = 0; sequence < 400; ++sequence)
        Log(*active, NumberedLine(0, sequence));
    active->Close();
    EXPECT_EQ(recorder.Mentions("the file is not rolled over"), 1);
    EXPECT_EQ(ProblemsIn({dir.Path() / "active.log"}, 1, 400), std::vector<std::string>{});

    good.Close();
    EXPECT_EQ(ProblemsIn({dir.Path() / "good.log"}, 1, logged), std::vector<std::string>{});
    EXPECT_EQ(Files(dir.Path()), (std::set<std::string>{"active.log", "good.log"}));
}
