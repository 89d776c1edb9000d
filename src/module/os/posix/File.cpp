#include "../File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "../Native.h"
#include "Posix.h"

namespace Quorlin::os {
namespace posix {
namespace {

// Far beyond any file this layer writes, and below the largest offset a lock may reach.
constexpr off_t kMarkerBase = static_cast<off_t>(0x3FFF'FFFF'FFFF'0000);

struct flock MarkerLock(short type, ShareMarker marker)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kMarkerBase + marker;
    lock.l_len = 1;
    return lock;
}

}  // namespace

bool MarkerHeldByOther(int fd, ShareMarker marker) noexcept
{
    // An exclusive probe conflicts with any lock that another open file description holds there.
    struct flock probe = MarkerLock(F_WRLCK, marker);
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0)
        return false;
    return probe.l_type != F_UNLCK;
}

bool HeldWithoutShareDelete(const std::string& path) noexcept
{
    // O_NONBLOCK: a FIFO must not stall the probe; O_NOFOLLOW: the name itself is what goes away.
    UniqueFd probe(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    return probe.Get() >= 0 && MarkerHeldByOther(probe.Get(), kDeniesDelete);
}

}  // namespace posix

namespace {
using namespace posix;

// Win32 share modes on shared locks only. Every handle holds the markers of the access it has and
// of the access it refuses, then fails when another description holds the opposite marker: two
// writers coexist, two readers that both refuse writers coexist, and a writer meets a refusal.
// Taking before looking means that of two opens racing for opposite markers at least one sees the
// other; both may fail, neither wrongly succeeds.
// Returns 0, or kSharingViolation when a marker of another handle refuses this open.
int TakeShareMarkers(int fd, const bool (&take)[kMarkerCount])
{
    for (int marker = 0; marker < kMarkerCount; ++marker) {
        if (!take[marker])
            continue;
        struct flock lock = MarkerLock(F_RDLCK, static_cast<ShareMarker>(marker));
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            if (errno == EAGAIN || errno == EACCES)
                return kSharingViolation;
            // A file system without open-file-description locks: the file is used without the emulation.
            return 0;
        }
    }
    static constexpr int kOpposite[kMarkerCount] = {kDeniesRead, kHoldsRead, kDeniesWrite, kHoldsWrite, -1};
    for (int marker = 0; marker < kMarkerCount; ++marker) {
        if (take[marker] && kOpposite[marker] >= 0 && MarkerHeldByOther(fd, static_cast<ShareMarker>(kOpposite[marker])))
            return kSharingViolation;
    }
    return 0;
}

// A write cut short (the disk filled, or the file size limit was reached) leaves the start of its text
// in the file, a torn line that later text would follow: takes those `written` bytes back when they
// end the file. True when the file is as it was before the write.
bool CutBack(int fd, std::uint32_t written)
{
    const int saved = errno;
    struct stat info;
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    const bool cut = end >= static_cast<off_t>(written) && ::fstat(fd, &info) == 0 && info.st_size == end &&
                     ::ftruncate(fd, end - written) == 0 && ::lseek(fd, end - written, SEEK_SET) == end - written;
    errno = saved;
    return cut;
}

}  // namespace

