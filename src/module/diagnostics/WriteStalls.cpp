#include "WriteStalls.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace Quorlin::WriteStalls {
namespace {

std::atomic<int> g_Spells{0};

struct Registry {
    std::recursive_mutex mutex;  // a probe's TryAgain may end its spell on this thread
    std::vector<Probe*> probes;
};

Registry& Probes()
{
    static Registry* registry = new Registry;  // never destroyed: appenders left open may still use it
    return *registry;
}

}  // namespace

void Begin() noexcept { g_Spells.fetch_add(1); }

void End() noexcept { g_Spells.fetch_sub(1); }

bool Any() noexcept { return g_Spells.load(std::memory_order_relaxed) > 0; }

void Add(Probe* probe)
{
    std::lock_guard<std::recursive_mutex> lock(Probes().mutex);
    Probes().probes.push_back(probe);
}

void Remove(Probe* probe)
{
    std::lock_guard<std::recursive_mutex> lock(Probes().mutex);
    auto& probes = Probes().probes;
    probes.erase(std::remove(probes.begin(), probes.end(), probe), probes.end());
}

bool WaitUntilClear(std::uint32_t milliseconds)
{
    // Asked before every line a host hands over: nothing else when no appender is held up.
    if (!Any())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (!Any())
            return true;
        {
            std::lock_guard<std::recursive_mutex> lock(Probes().mutex);
            for (Probe* probe : Probes().probes)
                probe->TryAgain();
        }
        if (!Any())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace Quorlin::WriteStalls
