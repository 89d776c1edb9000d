#pragma once
// A count that many threads increment at once: each thread adds to a slot of its own cache line, so
// that the line does not move between cores on every increment; reading sums the slots.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Quorlin {

class ShardedCount {
public:
    void Add() noexcept { m_Slots[ThreadSlot()].value.fetch_add(1, std::memory_order_relaxed); }
    // The sum modulo 2^32, as one 32-bit count would have wrapped.
    std::uint32_t Total() const noexcept
    {
        std::uint32_t total = 0;
        for (const Slot& slot : m_Slots)
            total += slot.value.load(std::memory_order_relaxed);
        return total;
    }
    // Not atomic with concurrent increments: for the owner's Open, before events arrive.
    void Reset() noexcept
    {
        for (Slot& slot : m_Slots)
            slot.value.store(0, std::memory_order_relaxed);
    }

private:
    static constexpr std::size_t kSlots = 16;
    struct alignas(64) Slot {
        std::atomic<std::uint32_t> value{0};
    };
    // Threads take the slots in turn as they first count; more threads than slots share them.
    static std::size_t ThreadSlot() noexcept
    {
        static std::atomic<std::size_t> next{0};
        thread_local const std::size_t slot = next.fetch_add(1, std::memory_order_relaxed) % kSlots;
        return slot;
    }

    Slot m_Slots[kSlots];
};

}  // namespace Quorlin
