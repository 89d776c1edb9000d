#include "../Directory.h"

#include "../Native.h"
#include "../Path.h"
#include "Win32.h"

namespace Quorlin::os {
using namespace win32;

bool PathExists(std::wstring_view name)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(Terminated(name).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return true;
}

Status MakeDirectory(std::wstring_view path)
{
    if (!::CreateDirectoryW(Terminated(path).c_str(), nullptr))
        return LastError();
    return {};
}

Status ListDirectory(std::wstring_view directory, std::vector<std::wstring>& names)
{
    names.clear();
    std::wstring pattern(directory);
    if (!pattern.empty() && !IsPathSeparator(pattern.back()) && pattern.back() != L':')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // A drive root without entries has not even "." to find.
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Status{} : FromNative(error);
    }
    Status status;
    try {
        do {
            const std::wstring_view entry = found.cFileName;
            if (entry != L"." && entry != L"..")
                names.emplace_back(entry);
        } while (::FindNextFileW(search, &found));
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES)
            status = FromNative(error);
    } catch (...) {
        status = FromNative(ERROR_NOT_ENOUGH_MEMORY);
    }
    ::FindClose(search);
    return status;
}

Status SetNormalAttributes(std::wstring_view name)
{
    if (!::SetFileAttributesW(Terminated(name).c_str(), FILE_ATTRIBUTE_NORMAL))
        return LastError();
    return {};
}

Status SetReadOnly(std::wstring_view name)
{
    const std::wstring path(name);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return LastError();
    // FILE_ATTRIBUTE_NORMAL is valid only alone.
    if (!::SetFileAttributesW(path.c_str(), (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_READONLY))
        return LastError();
    return {};
}

Status native::RemoveFile(std::wstring_view name)
{
    if (!::DeleteFileW(Terminated(name).c_str()))
        return LastError();
    return {};
}

Status native::RenameFile(std::wstring_view from, std::wstring_view to)
{
    if (NamesAStream(to))
        return FromNative(ERROR_INVALID_NAME);
    if (!::MoveFileW(Terminated(from).c_str(), Terminated(to).c_str()))
        return LastError();
    return {};
}

bool CanRemoveOrRename(std::wstring_view name)
{
    // DELETE access sharing everything: refused with a sharing violation exactly when some handle
    // open on the file did not share delete, which is what DeleteFileW and MoveFileW would meet.
    const HANDLE probe = ::CreateFileW(Terminated(name).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return ::GetLastError() != ERROR_SHARING_VIOLATION;
    ::CloseHandle(probe);
    return true;
}

}  // namespace Quorlin::os
