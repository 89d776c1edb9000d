#include "HostShell.h"

#include <windows.h>

#include <cstdlib>

namespace QuorlinTest {
namespace {

// Wine's own export: the Linux path of a Windows one, in memory the caller frees with HeapFree.
using UnixFileName = char*(CDECL*)(const wchar_t*);

UnixFileName WineUnixFileName()
{
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

}  // namespace

std::string HostShellUnavailable()
{
    if (!WineUnixFileName())
        return "not under Wine: no Linux shell to start";
    if (::GetFileAttributesW(L"Z:\\bin\\sh") == INVALID_FILE_ATTRIBUTES)
        return "Wine's Z: drive does not show the Linux /bin/sh";
    return "";
}

std::string HostPath(const std::filesystem::path& path)
{
    const UnixFileName toUnix = WineUnixFileName();
    char* unixPath = toUnix ? toUnix(std::filesystem::absolute(path).wstring().c_str()) : nullptr;
    if (!unixPath)
        return "";
    std::string result = unixPath;
    ::HeapFree(::GetProcessHeap(), 0, unixPath);
    return result;
}

void StartHostScript(const std::filesystem::path& script)
{
    // start /unix hands a Linux program to Wine, which runs it beside the Windows ones. Its arguments go
    // as they are, quotes and all: the path cannot be quoted (nor hold a space).
    std::system(("start /unix /bin/sh " + HostPath(script)).c_str());
}

}  // namespace QuorlinTest
