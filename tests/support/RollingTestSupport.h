#pragma once
// Helpers of the roll-over tests: files by name, names of instants, reading the whole history.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Events.h"
#include "FakeClock.h"
#include "Gunzip.h"
#include "Instants.h"
#include "Paths.h"
#include "TempDir.h"
#include "diagnostics/ModuleInfo.h"
#include "file/RollingFileAppender.h"
#include "host/Utility.h"
#include "os/Clock.h"
#include "os/Module.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"
#include "utility/DString.h"

namespace QuorlinTest {

// gzip(.exe) is looked for beside the module; in the tests the module's code is the test binary, and
// gzip is built beside it. A test binary whose roll-overs compress calls this once, at start-up.
inline bool LocateModuleAtTestBinary()
{
    Quorlin::ModuleInfo::RecordLocation(ORBEK::Utility::DString(Quorlin::os::ThisModulePath().c_str()));
    return true;
}

using ORBEK::Utility::DString;
using ORBEK::Utility::WString;

inline WString W(const std::wstring& text) { return WString(std::wstring_view(text)); }
inline DString N(const std::string& text) { return DString(text.c_str()); }

inline void Touch(const TempDir& dir, const std::string& name, const std::string& content = "x")
{
    std::filesystem::create_directories((dir.Path() / name).parent_path());
    WriteFile(dir.Path() / name, content.empty() ? name : content);
}

// The names of the files in a directory, sorted.
inline std::set<std::string> Files(const std::filesystem::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.insert(Utf8(entry.path().filename()));
    return names;
}

inline std::string Sep() { return std::string(1, static_cast<char>(std::filesystem::path::preferred_separator)); }

// The pattern's name for the local time of `ticks`.
inline std::string NameAt(const std::string& pattern, std::int64_t ticks)
{
    const std::int64_t seconds = ticks / kTicksPerSecond;
    return Quorlin::Utility::PatternToFileName(pattern.c_str(), &seconds).ToDString().c_str();
}

// A time-based policy, or a size-and-time-based one, not configured yet.
inline std::unique_ptr<Quorlin::TimeBasedRollPolicy> NewTimePolicy(bool sizeAndTime)
{
    if (sizeAndTime)
        return std::make_unique<Quorlin::SizeAndTimeBasedRollPolicy>();
    return std::make_unique<Quorlin::TimeBasedRollPolicy>();
}

inline Quorlin::DString Text(const std::filesystem::path& path) { return Quorlin::DString(path.string().c_str()); }

// Appender options, (key, value), in the order given.
using Options = std::vector<std::pair<std::string, std::string>>;

// Bare messages ("%m") into folder/app.log, then `options` and `more`; the value of a key naming a
// file (fileName, fileNamePattern) is taken inside the folder.
inline void MessagesInto(Quorlin::Appender& appender, const std::filesystem::path& folder, const Options& options,
                         const Options& more = {})
{
    appender.SetLayout(std::make_shared<Quorlin::PatternLayout>("%m"));
    appender.SetOption("fileName/value", Text(folder / "app.log"));
    for (const Options* list : {&options, &more})
        for (const auto& [key, value] : *list)
            appender.SetOption(key.c_str(), key.find("ileName") != std::string::npos ? Text(folder / value) : N(value));
}

// A rolling file appender set up by MessagesInto, not activated yet.
inline std::unique_ptr<Quorlin::RollingFileAppender> RollingInto(const std::filesystem::path& folder, const Options& options,
                                                                 const Options& more = {})
{
    auto appender = std::make_unique<Quorlin::RollingFileAppender>();
    MessagesInto(*appender, folder, options, more);
    return appender;
}

// Size roll-overs into the fixed window app.1.log ... app.<maxIndex>.log.
inline Options SizeWindow(const std::string& maxFileSize, int maxIndex)
{
    return {{"fileNamePattern/value", "app.{RollingIndex}.log"},
            {"triggeringPolicy/maxFileSize/value", maxFileSize},
            {"rollingPolicy/maxIndex/value", std::to_string(maxIndex)}};
}

// Every file of a folder, .gz ones decompressed, by name.
inline std::map<std::string, std::string> ReadHistory(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string content;
        if (entry.path().extension() == ".gz") {
            if (!Gunzip(entry.path(), content))
                content = "<not a complete gzip file>";
        } else {
            content = ReadFile(entry.path());
        }
        files[entry.path().filename().string()] = content;
    }
    return files;
}

// A clock the test moves, whose gzip never starts (compressions leave the files as they are), and
// whose writes fail as on a full disk while `diskFull` is set.
class ClockWithoutGzip : public FakeClock {
public:
    using FakeClock::FakeClock;
    Quorlin::os::Status Spawn(std::wstring_view, std::wstring_view, Quorlin::os::ProcessHandle&) override
    {
        ++spawns;
        return Quorlin::os::FromNative(2);
    }
    Quorlin::os::Status WriteToFile(Quorlin::os::NativeFile file, const void* data, std::uint32_t size,
                                    std::uint32_t& written) override
    {
        if (!diskFull)
            return Quorlin::os::Interposer::WriteToFile(file, data, size, written);
        written = 0;
        return Quorlin::os::FromNative(28);
    }
    std::atomic<int> spawns{0};
    std::atomic<bool> diskFull{false};
};

}  // namespace QuorlinTest
