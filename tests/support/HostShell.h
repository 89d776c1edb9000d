#pragma once
// The Linux shell, for tests that need a tool only Linux has here (the openssl command line): natively
// sh itself; in the Windows build under Wine the Linux /bin/sh, which Wine starts when asked with
// "start /unix", though without a handle to wait on or an exit code.

#include <filesystem>
#include <string>

namespace QuorlinTest {

// Why the Linux shell cannot be run here, or "" when it can.
std::string HostShellUnavailable();

// `path` as the Linux shell sees it.
std::string HostPath(const std::filesystem::path& path);

// Starts /bin/sh on the script file `script` in the background. Nothing comes back: the script
// leaves its output and its end in files (under Wine its standard handles are those of Wine).
void StartHostScript(const std::filesystem::path& script);

}  // namespace QuorlinTest
