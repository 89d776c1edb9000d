#include <gtest/gtest.h>

#include <string>

#include "Recorders.h"
#include "appenders/WinDebugAppender.h"
#include "appenders/WinEventLogAppender.h"

using namespace Quorlin;

namespace {

void Log(Appender& appender, std::int32_t level, const std::string& message)
{
    LoggingEvent e;
    e.m_Message = message.data();
    e.m_MessageLength = static_cast<std::int32_t>(message.size());
    e.m_Level = level;
    appender.Append(&e);
}

} // namespace

TEST(WinEventLogAppender, TypeByLevelWithCategoryAndEventId)
{
    QuorlinTest::RecordingOs os;
    WinEventLogAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>("%m"));
    appender.SetOption("source/value", "billing");
    appender.SetOption("categoryID/value", "65537");
    appender.SetOption("eventID/value", "42");
    EXPECT_EQ(appender.GetCategory(), 1);
    Log(appender, 80000, "before open");  // no source yet: nothing
    appender.Open();
    for (std::int32_t level : {69999, 70000, 79999, 80000})
        Log(appender, level, "L" + std::to_string(level));
    appender.Close();
    Log(appender, 80000, "after close");
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
    appender.Open();  // the new registration replaces, and deregisters, the previous one
    LoggingEvent empty;  // no text at all: information, no strings
    empty.m_Level = 80000;
    appender.Append(&empty);
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{"RegisterSource|Quorlin (Default Source)",
                                                    "RegisterSource|Quorlin (Default Source)", "DeregisterSource|handle",
                                                    "ReportToSource|4|0|0|(none)"}));
    os.Clear();
    os.sourceRegisters = false;
    appender.Open();
    Log(appender, 80000, "dropped");
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{"RegisterSource|Quorlin (Default Source)", "DeregisterSource|handle"}));
}

TEST(WinDebugAppender, RendersEachAcceptedEvent)
{
    QuorlinTest::RecordingOs os;
    WinDebugAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>("[%p] %m"));
    appender.SetOption("threshold/value", "WARN");
    Log(appender, 80000, "not open");
    appender.Open();
    Log(appender, 80000, "boom");
    Log(appender, 50000, "quiet");
    appender.Close();
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{"DebugOutput|[ERROR] boom"}));
}

TEST(SystemAppenders, TheRealSystemCallsWork)
{
    // No fake: the event log (syslog on POSIX) and the debugger stream take real calls without failing.
    WinEventLogAppender eventLog;
    eventLog.SetOption("source/value", "Quorlin tests");
    ASSERT_TRUE(eventLog.Open());
    Log(eventLog, 50000, "information from the test suite");
    Log(eventLog, 80000, "an error from the test suite");
    eventLog.Close();
    WinDebugAppender debug;
    ASSERT_TRUE(debug.Open());
    Log(debug, 50000, "debugger text from the test suite");
    debug.Close();
}
