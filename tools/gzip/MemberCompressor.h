#pragma once
// Deflates one block of a file into one complete gzip member (header, data, CRC and size). A gzip
// file of several members is the concatenation of their contents, as RFC 1952 defines it.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Gzip {

class MemberCompressor {
public:
    // `level` from 1 (fastest) to 9 (smallest).
    explicit MemberCompressor(int level);
    ~MemberCompressor();
    MemberCompressor(const MemberCompressor&) = delete;
    MemberCompressor& operator=(const MemberCompressor&) = delete;

    // Replaces `member` with the gzip member of `size` bytes at `data`; false when the compressor
    // could not start or failed.
    bool Compress(const char* data, std::size_t size, std::vector<char>& member);

    // The library behind this build, for -V.
    static std::string Library();

private:
    struct State;
    std::unique_ptr<State> m_State;
};

}  // namespace Gzip
