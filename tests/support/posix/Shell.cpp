#include "Shell.h"

#include <cstdlib>
#include <sys/wait.h>

#include "os/Module.h"

namespace QuorlinTest {

int RunShell(const std::string& command)
{
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::string SiblingProgram(const std::string& name)
{
    const std::string self = Quorlin::os::ExecutablePath();
    return self.substr(0, self.find_last_of('/') + 1) + name;
}

std::string InDirectory(const std::string& directory) { return "cd " + Quote(directory) + " && "; }

}  // namespace QuorlinTest
