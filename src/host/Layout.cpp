#include "Layout.h"

#include <atomic>
#include <cstring>
#include <ctime>

#include "Level.h"
#include "System.h"

namespace Quorlin {

// Appends into a bounded buffer and keeps counting past its end, so the caller learns the size it needs.
class PatternLayout::Cursor {
public:
    Cursor(char* buffer, std::int32_t size, std::int32_t length = 0) : m_Buffer(buffer), m_Size(size), m_Length(length) {}

    void Put(const char* text, std::int32_t length)
    {
        if (length <= 0)
            return;
        if (m_Length + length <= m_Size)
            std::memcpy(m_Buffer + m_Length, text, static_cast<std::size_t>(length));
        m_Length += length;
    }
    // As many of the spaces as still fit are written.
    void Pad(std::int32_t count)
    {
        if (count <= 0)
            return;
        const std::int32_t room = m_Size - m_Length;
        if (room > 0)
            std::memset(m_Buffer + m_Length, ' ', static_cast<std::size_t>(count < room ? count : room));
        m_Length += count;
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
    std::int32_t m_Length;
};

namespace {

constexpr std::int32_t kDateLength = 23;  // "YYYY-MM-DD HH:MM:SS.mmm"
constexpr std::int32_t kMillisecondsAt = 20;
constexpr std::int32_t kPrefixDates = 2;
constexpr std::int32_t kPrefixCapacity = 256;

std::atomic<std::uint64_t> g_NextLayoutId{1};

void SplitTicks(std::int64_t ticks, std::int64_t& second, std::int32_t& ms)
{
    second = ticks / Detail::System::kTicksPerSecond;
    std::int64_t rest = ticks % Detail::System::kTicksPerSecond;
    if (rest < 0) {
        rest += Detail::System::kTicksPerSecond;
        --second;
    }
    ms = static_cast<std::int32_t>(rest / 10000);
}

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

void Milliseconds(char* out, std::int32_t ms)
{
    out[0] = static_cast<char>('0' + ms / 100);
    TwoDigits(out + 1, ms % 100);
}

// "YYYY-MM-DD HH:MM:SS.mmm" in local time; the calendar part is cached per thread for the current second.
std::int32_t FormatDate(char* out, std::int64_t ticks)
{
    thread_local std::int64_t t_Second = INT64_MIN;
    thread_local char t_Text[20];
    std::int64_t second;
    std::int32_t ms;
    SplitTicks(ticks, second, ms);
    if (second != t_Second) {
        std::tm local{};
        if (!Detail::System::ToLocalTime(second, local))
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
    out[19] = '.';
    Milliseconds(out + kMillisecondsAt, ms);
    return kDateLength;
}

}  // namespace

Layout::~Layout() = default;

PatternLayout::PatternLayout(std::string_view pattern)
    : m_Id(g_NextLayoutId.fetch_add(1, std::memory_order_relaxed)), m_PrefixItems(0), m_MessageTail(false), m_Pattern(pattern)
{
    auto literal = [this](const char* text, std::size_t length) {
        if (length == 0)
            return;
        if (!m_Items.empty() && m_Items.back().kind == Kind::Literal &&
            m_Items.back().offset + m_Items.back().length == m_Literals.size()) {
            m_Items.back().length += static_cast<std::uint32_t>(length);
        } else {
            m_Items.push_back(
                {Kind::Literal, false, 0, static_cast<std::uint32_t>(m_Literals.size()), static_cast<std::uint32_t>(length)});
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
    std::int32_t dates = 0;
    while (m_PrefixItems < m_Items.size()) {
        const Kind kind = m_Items[m_PrefixItems].kind;
        if (kind == Kind::Message || kind == Kind::Logger || (kind == Kind::Date && ++dates > kPrefixDates))
            break;
        ++m_PrefixItems;
    }
    m_MessageTail = m_PrefixItems + 1 == m_Items.size() && m_Items.back().kind == Kind::Message && m_Items.back().width == 0;
}

// The text of a layout's leading items, up to its first message or logger conversion, changes only
// with the second, the level and the thread: each thread keeps the last one it rendered and rewrites
// only its milliseconds while those stay the same.
struct PatternLayout::Prefix {
    std::uint64_t layoutId = 0;  // 0: nothing cached
    std::int64_t second = 0;
    std::int32_t level = 0;
    std::int32_t threadId = 0;
    std::int32_t length = 0;
    std::int32_t msAt[kPrefixDates] = {};
    std::int32_t dates = 0;
    char text[kPrefixCapacity] = {};
};

void PatternLayout::RenderItems(Cursor& out, std::size_t begin, std::size_t end, const LoggingEvent* event, std::int32_t* msAt,
                                std::int32_t maxDates) const
{
    char scratch[32];
    std::int32_t dates = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const Item& item = m_Items[i];
        switch (item.kind) {
        case Kind::Literal: out.Put(m_Literals.data() + item.offset, static_cast<std::int32_t>(item.length)); break;
        case Kind::Date: {
            const std::int32_t pad = item.width > kDateLength ? item.width - kDateLength : 0;
            if (dates < maxDates)
                msAt[dates++] = out.Length() + (item.leftAlign ? 0 : pad) + kMillisecondsAt;
            out.Field(scratch, FormatDate(scratch, event->m_TimeStamp), item.width, item.leftAlign);
            break;
        }
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
            out.Field(event->m_Message, event->m_Message == nullptr ? 0 : event->m_MessageLength, item.width, item.leftAlign);
            break;
        }
    }
}

bool PatternLayout::RenderPrefix(Prefix& prefix, const LoggingEvent* event, std::int64_t second) const
{
    prefix.layoutId = 0;
    Cursor out(prefix.text, kPrefixCapacity);
    RenderItems(out, 0, m_PrefixItems, event, prefix.msAt, kPrefixDates);
    if (out.Length() > kPrefixCapacity)
        return false;
    prefix.layoutId = m_Id;
    prefix.second = second;
    prefix.level = event->m_Level;
    prefix.threadId = event->m_ThreadId;
    prefix.length = out.Length();
    prefix.dates = 0;
    for (const Item* item = m_Items.data(); item != m_Items.data() + m_PrefixItems; ++item)
        prefix.dates += item->kind == Kind::Date ? 1 : 0;
    return true;
}

// Not inlined: one look-up of the thread's cache per event. The compiler would otherwise repeat the
// thread-local address computation (a call, in a shared library) at every use.
[[gnu::noinline]] PatternLayout::Prefix& PatternLayout::ThreadPrefix()
{
    thread_local Prefix t_Prefix;
    return t_Prefix;
}

std::int32_t PatternLayout::Format(char* buffer, std::int32_t size, const LoggingEvent* event) const
{
    Prefix& prefix = ThreadPrefix();
    std::int64_t second;
    std::int32_t ms;
    SplitTicks(event->m_TimeStamp, second, ms);
    const bool cached = prefix.layoutId == m_Id && prefix.second == second && prefix.level == event->m_Level &&
                        prefix.threadId == event->m_ThreadId;
    if (m_PrefixItems == 0 || (!cached && !RenderPrefix(prefix, event, second)) || prefix.length > size) {
        Cursor out(buffer, size);
        RenderItems(out, 0, m_Items.size(), event, nullptr, 0);
        return out.Length();
    }
    for (std::int32_t d = 0; d < prefix.dates; ++d)
        Milliseconds(prefix.text + prefix.msAt[d], ms);
    std::memcpy(buffer, prefix.text, static_cast<std::size_t>(prefix.length));
    if (m_MessageTail) {
        const std::int32_t length = event->m_Message == nullptr || event->m_MessageLength < 0 ? 0 : event->m_MessageLength;
        if (length <= size - prefix.length)
            std::memcpy(buffer + prefix.length, event->m_Message, static_cast<std::size_t>(length));
        return prefix.length + length;
    }
    Cursor out(buffer, size, prefix.length);
    RenderItems(out, m_PrefixItems, m_Items.size(), event, nullptr, 0);
    return out.Length();
}

}  // namespace Quorlin
