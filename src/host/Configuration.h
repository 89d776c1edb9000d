#pragma once
// The host program's configuration file:
//
//   # a whole line starting with # or ; is a comment
//   debug = false
//   [appender main]
//   type = Appender.RollingFile
//   layout = %d [%p] [%t] %m
//   threshold = INFO
//   fileName/value = logs/app.log
//   [root]
//   level = DEBUG
//   appender-ref = main
//
// Global settings come before the first section. In [appender NAME], `type` is required, `layout` and
// `threshold` are the framework's, every other key is an option passed to the appender as written,
// in file order. [root] takes `level` and one `appender-ref` per receiving appender. Values are
// trimmed of surrounding blanks; keys may repeat.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Quorlin {

struct AppenderConfig {
    std::string name;
    std::string type;
    std::string layout;  // empty: the default pattern
    std::int32_t threshold = 0;
    std::vector<std::pair<std::string, std::string>> options;
    int line = 0;  // where the section starts
};

struct Configuration {
    std::string source;  // the file name, for messages
    bool debug = false;
    std::int32_t rootLevel = 0;
    std::vector<AppenderConfig> appenders;
    std::vector<std::string> rootRefs;
    int rootLine = 0;

    const AppenderConfig* Find(std::string_view name) const;
};

// Parses configuration text. On an error returns false with "FILE:LINE: message" in `error`.
QUORLIN_API bool ParseConfiguration(std::string_view text, const std::string& source, Configuration& config, std::string& error);
// Reads and parses a file; a file that cannot be read is an error naming it.
QUORLIN_API bool LoadConfiguration(const std::string& path, Configuration& config, std::string& error);

}  // namespace Quorlin
