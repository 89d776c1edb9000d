#include "SyslogFormat.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "os/Clock.h"

namespace Quorlin {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct FacilityName {
    const char* name;
    int code;
};

constexpr FacilityName kFacilities[] = {
    {"kern", 0},    {"user", 1},    {"mail", 2},    {"daemon", 3},  {"auth", 4},    {"syslog", 5},
    {"lpr", 6},     {"news", 7},    {"uucp", 8},    {"cron", 9},    {"authpriv", 10}, {"ftp", 11},
    {"local0", 16}, {"local1", 17}, {"local2", 18}, {"local3", 19}, {"local4", 20}, {"local5", 21},
    {"local6", 22}, {"local7", 23},
};

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// The time stamp of one second, formatted once per second and thread: local time rendering and the
// time zone lookup cost more than the rest of a record.
struct SecondText {
    std::int64_t second = INT64_MIN;
    char date[48] = {};  // "2026-12-08T02:10:33" or "Dec  8 02:10:33"
    char offset[8] = {};  // "+01:00"
};

void RenderSecond(SecondText& cache, std::int64_t second, SyslogFormat format)
{
    cache.second = second;
    std::tm local{};
    if (!os::ToLocalTime(second, local)) {
        std::memset(&local, 0, sizeof local);
        local.tm_year = 70;
        local.tm_mday = 1;
    }
    if (format == SyslogFormat::Rfc3164) {
        std::snprintf(cache.date, sizeof cache.date, "%s %2d %02d:%02d:%02d", kMonths[local.tm_mon % 12], local.tm_mday,
                      local.tm_hour, local.tm_min, local.tm_sec);
        return;
    }
    std::snprintf(cache.date, sizeof cache.date, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    const std::int64_t asUtc = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                             static_cast<unsigned>(local.tm_mday)) * 86400 +
                               local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const std::int64_t minutes = (asUtc - second) / 60;
    const std::int64_t magnitude = minutes < 0 ? -minutes : minutes;
    std::snprintf(cache.offset, sizeof cache.offset, "%c%02d:%02d", minutes < 0 ? '-' : '+',
                  static_cast<int>(magnitude / 60 % 100), static_cast<int>(magnitude % 60));
}

const SecondText& TimeOf(std::int64_t second, SyslogFormat format)
{
    thread_local SecondText cache[2];
    SecondText& slot = cache[format == SyslogFormat::Rfc3164 ? 1 : 0];
    if (slot.second != second)
        RenderSecond(slot, second, format);
    return slot;
}

void AppendNumber(std::string& out, unsigned value)
{
    char digits[12];
    const int n = std::snprintf(digits, sizeof digits, "%u", value);
    out.append(digits, static_cast<std::size_t>(n));
}

// Length of the valid UTF-8 sequence that starts `text` (RFC 3629), 0 when it is none.
std::size_t SequenceLength(const unsigned char* s, std::size_t available)
{
    const unsigned char lead = s[0];
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else
        return 0;
    if (available < length || s[1] < low || s[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (s[i] < 0x80 || s[i] > 0xBF)
            return 0;
    }
    return length;
}

}  // namespace

int SeverityOf(std::int32_t level) noexcept
{
    if (level > 80000)
        return 2;
    if (level > 70000)
        return 3;
    if (level > 50000)
        return 4;
    if (level > 40000)
        return 6;
    return 7;
}

bool ParseFacility(std::string_view text, int& facility)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string_view::npos) {
        const int code = text.size() == 1 ? text[0] - '0' : (text[0] - '0') * 10 + (text[1] - '0');
        if (code > 23)
            return false;
        facility = code;
        return true;
    }
    for (const FacilityName& row : kFacilities) {
        const std::size_t n = std::strlen(row.name);
        if (text.size() != n)
            continue;
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i)
            same = (text[i] | 0x20) == row.name[i];
        if (same) {
            facility = row.code;
            return true;
        }
    }
    return false;
}

std::string HeaderField(std::string_view text, std::size_t maxLength)
{
    std::string field(text.substr(0, maxLength));
    for (char& c : field) {
        if (c < 33 || c > 126)
            c = '_';
    }
    return field.empty() ? std::string("-") : field;
}

void AppendValidUtf8(std::string& out, std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t start = 0;  // of the valid run not yet appended
    for (std::size_t i = 0; i < size;) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = SequenceLength(s + i, size - i);
        if (n != 0) {
            i += n;
            continue;
        }
        out.append(text.data() + start, i - start);
        out.append("\xEF\xBF\xBD");
        start = ++i;
    }
    out.append(text.data() + start, size - start);
}

void AppendRecord(std::string& out, const SyslogHeader& header, std::int32_t level, std::int64_t ticks, std::string_view text)
{
    const std::int64_t second = ticks >= 0 ? ticks / os::kTicksPerSecond : (ticks + 1) / os::kTicksPerSecond - 1;
    const unsigned millisecond = static_cast<unsigned>((ticks - second * os::kTicksPerSecond) / 10000);
    const SecondText& time = TimeOf(second, header.format);
    out += '<';
    AppendNumber(out, static_cast<unsigned>(header.facility * 8 + SeverityOf(level)));
    if (header.format == SyslogFormat::Rfc3164) {
        out += '>';
        out += time.date;
        out += ' ';
        out += header.hostName;
        out += ' ';
        out += header.appName;
        out += '[';
        out += header.procId;
        out += "]: ";
    } else {
        out += ">1 ";
        out += time.date;
        const char fraction[5] = {'.', static_cast<char>('0' + millisecond / 100), static_cast<char>('0' + millisecond / 10 % 10),
                                  static_cast<char>('0' + millisecond % 10), 0};
        out += fraction;
        out += time.offset;
        out += ' ';
        out += header.hostName;
        out += ' ';
        out += header.appName;
        out += ' ';
        out += header.procId;
        out += " - - ";
    }
    AppendValidUtf8(out, text);
}

}  // namespace Quorlin
