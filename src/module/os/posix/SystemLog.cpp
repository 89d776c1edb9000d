#include "../SystemLog.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <mutex>
#include <new>
#include <string>

#include "../Native.h"
#include "Posix.h"

namespace Quorlin::os {
namespace {

// Records are written to the log socket directly, so that each source keeps its own ident without
// the process-wide openlog().
struct Source {
    std::string ident;
    std::mutex lock;
    int socket = -1;  // connected lazily; a daemon started later is found by the next record
};

constexpr std::size_t kMaxRecord = 8192;

int ConnectToLog()
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    static constexpr char kPath[] = "/dev/log";
    static_assert(sizeof kPath <= sizeof address.sun_path);
    std::copy(std::begin(kPath), std::end(kPath), address.sun_path);
    // Datagrams as the daemons expect; a stream socket where the daemon offers one.
    for (int type : {SOCK_DGRAM, SOCK_STREAM}) {
        const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        if (error != EPROTOTYPE)
            return -1;
    }
    return -1;
}

// "<PRI>Mmm dd hh:mm:ss ident[pid]: text", the form of RFC 3164 that local daemons read.
std::string FormatRecord(const Source& source, std::uint16_t type, const char* text)
{
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int severity = type == kEventError ? LOG_ERR : type == kEventWarning ? LOG_WARNING : LOG_INFO;
    const time_t now = ::time(nullptr);
    std::tm local = {};
    ::localtime_r(&now, &local);
    char head[64];
    std::snprintf(head, sizeof head, "<%d>%s %2d %02d:%02d:%02d ", LOG_USER | severity, kMonths[local.tm_mon % 12], local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    std::string record = head;
    record += source.ident;
    record += '[' + std::to_string(::getpid()) + "]: ";
    if (text)
        record += text;
    if (record.size() > kMaxRecord)
        record.resize(kMaxRecord);
    return record;
}

bool SendRecord(int fd, const std::string& record)
{
    // A stream socket needs the terminator that separates records; a datagram is a record.
    int type = SOCK_DGRAM;
    socklen_t length = sizeof type;
    ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length);
    const std::size_t size = type == SOCK_STREAM ? record.size() + 1 : record.size();
    return ::send(fd, record.c_str(), size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

}  // namespace

EventSource native::RegisterSource(const char* source)
{
    auto* registered = new (std::nothrow) Source;
    if (!registered)
        return nullptr;
    try {
        registered->ident = source ? source : "";
    } catch (...) {
        delete registered;
        return nullptr;
    }
    return registered;
}

void native::ReportToSource(EventSource source, std::uint16_t type, std::uint16_t, std::uint32_t, const char* text)
{
    if (!source)
        return;
    auto& registered = *static_cast<Source*>(source);
    std::string record;
    try {
        record = FormatRecord(registered, type, text);
    } catch (...) {
        return;
    }
    std::lock_guard<std::mutex> hold(registered.lock);
    if (registered.socket < 0)
        registered.socket = ConnectToLog();
    if (registered.socket < 0 || SendRecord(registered.socket, record))
        return;
    // The daemon may have restarted: one new connection, then the record is given up.
    ::close(registered.socket);
    registered.socket = ConnectToLog();
    if (registered.socket >= 0)
        SendRecord(registered.socket, record);
}

void native::DeregisterSource(EventSource source)
{
    if (!source)
        return;
    auto* registered = static_cast<Source*>(source);
    if (registered->socket >= 0)
        ::close(registered->socket);
    delete registered;
}

}  // namespace Quorlin::os
