#include "WinFile.h"

#include "utility/StringView.h"

namespace Quorlin {

std::uint64_t OsError::CategoryId() const { return ORBEK::Utility::StringView::Literal("Error.Catelog.OS.Windows").GetHash(); }

const char* OsError::CategoryName() const { return "Error.Catelog.OS.Windows"; }

const DString& OsError::Message() const
{
    if (!m_Fetched) {
        const std::string text = os::ErrorText(m_Code);
        m_Message = DString(text.data(), static_cast<std::int32_t>(text.size()));
        m_Fetched = true;
    }
    return m_Message;
}

WinFile::~WinFile()
{
    const os::NativeFile handle = m_Handle.exchange(os::kInvalidFile);
    if (handle != os::kInvalidFile)
        os::CloseFile(handle);
}

OpenResult WinFile::Open(const WString& name, int shareFlag, char mode)
{
    Close();
    std::uint32_t share = os::ShareNone;
    switch (shareFlag) {
    case kDenyWrite: share = os::ShareRead; break;
    case kDenyRead: share = os::ShareWrite; break;
    case kDenyNone: share = os::ShareRead | os::ShareWrite; break;
    default: break;  // kDenyReadWrite and anything else share nothing
    }
    os::Access access = os::Access::Read;
    os::Disposition disposition = os::Disposition::OpenExisting;
    if (mode == 'W')
        access = os::Access::Write, disposition = os::Disposition::CreateAlways;
    else if (mode == 'A')
        access = os::Access::Write;
    os::NativeFile handle = os::kInvalidFile;
    const os::Status status = os::OpenFile(name.StdView(), access, disposition, share, handle);
    if (!status.Ok())
        return OpenResult(status.native == 0 ? 1u : status.native);
    m_Handle.store(handle);
    m_Bad.store(false);
    return OpenResult();
}

void WinFile::Close()
{
    const os::NativeFile handle = m_Handle.exchange(os::kInvalidFile);
    if (handle != os::kInvalidFile) {
        os::CloseFile(handle);
        m_Bad.store(true);
    }
}

std::uint32_t WinFile::Seek(std::int32_t offset, int origin)
{
    const os::NativeFile handle = m_Handle.load();
    if (handle == os::kInvalidFile)
        return 0xFFFFFFFFu;
    if (origin < 0 || origin > 2)
        return 0;
    std::uint64_t position = 0;
    if (!os::SeekFile(handle, offset, origin, position).Ok())
        return 0;
    return static_cast<std::uint32_t>(position);
}

std::uint32_t WinFile::Tell()
{
    const os::NativeFile handle = m_Handle.load();
    std::uint64_t position = 0;
    if (handle == os::kInvalidFile || !os::SeekFile(handle, 0, 1, position).Ok())
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(position);
}

std::uint32_t WinFile::GetSize()
{
    std::uint64_t size = 0;
    const os::NativeFile handle = m_Handle.load();
    if (handle == os::kInvalidFile || !os::FileSizeOf(handle, size).Ok())
        return 0;
    return static_cast<std::uint32_t>(size);
}

std::uint64_t WinFile::GetSizeMB()
{
    std::uint64_t size = 0;
    const os::NativeFile handle = m_Handle.load();
    if (handle == os::kInvalidFile || !os::FileSizeOf(handle, size).Ok())
        return 0;
    // High part x 4096 + low part >> 20, as a 32-bit size API would give it.
    const std::uint64_t high = size >> 32, low = size & 0xFFFFFFFFu;
    return high * 4096 + (low >> 20);
}

bool WinFile::Write(const char* data, std::uint32_t size)
{
    std::uint32_t written = 0;
    const os::Status status = os::WriteToFile(m_Handle.load(std::memory_order_relaxed), data, size, written);
    if (!status.Ok() || written == 0) {
        m_Bad.store(true, std::memory_order_relaxed);
        return false;
    }
    return true;
}

} // namespace Quorlin
