// The host's configuration parser on any text: never fails hard; an error names the source and a
// line of the text; a success is consistent (every appender typed, every reference defined).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/Configuration.h"

namespace {

// Configuration::Find is not exported from the framework library; the same lookup, counting.
std::size_t Defined(const Quorlin::Configuration& config, const std::string& name)
{
    std::size_t n = 0;
    for (const auto& appender : config.appenders)
        n += appender.name == name;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string source = "fuzz.cfg";
    Quorlin::Configuration config;
    std::string error;
    if (!Quorlin::ParseConfiguration(text, source, config, error)) {
        const std::string prefix = source + ":";
        if (error.compare(0, prefix.size(), prefix) != 0)
            std::abort();
        std::size_t i = prefix.size();
        long line = 0;
        while (i < error.size() && error[i] >= '0' && error[i] <= '9' && line < 1000000)
            line = line * 10 + (error[i++] - '0');
        if (i == prefix.size() || i >= error.size() || error[i] != ':')
            std::abort();
        // Lines count from 1; the last one may be the end of a text without a final newline.
        long lines = 1;
        for (char c : text)
            lines += c == '\n';
        if (line < 1 || line > lines)
            std::abort();
        return 0;
    }
    if (config.source != source || config.rootRefs.empty())
        std::abort();
    for (const auto& appender : config.appenders)
        if (appender.type.empty() || appender.name.empty() || Defined(config, appender.name) != 1)
            std::abort();
    for (const auto& ref : config.rootRefs)
        if (Defined(config, ref) != 1)
            std::abort();
    return 0;
}
