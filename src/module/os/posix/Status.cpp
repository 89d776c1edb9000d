#include "../Status.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "Posix.h"

namespace Quorlin::os {

// The translation table. EBUSY doubles as the code of a refusal by another handle's share mode
// (posix::kSharingViolation), so it stands where ERROR_SHARING_VIOLATION stands on Windows.
Status FromNative(std::uint32_t native) noexcept
{
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
    char buffer[256] = {};
    const char* text = ChooseText(::strerror_r(static_cast<int>(native), buffer, sizeof buffer), buffer);
    std::string result = text && *text ? text : "Unknown error " + std::to_string(native);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

namespace posix {

Status LastError() noexcept { return FromNative(static_cast<std::uint32_t>(errno)); }

Status FromNativeAt(int error, const std::string& path) noexcept
{
    Status status = FromNative(static_cast<std::uint32_t>(error));
    if (error != ENOENT)
        return status;
    std::string parent;
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.find_last_of('/', end - 1);
    try {
        parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    } catch (...) {
        return status;
    }
    struct stat info;
    if (::stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        status.kind = ErrorKind::PathNotFound;
    return status;
}

}  // namespace posix
}  // namespace Quorlin::os
