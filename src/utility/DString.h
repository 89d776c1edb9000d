#pragma once
// DString and WString: owned, growable, zero-terminated strings of char and wchar_t. Short texts
// (up to 15 chars, or 16 bytes with the terminator) live inside the string itself and allocate nothing.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

#include "StringOps.h"
#include "StringView.h"

namespace ORBEK::Utility {

template <typename Ch>
class BasicString {
public:
    using View = StringView_Base<Ch>;

    // Characters that fit inside the string, terminator excluded.
    static constexpr std::int32_t kInlineCapacity = static_cast<std::int32_t>(16 / sizeof(Ch)) - 1;

    BasicString() noexcept = default;
    BasicString(const BasicString& other) { Assign(other.c_str(), other.m_nLength); }
    BasicString(BasicString&& other) noexcept { TakeFrom(other); }
    BasicString(View text) { Assign(text.Data(), text.GetLength()); }
    BasicString(const Ch* text, std::int32_t length) { Assign(text, text == nullptr ? 0 : length); }
    BasicString(const Ch* text) : BasicString(View(text)) {}
    BasicString(std::basic_string_view<Ch> text) : BasicString(View(text)) {}
    // Wide copy of UTF-8 text.
    explicit BasicString(const BasicString<char>& narrow) requires(!std::is_same_v<Ch, char>)
    {
        const std::wstring wide = Utf8ToWide(narrow);
        Assign(wide.data(), static_cast<std::int32_t>(wide.size()));
    }
    ~BasicString() { Release(); }

    BasicString& operator=(const BasicString& other)
    {
        if (this != &other)
            Assign(other.c_str(), other.m_nLength);
        return *this;
    }
    BasicString& operator=(BasicString&& other) noexcept
    {
        if (this != &other) {
            Release();
            TakeFrom(other);
        }
        return *this;
    }
    BasicString& operator=(View text) { return AssignView(text); }
    BasicString& operator=(const Ch* text) { return AssignView(View(text)); }
    // List assignment: the pieces joined in order.
    BasicString& operator=(std::initializer_list<View> pieces)
    {
        BasicString joined;
        for (const View& piece : pieces)
            joined.Append(piece);
        return *this = std::move(joined);
    }
    // Joins zero-terminated pieces; null pieces are skipped.
    BasicString& Assign(std::initializer_list<const Ch*> pieces)
    {
        BasicString joined;
        for (const Ch* piece : pieces)
            joined.Append(View(piece));
        return *this = std::move(joined);
    }

    std::int32_t GetLength() const noexcept { return m_nLength; }
    bool IsEmpty() const noexcept { return m_nLength == 0; }
    const Ch* c_str() const noexcept { return m_pData == nullptr ? View().Data() : m_pData; }
    // Writable characters; null while the string has never held storage.
    Ch* GetBuffer() noexcept { return m_pData; }
    operator View() const noexcept { return View(c_str(), m_nLength); }
    std::basic_string_view<Ch> StdView() const noexcept { return {c_str(), static_cast<std::size_t>(m_nLength)}; }
    Ch operator[](std::int32_t i) const noexcept { return c_str()[i]; }

    // Length 0; the storage stays for reuse.
    void Clear() noexcept
    {
        m_nLength = 0;
        if (m_pData != nullptr)
            m_pData[0] = Ch(0);
    }
    // Back to the state of a new string, storage released.
    void Init() noexcept
    {
        Release();
        m_pData = nullptr;
        m_nLength = m_nCapacity = 0;
    }
    void Reserve(std::int32_t capacity)
    {
        if (capacity > m_nCapacity)
            Grow(capacity);
    }
    // A writable buffer of n characters (plus the terminator); the length becomes n.
    Ch* GetBufferSetLength(std::int32_t n)
    {
        if (n < 0)
            n = 0;
        Reserve(n);
        if (m_pData == nullptr)
            Grow(0);
        m_nLength = n;
        m_pData[n] = Ch(0);
        return m_pData;
    }

    std::int32_t Find(View needle, std::int32_t start = 0) const { return FindText(*this, needle, start, false); }
    std::int32_t Find(Ch c, std::int32_t start = 0) const
    {
        for (std::int32_t i = start < 0 ? 0 : start; i < m_nLength; ++i)
            if (m_pData[i] == c)
                return i;
        return -1;
    }
    std::int32_t NCFind(View needle, std::int32_t start = 0) const { return FindText(*this, needle, start, true); }
    // Last occurrence of c at or before start (-1: from the end); -1 if none.
    std::int32_t ReverseFind(Ch c, std::int32_t start = -1) const
    {
        std::int32_t i = (start < 0 || start >= m_nLength) ? m_nLength - 1 : start;
        for (; i >= 0; --i)
            if (m_pData[i] == c)
                return i;
        return -1;
    }
    // Whether the text ends with suffix; ignoreCase compares ASCII letters without regard to case.
    bool EndWith(View suffix, bool ignoreCase = false) const
    {
        if (suffix.GetLength() > m_nLength)
            return false;
        const View tail(c_str() + (m_nLength - suffix.GetLength()), suffix.GetLength());
        return ignoreCase ? Utility::CompareNoCase(tail, suffix) == 0 : tail == suffix;
    }
    int CompareNoCase(View other) const { return Utility::CompareNoCase(*this, other); }

