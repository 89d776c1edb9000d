#pragma once
// Checks of what a quorlin-run process wrote: its generated events in the files and its summary.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <thread>

namespace QuorlinTest {

// Polls `done` every pollMs until it holds or the deadline, which only guards against a hang.
template <typename Predicate>
bool WaitFor(Predicate done, int seconds = 60, int pollMs = 20)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}

// The line ends in a file; 0 when it does not exist.
std::size_t CountLines(const std::filesystem::path& path);

// Checks generated events ("<thread> <sequence> xxx..."): each thread's sequence numbers run from 0
// without a gap or repeat. Lines starting with "-" (banners) and empty ones are skipped. Returns the
// events found, or -1 after a failed check (reported as a test failure).
long CheckGenerated(const std::filesystem::path& path, int threads);

// The count of "quorlin-run: N events" in the generator's summary, or -1.
long SummaryEvents(const std::string& err);

// Events through an asynchronous forwarder's queue into a file, beside a rolling file.
inline constexpr const char* kRollingAndAsync =
    "[appender rolling]\ntype = Appender.RollingFile\nlayout = %m\n"
    "fileName/value = rolling.log\nfileNamePattern/value = rolling.{RollingIndex}.log\nrollingPolicy/maxIndex/value = 3\n"
    "triggeringPolicy/maxFileSize/value = 1GB\n"
    "[appender async]\ntype = Appender.AsyncBufferingForward\nappender-ref/ref = forwarded\n"
    "limitOfLogPacket/value = 64\n"
    "[appender forwarded]\ntype = Appender.File\nlayout = %m\nfileName/value = forwarded.log\n"
    "[root]\nappender-ref = rolling\nappender-ref = async\n";

}  // namespace QuorlinTest
