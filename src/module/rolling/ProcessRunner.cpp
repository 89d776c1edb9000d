#include "ProcessRunner.h"

#include "diagnostics/Trace.h"
#include "os/Clock.h"
#include "os/Process.h"

namespace Quorlin {
namespace {

// Closes the process and thread handles however the wait ends.
class ChildGuard {
public:
    ChildGuard() = default;
    ~ChildGuard() { os::CloseProcess(child); }
    ChildGuard(const ChildGuard&) = delete;
    ChildGuard& operator=(const ChildGuard&) = delete;

    os::ProcessHandle child;
};

}  // namespace

bool RunAndWaitSysCommand(const wchar_t* szEXEBinaryName, wchar_t* szCmdLine, std::int32_t pollCount,
                          std::uint32_t pollIntervalMs, std::uint32_t* exitCode)
{
    Trace(LevelInfo, "Enter RunAndWaitSysCommand, szEXEBinaryName: {$}, szCmdLine: {$}", szEXEBinaryName, szCmdLine);
    ChildGuard guard;
    const os::Status started = os::Spawn(szEXEBinaryName != nullptr ? szEXEBinaryName : L"",
                                         szCmdLine != nullptr ? szCmdLine : L"", guard.child);
    if (!started.Ok()) {
        if (LogLog::IsOn())
            Trace(LevelError, "Cannot create system process, {$}", LogLog::ErrorCodeToString(started.native));
        return false;
    }
    std::uint32_t code = os::kStillActive;
    for (std::int32_t i = 0; i < pollCount; ++i) {
        // A child whose status can no longer be asked for (reaped elsewhere) will not answer later either.
        if (!os::ExitCodeOf(guard.child, code).Ok())
            return false;
        if (code != os::kStillActive) {
            if (exitCode != nullptr)
                *exitCode = code;
            return true;
        }
        // Returns as soon as the child ends, so that its end is seen at once rather than at the next tick.
        os::AwaitExit(guard.child, pollIntervalMs);
    }
    return false;
}

}  // namespace Quorlin
