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
