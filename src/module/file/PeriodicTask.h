#pragma once
// A thread of an appender's own that runs one step again and again until it is stopped; each run of
// the step says how long to wait before the next one.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace Quorlin {

class PeriodicTask {
public:
    PeriodicTask() = default;
    ~PeriodicTask() { Stop(); }
    PeriodicTask(const PeriodicTask&) = delete;
    PeriodicTask& operator=(const PeriodicTask&) = delete;

    // Starts the thread (after stopping a running one): `step` runs first after `firstDelay`
    // milliseconds, then after the number of milliseconds it returned.
    void Start(std::function<std::uint32_t()> step, std::uint32_t firstDelay);
    // Ends the thread, waiting for a step that is running; nothing runs afterwards.
    void Stop();
    bool Running() const { return m_Thread.joinable(); }

private:
    void Run(std::uint32_t delay);

    std::function<std::uint32_t()> m_Step;
    std::thread m_Thread;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_Stopping = false;
};

}  // namespace Quorlin
