#include "ThreadPool.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace ORBEK::Utility {
namespace {

struct ManagerState {
    std::mutex mutex;
    // Read by every schedule call that may log, so without the mutex.
    std::atomic<PoolLogger> logger{nullptr};
    bool prepared = false;
    std::vector<std::string> calls;
};

ManagerState& State()
{
    static ManagerState state;
    return state;
}

void StandardErrorLogger(int level, const char* text) { std::fprintf(stderr, "[pool %d] %s\n", level, text); }

}  // namespace

void Manager::SetLogger(PoolLogger logger)
{
    ManagerState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.logger = logger;
    s.calls.push_back(logger == nullptr ? "SetLogger(null)" : "SetLogger");
}

void Manager::OpenLogger()
{
    ManagerState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.logger = &StandardErrorLogger;
    s.calls.push_back("OpenLogger");
}

bool Manager::Prepare()
{
    ManagerState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.prepared = true;
    s.calls.push_back("Prepare");
    return true;
}

PoolLogger Manager::GetLogger() { return State().logger.load(std::memory_order_acquire); }

std::vector<std::string> Manager::Calls()
{
    ManagerState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls;
}

}  // namespace ORBEK::Utility
