#pragma once
// A clock that stands still until the test moves it: os::NowTicks gives its time while it lives;
// every other seam call still reaches the system.

#include <atomic>
#include <cstdint>

#include "os/Interposer.h"

namespace QuorlinTest {

class FakeClock : public Quorlin::os::Interposer {
public:
    explicit FakeClock(std::int64_t now = 0) : m_Now(now), m_Previous(Quorlin::os::Interpose(this)) {}
    ~FakeClock() override { Quorlin::os::Interpose(m_Previous); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    std::int64_t NowTicks() override { return m_Now.load(); }
    void Set(std::int64_t ticks) { m_Now.store(ticks); }
    void Advance(std::int64_t ticks) { m_Now.fetch_add(ticks); }

private:
    std::atomic<std::int64_t> m_Now;
    Quorlin::os::Interposer* m_Previous;
};

}  // namespace QuorlinTest