    BasicString Left(std::int32_t n) const { return Mid(0, n); }
    BasicString Mid(std::int32_t start, std::int32_t count = -1) const
    {
        if (start < 0)
            start = 0;
        if (start >= m_nLength)
            return BasicString();
        const std::int32_t available = m_nLength - start;
        if (count < 0 || count > available)
            count = available;
        return BasicString(c_str() + start, count);
    }
    // Replaces every match of from by to; returns how many were replaced.
    std::int32_t Replace(View from, View to)
    {
        if (from.IsEmpty() || m_nLength == 0)
            return 0;
        BasicString result;
        std::int32_t count = 0, pos = 0;
        for (std::int32_t hit = Find(from, 0); hit >= 0; hit = Find(from, pos)) {
            result.Append(c_str() + pos, hit - pos);
            result.Append(to);
            pos = hit + from.GetLength();
            ++count;
        }
        if (count == 0)
            return 0;
        result.Append(c_str() + pos, m_nLength - pos);
        *this = std::move(result);
        return count;
    }
    BasicString& TrimLeft()
    {
        std::int32_t i = 0;
        while (i < m_nLength && IsBlank(m_pData[i]))
            ++i;
        if (i > 0) {
            std::memmove(m_pData, m_pData + i, static_cast<std::size_t>(m_nLength - i) * sizeof(Ch));
            SetLength(m_nLength - i);
        }
        return *this;
    }
    BasicString& TrimRight()
    {
        std::int32_t n = m_nLength;
        while (n > 0 && IsBlank(m_pData[n - 1]))
            --n;
        if (n != m_nLength)
            SetLength(n);
        return *this;
    }
    BasicString& Trim() { return TrimRight().TrimLeft(); }
    BasicString& MakeLower()
    {
        for (std::int32_t i = 0; i < m_nLength; ++i)
            m_pData[i] = ToLowerAscii(m_pData[i]);
        return *this;
    }

    BasicString& Append(const Ch* text, std::int32_t length)
    {
        if (text == nullptr || length <= 0)
            return *this;
        if (m_nLength + length > m_nCapacity) {
            if (m_pData != nullptr && text >= m_pData && text < m_pData + m_nLength) {
                const BasicString copy(text, length);  // a piece of this string, whose storage moves
                return Append(copy.c_str(), length);
            }
            Grow(m_nLength + length);
        }
        std::memcpy(m_pData + m_nLength, text, static_cast<std::size_t>(length) * sizeof(Ch));
        SetLength(m_nLength + length);
        return *this;
    }
    BasicString& Append(View text) { return Append(text.Data(), text.GetLength()); }
    BasicString& Append(Ch c) { return Append(&c, 1); }
    BasicString& operator+=(View text) { return Append(text); }
    BasicString& operator+=(Ch c) { return Append(c); }
    BasicString& operator<<(View text) { return Append(text); }
    BasicString& operator<<(const Ch* text) { return Append(View(text)); }
    BasicString& operator<<(std::int64_t value) { return Append(From(value)); }
    BasicString& operator<<(std::int32_t value) { return Append(From(value)); }
    friend BasicString operator+(const BasicString& a, View b)
    {
        BasicString r;
        r.Reserve(a.m_nLength + b.GetLength());
        r.Append(a);
        r.Append(b);
        return r;
    }
    friend BasicString operator+(View a, const BasicString& b)
    {
        BasicString r;
        r.Reserve(a.GetLength() + b.m_nLength);
        r.Append(a);
        r.Append(b);
        return r;
    }
    friend BasicString operator+(const BasicString& a, const BasicString& b) { return a + View(b); }
    friend BasicString operator+(const BasicString& a, const Ch* b) { return a + View(b); }

    // Exact, case-sensitive comparison.
    bool operator==(View other) const noexcept { return View(*this) == other; }
    bool operator==(const BasicString& other) const noexcept { return View(*this) == View(other); }
    bool operator==(const Ch* other) const noexcept { return View(*this) == View(other); }

