#include "MemberCompressor.h"

#include <cstring>

namespace Gzip {

char* MemberCompressor::Room(std::size_t bytes)
{
    if (bytes > m_OutCapacity) {
        // What is held so far stays: a call may gather several members, or several chunks of one.
        std::unique_ptr<char[]> larger(new char[bytes]);
        if (m_Out)
            std::memcpy(larger.get(), m_Out.get(), m_OutCapacity);
        m_Out = std::move(larger);
        m_OutCapacity = bytes;
    }
    return m_Out.get();
}

}  // namespace Gzip
