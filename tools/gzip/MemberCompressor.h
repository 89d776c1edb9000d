#pragma once
// Deflates one block of a file into one complete gzip member (header, data, CRC and size). A gzip
// file of several members is the concatenation of their contents, as RFC 1952 defines it.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace Gzip {

class MemberCompressor {
public:
    // `level` from 1 (fastest) to 9 (smallest).
    explicit MemberCompressor(int level);
    ~MemberCompressor();
    MemberCompressor(const MemberCompressor&) = delete;
    MemberCompressor& operator=(const MemberCompressor&) = delete;

    // The gzip member of `size` bytes at `data`, valid until the next call; empty when the
    // compressor could not start or failed.
    std::string_view Compress(const char* data, std::size_t size);

    // The library behind this build, for -V.
    static std::string Library();

private:
    // Room for `bytes` of output, left uninitialised: only what is written is touched.
    char* Room(std::size_t bytes);

    struct State;
    std::unique_ptr<State> m_State;
    std::unique_ptr<char[]> m_Out;
    std::size_t m_OutCapacity = 0;
};

}  // namespace Gzip
