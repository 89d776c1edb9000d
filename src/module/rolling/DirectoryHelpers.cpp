#include "DirectoryHelpers.h"

#include <vector>

#include "os/Directory.h"
#include "os/Path.h"

namespace ORBEK::Utility::File {

bool CreateDir(const WString& path, const WString& root)
{
    // The usual case, at every roll-over: the directory is there already.
    if (!path.IsEmpty() && Quorlin::os::PathExists(path.StdView()))
        return true;
    const wchar_t separator = Quorlin::os::PathSeparator();
    WString base(root);
    std::int32_t n = base.GetLength();
    while (n > 0 && base[n - 1] == separator)
        --n;
    base = base.Left(n);

    // C:\logs\app\ -> C:, C:\logs, C:\logs\app (prefixes never end with a separator)
    std::vector<WString> prefixes;
    WString accumulated;
    for (std::int32_t i = 0; i < path.GetLength(); ++i) {
        const wchar_t c = path[i];
        if (Quorlin::os::IsPathSeparator(c))
            prefixes.push_back(accumulated);
        accumulated.Append(c);
    }
    if (path.GetLength() > 0 && !Quorlin::os::IsPathSeparator(path[path.GetLength() - 1]))
        prefixes.push_back(accumulated);

    for (const WString& prefix : prefixes) {
        if (!base.IsEmpty() && prefix.CompareNoCase(base) < 0)
            continue;
        if (!prefix.IsEmpty())
            Quorlin::os::MakeDirectory(prefix.StdView());
    }
    return true;
}

WString GetDir(const WString& path)
{
    const std::int32_t last = path.ReverseFind(Quorlin::os::PathSeparator());
    return last > 0 ? path.Left(last) : WString();
}

}  // namespace ORBEK::Utility::File
