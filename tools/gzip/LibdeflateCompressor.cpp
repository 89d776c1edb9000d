#include "MemberCompressor.h"

#include <libdeflate.h>

namespace Gzip {

struct MemberCompressor::State {
    libdeflate_compressor* compressor = nullptr;
};

MemberCompressor::MemberCompressor(int level) : m_State(std::make_unique<State>())
{
    m_State->compressor = libdeflate_alloc_compressor(level);
}

MemberCompressor::~MemberCompressor() { libdeflate_free_compressor(m_State->compressor); }

std::string_view MemberCompressor::Compress(const char* data, std::size_t size)
{
    if (m_State->compressor == nullptr)
        return {};
    const std::size_t bound = libdeflate_gzip_compress_bound(m_State->compressor, size);
    char* out = Room(bound);
    return {out, libdeflate_gzip_compress(m_State->compressor, data, size, out, bound)};
}

std::string MemberCompressor::Library() { return std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING; }

}  // namespace Gzip
