#pragma once
// Standard input as lines: read in large blocks and each line handed over where it lies in the block;
// only a line that crosses the end of a block is gathered into a buffer of its own.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace QuorlinRun {

class InputLines {
public:
    // A line without its line end (LF, or CR LF); false stops the reading.
    using LineFn = std::function<bool(std::string_view line)>;

    explicit InputLines(std::size_t blockSize = 64 * 1024);

    // Reads until the end of input or until `line` returns false. A last line without a line end is
    // still a line. False when a read failed; `error` then holds the system's text.
    bool ReadAll(const LineFn& line, std::string& error);

    // Splits one block: every line it ends goes to `line`, the rest waits for the next block (or for
    // Finish). False when `line` asked to stop.
    bool Split(const char* data, std::size_t size, const LineFn& line);
    bool Finish(const LineFn& line);

    // When the last block was read (100-ns ticks since 1970 UTC): the time of each line it completes.
    std::int64_t ReadTicks() const { return m_ReadTicks; }

private:
    static bool Give(std::string_view text, const LineFn& line);

    std::vector<char> m_Block;
    std::int64_t m_ReadTicks = 0;
    std::string m_Carry;  // the start of a line that crosses the end of a block
};

}  // namespace QuorlinRun
