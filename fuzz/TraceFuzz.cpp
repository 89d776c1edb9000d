// FormatTrace with a fuzzed template and fuzzed arguments of every kind, into small and large buffers.
//
// Input: one byte choosing the capacity, the template up to '\n', the narrow text argument up to the
// next '\n', eight bytes of integer, then the wide text argument, three bytes a character.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/Trace.h"

namespace {

std::string TakeLine(const std::uint8_t*& p, const std::uint8_t* end)
{
    const auto* nl = static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const std::uint8_t* stop = nl != nullptr ? nl : end;
    std::string line(reinterpret_cast<const char*>(p), static_cast<std::size_t>(stop - p));
    p = nl != nullptr ? nl + 1 : end;
    return line;
}

} // namespace

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
    return 0;
}
