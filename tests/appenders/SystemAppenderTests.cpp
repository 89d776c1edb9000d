#include <gtest/gtest.h>

#include "Events.h"

#include <string>

#include "Recorders.h"
#include "appenders/WinDebugAppender.h"
#include "appenders/WinEventLogAppender.h"

using namespace Quorlin;
using QuorlinTest::Log;

TEST(WinEventLogAppender, TypeByLevelWithCategoryAndEventId)
{
    QuorlinTest::RecordingOs os;
    WinEventLogAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>("%m"));
    appender.SetOption("source/value", "billing");
    appender.SetOption("categoryID/value", "65537");
    appender.SetOption("eventID/value", "42");
    EXPECT_EQ(appender.GetCategory(), 1);
    Log(appender, "before open", 80000);  // no source yet: nothing
    appender.Open();
    for (std::int32_t level : {69999, 70000, 79999, 80000})
        Log(appender, "L" + std::to_string(level), level);
    appender.Close();
    Log(appender, "after close", 80000);
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{
                              "RegisterSource|billing",
                              "ReportToSource|4|1|42|L69999",
                              "ReportToSource|2|1|42|L70000",
                              "ReportToSource|2|1|42|L79999",
                              "ReportToSource|1|1|42|L80000",
                              "DeregisterSource|handle",
                          }));
}

TEST(WinEventLogAppender, DefaultsReopeningAndAnUnregisteredSource)
{
    QuorlinTest::RecordingOs os;
    WinEventLogAppender appender;
    EXPECT_EQ(appender.GetSource(), "Quorlin (Default Source)");
    appender.Open();
    appender.Open();     // the new registration replaces, and deregisters, the previous one
    LoggingEvent empty;  // no text at all: information, no strings
    empty.m_Level = 80000;
    appender.Append(&empty);
    EXPECT_EQ(os.Calls(),
              (std::vector<std::string>{"RegisterSource|Quorlin (Default Source)", "RegisterSource|Quorlin (Default Source)",
                                        "DeregisterSource|handle", "ReportToSource|4|0|0|(none)"}));
    os.Clear();
    os.sourceRegisters = false;
    appender.Open();
    Log(appender, "dropped", 80000);
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{"RegisterSource|Quorlin (Default Source)", "DeregisterSource|handle"}));
}

TEST(WinDebugAppender, RendersEachAcceptedEvent)
{
    QuorlinTest::RecordingOs os;
    WinDebugAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>("[%p] %m"));
    appender.SetOption("threshold/value", "WARN");
    Log(appender, "not open", 80000);
    appender.Open();
    Log(appender, "boom", 80000);
    Log(appender, "quiet", 50000);
    appender.Close();
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{"DebugOutput|[ERROR] boom"}));
}

TEST(SystemAppenders, TheRealSystemCallsWork)
{
    // No fake: the event log (syslog on POSIX) and the debugger stream take real calls without failing.
    WinEventLogAppender eventLog;
    eventLog.SetOption("source/value", "Quorlin tests");
    ASSERT_TRUE(eventLog.Open());
    Log(eventLog, "information from the test suite", 50000);
    Log(eventLog, "an error from the test suite", 80000);
    eventLog.Close();
    WinDebugAppender debug;
    ASSERT_TRUE(debug.Open());
    Log(debug, "debugger text from the test suite", 50000);
    debug.Close();
}