namespace {

Status OpenOnce(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file)
{
    file = kInvalidFile;
    const std::string path = ToUtf8(name);
    const bool reads = access == Access::Read;
    const bool writes = access == Access::Write;
    const bool data = reads || writes;
    // READ_CONTROL alone is no data access: Windows neither checks nor records its share mode.
    bool take[kMarkerCount] = {
        reads, data && !(share & ShareRead), writes, data && !(share & ShareWrite), data && !(share & ShareDelete),
    };

    // The markers are shared locks, which need a readable descriptor: a writer opens read-write.
    int mode = writes ? O_RDWR : O_RDONLY;
    if (access == Access::ReadControl && disposition == Disposition::OpenExisting)
        mode = O_PATH;
    const int flags = O_CLOEXEC | O_NOCTTY;

    int fd = -1;
    bool created = false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        fd = ::open(path.c_str(), mode | flags);
        if (fd < 0 && errno == EACCES && mode == O_RDWR) {
            // Writable but not readable: written without share markers.
            mode = O_WRONLY;
            for (bool& marker : take)
                marker = false;
            fd = ::open(path.c_str(), mode | flags);
        }
        if (fd >= 0 || errno != ENOENT || disposition != Disposition::CreateAlways)
            break;
        // Created exclusively so that only a file that was already there counts as existing below.
        fd = ::open(path.c_str(), mode | flags | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            created = true;
            break;
        }
        if (errno != EEXIST)
            break;
    }
    if (fd < 0)
        return FromNativeAt(errno, path);
    UniqueFd owner(fd);

    struct stat info;
    if (::fstat(fd, &info) != 0)
        return LastError();
    // CreateFileW opens no directory without FILE_FLAG_BACKUP_SEMANTICS.
    if (S_ISDIR(info.st_mode))
        return FromNative(EISDIR);
    // The read-only attribute, which Windows enforces even for administrators: refused for writing
    // and for overwriting.
    if (!created && (writes || disposition == Disposition::CreateAlways) && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR))
        return FromNative(EACCES);
    if (const int refused = TakeShareMarkers(fd, take))
        return FromNative(static_cast<std::uint32_t>(refused));
    // Truncated only now, so that an open refused by a share mode leaves the content alone.
    if (disposition == Disposition::CreateAlways && !created && S_ISREG(info.st_mode) && info.st_size > 0) {
        const int truncated = mode == O_RDONLY ? ::truncate(path.c_str(), 0) : ::ftruncate(fd, 0);
        if (truncated != 0)
            return LastError();
    }
    file = owner.Release();
    return {};
}

}  // namespace

Status native::OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file)
{
    return PastChildStarts([&] { return OpenOnce(name, access, disposition, share, file); });
}

Status native::WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written)
{
    written = 0;
    const int fd = static_cast<int>(file);
    const char* next = static_cast<const char*>(data);
    while (written < size) {
        const ssize_t done = ::write(fd, next + written, size - written);
        if (done > 0) {
            written += static_cast<std::uint32_t>(done);
            continue;
        }
        if (done < 0 && errno == EINTR)
            continue;
        const Status failure = done < 0 ? LastError() : FromNative(ENOSPC);
        if (written > 0 && CutBack(fd, written))
            written = 0;
        return failure;
    }
    return {};
}

Status native::ReadFromFile(NativeFile file, void* data, std::uint32_t size, std::uint32_t& read)
{
    read = 0;
    for (;;) {
        const ssize_t done = ::read(static_cast<int>(file), data, size);
        if (done >= 0) {
            read = static_cast<std::uint32_t>(done);
            return {};
        }
        if (errno != EINTR)
            return LastError();
    }
}

Status native::SeekFile(NativeFile file, std::int64_t offset, int origin, std::uint64_t& position)
{
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2)
        return FromNative(EINVAL);
    const off_t result = ::lseek(static_cast<int>(file), static_cast<off_t>(offset), kWhence[origin]);
    if (result < 0)
        return LastError();
    position = static_cast<std::uint64_t>(result);
    return {};
}

Status native::FileSizeOf(NativeFile file, std::uint64_t& size)
{
    struct stat info;
    if (::fstat(static_cast<int>(file), &info) != 0)
        return LastError();
    size = static_cast<std::uint64_t>(info.st_size);
    return {};
}

Status native::CloseFile(NativeFile file)
{
    if (file == kInvalidFile)
        return {};
    // Closing the last descriptor of the description releases its markers. Linux has closed the
    // descriptor even when close reports EINTR, so it is not retried.
    if (::close(static_cast<int>(file)) != 0 && errno != EINTR)
        return LastError();
    return {};
}

}  // namespace Quorlin::os
