#include "MemberCompressor.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>

namespace Gzip {

// libdeflate compresses whole buffers: the file is gathered block by block, each block one member.
struct MemberCompressor::State {
    libdeflate_compressor* compressor = nullptr;
    std::size_t block = 0;
    std::unique_ptr<char[]> in;  // left uninitialised: a small file touches no more than it fills
    std::size_t held = 0;
};

MemberCompressor::MemberCompressor(int level, std::size_t block) : m_State(std::make_unique<State>())
{
    m_State->compressor = libdeflate_alloc_compressor(level);
    m_State->block = block;
    m_State->in.reset(new char[block]);
}

MemberCompressor::~MemberCompressor() { libdeflate_free_compressor(m_State->compressor); }

bool MemberCompressor::Take(const char* data, std::size_t size, bool last, std::string_view& ready)
{
    State& state = *m_State;
    ready = {};
    if (state.compressor == nullptr)
        return false;
    std::size_t outSize = 0;
    // A member whenever the block is full, and one for the rest at the end (an empty file has one).
    const auto emit = [&] {
        const std::size_t bound = libdeflate_gzip_compress_bound(state.compressor, state.held);
        char* out = Room(outSize + bound) + outSize;
        const std::size_t produced = libdeflate_gzip_compress(state.compressor, state.in.get(), state.held, out, bound);
        outSize += produced;
        state.held = 0;
        return produced != 0;
    };
    while (size > 0) {
        const std::size_t piece = std::min(size, state.block - state.held);
        std::memcpy(state.in.get() + state.held, data, piece);
        state.held += piece;
        data += piece;
        size -= piece;
        if (state.held == state.block && !(size == 0 && last) && !emit())
            return false;
    }
    if (last && !emit())
        return false;
    ready = {m_Out.get(), outSize};
    return true;
}

std::string MemberCompressor::Library() { return std::string("libdeflate ") + LIBDEFLATE_VERSION_STRING; }

}  // namespace Gzip
