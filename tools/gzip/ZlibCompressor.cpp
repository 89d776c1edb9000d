#include "MemberCompressor.h"

#include <zlib.h>

namespace Gzip {

// zlib streams: the whole file is one member, whatever its size.
struct MemberCompressor::State {
    z_stream stream{};
    bool ready = false;
};

MemberCompressor::MemberCompressor(int level, std::size_t) : m_State(std::make_unique<State>())
{
    // 15 + 16: the largest window, wrapped in a gzip header and trailer.
    m_State->ready = deflateInit2(&m_State->stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

MemberCompressor::~MemberCompressor()
{
    if (m_State->ready)
        deflateEnd(&m_State->stream);
}

bool MemberCompressor::Take(const char* data, std::size_t size, bool last, std::string_view& ready)
{
    z_stream& stream = m_State->stream;
    ready = {};
    if (!m_State->ready)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = static_cast<uInt>(size);
    const std::size_t chunk = 1 << 16;
    std::size_t outSize = 0;
    int result = Z_OK;
    do {
        char* out = Room(outSize + chunk) + outSize;
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = static_cast<uInt>(chunk);
        result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR)
            return false;
        outSize += chunk - stream.avail_out;
    } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
    ready = {m_Out.get(), outSize};
    return true;
}

std::string MemberCompressor::Library() { return std::string("zlib ") + zlibVersion(); }

}  // namespace Gzip
