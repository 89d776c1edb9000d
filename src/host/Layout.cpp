#include "Layout.h"

#include <cstring>
#include <ctime>

#include "Level.h"
#include "os/Clock.h"

namespace Quorlin {
namespace {

// Appends into a bounded buffer and keeps counting past its end, so the caller learns the size it needs.
class Cursor {
public:
    Cursor(char* buffer, std::int32_t size) : m_Buffer(buffer), m_Size(size) {}

    void Put(const char* text, std::int32_t length)
    {
        if (length <= 0)
            return;
        if (m_Length + length <= m_Size)
            std::memcpy(m_Buffer + m_Length, text, static_cast<std::size_t>(length));
        m_Length += length;
    }
    void Pad(std::int32_t count)
    {
        for (; count > 0; --count)
            Put(" ", 1);
    }
    void Field(const char* text, std::int32_t length, std::int32_t width, bool leftAlign)
    {
        if (!leftAlign)
            Pad(width - length);
        Put(text, length);
        if (leftAlign)
            Pad(width - length);
    }
    std::int32_t Length() const { return m_Length; }

private:
    char* m_Buffer;
    std::int32_t m_Size;
    std::int32_t m_Length = 0;
};

std::int32_t FormatUnsigned(char* out, std::uint64_t value)
{
    char digits[24];
    std::int32_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (std::int32_t i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

void TwoDigits(char* out, int value)
{
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
}

// "YYYY-MM-DD HH:MM:SS.mmm" in local time; the calendar part is cached per thread for the current second.
std::int32_t FormatDate(char* out, std::int64_t ticks)
{
    thread_local std::int64_t t_Second = INT64_MIN;
    thread_local char t_Text[20];
    std::int64_t second = ticks / os::kTicksPerSecond;
    std::int64_t rest = ticks % os::kTicksPerSecond;
    if (rest < 0) {
        rest += os::kTicksPerSecond;
        --second;
    }
    if (second != t_Second) {
        std::tm local{};
        if (!os::ToLocalTime(second, local))
            local = std::tm{};
        const int year = local.tm_year + 1900;
        t_Text[0] = static_cast<char>('0' + year / 1000 % 10);
        t_Text[1] = static_cast<char>('0' + year / 100 % 10);
        TwoDigits(t_Text + 2, year % 100);
        t_Text[4] = '-';
        TwoDigits(t_Text + 5, local.tm_mon + 1);
        t_Text[7] = '-';
        TwoDigits(t_Text + 8, local.tm_mday);
        t_Text[10] = ' ';
        TwoDigits(t_Text + 11, local.tm_hour);
        t_Text[13] = ':';
        TwoDigits(t_Text + 14, local.tm_min);
        t_Text[16] = ':';
        TwoDigits(t_Text + 17, local.tm_sec);
        t_Second = second;
    }
    std::memcpy(out, t_Text, 19);
    const int ms = static_cast<int>(rest / 10000);
    out[19] = '.';
    out[20] = static_cast<char>('0' + ms / 100);
    TwoDigits(out + 21, ms % 100);
    return 23;
}

} // namespace

Layout::~Layout() = default;

PatternLayout::PatternLayout(std::string_view pattern) : m_Pattern(pattern)
{
    auto literal = [this](const char* text, std::size_t length) {
        if (length == 0)
            return;
        if (!m_Items.empty() && m_Items.back().kind == Kind::Literal &&
            m_Items.back().offset + m_Items.back().length == m_Literals.size()) {
            m_Items.back().length += static_cast<std::uint32_t>(length);
        } else {
            m_Items.push_back({Kind::Literal, false, 0, static_cast<std::uint32_t>(m_Literals.size()),
                               static_cast<std::uint32_t>(length)});
        }
        m_Literals.append(text, length);
    };
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '%' || i + 1 >= pattern.size()) {
            literal(&pattern[i], 1);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        const bool left = pattern[j] == '-';
        if (left)
            ++j;
        std::int32_t width = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && width < 10000)
            width = width * 10 + (pattern[j++] - '0');
        if (j >= pattern.size()) {
            literal(&pattern[i], j - i);
            break;
        }
        Kind kind;
        switch (pattern[j]) {
        case 'd': kind = Kind::Date; break;
        case 'p': kind = Kind::Level; break;
        case 't': kind = Kind::Thread; break;
        case 'c': kind = Kind::Logger; break;
        case 'm': kind = Kind::Message; break;
        case '%':
            literal("%", 1);
            i = j + 1;
            continue;
        default:  // not a conversion: written as it stands
            literal(&pattern[i], j + 1 - i);
            i = j + 1;
            continue;
        }
        m_Items.push_back({kind, left, width, 0, 0});
        i = j + 1;
    }
}

std::int32_t PatternLayout::Format(char* buffer, std::int32_t size, const LoggingEvent* event) const
{
    Cursor out(buffer, size);
    char scratch[32];
    for (const Item& item : m_Items) {
        switch (item.kind) {
        case Kind::Literal:
            out.Put(m_Literals.data() + item.offset, static_cast<std::int32_t>(item.length));
            break;
        case Kind::Date:
            out.Field(scratch, FormatDate(scratch, event->m_TimeStamp), item.width, item.leftAlign);
            break;
        case Kind::Level: {
            const char* name = LevelName(event->m_Level);
            out.Field(name, static_cast<std::int32_t>(std::strlen(name)), item.width, item.leftAlign);
            break;
        }
        case Kind::Thread:
            out.Field(scratch, FormatUnsigned(scratch, static_cast<std::uint32_t>(event->m_ThreadId)), item.width,
                      item.leftAlign);
            break;
        case Kind::Logger:
            out.Field(event->m_LoggerName.c_str(), event->m_LoggerName.GetLength(), item.width, item.leftAlign);
            break;
        case Kind::Message:
            out.Field(event->m_Message, event->m_Message == nullptr ? 0 : event->m_MessageLength, item.width,
                      item.leftAlign);
            break;
        }
    }
    return out.Length();
}

} // namespace Quorlin
