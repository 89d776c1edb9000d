#include "CompressionLauncher.h"

#include <thread>

#include "os/Module.h"

namespace Quorlin {

void CompressionLauncher::Launch(std::shared_ptr<Action> action)
{
    {
        std::lock_guard<std::mutex> lock(m_State->mutex);
        ++m_State->running;
    }
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
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                --state->running;
            }
            state->idle.notify_all();
            state.reset();
            os::ReleaseModuleAndExitThread(pin);
        }).detach();
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(m_State->mutex);
            --m_State->running;
        }
        m_State->idle.notify_all();
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

int CompressionLauncher::Running() const
{
    std::lock_guard<std::mutex> lock(m_State->mutex);
    return m_State->running;
}

} // namespace Quorlin
