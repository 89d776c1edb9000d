#include "UnixProgram.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "Paths.h"
#include "TempDir.h"
#include "os/Process.h"

namespace QuorlinTest {
std::string UnixQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunUnixShell(const std::string& command, const std::string& directory, std::uint32_t timeoutMs, std::string* output)
{
    static std::atomic<int> counter{0};
    const std::string unixDirectory = UnixPath(directory);
    if (unixDirectory.empty())
        return -1;
    const std::string name = "unix-shell-" + std::to_string(Quorlin::os::CurrentProcessId()) + "-" + std::to_string(counter++);
    const std::filesystem::path folder = PathOf(directory);
    // The command runs from a file so that no quoting has to survive a Windows command line; its
    // status appears under its final name only once complete.
    WriteFile(folder / (name + ".cmd"), command);
    const std::string seconds = std::to_string((timeoutMs + 999) / 1000);
    std::string script = "cd " + UnixQuoted(unixDirectory) + " || exit 1\n";
    script += "timeout " + seconds + " /bin/sh ./" + name + ".cmd >" + name + ".out 2>&1\n";
    script += "echo $? >" + name + ".tmp && mv " + name + ".tmp " + name + ".status\n";
    WriteFile(folder / (name + ".sh"), script);
    if (!StartUnixProgram({"/bin/sh", unixDirectory + "/" + name + ".sh"}))
        return -1;
    const std::filesystem::path status = folder / (name + ".status");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs + 2000);
    std::error_code ec;
    while (!std::filesystem::exists(status, ec)) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (output)
        *output = ReadFile(folder / (name + ".out"));
    const int code = std::atoi(ReadFile(status).c_str());
    return code == 124 ? -1 : code;  // 124: timeout stopped it
}

}  // namespace QuorlinTest
