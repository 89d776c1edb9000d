#include "TempDir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include "os/Process.h"

namespace QuorlinTest {
namespace fs = std::filesystem;

TempDir::TempDir()
{
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_Path = fs::temp_directory_path() / ("quorlin-test-" + std::to_string(Quorlin::os::CurrentProcessId()) + "-" +
                                          std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(m_Path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_Path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_Path, ec);
}

std::wstring TempDir::Wide(const std::string& name) const
{
    fs::path path = name.empty() ? m_Path : m_Path / name;
    return path.make_preferred().wstring();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace QuorlinTest
