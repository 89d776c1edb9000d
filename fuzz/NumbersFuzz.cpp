// Number and size texts: ParseInt (narrow and wide alike), TryParseBool against ParseBool, and the
// size trigger's "/maxFileSize/value" option, whose limit is never under 4096 once activated.

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "file/SizeBasedTriggerPolicy.h"
#include "utility/DString.h"
#include "utility/StringOps.h"

namespace {

using ORBEK::Utility::StringView;
using ORBEK::Utility::WStringView;

// What atoi would give without overflow, clamped to int32: the meaning ParseInt promises.
std::int32_t Expected(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value <= 1LL << 40)  // far beyond int32 already; stop growing
            value = value * 10 + (text[i] - '0');
    if (negative)
        value = -value;
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const StringView view(text.data(), static_cast<std::int32_t>(text.size()));

    const std::int32_t number = ORBEK::Utility::ParseInt(view);
    if (number != Expected(text))
        std::abort();
    // The same characters, one wide character per byte, read the same.
    std::wstring wide;
    for (unsigned char c : text)
        wide.push_back(static_cast<wchar_t>(c));
    if (ORBEK::Utility::ParseInt(WStringView(wide.data(), static_cast<std::int32_t>(wide.size()))) != number)
        std::abort();

    bool value = false;
    const bool known = ORBEK::Utility::TryParseBool(view, value);
    if (ORBEK::Utility::ParseBool(view) != (known && value))
        std::abort();

    Quorlin::SizeBasedTriggerPolicy policy;
    const ORBEK::Utility::DString option(text.data(), static_cast<std::int32_t>(text.size()));
    policy.SetOption("/maxFileSize/value", option);
    policy.ActivateOptions();
    const std::uint64_t limit = policy.GetMaxFileSize();
    if (limit < 4096 || !policy.IsTriggered(nullptr, nullptr, limit) || policy.IsTriggered(nullptr, nullptr, limit - 1))
        std::abort();
    // A text ending in a digit has no unit: the limit is the number itself (raised to 4096).
    if (!text.empty() && text.back() >= '0' && text.back() <= '9' && number >= 4096 &&
        limit != static_cast<std::uint64_t>(number))
        std::abort();
    return 0;
}
