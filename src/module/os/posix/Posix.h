#pragma once
// Helpers shared by the POSIX implementation files: text conversion for system calls, error
// statuses, owning descriptors and the share-mode markers.

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "../Deadline.h"
#include "../Status.h"
#include "utility/StringOps.h"

namespace Quorlin::os::posix {

// The native code this layer reports when another handle's share mode refuses an access
// (ERROR_SHARING_VIOLATION on Windows); FromNative maps it to ErrorKind::SharingViolation.
inline constexpr int kSharingViolation = EBUSY;

// getaddrinfo's codes are no errno values: a resolver failure is reported as kResolverError with the
// code in the low 16 bits (glibc's are negative), which FromNative and ErrorText read as such.
inline constexpr std::uint32_t kResolverError = 0x40000000;
inline constexpr std::uint32_t FromResolver(int code) noexcept { return kResolverError | static_cast<std::uint16_t>(code); }
inline constexpr bool IsResolverCode(std::uint32_t native) noexcept { return (native & 0xFFFF0000u) == kResolverError; }
inline constexpr int ResolverCode(std::uint32_t native) noexcept { return static_cast<std::int16_t>(native & 0xFFFFu); }

// Nor are OpenSSL's verify results: a certificate that does not verify is reported as kCertificateError
// with the X509_V_ERR_ code in the low 16 bits; FromNative gives BadCertificate, ErrorText OpenSSL's text.
inline constexpr std::uint32_t kCertificateError = 0x50000000;
inline constexpr std::uint32_t FromCertificate(long code) noexcept
{
    return kCertificateError | static_cast<std::uint16_t>(code);
}
inline constexpr bool IsCertificateCode(std::uint32_t native) noexcept { return (native & 0xFFFF0000u) == kCertificateError; }
inline constexpr int CertificateCode(std::uint32_t native) noexcept { return static_cast<int>(native & 0xFFFFu); }

// Wide text (UTF-32 on Linux) to UTF-8 for system calls and back; what is no character becomes U+FFFD.
inline std::string ToUtf8(std::wstring_view text) { return ORBEK::Utility::WideToUtf8(text); }
inline std::wstring FromUtf8(std::string_view text) { return ORBEK::Utility::Utf8ToWide(text); }

// Like ToUtf8, into buffer `slot` (0 or 1) of the calling thread, which keeps its room from call to
// call: the file calls of a roll-over allocate nothing once the buffers have grown. Valid until the
// next call for the same slot on this thread.
const std::string& ToUtf8In(std::wstring_view text, int slot);

// The status of errno after a failed call.
Status LastError() noexcept;

// The status of `error` from a call on `path`: ENOENT becomes PathNotFound when the directory that
// should hold `path` does not exist, as ERROR_PATH_NOT_FOUND tells it apart on Windows.
Status FromNativeAt(int error, const std::string& path) noexcept;

// A descriptor closed when it goes out of scope.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) noexcept : m_Fd(fd) {}
    ~UniqueFd()
    {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const noexcept { return m_Fd; }
    int Release() noexcept
    {
        const int fd = m_Fd;
        m_Fd = -1;
        return fd;
    }

private:
    int m_Fd;
};

using os::Deadline;

// Waits until `fd` is ready for the poll `events` or the deadline has passed: ETIMEDOUT then. An
// interrupted wait goes on with the time left.
Status AwaitReady(int fd, short events, const Deadline& deadline) noexcept;

// Writes all of `size` bytes, retrying after interruptions; false on the first error.
bool WriteAll(int fd, const void* data, std::size_t size) noexcept;

// Share-mode markers: one byte each, far beyond any real data, on which handles of this layer hold
// shared open-file-description locks for what they do and what they refuse (see File.cpp).
enum ShareMarker : int {
    kHoldsRead,
    kDeniesRead,
    kHoldsWrite,
    kDeniesWrite,
    kDeniesDelete,
    kMarkerCount,
};

// Whether an open file description other than the one of `fd` holds the marker.
bool MarkerHeldByOther(int fd, ShareMarker marker) noexcept;

// Whether a handle of this layer holds the file open without ShareDelete, so that removing or
// renaming it would be refused on Windows.
bool HeldWithoutShareDelete(const std::string& path) noexcept;

// A child starts with copies of every descriptor of this process, and so with their share markers,
// which it holds from its clone until its exec closes them. Spawn counts each start here, so that a
// sharing refusal caused by such a copy (of a handle this process has closed meanwhile) can be told
// from a real holder: it goes away once the starts under way have reached their exec.
std::uint64_t ChildStartsBegun() noexcept;
std::uint64_t ChildStartsEnded() noexcept;
void BeginChildStart() noexcept;
void EndChildStart() noexcept;
// Waits until at least `begun` starts have ended, at most `milliseconds`; false on the time-out.
bool AwaitChildStarts(std::uint64_t begun, std::uint32_t milliseconds) noexcept;

// Sleeps for a few milliseconds between the attempts of PastChildStarts.
void PauseMs(std::uint32_t milliseconds) noexcept;

// Runs `attempt` (a call giving a Status); when a share marker refused it while a child start was
// under way, waits for those starts (bounded) and tries again. The child lets go of its copies on its
// way to its program, which may be a moment after the start has returned: a few more attempts follow
// within about 15 ms. A refusal that stays is real.
template <class Attempt>
Status PastChildStarts(Attempt attempt)
{
    const std::uint64_t endedBefore = ChildStartsEnded();
    Status status = attempt();
    if (status.kind != ErrorKind::SharingViolation)
        return status;
    const std::uint64_t begun = ChildStartsBegun();
    if (begun == endedBefore || !AwaitChildStarts(begun, 2000))
        return status;
    for (std::uint32_t pause = 1; pause <= 8; pause *= 2) {
        status = attempt();
        if (status.kind != ErrorKind::SharingViolation)
            return status;
        PauseMs(pause);
    }
    return attempt();
}

// The controlling terminal, opened once for writing; -1 without one.
int TerminalFd() noexcept;

}  // namespace Quorlin::os::posix
