#include "../File.h"

#include "../Native.h"
#include "Win32.h"

namespace Quorlin::os {
using namespace win32;

Status native::OpenFile(std::wstring_view name, Access access, Disposition disposition, std::uint32_t share, NativeFile& file)
{
    file = kInvalidFile;
    if (NamesAStream(name))
        return FromNative(ERROR_INVALID_NAME);
    const DWORD desired = access == Access::Read ? GENERIC_READ : access == Access::Write ? GENERIC_WRITE : READ_CONTROL;
    // Not inherited: a spawned child (bInheritHandles TRUE) must not keep the file and its share mode.
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    const HANDLE handle = ::CreateFileW(Terminated(name).c_str(), desired,
                                        share & (FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE), &security,
                                        disposition == Disposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    file = FromHandle(handle);
    return {};
}

Status native::WriteToFile(NativeFile file, const void* data, std::uint32_t size, std::uint32_t& written)
{
    written = 0;
    const char* next = static_cast<const char*>(data);
    while (written < size) {
        DWORD done = 0;
        if (!::WriteFile(ToHandle(file), next + written, size - written, &done, nullptr))
            return LastError();
        if (done == 0)
            return FromNative(ERROR_WRITE_FAULT);
        written += done;
    }
    return {};
}

Status native::ReadFromFile(NativeFile file, void* data, std::uint32_t size, std::uint32_t& read)
{
    DWORD done = 0;
    read = 0;
    if (!::ReadFile(ToHandle(file), data, size, &done, nullptr))
        return LastError();
    read = done;
    return {};
}

Status native::SeekFile(NativeFile file, std::int64_t offset, int origin, std::uint64_t& position)
{
    // FILE_BEGIN, FILE_CURRENT and FILE_END are 0, 1 and 2.
    if (origin < 0 || origin > 2)
        return FromNative(ERROR_INVALID_PARAMETER);
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    if (!::SetFilePointerEx(ToHandle(file), distance, &result, static_cast<DWORD>(origin)))
        return LastError();
    position = static_cast<std::uint64_t>(result.QuadPart);
    return {};
}

Status native::FileSizeOf(NativeFile file, std::uint64_t& size)
{
    LARGE_INTEGER result;
    if (!::GetFileSizeEx(ToHandle(file), &result))
        return LastError();
    size = static_cast<std::uint64_t>(result.QuadPart);
    return {};
}

Status native::CloseFile(NativeFile file)
{
    if (file == kInvalidFile)
        return {};
    if (!::CloseHandle(ToHandle(file)))
        return LastError();
    return {};
}

}  // namespace Quorlin::os
