#include "MemberCompressor.h"

#include <zlib.h>

namespace Gzip {

struct MemberCompressor::State {
    z_stream stream{};
    bool ready = false;
};

MemberCompressor::MemberCompressor(int level) : m_State(std::make_unique<State>())
{
    // 15 + 16: the largest window, wrapped in a gzip header and trailer.
    m_State->ready = deflateInit2(&m_State->stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

MemberCompressor::~MemberCompressor()
{
    if (m_State->ready)
        deflateEnd(&m_State->stream);
}

std::string_view MemberCompressor::Compress(const char* data, std::size_t size)
{
    z_stream& stream = m_State->stream;
    if (!m_State->ready || deflateReset(&stream) != Z_OK)
        return {};
    const std::size_t bound = deflateBound(&stream, static_cast<uLong>(size));
    char* out = Room(bound);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = static_cast<uInt>(bound);
    // The bound holds the whole member: one call finishes it.
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return {};
    return {out, bound - stream.avail_out};
}

std::string MemberCompressor::Library() { return std::string("zlib ") + zlibVersion(); }

}  // namespace Gzip
