#include "../Status.h"

#include <cstdio>

#include "Win32.h"

namespace Quorlin::os {
namespace {
// HRESULTs are signed; the native codes are not.
constexpr std::uint32_t Code(HRESULT result) noexcept { return static_cast<std::uint32_t>(result); }

// Texts for the TLS and certificate codes of a system that has none for them (Wine has none).
const char* TlsText(std::uint32_t native) noexcept
{
    switch (native) {
    case Code(CERT_E_UNTRUSTEDROOT):
    case Code(SEC_E_UNTRUSTED_ROOT): return "the chain ends in a root certificate that is not trusted";
    case Code(CERT_E_CHAINING): return "no chain to a trusted root certificate";
    case Code(CERT_E_CN_NO_MATCH):
    case Code(SEC_E_WRONG_PRINCIPAL): return "the certificate does not name the server";
    case Code(CERT_E_EXPIRED):
    case Code(SEC_E_CERT_EXPIRED): return "a certificate has expired or is not yet valid";
    case Code(CERT_E_WRONG_USAGE): return "a certificate is not meant for this use";
    case Code(TRUST_E_CERT_SIGNATURE): return "a certificate's signature does not verify";
    case Code(CRYPT_E_REVOKED): return "a certificate has been revoked";
    case Code(TRUST_E_BASIC_CONSTRAINTS): return "a certificate's basic constraints are not met";
    case Code(SEC_E_ILLEGAL_MESSAGE): return "the peer sent a message that is not valid TLS, or a fatal alert";
    case Code(SEC_E_ALGORITHM_MISMATCH): return "no protocol version or cipher in common with the peer";
    case Code(SEC_E_INVALID_TOKEN): return "the data is not valid TLS";
    case Code(SEC_E_DECRYPT_FAILURE):
    case Code(SEC_E_MESSAGE_ALTERED): return "a TLS record does not decrypt";
    case Code(SEC_E_CONTEXT_EXPIRED): return "the TLS session has ended";
    case Code(SEC_E_INTERNAL_ERROR): return "the TLS provider failed";
    default: return nullptr;
    }
}
}  // namespace

// The translation table. Winsock's codes come with the system's ones that overlapped socket calls give,
// the certificate ones with Schannel's for a server it does not trust.
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
    case Code(CERT_E_UNTRUSTEDROOT):
    case Code(CERT_E_UNTRUSTEDCA):
    case Code(CERT_E_CHAINING):
    case Code(CERT_E_EXPIRED):
    case Code(CERT_E_VALIDITYPERIODNESTING):
    case Code(CERT_E_WRONG_USAGE):
    case Code(CERT_E_PURPOSE):
    case Code(CERT_E_ROLE):
    case Code(CERT_E_PATHLENCONST):
    case Code(CERT_E_CRITICAL):
    case Code(CERT_E_MALFORMED):
    case Code(CERT_E_CN_NO_MATCH):
    case Code(CERT_E_INVALID_NAME):
    case Code(CERT_E_INVALID_POLICY):
    case Code(CERT_E_REVOKED):
    case Code(CRYPT_E_REVOKED):
    case Code(TRUST_E_CERT_SIGNATURE):
    case Code(TRUST_E_BASIC_CONSTRAINTS):
    case Code(SEC_E_UNTRUSTED_ROOT):
    case Code(SEC_E_CERT_EXPIRED):
    case Code(SEC_E_CERT_UNKNOWN):
    case Code(SEC_E_WRONG_PRINCIPAL):
    case Code(SEC_E_CERT_WRONG_USAGE): kind = ErrorKind::BadCertificate; break;
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
    if (text.empty()) {
        const char* tls = TlsText(native);
        char code[16];
        std::snprintf(code, sizeof code, native >= 0x80000000u ? "0x%08X" : "%u", static_cast<unsigned>(native));
        text = tls ? tls : std::string("Unknown error ") + code;
    }
    return text;
}

}  // namespace Quorlin::os
