#include "HostShell.h"

#include "Paths.h"
#include "Shell.h"

namespace QuorlinTest {

std::string HostShellUnavailable() { return ""; }

std::string HostPath(const std::filesystem::path& path) { return Utf8(path); }

void StartHostScript(const std::filesystem::path& script) { RunShell("sh " + Quote(HostPath(script)) + " &"); }

}  // namespace QuorlinTest
