#include "MemberCompressor.h"

namespace Gzip {

char* MemberCompressor::Room(std::size_t bytes)
{
    if (bytes > m_OutCapacity) {
        m_Out.reset(new char[bytes]);
        m_OutCapacity = bytes;
    }
    return m_Out.get();
}

}  // namespace Gzip
