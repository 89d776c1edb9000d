#pragma once
// Helpers shared by the Win32 implementation files: text conversion, error statuses, owning handles.

#include <windows.h>

// winbase.h still maps the 16-bit FreeModule to FreeLibrary, which would rewrite os::FreeModule.
#undef FreeModule

#include <string>
#include <string_view>

#include "../Status.h"

namespace Quorlin::os::win32 {

// The status of GetLastError() after a failed call.
inline Status LastError() noexcept { return FromNative(::GetLastError()); }

// The W functions want terminated strings; views need not be.
inline std::wstring Terminated(std::wstring_view text) { return std::wstring(text); }

inline std::wstring Utf8ToWide(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

inline std::string WideToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

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

inline HANDLE ToHandle(std::intptr_t value) noexcept { return reinterpret_cast<HANDLE>(value); }
inline std::intptr_t FromHandle(HANDLE handle) noexcept { return reinterpret_cast<std::intptr_t>(handle); }

} // namespace Quorlin::os::win32
