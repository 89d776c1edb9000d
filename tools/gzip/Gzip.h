#pragma once
// The compressor the module starts after a roll-over.
//   gzip [-f] [-k] [-v] [-T] [-1 ... -9] [-b BYTES] FILE...
//   gzip -V
// Each FILE becomes FILE.gz in the gzip format: over zlib one member, over libdeflate one member for
// each block of 64 MiB (or -b BYTES, 4 KiB to 1 GiB) of the file, which readers such as zcat join. The compressed data goes to a temporary name beside it and takes the name
// FILE.gz only once complete and closed; FILE is removed only after that, unless -k. A failure
// leaves no partial FILE.gz behind. -T prints the seconds the files took, measured inside the
// program (for comparing builds whose start-up differs, such as under Wine). Exit code 0 when every file was compressed, 1 otherwise.

#include <filesystem>
#include <vector>

namespace Gzip {

// The default level: the fastest, as a roll-over waits for nobody but the files keep coming.
constexpr int kDefaultLevel = 1;

// Runs the program on its arguments (without the program name).
int Run(const std::vector<std::filesystem::path>& arguments);

}  // namespace Gzip
