#include "FileReport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "host/Utility.h"
#include "utility/StringOps.h"

namespace QuorlinRun {
namespace {

namespace fs = std::filesystem;

// The size a gzip file holds uncompressed (its trailer keeps it modulo 2^32), or 0.
std::uint64_t GzipOriginalSize(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char trailer[4] = {};
    if (!in.seekg(-4, std::ios::end) || !in.read(reinterpret_cast<char*>(trailer), 4))
        return 0;
    return trailer[0] | (trailer[1] << 8) | (trailer[2] << 16) | (static_cast<std::uint64_t>(trailer[3]) << 24);
}

std::string Grouped(std::uint64_t n)
{
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return digits;
}

}  // namespace

void ReportLogFiles(const Quorlin::Configuration& config, std::FILE* out)
{
    std::set<fs::path> folders;
    for (const Quorlin::AppenderConfig& a : config.appenders) {
        if (ORBEK::Utility::FindText(ORBEK::Utility::StringView(a.type), "Appender.RollingFile", 0, true) < 0)
            continue;
        for (const auto& [key, value] : a.options) {
            if (key.rfind("fileName/value", 0) != 0)
                continue;
            const Quorlin::Utility::WString name = Quorlin::Utility::PatternToFileName(value.c_str());
            fs::path folder = fs::path(std::wstring(name.StdView())).parent_path();
            folders.insert(folder.empty() ? fs::path(".") : folder);
        }
    }
    for (const fs::path& folder : folders) {
        std::error_code ec;
        std::vector<fs::directory_entry> files;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.is_regular_file(ec))
                files.push_back(entry);
        std::sort(files.begin(), files.end());
        std::fprintf(out, "quorlin-run: files in %s:\n", folder.string().c_str());
        for (const auto& entry : files) {
            const std::uint64_t size = entry.file_size(ec);
            std::string line = "  " + entry.path().filename().string();
            line.resize(std::max<std::size_t>(line.size() + 1, 28), ' ');
            const std::string bytes = Grouped(size);
            line += std::string(bytes.size() < 14 ? 14 - bytes.size() : 0, ' ') + bytes + " bytes";
            if (entry.path().extension() == ".gz" && size > 0) {
                const std::uint64_t original = GzipOriginalSize(entry.path());
                char ratio[64];
                std::snprintf(ratio, sizeof ratio, "  (%.1f:1, from %s bytes)", static_cast<double>(original) / size,
                              Grouped(original).c_str());
                line += ratio;
            }
            std::fprintf(out, "%s\n", line.c_str());
        }
    }
}

}  // namespace QuorlinRun
