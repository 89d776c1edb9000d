#include "../Process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../Native.h"
#include "Posix.h"

extern char** environ;

namespace Quorlin::os {
namespace {
using namespace posix;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Splits a command line as CommandLineToArgvW does. The program name runs to the next blank, or from
// an opening quote to the next quote, with no escapes. In the other arguments 2n backslashes before
// a quote give n backslashes and the quote opens or closes a quoted part; 2n+1 give n backslashes and
// a literal quote; backslashes before anything else are literal; in a run of quotes every third one
// is literal.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line)
{
    std::vector<std::wstring> args;
    args.reserve(8);  // gzip's command line: program, options, the file
    std::size_t i = 0;
    std::wstring program;
    program.reserve(line.size());
    if (i < line.size() && line[i] == L'"') {
        for (++i; i < line.size() && line[i] != L'"'; ++i)
            program += line[i];
        if (i < line.size())
            ++i;
    } else {
        for (; i < line.size() && !IsBlank(line[i]); ++i)
            program += line[i];
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        std::wstring arg;
        arg.reserve(line.size() - i);
        int quotes = 0;  // 1 inside a quoted part
        std::size_t backslashes = 0;
        while (i < line.size()) {
            const wchar_t c = line[i];
            if (IsBlank(c) && quotes == 0)
                break;
            ++i;
            if (c == L'\\') {
                arg += c;
                ++backslashes;
                continue;
            }
            if (c != L'"') {
                arg += c;
                backslashes = 0;
                continue;
            }
            if (backslashes % 2 == 0) {
                arg.resize(arg.size() - backslashes / 2);
                ++quotes;
            } else {
                arg.resize(arg.size() - backslashes / 2 - 1);
                arg += L'"';
            }
            backslashes = 0;
            for (; i < line.size() && line[i] == L'"'; ++i) {
                if (++quotes == 3) {
                    arg += L'"';
                    quotes = 0;
                }
            }
            if (quotes == 2)
                quotes = 0;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

struct ChildStartCount {
    std::mutex mutex;
    std::condition_variable ended;
    std::uint64_t begun = 0;
    std::uint64_t finished = 0;
};

ChildStartCount& Starts()
{
    static ChildStartCount* starts = new ChildStartCount;  // never destroyed: compressions may outlive exit
    return *starts;
}

// Records a status from waitpid in the handle.
void Remember(ProcessHandle& child, int status)
{
    if (WIFEXITED(status))
        child.exitCode = static_cast<std::uint32_t>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        child.exitCode = 128 + static_cast<std::uint32_t>(WTERMSIG(status));
}

}  // namespace

std::uint64_t posix::ChildStartsBegun() noexcept
{
    std::lock_guard<std::mutex> lock(Starts().mutex);
    return Starts().begun;
}

std::uint64_t posix::ChildStartsEnded() noexcept
{
    std::lock_guard<std::mutex> lock(Starts().mutex);
    return Starts().finished;
}

void posix::BeginChildStart() noexcept
{
    std::lock_guard<std::mutex> lock(Starts().mutex);
    ++Starts().begun;
}

void posix::EndChildStart() noexcept
{
    {
        std::lock_guard<std::mutex> lock(Starts().mutex);
        ++Starts().finished;
    }
    Starts().ended.notify_all();
}

void posix::PauseMs(std::uint32_t milliseconds) noexcept { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

bool posix::AwaitChildStarts(std::uint64_t begun, std::uint32_t milliseconds) noexcept
{
    std::unique_lock<std::mutex> lock(Starts().mutex);
    return Starts().ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return Starts().finished >= begun; });
}

Status native::Spawn(std::wstring_view program, std::wstring_view commandLine, ProcessHandle& child)
{
    child = ProcessHandle{};
    std::vector<std::string> args;
    std::string path;
    try {
        const std::vector<std::wstring> split = SplitCommandLine(commandLine);
        args.reserve(split.size());
        for (const std::wstring& arg : split)
            args.push_back(ToUtf8(arg));
        path = ToUtf8(program);
    } catch (...) {
        return FromNative(ENOMEM);
    }
    // CommandLineToArgvW("") gives the program itself.
    if (args.size() == 1 && args[0].empty())
        args[0] = path;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (int error = ::posix_spawn_file_actions_init(&actions))
        return FromNative(static_cast<std::uint32_t>(error));
    if (int error = ::posix_spawnattr_init(&attributes)) {
        ::posix_spawn_file_actions_destroy(&actions);
        return FromNative(static_cast<std::uint32_t>(error));
    }
    // Like a child in a new hidden console: nothing to read, and what it prints reaches no one.
    int error = ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!error)
        error = ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!error)
        error = ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The child holds copies of this process's descriptors, share markers included, until they are
    // closed: closed before its exec, they are gone by the time posix_spawn returns (which it does at
    // the exec, before the kernel closes the close-on-exec ones).
    if (!error)
        error = ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // A new process starts with no signal blocked, whatever the spawning thread blocks.
    sigset_t none;
    sigemptyset(&none);
    if (!error)
        error = ::posix_spawnattr_setsigmask(&attributes, &none);
    if (!error)
        error = ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    if (!error) {
        BeginChildStart();
        // Without a program name the command line names it, searched like CreateProcessW's lookup.
        error = path.empty() ? ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ)
                             : ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
        EndChildStart();
    }
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error)
        return FromNative(static_cast<std::uint32_t>(error));
    child.process = pid;
    return {};
}

