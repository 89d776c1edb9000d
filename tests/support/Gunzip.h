#pragma once
// Reads a gzip file back (zlib), for checking what the compressions wrote.

#include <filesystem>
#include <string>

namespace QuorlinTest {

// The decompressed content of every member; false when the file is missing, truncated or not gzip.
bool Gunzip(const std::filesystem::path& path, std::string& content);

}  // namespace QuorlinTest
