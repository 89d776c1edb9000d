// The global operator new, replaced to count every allocation of the process (the module, the
// framework and the string library included: they resolve operator new to this executable's).
#include "CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

#define BENCH_EXPORT __attribute__((visibility("default")))

namespace {
std::atomic<std::uint64_t> g_Allocations{0};

void* Allocate(std::size_t size)
{
    g_Allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t align)
{
    g_Allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a == 0 ? a : (size + a - 1) / a * a))
        return p;
    throw std::bad_alloc();
}
}  // namespace

namespace BenchAlloc {
std::uint64_t Count() noexcept { return g_Allocations.load(std::memory_order_relaxed); }
}  // namespace BenchAlloc

BENCH_EXPORT void* operator new(std::size_t size) { return Allocate(size); }
BENCH_EXPORT void* operator new[](std::size_t size) { return Allocate(size); }
BENCH_EXPORT void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
BENCH_EXPORT void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
BENCH_EXPORT void* operator new(std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
BENCH_EXPORT void* operator new[](std::size_t size, std::align_val_t align) { return AllocateAligned(size, align); }
BENCH_EXPORT void operator delete(void* p) noexcept { std::free(p); }
BENCH_EXPORT void operator delete[](void* p) noexcept { std::free(p); }
BENCH_EXPORT void operator delete(void* p, std::size_t) noexcept { std::free(p); }
BENCH_EXPORT void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
BENCH_EXPORT void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
BENCH_EXPORT void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
BENCH_EXPORT void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
BENCH_EXPORT void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
