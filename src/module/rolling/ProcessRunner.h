#pragma once
// Starts a program hidden and waits for it, a bounded time.

#include <cstdint>

namespace Quorlin {

inline constexpr std::int32_t kRunPollCount = 10000;
inline constexpr std::uint32_t kRunPollIntervalMs = 60;

// Starts szEXEBinaryName (full path) with the command line szCmdLine exactly as given, then polls its
// exit every pollIntervalMs milliseconds, at most pollCount times (about 600 s by default). A program
// that cannot be started is reported at LevelError; a child still running at the end is left running.
// Never raises. True when the program ran and has ended, its exit code then in *exitCode if given.
bool RunAndWaitSysCommand(const wchar_t* szEXEBinaryName, wchar_t* szCmdLine, std::int32_t pollCount = kRunPollCount,
                          std::uint32_t pollIntervalMs = kRunPollIntervalMs, std::uint32_t* exitCode = nullptr);

}  // namespace Quorlin
