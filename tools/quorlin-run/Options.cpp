#include "Options.h"

#include <cstdlib>
#include <cstring>

#include "host/Level.h"

namespace QuorlinRun {
namespace {

bool ParseCount(const char* text, std::int64_t min, std::int64_t max, std::int64_t& value)
{
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (*end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

}  // namespace

const char* UsageText()
{
    return "usage: quorlin-run [options]\n"
           "\n"
           "Loads the appender module the way the framework does, configures the appenders of a\n"
           "configuration file and feeds them events: one per line of standard input, or generated.\n"
           "\n"
           "  --config FILE        configuration file (without it: the built-in configuration,\n"
           "                       shown by --show-config)\n"
           "  --generate N         send N generated events instead of reading standard input\n"
           "  --threads T          producer threads for --generate (default 1)\n"
           "  --message-size B     bytes of message text per generated event (default 100)\n"
           "  --level L            level of generated events: a name or a number (default INFO)\n"
           "  --set NAME=VALUE     value for {GlobalMap:NAME} in file names (repeatable)\n"
           "  --module PATH        load this module instead of the one beside the program\n"
           "  --debug              all of the framework's diagnostics on standard error, progress\n"
           "                       messages too (without it: warnings and errors only)\n"
           "  --quiet              none of the framework's diagnostics\n"
           "  --drop               while an appender cannot write (a full disk), go on and have\n"
           "                       what does not fit its backlog counted as lost; without it the\n"
           "                       input waits (standard input stays in its pipe) until it can\n"
           "  --show-config        print the built-in configuration and exit\n"
           "  --version            print the version and exit\n"
           "  --help               this text\n"
           "\n"
           "A line of standard input may start with a level word (ERROR, WARN:, DEBUG ...); without\n"
           "one the event is INFO. Appenders are closed at the end of input and on a request to\n"
           "stop (Ctrl-C, SIGTERM, SIGHUP, SIGPIPE; console close, logoff or shutdown on Windows):\n"
           "what was accepted is written, then the summary is shown. An appender that lost events\n"
           "is named on standard error, even with --quiet.\n"
           "\n"
           "Exit codes: 0 success (after a stop request too), 1 other failure, 2 usage or\n"
           "configuration error, 3 an appender could not be created or opened, 4 events were lost.\n";
}

bool ParseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        std::int64_t number = 0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--debug") {
            options.debug = true;
        } else if (arg == "--drop") {
            options.drop = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--show-config") {
            options.showConfig = true;
        } else if (arg == "--config") {
            if (!value(v))
                return false;
            options.configFile = v;
        } else if (arg == "--module") {
            if (!value(v))
                return false;
            options.modulePath = v;
        } else if (arg == "--generate") {
            if (!value(v))
                return false;
            if (!ParseCount(v, 0, INT64_MAX / 2, number))
                return error = "--generate needs a count of events, not '" + std::string(v) + "'", false;
            options.generate = number;
        } else if (arg == "--threads") {
            if (!value(v))
                return false;
            if (!ParseCount(v, 1, 256, number))
                return error = "--threads needs a number from 1 to 256, not '" + std::string(v) + "'", false;
            options.threads = static_cast<int>(number);
        } else if (arg == "--message-size") {
            if (!value(v))
                return false;
            if (!ParseCount(v, 0, 1 << 24, number))
                return error = "--message-size needs a number of bytes up to 16777216, not '" + std::string(v) + "'", false;
            options.messageSize = static_cast<int>(number);
        } else if (arg == "--level") {
            if (!value(v))
                return false;
            if (!Quorlin::ParseLevel(v, options.level))
                return error = "--level needs a level name or number, not '" + std::string(v) + "'", false;
        } else if (arg == "--set") {
            if (!value(v))
                return false;
            const char* eq = std::strchr(v, '=');
            if (eq == nullptr || eq == v)
                return error = "--set needs NAME=VALUE, not '" + std::string(v) + "'", false;
            options.globals.emplace_back(std::string(v, eq), std::string(eq + 1));
        } else {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
    }
    if (options.quiet && options.debug)
        return error = "--quiet and --debug exclude each other", false;
    return true;
}

}  // namespace QuorlinRun
