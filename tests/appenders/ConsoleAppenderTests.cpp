#include <gtest/gtest.h>

#include <string>

#include "Recorders.h"
#include "appenders/ConsoleAppender.h"

using namespace Quorlin;

TEST(ConsoleWriter, WritesExactlyTheGivenLengthsAndSkipsEmptyParts)
{
    QuorlinTest::RecordingOs os;
    ConsoleWriter writer;
    const char text[] = "abcdef";
    writer.Write(0, text, 3, nullptr, 0);   // not zero-terminated at its length: only "abc"
    writer.Write(0, text, 0, text + 3, 0);  // lengths 0: nothing
    writer.Write(0, nullptr, 5, "xy", 2);
    writer.NewLine();
    EXPECT_EQ(os.ConsoleBytes(), "abcxy\r\n");
    const std::string big(3000, 'q');  // longer than one chunk of direct console output
    os.Clear();
    writer.Write(0, big.data(), static_cast<std::int32_t>(big.size()), nullptr, 0);
    EXPECT_EQ(os.ConsoleBytes(), big);
}

TEST(ConsoleAppender, OpenSetsProcessedOutputAndReplacesTheWriter)
{
    QuorlinTest::RecordingOs os;
    ConsoleAppender appender;
    EXPECT_EQ(appender.GetType(), "Appender.Console");
    appender.SetLayout(std::make_shared<PatternLayout>("[%p] %m"));
    ASSERT_TRUE(appender.Open());
    Writer* first = appender.GetWriter();
    ASSERT_TRUE(appender.Open());
    EXPECT_NE(appender.GetWriter(), nullptr);
    EXPECT_NE(appender.GetWriter(), first);
    const std::string message = "hello {$}";
    LoggingEvent e;
    e.m_Message = message.data();
    e.m_MessageLength = static_cast<std::int32_t>(message.size());
    e.m_Level = 50000;
    appender.Append(&e);
    appender.Close();
    appender.Append(&e);  // closed: refused
    EXPECT_EQ(os.Calls().at(0), "SetConsoleOutputMode|7|1");
    EXPECT_EQ(os.ConsoleBytes(), "[INFO] hello {$}\r\n");
}
