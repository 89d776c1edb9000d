#pragma once
// Heap allocations through the global operator new, counted by the benchmark program's replacement.

#include <cstdint>

namespace BenchAlloc {
std::uint64_t Count() noexcept;
}
