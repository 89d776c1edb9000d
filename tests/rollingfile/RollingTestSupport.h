#pragma once
// Shared by the rolling file appender's tests: events, local instants, reading the whole history.

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Events.h"
#include "FakeClock.h"
#include "Instants.h"
#include "Gunzip.h"
#include "TempDir.h"
#include "file/RollingFileAppender.h"
#include "os/Clock.h"

namespace RollingTest {

using QuorlinTest::Log;

using QuorlinTest::LocalTicks;

inline Quorlin::DString Text(const std::filesystem::path& path) { return Quorlin::DString(path.string().c_str()); }

// Every file of a folder, .gz ones decompressed, by name.
inline std::map<std::string, std::string> ReadHistory(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string content;
        if (entry.path().extension() == ".gz") {
            if (!QuorlinTest::Gunzip(entry.path(), content))
                content = "<not a complete gzip file>";
        } else {
            content = QuorlinTest::ReadFile(entry.path());
        }
        files[entry.path().filename().string()] = content;
    }
    return files;
}

// A clock the test moves, whose gzip never starts (compressions leave the files as they are).
class ClockWithoutGzip : public QuorlinTest::FakeClock {
public:
    using FakeClock::FakeClock;
    Quorlin::os::Status Spawn(std::wstring_view, std::wstring_view, Quorlin::os::ProcessHandle&) override
    {
        ++spawns;
        return Quorlin::os::FromNative(2);
    }
    std::atomic<int> spawns{0};
};

} // namespace RollingTest
