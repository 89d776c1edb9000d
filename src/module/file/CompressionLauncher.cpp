#include "CompressionLauncher.h"

#include <chrono>
#include <thread>

#include "os/Module.h"

namespace Quorlin {

CompressionLauncher::State& CompressionLauncher::Everyone()
{
    // Never destroyed: compression threads may end after static destruction has begun.
    static State* everyone = new State();
    return *everyone;
}

namespace {

void Count(CompressionLauncher::State& state, int change)
{
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.running.fetch_add(change, std::memory_order_acq_rel);
    }
    if (change < 0)
        state.idle.notify_all();
}

}  // namespace

void CompressionLauncher::Launch(std::shared_ptr<Action> action)
{
    Count(*m_State, +1);
    Count(Everyone(), +1);
    // The thread holds a reference on the module, so that unloading it while gzip runs cannot pull the
    // code from under the thread; the reference is the thread's very last release.
    os::ModuleHandle pin = os::AcquireThisModule();
    try {
        std::thread([state = m_State, action = std::move(action), pin]() mutable {
            try {
                action->Execute();
            } catch (...) {
                // A compression that fails leaves the history file as it is; nothing to report to.
            }
            action.reset();
            Count(*state, -1);
            Count(Everyone(), -1);
            state.reset();
            os::ReleaseModuleAndExitThread(pin);
        }).detach();
    } catch (...) {
        Count(*m_State, -1);
        Count(Everyone(), -1);
        if (pin != nullptr)
            os::FreeModule(pin);
        throw;
    }
}

bool CompressionLauncher::WaitUntilIdle()
{
    std::unique_lock<std::mutex> lock(m_State->mutex);
    if (m_State->running == 0)
        return false;
    m_State->idle.wait(lock, [this] { return m_State->running == 0; });
    return true;
}

bool CompressionLauncher::WaitForAll(std::uint32_t milliseconds)
{
    State& everyone = Everyone();
    std::unique_lock<std::mutex> lock(everyone.mutex);
    return everyone.idle.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return everyone.running == 0; });
}

int CompressionLauncher::Running() const
{
    return m_State->running.load();
}

}  // namespace Quorlin
