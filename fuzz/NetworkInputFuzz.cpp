// What the syslog appender reads or passes on from outside: a RELP collector's answers, cut into
// reads anywhere, and message text that must leave as valid UTF-8.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "network/RelpFrame.h"
#include "network/SyslogFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 65536)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The first byte sets the size of the reads the stream arrives in.
    const std::size_t step = data[0] % 64 + 1;
    constexpr std::size_t kMaxData = 1024;
    Quorlin::RelpFrameReader reader(kMaxData);
    Quorlin::RelpFrame frame;
    for (std::size_t at = 0; at < input.size(); at += step) {
        reader.Feed(input.data() + at, std::min(step, input.size() - at));
        Quorlin::RelpFrameReader::Result result;
        while ((result = reader.Next(frame)) == Quorlin::RelpFrameReader::Result::Frame) {
            if (frame.data.size() > kMaxData)
                std::abort();
        }
        if (result == Quorlin::RelpFrameReader::Result::Error && reader.Next(frame) != Quorlin::RelpFrameReader::Result::Error)
            std::abort();  // out of step for good
    }

    // Valid UTF-8 comes out, and what was valid comes out as it went in.
    std::string once, twice;
    Quorlin::AppendValidUtf8(once, input);
    Quorlin::AppendValidUtf8(twice, once);
    if (twice != once)
        std::abort();
    return 0;
}
