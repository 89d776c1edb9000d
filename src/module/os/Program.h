#pragma once
// Helper programs that ship beside the module (the compressor): where the one to start lies.

#include <string>
#include <string_view>

namespace Quorlin::os {

// Full path of the helper program `name` to start: `directory` (with its trailing separator) + name +
// the platform's program suffix (".exe" on Windows). POSIX falls back to the first executable `name`
// in the directories of PATH when `directory` has none; Windows does not. When no copy is found the
// path beside the module is returned all the same, so that starting it fails and says so.
std::wstring LocateHelperProgram(std::wstring_view directory, std::wstring_view name);

}  // namespace Quorlin::os
