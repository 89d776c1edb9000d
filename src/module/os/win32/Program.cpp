#include "../Program.h"

namespace Quorlin::os {

std::wstring LocateHelperProgram(std::wstring_view directory, std::wstring_view name)
{
    // Only the copy beside the module: a system search could start an unrelated program of that name.
    std::wstring beside(directory);
    beside += name;
    beside += L".exe";
    return beside;
}

}  // namespace Quorlin::os
