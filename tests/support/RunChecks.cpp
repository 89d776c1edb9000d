#include "RunChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "TempDir.h"

namespace QuorlinTest {

std::size_t CountLines(const std::filesystem::path& path)
{
    if (!std::filesystem::exists(path))
        return 0;
    const std::string text = ReadFile(path);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

long CheckGenerated(const std::filesystem::path& path, int threads)
{
    std::istringstream in(ReadFile(path));
    std::vector<long> next(static_cast<std::size_t>(threads), 0);
    long found = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '-')
            continue;
        std::istringstream fields(line);
        int thread = -1;
        long sequence = -1;
        fields >> thread >> sequence;
        if (thread < 0 || thread >= threads || sequence != next[static_cast<std::size_t>(thread)]) {
            ADD_FAILURE() << path.filename() << ": [" << line << "] where thread " << thread << " was due at "
                          << (thread >= 0 && thread < threads ? next[static_cast<std::size_t>(thread)] : -1);
            return -1;
        }
        ++next[static_cast<std::size_t>(thread)];
        ++found;
    }
    return found;
}

long SummaryEvents(const std::string& err)
{
    const std::string marker = "quorlin-run: ";
    for (std::size_t at = err.find(marker); at != std::string::npos; at = err.find(marker, at + 1)) {
        std::istringstream rest(err.substr(at + marker.size()));
        long events = -1;
        std::string word;
        if (rest >> events >> word && word == "events,")
            return events;
    }
    return -1;
}

}  // namespace QuorlinTest
