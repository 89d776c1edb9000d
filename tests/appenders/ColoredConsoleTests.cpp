#include <gtest/gtest.h>

#include "Events.h"

#include <string>

#include "Recorders.h"
#include "appenders/ColoredConsoleAppender.h"

using namespace Quorlin;
using QuorlinTest::Log;

namespace {

const std::string kReset = "\x1b[39m\x1b[49m\r\n";

}  // namespace

TEST(ColoredConsole, BytesByLevelForEachConfiguration)
{
    struct Case {
        std::vector<std::pair<const char*, const char*>> options;
        std::int32_t level;
        std::string expected;
    };
    const Case cases[] = {
        {{}, 80000, "msg" + kReset},
        {{{"onError/foreColor/value", " Red "}, {"onError/backColor/value", "white"}}, 80000, "\x1b[31m\x1b[47mmsg" + kReset},
        {{{"onError/foreColor/value", "red"}, {"onFatal/foreColor/value", "lightred"}}, 80001, "\x1b[91mmsg" + kReset},
        {{{"onError/foreColor/value", "red"}, {"onFatal/foreColor/value", "lightred"}}, 70001, "\x1b[31mmsg" + kReset},
        {{{"default/foreColor/value", "green"}}, 50000, "\x1b[32mmsg" + kReset},
        {{{"default/foreColor/value", "green"}, {"onInfo/foreColor/value", "blue"}}, 100, "\x1b[32mmsg" + kReset},
        {{{"default/foreColor/value", "green"}, {"onTrace/foreColor/value", "blue"}}, 101, "\x1b[34mmsg" + kReset},
        {{{"default/backColor/value", "black"}, {"onFatal/foreColor/value", "yellow"}}, 120001, "\x1b[40mmsg" + kReset},
        {{{"onInfo/foreColor/value", "purple"}}, 50000, "msg" + kReset},
        {{{"onWarn/foreColor/value/x", "LightCyan"}}, 60000, "\x1b[96mmsg" + kReset},
        {{{"onDebug/backColor/value", "lightwhite"}}, 40000, "\x1b[107mmsg" + kReset},
    };
    for (const Case& c : cases) {
        QuorlinTest::RecordingOs os;
        ColoredConsoleAppender appender;
        appender.SetLayout(std::make_shared<PatternLayout>("%m"));
        for (const auto& [key, value] : c.options)
            appender.SetOption(key, value);
        ASSERT_TRUE(appender.Open());
        Log(appender, "msg", c.level);
        appender.Close();
        EXPECT_EQ(os.ConsoleBytes(), c.expected) << c.level;
    }
}

TEST(ColoredConsole, ConsoleAllocationModeAndRelease)
{
    QuorlinTest::RecordingOs os;
    os.consoleAllocates = true;  // the process had no console: the writer makes and frees one
    {
        ColoredConsoleAppender appender;
        ASSERT_TRUE(appender.Open());
        appender.Close();
    }
    EXPECT_EQ(os.Calls(), (std::vector<std::string>{"AllocateConsole", "SetConsoleOutputMode|7|7", "ReleaseConsole"}));

    QuorlinTest::RecordingOs existing;  // allocation fails: the existing console is used and kept
    {
        ColoredConsoleAppender appender;
        appender.Open();
        appender.Close();
    }
    EXPECT_EQ(existing.Calls(), (std::vector<std::string>{"AllocateConsole", "SetConsoleOutputMode|7|7"}));
}

TEST(ColoredConsole, NothingWithoutAConsoleAndNothingWhenClosed)
{
    QuorlinTest::RecordingOs os;
    os.console = 0;
    ColoredConsoleAppender appender;
    appender.Open();
    Log(appender, "lost", 50000);
    EXPECT_EQ(os.ConsoleBytes(), "");
    os.console = 7;
    appender.Open();
    appender.Close();
    Log(appender, "closed", 50000);
    EXPECT_EQ(os.ConsoleBytes(), "");
}

TEST(ColoredConsole, WritersKeepTheTableAliveAfterTheAppender)
{
    QuorlinTest::RecordingOs os;
    std::unique_ptr<Writer> writer;
    {
        ColoredConsoleAppender appender;
        appender.SetOption("onWarn/foreColor/value", "cyan");
        appender.CreateWriter(writer);
    }
    writer->Write(60000, "late", 4, nullptr, 0);
    EXPECT_EQ(os.ConsoleBytes(), "\x1b[36mlate" + kReset);
}
