#include "../Path.h"

#include <climits>
#include <cerrno>

namespace Quorlin::os {

wchar_t PathSeparator() noexcept { return L'/'; }

bool IsPathSeparator(wchar_t c) noexcept { return c == L'/'; }

int MaxPathLength() noexcept { return PATH_MAX; }

Status SplitPath(std::wstring_view path, PathParts& parts, int partLimit)
{
    parts = {};
    const std::size_t slash = path.find_last_of(L'/');
    const std::size_t nameStart = slash == std::wstring_view::npos ? 0 : slash + 1;
    const std::wstring_view last = path.substr(nameStart);
    // As _wsplitpath_s: the extension starts at the last dot of the last component, even its first
    // character (".profile" is all extension).
    const std::size_t dot = last.find_last_of(L'.');
    const std::wstring_view name = last.substr(0, dot);
    const std::wstring_view extension = dot == std::wstring_view::npos ? std::wstring_view() : last.substr(dot);

    // Every part needs room for its terminator, as in the buffers of _wsplitpath_s; the empty drive too.
    const std::size_t limit = partLimit > 0 ? static_cast<std::size_t>(partLimit) : 0;
    if (limit < 1 || nameStart + 1 > limit || name.size() + 1 > limit || extension.size() + 1 > limit)
        return FromNative(ENAMETOOLONG);
    try {
        parts.directory.assign(path.substr(0, nameStart));
        parts.name.assign(name);
        parts.extension.assign(extension);
    } catch (...) {
        parts = {};
        return FromNative(ENOMEM);
    }
    return {};
}

}  // namespace Quorlin::os
