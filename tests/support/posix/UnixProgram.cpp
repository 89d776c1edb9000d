#include "UnixProgram.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace QuorlinTest {

bool StartUnixProgram(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    // Forked twice so that the program is nobody's child here, as under Wine: no zombie to reap, and
    // the test process's end does not wait for it. A close-on-exec pipe reports a failed exec.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t middle = ::fork();
    if (middle == 0) {
        const pid_t program = ::fork();
        if (program == 0) {
            ::setsid();
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::dup3(report[1], 3, O_CLOEXEC);
            ::close_range(4, ~0U, 0);
            ::execv(args[0], args.data());
            const int error = errno;
            (void)!::write(3, &error, sizeof error);
        }
        ::_exit(program > 0 ? 0 : 1);
    }
    ::close(report[1]);
    int status = 0;
    while (middle > 0 && ::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return middle > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

std::string UnixPath(const std::string& path) { return path; }

}  // namespace QuorlinTest
