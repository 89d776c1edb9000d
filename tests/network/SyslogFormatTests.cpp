#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "Instants.h"
#include "TimeZone.h"
#include "network/SyslogFormat.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

SyslogHeader Fields(SyslogFormat format)
{
    SyslogHeader header;
    header.format = format;
    header.facility = 16;  // local0
    header.hostName = "web1";
    header.appName = "shop";
    header.procId = "4242";
    return header;
}

std::string Record(SyslogFormat format, std::int32_t level, std::int64_t ticks, std::string_view text)
{
    std::string out;
    AppendRecord(out, Fields(format), level, ticks, text);
    return out;
}

}  // namespace

TEST(SyslogFormat, LevelsMapToSeveritiesAndFacilitiesByNameOrNumber)
{
    const std::pair<std::int32_t, int> levels[] = {{120000, 2}, {80001, 2}, {80000, 3}, {70001, 3}, {70000, 4},
                                                   {50001, 4},  {50000, 6}, {40001, 6}, {40000, 7}, {0, 7}};
    for (const auto& [level, severity] : levels)
        EXPECT_EQ(SeverityOf(level), severity) << level;

    const std::pair<const char*, int> facilities[] = {{"user", 1}, {" LOCAL7 ", 23}, {"Daemon", 3}, {"0", 0}, {"23", 23}};
    for (const auto& [text, code] : facilities) {
        int facility = -1;
        EXPECT_TRUE(ParseFacility(text, facility)) << text;
        EXPECT_EQ(facility, code) << text;
    }
    for (const char* bad : {"24", "local8", "", "-1", "user1", "100"}) {
        int facility = 5;
        EXPECT_FALSE(ParseFacility(bad, facility)) << bad;
        EXPECT_EQ(facility, 5) << bad;
    }
}

TEST(SyslogFormat, HeaderFieldsArePrintableAsciiWithinTheirLength)
{
    EXPECT_EQ(HeaderField("my app", 48), "my_app");
    EXPECT_EQ(HeaderField("", 48), "-");
    EXPECT_EQ(HeaderField("h\xC3\xA9te", 255), "h__te");
    EXPECT_EQ(HeaderField(std::string(300, 'a'), 255), std::string(255, 'a'));
}

TEST(SyslogFormat, RecordsCarryPriorityLocalTimeWithOffsetAndTheFields)
{
    ScopedTimeZone zone(kCentralEurope);
    const std::int64_t summer = UtcTicks(2024, 7, 1, 12, 0, 5) + 1230000;  // .123
    const std::int64_t winter = UtcTicks(2024, 1, 9, 8, 30, 0) + 45000;    // .004
    const std::string a = Record(SyslogFormat::Rfc5424, 80000, summer, "disk full");
    const std::string b = Record(SyslogFormat::Rfc3164, 50000, winter, "started");
    if (LocalTimeIsCentralEuropean()) {
        EXPECT_EQ(a, "<131>1 2024-07-01T14:00:05.123+02:00 web1 shop 4242 - - disk full");
        EXPECT_EQ(Record(SyslogFormat::Rfc5424, 40000, winter, "x"), "<135>1 2024-01-09T09:30:00.004+01:00 web1 shop 4242 - - x");
        EXPECT_EQ(b, "<134>Jan  9 09:30:00 web1 shop[4242]: started");
    } else {
        EXPECT_TRUE(std::regex_match(a, std::regex(R"(<131>1 2024-07-01T\d\d:00:05\.123[+-]\d\d:\d\d web1 shop 4242 - - disk full)"))) << a;
        EXPECT_TRUE(std::regex_match(b, std::regex(R"(<134>Jan  9 \d\d:30:00 web1 shop\[4242\]: started)"))) << b;
    }
}

TEST(SyslogFormat, MessagesAreDataButAlwaysValidUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"line\nbreak\r\n", "line\nbreak\r\n"},
        {std::string("nul\0inside", 10), std::string("nul\0inside", 10)},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"\xC0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},                      // overlong NUL
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},     // a surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // beyond U+10FFFF
        {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},              // ends inside a character
    };
    for (const auto& [in, expected] : cases) {
        std::string out;
        AppendValidUtf8(out, in);
        EXPECT_EQ(out, expected);
    }
    const std::string record = Record(SyslogFormat::Rfc5424, 50000, UtcTicks(2024, 1, 1, 0, 0, 0), "a\xFF\n");
    EXPECT_EQ(record.substr(record.size() - 5), "a\xEF\xBF\xBD\n");
}
