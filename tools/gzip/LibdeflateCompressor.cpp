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

bool MemberCompressor::Compress(const char* data, std::size_t size, std::vector<char>& member)
{
    if (m_State->compressor == nullptr)
        return false;
    member.resize(libdeflate_gzip_compress_bound(m_State->compressor, size));
    const std::size_t produced = libdeflate_gzip_compress(m_State->compressor, data, size, member.data(), member.size());
    member.resize(produced);
    return produced != 0;
}

std::string MemberCompressor::Library() { return std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING; }

}  // namespace Gzip
