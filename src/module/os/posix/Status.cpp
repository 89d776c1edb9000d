#include "../Status.h"

#include <netdb.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "Posix.h"

namespace Quorlin::os {

// The translation table. EBUSY doubles as the code of a refusal by another handle's share mode
// (posix::kSharingViolation), so it stands where ERROR_SHARING_VIOLATION stands on Windows.
// Resolver codes (posix::FromResolver) and certificate codes (posix::FromCertificate) are told apart first.
Status FromNative(std::uint32_t native) noexcept
{
    if (posix::IsCertificateCode(native))
        return {native, ErrorKind::BadCertificate};
    if (posix::IsResolverCode(native)) {
        switch (posix::ResolverCode(native)) {
        case EAI_NONAME:
        case EAI_NODATA:      // the name exists without an address
        case EAI_ADDRFAMILY:  // nor one of the family asked for
        case EAI_AGAIN:       // no answer from the name servers now
        case EAI_FAIL: return {native, ErrorKind::HostNotFound};
        default: return {native, ErrorKind::Other};
        }
    }
    ErrorKind kind = ErrorKind::Other;
    switch (native) {
    case 0: return {};
    case ENOENT: kind = ErrorKind::NotFound; break;
    case ENOTDIR:  // a component on the way is a file, not a directory
        kind = ErrorKind::PathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:  // Windows refuses a directory where a file is expected with access denied
        kind = ErrorKind::AccessDenied;
        break;
    case EBUSY:
    case ETXTBSY: kind = ErrorKind::SharingViolation; break;
    case EEXIST: kind = ErrorKind::AlreadyExists; break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: kind = ErrorKind::DiskFull; break;
    case ENAMETOOLONG: kind = ErrorKind::NameTooLong; break;
    case EILSEQ:  // a name the file system cannot store
        kind = ErrorKind::InvalidName;
        break;
    case ETIMEDOUT: kind = ErrorKind::TimedOut; break;
    case ECONNREFUSED: kind = ErrorKind::ConnectionRefused; break;
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
    case ENOTCONN:
    case ESHUTDOWN:
    case ENETRESET: kind = ErrorKind::ConnectionLost; break;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case EHOSTDOWN: kind = ErrorKind::Unreachable; break;
    case EADDRINUSE: kind = ErrorKind::AddressInUse; break;
    default: break;
    }
    return {native, kind};
}

namespace {
// strerror_r comes in two flavours; either result is taken.
[[maybe_unused]] const char* ChooseText(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* ChooseText(const char* result, const char*) { return result; }
}  // namespace

std::string ErrorText(std::uint32_t native)
{
    if (posix::IsResolverCode(native))
        return ::gai_strerror(posix::ResolverCode(native));
    if (posix::IsCertificateCode(native))
        return ::X509_verify_cert_error_string(posix::CertificateCode(native));
    char buffer[256] = {};
    const char* text = ChooseText(::strerror_r(static_cast<int>(native), buffer, sizeof buffer), buffer);
    std::string result = text && *text ? text : "Unknown error " + std::to_string(native);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

namespace posix {

Status LastError() noexcept { return FromNative(static_cast<std::uint32_t>(errno)); }

const std::string& ToUtf8In(std::wstring_view text, int slot)
{
    thread_local std::string buffers[2];
    std::string& buffer = buffers[slot];
    buffer.clear();
    for (const wchar_t c : text) {
        if (c >= 0x80) {
            buffer = ToUtf8(text);  // beyond ASCII: the library's conversion, as everywhere else
            return buffer;
        }
        buffer.push_back(static_cast<char>(c));
    }
    return buffer;
}

Status FromNativeAt(int error, const std::string& path) noexcept
{
    Status status = FromNative(static_cast<std::uint32_t>(error));
    if (error != ENOENT)
        return status;
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.find_last_of('/', end - 1);
    // The folder's name on the stack: a missing file is the common case of a roll-over's shift.
    char parent[PATH_MAX];
    const std::size_t length = slash == std::string::npos ? 1 : slash == 0 ? 1 : slash;
    if (length >= sizeof parent)
        return status;
    if (slash == std::string::npos)
        parent[0] = '.';
    else
        std::memcpy(parent, path.data(), length);
    parent[length] = '\0';
    struct stat info;
    if (::stat(parent, &info) != 0 || !S_ISDIR(info.st_mode))
        status.kind = ErrorKind::PathNotFound;
    return status;
}

}  // namespace posix
}  // namespace Quorlin::os
