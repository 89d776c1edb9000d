#pragma once
// Deflates a file, given piece by piece, into gzip members (header, data, CRC and size). A gzip file
// of several members is the concatenation of their contents, as RFC 1952 defines it.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace Gzip {

class MemberCompressor {
public:
    // `level` from 1 (fastest) to 9 (smallest); `block`: the most of the file one member holds where
    // the library compresses whole buffers only (libdeflate); a streaming one (zlib) makes one member.
    MemberCompressor(int level, std::size_t block);
    ~MemberCompressor();
    MemberCompressor(const MemberCompressor&) = delete;
    MemberCompressor& operator=(const MemberCompressor&) = delete;

    // Takes the next `size` bytes of the file (`last`: the end of it, perhaps with no bytes) and sets
    // `ready` to the compressed bytes that follow what it gave before, valid until the next call;
    // false when the compressor could not start or failed.
    bool Take(const char* data, std::size_t size, bool last, std::string_view& ready);

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
