#pragma once
// Linux programs the tests start beside them: the collector, openssl. Natively these are ordinary
// children; a Windows test under Wine starts them too (a Linux executable given to CreateProcess runs
// as such), but gets no handle to wait for or to kill them by, so nothing here relies on one.

#include <cstdint>
#include <string>
#include <vector>

namespace QuorlinTest {

// Starts `argv` (argv[0] an absolute Linux path) detached, its standard streams on /dev/null and no
// descriptor of the test's inherited; false when it could not be started (or there is no Linux
// side: Windows outside Wine).
bool StartUnixProgram(const std::vector<std::string>& argv);

// The path a Linux program sees for `path` (UTF-8): the same natively, the Unix form of a Windows
// path under Wine; empty when there is none.
std::string UnixPath(const std::string& path);

// `text` quoted for /bin/sh.
std::string UnixQuoted(const std::string& text);

// Runs `command` with /bin/sh in `directory` (a path of the test's own form) and gives its exit
// status, with what it wrote (both streams) in `output`; -1 when it could not be started or did not
// end within timeoutMs (it is then stopped).
int RunUnixShell(const std::string& command, const std::string& directory, std::uint32_t timeoutMs,
                 std::string* output = nullptr);

}  // namespace QuorlinTest
