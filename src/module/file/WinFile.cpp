#include "WinFile.h"

namespace Quorlin {

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

}  // namespace Quorlin
