#pragma once
// Helpers shared by the Win32 implementation files: text conversion, error statuses, owning handles.

#include <windows.h>

// winbase.h still maps the 16-bit FreeModule to FreeLibrary, which would rewrite os::FreeModule.
#undef FreeModule

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "../Deadline.h"
#include "../Status.h"
#include "utility/StringOps.h"

namespace Quorlin::os::win32 {

// The status of GetLastError() after a failed call.
inline Status LastError() noexcept { return FromNative(::GetLastError()); }

// The W functions want terminated strings; views need not be.
inline std::wstring Terminated(std::wstring_view text) { return std::wstring(text); }

// Whether a name holds a colon beyond its drive ("C:\logs\app:1.log"): NTFS reads it as a stream of
// another file (app), and Wine as a plain character; the layer refuses such names on both, so that a
// log file is never written under a name other than the one configured.
inline bool NamesAStream(std::wstring_view name)
{
    if (name.starts_with(L"\\\\?\\") || name.starts_with(L"\\\\.\\"))
        name.remove_prefix(4);
    const std::size_t colon = name.find(L':');
    return colon != std::wstring_view::npos && (colon != 1 || name.find(L':', 2) != std::wstring_view::npos);
}

// The system calls take UTF-16; the rest of the module speaks UTF-8.
inline std::wstring Utf8ToWide(std::string_view text) { return ORBEK::Utility::Utf8ToWide(text); }
inline std::string WideToUtf8(std::wstring_view text) { return ORBEK::Utility::WideToUtf8(text); }

// A kernel handle closed when it goes out of scope; null and INVALID_HANDLE_VALUE hold nothing.
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = nullptr) noexcept : m_Handle(handle) {}
    ~UniqueHandle()
    {
        if (Valid())
            ::CloseHandle(m_Handle);
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    bool Valid() const noexcept { return m_Handle && m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const noexcept { return m_Handle; }

private:
    HANDLE m_Handle;
};

using os::Deadline;

inline HANDLE ToHandle(std::intptr_t value) noexcept { return reinterpret_cast<HANDLE>(value); }
inline std::intptr_t FromHandle(HANDLE handle) noexcept { return reinterpret_cast<std::intptr_t>(handle); }

}  // namespace Quorlin::os::win32
