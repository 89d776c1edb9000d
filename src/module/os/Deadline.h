#pragma once
// For the platform implementations: the end of a wait that may be spread over several calls
// (retries, addresses, partial sends).

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>

namespace Quorlin::os {

class Deadline {
public:
    explicit Deadline(std::uint32_t milliseconds)
        : m_End(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds))
    {
    }

    int LeftMs() const
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_End - std::chrono::steady_clock::now()).count();
        return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
    }

private:
    std::chrono::steady_clock::time_point m_End;
};

}  // namespace Quorlin::os
