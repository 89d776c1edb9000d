#pragma once
// A fresh directory per test, removed (read-only files included) when the test ends.

#include <filesystem>
#include <string>

namespace QuorlinTest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }
    // The path of `name` inside the directory, as a wide string with the platform's separators.
    std::wstring Wide(const std::string& name = "") const;

private:
    std::filesystem::path m_Path;
};

// Whole content of a file, empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

}  // namespace QuorlinTest
