#pragma once
// Per-thread scratch buffers of the framework.

#include <cstdint>

namespace Quorlin::ThreadContext {

// Where diagnostics are formatted (4096 characters).
struct QUORLIN_API TLSInternal {
    static char* Get();
    static std::int32_t Size();
};

// Where layouts render events (65536 characters).
struct QUORLIN_API TLSLayout {
    static char* Get();
    static std::int32_t Size();
};

}  // namespace Quorlin::ThreadContext
