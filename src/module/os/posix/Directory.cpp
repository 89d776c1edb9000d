#include "../Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../Native.h"
#include "Posix.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace Quorlin::os {
namespace {
using namespace posix;

// renameat2 through syscall(): older C libraries lack the wrapper. -1 with ENOSYS where the kernel lacks it.
int RenameNoReplace(const char* from, const char* to)
{
#ifdef SYS_renameat2
    return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
#else
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

bool PathExists(std::wstring_view name)
{
    struct stat info;
    return ::lstat(ToUtf8In(name, 0).c_str(), &info) == 0;
}

Status MakeDirectory(std::wstring_view path)
{
    const std::string target = ToUtf8(path);
    if (::mkdir(target.c_str(), 0777) != 0)
        return FromNativeAt(errno, target);
    return {};
}

Status ListDirectory(std::wstring_view directory, std::vector<std::wstring>& names)
{
    names.clear();
    const std::string path = ToUtf8(directory);
    DIR* listing = ::opendir(path.c_str());
    if (!listing)
        return FromNativeAt(errno, path);
    Status status;
    try {
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(listing);
            if (!entry) {
                status = FromNative(static_cast<std::uint32_t>(errno));
                break;
            }
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            names.push_back(FromUtf8(entry->d_name));
        }
    } catch (...) {
        status = FromNative(ENOMEM);
    }
    ::closedir(listing);
    return status;
}

Status SetNormalAttributes(std::wstring_view name)
{
    const std::string& path = ToUtf8In(name, 0);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return FromNativeAt(errno, path);
    if (::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) != 0)
        return LastError();
    return {};
}

Status SetReadOnly(std::wstring_view name)
{
    const std::string path = ToUtf8(name);
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return FromNativeAt(errno, path);
    if (::chmod(path.c_str(), info.st_mode & 07777 & ~(S_IWUSR | S_IWGRP | S_IWOTH)) != 0)
        return LastError();
    return {};
}

namespace {

Status RemoveOnce(std::wstring_view name)
{
    const std::string& path = ToUtf8In(name, 0);
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return FromNativeAt(errno, path);
    // DeleteFileW removes no directory, and refuses it with access denied.
    if (S_ISDIR(info.st_mode))
        return FromNative(EISDIR);
    // The read-only attribute: no owner write permission. unlink alone would not care.
    if (S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR))
        return FromNative(EACCES);
    if (S_ISREG(info.st_mode) && HeldWithoutShareDelete(path))
        return FromNative(kSharingViolation);
    if (::unlink(path.c_str()) != 0)
        return FromNativeAt(errno, path);
    return {};
}

Status RenameOnce(std::wstring_view from, std::wstring_view to)
{
    const std::string& source = ToUtf8In(from, 0);
    const std::string& target = ToUtf8In(to, 1);
    struct stat info;
    if (::lstat(source.c_str(), &info) != 0)
        return FromNativeAt(errno, source);
    if (S_ISREG(info.st_mode) && HeldWithoutShareDelete(source))
        return FromNative(kSharingViolation);

    if (RenameNoReplace(source.c_str(), target.c_str()) == 0)
        return {};
    // EINVAL: a file system that does not know the flag (or a directory moved into itself, which the
    // fallbacks refuse again).
    if (errno != ENOSYS && errno != EINVAL)
        return FromNativeAt(errno, target);

    if (!S_ISDIR(info.st_mode)) {
        // link() never replaces a name.
        if (::link(source.c_str(), target.c_str()) == 0) {
            if (::unlink(source.c_str()) != 0) {
                const int error = errno;
                ::unlink(target.c_str());
                return FromNative(static_cast<std::uint32_t>(error));
            }
            return {};
        }
        if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
            return FromNativeAt(errno, target);
    }
    // Neither: look, then rename. A name that appears in between is replaced; nothing closes that gap here.
    struct stat existing;
    if (::lstat(target.c_str(), &existing) == 0)
        return FromNative(EEXIST);
    if (::rename(source.c_str(), target.c_str()) != 0)
        return FromNativeAt(errno, target);
    return {};
}

}  // namespace

Status native::RemoveFile(std::wstring_view name)
{
    return PastChildStarts([&] { return RemoveOnce(name); });
}

Status native::RenameFile(std::wstring_view from, std::wstring_view to)
{
    return PastChildStarts([&] { return RenameOnce(from, to); });
}

bool CanRemoveOrRename(std::wstring_view name)
{
    const std::string& path = ToUtf8In(name, 0);
    // Judged as RemoveFile and RenameFile judge it, a child being started looked past.
    return PastChildStarts([&] { return HeldWithoutShareDelete(path) ? FromNative(kSharingViolation) : Status{}; }).Ok();
}

}  // namespace Quorlin::os
