#include <gtest/gtest.h>

#include <string>

#include "LineVerifier.h"
#include "Recorders.h"
#include "RollingTestSupport.h"
#include "RunChecks.h"
#include "Shell.h"
#include "diagnostics/ModuleInfo.h"
#include "file/SizeAndTimeBasedTriggerPolicy.h"
#include "file/SizeBasedTriggerPolicy.h"
#include "file/TimeBasedTriggerPolicy.h"
#include "host/Utility.h"
#include "os/Path.h"
#include "rolling/FixedWindowRollPolicy.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

// The roll-overs of this binary compress with the gzip built beside it.
const bool g_ModuleLocated = LocateModuleAtTestBinary();

// Activates and opens the appender, logs `lines` numbered lines, closes it and waits for its compressions.
void LogNumbered(RollingFileAppender& appender, int lines)
{
    appender.ActivateOptions();
    ASSERT_TRUE(appender.Open());
    for (int i = 0; i < lines; ++i)
        Log(appender, NumberedLine(0, i));
    appender.Close();
    appender.WaitForCompressions();
}

}  // namespace

TEST(RollingFileAppender, PoliciesFollowTheSelectingKeys)
{
    TempDir dir;
    struct Case {
        std::vector<const char*> keys;
        bool sizeTrigger, sizeAndTimeTrigger, timeTrigger;
        bool fixedWindow, sizeAndTimeRolling, timeRolling;
    };
    const Case cases[] = {
        {{"triggeringPolicy/maxFileSize/value"}, true, false, false, false, true, false},
        {{"rollingPolicy/maxIndex/value"}, false, false, true, true, false, false},
        {{"triggeringPolicy/interval/value", "triggeringPolicy/maxFileSize/value"}, false, true, false, false, true, false},
        {{"triggeringPolicy/interval/value", "triggeringPolicy/maxFileSize/value", "rollingPolicy/maxIndex/value"},
         false,
         true,
         false,
         true,
         false,
         false},
        {{}, false, false, true, false, false, true},
    };
    for (const Case& c : cases) {
        RollingFileAppender appender;
        appender.SetOption("fileName/value", Text(dir.Path() / "app.log"));
        appender.SetOption("fileNamePattern/value", Text(dir.Path() / "app.{dd}.{RollingIndex}.log"));
        for (const char* key : c.keys)
            appender.SetOption(key, "5");
        appender.ActivateOptions();
        const TriggeringPolicy* t = appender.GetTriggeringPolicy();
        const RollingPolicy* r = appender.GetRollingPolicy();
        EXPECT_EQ(dynamic_cast<const SizeAndTimeBasedTriggerPolicy*>(t) != nullptr, c.sizeAndTimeTrigger);
        EXPECT_EQ(dynamic_cast<const SizeBasedTriggerPolicy*>(t) != nullptr, c.sizeTrigger);
        EXPECT_EQ(dynamic_cast<const TimeBasedTriggerPolicy*>(t) != nullptr, c.timeTrigger);
        EXPECT_EQ(dynamic_cast<const FixedWindowRollPolicy*>(r) != nullptr, c.fixedWindow);
        EXPECT_EQ(dynamic_cast<const SizeAndTimeBasedRollPolicy*>(r) != nullptr, c.sizeAndTimeRolling);
        EXPECT_EQ(dynamic_cast<const TimeBasedRollPolicy*>(r) != nullptr && !c.sizeAndTimeRolling, c.timeRolling);
    }
}

TEST(RollingFileAppender, RollingBySizeAddsTheIndexToAPatternWithoutOne)
{
    const std::string sep(1, static_cast<char>(os::PathSeparator()));
    struct Case {
        std::string fileName, pattern, corrected;
    };
    const Case cases[] = {
        {"", "logs" + sep + "app.log", "logs" + sep + "app.{RollingIndex}.log"},
        {"", "", ".{RollingIndex}"},
        // No pattern: the history goes beside the active file, named after it.
        {"logs" + sep + "app.log", "", "logs" + sep + "app.{RollingIndex}.log"},
        {"logs" + sep + "app.log", "logs" + sep + "app", "logs" + sep + "app.{RollingIndex}"},
        {"", "logs" + sep + "app.{RollingIndex}.log", "logs" + sep + "app.{RollingIndex}.log"},
    };
    for (const Case& c : cases) {
        DiagnosticRecorder recorder;
        RollingFileAppender appender;
        if (!c.fileName.empty())
            appender.SetOption("fileName/value", c.fileName.c_str());
        appender.SetOption("fileNamePattern/value", c.pattern.c_str());
        appender.SetOption("triggeringPolicy/maxFileSize/value", "1MB");
        appender.ActivateOptions();
        EXPECT_EQ(appender.GetFileNamePattern(), c.corrected.c_str());
        const bool corrected = c.pattern != c.corrected;
        EXPECT_EQ(recorder.Contains("RollingFileAppender, bad FileNamePattern, auto correct to [" + c.corrected + "]"), corrected)
            << c.pattern;
    }
}

