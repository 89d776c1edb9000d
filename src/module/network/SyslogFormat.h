#pragma once
// Syslog records: the header fields and the message of one event, as RFC 5424 or RFC 3164 lay them
// out, without the transport's framing.
//
//   RFC 5424: <14>1 2026-12-08T02:10:33.120+01:00 web1 shop 4242 - - the layout's text
//   RFC 3164: <14>Dec  8 02:10:33 web1 shop[4242]: the layout's text

#include <cstdint>
#include <string>
#include <string_view>

namespace Quorlin {

enum class SyslogFormat : std::uint8_t { Rfc5424, Rfc3164 };

struct SyslogHeader {
    SyslogFormat format = SyslogFormat::Rfc5424;
    int facility = 1;  // user-level messages
    std::string hostName;
    std::string appName;
    std::string procId;
};

// The syslog severity of a framework level: above ERROR 2 (critical), ERROR 3, WARN 4, INFO 6, below 7.
int SeverityOf(std::int32_t level) noexcept;

// A facility name ("user", "daemon", "local0" ... "local7", any case) or number (0 to 23); false otherwise.
bool ParseFacility(std::string_view text, int& facility);

// `text` as a header field: at most `maxLength` printable ASCII characters, others (blanks
// included) as '_', "-" when empty.
std::string HeaderField(std::string_view text, std::size_t maxLength);

// Appends the record of one event (level, ticks of its time stamp, rendered text) to `out`. Header
// fields are taken as given (make them with HeaderField). The message is data: every byte of valid
// UTF-8 passes as it is, line ends and NULs included, and what is no UTF-8 becomes U+FFFD.
void AppendRecord(std::string& out, const SyslogHeader& header, std::int32_t level, std::int64_t ticks, std::string_view text);

// Appends `text` with every invalid UTF-8 sequence replaced by U+FFFD.
void AppendValidUtf8(std::string& out, std::string_view text);

}  // namespace Quorlin
