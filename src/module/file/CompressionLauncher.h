#pragma once
// The compressions of one rolling file appender: each runs on a detached thread of its own, which keeps
// the module loaded while it runs; the appender can wait until none is running.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "rolling/Action.h"

namespace Quorlin {

class CompressionLauncher {
public:
    CompressionLauncher() : m_State(std::make_shared<State>()) {}

    // Starts action->Execute() on a detached thread. Raises the standard library's error when the
    // thread cannot be started.
    void Launch(std::shared_ptr<Action> action);
    // Waits until no compression of this launcher runs; true when it had to wait.
    bool WaitUntilIdle();
    int Running() const;

    // Waits up to `milliseconds` until no compression of any appender of the module runs; true when
    // none runs any more.
    static bool WaitForAll(std::uint32_t milliseconds);

    // Shared with the threads, which may outlive the appender.
    struct State {
        mutable std::mutex mutex;
        std::condition_variable idle;
        std::atomic<int> running{0};  // changed under the mutex, so that waiters see every change
    };

private:
    std::shared_ptr<State> m_State;
    // Every launcher's count together, for the module-wide wait.
    static State& Everyone();
};

}  // namespace Quorlin