TEST(RollingFileAppender, MdcTokensBecomeGlobalMapTokens)
{
    TempDir dir;
    Utility::SetGlobalValue("user", "ann");
    RollingFileAppender appender;
    appender.SetOption("fileName/value", Text(dir.Path() / "{MDC:user}.log"));
    appender.SetOption("fileNamePattern/value", Text(dir.Path() / "{MDC:user}.{RollingIndex}.log"));
    appender.SetOption("triggeringPolicy/maxFileSize/value", "1MB");
    appender.ActivateOptions();
    EXPECT_EQ(appender.GetFullFileName(), WString(DString((dir.Path() / "ann.log").string().c_str())));
    EXPECT_EQ(appender.GetFileNamePattern(), Text(dir.Path() / "{GlobalMap:user}.{RollingIndex}.log"));
}

TEST(RollingFileAppender, ExactBytesAroundOneTimeRollOver)
{
    TempDir dir;
    ClockWithoutGzip clock(LocalTicks(2026, 12, 6, 10, 7, 20));
    RollingFileAppender appender;
    MessagesInto(appender, dir.Path(),
                 {{"fileNamePattern/value", "app.{RollingIndex}.log"},
                  {"triggeringPolicy/interval/value", "1m"},
                  {"rollingPolicy/maxIndex/value", "3"},
                  {"header/value", "[head]\\r\\n"},
                  {"footer/value", "[foot]"}});
    appender.ActivateOptions();
    ASSERT_TRUE(appender.Open());
    Log(appender, "a");
    clock.Set(LocalTicks(2026, 12, 6, 10, 8, 5));
    Log(appender, "b");  // written, then the minute boundary rolls the file
    Log(appender, "c");
    appender.Close();
    appender.WaitForCompressions();

    const std::string loaded = Utility::toYMDHMS(ModuleInfo::LoadTime()).c_str();
    const std::string activeName = (dir.Path() / "app.log").string();
    EXPECT_EQ(ReadFile(dir.Path() / "app.1.log"),
              "[head]\r\na\r\nb\r\n"
              "\r\n\r\n-- (Quorlin) TriggeringPolicy.TimeBased.Next maintenance time : 2026-12-06 10:09:00\r\n\r\n"
              "\r\n-- (Quorlin) Started at " +
                  loaded + "\r\n-- (Quorlin) New FileName : [" + activeName +
                  "]\r\n\r\n"
                  "[foot]");
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"), "[head]\r\n\r\n-- (Quorlin) Started at " + loaded + "\r\n\r\nc\r\n[foot]");
    EXPECT_EQ(clock.spawns, 1);  // the compression was started, and failed to start gzip
}

TEST(RollingFileAppender, SizeRollsIntoAFixedWindowOfCompressedFiles)
{
    TempDir dir;
    LogNumbered(*RollingInto(dir.Path() / "logs", SizeWindow("4096", 20)), 3000);

    // Oldest history first: app.N.log.gz ... app.1.log.gz, then the active file; gzip replaced each.
    const auto files = FixedWindowFiles(dir.Path() / "logs", "app", ".log", 20);
    EXPECT_GE(files.size(), 9u);
    for (const auto& file : files)
        EXPECT_TRUE(file.extension() == ".gz" || file.filename() == "app.log") << file;
    EXPECT_EQ(ProblemsIn(files, 1, 3000), std::vector<std::string>{});
}

