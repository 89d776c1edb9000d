// PatternToFileName with a fuzzed pattern and time: never fails, keeps text without tokens as it is,
// and keeps every {RollingIndex} for the rolling code to fill in later.
//
// Input: eight bytes of seconds since 1970 (any value, negative and far future included), then the pattern.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/Utility.h"
#include "utility/DString.h"

namespace {

template <typename S>
std::size_t Count(const S& text, const S& token)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(token); at != S::npos; at = text.find(token, at + token.size()))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 8 || size > 4096)
        return 0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    const auto seconds = static_cast<std::int64_t>(bits);
    std::string pattern(reinterpret_cast<const char*>(data + 8), size - 8);
    pattern = pattern.c_str();  // the pattern is a C string

    const ORBEK::Utility::WString name = Quorlin::Utility::PatternToFileName(pattern.c_str(), &seconds);
    const std::wstring result(name.StdView());

    bool ascii = true;
    for (unsigned char c : pattern)
        ascii = ascii && c < 0x80;
    if (!ascii)
        return 0;
    const std::wstring widePattern(pattern.begin(), pattern.end());
    if (pattern.find('{') == std::string::npos && result != widePattern)
        std::abort();
    // Only a global-map token can swallow another token's text ("{GlobalMap:{RollingIndex}").
    if (pattern.find("GlobalMap:") == std::string::npos &&
        Count(result, std::wstring(L"{RollingIndex}")) != Count(widePattern, std::wstring(L"{RollingIndex}")))
        std::abort();
    return 0;
}
