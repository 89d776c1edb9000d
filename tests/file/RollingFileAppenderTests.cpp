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
