#include "../Status.h"

#include "Win32.h"

namespace Quorlin::os {

// The translation table.
Status FromNative(std::uint32_t native) noexcept
{
    ErrorKind kind = ErrorKind::Other;
    switch (native) {
    case ERROR_SUCCESS: return {};
    case ERROR_FILE_NOT_FOUND: kind = ErrorKind::NotFound; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: kind = ErrorKind::PathNotFound; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY: kind = ErrorKind::AccessDenied; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: kind = ErrorKind::SharingViolation; break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: kind = ErrorKind::AlreadyExists; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: kind = ErrorKind::DiskFull; break;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: kind = ErrorKind::NameTooLong; break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: kind = ErrorKind::InvalidName; break;
    default: break;
    }
    return {native, kind};
}

std::string ErrorText(std::uint32_t native)
{
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, native, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        text = "Unknown error " + std::to_string(native);
    return text;
}

}  // namespace Quorlin::os
