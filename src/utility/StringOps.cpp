#include "StringOps.h"

#include <climits>

namespace ORBEK::Utility {
namespace {

template <typename Ch>
Ch Lower(Ch c)
{
    return (c >= Ch('A') && c <= Ch('Z')) ? static_cast<Ch>(c - Ch('A') + Ch('a')) : c;
}

template <typename Ch>
std::int32_t Find(StringView_Base<Ch> hay, StringView_Base<Ch> needle, std::int32_t start, bool ignoreCase)
{
    if (start < 0)
        start = 0;
    const std::int32_t n = hay.GetLength(), m = needle.GetLength();
    if (m == 0)
        return start <= n ? start : -1;
    const Ch* h = hay.Data();
    const Ch* k = needle.Data();
    for (std::int32_t i = start; i + m <= n; ++i) {
        std::int32_t j = 0;
        if (ignoreCase)
            while (j < m && Lower(h[i + j]) == Lower(k[j]))
                ++j;
        else
            while (j < m && h[i + j] == k[j])
                ++j;
        if (j == m)
            return i;
    }
    return -1;
}

template <typename Ch>
int Compare(StringView_Base<Ch> a, StringView_Base<Ch> b)
{
    const std::int32_t n = a.GetLength() < b.GetLength() ? a.GetLength() : b.GetLength();
    for (std::int32_t i = 0; i < n; ++i) {
        using U = std::make_unsigned_t<Ch>;
        const U x = static_cast<U>(Lower(a.Data()[i])), y = static_cast<U>(Lower(b.Data()[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.GetLength() == b.GetLength() ? 0 : (a.GetLength() < b.GetLength() ? -1 : 1);
}

template <typename Ch>
std::int32_t Parse(StringView_Base<Ch> text)
{
    const Ch* p = text.Data();
    const Ch* end = p + text.GetLength();
    while (p < end && (*p == Ch(' ') || *p == Ch('\t') || *p == Ch('\r') || *p == Ch('\n')))
        ++p;
    bool negative = false;
    if (p < end && (*p == Ch('-') || *p == Ch('+')))
        negative = *p++ == Ch('-');
    long long value = 0;
    for (; p < end && *p >= Ch('0') && *p <= Ch('9'); ++p) {
        value = value * 10 + (*p - Ch('0'));
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;  // saturate; keep reading digits
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<std::int32_t>(value);
}

void PutWide(std::wstring& out, char32_t cp)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::int32_t FindText(StringView hay, StringView needle, std::int32_t start, bool ignoreCase)
{
    return Find(hay, needle, start, ignoreCase);
}
std::int32_t FindText(WStringView hay, WStringView needle, std::int32_t start, bool ignoreCase)
{
    return Find(hay, needle, start, ignoreCase);
}
char ToLowerAscii(char c) { return Lower(c); }
wchar_t ToLowerAscii(wchar_t c) { return Lower(c); }
int CompareNoCase(StringView a, StringView b) { return Compare(a, b); }
int CompareNoCase(WStringView a, WStringView b) { return Compare(a, b); }
std::int32_t ParseInt(StringView text) { return Parse(text); }
std::int32_t ParseInt(WStringView text) { return Parse(text); }

std::wstring Utf8ToWide(StringView text)
{
    std::wstring out;
    out.reserve(static_cast<std::size_t>(text.GetLength()));
    const auto* p = reinterpret_cast<const unsigned char*>(text.Data());
    const auto* end = p + text.GetLength();
    while (p < end) {
        const unsigned char b = *p;
        int extra = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else {
            PutWide(out, kReplacement);
            ++p;
            continue;
        }
        if (end - p < extra + 1) {  // sequence cut off by the end of the text
            PutWide(out, kReplacement);
            break;
        }
        bool ok = true;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        const bool overlong = (extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (!ok || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            PutWide(out, kReplacement);
            ++p;
            continue;
        }
        PutWide(out, cp);
        p += extra + 1;
    }
    return out;
}

char32_t NextCodePoint(const wchar_t* text, std::int32_t length, std::int32_t& i)
{
    char32_t cp = static_cast<char32_t>(text[i++]);
    if constexpr (sizeof(wchar_t) == 2) {
        cp &= 0xFFFF;
        if (cp >= 0xD800 && cp <= 0xDBFF && i < length) {
            const char32_t low = static_cast<char32_t>(text[i]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                ++i;
                return 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
        }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return kReplacement;
    return cp;
}

int EncodeUtf8(char32_t cp, char (&bytes)[4])
{
    if (cp < 0x80) {
        bytes[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
    bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

std::string WideToUtf8(WStringView text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.GetLength()));
    char bytes[4];
    for (std::int32_t i = 0; i < text.GetLength();)
        out.append(bytes, static_cast<std::size_t>(EncodeUtf8(NextCodePoint(text.Data(), text.GetLength(), i), bytes)));
    return out;
}

bool TryParseBool(StringView text, bool& value)
{
    std::int32_t b = 0, e = text.GetLength();
    const char* p = text.Data();
    while (b < e && (p[b] == ' ' || p[b] == '\t'))
        ++b;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\t' || p[e - 1] == '\r' || p[e - 1] == '\n'))
        --e;
    const StringView word(p + b, e - b);
    for (const char* yes : {"true", "yes", "on", "1"})
        if (Compare(word, StringView(yes)) == 0)
            return value = true, true;
    for (const char* no : {"false", "no", "off", "0"})
        if (Compare(word, StringView(no)) == 0)
            return value = false, true;
    return false;
}

bool ParseBool(StringView text)
{
    bool value = false;
    return TryParseBool(text, value) && value;
}

}  // namespace ORBEK::Utility
