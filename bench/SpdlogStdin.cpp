// The peer of quorlin-run reading standard input: each line of standard input becomes one message of
// spdlog's rotating file sink (10 MB files, a window of 5, no compression), read in 64 KiB blocks and
// split in place as quorlin-run does.
//   spdlog_stdin FILE
#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: spdlog_stdin FILE\n");
        return 2;
    }
    auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(argv[1], 10 * 1024 * 1024, 5);
    spdlog::logger logger("stdin", sink);
    logger.set_formatter(std::make_unique<spdlog::pattern_formatter>("%v", spdlog::pattern_time_type::local, "\r\n"));
    static char block[1 << 16];
    std::string carry;
    for (;;) {
        const ssize_t got = ::read(0, block, sizeof block);
        if (got < 0)
            return 1;
        if (got == 0)
            break;
        const char* start = block;
        const char* end = block + got;
        while (const char* newline = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)))) {
            if (carry.empty()) {
                logger.info(spdlog::string_view_t(start, static_cast<std::size_t>(newline - start)));
            } else {
                carry.append(start, newline);
                logger.info(spdlog::string_view_t(carry));
                carry.clear();
            }
            start = newline + 1;
        }
        carry.append(start, end);
    }
    if (!carry.empty())
        logger.info(spdlog::string_view_t(carry));
    logger.flush();
    return 0;
}
