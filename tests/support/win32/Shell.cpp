#include "Shell.h"

#include <cstdlib>

#include "os/Module.h"

namespace QuorlinTest {

int RunShell(const std::string& command)
{
    // cmd /c strips the outer pair of quotes when the command starts with one: add a pair to lose.
    return std::system(("\"" + command + "\"").c_str());
}

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

std::string SiblingProgram(const std::string& name)
{
    const std::string self = Quorlin::os::ExecutablePath();
    return self.substr(0, self.find_last_of("\\/") + 1) + name + ".exe";
}

std::string InDirectory(const std::string& directory) { return "cd /d " + Quote(directory) + " && "; }

}  // namespace QuorlinTest
