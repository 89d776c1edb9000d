#pragma once
// Counts global operator new calls made by the current thread (the test binary replaces it).

#include <cstdint>

namespace QuorlinTest {

std::int64_t AllocationsOfThisThread();

}  // namespace QuorlinTest
