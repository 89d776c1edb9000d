#include "DefaultConfig.h"

namespace QuorlinRun {

const char* const kDefaultConfiguration =
    "# quorlin-run's built-in configuration.\n"
    "# Events of INFO and above go to logs/quorlin.log, which rolls over every 10 MB into a window of\n"
    "# five gzip-compressed files (logs/quorlin.1.log.gz is the newest); warnings and errors are shown\n"
    "# on the console as well, in colour.\n"
    "[appender file]\n"
    "type = Appender.RollingFile\n"
    "layout = %d [%-5p] [%t] %m\n"
    "fileName/value = logs/quorlin.log\n"
    "fileNamePattern/value = logs/quorlin.{RollingIndex}.log\n"
    "triggeringPolicy/maxFileSize/value = 10MB\n"
    "rollingPolicy/maxIndex/value = 5\n"
    "\n"
    "[appender console]\n"
    "type = Appender.ColoredConsole\n"
    "threshold = WARN\n"
    "layout = %d [%-5p] %m\n"
    "onWarn/foreColor/value = yellow\n"
    "onError/foreColor/value = lightred\n"
    "onFatal/foreColor/value = lightwhite\n"
    "onFatal/backColor/value = red\n"
    "\n"
    "[root]\n"
    "level = INFO\n"
    "appender-ref = file\n"
    "appender-ref = console\n";

}  // namespace QuorlinRun
