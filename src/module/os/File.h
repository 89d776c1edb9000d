#pragma once
// Files: open with Win32 share modes, write, seek, size, close.
//
// POSIX emulates the share modes with open-file-description locks on marker bytes far beyond any
// real data, so that they hold between handles of one process and across processes: a handle takes a
// shared lock on the marker of each access it has (read, write) and of each access it refuses, and is
// refused when another handle holds the opposite marker (exclusive locks would make two readers that
// both refuse writers refuse each other). A refused open fails with ErrorKind::SharingViolation, as
// a second open for writing of a file held with deny-write fails on Windows. RemoveFile and RenameFile
// refuse a file that a handle of this layer holds open without ShareDelete, as Windows does. A child
// being started holds copies of this process's handles until it runs its program: a refusal met
// while one starts is looked at again once it has, so that only real holders refuse.

#include <cstdint>
#include <string_view>

#include "Status.h"

namespace Quorlin::os {

using NativeFile = std::intptr_t;  // HANDLE or file descriptor
inline constexpr NativeFile kInvalidFile = -1;

enum class Access : std::uint8_t {
    Read,         // GENERIC_READ
    Write,        // GENERIC_WRITE
    ReadControl,  // READ_CONTROL: no data access, enough for the size
};

enum class Disposition : std::uint8_t {
    CreateAlways,  // create, or truncate an existing file
    OpenExisting,  // fail with NotFound when absent
};

// Win32 share flags: what other handles may do while this one is open.
enum Share : std::uint32_t {
    ShareNone = 0,
    ShareRead = 1,
    ShareWrite = 2,
    ShareDelete = 4,
};

// Opens (CreateFileW with FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN). The handle is not
// inherited by child processes. On failure `file` is kInvalidFile.
Status OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file);

// Writes all of `size` bytes or fails; `written` tells how many reached the file (WriteFile). On POSIX,
// where a full disk or a file size limit cuts a write short, the part written is taken back when it
// ends the file, so that a failed write leaves no partial text (`written` is then 0).
Status WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written);

// Reads up to `size` bytes; `read` is 0 at the end of the file.
Status ReadFromFile(NativeFile file, void* data, std::uint32_t size, std::uint32_t& read);

// Moves the position (origin 0 begin, 1 current, 2 end) and gives the new one.
Status SeekFile(NativeFile file, std::int64_t offset, int origin, std::uint64_t& position);

// Size in bytes (GetFileSizeEx).
Status FileSizeOf(NativeFile file, std::uint64_t& size);

// Closes the handle and releases its share locks; kInvalidFile is ignored.
Status CloseFile(NativeFile file);

}  // namespace Quorlin::os
