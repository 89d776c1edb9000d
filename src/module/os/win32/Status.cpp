#include "../Status.h"

#include "Win32.h"

namespace Quorlin::os {

// The translation table. Winsock's codes come with the system's ones that overlapped socket calls give.
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
    case WSAETIMEDOUT:
    case ERROR_TIMEOUT: kind = ErrorKind::TimedOut; break;
    case WSAECONNREFUSED:
    case ERROR_CONNECTION_REFUSED:
    case ERROR_PORT_UNREACHABLE: kind = ErrorKind::ConnectionRefused; break;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
    case WSAEDISCON:
    case ERROR_NETNAME_DELETED:
    case ERROR_CONNECTION_ABORTED: kind = ErrorKind::ConnectionLost; break;
    case WSAHOST_NOT_FOUND:
    case WSANO_DATA:    // the name exists without an address
    case WSATRY_AGAIN:  // no answer from the name servers now
    case WSANO_RECOVERY: kind = ErrorKind::HostNotFound; break;
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_NETWORK_UNREACHABLE: kind = ErrorKind::Unreachable; break;
    case WSAEADDRINUSE: kind = ErrorKind::AddressInUse; break;
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
