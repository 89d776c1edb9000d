// FormatTrace with a fuzzed template and fuzzed arguments of every kind, into small and large buffers.
//
// Input: one byte choosing the capacity, the template up to '\n', the narrow text argument up to the
// next '\n', eight bytes of integer, then the wide text argument, three bytes a character.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/Trace.h"

namespace {

// Strict UTF-8: shortest forms only, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(const char* text, std::int32_t length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (std::int32_t i = 0; i < length;) {
        const unsigned char b = p[i];
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= length)
            return false;
        char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += 1 + extra;
    }
    return true;
}

std::string TakeLine(const std::uint8_t*& p, const std::uint8_t* end)
{
    const auto* nl = static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const std::uint8_t* stop = nl != nullptr ? nl : end;
    std::string line(reinterpret_cast<const char*>(p), static_cast<std::size_t>(stop - p));
    p = nl != nullptr ? nl + 1 : end;
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t selector = data[0];
    // Mostly tiny buffers, where cutting matters; now and then one larger than any template here.
    const std::int32_t capacity = (selector & 0x80) != 0 ? 4096 + (selector & 0x7F) : (selector & 0x3F);
    const std::uint8_t* p = data + 1;
    const std::uint8_t* end = data + size;

    const std::string pattern = TakeLine(p, end);  // c_str() ends it at the first NUL, as a caller's would
    const std::string text = TakeLine(p, end);
    std::uint64_t bits = 0;
    for (int i = 0; i < 8 && p < end; ++i)
        bits |= static_cast<std::uint64_t>(*p++) << (8 * i);
    std::wstring wide;
    for (; p < end; p += 3) {
        std::uint32_t c = 0;
        for (int i = 0; i < 3 && p + i < end; ++i)
            c |= static_cast<std::uint32_t>(p[i]) << (8 * i);
        wide.push_back(static_cast<wchar_t>(c));
    }

    const Quorlin::TraceArg args[] = {
        Quorlin::TraceArg(static_cast<std::int32_t>(bits)),
        Quorlin::TraceArg(static_cast<std::int64_t>(bits)),
        Quorlin::TraceArg(bits),
        Quorlin::TraceArg(std::string_view(text)),
        Quorlin::TraceArg(ORBEK::Utility::WStringView(wide.data(), static_cast<std::int32_t>(wide.size()))),
        Quorlin::TraceArg(static_cast<const char*>(nullptr)),
        Quorlin::TraceArg(static_cast<const wchar_t*>(nullptr)),
    };
    const auto count = static_cast<std::int32_t>(sizeof args / sizeof args[0]);

    // Exactly capacity + 1 bytes on the heap, so that a write past the terminator is caught.
    std::vector<char> out(static_cast<std::size_t>(capacity) + 1, '\x7f');
    const std::int32_t n = Quorlin::FormatTrace(out.data(), capacity, pattern.c_str(), args, count);
    if (n < 0 || n > capacity || out[static_cast<std::size_t>(n)] != '\0')
        std::abort();

    // Wide text alone: whatever the characters and wherever the cut, the output is valid UTF-8.
    std::vector<char> wideOut(static_cast<std::size_t>(capacity) + 1);
    const std::int32_t m = Quorlin::FormatTrace(wideOut.data(), capacity, "{4}", args, count);
    if (m < 0 || m > capacity || wideOut[static_cast<std::size_t>(m)] != '\0' || !IsUtf8(wideOut.data(), m))
        std::abort();
    return 0;
}