    // Numbers and booleans from option values; see ParseInt and ParseBool for malformed text.
    template <typename T>
    T To() const
    {
        if constexpr (std::is_same_v<T, bool>)
            return Bool();
        else
            return static_cast<T>(Int());
    }
    std::int32_t Int() const { return ParseInt(View(*this)); }
    bool Bool() const
    {
        if constexpr (std::is_same_v<Ch, char>)
            return ParseBool(View(*this));
        else
            return ParseBool(StringView(WideToUtf8(*this)));
    }

    static BasicString From(std::int64_t value)
    {
        Ch digits[24];
        int n = 0;
        std::uint64_t magnitude = value < 0 ? 0ull - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        do {
            digits[n++] = static_cast<Ch>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            digits[n++] = Ch('-');
        BasicString r;
        Ch* out = r.GetBufferSetLength(n);
        for (int i = 0; i < n; ++i)
            out[i] = digits[n - 1 - i];
        return r;
    }
    static BasicString From(std::int32_t value) { return From(static_cast<std::int64_t>(value)); }

    // Narrow (UTF-8) copy of a wide string.
    BasicString<char> ToDString() const requires(!std::is_same_v<Ch, char>)
    {
        const std::string narrow = WideToUtf8(*this);
        return BasicString<char>(narrow.data(), static_cast<std::int32_t>(narrow.size()));
    }

private:
    static bool IsBlank(Ch c) noexcept
    {
        return c == Ch(' ') || c == Ch('\t') || c == Ch('\r') || c == Ch('\n') || c == Ch('\v') || c == Ch('\f');
    }

    BasicString& AssignView(View text)
    {
        Assign(text.Data(), text.GetLength());
        return *this;
    }
    // The text may be a piece of this string: it is never longer than the storage, which stays.
    void Assign(const Ch* text, std::int32_t length)
    {
        if (length <= 0) {
            m_nLength = 0;
            if (m_pData != nullptr)
                m_pData[0] = Ch(0);
            return;
        }
        Reserve(length);
        std::memmove(m_pData, text, static_cast<std::size_t>(length) * sizeof(Ch));
        SetLength(length);
    }
    bool IsInline() const noexcept { return m_pData == m_Inline; }
    // Takes other's text and storage (a copy of the characters when they are inline); other is left new.
    void TakeFrom(BasicString& other) noexcept
    {
        m_nLength = other.m_nLength;
        m_nCapacity = other.m_nCapacity;
        if (other.IsInline()) {
            std::memcpy(m_Inline, other.m_Inline, sizeof m_Inline);
            m_pData = m_Inline;
        } else {
            m_pData = other.m_pData;
        }
        other.m_pData = nullptr;
        other.m_nLength = other.m_nCapacity = 0;
    }
    void SetLength(std::int32_t n) noexcept
    {
        m_nLength = n;
        m_pData[n] = Ch(0);
    }
    void Grow(std::int32_t needed)
    {
        if (m_pData == nullptr && needed <= kInlineCapacity) {
            m_pData = m_Inline;
            m_nCapacity = kInlineCapacity;
            m_pData[m_nLength] = Ch(0);
            return;
        }
        std::int32_t capacity = m_nCapacity < 15 ? 15 : m_nCapacity;
        while (capacity < needed)
            capacity = capacity > (INT32_MAX / 2) ? INT32_MAX - 1 : capacity * 2 + 1;
        // Global operator new, so that allocation counters and replaced allocators see strings too.
        Ch* p = static_cast<Ch*>(::operator new((static_cast<std::size_t>(capacity) + 1) * sizeof(Ch)));
        if (m_pData != nullptr)
            std::memcpy(p, m_pData, (static_cast<std::size_t>(m_nLength) + 1) * sizeof(Ch));
        Release();
        m_pData = p;
        m_nCapacity = capacity;
        m_pData[m_nLength] = Ch(0);
    }
    // Frees heap storage; the fields are left for the caller to reset.
    void Release() noexcept
    {
        if (m_pData != nullptr && !IsInline())
            ::operator delete(m_pData);
    }

    // Null while the string has never held text (GetBuffer says so); m_Inline or the heap otherwise.
    Ch* m_pData = nullptr;
    std::int32_t m_nLength = 0;
    std::int32_t m_nCapacity = 0;
    Ch m_Inline[kInlineCapacity + 1] = {};
};

using DString = BasicString<char>;
using WString = BasicString<wchar_t>;

// Per-thread scratch buffer of the library, for formatting texts without allocating.
// Get may return null (when the thread's buffer cannot be had); Size is its capacity in chars.
ORBEK_UTILITY_API char* DString_TLSBuffer_Get();
ORBEK_UTILITY_API std::int32_t DString_TLSBuffer_Size();

}  // namespace ORBEK::Utility
