#pragma once
// Path conventions of the platform: the separator and the splitter.

#include <string>
#include <string_view>

#include "Status.h"

namespace Quorlin::os {

// The separator the module's name helpers cut at: '\\' on Windows, '/' on POSIX.
wchar_t PathSeparator() noexcept;

// Whether c separates path components ('\\' and '/' on Windows, '/' on POSIX).
bool IsPathSeparator(wchar_t c) noexcept;

// The platform's longest path in characters, terminator included (MAX_PATH 260; PATH_MAX on POSIX).
int MaxPathLength() noexcept;

struct PathParts {
    std::wstring drive;      // "C:" on Windows; always empty on POSIX
    std::wstring directory;  // with its trailing separator
    std::wstring name;       // base name without extension
    std::wstring extension;  // from the last '.' of the last component, the dot included
};

// Splits like _wsplitpath_s with buffers of `partLimit` characters (terminator included); fails with
// NameTooLong, and leaves `parts` empty, when a part would not fit.
Status SplitPath(std::wstring_view path, PathParts& parts, int partLimit = 260);

}  // namespace Quorlin::os
