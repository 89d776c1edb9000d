#include "DefaultConfig.h"

namespace QuorlinRun {

const char* const kDefaultConfiguration =
    "# quorlin-run's built-in configuration: every event of INFO and above to the console.\n"
    "[appender console]\n"
    "type = Appender.Console\n"
    "layout = %d [%-5p] [%t] %m\n"
    "\n"
    "[root]\n"
    "level = INFO\n"
    "appender-ref = console\n";

} // namespace QuorlinRun