TEST(RollingFileAppender, AppendedFileCountsItsExistingSize)
{
    TempDir dir;
    WriteFile(dir.Path() / "app.log", std::string(2998, 'o') + "\r\n");
    for (const char* append : {"true", "false"}) {
        RollingFileAppender appender;
        appender.SetOption("fileName/value", Text(dir.Path() / "app.log"));
        appender.SetOption("triggeringPolicy/maxFileSize/value", "4096");
        appender.SetOption("appendToFile/value", append);
        appender.ActivateOptions();
        ASSERT_TRUE(appender.Open());
        EXPECT_EQ(appender.GetFileSize(), append[0] == 't' ? 3000u : 0u) << append;
        appender.Close();
    }
}

TEST(RollingFileAppender, EndToEndThroughQuorlinRun)
{
    TempDir dir;
    WriteFile(dir.Path() / "q.conf", "[appender roll]\ntype = Appender.RollingFile\nlayout = %m\n"
                                     "fileName/value = logs/app.log\n"
                                     "fileNamePattern/value = logs/app.{RollingIndex}.log\n"
                                     "triggeringPolicy/maxFileSize/value = 4096\n"
                                     "rollingPolicy/maxIndex/value = 30\n"
                                     "[root]\nappender-ref = roll\n");
    ASSERT_EQ(RunShell(InDirectory(dir.Path().string()) + Quote(SiblingProgram("quorlin-run")) +
                       " --config q.conf --generate 2000 --message-size 40 2> err.txt"),
              0)
        << ReadFile(dir.Path() / "err.txt");
    // The compressions run on after the program ends (gzip is a process of its own): give them time.
    EXPECT_TRUE(WaitFor(
        [&] {
            const auto files = Files(dir.Path() / "logs");
            return std::any_of(files.begin(), files.end(), [](const std::string& name) { return name.ends_with(".gz"); });
        },
        10));
}

TEST(RollingFileAppender, AQuietAppendersBatchReachesTheFileAndErrorsGoAtOnce)
{
    TempDir dir;
    auto make = [&](const char* name, const char* idle, Options more = {}) {
        more.insert(more.end(),
                    {{"fileName/value", name}, {"triggeringPolicy/maxFileSize/value", "1MB"}, {"idleFlush/value", idle}});
        auto appender = RollingInto(dir.Path(), more);
        appender->ActivateOptions();
        EXPECT_TRUE(appender->Open());
        return appender;
    };
    auto quiet = make("quiet.log", "50");
    Log(*quiet, "one quiet event");
    // Written by the appender's own thread, no Close.
    EXPECT_TRUE(WaitFor([&] { return !ReadFile(dir.Path() / "quiet.log").empty(); }, 10));
    EXPECT_EQ(ReadFile(dir.Path() / "quiet.log"), "one quiet event\r\n");
    quiet->Close();

    // Without the idle flush, an error takes what the batch holds along with it; with the level
    // turned off, nothing reaches the file before the batch is full or closed.
    auto batched = make("batched.log", "0");
    auto off = make("off.log", "0", {{"flushLevel/value", "OFF"}});
    for (RollingFileAppender* appender : {batched.get(), off.get()}) {
        Log(*appender, "info", 50000);
        Log(*appender, "error", 80000);
    }
    EXPECT_EQ(ReadFile(dir.Path() / "batched.log"), "info\r\nerror\r\n");
    EXPECT_EQ(ReadFile(dir.Path() / "off.log"), "");
    EXPECT_EQ(batched->IdleFlushMilliseconds(), 0);
    batched->Close();
    off->Close();
    EXPECT_EQ(ReadFile(dir.Path() / "off.log"), "info\r\nerror\r\n");
}

TEST(RollingFileAppender, SizeRollingWithoutAPatternKeepsEveryEventBesideTheActiveFile)
{
    TempDir dir;
    const fs::path logs = dir.Path() / "logs";
    LogNumbered(*RollingInto(logs, {{"triggeringPolicy/maxFileSize/value", "64KB"}}), 20000);

    // Oldest first: app.1.log.gz, app.2.log.gz ... then the active file.
    std::vector<fs::path> files;
    for (int index = 1; fs::exists(logs / ("app." + std::to_string(index) + ".log.gz")); ++index)
        files.push_back(logs / ("app." + std::to_string(index) + ".log.gz"));
    EXPECT_GE(files.size(), 6u);
    EXPECT_EQ(Files(logs).size(), files.size() + 1);  // nothing plain left, nothing else
    files.push_back(logs / "app.log");
    EXPECT_EQ(ProblemsIn(files, 1, 20000), std::vector<std::string>{});
}
