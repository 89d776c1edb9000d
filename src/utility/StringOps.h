#pragma once
// Text algorithms shared by DString and WString, implemented once in the utility library.

#include <cstdint>
#include <string>

#include "StringView.h"

namespace ORBEK::Utility {

// Position of the first match of needle at or after start, or -1. An empty needle matches at start.
ORBEK_UTILITY_API std::int32_t FindText(StringView hay, StringView needle, std::int32_t start, bool ignoreCase);
ORBEK_UTILITY_API std::int32_t FindText(WStringView hay, WStringView needle, std::int32_t start, bool ignoreCase);

// ASCII case folding; other characters are left as they are.
ORBEK_UTILITY_API char ToLowerAscii(char c);
ORBEK_UTILITY_API wchar_t ToLowerAscii(wchar_t c);

// <0, 0, >0 like wcsicmp, comparing ASCII letters without regard to case.
ORBEK_UTILITY_API int CompareNoCase(StringView a, StringView b);
ORBEK_UTILITY_API int CompareNoCase(WStringView a, WStringView b);

// UTF-8 <-> wide (UTF-16 where wchar_t has 16 bits, UTF-32 otherwise). Malformed input becomes U+FFFD.
ORBEK_UTILITY_API std::wstring Utf8ToWide(StringView text);
ORBEK_UTILITY_API std::string WideToUtf8(WStringView text);

// The pieces of WideToUtf8, for callers that must not allocate. NextCodePoint reads the character at
// text[i] and moves i past it (past both halves of a surrogate pair); what UTF-8 cannot hold (a lone
// surrogate, a value beyond U+10FFFF) gives U+FFFD. EncodeUtf8 writes its 1 to 4 bytes and says how many.
ORBEK_UTILITY_API char32_t NextCodePoint(const wchar_t* text, std::int32_t length, std::int32_t& i);
ORBEK_UTILITY_API int EncodeUtf8(char32_t cp, char (&bytes)[4]);

// Decimal text to int32, the way atoi reads it: leading blanks, an optional sign, then digits up to the
// first non-digit ("10MB" gives 10). Text without a leading number gives 0; values beyond the int32
// range saturate at INT32_MIN / INT32_MAX. Never fails, never raises.
ORBEK_UTILITY_API std::int32_t ParseInt(StringView text);
ORBEK_UTILITY_API std::int32_t ParseInt(WStringView text);

// Boolean text: "true", "yes", "on", "1" (ignoring case and surrounding blanks) give true; anything else false.
ORBEK_UTILITY_API bool ParseBool(StringView text);
// Strict form: true when the text is one of the words above or "false", "no", "off", "0"; `value` gets it.
ORBEK_UTILITY_API bool TryParseBool(StringView text, bool& value);

}  // namespace ORBEK::Utility
