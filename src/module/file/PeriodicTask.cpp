#include "PeriodicTask.h"

#include <chrono>
#include <utility>

namespace Quorlin {

void PeriodicTask::Start(std::function<std::uint32_t()> step, std::uint32_t firstDelay)
{
    Stop();
    m_Step = std::move(step);
    m_Stopping = false;
    m_Thread = std::thread([this, firstDelay] { Run(firstDelay); });
}

void PeriodicTask::Stop()
{
    if (!m_Thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Stopping = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

void PeriodicTask::Run(std::uint32_t delay)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    for (;;) {
        if (m_Changed.wait_for(lock, std::chrono::milliseconds(delay), [this] { return m_Stopping; }))
            return;
        lock.unlock();
        delay = m_Step();
        lock.lock();
    }
}

}  // namespace Quorlin
