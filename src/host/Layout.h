#pragma once
// Layouts turn an event into text. PatternLayout renders %d %p %t %c %m %% with widths.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "LoggingEvent.h"

namespace Quorlin {

class QUORLIN_API Layout {
public:
    virtual ~Layout();
    // Formats the event into buffer (size characters, no terminator written). Returns the length of
    // the text; a result greater than size means it did not fit, and is the size it needs.
    virtual std::int32_t Format(char* buffer, std::int32_t size, const LoggingEvent* event) const = 0;
};

// Conversions: %d local date and time with milliseconds (2026-12-06 11:19:31.123), %p level name,
// %t thread id, %c logger name, %m message, %% a percent sign; each may carry a width, and '-'
// justifies left (%-5p). Any other character after '%' is written as it stands. No line end is added.
class QUORLIN_API PatternLayout : public Layout {
public:
    static constexpr const char* kDefaultPattern = "%d [%p] [%t] %m";

    explicit PatternLayout(std::string_view pattern = kDefaultPattern);
    std::int32_t Format(char* buffer, std::int32_t size, const LoggingEvent* event) const override;
    const std::string& GetPattern() const { return m_Pattern; }

private:
    class Cursor;
    struct Prefix;
    enum class Kind : std::uint8_t { Literal, Date, Level, Thread, Logger, Message };
    struct Item {
        Kind kind;
        bool leftAlign;
        std::int32_t width;
        std::uint32_t offset;  // literal text in m_Literals
        std::uint32_t length;
    };

    // Renders items [begin, end); the offsets of the first maxDates dates' milliseconds go to msAt.
    void RenderItems(Cursor& out, std::size_t begin, std::size_t end, const LoggingEvent* event, std::int32_t* msAt,
                     std::int32_t maxDates) const;
    // Renders this layout's prefix for the event into the thread's cache; false when it does not fit there.
    bool RenderPrefix(Prefix& prefix, const LoggingEvent* event, std::int64_t second) const;
    static Prefix& ThreadPrefix();

    std::uint64_t m_Id;         // tells this layout's cached prefix from another's on the same thread
    std::size_t m_PrefixItems;  // the leading items that depend only on the second, level and thread
    bool m_MessageTail;         // the prefix is followed by the message alone, without a width
    std::string m_Pattern;
    std::string m_Literals;
    std::vector<Item> m_Items;
};

}  // namespace Quorlin
