#include "Trace.h"

#include <cstdio>
#include <cstring>

#include "host/ThreadContext.h"
#include "utility/StringOps.h"

namespace Quorlin {
namespace {

class Output {
public:
    Output(char* out, std::int32_t capacity) : m_Out(out), m_Capacity(capacity < 0 ? 0 : capacity) {}

    std::int32_t Left() const { return m_Capacity - m_Length; }
    void Put(const char* text, std::int32_t n)
    {
        if (n > Left())
            n = Left();
        if (n > 0) {
            std::memcpy(m_Out + m_Length, text, static_cast<std::size_t>(n));
            m_Length += n;
        }
    }
    void Put(char c) { Put(&c, 1); }
    void Spaces(std::int32_t n)
    {
        for (; n > 0 && Left() > 0; --n)
            Put(' ');
    }
    // One printf conversion, written only when it fits whole.
    template <typename T>
    void Printf(const char* format, T value)
    {
        const int n = std::snprintf(m_Out + m_Length, static_cast<std::size_t>(Left()) + 1, format, value);
        if (n > 0 && n <= Left())
            m_Length += n;
        else
            m_Out[m_Length] = '\0';
    }
    std::int32_t Finish()
    {
        m_Out[m_Length] = '\0';
        return m_Length;
    }

private:
    char* m_Out;
    std::int32_t m_Capacity;
    std::int32_t m_Length = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Up to three digits at text[0..n): the width or decimals of a format part; -1 when there are none.
int ReadDigits(const char* text, std::int32_t n)
{
    int value = -1;
    for (std::int32_t i = 0; i < n && i < 3 && IsDigit(text[i]); ++i)
        value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
    return value;
}

void WriteWideAsUtf8(Output& out, const wchar_t* text, std::int32_t length)
{
    char bytes[4];
    for (std::int32_t i = 0; i < length && out.Left() > 0;) {
        const int n = ORBEK::Utility::EncodeUtf8(ORBEK::Utility::NextCodePoint(text, length, i), bytes);
        if (n > out.Left())
            break;  // never half a character
        out.Put(bytes, n);
    }
}

std::int32_t Utf8Length(const wchar_t* text, std::int32_t length)
{
    std::int32_t n = 0;
    char bytes[4];
    for (std::int32_t i = 0; i < length;)
        n += ORBEK::Utility::EncodeUtf8(ORBEK::Utility::NextCodePoint(text, length, i), bytes);
    return n;
}

void WriteText(Output& out, const TraceArg& arg, const char* format, std::int32_t formatLength)
{
    bool left = false;
    if (formatLength > 0 && (format[0] == '-' || format[0] == '+')) {
        left = format[0] == '-';
        ++format, --formatLength;
    }
    const int width = ReadDigits(format, formatLength);
    const bool wide = arg.kind == TraceArg::Kind::WideText;
    const bool null = wide ? arg.wide == nullptr : arg.text == nullptr;
    const std::int32_t length = null ? 4 : wide ? Utf8Length(arg.wide, arg.length) : arg.length;
    if (!left)
        out.Spaces(width - length);
    if (null)
        out.Put("null", 4);
    else if (wide)
        WriteWideAsUtf8(out, arg.wide, arg.length);
    else
        out.Put(arg.text, arg.length);
    if (left)
        out.Spaces(width - length);
}

void WriteInteger(Output& out, const TraceArg& arg, const char* format, std::int32_t formatLength)
{
    const bool is64 = arg.kind != TraceArg::Kind::Int32;
    const bool isUnsigned = arg.kind == TraceArg::Kind::UInt64;
    if (formatLength == 0) {
        if (isUnsigned)
            out.Printf("%llu", static_cast<unsigned long long>(arg.u));
        else
            out.Printf("%lld", static_cast<long long>(arg.i));
        return;
    }
    char letter = format[0];
    if (letter == 'D')
        letter = 'd';
    else if (letter == 'U')
        letter = 'u';
    const int digits = ReadDigits(format + 1, formatLength - 1);
    char conversion[16];
    switch (letter) {
    case 'c':
    case 'C': out.Put(static_cast<char>(arg.u & 0xFF)); return;
    case 'f':
    case 'F': {
        const double value = isUnsigned ? static_cast<double>(arg.u) : static_cast<double>(arg.i);
        if (digits < 0)
            out.Printf("%f", value);
        else {
            std::snprintf(conversion, sizeof conversion, "%%.%df", digits);
            out.Printf(conversion, value);
        }
        return;
    }
    case 'd':
    case 'u':
    case 'x':
    case 'X': {
        // The digits after the letter are the conversion's width, leading zero included ("x08" is %08x).
        std::int32_t widthLength = 0;
        while (widthLength < 3 && 1 + widthLength < formatLength && IsDigit(format[1 + widthLength]))
            ++widthLength;
        std::snprintf(conversion, sizeof conversion, "%%%.*s%s%c", static_cast<int>(widthLength), format + 1, is64 ? "ll" : "",
                      letter);
        if (is64)
            out.Printf(conversion, static_cast<unsigned long long>(arg.u));
        else
            out.Printf(conversion, static_cast<int>(arg.i));
        return;
    }
    default: return;  // an unknown letter writes nothing
    }
}

void WriteArgument(Output& out, const TraceArg& arg, const char* format, std::int32_t formatLength)
{
    if (arg.kind == TraceArg::Kind::Text || arg.kind == TraceArg::Kind::WideText)
        WriteText(out, arg, format, formatLength);
    else
        WriteInteger(out, arg, format, formatLength);
}

}  // namespace

std::int32_t FormatTrace(char* buffer, std::int32_t capacity, const char* pattern, const TraceArg* args,
                         std::int32_t count) noexcept
{
    Output out(buffer, capacity);
    if (pattern == nullptr)
        return out.Finish();
    int counter = -1;
    const char* p = pattern;
    while (*p != '\0' && out.Left() > 0) {
        if (*p != '{') {
            const char* run = p;
            while (*p != '\0' && *p != '{')
                ++p;
            out.Put(run, static_cast<std::int32_t>(p - run));
            continue;
        }
        const char* inner = ++p;
        while (*p != '\0' && *p != '}')
            ++p;
        const char* innerEnd = p;
        if (*p == '}')
            ++p;
        // Sequential when a '$' occurs; else the first digits (two at most) name the argument.
        int number = -1;
        const char* afterNumber = innerEnd;
        const char* dollar = static_cast<const char*>(std::memchr(inner, '$', static_cast<std::size_t>(innerEnd - inner)));
        if (dollar != nullptr) {
            number = counter + 1;
            afterNumber = dollar + 1;
        } else {
            const char* d = inner;
            while (d < innerEnd && !IsDigit(*d))
                ++d;
            if (d < innerEnd) {
                number = *d - '0';
                const char* q = d + 1;
                if (q < innerEnd && IsDigit(*q))
                    number = number * 10 + (*q - '0');
                while (q < innerEnd && IsDigit(*q))
                    ++q;
                afterNumber = q;
            }
        }
        counter = number;
        const char* format = afterNumber;
        std::int32_t formatLength = 0;
        if (number >= 0) {
            const char* colon = static_cast<const char*>(
                std::memchr(afterNumber, ':', static_cast<std::size_t>(innerEnd - afterNumber)));
            if (colon != nullptr) {
                format = colon + 1;
                formatLength = static_cast<std::int32_t>(innerEnd - format);
            }
        }
        if (number >= 0 && number < count)
            WriteArgument(out, args[number], format, formatLength);
    }
    return out.Finish();
}

void TraceText(std::int32_t level, const char* text, std::int32_t length) noexcept
{
    if (LogLog::gLogger.load(std::memory_order_relaxed) == nullptr)
        return;
    char* buffer = ThreadContext::TLSInternal::Get();
    if (buffer == nullptr)
        return;
    const std::int32_t capacity = ThreadContext::TLSInternal::Size() - 4;
    const std::int32_t n = text == nullptr ? 0 : (length < capacity ? length : capacity);
    if (n > 0)
        std::memcpy(buffer, text, static_cast<std::size_t>(n));
    buffer[n < 0 ? 0 : n] = '\0';
    LogLog::Flush(level, buffer, n < 0 ? 0 : n);
}

void Trace(std::int32_t level, const char* text) noexcept { TraceText(level, text, ORBEK::Utility::TextLength(text)); }

void TraceFormatted(std::int32_t level, const char* pattern, const TraceArg* args, std::int32_t count) noexcept
{
    if (LogLog::gLogger.load(std::memory_order_relaxed) == nullptr)
        return;
    char* buffer = ThreadContext::TLSInternal::Get();
    if (buffer == nullptr)
        return;
    const std::int32_t n = FormatTrace(buffer, ThreadContext::TLSInternal::Size() - 4, pattern, args, count);
    LogLog::Flush(level, buffer, n);
}

DString FormatToDString(const char* pattern, const TraceArg* args, std::int32_t count)
{
    char* buffer = ORBEK::Utility::DString_TLSBuffer_Get();
    if (buffer == nullptr)
        return DString();
    // The library buffer holds Size characters; one is kept for the terminator.
    const std::int32_t n = FormatTrace(buffer, ORBEK::Utility::DString_TLSBuffer_Size() - 1, pattern, args, count);
    DString text;
    std::memcpy(text.GetBufferSetLength(n), buffer, static_cast<std::size_t>(n));
    return text;
}

}  // namespace Quorlin
