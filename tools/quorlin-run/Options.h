#pragma once
// Command line of quorlin-run.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/Level.h"

namespace QuorlinRun {

struct Options {
    std::string configFile;  // empty: the built-in configuration
    std::string modulePath;  // empty: the module beside the program
    bool debug = false;
    bool drop = false;   // go on while an appender cannot write (its losses are counted)
    bool quiet = false;  // no diagnostics at all (the default shows warnings and errors)
    bool help = false;
    bool version = false;
    bool showConfig = false;
    std::int64_t generate = -1;  // -1: read standard input
    int threads = 1;
    int messageSize = 100;
    std::int32_t level = Quorlin::LevelInfo;
    std::vector<std::pair<std::string, std::string>> globals;  // --set NAME=VALUE
};

// Parses argv; false with a message for a usage error.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

const char* UsageText();

}  // namespace QuorlinRun
