#include "../Path.h"

#include <stdlib.h>

#include <cerrno>
#include <vector>

#include "Win32.h"

namespace Quorlin::os {

wchar_t PathSeparator() noexcept { return L'\\'; }

bool IsPathSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

int MaxPathLength() noexcept { return MAX_PATH; }

Status SplitPath(std::wstring_view path, PathParts& parts, int partLimit)
{
    parts = {};
    // Not even the terminator fits: _wsplitpath_s would refuse the buffers as invalid.
    if (partLimit < 1)
        return FromNative(ERROR_FILENAME_EXCED_RANGE);
    const std::wstring whole(path);
    const auto size = static_cast<std::size_t>(partLimit);
    std::vector<wchar_t> drive(size), directory(size), name(size), extension(size);
    const errno_t result = ::_wsplitpath_s(whole.c_str(), drive.data(), size, directory.data(), size, name.data(), size,
                                           extension.data(), size);
    if (result == ERANGE)
        return FromNative(ERROR_FILENAME_EXCED_RANGE);
    if (result != 0)
        return FromNative(ERROR_INVALID_PARAMETER);
    parts.drive = drive.data();
    parts.directory = directory.data();
    parts.name = name.data();
    parts.extension = extension.data();
    return {};
}

}  // namespace Quorlin::os
