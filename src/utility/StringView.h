#pragma once
// Non-owning string views that carry a 64-bit FNV-1a hash.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ORBEK::Utility {

inline constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;
inline constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;

// 64-bit FNV-1a over the character values; a wide ASCII text hashes like its narrow twin.
template <typename Ch>
constexpr std::uint64_t Fnv1a64(const Ch* text, std::size_t length) noexcept
{
    std::uint64_t hash = kFnvOffsetBasis;
    for (std::size_t i = 0; i < length; ++i) {
        using Unsigned = std::make_unsigned_t<Ch>;
        hash ^= static_cast<std::uint64_t>(static_cast<Unsigned>(text[i]));
        hash *= kFnvPrime;
    }
    return hash;
}

template <typename Ch>
constexpr std::int32_t TextLength(const Ch* text) noexcept
{
    std::int32_t n = 0;
    if (text != nullptr)
        while (text[n] != Ch(0))
            ++n;
    return n;
}

// Pointer, length and hash. Views made from literals (Literal, or the _qv suffix) carry the
// hash; views made at run time from zero-terminated text carry hash 0.
template <typename Ch>
struct StringView_Base {
    const Ch* m_pStr = nullptr;
    std::int32_t m_nLen = 0;
    std::uint64_t m_nHash = 0;

    constexpr StringView_Base() noexcept = default;
    constexpr StringView_Base(const Ch* text, std::int32_t length, std::uint64_t hash = 0) noexcept
        : m_pStr(text == nullptr ? EmptyText() : text), m_nLen(text == nullptr ? 0 : length), m_nHash(hash)
    {
    }
    // Run-time view of zero-terminated text: length by scanning, hash 0; null gives an empty view.
    constexpr StringView_Base(const Ch* text) noexcept : StringView_Base(text, TextLength(text), 0) {}
    constexpr StringView_Base(std::basic_string_view<Ch> text) noexcept
        : StringView_Base(text.data(), static_cast<std::int32_t>(text.size()), 0)
    {
    }

    template <std::size_t N>
    static constexpr StringView_Base Literal(const Ch (&text)[N]) noexcept
    {
        return StringView_Base(text, static_cast<std::int32_t>(N - 1), Fnv1a64(text, N - 1));
    }

    constexpr const Ch* Data() const noexcept { return m_pStr == nullptr ? EmptyText() : m_pStr; }
    constexpr std::int32_t GetLength() const noexcept { return m_nLen; }
    constexpr bool IsEmpty() const noexcept { return m_nLen == 0; }
    constexpr std::uint64_t GetHash() const noexcept { return m_nHash; }
    constexpr std::basic_string_view<Ch> View() const noexcept
    {
        return std::basic_string_view<Ch>(Data(), static_cast<std::size_t>(m_nLen));
    }
    constexpr std::uint64_t ComputeHash() const noexcept { return Fnv1a64(Data(), static_cast<std::size_t>(m_nLen)); }

    friend constexpr bool operator==(const StringView_Base& a, const StringView_Base& b) noexcept { return a.View() == b.View(); }

private:
    static constexpr const Ch* EmptyText() noexcept
    {
        if constexpr (sizeof(Ch) == 1)
            return "";
        else
            return L"";
    }
};

using StringView = StringView_Base<char>;
using WStringView = StringView_Base<wchar_t>;

namespace Literals {
constexpr StringView operator""_qv(const char* text, std::size_t n) noexcept
{
    return StringView(text, static_cast<std::int32_t>(n), Fnv1a64(text, n));
}
constexpr WStringView operator""_qv(const wchar_t* text, std::size_t n) noexcept
{
    return WStringView(text, static_cast<std::int32_t>(n), Fnv1a64(text, n));
}
}  // namespace Literals

}  // namespace ORBEK::Utility
