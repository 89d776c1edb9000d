#pragma once
// The result of every seam call that can fail: success, or a native error code with its kind.

#include <cstdint>
#include <string>

namespace Quorlin::os {

enum class ErrorKind : std::uint8_t {
    None,
    NotFound,          // the file does not exist
    PathNotFound,      // a directory on the way does not exist
    AccessDenied,      // permissions, read-only file, directory in the way
    SharingViolation,  // another handle's share mode refuses this access
    AlreadyExists,
    DiskFull,
    NameTooLong,
    InvalidName,        // characters or form the file system refuses
    TimedOut,           // a network wait ran out, or the peer stopped answering
    ConnectionRefused,  // nobody listens at the port (for datagrams: the peer reported so)
    ConnectionLost,     // reset, aborted or shut down by the peer, or a write to a closed connection
    HostNotFound,       // the name does not resolve
    Unreachable,        // no route to the host or its network, or the network is down
    AddressInUse,       // another socket holds the local address
    BadCertificate,     // the peer's certificate does not chain to a trusted one or does not match its name
    Other,
};

struct Status {
    std::uint32_t native = 0;  // GetLastError(), a WSA or an SSPI code on Windows; errno, a resolver or a certificate code on POSIX; 0 on success
    ErrorKind kind = ErrorKind::None;

    bool Ok() const noexcept { return kind == ErrorKind::None; }
    explicit operator bool() const noexcept { return Ok(); }
};

// Maps a native code to its kind; the one translation table of each platform. 0 gives success.
Status FromNative(std::uint32_t native) noexcept;

// The system's text for a native code (FormatMessageA / strerror), without a trailing line end.
std::string ErrorText(std::uint32_t native);

}  // namespace Quorlin::os
