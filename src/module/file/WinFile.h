#pragma once
// WinFile: the owner of one file handle, opened with a mode letter and a sharing flag.

#include <atomic>
#include <cstdint>
#include <memory>

#include "os/File.h"
#include "utility/DString.h"

namespace Quorlin {

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

// Sharing flags of WinFile::Open: what other handles may do while this one is open.
enum ShareFlag : int {
    kDenyReadWrite = 0x10,
    kDenyWrite = 0x20,  // others may read, not write, delete or rename
    kDenyRead = 0x30,
    kDenyNone = 0x40,
};

// The error of a failed open: a system error code with its text, fetched on first request.
class OsError {
public:
    explicit OsError(std::uint32_t code) : m_Code(code) {}
    virtual ~OsError() = default;
    virtual const DString& Message() const;
    std::uint32_t Code() const { return m_Code; }

private:
    std::uint32_t m_Code;
    mutable DString m_Message;
    mutable bool m_Fetched = false;
};

// Success, or the OsError of the failure.
class OpenResult {
public:
    OpenResult() = default;
    explicit OpenResult(std::uint32_t code) : m_Error(std::make_unique<OsError>(code)) {}
    bool Ok() const { return m_Error == nullptr; }
    explicit operator bool() const { return Ok(); }
    const OsError* Error() const { return m_Error.get(); }

private:
    std::unique_ptr<OsError> m_Error;
};

class FileBase {
public:
    virtual ~FileBase() = default;
    // Opens for writing (mode 'W': create or truncate).
    virtual OpenResult Open(const WString& name, int shareFlag) = 0;
    virtual void Close() = 0;
    virtual std::uint32_t Seek(std::int32_t offset, int origin) = 0;
    virtual bool IsBad() const = 0;
};

class WinFile final : public FileBase {
public:
    WinFile() = default;
    // Closes an open handle, silently.
    ~WinFile() override;
    WinFile(const WinFile&) = delete;
    WinFile& operator=(const WinFile&) = delete;

    OpenResult Open(const WString& name, int shareFlag) override { return Open(name, shareFlag, 'W'); }
    // Closes any open handle first. Mode 'W' creates or truncates, 'A' opens an existing file for
    // writing, any other letter opens an existing file for reading.
    OpenResult Open(const WString& name, int shareFlag, char mode);
    // Takes the handle away atomically and closes it; the file is bad afterwards.
    void Close() override;
    // New position (low 32 bits); 0xFFFFFFFF without a handle; 0 for a bad origin or a failure.
    std::uint32_t Seek(std::int32_t offset, int origin) override;
    bool IsBad() const override { return m_Bad.load(std::memory_order_relaxed); }

    // Whether a handle is held (also after a failed write, which makes the file bad but keeps it).
    bool IsOpen() const { return m_Handle.load(std::memory_order_relaxed) != os::kInvalidFile; }
    // One write of all the bytes; a failed or empty write makes the file bad. The bad flag is not
    // consulted first.
    bool Write(const char* data, std::uint32_t size);

private:
    std::atomic<os::NativeFile> m_Handle{os::kInvalidFile};
    std::atomic<bool> m_Bad{true};
};

}  // namespace Quorlin
