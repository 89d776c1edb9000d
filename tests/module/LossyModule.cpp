// A stand-in module for quorlin-run's tests: its appenders accept every event and write none; those
// named "lossy..." count what they accepted as lost, the others lose nothing.
#include <map>
#include <mutex>
#include <string>

#include "host/Appender.h"

namespace {

std::mutex g_Mutex;
std::map<std::string, unsigned long long> g_Lost;

class LossyAppender final : public Quorlin::Appender {
public:
    void Append(const Quorlin::LoggingEvent* event) override
    {
        const std::string name(GetName().StdView());
        if (Refuses(event) || name.rfind("lossy", 0) != 0)
            return;
        std::lock_guard<std::mutex> lock(g_Mutex);
        ++g_Lost[name];
    }
};

}  // namespace

extern "C" QUORLIN_TEST_MODULE_API Quorlin::Appender* CreateAppender(const char*, void*) { return new LossyAppender; }

extern "C" QUORLIN_TEST_MODULE_API unsigned long long LostEventsOf(const char* name)
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    const auto found = g_Lost.find(name);
    return found == g_Lost.end() ? 0 : found->second;
}