Status native::ExitCodeOf(ProcessHandle& child, std::uint32_t& code)
{
    code = child.exitCode;
    if (child.exitCode != kStillActive)
        return {};
    if (child.process <= 0)
        return FromNative(ECHILD);
    int status = 0;
    pid_t done;
    do
        done = ::waitpid(static_cast<pid_t>(child.process), &status, WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done < 0)
        return LastError();
    if (done > 0)
        Remember(child, status);
    code = child.exitCode;
    return {};
}

void native::AwaitExit(ProcessHandle& child, std::uint32_t milliseconds)
{
    if (child.exitCode != kStillActive || child.process <= 0)
        return;
    // A process descriptor becomes readable when the child ends; without one (an old kernel) the
    // wait is a plain sleep.
    const int descriptor = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(child.process), 0));
    if (descriptor < 0) {
        native::SleepMs(milliseconds);
        return;
    }
    pollfd ended{descriptor, POLLIN, 0};
    while (::poll(&ended, 1, static_cast<int>(milliseconds)) < 0 && errno == EINTR) {
    }
    ::close(descriptor);
}

void native::CloseProcess(ProcessHandle& child)
{
    // A child that has already ended is reaped now rather than left as a zombie.
    if (child.process > 0 && child.exitCode == kStillActive) {
        int status = 0;
        ::waitpid(static_cast<pid_t>(child.process), &status, WNOHANG);
    }
    child = ProcessHandle{};
}

Status native::KillProcess(ProcessHandle& child)
{
    // Once reaped the pid may belong to another process already.
    if (child.exitCode != kStillActive)
        return {};
    if (child.process <= 0)
        return FromNative(ESRCH);
    if (::kill(static_cast<pid_t>(child.process), SIGKILL) != 0)
        return LastError();
    // Reaped at once, so that ExitCodeOf reports the end straight away as it does after TerminateProcess.
    int status = 0;
    pid_t done;
    do
        done = ::waitpid(static_cast<pid_t>(child.process), &status, 0);
    while (done < 0 && errno == EINTR);
    if (done < 0)
        return LastError();
    Remember(child, status);
    return {};
}

int ThreadCountOfProcess()
{
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (!status)
        return -1;
    int count = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "Threads:", 8) == 0) {
            count = static_cast<int>(std::strtol(line + 8, nullptr, 10));
            break;
        }
    }
    std::fclose(status);
    return count;
}

std::uint32_t CurrentProcessId() noexcept { return static_cast<std::uint32_t>(::getpid()); }

std::uint64_t CurrentThreadId() noexcept { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

void SetCurrentThreadName(const char* name)
{
    if (!name)
        return;
    // Linux keeps 15 bytes; the cut backs off to a whole UTF-8 character.
    char shortName[16] = {};
    std::size_t length = std::strlen(name);
    if (length > 15) {
        length = 15;
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(shortName, name, length);
    ::pthread_setname_np(::pthread_self(), shortName);
}

}  // namespace Quorlin::os
