#include "RelpFrame.h"

#include <cstdio>

namespace Quorlin {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A byte as the diagnostics show it: 'x' when printable, 0x0A otherwise.
std::string Shown(char c)
{
    char text[8];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F)
        std::snprintf(text, sizeof text, "'%c'", c);
    else
        std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

void AppendNumber(std::string& out, std::uint64_t value)
{
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
    out.append(digits, static_cast<std::size_t>(n));
}

}  // namespace

void AppendRelpFrame(std::string& out, std::uint32_t txnr, std::string_view command, std::string_view data)
{
    AppendNumber(out, txnr);
    out += ' ';
    out += command;
    out += ' ';
    AppendNumber(out, data.size());
    if (!data.empty()) {
        out += ' ';
        out += data;
    }
    out += '\n';
}

void RelpFrameReader::Feed(const char* data, std::size_t size)
{
    if (!m_Error.empty())
        return;
    // What earlier frames used is dropped once it is most of the buffer, so that it stays near one frame.
    if (m_Start > 0 && m_Start >= m_Buffer.size() / 2) {
        m_Buffer.erase(0, m_Start);
        m_Start = 0;
    }
    m_Buffer.append(data, size);
}

RelpFrameReader::Result RelpFrameReader::Fail(std::string reason)
{
    m_Error = std::move(reason);
    m_Buffer.clear();
    m_Start = 0;
    return Result::Error;
}

RelpFrameReader::Result RelpFrameReader::Next(RelpFrame& frame)
{
    if (!m_Error.empty())
        return Result::Error;
    const std::string_view in = std::string_view(m_Buffer).substr(m_Start);
    std::size_t at = 0;

    // A number of 1 to 9 digits ending in `end` (or, for DATALEN, in a space or LF).
    std::uint32_t txnr = 0, length = 0;
    auto number = [&](const char* what, std::uint32_t& value, bool endsInLf) -> Result {
        const std::size_t first = at;
        value = 0;
        while (at < in.size() && IsDigit(in[at])) {
            if (at - first == 9)
                return Fail(std::string("malformed frame: ") + what + " has more than 9 digits");
            value = value * 10 + static_cast<std::uint32_t>(in[at] - '0');
            ++at;
        }
        if (at == in.size())
            return Result::NeedMore;
        if (at == first)
            return Fail(std::string("malformed frame: ") + what + " expected, found " + Shown(in[at]));
        if (in[at] != ' ' && !(endsInLf && in[at] == '\n'))
            return Fail(std::string("malformed frame: ") + what + " followed by " + Shown(in[at]));
        return Result::Frame;
    };

    if (const Result r = number("transaction number", txnr, false); r != Result::Frame)
        return r;
    const std::size_t commandStart = ++at;
    while (at < in.size() && IsAlpha(in[at])) {
        if (at - commandStart == kRelpMaxCommand)
            return Fail("malformed frame: command longer than 32 letters");
        ++at;
    }
    if (at == in.size())
        return Result::NeedMore;
    if (at == commandStart || in[at] != ' ')
        return Fail("malformed frame: command expected, found " + Shown(in[at]));
    const std::string_view command = in.substr(commandStart, at - commandStart);
    ++at;
    if (const Result r = number("data length", length, true); r != Result::Frame)
        return r;
    if (length > m_MaxData)
        return Fail("malformed frame: data length " + std::to_string(length) + " exceeds the limit of " +
                    std::to_string(m_MaxData));
    if (length == 0 && in[at] != '\n')
        return Fail("malformed frame: data length 0 followed by " + Shown(in[at]));
    if (length > 0 && in[at] != ' ')
        return Fail("malformed frame: data length followed by " + Shown(in[at]));
    const std::size_t dataStart = length == 0 ? at : at + 1;
    if (in.size() - dataStart < std::size_t{length} + 1)
        return Result::NeedMore;
    if (in[dataStart + length] != '\n')
        return Fail("malformed frame: no LF after " + std::to_string(length) + " data bytes, found " +
                    Shown(in[dataStart + length]));

    frame.txnr = txnr;
    frame.command.assign(command);
    frame.data.assign(in.substr(dataStart, length));
    m_Start += dataStart + length + 1;
    if (m_Start == m_Buffer.size()) {
        m_Buffer.clear();
        m_Start = 0;
    }
    return Result::Frame;
}

}  // namespace Quorlin
