#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "host/Layout.h"
#include "host/Level.h"
#include "os/Clock.h"

using namespace Quorlin;

namespace {

LoggingEvent MakeEvent(const std::string& message, std::int32_t level = LevelWarn)
{
    LoggingEvent e;
    e.m_LoggerName = "root";
    e.m_Message = message.data();
    e.m_MessageLength = static_cast<std::int32_t>(message.size());
    e.m_Level = level;
    e.m_ThreadId = 42;
    std::tm t{};
    t.tm_year = 2026 - 1900, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 11, t.tm_min = 19, t.tm_sec = 31, t.tm_isdst = -1;
    e.m_TimeStamp = os::FromLocalTime(t) * os::kTicksPerSecond + 1234567;  // .123 seconds
    return e;
}

std::string Render(const Layout& layout, const LoggingEvent& e)
{
    char buffer[512];
    const std::int32_t n = layout.Format(buffer, sizeof buffer, &e);
    return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

TEST(PatternLayout, RendersEveryConversion)
{
    const std::string message = "disk {$} almost full";  // a message is never read as a template
    const LoggingEvent e = MakeEvent(message);
    EXPECT_EQ(Render(PatternLayout(), e), "2026-12-06 11:19:31.123 [WARN] [42] disk {$} almost full");
    EXPECT_EQ(Render(PatternLayout("%-6p|%6p|%c|%%|%5t|%x|%-3m!"), MakeEvent("ab", LevelError)),
              "ERROR | ERROR|root|%|   42|%x|ab !");
    EXPECT_EQ(Render(PatternLayout("100%"), e), "100%");
}

TEST(PatternLayout, ReportsTheSizeItNeedsWhenTheBufferIsTooSmall)
{
    const std::string message(300, 'm');
    const LoggingEvent e = MakeEvent(message);
    PatternLayout layout("[%p] %m");
    char small[10];
    EXPECT_EQ(layout.Format(small, sizeof small, &e), 7 + 300);
    EXPECT_EQ(std::string(small, 7), "[WARN] ");
}

// Each thread keeps the text before the message for the current second, level, thread and layout:
// every one of these changing between two events must show in the second one.
TEST(PatternLayout, RendersEachEventAfreshAcrossSecondsDaysLevelsThreadsAndLayouts)
{
    const std::string message = "m";
    std::tm t{};
    t.tm_year = 2026 - 1900, t.tm_mon = 11, t.tm_mday = 31, t.tm_hour = 23, t.tm_min = 59, t.tm_sec = 59, t.tm_isdst = -1;
    const std::int64_t lastSecond = os::FromLocalTime(t) * os::kTicksPerSecond;
    LoggingEvent e = MakeEvent(message, LevelInfo);
    const PatternLayout layout("%d [%-5p] [%-8t] %m");
    const PatternLayout padded("<%25d|%-25d>%m");
    struct Step {
        std::int64_t ticks;
        std::int32_t level, thread;
        const PatternLayout* layout;
        const char* expected;
    };
    const Step steps[] = {
        {lastSecond + 9'980'000, LevelInfo, 42, &layout, "2026-12-31 23:59:59.998 [INFO ] [42      ] m"},
        {lastSecond + 9'990'000, LevelInfo, 42, &layout, "2026-12-31 23:59:59.999 [INFO ] [42      ] m"},
        {lastSecond + 10'000'000, LevelInfo, 42, &layout, "2027-01-01 00:00:00.000 [INFO ] [42      ] m"},
        {lastSecond + 10'070'000, LevelError, 42, &layout, "2027-01-01 00:00:00.007 [ERROR] [42      ] m"},
        {lastSecond + 10'070'000, LevelError, 7, &layout, "2027-01-01 00:00:00.007 [ERROR] [7       ] m"},
        {lastSecond + 10'560'000, LevelError, 7, &padded, "<  2027-01-01 00:00:00.056|2027-01-01 00:00:00.056  >m"},
        {lastSecond + 10'570'000, LevelError, 7, &layout, "2027-01-01 00:00:00.057 [ERROR] [7       ] m"},
        {lastSecond + 9'000'000, LevelError, 7, &layout, "2026-12-31 23:59:59.900 [ERROR] [7       ] m"},
    };
    for (const Step& step : steps) {
        e.m_TimeStamp = step.ticks;
        e.m_Level = step.level;
        e.m_ThreadId = step.thread;
        EXPECT_EQ(Render(*step.layout, e), step.expected);
    }
    {
        // A layout made where a destroyed one was must not reuse its text.
        const PatternLayout first("A %p %m");
        EXPECT_EQ(Render(first, e), "A ERROR m");
    }
    const PatternLayout second("B %p %m");
    EXPECT_EQ(Render(second, e), "B ERROR m");
}
