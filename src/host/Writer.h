#pragma once
// Where a WriterAppender's text goes.

#include <cstdint>

namespace Quorlin {

class QUORLIN_API Writer {
public:
    virtual ~Writer();
    virtual void Close() = 0;
    virtual void Flush() = 0;
    virtual void NewLine() = 0;
    // Writes up to two texts of explicit lengths (not zero-terminated); a null text or a length
    // below 1 is skipped.
    virtual void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
                       std::int32_t secondLength) = 0;
};

}  // namespace Quorlin
