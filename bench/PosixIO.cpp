#include "PosixIO.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <sstream>
#include <unistd.h>

namespace BenchIO {

namespace {
int g_SavedStdout = -1;
std::string g_CapturePath;
}  // namespace

int OpenTruncated(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); }

bool WriteAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0)
            return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

void Close(int fd) { ::close(fd); }

void BeginCapture(const std::string& path)
{
    std::fflush(stdout);
    g_CapturePath = path;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    g_SavedStdout = ::dup(1);
    ::dup2(fd, 1);
    ::close(fd);
}

std::string EndCapture()
{
    std::fflush(stdout);
    ::dup2(g_SavedStdout, 1);
    ::close(g_SavedStdout);
    g_SavedStdout = -1;
    std::ifstream in(g_CapturePath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void ResetPeakRss()
{
    // What earlier runs freed goes back to the system first, or the mark would start from their peak.
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::int64_t PeakRssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6));
    return 0;
}

}  // namespace BenchIO
