#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::int64_t t_Allocations = 0;
}  // namespace

namespace QuorlinTest {
std::int64_t AllocationsOfThisThread() { return t_Allocations; }
}  // namespace QuorlinTest

void* operator new(std::size_t size)
{
    ++t_Allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++t_Allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
