#pragma once
// Runs a command through the platform's shell (sh, or cmd under Windows) and gives its exit code.

#include <string>

namespace QuorlinTest {

int RunShell(const std::string& command);

// The shell text that makes the rest of a command line run in `directory` ("cd DIR && ").
std::string InDirectory(const std::string& directory);

// Quotes a path for the shell of the platform.
std::string Quote(const std::string& path);

// A program built beside the test binary ("quorlin-run" gives .../quorlin-run or ...\quorlin-run.exe).
std::string SiblingProgram(const std::string& name);

}  // namespace QuorlinTest
