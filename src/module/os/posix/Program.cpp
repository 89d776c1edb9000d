#include "../Program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "Posix.h"

namespace Quorlin::os {
namespace {

bool IsExecutableFile(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::wstring LocateHelperProgram(std::wstring_view directory, std::wstring_view name)
{
    std::wstring beside(directory);
    beside += name;
    if (IsExecutableFile(posix::ToUtf8(beside)))
        return beside;
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return beside;
    const std::string file = posix::ToUtf8(name);
    const std::string_view list(path);
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(':', start);
        if (end == std::string_view::npos)
            end = list.size();
        // An empty entry means the current directory, as for execvp.
        std::string candidate(list.substr(start, end - start));
        candidate = (candidate.empty() ? std::string(".") : candidate) + "/" + file;
        if (IsExecutableFile(candidate))
            return posix::FromUtf8(candidate);
        start = end + 1;
    }
    return beside;
}

}  // namespace Quorlin::os
